// The transponder head: the simulator's reply code on four lit drums, a
// raise and a lower area per digit that act only while the head is on, a
// main switch with its power light, and an ident button that does nothing.
#include <cmath>

#include "elements/declare.h"
#include "gauges/gauge_table.h"
#include "gauges/radios/radio_head.h"

namespace {

constexpr int32_t kCodeToken = 38;  // BCD, four octal digits

// The code as last decoded, refreshed every frame and by every drum before
// it draws, whether or not the head is on.
double code = 0.0;

SoundSlot sound_slot{};

void GAUGE_CALL transponder_notice(GaugeHeader*, int32_t notice, void* extra) {
  if (notice == kNoticeUpdate) code = read_transponder_code(kCodeToken);
  radio_sound_notice(sound_slot, notice, extra, kRecordingKnobClick);
}

// The digit of the code at `place` (1, 10, 100); the thousands drum shows
// all that lies above the hundreds.
template <int Place>
double GAUGE_CALL code_drum(ElementHeader* head) {
  code = read_transponder_code(kCodeToken);
  light_digit(head, xpdr_power);
  if (Place == 1000) return std::floor(code / 1000.0);
  const double below = code - std::floor(code / (10.0 * Place)) * 10.0 * Place;
  return std::floor(below / Place);
}

int32_t GAUGE_CALL ident_button_click(PointRecord*, uint32_t) { return 0; }

constexpr FailureEntry display_failures[] = {
    {20, 3, 0}, {21, 3, 0}, {17, 0, 0}, kFailuresEnd};

constexpr MovingImageRow drum(int32_t x, int32_t token,
                              ElementCallback callback) {
  return {.bitmap = 1240,
          .at = {x, 57},
          .y_token = token,
          .y_min = 0.0,
          .y_max = 10.0,
          .y_callback = callback,
          .flags = 0x83,
          .failures = display_failures};
}

constinit ElementChain chain{
    &radio_iff_xpdr_gauge,
    static_image({.bitmap = 1230, .at = {0, 0}, .flags = 0x3}),
    moving_image(drum(184, kCodeToken, code_drum<1>)),
    moving_image(drum(161, 0, code_drum<10>)),
    moving_image(drum(138, kCodeToken, code_drum<100>)),
    moving_image(drum(115, kCodeToken, code_drum<1000>)),
    icon({.bitmap = 1270,
          .at = {208, 31},
          .icons = 2,
          .flags = 0x3,
          .failures = display_failures}),
    icon({.bitmap = 1260,
          .at = {53, 79},
          .callback = radio_power_light<&xpdr_power>,
          .flags = 0x7,
          .failures = display_failures}),
    icon({.bitmap = 1250,
          .at = {27, 8},
          .icons = 2,
          .callback = radio_switch_picture<&xpdr_power>,
          .flags = 0x3}),
};

constinit TooltipArg switch_tooltip_args[] = {
    text_arg(radio_on_off_text<&xpdr_power>)};

constexpr uint32_t kStepping = kMouseLeftSingle | kMouseRepeat;

// One column of 23 pixels per digit from x = 111: raise in the upper row,
// lower in the lower row.
constexpr MouseBox raise_box(int column) {
  return {111 + 23 * column, 44, 23, 15};
}
constexpr MouseBox lower_box(int column) {
  return {111 + 23 * column, 76, 23, 15};
}

constinit MouseRect mouse_areas[] = {
    mouse_parent(),
    mouse_parent({53, 0, 200, 99}),
    mouse_help_tooltip(12672),
    mouse_parent_end(),
    mouse_parent({29, 12, 24, 60}),
    mouse_text_tooltip("Transponder main switch (%1!s!)", switch_tooltip_args,
                       1),
    mouse_parent_end(),
    mouse_callback_child({29, 12, 24, 60}, kCursorHand, kMouseLeftSingle,
                         radio_main_switch_click<&xpdr_power, &sound_slot>),
    mouse_callback_child(lower_box(0), kCursorDownArrow, kStepping,
                         radio_step_click<&xpdr_power, 66455>),
    mouse_callback_child(raise_box(0), kCursorUpArrow, kStepping,
                         radio_step_click<&xpdr_power, 65651>),
    mouse_callback_child(lower_box(1), kCursorDownArrow, kStepping,
                         radio_step_click<&xpdr_power, 66456>),
    mouse_callback_child(raise_box(1), kCursorUpArrow, kStepping,
                         radio_step_click<&xpdr_power, 65652>),
    mouse_callback_child(lower_box(2), kCursorDownArrow, kStepping,
                         radio_step_click<&xpdr_power, 66457>),
    mouse_callback_child(raise_box(2), kCursorUpArrow, kStepping,
                         radio_step_click<&xpdr_power, 65653>),
    mouse_callback_child(lower_box(3), kCursorDownArrow, kStepping,
                         radio_step_click<&xpdr_power, 66458>),
    mouse_callback_child(raise_box(3), kCursorUpArrow, kStepping,
                         radio_step_click<&xpdr_power, 65654>),
    mouse_callback_child({208, 31, 24, 32}, kCursorHand, kMouseLeftSingle,
                         ident_button_click),
    mouse_parent_end(),
    mouse_end(),
};

}  // namespace

constinit GaugeHeader radio_iff_xpdr_gauge = gauge_header({
    .name = "Radio_IFF_XPDR",
    .width_mm = 100,
    .elements = chain.list(),
    .mouse_areas = mouse_areas,
    .callback = transponder_notice,
});
