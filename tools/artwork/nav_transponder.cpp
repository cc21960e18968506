// The NAV and transponder heads: their faces, the digit drums and windows,
// the fixed leading 1, the knob grips, the main and tone switches, the
// transponder's push button and the green power lamps.
#include <cmath>
#include <iterator>

#include "tools/artwork/paint.h"

namespace {

constexpr Rgb kRadioFace = {34, 35, 38};
constexpr Rgb kRadioPanel = {48, 50, 54};
constexpr Rgb kDrumFace = {16, 16, 18};
constexpr Rgb kDigit = {250, 246, 228};
constexpr Rgb kLampGreen = {70, 230, 90};
constexpr Rgb kLampRim = {20, 70, 30};

// --- Digit drums: a strip of 11 cells, top to bottom 0, 1 ... 9, 0, so
// that the window shows digit v at value v on a 0 to 10 axis. The NAV tens
// drum holds 0 over 1.

struct DrumArt {
  int32_t strip;  // the window is strip + 1
  int width;
  int cell_height;
  int cells;
  double digit_size;
};

constexpr DrumArt kDrums[] = {
    {.strip = 2030,
     .width = 12,
     .cell_height = 20,
     .cells = 11,
     .digit_size = 15},
    {.strip = 2040,
     .width = 12,
     .cell_height = 20,
     .cells = 2,
     .digit_size = 15},
    {.strip = 1240,
     .width = 15,
     .cell_height = 19,
     .cells = 11,
     .digit_size = 15},
};
static_assert(std::size(kDrums) == 3);

const DrumArt& drum_art(int32_t id) {
  for (const DrumArt& art : kDrums)
    if (id == art.strip || id == art.strip + 1) return art;
  return kDrums[0];
}

void digit_cell(cairo_t* cr, double width, double top, double height, int digit,
                double size) {
  const char words[2] = {static_cast<char>('0' + digit % 10), '\0'};
  text(cr, words, width / 2, top + height / 2, size, kDigit);
}

void drum_picture(cairo_t* cr, const Context&, int32_t id) {
  const DrumArt& art = drum_art(id);
  if (id == art.strip + 1) {
    // The window: all of the strip behind it shows.
    colour(cr, kMarking);
    cairo_paint(cr);
    return;
  }
  colour(cr, kDrumFace);
  cairo_paint(cr);
  for (int cell = 0; cell < art.cells; ++cell)
    digit_cell(cr, art.width, cell * art.cell_height, art.cell_height, cell,
               art.digit_size);
}

void leading_one(cairo_t* cr, const Context&, int32_t) {
  colour(cr, kDrumFace);
  cairo_paint(cr);
  digit_cell(cr, 12, 0, 20, 1, 15);
}

// --- Switches and lamps

// A rocker in its slot, the lit half (on, image 1) raised at the top or
// pressed at the bottom (off, image 0).
void rocker(cairo_t* cr, double w, double h, bool on) {
  rounded_box(cr, 0, 0, w, h, 4, kBezel);
  rounded_box(cr, 3, 3, w - 6, h - 6, 3, kHub);
  const double mid = h / 2;
  const double raised_top = on ? 4 : mid;
  rounded_box(cr, 5, 5, w - 10, h - 10, 2, kChromeShade);
  rounded_box(cr, 5, raised_top, w - 10, mid - 4, 2, kChrome);
  line(cr, 8, on ? 7 : h - 7, w - 8, on ? 7 : h - 7, 1.5, kChromeLight);
  text(cr, on ? "I" : "O", w / 2, on ? h * 0.28 : h * 0.72, w * 0.3,
       kRadioFace);
}

void main_switch(cairo_t* cr, const Context&, int32_t id) {
  const bool on = id == 2061 || id == 1251;
  if (id == 2060 || id == 2061)
    rocker(cr, 28, 52, on);
  else
    rocker(cr, 28, 68, on);
}

// The tone switch: a round toggle whose lever points left (off, image 0)
// or right (on, image 1).
void tone_switch(cairo_t* cr, const Context&, int32_t id) {
  const bool on = id == 2071;
  disc(cr, 17, 17, 16, kBezel);
  disc(cr, 17, 17, 12, kChromeShade);
  disc(cr, 17, 17, 8, kHub);
  const double tip_x = on ? 29 : 5;
  line(cr, 17, 17, tip_x, 11, 6, kChrome, CAIRO_LINE_CAP_ROUND);
  disc(cr, tip_x, 11, 4, kChromeLight);
  disc(cr, 17, 17, 3, kChrome);
}

void power_lamp(cairo_t* cr, const Context&, int32_t) {
  disc(cr, 5, 5, 5, kLampRim);
  disc(cr, 5, 5, 4, kLampGreen);
  disc(cr, 3.8, 3.8, 1.5, {200, 255, 210});
}

// A knob's grip: a knurled knob with a white index along +x, standing out
// past the knurl as a needle's tip does.
void knob_grip(cairo_t* cr, const Context&, int32_t) {
  knurled_knob(cr, 17, 17, 13);
  line(cr, 19, 17, 33, 17, 2.5, kMarking);
}

constexpr int32_t kKnobGrip = 2020;

// Beside each grip, a tick on the ray to each point of its table: where the
// index stands at the table's values.
void grip_ticks(cairo_t* cr, const Context& ctx) {
  for (const ElementUse& use : ctx.uses) {
    if (use.bitmap != kKnobGrip) continue;
    for (const NonlinearityEntry& mark : use.table) {
      const double dx = mark.x - use.x;
      const double dy = mark.y - use.y;
      const double length = std::hypot(dx, dy);
      if (length == 0) continue;
      line(cr, use.x + 15.5 * dx / length, use.y + 15.5 * dy / length,
           use.x + 20.5 * dx / length, use.y + 20.5 * dy / length, 2, kMarking);
    }
  }
}

// The push button, out (image 0) and pressed in (image 1).
void push_button(cairo_t* cr, const Context&, int32_t id) {
  const bool pressed = id == 1271;
  rounded_box(cr, 0, 0, 24, 32, 4, kBezel);
  rounded_box(cr, 3, 3, 18, 26, 3, pressed ? kChromeShade : kChrome);
  text(cr, "IDT", 12, 16, 7.5, kRadioFace);
}

// --- Faces

void face_plate(cairo_t* cr, double w, double h) {
  rounded_box(cr, 0, 0, w, h, 6, kRadioPanel);
  rounded_box(cr, 2, 2, w - 4, h - 4, 5, kRadioFace);
  screw(cr, 8, 8, 4);
  screw(cr, w - 8, 8, 4);
  screw(cr, 8, h - 8, 4);
  screw(cr, w - 8, h - 8, 4);
}

void digit_window(cairo_t* cr, double x, double y, double w, double h) {
  rounded_box(cr, x - 3, y - 3, w + 6, h + 6, 3, kBezel);
  rounded_box(cr, x, y, w, h, 1, kDrumFace);
}

// Where the NAV elements sit (the face is drawn under them).
constexpr double kNavDigitsLeft = 102;
constexpr double kNavDigitsRight = 171;
constexpr double kNavDigitsTop = 36;
constexpr double kNavDigitHeight = 20;

void nav_face(cairo_t* cr, const Context& ctx, int32_t id) {
  face_plate(cr, 288, 95);
  digit_window(cr, kNavDigitsLeft, kNavDigitsTop,
               kNavDigitsRight - kNavDigitsLeft, kNavDigitHeight);
  // The decimal point between the MHz and the decimals drums.
  disc(cr, 143, kNavDigitsTop + kNavDigitHeight - 4.5, 1.6, kDigit);
  text(cr, id == 2000 ? "NAV 1" : "NAV 2", 136, 18, 11, kMarking);
  text(cr, "MHz", 136, 70, 8, kMarking, false);
  // The two knobs' seats and their lower/raise halves.
  for (double x : {79.0, 195.0}) {
    disc(cr, x, 45, 15, kBezel);
    text(cr, "-", x - 13, 72, 10, kMarking);
    text(cr, "+", x + 13, 72, 10, kMarking);
  }
  grip_ticks(cr, ctx);
  text(cr, "TONE", 242, 88, 7, kMarking, false);
  text(cr, "PWR", 277, 62, 6.5, kMarking, false);
  text(cr, "OFF", 39, 89, 6.5, kMarking, false);
  text(cr, "ON", 39, 26, 6.5, kMarking, false);
  ring(cr, 277, 49, 5, 7, kBezel);
}

void transponder_face(cairo_t* cr, const Context&, int32_t) {
  face_plate(cr, 261, 99);
  text(cr, "XPDR", 157, 16, 11, kMarking);
  text(cr, "ON", 66, 14, 6, kMarking, false);
  text(cr, "OFF", 41, 84, 6, kMarking, false);
  ring(cr, 58, 84, 5, 7, kBezel);
  for (int column = 0; column < 4; ++column) {
    const double left = 111 + 23 * column;
    const double mid = left + 11.5;
    digit_window(cr, left + 4, 57, 15, 19);
    // Raise arrows in the upper row, lower arrows in the lower row.
    polygon(cr, {{mid - 5, 55}, {mid + 5, 55}, {mid, 47}}, kMarking);
    polygon(cr, {{mid - 5, 79}, {mid + 5, 79}, {mid, 87}}, kMarking);
  }
  text(cr, "IDENT", 220, 72, 6.5, kMarking, false);
}

constexpr Drawing kNavTransponderDrawings[] = {
    {.id = 1230, .width = 261, .height = 99, .draw = transponder_face},
    {.id = 1240, .width = 15, .height = 11 * 19, .draw = drum_picture},
    {.id = 1241, .width = 15, .height = 19, .draw = drum_picture},
    {.id = 1250, .width = 28, .height = 68, .draw = main_switch},
    {.id = 1251, .width = 28, .height = 68, .draw = main_switch},
    {.id = 1260, .width = 10, .height = 10, .draw = power_lamp},
    {.id = 1270, .width = 24, .height = 32, .draw = push_button},
    {.id = 1271, .width = 24, .height = 32, .draw = push_button},
    {.id = 2000, .width = 288, .height = 95, .draw = nav_face},
    {.id = 2010, .width = 288, .height = 95, .draw = nav_face},
    {.id = 2020, .width = 34, .height = 34, .draw = knob_grip},
    {.id = 2030, .width = 12, .height = 11 * 20, .draw = drum_picture},
    {.id = 2031, .width = 12, .height = 20, .draw = drum_picture},
    {.id = 2040, .width = 12, .height = 2 * 20, .draw = drum_picture},
    {.id = 2041, .width = 12, .height = 20, .draw = drum_picture},
    {.id = 2050, .width = 12, .height = 20, .draw = leading_one},
    {.id = 2060, .width = 28, .height = 52, .draw = main_switch},
    {.id = 2061, .width = 28, .height = 52, .draw = main_switch},
    {.id = 2070, .width = 34, .height = 34, .draw = tone_switch},
    {.id = 2071, .width = 34, .height = 34, .draw = tone_switch},
    {.id = 2080, .width = 10, .height = 10, .draw = power_lamp},
};
static_assert(std::size(kNavTransponderDrawings) == 21);

}  // namespace

std::span<const Drawing> nav_transponder_drawings() {
  return kNavTransponderDrawings;
}
