// The renderer: each element kind becomes an affine map from its bitmap to
// the window, and every window pixel it may touch samples the bitmap back
// through the inverse map. All arithmetic is plain IEEE double in a fixed
// order (the trigonometry too), so both builds draw the same pixels.
#include "host/render/render.h"

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cmath>
#include <cstring>
#include <set>
#include <tuple>

#include "host/render/stb_files.h"
#include "host/render/text.h"

namespace {

constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kDefaultNightTint{96, 96, 120};
constexpr Rgb kDefaultLuminousTint{255, 214, 170};
// Night without the panel lights: what little the instruments still show.
constexpr Rgb kDarkTint{22, 22, 30};
constexpr Rgb kPlaceholderColour{200, 200, 200};
constexpr double kPlaceholderTextHeight = 12;
constexpr int32_t kDefaultPlaceholderSize = 100;
// Needle bitmaps are drawn pointing right from their pivot (along +x); a
// needle at angle a (degrees clockwise from up) is its bitmap turned
// clockwise by a - 90.
constexpr double kNeedleBitmapDirectionDegrees = 90;
constexpr double kPi = 3.14159265358979323846;

// Sine and cosine of an angle in degrees from + and * alone: the libraries
// of the two builds round their own functions differently. Exact at
// multiples of 90 degrees.
void sin_cos_degrees(double degrees, double& sine, double& cosine) {
  if (!std::isfinite(degrees)) {
    sine = 0, cosine = 1;
    return;
  }
  double d = std::fmod(degrees, 360.0);
  if (d < 0) d += 360.0;
  const double quarter = std::floor(d / 90.0 + 0.5);
  const double r = (d - quarter * 90.0) * (kPi / 180.0);  // |r| <= pi/4
  const double r2 = r * r;
  const double s =
      r *
      (1 -
       r2 / 6 *
           (1 -
            r2 / 20 *
                (1 - r2 / 42 *
                         (1 - r2 / 72 *
                                  (1 - r2 / 110 *
                                           (1 - r2 / 156 * (1 - r2 / 210)))))));
  const double c =
      1 -
      r2 / 2 *
          (1 -
           r2 / 12 *
               (1 -
                r2 / 30 *
                    (1 - r2 / 56 *
                             (1 - r2 / 90 * (1 - r2 / 132 * (1 - r2 / 182))))));
  switch (int(quarter) & 3) {
    case 0:
      sine = s, cosine = c;
      break;
    case 1:
      sine = c, cosine = -s;
      break;
    case 2:
      sine = -s, cosine = -c;
      break;
    default:
      sine = -c, cosine = s;
      break;
  }
}

// out = (xx * x + xy * y + x0, yx * x + yy * y + y0)
struct Affine {
  double xx = 1, xy = 0, x0 = 0;
  double yx = 0, yy = 1, y0 = 0;

  double x(double px, double py) const { return xx * px + xy * py + x0; }
  double y(double px, double py) const { return yx * px + yy * py + y0; }
};

Affine translation(double dx, double dy) { return {1, 0, dx, 0, 1, dy}; }

// `outer` after `inner`.
Affine compose(const Affine& outer, const Affine& inner) {
  return {outer.xx * inner.xx + outer.xy * inner.yx,
          outer.xx * inner.xy + outer.xy * inner.yy,
          outer.xx * inner.x0 + outer.xy * inner.y0 + outer.x0,
          outer.yx * inner.xx + outer.yy * inner.yx,
          outer.yx * inner.xy + outer.yy * inner.yy,
          outer.yx * inner.x0 + outer.yy * inner.y0 + outer.y0};
}

bool finite(const Affine& a) {
  return std::isfinite(a.xx) && std::isfinite(a.xy) && std::isfinite(a.x0) &&
         std::isfinite(a.yx) && std::isfinite(a.yy) && std::isfinite(a.y0);
}

std::optional<Affine> inverse(const Affine& a) {
  const double det = a.xx * a.yy - a.xy * a.yx;
  if (!finite(a) || !std::isfinite(det) || det == 0) return std::nullopt;
  Affine r{a.yy / det, -a.xy / det, 0, -a.yx / det, a.xx / det, 0};
  r.x0 = -(r.xx * a.x0 + r.xy * a.y0);
  r.y0 = -(r.yx * a.x0 + r.yy * a.y0);
  if (!finite(r)) return std::nullopt;
  return r;
}

// A window coordinate made safe to convert: clamped just outside the image.
int32_t clamp_pixel(double v, int32_t size) {
  if (std::isnan(v)) return -1;
  return int32_t(std::clamp(v, -1.0, double(size)));
}

// Pixels whose centres lie in [left, right) x [top, bottom).
PixelRect pixels_within(double left, double top, double right, double bottom,
                        const Image& picture) {
  return {clamp_pixel(std::ceil(left - 0.5), picture.width),
          clamp_pixel(std::ceil(top - 0.5), picture.height),
          clamp_pixel(std::ceil(right - 0.5) - 1, picture.width),
          clamp_pixel(std::ceil(bottom - 0.5) - 1, picture.height)};
}

PixelRect whole(const Image& picture) {
  return {0, 0, picture.width - 1, picture.height - 1};
}

// The window pixels an image of this size can reach through `to_window`,
// with a pixel's margin for smooth edges.
PixelRect reach(const Affine& to_window, double width, double height,
                const Image& picture) {
  const double xs[4] = {to_window.x(0, 0), to_window.x(width, 0),
                        to_window.x(0, height), to_window.x(width, height)};
  const double ys[4] = {to_window.y(0, 0), to_window.y(width, 0),
                        to_window.y(0, height), to_window.y(width, height)};
  return pixels_within(*std::min_element(xs, xs + 4) - 1,
                       *std::min_element(ys, ys + 4) - 1,
                       *std::max_element(xs, xs + 4) + 1,
                       *std::max_element(ys, ys + 4) + 1, picture);
}

bool is_key(const uint8_t* p) { return p[0] == 0 && p[1] == 0 && p[2] == 0; }

// std::floor without the library call the baseline x86 instruction sets
// need for it: the same result, several times faster in the pixel loops.
double fast_floor(double v) {
  if (!(v > -2e9 && v < 2e9)) return std::floor(v);
  const double whole = double(int64_t(v));
  return whole > v ? whole - 1 : whole;
}

struct Sample {
  double rgb[3] = {0, 0, 0};
  double alpha = 0;
};

Sample sample_nearest(const Image& image, double x, double y, bool keyed) {
  Sample s;
  const double fx = fast_floor(x), fy = fast_floor(y);
  if (!(fx >= 0 && fy >= 0 && fx < image.width && fy < image.height)) return s;
  const uint8_t* p = image.at(int32_t(fx), int32_t(fy));
  if (keyed && is_key(p)) return s;
  s.rgb[0] = p[0], s.rgb[1] = p[1], s.rgb[2] = p[2];
  s.alpha = 1;
  return s;
}

// Rounds to the nearest byte: below 1 the floor and the truncation agree on
// 0, above it they agree, so no floor is needed.
uint8_t to_byte(double v) {
  const double r = v + 0.5;
  if (!(r >= 1)) return 0;
  return r >= 255 ? 255 : uint8_t(int32_t(r));
}

void blend(uint8_t* pixel, const double rgb[3], double alpha, Rgb tint) {
  const double tints[3] = {double(tint.red), double(tint.green),
                           double(tint.blue)};
  for (int c = 0; c < 3; ++c) {
    const double lit = rgb[c] * tints[c] / 255.0;
    pixel[c] = to_byte(pixel[c] + (lit - pixel[c]) * alpha);
  }
}

// A bitmap mapped onto the window.
struct Layer {
  const Image* image = nullptr;
  Affine to_window;  // bitmap pixels to window pixels
  bool keyed = false;
  bool smooth = false;
  // Only where this bitmap, fixed on the background, is not the key colour.
  const Image* window = nullptr;
  Affine to_window_bitmap;  // window pixels to the window bitmap's pixels
  LayerCache* cache = nullptr;
};

// What blend() makes of an opaque texel under a tint, by channel and value:
// the same bytes, looked up instead of divided for every pixel.
struct TintTable {
  uint8_t lit[3][256];
  bool identity = true;  // white light: every byte stays as it is

