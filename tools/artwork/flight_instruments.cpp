// The five flight instruments: faces graduated from their needles' own
// tables, needles, bezels, the attitude card and the altimeter's digit drum.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <numbers>

#include "tools/artwork/paint.h"

namespace {

// --- Airspeed --------------------------------------------------------------

constexpr int32_t kAirspeedNeedle = 460;

void airspeed_face(cairo_t* cr, const Context& ctx, int32_t) {
  disc(cr, 150, 150, 146, kFace);
  const Dial dial = ctx.dial(kAirspeedNeedle);
  arc_band(cr, dial, kStallFlapsKnots, kFlapLimitKnots, 99, 105, kArcWhite);
  arc_band(cr, dial, kStallCleanKnots, kNormalLimitKnots, 125, 132, kArcGreen);
  arc_band(cr, dial, kNormalLimitKnots, kNeverExceedKnots, 125, 132,
           kArcYellow);
  for (int knots = 40; knots <= 300; knots += 5) {
    const bool major = knots % (knots <= 200 ? 10 : 50) == 0;
    if (!major && knots > 200 && knots % 10 != 0) continue;
    tick(cr, dial, knots, major ? 106 : 114, 124, major ? 2.6 : 1.6);
  }
  for (double stop : {0.0, 300.0}) tick(cr, dial, stop, 106, 124, 2.6);
  tick(cr, dial, kNeverExceedKnots, 106, 132, 4.0, kArcRed);
  for (int knots = 40; knots <= 300; knots += 20) {
    if (knots == 280) continue;
    char words[8];
    std::snprintf(words, sizeof words, "%d", knots);
    number_at(cr, dial, knots == 300 ? 300 : knots, 86, words, 17);
  }
  text(cr, "AIRSPEED", 151, 108, 13, kMarking);
  text(cr, "KNOTS", 151, 196, 13, kMarking);
}

void airspeed_needle(cairo_t* cr, const Context& ctx, int32_t) {
  draw_needle(
      cr, ctx.needle_pivot(kAirspeedNeedle),
      {.length = 104, .width = 6, .tail = 30, .tail_width = 9, .hub = 11});
}

void round_glass(cairo_t* cr, const Context&, int32_t) { bezel(cr, 300, 146); }

// --- Vertical speed --------------------------------------------------------

constexpr int32_t kVerticalSpeedNeedle = 280;
// The needle's table is in the host's unit: this many per foot per minute.
constexpr double kVerticalSpeedPerFpm = 1.3004799583846414;

void vertical_speed_face(cairo_t* cr, const Context& ctx, int32_t) {
  disc(cr, 150, 150, 146, kFace);
  const Dial dial = ctx.dial(kVerticalSpeedNeedle);
  for (int sign : {1, -1}) {
    for (int fpm = 0; fpm <= 8000; fpm += 100) {
      const int step = fpm <= 1000 ? 100 : fpm <= 2000 ? 250 : 500;
      if (fpm % step != 0 && fpm % 1000 != 0) continue;
      if (fpm > 4000 && fpm % 1000 != 0) continue;
      const bool major = fpm % 500 == 0;
      tick(cr, dial, sign * fpm * kVerticalSpeedPerFpm, major ? 104 : 112, 122,
           major ? 2.6 : 1.6);
    }
    for (int hundreds : {5, 10, 15, 20, 30, 40}) {
      char words[8];
      std::snprintf(words, sizeof words, "%d", hundreds);
      number_at(cr, dial, sign * hundreds * 100 * kVerticalSpeedPerFpm, 86,
                words, 18);
    }
    // The stops.
    tick(cr, dial, sign * 8000 * kVerticalSpeedPerFpm, 104, 130, 4.0);
  }
  number_at(cr, dial, 0, 86, "0", 20);
  text(cr, "UP", 100, 122, 11, kMarking);
  text(cr, "DOWN", 106, 178, 11, kMarking);
  text(cr, "VERTICAL SPEED", 196, 134, 10, kMarking);
  text(cr, "100 FEET PER MIN", 196, 168, 10, kMarking);
}

void vertical_speed_needle(cairo_t* cr, const Context& ctx, int32_t) {
  draw_needle(cr, ctx.needle_pivot(kVerticalSpeedNeedle),
              {.length = 110, .width = 5, .hub = 7});
}

// --- Altimeter -------------------------------------------------------------

constexpr int32_t kHundredsHand = 1090;
constexpr int32_t kThousandsHand = 1080;
constexpr int32_t kTenThousandsPointer = 1070;
constexpr int32_t kDrum = 1110;
constexpr int kDrumDigitHeight = 23;

void altimeter_face(cairo_t* cr, const Context& ctx, int32_t) {
  disc(cr, 150, 150, 146, kFace);
  const Dial dial = ctx.dial(kHundredsHand);
  for (int feet = 0; feet < 1000; feet += 20) {
    const bool major = feet % 100 == 0;
    const bool half = feet % 100 == 50;
    tick(cr, dial, feet,
         major  ? 118
         : half ? 124
                : 128,
         136, major ? 3.0 : 1.6);
  }
  for (int digit = 0; digit < 10; ++digit) {
    const char words[2] = {static_cast<char>('0' + digit), '\0'};
    number_at(cr, dial, digit * 100, 104, words, 22);
  }
  // The pressure window and its drums' frame.
  const ElementUse* units = nullptr;
  const ElementUse* thousands = nullptr;
  for (const ElementUse& use : ctx.uses) {
    if (use.bitmap != kDrum) continue;
    if (units == nullptr || use.x > units->x) units = &use;
    if (thousands == nullptr || use.x < thousands->x) thousands = &use;
  }
  if (units != nullptr && thousands != nullptr) {
    const double left = thousands->x - 1.5;
    const double top = units->y - 1.5;
    const double width = units->x + 13 - thousands->x + 3;
    cairo_new_path(cr);
    cairo_rectangle(cr, left, top, width, kDrumDigitHeight + 3);
    cairo_set_line_width(cr, 1.5);
    colour(cr, kBezelEdge);
    cairo_stroke(cr);
    text(cr, "MB", units->x + 28, units->y + 11.5, 10, kMarking);
  }
  text(cr, "ALT", 150, 84, 15, kMarking);
  text(cr, "100 FEET", 150, 104, 10, kMarking);
}

void altimeter_hundreds(cairo_t* cr, const Context& ctx, int32_t) {
  draw_needle(
      cr, ctx.needle_pivot(kHundredsHand),
      {.length = 128, .width = 5, .tail = 38, .tail_width = 7, .hub = 9});
}

void altimeter_thousands(cairo_t* cr, const Context& ctx, int32_t) {
  const Pivot p = ctx.needle_pivot(kThousandsHand);
  polygon(cr,
          {{p.x, p.y - 4},
           {p.x + 58, p.y - 8},
           {p.x + 80, p.y},
           {p.x + 58, p.y + 8},
           {p.x, p.y + 4}},
          kMarking);
  polygon(cr, {{p.x, p.y - 4}, {p.x - 22, p.y}, {p.x, p.y + 4}}, kMarking);
}

void altimeter_ten_thousands(cairo_t* cr, const Context& ctx, int32_t) {
  const Pivot p = ctx.needle_pivot(kTenThousandsPointer);
  line(cr, p.x, p.y, p.x + 128, p.y, 2.0, kMarking);
  polygon(cr, {{p.x + 122, p.y - 8}, {p.x + 140, p.y}, {p.x + 122, p.y + 8}},
          kMarking);
}

void altimeter_bezel(cairo_t* cr, const Context&, int32_t) {
  const double c = 150;
  ring(cr, c, c, 146, 150, kBezel);
  ring(cr, c, c, 146, 147.5, kBezelEdge);
  for (double x : {16.5, 283.5}) screw(cr, x, 16.5, 7.5);
  screw(cr, 16.5, 283.5, 7.5);
  // The setting knob at the corner its click areas cover.
  knurled_knob(cr, 270, 270, 28);
  text(cr, "-", 258, 270, 16, kMarking);
  text(cr, "+", 282, 270, 14, kMarking);
}

void altimeter_drum(cairo_t* cr, const Context&, int32_t) {
  cairo_rectangle(cr, 0, 0, 13, 11 * kDrumDigitHeight);
  colour(cr, kFace);
  cairo_fill(cr);
  // Top to bottom 0, 9, 8 ... 1, 0: the higher the value, the nearer the
  // top of the strip the window shows.
  for (int cell = 0; cell <= 10; ++cell) {
    const char words[2] = {static_cast<char>('0' + (10 - cell) % 10), '\0'};
    text(cr, words, 6.5, cell * kDrumDigitHeight + kDrumDigitHeight / 2.0, 15,
         kMarking);
  }
}

void whole_window(cairo_t* cr, const Context&, int32_t) {
  // Any colour but the key: all of the picture behind it shows.
  colour(cr, kMarking);
  cairo_paint(cr);
}

void setting_knob(cairo_t* cr, const Context&, int32_t) {
  knurled_knob(cr, 30, 30, 26);
  line(cr, 30, 30, 60, 30, 3, kMarking);
}

// --- Turn coordinator ------------------------------------------------------

constexpr int32_t kTurnSymbol = 1010;
constexpr int32_t kBall = 1020;
constexpr double kBallScale = 0.515625;
constexpr double kBallRise = 0.00030517578125;
constexpr double kBallDiameter = 24;

void turn_coordinator_face(cairo_t* cr, const Context& ctx, int32_t) {
  disc(cr, 119, 119, 115, kFace);
  const Dial dial = ctx.dial(kTurnSymbol);
  for (double rate : {-4.5, 0.0, 4.5})
    tick(cr, dial, rate, 118, 132, rate == 0 ? 3.0 : 4.0);
  number_at(cr, dial, -4.5, 141, "L", 15);
  number_at(cr, dial, 4.5, 141, "R", 15);
  // The inclinometer tube along the ball's own curve.
  if (const ElementUse* ball = ctx.element(kBall)) {
    const double cx = ball->x + kBallDiameter / 2;
    const double cy = ball->y + kBallDiameter / 2;
    const auto path_y = [&](double dx) {
      const double value = dx / kBallScale;
      return cy - value * value * kBallRise;
    };
    const double half = 74;
    cairo_new_path(cr);
    for (double dx = -half; dx <= half; dx += 2)
      cairo_line_to(cr, cx + dx, path_y(dx) - 14);
    for (double dx = half; dx >= -half; dx -= 2)
      cairo_line_to(cr, cx + dx, path_y(dx) + 14);
    cairo_close_path(cr);
    colour(cr, kTube);
    cairo_fill(cr);
    for (double side : {-1.0, 1.0}) {
      const double x = cx + side * (kBallDiameter / 2 + 1.5);
      line(cr, x, cy - 14, x, cy + 14, 2, kNearBlack);
    }
  }
  text(cr, "TURN COORDINATOR", 119, 40, 10, kMarking);
  text(cr, "2 MIN", 182, 166, 9, kMarking);
  text(cr, "NO PITCH", 119, 157, 8, kMarking);
  text(cr, "INFORMATION", 119, 168, 8, kMarking);
  text(cr, "D.C. ELEC.", 119, 214, 9, kMarking);
}

void turn_symbol(cairo_t* cr, const Context& ctx, int32_t) {
  const Pivot p = ctx.needle_pivot(kTurnSymbol);
  // A pole carrying a small aircraft seen from behind: wings across the
  // pole, fin beyond them.
  line(cr, p.x, p.y, p.x + 100, p.y, 3, kMarking);
  const double wing = p.x + 100;
  line(cr, wing, p.y - 11.5, wing, p.y + 11.5, 3.5, kMarking,
       CAIRO_LINE_CAP_ROUND);
  disc(cr, wing, p.y, 4, kMarking);
  line(cr, wing, p.y, wing + 11, p.y, 2.5, kMarking, CAIRO_LINE_CAP_ROUND);
  disc(cr, p.x, p.y, 10, kHub);
  disc(cr, p.x, p.y, 4, kBezelEdge);
}

void ball(cairo_t* cr, const Context&, int32_t) {
  const double r = kBallDiameter / 2;
  disc(cr, r, r, r - 0.5, {28, 28, 30});
  disc(cr, r - 3, r - 3.5, 3, {96, 96, 102});
}

void power_flag(cairo_t* cr, const Context&, int32_t) {
  cairo_rectangle(cr, 0, 0, 34, 16);
  colour(cr, kFlagRed);
  cairo_fill(cr);
  text(cr, "OFF", 17, 8, 11, kMarking);
}

void turn_coordinator_glass(cairo_t* cr, const Context&, int32_t) {
  bezel(cr, 238, 115);
}

// --- Attitude --------------------------------------------------------------

constexpr int32_t kBankPointer = 320;
constexpr int32_t kHorizonCard = 310;
constexpr double kAttitudeHole = 92;
constexpr double kAttitudeRim = 110;

Pivot card_centre(const Context& ctx) {
  const ElementUse* card = ctx.element(kHorizonCard);
  if (card == nullptr) return {};
  return {static_cast<double>(card->offset_x),
          static_cast<double>(card->offset_y)};
}

void attitude_case(cairo_t* cr, const Context& ctx, int32_t) {
  const Pivot c = card_centre(ctx);
  disc(cr, c.x, c.y, kAttitudeRim, kFace);
}

void attitude_bezel(cairo_t* cr, const Context& ctx, int32_t) {
  const Pivot c = card_centre(ctx);
  ring(cr, c.x, c.y, kAttitudeHole, kAttitudeRim, kBezel);
  ring(cr, c.x, c.y, kAttitudeRim - 1.5, kAttitudeRim, kBezelEdge);
  ring(cr, c.x, c.y, kAttitudeHole, kAttitudeHole + 1.5, kBezelEdge);
  const Dial dial = ctx.dial(kBankPointer);
  for (int bank : {0, 10, 20, 30, 45, 60, 90}) {
    for (int sign : {1, -1}) {
      const bool major = bank == 0 || bank == 30 || bank == 60 || bank == 90;
      tick(cr, dial, sign * bank, kAttitudeHole + 2,
           kAttitudeHole + (major ? 15 : 9), major ? 3.0 : 2.0);
    }
  }
  // The miniature aircraft's adjusting knob and the caging knob, where their
  // click areas are.
  knurled_knob(cr, 132, 260, 20);
  knurled_knob(cr, 253, 263, 37);
  text(cr, "PULL TO", 253, 255, 9, kMarking);
  text(cr, "CAGE", 253, 268, 11, kMarking);
}

void horizon_card(cairo_t* cr, const Context& ctx, int32_t) {
  const ElementUse* card = ctx.element(kHorizonCard);
  const double w = 2.0 * (card != nullptr ? card->offset_x - card->x : 0);
  const double h = 2.0 * (card != nullptr ? card->offset_y - card->y : 0);
  const double cx = w / 2;
  const double cy = h / 2;
  cairo_rectangle(cr, 0, 0, w, cy);
  colour(cr, kSky);
  cairo_fill(cr);
  cairo_rectangle(cr, 0, cy, w, h - cy);
  colour(cr, kGround);
  cairo_fill(cr);
  line(cr, 0, cy, w, cy, 2.5, kMarking);
  // Pitch lines: the card moves 1.3 pixels per degree of pitch and is
  // drawn at 0.9 of its height.
  constexpr double kPixelsPerDegree = 1.3 / 0.9;
  for (int degrees : {5, 10, 15, 20}) {
    const double half = degrees % 10 == 0 ? 26 : 12;
    for (int sign : {1, -1}) {
      const double y = cy - sign * degrees * kPixelsPerDegree;
      line(cr, cx - half, y, cx + half, y, 2, kMarking);
      if (degrees % 10 == 0) {
        const char* words = degrees == 10 ? "10" : "20";
        text(cr, words, cx - half - 11, y, 10, kMarking);
        text(cr, words, cx + half + 11, y, 10, kMarking);
      }
    }
  }
}

void horizon_window(cairo_t* cr, const Context& ctx, int32_t) {
  const ElementUse* card = ctx.element(kHorizonCard);
  if (card == nullptr) return;
  disc(cr, card->offset_x - card->x, card->offset_y - card->y,
       kAttitudeHole + 1, kMarking);
}

void bank_pointer(cairo_t* cr, const Context& ctx, int32_t) {
  const Pivot p = ctx.needle_pivot(kBankPointer);
  polygon(cr,
          {{p.x + kAttitudeHole - 16, p.y - 5},
           {p.x + kAttitudeHole - 1, p.y},
           {p.x + kAttitudeHole - 16, p.y + 5}},
          kMarking);
}

void miniature_aircraft(cairo_t* cr, const Context& ctx, int32_t) {
  const ElementUse* symbol = ctx.element(330);
  const Pivot c = card_centre(ctx);
  if (symbol == nullptr) return;
  const double x = c.x - symbol->x;
  const double y = c.y - symbol->y;
  line(cr, x - 55, y, x - 18, y, 4, kOrange, CAIRO_LINE_CAP_ROUND);
  line(cr, x + 18, y, x + 55, y, 4, kOrange, CAIRO_LINE_CAP_ROUND);
  cairo_new_path(cr);
  cairo_move_to(cr, x - 18, y);
  cairo_line_to(cr, x - 9, y + 9);
  cairo_line_to(cr, x, y + 2);
  cairo_line_to(cr, x + 9, y + 9);
  cairo_line_to(cr, x + 18, y);
  cairo_set_line_width(cr, 3.5);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  colour(cr, kOrange);
  cairo_stroke(cr);
  disc(cr, x, y, 3.5, kOrange);
}

void caged_flag(cairo_t* cr, const Context&, int32_t) {
  cairo_rectangle(cr, 0, 0, 28, 14);
  colour(cr, kFlagRed);
  cairo_fill(cr);
  // The flag comes out from behind the bezel's right edge: its text sits
  // in the part that shows.
  text(cr, "CAGE", 12, 7, 8, kMarking);
}

constexpr Drawing kFlightInstrumentDrawings[] = {
    {.id = 270, .width = 300, .height = 300, .draw = vertical_speed_face},
    {.id = 280, .width = 119, .height = 14, .draw = vertical_speed_needle},
    {.id = 290, .width = 300, .height = 300, .draw = round_glass},
    {.id = 300, .width = 293, .height = 303, .draw = attitude_case},
    {.id = 310, .width = 254, .height = 260, .draw = horizon_card},
    {.id = 311, .width = 254, .height = 260, .draw = horizon_window},
    {.id = 320, .width = 92, .height = 10, .draw = bank_pointer},
    {.id = 330, .width = 118, .height = 84, .draw = miniature_aircraft},
    {.id = 360, .width = 293, .height = 303, .draw = attitude_bezel},
    {.id = 370, .width = 28, .height = 14, .draw = caged_flag},
    {.id = 450, .width = 300, .height = 300, .draw = airspeed_face},
    {.id = 460, .width = 149, .height = 54, .draw = airspeed_needle},
    {.id = 470, .width = 300, .height = 300, .draw = round_glass},
    {.id = 1000, .width = 238, .height = 238, .draw = turn_coordinator_face},
    {.id = 1010, .width = 145, .height = 24, .draw = turn_symbol},
    {.id = 1020, .width = 24, .height = 24, .draw = ball},
    {.id = 1030, .width = 34, .height = 16, .draw = power_flag},
    {.id = 1040, .width = 238, .height = 238, .draw = turn_coordinator_glass},
    {.id = 1060, .width = 300, .height = 300, .draw = altimeter_face},
    {.id = 1070, .width = 200, .height = 138, .draw = altimeter_ten_thousands},
    {.id = 1080, .width = 121, .height = 52, .draw = altimeter_thousands},
    {.id = 1090, .width = 178, .height = 20, .draw = altimeter_hundreds},
    {.id = 1100, .width = 300, .height = 300, .draw = altimeter_bezel},
    {.id = 1110,
     .width = 13,
     .height = 11 * kDrumDigitHeight,
     .draw = altimeter_drum},
    {.id = 1111, .width = 13, .height = kDrumDigitHeight, .draw = whole_window},
    {.id = 1130, .width = 60, .height = 60, .draw = setting_knob},
};
static_assert(std::size(kFlightInstrumentDrawings) == 26);

}  // namespace

std::span<const Drawing> flight_instrument_drawings() {
  return kFlightInstrumentDrawings;
}
