#include <gtest/gtest.h>

#include <string>

#include "screen/units.h"

namespace {

std::string Figure(double kilograms, WeightUnit unit, int* columns = nullptr) {
  char text[64];
  const int used = FormatWeightFigure(text, sizeof text, kilograms, unit);
  if (columns)
    *columns = used;
  return text;
}

std::string HistoryLine(const char* record, WeightUnit unit) {
  char text[128];
  FormatHistoryLine(text, sizeof text, record, unit);
  return text;
}

TEST(UnitsTest, NamesRoundTripAndOthersAreRefused) {
  for (WeightUnit unit : {WeightUnit::Kilograms, WeightUnit::Pounds, WeightUnit::StonesPounds}) {
    WeightUnit parsed = WeightUnit::Kilograms;
    ASSERT_EQ(ParseUnitName(UnitName(unit), &parsed), 1);
    EXPECT_EQ(parsed, unit);
  }
  WeightUnit unchanged = WeightUnit::Pounds;
  for (const char* bad : {"", "KG", "kg ", "stone", "lbs"})
    EXPECT_EQ(ParseUnitName(bad, &unchanged), 0) << bad;
  EXPECT_EQ(unchanged, WeightUnit::Pounds);
}

TEST(UnitsTest, ConversionUsesTheExactPound) {
  EXPECT_EQ(PoundsFromKilograms(0.45359237), 1.0);
  EXPECT_DOUBLE_EQ(WeightInUnit(6.35029318, WeightUnit::StonesPounds), 1.0);
  EXPECT_EQ(WeightInUnit(65.0, WeightUnit::Kilograms), 65.0);
}

// The figure keeps the width of today's kilogram figure, stones one
// character more, which still clears the load bars.
TEST(UnitsTest, FigureInEachUnit) {
  struct Case {
    double kilograms;
    WeightUnit unit;
    const char* text;
    int columns;
  };
  const Case cases[] = {
      {65.0, WeightUnit::Kilograms, " 65.0kg", 7},
      {0.0, WeightUnit::Kilograms, "  0.0kg", 7},
      {65.0, WeightUnit::Pounds, "143.3lb", 7},
      {42.1, WeightUnit::Pounds, " 92.8lb", 7},
      {65.0, WeightUnit::StonesPounds, "10st 3.3", 8},
      {58.3, WeightUnit::StonesPounds, " 9st 2.5", 8},
      {150.0, WeightUnit::StonesPounds, "23st 8.7", 8},
      // 13.99 lb rounds to a whole stone, never to "14.0" pounds.
      {6.35, WeightUnit::StonesPounds, " 1st 0.0", 8},
      {-2.0, WeightUnit::StonesPounds, " 0st 0.0", 8},
  };
  for (const Case& c : cases) {
    int columns = 0;
    EXPECT_EQ(Figure(c.kilograms, c.unit, &columns), c.text) << c.kilograms;
    EXPECT_EQ(columns, c.columns) << c.text;
  }
}

TEST(UnitsTest, HistoryLineRewritesOnlyTheRecordsWeight) {
  const char* record = "0 2024-03-01 07:12:40  64.8";
  EXPECT_EQ(HistoryLine(record, WeightUnit::Kilograms), "0 2024-03-01 07:12:40  64.8kg");
  EXPECT_EQ(HistoryLine(record, WeightUnit::Pounds), "0 2024-03-01 07:12:40 142.9lb");
  EXPECT_EQ(HistoryLine(record, WeightUnit::StonesPounds), "0 2024-03-01 07:12:40 10st 2.9lb");
  EXPECT_EQ(HistoryLine("3 2024-03-01 07:12:40 150.0", WeightUnit::Pounds),
            "3 2024-03-01 07:12:40 330.7lb");
  // Lines that are no record are shown as the log has them, in kilograms.
  for (const char* odd : {"", "64.8", "hello", "0 2024-03-01 07:12:40 -3.0", "0 x 64.", "0 x .5",
                          "0 x 6.4.8", "0 x 64,8", "0 x 1234567890123456"})
    EXPECT_EQ(HistoryLine(odd, WeightUnit::Pounds), std::string(odd) + "kg") << odd;
}

}  // namespace
