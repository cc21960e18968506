// The heading instruments: the gyro's and the magnetic compass's sliding
// card strips and cases, the ADF face, rotating card, pointer and bezel,
// and the VOR 1 face with its needles, flags, mask and bezel; the knobs
// alike. Strips are laid out from the same axis ranges their elements use.
#include <cmath>
#include <cstdio>
#include <iterator>

#include "tools/artwork/paint.h"

namespace {

constexpr Rgb kCardFace = {30, 30, 32};
constexpr Rgb kCaseGrey = {64, 64, 68};

// A sliding card: the heading under the window's middle line is placed so
// that the element's reversed range (360 at the strip's left end, 0 at its
// right end) brings it there.
struct Strip {
  double width;
  double window_width;
  double height;
  double x(double heading) const {
    return window_width / 2 +
           (360.0 - heading) / 360.0 * (width - window_width);
  }
};

constexpr Strip kGyroStrip = {.width = 1219, .window_width = 139, .height = 53};
constexpr Strip kWhiskeyStrip = {
    .width = 292, .window_width = 76, .height = 23};

const char* cardinal(int heading) {
  switch ((heading % 360 + 360) % 360) {
    case 0:
      return "N";
    case 90:
      return "E";
    case 180:
      return "S";
    case 270:
      return "W";
    default:
      return nullptr;
  }
}

void heading_label(int heading, char (&words)[8]) {
  const int h = (heading % 360 + 360) % 360;
  if (const char* c = cardinal(h)) {
    std::snprintf(words, sizeof words, "%s", c);
  } else {
    std::snprintf(words, sizeof words, "%d", h / 10);
  }
}

void draw_strip(cairo_t* cr, const Strip& s, int minor_step, double size) {
  cairo_rectangle(cr, 0, 0, s.width, s.height);
  colour(cr, kCardFace);
  cairo_fill(cr);
  const double margin_degrees = 360.0 * s.window_width / s.width + minor_step;
  for (int h = -static_cast<int>(margin_degrees);
       h <= 360 + static_cast<int>(margin_degrees); ++h) {
    if (h % minor_step != 0) continue;
    const double x = s.x(h);
    if (x < -20 || x > s.width + 20) continue;
    const bool major = h % 30 == 0;
    const bool middle = h % 10 == 0;
    const double length = s.height * (major ? 0.3 : middle ? 0.22 : 0.14);
    line(cr, x, 0, x, length, major ? 2.0 : 1.2, kMarking);
    if (major) {
      char words[8];
      heading_label(h, words);
      text(cr, words, x, s.height * 0.66, size,
           cardinal(h) != nullptr ? kOrange : kMarking);
    }
  }
}

void whole_window(cairo_t* cr, const Context&, int32_t) {
  colour(cr, kMarking);
  cairo_paint(cr);
}

void knob_with_index(cairo_t* cr, double size) {
  const double c = size / 2;
  knurled_knob(cr, c, c, c - 3);
  line(cr, c, c, size, c, 3, kMarking);
}

// --- Gyro_Compass ------------------------------------------------------------

constexpr double kGyroWindowX = 55;
constexpr double kGyroWindowY = 60;

void gyro_case(cairo_t* cr, const Context&, int32_t) {
  rounded_box(cr, 1, 1, 246, 336, 16, kBezelEdge);
  rounded_box(cr, 4, 4, 240, 330, 14, kBezel);
  rounded_box(cr, 24, 30, 200, 120, 10, kCaseGrey);
  // The window's frame; the card slides behind it.
  cairo_rectangle(cr, kGyroWindowX - 3, kGyroWindowY - 3,
                  kGyroStrip.window_width + 6, kGyroStrip.height + 6);
  colour(cr, kBezelEdge);
  cairo_fill(cr);
  const double middle = kGyroWindowX + kGyroStrip.window_width / 2;
  polygon(cr,
          {{middle - 7, kGyroWindowY - 14},
           {middle + 7, kGyroWindowY - 14},
           {middle, kGyroWindowY - 4}},
          kOrange);
  polygon(cr,
          {{middle - 7, kGyroWindowY + kGyroStrip.height + 14},
           {middle + 7, kGyroWindowY + kGyroStrip.height + 14},
           {middle, kGyroWindowY + kGyroStrip.height + 4}},
          kOrange);
  text(cr, "DIRECTIONAL GYRO", 124, 172, 12, kMarking);
  text(cr, "PUSH", 122, 262, 9, kMarking);
  for (double x : {14.0, 234.0})
    for (double y : {14.0, 324.0}) screw(cr, x, y, 6);
}

void gyro_card(cairo_t* cr, const Context&, int32_t) {
  draw_strip(cr, kGyroStrip, 5, 22);
}

void gyro_knob(cairo_t* cr, const Context&, int32_t) {
  knob_with_index(cr, 60);
}

void gyro_flag(cairo_t* cr, const Context&, int32_t) {
  cairo_rectangle(cr, 0, 0, 10, 53);
  colour(cr, kFlagRed);
  cairo_fill(cr);
  for (double y = 4; y < 53; y += 12) line(cr, 0, y, 10, y + 6, 3, kMarking);
}

// --- Whiskey_Compass ---------------------------------------------------------

void whiskey_case(cairo_t* cr, const Context&, int32_t) {
  rounded_box(cr, 0, 0, 76, 49, 8, kBezel);
  rounded_box(cr, 2, 2, 72, 45, 7, kCaseGrey);
  line(cr, 38, 1, 38, 9, 2.5, kOrange);
  line(cr, 38, 34, 38, 46, 2.5, kOrange);
}

void whiskey_card(cairo_t* cr, const Context&, int32_t) {
  draw_strip(cr, kWhiskeyStrip, 10, 11);
}

// --- ADF_Indicator -----------------------------------------------------------

constexpr int32_t kAdfBearingPointer = 1160;
constexpr double kAdfCardRadius = 120;

void adf_face(cairo_t* cr, const Context& ctx, int32_t) {
  disc(cr, 150, 150, 148, kFace);
  const Dial dial = ctx.dial(kAdfBearingPointer);
  // Fixed index marks every 45 degrees of bearing, the lubber marks ahead
  // and behind longest.
  for (int bearing = 0; bearing < 360; bearing += 45) {
    const bool lubber = bearing % 180 == 0;
    tick(cr, dial, bearing, lubber ? 124 : 128, 140, lubber ? 4.0 : 2.5,
         lubber ? kOrange : kMarking);
  }
}

void adf_card(cairo_t* cr, const Context&, int32_t) {
  disc(cr, 150, 150, kAdfCardRadius, kCardFace);
  Dial card;
  card.pivot = {150, 150};
  card.table = {{.x = 150, .y = 50, .value = 0, .angle = 0},
                {.x = 150, .y = 250, .value = 180, .angle = 0}};
  card.angles = table_angles(card.pivot, card.table);
  for (int h = 0; h < 360; h += 5) {
    const bool major = h % 30 == 0;
    tick(cr, card, h,
         major         ? 100
         : h % 10 == 0 ? 106
                       : 110,
         118, major ? 2.4 : 1.4);
    if (major) {
      char words[8];
      heading_label(h, words);
      number_at(cr, card, h, 86, words, 17);
    }
  }
  text(cr, "ADF", 150, 118, 13, kMarking);
}

void adf_card_window(cairo_t* cr, const Context&, int32_t) {
  disc(cr, 150, 150, kAdfCardRadius, kMarking);
}

void adf_pointer(cairo_t* cr, const Context& ctx, int32_t) {
  draw_needle(cr, ctx.needle_pivot(kAdfBearingPointer),
              {.length = 118,
               .width = 7,
               .tail = 96,
               .tail_width = 5,
               .hub = 10,
               .paint = kOrange});
}

void adf_bezel(cairo_t* cr, const Context&, int32_t) {
  bezel(cr, 300, 146);
  text(cr, "HDG", 88, 286, 11, kMarking);
}

void adf_knob(cairo_t* cr, const Context&, int32_t) { knob_with_index(cr, 56); }

// --- VOR1_Indicator ----------------------------------------------------------

constexpr int32_t kCoursePointer = 2430;
constexpr int32_t kDeviationNeedle = 2380;
constexpr int32_t kGlideSlopeNeedle = 2440;
constexpr double kVorCentreX = 156;
constexpr double kVorCentreY = 159;
constexpr double kVorFaceRadius = 132;

void vor_face(cairo_t* cr, const Context& ctx, int32_t) {
  disc(cr, kVorCentreX, kVorCentreY, kVorFaceRadius + 14, kFace);
  const Dial course = ctx.dial(kCoursePointer);
  for (int d = -180; d < 180; d += 30)
    tick(cr, course, d, d == 0 ? 106 : 110, 124, d % 90 == 0 ? 3.0 : 2.0,
         d == 0 ? kOrange : kMarking);
  // The deviation scales: full scale marked as ticks, the steps between as
  // dots on the needles' arcs.
  const Dial deviation = ctx.dial(kDeviationNeedle);
  for (int step = -5; step <= 5; ++step) {
    const double v = 127.0 * step / 5;
    if (step == 5 || step == -5)
      tick(cr, deviation, v, 88, 104, 3.0);
    else if (step != 0)
      disc(cr, deviation.x(v, 96), deviation.y(v, 96), 3, kMarking);
  }
  const Dial glide = ctx.dial(kGlideSlopeNeedle);
  for (int step = -4; step <= 4; ++step) {
    const double v = 119.0 * step / 4;
    if (step == 4 || step == -4)
      tick(cr, glide, v, 94, 110, 3.0);
    else if (step != 0)
      disc(cr, glide.x(v, 102), glide.y(v, 102), 2.5, kMarking);
  }
  ring(cr, kVorCentreX, kVorCentreY, 20, 22, kMarking);
  text(cr, "VOR 1", 156, 204, 11, kMarking);
}

void vor_course_pointer(cairo_t* cr, const Context& ctx, int32_t) {
  draw_needle(cr, ctx.needle_pivot(kCoursePointer),
              {.length = 80,
               .width = 8,
               .tail = 34,
               .tail_width = 6,
               .hub = 8,
               .paint = kOrange});
}

// Both deviation needles are plain bars along their axes.
void deviation_needle(cairo_t* cr, const Context&, int32_t id) {
  const double length = id == kDeviationNeedle ? 133 : 170;
  line(cr, 0, 2, length, 2, 3, kMarking);
}

void vor_mask(cairo_t* cr, const Context&, int32_t) {
  ring(cr, kVorCentreX, kVorCentreY, kVorFaceRadius, kVorFaceRadius + 14,
       kFace);
}

void glide_slope_flag(cairo_t* cr, const Context&, int32_t id) {
  const bool shown = id == 2400;
  cairo_rectangle(cr, 0, 0, 26, 14);
  colour(cr, shown ? kFlagRed : kHub);
  cairo_fill(cr);
  if (shown) text(cr, "GS", 13, 7, 9, kMarking);
}

void signal_flag(cairo_t* cr, const Context&, int32_t id) {
  const bool off = id == 2420;
  cairo_rectangle(cr, 0, 0, 50, 18);
  colour(cr, off ? kFlagRed : kHub);
  cairo_fill(cr);
  text(cr, off ? "OFF" : "NAV", 25, 9, 10, kMarking);
}

void vor_bezel(cairo_t* cr, const Context&, int32_t) {
  cairo_new_path(cr);
  cairo_rectangle(cr, 0, 0, 306, 308);
  cairo_new_sub_path(cr);
  cairo_arc_negative(cr, kVorCentreX, kVorCentreY, kVorFaceRadius + 12, 0,
                     -2 * 3.14159265358979323846);
  cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
  colour(cr, kBezel);
  cairo_fill(cr);
  ring(cr, kVorCentreX, kVorCentreY, kVorFaceRadius + 12, kVorFaceRadius + 14,
       kBezelEdge);
  // The read-out's frame above the face.
  cairo_rectangle(cr, 124, 31, 72, 32);
  colour(cr, kBezelEdge);
  cairo_set_line_width(cr, 2);
  cairo_stroke(cr);
  text(cr, "OBS", 94, 292, 11, kMarking);
  for (double y : {16.0, 292.0}) screw(cr, 290, y, 7);
  screw(cr, 16, 16, 7);
}

void vor_knob(cairo_t* cr, const Context&, int32_t) { knob_with_index(cr, 74); }

constexpr Drawing kHeadingDrawings[] = {
    {.id = 230, .width = 248, .height = 338, .draw = gyro_case},
    {.id = 240, .width = 1219, .height = 53, .draw = gyro_card},
    {.id = 241, .width = 139, .height = 53, .draw = whole_window},
    {.id = 250, .width = 60, .height = 60, .draw = gyro_knob},
    {.id = 260, .width = 10, .height = 53, .draw = gyro_flag},
    {.id = 480, .width = 76, .height = 49, .draw = whiskey_case},
    {.id = 490, .width = 292, .height = 23, .draw = whiskey_card},
    {.id = 491, .width = 76, .height = 23, .draw = whole_window},
    {.id = 1140, .width = 300, .height = 300, .draw = adf_face},
    {.id = 1150, .width = 56, .height = 56, .draw = adf_knob},
    {.id = 1160, .width = 246, .height = 40, .draw = adf_pointer},
    {.id = 1170, .width = 300, .height = 300, .draw = adf_card},
    {.id = 1171, .width = 300, .height = 300, .draw = adf_card_window},
    {.id = 1180, .width = 300, .height = 300, .draw = adf_bezel},
    {.id = 2360, .width = 74, .height = 74, .draw = vor_knob},
    {.id = 2370, .width = 306, .height = 308, .draw = vor_bezel},
    {.id = 2380, .width = 133, .height = 4, .draw = deviation_needle},
    {.id = 2390, .width = 306, .height = 308, .draw = vor_mask},
    {.id = 2400, .width = 26, .height = 14, .draw = glide_slope_flag},
    {.id = 2401, .width = 26, .height = 14, .draw = glide_slope_flag},
    {.id = 2420, .width = 50, .height = 18, .draw = signal_flag},
    {.id = 2421, .width = 50, .height = 18, .draw = signal_flag},
    {.id = 2430, .width = 122, .height = 24, .draw = vor_course_pointer},
    {.id = 2440, .width = 170, .height = 4, .draw = deviation_needle},
    {.id = 2450, .width = 306, .height = 308, .draw = vor_face},
};
static_assert(std::size(kHeadingDrawings) == 25);

}  // namespace

std::span<const Drawing> heading_instrument_drawings() {
  return kHeadingDrawings;
}
