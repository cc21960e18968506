// The module's artwork: one drawing per bitmap identifier, laid out from the
// element records so that every face agrees with its needles.
//
// Conventions the pictures follow, which whoever draws them must share:
// - Pure black (0,0,0) is transparent; no opaque pixel is pure black.
// - A needle bitmap shows the needle pointing right (along +x); its pivot
//   point (the element's offset) is on the needle's axis, with any tail to
//   its left. Turned by (angle - 90) degrees clockwise it points at `angle`
//   degrees clockwise from straight up on the background.
// - Moving images and sprites name two bitmaps: the element's own is the
//   picture, the next one the window, as large as the visible part; the
//   picture shows where the window is not black. A moving image at its
//   axis minimum shows the picture's top (left) edge in the window and at
//   its maximum the bottom (right) edge, linearly between.
// - A sprite's picture is the size of its window, its middle on the centre
//   of rotation.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "tools/artwork/bitmap.h"
#include "tools/artwork/element_walk.h"

// Draws every bitmap the elements name, in identifier order. A named
// identifier without a drawing is an error, reported in `error`.
std::vector<Picture> draw_artwork(std::span<const ElementUse> uses,
                                  std::string& error);

// The identifiers the drawing table knows, in order.
std::vector<int32_t> drawable_bitmaps();
