// The electrical and fuel controls: the generator and starter switches with
// their red covers (drawn closed; an open cover is not drawn), the
// generator-off and pitot-heat lights dark and lit, the fuel/oil valve
// handles shut and open, the cowl-flap and flap spring switches in their
// three positions, and the empty picture of the invisible start-up gauge.
#include <algorithm>
#include <iterator>
#include <numbers>

#include "tools/artwork/paint.h"

namespace {

constexpr Rgb kGuardRed = {196, 30, 28};
constexpr Rgb kGuardEdge = {120, 16, 14};
constexpr Rgb kGuardLight = {236, 96, 90};
constexpr Rgb kLensDark = {70, 44, 20};
constexpr Rgb kLampAmber = {255, 176, 40};
constexpr Rgb kLampGlow = {255, 236, 170};
constexpr Rgb kLensDarkRed = {72, 26, 22};
constexpr Rgb kLampRed = {250, 60, 40};
constexpr Rgb kLampRedGlow = {255, 200, 180};
constexpr Rgb kFuelRed = {200, 36, 30};
constexpr Rgb kOilAmber = {214, 150, 40};

// A plate with a rim, the panel's metal look.
void plate(cairo_t* cr, double w, double h) {
  const double r = std::min(w, h) * 0.15;
  rounded_box(cr, 0, 0, w, h, r, kBezelEdge);
  rounded_box(cr, 2, 2, w - 4, h - 4, std::max(r - 2, 1.0), kBezel);
}

// A toggle lever from its nut at (cx, cy), up when on, down when off.
void toggle_lever(cairo_t* cr, double cx, double cy, double reach, bool on) {
  const double tip_y = on ? cy - reach : cy + reach;
  polygon(cr, {{cx - 4, cy}, {cx - 5, tip_y}, {cx + 5, tip_y}, {cx + 4, cy}},
          kChrome);
  line(cr, cx - 1.5, cy, cx - 1.5, tip_y, 2, kChromeLight);
  disc(cr, cx, tip_y, 6, kChrome);
  disc(cr, cx - 2, tip_y - 2, 2.4, kChromeLight);
  disc(cr, cx, cy, 6.5, kChromeShade);
}

void nut(cairo_t* cr, double cx, double cy) {
  disc(cr, cx, cy, 11, kChromeShade);
  disc(cr, cx, cy, 8, kHub);
}

// --- Generator switch: 54 x 120, a vertical lever under a cover hinged at
// the top.
constexpr int kGeneratorW = 54;
constexpr int kGeneratorH = 120;

void generator_picture(cairo_t* cr, const Context&, int32_t id) {
  const double cx = kGeneratorW / 2.0, cy = kGeneratorH / 2.0 + 5;
  if (id == 2270) {
    plate(cr, kGeneratorW, kGeneratorH);
    rounded_box(cr, cx - 20, 4, 40, 7, 3, kChromeShade);  // the hinge
    nut(cr, cx, cy);
    text(cr, "GEN", cx, kGeneratorH - 9, 9, kMarking);
  } else if (id == 2290 || id == 2291) {
    toggle_lever(cr, cx, cy, 30, id == 2291);
  } else {
    rounded_box(cr, cx - 22, 8, 44, 104, 6, kGuardEdge);
    rounded_box(cr, cx - 19, 11, 38, 98, 5, kGuardRed);
    line(cr, cx - 13, 16, cx - 13, 104, 3, kGuardLight);
    rounded_box(cr, cx - 20, 4, 40, 7, 3, kChromeShade);
  }
}

// --- Starter switch: 120 x 54, a lever held up while engaged, under a
// cover hinged on the left.
constexpr int kStarterW = 120;
constexpr int kStarterH = 54;

void starter_picture(cairo_t* cr, const Context&, int32_t id) {
  const double cx = kStarterW / 2.0 + 5, cy = kStarterH / 2.0;
  if (id == 2230) {
    plate(cr, kStarterW, kStarterH);
    rounded_box(cr, 4, cy - 20, 7, 40, 3, kChromeShade);
    nut(cr, cx, cy);
    text(cr, "START", kStarterW - 22, cy, 9, kMarking);
  } else if (id == 2250 || id == 2251) {
    toggle_lever(cr, cx, cy, 16, id == 2251);
  } else {
    rounded_box(cr, 8, cy - 25, 90, 50, 6, kGuardEdge);
    rounded_box(cr, 11, cy - 22, 84, 44, 5, kGuardRed);
    line(cr, 16, cy - 16, 90, cy - 16, 3, kGuardLight);
    rounded_box(cr, 4, cy - 20, 7, 40, 3, kChromeShade);
  }
}

// --- Warning lights: 48 x 60, a lens in a square bezel over its label;
// the lamp is the lens lit.
constexpr int kLightW = 48;
constexpr int kLightH = 60;

void light_picture(cairo_t* cr, const Context&, int32_t id) {
  const bool generator = id == 2300 || id == 2310;
  const double cx = kLightW / 2.0, cy = 23;
  if (id == 2300 || id == 3090) {
    plate(cr, kLightW, kLightH);
    disc(cr, cx, cy, 17, kChromeShade);
    disc(cr, cx, cy, 14, generator ? kLensDarkRed : kLensDark);
    text(cr, generator ? "GEN" : "PITOT", cx, kLightH - 9, 9, kMarking);
  } else {
    disc(cr, cx, cy, 14, generator ? kLampRed : kLampAmber);
    disc(cr, cx - 3, cy - 3, 6, generator ? kLampRedGlow : kLampGlow);
  }
}

// --- Fuel/oil valve: 144 x 231, two slots with their handles, shut at the
// bottom, open at the top.
constexpr int kValveW = 144;
constexpr int kValveH = 231;
constexpr double kFuelSlotX = 35;  // in the background
constexpr double kOilSlotX = 109;
constexpr double kOpenY = 50;
constexpr double kShutY = 181;

void valve_background(cairo_t* cr) {
  plate(cr, kValveW, kValveH);
  for (double x : {kFuelSlotX, kOilSlotX}) {
    rounded_box(cr, x - 5, kOpenY - 14, 10, kShutY - kOpenY + 28, 5, kHub);
    text(cr, "OPEN", x, 14, 9, kMarking);
    text(cr, "SHUT", x, kValveH - 12, 9, kMarking);
  }
  text(cr, "FUEL", (kFuelSlotX + kOilSlotX) / 2, kOpenY + 10, 9, kFuelRed);
  text(cr, "OIL", (kFuelSlotX + kOilSlotX) / 2, kShutY - 10, 9, kOilAmber);
}

// A handle across its slot at `x`, in its own bitmap's pixels.
void valve_handle(cairo_t* cr, double x, bool open, Rgb paint) {
  const double y = open ? kOpenY : kShutY;
  rounded_box(cr, x - 20, y - 9, 40, 18, 6, paint);
  line(cr, x - 15, y - 4, x + 15, y - 4, 2, kChromeLight);
  disc(cr, x, y, 4, kChromeShade);
}

void valve_picture(cairo_t* cr, const Context&, int32_t id) {
  if (id == 3000)
    valve_background(cr);
  else if (id == 3010 || id == 3011)
    valve_handle(cr, kFuelSlotX, id == 3011, kFuelRed);
  else
    valve_handle(cr, kOilSlotX - 85, id == 3021, kOilAmber);
}

// --- Spring switches: the whole switch in each position, neutral, pushed
// up, pushed down, so that a pushed picture covers the neutral one beneath.
struct SpringArt {
  int32_t first;
  int width;
  int height;
  const char* up_label;
  const char* down_label;
};

constexpr SpringArt kSpringArt[] = {
    {.first = 2260,
     .width = 30,
     .height = 58,
     .up_label = "OPEN",
     .down_label = "CLOSE"},
    {.first = 2490,
     .width = 42,
     .height = 96,
     .up_label = "UP",
     .down_label = "DN"},
};
static_assert(std::size(kSpringArt) == 2);

void spring_picture(cairo_t* cr, const Context&, int32_t id) {
  const SpringArt& art = id < 2490 ? kSpringArt[0] : kSpringArt[1];
  const double w = art.width, h = art.height;
  const double cx = w / 2, cy = h / 2;
  plate(cr, w, h);
  const double size = std::min(w * 0.22, 9.0);
  text(cr, art.up_label, cx, size * 0.9, size, kMarking);
  text(cr, art.down_label, cx, h - size * 0.9, size, kMarking);
  disc(cr, cx, cy, w * 0.24, kChromeShade);
  disc(cr, cx, cy, w * 0.17, kHub);
  const double reach = h * 0.3;
  const int position = id - art.first;  // 0 neutral, 1 up, 2 down
  const double tip_y = position == 1   ? cy - reach
                       : position == 2 ? cy + reach
                                       : cy;
  if (position == 0) {
    // Seen end on: the lever points at the pilot.
    disc(cr, cx, cy, w * 0.13, kChrome);
    disc(cr, cx - 1.5, cy - 1.5, w * 0.05, kChromeLight);
    return;
  }
  const double half = w * 0.1;
  polygon(cr,
          {{cx - half, cy},
           {cx - half, tip_y},
           {cx + half, tip_y},
           {cx + half, cy}},
          kChrome);
  disc(cr, cx, tip_y, half * 1.3, kChrome);
  disc(cr, cx, cy, half * 1.2, kChromeShade);
}

// The invisible gauge's picture: nothing but the transparent key.
void empty_picture(cairo_t*, const Context&, int32_t) {}

constexpr Drawing kControlDrawings[] = {
    {.id = 40, .width = 8, .height = 8, .draw = empty_picture},
    {.id = 2230,
     .width = kStarterW,
     .height = kStarterH,
     .draw = starter_picture},
    {.id = 2240,
     .width = kStarterW,
     .height = kStarterH,
     .draw = starter_picture},
    {.id = 2250,
     .width = kStarterW,
     .height = kStarterH,
     .draw = starter_picture},
    {.id = 2251,
     .width = kStarterW,
     .height = kStarterH,
     .draw = starter_picture},
    {.id = 2260, .width = 30, .height = 58, .draw = spring_picture},
    {.id = 2261, .width = 30, .height = 58, .draw = spring_picture},
    {.id = 2262, .width = 30, .height = 58, .draw = spring_picture},
    {.id = 2270,
     .width = kGeneratorW,
     .height = kGeneratorH,
     .draw = generator_picture},
    {.id = 2280,
     .width = kGeneratorW,
     .height = kGeneratorH,
     .draw = generator_picture},
    {.id = 2290,
     .width = kGeneratorW,
     .height = kGeneratorH,
     .draw = generator_picture},
    {.id = 2291,
     .width = kGeneratorW,
     .height = kGeneratorH,
     .draw = generator_picture},
    {.id = 2300, .width = kLightW, .height = kLightH, .draw = light_picture},
    {.id = 2310, .width = kLightW, .height = kLightH, .draw = light_picture},
    {.id = 2490, .width = 42, .height = 96, .draw = spring_picture},
    {.id = 2491, .width = 42, .height = 96, .draw = spring_picture},
    {.id = 2492, .width = 42, .height = 96, .draw = spring_picture},
    {.id = 3000, .width = kValveW, .height = kValveH, .draw = valve_picture},
    {.id = 3010, .width = 70, .height = kValveH, .draw = valve_picture},
    {.id = 3011, .width = 70, .height = kValveH, .draw = valve_picture},
    {.id = 3020, .width = 48, .height = kValveH, .draw = valve_picture},
    {.id = 3021, .width = 48, .height = kValveH, .draw = valve_picture},
    {.id = 3090, .width = kLightW, .height = kLightH, .draw = light_picture},
    {.id = 3100, .width = kLightW, .height = kLightH, .draw = light_picture},
};
constexpr int kControlDrawingCount = 24;
static_assert(std::size(kControlDrawings) == kControlDrawingCount);

}  // namespace

std::span<const Drawing> control_drawings() { return kControlDrawings; }
