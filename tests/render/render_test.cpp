// The renderer on small gauges built here: each element kind, clipping,
// lighting, bad input, and a window drawn through the host.
#include "host/render/render.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "elements/declare.h"
#include "host/core/host.h"
#include "host/render/stb_files.h"

void PrintTo(const Rgb& c, std::ostream* out) {
  *out << "(" << int(c.red) << "," << int(c.green) << "," << int(c.blue) << ")";
}

namespace {

constexpr Rgb kMarker{9, 9, 9};
constexpr Rgb kGrey{100, 100, 100};
constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kGreen{0, 255, 0};
constexpr Rgb kBlue{0, 0, 255};
constexpr Rgb kWhiteRgb{255, 255, 255};
constexpr Rgb kKey{0, 0, 0};

Image solid(int32_t width, int32_t height, Rgb colour) {
  Image image(width, height);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      uint8_t* p = image.at(x, y);
      p[0] = colour.red, p[1] = colour.green, p[2] = colour.blue;
    }
  return image;
}

void paint(Image& image, int32_t x, int32_t y, Rgb colour) {
  uint8_t* p = image.at(x, y);
  p[0] = colour.red, p[1] = colour.green, p[2] = colour.blue;
}

Rgb pixel(const Image& image, int32_t x, int32_t y) {
  const uint8_t* p = image.at(x, y);
  return {p[0], p[1], p[2]};
}

// A gauge whose elements and states the test sets by hand: a 20 x 20 grey
// background (bitmap 1) placed at (0,0) at one window pixel per background
// pixel, on a 30 x 30 window filled with a marker colour.
class GaugeFixture : public testing::Test {
 protected:
  void SetUp() override {
    header.name = "Probe";
    header.default_width_mm = 20;
    placement.gauge = "Probe";
    placement.width = 20;
    placement.height = 20;
    gauge.header = &header;
    gauge.placement = &placement;
    gauge.installed = true;
    bitmaps.add(1, solid(20, 20, kGrey));
    background = static_image({.bitmap = 1, .at = {0, 0}, .flags = 0x3});
    add(&background.head);
    picture = solid(30, 30, kMarker);
  }

  ElementState& add(ElementHeader* head) {
    head->gauge = &header;
    gauge.elements.push_back(head);
    ElementState state;
    state.drawn = true;
    state.updated = true;
    gauge.states.push_back(state);
    return gauge.states.back();
  }

  void draw(const Lighting& lighting = {}) {
    draw_gauge(picture, gauge, bitmaps, lighting, notes);
  }

  GaugeHeader header{};
  GaugePlacement placement;
  GaugeInstance gauge;
  MemoryBitmaps bitmaps;
  StaticImageElement background{};
  Image picture;
  std::vector<std::string> notes;
};

// A needle as the artwork draws them, pointing right, five by three and one
// pixel thick: four green pixels and a red tip, the pivot off centre at
// (2,1) with two pixels of tail; the rest is the key colour.
Image needle_bitmap() {
  Image image = solid(5, 3, kKey);
  for (int32_t x = 0; x < 4; ++x) paint(image, x, 1, kGreen);
  paint(image, 4, 1, kRed);
  return image;
}

TEST_F(GaugeFixture, NeedleTurnsAboutItsPivot) {
  bitmaps.add(2, needle_bitmap());
  NeedleElement hand = needle({.bitmap = 2,
                               .at = {10, 10},
                               .pivot = {2, 1},
                               .table = {},
                               .flags = 0x3});
  ElementState& state = add(&hand.head);
  state.angle = 0;
  draw();
  EXPECT_EQ(pixel(picture, 10, 7), kRed);
  EXPECT_EQ(pixel(picture, 10, 10), kGreen);
  EXPECT_EQ(pixel(picture, 11, 7), kGrey);  // the key is not drawn

  // A quarter turn clockwise: the tip lies right of the pivot.
  gauge.states.back().angle = 90;
  picture = solid(30, 30, kMarker);
  draw();
  EXPECT_EQ(pixel(picture, 12, 10), kRed);
  for (int32_t x = 8; x <= 11; ++x) EXPECT_EQ(pixel(picture, x, 10), kGreen);
  EXPECT_EQ(pixel(picture, 10, 7), kGrey);
  EXPECT_EQ(pixel(picture, 10, 9), kGrey);

  // Half a turn, reached by unwrapped angles too.
  gauge.states.back().angle = 180 + 720;
  picture = solid(30, 30, kMarker);
  draw();
  EXPECT_EQ(pixel(picture, 9, 12), kRed);
}

