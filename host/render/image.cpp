// Reading device-independent bitmaps: every size and offset is checked
// against the input before it is used.
#include "host/render/image.h"

#include <bit>

namespace {

constexpr uint32_t kCompressionRgb = 0;
constexpr uint32_t kCompressionBitfields = 3;
constexpr size_t kFileHeaderBytes = 14;
constexpr size_t kCoreHeaderBytes = 12;
constexpr size_t kInfoHeaderBytes = 40;

uint32_t read_u16(std::span<const uint8_t> b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8;
}

uint32_t read_u32(std::span<const uint8_t> b, size_t at) {
  return read_u16(b, at) | read_u16(b, at + 2) << 16;
}

// One channel of a packed pixel, widened to 8 bits.
struct Channel {
  uint32_t mask = 0;
  int shift = 0;
  uint32_t max = 0;

  explicit Channel(uint32_t m) : mask(m) {
    if (mask == 0) return;
    shift = std::countr_zero(mask);
    max = mask >> shift;
  }
  uint8_t operator()(uint32_t pixel) const {
    if (max == 0) return 0;
    return uint8_t(((pixel & mask) >> shift) * 255u / max);
  }
};

struct Layout {
  int64_t width = 0;
  int64_t height = 0;  // negative: rows top-down
  uint32_t bits = 0;
  uint32_t compression = kCompressionRgb;
  uint32_t palette_entries = 0;
  size_t palette_entry_bytes = 4;
  uint32_t masks[3] = {0, 0, 0};
};

bool fail(std::string& error, std::string reason) {
  error = std::move(reason);
  return false;
}

// Reads the info header; `palette_at` is where the palette (or the masks
// of a 40-byte header) begins.
bool read_header(std::span<const uint8_t> b, Layout& layout, size_t& palette_at,
                 std::string& error) {
  if (b.size() < 4) return fail(error, "too short for a bitmap header");
  const uint32_t header = read_u32(b, 0);
  if (header != kCoreHeaderBytes && header < kInfoHeaderBytes)
    return fail(error, "unknown bitmap header size " + std::to_string(header));
  if (header > b.size()) return fail(error, "bitmap header cut short");
  uint32_t planes = 0;
  if (header == kCoreHeaderBytes) {
    layout.width = read_u16(b, 4);
    layout.height = int16_t(read_u16(b, 6));
    planes = read_u16(b, 8);
    layout.bits = read_u16(b, 10);
    layout.palette_entry_bytes = 3;
  } else {
    layout.width = int32_t(read_u32(b, 4));
    layout.height = int32_t(read_u32(b, 8));
    planes = read_u16(b, 12);
    layout.bits = read_u16(b, 14);
    layout.compression = read_u32(b, 16);
    layout.palette_entries = read_u32(b, 32);
  }
  palette_at = header;
  if (planes != 1)
    return fail(error, "bitmap with " + std::to_string(planes) + " planes");
  if (layout.width <= 0 || layout.height == 0 || layout.width > kMaxImageSide ||
      layout.height > kMaxImageSide || layout.height < -kMaxImageSide)
    return fail(error, "bitmap size " + std::to_string(layout.width) + " x " +
                           std::to_string(layout.height) + " out of range");
  switch (layout.bits) {
    case 1:
    case 4:
    case 8:
      if (layout.compression != kCompressionRgb) break;
      if (layout.palette_entries == 0 ||
          layout.palette_entries > (1u << layout.bits))
        layout.palette_entries = 1u << layout.bits;
      return true;
    case 16:
    case 32:
      if (layout.compression == kCompressionBitfields) {
        const size_t masks_at = header == kInfoHeaderBytes ? header : 40;
        if (masks_at + 12 > b.size())
          return fail(error, "bitmap colour masks cut short");
        for (int i = 0; i < 3; ++i)
          layout.masks[i] = read_u32(b, masks_at + 4 * size_t(i));
        if (header == kInfoHeaderBytes) palette_at += 12;
        layout.palette_entries = 0;
        return true;
      }
      if (layout.compression != kCompressionRgb) break;
      if (layout.bits == 16) {
        layout.masks[0] = 0x7C00, layout.masks[1] = 0x03E0;
        layout.masks[2] = 0x001F;
      } else {
        layout.masks[0] = 0xFF0000, layout.masks[1] = 0x00FF00;
        layout.masks[2] = 0x0000FF;
      }
      layout.palette_entries = 0;
      return true;
    case 24:
      if (layout.compression != kCompressionRgb) break;
      layout.palette_entries = 0;
      return true;
    default:
      return fail(error,
                  std::to_string(layout.bits) + " bits a pixel not supported");
  }
  return fail(error, "bitmap compression " +
                         std::to_string(layout.compression) + " not supported");
}

// Decodes the rows that start at `rows_at`.
bool read_rows(std::span<const uint8_t> b, const Layout& layout,
               size_t palette_at, size_t rows_at, Image& image,
               std::string& error) {
  const uint64_t palette_bytes =
      uint64_t(layout.palette_entries) * layout.palette_entry_bytes;
  if (palette_at + palette_bytes > b.size())
    return fail(error, "bitmap palette cut short");
  const int64_t height = layout.height < 0 ? -layout.height : layout.height;
  const uint64_t stride = (uint64_t(layout.width) * layout.bits + 31) / 32 * 4;
  if (rows_at > b.size() || stride * uint64_t(height) > b.size() - rows_at)
    return fail(error, "bitmap rows cut short");
  Image out(int32_t(layout.width), int32_t(height));
  const Channel red(layout.masks[0]), green(layout.masks[1]),
      blue(layout.masks[2]);
  for (int64_t row = 0; row < height; ++row) {
    const int64_t y = layout.height < 0 ? row : height - 1 - row;
    const size_t line = rows_at + size_t(stride) * size_t(row);
    for (int64_t x = 0; x < layout.width; ++x) {
      uint8_t* pixel = out.at(int32_t(x), int32_t(y));
      if (layout.bits <= 8) {
        const uint64_t bit = uint64_t(x) * layout.bits;
        const uint32_t byte = b[line + size_t(bit / 8)];
        const uint32_t index =
            (byte >> (8 - layout.bits - bit % 8)) & ((1u << layout.bits) - 1);
        if (index >= layout.palette_entries)
          return fail(error, "colour index " + std::to_string(index) +
                                 " beyond the palette");
        const size_t entry = palette_at + index * layout.palette_entry_bytes;
        pixel[0] = b[entry + 2], pixel[1] = b[entry + 1], pixel[2] = b[entry];
      } else if (layout.bits == 24) {
        const size_t at = line + size_t(x) * 3;
        pixel[0] = b[at + 2], pixel[1] = b[at + 1], pixel[2] = b[at];
      } else {
        const size_t at = line + size_t(x) * (layout.bits / 8);
        const uint32_t packed =
            layout.bits == 16 ? read_u16(b, at) : read_u32(b, at);
        pixel[0] = red(packed), pixel[1] = green(packed),
        pixel[2] = blue(packed);
      }
    }
  }
  image = std::move(out);
  return true;
}

}  // namespace

bool parse_dib(std::span<const uint8_t> bytes, Image& image,
               std::string& error) {
  Layout layout;
  size_t palette_at = 0;
  if (!read_header(bytes, layout, palette_at, error)) return false;
  const size_t rows_at =
      palette_at + size_t(layout.palette_entries) * layout.palette_entry_bytes;
  return read_rows(bytes, layout, palette_at, rows_at, image, error);
}

bool parse_bmp_file(std::span<const uint8_t> bytes, Image& image,
                    std::string& error) {
  if (bytes.size() < kFileHeaderBytes || bytes[0] != 'B' || bytes[1] != 'M')
    return fail(error, "not a BMP file");
  const std::span<const uint8_t> dib = bytes.subspan(kFileHeaderBytes);
  Layout layout;
  size_t palette_at = 0;
  if (!read_header(dib, layout, palette_at, error)) return false;
  const uint32_t rows_offset = read_u32(bytes, 10);
  if (rows_offset < kFileHeaderBytes + palette_at)
    return fail(error, "BMP pixel offset inside its header");
  return read_rows(dib, layout, palette_at, rows_offset - kFileHeaderBytes,
                   image, error);
}
