// Building blocks for declaring a gauge as constant data: one row per drawing
// element, one row per mouse area. Every element is placed directly before
// the one-entry list that holds it, and the chain of elements is linked while
// the static records are initialised, so no code runs at load.
#pragma once

#include <cmath>
#include <cstdint>
#include <iterator>
#include <span>

#include "elements/records.h"

inline constexpr uint32_t kGaugeVersion = 0x320;

struct Point {
  int32_t x = 0;
  int32_t y = 0;
};

// One calibration point: at `value` the needle points at background pixel
// (x, y).
constexpr NonlinearityEntry mark(double value, int32_t x, int32_t y) {
  return NonlinearityEntry{x, y, value, 0.0};
}

constexpr ModuleVar bound(int32_t token) {
  ModuleVar var{};
  var.token = token;
  return var;
}

constexpr ElementHeader element_head(ElementKind kind, int32_t bitmap, Point at,
                                     Point offset, uint32_t flags,
                                     const FailureEntry* failures) {
  ElementHeader head{};
  head.kind = kind;
  head.bitmap = bitmap;
  head.x = at.x;
  head.y = at.y;
  head.offset_x = offset.x;
  head.offset_y = offset.y;
  head.failures = failures;
  head.image_flags = flags;
  return head;
}

struct StaticImageRow {
  int32_t bitmap;
  Point at;
  uint32_t flags;
};

constexpr StaticImageElement static_image(StaticImageRow row) {
  StaticImageElement e{};
  e.head =
      element_head(kStaticImage, row.bitmap, row.at, {}, row.flags, nullptr);
  return e;
}

struct NeedleRow {
  int32_t bitmap;
  Point at;
  Point pivot;
  int32_t token = 0;
  std::span<NonlinearityEntry> table;
  ElementCallback callback = nullptr;
  uint32_t flags = 0;
  const FailureEntry* failures = nullptr;
  int32_t max_turn_rate_degrees = 0;
};

constexpr NeedleElement needle(NeedleRow row) {
  NeedleElement e{};
  e.head = element_head(kNeedle, row.bitmap, row.at, row.pivot, row.flags,
                        row.failures);
  e.source = bound(row.token);
  e.table = row.table.data();
  e.table_entries = static_cast<int32_t>(row.table.size());
  e.max_turn_rate_degrees = row.max_turn_rate_degrees;
  e.callback = row.callback;
  return e;
}

struct SliderRow {
  int32_t bitmap;
  Point at;
  int32_t x_token = 0;
  double x_scale = 0.0;
  int32_t y_token = 0;
  double y_scale = 0.0;
  ElementCallback y_callback = nullptr;
  uint32_t flags = 0;
  const FailureEntry* failures = nullptr;
};

constexpr SliderElement slider(SliderRow row) {
  SliderElement e{};
  e.head =
      element_head(kSlider, row.bitmap, row.at, {}, row.flags, row.failures);
  e.x_source = bound(row.x_token);
  e.x_scale = row.x_scale;
  e.y_source = bound(row.y_token);
  e.y_scale = row.y_scale;
  e.y_callback = row.y_callback;
  return e;
}

struct IconRow {
  int32_t bitmap;
  Point at;
  int32_t icons = 1;
  int32_t token = 0;
  double scale = 1.0;
  ElementCallback callback = nullptr;
  uint32_t flags = 0;
  const FailureEntry* failures = nullptr;
};

constexpr IconElement icon(IconRow row) {
  IconElement e{};
  e.head = element_head(kIcon, row.bitmap, row.at, {}, row.flags, row.failures);
  e.source = bound(row.token);
  e.scale = row.scale;
  e.icons = row.icons;
  e.callback = row.callback;
  return e;
}

struct MovingImageRow {
  int32_t bitmap;
  Point at;
  int32_t x_token = 0;
  double x_min = 0.0;
  double x_max = 0.0;
  int32_t y_token = 0;
  double y_min = 0.0;
  double y_max = 0.0;
  ElementCallback y_callback = nullptr;
  uint32_t flags = 0;
  const FailureEntry* failures = nullptr;
};

constexpr MovingImageElement moving_image(MovingImageRow row) {
  MovingImageElement e{};
  e.head = element_head(kMovingImage, row.bitmap, row.at, {}, row.flags,
                        row.failures);
  e.x_source = bound(row.x_token);
  e.x_min = row.x_min;
  e.x_max = row.x_max;
  e.y_source = bound(row.y_token);
  e.y_min = row.y_min;
  e.y_max = row.y_max;
  e.y_callback = row.y_callback;
  return e;
}

struct SpriteRow {
  int32_t bitmap;
  Point at;
  Point centre;
  float texture_scale_x = 1.0f;
  float texture_scale_y = 1.0f;
  int32_t x_token = 0;
  double x_scale = 0.0;
  int32_t y_token = 0;
  double y_scale = 0.0;
  int32_t rotation_token = 0;
  double rotation_scale = 0.0;
  ElementCallback y_callback = nullptr;
  ElementCallback rotation_callback = nullptr;
  uint32_t flags = 0;
  const FailureEntry* failures = nullptr;
};

constexpr SpriteElement sprite(SpriteRow row) {
  SpriteElement e{};
  e.head = element_head(kSprite, row.bitmap, row.at, row.centre, row.flags,
                        row.failures);
  e.x_source = bound(row.x_token);
  e.x_scale = row.x_scale;
  e.y_source = bound(row.y_token);
  e.y_scale = row.y_scale;
  e.rotation_source = bound(row.rotation_token);
  e.rotation_scale = row.rotation_scale;
  e.texture_scale_x = row.texture_scale_x;
  e.texture_scale_y = row.texture_scale_y;
  e.y_callback = row.y_callback;
  e.rotation_callback = row.rotation_callback;
  return e;
}

