// The two spring-loaded three-position switches: cowl flaps (token 362) and
// wing flaps (token 328). Holding an arrow area sends the simulator's step
// event on every repeat; the switch shows itself pushed toward the surface's
// movement for a few updates after each change of position, then springs
// back to neutral.
#include <cmath>
#include <iterator>

#include "elements/declare.h"
#include "gauges/gauge_table.h"

namespace {

// What a spring switch remembers between updates.
struct SpringMemory {
  double previous = 0.0;
  int32_t first_count = 0;   // shown as image 1
  int32_t second_count = 0;  // shown as image 2
};

struct SpringRow {
  GaugeHeader* gauge;
  const char* name;
  int32_t bitmap;  // neutral, then the two pushed positions
  int32_t token;
  int32_t hold_updates;
  // Image 1 shows a rise of the position (cowl flaps) or a fall (flaps).
  bool first_is_rise;
  uint32_t help_id;
  MouseBox upper_area;
  int32_t upper_cursor;
  uint32_t upper_event;
  MouseBox lower_area;
  int32_t lower_cursor;
  uint32_t lower_event;
};

constexpr SpringRow kSprings[] = {
    {.gauge = &cowl_flaps_switch_gauge,
     .name = "Cowl_Flaps_Switch",
     .bitmap = 2260,
     .token = 362,
     .hold_updates = 6,
     .first_is_rise = true,
     .help_id = 43799,
     .upper_area = {0, 0, 30, 29},
     .upper_cursor = kCursorUpArrow,
     .upper_event = 66243,
     .lower_area = {0, 29, 30, 29},
     .lower_cursor = kCursorDownArrow,
     .lower_event = 66244},
    {.gauge = &flaps_switch_gauge,
     .name = "Flaps_Switch",
     .bitmap = 2490,
     .token = 328,
     .hold_updates = 9,
     .first_is_rise = false,
     .help_id = 43901,
     .upper_area = {0, 0, 42, 48},
     .upper_cursor = kCursorDownArrow,
     .upper_event = 65759,
     .lower_area = {0, 48, 42, 48},
     .lower_cursor = kCursorUpArrow,
     .lower_event = 65758},
};
constexpr int kSpringCount = 2;
static_assert(std::size(kSprings) == kSpringCount);

template <int N>
SpringMemory memory{};

// A NaN position is no movement: the last real position stays the one the
// next is compared with.
template <int N>
double GAUGE_CALL spring_image(ElementHeader* head) {
  const SpringRow& row = kSprings[N];
  SpringMemory& m = memory<N>;
  const double position = element_as<IconElement>(head)->source.value.number;
  if (m.first_count >= 0) --m.first_count;
  if (m.second_count >= 0) --m.second_count;
  if (!std::isnan(position)) {
    const bool rose = m.previous < position;
    const bool fell = m.previous > position;
    // The first test's picture, then the second's, as the switch was wired.
    if (row.first_is_rise ? rose : fell) {
      m.first_count = row.hold_updates;
      m.second_count = 0;
    }
    if (row.first_is_rise ? fell : rose) {
      m.second_count = row.hold_updates;
      m.first_count = 0;
    }
    m.previous = position;
  }
  if (m.first_count > 0) return 1.0;
  if (m.second_count > 0) return 2.0;
  return 0.0;
}

template <int N>
constinit ElementChain<StaticImageElement, IconElement> chain{
    kSprings[N].gauge,
    static_image({.bitmap = kSprings[N].bitmap, .at = {0, 0}, .flags = 0x3}),
    icon({.bitmap = kSprings[N].bitmap,
          .at = {0, 0},
          .icons = 3,
          .token = kSprings[N].token,
          .callback = spring_image<N>,
          .flags = 0x3}),
};

template <int N>
constinit MouseRect mouse_areas[] = {
    mouse_parent({}, kSprings[N].help_id),
    mouse_event_child(kSprings[N].upper_area, kSprings[N].upper_cursor,
                      kMouseLeftSingle | kMouseRepeat, kSprings[N].upper_event),
    mouse_event_child(kSprings[N].lower_area, kSprings[N].lower_cursor,
                      kMouseLeftSingle | kMouseRepeat, kSprings[N].lower_event),
    mouse_parent_end(),
    mouse_end(),
};

template <int N>
constexpr GaugeHeader spring_header() {
  return gauge_header({
      .name = kSprings[N].name,
      .width_mm = 40,
      .elements = chain<N>.list(),
      .mouse_areas = mouse_areas<N>,
  });
}

}  // namespace

constinit GaugeHeader cowl_flaps_switch_gauge = spring_header<0>();
constinit GaugeHeader flaps_switch_gauge = spring_header<1>();