TEST_F(GaugeFixture, IconsDrawTheirIndexAndNothingForMinusOne) {
  bitmaps.add(10, solid(4, 4, kRed));
  bitmaps.add(11, solid(4, 4, kBlue));
  IconElement lamp = icon({.bitmap = 10, .at = {2, 2}, .icons = 2});
  ElementState& state = add(&lamp.head);
  state.icon_index = 1;
  draw();
  EXPECT_EQ(pixel(picture, 3, 3), kBlue);

  gauge.states.back().icon_index = -1;
  picture = solid(30, 30, kMarker);
  draw();
  EXPECT_EQ(pixel(picture, 3, 3), kGrey);
  EXPECT_TRUE(notes.empty());
}

TEST_F(GaugeFixture, HiddenOrUndrawnElementsAreNotDrawn) {
  bitmaps.add(10, solid(4, 4, kRed));
  StaticImageElement hidden =
      static_image({.bitmap = 10, .at = {2, 2}, .flags = 0x3 | kImageHidden});
  add(&hidden.head);
  StaticImageElement failed =
      static_image({.bitmap = 10, .at = {10, 10}, .flags = 0x3});
  add(&failed.head).drawn = false;  // as the host leaves failure action 3
  draw();
  EXPECT_EQ(pixel(picture, 3, 3), kGrey);
  EXPECT_EQ(pixel(picture, 11, 11), kGrey);
}

TEST_F(GaugeFixture, ElementsAreClippedToTheBackground) {
  bitmaps.add(10, solid(10, 10, kRed));
  StaticImageElement overhang =
      static_image({.bitmap = 10, .at = {15, 15}, .flags = 0x3});
  add(&overhang.head);
  draw();
  EXPECT_EQ(pixel(picture, 19, 19), kRed);
  EXPECT_EQ(pixel(picture, 20, 20), kMarker);
  EXPECT_EQ(pixel(picture, 24, 19), kMarker);
}

struct MovingCase {
  const char* name;
  double value;
  double minimum;
  double maximum;
  Rgb shown;
};

void PrintTo(const MovingCase& c, std::ostream* out) { *out << c.name; }

// A 4 x 12 picture in three bands (red, green, blue) behind a 4 x 4 window.
const MovingCase kMoving[] = {
    {"at_minimum", 0, 0, 10, kRed},
    {"at_maximum", 10, 0, 10, kBlue},
    {"halfway", 5, 0, 10, kGreen},
    {"beyond_maximum", 25, 0, 10, kBlue},
    {"reversed_at_minimum", 10, 10, 0, kRed},
    {"reversed_at_maximum", 0, 10, 0, kBlue},
    {"ends_meet", 7, 3, 3, kRed},
};

class MovingImages : public GaugeFixture,
                     public testing::WithParamInterface<MovingCase> {};

