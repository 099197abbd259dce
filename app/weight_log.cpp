#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "app/app_window.h"
#include "app/log_file.h"
#include "support/trace.h"

namespace {

constexpr char kRecordPrefix[] = "log ";
constexpr size_t kPrefixLength = sizeof(kRecordPrefix) - 1;
constexpr int kRecordBuffer = 256;
constexpr int kLineBuffer = kRecordBuffer + 8;

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

void CutAtLineEnd(HistoryText& slot) {
  slot[strcspn(slot, "\r\n")] = '\0';
}

void FormatRecord(char (&record)[kRecordBuffer], int user, const struct tm& when, float weight) {
  snprintf(record, sizeof record, "%d %04d-%02d-%02d %02d:%02d:%02d %5.1f", user,
           when.tm_year + 1900, when.tm_mon + 1, when.tm_mday, when.tm_hour, when.tm_min,
           when.tm_sec, static_cast<double>(weight));
}

// Keeps the last records of the file as it is read: slot `next` is written
// next, and after eight records it holds the oldest one.
struct RecordRing {
  HistoryText slots[kHistorySlots] = {};
  int next = 0;
  int count = 0;  // records seen, counted up to kHistorySlots only

  void Add(const char* text) {
    CopyText(slots[next], text);
    next = (next + 1) % kHistorySlots;
    if (count < kHistorySlots) {
      ++count;
    }
  }

  // The oldest kept record first.
  const HistoryText& InFileOrder(int i) const {
    int start = count == kHistorySlots ? next : 0;
    return slots[(start + i) % kHistorySlots];
  }
};

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

// Appends "log " + record + CR LF to a stream opened for appending (or null)
// and closes it. The line end is CR LF on every system, so the file reads
// the same wherever it is moved. Gives 1 when the line is on disk, else 0
// with the cause in *error (0 when unknown).
int WriteLogLine(FILE* file, const char* record, int* error) {
  *error = errno;
  if (file == nullptr) {
    return 0;
  }
  char line[kLineBuffer];
  int length = snprintf(line, sizeof line, "%s%s\r\n", kRecordPrefix, record);
  int written = AppendLineDurably(file, line, static_cast<size_t>(length));
  *error = errno;
  if (fclose(file) != 0 && written) {
    written = 0;
    *error = errno;
  }
  return written;
}

}  // namespace

FILE* AppWindow::OpenLogFile(const char* mode) {
  return OpenLogStream(logPath.c_str(), mode);
}

// Reads the file in pieces of at most 63 bytes, each ending after a line feed
// at the latest, and keeps the text after "log " of every piece that starts
// with it. An over-long line thus arrives in several pieces, each judged on
// its own.
void AppWindow::LoadHistory() {
  FILE* file = OpenLogFile("rb");
  if (file == nullptr) {
    return;
  }
  RecordRing ring;
  char piece[kHistoryText];
  while (fgets(piece, sizeof piece, file) != nullptr) {
    if (strncmp(piece, kRecordPrefix, kPrefixLength) == 0) {
      ring.Add(piece + kPrefixLength);
    }
  }
  fclose(file);
  for (int i = 0; i < kHistorySlots; ++i) {
    CopyText(history[i], ring.InFileOrder(i));
    CutAtLineEnd(history[i]);
  }
}

void AppWindow::AppendLog(DeviceEntry& entry) {
  struct tm now = {};
  (localTime != nullptr ? localTime : ReadLocalTime)(&now);
  char record[kRecordBuffer];
  FormatRecord(record, currentUser, now, entry.userWeight[currentUser]);
  AddToHistory(history, record);
  errno = 0;
  FILE* file = OpenLogFile("a");
  int error = 0;
  // The record stays in the history even if the file cannot be written; the
  // first failure is reported so that a lost log does not go unnoticed.
  if (!WriteLogLine(file, record, &error) && !logFailureReported) {
    logFailureReported = 1;
    DebugPrint("Weight log not written: %s (%s)", logPath.c_str(),
               error != 0 ? strerror(error) : "short write");
  }
}
