#include "host/image_file.h"

// stb's decoders, inlined here by the optimiser, trip GCC's flow analysis
// with warnings about their own code.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_HDR
#define STBI_NO_LINEAR
#include <stb_image.h>

std::optional<std::pair<int32_t, int32_t>> image_file_size(
    const std::string& path) {
  int width = 0, height = 0, channels = 0;
  if (stbi_info(path.c_str(), &width, &height, &channels) == 0 || width <= 0 ||
      height <= 0)
    return std::nullopt;
  return std::pair{int32_t(width), int32_t(height)};
}
