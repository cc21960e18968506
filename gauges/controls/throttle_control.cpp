// The throttle quadrant: throttle (token 128), propeller (129) and mixture
// (130) levers, each a slider that rises with its lever position 0..16384.
// A click or a drag in a lever's area sets the lever to where the pointer
// is: the top edge is full forward, the bottom edge idle.
#include <iterator>

#include "elements/declare.h"
#include "gauges/gauge_table.h"
#include "module/services.h"

namespace {

constexpr double kLeverFull = 16384.0;

struct LeverRow {
  int32_t bitmap;
  Point at;
  int32_t token;
  double y_scale;  // full travel lifts the knob this many pixels, per unit
  MouseBox area;
  uint32_t event;
  uint32_t help_id;
};

constexpr LeverRow kLevers[] = {
    {.bitmap = 3170,
     .at = {1, 140},
     .token = 128,
     .y_scale = -139.0 / kLeverFull,
     .area = {5, 1, 45, 201},
     .event = 65697,
     .help_id = 12705},
    {.bitmap = 3180,
     .at = {45, 150},
     .token = 129,
     .y_scale = -135.0 / kLeverFull,
     .area = {50, 15, 45, 187},
     .event = 65767,
     .help_id = 12697},
    {.bitmap = 3190,
     .at = {68, 143},
     .token = 130,
     .y_scale = -142.0 / kLeverFull,
     .area = {95, 1, 45, 201},
     .event = 65773,
     .help_id = 12689},
};
constexpr int kLeverCount = 3;
static_assert(std::size(kLevers) == kLeverCount);

// The lever position for a point `y_px` below the top of an area `height_px`
// tall, held to 0..16384; a point above the area is full forward. An area
// with no height gives no position.
bool lever_position(int32_t y_px, int32_t height_px, uint32_t& position) {
  if (height_px <= 0) return false;
  double f = 1.0 - static_cast<double>(y_px) / height_px;
  if (f <= 0.0)
    f = 0.0;
  else if (f >= 1.0)
    f = 1.0;
  position = static_cast<uint32_t>(f * kLeverFull);
  return true;
}

template <int N>
int32_t GAUGE_CALL lever_moved(PointRecord* point, uint32_t) {
  if (point == nullptr || point->area == nullptr) return 0;
  uint32_t position = 0;
  if (lever_position(point->y, point->area->box.height, position))
    trigger_key_event(kLevers[N].event, position);
  return 0;
}

template <int N>
constexpr SliderElement lever_slider() {
  return slider({.bitmap = kLevers[N].bitmap,
                 .at = kLevers[N].at,
                 .x_scale = 1.0,
                 .y_token = kLevers[N].token,
                 .y_scale = kLevers[N].y_scale,
                 .flags = 0x3});
}

// The left lever is drawn last, on top of the others.
constinit ElementChain chain{
    &throttle_control_gauge,
    static_image({.bitmap = 3160, .at = {0, 0}, .flags = 0x3}),
    lever_slider<2>(),
    lever_slider<1>(),
    lever_slider<0>(),
};

template <int N>
constexpr MouseRect lever_area() {
  return mouse_callback_child(kLevers[N].area, kCursorHand,
                              kMouseLeftSingle | kMouseLeftDrag,
                              lever_moved<N>);
}

constinit MouseRect mouse_areas[] = {
    mouse_parent(),
    mouse_parent(kLevers[0].area),
    mouse_help_tooltip(kLevers[0].help_id),
    mouse_parent_end(),
    mouse_parent(kLevers[1].area),
    mouse_help_tooltip(kLevers[1].help_id),
    mouse_parent_end(),
    mouse_parent(kLevers[2].area),
    mouse_help_tooltip(kLevers[2].help_id),
    mouse_parent_end(),
    lever_area<0>(),
    lever_area<1>(),
    lever_area<2>(),
    mouse_parent_end(),
    mouse_end(),
};

}  // namespace

constinit GaugeHeader throttle_control_gauge = gauge_header({
    .name = "Throttle_Control",
    .width_mm = 180,
    .elements = chain.list(),
    .mouse_areas = mouse_areas,
});
