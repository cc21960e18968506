// The registration plate's two rules, open to tests: the style its
// parameter text sets at install, and the line it shows every frame.
#pragma once

#include <cstdint>

#include "elements/records.h"

// Keys f (font face, taken to the end of the text, which is then ended at
// the f), r, g and b (text colour channels) into the plate's string element.
// Does nothing without a parameter text or a string element after the plate.
void apply_plate_style(GaugeHeader* gauge);

// The line the plate shows, into `buffer` (room for `characters` and a
// zero): the parameter text after a t that opens it, else the registration
// (null shows nothing); cut at its first space, underscores as spaces.
void build_plate_text(const char* parameters, const char* registration,
                      char* buffer, int32_t characters);
