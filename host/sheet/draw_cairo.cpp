// Calibration plots and contact sheets drawn with cairo and written as PNG.
// Every size is bounded before a surface is made, and every text is made
// valid UTF-8 first: cairo stops drawing for good after one bad string.
#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <numbers>
#include <string>
#include <system_error>
#include <vector>

#include "host/sheet/sheet_data.h"

namespace {

constexpr int kMaxSide = 16384;
constexpr size_t kMaxTextBytes = 600;
constexpr char kFontFace[] = "sans-serif";

struct Colour {
  double r, g, b;
};
constexpr Colour kInk = {0.10, 0.10, 0.12};
constexpr Colour kGrey = {0.45, 0.45, 0.48};
constexpr Colour kGrid = {0.88, 0.88, 0.90};
constexpr Colour kFrame = {0.70, 0.70, 0.72};
constexpr Colour kCurve = {0.10, 0.32, 0.75};
constexpr Colour kMark = {0.05, 0.45, 0.20};
constexpr Colour kStop = {0.55, 0.35, 0.05};
constexpr Colour kRed = {0.90, 0.0, 0.0};
constexpr Colour kWhite = {1, 1, 1};
constexpr Colour kSheetBack = {0.93, 0.93, 0.94};

// Plot geometry, in pixels.
constexpr int kPlotWidth = 900;
constexpr int kPlotTitleHeight = 58;
constexpr int kPanelHeight = 300;
constexpr int kNoteLineHeight = 16;
constexpr int kPlotBottom = 12;
constexpr double kAxisLeft = 86;
constexpr double kAxisRight = 24;
constexpr double kAxisTop = 58;     // below the panel's heading and note
constexpr double kAxisBottom = 52;  // tick labels and the axis label
constexpr double kInset = 8;        // data kept off the frame

// Contact sheet geometry.
constexpr int kCellsPerRow = 6;
constexpr int kCellBox = 200;
constexpr int kCellPad = 12;
constexpr int kSmallImageWidth = 120;
constexpr int kLabelLines = 3;
constexpr int kLabelLineHeight = 14;
constexpr int kCellWidth = kCellBox + 2 * kCellPad;
constexpr int kCellHeight =
    kCellPad + kCellBox + 6 + kLabelLines * kLabelLineHeight + kCellPad;
constexpr int kSheetTitleHeight = 44;

class Canvas {
 public:
  Canvas(int width, int height)
      : surface_(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height)),
        cr_(cairo_create(surface_)) {
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_set_font_options(cr_, options);
    cairo_font_options_destroy(options);
    cairo_select_font_face(cr_, kFontFace, CAIRO_FONT_SLANT_NORMAL,
                           CAIRO_FONT_WEIGHT_NORMAL);
  }
  ~Canvas() {
    cairo_destroy(cr_);
    cairo_surface_destroy(surface_);
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  cairo_t* cr() const { return cr_; }
  cairo_surface_t* surface() const { return surface_; }

 private:
  cairo_surface_t* surface_;
  cairo_t* cr_;
};

void set_colour(cairo_t* cr, Colour c) {
  cairo_set_source_rgb(cr, c.r, c.g, c.b);
}

void set_font(cairo_t* cr, double size, bool bold = false) {
  cairo_select_font_face(
      cr, kFontFace, CAIRO_FONT_SLANT_NORMAL,
      bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, size);
}

// Valid UTF-8 without control characters, bounded in length; anything else
// becomes '?'.
std::string clean_text(const std::string& text) {
  std::string out;
  size_t i = 0;
  while (i < text.size() && out.size() < kMaxTextBytes) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    size_t length = 0;
    uint32_t code = 0;
    if (lead < 0x80) {
      length = 1;
      code = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      length = 2;
      code = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3;
      code = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4;
      code = lead & 0x07;
    }
    bool valid = length > 0 && i + length <= text.size();
    for (size_t k = 1; valid && k < length; ++k) {
      const unsigned char next = static_cast<unsigned char>(text[i + k]);
      valid = (next & 0xC0) == 0x80;
      code = (code << 6) | (next & 0x3F);
    }
    constexpr uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (valid)
      valid = code >= kLeast[length] && code <= 0x10FFFF &&
              !(code >= 0xD800 && code <= 0xDFFF) && code >= 0x20 &&
              code != 0x7F && !(code >= 0x80 && code < 0xA0);
    if (valid) {
      out.append(text, i, length);
      i += length;
    } else {
      out.push_back('?');
      i += 1;
    }
  }
  if (i < text.size()) out += "\u2026";
  return out;
}

