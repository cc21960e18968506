// Needle angles from a calibration table. Angles are degrees clockwise from
// straight up on the background (whose y axis points down). Every segment of
// a table turns the same way in listing order: the way whose total sweep is
// smaller, clockwise on a tie. Table angles are unwrapped, so a value beyond
// the table keeps turning with the end segment's slope.
#pragma once

#include <span>
#include <vector>

#include "elements/records.h"

struct Pivot {
  double x = 0;
  double y = 0;
};

// Direction from the pivot to (x, y), in [0, 360).
double direction_degrees(Pivot pivot, double x, double y);

// One unwrapped angle per entry.
std::vector<double> table_angles(Pivot pivot,
                                 std::span<const NonlinearityEntry> table);

// The angle for `value`; NaN for a non-finite value or result.
double needle_angle(std::span<const NonlinearityEntry> table,
                    std::span<const double> angles, double value);

// Moves from `current` towards `target` by at most `max_step` degrees;
// no limit when max_step is not positive.
double limit_turn(double current, double target, double max_step);

// An angle folded into [0, 360).
double normalized_degrees(double angle);
