// The NAV1 and NAV2 heads: twins from one declaration, bound through a table
// to their own frequency, events, failure key and latches. Each shows its
// active frequency on lit drums, tunes the whole MHz between 108 and 117
// and the decimals without limit, and holds the simulator's ident audio on
// exactly while the head and its tone switch are both on.
#include <cmath>
#include <iterator>

#include "elements/declare.h"
#include "gauges/gauge_table.h"
#include "gauges/radios/radio_head.h"

namespace {

constexpr double kLowestMhz = 108.0;
constexpr double kHighestMhz = 117.0;

struct NavRow {
  GaugeHeader* gauge;
  const char* name;
  int32_t face_bitmap;
  int32_t frequency_token;  // BCD
  int32_t failure_key;      // the receiver's own failure, drawn through
  uint32_t mhz_down;
  uint32_t mhz_up;
  uint32_t decimals_down;
  uint32_t decimals_up;
  uint32_t ident_off;
  uint32_t ident_on;
  const char* frequency_tooltip;
  const char* switch_tooltip;
  int32_t* power;
  int32_t* tone;
};

constexpr NavRow kNav[] = {
    {.gauge = &radio_nav1_gauge,
     .name = "Radio_NAV1",
     .face_bitmap = 2000,
     .frequency_token = 24,
     .failure_key = 14,
     .mhz_down = 65640,
     .mhz_up = 65641,
     .decimals_down = 65642,
     .decimals_up = 65643,
     .ident_off = 65832,
     .ident_on = 65837,
     .frequency_tooltip = "Navigation Radio NAV1 - %1!07.3f! MHz",
     .switch_tooltip = "NAV1 main switch (%3!s!)",
     .power = &nav1_power,
     .tone = &nav1_tone},
    {.gauge = &radio_nav2_gauge,
     .name = "Radio_NAV2",
     .face_bitmap = 2010,
     .frequency_token = 27,
     .failure_key = 15,
     .mhz_down = 65644,
     .mhz_up = 65645,
     .decimals_down = 65646,
     .decimals_up = 65647,
     .ident_off = 65833,
     .ident_on = 65838,
     .frequency_tooltip = "Navigation Radio NAV2 - %1!07.3f! MHz",
     .switch_tooltip = "NAV2 main switch (%3!s!)",
     .power = &nav2_power,
     .tone = &nav2_tone},
};
constexpr int kNavCount = 2;
static_assert(std::size(kNav) == kNavCount);

// The active frequency as last decoded, one set per head for every copy of
// its gauge; it follows the simulator whether or not the head is on.
template <int N>
double whole_mhz = 0.0;
template <int N>
double hundredths = 0.0;
template <int N>
double frequency_mhz = 0.0;

template <int N>
SoundSlot sound_slot{};

template <int N>
void refresh_whole_mhz() {
  whole_mhz<N> = read_nav_whole_mhz(kNav[N].frequency_token);
}

template <int N>
void refresh_hundredths() {
  hundredths<N> = read_bcd_hundredths(kNav[N].frequency_token);
}

template <int N>
void GAUGE_CALL nav_notice(GaugeHeader*, int32_t notice, void* extra) {
  if (notice == kNoticeInstall) trigger_key_event(kNav[N].ident_off, 0);
  if (notice == kNoticeUpdate) {
    refresh_whole_mhz<N>();
    refresh_hundredths<N>();
  }
  radio_sound_notice(sound_slot<N>, notice, extra, kRecordingSwitchClick);
}

double remainder_of(double value, double divisor) {
  return value - std::floor(value / divisor) * divisor;
}

template <int N>
double GAUGE_CALL hundredths_drum(ElementHeader* head) {
  light_digit(head, *kNav[N].power);
  return remainder_of(hundredths<N>, 10.0);
}

template <int N>
double GAUGE_CALL tenths_drum(ElementHeader* head) {
  light_digit(head, *kNav[N].power);
  return std::floor(hundredths<N> / 10.0);
}

template <int N>
double GAUGE_CALL mhz_units_drum(ElementHeader* head) {
  light_digit(head, *kNav[N].power);
  return remainder_of(whole_mhz<N>, 10.0);
}

template <int N>
double GAUGE_CALL mhz_tens_drum(ElementHeader* head) {
  light_digit(head, *kNav[N].power);
  return std::floor(remainder_of(whole_mhz<N>, 100.0) / 10.0);
}

template <int N>
double GAUGE_CALL leading_one(ElementHeader* head) {
  light_digit(head, *kNav[N].power);
  return 0.0;
}

template <int N>
double GAUGE_CALL hundredths_grip(ElementHeader*) {
  return hundredths<N>;
}

template <int N>
double GAUGE_CALL mhz_grip(ElementHeader*) {
  return whole_mhz<N>;
}

// The tone and main-switch pictures are refreshed every frame, tone first;
// between them they re-send the ident state, so a change made to it
// elsewhere lasts one frame at most.
template <int N>
double GAUGE_CALL tone_picture(ElementHeader*) {
  if (*kNav[N].tone != 0) {
    if (*kNav[N].power != 0) trigger_key_event(kNav[N].ident_on, 0);
    return 1.0;
  }
  trigger_key_event(kNav[N].ident_off, 0);
  return 0.0;
}

template <int N>
double GAUGE_CALL main_switch_picture(ElementHeader*) {
  if (*kNav[N].power == 0) {
    trigger_key_event(kNav[N].ident_off, 0);
    return 0.0;
  }
  if (*kNav[N].tone != 0) trigger_key_event(kNav[N].ident_on, 0);
  return 1.0;
}

template <int N>
int32_t GAUGE_CALL tone_click(PointRecord*, uint32_t) {
  if (*kNav[N].power == 0) return 0;
  int32_t& tone = *kNav[N].tone;
  trigger_key_event(tone != 0 ? kNav[N].ident_off : kNav[N].ident_on, 0);
  tone = tone != 0 ? 0 : 1;
  sound_click(sound_slot<N>);
  return 0;
}

template <int N>
int32_t GAUGE_CALL mhz_down_click(PointRecord*, uint32_t) {
  refresh_whole_mhz<N>();
  if (whole_mhz < N >> kLowestMhz && *kNav[N].power != 0)
    trigger_key_event(kNav[N].mhz_down, 0);
  return 0;
}

template <int N>
int32_t GAUGE_CALL mhz_up_click(PointRecord*, uint32_t) {
  refresh_whole_mhz<N>();
  if (whole_mhz<N> < kHighestMhz && *kNav[N].power != 0)
    trigger_key_event(kNav[N].mhz_up, 0);
  return 0;
}

template <int N>
int32_t GAUGE_CALL decimals_down_click(PointRecord*, uint32_t) {
  refresh_hundredths<N>();
  if (*kNav[N].power != 0) trigger_key_event(kNav[N].decimals_down, 0);
  return 0;
}

template <int N>
int32_t GAUGE_CALL decimals_up_click(PointRecord*, uint32_t) {
  refresh_hundredths<N>();
  if (*kNav[N].power != 0) trigger_key_event(kNav[N].decimals_up, 0);
  return 0;
}

template <int N>
double GAUGE_CALL frequency_text(uint32_t, uint32_t, uint32_t, uint32_t,
                                 uint32_t, uint32_t) {
  frequency_mhz<N> = whole_mhz<N> + hundredths<N> / 100.0;
  return frequency_mhz<N>;
}

template <int N>
constexpr FailureEntry digit_failures[] = {
    {21, 3, 0}, {kNav[N].failure_key, 0, 0}, kFailuresEnd};

constexpr int32_t kDrum = 2030;
constexpr int32_t kTensDrum = 2040;
constexpr int32_t kLeadingOne = 2050;
constexpr int32_t kKnobGrip = 2020;
constexpr int32_t kMainSwitch = 2060;
constexpr int32_t kToneSwitch = 2070;
constexpr int32_t kPowerLight = 2080;

template <int N>
constexpr MovingImageRow drum(int32_t bitmap, int32_t x, double y_max,
                              ElementCallback callback) {
  return {.bitmap = bitmap,
          .at = {x, 36},
          .y_min = 0.0,
          .y_max = y_max,
          .y_callback = callback,
          .flags = 0x83,
          .failures = digit_failures<N>};
}

// Both grips' points lie on x = 79: the MHz grip turns 45 degrees per MHz
// about (79,45), the decimals grip about 0.65 degrees per hundredth about
// (195,45).
template <int N>
constinit NonlinearityEntry hundredths_grip_table[] = {mark(100.0, 79, 11),
                                                       mark(50.0, 79, 79)};
template <int N>
constinit NonlinearityEntry mhz_grip_table[] = {mark(108.0, 79, 11),
                                                mark(112.0, 79, 79)};

template <int N>
constinit ElementChain chain{
    kNav[N].gauge,
    static_image({.bitmap = kNav[N].face_bitmap, .at = {0, 0}, .flags = 0x3}),
    moving_image(drum<N>(kDrum, 159, 10.0, hundredths_drum<N>)),
    moving_image(drum<N>(kDrum, 146, 10.0, tenths_drum<N>)),
    moving_image(drum<N>(kDrum, 128, 10.0, mhz_units_drum<N>)),
    moving_image(drum<N>(kTensDrum, 115, 1.0, mhz_tens_drum<N>)),
    icon({.bitmap = kLeadingOne,
          .at = {102, 36},
          .scale = 0.0,
          .callback = leading_one<N>,
          .flags = 0x83,
          .failures = digit_failures<N>}),
    needle({.bitmap = kKnobGrip,
            .at = {195, 45},
            .pivot = {17, 17},
            .table = hundredths_grip_table<N>,
            .callback = hundredths_grip<N>,
            .flags = 0x83}),
    needle({.bitmap = kKnobGrip,
            .at = {79, 45},
            .pivot = {17, 17},
            .table = mhz_grip_table<N>,
            .callback = mhz_grip<N>,
            .flags = 0x83}),
    icon({.bitmap = kToneSwitch,
          .at = {225, 47},
          .icons = 2,
          .callback = tone_picture<N>,
          .flags = 0x3,
          .failures = digit_failures<N>}),
    icon({.bitmap = kMainSwitch,
          .at = {25, 32},
          .icons = 2,
          .callback = main_switch_picture<N>,
          .flags = 0x3}),
    icon({.bitmap = kPowerLight,
          .at = {272, 44},
          .callback = radio_power_light<kNav[N].power>,
          .flags = 0x7,
          .failures = digit_failures<N>}),
};

// One argument list for all three tooltips: the frequency, the tone switch
// and the main switch.
template <int N>
constinit TooltipArg tooltip_args[] = {
    number_arg(frequency_text<N>),
    text_arg(radio_on_off_text<kNav[N].tone>),
    text_arg(radio_on_off_text<kNav[N].power>),
};

constexpr uint32_t kTuning = kMouseLeftSingle | kMouseRepeat;

template <int N>
constinit MouseRect mouse_areas[] = {
    mouse_parent(),
    mouse_parent({55, 0, 168, 95}),
    mouse_text_tooltip(kNav[N].frequency_tooltip, tooltip_args<N>, 3),
    mouse_parent_end(),
    mouse_parent({225, 47, 34, 34}),
    mouse_text_tooltip("Tone switch (%2!s!)", tooltip_args<N>, 3),
    mouse_parent_end(),
    mouse_parent({25, 32, 28, 52}),
    mouse_text_tooltip(kNav[N].switch_tooltip, tooltip_args<N>, 3),
    mouse_parent_end(),
    mouse_callback_child({62, 28, 17, 34}, kCursorDownArrow, kTuning,
                         mhz_down_click<N>),
    mouse_callback_child({79, 28, 17, 34}, kCursorUpArrow, kTuning,
                         mhz_up_click<N>),
    mouse_callback_child({178, 28, 17, 34}, kCursorDownArrow, kTuning,
                         decimals_down_click<N>),
    mouse_callback_child({195, 28, 17, 34}, kCursorUpArrow, kTuning,
                         decimals_up_click<N>),
    mouse_callback_child({25, 32, 28, 52}, kCursorHand, kMouseLeftSingle,
                         radio_main_switch_click<kNav[N].power, &sound_slot<N>,
                                                 kNav[N].ident_off>),
    mouse_callback_child({225, 47, 34, 34}, kCursorHand, kMouseLeftSingle,
                         tone_click<N>),
    mouse_parent_end(),
    mouse_end(),
};

template <int N>
constexpr GaugeHeader nav_header() {
  return gauge_header({
      .name = kNav[N].name,
      .width_mm = 100,
      .elements = chain<N>.list(),
      .mouse_areas = mouse_areas<N>,
      .callback = nav_notice<N>,
  });
}

}  // namespace

constinit GaugeHeader radio_nav1_gauge = nav_header<0>();
constinit GaugeHeader radio_nav2_gauge = nav_header<1>();
