// Conversion of cairo drawings to keyed 24-bit pictures, and BMP files.
#include "tools/artwork/bitmap.h"

#include <cstring>

namespace {

constexpr int kFileHeaderBytes = 14;
constexpr int kInfoHeaderBytes = 40;

void put16(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  out[at] = v & 0xFF;
  out[at + 1] = (v >> 8) & 0xFF;
}
void put32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = (v >> (8 * i)) & 0xFF;
}
uint32_t get16(const std::vector<uint8_t>& in, size_t at) {
  return in[at] | (in[at + 1] << 8);
}
uint32_t get32(const std::vector<uint8_t>& in, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | in[at + i];
  return v;
}

size_t row_stride(int width) {
  return (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
}

}  // namespace

Picture picture_from_surface(int32_t id, cairo_surface_t* surface) {
  cairo_surface_flush(surface);
  Picture picture;
  picture.id = id;
  picture.width = cairo_image_surface_get_width(surface);
  picture.height = cairo_image_surface_get_height(surface);
  picture.pixels.resize(static_cast<size_t>(picture.width) * picture.height);
  const unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      uint32_t argb;
      std::memcpy(&argb, data + y * stride + x * 4, sizeof argb);
      const uint32_t a = argb >> 24;
      Rgb& out = picture.pixels[y * picture.width + x];
      if (a < 128) continue;
      // Cairo stores premultiplied colour.
      const auto channel = [a](uint32_t c) {
        return static_cast<uint8_t>((c * 255 + a / 2) / a);
      };
      out = {channel((argb >> 16) & 0xFF), channel((argb >> 8) & 0xFF),
             channel(argb & 0xFF)};
      if (out == Rgb{}) out = kNearBlack;
    }
  }
  return picture;
}

std::vector<uint8_t> encode_bmp(const Picture& picture) {
  const size_t stride = row_stride(picture.width);
  const size_t image_bytes = stride * picture.height;
  const size_t offset = kFileHeaderBytes + kInfoHeaderBytes;
  std::vector<uint8_t> out(offset + image_bytes, 0);
  out[0] = 'B';
  out[1] = 'M';
  put32(out, 2, static_cast<uint32_t>(out.size()));
  put32(out, 10, static_cast<uint32_t>(offset));
  put32(out, 14, kInfoHeaderBytes);
  put32(out, 18, picture.width);
  put32(out, 22, picture.height);
  put16(out, 26, 1);
  put16(out, 28, 24);
  put32(out, 34, static_cast<uint32_t>(image_bytes));
  for (int y = 0; y < picture.height; ++y) {
    uint8_t* row = out.data() + offset + (picture.height - 1 - y) * stride;
    for (int x = 0; x < picture.width; ++x) {
      const Rgb p = picture.at(x, y);
      row[3 * x] = p.b;
      row[3 * x + 1] = p.g;
      row[3 * x + 2] = p.r;
    }
  }
  return out;
}

bool decode_bmp(const std::vector<uint8_t>& file, Picture& picture) {
  if (file.size() < kFileHeaderBytes + kInfoHeaderBytes || file[0] != 'B' ||
      file[1] != 'M')
    return false;
  const uint32_t offset = get32(file, 10);
  const auto width = static_cast<int32_t>(get32(file, 18));
  const auto height = static_cast<int32_t>(get32(file, 22));
  if (get32(file, 14) != kInfoHeaderBytes || get16(file, 28) != 24 ||
      get32(file, 30) != 0 || width <= 0 || height <= 0 || width > 4096 ||
      height > 4096)
    return false;
  const size_t stride = row_stride(width);
  if (offset > file.size() || file.size() - offset < stride * height)
    return false;
  picture.width = width;
  picture.height = height;
  picture.pixels.assign(static_cast<size_t>(width) * height, Rgb{});
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = file.data() + offset + (height - 1 - y) * stride;
    for (int x = 0; x < width; ++x)
      picture.pixels[y * width + x] = {row[3 * x + 2], row[3 * x + 1],
                                       row[3 * x]};
  }
  return true;
}
