// Radio_COM: the COM1 head. One active frequency read from the simulator
// (token 23), a read-out that lights for a while after its button is pressed,
// a tuning knob whose left half lowers and right half raises the frequency
// (left click one channel, right click one MHz), a main switch and a power
// light.
#include "gauges/radios/radio_com.h"

#include <cmath>
#include <cstdio>
#include <iterator>

#include "elements/declare.h"
#include "gauges/gauge_table.h"
#include "gauges/radios/radio_head.h"

namespace {

constexpr int32_t kComFrequencyToken = 23;  // 16-bit BCD, 1d3d2.d1d0 MHz

enum ComEvent : uint32_t {
  kComChannelDown = 66434,
  kComMhzDown = 65636,
  kComChannelUp = 66435,
  kComMhzUp = 65637,
};

// Updates the read-out stays lit after its button.
constexpr int32_t kDisplayUpdates = 60;
constexpr double kKnobChannelDegrees = 30.0;
constexpr double kKnobMhzDegrees = 90.0;
constexpr double kLowestMhz = 118.0;
constexpr double kHighestChannelMhz = 135.97;
constexpr double kHighestMhzStepFrom = 134.0;

SoundSlot com_sound{};

void GAUGE_CALL com_notice(GaugeHeader*, int32_t notice, void* extra) {
  if (notice == kNoticeUpdate) {
    const int32_t word = read_integer_var(kComFrequencyToken);
    com1_mhz = com_whole_mhz(word);
    com1_hundredths = bcd_hundredths(word);
    com1_frequency = com1_mhz + com1_hundredths / 100.0;
  }
  radio_sound_notice(com_sound, notice, extra, kRecordingKnobClick);
}

double GAUGE_CALL knob_rotation(ElementHeader*) { return com1_knob_angle; }

double GAUGE_CALL readout(ElementHeader* head) {
  auto* e = element_as<StringElement>(head);
  apply_com_channel_rule();
  if (e->text != nullptr && e->characters >= 0)
    std::snprintf(e->text, static_cast<size_t>(e->characters) + 1, "%7.3f",
                  com1_frequency);
  if (com1_power != 0 && com1_display_countdown > 0) {
    --com1_display_countdown;
    head->image_flags &= ~uint32_t{kImageHidden};
  } else {
    head->image_flags |= kImageHidden;
  }
  return 0.0;
}

double GAUGE_CALL frequency_insert(uint32_t, uint32_t, uint32_t, uint32_t,
                                   uint32_t, uint32_t) {
  apply_com_channel_rule();
  return com1_frequency;
}

int32_t GAUGE_CALL knob_lower(PointRecord*, uint32_t flags) {
  if (com1_power == 0) return 0;
  if ((flags & kMouseLeftSingle) != 0) {
    if (com1_frequency > kLowestMhz) {
      trigger_key_event(kComChannelDown, 0);
      com1_knob_angle -= kKnobChannelDegrees;
    }
  } else if ((flags & kMouseRightSingle) != 0) {
    if (com1_mhz > kLowestMhz) {
      trigger_key_event(kComMhzDown, 0);
      com1_knob_angle -= kKnobMhzDegrees;
    }
  }
  return 0;
}

int32_t GAUGE_CALL knob_raise(PointRecord*, uint32_t flags) {
  if (com1_power == 0) return 0;
  if ((flags & kMouseLeftSingle) != 0) {
    if (com1_frequency < kHighestChannelMhz) {
      trigger_key_event(kComChannelUp, 0);
      com1_knob_angle += kKnobChannelDegrees;
    }
  } else if ((flags & kMouseRightSingle) != 0) {
    if (com1_mhz <= kHighestMhzStepFrom) {
      trigger_key_event(kComMhzUp, 0);
      com1_knob_angle += kKnobMhzDegrees;
    }
  }
  return 0;
}

int32_t GAUGE_CALL display_button(PointRecord*, uint32_t) {
  if (com1_power == 0) return 0;
  com1_display_countdown = kDisplayUpdates;
  sound_click(com_sound);
  return 0;
}

constexpr FailureEntry light_failures[] = {{21, 3, 0}, {9, 0, 0}, kFailuresEnd};

constinit ElementChain chain{
    &radio_com_gauge,
    static_image({.bitmap = 1190, .at = {0, 0}, .flags = 0x3}),
    sprite({.bitmap = 1220,
            .at = {132, 14},
            .centre = {181, 63},
            .texture_scale_x = 1.0f,
            .texture_scale_y = 1.0f,
            .x_scale = 1.0,
            .y_scale = 1.0,
            .rotation_scale = -1.0,
            .rotation_callback = knob_rotation,
            .flags = 0x83}),
    icon({.bitmap = 1210,
          .at = {46, 58},
          .icons = 2,
          .callback = radio_switch_picture<&com1_power>,
          .flags = 0x3}),
    string_element({.at = {240, 12},
                    .box_width = 84,
                    .box_height = 25,
                    .tokens = {kComFrequencyToken, 0, 0},
                    .text_colour = 0x00F0F0,
                    .background_colour = 0x000000,
                    .highlight_colour = 0x00FFFF,
                    .font_face = "Arial",
                    .font_weight = 700,
                    .characters = 7,
                    .callback = readout,
                    .flags = 0x7}),
    icon({.bitmap = 1200,
          .at = {243, 90},
          .icons = 1,
          .callback = radio_power_light<&com1_power>,
          .flags = 0x7,
          .failures = light_failures}),
};

constinit TooltipArg tooltip_args[] = {
    number_arg(frequency_insert),
    text_arg(radio_on_off_text<&com1_power>),
};
static_assert(std::size(tooltip_args) == 2);

constexpr char kFrequencyText[] = "Communications Radio COM1 - %1!07.3f! MHz";
constexpr MouseBox kSwitchBox = {46, 58, 67, 58};
constexpr uint32_t kKnobFlags =
    kMouseLeftSingle | kMouseRightSingle | kMouseRepeat;

constinit MouseRect mouse_areas[] = {
    mouse_parent(),
    mouse_parent({0, 0, 350, 58}),
    mouse_text_tooltip(kFrequencyText, tooltip_args, 2),
    mouse_parent_end(),
    mouse_parent({113, 58, 237, 72}),
    mouse_text_tooltip(kFrequencyText, tooltip_args, 2),
    mouse_parent_end(),
    mouse_parent(kSwitchBox),
    mouse_text_tooltip("COM1 main switch (%2!s!)", tooltip_args, 2),
    mouse_parent_end(),
    mouse_callback_child({132, 14, 49, 98}, kCursorDownArrow, kKnobFlags,
                         knob_lower),
    mouse_callback_child({181, 14, 49, 98}, kCursorUpArrow, kKnobFlags,
                         knob_raise),
    mouse_callback_child({256, 0, 44, 44}, kCursorHand,
                         kMouseLeftSingle | kMouseRepeat, display_button),
    mouse_callback_child(kSwitchBox, kCursorHand, kMouseLeftSingle,
                         radio_main_switch_click<&com1_power, &com_sound>),
    mouse_parent_end(),
    mouse_end(),
};
static_assert(std::size(mouse_areas) == 16);

}  // namespace

double com1_mhz = 0.0;
double com1_hundredths = 0.0;
double com1_frequency = 0.0;
double com1_knob_angle = 0.0;
int32_t com1_display_countdown = 0;

// A channel ending in 25 or 75 kHz arrives as .x2 or .x7: the simulator's
// word holds two decimals only.
void apply_com_channel_rule() {
  double frequency = com1_mhz + com1_hundredths / 100.0;
  const double last_digit =
      com1_hundredths - std::floor(com1_hundredths / 10.0) * 10.0;
  if (last_digit == 2.0 || last_digit == 7.0) frequency += 0.005;
  com1_frequency = frequency;
}

constinit GaugeHeader radio_com_gauge = gauge_header({
    .name = "Radio_COM",
    .width_mm = 100,
    .elements = chain.list(),
    .mouse_areas = mouse_areas,
    .callback = com_notice,
});
