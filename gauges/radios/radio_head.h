// What every radio head shares: the power latch worked by its main switch,
// the switch picture and power light, the on/off tooltip text, the BCD
// decoding of frequencies and codes, lit digit drums, tuning areas that act
// only while the head is on, and the head's click sound slot.
#pragma once

#include <cstdint>

#include "elements/records.h"
#include "module/services.h"
#include "sound/sound.h"
#include "state/panel_state.h"

inline constexpr int32_t kSupplyVoltageToken = 755;
// A head switches on only above this supply voltage.
inline constexpr double kRadioSwitchOnVolts = 20.0;

// One main-switch click on a head whose latch is `power`. A head that is on
// first sends `ident_off_event` (0 sends nothing). Off switches on only while
// the supply reads above kRadioSwitchOnVolts; on always switches off. Each
// change plays the slot's click once; a refused switch-on is silent. Returns
// whether the latch changed.
bool radio_main_switch(int32_t& power, SoundSlot& slot,
                       uint32_t ident_off_event = 0);

// The whole MHz of a COM word (118 for 0x1850). A word below 0x1000, which a
// COM head never tunes, reads as 100 plus its second digit.
double com_whole_mhz(int32_t bcd);
// The whole MHz of a NAV word (108 for 0x0805, 117 for 0x1795).
double nav_whole_mhz(int32_t bcd);
// The two decimal digits of a COM or NAV word, 0 to 99 (5 for 0x0805).
double bcd_hundredths(int32_t bcd);
// The four nibbles of a transponder word read as decimal digits.
double transponder_code(int32_t bcd);

// The same decoders on a variable read afresh from the simulator.
double read_com_whole_mhz(int32_t token);
double read_nav_whole_mhz(int32_t token);
double read_bcd_hundredths(int32_t token);
double read_transponder_code(int32_t token);

// A digit drum glows while its head is on and is drawn again every refresh.
void light_digit(ElementHeader* element, int32_t power);

// What a head's gauge callback does with its sound slot: set it up at
// install, release it at kill.
void radio_sound_notice(SoundSlot& slot, int32_t notice, void* extra,
                        int32_t recording_id);

// Callbacks bound to one head's latch (and slot and events).

// Main switch picture: image 1 while on, image 0 while off.
template <int32_t* Power>
double GAUGE_CALL radio_switch_picture(ElementHeader*) {
  return *Power != 0 ? 1.0 : 0.0;
}

// Power light: drawn while on, nothing while off.
template <int32_t* Power>
double GAUGE_CALL radio_power_light(ElementHeader*) {
  return *Power != 0 ? 0.0 : -1.0;
}

// Tooltip insert after the module's own flag, not the simulator's.
template <int32_t* Flag>
const char* GAUGE_CALL radio_on_off_text(uint32_t, uint32_t, uint32_t, uint32_t,
                                         uint32_t, uint32_t) {
  return *Flag != 0 ? "on" : "off";
}

template <int32_t* Power, SoundSlot* Slot, uint32_t IdentOffEvent = 0>
int32_t GAUGE_CALL radio_main_switch_click(PointRecord*, uint32_t) {
  radio_main_switch(*Power, *Slot, IdentOffEvent);
  return 0;
}

// A tuning or digit area: one event with value 0, only while the head is on,
// and no sound.
template <int32_t* Power, uint32_t Event>
int32_t GAUGE_CALL radio_step_click(PointRecord*, uint32_t) {
  if (*Power != 0) trigger_key_event(Event, 0);
  return 0;
}
