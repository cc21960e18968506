// What changed between two builds of a module, gauge by gauge and field by
// field: gauges added and removed, and each field whose value differs
// (areas moved, texts changed, bitmaps changed by content).
#pragma once

#include <string>
#include <vector>

#include "host/module_file/model.h"

// One line per change, empty when the two hold the same.
std::vector<std::string> diff_modules(const InspectedModule& before,
                                      const InspectedModule& after);
