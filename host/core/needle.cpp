#include "host/core/needle.h"

#include <cmath>
#include <limits>
#include <numbers>

namespace {

// Sub-nanodegree differences between two directions are rounding, not a turn.
constexpr double kSameDirection = 1e-9;

double clockwise_step(double from, double to) {
  double step = std::fmod(to - from + 720.0, 360.0);
  if (step < kSameDirection || step > 360.0 - kSameDirection) step = 0.0;
  return step;
}

double interpolate(const NonlinearityEntry& a, double angle_a,
                   const NonlinearityEntry& b, double angle_b, double value) {
  if (a.value == b.value) return angle_a;
  return angle_a +
         (value - a.value) * (angle_b - angle_a) / (b.value - a.value);
}

}  // namespace

double normalized_degrees(double angle) {
  if (!std::isfinite(angle)) return angle;
  double folded = std::fmod(angle, 360.0);
  if (folded < 0) folded += 360.0;
  if (folded >= 360.0 || folded == 0.0) folded = 0.0;
  return folded;
}

double direction_degrees(Pivot pivot, double x, double y) {
  const double dx = x - pivot.x;
  const double dy = y - pivot.y;
  return normalized_degrees(std::atan2(dx, -dy) * 180.0 / std::numbers::pi);
}

std::vector<double> table_angles(Pivot pivot,
                                 std::span<const NonlinearityEntry> table) {
  std::vector<double> angles;
  if (table.empty()) return angles;
  std::vector<double> steps;
  double clockwise_sweep = 0;
  double counter_sweep = 0;
  for (size_t i = 0; i + 1 < table.size(); ++i) {
    const bool same_point =
        table[i].x == table[i + 1].x && table[i].y == table[i + 1].y;
    const double step =
        same_point
            ? 0.0
            : clockwise_step(
                  direction_degrees(pivot, table[i].x, table[i].y),
                  direction_degrees(pivot, table[i + 1].x, table[i + 1].y));
    steps.push_back(step);
    clockwise_sweep += step;
    if (step > 0) counter_sweep += 360.0 - step;
  }
  const double start = direction_degrees(pivot, table[0].x, table[0].y);
  // A tie turns clockwise: the attitude's bank pointer, due right at -90 and
  // due left at 90, then swings through the bottom with its horizon card.
  const bool clockwise = clockwise_sweep <= counter_sweep;
  angles.push_back(start);
  for (double step : steps) {
    const double turn = clockwise || step == 0 ? step : step - 360.0;
    angles.push_back(angles.back() + turn);
  }
  return angles;
}

double needle_angle(std::span<const NonlinearityEntry> table,
                    std::span<const double> angles, double value) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  if (table.empty() || angles.size() != table.size() || !std::isfinite(value))
    return nan;
  const size_t last = table.size() - 1;
  if (last == 0) return angles[0];
  double result = nan;
  for (size_t i = 0; i < last; ++i) {
    const double a = table[i].value;
    const double b = table[i + 1].value;
    if ((a <= value && value <= b) || (b <= value && value <= a)) {
      result =
          interpolate(table[i], angles[i], table[i + 1], angles[i + 1], value);
      break;
    }
  }
  if (std::isnan(result)) {
    // Beyond the table: continue the end segment on the value's side.
    const bool ascending = table[last].value >= table[0].value;
    const bool past_last =
        ascending ? value > table[last].value : value < table[last].value;
    const size_t i = past_last ? last - 1 : 0;
    result =
        interpolate(table[i], angles[i], table[i + 1], angles[i + 1], value);
  }
  return std::isfinite(result) ? result : nan;
}

double limit_turn(double current, double target, double max_step) {
  if (!(max_step > 0) || !std::isfinite(current)) return target;
  if (target > current + max_step) return current + max_step;
  if (target < current - max_step) return current - max_step;
  return target;
}
