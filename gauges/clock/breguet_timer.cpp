// The aircraft clock: hour and minute hands on the simulator's clock
// (token 557), a stop-watch with a central seconds hand and a 15-minute
// counter on simulated time (token 604), start/stop and reset push-buttons,
// and a bezel turning in 60 detents of 6 degrees.
#include <cmath>

#include "elements/declare.h"
#include "gauges/gauge_table.h"

namespace {

constexpr int32_t kClockTime = 557;
constexpr int32_t kSimulatedTime = 604;
constexpr int32_t kBezelDetents = 60;
constexpr double kDegreesPerDetent = 6.0;
constexpr uint32_t kTimerHelpId = 43798;

// The stop-watch and the bezel belong to the gauge type and keep their
// values across installs and kills.
int32_t running = 0;
double last_time_s = 0.0;
double elapsed_s = 0.0;
int32_t bezel_count = 0;

// Both stop-watch hands call this each frame; the second call adds nothing
// because the token equals the time just seen. A non-finite time, or a step
// that would make the total non-finite, leaves the watch as it was.
double GAUGE_CALL stopwatch_time(ElementHeader* head) {
  const double now_s = element_as<NeedleElement>(head)->source.value.number;
  if (std::isfinite(now_s)) {
    if (running != 0) {
      const double total_s = (now_s - last_time_s) + elapsed_s;
      if (std::isfinite(total_s)) elapsed_s = total_s;
    }
    last_time_s = now_s;
  }
  return std::floor(elapsed_s);
}

double GAUGE_CALL bezel_angle(ElementHeader*) {
  return bezel_count * kDegreesPerDetent;
}

int32_t GAUGE_CALL start_stop(PointRecord*, uint32_t) {
  running = running != 0 ? 0 : 1;
  return 0;
}

int32_t GAUGE_CALL reset(PointRecord*, uint32_t) {
  elapsed_s = 0.0;
  return 0;
}

// The remainder keeps the dividend's sign: turned back from 0 the count runs
// -1 ... -59 and then 0 again.
int32_t GAUGE_CALL bezel_forward(PointRecord*, uint32_t) {
  bezel_count = (bezel_count + 1) % kBezelDetents;
  return 0;
}

int32_t GAUGE_CALL bezel_back(PointRecord*, uint32_t) {
  bezel_count = (bezel_count - 1) % kBezelDetents;
  return 0;
}

constinit NonlinearityEntry hour_table[] = {mark(0, 127, 29),
                                            mark(21600, 127, 229)};
constinit NonlinearityEntry minute_table[] = {mark(0, 127, 29),
                                              mark(1800, 127, 229)};
constinit NonlinearityEntry counter_table[] = {mark(0, 127, 140),
                                               mark(450, 127, 200)};
constinit NonlinearityEntry seconds_table[] = {mark(0, 127, 29),
                                               mark(30, 127, 229)};

constinit ElementChain chain{
    &breguet_timer_gauge,
    static_image({.bitmap = 380, .at = {0, 0}, .flags = 0x4003}),
    sprite({.bitmap = 440,
            .at = {12, 10},
            .centre = {127, 129},
            .rotation_scale = 1.0,
            .rotation_callback = bezel_angle,
            .flags = 0x4083}),
    needle({.bitmap = 420,
            .at = {127, 129},
            .pivot = {6, 6},
            .token = kClockTime,
            .table = hour_table,
            .flags = 0x4083}),
    needle({.bitmap = 410,
            .at = {127, 129},
            .pivot = {7, 7},
            .token = kClockTime,
            .table = minute_table,
            .flags = 0x4083}),
    needle({.bitmap = 400,
            .at = {127, 170},
            .pivot = {6, 6},
            .token = kSimulatedTime,
            .table = counter_table,
            .callback = stopwatch_time,
            .flags = 0x4083}),
    needle({.bitmap = 390,
            .at = {127, 129},
            .pivot = {8, 8},
            .token = kSimulatedTime,
            .table = seconds_table,
            .callback = stopwatch_time,
            .flags = 0x4083}),
    static_image({.bitmap = 430, .at = {0, 0}, .flags = 0x3}),
};

constinit MouseRect mouse_areas[] = {
    mouse_parent({}, kTimerHelpId),
    mouse_callback_child({97, 253, 63, 55}, kCursorHand, kMouseLeftSingle,
                         start_stop),
    mouse_callback_child({195, 255, 35, 43}, kCursorUpArrow,
                         kMouseLeftSingle | kMouseRepeat, reset),
    mouse_callback_child({11, 67, 40, 116}, kCursorUpArrow,
                         kMouseLeftSingle | kMouseRepeat, bezel_forward),
    mouse_callback_child({207, 67, 40, 116}, kCursorDownArrow,
                         kMouseLeftSingle | kMouseRepeat, bezel_back),
    mouse_parent_end(),
    mouse_end(),
};

}  // namespace

constinit GaugeHeader breguet_timer_gauge = gauge_header({
    .name = "Breguet_Timer",
    .width_mm = 100,
    .elements = chain.list(),
    .mouse_areas = mouse_areas,
});
