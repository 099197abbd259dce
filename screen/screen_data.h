#pragma once

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "screen/log_record.h"
#include "screen/units.h"

// What the application keeps and the screen shows: the mode bits, the
// per-board entries and the history. Portable, so every platform's
// application and renderer share it.

class ktWiiLibDevice;

// Bits of the application's mode word. Every change is one atomic
// read-modify-write, because the registration thread changes the
// registration bits while the user-interface thread changes ModeMeasuring.
enum : int32_t {
  ModeRegistering = 0x04,
  ModeRegisterWait = 0x08,
  ModeRegisterUpdate = 0x10,
  ModeMeasuring = 0x20,
};

inline constexpr int kDeviceEntries = 32;
inline constexpr int kUsers = 4;
inline constexpr int kHistorySlots = 8;
inline constexpr int kHistoryText = 64;
inline constexpr int kZeroAdjustFrames = 60;
inline constexpr int kStartupGraceFrames = 120;
inline constexpr int kFailureNoticeFrames = 150;  // 5 s

// What the application keeps per position of the device list.
struct DeviceEntry {
  float smoothedWeight = 0.0f;    // kg, low-pass filtered; shown and recorded
  float rawWeight = 0.0f;         // kg, this frame's reading; drives the needle
  float userWeight[kUsers] = {};  // kg, smoothed weight at each user's previous frame
  float trend = 0.0f;             // kg, filtered change between measuring frames
  float cornerWeight[4] = {};     // quarter kg, the four load cells this frame
  int32_t zeroAdjustFrames = kZeroAdjustFrames;
  int32_t deviceKind = 0;            // extension type as last read
  ktWiiLibDevice* device = nullptr;  // not owned; the device at this index this frame
};

// The last records, oldest first; an empty slot has a NUL first byte.
using HistoryLines = char[kHistorySlots][kHistoryText];

// The spans the chart shows, each ending with the latest record shown.
enum class ChartRange : int32_t { All, Month, Quarter, Year };
inline constexpr int32_t kChartRangeDays[] = {0, 31, 92, 366};

// A user's smoothed weight on a day with records.
struct TrendPoint {
  int32_t day = 0;  // days since 1970-01-01
  float kg = 0.0f;
};

// The trend on `day`: that of the last day with records up to it; 0 when
// the trend starts later.
inline float TrendOn(const std::vector<TrendPoint>& trend, int32_t day) {
  const auto after = std::upper_bound(trend.begin(), trend.end(), day,
                                      [](int32_t d, const TrendPoint& p) { return d < p.day; });
  return after == trend.begin() ? 0.0f : std::prev(after)->kg;
}

// When a user's goal weight would be reached if the recent trend goes on.
struct GoalOutlook {
  enum Kind : int32_t { NoGoal, Reached, Dates, Flat, WrongWay, Years, TooFewDays };
  Kind kind = NoGoal;
  float toGoKg = 0.0f;   // the goal minus the latest trend
  int32_t firstDay = 0;  // Dates: the days between which it would be reached
  int32_t lastDay = 0;
};

// What the chart shows while it replaces the main screen.
struct ChartView {
  const LogRecords* log = nullptr;          // the whole log; null: the chart is not shown
  const LogRecord* selected = nullptr;      // one of log's records, or null
  const std::string* userLabels = nullptr;  // kUsers labels; null: "User0" to "User3"
  ChartRange range = ChartRange::All;
  int32_t onlyUser = -1;                            // the one user shown; -1: all users
  int32_t showBmi = 0;                              // body-mass index instead of weight
  const int32_t* heightsMm = nullptr;               // kUsers heights; 0: none
  const int32_t* goalsTenthsKg = nullptr;           // kUsers goal weights; 0: none
  const std::vector<TrendPoint>* trends = nullptr;  // kUsers trends, by day
  const GoalOutlook* outlooks = nullptr;            // kUsers
};

// The user's label: the name given, or "UserN" (labels may be null).
inline std::string UserLabel(const std::string* labels, int user) {
  return labels && !labels[user].empty() ? labels[user] : "User" + std::to_string(user);
}

// A history line as shown: "User1 2024-05-06 07:08:09  64.8kg", with the
// user's name for "User1" when one is given.
inline std::string LabelledHistoryLine(const std::string* labels, const char* line) {
  const int user = line[0] - '0';
  if (user < 0 || user >= kUsers)
    return std::string("User") + line;
  return UserLabel(labels, user) + (line + 1);
}

// Everything one frame of the main window shows. The status lines show the
// state before the frame's measurement step, the figures the state after it.
struct ScreenFrame {
  int32_t modeFlags = 0;      // as read when the frame began
  int32_t currentUser = 0;    // before the measurement step
  int32_t frameCount = 0;     // before the measurement step; its bit 4 blinks the caption
  int32_t pending = 0;        // devices still initialising plus the start-up grace
  int32_t refusedBoards = 0;  // boards found that the user may not open
  const DeviceEntry* activeEntry = nullptr;  // null: no board to show
  const HistoryLines* history = nullptr;
  const char* unwrittenLogPath = nullptr;   // the log file while records wait for it, else null
  WeightUnit unit = WeightUnit::Kilograms;  // of the weight figure and the history lines
  ChartView chart = {};                     // the chart, while it replaces the main screen
  const std::string* userLabels = nullptr;  // kUsers names given; empty or null: "UserN"
  int32_t batteryLow = 0;                   // the active board's batteries need changing
  int32_t phaseElapsedMs = 0;               // registration: time in the current phase
  int32_t phaseLengthMs = 0;                // its expected length; 0 shows no progress
  int32_t bluetoothFailure = 0;             // a BluetoothFailure while its notice shows, else 0
};
