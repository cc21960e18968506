// The rules of the heading instruments that are worth testing apart from
// their declarations: the card and course knobs' stepping and the VOR 1
// course pointer.
#pragma once

#include <cstdint>

enum class KnobHalf { kDown, kUp };

// The value a knob click sends for a dial that reads `degrees`. The dial is
// kept within 0 to 359: a reading outside that range (or not a number) is
// first brought to its nearest end (0 for not a number), then truncated.
int32_t knob_step(double degrees, KnobHalf half, uint32_t mouse_flags);

// The course pointer's angle for a heading and selected course, with the
// receiver on and a signal present: the difference folded into above -180
// up to 180, or 90 (parked) across the course or when either is not a
// number.
double course_pointer_degrees(double heading, double course);
