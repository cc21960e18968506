// The toggle switches: a plate with its nut, and the bat-handle lever down
// (image 0, off) and up (image 1, on).
#include <algorithm>
#include <iterator>
#include <numbers>

#include "tools/artwork/paint.h"

namespace {

void switch_plate(cairo_t* cr, double w, double h, bool labels) {
  const double r = std::min(w, h) * 0.18;
  cairo_new_path(cr);
  cairo_arc(cr, r, r, r, std::numbers::pi, 1.5 * std::numbers::pi);
  cairo_arc(cr, w - r, r, r, 1.5 * std::numbers::pi, 2 * std::numbers::pi);
  cairo_arc(cr, w - r, h - r, r, 0, 0.5 * std::numbers::pi);
  cairo_arc(cr, r, h - r, r, 0.5 * std::numbers::pi, std::numbers::pi);
  cairo_close_path(cr);
  colour(cr, kBezelEdge);
  cairo_fill_preserve(cr);
  cairo_set_line_width(cr, 3);
  colour(cr, kBezel);
  cairo_stroke(cr);
  const double nut = std::min(w, h) * 0.28;
  disc(cr, w / 2, h / 2, nut, kChromeShade);
  disc(cr, w / 2, h / 2, nut * 0.72, kHub);
  if (!labels) return;
  const double size = std::min(w, h) * 0.18;
  text(cr, "ON", w / 2, h * 0.085, size, kMarking);
  text(cr, "OFF", w / 2, h * 0.915, size, kMarking);
}

// The bat-handle lever from the nut up (on) or down (off).
void switch_lever(cairo_t* cr, double w, double h, bool on, bool labels) {
  const double cx = w / 2;
  const double cy = h / 2;
  const double base = std::min(w, h) * 0.09;
  const double end = std::min(w, h) * 0.11;
  // Clear of the ON and OFF labels.
  const double reach = h / 2 - (labels ? 0.2 : 0.06) * h - end;
  const double tip_y = on ? cy - reach : cy + reach;
  polygon(
      cr,
      {{cx - base, cy}, {cx - end, tip_y}, {cx + end, tip_y}, {cx + base, cy}},
      kChrome);
  line(cr, cx - base * 0.3, cy, cx - end * 0.3, tip_y, base * 0.6,
       kChromeLight);
  disc(cr, cx, tip_y, end, kChrome);
  disc(cr, cx - end * 0.3, tip_y - end * 0.3, end * 0.4, kChromeLight);
  disc(cr, cx, cy, base * 1.6, kChromeShade);
}

struct SwitchArt {
  int32_t plate;
  int32_t lever;  // the row lever, lever + 1
  int width;
  int height;
  bool labels;
};

constexpr SwitchArt kSwitchArt[] = {
    {.plate = 1480, .lever = 1490, .width = 44, .height = 63, .labels = true},
    {.plate = 3070, .lever = 3080, .width = 26, .height = 45, .labels = false},
    {.plate = 3140, .lever = 3150, .width = 66, .height = 66, .labels = true},
};
static_assert(std::size(kSwitchArt) == 3);

const SwitchArt& switch_art(int32_t id) {
  for (const SwitchArt& art : kSwitchArt)
    if (id == art.plate || id == art.lever || id == art.lever + 1) return art;
  return kSwitchArt[0];
}

void switch_picture(cairo_t* cr, const Context&, int32_t id) {
  const SwitchArt& art = switch_art(id);
  if (id == art.plate)
    switch_plate(cr, art.width, art.height, art.labels);
  else
    switch_lever(cr, art.width, art.height, id == art.lever + 1, art.labels);
}

constexpr Drawing kSwitchDrawings[] = {
    {.id = 1480, .width = 44, .height = 63, .draw = switch_picture},
    {.id = 1490, .width = 44, .height = 63, .draw = switch_picture},
    {.id = 1491, .width = 44, .height = 63, .draw = switch_picture},
    {.id = 3070, .width = 26, .height = 45, .draw = switch_picture},
    {.id = 3080, .width = 26, .height = 45, .draw = switch_picture},
    {.id = 3081, .width = 26, .height = 45, .draw = switch_picture},
    {.id = 3140, .width = 66, .height = 66, .draw = switch_picture},
    {.id = 3150, .width = 66, .height = 66, .draw = switch_picture},
    {.id = 3151, .width = 66, .height = 66, .draw = switch_picture},
};
static_assert(std::size(kSwitchDrawings) == 3 * std::size(kSwitchArt));

}  // namespace

std::span<const Drawing> switch_drawings() { return kSwitchDrawings; }
