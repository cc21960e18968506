#include "tools/artwork/panel_background.h"

#include "tools/artwork/paint.h"

namespace {

constexpr Rgb kPanelPaint = {64, 66, 70};
constexpr Rgb kPanelShade = {44, 46, 50};
constexpr Rgb kGlareshield = {30, 30, 32};
constexpr Rgb kPanelEdge = {96, 98, 104};

}  // namespace

Picture draw_panel_background(int width, int height) {
  cairo_surface_t* surface =
      cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  cairo_t* cr = cairo_create(surface);

  // Crackle-painted sheet, a little lighter towards the pilot's eyes.
  cairo_pattern_t* paint = cairo_pattern_create_linear(0, 0, 0, height);
  cairo_pattern_add_color_stop_rgb(paint, 0, kPanelPaint.r / 255.0,
                                   kPanelPaint.g / 255.0,
                                   kPanelPaint.b / 255.0);
  cairo_pattern_add_color_stop_rgb(paint, 1, kPanelShade.r / 255.0,
                                   kPanelShade.g / 255.0,
                                   kPanelShade.b / 255.0);
  cairo_rectangle(cr, 0, 0, width, height);
  cairo_set_source(cr, paint);
  cairo_fill(cr);
  cairo_pattern_destroy(paint);

  // The glareshield's padded lip along the top, and the sheet's edges.
  cairo_rectangle(cr, 0, 0, width, 10);
  colour(cr, kGlareshield);
  cairo_fill(cr);
  line(cr, 0, 10.5, width, 10.5, 1, kPanelEdge);
  cairo_rectangle(cr, 1.5, 12.5, width - 3, height - 14);
  cairo_set_line_width(cr, 1);
  colour(cr, kPanelShade);
  cairo_stroke(cr);
  for (double x : {8.0, width - 8.0})
    for (double y : {20.0, height - 8.0}) screw(cr, x, y, 4);

  Picture picture = picture_from_surface(0, surface);
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
  return picture;
}