TEST_P(MovingImages, SlideThePictureBehindTheWindow) {
  const MovingCase& c = GetParam();
  Image strip = solid(4, 12, kRed);
  for (int32_t y = 4; y < 12; ++y)
    for (int32_t x = 0; x < 4; ++x) paint(strip, x, y, y < 8 ? kGreen : kBlue);
  bitmaps.add(20, strip);
  bitmaps.add(21, solid(4, 4, kWhiteRgb));
  // The x axis is not driven: its limits are free for other uses and must
  // not move the picture.
  MovingImageElement drum = moving_image({.bitmap = 20,
                                          .at = {5, 5},
                                          .x_min = 1,
                                          .x_max = 9,
                                          .y_token = 75,
                                          .y_min = c.minimum,
                                          .y_max = c.maximum,
                                          .flags = 0x3});
  ElementState& state = add(&drum.head);
  state.values[1] = c.value;
  draw();
  for (int32_t y = 5; y < 9; ++y)
    for (int32_t x = 5; x < 9; ++x) EXPECT_EQ(pixel(picture, x, y), c.shown);
  EXPECT_EQ(pixel(picture, 5, 9), kGrey);  // nothing outside the window
}

INSTANTIATE_TEST_SUITE_P(All, MovingImages, testing::ValuesIn(kMoving),
                         [](const testing::TestParamInfo<MovingCase>& info) {
                           return std::string(info.param.name);
                         });

// An 8 x 8 texture at (6,6), whose middle is the centre of rotation
// (10,10): a bar across rows 3 and 4, left half red and right half blue;
// the window over the same square.
class Sprites : public GaugeFixture {
 protected:
  void SetUp() override {
    GaugeFixture::SetUp();
    Image texture = solid(8, 8, kKey);
    for (int32_t x = 0; x < 8; ++x)
      for (int32_t y = 3; y < 5; ++y)
        paint(texture, x, y, x < 4 ? kRed : kBlue);
    bitmaps.add(30, texture);
    bitmaps.add(31, solid(8, 8, kWhiteRgb));
  }
};

TEST_F(Sprites, TurnAndScaleAboutTheirCentre) {
  SpriteElement card = sprite({.bitmap = 30,
                               .at = {6, 6},
                               .centre = {10, 10},
                               .texture_scale_x = 0.5f,
                               .rotation_token = 80,
                               .rotation_scale = -1.0,
                               .flags = 0x3});
  // 90 times -1: the texture's frame turns a quarter clockwise.
  add(&card.head).values[2] = 90;
  draw();
  // Half as long, now upright: red above the centre, blue below.
  EXPECT_EQ(pixel(picture, 10, 8), kRed);
  EXPECT_EQ(pixel(picture, 10, 9), kRed);
  EXPECT_EQ(pixel(picture, 10, 10), kBlue);
  EXPECT_EQ(pixel(picture, 10, 11), kBlue);
  EXPECT_EQ(pixel(picture, 10, 7), kGrey);
  EXPECT_EQ(pixel(picture, 10, 12), kGrey);
  EXPECT_EQ(pixel(picture, 7, 10), kGrey);
}

TEST_F(Sprites, ShiftInTheirOwnFrameBeforeTurning) {
  SpriteElement card = sprite({.bitmap = 30,
                               .at = {6, 6},
                               .centre = {10, 10},
                               .y_token = 78,
                               .y_scale = 1.0,
                               .rotation_token = 80,
                               .rotation_scale = 1.0,
                               .flags = 0x3});
  ElementState& state = add(&card.head);
  // The texture's frame moves a pixel down, so the picture moves a pixel
  // up; then a quarter turn counter-clockwise, so up becomes left and the
  // bar's red half comes below the centre.
  state.values[1] = 1;
  state.values[2] = 90;
  draw();
  EXPECT_EQ(pixel(picture, 8, 11), kRed);
  EXPECT_EQ(pixel(picture, 8, 7), kBlue);
  EXPECT_EQ(pixel(picture, 10, 8), kGrey);
  EXPECT_EQ(pixel(picture, 10, 11), kGrey);
}

