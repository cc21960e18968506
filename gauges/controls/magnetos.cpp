// The magneto selector: a four-position key showing both magnetos as
// 2 x left (token 399) + right (token 400): 0 off, 1 right, 2 left, 3 both.
// The up arrow steps the selector up until both are on; the down arrow's
// area sends the simulator's own step-down event.
#include "elements/declare.h"
#include "gauges/gauge_table.h"
#include "module/services.h"

namespace {

constexpr int32_t kMagnetoLeft = 399;
constexpr int32_t kMagnetoRight = 400;
constexpr uint32_t kMagnetoUp = 65635;
constexpr uint32_t kMagnetoDown = 65634;
constexpr double kBoth = 3.0;

// The position the key showed at its last update; the up arrow reads it.
double magneto_position = 0.0;

// Held to the key's four images: a NaN or negative position reads as off,
// anything past both as both.
double GAUGE_CALL magneto_key(ElementHeader* head) {
  const double right = element_as<IconElement>(head)->source.value.number;
  double position = 2.0 * read_number_var(kMagnetoLeft) + right;
  if (!(position >= 0.0)) position = 0.0;
  if (position > kBoth) position = kBoth;
  magneto_position = position;
  return position;
}

int32_t GAUGE_CALL magneto_up(PointRecord*, uint32_t) {
  if (magneto_position < kBoth) trigger_key_event(kMagnetoUp, 0);
  return 0;
}

constinit ElementChain chain{
    &magnetos_switch_gauge,
    static_image({.bitmap = 3050, .at = {0, 0}, .flags = 0x3}),
    icon({.bitmap = 3060,
          .at = {26, 0},
          .icons = 4,
          .token = kMagnetoRight,
          .callback = magneto_key,
          .flags = 0x3}),
};

constinit MouseRect mouse_areas[] = {
    mouse_parent(),
    mouse_help_tooltip(12928),
    mouse_callback_child({20, 0, 20, 47}, kCursorUpArrow,
                         kMouseLeftSingle | kMouseRepeat, magneto_up),
    mouse_event_child({20, 47, 20, 47}, kCursorDownArrow,
                      kMouseLeftSingle | kMouseRepeat, kMagnetoDown),
    mouse_parent_end(),
    mouse_end(),
};

}  // namespace

constinit GaugeHeader magnetos_switch_gauge = gauge_header({
    .name = "Magnetos_Switch",
    .width_mm = 40,
    .elements = chain.list(),
    .mouse_areas = mouse_areas,
});
