// The image reader of the panels' window backgrounds, on bytes in memory:
// what it decodes, and what it refuses before asking for pixel memory.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host/render/stb_files.h"

namespace {

// A bottom-up 24-bit BMP of `width` x `height` claimed, holding `pixels`.
std::vector<uint8_t> bmp(int32_t width, int32_t height,
                         const std::vector<uint8_t>& pixels) {
  std::vector<uint8_t> out = {'B', 'M'};
  auto put32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
  };
  auto put16 = [&](uint16_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
  };
  put32(uint32_t(54 + pixels.size()));
  put32(0);
  put32(54);
  put32(40);
  put32(uint32_t(width));
  put32(uint32_t(height));
  put16(1);
  put16(24);
  put32(0);
  put32(uint32_t(pixels.size()));
  put32(2835);
  put32(2835);
  put32(0);
  put32(0);
  out.insert(out.end(), pixels.begin(), pixels.end());
  return out;
}

std::vector<uint8_t> cut(std::vector<uint8_t> bytes, size_t size) {
  bytes.resize(size);
  return bytes;
}

struct ImageBytesCase {
  const char* name;
  std::vector<uint8_t> bytes;
  bool decodes;
  int32_t width;  // when it decodes
  int32_t height;
};

void PrintTo(const ImageBytesCase& c, std::ostream* out) { *out << c.name; }

// One blue-green-red pixel row of two, padded to four bytes.
const std::vector<uint8_t> kTwoPixels = {10, 20, 30, 40, 50, 60, 0, 0};

const ImageBytesCase kImageBytes[] = {
    {"TwoPixels", bmp(2, 1, kTwoPixels), true, 2, 1},
    {"Empty", {}, false, 0, 0},
    {"HeaderCutShort", cut(bmp(2, 1, kTwoPixels), 30), false, 0, 0},
    // Missing pixel bytes read as black, never from past the end.
    {"PixelsCutShort", cut(bmp(2, 1, kTwoPixels), 57), true, 2, 1},
    {"WiderThanTheRendererTakes", bmp(16385, 1, kTwoPixels), false, 0, 0},
    {"ZeroWide", bmp(0, 1, kTwoPixels), false, 0, 0},
    {"NotAnImage", {'h', 'e', 'l', 'l', 'o'}, false, 0, 0},
    // A damaged 16-bit grey map: no panel's format, so not decoded at all.
    {"GreyMapIsNotAPanelFormat",
     {'P', '5', '1', ' ', '9', '2', ' ', '9', '9', '9', 'A', 'a', 0xbe, 'B',
      'A'},
     false,
     0,
     0},
    // A 2 x 2 PNG whose compressed data was cut; its decoder gave no reason.
    {"PngWithDamagedData",
     {0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d,
      0x49, 0x48, 0x44, 0x52, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x02,
      0x08, 0x02, 0x00, 0x00, 0x00, 0xed, 0xd4, 0x9a, 0x72, 0x00, 0x00, 0x00,
      0x12, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9c, 0x63, 0xf8, 0xf9, 0x68, 0x8b,
      0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82},
     false,
     0,
     0},
};

class ImageBytes : public testing::TestWithParam<ImageBytesCase> {};

TEST_P(ImageBytes, DecodeOrRefuseWithAReason) {
  const ImageBytesCase& c = GetParam();
  Image image;
  std::string error;
  const bool decoded =
      read_image_memory(c.bytes.data(), c.bytes.size(), image, error);
  ASSERT_EQ(decoded, c.decodes) << error;
  if (!decoded) {
    EXPECT_FALSE(error.empty());
    return;
  }
  EXPECT_EQ(image.width, c.width);
  EXPECT_EQ(image.height, c.height);
  EXPECT_EQ(image_memory_size(c.bytes.data(), c.bytes.size()),
            (std::pair{c.width, c.height}));
}

INSTANTIATE_TEST_SUITE_P(
    Backgrounds, ImageBytes, testing::ValuesIn(kImageBytes),
    [](const testing::TestParamInfo<ImageBytesCase>& info) {
      return std::string(info.param.name);
    });

TEST(ImageBytesPixels, ComeOutRedGreenBlue) {
  const std::vector<uint8_t> bytes = bmp(2, 1, kTwoPixels);
  Image image;
  std::string error;
  ASSERT_TRUE(read_image_memory(bytes.data(), bytes.size(), image, error));
  EXPECT_EQ(image.rgb, (std::vector<uint8_t>{30, 20, 10, 60, 50, 40}));
}

// The decoder would size its buffer from a chunk's stated length before
// reading it: the file is refused before that.
struct DamagedPngCase {
  const char* name;
  std::vector<uint8_t> bytes;
};

const DamagedPngCase kDamagedPngs[] = {
    // The second data chunk of this 247 x 2 picture claims about 2 GB.
    {.name = "ChunkLongerThanTheFile",
     .bytes = {0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00,
               0x0d, 0x49, 0x48, 0x44, 0x52, 0x00, 0x00, 0x00, 0xf7, 0x00, 0x00,
               0x00, 0x02, 0x08, 0x02, 0x00, 0x00, 0x00, 0xed, 0xd4, 0x9a, 0x73,
               0x00, 0x00, 0x00, 0x12, 0x49, 0x44, 0x41, 0x54, 0x6f, 0x9c, 0x63,
               0xf8, 0xcf, 0xc0, 0xc0, 0x00, 0xc2, 0x04, 0xff, 0x00, 0x00, 0x00,
               0x00, 0x00, 0x00, 0x00, 0x00, 0xd4, 0x00, 0xed, 0x73, 0x00, 0x9a,
               0x12, 0x49, 0x44, 0x41, 0x54, 0x78, 0x42, 0x60, 0x82}},
    // The file ends one byte after a data chunk's header claiming 1.3 GB:
    // too short for the chunk's checksum, long enough for its length.
    {.name = "ChunkHeaderAtTheVeryEnd",
     .bytes = {0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00,
               0x0d, 0x49, 0x48, 0x44, 0x52, 0x00, 0x00, 0x00, 0x23, 0x00, 0x00,
               0x00, 0x02, 0x08, 0x02, 0x00, 0x00, 0x00, 0xfd, 0xd4, 0x9a, 0x3d,
               0x00, 0x00, 0x00, 0x12, 0x49, 0x44, 0x41, 0x54, 0xfe, 0x45, 0x4e,
               0x44, 0x35, 0x63, 0xf8, 0xcf, 0xc0, 0xc0, 0x00, 0xc2, 0x0c, 0xff,
               0x81, 0x8b, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xff,
               0xff, 0x49, 0x44, 0x41, 0x54, 0x82}},
};

class DamagedPng : public testing::TestWithParam<DamagedPngCase> {};

TEST_P(DamagedPng, IsRefusedBeforeTheDecoderSizesABuffer) {
  const std::vector<uint8_t>& bytes = GetParam().bytes;
  Image image;
  std::string error;
  EXPECT_FALSE(read_image_memory(bytes.data(), bytes.size(), image, error));
  EXPECT_EQ(error, "damaged PNG: a chunk runs past the end of the file");
}

INSTANTIATE_TEST_SUITE_P(
    ImageBytesPng, DamagedPng, testing::ValuesIn(kDamagedPngs),
    [](const testing::TestParamInfo<DamagedPngCase>& info) {
      return std::string(info.param.name);
    });

}  // namespace
