// The engine, fuel, electrical and outside-air dials: faces graduated in the
// panel's metric units from each needle's own table (in the host's units),
// their needles and glasses, the low-fuel lamp lit and unlit, and the flap
// indicator's scale and pointer.
#include <cstdio>
#include <iterator>
#include <span>

#include "tools/artwork/paint.h"

namespace {

// A dial unit and the host's: host value = dial value * scale + offset.
struct Units {
  double scale = 1.0;
  double offset = 0.0;
  double host(double dial) const { return dial * scale + offset; }
};

constexpr Units kKilopascals = {.scale = 20.8791};
constexpr Units kCelsiusAsRankine = {.scale = 1.8, .offset = 491.67};
constexpr Units kOilPressureSteps = {.scale = 20879.1};
constexpr Units kPlain = {};

struct Band {
  double from;
  double to;
  Rgb paint;
};

// One round dial: which bitmaps, where its ticks sit, how it is graduated
// (in dial units) and what it says.
struct DialArt {
  int32_t face;
  int32_t needle;
  int32_t glass;
  int size;
  Units units;
  double tick_inner;
  double tick_outer;
  double first;
  double last;
  double minor_step;
  double major_step;
  std::span<const double> labels;
  double label_radius;
  // Labels show the graduation divided by this.
  double label_per = 1;
  double label_size;
  const char* title;
  const char* unit;
  double title_y;
  std::span<const Band> bands = {};
  NeedleShape needle_shape;
};

constexpr double kManifoldLabels[] = {60, 80, 100, 120, 140, 160};
constexpr double kTachometerLabels[] = {500, 1000, 1500, 2000, 2500, 3000};
constexpr double kOilPressureLabels[] = {0, 1, 2};
constexpr double kOilTemperatureLabels[] = {0, 40, 80, 120};
constexpr double kChtLabels[] = {0, 100, 200, 300};
constexpr double kAirTemperatureLabels[] = {-40, 0, 40, 80};
constexpr double kFuelPressureLabels[] = {0, 30, 60};
constexpr double kFuelQuantityLabels[] = {0, 50, 110, 165, 220};
constexpr double kVoltLabels[] = {20, 25, 30, 35};

constexpr Band kManifoldBands[] = {{60, 100, kArcGreen}};
constexpr Band kTachometerBands[] = {{2100, 2700, kArcGreen},
                                     {2700, 2750, kArcRed}};
constexpr Band kOilTemperatureBands[] = {{40, 100, kArcGreen},
                                         {110, 120, kArcRed}};
constexpr Band kChtBands[] = {{100, 240, kArcGreen}, {240, 260, kArcRed}};
constexpr Band kCarburetorBands[] = {{-15, 5, kArcYellow}};
constexpr Band kFuelPressureBands[] = {{20, 45, kArcGreen}};
constexpr Band kFuelQuantityBands[] = {{0, 20, kArcRed}};
constexpr Band kVoltBands[] = {{26, 30, kArcGreen}};

constexpr DialArt kDialArt[] = {
    {.face = 1390,
     .needle = 1400,
     .glass = 1410,
     .size = 300,
     .units = kKilopascals,
     .tick_inner = 100,
     .tick_outer = 116,
     .first = 60,
     .last = 160,
     .minor_step = 5,
     .major_step = 20,
     .labels = kManifoldLabels,
     .label_radius = 80,
     .label_size = 18,
     .title = "MANIFOLD",
     .unit = "kPa",
     .title_y = 190,
     .bands = kManifoldBands,
     .needle_shape =
         {.length = 110, .width = 6, .tail = 36, .tail_width = 9, .hub = 11}},
    {.face = 1450,
     .needle = 1460,
     .glass = 1470,
     .size = 300,
     .units = kPlain,
     .tick_inner = 96,
     .tick_outer = 112,
     .first = 500,
     .last = 3200,
     .minor_step = 100,
     .major_step = 500,
     .labels = kTachometerLabels,
     .label_radius = 76,
     .label_per = 100,
     .label_size = 18,
     .title = "RPM",
     .unit = "x100",
     .title_y = 190,
     .bands = kTachometerBands,
     .needle_shape =
         {.length = 106, .width = 6, .tail = 36, .tail_width = 9, .hub = 11}},
    {.face = 2110,
     .needle = 2120,
     .glass = 2130,
     .size = 200,
     .units = kOilPressureSteps,
     .tick_inner = 60,
     .tick_outer = 71,
     .first = 0,
     .last = 2,
     .minor_step = 0.1,
     .major_step = 0.5,
     .labels = kOilPressureLabels,
     .label_radius = 46,
     .label_size = 15,
     .title = "OIL",
     .unit = "PRESS",
     .title_y = 128,
     .needle_shape =
         {.length = 68, .width = 5, .tail = 30, .tail_width = 7, .hub = 8}},
    {.face = 2140,
     .needle = 2150,
     .glass = 2160,
     .size = 200,
     .units = kCelsiusAsRankine,
     .tick_inner = 58,
     .tick_outer = 71,
     .first = 0,
     .last = 120,
     .minor_step = 10,
     .major_step = 40,
     .labels = kOilTemperatureLabels,
     .label_radius = 44,
     .label_size = 14,
     .title = "OIL",
     .unit = "\u00b0C",
     .title_y = 128,
     .bands = kOilTemperatureBands,
     .needle_shape =
         {.length = 68, .width = 5, .tail = 30, .tail_width = 7, .hub = 8}},
    {.face = 1420,
     .needle = 1430,
     .glass = 1440,
     .size = 300,
     .units = kCelsiusAsRankine,
     .tick_inner = 130,
     .tick_outer = 146,
     .first = 0,
     .last = 360,
     .minor_step = 20,
     .major_step = 100,
     .labels = kChtLabels,
     .label_radius = 112,
     .label_size = 17,
     .title = "CHT",
     .unit = "\u00b0C",
     .title_y = 170,
     .bands = kChtBands,
     .needle_shape = {.length = 144, .width = 6}},
    {.face = 3110,
     .needle = 3120,
     .glass = 3130,
     .size = 200,
     .units = kPlain,
     .tick_inner = 66,
     .tick_outer = 80,
     .first = -40,
     .last = 80,
     .minor_step = 10,
     .major_step = 20,
     .labels = kAirTemperatureLabels,
     .label_radius = 52,
     .label_size = 12,
     .title = "CARB",
     .unit = "\u00b0C",
     .title_y = 120,
     .bands = kCarburetorBands,
     .needle_shape = {.length = 80, .width = 3}},
    {.face = 2170,
     .needle = 2180,
     .glass = 2190,
     .size = 200,
     .units = kKilopascals,
     .tick_inner = 58,
     .tick_outer = 70,
     .first = 0,
     .last = 60,
     .minor_step = 5,
     .major_step = 10,
     .labels = kFuelPressureLabels,
     .label_radius = 44,
     .label_size = 15,
     .title = "FUEL",
     .unit = "kPa",
     .title_y = 128,
     .bands = kFuelPressureBands,
     .needle_shape =
         {.length = 66, .width = 5, .tail = 30, .tail_width = 7, .hub = 8}},
    {.face = 2460,
     .needle = 2470,
     .glass = 2480,
     .size = 300,
     .units = kPlain,
     .tick_inner = 88,
     .tick_outer = 102,
     .first = 0,
     .last = 220,
     .minor_step = 10,
     .major_step = 55,
     .labels = kFuelQuantityLabels,
     .label_radius = 68,
     .label_size = 17,
     .title = "FUEL",
     .unit = "LITRES",
     .title_y = 108,
     .bands = kFuelQuantityBands,
     .needle_shape =
         {.length = 100, .width = 6, .tail = 14, .tail_width = 9, .hub = 10}},
    {.face = 2320,
     .needle = 2330,
     .glass = 2350,
     .size = 250,
     .units = kPlain,
     .tick_inner = 94,
     .tick_outer = 106,
     .first = 20,
     .last = 35,
     .minor_step = 1,
     .major_step = 5,
     .labels = kVoltLabels,
     .label_radius = 76,
     .label_size = 16,
     .title = "VOLTS",
     .unit = "DC",
     .title_y = 210,
     .bands = kVoltBands,
     .needle_shape = {.length = 104, .width = 4}},
    {.face = 2200,
     .needle = 2210,
     .glass = 2220,
     .size = 200,
     .units = kPlain,
     .tick_inner = 66,
     .tick_outer = 80,
     .first = -40,
     .last = 80,
     .minor_step = 10,
     .major_step = 20,
     .labels = kAirTemperatureLabels,
     .label_radius = 52,
     .label_size = 12,
     .title = "OAT",
     .unit = "\u00b0C",
     .title_y = 120,
     .needle_shape = {.length = 80, .width = 3}},
};
constexpr int kDialArtCount = 10;
static_assert(std::size(kDialArt) == kDialArtCount);

const DialArt& art_for(int32_t id) {
  for (const DialArt& art : kDialArt)
    if (art.face == id || art.needle == id || art.glass == id) return art;
  return kDialArt[0];
}

void engine_face(cairo_t* cr, const Context& ctx, int32_t id) {
  const DialArt& art = art_for(id);
  const double c = art.size / 2.0;
  const double radius = c - 4;
  disc(cr, c, c, radius, kFace);
  const Dial dial = ctx.dial(art.needle);
  const double band_inner = art.tick_outer - 5;
  for (const Band& band : art.bands)
    arc_band(cr, dial, art.units.host(band.from), art.units.host(band.to),
             band_inner, art.tick_outer, band.paint);
  const int steps =
      static_cast<int>((art.last - art.first) / art.minor_step + 0.5);
  for (int i = 0; i <= steps; ++i) {
    const double v = art.first + i * art.minor_step;
    const double in_majors = v / art.major_step;
    const bool major = std::fabs(in_majors - std::round(in_majors)) < 1e-6;
    tick(cr, dial, art.units.host(v),
         major ? art.tick_inner : (art.tick_inner + art.tick_outer) / 2,
         art.tick_outer, major ? 2.6 : 1.4);
  }
  // Every calibration point is marked, the stops among them.
  for (const NonlinearityEntry& entry : dial.table)
    tick(cr, dial, entry.value, art.tick_inner, art.tick_outer, 2.6);
  for (double label : art.labels) {
    char words[16];
    std::snprintf(words, sizeof words, "%g", label / art.label_per);
    number_at(cr, dial, art.units.host(label), art.label_radius, words,
              art.label_size);
  }
  const double title_size = art.size / 22.0;
  text(cr, art.title, c, art.title_y, title_size, kMarking);
  text(cr, art.unit, c, art.title_y + title_size * 1.4, title_size * 0.85,
       kMarking);
}

void engine_needle(cairo_t* cr, const Context& ctx, int32_t id) {
  const DialArt& art = art_for(id);
  draw_needle(cr, ctx.needle_pivot(art.needle), art.needle_shape);
}

void engine_glass(cairo_t* cr, const Context&, int32_t id) {
  const DialArt& art = art_for(id);
  bezel(cr, art.size, art.size / 2.0 - 4);
}

// The voltmeter's hub cap, drawn over its needle.
void voltmeter_hub(cairo_t* cr, const Context& ctx, int32_t) {
  const ElementUse* use = ctx.element(2330);
  if (use == nullptr) return;
  disc(cr, use->x, use->y, 10, kHub);
  disc(cr, use->x, use->y, 4, kBezelEdge);
}

// --- Low-fuel lamps ----------------------------------------------------------

constexpr int kLampSize = 76;
constexpr Rgb kAmberDark = {92, 60, 14};
constexpr Rgb kAmberLit = {255, 176, 32};

void low_fuel_lamp(cairo_t* cr, const Context&, int32_t id) {
  const bool lit = id == 1290;
  if (!lit) {
    rounded_box(cr, 2, 2, kLampSize - 4, kLampSize - 4, 8, kBezel);
    screw(cr, 9, 9, 3);
    screw(cr, kLampSize - 9, kLampSize - 9, 3);
  }
  disc(cr, 38, 34, 24, lit ? kAmberLit : kAmberDark);
  text(cr, "LOW", 38, 28, 11, lit ? Rgb{60, 30, 4} : kAmberLit);
  text(cr, "FUEL", 38, 42, 11, lit ? Rgb{60, 30, 4} : kAmberLit);
  if (!lit) text(cr, "< 20 L", 38, 66, 9, kMarking);
}

// --- Flap indicator ----------------------------------------------------------

constexpr int kFlapScaleW = 30;
constexpr int kFlapScaleH = 138;
// The pointer bitmap's middle line sits this far below its top edge, which
// the slider places at y 20 with the flaps up and 95 pixels lower at full
// flaps.
constexpr double kPointerMiddle = 5;
constexpr double kPointerTop = 20;
constexpr double kFullTravel = 95;

void flap_scale(cairo_t* cr, const Context&, int32_t) {
  rounded_box(cr, 0, 0, kFlapScaleW, kFlapScaleH, 4, kFace);
  for (int degrees = 0; degrees <= 50; degrees += 10) {
    const double y =
        kPointerTop + kPointerMiddle + degrees / 50.0 * kFullTravel;
    line(cr, 20, y, 28, y, degrees % 50 == 0 ? 2.4 : 1.4, kMarking);
  }
  text(cr, "UP", 15, 10, 9, kMarking);
  text(cr, "50\u00b0", 15, 130, 9, kMarking);
}

void flap_pointer(cairo_t* cr, const Context&, int32_t) {
  polygon(cr, {{0, 1}, {12, 1}, {18, kPointerMiddle}, {12, 9}, {0, 9}},
          kOrange);
}

constexpr Drawing kEngineDialDrawings[] = {
    {.id = 1280,
     .width = kLampSize,
     .height = kLampSize,
     .draw = low_fuel_lamp},
    {.id = 1290,
     .width = kLampSize,
     .height = kLampSize,
     .draw = low_fuel_lamp},
    {.id = 1390, .width = 300, .height = 300, .draw = engine_face},
    {.id = 1400, .width = 160, .height = 32, .draw = engine_needle},
    {.id = 1410, .width = 300, .height = 300, .draw = engine_glass},
    {.id = 1420, .width = 300, .height = 300, .draw = engine_face},
    {.id = 1430, .width = 148, .height = 12, .draw = engine_needle},
    {.id = 1440, .width = 300, .height = 300, .draw = engine_glass},
    {.id = 1450, .width = 300, .height = 300, .draw = engine_face},
    {.id = 1460, .width = 156, .height = 32, .draw = engine_needle},
    {.id = 1470, .width = 300, .height = 300, .draw = engine_glass},
    {.id = 2110, .width = 200, .height = 200, .draw = engine_face},
    {.id = 2120, .width = 108, .height = 26, .draw = engine_needle},
    {.id = 2130, .width = 200, .height = 200, .draw = engine_glass},
    {.id = 2140, .width = 200, .height = 200, .draw = engine_face},
    {.id = 2150, .width = 108, .height = 26, .draw = engine_needle},
    {.id = 2160, .width = 200, .height = 200, .draw = engine_glass},
    {.id = 2170, .width = 200, .height = 200, .draw = engine_face},
    {.id = 2180, .width = 106, .height = 26, .draw = engine_needle},
    {.id = 2190, .width = 200, .height = 200, .draw = engine_glass},
    {.id = 2200, .width = 200, .height = 200, .draw = engine_face},
    {.id = 2210, .width = 82, .height = 6, .draw = engine_needle},
    {.id = 2220, .width = 200, .height = 200, .draw = engine_glass},
    {.id = 2320, .width = 250, .height = 250, .draw = engine_face},
    {.id = 2330, .width = 106, .height = 10, .draw = engine_needle},
    {.id = 2340, .width = 250, .height = 250, .draw = voltmeter_hub},
    {.id = 2350, .width = 250, .height = 250, .draw = engine_glass},
    {.id = 2460, .width = 300, .height = 300, .draw = engine_face},
    {.id = 2470, .width = 116, .height = 36, .draw = engine_needle},
    {.id = 2480, .width = 300, .height = 300, .draw = engine_glass},
    {.id = 3030,
     .width = kFlapScaleW,
     .height = kFlapScaleH,
     .draw = flap_scale},
    {.id = 3040, .width = 19, .height = 10, .draw = flap_pointer},
    {.id = 3110, .width = 200, .height = 200, .draw = engine_face},
    {.id = 3120, .width = 82, .height = 6, .draw = engine_needle},
    {.id = 3130, .width = 200, .height = 200, .draw = engine_glass},
};
static_assert(std::size(kEngineDialDrawings) == 35);

}  // namespace

std::span<const Drawing> engine_dial_drawings() { return kEngineDialDrawings; }
