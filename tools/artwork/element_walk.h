// The module's element chains as the artwork needs them: which bitmaps each
// element names, where it sits and, for needles, its calibration table.
#pragma once

#include <cstdint>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "elements/records.h"

struct ElementUse {
  std::string gauge;
  int number = 0;  // place in the gauge's chain, 1 being the background
  uint32_t kind = 0;
  int32_t bitmap = -1;
  int32_t x = 0;
  int32_t y = 0;
  int32_t offset_x = 0;
  int32_t offset_y = 0;
  int32_t icons = 0;
  std::span<const NonlinearityEntry> table;
};

// Every element of every gauge in the module's gauge table, in table and
// chain order.
std::vector<ElementUse> walk_elements();

// The bitmap identifiers an element names: its own, a row of one per image
// for an icon, and the picture and its window for moving images and sprites.
std::vector<int32_t> bitmaps_named(const ElementUse& use);

std::set<int32_t> all_named_bitmaps(std::span<const ElementUse> uses);
