// The ADF head's own arithmetic, open to tests: reading the frequency from
// its two BCD words, the band a frequency falls in, where the dial pointer
// stands, and the BCD word of the set-frequency event.
#pragma once

#include <cstdint>

struct AdfReading {
  double khz;        // whole kHz
  double tenths;     // tenths digit (more if the extension word is odd)
  double frequency;  // khz + tenths / 10
};

// `digits` holds the hundreds, tens and units as BCD nibbles; `extension`
// 256 or more adds a thousand, the rest is the tenths digit.
AdfReading adf_reading(uint32_t digits, uint32_t extension);

// 1 up to 410 kHz, 2 up to 850, 3 above.
double adf_band_for(double frequency_khz);

// The dial pointer's angle in degrees for a frequency on a band's scale.
double adf_dial_degrees(double band, double frequency_khz);

// The decimal digits of `number` written as BCD nibbles (4100 -> 0x4100);
// digits beyond the eighth do not fit the word and are dropped.
uint32_t adf_bcd_word(uint32_t number);
