// Attitude indicator: reads pitch (token 78), bank (token 80), the caging
// state (token 288) and the miniature aircraft's setting (token 612); draws
// the horizon card, bank pointer, caged flag and miniature aircraft; its
// buttons send the aircraft-adjust and caging events.
#include <cmath>

#include "elements/declare.h"
#include "gauges/gauge_table.h"

namespace {

constexpr int32_t kPitch = 78;
constexpr int32_t kBank = 80;
constexpr int32_t kCaged = 288;
constexpr int32_t kMiniatureAircraft = 612;
constexpr double kPitchLimit = 40.0;

double GAUGE_CALL pitch_clamp(ElementHeader* head) {
  const double pitch = element_as<SpriteElement>(head)->y_source.value.number;
  if (std::isnan(pitch)) return 0.0;
  if (pitch > kPitchLimit) return kPitchLimit;
  if (pitch < -kPitchLimit) return -kPitchLimit;
  return pitch;
}

double GAUGE_CALL caged_flag(ElementHeader* head) {
  return element_as<IconElement>(head)->source.value.number > 0.0 ? 0.0 : -1.0;
}

constinit NonlinearityEntry bank_table[] = {mark(-90, 177, 130),
                                            mark(90, 77, 130)};

constexpr FailureEntry gyro_failures[] = {
    {8, 0, 0}, {2, 0, 0}, {4, 0, 0}, kFailuresEnd};

constinit ElementChain chain{
    &attitude_gauge,
    static_image({.bitmap = 300, .at = {0, 0}, .flags = 0x4003}),
    sprite({.bitmap = 310,
            .at = {0, 0},
            .centre = {127, 130},
            .texture_scale_x = 1.0f,
            .texture_scale_y = 0.9f,
            .y_token = kPitch,
            .y_scale = 1.3,
            .rotation_token = kBank,
            .rotation_scale = -1.0,
            .y_callback = pitch_clamp,
            .flags = 0x4083,
            .failures = gyro_failures}),
    needle({.bitmap = 320,
            .at = {127, 130},
            .pivot = {0, 5},
            .token = kBank,
            .table = bank_table,
            .flags = 0x4083,
            .failures = gyro_failures}),
    icon({.bitmap = 370,
          .at = {173, 64},
          .icons = 1,
          .token = kCaged,
          .callback = caged_flag,
          .flags = 0x3}),
    slider({.bitmap = 330,
            .at = {68, 59},
            .y_token = kMiniatureAircraft,
            .y_scale = -0.15,
            .flags = 0x4083}),
    static_image({.bitmap = 360, .at = {0, 0}, .flags = 0x4003}),
};

constinit MouseRect mouse_areas[] = {
    mouse_parent(),
    mouse_parent({0, 0, 250, 223}),
    mouse_help_tooltip(12434),
    mouse_parent_end(),
    mouse_parent({111, 239, 42, 42}),
    mouse_text_tooltip("Plane adjusting button"),
    mouse_parent_end(),
    mouse_parent({213, 223, 80, 80}),
    mouse_text_tooltip("Gyro caging button"),
    mouse_parent_end(),
    mouse_event_child({111, 239, 21, 42}, kCursorDownArrow,
                      kMouseLeftSingle | kMouseRepeat, 66319),
    mouse_event_child({132, 239, 21, 42}, kCursorUpArrow,
                      kMouseLeftSingle | kMouseRepeat, 66318),
    mouse_event_child({213, 223, 80, 80}, kCursorHand, kMouseLeftSingle, 66373),
    mouse_parent_end(),
    mouse_end(),
};

}  // namespace

constinit GaugeHeader attitude_gauge = gauge_header({
    .name = "Attitude",
    .width_mm = 100,
    .elements = chain.list(),
    .mouse_areas = mouse_areas,
});
