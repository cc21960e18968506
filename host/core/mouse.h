// Hit-testing of a gauge's mouse-area list: nested parents, clickable
// children and tooltip records, all in background pixels. A box of
// (0,0,0,0) covers the whole gauge.
#pragma once

#include <cstdint>

#include "elements/records.h"

bool box_contains(const MouseBox& box, int32_t x, int32_t y);

// The first child in list order whose box and enclosing parents hold the
// point and whose flags answer `button`; null if none.
const MouseRect* child_at(const MouseRect* list, int32_t x, int32_t y,
                          uint32_t button);

// What the innermost group under the point shows: its tooltip record, or
// failing that the parent's own help identifier. Groups that show nothing
// pass the pointer to the group around them.
struct TooltipSource {
  const MouseRect* tooltip = nullptr;  // a tooltip record
  uint32_t help_id = 0;                // a parent's help identifier
  bool found() const { return tooltip != nullptr || help_id != 0; }
};
TooltipSource tooltip_at(const MouseRect* list, int32_t x, int32_t y);
