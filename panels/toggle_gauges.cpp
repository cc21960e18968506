// The twelve button gauges that open, close and switch panel windows and
// host windows. Nine are programmed by their parameter text (which windows,
// the view, the button face, the host tooltip, a window closed once); the
// other three send one fixed host event.
#include <array>
#include <iterator>

#include "elements/declare.h"
#include "gauges/gauge_table.h"
#include "module/services.h"
#include "panels/parameter_text.h"

namespace {

struct ToggleRow {
  GaugeHeader* gauge;
  const char* name;
  int32_t bitmap;
  // The gauge's own tooltip text, and the help identifier on its parent.
  const char* tooltip = nullptr;
  uint32_t help_id = 0;
  // A fixed host event; 0 for the programmable members.
  uint32_t event = 0;
};

constexpr ToggleRow kToggles[] = {
    {.gauge = &invisible_toggle_gauge,
     .name = "Invisible_Toggle",
     .bitmap = 100},
    {.gauge = &close_subpanel_gauge,
     .name = "Close_Subpanel",
     .bitmap = 110,
     .tooltip = "Close the subpanel"},
    {.gauge = &radios_toggle_gauge,
     .name = "Radios_Toggle",
     .bitmap = 120,
     .help_id = 0xAB86},
    {.gauge = &landing_view_toggle_gauge,
     .name = "Landing_View_Toggle",
     .bitmap = 130,
     .tooltip = "Switch between Normal and Landing view"},
    {.gauge = &gps_toggle_gauge,
     .name = "GPS_Toggle",
     .bitmap = 140,
     .help_id = 0xAB87},
    {.gauge = &throttle_toggle_gauge,
     .name = "Throttle_Toggle",
     .bitmap = 150,
     .help_id = 0xAB88},
    {.gauge = &compass_toggle_gauge,
     .name = "Compass_Toggle",
     .bitmap = 160,
     .help_id = 0xAB89},
    {.gauge = &fuel_toggle_gauge,
     .name = "Fuel_Toggle",
     .bitmap = 170,
     .tooltip = "Display/Hide the fuel subpanel",
     .help_id = 0xAB8A},
    {.gauge = &electricity_toggle_gauge,
     .name = "Electricity_Toggle",
     .bitmap = 180,
     .tooltip = "Display/Hide the electricity switches"},
    {.gauge = &atc_toggle_gauge,
     .name = "ATC_Toggle",
     .bitmap = 80,
     .help_id = 0xAB94,
     .event = 65564},
    {.gauge = &kneeboard_toggle_gauge,
     .name = "Kneeboard_Toggle",
     .bitmap = 60,
     .help_id = 0xAB93,
     .event = 65876},
    {.gauge = &map_toggle_gauge,
     .name = "Map_Toggle",
     .bitmap = 70,
     .help_id = 0xAB8F,
     .event = 66432},
};
constexpr int kToggleCount = 12;
static_assert(std::size(kToggles) == kToggleCount);

constexpr uint32_t kToggleWidthMm = 19;
constexpr MouseBox kButtonArea = {3, 3, 13, 13};
constexpr uint32_t kMainPanel = 0;

// Keys b and h at every install; key a only at the first install after the
// module is loaded, remembered in the header's user word.
void GAUGE_CALL toggle_notice(GaugeHeader* gauge, int32_t notice, void*) {
  if (notice != kNoticeInstall) return;
  apply_install_keys(gauge);
  if (gauge != nullptr && gauge->user_word == 0) {
    apply_close_key(gauge);
    gauge->user_word = 1;
  }
}

// Without a parameter text the button shows and hides the main panel.
int32_t GAUGE_CALL toggle_click(PointRecord* point, uint32_t) {
  GaugeHeader* gauge = point != nullptr ? point->gauge : nullptr;
  if (apply_click_keys(gauge != nullptr ? gauge->parameter_text : nullptr) == 0)
    panel_window_toggle(kMainPanel);
  return 0;
}

template <int N>
constinit ElementChain<StaticImageElement> chain{
    kToggles[N].gauge,
    static_image({.bitmap = kToggles[N].bitmap, .at = {0, 0}, .flags = 0x3}),
};

template <int N>
constexpr MouseRect button_area() {
  if (kToggles[N].event != 0)
    return mouse_event_child(kButtonArea, kCursorHand, kMouseLeftSingle,
                             kToggles[N].event);
  return mouse_callback_child(kButtonArea, kCursorHand, kMouseLeftSingle,
                              toggle_click);
}

template <int N>
constexpr auto make_mouse_areas() {
  const ToggleRow& row = kToggles[N];
  if constexpr (kToggles[N].tooltip != nullptr) {
    return std::array<MouseRect, 5>{
        mouse_parent({}, row.help_id),
        mouse_text_tooltip(row.tooltip),
        button_area<N>(),
        mouse_parent_end(),
        mouse_end(),
    };
  } else {
    return std::array<MouseRect, 4>{
        mouse_parent({}, row.help_id),
        button_area<N>(),
        mouse_parent_end(),
        mouse_end(),
    };
  }
}

template <int N>
constinit auto mouse_areas = make_mouse_areas<N>();

template <int N>
constexpr GaugeHeader toggle_header() {
  return gauge_header({
      .name = kToggles[N].name,
      .width_mm = kToggleWidthMm,
      .elements = chain<N>.list(),
      .mouse_areas = mouse_areas<N>.data(),
      .callback = kToggles[N].event == 0 ? toggle_notice : nullptr,
  });
}

}  // namespace

constinit GaugeHeader invisible_toggle_gauge = toggle_header<0>();
constinit GaugeHeader close_subpanel_gauge = toggle_header<1>();
constinit GaugeHeader radios_toggle_gauge = toggle_header<2>();
constinit GaugeHeader landing_view_toggle_gauge = toggle_header<3>();
constinit GaugeHeader gps_toggle_gauge = toggle_header<4>();
constinit GaugeHeader throttle_toggle_gauge = toggle_header<5>();
constinit GaugeHeader compass_toggle_gauge = toggle_header<6>();
constinit GaugeHeader fuel_toggle_gauge = toggle_header<7>();
constinit GaugeHeader electricity_toggle_gauge = toggle_header<8>();
constinit GaugeHeader atc_toggle_gauge = toggle_header<9>();
constinit GaugeHeader kneeboard_toggle_gauge = toggle_header<10>();
constinit GaugeHeader map_toggle_gauge = toggle_header<11>();