  explicit TintTable(Rgb tint) {
    const double tints[3] = {double(tint.red), double(tint.green),
                             double(tint.blue)};
    for (int c = 0; c < 3; ++c)
      for (int v = 0; v < 256; ++v) {
        lit[c][v] = to_byte(v * tints[c] / 255.0);
        identity = identity && lit[c][v] == v;
      }
  }
};

// The table of a tint, made once: a frame draws a hundred layers under the
// same one or two tints.
const TintTable& tint_table(Rgb tint) {
  static std::map<uint32_t, TintTable> tables;
  const uint32_t key = uint32_t(tint.red) << 16 | uint32_t(tint.green) << 8 |
                       uint32_t(tint.blue);
  auto found = tables.find(key);
  if (found == tables.end()) found = tables.emplace(key, TintTable(tint)).first;
  return found->second;
}

int64_t floor_div(int64_t a, int64_t b) {
  const int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// Narrows [first, last] to the steps k at which the 32.32 fixed-point
// coordinate start + k * step lies on one of `size` texels: the same texels
// the per-pixel test would keep, found once a row.
void keep_on_texels(int64_t start, int64_t step, int32_t size, int64_t& first,
                    int64_t& last) {
  const int64_t low = 0, high = (int64_t(size) << 32) - 1;
  if (step == 0) {
    if (start < low || start > high) last = first - 1;
    return;
  }
  const int64_t a = step > 0 ? low - start : high - start;
  const int64_t b = step > 0 ? high - start : low - start;
  first = std::max(first, -floor_div(-a, step));
  last = std::min(last, floor_div(b, step));
}

// A window pixel's column (or row) in a bitmap mapped without turning: -1
// off the bitmap. Along a row of the window only x changes, so these are
// worked out once a layer (columns) or once a row.
int32_t texel_column(const Affine& map, double cx, double cy, int32_t width) {
  const double f = fast_floor(map.x(cx, cy));
  return f >= 0 && f < width ? int32_t(f) : -1;
}

int32_t texel_row(const Affine& map, double cx, double cy, int32_t height) {
  const double f = fast_floor(map.y(cx, cy));
  return f >= 0 && f < height ? int32_t(f) : -1;
}

// The pixels [first, last] of a row of the window, at centre height cy,
// outside which `back` maps every centre off [lo, hi) in x and y: there
// bilinear sampling finds no texel. Two pixels of margin keep rounding on
// the safe side; the pixels inside are still tested one by one.
void keep_near_texels(const Affine& back, double cy, double width,
                      double height, int32_t& first, int32_t& last) {
  const auto narrow = [&](double along, double base, double size) {
    const double lo = -0.5, hi = size + 0.5;
    if (std::abs(along) < 1e-9) {
      if (!(base >= lo - 1e-3 && base <= hi + 1e-3)) last = first - 1;
      return;
    }
    double a = (lo - base) / along, b = (hi - base) / along;
    if (a > b) std::swap(a, b);
    // Centres cx in [a, b]: pixels x = cx - 0.5.
    if (!(a - 2.5 < double(last)) || !(b + 1.5 > double(first))) {
      last = first - 1;
      return;
    }
    if (a - 2.5 > double(first)) first = int32_t(a - 2.5);
    if (b + 1.5 < double(last)) last = int32_t(b + 1.5);
  };
  narrow(back.xx, back.xy * cy + back.x0, width);
  if (first <= last) narrow(back.yx, back.yy * cy + back.y0, height);
}

// A smooth layer's pixel: bilinear between the four nearest texel centres,
// blended under `tint` as blend() does. Texels outside the image and key
// texels weigh nothing, so edges fade instead of turning black; the four
// are read at once when they all lie on the bitmap.
inline void draw_smooth_pixel(uint8_t* out, const Image& image, double bx,
                              double by, bool keyed, const double tints[3]) {
  const double fx = bx - 0.5, fy = by - 0.5;
  const double left = fast_floor(fx), top = fast_floor(fy);
  if (!(left >= -1 && top >= -1 && left < image.width && top < image.height))
    return;
  const int32_t column = int32_t(left), row = int32_t(top);
  const double wx = fx - left, wy = fy - top;
  const double weights[4] = {(1 - wx) * (1 - wy), wx * (1 - wy), (1 - wx) * wy,
                             wx * wy};
  double sum[3], alpha;
  if (column >= 0 && row >= 0 && column + 1 < image.width &&
      row + 1 < image.height) {
    const uint8_t* p0 = image.at(column, row);
    const uint8_t* p2 = p0 + size_t(image.width) * 3;
    const uint8_t* p[4] = {p0, p0 + 3, p2, p2 + 3};
    bool open[4] = {true, true, true, true};
    if (keyed) {
      for (int i = 0; i < 4; ++i) open[i] = !is_key(p[i]);
      if (!(open[0] || open[1] || open[2] || open[3])) return;
    }
    if (open[0] && open[1] && open[2] && open[3]) {
      for (int c = 0; c < 3; ++c)
        sum[c] = weights[0] * p[0][c] + weights[1] * p[1][c] +
                 weights[2] * p[2][c] + weights[3] * p[3][c];
      alpha = weights[0] + weights[1] + weights[2] + weights[3];
    } else {
      sum[0] = sum[1] = sum[2] = 0, alpha = 0;
      for (int i = 0; i < 4; ++i) {
        if (!open[i]) continue;
        for (int c = 0; c < 3; ++c) sum[c] += weights[i] * p[i][c];
        alpha += weights[i];
      }
    }
  } else {
    sum[0] = sum[1] = sum[2] = 0, alpha = 0;
    for (int i = 0; i < 4; ++i) {
      const int32_t tx = column + (i & 1), ty = row + (i >> 1);
      if (tx < 0 || ty < 0 || tx >= image.width || ty >= image.height) continue;
      const uint8_t* t = image.at(tx, ty);
      if (keyed && is_key(t)) continue;
      for (int c = 0; c < 3; ++c) sum[c] += weights[i] * t[c];
      alpha += weights[i];
    }
  }
  if (!(alpha > 0)) return;
  const double share = 1 / alpha;
  for (int c = 0; c < 3; ++c) {
    const double lit = sum[c] * share * tints[c] / 255.0;
    out[c] = to_byte(out[c] + (lit - out[c]) * alpha);
  }
}

}  // namespace

// A gauge's bitmaps are drawn two to three times smaller than they are, so
// sampling them reads texels scattered over far more memory than the
// window: a layer drawn the same way as before is copied from what it made
// then, runs of opaque pixels row by row.
struct LayerCache {
  struct Key {
    const Image* image;
    std::array<uint64_t, 6> map;  // the bits of the inverse mapping
    int32_t area[4];
    bool keyed;
    uint8_t tint[3];
    auto tied() const {
      return std::tie(image, map, area[0], area[1], area[2], area[3], keyed,
                      tint[0], tint[1], tint[2]);
    }
    bool operator<(const Key& other) const { return tied() < other.tied(); }
  };
  struct Run {
    int32_t x, y, length;
    size_t offset;  // into bytes
  };
  struct Layer {
    int sightings = 0;
    bool cacheable = true;
    std::vector<Run> runs;
    std::vector<uint8_t> bytes;
  };
  // Sliders and the like move every frame: a layer is kept once it is seen
  // a second time, and the whole cache goes when it grows past these.
  static constexpr size_t kMaxLayers = 2048;
  static constexpr size_t kMaxBytes = size_t(64) << 20;
  std::map<Key, Layer> layers;
  size_t bytes = 0;
};

namespace {

// Only the pixels `within` are written, each exactly as drawing the
// whole of the layer's area would write it: rows of texels are stepped from
// where the area starts, whatever part of it is drawn.
void draw_layer(Image& picture, const Layer& layer, const PixelRect& clip,
                Rgb tint, const PixelRect& within = kEverywhere) {
  const std::optional<Affine> back = inverse(layer.to_window);
  if (!back || layer.image == nullptr) return;
  PixelRect area = intersect(clip, reach(layer.to_window, layer.image->width,
                                         layer.image->height, picture));
  if (layer.window != nullptr) {
    const std::optional<Affine> window_out = inverse(layer.to_window_bitmap);
    if (!window_out) return;
    area = intersect(area, reach(*window_out, layer.window->width,
                                 layer.window->height, picture));
  }
  const PixelRect drawn = intersect(area, within);
  if (drawn.empty()) return;
  const TintTable& table = tint_table(tint);
  const Image& image = *layer.image;
  const bool whole_pixel_shift =
      back->xx == 1 && back->xy == 0 && back->yx == 0 && back->yy == 1 &&
      back->x0 == std::floor(back->x0) && back->y0 == std::floor(back->y0) &&
      std::abs(back->x0) < 1e9 && std::abs(back->y0) < 1e9;
  if (whole_pixel_shift && !layer.smooth && layer.window == nullptr) {
    // A bitmap shifted by whole pixels (window backgrounds, gauges drawn at
    // their own size): texels map one to one, row by row.
    const int64_t dx = int64_t(back->x0), dy = int64_t(back->y0);
    for (int32_t y = drawn.y0; y <= drawn.y1; ++y) {
      const int64_t ty = y + dy;
      if (ty < 0 || ty >= image.height) continue;
      const int64_t first = std::max<int64_t>(drawn.x0, -dx);
      const int64_t last = std::min<int64_t>(drawn.x1, image.width - 1 - dx);
      if (first > last) continue;
      uint8_t* out = picture.at(int32_t(first), y);
      const uint8_t* texel = image.at(int32_t(first + dx), int32_t(ty));
      if (!layer.keyed && table.identity) {
        std::memcpy(out, texel, size_t(last - first + 1) * 3);
        continue;
      }
      for (int64_t x = first; x <= last; ++x, out += 3, texel += 3) {
        if (layer.keyed && is_key(texel)) continue;
        out[0] = table.lit[0][texel[0]];
        out[1] = table.lit[1][texel[1]];
        out[2] = table.lit[2][texel[2]];
      }
    }
    return;
  }
  // Nearest sampling steps along each row in 32.32 fixed point, exact to a
  // few billionths of a texel, where the mapping's numbers allow it.
  constexpr double kOne = 4294967296.0;
  const double limit = 1e9;
  const bool fixed_point = !layer.smooth && layer.window == nullptr &&
                           std::abs(back->xx) < 1e3 && std::abs(back->yx) < 1e3;
  if (layer.cache != nullptr && fixed_point && back->xy == 0 && back->yx == 0) {
    LayerCache::Key key{.image = &image,
                        .map = {std::bit_cast<uint64_t>(back->xx),
                                std::bit_cast<uint64_t>(back->xy),
                                std::bit_cast<uint64_t>(back->x0),
                                std::bit_cast<uint64_t>(back->yx),
                                std::bit_cast<uint64_t>(back->yy),
                                std::bit_cast<uint64_t>(back->y0)},
                        .area = {area.x0, area.y0, area.x1, area.y1},
                        .keyed = layer.keyed,
                        .tint = {tint.red, tint.green, tint.blue}};
    auto& layers = layer.cache->layers;
    if ((layers.size() >= LayerCache::kMaxLayers ||
         layer.cache->bytes >= LayerCache::kMaxBytes) &&
        !layers.count(key)) {
      layers.clear();
      layer.cache->bytes = 0;
    }
    LayerCache::Layer& cached = layers[key];
    if (cached.cacheable && cached.sightings < 2 && ++cached.sightings == 2) {
      // What the fixed-point rows below would write, kept: the same texels,
      // tinted the same way.
      for (int32_t y = area.y0; y <= area.y1 && cached.cacheable; ++y) {
        const double start_x = back->x(area.x0 + 0.5, y + 0.5);
        const double start_y = back->y(area.x0 + 0.5, y + 0.5);
        if (!(std::abs(start_x) < limit && std::abs(start_y) < limit)) {
          cached.cacheable = false;
          break;
        }
        const int64_t row_x = int64_t(fast_floor(start_x * kOne));
        const int64_t row_y = int64_t(fast_floor(start_y * kOne));
        const int64_t step_x = int64_t(fast_floor(back->xx * kOne));
        int64_t first = 0, last = int64_t(area.x1) - area.x0;
        keep_on_texels(row_x, step_x, image.width, first, last);
        keep_on_texels(row_y, 0, image.height, first, last);
        const uint8_t* texels =
            first <= last ? image.at(0, int32_t(row_y >> 32)) : nullptr;
        bool in_run = false;
        int64_t tx = row_x + first * step_x;
        for (int64_t k = first; k <= last; ++k, tx += step_x) {
          const uint8_t* texel = texels + (tx >> 32) * 3;
          if (layer.keyed && is_key(texel)) {
            in_run = false;
            continue;
          }
          if (!in_run)
            cached.runs.push_back({.x = int32_t(area.x0 + k),
                                   .y = y,
                                   .length = 0,
                                   .offset = cached.bytes.size()});
          in_run = true;
          ++cached.runs.back().length;
          cached.bytes.push_back(table.lit[0][texel[0]]);
          cached.bytes.push_back(table.lit[1][texel[1]]);
          cached.bytes.push_back(table.lit[2][texel[2]]);
        }
      }
      if (!cached.cacheable) {
        cached.runs.clear();
        cached.bytes.clear();
      }
      layer.cache->bytes += cached.bytes.size();
    }
    if (cached.cacheable && cached.sightings == 2) {
      for (const LayerCache::Run& run : cached.runs) {
        if (run.y < drawn.y0 || run.y > drawn.y1) continue;
        const int32_t first = std::max(run.x, drawn.x0);
        const int32_t last = std::min(run.x + run.length - 1, drawn.x1);
        if (first > last) continue;
        std::memcpy(
            picture.at(first, run.y),
            cached.bytes.data() + run.offset + size_t(first - run.x) * 3,
            size_t(last - first + 1) * 3);
      }
      return;
    }
  }
  // A window bitmap that is not turned (moving images): which of its
  // columns each window pixel sees is the same on every row.
  const bool upright_window = layer.window != nullptr &&
                              layer.to_window_bitmap.xy == 0 &&
                              layer.to_window_bitmap.yx == 0;
  const double tints[3] = {double(tint.red), double(tint.green),
                           double(tint.blue)};
  std::vector<int32_t> window_columns;
  if (upright_window)
    for (int32_t x = area.x0; x <= area.x1; ++x)
      window_columns.push_back(texel_column(
          layer.to_window_bitmap, x + 0.5, area.y0 + 0.5, layer.window->width));
  for (int32_t y = drawn.y0; y <= drawn.y1; ++y) {
    uint8_t* out = picture.at(area.x0, y);
    if (fixed_point) {
      const double start_x = back->x(area.x0 + 0.5, y + 0.5);
      const double start_y = back->y(area.x0 + 0.5, y + 0.5);
      if (std::abs(start_x) < limit && std::abs(start_y) < limit) {
        const int64_t row_x = int64_t(fast_floor(start_x * kOne));
        const int64_t row_y = int64_t(fast_floor(start_y * kOne));
        const int64_t step_x = int64_t(fast_floor(back->xx * kOne));
        const int64_t step_y = int64_t(fast_floor(back->yx * kOne));
        int64_t first = 0, last = int64_t(area.x1) - area.x0;
        keep_on_texels(row_x, step_x, image.width, first, last);
        keep_on_texels(row_y, step_y, image.height, first, last);
        first = std::max<int64_t>(first, drawn.x0 - area.x0);
        last = std::min<int64_t>(last, drawn.x1 - area.x0);
        if (first > last) continue;
        out += first * 3;
        int64_t tx = row_x + first * step_x, ty = row_y + first * step_y;
        if (step_y == 0) {
          // Not turned: the whole run reads one row of texels.
          const uint8_t* texels = image.at(0, int32_t(ty >> 32));
          for (int64_t k = first; k <= last; ++k, out += 3, tx += step_x) {
            const uint8_t* texel = texels + (tx >> 32) * 3;
            if (layer.keyed && is_key(texel)) continue;
            out[0] = table.lit[0][texel[0]];
            out[1] = table.lit[1][texel[1]];
            out[2] = table.lit[2][texel[2]];
          }
          continue;
        }
        for (int64_t k = first; k <= last;
             ++k, out += 3, tx += step_x, ty += step_y) {
          const uint8_t* texel = image.at(int32_t(tx >> 32), int32_t(ty >> 32));
          if (layer.keyed && is_key(texel)) continue;
          out[0] = table.lit[0][texel[0]];
          out[1] = table.lit[1][texel[1]];
          out[2] = table.lit[2][texel[2]];
        }
        continue;
      }
    }
    const int32_t window_row =
        upright_window ? texel_row(layer.to_window_bitmap, area.x0 + 0.5,
                                   y + 0.5, layer.window->height)
                       : -1;
    if (upright_window && window_row < 0) continue;
    if (layer.smooth) {
      int32_t first = area.x0, last = area.x1;
      keep_near_texels(*back, y + 0.5, image.width, image.height, first, last);
      first = std::max(first, drawn.x0);
      last = std::min(last, drawn.x1);
      const uint8_t* window_texels =
          upright_window ? layer.window->at(0, window_row) : nullptr;
      out += size_t(first - area.x0) * 3;
      for (int32_t x = first; x <= last; ++x, out += 3) {
        const double cx = x + 0.5, cy = y + 0.5;
        if (upright_window) {
          const int32_t column = window_columns[size_t(x - area.x0)];
          if (column < 0 || is_key(window_texels + size_t(column) * 3))
            continue;
        } else if (layer.window != nullptr) {
          const Sample open =
              sample_nearest(*layer.window, layer.to_window_bitmap.x(cx, cy),
                             layer.to_window_bitmap.y(cx, cy), true);
          if (open.alpha == 0) continue;
        }
        draw_smooth_pixel(out, image, back->x(cx, cy), back->y(cx, cy),
                          layer.keyed, tints);
      }
      continue;
    }
    out += size_t(drawn.x0 - area.x0) * 3;
    for (int32_t x = drawn.x0; x <= drawn.x1; ++x, out += 3) {
      const double cx = x + 0.5, cy = y + 0.5;
      if (upright_window) {
        const int32_t column = window_columns[size_t(x - area.x0)];
        if (column < 0 || is_key(layer.window->at(column, window_row)))
          continue;
      } else if (layer.window != nullptr) {
        const Sample open =
            sample_nearest(*layer.window, layer.to_window_bitmap.x(cx, cy),
                           layer.to_window_bitmap.y(cx, cy), true);
        if (open.alpha == 0) continue;
      }
      const double bx = back->x(cx, cy), by = back->y(cx, cy);
      const double fx = fast_floor(bx), fy = fast_floor(by);
      if (!(fx >= 0 && fy >= 0 && fx < image.width && fy < image.height))
        continue;
      const uint8_t* texel = image.at(int32_t(fx), int32_t(fy));
      if (layer.keyed && is_key(texel)) continue;
      // An opaque texel replaces the pixel: blend() at full weight.
      out[0] = table.lit[0][texel[0]];
      out[1] = table.lit[1][texel[1]];
      out[2] = table.lit[2][texel[2]];
    }
  }
}

Rgb from_colorref(uint32_t colour) {
  return {uint8_t(colour & 0xFF), uint8_t((colour >> 8) & 0xFF),
          uint8_t((colour >> 16) & 0xFF)};
}

void fill(Image& picture, const PixelRect& area, Rgb colour, Rgb tint) {
  if (area.empty()) return;
  const TintTable& table = tint_table(tint);
  const uint8_t lit[3] = {table.lit[0][colour.red], table.lit[1][colour.green],
                          table.lit[2][colour.blue]};
  uint8_t* const first = picture.at(area.x0, area.y0);
  uint8_t* out = first;
  for (int32_t x = area.x0; x <= area.x1; ++x, out += 3)
    out[0] = lit[0], out[1] = lit[1], out[2] = lit[2];
  // Every other row is a copy of the first.
  const size_t row_bytes = size_t(area.x1 - area.x0 + 1) * 3;
  for (int32_t y = area.y0 + 1; y <= area.y1; ++y)
    std::memcpy(picture.at(area.x0, y), first, row_bytes);
}

// Shift of a moving image's picture along one axis: the value's place
// between the axis's minimum and maximum, over the picture's travel. An
// axis nothing drives, or whose ends meet, stays put.
double travel(double value, double minimum, double maximum, bool driven,
              int32_t picture_size, int32_t window_size) {
  if (!driven || minimum == maximum || !std::isfinite(value)) return 0;
  const double t =
      std::clamp((value - minimum) / (maximum - minimum), 0.0, 1.0);
  return std::isfinite(t) ? t * (picture_size - window_size) : 0;
}

// The frame of a gauge over its background (null when it is missing).
std::optional<GaugeFrame> frame_over(const GaugeInstance& gauge,
                                     const Image* background) {
  const uint32_t default_width = gauge.header->default_width_mm;
  // Without its background the gauge is drawn at one window pixel per
  // background pixel of its box.
  const int32_t bw =
      background ? background->width
                 : gauge.placement->width.value_or(int32_t(default_width));
  const int32_t bh =
      background ? background->height : gauge.placement->height.value_or(bw);
  return gauge_frame(*gauge.placement, bw, bh, default_width);
}

class GaugePainter {
 public:
  GaugePainter(Image& picture, const GaugeInstance& gauge,
               BitmapSource& bitmaps, const Lighting& lighting,
               std::vector<std::string>& notes, LayerCache* cache,
               const PixelRect& within)
      : picture_(picture),
        gauge_(gauge),
        bitmaps_(bitmaps),
        lighting_(lighting),
        notes_(notes),
        cache_(cache),
        within_(within) {}

