// Feeds any bytes to the image reader the renderer uses on a panel's
// window backgrounds (BMP above all, as panels ship them), both the size
// the panel reader asks for and the full decode. Whenever both succeed
// they must agree, and the picture must lie within the renderer's limits.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "host/render/stb_files.h"

namespace {

// A header may claim up to 16384 x 16384 pixels; decoding one only costs
// memory, so the large ones are measured but not decoded.
constexpr int64_t kMaxDecodedPixels = int64_t(1) << 22;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto claimed = image_memory_size(data, size);
  if (claimed &&
      int64_t(claimed->first) * int64_t(claimed->second) > kMaxDecodedPixels)
    return 0;
  Image image;
  std::string error;
  if (!read_image_memory(data, size, image, error)) {
    if (error.empty()) std::abort();
    return 0;
  }
  if (image.width <= 0 || image.height <= 0 || image.width > kMaxImageSide ||
      image.height > kMaxImageSide ||
      image.rgb.size() != size_t(image.width) * size_t(image.height) * 3)
    std::abort();
  if (claimed &&
      (claimed->first != image.width || claimed->second != image.height))
    std::abort();
  return 0;
}
