#include "screen/units.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

struct UnitText {
  WeightUnit unit;
  const char* name;
};

constexpr UnitText kUnitNames[] = {
    {WeightUnit::Kilograms, "kg"},
    {WeightUnit::Pounds, "lb"},
    {WeightUnit::StonesPounds, "st"},
};

constexpr int kTenthsPerStone = kPoundsPerStone * 10;
constexpr int kKilogramFigureColumns = 7;
constexpr int kPoundFigureColumns = 7;
constexpr int kStoneFigureColumns = 8;
// Longest number a record's weight field may hold: beyond it the digits
// would no longer be exact in a double.
constexpr int kMaxNumberDigits = 15;
constexpr double kMaxPounds = 1e15;

// Parses a whole text of the form digits[.digits] without the C library,
// so that no locale can change what a record's weight means. Recorded
// weights are never negative; a line that says otherwise is no record.
int ParseDecimal(const char* text, size_t length, double* value) {
  double digits = 0.0;
  double scale = 1.0;
  int count = 0;
  int wholeDigits = 0;
  bool point = false;
  for (size_t i = 0; i < length; ++i) {
    const char c = text[i];
    if (c == '.' && !point && count > 0) {
      point = true;
      continue;
    }
    if (c < '0' || c > '9' || ++count > kMaxNumberDigits)
      return 0;
    digits = digits * 10.0 + (c - '0');
    scale *= point ? 10.0 : 1.0;
    wholeDigits += point ? 0 : 1;
  }
  if (count == 0 || (point && count == wholeDigits))
    return 0;
  *value = digits / scale;
  return 1;
}

bool IsSpace(char c) {
  return c == ' ' || c == '\t';
}

}  // namespace

const char* UnitName(WeightUnit unit) {
  for (const UnitText& entry : kUnitNames) {
    if (entry.unit == unit)
      return entry.name;
  }
  return kUnitNames[0].name;
}

int ParseUnitName(const char* name, WeightUnit* unit) {
  for (const UnitText& entry : kUnitNames) {
    if (std::strcmp(entry.name, name) == 0) {
      *unit = entry.unit;
      return 1;
    }
  }
  return 0;
}

double PoundsFromKilograms(double kilograms) {
  return kilograms / kKilogramsPerPound;
}

double WeightInUnit(double kilograms, WeightUnit unit) {
  switch (unit) {
    case WeightUnit::Pounds:
      return PoundsFromKilograms(kilograms);
    case WeightUnit::StonesPounds:
      return PoundsFromKilograms(kilograms) / kPoundsPerStone;
    case WeightUnit::Kilograms:
      break;
  }
  return kilograms;
}

StonesAndPounds SplitStones(double kilograms) {
  // Negative weights and NaN split as 0, as the figure shows them; the bound
  // keeps the rounding defined.
  const double pounds = PoundsFromKilograms(kilograms);
  const long long tenths = pounds > 0.0 && pounds < kMaxPounds ? std::llround(pounds * 10.0) : 0;
  const long long stones = tenths / kTenthsPerStone;
  return {static_cast<long>(stones), static_cast<int>(tenths - stones * kTenthsPerStone)};
}

int FormatWeightFigure(char* out, size_t size, double kilograms, WeightUnit unit) {
  switch (unit) {
    case WeightUnit::Pounds:
      std::snprintf(out, size, "%5.1flb", PoundsFromKilograms(kilograms));
      return kPoundFigureColumns;
    case WeightUnit::StonesPounds: {
      const StonesAndPounds split = SplitStones(kilograms);
      std::snprintf(out, size, "%2ldst%2d.%d", split.stones, split.tenthsOfPound / 10,
                    split.tenthsOfPound % 10);
      return kStoneFigureColumns;
    }
    case WeightUnit::Kilograms:
      break;
  }
  std::snprintf(out, size, "%5.1fkg", kilograms);
  return kKilogramFigureColumns;
}

void FormatHistoryWeight(char* out, size_t size, double kilograms, WeightUnit unit) {
  if (unit == WeightUnit::StonesPounds) {
    const StonesAndPounds split = SplitStones(kilograms);
    std::snprintf(out, size, "%2ldst%2d.%dlb", split.stones, split.tenthsOfPound / 10,
                  split.tenthsOfPound % 10);
    return;
  }
  FormatWeightFigure(out, size, kilograms, unit);
}

void FormatHistoryLine(char* out, size_t size, const char* record, WeightUnit unit) {
  const size_t length = std::strlen(record);
  size_t numberStart = length;
  while (numberStart > 0 && !IsSpace(record[numberStart - 1]))
    --numberStart;
  size_t headEnd = numberStart;
  while (headEnd > 0 && IsSpace(record[headEnd - 1]))
    --headEnd;
  double kilograms = 0.0;
  if (unit == WeightUnit::Kilograms || headEnd == 0 ||
      !ParseDecimal(record + numberStart, length - numberStart, &kilograms)) {
    std::snprintf(out, size, "%skg", record);
    return;
  }
  // Room for the longest text the formats can make, so none is cut.
  char weight[48];
  FormatHistoryWeight(weight, sizeof weight, kilograms, unit);
  std::snprintf(out, size, "%.*s %s", static_cast<int>(headEnd), record, weight);
}

double BodyMassIndex(double kilograms, int heightMm) {
  if (heightMm <= 0)
    return 0.0;
  const double metres = heightMm / 1000.0;
  return kilograms / (metres * metres);
}
