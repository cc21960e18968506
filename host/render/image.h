// Pixels the renderer works with, and the device-independent bitmaps it
// reads them from: the module's BITMAP resources (a DIB without a file
// header) and .bmp files (the same DIB behind a 14-byte file header).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

struct Image {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> rgb;  // rows top-down, three bytes a pixel

  Image() = default;
  Image(int32_t w, int32_t h) : width(w), height(h), rgb(size_t(w) * h * 3) {}
  uint8_t* at(int32_t x, int32_t y) {
    return rgb.data() + (size_t(y) * size_t(width) + size_t(x)) * 3;
  }
  const uint8_t* at(int32_t x, int32_t y) const {
    return rgb.data() + (size_t(y) * size_t(width) + size_t(x)) * 3;
  }
};

// Larger bitmaps are taken as damaged rather than allocated.
inline constexpr int32_t kMaxImageSide = 16384;

// A DIB as a resource holds it: the info header, its colour masks or
// palette, then the pixel rows. False with the reason in `error` for
// anything it cannot read; it never reads outside `bytes`.
bool parse_dib(std::span<const uint8_t> bytes, Image& image,
               std::string& error);

// A .bmp file: "BM", the file header whose offset locates the rows, then
// the DIB.
bool parse_bmp_file(std::span<const uint8_t> bytes, Image& image,
                    std::string& error);