double text_width(cairo_t* cr, const std::string& text) {
  cairo_text_extents_t extents;
  cairo_text_extents(cr, text.c_str(), &extents);
  return extents.x_advance;
}

// `text` cut at a character boundary, with an ellipsis, so it fits `width`
// at the current font.
std::string ellipsize(cairo_t* cr, const std::string& text, double width) {
  if (text_width(cr, text) <= width) return text;
  std::vector<size_t> cuts;  // where each character starts
  for (size_t k = 0; k < text.size(); ++k)
    if ((static_cast<unsigned char>(text[k]) & 0xC0) != 0x80) cuts.push_back(k);
  size_t low = 0, high = cuts.size();  // cuts[low] always fits
  while (high - low > 1) {
    const size_t middle = (low + high) / 2;
    if (text_width(cr, text.substr(0, cuts[middle]) + "\u2026") <= width)
      low = middle;
    else
      high = middle;
  }
  return text.substr(0, cuts.empty() ? 0 : cuts[low]) + "\u2026";
}

// Pieces of one line of text in their own colours.
struct Span {
  std::string text;
  Colour colour;
};

// Draws the spans from (x, baseline y), shrinking the font down to 3/4 of
// `size` to fit `width`, then cutting the last spans short.
void draw_spans(cairo_t* cr, double x, double y, std::vector<Span> spans,
                double size, double width, bool bold = false) {
  for (Span& span : spans) span.text = clean_text(span.text);
  auto total = [&] {
    double sum = 0;
    for (const Span& span : spans) sum += text_width(cr, span.text);
    return sum;
  };
  set_font(cr, size, bold);
  const double natural = total();
  if (natural > width)
    set_font(cr, std::max(size * 0.75, size * width / natural), bold);
  // Later spans keep their room: the first one gives way.
  std::vector<double> after(spans.size() + 1, 0);
  for (size_t k = spans.size(); k-- > 0;)
    after[k] = after[k + 1] + text_width(cr, spans[k].text);
  double left = width;
  for (size_t k = 0; k < spans.size(); ++k) {
    const Span& span = spans[k];
    if (left <= 0) break;
    double room = left - after[k + 1];
    if (room < left * 0.3) room = left;
    const std::string shown = ellipsize(cr, span.text, room);
    set_colour(cr, span.colour);
    cairo_move_to(cr, x, y);
    cairo_show_text(cr, shown.c_str());
    const double advance = text_width(cr, shown);
    x += advance;
    left -= advance;
  }
}

void draw_text(cairo_t* cr, double x, double y, const std::string& text,
               double size, double width, Colour colour = kInk,
               bool bold = false) {
  draw_spans(cr, x, y, {{text, colour}}, size, width, bold);
}

// Text centred on x.
void draw_centred(cairo_t* cr, double x, double y, const std::string& text,
                  double size, Colour colour = kInk) {
  set_font(cr, size);
  const std::string shown = clean_text(text);
  set_colour(cr, colour);
  cairo_move_to(cr, x - text_width(cr, shown) / 2, y);
  cairo_show_text(cr, shown.c_str());
}

// An axis's range, the nice step of its ticks and how to read a value on
// it. Halves keep spans near the largest doubles finite.
struct Axis {
  double lo = 0;
  double hi = 1;
  double step = 0.2;

  double fraction(double v) const {
    return (v * 0.5 - lo * 0.5) / (hi * 0.5 - lo * 0.5);
  }
};

double nice_step(double raw) {
  const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
  const double normal = raw / magnitude;
  double step = magnitude * (normal < 1.5   ? 1
                             : normal < 3.5 ? 2
                             : normal < 7.5 ? 5
                                            : 10);
  if (!std::isfinite(step) || step <= 0) step = raw;
  return step;
}

