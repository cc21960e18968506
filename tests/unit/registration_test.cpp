// The registration plate: the style keys its parameter text sets at install
// and the line it shows every frame.
#include "gauges/radios/registration.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/unit/fake_services.h"

namespace {

StringElement* plate_element() {
  return element_as<StringElement>(element_at(find_gauge("Registration"), 1));
}

// The plate's string element as the module declares it, put back after
// every test.
class PlateFixture : public testing::Test {
 protected:
  void SetUp() override {
    gauge_ = find_gauge("Registration");
    ASSERT_NE(gauge_, nullptr);
    plate_ = plate_element();
    ASSERT_NE(plate_, nullptr);
    std::memcpy(&saved_, plate_, sizeof saved_);
  }
  void TearDown() override {
    std::memcpy(plate_, &saved_, sizeof saved_);
    gauge_->parameter_text = nullptr;
  }
  // Installs the gauge with `parameters` as its parameter text.
  void install(const std::string& parameters) {
    text_.assign(parameters.begin(), parameters.end());
    text_.push_back('\0');
    gauge_->parameter_text = text_.data();
    gauge_->callback(gauge_, kNoticeInstall, nullptr);
  }

  GaugeHeader* gauge_ = nullptr;
  StringElement* plate_ = nullptr;
  StringElement saved_{};
  std::vector<char> text_;
};

struct StyleCase {
  std::string name;
  std::string parameters;
  std::string font;
  uint32_t colour;
  std::string left_text;  // what the parameter text is after install
};

class PlateStyle : public PlateFixture,
                   public testing::WithParamInterface<StyleCase> {};

TEST_P(PlateStyle, KeysSetFontAndColour) {
  const StyleCase& c = GetParam();
  install(c.parameters);
  EXPECT_STREQ(plate_->font_face, c.font.c_str());
  EXPECT_EQ(plate_->text_colour, c.colour);
  EXPECT_STREQ(gauge_->parameter_text, c.left_text.c_str());
}

const std::string kLongFont(40, 'W');

INSTANTIATE_TEST_SUITE_P(
    Keys, PlateStyle,
    testing::ValuesIn(std::vector<StyleCase>{
        {"Empty", "", "Arial", 0x00FFFFFF, ""},
        {"PureRed", "r255g0b0", "Arial", 0x000000FF, "r255g0b0"},
        {"Channels", "r12g34b56", "Arial", 0x0038220C, "r12g34b56"},
        {"AboveRangeClamps", "r300", "Arial", 0x00FFFFFF, "r300"},
        {"NegativeClamps", "r-1g0b0", "Arial", 0x000000FF, "r-1g0b0"},
        {"NoDigitsGiveZero", "rg0b0", "Arial", 0x00000000, "rg0b0"},
        {"HugeNumberClamps", "g99999999999b0r0", "Arial", 0x0000FF00,
         "g99999999999b0r0"},
        {"FontCutsTheText", "fCourier New", "Courier New", 0x00FFFFFF, ""},
        {"KeysBeforeTheFont", "g0b0fTimes", "Times", 0x000000FF, "g0b0"},
        {"CommentHidesLaterKeys", "g10/ comment r5", "Arial", 0x00FF0AFF,
         "g10/ comment r5"},
        {"FixedTextLettersAreKeys", "tabc", "Arial", 0x0000FFFF, "tabc"},
        {"LongFontKeeps31", "f" + kLongFont, std::string(31, 'W'), 0x00FFFFFF,
         ""},
        {"EmptyFontName", "r0f", "", 0x00FFFF00, "r0"},
    }),
    [](const auto& info) { return info.param.name; });

TEST_F(PlateFixture, EveryByteOfAParameterTextIsSafe) {
  std::string parameters;
  for (int c = 1; c < 256; ++c) parameters.push_back(char(c));
  install(parameters);
  // The comment characters come before every key letter.
  EXPECT_STREQ(plate_->font_face, "Arial");
  EXPECT_EQ(plate_->text_colour, 0x00FFFFFFu);
  install("f" + parameters);
  EXPECT_EQ(std::strlen(plate_->font_face), 31u);
  char buffer[8] = {};
  build_plate_text(gauge_->parameter_text, nullptr, buffer, 7);
  EXPECT_EQ(buffer[7], '\0');
}

TEST(PlateStyleSkips, WithoutTextOrStringElement) {
  apply_plate_style(nullptr);
  GaugeHeader bare{};
  char text[] = "r0";
  bare.parameter_text = text;
  apply_plate_style(&bare);  // no elements at all
  StaticImageElement root{};
  ElementHeader* list[] = {&root.head, nullptr};
  ElementHeader* no_next[] = {nullptr};
  root.head.next = no_next;
  bare.elements = list;
  apply_plate_style(&bare);  // a root with nothing after it
  EXPECT_STREQ(text, "r0");
}

struct TextCase {
  std::string name;
  const char* parameters;
  const char* registration;
  std::string shown;
};

class PlateText : public testing::TestWithParam<TextCase> {};

TEST_P(PlateText, BuildsTheLine) {
  const TextCase& c = GetParam();
  char buffer[8];
  std::memset(buffer, '#', sizeof buffer);
  build_plate_text(c.parameters, c.registration, buffer, 7);
  EXPECT_STREQ(buffer, c.shown.c_str());
}

INSTANTIATE_TEST_SUITE_P(
    Lines, PlateText,
    testing::ValuesIn(std::vector<TextCase>{
        {"HostIdentifier", nullptr, "F-GCVL", "F-GCVL"},
        {"CutAtFirstSpace", nullptr, "F-GCVL CORVELAIN", "F-GCVL"},
        {"NullIdentifierIsEmpty", nullptr, nullptr, ""},
        {"FixedTextUnderscores", "tXY_123", "F-GCVL", "XY 123"},
        {"FixedTextSpaceEnds", "tAB CD", "F-GCVL", "AB"},
        {"TLaterIsNotFixed", "r0tAB", "F-GCVL", "F-GCVL"},
        {"CommentBeforeT", "#tAB", "F-GCVL", "F-GCVL"},
        {"EmptyFixedText", "t", "F-GCVL", ""},
        {"LongTextCutToBuffer", nullptr, "ABCDEFGHIJKL", "ABCDEFG"},
        {"LongFixedTextCut", "tA_B_C_D_E", nullptr, "A B C D"},
        {"EmptyParameterText", "", "N1", "N1"},
    }),
    [](const auto& info) { return info.param.name; });

TEST(PlateTextBuffer, NoRoomLeavesOnlyTheEnd) {
  char buffer[2] = {'#', '#'};
  build_plate_text(nullptr, "F-GCVL", buffer, 0);
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_EQ(buffer[1], '#');
  build_plate_text(nullptr, "F-GCVL", buffer, -5);
  EXPECT_EQ(buffer[0], '\0');
  build_plate_text(nullptr, "F-GCVL", nullptr, 7);
}

TEST_F(PlateFixture, EveryFrameAsksForTheIdentifierAndShowsIt) {
  FakeServices services;
  services.calculator_texts["(A:ATC ID,string)"] = "D-EFGH TWO";
  char buffer[8] = {};
  plate_->text = buffer;
  gauge_->callback(gauge_, kNoticeUpdate, nullptr);
  ASSERT_EQ(services.actions().size(), 1u);
  EXPECT_EQ(services.actions()[0].text, "(A:ATC ID,string)");
  plate_->callback(&plate_->head);
  EXPECT_STREQ(buffer, "D-EFGH");
}

}  // namespace
