#include "tools/artwork/paint.h"

void colour(cairo_t* cr, Rgb c) {
  cairo_set_source_rgb(cr, c.r / 255.0, c.g / 255.0, c.b / 255.0);
}

void disc(cairo_t* cr, double x, double y, double radius, Rgb c) {
  cairo_new_path(cr);
  cairo_arc(cr, x, y, radius, 0, 2 * std::numbers::pi);
  colour(cr, c);
  cairo_fill(cr);
}

void ring(cairo_t* cr, double x, double y, double inner, double outer, Rgb c) {
  cairo_new_path(cr);
  cairo_arc(cr, x, y, outer, 0, 2 * std::numbers::pi);
  cairo_new_sub_path(cr);
  cairo_arc_negative(cr, x, y, inner, 2 * std::numbers::pi, 0);
  colour(cr, c);
  cairo_fill(cr);
}

void line(cairo_t* cr, double x0, double y0, double x1, double y1, double width,
          Rgb c, cairo_line_cap_t cap) {
  cairo_new_path(cr);
  cairo_move_to(cr, x0, y0);
  cairo_line_to(cr, x1, y1);
  cairo_set_line_width(cr, width);
  cairo_set_line_cap(cr, cap);
  colour(cr, c);
  cairo_stroke(cr);
}

void polygon(cairo_t* cr, std::initializer_list<std::pair<double, double>> at,
             Rgb c) {
  cairo_new_path(cr);
  for (const auto& [x, y] : at) cairo_line_to(cr, x, y);
  cairo_close_path(cr);
  colour(cr, c);
  cairo_fill(cr);
}

void text(cairo_t* cr, const char* words, double x, double y, double size,
          Rgb c, bool bold) {
  cairo_select_font_face(
      cr, kFont, CAIRO_FONT_SLANT_NORMAL,
      bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, size);
  cairo_text_extents_t extents;
  cairo_text_extents(cr, words, &extents);
  cairo_new_path(cr);
  cairo_move_to(cr, x - extents.x_bearing - extents.width / 2,
                y - extents.y_bearing - extents.height / 2);
  colour(cr, c);
  cairo_show_text(cr, words);
}

void tick(cairo_t* cr, const Dial& dial, double value, double inner,
          double outer, double width, Rgb c) {
  line(cr, dial.x(value, inner), dial.y(value, inner), dial.x(value, outer),
       dial.y(value, outer), width, c);
}

void number_at(cairo_t* cr, const Dial& dial, double value, double radius,
               const char* words, double size) {
  text(cr, words, dial.x(value, radius), dial.y(value, radius), size, kMarking);
}

void arc_band(cairo_t* cr, const Dial& dial, double from, double to,
              double inner, double outer, Rgb c) {
  constexpr int kSteps = 64;
  cairo_new_path(cr);
  for (int i = 0; i <= kSteps; ++i) {
    const double v = from + (to - from) * i / kSteps;
    cairo_line_to(cr, dial.x(v, outer), dial.y(v, outer));
  }
  for (int i = kSteps; i >= 0; --i) {
    const double v = from + (to - from) * i / kSteps;
    cairo_line_to(cr, dial.x(v, inner), dial.y(v, inner));
  }
  cairo_close_path(cr);
  colour(cr, c);
  cairo_fill(cr);
}

void screw(cairo_t* cr, double x, double y, double radius) {
  disc(cr, x, y, radius, kBezelEdge);
  disc(cr, x, y, radius - 1.5, kBezel);
  line(cr, x - radius + 2, y - radius / 3, x + radius - 2, y + radius / 3, 1.6,
       kFace);
}

void bezel(cairo_t* cr, double size, double face_radius, bool screws) {
  const double c = size / 2;
  ring(cr, c, c, face_radius, c, kBezel);
  ring(cr, c, c, face_radius, face_radius + 1.5, kBezelEdge);
  ring(cr, c, c, c - 1.5, c, kBezelEdge);
  if (!screws) return;
  const double inset = size * 0.055;
  for (double x : {inset, size - inset})
    for (double y : {inset, size - inset}) screw(cr, x, y, size * 0.025);
}

void knurled_knob(cairo_t* cr, double x, double y, double radius) {
  disc(cr, x, y, radius, kBezelEdge);
  disc(cr, x, y, radius - 2, kBezel);
  for (int i = 0; i < 36; ++i) {
    const double a = i * std::numbers::pi / 18;
    line(cr, x + (radius - 5) * std::cos(a), y + (radius - 5) * std::sin(a),
         x + (radius - 2) * std::cos(a), y + (radius - 2) * std::sin(a), 1.2,
         kBezelEdge);
  }
  disc(cr, x, y, radius * 0.55, kHub);
}

void draw_needle(cairo_t* cr, Pivot p, const NeedleShape& s) {
  const double w = s.width / 2;
  const double tip = p.x + s.length;
  polygon(cr,
          {{p.x, p.y - w},
           {tip - 3 * w, p.y - w},
           {tip, p.y},
           {tip - 3 * w, p.y + w},
           {p.x, p.y + w}},
          s.paint);
  if (s.tail > 0) {
    const double t = s.tail_width / 2;
    polygon(cr,
            {{p.x, p.y - w},
             {p.x - s.tail, p.y - t},
             {p.x - s.tail, p.y + t},
             {p.x, p.y + w}},
            s.paint);
  }
  if (s.hub > 0) {
    disc(cr, p.x, p.y, s.hub, kHub);
    disc(cr, p.x, p.y, s.hub * 0.35, kBezelEdge);
  }
}

void rounded_box(cairo_t* cr, double x, double y, double w, double h, double r,
                 Rgb c) {
  const double pi = std::numbers::pi;
  cairo_new_path(cr);
  cairo_arc(cr, x + r, y + r, r, pi, 1.5 * pi);
  cairo_arc(cr, x + w - r, y + r, r, 1.5 * pi, 2 * pi);
  cairo_arc(cr, x + w - r, y + h - r, r, 0, 0.5 * pi);
  cairo_arc(cr, x + r, y + h - r, r, 0.5 * pi, pi);
  cairo_close_path(cr);
  colour(cr, c);
  cairo_fill(cr);
}