// The axis over the finite values given, padded when they are all equal and
// widened to whole steps.
Axis make_axis(const std::vector<double>& values) {
  double lo = std::numeric_limits<double>::infinity();
  double hi = -lo;
  for (double v : values) {
    if (!std::isfinite(v)) continue;
    lo = std::min(lo, v);
    hi = std::max(hi, v);
  }
  Axis axis;
  if (lo > hi) return axis;
  const double largest = std::max(std::fabs(lo), std::fabs(hi));
  if (hi * 0.5 - lo * 0.5 <= largest * 1e-12) {
    const double middle = lo * 0.5 + hi * 0.5;
    const double pad = std::max(std::fabs(middle) * 0.05, 1.0);
    lo = middle - pad;
    hi = middle + pad;
  }
  axis.step = nice_step((hi * 0.5 - lo * 0.5) / 3);
  const double wide_lo = std::floor(lo / axis.step) * axis.step;
  const double wide_hi = std::ceil(hi / axis.step) * axis.step;
  axis.lo = std::isfinite(wide_lo) ? wide_lo : lo;
  axis.hi = std::isfinite(wide_hi) ? wide_hi : hi;
  return axis;
}

// The ticks of an axis, at most a few dozen whatever the doubles do.
std::vector<double> ticks(const Axis& axis) {
  std::vector<double> out;
  const double first = std::ceil(axis.lo / axis.step);
  for (int k = 0; k < 40; ++k) {
    double t = (first + k) * axis.step;
    if (t > axis.hi + axis.step * 1e-9 || !std::isfinite(t)) break;
    if (std::fabs(t) < axis.step * 1e-9) t = 0;
    if (!out.empty() && t <= out.back()) continue;
    out.push_back(t);
  }
  return out;
}

std::string tick_label(double v, const Axis& axis) {
  const int step_power =
      static_cast<int>(std::floor(std::log10(axis.step) + 1e-9));
  const double largest = std::max(std::fabs(axis.lo), std::fabs(axis.hi));
  char text[64];
  if (largest < 1e6 && step_power >= -6) {
    std::snprintf(text, sizeof text, "%.*f", std::max(0, -step_power), v);
  } else {
    const int top_power =
        largest > 0 ? static_cast<int>(std::floor(std::log10(largest))) : 0;
    const int digits = std::clamp(top_power - step_power + 1, 1, 15);
    std::snprintf(text, sizeof text, "%.*g", digits, v);
  }
  return text;
}

std::string number(double v) {
  char text[64];
  std::snprintf(text, sizeof text, "%.6g", v);
  return text;
}

std::string with_unit(const std::string& name, const std::string& unit) {
  return unit.empty() ? name : name + " (" + unit + ")";
}

// Where a panel draws its data.
struct Frame {
  double left, top, right, bottom;
  Axis x, y;

  double px(double v) const {
    return left + kInset + x.fraction(v) * (right - left - 2 * kInset);
  }
  double py(double v) const {
    return bottom - kInset - y.fraction(v) * (bottom - top - 2 * kInset);
  }
};

void draw_axes(cairo_t* cr, const Frame& f, const Curve& curve) {
  cairo_set_line_width(cr, 1);
  for (double t : ticks(f.x)) {
    const double x = std::round(f.px(t)) + 0.5;
    set_colour(cr, kGrid);
    cairo_move_to(cr, x, f.top);
    cairo_line_to(cr, x, f.bottom);
    cairo_stroke(cr);
    set_colour(cr, kInk);
    cairo_move_to(cr, x, f.bottom);
    cairo_line_to(cr, x, f.bottom + 5);
    cairo_stroke(cr);
    draw_centred(cr, x, f.bottom + 18, tick_label(t, f.x), 11);
  }
  for (double t : ticks(f.y)) {
    const double y = std::round(f.py(t)) + 0.5;
    set_colour(cr, kGrid);
    cairo_move_to(cr, f.left, y);
    cairo_line_to(cr, f.right, y);
    cairo_stroke(cr);
    set_colour(cr, kInk);
    cairo_move_to(cr, f.left - 5, y);
    cairo_line_to(cr, f.left, y);
    cairo_stroke(cr);
    set_font(cr, 11);
    const std::string label = ellipsize(cr, tick_label(t, f.y), kAxisLeft - 28);
    cairo_move_to(cr, f.left - 8 - text_width(cr, label), y + 4);
    cairo_show_text(cr, label.c_str());
  }
  set_colour(cr, kInk);
  cairo_rectangle(cr, f.left + 0.5, f.top + 0.5, f.right - f.left - 1,
                  f.bottom - f.top - 1);
  cairo_stroke(cr);

  const std::string variable =
      curve.variable.empty() ? std::string("value") : curve.variable;
  const std::string result =
      curve.result_name.empty() ? std::string("result") : curve.result_name;
  draw_centred(cr, (f.left + f.right) / 2, f.bottom + 40,
               with_unit(variable, curve.unit), 12);
  cairo_save(cr);
  cairo_translate(cr, 16, (f.top + f.bottom) / 2);
  cairo_rotate(cr, -std::numbers::pi / 2);
  draw_centred(cr, 0, 0, with_unit(result, curve.result_unit), 12);
  cairo_restore(cr);
}

