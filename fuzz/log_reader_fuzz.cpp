// Parses arbitrary bytes as the whole weight log and checks what comes out:
// every record is a valid date, time and user, records and skipped lines
// never outnumber the lines, and the CSV has one line per record.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/csv_export.h"
#include "app/log_reader.h"
#include "screen/screen_data.h"

namespace {

void Check(bool condition) {
  if (!condition)
    abort();
}

size_t CountLineFeeds(const std::string& text) {
  size_t count = 0;
  for (char c : text)
    count += c == '\n' ? 1 : 0;
  return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  LogRecords log;
  ParseLog(text.data(), text.size(), &log);
  Check(log.skippedLines >= 0);
  Check(log.records.size() + static_cast<size_t>(log.skippedLines) <= CountLineFeeds(text) + 1);
  for (const LogRecord& r : log.records) {
    Check(r.user >= 0 && r.user < kUsers);
    Check(r.month >= 1 && r.month <= 12 && r.day >= 1 && r.day <= 31);
    Check(r.hour >= 0 && r.hour <= 23 && r.minute >= 0 && r.minute <= 59);
    Check(r.second >= 0 && r.second <= 60);
  }
  Check(CountLineFeeds(FormatCsv(log)) == log.records.size() + 1);
  return 0;
}
