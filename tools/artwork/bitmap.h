// Artwork pictures as the module stores them: 24-bit rows where pure black
// is the transparent key.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <string>
#include <vector>

struct Rgb {
  uint8_t r = 0;
  uint8_t g = 0;
  uint8_t b = 0;
  bool operator==(const Rgb&) const = default;
};

// Paint that must stay visible never uses the key itself.
inline constexpr Rgb kNearBlack = {16, 16, 16};

struct Picture {
  int32_t id = 0;
  int width = 0;
  int height = 0;
  std::vector<Rgb> pixels;  // rows top to bottom

  Rgb at(int x, int y) const { return pixels[y * width + x]; }
};

// Pixels at least half covered become opaque (never exactly black); the rest
// become the transparent key.
Picture picture_from_surface(int32_t id, cairo_surface_t* surface);

// A Windows bitmap file: file header, 40-byte info header, bottom-up rows
// padded to four bytes.
std::vector<uint8_t> encode_bmp(const Picture& picture);

// Reads back what encode_bmp writes; false on anything else.
bool decode_bmp(const std::vector<uint8_t>& file, Picture& picture);
