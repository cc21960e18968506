// Text of string elements, drawn the way the simulator's Arial would be:
// with Liberation Sans (metric-compatible), compiled into the host so that
// both builds use the same font file.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

struct TextBox {
  // The box on the gauge's background, in background pixels.
  double x = 0, y = 0, width = 0, height = 0;
  // Background pixel (u, v) lies at window pixel (origin_x + u * scale_x,
  // origin_y + v * scale_y).
  double origin_x = 0, origin_y = 0, scale_x = 1, scale_y = 1;
  bool bold = false;
  uint32_t flags = 0;  // horizontal: 0 left, 1 centre, 2 right; vertical:
                       // 0 top, 4 centre, 8 bottom
};

// Lays out one line of Windows-1252 text in the box, the font's cell
// height filling the box height, and reports every window pixel the glyphs
// cover (coverage 1 to 255). It reports pixels outside the box too: the
// caller clips.
void layout_text(
    std::string_view text, const TextBox& box,
    const std::function<void(int32_t x, int32_t y, uint8_t coverage)>& plot);

// The fonts compiled in (generated from the font files at configure time).
struct EmbeddedFont {
  const unsigned char* bytes;
  unsigned long size;
};
EmbeddedFont embedded_sans_font(bool bold);
