// The stb single-file libraries the renderer uses, compiled once here
// (without the project's warnings, which they were not written for).
#define STB_TRUETYPE_IMPLEMENTATION
#include <stb_truetype.h>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_HDR
#define STBI_NO_LINEAR
// Panels ship their backgrounds as BMP, sometimes PNG, JPEG, TGA or GIF.
// The other formats stay out: this decoder's reader of 16-bit PGM files
// reads past its buffer on a damaged file, and none of them is a panel's.
#define STBI_NO_PNM
#define STBI_NO_PSD
#define STBI_NO_PIC
// Larger sides are refused before any pixel memory is asked for.
#define STBI_MAX_DIMENSIONS 16384
#include <stb_image.h>

#include <cstring>
#include <limits>
#include <vector>

#include "host/files/read_file.h"
#include "host/render/stb_files.h"

static_assert(STBI_MAX_DIMENSIONS == kMaxImageSide);

namespace {

constexpr uint8_t kPngSignature[8] = {0x89, 'P',  'N',  'G',
                                      '\r', '\n', 0x1A, '\n'};

// Whether every chunk of a PNG file lies within it. The decoder sizes its
// buffer from a chunk's stated length before reading the chunk, so a few
// damaged bytes could otherwise ask for gigabytes.
bool png_chunks_fit(const uint8_t* data, size_t size) {
  size_t at = sizeof kPngSignature;
  // A chunk's length and type are all the decoder needs to size its buffer,
  // so a chunk is checked as soon as those eight bytes are there.
  while (size - at >= 8) {
    const uint32_t length = uint32_t(data[at]) << 24 |
                            uint32_t(data[at + 1]) << 16 |
                            uint32_t(data[at + 2]) << 8 | data[at + 3];
    if (std::memcmp(data + at + 4, "IEND", 4) == 0) return true;
    if (size - at < 12 || length > size - at - 12) return false;
    at += 12 + size_t(length);
  }
  return true;  // fewer bytes than a chunk's header fail in the decoder
}

bool is_png(const uint8_t* data, size_t size) {
  return size >= sizeof kPngSignature &&
         std::memcmp(data, kPngSignature, sizeof kPngSignature) == 0;
}

}  // namespace

bool read_image_memory(const uint8_t* data, size_t size, Image& image,
                       std::string& error) {
  if (size > size_t(std::numeric_limits<int>::max())) {
    error = "file too large";
    return false;
  }
  if (is_png(data, size) && !png_chunks_fit(data, size)) {
    error = "damaged PNG: a chunk runs past the end of the file";
    return false;
  }
  int width = 0, height = 0, channels = 0;
  unsigned char* pixels =
      stbi_load_from_memory(data, int(size), &width, &height, &channels, 3);
  if (pixels == nullptr) {
    // Some damaged files fail with no reason given, or an empty one.
    const char* reason = stbi_failure_reason();
    error = reason != nullptr && *reason != '\0' ? reason : "unreadable";
    return false;
  }
  if (width <= 0 || height <= 0 || width > kMaxImageSide ||
      height > kMaxImageSide) {
    stbi_image_free(pixels);
    error = "image size out of range";
    return false;
  }
  image = Image(width, height);
  std::copy(pixels, pixels + image.rgb.size(), image.rgb.begin());
  stbi_image_free(pixels);
  return true;
}

std::optional<std::pair<int32_t, int32_t>> image_memory_size(
    const uint8_t* data, size_t size) {
  int width = 0, height = 0, channels = 0;
  if (size > size_t(std::numeric_limits<int>::max()) ||
      stbi_info_from_memory(data, int(size), &width, &height, &channels) == 0 ||
      width <= 0 || height <= 0)
    return std::nullopt;
  return std::pair{int32_t(width), int32_t(height)};
}

bool read_image_file(const std::string& path, Image& image,
                     std::string& error) {
  std::vector<uint8_t> bytes;
  if (!read_input_file(path, kPictureFile, bytes, error)) return false;
  return read_image_memory(bytes.data(), bytes.size(), image, error);
}

bool encode_png(const Image& image, std::string& bytes) {
  bytes.clear();
  if (image.width <= 0 || image.height <= 0) return false;
  // The same encoder as for files: the bytes are those a file would hold.
  const auto append = [](void* context, void* data, int size) {
    static_cast<std::string*>(context)->append(static_cast<const char*>(data),
                                               size_t(size));
  };
  return stbi_write_png_to_func(append, &bytes, image.width, image.height, 3,
                                image.rgb.data(), image.width * 3) != 0;
}

bool write_png_file(const std::string& path, const Image& image) {
  if (image.width <= 0 || image.height <= 0) return false;
  return stbi_write_png(path.c_str(), image.width, image.height, 3,
                        image.rgb.data(), image.width * 3) != 0;
}

std::optional<std::pair<int32_t, int32_t>> image_file_size(
    const std::string& path) {
  std::vector<uint8_t> bytes;
  std::string error;
  if (!read_input_file(path, kPictureFile, bytes, error)) return std::nullopt;
  return image_memory_size(bytes.data(), bytes.size());
}
