// Altimeter: reads indicated altitude (token 74) for three hands and the
// barometric setting in millibars (token 75) for four counter drums and the
// setting knob; the knob's halves send the setting's decrease and increase
// events.
#include <algorithm>
#include <cmath>

#include "elements/declare.h"
#include "gauges/gauge_table.h"

namespace {

constexpr int32_t kAltitude = 74;
constexpr int32_t kBarometricSetting = 75;
constexpr uint32_t kSettingDecrease = 65884;
constexpr uint32_t kSettingIncrease = 65883;

// A mechanical counter drum. The x limits carry the drum's place value D and
// roll width K; the drum holds its digit and rolls to the next one only while
// the lower places pass through their last K units.
double GAUGE_CALL drum_roll(ElementHeader* head) {
  const auto* drum = element_as<MovingImageElement>(head);
  const double value = drum->y_source.value.number;
  const double place = drum->x_min;
  const double roll_width = drum->x_max;
  const double modulus = std::max(drum->y_min, drum->y_max);
  const double whole_places = place * std::floor(value / place);
  const double remainder = value - whole_places;
  double roll = (remainder - place + roll_width) * (place / roll_width);
  if (!(roll > 0.0)) roll = 0.0;
  const double turned = whole_places + roll;
  // A setting too large to split into places shows the strip's start.
  return finite_or(turned - modulus * std::floor(turned / modulus), 0.0);
}

constexpr MovingImageRow drum_row(int32_t x, double place) {
  return {.bitmap = 1110,
          .at = {x, 222},
          .x_min = place,
          .x_max = 1,
          .y_token = kBarometricSetting,
          .y_min = 10 * place,
          .y_max = 0,
          .y_callback = drum_roll,
          .flags = 0x4083};
}

// Two-point tables: each hand turns a full revolution per twice the second
// value, through and beyond the table.
constinit NonlinearityEntry ten_thousands_table[] = {mark(0, 150, 50),
                                                     mark(50000, 150, 250)};
constinit NonlinearityEntry thousands_table[] = {mark(0, 150, 50),
                                                 mark(5000, 150, 250)};
constinit NonlinearityEntry hundreds_table[] = {mark(0, 150, 50),
                                                mark(500, 150, 250)};
constinit NonlinearityEntry knob_table[] = {mark(1013, 400, 270),
                                            mark(1070, 340, 270)};

constexpr FailureEntry hand_failures[] = {{3, 1, 0}, {7, 1, 0}, kFailuresEnd};

constinit ElementChain chain{
    &altimeter_gauge,
    static_image({.bitmap = 1060, .at = {0, 0}, .flags = 0x4003}),
    moving_image(drum_row(156, 1)),
    moving_image(drum_row(143, 10)),
    moving_image(drum_row(130, 100)),
    moving_image(drum_row(117, 1000)),
    needle({.bitmap = 1070,
            .at = {150, 150},
            .pivot = {60, 69},
            .token = kAltitude,
            .table = ten_thousands_table,
            .flags = 0x4083,
            .failures = hand_failures}),
    needle({.bitmap = 1080,
            .at = {150, 150},
            .pivot = {39, 26},
            .token = kAltitude,
            .table = thousands_table,
            .flags = 0x4083,
            .failures = hand_failures}),
    needle({.bitmap = 1090,
            .at = {150, 150},
            .pivot = {50, 10},
            .token = kAltitude,
            .table = hundreds_table,
            .flags = 0x4083,
            .failures = hand_failures}),
    static_image({.bitmap = 1100, .at = {0, 0}, .flags = 0x3}),
    needle({.bitmap = 1130,
            .at = {370, 270},
            .pivot = {30, 30},
            .token = kBarometricSetting,
            .table = knob_table,
            .flags = 0x83}),
};

constinit MouseRect mouse_areas[] = {
    mouse_parent(),
    mouse_parent({0, 0, 300, 240}),
    mouse_help_tooltip(12370),
    mouse_parent_end(),
    mouse_parent({240, 240, 60, 60}, 43834),
    mouse_help_tooltip(12372),
    mouse_parent_end(),
    mouse_event_child({240, 240, 30, 60}, kCursorDownArrow,
                      kMouseLeftSingle | kMouseRepeat, kSettingDecrease),
    mouse_event_child({270, 240, 30, 60}, kCursorUpArrow,
                      kMouseLeftSingle | kMouseRepeat, kSettingIncrease),
    mouse_parent_end(),
    mouse_end(),
};

}  // namespace

constinit GaugeHeader altimeter_gauge = gauge_header({
    .name = "Altimeter",
    .width_mm = 100,
    .elements = chain.list(),
    .mouse_areas = mouse_areas,
});