TEST_F(GaugeFixture, SlidersShiftByValueTimesScale) {
  bitmaps.add(10, solid(2, 2, kRed));
  SliderElement ball = slider({.bitmap = 10,
                               .at = {4, 4},
                               .x_token = 69,
                               .x_scale = 0.5,
                               .y_token = 69,
                               .y_scale = -1,
                               .flags = 0x3});
  ElementState& state = add(&ball.head);
  state.values[0] = 8, state.values[1] = -2;
  draw();
  EXPECT_EQ(pixel(picture, 8, 6), kRed);
  EXPECT_EQ(pixel(picture, 9, 7), kRed);
  EXPECT_EQ(pixel(picture, 4, 4), kGrey);
}

TEST_F(GaugeFixture, GaugesScaleFromBackgroundToPlacement) {
  bitmaps.add(10, solid(2, 2, kRed));
  StaticImageElement dot =
      static_image({.bitmap = 10, .at = {4, 4}, .flags = 0x3});
  add(&dot.head);
  placement.x = 2;
  placement.width = 10;  // half size; the height follows
  placement.height.reset();
  draw();
  EXPECT_EQ(pixel(picture, 4, 2), kRed);  // (2 + 4 / 2, 4 / 2)
  EXPECT_EQ(pixel(picture, 5, 2), kGrey);
  EXPECT_EQ(pixel(picture, 4, 3), kGrey);
  EXPECT_EQ(pixel(picture, 11, 9), kGrey);
  EXPECT_EQ(pixel(picture, 12, 9), kMarker);
  EXPECT_EQ(pixel(picture, 11, 10), kMarker);
}

TEST_F(GaugeFixture, SmoothScalingOnlyWhereTheFlagAsks) {
  Image pair = solid(2, 1, kRed);
  paint(pair, 1, 0, kBlue);
  bitmaps.add(10, pair);
  StaticImageElement sharp =
      static_image({.bitmap = 10, .at = {0, 0}, .flags = 0x3});
  StaticImageElement smooth =
      static_image({.bitmap = 10, .at = {0, 2}, .flags = 0x83});
  add(&sharp.head);
  add(&smooth.head);
  placement.width = 80;  // four window pixels per background pixel
  placement.height = 80;
  picture = solid(80, 80, kMarker);
  draw();
  for (int32_t x = 0; x < 8; ++x) {
    const Rgb p = pixel(picture, x, 1);
    EXPECT_TRUE(p == kRed || p == kBlue) << x;
  }
  const Rgb middle = pixel(picture, 4, 9);
  EXPECT_GT(middle.red, 0);
  EXPECT_GT(middle.blue, 0);
}

TEST_F(GaugeFixture, StringsAreCentredInTheirBoxWithTheirColours) {
  bitmaps.add(1, solid(60, 40, kGrey));
  placement.width = 60;
  placement.height = 40;
  picture = solid(60, 40, kMarker);
  StringElement label = string_element({.at = {10, 10},
                                        .box_width = 40,
                                        .box_height = 20,
                                        .text_colour = 0x00FFFFFF,
                                        .background_colour = 0x00800000,
                                        .characters = 8,
                                        .flags = 0x2});
  label.text_flags = 0x25;
  ElementState& state = add(&label.head);
  state.text.assign(9, '\0');
  std::memcpy(state.text.data(), "HH", 2);
  draw();
  EXPECT_EQ(pixel(picture, 10, 10), (Rgb{0, 0, 128}));  // 0x00BBGGRR
  EXPECT_EQ(pixel(picture, 49, 29), (Rgb{0, 0, 128}));
  EXPECT_EQ(pixel(picture, 50, 30), kGrey);
  int32_t left = 60, right = -1, top = 40, bottom = -1;
  for (int32_t y = 0; y < 40; ++y)
    for (int32_t x = 0; x < 60; ++x)
      if (pixel(picture, x, y).red > 200) {
        left = std::min(left, x), right = std::max(right, x);
        top = std::min(top, y), bottom = std::max(bottom, y);
      }
  ASSERT_GE(right, left) << "no text drawn";
  EXPECT_NEAR((left + right + 1) / 2.0, 30, 1.0);
  EXPECT_GE(top, 10);
  EXPECT_LE(bottom, 29);
  EXPECT_GT(bottom - top, 10);  // capitals fill most of a 20-pixel cell
}

