// The registration plate: a dark plate with a bright rim, on which the
// gauge writes the registration in its own font and colour.
#include <iterator>

#include "tools/artwork/paint.h"

namespace {

constexpr int kPlateW = 150;
constexpr int kPlateH = 25;
constexpr Rgb kPlateFace = {36, 40, 52};

void plate_picture(cairo_t* cr, const Context&, int32_t) {
  cairo_new_path(cr);
  cairo_rectangle(cr, 0, 0, kPlateW, kPlateH);
  colour(cr, kChromeShade);
  cairo_fill(cr);
  cairo_new_path(cr);
  cairo_rectangle(cr, 2, 2, kPlateW - 4, kPlateH - 4);
  colour(cr, kPlateFace);
  cairo_fill(cr);
  for (double x : {7.0, kPlateW - 7.0}) screw(cr, x, kPlateH / 2.0, 3);
}

constexpr Drawing kPlateDrawings[] = {
    {.id = 50, .width = kPlateW, .height = kPlateH, .draw = plate_picture},
};
static_assert(std::size(kPlateDrawings) == 1);

}  // namespace

std::span<const Drawing> registration_drawings() { return kPlateDrawings; }
