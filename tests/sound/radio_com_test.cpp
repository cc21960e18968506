// Radio_COM through its records: the 25 kHz channel rule in the read-out and
// the tooltip, the tuning guards at both band edges, the read-out countdown
// and the clicks a switched-off head refuses.
#include "gauges/radios/radio_com.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "gauges/radios/radio_head.h"
#include "sound/native_sound.h"
#include "tests/unit/fake_services.h"

namespace {

constexpr int32_t kComToken = 23;

void count_play(void* context, uint32_t) { ++*static_cast<int*>(context); }

class RadioCom : public testing::Test {
 protected:
  void SetUp() override {
    native_sound_reset();
    native_sound_observe_plays(count_play, &plays);
    com1_power = 0;
    com1_knob_angle = 0.0;
    com1_display_countdown = 0;
    gauge = find_gauge("Radio_COM");
    ASSERT_NE(gauge, nullptr);
    readout_element = element_as<StringElement>(element_at(gauge, 3));
    ASSERT_EQ(readout_element->head.kind, kString);
    readout_element->text = text;
    services.numbers[kSupplyVoltageToken] = 28.0;
    gauge->callback(gauge, kNoticeInstall, &module);
  }
  void TearDown() override {
    gauge->callback(gauge, kNoticeKill, &module);
    readout_element->text = nullptr;
    readout_element->head.image_flags = 0x7;
    com1_power = 0;
    native_sound_reset();
  }

  // One frame as the host runs it: the gauge update, then the read-out.
  void frame(int32_t word) {
    services.integers[kComToken] = word;
    gauge->callback(gauge, kNoticeUpdate, nullptr);
    readout_element->callback(&readout_element->head);
  }
  bool readout_shown() const {
    return (readout_element->head.image_flags & kImageHidden) == 0;
  }
  MouseRect* area(int index) { return &gauge->mouse_areas[index]; }
  void click(int index, uint32_t flags) {
    PointRecord point{1, 1, gauge, area(index)};
    EXPECT_EQ(area(index)->callback(&point, flags), 0);
  }
  void switch_on() {
    click(13, kMouseLeftSingle);
    ASSERT_EQ(com1_power, 1);
    plays = 0;
  }
  double tooltip_frequency() {
    return area(2)->args[0].number(0, 0, 0, 0, 0, 0);
  }
  const char* tooltip_switch_text() {
    return area(8)->args[1].text(0, 0, 0, 0, 0, 0);
  }