struct LightingCase {
  const char* name;
  bool night;
  bool panel_lights;
  uint32_t flags;
  Rgb seen;  // a white element
};

void PrintTo(const LightingCase& c, std::ostream* out) { *out << c.name; }

constexpr Rgb kDayTint{250, 250, 240};
constexpr Rgb kNightTint{60, 60, 90};
constexpr Rgb kLuminousTint{255, 200, 120};

const LightingCase kLighting[] = {
    {"day_plain", false, false, 0x3, kDayTint},
    {"day_luminous", false, true, 0x4003, kDayTint},
    {"day_bright", false, false, 0x7, kDayTint},
    {"night_lit_plain", true, true, 0x3, kNightTint},
    {"night_lit_luminous", true, true, 0x4083, kLuminousTint},
    {"night_lit_bright", true, true, 0x7, kWhiteRgb},
    {"night_dark_plain", true, false, 0x3, {22, 22, 30}},
    {"night_dark_luminous", true, false, 0x4003, {22, 22, 30}},
    {"night_dark_bright", true, false, 0x7, kWhiteRgb},
};

class LightingMatrix : public GaugeFixture,
                       public testing::WithParamInterface<LightingCase> {};

TEST_P(LightingMatrix, TintsEachElementByItsFlags) {
  const LightingCase& c = GetParam();
  bitmaps.add(10, solid(4, 4, kWhiteRgb));
  StaticImageElement lamp =
      static_image({.bitmap = 10, .at = {2, 2}, .flags = c.flags});
  add(&lamp.head);
  Lighting lighting{.night = c.night, .panel_lights = c.panel_lights};
  lighting.colors = {kDayTint, kNightTint, kLuminousTint};
  draw(lighting);
  EXPECT_EQ(pixel(picture, 3, 3), c.seen);
}

INSTANTIATE_TEST_SUITE_P(All, LightingMatrix, testing::ValuesIn(kLighting),
                         [](const testing::TestParamInfo<LightingCase>& info) {
                           return std::string(info.param.name);
                         });

TEST(Lighting, DefaultsWithoutThePanelsTints) {
  const Lighting day;
  const Lighting lit{.night = true, .panel_lights = true};
  EXPECT_EQ(element_tint(0x4003, day), kWhiteRgb);
  EXPECT_EQ(element_tint(0x3, lit), (Rgb{96, 96, 120}));
  EXPECT_EQ(element_tint(0x4003, lit), (Rgb{255, 214, 170}));
}

TEST_F(GaugeFixture, AMissingBitmapIsNotedAndTheRestDrawn) {
  bitmaps.add(10, solid(2, 2, kRed));
  StaticImageElement missing =
      static_image({.bitmap = 99, .at = {2, 2}, .flags = 0x3});
  StaticImageElement present =
      static_image({.bitmap = 10, .at = {6, 6}, .flags = 0x3});
  add(&missing.head);
  add(&present.head);
  gauge.ordinal = 2;
  draw();
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0], "Probe#2 element 2: the module holds no bitmap 99");
  EXPECT_EQ(pixel(picture, 6, 6), kRed);
}

