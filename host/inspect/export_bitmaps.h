// Writes every bitmap resource of an inspected module as a PNG named by its
// identifier (DIR/<id>.png), decoded from the file's bytes.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "host/module_file/model.h"

// The number of pictures written, or -1 with the first failure in `error`.
int export_bitmaps(const InspectedModule& module, std::span<const uint8_t> file,
                   const std::string& folder, std::string& error);
