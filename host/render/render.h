// Drawing the panel's windows the way the simulator would, from the gauges'
// records and the values the host last gave their elements: statics,
// needles turned about their pivots, icons, sliders, moving images behind
// their windows, sprites, strings; lit by day or night.
#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host/core/host.h"
#include "host/panel_file/panel_config.h"
#include "host/render/bitmaps.h"
#include "host/render/image.h"

// A range of window pixels, inclusive; empty when first > last.
struct PixelRect {
  int32_t x0 = 0, y0 = 0, x1 = -1, y1 = -1;
  bool empty() const { return x0 > x1 || y0 > y1; }
  bool operator==(const PixelRect&) const = default;
};

inline constexpr PixelRect kEverywhere{INT32_MIN, INT32_MIN, INT32_MAX,
                                       INT32_MAX};

inline PixelRect intersect(const PixelRect& a, const PixelRect& b) {
  return {std::max(a.x0, b.x0), std::max(a.y0, b.y0), std::min(a.x1, b.x1),
          std::min(a.y1, b.y1)};
}

struct Lighting {
  bool night = false;
  bool panel_lights = false;  // aircraft variable 10
  PanelColors colors = {};    // the panel's tints; defaults where missing
};

// What an element of these image flags is multiplied by under `lighting`.
Rgb element_tint(uint32_t image_flags, const Lighting& lighting);

// Where a gauge's background lands on its window, in window pixels.
struct GaugeFrame {
  double x = 0, y = 0;
  double scale_x = 1, scale_y = 1;  // window pixels per background pixel
  int32_t background_width = 0, background_height = 0;
};

// The placement's box over the background's size. A missing height follows
// the background's aspect, a missing width the gauge's default width.
// Nullopt for a box of no usable size.
std::optional<GaugeFrame> gauge_frame(const GaugePlacement& placement,
                                      int32_t background_width,
                                      int32_t background_height,
                                      uint32_t default_width);

// Where an installed gauge of the module lands on its window: its
// background's frame, or without a background one window pixel per pixel
// of its box, as it is drawn. Nullopt when it is not drawn at all.
std::optional<GaugeFrame> placed_gauge_frame(const GaugeInstance& gauge,
                                             BitmapSource& bitmaps);

// The size a placement of a gauge takes on its window: one of this module's
// follows its background's proportions; another module's, unknown here, its
// own numbers (a missing height taken as the width).
std::pair<int32_t, int32_t> placed_gauge_box(const GaugePlacement& placement,
                                             const LoadedModule& module,
                                             BitmapSource& bitmaps);

// resolve_window_sizes with the renderer's readers: background files and
// the module's gauges.
void resolve_panel_window_sizes(PanelConfig& panel, const LoadedModule& module,
                                BitmapSource& bitmaps);

// Scaled bitmaps that are not turned, as last resampled for a window, kept
// while their mapping stays the same (render.cpp). The images they were
// taken from must outlive it.
struct LayerCache;

// Draws an installed gauge's element chain into `picture`, clipped to the
// gauge's background. What cannot be drawn (a bitmap the module does not
// hold) is added to `notes` and the rest is drawn. With a cache, layers
// drawn the same way frame after frame are resampled once. Only pixels
// `within` are written, each as drawing all of it would write it.
void draw_gauge(Image& picture, const GaugeInstance& gauge,
                BitmapSource& bitmaps, const Lighting& lighting,
                std::vector<std::string>& notes, LayerCache* cache = nullptr,
                const PixelRect& within = kEverywhere);

// An outlined box with the gauge's name, for a gauge of another module.
void draw_placeholder(Image& picture, const GaugePlacement& placement,
                      const PixelRect& within = kEverywhere);

struct WindowPicture {
  Image image;
  std::vector<std::string> notes;
};

// What decided a window's pixels when WindowRenderer::changes() last looked
// at it: its size and light, and each placement's gauge as drawn (place,
// element records, values). Empty: never looked at.
struct WindowInputs {
  std::vector<uint8_t> window;
  std::vector<std::vector<uint8_t>> placements;
};

// Where a window looks different from when its inputs were taken.
struct WindowChanges {
  bool whole = false;  // all of it: first, or its size or light changed
  std::vector<PixelRect> areas;  // else these boxes of gauges, maybe none
};

class WindowRenderer {
 public:
  explicit WindowRenderer(std::unique_ptr<BitmapSource> bitmaps)
      : bitmaps_(std::move(bitmaps)) {}

  // The panel's window number `window` (its index in the panel) as it looks
  // after the latest frame.
  WindowPicture render(Host& host, size_t window, bool night);
  // Compares the window now with `inputs` and takes its inputs anew.
  WindowChanges changes(Host& host, size_t window, bool night,
                        WindowInputs& inputs);
  // Draws the areas of `picture`, a picture render() drew of the window
  // before, again: each pixel in them as render() would draw it now.
  void draw_areas(Host& host, size_t window, bool night, Image& picture,
                  const std::vector<PixelRect>& areas);
  // The width and height render() gives the panel's window, 0 x 0 when it
  // has no size to draw.
  std::pair<int32_t, int32_t> picture_size(const PanelWindow& window);
  // placed_gauge_frame with this renderer's bitmaps.
  std::optional<GaugeFrame> gauge_frame_of(const GaugeInstance& gauge) {
    return placed_gauge_frame(gauge, bitmaps_of(gauge));
  }
  // Ours, or the bitmaps of the other module holding the gauge.
  BitmapSource& bitmaps_of(const GaugeInstance& gauge);

 private:
  const Image* background(const PanelWindow& window);
  // The window's size to draw, 0 x 0 when it has none.
  std::pair<int32_t, int32_t> size_of(const PanelWindow& window,
                                      const Image* backdrop) const;
  void paint(Host& host, const PanelWindow& window, const Lighting& lighting,
             Image& picture, const PixelRect& within,
             std::vector<std::string>& notes);
  // The pixels a placement's drawing may touch.
  PixelRect placement_area(const GaugePlacement& placement,
                           const GaugeInstance* gauge, const Image& picture);

  std::unique_ptr<BitmapSource> bitmaps_;
  // By module handle, made when first wanted.
  std::map<const void*, std::unique_ptr<BitmapSource>> other_bitmaps_;
  std::map<std::string, std::optional<Image>> backgrounds_;
  std::shared_ptr<LayerCache> layers_;  // of bitmaps_' images
};

// False with the reason in `error` when the file cannot be written.
bool write_png(const Image& image, const std::string& path, std::string& error);
