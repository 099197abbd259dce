#include "render/chart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "render/screen_colors.h"
#include "render/text.h"
#include "resources/chart_texts.h"
#include "resources/tr.h"
#include "screen/units.h"

// The weight chart. Records are placed by date and time of day; all records
// of one user that fall into the same pixel column become one point, their
// mean, so ten years of daily records draw as quickly as one month. Where
// the trends are given, those points are drawn faded behind each user's
// trend line; goals are dashed lines, and a row per user below the plot
// gives the range's lightest, heaviest and mean weight and the goal's
// outlook.

namespace {

// The plot area, inside the frame; the scales' labels go outside it.
constexpr int kPlotLeft = 56;
constexpr int kPlotRight = 584;
constexpr int kPlotTop = 76;
constexpr int kPlotBottom = 300;
constexpr int kPlotWidth = kPlotRight - kPlotLeft;
constexpr int kPlotHeight = kPlotBottom - kPlotTop;

constexpr int kHeadingLeft = 16;
constexpr int kHeadingTop = 30;
constexpr int kLegendTop = 36;
constexpr int kLegendSwatch = 16;
constexpr int kLegendGap = 12;
constexpr int kMessageLeft = 32;
constexpr int kMessageTop = 88;
constexpr int kMessageSpacing = 48;
constexpr int kNoteTop = 376;
constexpr int kStatsTop = 322;
constexpr int kStatsSpacing = 13;
constexpr int kDash = 6;
constexpr int kDashGap = 4;

constexpr int kSmallCell = 6;  // half-width cell of the small font
constexpr int kSmallHeight = 12;
constexpr int kLabelGap = 4;
// Labels of the date scale are at most 7 cells wide; ticks keep this apart.
constexpr int kMinDateTickSpacing = 48;
constexpr int kMaxWeightIntervals = 6;
// Users with at most this many points also get a mark at every point.
constexpr size_t kMarkedPoints = 40;
constexpr int kMarkRadius = 4;  // of the square around the selected record
constexpr double kSecondsPerDay = 86400.0;
constexpr double kDaysPerMonth = 30.44;
// Up to two months the date scale marks days, beyond that months or years.
constexpr int32_t kMostDaysWithDayTicks = 62;

constexpr CanvasPen kUserPens[kUsers] = {CanvasPen::User0, CanvasPen::User1, CanvasPen::User2,
                                         CanvasPen::User3};
constexpr CanvasPen kFadedPens[kUsers] = {CanvasPen::Faded0, CanvasPen::Faded1, CanvasPen::Faded2,
                                          CanvasPen::Faded3};

struct Date {
  int year, month, day;
};

// The date of a day number (days since 1970-01-01), the inverse of
// DaysFromCivil.
Date CivilFromDays(int32_t days) {
  days += 719468;
  const int32_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int32_t dayOfEra = days - era * 146097;
  const int32_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int32_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int32_t shiftedMonth = (5 * dayOfYear + 2) / 153;
  const int day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
  const int month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
  return {yearOfEra + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

double TimeOf(const LogRecord& record) {
  const int seconds = record.hour * 3600 + record.minute * 60 + record.second;
  return record.DayNumber() + seconds / kSecondsPerDay;
}

// The weight on the scale's own numbers: kilograms, or pounds for both
// pounds and stones (a stone scale steps in half and whole stones).
double WeightOnScale(double kilograms, WeightUnit unit) {
  return unit == WeightUnit::Kilograms ? kilograms : PoundsFromKilograms(kilograms);
}

}  // namespace

bool ChartShowsUser(const ChartView& view, int user) {
  if (view.onlyUser >= 0 && view.onlyUser != user)
    return false;
  return !view.showBmi || (view.heightsMm && view.heightsMm[user] > 0);
}

namespace {

// A weight of the user on the chart's scale: the weight in the unit, or
// the body-mass index.
double ValueOf(const ChartView& view, const ChartRanges& ranges, int user, double kilograms) {
  if (view.showBmi)
    return BodyMassIndex(kilograms, view.heightsMm[user]);
  return WeightOnScale(kilograms, ranges.unit);
}

double WeightStep(double low, double high, WeightUnit unit) {
  static constexpr double kSteps[] = {0.5, 1, 2, 5, 10, 20, 50, 100, 200, 500, 1000, 10000};
  static constexpr double kStoneSteps[] = {7, 14, 28, 70, 140, 280, 700, 1400, 14000};
  const double* steps = unit == WeightUnit::StonesPounds ? kStoneSteps : kSteps;
  const size_t count =
      unit == WeightUnit::StonesPounds ? std::size(kStoneSteps) : std::size(kSteps);
  for (size_t i = 0; i + 1 < count; ++i) {
    if (std::ceil(high / steps[i]) - std::floor(low / steps[i]) <= kMaxWeightIntervals)
      return steps[i];
  }
  return steps[count - 1];
}

}  // namespace

bool FindChartSpan(const ChartView& view, int32_t* firstDay, int32_t* lastDay) {
  bool any = false;
  for (const LogRecord& record : view.log->records) {
    if (!ChartShowsUser(view, record.user))
      continue;
    const int32_t day = record.DayNumber();
    *firstDay = any ? std::min(*firstDay, day) : day;
    *lastDay = any ? std::max(*lastDay, day) : day;
    any = true;
  }
  const int32_t rangeDays = kChartRangeDays[static_cast<int>(view.range)];
  if (any && rangeDays > 0)
    *firstDay = std::max(*firstDay, *lastDay - rangeDays + 1);
  return any;
}

namespace {

// Lowest and highest value shown, and each user's lightest, heaviest and
// mean weight in the range, in one pass over the records.
struct ValueSpan {
  double low = 0.0;
  double high = 0.0;
  bool any = false;
  void Take(double value) {
    low = any ? std::min(low, value) : value;
    high = any ? std::max(high, value) : value;
    any = true;
  }
};

ChartRanges FindRanges(const ChartView& view, WeightUnit unit, int32_t firstDay, int32_t lastDay,
                       ChartLayout* layout) {
  ChartRanges ranges;
  ranges.unit = unit;
  ranges.firstDay = firstDay;
  ranges.days = lastDay - firstDay + 1;
  ValueSpan values;
  int32_t sums[kUsers] = {};
  for (const LogRecord& record : view.log->records) {
    if (!ChartShowsUser(view, record.user) || record.DayNumber() < firstDay)
      continue;
    ChartUserStats& stats = layout->stats[record.user];
    stats.lowestTenthsKg =
        stats.count ? std::min(stats.lowestTenthsKg, record.tenthsKg) : record.tenthsKg;
    stats.highestTenthsKg = std::max(stats.highestTenthsKg, record.tenthsKg);
    sums[record.user] += record.tenthsKg;
    ++stats.count;
  }
  for (int user = 0; user < kUsers; ++user) {
    ChartUserStats& stats = layout->stats[user];
    if (stats.count == 0)
      continue;
    stats.meanKg = sums[user] / 10.0 / stats.count;
    values.Take(ValueOf(view, ranges, user, stats.lowestTenthsKg / 10.0));
    values.Take(ValueOf(view, ranges, user, stats.highestTenthsKg / 10.0));
    if (view.goalsTenthsKg && view.goalsTenthsKg[user] > 0)
      values.Take(ValueOf(view, ranges, user, view.goalsTenthsKg[user] / 10.0));
  }
  const double low = values.low;
  const double high = values.high;
  const WeightUnit stepUnit = view.showBmi ? WeightUnit::Kilograms : unit;
  ranges.step = WeightStep(low, high, stepUnit);
  ranges.low = std::floor(low / ranges.step) * ranges.step;
  ranges.high = std::ceil(high / ranges.step) * ranges.step;
  if (ranges.high <= ranges.low)
    ranges.high = ranges.low + ranges.step;
  // A goal on the plot's edge would hide in its frame.
  for (int user = 0; user < kUsers; ++user) {
    if (!view.goalsTenthsKg || view.goalsTenthsKg[user] <= 0 || layout->stats[user].count == 0)
      continue;
    const double goal = ValueOf(view, ranges, user, view.goalsTenthsKg[user] / 10.0);
    if (goal <= ranges.low)
      ranges.low -= ranges.step;
    if (goal >= ranges.high)
      ranges.high += ranges.step;
  }
  return ranges;
}

int XOfTime(const ChartRanges& ranges, double time) {
  const double x = (time - ranges.firstDay) / ranges.days * kPlotWidth;
  return kPlotLeft + std::clamp(static_cast<int>(x), 0, kPlotWidth);
}

int YOfWeight(const ChartRanges& ranges, double weight) {
  const double y = (weight - ranges.low) / (ranges.high - ranges.low) * kPlotHeight;
  return kPlotBottom - std::clamp(static_cast<int>(std::lround(y)), 0, kPlotHeight);
}

// A date tick labelled with two numbers, or with the first alone when the
// second is 0.
void AddDateTick(std::vector<ChartTick>& ticks, int position, int first, int second) {
  ChartTick tick;
  tick.position = position;
  if (second != 0) {
    std::snprintf(tick.label, sizeof tick.label, "%d/%d", first, second);
  } else {
    std::snprintf(tick.label, sizeof tick.label, "%d", first);
  }
  ticks.push_back(tick);
}

// Days, spaced so that their labels ("5/6") do not touch.
void LayOutDayTicks(const ChartRanges& ranges, double pixelsPerDay, std::vector<ChartTick>& ticks) {
  static constexpr int kDaySteps[] = {1, 2, 5, 7, 14};
  int step = 31;
  for (int candidate : kDaySteps) {
    if (candidate * pixelsPerDay >= kMinDateTickSpacing) {
      step = candidate;
      break;
    }
  }
  for (int32_t day = ranges.firstDay; day <= ranges.firstDay + ranges.days; day += step) {
    const Date date = CivilFromDays(day);
    AddDateTick(ticks, XOfTime(ranges, day), date.month, date.day);
  }
}

// Firsts of months ("2024/3"), or of years ("2024") for long spans.
void LayOutMonthTicks(const ChartRanges& ranges, double pixelsPerDay,
                      std::vector<ChartTick>& ticks) {
  static constexpr int kMonthSteps[] = {1, 2, 3, 6, 12, 24, 60, 120, 240, 600, 1200, 2400, 6000};
  int step = 12000;
  for (int candidate : kMonthSteps) {
    if (candidate * kDaysPerMonth * pixelsPerDay >= kMinDateTickSpacing) {
      step = candidate;
      break;
    }
  }
  const Date first = CivilFromDays(ranges.firstDay);
  int month = first.year * 12 + first.month - 1 + (first.day > 1 ? 1 : 0);
  for (;; ++month) {
    const int year = month / 12;
    const int32_t day = DaysFromCivil(year, month % 12 + 1, 1);
    if (day > ranges.firstDay + ranges.days)
      break;
    if (month % step != 0)
      continue;
    AddDateTick(ticks, XOfTime(ranges, day), year, step >= 12 ? 0 : month % 12 + 1);
  }
}

// "65", "62.5", or in stones "10st" and "10st 7".
void FormatWeightLabel(char* out, size_t size, double weight, const ChartRanges& ranges, bool bmi) {
  if (ranges.unit == WeightUnit::StonesPounds && !bmi) {
    const int pounds = static_cast<int>(std::lround(weight));
    const int stones = pounds / kPoundsPerStone;
    const int rest = pounds % kPoundsPerStone;
    if (rest == 0) {
      std::snprintf(out, size, "%dst", stones);
    } else {
      std::snprintf(out, size, "%dst %d", stones, rest);
    }
    return;
  }
  std::snprintf(out, size, ranges.step < 1.0 ? "%.1f" : "%.0f", weight);
}

void LayOutWeightTicks(const ChartRanges& ranges, bool bmi, std::vector<ChartTick>& ticks) {
  const int intervals = static_cast<int>(std::lround((ranges.high - ranges.low) / ranges.step));
  for (int i = 0; i <= intervals; ++i) {
    const double weight = ranges.low + i * ranges.step;
    ChartTick tick;
    tick.position = YOfWeight(ranges, weight);
    FormatWeightLabel(tick.label, sizeof tick.label, weight, ranges, bmi);
    ticks.push_back(tick);
  }
}

// One point per user and pixel column, at the mean value of its records.
void LayOutLines(const ChartView& view, const ChartRanges& ranges, ChartLayout* layout) {
  constexpr int kColumns = kPlotWidth + 1;
  std::vector<double> sums(kUsers * kColumns, 0.0);
  std::vector<int> counts(kUsers * kColumns, 0);
  for (const LogRecord& record : view.log->records) {
    if (!ChartShowsUser(view, record.user) || record.DayNumber() < ranges.firstDay)
      continue;
    const int cell = record.user * kColumns + XOfTime(ranges, TimeOf(record)) - kPlotLeft;
    sums[cell] += ValueOf(view, ranges, record.user, record.Kilograms());
    ++counts[cell];
  }
  for (int user = 0; user < kUsers; ++user) {
    for (int column = 0; column < kColumns; ++column) {
      const int cell = user * kColumns + column;
      if (counts[cell] > 0) {
        layout->lines[user].push_back(
            {kPlotLeft + column, YOfWeight(ranges, sums[cell] / counts[cell])});
      }
    }
  }
}

// Each shown user's trend at midday of its days in the range, one point
// per pixel column.
void LayOutTrends(const ChartView& view, const ChartRanges& ranges, ChartLayout* layout) {
  for (int user = 0; user < kUsers; ++user) {
    if (!view.trends || !ChartShowsUser(view, user) || layout->stats[user].count == 0)
      continue;
    const std::vector<TrendPoint>& trend = view.trends[user];
    auto point = std::lower_bound(trend.begin(), trend.end(), ranges.firstDay,
                                  [](const TrendPoint& p, int32_t day) { return p.day < day; });
    std::vector<CanvasPoint>& line = layout->trendLines[user];
    for (; point != trend.end(); ++point) {
      const CanvasPoint at = {XOfTime(ranges, point->day + 0.5),
                              YOfWeight(ranges, ValueOf(view, ranges, user, point->kg))};
      if (!line.empty() && line.back().x == at.x) {
        line.back() = at;
      } else {
        line.push_back(at);
      }
    }
  }
}

void DrawLine(Canvas& canvas, int x0, int y0, int x1, int y1) {
  const CanvasPoint points[] = {{x0, y0}, {x1, y1}};
  canvas.Polyline(points, 2);
}

// Two pixels thick: the line once more one pixel lower.
void DrawUserLine(Canvas& canvas, std::vector<CanvasPoint> points) {
  canvas.Polyline(points.data(), static_cast<int>(points.size()));
  for (CanvasPoint& point : points)
    ++point.y;
  canvas.Polyline(points.data(), static_cast<int>(points.size()));
}

void DrawMarks(Canvas& canvas, const std::vector<CanvasPoint>& points) {
  for (const CanvasPoint& p : points) {
    DrawLine(canvas, p.x - 2, p.y, p.x + 3, p.y);
    DrawLine(canvas, p.x, p.y - 2, p.x, p.y + 3);
  }
}

void DrawGrid(Canvas& canvas, const ChartLayout& layout) {
  canvas.SelectPen(CanvasPen::Grid);
  for (const ChartTick& tick : layout.weightTicks)
    DrawLine(canvas, kPlotLeft, tick.position, kPlotRight, tick.position);
  for (const ChartTick& tick : layout.dateTicks)
    DrawLine(canvas, tick.position, kPlotTop, tick.position, kPlotBottom);
  canvas.SelectPen(CanvasPen::Outline);
  const CanvasPoint frame[] = {{kPlotLeft, kPlotTop},
                               {kPlotRight, kPlotTop},
                               {kPlotRight, kPlotBottom},
                               {kPlotLeft, kPlotBottom},
                               {kPlotLeft, kPlotTop}};
  canvas.Polyline(frame, 5);
}

void DrawScales(Canvas& canvas, const ChartLayout& layout, const char* unitName) {
  canvas.SelectFont(CanvasFont::Small);
  canvas.SetTextColor(kDarkText);
  for (const ChartTick& tick : layout.weightTicks) {
    DrawFormattedText(canvas, kPlotLeft - kLabelGap - TextColumns(tick.label) * kSmallCell,
                      tick.position - kSmallHeight / 2, "%s", tick.label);
  }
  DrawFormattedText(canvas, kPlotLeft - kLabelGap - TextColumns(unitName) * kSmallCell,
                    kPlotTop - kSmallHeight - 2 * kLabelGap, "%s", unitName);
  for (const ChartTick& tick : layout.dateTicks) {
    const int width = TextColumns(tick.label) * kSmallCell;
    const int left = std::clamp(tick.position - width / 2, 0, kPlotRight + 8 - width);
    DrawFormattedText(canvas, left, kPlotBottom + kLabelGap, "%s", tick.label);
  }
}

// The users' labels in their line colours, right-aligned above the plot,
// for the users that have records.
void DrawLegend(Canvas& canvas, const ChartLayout& layout, const std::string* labels) {
  canvas.SelectFont(CanvasFont::Small);
  int x = kPlotRight;
  for (int user = kUsers - 1; user >= 0; --user) {
    if (layout.lines[user].empty())
      continue;
    const std::string label = UserLabel(labels, user);
    x -= kLegendSwatch + kLabelGap + TextColumns(label.c_str()) * kSmallCell;
    canvas.SelectPen(kUserPens[user]);
    const int middle = kLegendTop + kSmallHeight / 2;
    DrawLine(canvas, x, middle - 1, x + kLegendSwatch, middle - 1);
    DrawLine(canvas, x, middle, x + kLegendSwatch, middle);
    canvas.SetTextColor(PenColor(kUserPens[user]));
    DrawFormattedText(canvas, x + kLegendSwatch + kLabelGap, kLegendTop, "%s", label.c_str());
    x -= kLegendGap;
  }
}

// A square around the record's own weight and a line down to its date.
void DrawSelection(Canvas& canvas, const ChartView& view, const ChartRanges& ranges,
                   const LogRecord& record) {
  const int x = XOfTime(ranges, TimeOf(record));
  const int y = YOfWeight(ranges, ValueOf(view, ranges, record.user, record.Kilograms()));
  canvas.SelectPen(CanvasPen::Outline);
  DrawLine(canvas, x, y + kMarkRadius, x, kPlotBottom);
  const CanvasPoint square[] = {{x - kMarkRadius, y - kMarkRadius},
                                {x + kMarkRadius, y - kMarkRadius},
                                {x + kMarkRadius, y + kMarkRadius},
                                {x - kMarkRadius, y + kMarkRadius},
                                {x - kMarkRadius, y - kMarkRadius}};
  canvas.Polyline(square, 5);
}

// A weight in the unit shown, without padding: "64.8kg", "10st 2.9lb".
std::string WeightWords(double kilograms, WeightUnit unit) {
  char figure[32];
  FormatHistoryWeight(figure, sizeof figure, kilograms, unit);
  const char* weight = figure;
  while (*weight == ' ')
    ++weight;
  return weight;
}

std::string ValueWords(const ChartView& view, int user, double kilograms, WeightUnit unit) {
  if (!view.showBmi)
    return WeightWords(kilograms, unit);
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", BodyMassIndex(kilograms, view.heightsMm[user]));
  return text;
}

std::string DateWords(int32_t day) {
  const Date date = CivilFromDays(day);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.year, date.month, date.day);
  return text;
}

// "User1  2024-05-06 07:08:09  64.8kg  傾向 65.1kg  BMI 21.2", right-aligned
// below the plot; the trend and the body-mass index where they are known.
void DrawReadout(Canvas& canvas, const ChartView& view, const LogRecord& record, WeightUnit unit) {
  char text[256];
  std::snprintf(text, sizeof text, "%s  %04d-%02d-%02d %02d:%02d:%02d  %s",
                UserLabel(view.userLabels, record.user).c_str(), record.year, record.month,
                record.day, record.hour, record.minute, record.second,
                WeightWords(record.Kilograms(), unit).c_str());
  std::string readout = text;
  const float trend = view.trends ? TrendOn(view.trends[record.user], record.DayNumber()) : 0.0f;
  if (trend > 0.0f) {
    std::snprintf(text, sizeof text, Tr(resources::kChartTrend), WeightWords(trend, unit).c_str());
    readout += "  ";
    readout += text;
  }
  const int heightMm = view.heightsMm ? view.heightsMm[record.user] : 0;
  if (heightMm > 0) {
    std::snprintf(text, sizeof text, "  BMI %.1f", BodyMassIndex(record.Kilograms(), heightMm));
    readout += text;
  }
  canvas.SelectFont(CanvasFont::Small);
  canvas.SetTextColor(kDarkText);
  DrawFormattedText(canvas, kPlotRight - TextColumns(readout.c_str()) * kSmallCell, kNoteTop, "%s",
                    readout.c_str());
}

// A horizontal line of dashes across the plot.
void DrawDashes(Canvas& canvas, int y) {
  for (int x = kPlotLeft; x < kPlotRight; x += kDash + kDashGap)
    DrawLine(canvas, x, y, std::min(x + kDash, kPlotRight), y);
}

// The user's records, faded behind the trend where there is one, then the
// trend and the goal.
void DrawUser(Canvas& canvas, const ChartLayout& layout, int user) {
  const bool trend = !layout.trendLines[user].empty();
  canvas.SelectPen(trend ? kFadedPens[user] : kUserPens[user]);
  if (trend) {
    canvas.Polyline(layout.lines[user].data(), static_cast<int>(layout.lines[user].size()));
  } else {
    DrawUserLine(canvas, layout.lines[user]);
  }
  if (layout.lines[user].size() <= kMarkedPoints)
    DrawMarks(canvas, layout.lines[user]);
  canvas.SelectPen(kUserPens[user]);
  if (trend)
    DrawUserLine(canvas, layout.trendLines[user]);
  if (layout.goalY[user] >= 0)
    DrawDashes(canvas, layout.goalY[user]);
}

// "あと 3.2kg、2025-03-10〜2025-04-20 ごろ", or why no date is given.
std::string OutlookWords(const GoalOutlook& outlook, WeightUnit unit) {
  if (outlook.kind == GoalOutlook::NoGoal)
    return "";
  if (outlook.kind == GoalOutlook::Reached)
    return Tr(resources::kGoalReached);
  char text[160];
  const double toGo = std::fabs(outlook.toGoKg);
  std::string words = WeightWords(toGo, unit);
  std::snprintf(text, sizeof text, Tr(resources::kGoalToGo), words.c_str());
  words = text;
  switch (outlook.kind) {
    case GoalOutlook::Dates:
      std::snprintf(text, sizeof text, Tr(resources::kGoalDates),
                    DateWords(outlook.firstDay).c_str(), DateWords(outlook.lastDay).c_str());
      break;
    case GoalOutlook::Flat:
      std::snprintf(text, sizeof text, "%s", Tr(resources::kGoalFlat));
      break;
    case GoalOutlook::WrongWay:
      std::snprintf(text, sizeof text, "%s", Tr(resources::kGoalWrongWay));
      break;
    case GoalOutlook::Years:
      std::snprintf(text, sizeof text, "%s", Tr(resources::kGoalYears));
      break;
    default:
      std::snprintf(text, sizeof text, "%s", Tr(resources::kGoalTooFewDays));
      break;
  }
  return words + text;
}

// A row per user shown: the range's lightest, heaviest and mean, and the
// goal's outlook.
void DrawStats(Canvas& canvas, const ChartView& view, const ChartLayout& layout, WeightUnit unit) {
  canvas.SelectFont(CanvasFont::Small);
  int y = kStatsTop;
  for (int user = 0; user < kUsers; ++user) {
    if (layout.stats[user].count == 0)
      continue;
    canvas.SetTextColor(PenColor(kUserPens[user]));
    DrawFormattedText(canvas, kHeadingLeft, y, "%s",
                      ChartUserRow(view, layout, user, unit).c_str());
    y += kStatsSpacing;
  }
}

// "体重の推移", with the range when it is not the whole log.
void DrawHeading(Canvas& canvas, const ChartView& view) {
  static constexpr const char* kRangeNames[] = {"", resources::kChartMonth,
                                                resources::kChartQuarter, resources::kChartYear};
  canvas.SetTextColor(kDarkText);
  canvas.SelectFont(CanvasFont::Medium);
  const char* heading = Tr(view.showBmi ? resources::kChartBmiHeading : resources::kChartHeading);
  if (view.range == ChartRange::All) {
    DrawFormattedText(canvas, kHeadingLeft, kHeadingTop, "%s", heading);
  } else {
    DrawFormattedText(canvas, kHeadingLeft, kHeadingTop, "%s (%s)", heading,
                      Tr(kRangeNames[static_cast<int>(view.range)]));
  }
}

// No record yet, or for the body-mass index none of a user with a height.
void DrawEmptyMessage(Canvas& canvas, const ChartView& view) {
  const bool heights = view.showBmi && !view.log->records.empty();
  canvas.SetTextColor(kNoticeColor);
  canvas.SelectFont(CanvasFont::Medium);
  DrawFormattedText(canvas, kMessageLeft, kMessageTop, "%s",
                    Tr(heights ? resources::kChartNoHeights : resources::kChartEmpty));
  DrawFormattedText(canvas, kMessageLeft, kMessageTop + kMessageSpacing, "%s",
                    Tr(heights ? resources::kChartNoHeightsHint : resources::kChartEmptyHint));
}

}  // namespace

CanvasPoint ChartPointOf(const ChartView& view, const ChartLayout& layout,
                         const LogRecord& record) {
  return {XOfTime(layout.ranges, TimeOf(record)),
          YOfWeight(layout.ranges, ValueOf(view, layout.ranges, record.user, record.Kilograms()))};
}

std::string ChartUserRow(const ChartView& view, const ChartLayout& layout, int user,
                         WeightUnit unit) {
  const ChartUserStats& stats = layout.stats[user];
  char text[256];
  std::snprintf(text, sizeof text, Tr(resources::kChartStats),
                UserLabel(view.userLabels, user).c_str(),
                ValueWords(view, user, stats.lowestTenthsKg / 10.0, unit).c_str(),
                ValueWords(view, user, stats.highestTenthsKg / 10.0, unit).c_str(),
                ValueWords(view, user, stats.meanKg, unit).c_str());
  std::string row = text;
  if (view.outlooks && view.outlooks[user].kind != GoalOutlook::NoGoal)
    row += "  " + OutlookWords(view.outlooks[user], unit);
  return row;
}

void LayoutChart(const ChartView& view, WeightUnit unit, ChartLayout* layout) {
  *layout = {};
  int32_t firstDay = 0;
  int32_t lastDay = 0;
  if (!FindChartSpan(view, &firstDay, &lastDay))
    return;
  const ChartRanges ranges = FindRanges(view, unit, firstDay, lastDay, layout);
  layout->ranges = ranges;
  const double pixelsPerDay = static_cast<double>(kPlotWidth) / ranges.days;
  if (ranges.days <= kMostDaysWithDayTicks) {
    LayOutDayTicks(ranges, pixelsPerDay, layout->dateTicks);
  } else {
    LayOutMonthTicks(ranges, pixelsPerDay, layout->dateTicks);
  }
  LayOutWeightTicks(ranges, view.showBmi, layout->weightTicks);
  LayOutLines(view, ranges, layout);
  LayOutTrends(view, ranges, layout);
  for (int user = 0; user < kUsers; ++user) {
    if (view.goalsTenthsKg && view.goalsTenthsKg[user] > 0 && layout->stats[user].count > 0)
      layout->goalY[user] =
          YOfWeight(ranges, ValueOf(view, ranges, user, view.goalsTenthsKg[user] / 10.0));
  }
}

void DrawChart(Canvas& canvas, const ChartView& view, WeightUnit unit) {
  const LogRecords& log = *view.log;
  DrawHeading(canvas, view);
  ChartLayout layout;
  LayoutChart(view, unit, &layout);
  if (layout.weightTicks.empty()) {
    DrawEmptyMessage(canvas, view);
  } else {
    DrawGrid(canvas, layout);
    DrawScales(canvas, layout, view.showBmi ? "BMI" : UnitName(unit));
    DrawLegend(canvas, layout, view.userLabels);
    for (int user = 0; user < kUsers; ++user)
      DrawUser(canvas, layout, user);
    DrawStats(canvas, view, layout, unit);
    if (view.selected && ChartShowsUser(view, view.selected->user) &&
        view.selected->DayNumber() >= layout.ranges.firstDay) {
      DrawSelection(canvas, view, layout.ranges, *view.selected);
      DrawReadout(canvas, view, *view.selected, unit);
    }
  }
  if (log.skippedLines > 0) {
    canvas.SelectFont(CanvasFont::Small);
    canvas.SetTextColor(kGreyText);
    DrawFormattedText(canvas, kHeadingLeft, kNoteTop, Tr(resources::kChartSkippedLines),
                      log.skippedLines);
  }
  // The main screen's figures expect the outline pen.
  canvas.SelectPen(CanvasPen::Outline);
}