  void paint() {
    if (gauge_.header == nullptr || gauge_.elements.empty() ||
        gauge_.states.size() != gauge_.elements.size())
      return;
    const ElementHeader* root = gauge_.elements.front();
    const std::optional<GaugeFrame> frame =
        frame_over(gauge_, bitmap(0, root->bitmap));
    if (!frame) return;
    frame_ = *frame;
    const int32_t bw = frame_.background_width;
    const int32_t bh = frame_.background_height;
    to_window_ = {frame_.scale_x, 0, frame_.x, 0, frame_.scale_y, frame_.y};
    clip_ = pixels_within(frame_.x, frame_.y, frame_.x + bw * frame_.scale_x,
                          frame_.y + bh * frame_.scale_y, picture_);
    clip_ = intersect(clip_, whole(picture_));
    if (intersect(clip_, within_).empty()) return;
    for (size_t i = 0; i < gauge_.elements.size(); ++i) {
      const ElementHeader* head = gauge_.elements[i];
      const ElementState& state = gauge_.states[i];
      if (!state.drawn || (head->image_flags & kImageHidden)) continue;
      paint_element(i, head, state);
    }
  }

 private:
  std::string element_name(size_t index) const {
    std::string name = gauge_.header->name ? gauge_.header->name : "?";
    if (gauge_.ordinal > 1) name += "#" + std::to_string(gauge_.ordinal);
    return name + " element " + std::to_string(index + 1);
  }

