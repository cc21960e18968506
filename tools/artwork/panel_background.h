// The sample aircraft's main panel: the painted metal the gauges sit on.
#pragma once

#include "tools/artwork/bitmap.h"

// A panel of the given size, with no transparent pixel.
Picture draw_panel_background(int width, int height);
