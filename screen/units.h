#pragma once

#include <cstddef>

// The units a weight is shown in. Everything the scale measures, records and
// computes stays in kilograms; a unit only changes how a weight is written
// on the screen.
enum class WeightUnit { Kilograms, Pounds, StonesPounds };

inline constexpr double kKilogramsPerPound = 0.45359237;  // exact, by definition
inline constexpr int kPoundsPerStone = 14;

// The unit's short name, as the settings file stores it: "kg", "lb", "st".
const char* UnitName(WeightUnit unit);
// The unit named `name`; 0 (and *unit unchanged) for any other text.
int ParseUnitName(const char* name, WeightUnit* unit);

double PoundsFromKilograms(double kilograms);

// Body-mass index: kilograms over the square of the height in metres; 0
// without a height.
double BodyMassIndex(double kilograms, int heightMm);
// The weight as a number on the unit's own scale: kilograms, pounds or
// stones (with the pounds as a fraction of a stone).
double WeightInUnit(double kilograms, WeightUnit unit);

// A weight in stones and pounds, the pounds rounded to tenths first, so that
// 13.96 lb makes one stone more rather than "14.0" pounds.
struct StonesAndPounds {
  long stones = 0;
  int tenthsOfPound = 0;  // 0 .. 139
};
StonesAndPounds SplitStones(double kilograms);

// The big weight figure, 7 or 8 half-width characters, so that it fits
// between the load bars: " 65.0kg", "143.3lb", "10st 3.3". Gives the number
// of characters of the unit's figure, which places it.
int FormatWeightFigure(char* out, size_t size, double kilograms, WeightUnit unit);

// A weight as a history line ends: " 64.8kg", "142.9lb", "10st 2.9lb".
void FormatHistoryWeight(char* out, size_t size, double kilograms, WeightUnit unit);

// A log record as a history line shows it after "User": the record with "kg"
// in kilograms, exactly as the log holds it; in another unit, the record's
// last field, its weight in kilograms, rewritten in the unit. A record
// whose last field is no number is shown as in kilograms.
void FormatHistoryLine(char* out, size_t size, const char* record, WeightUnit unit);
