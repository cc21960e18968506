// The COM1 head: a dark avionics face with its read-out window and display
// button, the big tuning knob (a knurled grip turning in a round window),
// the rotary main switch (off, on) and the green power lamp.
#include <cmath>
#include <iterator>
#include <numbers>

#include "tools/artwork/paint.h"

namespace {

constexpr Rgb kRadioFace = {44, 46, 50};
constexpr Rgb kRadioFaceEdge = {78, 80, 86};
constexpr Rgb kReadoutGlass = {8, 10, 10};
constexpr Rgb kLampGreen = {70, 226, 90};
constexpr Rgb kLampRim = {30, 32, 34};
constexpr Rgb kLegend = {210, 212, 206};

constexpr int kFaceW = 350;
constexpr int kFaceH = 130;
constexpr int kKnobSize = 98;
constexpr int kSwitchW = 67;
constexpr int kSwitchH = 58;
constexpr int kLampSize = 14;

// The knob's place on the face, read from its sprite.
void face_picture(cairo_t* cr, const Context& ctx, int32_t) {
  rounded_box(cr, 0, 0, kFaceW, kFaceH, 8, kRadioFaceEdge);
  rounded_box(cr, 3, 3, kFaceW - 6, kFaceH - 6, 6, kRadioFace);
  for (double x : {12.0, kFaceW - 12.0})
    for (double y : {12.0, kFaceH - 12.0}) screw(cr, x, y, 5);
  text(cr, "COM 1", 38, 24, 13, kLegend);
  text(cr, "118 - 136 MHz", 40, 42, 9, kLegend, false);

  // The read-out window, which is also its display button.
  rounded_box(cr, 236, 8, 92, 33, 4, kBezelEdge);
  rounded_box(cr, 240, 12, 84, 25, 2, kReadoutGlass);
  text(cr, "PUSH FOR FREQ", 282, 51, 9, kLegend, false);

  // The tuning knob's well and its direction marks.
  const ElementUse* knob = ctx.element(1220);
  const double kx = knob != nullptr ? knob->offset_x : 181;
  const double ky = knob != nullptr ? knob->offset_y : 63;
  disc(cr, kx, ky, kKnobSize / 2.0 + 3, kBezelEdge);
  disc(cr, kx, ky, kKnobSize / 2.0 + 1, kHub);
  text(cr, "-", kx - 44, ky + 55, 16, kLegend);
  text(cr, "+", kx + 44, ky + 55, 16, kLegend);

  // Main switch legends around its rotary well.
  text(cr, "OFF", 60, 54, 9, kLegend, false);
  text(cr, "ON", 101, 54, 9, kLegend, false);
  disc(cr, 79.5, 87, 24, kBezelEdge);

  // The power lamp's socket.
  disc(cr, 250, 97, kLampSize / 2.0 + 2, kLampRim);
  text(cr, "PWR", 250, 117, 9, kLegend, false);
}

// A knurled grip with a pointer line, its middle on the centre of rotation.
void knob_picture(cairo_t* cr, const Context&, int32_t) {
  const double c = kKnobSize / 2.0;
  knurled_knob(cr, c, c, c - 1);
  disc(cr, c, c, c * 0.42, kBezel);
  line(cr, c, c - c * 0.95, c, c - c * 0.45, 3, kMarking, CAIRO_LINE_CAP_ROUND);
}

void knob_window(cairo_t* cr, const Context&, int32_t) {
  disc(cr, kKnobSize / 2.0, kKnobSize / 2.0, kKnobSize / 2.0, kMarking);
}

// A rotary switch: the bar points at OFF (image 0) or ON (image 1).
void switch_picture(cairo_t* cr, const Context&, int32_t id) {
  const bool on = id == 1211;
  const double cx = 33.5;
  const double cy = 29;
  disc(cr, cx, cy, 21, kChromeShade);
  disc(cr, cx, cy, 18, kChrome);
  const double a = (on ? 35.0 : -35.0) * std::numbers::pi / 180.0;
  const double dx = std::sin(a) * 16;
  const double dy = -std::cos(a) * 16;
  line(cr, cx - dx, cy - dy, cx + dx, cy + dy, 8, kHub, CAIRO_LINE_CAP_ROUND);
  line(cr, cx, cy, cx + dx, cy + dy, 2, kMarking, CAIRO_LINE_CAP_ROUND);
}

void lamp_picture(cairo_t* cr, const Context&, int32_t) {
  const double c = kLampSize / 2.0;
  disc(cr, c, c, c, kLampGreen);
  disc(cr, c - 2, c - 2, c * 0.35, {200, 255, 210});
}

constexpr Drawing kComDrawings[] = {
    {.id = 1190, .width = kFaceW, .height = kFaceH, .draw = face_picture},
    {.id = 1200, .width = kLampSize, .height = kLampSize, .draw = lamp_picture},
    {.id = 1210, .width = kSwitchW, .height = kSwitchH, .draw = switch_picture},
    {.id = 1211, .width = kSwitchW, .height = kSwitchH, .draw = switch_picture},
    {.id = 1220, .width = kKnobSize, .height = kKnobSize, .draw = knob_picture},
    {.id = 1221, .width = kKnobSize, .height = kKnobSize, .draw = knob_window},
};
constexpr int kComDrawingCount = 6;
static_assert(std::size(kComDrawings) == kComDrawingCount);

}  // namespace

std::span<const Drawing> com_radio_drawings() { return kComDrawings; }
