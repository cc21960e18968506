// The ADF head: a band-switched receiver with a mechanical dial. The
// simulator owns the frequency; the head reads it back every frame, tunes it
// only by events, and keeps the band, the knob positions, the read-out
// countdown and the power and tone latches the ADF indicator also reads.
#include "gauges/radios/radio_adf.h"

#include <cstdio>
#include <iterator>

#include "elements/declare.h"
#include "gauges/gauge_table.h"
#include "gauges/radios/radio_head.h"

namespace {

constexpr int32_t kAdfDigits = 16;     // BCD 0xHTU
constexpr int32_t kAdfExtension = 18;  // 256 + tenths from 1000 kHz up
constexpr int32_t kAdfIdentAudio = 880;

enum AdfEvent : uint32_t {
  kAdfIdentOff = 65836,
  kAdfIdentOn = 65841,
  kAdfSet = 66122,
  kAdfTenthDown = 66461,
  kAdfTenthUp = 66462,
  kAdfKhzUp = 66542,
  kAdfKhzDown = 66543,
};

struct Band {
  double low_khz;
  double high_khz;
  double degrees_per_10_khz;
};

constexpr Band kBands[] = {
    {.low_khz = 200, .high_khz = 410, .degrees_per_10_khz = 5},
    {.low_khz = 410, .high_khz = 850, .degrees_per_10_khz = 4},
    {.low_khz = 850, .high_khz = 1750, .degrees_per_10_khz = 3},
};
constexpr int kBandCount = 3;
static_assert(std::size(kBands) == kBandCount);

// A band change tunes the edge the two bands share.
constexpr uint32_t kBand1To2Edge = 4100;  // tenths of kHz
constexpr uint32_t kBand2To3Edge = 8500;
constexpr double kBand1TopDegrees = 105;
constexpr double kBand2TopDegrees = 176;

// One knob step is five events of the simulator's smallest step.
constexpr int kEventsPerStep = 5;
constexpr double kCoarseStepKhz = 5.0;
constexpr double kFineStepKhz = 0.5;
constexpr int32_t kReadoutFrames = 60;

double adf_band = 1.0;
double adf_frequency = 0.0;
double adf_khz = 0.0;
double adf_tenths = 0.0;
double adf_dial_angle = 0.0;
double adf_fine_knob = 60.0;
int32_t adf_display_countdown = 0;
SoundSlot adf_sound{};

const Band& band_row(double band) {
  if (band >= 3.0) return kBands[2];
  if (band >= 2.0) return kBands[1];
  return kBands[0];
}

void read_frequency() {
  const AdfReading r = adf_reading(uint32_t(read_integer_var(kAdfDigits)),
                                   uint32_t(read_integer_var(kAdfExtension)));
  adf_khz = r.khz;
  adf_tenths = r.tenths;
  adf_frequency = r.frequency;
}

void set_luminous(ElementHeader* head, bool lit) {
  if (lit)
    head->image_flags |= kImageLuminous;
  else
    head->image_flags &= ~uint32_t{kImageLuminous};
}

void send_steps(uint32_t event) {
  for (int i = 0; i < kEventsPerStep; ++i) trigger_key_event(event, 0);
}

void GAUGE_CALL adf_notice(GaugeHeader*, int32_t notice, void* extra) {
  if (notice == kNoticeInstall) {
    trigger_key_event(kAdfIdentOff, 0);
    read_frequency();
    adf_band = adf_band_for(adf_frequency);
    adf_dial_angle = adf_dial_degrees(adf_band, adf_frequency);
  } else if (notice == kNoticeUpdate) {
    read_frequency();
  }
  radio_sound_notice(adf_sound, notice, extra, kRecordingKnobClick);
}

// Holds the simulator's identifier audio off while the set is off, and
// asserts it every frame while the tone switch is on.
double GAUGE_CALL main_switch_picture(ElementHeader*) {
  if (adf_power == 0) {
    trigger_key_event(kAdfIdentOff, 0);
    return 0.0;
  }
  if (adf_tone != 0) trigger_key_event(kAdfIdentOn, 0);
  return 1.0;
}

double GAUGE_CALL tone_switch_picture(ElementHeader*) {
  return adf_tone != 0 ? 1.0 : 0.0;
}

double GAUGE_CALL dial_pointer(ElementHeader* head) {
  const bool on = adf_power != 0;
  if (on) adf_dial_angle = adf_dial_degrees(adf_band, adf_frequency);
  set_luminous(head, on);
  return adf_dial_angle;
}

double GAUGE_CALL band_card_rotation(ElementHeader* head) {
  set_luminous(head, adf_power != 0);
  return (1.0 - adf_band) * 90.0;
}

double GAUGE_CALL fine_knob_position(ElementHeader*) { return adf_fine_knob; }

double GAUGE_CALL band_knob_position(ElementHeader*) { return adf_band; }

double GAUGE_CALL readout(ElementHeader* head) {
  auto* e = element_as<StringElement>(head);
  if (e->text != nullptr && e->characters >= 0)
    std::snprintf(e->text, size_t(e->characters) + 1, "%7.2f", adf_frequency);
  if (adf_power != 0 && adf_display_countdown > 0) {
    --adf_display_countdown;
    head->image_flags &= ~uint32_t{kImageHidden};
  } else {
    head->image_flags |= kImageHidden;
  }
  return adf_frequency;
}

int32_t GAUGE_CALL tone_switch(PointRecord*, uint32_t) {
  if (adf_power == 0) return 0;
  trigger_key_event(adf_tone != 0 ? kAdfIdentOff : kAdfIdentOn, 0);
  adf_tone = adf_tone != 0 ? 0 : 1;
  sound_click(adf_sound);
  return 0;
}

int32_t GAUGE_CALL band_down(PointRecord*, uint32_t) {
  if (adf_power == 0 || adf_band <= 1.0) return 0;
  adf_band -= 1.0;
  if (adf_band == 1.0) {
    adf_dial_angle = kBand1TopDegrees;
    trigger_key_event(kAdfSet, adf_bcd_word(kBand1To2Edge));
  } else {
    adf_dial_angle = kBand2TopDegrees;
    trigger_key_event(kAdfSet, adf_bcd_word(kBand2To3Edge));
  }
  sound_click(adf_sound);
  return 0;
}

int32_t GAUGE_CALL band_up(PointRecord*, uint32_t) {
  if (adf_power == 0 || adf_band >= 3.0) return 0;
  adf_band += 1.0;
  adf_dial_angle = 0.0;
  trigger_key_event(
      kAdfSet, adf_bcd_word(adf_band == 2.0 ? kBand1To2Edge : kBand2To3Edge));
  sound_click(adf_sound);
  return 0;
}

// Steps that would leave the band are refused whole; a right click is the
// coarse step and wins over a left one.
int32_t GAUGE_CALL tune_down(PointRecord*, uint32_t flags) {
  if (adf_power == 0) return 0;
  const double low = band_row(adf_band).low_khz;
  if ((flags & kMouseRightSingle) != 0) {
    if (adf_frequency >= low + kCoarseStepKhz) {
      send_steps(kAdfKhzDown);
      adf_fine_knob -= 5.0;
    }
  } else if ((flags & kMouseLeftSingle) != 0) {
    if (adf_frequency >= low + kFineStepKhz) {
      send_steps(kAdfTenthDown);
      adf_fine_knob -= 1.0;
    }
  }
  return 0;
}

int32_t GAUGE_CALL tune_up(PointRecord*, uint32_t flags) {
  if (adf_power == 0) return 0;
  const double high = band_row(adf_band).high_khz;
  if ((flags & kMouseRightSingle) != 0) {
    if (adf_frequency <= high - kCoarseStepKhz) {
      send_steps(kAdfKhzUp);
      adf_fine_knob += 5.0;
    }
  } else if ((flags & kMouseLeftSingle) != 0) {
    if (adf_frequency <= high - kFineStepKhz) {
      send_steps(kAdfTenthUp);
      adf_fine_knob += 1.0;
    }
  }
  return 0;
}

int32_t GAUGE_CALL show_readout(PointRecord*, uint32_t) {
  if (adf_power == 0) return 0;
  adf_display_countdown = kReadoutFrames;
  sound_click(adf_sound);
  return 0;
}

double GAUGE_CALL frequency_insert(uint32_t, uint32_t, uint32_t, uint32_t,
                                   uint32_t, uint32_t) {
  return adf_frequency;
}

// The simulator's identifier audio, which may be on while the set is off.
const char* GAUGE_CALL ident_audio_text(uint32_t, uint32_t, uint32_t, uint32_t,
                                        uint32_t, uint32_t) {
  return read_number_var(kAdfIdentAudio) == 1.0 ? "on" : "off";
}

constexpr FailureEntry kReadoutFailures[] = {
    {20, 3, 0}, {21, 3, 0}, {5, 0, 0}, kFailuresEnd};
constexpr FailureEntry kLampFailures[] = {{20, 3, 0}, {21, 3, 0}, kFailuresEnd};

constinit NonlinearityEntry dial_table[] = {mark(0, 178, 29),
                                            mark(180, 178, 225)};
constinit NonlinearityEntry fine_knob_table[] = {mark(0, 275, 13),
                                                 mark(60, 275, 73)};
constinit NonlinearityEntry band_knob_table[] = {mark(1, 178, 114),
                                                 mark(3, 178, 178)};

constinit ElementChain chain{
    &radio_adf_gauge,
    static_image({.bitmap = 1300, .at = {0, 0}, .flags = 0x3}),
    needle({.bitmap = 1370,
            .at = {178, 127},
            .pivot = {98, 98},
            .table = dial_table,
            .callback = dial_pointer,
            .flags = 0x4083}),
    sprite({.bitmap = 1360,
            .at = {130, 30},
            .centre = {178, 127},
            .x_scale = 1.0,
            .y_scale = 1.0,
            .rotation_scale = 1.0,
            .rotation_callback = band_card_rotation,
            .flags = 0x4083}),
    static_image({.bitmap = 1380, .at = {0, 0}, .flags = 0x3}),
    string_element({.at = {135, 195},
                    .box_width = 84,
                    .box_height = 25,
                    .tokens = {kAdfDigits, 0, 0},
                    .text_colour = 0x0000FAFA,
                    .background_colour = 0x00000000,
                    .highlight_colour = 0x0000FFFF,
                    .font_face = "Arial",
                    .font_weight = 700,
                    .characters = 7,
                    .callback = readout,
                    .flags = 0x7,
                    .failures = kReadoutFailures}),
    needle({.bitmap = 1320,
            .at = {275, 43},
            .pivot = {21, 21},
            .table = fine_knob_table,
            .callback = fine_knob_position,
            .flags = 0x83}),
    needle({.bitmap = 1310,
            .at = {178, 146},
            .pivot = {32, 32},
            .table = band_knob_table,
            .callback = band_knob_position,
            .flags = 0x83}),
    icon({.bitmap = 1350,
          .at = {48, 174},
          .icons = 2,
          .token = kAdfIdentAudio,
          .callback = tone_switch_picture,
          .flags = 0x3}),
    icon({.bitmap = 1340,
          .at = {169, 229},
          .icons = 1,
          .callback = radio_power_light<&adf_power>,
          .flags = 0x7,
          .failures = kLampFailures}),
    icon({.bitmap = 1330,
          .at = {243, 177},
          .icons = 2,
          .callback = main_switch_picture,
          .flags = 0x3}),
};

constinit TooltipArg tooltip_args[] = {
    number_arg(frequency_insert),
    text_arg(ident_audio_text),
    text_arg(radio_on_off_text<&adf_power>),
};

constexpr MouseBox kToneSwitch = {48, 174, 64, 64};
constexpr MouseBox kMainSwitch = {243, 177, 64, 64};
constexpr uint32_t kHeld = kMouseLeftSingle | kMouseRepeat;
constexpr uint32_t kHeldEitherButton =
    kMouseLeftSingle | kMouseRightSingle | kMouseRepeat;

constinit MouseRect mouse_areas[] = {
    mouse_parent(),
    mouse_parent({0, 0, 350, 170}),
    mouse_text_tooltip("Navigation Radio ADF - %1!07.2f! kHz", tooltip_args, 3),
    mouse_parent_end(),
    mouse_parent(kToneSwitch),
    mouse_text_tooltip("Tone switch (%2!s!)", tooltip_args, 3),
    mouse_parent_end(),
    mouse_parent(kMainSwitch),
    mouse_text_tooltip("ADF main switch (%3!s!)", tooltip_args, 3),
    mouse_parent_end(),
    mouse_callback_child(kMainSwitch, kCursorHand, kMouseLeftSingle,
                         radio_main_switch_click<&adf_power, &adf_sound>),
    mouse_callback_child(kToneSwitch, kCursorHand, kMouseLeftSingle,
                         tone_switch),
    mouse_callback_child({146, 114, 30, 60}, kCursorDownArrow, kHeld,
                         band_down),
    mouse_callback_child({178, 114, 30, 60}, kCursorUpArrow, kHeld, band_up),
    mouse_callback_child({245, 13, 30, 60}, kCursorDownArrow, kHeldEitherButton,
                         tune_down),
    mouse_callback_child({275, 13, 30, 60}, kCursorUpArrow, kHeldEitherButton,
                         tune_up),
    mouse_callback_child({78, 0, 49, 49}, kCursorHand, kHeld, show_readout),
    mouse_parent_end(),
    mouse_end(),
};

}  // namespace