  const Image* bitmap(size_t index, int64_t id) {
    std::string why;
    const Image* image = id >= INT32_MIN && id <= INT32_MAX
                             ? bitmaps_.find(int32_t(id), why)
                             : nullptr;
    if (image == nullptr)
      notes_.push_back(
          element_name(index) + ": " +
          (why.rfind("no ", 0) == 0 || why.empty()
               ? "the module holds no bitmap " + std::to_string(id)
               : "bitmap " + std::to_string(id) + " cannot be read: " + why));
    return image;
  }

  void draw(const Image* image, const Affine& on_background, uint32_t flags,
            const Image* window = nullptr, double window_x = 0,
            double window_y = 0) {
    if (image == nullptr) return;
    Layer layer;
    layer.image = image;
    layer.to_window = compose(to_window_, on_background);
    layer.keyed = flags & kImageTransparent;
    layer.smooth = flags & kImageSmooth;
    if (window != nullptr) {
      const std::optional<Affine> from_window =
          inverse(compose(to_window_, translation(window_x, window_y)));
      if (!from_window) return;
      layer.window = window;
      layer.to_window_bitmap = *from_window;
    }
    layer.cache = cache_;
    draw_layer(picture_, layer, clip_, element_tint(flags, lighting_), within_);
  }

  void paint_element(size_t index, const ElementHeader* head,
                     const ElementState& state) {
    const uint32_t flags = head->image_flags;
    const double x = head->x, y = head->y;
    switch (head->kind) {
      case kStaticImage:
        draw(bitmap(index, head->bitmap), translation(x, y), flags);
        break;
      case kNeedle: {
        if (!std::isfinite(state.angle)) break;
        double sine = 0, cosine = 1;
        sin_cos_degrees(state.angle - kNeedleBitmapDirectionDegrees, sine,
                        cosine);
        // Turn the bitmap about its pivot point, then put that point on
        // the pivot on the background.
        const Affine turn{cosine, -sine, 0, sine, cosine, 0};
        const Affine placed =
            compose(translation(x, y),
                    compose(turn, translation(-double(head->offset_x),
                                              -double(head->offset_y))));
        draw(bitmap(index, head->bitmap), placed, flags);
        break;
      }
      case kIcon:
        if (state.icon_index >= 0)
          draw(bitmap(index, int64_t(head->bitmap) + state.icon_index),
               translation(x, y), flags);
        break;
      case kSlider: {
        const auto* e = reinterpret_cast<const SliderElement*>(head);
        const double dx = state.values[0] * e->x_scale;
        const double dy = state.values[1] * e->y_scale;
        if (std::isfinite(dx) && std::isfinite(dy))
          draw(bitmap(index, head->bitmap), translation(x + dx, y + dy), flags);
        break;
      }
      case kMovingImage:
        paint_moving(index, head, state);
        break;
      case kSprite:
        paint_sprite(index, head, state);
        break;
      case kString:
        paint_string(head, state);
        break;
      default:
        break;
    }
  }

