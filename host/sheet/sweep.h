// The calibration sweep: every element of a running gauge whose picture
// follows a value, driven through its variable and read back, and the same
// curves computed from an element's records alone where nothing can drive
// it (a value no variable feeds, a module this host does not run).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "host/core/host.h"
#include "host/sheet/sheet_data.h"

// What an element's records say about turning a value into a picture.
struct ElementMapping {
  uint32_t kind = 0;
  int element = 0;
  double pivot_x = 0, pivot_y = 0;  // needle
  std::vector<NonlinearityEntry> table;
  double scales[3] = {1, 1, 1};  // icon scale; slider and sprite x, y, turn
  double icon_offset = 0;
  int32_t icons = 0;
  double minimums[2] = {0, 0}, maximums[2] = {0, 0};  // moving image
};

ElementMapping mapping_of(const ElementHeader* head, int element);

// The curve an element's records give for one value slot, with no gauge
// running: the table's angles for a needle, value times scale for shifts
// and image indices, the place along the travel for a moving image.
// Nullopt when the records give the slot no range to sweep.
std::optional<Curve> curve_from_records(const ElementMapping& mapping,
                                        size_t slot, std::string variable,
                                        std::string unit);

// Puts the aircraft in the state the sweep starts from: its model off, so
// that values stay as set, and the electrics on or off.
void set_panel_power(Aircraft& aircraft, bool on);
// Tokens through which a gauge reads its power.
bool is_power_token(int32_t token);

// Sweeps every value slot of the installed gauge's elements. `gauge` must
// be an instance of `host`, which is started with its window open.
GaugePlot sweep_gauge(Host& host, GaugeInstance& gauge);

// The straight line through neighbouring marks at `value`, the end
// segments continued beyond them; NaN with fewer than two marks.
double between_marks(std::span<const CalibrationMark> marks, double value);
// Flags every point further than the tolerance from the line between its
// neighbouring marks and lists it as a departure.
void find_departures(Curve& curve);
// The values at which the result reaches the ends of its travel within the
// marks' range, the innermost where it rests there.
std::vector<double> find_stops(const Curve& curve);