void draw_panel(cairo_t* cr, const Curve& curve, double top) {
  size_t departing = curve.departures.size();
  if (departing == 0)
    departing = static_cast<size_t>(
        std::count_if(curve.points.begin(), curve.points.end(),
                      [](const CurvePoint& p) { return p.departs; }));
  size_t finite = 0;
  for (const CurvePoint& p : curve.points)
    if (std::isfinite(p.value) && std::isfinite(p.result)) ++finite;

  std::string heading = "element " + std::to_string(curve.element) + " " +
                        curve.element_kind + ": " +
                        with_unit(curve.variable, curve.unit) + " \u2192 " +
                        with_unit(curve.result_name, curve.result_unit);
  if (!curve.slot.empty() && curve.slot != "value")
    heading += " [" + curve.slot + "]";
  if (curve.from_records) heading += ", from its records";
  std::vector<Span> spans = {{heading, kInk}};
  if (departing > 0)
    spans.push_back({"   " + std::to_string(departing) +
                         (departing == 1 ? " departure" : " departures") +
                         " beyond " + number(kDepartureTolerance) +
                         (curve.result_unit.empty() ? std::string()
                                                    : " " + curve.result_unit),
                     kRed});
  draw_spans(cr, 12, top + 20, spans, 14, kPlotWidth - 24, true);

  std::string note = curve.note;
  if (finite < curve.points.size()) {
    if (!note.empty()) note += "; ";
    note += std::to_string(curve.points.size() - finite) +
            " points not finite, left out";
  }
  if (!note.empty())
    draw_text(cr, 12, top + 38, note, 11, kPlotWidth - 24, kGrey);

  std::vector<double> xs, ys;
  for (const CurvePoint& p : curve.points) {
    if (!std::isfinite(p.value) || !std::isfinite(p.result)) continue;
    xs.push_back(p.value);
    ys.push_back(p.result);
  }
  for (const CalibrationMark& m : curve.marks) {
    xs.push_back(m.value);
    ys.push_back(m.result);
  }
  for (double s : curve.stops) xs.push_back(s);
  for (const Departure& d : curve.departures) {
    xs.push_back(d.value);
    ys.push_back(d.result);
    ys.push_back(d.expected);
  }
  Frame f = {.left = kAxisLeft,
             .top = top + kAxisTop,
             .right = kPlotWidth - kAxisRight,
             .bottom = top + kPanelHeight - kAxisBottom,
             .x = make_axis(xs),
             .y = make_axis(ys)};
  draw_axes(cr, f, curve);

  cairo_save(cr);
  cairo_rectangle(cr, f.left, f.top, f.right - f.left, f.bottom - f.top);
  cairo_clip(cr);

  // Stops: dashed, labelled at the frame's top, staggered so neighbours
  // stay legible.
  const double dashes[] = {5, 4};
  size_t stop_count = 0;
  for (double s : curve.stops) {
    if (!std::isfinite(s) || stop_count >= 64) continue;
    const double x = std::round(f.px(s)) + 0.5;
    set_colour(cr, kStop);
    cairo_set_line_width(cr, 1.2);
    cairo_set_dash(cr, dashes, 2, 0);
    cairo_move_to(cr, x, f.top);
    cairo_line_to(cr, x, f.bottom);
    cairo_stroke(cr);
    cairo_set_dash(cr, nullptr, 0, 0);
    set_font(cr, 10);
    const std::string label = "stop " + number(s);
    const double w = text_width(cr, label);
    const double lx = x + 3 + w > f.right ? x - 3 - w : x + 3;
    cairo_move_to(cr, lx, f.top + 13 + 12 * double(stop_count % 2));
    cairo_show_text(cr, label.c_str());
    ++stop_count;
  }

  // The curve, broken where a point is not finite.
  set_colour(cr, kCurve);
  cairo_set_line_width(cr, 1.6);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  bool drawing = false;
  for (const CurvePoint& p : curve.points) {
    if (!std::isfinite(p.value) || !std::isfinite(p.result)) {
      drawing = false;
      continue;
    }
    if (drawing)
      cairo_line_to(cr, f.px(p.value), f.py(p.result));
    else
      cairo_move_to(cr, f.px(p.value), f.py(p.result));
    drawing = true;
  }
  cairo_stroke(cr);
  // Sparse curves show their points, so one point, or several on one
  // spot, stay visible.
  if (finite <= 24)
    for (const CurvePoint& p : curve.points)
      if (std::isfinite(p.value) && std::isfinite(p.result)) {
        cairo_arc(cr, f.px(p.value), f.py(p.result), 2.5, 0,
                  2 * std::numbers::pi);
        cairo_fill(cr);
      }

  set_colour(cr, kMark);
  cairo_set_line_width(cr, 1.4);
  for (const CalibrationMark& m : curve.marks) {
    if (!std::isfinite(m.value) || !std::isfinite(m.result)) continue;
    cairo_new_sub_path(cr);
    cairo_arc(cr, f.px(m.value), f.py(m.result), 4.5, 0, 2 * std::numbers::pi);
    cairo_stroke(cr);
  }

  set_colour(cr, kRed);
  cairo_set_line_width(cr, 1.2);
  for (const Departure& d : curve.departures) {
    if (!std::isfinite(d.value) || !std::isfinite(d.result) ||
        !std::isfinite(d.expected))
      continue;
    cairo_move_to(cr, f.px(d.value), f.py(d.result));
    cairo_line_to(cr, f.px(d.value), f.py(d.expected));
    cairo_stroke(cr);
    cairo_arc(cr, f.px(d.value), f.py(d.result), 3.5, 0, 2 * std::numbers::pi);
    cairo_fill(cr);
  }
  for (const CurvePoint& p : curve.points) {
    if (!p.departs || !std::isfinite(p.value) || !std::isfinite(p.result))
      continue;
    cairo_arc(cr, f.px(p.value), f.py(p.result), 3.5, 0, 2 * std::numbers::pi);
    cairo_fill(cr);
  }
  cairo_restore(cr);

  if (finite == 0)
    draw_centred(cr, (f.left + f.right) / 2, (f.top + f.bottom) / 2,
                 curve.points.empty() ? "no points" : "no finite points", 14,
                 kGrey);
}

