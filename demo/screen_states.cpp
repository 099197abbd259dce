#include "demo/screen_states.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <new>
#include <numbers>

#include "app/app_window.h"
#include "sim/fixed_devices.h"

namespace {

constexpr float kShownWeight = 65.0f;  // kg
constexpr int kLowBattery = 0x70;      // one bar of four
// Quarter kilograms per cell, adding up to the shown weight.
constexpr float kShownCells[4] = {70.0f, 58.0f, 66.0f, 66.0f};

// A device manager listing at most one board with a constant load.
class ShownBoardLib : public FixedWiiLib {
 public:
  explicit ShownBoardLib(bool withBoard) {
    board.weight = kShownWeight;
    std::copy(std::begin(kShownCells), std::end(kShownCells), board.cells);
    if (withBoard) {
      devices.push_back(&board);
    }
  }

 private:
  FixedBoard board;
};

const char* const kHistory[] = {
    "0 2024-03-01 07:12:40  64.8", "1 2024-03-01 07:15:02  58.3", "0 2024-03-02 07:10:11  64.6",
    "2 2024-03-02 21:40:55  42.1", "0 2024-03-03 07:09:30  64.9",
};

void InstallBoard(AppWindow& window, bool withBoard) {
  if (window.wiiLib)
    window.wiiLib->Release();
  window.wiiLib = new (std::nothrow) ShownBoardLib(withBoard);
}

void ShowSettledBoard(AppWindow& window, int zeroAdjustFrames) {
  InstallBoard(window, true);
  DeviceEntry& entry = window.entries[0];
  entry.smoothedWeight = kShownWeight;
  entry.userWeight[window.currentUser] = kShownWeight;
  // The frame counts the adjustment down once before the weight is shown.
  entry.zeroAdjustFrames = zeroAdjustFrames > 0 ? zeroAdjustFrames + 1 : 0;
  int slot = 0;
  for (const char* record : kHistory)
    std::snprintf(window.history[slot++], kHistoryText, "%s", record);
}

void ShowMeasuring(AppWindow& window, int frame) {
  window.currentUser = 1;
  ShowSettledBoard(window, 0);
  window.modeFlags.fetch_or(ModeMeasuring);
  window.frameCount = frame;
}

// The newest record waits for a log file whose folder is gone.
void ShowUnwrittenLog(AppWindow& window) {
  ShowSettledBoard(window, 0);
  window.logPath = "/home/ユーザー/ドキュメント/Gravimo_log.txt";
  window.unwrittenLog.emplace_back(kHistory[std::size(kHistory) - 1]);
}

// The day after the year of records, so the goal's outlook is of now.
void ReadNewYearsDay(struct tm* out) {
  *out = {};
  out->tm_year = 2025 - 1900;
  out->tm_mday = 1;
}

// A year of mornings for three users: User0 slowly loses weight, User1 puts
// some on over the winter, User2 (a child) grows. Each skips some days; a
// small daily wobble comes from a fixed formula, not from chance.
void ShowChartOfAYear(AppWindow& window) {
  window.localTime = ReadNewYearsDay;
  constexpr int kDays = 366;
  constexpr float kStart[3] = {66.0f, 57.5f, 41.0f};
  constexpr float kChangePerYear[3] = {-4.5f, 0.0f, 3.5f};
  constexpr float kSeasonal[3] = {0.4f, 1.6f, 0.2f};
  constexpr int kSkipEvery[3] = {9, 5, 4};
  window.chartShown = 1;
  window.chartLog = {};
  for (int day = 0; day < kDays; ++day) {
    for (int user = 0; user < 3; ++user) {
      if ((day + user * 2) % kSkipEvery[user] == 0)
        continue;
      const double season = std::cos(2.0 * std::numbers::pi * (day - 20) / kDays);
      const double wobble = 0.2 * std::sin(day * 2.3 + user) + 0.25 * std::sin(day * 0.37 + user);
      const double kg =
          kStart[user] + kChangePerYear[user] * day / kDays + kSeasonal[user] * season + wobble;
      LogRecord record;
      record.user = user;
      // The date of the day of the year: days in each month of 2024.
      static constexpr int kMonthDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
      int month = 0;
      int dayOfYear = day;
      while (dayOfYear >= kMonthDays[month])
        dayOfYear -= kMonthDays[month++];
      record.year = 2024;
      record.month = static_cast<int8_t>(month + 1);
      record.day = static_cast<int8_t>(dayOfYear + 1);
      record.hour = static_cast<int8_t>(7 + user);
      record.minute = static_cast<int8_t>(day % 60);
      record.tenthsKg = static_cast<int32_t>(std::lround(kg * 10.0));
      window.chartLog.records.push_back(record);
    }
  }
  window.OrderChart();
}

// The chart's selection, moved back from the latest record.
constexpr int32_t kSelectedFromTheEnd = 100;

// The registration's clock stands still, so its progress is always the same.
constexpr int64_t kShownClockMs = 100000;

int64_t ShownClock() {
  return kShownClockMs;
}

void ShowRegistration(AppWindow& window, int32_t modeFlags, int32_t elapsedMs, int32_t lengthMs) {
  window.clockMs = ShownClock;
  window.registration.BeginPhase({kShownClockMs - elapsedMs, lengthMs});
  window.modeFlags.fetch_or(modeFlags);
}

}  // namespace

