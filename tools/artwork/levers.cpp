// The engine controls: the throttle quadrant with its three slots and lever
// knobs (throttle black, propeller blue, mixture red), placed from the
// sliders' own positions, and the magneto selector's face with its key in
// the four positions OFF, R, L, BOTH.
#include <cmath>
#include <iterator>
#include <numbers>

#include "tools/artwork/paint.h"

namespace {

constexpr Rgb kThrottleKnob = {40, 40, 44};
constexpr Rgb kPropellerKnob = {34, 70, 170};
constexpr Rgb kMixtureKnob = {196, 34, 30};

// --- Throttle quadrant: 145 x 205. Each knob's bitmap ends at the bottom
// of its lever's click area when the lever is at idle.
constexpr int kQuadrantW = 145;
constexpr int kQuadrantH = 205;
constexpr int kAreaBottom = 202;

struct LeverArt {
  int32_t id;
  int x;  // the slider's position on the quadrant
  int y;  // at idle
  int width;
  double knob_x;  // the knob's middle, in the lever bitmap
  Rgb paint;
  const char* label;
};

constexpr LeverArt kLeverArt[] = {
    {.id = 3170,
     .x = 1,
     .y = 140,
     .width = 52,
     .knob_x = 26.5,
     .paint = kThrottleKnob,
     .label = "THR"},
    {.id = 3180,
     .x = 45,
     .y = 150,
     .width = 56,
     .knob_x = 27.5,
     .paint = kPropellerKnob,
     .label = "PROP"},
    {.id = 3190,
     .x = 68,
     .y = 143,
     .width = 76,
     .knob_x = 49.5,
     .paint = kMixtureKnob,
     .label = "MIX"},
};
static_assert(std::size(kLeverArt) == 3);

const LeverArt& lever_art(int32_t id) {
  for (const LeverArt& art : kLeverArt)
    if (art.id == id) return art;
  return kLeverArt[0];
}

void quadrant(cairo_t* cr) {
  colour(cr, kBezelEdge);
  cairo_rectangle(cr, 0, 0, kQuadrantW, kQuadrantH);
  cairo_fill(cr);
  colour(cr, kBezel);
  cairo_rectangle(cr, 2, 2, kQuadrantW - 4, kQuadrantH - 4);
  cairo_fill(cr);
  for (const LeverArt& art : kLeverArt) {
    const double x = art.x + art.knob_x;
    line(cr, x, 8, x, kAreaBottom - 12, 6, kHub, CAIRO_LINE_CAP_ROUND);
    text(cr, art.label, x, kQuadrantH - 5, 7, kMarking);
  }
  for (double y = 12; y < kAreaBottom - 8; y += 23.5)
    line(cr, 4, y, 9, y, 1, kMarking);
}

void lever_knob(cairo_t* cr, const LeverArt& art) {
  const double x = art.knob_x;
  const double height = kAreaBottom - art.y;
  // Clear of the slot labels below at idle.
  line(cr, x, 20, x, height - 9, 5, kChromeShade);
  cairo_new_path(cr);
  cairo_move_to(cr, x - 19, 8);
  cairo_curve_to(cr, x - 19, -1, x + 19, -1, x + 19, 8);
  cairo_line_to(cr, x + 17, 24);
  cairo_curve_to(cr, x + 12, 29, x - 12, 29, x - 17, 24);
  cairo_close_path(cr);
  colour(cr, art.paint);
  cairo_fill(cr);
  line(cr, x - 13, 7, x + 13, 7, 2, kChromeShade);
}

void lever_picture(cairo_t* cr, const Context&, int32_t id) {
  if (id == 3160)
    quadrant(cr);
  else
    lever_knob(cr, lever_art(id));
}

// --- Magneto selector: a 96 x 94 face; the key turns about (48, 47), its
// bitmap placed at x 26 so the arrows' areas at its left lie on the face.
constexpr int kMagnetoW = 96;
constexpr int kMagnetoH = 94;
constexpr int kKeyX = 26;
constexpr int kKeyW = 44;
constexpr double kCentreX = 48;
constexpr double kCentreY = 50;
constexpr double kPositionDegrees[] = {-60, -20, 20, 60};
constexpr const char* kPositionLabels[] = {"OFF", "R", "L", "BOTH"};

void magneto_face(cairo_t* cr) {
  disc(cr, kCentreX, kCentreY, 44, kBezelEdge);
  disc(cr, kCentreX, kCentreY, 42, kBezel);
  for (int i = 0; i < 4; ++i) {
    const double a = kPositionDegrees[i] * std::numbers::pi / 180;
    text(cr, kPositionLabels[i], kCentreX + 33 * std::sin(a),
         kCentreY - 33 * std::cos(a), i == 3 ? 7 : 8, kMarking);
  }
  disc(cr, kCentreX, kCentreY, 20, kChromeShade);
}

// The key blade through the knob at the position's angle.
void magneto_key(cairo_t* cr, int position) {
  const double a = kPositionDegrees[position] * std::numbers::pi / 180;
  const double cx = kCentreX - kKeyX, cy = kCentreY;
  const double dx = std::sin(a), dy = -std::cos(a);
  disc(cr, cx, cy, 17, kHub);
  line(cr, cx - 18 * dx, cy - 18 * dy, cx + 22 * dx, cy + 22 * dy, 9,
       kChromeShade, CAIRO_LINE_CAP_ROUND);
  line(cr, cx - 16 * dx, cy - 16 * dy, cx + 20 * dx, cy + 20 * dy, 5, kChrome,
       CAIRO_LINE_CAP_ROUND);
  disc(cr, cx + 17 * dx, cy + 17 * dy, 2.5, kMarking);
}

void magneto_picture(cairo_t* cr, const Context&, int32_t id) {
  if (id == 3050)
    magneto_face(cr);
  else
    magneto_key(cr, id - 3060);
}

constexpr Drawing kLeverDrawings[] = {
    {.id = 3050,
     .width = kMagnetoW,
     .height = kMagnetoH,
     .draw = magneto_picture},
    {.id = 3060, .width = kKeyW, .height = kMagnetoH, .draw = magneto_picture},
    {.id = 3061, .width = kKeyW, .height = kMagnetoH, .draw = magneto_picture},
    {.id = 3062, .width = kKeyW, .height = kMagnetoH, .draw = magneto_picture},
    {.id = 3063, .width = kKeyW, .height = kMagnetoH, .draw = magneto_picture},
    {.id = 3160,
     .width = kQuadrantW,
     .height = kQuadrantH,
     .draw = lever_picture},
    {.id = 3170,
     .width = 52,
     .height = kAreaBottom - 140,
     .draw = lever_picture},
    {.id = 3180,
     .width = 56,
     .height = kAreaBottom - 150,
     .draw = lever_picture},
    {.id = 3190,
     .width = 76,
     .height = kAreaBottom - 143,
     .draw = lever_picture},
};
constexpr int kLeverDrawingCount = 9;
static_assert(std::size(kLeverDrawings) == kLeverDrawingCount);

}  // namespace

std::span<const Drawing> lever_drawings() { return kLeverDrawings; }
