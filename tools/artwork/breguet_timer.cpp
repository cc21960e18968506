// The chronograph: a black clock face with hour numbers and a minute and
// second track, the stop-watch's 15-minute counter, the start/stop and reset
// push-buttons below the face, a 60-detent bezel, and four hands.
#include <algorithm>
#include <cstdio>
#include <iterator>

#include "tools/artwork/paint.h"

namespace {

constexpr int32_t kSecondsHand = 390;
constexpr int32_t kCounterHand = 400;
constexpr int32_t kMinuteHand = 410;
constexpr int32_t kHourHand = 420;
constexpr int32_t kBezelRing = 440;
constexpr int kFaceWidth = 258;
constexpr int kFaceHeight = 312;
constexpr double kTrackOuter = 100;
constexpr double kTrackInner = 92;
constexpr double kCounterRadius = 27;
constexpr double kBezelInner = 103;

// The bezel window's size, centred on its centre of rotation.
int bezel_width(const Context& ctx) {
  const ElementUse* b = ctx.element(kBezelRing);
  return b != nullptr ? 2 * (b->offset_x - b->x) : 0;
}
int bezel_height(const Context& ctx) {
  const ElementUse* b = ctx.element(kBezelRing);
  return b != nullptr ? 2 * (b->offset_y - b->y) : 0;
}

void push_button(cairo_t* cr, double x, double y, double w, double h,
                 const char* words) {
  rounded_box(cr, x, y, w, h, 6, kChromeShade);
  rounded_box(cr, x + 2, y + 2, w - 4, h - 4, 5, kChrome);
  rounded_box(cr, x + 5, y + 5, w - 10, h - 10, 4, kChromeLight);
  text(cr, words, x + w / 2, y + h / 2, 9, kHub);
}

void timer_face(cairo_t* cr, const Context& ctx, int32_t) {
  const Dial seconds = ctx.dial(kSecondsHand);
  const Dial hours = ctx.dial(kHourHand);
  const Dial counter = ctx.dial(kCounterHand);
  const Pivot c = seconds.pivot;
  disc(cr, c.x, c.y, 116, kBezelEdge);
  disc(cr, c.x, c.y, kBezelInner + 1, kFace);
  // The minute and second track: a long tick every five.
  for (int s = 0; s < 60; ++s) {
    const bool five = s % 5 == 0;
    tick(cr, seconds, s, five ? kTrackInner - 6 : kTrackInner, kTrackOuter,
         five ? 3.0 : 1.6);
  }
  for (int h = 1; h <= 12; ++h) {
    if (h == 6) continue;  // the counter sits there
    char words[4];
    std::snprintf(words, sizeof words, "%d", h);
    number_at(cr, hours, h * 3600.0, 72, words, 17);
  }
  // The stop-watch's counter: one turn in 15 minutes, a mark every half
  // minute, longer at each minute and longest at each five.
  const Pivot k = counter.pivot;
  ring(cr, k.x, k.y, kCounterRadius, kCounterRadius + 1.2, kMarking);
  for (int half = 0; half < 30; ++half) {
    const double length = half % 10 == 0 ? 8 : (half % 2 == 0 ? 5 : 3);
    tick(cr, counter, half * 30.0, kCounterRadius - length, kCounterRadius,
         length > 3 ? 2.2 : 1.8);
  }
  number_at(cr, counter, 300, kCounterRadius - 14, "5", 8);
  number_at(cr, counter, 600, kCounterRadius - 14, "10", 8);
  number_at(cr, counter, 0, kCounterRadius - 14, "15", 8);
  text(cr, "BREGUET", c.x, c.y - 44, 10, kMarking, false);
  // The push-buttons, where their click areas are.
  push_button(cr, 97, 253, 63, 55, "START");
  push_button(cr, 195, 255, 35, 43, "R");
}

void timer_bezel(cairo_t* cr, const Context& ctx, int32_t) {
  const double cx = bezel_width(ctx) / 2.0;
  const double cy = bezel_height(ctx) / 2.0;
  const double outer = std::min(cx, cy) - 1;
  ring(cr, cx, cy, kBezelInner, outer, kBezel);
  ring(cr, cx, cy, outer - 1.5, outer, kBezelEdge);
  for (int d = 0; d < 60; ++d) {
    const double a = d * std::numbers::pi / 30;
    const bool ten = d % 10 == 0;
    const double r0 = ten ? kBezelInner + 2 : kBezelInner + 6;
    line(cr, cx + r0 * std::sin(a), cy - r0 * std::cos(a),
         cx + (outer - 3) * std::sin(a), cy - (outer - 3) * std::cos(a),
         ten ? 2.0 : 1.0, kMarking);
  }
  // The index the pilot turns against the minute hand.
  polygon(cr,
          {{cx - 6, cy - outer + 2},
           {cx + 6, cy - outer + 2},
           {cx, cy - kBezelInner - 1}},
          kOrange);
}

void bezel_window(cairo_t* cr, const Context& ctx, int32_t) {
  const double cx = bezel_width(ctx) / 2.0;
  const double cy = bezel_height(ctx) / 2.0;
  ring(cr, cx, cy, kBezelInner, std::min(cx, cy) - 1, kMarking);
}

void hour_hand(cairo_t* cr, const Context& ctx, int32_t) {
  draw_needle(cr, ctx.needle_pivot(kHourHand),
              {.length = 58, .width = 9, .tail = 6, .tail_width = 6, .hub = 6});
}

void minute_hand(cairo_t* cr, const Context& ctx, int32_t) {
  draw_needle(cr, ctx.needle_pivot(kMinuteHand),
              {.length = 88, .width = 7, .tail = 7, .tail_width = 5, .hub = 7});
}

void counter_hand(cairo_t* cr, const Context& ctx, int32_t) {
  draw_needle(cr, ctx.needle_pivot(kCounterHand),
              {.length = 25, .width = 3, .hub = 4, .paint = kOrange});
}

void seconds_hand(cairo_t* cr, const Context& ctx, int32_t) {
  draw_needle(cr, ctx.needle_pivot(kSecondsHand),
              {.length = 98,
               .width = 2.5,
               .tail = 8,
               .tail_width = 5,
               .hub = 5,
               .paint = kOrange});
}

void hand_cap(cairo_t* cr, const Context& ctx, int32_t) {
  const Pivot c = ctx.dial(kSecondsHand).pivot;
  disc(cr, c.x, c.y, 6, kChromeShade);
  disc(cr, c.x, c.y, 4, kChrome);
  const Pivot k = ctx.dial(kCounterHand).pivot;
  disc(cr, k.x, k.y, 3, kChrome);
}

constexpr Drawing kBreguetTimerDrawings[] = {
    {.id = 380, .width = kFaceWidth, .height = kFaceHeight, .draw = timer_face},
    {.id = 390, .width = 108, .height = 16, .draw = seconds_hand},
    {.id = 400, .width = 34, .height = 12, .draw = counter_hand},
    {.id = 410, .width = 98, .height = 14, .draw = minute_hand},
    {.id = 420, .width = 66, .height = 12, .draw = hour_hand},
    {.id = 430, .width = kFaceWidth, .height = kFaceHeight, .draw = hand_cap},
    {.id = 440, .width = 230, .height = 238, .draw = timer_bezel},
    {.id = 441, .width = 230, .height = 238, .draw = bezel_window},
};
static_assert(std::size(kBreguetTimerDrawings) == 8);

}  // namespace

std::span<const Drawing> breguet_timer_drawings() {
  return kBreguetTimerDrawings;
}
