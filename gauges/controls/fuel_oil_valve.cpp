// The fuel/oil valve: two handles side by side. The fuel handle toggles the
// simulator's fuel valve (token 895, event 66494) and, when it opens the
// fuel, opens the oil valve with it; the oil handle works the module's own
// oil valve alone, which the oil-pressure dial and the cold-and-dark start
// also use. Both handles click.
#include "elements/declare.h"
#include "gauges/gauge_table.h"
#include "module/services.h"
#include "sound/sound.h"
#include "state/panel_state.h"

namespace {

constexpr int32_t kFuelValve = 895;
constexpr uint32_t kFuelValveToggle = 66494;

SoundSlot sound_slot{};

void GAUGE_CALL valve_notice(GaugeHeader*, int32_t notice, void* extra) {
  if (notice == kNoticeInstall)
    sound_install(sound_slot, extra, kRecordingSwitchClick);
  else if (notice == kNoticeKill)
    sound_kill(sound_slot);
}

// Only a valve reading exactly closed opens the oil with it.
int32_t GAUGE_CALL fuel_handle(PointRecord*, uint32_t) {
  if (read_number_var(kFuelValve) == 0.0) oil_valve_open = 1;
  trigger_key_event(kFuelValveToggle, 0);
  sound_click(sound_slot);
  return 0;
}

int32_t GAUGE_CALL oil_handle(PointRecord*, uint32_t) {
  oil_valve_open = oil_valve_open == 0 ? 1 : 0;
  sound_click(sound_slot);
  return 0;
}

double GAUGE_CALL oil_handle_image(ElementHeader*) {
  return oil_valve_open != 0 ? 1.0 : 0.0;
}

const char* GAUGE_CALL fuel_state_text(uint32_t, uint32_t, uint32_t, uint32_t,
                                       uint32_t, uint32_t) {
  return read_number_var(kFuelValve) > 0.0 ? "on" : "off";
}

constinit ElementChain chain{
    &fuel_oil_valve_gauge,
    static_image({.bitmap = 3000, .at = {0, 0}, .flags = 0x3}),
    icon({.bitmap = 3020,
          .at = {85, 0},
          .icons = 2,
          .callback = oil_handle_image,
          .flags = 0x3}),
    icon({.bitmap = 3010,
          .at = {0, 0},
          .icons = 2,
          .token = kFuelValve,
          .flags = 0x3}),
};

constinit TooltipArg tooltip_args[] = {text_arg(fuel_state_text)};

constinit MouseRect mouse_areas[] = {
    mouse_parent(),
    mouse_text_tooltip("Fuel valve (%1!s!)", tooltip_args, 1),
    mouse_callback_child({11, 0, 48, 231}, kCursorHand, kMouseLeftSingle,
                         fuel_handle),
    mouse_callback_child({85, 0, 48, 231}, kCursorHand, kMouseLeftSingle,
                         oil_handle),
    mouse_parent_end(),
    mouse_end(),
};

}  // namespace

constinit GaugeHeader fuel_oil_valve_gauge = gauge_header({
    .name = "Fuel_Oil_Valve",
    .width_mm = 30,
    .elements = chain.list(),
    .mouse_areas = mouse_areas,
    .callback = valve_notice,
});
