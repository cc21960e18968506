// The panel toggle buttons: a small square push-button with a pictogram of
// the window it shows (radios, GPS, throttle, compass, fuel, electricity,
// landing view, close, ATC, kneeboard, map), and the invisible face, which
// is all transparent so that only the panel behind it shows.
#include <algorithm>
#include <iterator>
#include <numbers>

#include "tools/artwork/paint.h"

namespace {

constexpr Rgb kButton = {62, 64, 70};
constexpr Rgb kButtonRim = {140, 142, 150};
constexpr Rgb kButtonShade = {34, 34, 38};
constexpr Rgb kCloseRed = {196, 40, 34};

void rounded_square(cairo_t* cr, double x, double y, double size, double r,
                    Rgb c) {
  cairo_new_path(cr);
  cairo_arc(cr, x + r, y + r, r, std::numbers::pi, 1.5 * std::numbers::pi);
  cairo_arc(cr, x + size - r, y + r, r, 1.5 * std::numbers::pi,
            2 * std::numbers::pi);
  cairo_arc(cr, x + size - r, y + size - r, r, 0, 0.5 * std::numbers::pi);
  cairo_arc(cr, x + r, y + size - r, r, 0.5 * std::numbers::pi,
            std::numbers::pi);
  cairo_close_path(cr);
  colour(cr, c);
  cairo_fill(cr);
}

// The button itself: a rim, a shadow to the lower right and a face. The
// small map button keeps tighter corners, so that its click square, which
// reaches its edges, is all button.
void button(cairo_t* cr, double size, Rgb face) {
  const double corner = size < 19 ? size * 0.08 : size * 0.2;
  rounded_square(cr, 0, 0, size, corner, kButtonRim);
  rounded_square(cr, size * 0.08, size * 0.08, size * 0.88, size * 0.16,
                 kButtonShade);
  rounded_square(cr, size * 0.08, size * 0.08, size * 0.8, size * 0.14, face);
}

void radios(cairo_t* cr) {
  rounded_square(cr, 4.5, 6.5, 10, 1.2, kMarking);
  line(cr, 6, 9, 10, 9, 1.2, kButtonShade);
  line(cr, 6, 11.5, 10, 11.5, 1.2, kButtonShade);
  disc(cr, 12.3, 10.2, 1.3, kButtonShade);
  line(cr, 13, 6.5, 14.5, 3.5, 1, kMarking, CAIRO_LINE_CAP_ROUND);
}

void gps(cairo_t* cr) {
  ring(cr, 9.5, 9.5, 3.4, 4.6, kMarking);
  line(cr, 9.5, 3.5, 9.5, 15.5, 1.2, kMarking);
  line(cr, 3.5, 9.5, 15.5, 9.5, 1.2, kMarking);
  disc(cr, 9.5, 9.5, 1.3, kArcGreen);
}

void throttle(cairo_t* cr) {
  line(cr, 6, 15, 6, 4, 1.2, kMarking);
  line(cr, 6, 15, 13, 15, 1.2, kMarking);
  line(cr, 9.5, 14, 12, 7, 1.6, kMarking, CAIRO_LINE_CAP_ROUND);
  disc(cr, 12.2, 6.2, 2, kMarking);
}

void compass(cairo_t* cr) {
  ring(cr, 9.5, 9.5, 4.6, 5.6, kMarking);
  polygon(cr, {{9.5, 4.5}, {11, 9.5}, {8, 9.5}}, kArcRed);
  polygon(cr, {{9.5, 14.5}, {11, 9.5}, {8, 9.5}}, kMarking);
}

void fuel(cairo_t* cr) {
  cairo_new_path(cr);
  cairo_move_to(cr, 9.5, 3.8);
  cairo_curve_to(cr, 11.5, 7, 13.6, 9.5, 13.6, 11.5);
  cairo_arc(cr, 9.5, 11.5, 4.1, 0, std::numbers::pi);
  cairo_curve_to(cr, 5.4, 9.5, 7.5, 7, 9.5, 3.8);
  cairo_close_path(cr);
  colour(cr, kArcYellow);
  cairo_fill(cr);
}

void electricity(cairo_t* cr) {
  polygon(
      cr,
      {{12.5, 2.5}, {5, 10.8}, {8.8, 10.8}, {6.6, 16.5}, {14.2, 8}, {10.2, 8}},
      kArcYellow);
}

// The aircraft's nose over a runway seen from the cockpit.
void landing_view(cairo_t* cr) {
  polygon(cr, {{8.3, 6}, {10.7, 6}, {14.5, 15}, {4.5, 15}}, kMarking);
  line(cr, 9.5, 7.5, 9.5, 9.5, 0.9, kButtonShade);
  line(cr, 9.5, 11, 9.5, 13.5, 0.9, kButtonShade);
  line(cr, 4, 5, 15, 5, 1, kSky);
}

void close_cross(cairo_t* cr) {
  line(cr, 6, 6, 13, 13, 2, kMarking, CAIRO_LINE_CAP_ROUND);
  line(cr, 13, 6, 6, 13, 2, kMarking, CAIRO_LINE_CAP_ROUND);
}

// A headset over a speech bubble.
void atc(cairo_t* cr) {
  cairo_new_path(cr);
  cairo_arc(cr, 9.5, 9, 4.5, std::numbers::pi, 2 * std::numbers::pi);
  cairo_set_line_width(cr, 1.3);
  colour(cr, kMarking);
  cairo_stroke(cr);
  rounded_square(cr, 4, 8.5, 2.6, 0.8, kMarking);
  rounded_square(cr, 12.4, 8.5, 2.6, 0.8, kMarking);
  text(cr, "ATC", 9.5, 14.2, 4.2, kMarking);
}

void kneeboard(cairo_t* cr) {
  rounded_square(cr, 5, 4.5, 9, 0.8, kMarking);
  polygon(cr, {{7.5, 3.5}, {11.5, 3.5}, {11.5, 5.5}, {7.5, 5.5}}, kChromeShade);
  for (double y : {8.0, 10.5, 13.0})
    line(cr, 6.5, y, 12.5, y, 0.8, kButtonShade);
}

// Three folded panels of a chart with a route across them.
void map_chart(cairo_t* cr) {
  polygon(cr, {{2.5, 3.5}, {5, 2.5}, {5, 9.5}, {2.5, 10.5}}, kMarking);
  polygon(cr, {{5, 2.5}, {7, 3.5}, {7, 10.5}, {5, 9.5}}, kTube);
  polygon(cr, {{7, 3.5}, {9.5, 2.5}, {9.5, 9.5}, {7, 10.5}}, kMarking);
  line(cr, 3.3, 8.5, 8.7, 4.5, 0.8, kArcRed);
}

struct ButtonArt {
  int32_t id;
  Rgb face;
  void (*pictogram)(cairo_t*);
};

constexpr ButtonArt kButtonArt[] = {
    {.id = 60, .face = kButton, .pictogram = kneeboard},
    {.id = 70, .face = kButton, .pictogram = map_chart},
    {.id = 80, .face = kButton, .pictogram = atc},
    {.id = 110, .face = kCloseRed, .pictogram = close_cross},
    {.id = 120, .face = kButton, .pictogram = radios},
    {.id = 130, .face = kButton, .pictogram = landing_view},
    {.id = 140, .face = kButton, .pictogram = gps},
    {.id = 150, .face = kButton, .pictogram = throttle},
    {.id = 160, .face = kButton, .pictogram = compass},
    {.id = 170, .face = kButton, .pictogram = fuel},
    {.id = 180, .face = kButton, .pictogram = electricity},
};
static_assert(std::size(kButtonArt) == 11);

constexpr int kButtonPixels = 19;
constexpr int kMapButtonPixels = 12;

void button_picture(cairo_t* cr, const Context&, int32_t id) {
  const auto art =
      std::find_if(std::begin(kButtonArt), std::end(kButtonArt),
                   [id](const ButtonArt& a) { return a.id == id; });
  if (art == std::end(kButtonArt)) return;  // the invisible face
  button(cr, id == 70 ? kMapButtonPixels : kButtonPixels, art->face);
  art->pictogram(cr);
}

constexpr Drawing kButtonDrawings[] = {
    {.id = 60, .width = 19, .height = 19, .draw = button_picture},
    {.id = 70, .width = 12, .height = 12, .draw = button_picture},
    {.id = 80, .width = 19, .height = 19, .draw = button_picture},
    {.id = 100, .width = 19, .height = 19, .draw = button_picture},
    {.id = 110, .width = 19, .height = 19, .draw = button_picture},
    {.id = 120, .width = 19, .height = 19, .draw = button_picture},
    {.id = 130, .width = 19, .height = 19, .draw = button_picture},
    {.id = 140, .width = 19, .height = 19, .draw = button_picture},
    {.id = 150, .width = 19, .height = 19, .draw = button_picture},
    {.id = 160, .width = 19, .height = 19, .draw = button_picture},
    {.id = 170, .width = 19, .height = 19, .draw = button_picture},
    {.id = 180, .width = 19, .height = 19, .draw = button_picture},
};
static_assert(std::size(kButtonDrawings) == std::size(kButtonArt) + 1);

}  // namespace

std::span<const Drawing> panel_button_drawings() { return kButtonDrawings; }
