#pragma once

#include <cstdint>
#include <vector>

#include "screen/screen_data.h"

// Each user's trend: an exponentially smoothed moving average of the
// user's daily weights, and where it leads.

// Smoothing per day: each day's mean weight moves the trend a tenth of the
// way towards it.
inline constexpr double kTrendSmoothing = 0.1;

// The trend of each user, one point per day with records, oldest first.
// The first day's weight starts it; after a gap of g days the trend moves
// as if the new day's weight had been weighed on each day of the gap
// (1 - 0.9^g of the way), so after weeks away it catches up.
void ComputeTrends(const LogRecords& log, std::vector<TrendPoint> (&trends)[kUsers]);

// Where the goal lies from the latest trend, and when it would be reached:
// a straight line fitted to the trend of the last four weeks, its slope
// widened by twice its standard error and at least 15 % each way (never
// below the flat limit), gives the range of days. A slope under 5 g a day
// is flat; one away from the goal, or more than two years at the fitted
// pace, is said as such.
// A trend whose latest day lies more than four weeks before `today` says
// too little about now.
GoalOutlook ProjectGoal(const std::vector<TrendPoint>& trend, int32_t goalTenthsKg, int32_t today);
