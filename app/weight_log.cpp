#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>
#include <string>

#include "app/app_window.h"
#include "app/log_reader.h"
#include "platform/documents.h"
#include "platform/log_file.h"
#include "support/trace.h"

namespace {

constexpr char kRecordPrefix[] = "log ";
constexpr size_t kPrefixLength = sizeof(kRecordPrefix) - 1;
constexpr int kRecordBuffer = 256;
// Records kept for the file while it cannot be written: most of a year of
// daily weighing for four users, and still less than a hundred kilobytes.
constexpr size_t kMaxUnwrittenRecords = 1000;
// Frames between two tries while records wait: about three seconds.
constexpr int32_t kLogRetryFrames = 90;
// Opens of a log that corrections keep replacing before the records wait.
constexpr int kMostLogOpens = 8;

using HistoryText = char[kHistoryText];

// Copies a text into a history slot, cut to the slot's size.
void CopyText(HistoryText& slot, const char* text) {
  const size_t length = strnlen(text, sizeof slot - 1);
  memcpy(slot, text, length);
  slot[length] = '\0';
}

bool IsEmpty(const HistoryText& slot) {
  return slot[0] == '\0';
}

void FormatRecord(char (&record)[kRecordBuffer], int user, const struct tm& when, float weight) {
  snprintf(record, sizeof record, "%d %04d-%02d-%02d %02d:%02d:%02d %5.1f", user,
           when.tm_year + 1900, when.tm_mon + 1, when.tm_mday, when.tm_hour, when.tm_min,
           when.tm_sec, static_cast<double>(weight));
}

// The record goes into the first empty slot; when all are full, the oldest
// one makes room at the end.
void AddToHistory(HistoryText (&history)[kHistorySlots], const char* record) {
  int slot = 0;
  while (slot < kHistorySlots && !IsEmpty(history[slot])) {
    ++slot;
  }
  if (slot == kHistorySlots) {
    memmove(history[0], history[1], sizeof history - sizeof history[0]);
    slot = kHistorySlots - 1;
  }
  CopyText(history[slot], record);
}

// The unwritten records as lines of the file, oldest first. The line end
// is CR LF on every system, so the file reads the same wherever it is moved.
std::string LogLines(const std::deque<std::string>& records) {
  std::string lines;
  for (const std::string& record : records) {
    lines.append(kRecordPrefix).append(record).append("\r\n");
  }
  return lines;
}

size_t LogLineLength(const std::string& record) {
  return kPrefixLength + record.size() + 2;
}

}  // namespace

// The last records that the log reader finds, oldest first: the history
// shows what the chart and the CSV export show, and a line they skip is not
// listed either. A log that cannot be read leaves the history empty.
void AppWindow::LoadHistory() {
  LogRecords log;
  if (!ReadLogFile(logPath, &log)) {
    log.records.clear();
  }
  const size_t count = std::min(log.records.size(), static_cast<size_t>(kHistorySlots));
  const size_t first = log.records.size() - count;
  for (size_t i = 0; i < kHistorySlots; ++i) {
    CopyText(history[i], i < count ? RecordText(log.records[first + i]).c_str() : "");
  }
}

// The desktop's choice unless the program entry chose a file already; said
// once, so that a user who looks for the file finds it.
void AppWindow::ChooseLogFile() {
  std::string why;
  if (logPath.empty()) {
    LogLocation location = ChooseLogLocation();
    logPath = location.path;
    if (!location.note.empty()) {
      why = " (" + location.note + ")";
    }
  }
  DebugPrint("Weight log: %s%s", logPath.c_str(), why.c_str());
}

// The record enters the history at once and waits in unwrittenLog until the
// file has taken it, behind any records that could not be written before.
void AppWindow::AppendLog(DeviceEntry& entry) {
  struct tm now = {};
  (localTime != nullptr ? localTime : ReadLocalTime)(&now);
  char record[kRecordBuffer];
  FormatRecord(record, currentUser, now, entry.userWeight[currentUser]);
  AddToHistory(history, record);
  AnnounceRecord(currentUser, entry.userWeight[currentUser]);
  if (unwrittenLog.size() == kMaxUnwrittenRecords) {
    DebugPrint("Weight log: too many records unwritten, dropped: %s%s", kRecordPrefix,
               unwrittenLog.front().c_str());
    unwrittenLog.pop_front();
  }
  unwrittenLog.emplace_back(record);
  WriteUnwrittenLog();
  if (chartShown)
    ReloadChart();
}

// All waiting records go in one write, so they stay in order and together;
// those that fit stay in the file even when the rest does not. The first
// failure after the file was last fully written is reported, once.
int AppWindow::WriteUnwrittenLog() {
  if (unwrittenLog.empty()) {
    return 1;
  }
  if (AppendUnwritten(logPath)) {
    logFailureReported = 0;
    return 1;
  }
  if (!logFailureReported) {
    logFailureReported = 1;
    DebugPrint("Weight log not written: %s (%s)", logPath.c_str(),
               errno != 0 ? strerror(errno) : "short write");
  }
  return 0;
}

// A correction may replace the file between its opening and the writers'
// turn; the records then go to the new file.
int AppWindow::AppendUnwritten(const std::string& path) {
  const std::string lines = LogLines(unwrittenLog);
  size_t kept = 0;
  int error = EAGAIN;
  for (int attempt = 0; attempt < kMostLogOpens && error == EAGAIN; ++attempt) {
    errno = 0;
    FILE* file = OpenLogStream(path.c_str(), "a");
    error = errno;
    if (file == nullptr)
      break;
    kept = AppendLines(file, lines.data(), lines.size());
    error = errno;
    // The lines kept are on the disk already; closing cannot lose them.
    fclose(file);
  }
  while (!unwrittenLog.empty() && kept >= LogLineLength(unwrittenLog.front())) {
    kept -= LogLineLength(unwrittenLog.front());
    unwrittenLog.pop_front();
  }
  errno = error;
  return unwrittenLog.empty();
}

// Room that comes back is used without waiting for the next measurement;
// a try costs one failed open or write, so every few seconds is cheap even
// when the log stays unwritable for weeks.
void AppWindow::RetryUnwrittenLog() {
  if (unwrittenLog.empty() || ++logRetryFrames < kLogRetryFrames) {
    return;
  }
  logRetryFrames = 0;
  WriteUnwrittenLog();
}

// The last try at exit; then the user may save what is left in another
// file. What is still left goes whole to the debug output, from where it can
// be copied into the file by hand.
void AppWindow::CloseLog() {
  if (WriteUnwrittenLog()) {
    return;
  }
  OfferToSaveUnwritten();
  for (const std::string& record : unwrittenLog) {
    DebugPrint("Weight log: not written at exit: %s%s", kRecordPrefix, record.c_str());
  }
  unwrittenLog.clear();
}
