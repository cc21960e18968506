// The ADF head: reading its frequency, choosing its band, the set-frequency
// word, and its controls reached through the gauge table.
#include "gauges/radios/radio_adf.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "state/panel_state.h"
#include "tests/unit/fake_services.h"

namespace {

struct ReadingCase {
  std::string name;
  uint32_t digits;
  uint32_t extension;
  double frequency;
};

class AdfReadingTable : public testing::TestWithParam<ReadingCase> {};

TEST_P(AdfReadingTable, DecodesBothWords) {
  const ReadingCase& c = GetParam();
  const AdfReading r = adf_reading(c.digits, c.extension);
  EXPECT_DOUBLE_EQ(r.frequency, c.frequency);
  EXPECT_DOUBLE_EQ(r.khz + r.tenths / 10.0, r.frequency);
}

INSTANTIATE_TEST_SUITE_P(
    Words, AdfReadingTable,
    testing::ValuesIn(std::vector<ReadingCase>{
        {"Plain", 0x0350, 0, 350.0},
        {"Tenths", 0x0410, 1, 410.1},
        {"Thousands", 0x0234, 256, 1234.0},
        {"ThousandsAndTenths", 0x0749, 256 + 9, 1749.9},
        {"NonDecimalNibbles", 0xFFFF, 0, 100.0 * 255 + 10 * 15 + 15},
        {"ExtensionBelowThousand", 0x0200, 255, 200.0 + 25.5},
        {"AllBitsSet", 0xFFFFFFFFu, 0xFFFFFFFFu,
         1000.0 + 100.0 * 16777215 + 150 + 15 + (4294967295.0 - 256) / 10},
    }),
    [](const auto& info) { return info.param.name; });

TEST(AdfBand, ChosenFromTheFrequency) {
  EXPECT_EQ(adf_band_for(0.0), 1.0);
  EXPECT_EQ(adf_band_for(410.0), 1.0);
  EXPECT_EQ(adf_band_for(410.1), 2.0);
  EXPECT_EQ(adf_band_for(850.0), 2.0);
  EXPECT_EQ(adf_band_for(850.1), 3.0);
  EXPECT_EQ(adf_band_for(1e12), 3.0);
  EXPECT_DOUBLE_EQ(adf_dial_degrees(1.0, 410.0), 105.0);
  EXPECT_NEAR(adf_dial_degrees(2.0, 410.1), 0.04, 1e-9);
  EXPECT_DOUBLE_EQ(adf_dial_degrees(2.0, 850.0), 176.0);
  EXPECT_DOUBLE_EQ(adf_dial_degrees(3.0, 1750.0), 270.0);
}

struct BcdCase {
  std::string name;
  uint32_t number;
  uint32_t word;
};

class AdfBcdWord : public testing::TestWithParam<BcdCase> {};

TEST_P(AdfBcdWord, WritesDecimalDigitsAsNibbles) {
  EXPECT_EQ(adf_bcd_word(GetParam().number), GetParam().word);
}

INSTANTIATE_TEST_SUITE_P(Numbers, AdfBcdWord,
                         testing::ValuesIn(std::vector<BcdCase>{
                             {"Zero", 0, 0},
                             {"Band1To2", 4100, 0x4100},
                             {"Band2To3", 8500, 0x8500},
                             {"FiveDigits", 17500, 0x17500},
                             {"EightDigits", 99999999, 0x99999999},
                             {"TenDigitsKeepTheLowEight", 4294967295u,
                              0x94967295},
                         }),
                         [](const auto& info) { return info.param.name; });

// The head as the simulator drives it: installed at a frequency, then
// clicked area by area.
enum Area {
  kMainSwitch = 10,
  kToneSwitch = 11,
  kBandDown = 12,
  kBandUp = 13,
  kTuneDown = 14,
  kTuneUp = 15,
  kReadoutButton = 16,
};
enum Element {
  kDial = 1,
  kCard = 2,
  kReadout = 4,
  kBandKnob = 6,
  kMainSwitchIcon = 9,
};

class AdfHead : public testing::Test {
 protected:
  void SetUp() override {
    gauge_ = find_gauge("Radio_ADF");
    ASSERT_NE(gauge_, nullptr);
    adf_power = 0;
    adf_tone = 0;
    services_.numbers[755] = 24.0;
  }
  void TearDown() override {
    adf_power = 0;
    adf_tone = 0;
  }
  // Installs at a frequency given as the two words, then switches on.
  void install(uint32_t digits, uint32_t extension, bool on = true) {
    tune(digits, extension);
    gauge_->callback(gauge_, kNoticeInstall, nullptr);
    if (on) click(kMainSwitch);
    services_.calls.clear();
  }
  void tune(uint32_t digits, uint32_t extension) {
    services_.integers[16] = int32_t(digits);
    services_.integers[18] = int32_t(extension);
    gauge_->callback(gauge_, kNoticeUpdate, nullptr);
  }
  void click(int area, uint32_t flags = kMouseLeftSingle) {
    PointRecord point{};
    gauge_->mouse_areas[area].callback(&point, flags);
  }
  double element(int index) {
    ElementHeader* head = element_at(gauge_, index);
    switch (head->kind) {
      case kNeedle:
        return element_as<NeedleElement>(head)->callback(head);
      case kSprite:
        return element_as<SpriteElement>(head)->rotation_callback(head);
      case kIcon:
        return element_as<IconElement>(head)->callback(head);
      case kString:
        return element_as<StringElement>(head)->callback(head);
    }
    return 0;
  }
  std::vector<ServiceCall> events() const { return services_.actions(); }
  std::vector<ServiceCall> times(int n, uint32_t event, uint32_t value = 0) {
    return std::vector<ServiceCall>(size_t(n), event_call(event, value));
  }