  FakeServices services;
  GaugeHeader* gauge = nullptr;
  StringElement* readout_element = nullptr;
  char text[16] = {};
  int plays = 0;
  int module = 0;
};

struct ChannelCase {
  std::string name;
  int32_t word;
  const char* shown;
  double frequency;
};

class ComChannels : public RadioCom,
                    public testing::WithParamInterface<ChannelCase> {};

TEST_P(ComChannels, ReadoutAndTooltipShowTheChannel) {
  const ChannelCase& c = GetParam();
  frame(c.word);
  EXPECT_STREQ(text, c.shown);
  EXPECT_DOUBLE_EQ(com1_frequency, c.frequency);
  services.integers[kComToken] = c.word;
  EXPECT_DOUBLE_EQ(tooltip_frequency(), c.frequency);
}

const std::vector<ChannelCase> kChannels = {
    {"Channel118_000", 0x1800, "118.000", 118.0},
    {"Channel118_025", 0x1802, "118.025", 118.025},
    {"Channel118_050", 0x1805, "118.050", 118.05},
    {"Channel118_075", 0x1807, "118.075", 118.075},
    {"Channel118_500", 0x1850, "118.500", 118.5},
    {"Channel118_525", 0x1852, "118.525", 118.525},
    {"Channel118_575", 0x1857, "118.575", 118.575},
    {"Channel127_975", 0x2797, "127.975", 127.975},
    {"Channel135_975", 0x3597, "135.975", 135.975},
    // Words no COM tunes still give a defined, bounded read-out.
    {"BelowTheBand", 0x0812, "108.125", 108.125},
    {"NonDecimalNibbles", 0x1AFF, "121.650", 121.65},
    {"WiderThanTheReadout", 0x7FFFFFFF, "8388690", 8388690.65},
};

INSTANTIATE_TEST_SUITE_P(Words, ComChannels, testing::ValuesIn(kChannels),
                         [](const auto& info) { return info.param.name; });

struct TuningCase {
  std::string name;
  int32_t word;
  int area;  // 10 lowering half, 11 raising half
  uint32_t flags;
  uint32_t event;  // 0: none
  double knob_degrees;
};

class ComTuning : public RadioCom,
                  public testing::WithParamInterface<TuningCase> {};

TEST_P(ComTuning, StepsOnlyInsideTheBand) {
  const TuningCase& c = GetParam();
  switch_on();
  frame(c.word);
  click(c.area, c.flags);
  if (c.event == 0)
    EXPECT_TRUE(services.actions().empty());
  else
    EXPECT_EQ(services.actions(),
              std::vector<ServiceCall>{event_call(c.event)});
  EXPECT_EQ(com1_knob_angle, c.knob_degrees);
  EXPECT_EQ(plays, 0) << "tuning is silent";
}

constexpr uint32_t kLeft = kMouseLeftSingle;
constexpr uint32_t kRight = kMouseRightSingle;
constexpr uint32_t kHeldLeft = kMouseLeftSingle | kMouseRepeat;

const std::vector<TuningCase> kTuning = {
    {"ChannelDownAtTheBottomRefused", 0x1800, 10, kLeft, 0, 0},
    {"ChannelDownAbove118", 0x1802, 10, kLeft, 66434, -30},
    {"ChannelDownHeld", 0x2550, 10, kHeldLeft, 66434, -30},
    {"ChannelUpAtTheTopRefused", 0x3597, 11, kLeft, 0, 0},
    {"ChannelUpBelowTheTop", 0x3595, 11, kLeft, 66435, 30},
    {"MhzUpFrom135Refused", 0x3500, 11, kRight, 0, 0},
    {"MhzUpFrom134", 0x3497, 11, kRight, 65637, 90},
    {"MhzDownFrom118Refused", 0x1897, 10, kRight, 0, 0},
    {"MhzDownFrom119", 0x1900, 10, kRight, 65636, -90},
    // Both buttons: the left click is tested first.
    {"BothButtonsStepOneChannel", 0x2000, 11, kLeft | kRight, 66435, 30},
};

INSTANTIATE_TEST_SUITE_P(Clicks, ComTuning, testing::ValuesIn(kTuning),
                         [](const auto& info) { return info.param.name; });

TEST_F(RadioCom, SwitchedOffHeadRefusesEveryClickButItsMainSwitch) {
  frame(0x2550);
  for (int index : {10, 11})
    for (uint32_t flags : {kLeft, kRight}) click(index, flags);
  click(12, kHeldLeft);
  EXPECT_TRUE(services.actions().empty());
  EXPECT_EQ(com1_knob_angle, 0.0);
  EXPECT_EQ(com1_display_countdown, 0);
  EXPECT_EQ(plays, 0);
  frame(0x2550);
  EXPECT_FALSE(readout_shown());
  EXPECT_STREQ(tooltip_switch_text(), "off");
}

TEST_F(RadioCom, MainSwitchNeedsMoreThanTwentyVoltsToSwitchOn) {
  services.numbers[kSupplyVoltageToken] = 20.0;
  click(13, kLeft);
  EXPECT_EQ(com1_power, 0);
  EXPECT_EQ(plays, 0);
  services.numbers[kSupplyVoltageToken] = 20.01;
  click(13, kLeft);
  EXPECT_EQ(com1_power, 1);
  EXPECT_EQ(plays, 1);
  EXPECT_STREQ(tooltip_switch_text(), "on");
  services.numbers[kSupplyVoltageToken] = 0.0;
  click(13, kLeft);
  EXPECT_EQ(com1_power, 0);
  EXPECT_EQ(plays, 2);
  EXPECT_TRUE(services.actions().empty()) << "the head never switches the sim";
}

TEST_F(RadioCom, ReadoutShowsForSixtyUpdatesAfterItsButton) {
  switch_on();
  frame(0x1850);
  EXPECT_FALSE(readout_shown());
  click(12, kLeft);
  EXPECT_EQ(plays, 1);
  for (int update = 0; update < 60; ++update) {
    frame(0x1850);
    EXPECT_TRUE(readout_shown()) << "update " << update;
  }
  frame(0x1850);
  EXPECT_FALSE(readout_shown());
  EXPECT_EQ(com1_display_countdown, 0);
}

TEST_F(RadioCom, SwitchingOffHidesTheReadoutAndKeepsItsCountdown) {
  switch_on();
  click(12, kLeft);
  for (int update = 0; update < 10; ++update) frame(0x1850);
  click(13, kLeft);
  services.numbers[kSupplyVoltageToken] = 28.0;
  for (int update = 0; update < 5; ++update) {
    frame(0x1850);
    EXPECT_FALSE(readout_shown());
  }
  EXPECT_EQ(com1_display_countdown, 50);
  click(13, kLeft);
  frame(0x1850);
  EXPECT_TRUE(readout_shown());
  EXPECT_EQ(com1_display_countdown, 49);
}

TEST_F(RadioCom, ReadoutNeverWritesPastItsCharacters) {
  std::memset(text, '#', sizeof text);
  frame(0x7FFFFFFF);
  EXPECT_EQ(std::strlen(text), 7u);
  EXPECT_EQ(text[8], '#');
  readout_element->text = nullptr;
  frame(0x1850);  // no buffer: nothing written, nothing read
}

}  // namespace