// A key to the marks, drawn once under the title; red only when something
// departs, so a clean plot holds no red at all.
void draw_key(cairo_t* cr, double y, bool departures) {
  double x = 14;
  set_font(cr, 11);
  auto label = [&](const char* text) {
    set_colour(cr, kInk);
    cairo_move_to(cr, x, y + 4);
    cairo_show_text(cr, text);
    x += text_width(cr, text) + 22;
  };
  set_colour(cr, kCurve);
  cairo_set_line_width(cr, 1.6);
  cairo_move_to(cr, x, y);
  cairo_line_to(cr, x + 22, y);
  cairo_stroke(cr);
  x += 28;
  label("result read back");
  set_colour(cr, kMark);
  cairo_set_line_width(cr, 1.4);
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + 5, y, 4.5, 0, 2 * std::numbers::pi);
  cairo_stroke(cr);
  x += 14;
  label("calibration point");
  const double dashes[] = {5, 4};
  set_colour(cr, kStop);
  cairo_set_line_width(cr, 1.2);
  cairo_set_dash(cr, dashes, 2, 0);
  cairo_move_to(cr, x + 4, y - 7);
  cairo_line_to(cr, x + 4, y + 7);
  cairo_stroke(cr);
  cairo_set_dash(cr, nullptr, 0, 0);
  x += 12;
  label("stop");
  if (!departures) return;
  set_colour(cr, kRed);
  cairo_arc(cr, x + 4, y, 3.5, 0, 2 * std::numbers::pi);
  cairo_fill(cr);
  x += 12;
  label("departure from the calibration line");
}

