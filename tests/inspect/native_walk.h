// The linked-in module's own records, walked through the native structs
// into the same model the static reader builds from the 32-bit file: the
// reference the Windows build's module is held to.
#pragma once

#include <string>

#include "host/module_file/model.h"

// Bitmaps come from the generated artwork folder (<id>.bmp, whose DIB is
// what the Windows build stores as a resource), recordings from the
// recordings compiled into the native build.
InspectedModule walk_linked_module(const std::string& artwork_folder);