  // The picture (the element's bitmap) slides behind the window (the next
  // bitmap), which stays at the element's position.
  void paint_moving(size_t index, const ElementHeader* head,
                    const ElementState& state) {
    const auto* e = reinterpret_cast<const MovingImageElement*>(head);
    const Image* image = bitmap(index, head->bitmap);
    const Image* window = bitmap(index, int64_t(head->bitmap) + 1);
    if (image == nullptr || window == nullptr) return;
    const double dx = travel(state.values[0], e->x_min, e->x_max,
                             e->x_source.token != 0 || e->x_callback,
                             image->width, window->width);
    const double dy = travel(state.values[1], e->y_min, e->y_max,
                             e->y_source.token != 0 || e->y_callback,
                             image->height, window->height);
    draw(image, translation(head->x - dx, head->y - dy), head->image_flags,
         window, head->x, head->y);
  }

  // The texture (the element's bitmap) scaled by the texture scales, then
  // shifted and turned about the centre of rotation, seen through the window
  // (the next bitmap) at the element's position. The shift and the turn move
  // the texture's own frame under the window, so the picture moves against a
  // positive shift and turns counter-clockwise for a positive rotation: the
  // ADF card at heading 20 shows 20 under its index, and the attitude card
  // shows the simulator's signs (pitch positive nose down, bank positive
  // left).
  void paint_sprite(size_t index, const ElementHeader* head,
                    const ElementState& state) {
    const auto* e = reinterpret_cast<const SpriteElement*>(head);
    const double shift_x = state.values[0] * e->x_scale;
    const double shift_y = state.values[1] * e->y_scale;
    const double degrees = state.values[2] * e->rotation_scale;
    if (!std::isfinite(shift_x) || !std::isfinite(shift_y) ||
        !std::isfinite(degrees))
      return;
    const Image* image = bitmap(index, head->bitmap);
    const Image* window = bitmap(index, int64_t(head->bitmap) + 1);
    if (image == nullptr || window == nullptr) return;
    double sine = 0, cosine = 1;
    sin_cos_degrees(degrees, sine, cosine);
    const double cx = head->offset_x, cy = head->offset_y;
    const Affine scaled{double(e->texture_scale_x),
                        0,
                        double(e->texture_scale_x) * (head->x - cx) - shift_x,
                        0,
                        double(e->texture_scale_y),
                        double(e->texture_scale_y) * (head->y - cy) - shift_y};
    const Affine turn{cosine, sine, 0, -sine, cosine, 0};
    const Affine placed = compose(translation(cx, cy), compose(turn, scaled));
    draw(image, placed, head->image_flags, window, head->x, head->y);
  }