// Checks the drawing and writes it; a failed write leaves no file behind.
bool finish(const Canvas& canvas, const std::string& png_path,
            std::string& error) {
  cairo_surface_flush(canvas.surface());
  cairo_status_t status = cairo_status(canvas.cr());
  if (status != CAIRO_STATUS_SUCCESS) {
    error = "cannot draw " + png_path + ": " + cairo_status_to_string(status);
    return false;
  }
  status = cairo_surface_write_to_png(canvas.surface(), png_path.c_str());
  if (status != CAIRO_STATUS_SUCCESS) {
    std::error_code ignored;
    if (std::filesystem::is_regular_file(png_path, ignored))
      std::filesystem::remove(png_path, ignored);
    error = "cannot write " + png_path + ": " + cairo_status_to_string(status);
    return false;
  }
  return true;
}

bool surface_made(const Canvas& canvas, const std::string& png_path,
                  std::string& error) {
  const cairo_status_t status = cairo_surface_status(canvas.surface());
  if (status == CAIRO_STATUS_SUCCESS) return true;
  error = "cannot draw " + png_path + ": " + cairo_status_to_string(status);
  return false;
}

void fill_background(cairo_t* cr, Colour c) {
  set_colour(cr, c);
  cairo_paint(cr);
}

// `image` resampled to w x h as a cairo surface: box averages going down,
// whole pixels repeated going up, so big images never need a surface of
// their own size.
cairo_surface_t* scaled_surface(const Image& image, int w, int h) {
  cairo_surface_t* surface =
      cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) return surface;
  cairo_surface_flush(surface);
  unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  for (int ty = 0; ty < h; ++ty) {
    const int64_t y0 = int64_t(ty) * image.height / h;
    const int64_t y1 = std::max(y0 + 1, (int64_t(ty) + 1) * image.height / h);
    auto* row = reinterpret_cast<uint32_t*>(data + size_t(ty) * stride);
    for (int tx = 0; tx < w; ++tx) {
      const int64_t x0 = int64_t(tx) * image.width / w;
      const int64_t x1 = std::max(x0 + 1, (int64_t(tx) + 1) * image.width / w);
      uint64_t r = 0, g = 0, b = 0;
      for (int64_t y = y0; y < y1; ++y)
        for (int64_t x = x0; x < x1; ++x) {
          const uint8_t* p = image.at(int32_t(x), int32_t(y));
          r += p[0];
          g += p[1];
          b += p[2];
        }
      const uint64_t n = uint64_t((y1 - y0) * (x1 - x0));
      row[tx] =
          uint32_t(0xFF000000u | ((r / n) << 16) | ((g / n) << 8) | (b / n));
    }
  }
  cairo_surface_mark_dirty(surface);
  return surface;
}

// Splits a label into at most kLabelLines lines of `width`, on spaces where
// it can, the last one cut short with an ellipsis.
std::vector<std::string> wrap_label(cairo_t* cr, const std::string& text,
                                    double width) {
  std::vector<std::string> words;
  std::string word;
  for (char c : text) {
    if (c == ' ') {
      if (!word.empty()) words.push_back(word);
      word.clear();
    } else {
      word.push_back(c);
    }
  }
  if (!word.empty()) words.push_back(word);

  std::vector<std::string> lines;
  std::string line;
  size_t next = 0;
  while (next < words.size() && lines.size() < kLabelLines) {
    const std::string tried =
        line.empty() ? words[next] : line + " " + words[next];
    if (text_width(cr, tried) <= width) {
      line = tried;
      ++next;
      continue;
    }
    if (line.empty()) {
      // One word wider than the cell: as many characters as fit.
      std::string& long_word = words[next];
      size_t cut = 0;
      while (cut < long_word.size()) {
        size_t end = cut + 1;
        while (end < long_word.size() &&
               (static_cast<unsigned char>(long_word[end]) & 0xC0) == 0x80)
          ++end;
        if (cut > 0 && text_width(cr, long_word.substr(0, end)) > width) break;
        cut = end;
      }
      line = long_word.substr(0, cut);
      long_word.erase(0, cut);
      if (long_word.empty()) ++next;
    }
    lines.push_back(line);
    line.clear();
  }
  if (!line.empty() && lines.size() < kLabelLines) lines.push_back(line);
  if (next < words.size() && !lines.empty()) {
    std::string rest = lines.back();
    for (size_t k = next; k < words.size(); ++k) rest += " " + words[k];
    lines.back() = ellipsize(cr, rest, width);
  }
  return lines;
}

