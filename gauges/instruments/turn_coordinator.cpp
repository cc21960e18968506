// Turn coordinator: reads the ball's deflection (token 69), the turn rate
// (token 70) and the supply voltage (token 755); draws the ball along a
// curved tube, the banking aircraft symbol and the power-off flag; no clicks,
// host tooltip only.
#include "elements/declare.h"
#include "gauges/gauge_table.h"

namespace {

constexpr int32_t kBall = 69;
constexpr int32_t kTurnRate = 70;
constexpr int32_t kSupplyVolts = 755;
constexpr double kFlagOffAboveVolts = 20.0;

double GAUGE_CALL ball_rise(ElementHeader* head) {
  const double ball = element_as<SliderElement>(head)->y_source.value.number;
  return finite_or(ball * ball, 0.0);
}

double GAUGE_CALL power_flag(ElementHeader* head) {
  const double volts = element_as<IconElement>(head)->source.value.number;
  return volts > kFlagOffAboveVolts ? -1.0 : 0.0;
}

double GAUGE_CALL turn_rate(ElementHeader* head) {
  return finite_or(
      element_as<NeedleElement>(head)->source.value.number * 0.00390625, 0.0);
}

constinit NonlinearityEntry symbol_table[] = {
    mark(-5, 87, 156),
    mark(-4.5, 87, 156),
    mark(4.5, 153, 156),
    mark(5, 153, 156),
};

constexpr FailureEntry symbol_failures[] = {
    {18, 1, 0}, {20, 2, 0}, kFailuresEnd};

constinit ElementChain chain{
    &turn_coordinator_gauge,
    static_image({.bitmap = 1000, .at = {0, 0}, .flags = 0x4003}),
    slider({.bitmap = 1020,
            .at = {107, 111},
            .x_token = kBall,
            .x_scale = 0.515625,
            .y_token = kBall,
            .y_scale = -0.00030517578125,
            .y_callback = ball_rise,
            .flags = 0x4083}),
    icon({.bitmap = 1030,
          .at = {79, 64},
          .icons = 1,
          .token = kSupplyVolts,
          .callback = power_flag,
          .flags = 0x4003}),
    needle({.bitmap = 1010,
            .at = {120, 189},
            .pivot = {30, 12},
            .token = kTurnRate,
            .table = symbol_table,
            .callback = turn_rate,
            .flags = 0x4083,
            .failures = symbol_failures}),
    static_image({.bitmap = 1040, .at = {0, 0}, .flags = 0x3}),
};

constinit MouseRect mouse_areas[] = {
    mouse_parent(),
    mouse_help_tooltip(12432),
    mouse_parent_end(),
    mouse_end(),
};

}  // namespace

constinit GaugeHeader turn_coordinator_gauge = gauge_header({
    .name = "Turn_Coordinator",
    .width_mm = 100,
    .elements = chain.list(),
    .mouse_areas = mouse_areas,
});