AdfReading adf_reading(uint32_t digits, uint32_t extension) {
  const double thousands = extension >= 256 ? 1.0 : 0.0;
  const double tenths = extension >= 256 ? extension - 256.0 : extension;
  const double khz = 1000.0 * thousands + 100.0 * (digits / 256) +
                     10.0 * ((digits % 256) / 16) + (digits % 16);
  return {.khz = khz, .tenths = tenths, .frequency = khz + tenths / 10.0};
}

double adf_band_for(double frequency_khz) {
  if (frequency_khz <= kBands[0].high_khz) return 1.0;
  if (frequency_khz <= kBands[1].high_khz) return 2.0;
  return 3.0;
}

double adf_dial_degrees(double band, double frequency_khz) {
  const Band& b = band_row(band);
  return (frequency_khz - b.low_khz) * b.degrees_per_10_khz / 10.0;
}

uint32_t adf_bcd_word(uint32_t number) {
  uint32_t word = 0;
  for (uint32_t shift = 0; number != 0 && shift < 32; shift += 4) {
    word |= (number % 10) << shift;
    number /= 10;
  }
  return word;
}

constinit GaugeHeader radio_adf_gauge = gauge_header({
    .name = "Radio_ADF",
    .width_mm = 100,
    .elements = chain.list(),
    .mouse_areas = mouse_areas,
    .callback = adf_notice,
});