void draw_cell(cairo_t* cr, const SheetCell& cell, double left, double top) {
  const double box_x = left + kCellPad;
  const double box_y = top + kCellPad;
  const Image& image = cell.image;
  const bool has_pixels =
      image.width > 0 && image.height > 0 &&
      image.rgb.size() >= size_t(image.width) * size_t(image.height) * 3;
  cairo_set_line_width(cr, 1);
  if (!has_pixels) {
    set_colour(cr, kWhite);
    cairo_rectangle(cr, box_x, box_y, kCellBox, kCellBox);
    cairo_fill(cr);
    set_colour(cr, kFrame);
    cairo_rectangle(cr, box_x + 0.5, box_y + 0.5, kCellBox - 1, kCellBox - 1);
    cairo_stroke(cr);
    draw_centred(cr, box_x + kCellBox / 2.0, box_y + kCellBox / 2.0 + 4,
                 "no picture", 12, kGrey);
  } else {
    const double fit = std::min(double(kCellBox) / image.width,
                                double(kCellBox) / image.height);
    double scale = std::min(fit, 1.0);
    if (fit > 1 && image.width < kSmallImageWidth)
      scale = std::min(std::floor(fit),
                       std::ceil(double(kSmallImageWidth) / image.width));
    const int w =
        std::clamp(int(std::lround(image.width * scale)), 1, kCellBox);
    const int h =
        std::clamp(int(std::lround(image.height * scale)), 1, kCellBox);
    const double x = box_x + std::floor((kCellBox - w) / 2.0);
    const double y = box_y + std::floor((kCellBox - h) / 2.0);
    cairo_surface_t* picture = scaled_surface(image, w, h);
    if (cairo_surface_status(picture) == CAIRO_STATUS_SUCCESS) {
      cairo_set_source_surface(cr, picture, x, y);
      cairo_paint(cr);
    }
    cairo_surface_destroy(picture);
    set_colour(cr, kFrame);
    cairo_rectangle(cr, x - 0.5, y - 0.5, w + 1, h + 1);
    cairo_stroke(cr);
  }

  set_font(cr, 12);
  const double label_width = kCellWidth - 8;
  std::vector<std::string> lines =
      wrap_label(cr, clean_text(cell.label), label_width);
  if (lines.size() > 1) {
    set_font(cr, 11);
    lines = wrap_label(cr, clean_text(cell.label), label_width);
  }
  set_colour(cr, kInk);
  double baseline = box_y + kCellBox + 6 + 11;
  for (const std::string& line : lines) {
    cairo_move_to(cr, left + (kCellWidth - text_width(cr, line)) / 2, baseline);
    cairo_show_text(cr, line.c_str());
    baseline += kLabelLineHeight;
  }
}

// A small picture holding only a title and some lines.
bool draw_message(const std::string& title,
                  const std::vector<std::string>& lines,
                  const std::string& png_path, std::string& error) {
  const size_t shown = std::min<size_t>(lines.size(), 200);
  const int height =
      48 + int(shown) * kNoteLineHeight + (shown < lines.size() ? 16 : 0) + 12;
  Canvas canvas(640, height);
  if (!surface_made(canvas, png_path, error)) return false;
  cairo_t* cr = canvas.cr();
  fill_background(cr, kWhite);
  draw_text(cr, 14, 30, title, 18, 612, kInk, true);
  double y = 56;
  for (size_t k = 0; k < shown; ++k, y += kNoteLineHeight)
    draw_text(cr, 14, y, lines[k], 12, 612);
  if (shown < lines.size())
    draw_text(cr, 14, y,
              std::to_string(lines.size() - shown) + " more lines not shown",
              12, 612, kGrey);
  return finish(canvas, png_path, error);
}

}  // namespace

