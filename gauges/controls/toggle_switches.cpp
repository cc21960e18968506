// The eight two-position switches: each reads its system's on/off variable
// into a lever picture, sends the system's toggle event on a left click
// (followed by the switch click, all but the avionics master) and answers
// "on"/"off" in the battery and avionics tooltips.
#include <array>
#include <iterator>

#include "elements/declare.h"
#include "gauges/gauge_table.h"
#include "module/services.h"
#include "sound/sound.h"

namespace {

struct SwitchRow {
  GaugeHeader* gauge;
  const char* name;
  uint32_t width_mm;
  int32_t bezel_bitmap;
  int32_t lever_bitmap;
  int32_t state_token;
  uint32_t event;
  MouseBox area;
  // Either the help id the parent area carries or the text of the tooltip.
  uint32_t help_id = 0;
  const char* tooltip = nullptr;
  // The area sends the event itself, with no handler and no sound.
  bool area_sends_event = false;
};

constexpr MouseBox kLeverArea = {0, 0, 44, 63};

constexpr SwitchRow kSwitches[] = {
    {.gauge = &battery_switch_gauge,
     .name = "Battery_Switch",
     .width_mm = 30,
     .bezel_bitmap = 1480,
     .lever_bitmap = 1490,
     .state_token = 364,
     .event = 66241,
     .area = kLeverArea,
     .tooltip = "Battery switch (%1!s!)"},
    {.gauge = &avionics_switch_gauge,
     .name = "Avionics_Switch",
     .width_mm = 30,
     .bezel_bitmap = 1480,
     .lever_bitmap = 1490,
     .state_token = 740,
     .event = 66293,
     .area = kLeverArea,
     .tooltip = "Avionics master switch (%1!s!)",
     .area_sends_event = true},
    {.gauge = &beacon_lights_switch_gauge,
     .name = "Beacon_Lights_Switch",
     .width_mm = 30,
     .bezel_bitmap = 1480,
     .lever_bitmap = 1490,
     .state_token = 368,
     .event = 66239,
     .area = kLeverArea,
     .help_id = 43837},
    {.gauge = &landing_lights_switch_gauge,
     .name = "Landing_Lights_Switch",
     .width_mm = 30,
     .bezel_bitmap = 3070,
     .lever_bitmap = 3080,
     .state_token = 14,
     .event = 65751,
     .area = {0, 0, 26, 45},
     .help_id = 43838},
    {.gauge = &navigation_lights_switch_gauge,
     .name = "Navigation_Lights_Switch",
     .width_mm = 30,
     .bezel_bitmap = 1480,
     .lever_bitmap = 1490,
     .state_token = 619,
     .event = 66379,
     .area = kLeverArea,
     .help_id = 43839},
    {.gauge = &panel_lights_switch_gauge,
     .name = "Panel_Lights_Switch",
     .width_mm = 30,
     .bezel_bitmap = 3140,
     .lever_bitmap = 3150,
     .state_token = 10,
     .event = 65750,
     .area = {0, 0, 66, 66},
     .help_id = 43840},
    {.gauge = &pitot_heat_switch_gauge,
     .name = "Pitot_Heat_Switch",
     .width_mm = 30,
     .bezel_bitmap = 1480,
     .lever_bitmap = 1490,
     .state_token = 13,
     .event = 65858,
     .area = kLeverArea,
     .help_id = 43863},
    {.gauge = &fuel_pump_switch_gauge,
     .name = "Fuel_Pump_Switch",
     .width_mm = 25,
     .bezel_bitmap = 1480,
     .lever_bitmap = 1490,
     .state_token = 891,
     .event = 66339,
     .area = kLeverArea,
     .help_id = 43879},
};
constexpr int kSwitchCount = 8;
static_assert(std::size(kSwitches) == kSwitchCount);

// Each switch gauge owns its own sound slot.
template <int N>
SoundSlot sound_slot{};

template <int N>
void GAUGE_CALL switch_notice(GaugeHeader*, int32_t notice, void* extra) {
  if (notice == kNoticeInstall)
    sound_install(sound_slot<N>, extra, kRecordingSwitchClick);
  else if (notice == kNoticeKill)
    sound_kill(sound_slot<N>);
}

// A toggle: the simulator's variable is the only truth, so nothing is read.
template <int N>
int32_t GAUGE_CALL switch_click(PointRecord*, uint32_t) {
  trigger_key_event(kSwitches[N].event, 0);
  sound_click(sound_slot<N>);
  return 0;
}

template <int N>
const char* GAUGE_CALL switch_state_text(uint32_t, uint32_t, uint32_t, uint32_t,
                                         uint32_t, uint32_t) {
  return read_number_var(kSwitches[N].state_token) > 0.0 ? "on" : "off";
}

template <int N>
constinit ElementChain<StaticImageElement, IconElement> chain{
    kSwitches[N].gauge,
    static_image(
        {.bitmap = kSwitches[N].bezel_bitmap, .at = {0, 0}, .flags = 0x3}),
    icon({.bitmap = kSwitches[N].lever_bitmap,
          .at = {0, 0},
          .icons = 2,
          .token = kSwitches[N].state_token,
          .flags = 0x3}),
};

template <int N>
constinit TooltipArg tooltip_args[] = {text_arg(switch_state_text<N>)};

template <int N>
constexpr MouseRect lever_area() {
  const SwitchRow& row = kSwitches[N];
  if (row.area_sends_event)
    return mouse_event_child(row.area, kCursorHand, kMouseLeftSingle,
                             row.event);
  return mouse_callback_child(row.area, kCursorHand, kMouseLeftSingle,
                              switch_click<N>);
}

template <int N>
constexpr auto make_mouse_areas() {
  const SwitchRow& row = kSwitches[N];
  if constexpr (kSwitches[N].tooltip != nullptr) {
    return std::array<MouseRect, 5>{
        mouse_parent(),  mouse_text_tooltip(row.tooltip, tooltip_args<N>, 1),
        lever_area<N>(), mouse_parent_end(),
        mouse_end(),
    };
  } else {
    return std::array<MouseRect, 4>{
        mouse_parent({}, row.help_id),
        lever_area<N>(),
        mouse_parent_end(),
        mouse_end(),
    };
  }
}

template <int N>
constinit auto mouse_areas = make_mouse_areas<N>();

template <int N>
constexpr GaugeHeader switch_header() {
  const SwitchRow& row = kSwitches[N];
  return gauge_header({
      .name = row.name,
      .width_mm = row.width_mm,
      .elements = chain<N>.list(),
      .mouse_areas = mouse_areas<N>.data(),
      .callback = row.area_sends_event ? nullptr : switch_notice<N>,
  });
}

}  // namespace

constinit GaugeHeader battery_switch_gauge = switch_header<0>();
constinit GaugeHeader avionics_switch_gauge = switch_header<1>();
constinit GaugeHeader beacon_lights_switch_gauge = switch_header<2>();
constinit GaugeHeader landing_lights_switch_gauge = switch_header<3>();
constinit GaugeHeader navigation_lights_switch_gauge = switch_header<4>();
constinit GaugeHeader panel_lights_switch_gauge = switch_header<5>();
constinit GaugeHeader pitot_heat_switch_gauge = switch_header<6>();
constinit GaugeHeader fuel_pump_switch_gauge = switch_header<7>();