TEST_F(GaugeFixture, BadValuesAndBoxesNeverWriteOutsideTheImage) {
  constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
  constexpr double kInf = std::numeric_limits<double>::infinity();
  bitmaps.add(2, needle_bitmap());
  bitmaps.add(10, solid(2, 2, kRed));
  bitmaps.add(30, solid(4, 2, kRed));
  bitmaps.add(31, solid(20, 20, kWhiteRgb));
  NeedleElement hand = needle({.bitmap = 2,
                               .at = {10, 10},
                               .pivot = {2, 1},
                               .table = {},
                               .flags = 0x83});
  SliderElement ball =
      slider({.bitmap = 10, .at = {4, 4}, .x_token = 1, .x_scale = 1});
  SpriteElement card = sprite({.bitmap = 30,
                               .at = {8, 9},
                               .centre = {10, 10},
                               .texture_scale_x = 0.0f,
                               .rotation_token = 80,
                               .rotation_scale = 1.0});
  add(&hand.head);
  add(&ball.head);
  add(&card.head);
  const double values[] = {kNan, kInf, -kInf, 1e300, -1e300, 1e9};
  const std::optional<int32_t> sizes[] = {20, 0, -20, 2000000000};
  const int32_t offsets[] = {0, -2000000000, 2000000000};
  for (double v : values)
    for (const auto& size : sizes)
      for (int32_t at : offsets) {
        gauge.states[1].angle = v;
        gauge.states[2].values[0] = v;
        gauge.states[3].values[2] = v;
        placement.width = size;
        placement.x = at;
        placement.y = at;
        picture = solid(30, 30, kMarker);
        draw();
        if (!size || *size <= 0 || at != 0) {
          EXPECT_EQ(pixel(picture, 5, 5), kMarker);
        }
      }
}

struct FrameCase {
  const char* name;
  std::optional<int32_t> width, height;
  double scale_x, scale_y;
};

void PrintTo(const FrameCase& c, std::ostream* out) { *out << c.name; }

// A 200 x 100 background whose gauge is 50 wide by default.
const FrameCase kFrames[] = {
    {"both_given", 100, 100, 0.5, 1.0},
    {"height_follows_aspect", 100, std::nullopt, 0.5, 0.5},
    {"width_follows_aspect", std::nullopt, 25, 0.25, 0.25},
    {"default_width", std::nullopt, std::nullopt, 0.25, 0.25},
};

class GaugeFrames : public testing::TestWithParam<FrameCase> {};

TEST_P(GaugeFrames, ScaleThePlacementBoxOverTheBackground) {
  GaugePlacement placement;
  placement.x = 7;
  placement.y = 9;
  placement.width = GetParam().width;
  placement.height = GetParam().height;
  const auto frame = gauge_frame(placement, 200, 100, 50);
  ASSERT_TRUE(frame);
  EXPECT_EQ(frame->x, 7);
  EXPECT_EQ(frame->y, 9);
  EXPECT_DOUBLE_EQ(frame->scale_x, GetParam().scale_x);
  EXPECT_DOUBLE_EQ(frame->scale_y, GetParam().scale_y);
}

INSTANTIATE_TEST_SUITE_P(All, GaugeFrames, testing::ValuesIn(kFrames),
                         [](const testing::TestParamInfo<FrameCase>& info) {
                           return std::string(info.param.name);
                         });

TEST(GaugeFrames, NoFrameForABoxOfNoSize) {
  GaugePlacement placement;
  placement.width = 0;
  EXPECT_FALSE(gauge_frame(placement, 200, 100, 50));
  placement.width = -10;
  EXPECT_FALSE(gauge_frame(placement, 200, 100, 50));
  placement.width.reset();
  EXPECT_FALSE(gauge_frame(placement, 200, 100, 0));
  EXPECT_FALSE(gauge_frame(placement, 0, 100, 50));
}

TEST(Placeholder, OutlinesTheBoxAndNamesTheGauge) {
  Image picture = solid(60, 40, kMarker);
  GaugePlacement placement;
  placement.gauge = "Other_Gauge";
  placement.x = 5;
  placement.y = 5;
  placement.width = 50;
  placement.height = 30;
  draw_placeholder(picture, placement);
  EXPECT_EQ(pixel(picture, 5, 5), (Rgb{200, 200, 200}));
  EXPECT_EQ(pixel(picture, 54, 34), (Rgb{200, 200, 200}));
  EXPECT_EQ(pixel(picture, 55, 35), kMarker);
  EXPECT_EQ(pixel(picture, 30, 30), kMarker);
  int inked = 0;
  for (int32_t y = 6; y < 20; ++y)
    for (int32_t x = 6; x < 54; ++x) inked += pixel(picture, x, y) != kMarker;
  EXPECT_GT(inked, 20);
}

