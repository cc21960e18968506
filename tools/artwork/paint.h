// The painting kit every drawing shares: the panel's colours, a dial's
// needle geometry read from the records, and the cairo shapes the gauges are
// drawn with.
#pragma once

#include <cairo.h>

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <numbers>
#include <span>
#include <utility>
#include <vector>

#include "host/core/needle.h"
#include "tools/artwork/bitmap.h"
#include "tools/artwork/element_walk.h"

// One light-aircraft look for every instrument.
inline constexpr Rgb kFace = {24, 24, 26};
inline constexpr Rgb kMarking = {242, 242, 238};
inline constexpr Rgb kBezel = {54, 54, 58};
inline constexpr Rgb kBezelEdge = {92, 92, 98};
inline constexpr Rgb kHub = {46, 46, 50};
inline constexpr Rgb kArcWhite = {236, 236, 236};
inline constexpr Rgb kArcGreen = {40, 170, 70};
inline constexpr Rgb kArcYellow = {236, 200, 30};
inline constexpr Rgb kArcRed = {220, 36, 30};
inline constexpr Rgb kSky = {48, 118, 196};
inline constexpr Rgb kGround = {128, 84, 42};
inline constexpr Rgb kOrange = {240, 130, 20};
inline constexpr Rgb kFlagRed = {206, 34, 30};
inline constexpr Rgb kChrome = {206, 208, 214};
inline constexpr Rgb kChromeShade = {128, 130, 138};
inline constexpr Rgb kChromeLight = {248, 248, 250};
inline constexpr Rgb kTube = {206, 212, 204};

inline constexpr char kFont[] = "Liberation Sans";

// Speeds of the airspeed dial's arcs, in knots: flaps-down stall to flap
// limit (white), clean stall to normal-operating limit (green), caution
// range up to the never-exceed line (yellow, red).
inline constexpr double kStallFlapsKnots = 52;
inline constexpr double kFlapLimitKnots = 110;
inline constexpr double kStallCleanKnots = 60;
inline constexpr double kNormalLimitKnots = 165;
inline constexpr double kNeverExceedKnots = 200;

// A needle as the face sees it: where it turns and how its angle follows
// the value.
struct Dial {
  Pivot pivot;
  std::vector<NonlinearityEntry> table;
  std::vector<double> angles;

  double angle(double value) const {
    return needle_angle(table, angles, value);
  }
  double x(double value, double radius) const {
    return pivot.x + radius * std::sin(angle(value) * std::numbers::pi / 180.0);
  }
  double y(double value, double radius) const {
    return pivot.y - radius * std::cos(angle(value) * std::numbers::pi / 180.0);
  }
};

struct Context {
  std::span<const ElementUse> uses;

  const ElementUse* element(int32_t bitmap) const {
    for (const ElementUse& use : uses)
      if (use.bitmap == bitmap) return &use;
    return nullptr;
  }
  Dial dial(int32_t needle_bitmap) const {
    Dial d;
    const ElementUse* use = element(needle_bitmap);
    if (use == nullptr) return d;
    d.pivot = {static_cast<double>(use->x), static_cast<double>(use->y)};
    d.table.assign(use->table.begin(), use->table.end());
    d.angles = table_angles(d.pivot, d.table);
    return d;
  }
  Pivot needle_pivot(int32_t needle_bitmap) const {
    const ElementUse* use = element(needle_bitmap);
    if (use == nullptr) return {};
    return {static_cast<double>(use->offset_x),
            static_cast<double>(use->offset_y)};
  }
};

void colour(cairo_t* cr, Rgb c);
void disc(cairo_t* cr, double x, double y, double radius, Rgb c);
void ring(cairo_t* cr, double x, double y, double inner, double outer, Rgb c);
void line(cairo_t* cr, double x0, double y0, double x1, double y1, double width,
          Rgb c, cairo_line_cap_t cap = CAIRO_LINE_CAP_BUTT);
void polygon(cairo_t* cr, std::initializer_list<std::pair<double, double>> at,
             Rgb c);
// Text centred on (x, y) by its ink.
void text(cairo_t* cr, const char* words, double x, double y, double size,
          Rgb c, bool bold = true);
void tick(cairo_t* cr, const Dial& dial, double value, double inner,
          double outer, double width, Rgb c = kMarking);
void number_at(cairo_t* cr, const Dial& dial, double value, double radius,
               const char* words, double size);
// A band between two values, following the dial's own (possibly
// nonlinear) angles.
void arc_band(cairo_t* cr, const Dial& dial, double from, double to,
              double inner, double outer, Rgb c);
void screw(cairo_t* cr, double x, double y, double radius);
// The case ring and corner screws over a round dial.
void bezel(cairo_t* cr, double size, double face_radius, bool screws = true);
void knurled_knob(cairo_t* cr, double x, double y, double radius);
// A filled rectangle with corners rounded to radius r.
void rounded_box(cairo_t* cr, double x, double y, double w, double h, double r,
                 Rgb c);

// A needle pointing right from its pivot: a shaft tapering to the tip, an
// optional counterweight tail, and a hub.
struct NeedleShape {
  double length;
  double width;
  double tail = 0;
  double tail_width = 0;
  double hub = 0;
  Rgb paint = kMarking;
};

void draw_needle(cairo_t* cr, Pivot p, const NeedleShape& s);

// One bitmap: its size and how it is painted (the identifier tells the
// members of an icon row or a picture and window pair apart).
using Draw = void (*)(cairo_t*, const Context&, int32_t id);

struct Drawing {
  int32_t id;
  int width;
  int height;
  Draw draw;
};

// The drawings of each family of gauges, one file each.
std::span<const Drawing> flight_instrument_drawings();
std::span<const Drawing> switch_drawings();
std::span<const Drawing> control_drawings();
std::span<const Drawing> lever_drawings();
std::span<const Drawing> panel_button_drawings();
std::span<const Drawing> com_radio_drawings();
std::span<const Drawing> nav_transponder_drawings();
std::span<const Drawing> radio_adf_drawings();
std::span<const Drawing> registration_drawings();
std::span<const Drawing> breguet_timer_drawings();
std::span<const Drawing> engine_dial_drawings();
std::span<const Drawing> heading_instrument_drawings();
