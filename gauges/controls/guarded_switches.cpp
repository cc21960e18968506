// The generator and starter switches under their hinged covers: the cover is
// the module's own state, lifted and closed by a right click; a left click
// works the switch only while the cover is up. The generator toggles once
// per click with a click sound; the starter engages on every repeat while
// the button is held, silently.
#include <iterator>

#include "elements/declare.h"
#include "gauges/gauge_table.h"
#include "module/services.h"
#include "sound/sound.h"

namespace {

struct GuardedRow {
  GaugeHeader* gauge;
  const char* name;
  int32_t bezel_bitmap;
  int32_t lever_bitmap;  // 2 images: off, on
  int32_t cover_bitmap;
  int32_t state_token;
  uint32_t event;
  const char* tooltip;
  MouseBox area;
  uint32_t mouse_flags;
  // The left click that works the switch also clicks audibly.
  bool switch_clicks;
};

constexpr GuardedRow kGuarded[] = {
    {.gauge = &generator_switch_gauge,
     .name = "Generator_Switch",
     .bezel_bitmap = 2270,
     .lever_bitmap = 2290,
     .cover_bitmap = 2280,
     .state_token = 565,
     .event = 66363,
     .tooltip = "Generator switch (%1!s!)",
     .area = {0, 5, 54, 110},
     .mouse_flags = kMouseLeftSingle | kMouseRightSingle,
     .switch_clicks = true},
    {.gauge = &starter_switch_gauge,
     .name = "Starter_Switch",
     .bezel_bitmap = 2230,
     .lever_bitmap = 2250,
     .cover_bitmap = 2240,
     .state_token = 401,
     .event = 66300,
     .tooltip = "Starter switch (%1!s!)",
     .area = {5, 2, 110, 50},
     .mouse_flags = kMouseLeftSingle | kMouseRightSingle | kMouseRepeat,
     .switch_clicks = false},
};
constexpr int kGuardedCount = 2;
static_assert(std::size(kGuarded) == kGuardedCount);

// Both covers lie closed from load for the module's life, shared by every
// placement of the gauge.
template <int N>
int32_t guard_closed = 1;

template <int N>
SoundSlot sound_slot{};

template <int N>
void GAUGE_CALL guarded_notice(GaugeHeader*, int32_t notice, void* extra) {
  if (notice == kNoticeInstall)
    sound_install(sound_slot<N>, extra, kRecordingSwitchClick);
  else if (notice == kNoticeKill)
    sound_kill(sound_slot<N>);
}

template <int N>
int32_t GAUGE_CALL guarded_click(PointRecord*, uint32_t flags) {
  if ((flags & kMouseLeftSingle) != 0) {
    if (guard_closed<N> == 0) {
      trigger_key_event(kGuarded[N].event, 0);
      if (kGuarded[N].switch_clicks) sound_click(sound_slot<N>);
    }
  } else if ((flags & kMouseRightSingle) != 0) {
    guard_closed<N> = guard_closed<N> == 0 ? 1 : 0;
    sound_click(sound_slot<N>);
  }
  return 0;
}

// Any value but exactly 0 shows the lever on, NaN included.
double GAUGE_CALL lever_image(ElementHeader* head) {
  return element_as<IconElement>(head)->source.value.number == 0.0 ? 0.0 : 1.0;
}

template <int N>
double GAUGE_CALL cover_image(ElementHeader*) {
  return guard_closed<N> != 0 ? 0.0 : -1.0;
}

template <int N>
const char* GAUGE_CALL guarded_state_text(uint32_t, uint32_t, uint32_t,
                                          uint32_t, uint32_t, uint32_t) {
  const bool on = read_number_var(kGuarded[N].state_token) > 0.0;
  if (guard_closed<N> != 0) return on ? "protected & on" : "protected & off";
  return on ? "on" : "off";
}

template <int N>
constinit ElementChain<StaticImageElement, IconElement, IconElement> chain{
    kGuarded[N].gauge,
    static_image(
        {.bitmap = kGuarded[N].bezel_bitmap, .at = {0, 0}, .flags = 0x3}),
    icon({.bitmap = kGuarded[N].lever_bitmap,
          .at = {0, 0},
          .icons = 2,
          .token = kGuarded[N].state_token,
          .callback = lever_image,
          .flags = 0x3}),
    icon({.bitmap = kGuarded[N].cover_bitmap,
          .at = {0, 0},
          .icons = 1,
          .callback = cover_image<N>,
          .flags = 0x3}),
};

template <int N>
constinit TooltipArg tooltip_args[] = {text_arg(guarded_state_text<N>)};

template <int N>
constinit MouseRect mouse_areas[] = {
    mouse_parent(),
    mouse_text_tooltip(kGuarded[N].tooltip, tooltip_args<N>, 1),
    mouse_callback_child(kGuarded[N].area, kCursorHand, kGuarded[N].mouse_flags,
                         guarded_click<N>),
    mouse_parent_end(),
    mouse_end(),
};

template <int N>
constexpr GaugeHeader guarded_header() {
  return gauge_header({
      .name = kGuarded[N].name,
      .width_mm = 30,
      .elements = chain<N>.list(),
      .mouse_areas = mouse_areas<N>,
      .callback = guarded_notice<N>,
  });
}

}  // namespace

constinit GaugeHeader generator_switch_gauge = guarded_header<0>();
constinit GaugeHeader starter_switch_gauge = guarded_header<1>();