  void paint_string(const ElementHeader* head, const ElementState& state) {
    const auto* e = reinterpret_cast<const StringElement*>(head);
    const Rgb tint = element_tint(head->image_flags, lighting_);
    const double x = head->x, y = head->y;
    const double width = e->box_width, height = e->box_height;
    const PixelRect box = intersect(
        intersect(clip_, within_),
        pixels_within(frame_.x + x * frame_.scale_x,
                      frame_.y + y * frame_.scale_y,
                      frame_.x + (x + width) * frame_.scale_x,
                      frame_.y + (y + height) * frame_.scale_y, picture_));
    if (box.empty()) return;
    const bool keyed = head->image_flags & kImageTransparent;
    if (!(keyed && (e->background_colour & 0xFFFFFF) == 0))
      fill(picture_, box, from_colorref(e->background_colour), tint);
    if (state.text.empty()) return;
    const size_t limit = std::min(state.text.size() - 1,
                                  size_t(std::max<int32_t>(e->characters, 0)));
    const std::string_view raw(state.text.data());
    const Rgb colour = from_colorref(e->text_colour);
    const double rgb[3] = {double(colour.red), double(colour.green),
                           double(colour.blue)};
    TextBox text{.x = x,
                 .y = y,
                 .width = width,
                 .height = height,
                 .origin_x = frame_.x,
                 .origin_y = frame_.y,
                 .scale_x = frame_.scale_x,
                 .scale_y = frame_.scale_y,
                 .bold = e->font_weight >= 600,
                 .flags = e->text_flags};
    layout_text(raw.substr(0, std::min(raw.size(), limit)), text,
                [&](int32_t px, int32_t py, uint8_t coverage) {
                  if (px < box.x0 || px > box.x1 || py < box.y0 || py > box.y1)
                    return;
                  blend(picture_.at(px, py), rgb, coverage / 255.0, tint);
                });
  }

