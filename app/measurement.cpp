#include <cmath>

#include "app/app_window.h"
#include "app/log_reader.h"
#include "app/trend.h"
#include "device/wii_lib_device.h"
#include "transport/wii_lib.h"

namespace {

// The filter constants are single-precision values; each product and sum is
// formed in double and stored back as single precision.
constexpr float kSmoothKeep = 0.9f;
constexpr float kSmoothNew = 0.1f;
constexpr float kTrendHalf = 0.5f;
constexpr float kStableTrend = 0.1f;
constexpr float kPresentWeight = 5.0f;

constexpr int kStableFramesToRecord = 30;
constexpr int kTimerWhilePresent = 150;
constexpr int kTimeoutFrames = 300;
constexpr int kBoardCells = 4;
// A weight this near a user's trend may be that user's.
constexpr float kRecognizedWithinKg = 2.0f;

double Wide(float value) {
  return static_cast<double>(value);
}

float Smooth(float previous, float raw) {
  return static_cast<float>(Wide(previous) * Wide(kSmoothKeep) + Wide(raw) * Wide(kSmoothNew));
}

float FilterTrend(float trend, float previousWeight, float weight) {
  double change = Wide(previousWeight) - Wide(weight);
  return static_cast<float>(change * Wide(kTrendHalf) + Wide(trend) * Wide(kTrendHalf));
}

bool IsValidUser(int user) {
  return user >= 0 && user < kUsers;
}

bool IsMeasuring(const AppWindow& window) {
  return (window.modeFlags.load() & ModeMeasuring) != 0;
}

void StopMeasuring(AppWindow& window) {
  window.modeFlags.fetch_and(~ModeMeasuring);
}

// A measurement the button started may be somebody else's than the
// button's turn says: with the setting on, it goes to the one named user
// whose trend lies near the weight.
void Record(AppWindow& window, DeviceEntry& entry) {
  if (window.startedByButton && window.settings.recognizeUser) {
    const int user = window.RecognizeUser(entry.userWeight[window.currentUser]);
    if (user >= 0 && user != window.currentUser) {
      entry.userWeight[user] = entry.userWeight[window.currentUser];
      window.currentUser = user;
    }
  }
  window.AppendLog(entry);
}

// One measuring frame: follow the weight of the current user, record it once
// it has stayed steady long enough, and give up when nobody stands on the
// board for too long.
void AdvanceMeasurement(AppWindow& window, DeviceEntry& entry) {
  float& userWeight = entry.userWeight[window.currentUser];
  float weight = entry.smoothedWeight;
  if (weight >= kPresentWeight) {
    entry.trend = FilterTrend(entry.trend, userWeight, weight);
    userWeight = weight;
    if (std::fabs(entry.trend) < kStableTrend) {
      if (++window.stableFrames >= kStableFramesToRecord) {
        StopMeasuring(window);
        Record(window, entry);
      }
    } else {
      window.stableFrames = 0;
    }
    window.measureTimer = kTimerWhilePresent;
  } else {
    // Nobody on the board. The first frame with weight again restarts the
    // stable count, since its change from 0 is far above the threshold.
    entry.trend = 0.0f;
    userWeight = 0.0f;
  }
  if (++window.measureTimer > kTimeoutFrames) {
    StopMeasuring(window);
  }
}

// A press of the board's front button (counted once however long it is
// held) starts User0, or moves a running measurement on to the next user.
void HandleBoardButton(AppWindow& window, int buttons) {
  int pressed = (buttons ^ window.prevButtons) & buttons;
  window.prevButtons = buttons;
  if ((pressed & kBoardButton) == 0) {
    return;
  }
  int user = IsMeasuring(window) ? (window.currentUser + 1) % kUsers : 0;
  window.StartMeasurement(user);
  window.startedByButton = 1;
}

}  // namespace

void AppWindow::StartMeasurement(int user) {
  if (!IsValidUser(user)) {
    return;
  }
  currentUser = user;
  startedByButton = 0;
  // The weighing needs the main screen.
  chartShown = 0;
  modeFlags.fetch_or(ModeMeasuring);
  measureTimer = 0;
  stableFrames = 0;
  frameCount = 0;
  AnnounceStart(user);
}

// Restarts the zero adjustment of every entry, whether a board is at its
// position now or not, and forgets the weights read so far.
void AppWindow::ZeroAdjust() {
  for (DeviceEntry& entry : entries) {
    entry.smoothedWeight = 0.0f;
    entry.rawWeight = 0.0f;
    for (float& cell : entry.cornerWeight) {
      cell = 0.0f;
    }
    entry.zeroAdjustFrames = kZeroAdjustFrames;
  }
}

// Walks the device list, updates every open, initialised Balance Board and
// makes the one at the highest position the active one. Returns the number
// of reasons not to call the board missing yet: the remaining start-up grace
// plus every device still initialising.
int AppWindow::PollDevices() {
  int pending = 0;
  if (startupGrace != 0) {
    pending = startupGrace;
    --startupGrace;
  }
  activeEntry = nullptr;
  int count = wiiLib != nullptr ? wiiLib->GetDeviceCount() : 0;
  if (count > kDeviceEntries) {
    count = kDeviceEntries;
  }
  for (int index = 0; index < count; ++index) {
    DeviceEntry& entry = entries[index];
    ktWiiLibDevice* device = wiiLib->GetDevice(static_cast<unsigned>(index));
    entry.device = nullptr;
    if (device == nullptr || !device->IsOpen()) {
      continue;
    }
    if (device->GetReadState() != 0) {
      ++pending;
      continue;
    }
    entry.device = device;
    entry.deviceKind = device->GetExtensionType();
    if (entry.deviceKind == kExtBalanceBoard) {
      UpdateEntry(entry, device);
      activeEntry = &entry;
    }
  }
  return pending;
}

void AppWindow::UpdateEntry(DeviceEntry& entry, ktWiiLibDevice* device) {
  device->SetZeroAdjust(entry.zeroAdjustFrames != 0 ? 1 : 0);
  if (entry.zeroAdjustFrames > 0) {
    --entry.zeroAdjustFrames;
    zeroAdjustEnded |= entry.zeroAdjustFrames == 0;
  }
  entry.rawWeight = device->GetBoardWeight();
  for (int cell = 0; cell < kBoardCells; ++cell) {
    entry.cornerWeight[cell] = device->GetBoardSensor(cell);
  }
  entry.smoothedWeight = Smooth(entry.smoothedWeight, entry.rawWeight);
}

void AppWindow::UpdateMeasurement(DeviceEntry& entry) {
  if (IsMeasuring(*this)) {
    AdvanceMeasurement(*this, entry);
  }
  if (entry.device != nullptr) {
    HandleBoardButton(*this, entry.device->GetButtons());
  }
}

// The trends come from the log as it is on the disk, read once per
// measurement.
int AppWindow::RecognizeUser(float kilograms) {
  LogRecords log;
  if (!ReadLogFile(logPath, &log))
    return -1;
  std::vector<TrendPoint> trends[kUsers];
  ComputeTrends(log, trends);
  int found = -1;
  for (int user = 0; user < kUsers; ++user) {
    if (settings.users[user].name.empty() || trends[user].empty() ||
        std::fabs(trends[user].back().kg - kilograms) > kRecognizedWithinKg)
      continue;
    if (found >= 0)
      return -1;
    found = user;
  }
  return found;
}
