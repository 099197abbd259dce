#include "app/trend.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kKeep = 1.0 - kTrendSmoothing;
constexpr int32_t kFitDays = 28;
constexpr size_t kLeastFitPoints = 3;
constexpr int32_t kLeastFitSpan = 7;
constexpr double kFlatKgPerDay = 0.005;
constexpr double kReachedKg = 0.2;
constexpr double kLeastSpread = 0.15;
constexpr double kErrorsEachWay = 2.0;
constexpr double kMostDays = 730.0;

struct DayWeight {
  int32_t day;
  int32_t tenthsKg;
};

// A least-squares line through (day, kg): its slope and the standard
// error of that slope.
struct Fit {
  double slope = 0.0;
  double slopeError = 0.0;
};

Fit FitLine(const std::vector<TrendPoint>& points, size_t first) {
  const double count = static_cast<double>(points.size() - first);
  double meanDay = 0.0, meanKg = 0.0;
  for (size_t i = first; i < points.size(); ++i) {
    meanDay += points[i].day / count;
    meanKg += points[i].kg / count;
  }
  double sxx = 0.0, sxy = 0.0;
  for (size_t i = first; i < points.size(); ++i) {
    sxx += (points[i].day - meanDay) * (points[i].day - meanDay);
    sxy += (points[i].day - meanDay) * (points[i].kg - meanKg);
  }
  Fit fit;
  fit.slope = sxy / sxx;
  double residuals = 0.0;
  for (size_t i = first; i < points.size(); ++i) {
    const double off = points[i].kg - (meanKg + fit.slope * (points[i].day - meanDay));
    residuals += off * off;
  }
  if (count > 2.0)
    fit.slopeError = std::sqrt(residuals / (count - 2.0) / sxx);
  return fit;
}

}  // namespace

void ComputeTrends(const LogRecords& log, std::vector<TrendPoint> (&trends)[kUsers]) {
  std::vector<DayWeight> days[kUsers];
  for (const LogRecord& record : log.records)
    days[record.user].push_back({record.DayNumber(), record.tenthsKg});
  for (int user = 0; user < kUsers; ++user) {
    std::vector<DayWeight>& weights = days[user];
    std::stable_sort(weights.begin(), weights.end(),
                     [](const DayWeight& a, const DayWeight& b) { return a.day < b.day; });
    trends[user].clear();
    double trend = 0.0;
    for (size_t i = 0; i < weights.size();) {
      const int32_t day = weights[i].day;
      double sum = 0.0;
      int count = 0;
      for (; i < weights.size() && weights[i].day == day; ++i, ++count)
        sum += weights[i].tenthsKg / 10.0;
      const double mean = sum / count;
      if (trends[user].empty()) {
        trend = mean;
      } else {
        trend = mean + (trend - mean) * std::pow(kKeep, day - trends[user].back().day);
      }
      trends[user].push_back({day, static_cast<float>(trend)});
    }
  }
}

GoalOutlook ProjectGoal(const std::vector<TrendPoint>& trend, int32_t goalTenthsKg, int32_t today) {
  GoalOutlook outlook;
  if (goalTenthsKg <= 0 || trend.empty())
    return outlook;
  const TrendPoint& latest = trend.back();
  const double toGo = goalTenthsKg / 10.0 - latest.kg;
  outlook.toGoKg = static_cast<float>(toGo);
  if (std::fabs(toGo) <= kReachedKg) {
    outlook.kind = GoalOutlook::Reached;
    return outlook;
  }
  size_t first = trend.size() - 1;
  while (first > 0 && trend[first - 1].day > latest.day - kFitDays)
    --first;
  if (trend.size() - first < kLeastFitPoints || latest.day - trend[first].day < kLeastFitSpan ||
      today - latest.day > kFitDays) {
    outlook.kind = GoalOutlook::TooFewDays;
    return outlook;
  }
  const Fit fit = FitLine(trend, first);
  const double speed = std::fabs(fit.slope);
  if (speed < kFlatKgPerDay) {
    outlook.kind = GoalOutlook::Flat;
    return outlook;
  }
  if (fit.slope * toGo < 0.0) {
    outlook.kind = GoalOutlook::WrongWay;
    return outlook;
  }
  if (std::fabs(toGo) / speed > kMostDays) {
    outlook.kind = GoalOutlook::Years;
    return outlook;
  }
  // A slope this uncertain may be flat: the range then ends where a flat
  // trend would take it.
  const double spread = std::max(kErrorsEachWay * fit.slopeError, kLeastSpread * speed);
  const double fastest = speed + spread;
  const double slowest = std::max(speed - spread, kFlatKgPerDay);
  outlook.kind = GoalOutlook::Dates;
  outlook.firstDay = latest.day + static_cast<int32_t>(std::ceil(std::fabs(toGo) / fastest));
  outlook.lastDay = latest.day + static_cast<int32_t>(std::ceil(std::fabs(toGo) / slowest));
  return outlook;
}
