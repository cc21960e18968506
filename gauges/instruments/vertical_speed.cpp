// Vertical speed indicator: reads vertical speed (token 65) through a
// first-order lag and turns one needle over a dial in feet per minute; no
// clicks, host tooltip only.
#include <cmath>

#include "elements/declare.h"
#include "gauges/gauge_table.h"

namespace {

constexpr double kLagKeep = 0.7165313105737893;  // e^(-1/3)
constexpr double kLagTake = 0.28346868942621073;

// The filtered value outlives any one installation of the gauge.
double filtered = 0.0;

// A time constant of three updates. A non-finite reading is skipped so that
// one bad value cannot stick the needle for the rest of the session.
double GAUGE_CALL lag_filter(ElementHeader* head) {
  const double input = element_as<NeedleElement>(head)->source.value.number;
  if (std::isfinite(input)) filtered = filtered * kLagKeep + input * kLagTake;
  return filtered;
}

// Feet per minute times 1.3004799583846414, the host's unit.
constinit NonlinearityEntry needle_table[] = {
    mark(-11704.319625461772, 264, 170), mark(-10403.83966707713, 264, 170),
    mark(-5201.919833538565, 190, 260),  mark(-3901.4398751539243, 151, 270),
    mark(-2600.9599167692827, 105, 257), mark(-1300.4799583846413, 58, 222),
    mark(-650.2399791923207, 37, 194),   mark(0, 34, 150),
    mark(650.2399791923207, 37, 107),    mark(1300.4799583846413, 58, 78),
    mark(2600.9599167692827, 105, 44),   mark(3901.4398751539243, 151, 30),
    mark(5201.919833538565, 190, 42),    mark(10403.83966707713, 264, 130),
    mark(11704.319625461772, 264, 130),
};
static_assert(std::size(needle_table) == 15);

constexpr FailureEntry needle_failures[] = {
    {19, 1, 0}, {3, 2, 0}, kFailuresEnd};

constinit ElementChain chain{
    &vertical_speed_gauge,
    static_image({.bitmap = 270, .at = {0, 0}, .flags = 0x4003}),
    needle({.bitmap = 280,
            .at = {151, 150},
            .pivot = {7, 7},
            .token = 65,
            .table = needle_table,
            .callback = lag_filter,
            .flags = 0x4083,
            .failures = needle_failures}),
    static_image({.bitmap = 290, .at = {0, 0}, .flags = 0x3}),
};

constinit MouseRect mouse_areas[] = {
    mouse_parent(),
    mouse_help_tooltip(12441),
    mouse_parent_end(),
    mouse_end(),
};

}  // namespace

constinit GaugeHeader vertical_speed_gauge = gauge_header({
    .name = "Vertical_Speed",
    .width_mm = 100,
    .elements = chain.list(),
    .mouse_areas = mouse_areas,
});