  Image& picture_;
  const GaugeInstance& gauge_;
  BitmapSource& bitmaps_;
  const Lighting& lighting_;
  std::vector<std::string>& notes_;
  LayerCache* cache_;
  PixelRect within_;
  GaugeFrame frame_;
  Affine to_window_;
  PixelRect clip_;
};

}  // namespace

Rgb element_tint(uint32_t image_flags, const Lighting& lighting) {
  if (!lighting.night) return lighting.colors.day.value_or(kWhite);
  if (image_flags & kImageBright) return kWhite;
  if (!lighting.panel_lights) return kDarkTint;
  if (image_flags & kImageLuminous)
    return lighting.colors.luminous.value_or(kDefaultLuminousTint);
  return lighting.colors.night.value_or(kDefaultNightTint);
}

std::optional<GaugeFrame> gauge_frame(const GaugePlacement& placement,
                                      int32_t background_width,
                                      int32_t background_height,
                                      uint32_t default_width) {
  if (background_width <= 0 || background_height <= 0) return std::nullopt;
  const double aspect = double(background_height) / background_width;
  double width = 0, height = 0;
  if (placement.width) {
    width = *placement.width;
    height = placement.height ? double(*placement.height) : width * aspect;
  } else if (placement.height) {
    height = *placement.height;
    width = height / aspect;
  } else {
    width = default_width;
    height = width * aspect;
  }
  if (!(width > 0) || !(height > 0)) return std::nullopt;
  GaugeFrame frame;
  frame.x = placement.x;
  frame.y = placement.y;
  frame.scale_x = width / background_width;
  frame.scale_y = height / background_height;
  frame.background_width = background_width;
  frame.background_height = background_height;
  return frame;
}

void draw_gauge(Image& picture, const GaugeInstance& gauge,
                BitmapSource& bitmaps, const Lighting& lighting,
                std::vector<std::string>& notes, LayerCache* cache,
                const PixelRect& within) {
  GaugePainter(picture, gauge, bitmaps, lighting, notes, cache, within).paint();
}

std::optional<GaugeFrame> placed_gauge_frame(const GaugeInstance& gauge,
                                             BitmapSource& bitmaps) {
  if (gauge.header == nullptr || gauge.elements.empty()) return std::nullopt;
  std::string why;
  return frame_over(gauge, bitmaps.find(gauge.elements.front()->bitmap, why));
}

std::pair<int32_t, int32_t> placed_gauge_box(const GaugePlacement& placement,
                                             const LoadedModule& module,
                                             BitmapSource& bitmaps) {
  const int32_t width = placement.width.value_or(0);
  const std::pair fallback{width, placement.height.value_or(width)};
  if (!names_module(placement.module, module.name)) return fallback;
  for (GaugeHeader* const* g = module.linkage->gauges;
       g < std::end(module.linkage->gauges) && *g != nullptr; ++g) {
    if ((*g)->name == nullptr || placement.gauge != (*g)->name) continue;
    if ((*g)->elements == nullptr || (*g)->elements[0] == nullptr)
      return fallback;
    std::string why;
    const Image* background = bitmaps.find((*g)->elements[0]->bitmap, why);
    if (background == nullptr) return fallback;
    const auto frame = gauge_frame(placement, background->width,
                                   background->height, (*g)->default_width_mm);
    if (!frame) return fallback;
    const auto side = [](double length) {
      return static_cast<int32_t>(std::clamp(std::ceil(length), 0.0, 1e9));
    };
    return std::pair{side(frame->background_width * frame->scale_x),
                     side(frame->background_height * frame->scale_y)};
  }
  return fallback;
}

void resolve_panel_window_sizes(PanelConfig& panel, const LoadedModule& module,
                                BitmapSource& bitmaps) {
  resolve_window_sizes(panel, image_file_size,
                       [&](const GaugePlacement& placement) {
                         return placed_gauge_box(placement, module, bitmaps);
                       });
}

void draw_placeholder(Image& picture, const GaugePlacement& placement,
                      const PixelRect& within) {
  const double width = placement.width.value_or(kDefaultPlaceholderSize);
  const double height = placement.height.value_or(int32_t(width));
  if (!(width > 0) || !(height > 0)) return;
  const double x = placement.x, y = placement.y;
  const PixelRect box = intersect(
      whole(picture), pixels_within(x, y, x + width, y + height, picture));
  const PixelRect drawn = intersect(box, within);
  if (drawn.empty()) return;
  const PixelRect outline = pixels_within(x, y, x + width, y + height, picture);
  const double rgb[3] = {double(kPlaceholderColour.red),
                         double(kPlaceholderColour.green),
                         double(kPlaceholderColour.blue)};
  for (int32_t py = drawn.y0; py <= drawn.y1; ++py)
    for (int32_t px = drawn.x0; px <= drawn.x1; ++px)
      if (px == outline.x0 || px == outline.x1 || py == outline.y0 ||
          py == outline.y1)
        blend(picture.at(px, py), rgb, 1, kWhite);
  TextBox text{.x = x + 3,
               .y = y + 2,
               .width = width - 6,
               .height = kPlaceholderTextHeight};
  layout_text(
      placement.gauge, text, [&](int32_t px, int32_t py, uint8_t coverage) {
        if (px <= box.x0 || px >= box.x1 || py <= box.y0 || py >= box.y1 ||
            px < drawn.x0 || px > drawn.x1 || py < drawn.y0 || py > drawn.y1)
          return;
        blend(picture.at(px, py), rgb, coverage / 255.0, kWhite);
      });
}

const Image* WindowRenderer::background(const PanelWindow& window) {
  if (window.background_path.empty()) return nullptr;
  auto found = backgrounds_.find(window.background_path);
  if (found == backgrounds_.end()) {
    Image image;
    std::string error;
    std::optional<Image> loaded;
    if (read_image_file(window.background_path, image, error))
      loaded = std::move(image);
    found =
        backgrounds_.emplace(window.background_path, std::move(loaded)).first;
  }
  // The host has said so when it read the panel file.
  return found->second ? &*found->second : nullptr;
}

namespace {

bool drawable_size(int32_t width, int32_t height) {
  return width > 0 && height > 0 && width <= kMaxImageSide &&
         height <= kMaxImageSide;
}

}  // namespace

std::pair<int32_t, int32_t> WindowRenderer::picture_size(
    const PanelWindow& window) {
  const Image* backdrop = background(window);
  int32_t width = window.width, height = window.height;
  if ((width <= 0 || height <= 0) && backdrop != nullptr)
    width = backdrop->width, height = backdrop->height;
  if (!drawable_size(width, height)) return {0, 0};
  return {width, height};
}

namespace {

Lighting lighting_of(Host& host, bool night) {
  Lighting lighting;
  lighting.night = night;
  lighting.panel_lights = host.aircraft().number(10) > 0;
  lighting.colors = host.panel().colors;
  return lighting;
}

// A gauge of a module this host could not load, or one it stopped.
bool drawn_as_placeholder(const GaugeInstance* gauge) {
  return gauge == nullptr || gauge->header == nullptr || gauge->stopped;
}

const GaugeInstance* instance_of(const Host& host,
                                 const GaugePlacement& placement) {
  const GaugeInstance* gauge = nullptr;
  for (const GaugeInstance& instance : host.instances())
    if (instance.placement == &placement) gauge = &instance;
  return gauge;
}

template <typename T>
void put_bytes(std::vector<uint8_t>& out, const T& value) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(&value);
  out.insert(out.end(), bytes, bytes + sizeof value);
}

size_t record_size(uint32_t kind) {
  switch (kind) {
    case kStaticImage:
      return sizeof(StaticImageElement);
    case kNeedle:
      return sizeof(NeedleElement);
    case kString:
      return sizeof(StringElement);
    case kSlider:
      return sizeof(SliderElement);
    case kIcon:
      return sizeof(IconElement);
    case kMovingImage:
      return sizeof(MovingImageElement);
    case kSprite:
      return sizeof(SpriteElement);
    default:
      return sizeof(ElementHeader);
  }
}

// Everything a placement's drawing is made from: its box, and its gauge's
// element records (which the module may change) and values as drawn.
void take_placement_inputs(const GaugePlacement& placement,
                           const GaugeInstance* gauge,
                           std::vector<uint8_t>& out) {
  out.clear();
  put_bytes(out, placement.x);
  put_bytes(out, placement.y);
  put_bytes(out, placement.width.value_or(INT32_MIN));
  put_bytes(out, placement.height.value_or(INT32_MIN));
  put_bytes(out, gauge);
  if (drawn_as_placeholder(gauge)) return;
  put_bytes(out, gauge->installed);
  for (size_t i = 0; i < gauge->elements.size(); ++i) {
    const ElementHeader* head = gauge->elements[i];
    const auto* record = reinterpret_cast<const uint8_t*>(head);
    out.insert(out.end(), record, record + record_size(head->kind));
    if (i >= gauge->states.size()) continue;
    const ElementState& state = gauge->states[i];
    put_bytes(out, state.values);
    put_bytes(out, state.angle);
    put_bytes(out, state.icon_index);
    put_bytes(out, state.drawn);
    put_bytes(out, state.text.size());
    out.insert(out.end(), state.text.begin(), state.text.end());
  }
}

}  // namespace

