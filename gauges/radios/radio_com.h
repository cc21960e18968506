// The COM1 head's own state, one set for every placement of the gauge; its
// power latch is com1_power in the shared panel state.
#pragma once

#include <cstdint>

// Refreshed from token 23 at every gauge update.
extern double com1_mhz;
extern double com1_hundredths;  // 0 to 99
// MHz; the read-out and the tooltip store it with the 25 kHz channel rule.
extern double com1_frequency;
// Degrees the tuning knob has turned, never wrapped.
extern double com1_knob_angle;
// Updates left during which the read-out shows.
extern int32_t com1_display_countdown;

// Stores com1_frequency from the decoded word, reading a last decimal of 2
// or 7 as the 25 or 75 kHz channel it stands for.
void apply_com_channel_rule();