TEST(Png, WritesWhatItDrewAndReportsAPathItCannotWrite) {
  Image picture = solid(3, 2, kRed);
  paint(picture, 2, 1, kBlue);
  const std::string path =
      (std::filesystem::temp_directory_path() / "render_test_roundtrip.png")
          .string();
  std::string error;
  ASSERT_TRUE(write_png(picture, path, error)) << error;
  Image back;
  ASSERT_TRUE(read_image_file(path, back, error)) << error;
  std::filesystem::remove(path);
  EXPECT_EQ(back.rgb, picture.rgb);

  EXPECT_FALSE(write_png(picture, "/nonexistent-folder/x.png", error));
  EXPECT_EQ(error, "cannot write /nonexistent-folder/x.png");
}

// Through the host: the needle angle the host computed from the table is
// the one drawn, and the window gets its background colour.
extern GaugeHeader dial_gauge;
NonlinearityEntry dial_table[] = {mark(0, 10, 0), mark(100, 20, 10)};
ElementChain dial_chain{
    &dial_gauge,
    static_image({.bitmap = 1, .at = {0, 0}, .flags = 0x3}),
    needle({.bitmap = 2,
            .at = {10, 10},
            .pivot = {2, 1},
            .token = 74,
            .table = dial_table,
            .flags = 0x3}),
};
GaugeHeader dial_gauge = gauge_header({.name = "Dial",
                                       .width_mm = 20,
                                       .elements = dial_chain.list(),
                                       .mouse_areas = nullptr});
constinit ImportTableRecord dial_imports = {{{0x0F, nullptr}, {0, nullptr}}};
LinkageRecord dial_linkage = {.module_id = 0x13,
                              .init = nullptr,
                              .deinit = nullptr,
                              .flags = 0,
                              .status = 0,
                              .version = 0x900,
                              .gauges = {&dial_gauge, nullptr}};

TEST(WindowRendering, DrawsTheAnglesTheHostComputed) {
  auto parsed = parse_panel_config(R"([Window00]
ident=MAIN_PANEL
size_mm=30,30
position=0
visible=1
gauge00=Test_Module!Dial, 5, 5, 20, 20
)",
                                   "test.cfg");
  ASSERT_TRUE(std::holds_alternative<PanelConfig>(parsed));
  PanelConfig panel = std::get<PanelConfig>(std::move(parsed));
  panel.windows[0].background_color = Rgb{0, 0, 90};
  auto created = Host::create(
      {&dial_imports, &dial_linkage, nullptr, "Test_Module"}, std::move(panel));
  ASSERT_TRUE(std::holds_alternative<std::unique_ptr<Host>>(created));
  Host& host = *std::get<std::unique_ptr<Host>>(created);
  host.start();
  host.aircraft().set_model_enabled(false);
  host.aircraft().set(74, 100);
  host.run_frames(1);

  auto bitmaps = std::make_unique<MemoryBitmaps>();
  bitmaps->add(1, solid(20, 20, kGrey));
  bitmaps->add(2, needle_bitmap());
  WindowRenderer renderer(std::move(bitmaps));
  const WindowPicture drawn = renderer.render(host, 0, false);
  ASSERT_EQ(drawn.image.width, 30);
  EXPECT_TRUE(drawn.notes.empty());
  EXPECT_EQ(pixel(drawn.image, 0, 0), (Rgb{0, 0, 90}));
  EXPECT_EQ(pixel(drawn.image, 5 + 12, 5 + 10), kRed);  // pointing right
  host.stop();
}

}  // namespace