std::pair<int32_t, int32_t> WindowRenderer::size_of(
    const PanelWindow& window, const Image* backdrop) const {
  int32_t width = window.width, height = window.height;
  if ((width <= 0 || height <= 0) && backdrop != nullptr)
    width = backdrop->width, height = backdrop->height;
  return {width, height};
}

BitmapSource& WindowRenderer::bitmaps_of(const GaugeInstance& gauge) {
  if (gauge.module == nullptr) return *bitmaps_;
  std::unique_ptr<BitmapSource>& source = other_bitmaps_[gauge.module->handle];
  if (!source) source = module_bitmaps(*gauge.module);
  return *source;
}

void WindowRenderer::paint(Host& host, const PanelWindow& window,
                           const Lighting& lighting, Image& picture,
                           const PixelRect& within,
                           std::vector<std::string>& notes) {
  if (!layers_) layers_ = std::make_shared<LayerCache>();
  const Image* backdrop = background(window);
  const Rgb tint = element_tint(0, lighting);
  if (backdrop != nullptr) {
    Layer layer;
    layer.image = backdrop;
    layer.to_window = {double(picture.width) / backdrop->width,   0, 0, 0,
                       double(picture.height) / backdrop->height, 0};
    draw_layer(picture, layer, whole(picture), tint, within);
  } else {
    fill(picture, intersect(whole(picture), within),
         window.background_color.value_or(Rgb{}), tint);
  }
  for (const GaugePlacement& placement : window.gauges) {
    const GaugeInstance* gauge = instance_of(host, placement);
    if (drawn_as_placeholder(gauge))
      draw_placeholder(picture, placement, within);
    else if (gauge->installed)
      draw_gauge(picture, *gauge, bitmaps_of(*gauge), lighting, notes,
                 layers_.get(), within);
  }
}

WindowPicture WindowRenderer::render(Host& host, size_t window_index,
                                     bool night) {
  WindowPicture out;
  const PanelConfig& panel = host.panel();
  if (window_index >= panel.windows.size()) return out;
  const PanelWindow& window = panel.windows[window_index];
  const auto [width, height] = size_of(window, background(window));
  if (!drawable_size(width, height)) {
    out.notes.push_back(window.section_name() + ": no size to draw (" +
                        std::to_string(width) + " x " + std::to_string(height) +
                        ")");
    return out;
  }
  out.image = Image(width, height);
  std::vector<std::string> notes;
  paint(host, window, lighting_of(host, night), out.image, kEverywhere, notes);
  // A bitmap missing from a gauge placed twice is one note.
  std::set<std::string> seen;
  for (std::string& note : notes)
    if (seen.insert(note).second) out.notes.push_back(std::move(note));
  return out;
}

PixelRect WindowRenderer::placement_area(const GaugePlacement& placement,
                                         const GaugeInstance* gauge,
                                         const Image& picture) {
  if (drawn_as_placeholder(gauge)) {
    const double width = placement.width.value_or(kDefaultPlaceholderSize);
    const double height = placement.height.value_or(int32_t(width));
    return intersect(
        whole(picture),
        pixels_within(placement.x, placement.y, placement.x + width,
                      placement.y + height, picture));
  }
  const std::optional<GaugeFrame> frame =
      placed_gauge_frame(*gauge, bitmaps_of(*gauge));
  if (!frame) return {};
  return intersect(
      whole(picture),
      pixels_within(frame->x, frame->y,
                    frame->x + frame->background_width * frame->scale_x,
                    frame->y + frame->background_height * frame->scale_y,
                    picture));
}

WindowChanges WindowRenderer::changes(Host& host, size_t window_index,
                                      bool night, WindowInputs& inputs) {
  WindowChanges out;
  const PanelConfig& panel = host.panel();
  if (window_index >= panel.windows.size()) {
    inputs = {};
    out.whole = true;
    return out;
  }
  const PanelWindow& window = panel.windows[window_index];
  const Image* backdrop = background(window);
  const auto [width, height] = size_of(window, backdrop);
  const Lighting lighting = lighting_of(host, night);
  std::vector<uint8_t> window_now;
  put_bytes(window_now, width);
  put_bytes(window_now, height);
  put_bytes(window_now, backdrop);
  put_bytes(window_now, element_tint(0, lighting));
  for (const uint32_t flags : {kImageBright, kImageLuminous})
    put_bytes(window_now, element_tint(flags, lighting));
  put_bytes(window_now, window.background_color.value_or(Rgb{}));
  put_bytes(window_now, window.gauges.size());
  out.whole = window_now != inputs.window ||
              inputs.placements.size() != window.gauges.size();
  inputs.window = std::move(window_now);
  inputs.placements.resize(window.gauges.size());
  if (!drawable_size(width, height)) return out;
  // Only its size counts for where the placements land.
  Image size_only;
  size_only.width = width;
  size_only.height = height;
  std::vector<uint8_t> now;
  for (size_t p = 0; p < window.gauges.size(); ++p) {
    const GaugePlacement& placement = window.gauges[p];
    const GaugeInstance* gauge = instance_of(host, placement);
    take_placement_inputs(placement, gauge, now);
    if (now == inputs.placements[p]) continue;
    std::swap(now, inputs.placements[p]);
    if (out.whole) continue;
    const PixelRect area = placement_area(placement, gauge, size_only);
    if (!area.empty()) out.areas.push_back(area);
  }
  return out;
}

void WindowRenderer::draw_areas(Host& host, size_t window_index, bool night,
                                Image& picture,
                                const std::vector<PixelRect>& areas) {
  if (window_index >= host.panel().windows.size()) return;
  const PanelWindow& window = host.panel().windows[window_index];
  const Lighting lighting = lighting_of(host, night);
  std::vector<std::string> notes;
  for (const PixelRect& area : areas)
    paint(host, window, lighting, picture, area, notes);
}

bool write_png(const Image& image, const std::string& path,
               std::string& error) {
  if (image.width <= 0 || image.height <= 0) {
    error = "nothing to write to " + path;
    return false;
  }
  if (!write_png_file(path, image)) {
    error = "cannot write " + path;
    return false;
  }
  return true;
}