struct StringRow {
  Point at;
  int32_t box_width;
  int32_t box_height;
  int32_t tokens[3] = {0, 0, 0};
  uint32_t text_colour = 0;
  uint32_t background_colour = 0;
  uint32_t highlight_colour = 0;
  const char* font_face = "Arial";
  int32_t font_weight = 400;
  int32_t characters = 0;
  ElementCallback callback = nullptr;
  uint32_t flags = 0;
  const FailureEntry* failures = nullptr;
};

constexpr StringElement string_element(StringRow row) {
  StringElement e{};
  e.head = element_head(kString, -1, row.at, {}, row.flags, row.failures);
  for (int i = 0; i < 3; ++i) e.sources[i] = bound(row.tokens[i]);
  e.box_width = row.box_width;
  e.box_height = row.box_height;
  e.text_colour = row.text_colour;
  e.background_colour = row.background_colour;
  e.highlight_colour = row.highlight_colour;
  for (int i = 0; i < 31 && row.font_face[i] != '\0'; ++i)
    e.font_face[i] = row.font_face[i];
  e.font_weight = row.font_weight;
  e.character_set = 1;
  e.text_flags = 0x25;
  e.characters = row.characters;
  e.callback = row.callback;
  return e;
}

// An element followed by the one-entry list that holds it.
template <class Element>
struct Listed {
  Element element;
  ElementHeader* list[2];

  constexpr explicit Listed(const Element& e)
      : element(e), list{&element.head, nullptr} {}
};

// The element chain of one gauge, in drawing order: each element's next list
// is the list of the element after it, and every element links back to the
// gauge.
template <class... Elements>
struct ElementChain;

template <class Last>
struct ElementChain<Last> {
  Listed<Last> first;

  constexpr ElementChain(GaugeHeader* gauge, const Last& last) : first(last) {
    first.element.head.gauge = gauge;
  }
  constexpr ElementHeader** list() { return first.list; }
};

template <class First, class... Rest>
struct ElementChain<First, Rest...> {
  Listed<First> first;
  ElementChain<Rest...> rest;

  constexpr ElementChain(GaugeHeader* gauge, const First& head_element,
                         const Rest&... rest_elements)
      : first(head_element), rest(gauge, rest_elements...) {
    first.element.head.gauge = gauge;
    first.element.head.next = rest.list();
  }
  constexpr ElementHeader** list() { return first.list; }
};

template <class... Elements>
ElementChain(GaugeHeader*, Elements...) -> ElementChain<Elements...>;

struct GaugeRow {
  const char* name;
  uint32_t width_mm;
  ElementHeader** elements;
  MouseRect* mouse_areas;
  GaugeCallback callback = nullptr;
};

constexpr GaugeHeader gauge_header(GaugeRow row) {
  GaugeHeader g{};
  g.version = kGaugeVersion;
  g.name = row.name;
  g.elements = row.elements;
  g.default_width_mm = row.width_mm;
  g.mouse_areas = row.mouse_areas;
  g.callback = row.callback;
  return g;
}

// Mouse-area rows.

constexpr MouseRect mouse_rect(MouseRectKind kind, MouseBox box = {},
                               int32_t cursor = kCursorNone,
                               uint32_t help_id = 0, uint32_t flags = 0,
                               uint32_t event = 0) {
  MouseRect r{};
  r.kind = kind;
  r.box = box;
  r.cursor = cursor;
  r.help_id = help_id;
  r.mouse_flags = flags;
  r.event = event;
  r.callback = nullptr;
  r.args = nullptr;
  return r;
}

constexpr MouseRect mouse_parent(MouseBox box = {}, uint32_t help_id = 0) {
  return mouse_rect(kMouseParent, box, kCursorNone, help_id);
}

constexpr MouseRect mouse_parent_end() { return mouse_rect(kMouseEndParent); }

constexpr MouseRect mouse_end() { return mouse_rect(kMouseEnd); }

constexpr MouseRect mouse_help_tooltip(uint32_t help_id) {
  return mouse_rect(kMouseTooltip, {}, kCursorNone, help_id);
}

constexpr MouseRect mouse_text_tooltip(const char* text,
                                       TooltipArg* args = nullptr,
                                       uint32_t arg_count = 0) {
  MouseRect r = mouse_rect(kMouseTooltip, {}, kCursorNone, 0, 0, arg_count);
  r.text = text;
  r.args = args;
  return r;
}

constexpr MouseRect mouse_event_child(MouseBox box, int32_t cursor,
                                      uint32_t flags, uint32_t event) {
  return mouse_rect(kMouseChild, box, cursor, 0, flags, event);
}

constexpr MouseRect mouse_callback_child(MouseBox box, int32_t cursor,
                                         uint32_t flags,
                                         MouseCallback callback) {
  MouseRect r = mouse_rect(kMouseChild, box, cursor, 0, flags);
  r.callback = callback;
  return r;
}

constexpr TooltipArg text_arg(TooltipTextCallback callback) {
  TooltipArg a{};
  a.text = callback;
  return a;
}

constexpr TooltipArg number_arg(TooltipNumberCallback callback) {
  TooltipArg a{};
  a.number = callback;
  return a;
}

constexpr FailureEntry kFailuresEnd = {0, 0, 0};

// What a callback hands the simulator must be a number it can draw: a NaN
// or an infinity read from a variable gives the gauge's rest value instead.
inline double finite_or(double value, double rest) {
  return std::isfinite(value) ? value : rest;
}