  FakeServices services_;
  GaugeHeader* gauge_ = nullptr;
};

TEST_F(AdfHead, InstallChoosesTheBandAndSilencesTheIdent) {
  tune(0x0410, 0);
  gauge_->callback(gauge_, kNoticeInstall, nullptr);
  EXPECT_EQ(events(), std::vector<ServiceCall>{event_call(65836)});
  EXPECT_EQ(element(kBandKnob), 1.0);
  EXPECT_DOUBLE_EQ(element(kDial), 105.0);  // off: the stored angle
  EXPECT_EQ(element(kCard), 0.0);

  install(0x0410, 1, false);
  EXPECT_EQ(element(kBandKnob), 2.0);
  EXPECT_NEAR(element(kDial), 0.04, 1e-9);
  EXPECT_EQ(element(kCard), -90.0);

  install(0x0900, 0, false);
  EXPECT_EQ(element(kCard), -180.0);
}

TEST_F(AdfHead, OffPointerStaysAndLosesItsGlow) {
  install(0x0300, 0);
  EXPECT_DOUBLE_EQ(element(kDial), 50.0);
  element(kCard);
  EXPECT_NE(element_at(gauge_, kDial)->image_flags & kImageLuminous, 0u);
  EXPECT_NE(element_at(gauge_, kCard)->image_flags & kImageLuminous, 0u);
  click(kMainSwitch);
  tune(0x0400, 0);
  EXPECT_DOUBLE_EQ(element(kDial), 50.0);
  element(kCard);
  EXPECT_EQ(element_at(gauge_, kDial)->image_flags & kImageLuminous, 0u);
  EXPECT_EQ(element_at(gauge_, kCard)->image_flags & kImageLuminous, 0u);
}

struct TuneCase {
  std::string name;
  uint32_t digits;
  uint32_t extension;
  int area;
  uint32_t flags;
  uint32_t event;  // sent five times, or 0 for a refused step
  double knob_turn;
};

class AdfTuning : public AdfHead,
                  public testing::WithParamInterface<TuneCase> {};

TEST_P(AdfTuning, StepsInsideTheBandOnly) {
  const TuneCase& c = GetParam();
  install(c.digits, c.extension);
  const double knob = element(5);
  click(c.area, c.flags);
  EXPECT_EQ(events(),
            c.event == 0 ? std::vector<ServiceCall>{} : times(5, c.event));
  EXPECT_DOUBLE_EQ(element(5) - knob, c.knob_turn);
}

constexpr uint32_t kLeft = kMouseLeftSingle;
constexpr uint32_t kRight = kMouseRightSingle;

INSTANTIATE_TEST_SUITE_P(
    Edges, AdfTuning,
    testing::ValuesIn(std::vector<TuneCase>{
        {"Band1FineUpRefused", 0x0409, 6, kTuneUp, kLeft, 0, 0},
        {"Band1FineUpAtEdge", 0x0409, 5, kTuneUp, kLeft, 66462, 1},
        {"Band1FineDownAtEdge", 0x0200, 5, kTuneDown, kLeft, 66461, -1},
        {"Band1FineDownRefused", 0x0200, 4, kTuneDown, kLeft, 0, 0},
        {"Band1CoarseDownAtEdge", 0x0205, 0, kTuneDown, kRight, 66543, -5},
        {"Band1CoarseDownRefused", 0x0204, 9, kTuneDown, kRight, 0, 0},
        {"Band2CoarseUpAtEdge", 0x0845, 0, kTuneUp, kRight, 66542, 5},
        {"Band2CoarseUpRefused", 0x0845, 1, kTuneUp, kRight, 0, 0},
        {"Band3CoarseUpAtEdge", 0x0745, 256, kTuneUp, kRight, 66542, 5},
        {"Band3CoarseUpRefused", 0x0745, 257, kTuneUp, kRight, 0, 0},
        {"Band3FineDownAtEdge", 0x0850, 6, kTuneDown, kLeft, 66461, -1},
        {"RightWinsOverLeft", 0x0300, 0, kTuneUp, kLeft | kRight, 66542, 5},
    }),
    [](const auto& info) { return info.param.name; });

TEST_F(AdfHead, BandChangesTuneTheSharedEdge) {
  install(0x0300, 0);
  click(kBandDown);
  EXPECT_TRUE(events().empty());  // already band 1
  click(kBandUp);
  EXPECT_EQ(events(), std::vector<ServiceCall>{event_call(66122, 0x4100)});
  EXPECT_EQ(element(kBandKnob), 2.0);
  services_.calls.clear();
  click(kBandUp);
  click(kBandUp);  // already band 3
  EXPECT_EQ(events(), std::vector<ServiceCall>{event_call(66122, 0x8500)});
  services_.calls.clear();
  click(kBandDown);
  EXPECT_EQ(events(), std::vector<ServiceCall>{event_call(66122, 0x8500)});
  services_.calls.clear();
  click(kBandDown);
  EXPECT_EQ(events(), std::vector<ServiceCall>{event_call(66122, 0x4100)});
}

TEST_F(AdfHead, ControlsAreInertWhileOff) {
  install(0x0300, 0, false);
  for (int area :
       {kToneSwitch, kBandDown, kBandUp, kTuneDown, kTuneUp, kReadoutButton})
    click(area, kLeft | kRight);
  EXPECT_TRUE(events().empty());
  EXPECT_EQ(adf_tone, 0);
  EXPECT_EQ(element(kBandKnob), 1.0);
}

TEST_F(AdfHead, MainSwitchNeedsMoreThanTwentyVoltsAndLatches) {
  install(0x0300, 0, false);
  services_.numbers[755] = 20.0;
  click(kMainSwitch);
  EXPECT_EQ(adf_power, 0);
  services_.numbers[755] = 20.01;
  click(kMainSwitch);
  EXPECT_EQ(adf_power, 1);
  services_.numbers[755] = 0.0;
  EXPECT_EQ(element(kMainSwitchIcon), 1.0);
  click(kMainSwitch);
  EXPECT_EQ(adf_power, 0);
}

struct IdentCase {
  std::string name;
  int32_t power;
  int32_t tone;
  std::vector<ServiceCall> per_frame;
};

class AdfIdent : public AdfHead,
                 public testing::WithParamInterface<IdentCase> {};

TEST_P(AdfIdent, MainSwitchPictureHoldsTheIdentAudio) {
  const IdentCase& c = GetParam();
  adf_power = c.power;
  adf_tone = c.tone;
  EXPECT_EQ(element(kMainSwitchIcon), c.power != 0 ? 1.0 : 0.0);
  EXPECT_EQ(events(), c.per_frame);
}

INSTANTIATE_TEST_SUITE_P(PowerAndTone, AdfIdent,
                         testing::ValuesIn(std::vector<IdentCase>{
                             {"OffToneOff", 0, 0, {event_call(65836)}},
                             {"OffToneOn", 0, 1, {event_call(65836)}},
                             {"OnToneOff", 1, 0, {}},
                             {"OnToneOn", 1, 1, {event_call(65841)}},
                         }),
                         [](const auto& info) { return info.param.name; });

TEST_F(AdfHead, ToneSwitchTogglesTheIdentAndTheTooltipReadsTheSimulator) {
  install(0x0300, 0);
  click(kToneSwitch);
  EXPECT_EQ(events(), std::vector<ServiceCall>{event_call(65841)});
  EXPECT_EQ(adf_tone, 1);
  click(kToneSwitch);
  EXPECT_EQ(adf_tone, 0);
  TooltipArg* args = gauge_->mouse_areas[5].args;
  services_.numbers[880] = 1.0;
  click(kMainSwitch);  // off
  EXPECT_STREQ(args[1].text(0, 0, 0, 0, 0, 0), "on");
  EXPECT_STREQ(args[2].text(0, 0, 0, 0, 0, 0), "off");
  services_.numbers[880] = 0.5;
  EXPECT_STREQ(args[1].text(0, 0, 0, 0, 0, 0), "off");
  EXPECT_DOUBLE_EQ(args[0].number(0, 0, 0, 0, 0, 0), 300.0);
}

TEST_F(AdfHead, ReadoutLightsForSixtyFrames) {
  install(0x0234, 256 + 5);
  auto* readout = element_as<StringElement>(element_at(gauge_, kReadout));
  char buffer[8] = {};
  readout->text = buffer;
  element(kReadout);
  EXPECT_NE(readout->head.image_flags & kImageHidden, 0u);
  click(kReadoutButton);
  for (int frame = 0; frame < 60; ++frame) {
    element(kReadout);
    ASSERT_EQ(readout->head.image_flags & kImageHidden, 0u) << frame;
  }
  EXPECT_STREQ(buffer, "1234.50");
  element(kReadout);
  EXPECT_NE(readout->head.image_flags & kImageHidden, 0u);
  click(kReadoutButton);
  click(kMainSwitch);  // off hides it at once
  element(kReadout);
  EXPECT_NE(readout->head.image_flags & kImageHidden, 0u);
  // A frequency too wide for the buffer is cut to it.
  tune(0xFFFFFFFF, 0xFFFFFFFF);
  element(kReadout);
  EXPECT_EQ(std::string(buffer).size(), 7u);
  readout->text = nullptr;
}

}  // namespace