bool draw_plot(const GaugePlot& plot, const std::string& png_path,
               std::string& error) {
  const std::string title =
      (plot.gauge.empty() ? std::string("gauge") : plot.gauge) +
      ": calibration";
  if (plot.curves.empty()) {
    std::vector<std::string> lines = {"nothing to plot"};
    lines.insert(lines.end(), plot.notes.begin(), plot.notes.end());
    return draw_message(title, lines, png_path, error);
  }

  constexpr size_t kMaxPanels = 48;
  const size_t panels = std::min(plot.curves.size(), kMaxPanels);
  std::vector<std::string> notes;
  if (panels < plot.curves.size())
    notes.push_back(std::to_string(plot.curves.size() - panels) +
                    " more curves not drawn: the picture holds " +
                    std::to_string(kMaxPanels));
  notes.insert(notes.end(), plot.notes.begin(), plot.notes.end());
  const int used = kPlotTitleHeight + int(panels) * kPanelHeight + kPlotBottom;
  const size_t room = size_t((kMaxSide - used) / kNoteLineHeight) - 1;
  const size_t shown_notes = std::min(notes.size(), room);
  const bool notes_cut = shown_notes < notes.size();
  const int height =
      used + int(shown_notes + (notes_cut ? 1 : 0)) * kNoteLineHeight;

  Canvas canvas(kPlotWidth, height);
  if (!surface_made(canvas, png_path, error)) return false;
  cairo_t* cr = canvas.cr();
  fill_background(cr, kWhite);
  draw_text(cr, 12, 26, title, 18, kPlotWidth - 24, kInk, true);
  const bool departures = std::any_of(
      plot.curves.begin(), plot.curves.begin() + std::ptrdiff_t(panels),
      [](const Curve& c) {
        return !c.departures.empty() ||
               std::any_of(c.points.begin(), c.points.end(),
                           [](const CurvePoint& p) { return p.departs; });
      });
  draw_key(cr, 44, departures);
  for (size_t k = 0; k < panels; ++k) {
    const double top = kPlotTitleHeight + double(k) * kPanelHeight;
    set_colour(cr, kFrame);
    cairo_set_line_width(cr, 1);
    cairo_move_to(cr, 0, top + 0.5);
    cairo_line_to(cr, kPlotWidth, top + 0.5);
    cairo_stroke(cr);
    draw_panel(cr, plot.curves[k], top);
  }
  double y = used - kPlotBottom + 4;
  for (size_t k = 0; k < shown_notes; ++k, y += kNoteLineHeight)
    draw_text(cr, 12, y, notes[k], 12, kPlotWidth - 24);
  if (notes_cut)
    draw_text(
        cr, 12, y,
        std::to_string(notes.size() - shown_notes) + " more notes not shown",
        12, kPlotWidth - 24, kGrey);
  return finish(canvas, png_path, error);
}

bool draw_contact_sheet(const ContactSheet& sheet, const std::string& png_path,
                        std::string& error) {
  const std::string title =
      (sheet.gauge.empty() ? std::string("gauge") : sheet.gauge) +
      ": contact sheet";
  if (sheet.cells.empty())
    return draw_message(title, {"no states to show"}, png_path, error);

  constexpr size_t kMaxRows = (kMaxSide - kSheetTitleHeight - 40) / kCellHeight;
  constexpr size_t kMaxCells = kMaxRows * kCellsPerRow;
  const size_t cells = std::min(sheet.cells.size(), kMaxCells);
  const bool cut = cells < sheet.cells.size();
  const size_t columns = std::min<size_t>(cells, kCellsPerRow);
  const size_t rows = (cells + kCellsPerRow - 1) / kCellsPerRow;
  const int width = std::max(int(columns) * kCellWidth + 16, 480);
  const int height =
      kSheetTitleHeight + int(rows) * kCellHeight + (cut ? 24 : 0) + 8;

  Canvas canvas(width, height);
  if (!surface_made(canvas, png_path, error)) return false;
  cairo_t* cr = canvas.cr();
  fill_background(cr, kSheetBack);
  draw_text(cr, 12, 28, title, 18, width - 24, kInk, true);
  for (size_t k = 0; k < cells; ++k) {
    const double left = 8 + double(k % kCellsPerRow) * kCellWidth;
    const double top =
        kSheetTitleHeight + double(k / kCellsPerRow) * kCellHeight;
    draw_cell(cr, sheet.cells[k], left, top);
  }
  if (cut)
    draw_text(
        cr, 12, height - 14,
        std::to_string(sheet.cells.size() - cells) + " more states not drawn",
        12, width - 24, kGrey);
  return finish(canvas, png_path, error);
}

bool sheets_drawable(std::string& why) {
  why.clear();
  return true;
}

// Cairo and fontconfig keep their caches until they are told to let go;
// told at the end, a leak checker sees nothing left behind.
void release_drawing_caches() {
  cairo_debug_reset_static_data();
  FcFini();
}
