// The radio heads' shared mechanics: power latch, BCD decoding, lit digits
// and sound slots.
#include "gauges/radios/radio_head.h"

bool radio_main_switch(int32_t& power, SoundSlot& slot,
                       uint32_t ident_off_event) {
  const double volts = read_number_var(kSupplyVoltageToken);
  if (power != 0 && ident_off_event != 0) trigger_key_event(ident_off_event, 0);
  const int32_t before = power;
  if (power != 0)
    power = 0;
  else if (volts > kRadioSwitchOnVolts)
    power = 1;
  if (power == before) return false;
  sound_click(slot);
  return true;
}

double com_whole_mhz(int32_t bcd) {
  if (bcd >= 0x3000) return 130.0 + ((bcd - 0x3000) >> 8);
  if (bcd >= 0x2000) return 120.0 + ((bcd - 0x2000) >> 8);
  if (bcd >= 0x1000) return 110.0 + ((bcd - 0x1000) >> 8);
  // Below the COM band (and for negative words) the leading digit is 0:
  // 100 + 10*0 + d2, as the band's own rule reads.
  return 100.0 + ((bcd >> 8) & 0xF);
}

double nav_whole_mhz(int32_t bcd) {
  if (bcd >= 0x1000) return 110.0 + ((bcd - 0x1000) >> 8);
  return 100.0 + (bcd >> 8);
}

double bcd_hundredths(int32_t bcd) {
  const int32_t low = bcd & 0xFF;
  if (low >= 16) return 10.0 * (low >> 4) + (low & 15);
  return low;
}

double transponder_code(int32_t bcd) {
  return 1000.0 * ((bcd >> 12) & 0xF) + 100.0 * ((bcd >> 8) & 0xF) +
         10.0 * ((bcd >> 4) & 0xF) + (bcd & 0xF);
}

double read_com_whole_mhz(int32_t token) {
  return com_whole_mhz(read_integer_var(token));
}

double read_nav_whole_mhz(int32_t token) {
  return nav_whole_mhz(read_integer_var(token));
}

double read_bcd_hundredths(int32_t token) {
  return bcd_hundredths(read_integer_var(token));
}

double read_transponder_code(int32_t token) {
  return transponder_code(read_integer_var(token));
}

void light_digit(ElementHeader* element, int32_t power) {
  if (power != 0)
    element->image_flags |= kImageLuminous;
  else
    element->image_flags &= ~uint32_t{kImageLuminous};
  element->image_flags &= ~uint32_t{kImageOnScreen};
}

void radio_sound_notice(SoundSlot& slot, int32_t notice, void* extra,
                        int32_t recording_id) {
  if (notice == kNoticeInstall)
    sound_install(slot, extra, recording_id);
  else if (notice == kNoticeKill)
    sound_kill(slot);
}
