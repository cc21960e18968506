// The bitmaps the generator wrote for this build, as the artwork checks
// read them.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/artwork/bitmap.h"

inline const std::filesystem::path kArtworkDir = ARTWORK_DIR;

inline std::vector<uint8_t> read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// Bitmap `id` of the build's artwork; a failed check when it is not a
// 24-bit BMP.
inline Picture load_generated(int32_t id) {
  Picture picture;
  picture.id = id;
  const bool ok = decode_bmp(
      read_file(kArtworkDir / (std::to_string(id) + ".bmp")), picture);
  EXPECT_TRUE(ok) << "bitmap " << id << " is not a 24-bit BMP";
  return picture;
}

// Inside the picture and not the transparent key.
inline bool opaque(const Picture& p, int x, int y) {
  return x >= 0 && y >= 0 && x < p.width && y < p.height &&
         !(p.at(x, y) == Rgb{});
}
