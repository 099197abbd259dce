// Reads arbitrary bytes as one history record and rewrites it in every unit:
// the line stays a NUL-terminated text within the renderer's buffer, in
// kilograms it is the record itself, and in another unit it keeps the
// record's text up to its weight field.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "screen/screen_data.h"
#include "screen/units.h"

namespace {

constexpr size_t kLineBuffer = kHistoryText + 16;

void CheckLine(const std::string& record, WeightUnit unit) {
  char line[kLineBuffer];
  std::memset(line, 'X', sizeof line);
  FormatHistoryLine(line, sizeof line, record.c_str(), unit);
  if (std::memchr(line, '\0', sizeof line) == nullptr) {
    std::abort();
  }
  const std::string shown = line;
  if (shown == record + "kg") {
    return;
  }
  const size_t space = record.find_last_of(" \t");
  const size_t headEnd = space == std::string::npos ? 0 : record.find_last_not_of(" \t", space) + 1;
  const std::string head = record.substr(0, headEnd) + " ";
  if (unit == WeightUnit::Kilograms || headEnd == 0 || shown.compare(0, head.size(), head) != 0 ||
      shown.substr(shown.size() - 2) != "lb") {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A history slot holds at most 63 bytes of text.
  const size_t length = size < kHistoryText - 1 ? size : kHistoryText - 1;
  const std::string record(reinterpret_cast<const char*>(data),
                           strnlen(reinterpret_cast<const char*>(data), length));
  for (WeightUnit unit : {WeightUnit::Kilograms, WeightUnit::Pounds, WeightUnit::StonesPounds}) {
    CheckLine(record, unit);
  }
  return 0;
}
