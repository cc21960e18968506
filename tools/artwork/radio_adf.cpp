// The ADF head: a 350 x 250 face with the three band scales printed round
// the dial, the mask that leaves the dial ring and the band window open over
// the pointer and the band card, the pointer, the band card, the band and
// fine-tuning knobs, the tone and main switches and the power lamp.
#include <cmath>
#include <cstdio>
#include <iterator>
#include <numbers>

#include "tools/artwork/paint.h"

namespace {

constexpr int kFaceW = 350;
constexpr int kFaceH = 250;
constexpr double kDialX = 178;  // the pointer's pivot
constexpr double kDialY = 127;
constexpr double kRingInner = 46;
constexpr double kRingOuter = 100;
// The band card shows through a window above the band knob.
constexpr double kBandWindowX = 150;
constexpr double kBandWindowY = 84;
constexpr double kBandWindowW = 56;
constexpr double kBandWindowH = 18;
constexpr double kLabelRadius = kDialY - (kBandWindowY + kBandWindowH / 2);

constexpr Rgb kAdfFace = {30, 32, 36};
constexpr Rgb kDialFace = {14, 14, 16};
constexpr Rgb kBandColours[] = {
    {242, 242, 238}, {120, 200, 255}, {250, 200, 60}};
constexpr Rgb kLampGreen = {70, 230, 90};
constexpr Rgb kLampGreenGlow = {200, 255, 200};

struct Scale {
  double low_khz;
  double high_khz;
  double degrees_per_khz;
  double step_khz;  // between numbered ticks
  double radius;    // of the tick ring
  const char* label;
};

// Each band's dial starts straight up; its formula in the head's records.
constexpr Scale kScales[] = {
    {.low_khz = 200,
     .high_khz = 410,
     .degrees_per_khz = 0.5,
     .step_khz = 50,
     .radius = 60,
     .label = "200-410"},
    {.low_khz = 410,
     .high_khz = 850,
     .degrees_per_khz = 0.4,
     .step_khz = 100,
     .radius = 76,
     .label = "410-850"},
    {.low_khz = 850,
     .high_khz = 1750,
     .degrees_per_khz = 0.3,
     .step_khz = 100,
     .radius = 94,
     .label = "850-1750"},
};
static_assert(std::size(kScales) == 3);

double ray_x(double degrees, double r) {
  return kDialX + r * std::sin(degrees * std::numbers::pi / 180.0);
}
double ray_y(double degrees, double r) {
  return kDialY - r * std::cos(degrees * std::numbers::pi / 180.0);
}

void box(cairo_t* cr, double x, double y, double w, double h, Rgb c) {
  cairo_new_path(cr);
  cairo_rectangle(cr, x, y, w, h);
  colour(cr, c);
  cairo_fill(cr);
}

void face_plate(cairo_t* cr) {
  box(cr, 0, 0, kFaceW, kFaceH, kBezelEdge);
  box(cr, 3, 3, kFaceW - 6, kFaceH - 6, kAdfFace);
  for (double x : {12.0, kFaceW - 12.0})
    for (double y : {12.0, kFaceH - 12.0}) screw(cr, x, y, 5);
}

void face(cairo_t* cr) {
  face_plate(cr);
  disc(cr, kDialX, kDialY, kRingOuter + 4, kBezel);
  disc(cr, kDialX, kDialY, kRingOuter, kDialFace);
  for (int band = 0; band < 3; ++band) {
    const Scale& s = kScales[band];
    const Rgb c = kBandColours[band];
    for (double khz = s.low_khz; khz <= s.high_khz + 1e-9;
         khz += s.step_khz / 2) {
      const double a = (khz - s.low_khz) * s.degrees_per_khz;
      const bool numbered =
          std::fmod(khz - s.low_khz, s.step_khz) < 1e-9 || khz == s.high_khz;
      line(cr, ray_x(a, s.radius - (numbered ? 5 : 3)),
           ray_y(a, s.radius - (numbered ? 5 : 3)), ray_x(a, s.radius + 2),
           ray_y(a, s.radius + 2), numbered ? 1.6 : 1, c);
      if (numbered && khz != s.high_khz) {
        char words[8];
        std::snprintf(words, sizeof words, "%d", int(khz / 10));
        text(cr, words, ray_x(a, s.radius - 10), ray_y(a, s.radius - 10), 7, c,
             false);
      }
    }
  }
  text(cr, "ADF", 40, 30, 16, kMarking);
  text(cr, "kHz x10", 40, 50, 9, kMarking, false);
  // The read-out push button.
  disc(cr, 102, 24, 20, kBezelEdge);
  disc(cr, 102, 24, 16, kChromeShade);
  text(cr, "FREQ", 102, 24, 8, kHub);
  text(cr, "TONE", 80, 164, 9, kMarking);
  text(cr, "PWR", 275, 167, 9, kMarking);
  text(cr, "TUNE", 275, 82, 9, kMarking);
  text(cr, "BAND", 178, 188, 8, kMarking);
}

// The face again, open over the dial ring and the band window.
void mask(cairo_t* cr) {
  face(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
  disc(cr, kDialX, kDialY, kRingOuter, kDialFace);
  cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
  disc(cr, kDialX, kDialY, kRingInner, kBezel);
  disc(cr, kDialX, kDialY, kRingInner - 3, kAdfFace);
  cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
  box(cr, kBandWindowX, kBandWindowY, kBandWindowW, kBandWindowH, kDialFace);
  cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
  for (double x : {kBandWindowX, kBandWindowX + kBandWindowW})
    line(cr, x, kBandWindowY, x, kBandWindowY + kBandWindowH, 2, kBezel);
}

// The card turns a quarter turn per band: each band's label stands a
// quarter turn further round, so only the chosen band's comes up into the
// window.
void band_card(cairo_t* cr, double w, double h) {
  const double cx = w / 2, cy = h / 2;
  for (int band = 0; band < 3; ++band) {
    cairo_save(cr);
    cairo_translate(cr, cx, cy);
    cairo_rotate(cr, band * std::numbers::pi / 2);
    box(cr, -kBandWindowW / 2, -kLabelRadius - kBandWindowH / 2, kBandWindowW,
        kBandWindowH, kDialFace);
    text(cr, kScales[band].label, 0, -kLabelRadius, 10, kBandColours[band]);
    cairo_restore(cr);
  }
}

void card_window(cairo_t* cr, double w, double h) {
  box(cr, 0, 0, w, h, kMarking);
}

// A knurled knob whose pointer reaches just past the grip, so that it is the
// knob's farthest paint from the pivot.
void knob(cairo_t* cr, double size) {
  const double c = size / 2;
  knurled_knob(cr, c, c, c - 3);
  line(cr, c + 2, c, size - 1, c, 3, kMarking);
}

void toggle(cairo_t* cr, bool on) {
  const double c = 32;
  disc(cr, c, c, 22, kBezelEdge);
  disc(cr, c, c, 18, kBezel);
  const double tip = on ? c - 20 : c + 20;
  polygon(cr, {{c - 4, c}, {c - 5, tip}, {c + 5, tip}, {c + 4, c}}, kChrome);
  disc(cr, c, tip, 6, kChrome);
  disc(cr, c - 2, tip - 2, 2.4, kChromeLight);
  disc(cr, c, c, 6.5, kChromeShade);
}

void adf_picture(cairo_t* cr, const Context& ctx, int32_t id) {
  switch (id) {
    case 1300:
      face(cr);
      break;
    case 1310:
      knob(cr, 64);
      break;
    case 1320:
      knob(cr, 42);
      break;
    case 1330:
    case 1331:
      toggle(cr, id == 1331);
      break;
    case 1340:
      disc(cr, 9, 8, 6, kLampGreen);
      disc(cr, 7.5, 6.5, 2.5, kLampGreenGlow);
      break;
    case 1350:
    case 1351:
      toggle(cr, id == 1351);
      break;
    case 1360:
      band_card(cr, 96, 194);
      break;
    case 1361:
      card_window(cr, 96, 194);
      break;
    case 1370:
      draw_needle(cr, ctx.needle_pivot(1370),
                  {.length = 96, .width = 4, .hub = 0, .paint = kArcRed});
      break;
    case 1380:
      mask(cr);
      break;
  }
}

constexpr Drawing kAdfDrawings[] = {
    {.id = 1300, .width = kFaceW, .height = kFaceH, .draw = adf_picture},
    {.id = 1310, .width = 64, .height = 64, .draw = adf_picture},
    {.id = 1320, .width = 42, .height = 42, .draw = adf_picture},
    {.id = 1330, .width = 64, .height = 64, .draw = adf_picture},
    {.id = 1331, .width = 64, .height = 64, .draw = adf_picture},
    {.id = 1340, .width = 18, .height = 16, .draw = adf_picture},
    {.id = 1350, .width = 64, .height = 64, .draw = adf_picture},
    {.id = 1351, .width = 64, .height = 64, .draw = adf_picture},
    {.id = 1360, .width = 96, .height = 194, .draw = adf_picture},
    {.id = 1361, .width = 96, .height = 194, .draw = adf_picture},
    {.id = 1370, .width = 196, .height = 196, .draw = adf_picture},
    {.id = 1380, .width = kFaceW, .height = kFaceH, .draw = adf_picture},
};
static_assert(std::size(kAdfDrawings) == 12);

}  // namespace

std::span<const Drawing> radio_adf_drawings() { return kAdfDrawings; }