int PrepareScreenState(AppWindow& window, const char* name) {
  window.frameSleepMs = 0;
  window.startupGrace = 0;
  if (std::strcmp(name, "no-board") == 0) {
    InstallBoard(window, false);
  } else if (std::strcmp(name, "no-board-refused") == 0) {
    InstallBoard(window, false);
    window.countRefusedDevices = [](ktWiiLib*) { return 1; };
  } else if (std::strcmp(name, "idle-history") == 0) {
    ShowSettledBoard(window, 0);
  } else if (std::strcmp(name, "measuring-on") == 0) {
    ShowMeasuring(window, 0);
  } else if (std::strcmp(name, "measuring-off") == 0) {
    ShowMeasuring(window, 16);
  } else if (std::strcmp(name, "zero-adjust") == 0) {
    ShowSettledBoard(window, kZeroAdjustFrames - 1);
  } else if (std::strcmp(name, "register-pairing") == 0) {
    ShowRegistration(window, ModeRegistering, 5500, 15000);
  } else if (std::strcmp(name, "register-waiting") == 0) {
    ShowRegistration(window, ModeRegistering | ModeRegisterWait, 2500, 10000);
  } else if (std::strcmp(name, "register-updating") == 0) {
    ShowRegistration(window, ModeRegistering | ModeRegisterWait | ModeRegisterUpdate, 0, 0);
  } else if (std::strcmp(name, "register-adapter-off") == 0) {
    InstallBoard(window, false);
    window.registration.ReportFailure(BluetoothFailure::AdapterOff);
  } else if (std::strcmp(name, "log-unwritten") == 0) {
    ShowUnwrittenLog(window);
  } else if (std::strcmp(name, "battery-low") == 0) {
    ShowSettledBoard(window, 0);
    static_cast<FixedBoard*>(window.wiiLib->GetDevice(0))->battery = kLowBattery;
  } else if (std::strcmp(name, "idle-pounds") == 0) {
    window.settings.unit = WeightUnit::Pounds;
    ShowSettledBoard(window, 0);
  } else if (std::strcmp(name, "idle-stones") == 0) {
    window.settings.unit = WeightUnit::StonesPounds;
    ShowSettledBoard(window, 0);
  } else if (std::strcmp(name, "chart-year") == 0) {
    ShowChartOfAYear(window);
  } else if (std::strcmp(name, "chart-selected") == 0) {
    ShowChartOfAYear(window);
    window.MoveChartSelection(-kSelectedFromTheEnd);
  } else if (std::strcmp(name, "chart-goal") == 0) {
    ShowChartOfAYear(window);
    window.settings.users[0] = {"Anna", 1680, 600};
    window.ShowUserNames();
    window.chartUser = 0;
    window.chartRange = ChartRange::Quarter;
    window.MoveChartSelection(-kSelectedFromTheEnd / 4);
  } else if (std::strcmp(name, "chart-empty") == 0) {
    InstallBoard(window, true);
    window.chartShown = 1;
  } else {
    return 0;
  }
  return 1;
}
