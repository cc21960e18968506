// Draws each bitmap of the module with cairo, from the drawings of every
// family of gauges.
#include "tools/artwork/drawings.h"

#include <cairo.h>

#include <algorithm>
#include <iterator>

#include "tools/artwork/paint.h"

namespace {

class Canvas {
 public:
  Canvas(int width, int height)
      : surface_(
            cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height)),
        cr_(cairo_create(surface_)) {
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_set_font_options(cr_, options);
    cairo_font_options_destroy(options);
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

using Family = std::span<const Drawing> (*)();

// clang-format off
constexpr Family kFamilies[] = {
    flight_instrument_drawings,
    switch_drawings,
    control_drawings,
    lever_drawings,
    panel_button_drawings,
    com_radio_drawings,
    nav_transponder_drawings,
    radio_adf_drawings,
    registration_drawings,
    breguet_timer_drawings,
    engine_dial_drawings,
    heading_instrument_drawings,
};
// clang-format on
static_assert(std::size(kFamilies) == 12);

const Drawing* find_drawing(int32_t id) {
  for (Family family : kFamilies)
    for (const Drawing& d : family())
      if (d.id == id) return &d;
  return nullptr;
}

}  // namespace

std::vector<int32_t> drawable_bitmaps() {
  std::vector<int32_t> ids;
  for (Family family : kFamilies)
    for (const Drawing& d : family()) ids.push_back(d.id);
  std::sort(ids.begin(), ids.end());
  return ids;
}

std::vector<Picture> draw_artwork(std::span<const ElementUse> uses,
                                  std::string& error) {
  const Context ctx{uses};
  std::vector<Picture> pictures;
  for (int32_t id : all_named_bitmaps(uses)) {
    const Drawing* drawing = find_drawing(id);
    if (drawing == nullptr) {
      error = "no drawing for bitmap " + std::to_string(id);
      return {};
    }
    Canvas canvas(drawing->width, drawing->height);
    drawing->draw(canvas.cr(), ctx, id);
    pictures.push_back(picture_from_surface(id, canvas.surface()));
  }
  return pictures;
}
