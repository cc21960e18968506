// Airspeed indicator: reads indicated airspeed (token 61) and turns one
// needle over a dial graduated 0 to 300; no clicks, host tooltip only.
#include "elements/declare.h"
#include "gauges/gauge_table.h"

namespace {

constinit NonlinearityEntry needle_table[] = {
    mark(-1, 121, 260),  mark(0, 121, 260),   mark(40, 94, 253),
    mark(50, 68, 229),   mark(100, 92, 54),   mark(150, 221, 57),
    mark(200, 266, 155), mark(250, 223, 238), mark(300, 145, 264),
    mark(400, 145, 264),
};
static_assert(std::size(needle_table) == 10);

constexpr FailureEntry needle_failures[] = {{6, 1, 0}, {3, 2, 0}, kFailuresEnd};

constinit ElementChain chain{
    &airspeed_gauge,
    static_image({.bitmap = 450, .at = {0, 0}, .flags = 0x4003}),
    needle({.bitmap = 460,
            .at = {151, 152},
            .pivot = {41, 27},
            .token = 61,
            .table = needle_table,
            .flags = 0x4083,
            .failures = needle_failures}),
    static_image({.bitmap = 470, .at = {0, 0}, .flags = 0x3}),
};

constinit MouseRect mouse_areas[] = {
    mouse_parent(),
    mouse_help_tooltip(12290),
    mouse_parent_end(),
    mouse_end(),
};

}  // namespace

constinit GaugeHeader airspeed_gauge = gauge_header({
    .name = "Airspeed",
    .width_mm = 100,
    .elements = chain.list(),
    .mouse_areas = mouse_areas,
});
