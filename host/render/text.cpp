// One line of text in a box: Windows-1252 characters to glyphs, laid out in
// background pixels and rasterised at the window's scale.
#include "host/render/text.h"

#include <stb_truetype.h>

#include <cmath>
#include <iterator>
#include <vector>

namespace {

// Glyphs larger than this are not rasterised (a runaway scale).
constexpr double kMaxGlyphPixels = 2048;

// Windows-1252 bytes 0x80 to 0x9F; the rest of the code page is Latin-1.
constexpr uint16_t kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
static_assert(std::size(kHighControls) == 0xA0 - 0x80);

uint32_t code_point(unsigned char c) {
  return c >= 0x80 && c < 0xA0 ? kHighControls[c - 0x80] : c;
}

const stbtt_fontinfo* font(bool bold) {
  static stbtt_fontinfo fonts[2];
  static bool ready[2] = {false, false};
  static bool usable[2] = {false, false};
  const int which = bold ? 1 : 0;
  if (!ready[which]) {
    ready[which] = true;
    const EmbeddedFont data = embedded_sans_font(bold);
    usable[which] = stbtt_InitFont(&fonts[which], data.bytes,
                                   stbtt_GetFontOffsetForIndex(data.bytes, 0));
  }
  return usable[which] ? &fonts[which] : nullptr;
}

}  // namespace

void layout_text(std::string_view text, const TextBox& box,
                 const std::function<void(int32_t, int32_t, uint8_t)>& plot) {
  const stbtt_fontinfo* info = font(box.bold);
  if (info == nullptr || !(box.height > 0) || !std::isfinite(box.height))
    return;
  const double scale = stbtt_ScaleForPixelHeight(info, float(box.height));
  const double scale_x = scale * box.scale_x, scale_y = scale * box.scale_y;
  if (!(scale_x > 0) || !(scale_y > 0) ||
      box.height * box.scale_y > kMaxGlyphPixels ||
      box.height * box.scale_x > kMaxGlyphPixels)
    return;
  int ascent = 0, descent = 0, gap = 0;
  stbtt_GetFontVMetrics(info, &ascent, &descent, &gap);

  std::vector<int> glyphs;
  std::vector<int> advances;
  int total_units = 0;
  for (const char c : text) {
    const uint32_t cp = code_point(static_cast<unsigned char>(c));
    if (cp < 0x20) continue;
    const int glyph = stbtt_FindGlyphIndex(info, int(cp));
    int advance = 0, bearing = 0;
    stbtt_GetGlyphHMetrics(info, glyph, &advance, &bearing);
    glyphs.push_back(glyph);
    advances.push_back(advance);
    total_units += advance;
  }
  const double text_width = total_units * scale;
  const double line_height = (ascent - descent) * scale;
  double left = box.x;
  if ((box.flags & 0x3) == 1) left += (box.width - text_width) / 2;
  if ((box.flags & 0x3) == 2) left += box.width - text_width;
  double top = box.y;
  if (box.flags & 0x4) top += (box.height - line_height) / 2;
  if (box.flags & 0x8) top += box.height - line_height;
  const double baseline = box.origin_y + (top + ascent * scale) * box.scale_y;
  if (!std::isfinite(baseline) || !std::isfinite(left)) return;

  std::vector<unsigned char> pixels;
  int pen_units = 0;
  for (size_t i = 0; i < glyphs.size(); ++i) {
    const double pen_x =
        box.origin_x + (left + pen_units * scale) * box.scale_x;
    pen_units += advances[i];
    const double whole_x = std::floor(pen_x), whole_y = std::floor(baseline);
    if (!(std::fabs(whole_x) < 1e9) || !(std::fabs(whole_y) < 1e9)) continue;
    const float shift_x = float(pen_x - whole_x),
                shift_y = float(baseline - whole_y);
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    stbtt_GetGlyphBitmapBoxSubpixel(info, glyphs[i], float(scale_x),
                                    float(scale_y), shift_x, shift_y, &x0, &y0,
                                    &x1, &y1);
    const int width = x1 - x0, height = y1 - y0;
    if (width <= 0 || height <= 0) continue;
    pixels.assign(size_t(width) * size_t(height), 0);
    stbtt_MakeGlyphBitmapSubpixel(info, pixels.data(), width, height, width,
                                  float(scale_x), float(scale_y), shift_x,
                                  shift_y, glyphs[i]);
    for (int gy = 0; gy < height; ++gy)
      for (int gx = 0; gx < width; ++gx) {
        const uint8_t coverage =
            pixels[size_t(gy) * size_t(width) + size_t(gx)];
        if (coverage != 0)
          plot(int32_t(whole_x) + x0 + gx, int32_t(whole_y) + y0 + gy,
               coverage);
      }
  }
}
