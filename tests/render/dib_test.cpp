// Device-independent bitmaps: the layouts the module's resources and the
// artwork files may use, and damaged input that must fail without reading
// past its end.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host/render/image.h"

namespace {

using Bytes = std::vector<uint8_t>;

void put16(Bytes& b, uint32_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
void put32(Bytes& b, uint32_t v) {
  put16(b, v & 0xFFFF);
  put16(b, v >> 16);
}

struct DibShape {
  int32_t width = 2;
  int32_t height = 2;
  uint32_t bits = 24;
  uint32_t compression = 0;
  uint32_t palette_used = 0;
  uint32_t header = 40;
  Bytes extra = {};  // masks or palette, as stored
  Bytes rows = {};   // as stored, padded
};

Bytes dib(const DibShape& s) {
  Bytes b;
  put32(b, s.header);
  if (s.header == 12) {
    put16(b, uint32_t(s.width));
    put16(b, uint32_t(s.height));
    put16(b, 1);
    put16(b, s.bits);
  } else {
    put32(b, uint32_t(s.width));
    put32(b, uint32_t(s.height));
    put16(b, 1);
    put16(b, s.bits);
    put32(b, s.compression);
    put32(b, uint32_t(s.rows.size()));
    put32(b, 2835);
    put32(b, 2835);
    put32(b, s.palette_used);
    put32(b, 0);
    b.resize(s.header, 0);
  }
  b.insert(b.end(), s.extra.begin(), s.extra.end());
  b.insert(b.end(), s.rows.begin(), s.rows.end());
  return b;
}

Bytes bmp_file(const Bytes& dib_bytes, uint32_t rows_offset) {
  Bytes b = {'B', 'M'};
  put32(b, uint32_t(14 + dib_bytes.size()));
  put32(b, 0);
  put32(b, rows_offset);
  b.insert(b.end(), dib_bytes.begin(), dib_bytes.end());
  return b;
}

// Red top left, green top right, blue bottom left, white bottom right.
const uint8_t kExpected[2][2][3] = {{{255, 0, 0}, {0, 255, 0}},
                                    {{0, 0, 255}, {255, 255, 255}}};

struct LayoutCase {
  const char* name;
  DibShape shape;
};

void PrintTo(const LayoutCase& c, std::ostream* out) { *out << c.name; }

// Bottom-up rows unless the height is negative; each row padded to 4 bytes.
const LayoutCase kLayouts[] = {
    {"rgb24_bottom_up",
     {.rows = {255, 0, 0, 255, 255, 255, 0, 0,  // blue, white, pad
               0, 0, 255, 0, 255, 0, 0, 0}}},
    {"rgb24_top_down",
     {.height = -2,
      .rows = {0, 0, 255, 0, 255, 0, 0, 0, 255, 0, 0, 255, 255, 255, 0, 0}}},
    {"core_header_24",
     {.header = 12,
      .rows = {255, 0, 0, 255, 255, 255, 0, 0, 0, 0, 255, 0, 255, 0, 0, 0}}},
    {"palette8",
     {.bits = 8,
      .palette_used = 4,
      .extra = {0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0, 255, 255, 255, 0},
      .rows = {2, 3, 0, 0, 0, 1, 0, 0}}},
    {"palette4",
     {.bits = 4,
      .palette_used = 4,
      .extra = {0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0, 255, 255, 255, 0},
      .rows = {0x23, 0, 0, 0, 0x01, 0, 0, 0}}},
    {"palette1_full_table",
     {.width = 2,
      .bits = 1,
      .extra = {0, 0, 255, 0, 255, 255, 255, 0},
      .rows = {0xC0, 0, 0, 0, 0x40, 0, 0, 0}}},
    {"rgb555",
     {.bits = 16, .rows = {0x1F, 0x00, 0xFF, 0x7F, 0x00, 0x7C, 0xE0, 0x03}}},
    {"bitfields565",
     {.bits = 16,
      .compression = 3,
      .extra = {0x00, 0xF8, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0, 0, 0},
      .rows = {0x1F, 0x00, 0xFF, 0xFF, 0x00, 0xF8, 0xE0, 0x07}}},
    {"rgb32",
     {.bits = 32,
      .rows = {255, 0, 0, 0, 255, 255, 255, 0, 0, 0, 255, 0, 0, 255, 0, 0}}},
};

class DibLayouts : public testing::TestWithParam<LayoutCase> {};

TEST_P(DibLayouts, DecodeToTheSamePixels) {
  LayoutCase c = GetParam();
  // The 1-bit case is red/white only: its expectation differs.
  const bool mono = c.shape.bits == 1;
  Image image;
  std::string error;
  ASSERT_TRUE(parse_dib(dib(c.shape), image, error)) << error;
  ASSERT_EQ(image.width, 2);
  ASSERT_EQ(image.height, 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 2; ++x) {
      const uint8_t* want = kExpected[y][x];
      const uint8_t white[3] = {255, 255, 255};
      if (mono) want = (y == 0 && x == 0) ? kExpected[0][0] : white;
      for (int ch = 0; ch < 3; ++ch)
        EXPECT_EQ(image.at(x, y)[ch], want[ch]) << x << "," << y << " " << ch;
    }
}

INSTANTIATE_TEST_SUITE_P(All, DibLayouts, testing::ValuesIn(kLayouts),
                         [](const testing::TestParamInfo<LayoutCase>& info) {
                           return std::string(info.param.name);
                         });

TEST(BmpFile, RowsFollowTheFileHeadersOffset) {
  DibShape shape = kLayouts[0].shape;
  Bytes inner = dib(shape);
  // Two bytes of gap between the header and the rows.
  inner.insert(inner.begin() + 40, {0xAA, 0xBB});
  Image image;
  std::string error;
  ASSERT_TRUE(parse_bmp_file(bmp_file(inner, 14 + 40 + 2), image, error))
      << error;
  EXPECT_EQ(image.at(1, 1)[0], 255);
  EXPECT_EQ(image.at(0, 1)[2], 255);
}

struct DamageCase {
  const char* name;
  DibShape shape;
  const char* reason;
};

void PrintTo(const DamageCase& c, std::ostream* out) { *out << c.name; }

const DamageCase kDamage[] = {
    {"unknown_header", {.header = 20}, "header size"},
    {"zero_width", {.width = 0}, "out of range"},
    {"huge_height", {.height = 100000}, "out of range"},
    {"seven_bits", {.bits = 7}, "bits a pixel"},
    {"run_length", {.bits = 8, .compression = 1}, "compression"},
    {"palette_cut",
     {.bits = 8, .palette_used = 4, .extra = {1, 2, 3}},
     "palette"},
    {"index_past_palette",
     {.bits = 8,
      .palette_used = 2,
      .extra = {0, 0, 255, 0, 0, 255, 0, 0},
      .rows = {1, 5, 0, 0, 0, 1, 0, 0}},
     "beyond the palette"},
    {"rows_cut", {.rows = {1, 2, 3, 4, 5, 6, 7, 8, 9}}, "cut short"},
    {"masks_cut", {.bits = 32, .compression = 3, .extra = {1, 2}}, "masks"},
};

class DibDamage : public testing::TestWithParam<DamageCase> {};

TEST_P(DibDamage, FailsNamingTheReason) {
  Image image;
  std::string error;
  EXPECT_FALSE(parse_dib(dib(GetParam().shape), image, error));
  EXPECT_NE(error.find(GetParam().reason), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(All, DibDamage, testing::ValuesIn(kDamage),
                         [](const testing::TestParamInfo<DamageCase>& info) {
                           return std::string(info.param.name);
                         });

// Every cut of a good file fails cleanly; each cut is copied to a buffer of
// its own size so the address sanitizer catches any read past it.
TEST(DibDamage, EveryCutFailsWithoutReadingPastTheEnd) {
  for (const LayoutCase& c : kLayouts) {
    const Bytes good = dib(c.shape);
    const Bytes file =
        bmp_file(good, uint32_t(14 + good.size() - c.shape.rows.size()));
    for (size_t length = 0; length < good.size(); ++length) {
      const Bytes cut(good.begin(), good.begin() + long(length));
      Image image;
      std::string error;
      EXPECT_FALSE(parse_dib(cut, image, error)) << c.name << " " << length;
    }
    for (size_t length = 0; length < file.size(); ++length) {
      const Bytes cut(file.begin(), file.begin() + long(length));
      Image image;
      std::string error;
      EXPECT_FALSE(parse_bmp_file(cut, image, error))
          << c.name << " " << length;
    }
  }
}

TEST(BmpFile, RejectsOtherFilesAndOffsetsInsideTheHeader) {
  const Bytes good = dib(kLayouts[0].shape);
  Image image;
  std::string error;
  Bytes not_bmp = bmp_file(good, 54);
  not_bmp[0] = 'P';
  EXPECT_FALSE(parse_bmp_file(not_bmp, image, error));
  EXPECT_FALSE(parse_bmp_file(bmp_file(good, 20), image, error));
  EXPECT_NE(error.find("inside its header"), std::string::npos) << error;
  EXPECT_FALSE(parse_bmp_file(bmp_file(good, 0xFFFFFFF0u), image, error));
}

}  // namespace
