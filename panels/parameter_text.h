// The parameter text a panel file gives a placed gauge: one-letter keys,
// each followed by its argument, cut off by the comment characters / # '.
// The toggle gauges read from it which panel windows a click opens, closes
// or toggles, how the view steps, which button face and host tooltip they
// wear, and which window their first install closes.
#pragma once

#include <cstdint>

#include "elements/records.h"

// Host events the keys send.
enum PanelEvent : uint32_t {
  kEventViewStepForward = 65734,
  kEventViewStepBack = 65735,
  kEventViewReset = 65875,
  kEventPanelWindowToggle = 66506,
  kEventPanelWindowOpen = 66507,
  kEventPanelWindowClose = 66508,
};

// The first `key` in `text`, or null when there is none or a comment
// character comes before it.
const char* find_key(const char* text, char key);

// The decimal integer at the start of `text`: an optional sign and then
// digits; anything else, or a null text, reads as 0. Numbers beyond the
// int32 range stop at its ends.
int32_t leading_integer(const char* text);

// The panel window named or numbered at the start of `text`; -1 for a null
// or empty text.
int32_t panel_ident(const char* text);

// The host help identifier named or numbered at the start of `text`; 0 for
// a null or empty text or a number below 0xA000.
uint32_t help_ident(const char* text);

// Keys o, c, t and p, in that order. 0 when the text is null or empty.
int32_t apply_click_keys(const char* text);

// Keys b (button face) and h (host tooltip).
void apply_install_keys(GaugeHeader* gauge);

// Key a: closes a panel window.
void apply_close_key(GaugeHeader* gauge);
