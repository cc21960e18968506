// The radio heads' shared mechanics: BCD decoding of any word, the main
// switch latch with its voltage threshold, ident-off and click, lit digits
// and tuning areas that act only while the head is on.
#include "gauges/radios/radio_head.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "sound/native_sound.h"
#include "tests/unit/fake_services.h"

namespace {

struct BcdCase {
  std::string name;
  int32_t word;
  double com_mhz;
  double nav_mhz;
  double hundredths;
  double code;
};

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

const std::vector<BcdCase> kBcdCases = {
    {"Com118_50", 0x1850, 118, 118, 50, 1850},
    {"Com135_97", 0x3597, 135, 147, 97, 3597},
    {"Com127_25", 0x2725, 127, 133, 25, 2725},
    {"Com120_00", 0x2000, 120, 126, 0, 2000},
    {"Com129_99", 0x2999, 129, 135, 99, 2999},
    {"Nav108_05", 0x0805, 108, 108, 5, 805},
    {"Nav117_95", 0x1795, 117, 117, 95, 1795},
    {"Nav109_10", 0x0910, 109, 109, 10, 910},
    {"Squawk7777", 0x7777, 201, 213, 77, 7777},
    {"Squawk1200", 0x1200, 112, 112, 0, 1200},
    {"Zero", 0x0000, 100, 100, 0, 0},
    // Below the COM band a COM word reads 100 plus its second digit, as the
    // NAV rule does.
    {"BelowComBand", 0x0FFF, 115, 115, 165, 1665},
    {"NonDecimalNibbles", 0x1AFC, 120, 120, 162, 2162},
    {"AllOnes", -1, 115, 99, 165, 16665},
    {"Smallest", std::numeric_limits<int32_t>::min(), 100, -8388508, 0, 0},
    {"Largest", std::numeric_limits<int32_t>::max(), 8388689, 8388701, 165,
     16665},
    {"AboveSixteenBits", 0x11850, 362, 374, 50, 1850},
};

class BcdDecoding : public testing::TestWithParam<BcdCase> {};

TEST_P(BcdDecoding, DecodesEveryWordToAWholeNumber) {
  const BcdCase& c = GetParam();
  EXPECT_EQ(com_whole_mhz(c.word), c.com_mhz);
  EXPECT_EQ(nav_whole_mhz(c.word), c.nav_mhz);
  EXPECT_EQ(bcd_hundredths(c.word), c.hundredths);
  EXPECT_EQ(transponder_code(c.word), c.code);
}

INSTANTIATE_TEST_SUITE_P(Words, BcdDecoding, testing::ValuesIn(kBcdCases),
                         [](const auto& info) { return info.param.name; });

// Every 16-bit word, and the words above and below them, decodes without
// undefined behaviour (the sanitizers watch the shifts) to bounded numbers.
TEST(BcdDecodingSweep, EverySixteenBitWordStaysInBounds) {
  for (int32_t word = -0x100; word <= 0x100FF; ++word) {
    const double com = com_whole_mhz(word);
    const double nav = nav_whole_mhz(word);
    ASSERT_GE(com, 100.0) << word;
    ASSERT_LE(com, 130.0 + (0x100FF - 0x3000) / 256) << word;
    ASSERT_GE(nav, 98.0) << word;
    ASSERT_LE(nav, 110.0 + (0x100FF - 0x1000) / 256) << word;
    ASSERT_GE(bcd_hundredths(word), 0.0) << word;
    ASSERT_LE(bcd_hundredths(word), 165.0) << word;
    ASSERT_GE(transponder_code(word), 0.0) << word;
    ASSERT_LE(transponder_code(word), 16665.0) << word;
  }
}

TEST(BcdReading, ReadsTheIntegerFieldAfreshOnEveryCall) {
  FakeServices services;
  services.integers[23] = 0x1802;
  EXPECT_EQ(read_com_whole_mhz(23), 118.0);
  EXPECT_EQ(read_bcd_hundredths(23), 2.0);
  services.integers[23] = 0x3597;
  EXPECT_EQ(read_com_whole_mhz(23), 135.0);
  services.integers[24] = 0x0805;
  EXPECT_EQ(read_nav_whole_mhz(24), 108.0);
  services.integers[38] = 0x4321;
  EXPECT_EQ(read_transponder_code(38), 4321.0);
  int lookups = 0;
  for (const ServiceCall& call : services.calls)
    if (call.entry == kServiceLookupVar) ++lookups;
  EXPECT_EQ(lookups, 5);
}

struct SwitchCase {
  std::string name;
  int32_t power_before;
  double volts;
  uint32_t ident_off_event;
  int32_t power_after;
  std::vector<ServiceCall> events;
};

const std::vector<SwitchCase> kSwitchCases = {
    {"OffAtExactly20VoltsStaysOff", 0, 20.0, 0, 0, {}},
    {"OffAbove20VoltsSwitchesOn", 0, 20.01, 0, 1, {}},
    {"OffWithoutSupplyStaysOff", 0, 0.0, 0, 0, {}},
    {"OffAtNaNVoltsStaysOff", 0, kNan, 0, 0, {}},
    {"OffAtInfiniteVoltsSwitchesOn", 0, kInf, 0, 1, {}},
    {"OffAtHugeVoltsSwitchesOn", 0, 1e308, 0, 1, {}},
    {"OnWithoutSupplySwitchesOff", 1, 0.0, 0, 0, {}},
    {"OnAtNaNVoltsSwitchesOff", 1, kNan, 0, 0, {}},
    {"OnAt28VoltsSwitchesOff", 1, 28.0, 0, 0, {}},
    {"NavOnSendsIdentOffFirst", 1, 28.0, 65832, 0, {event_call(65832)}},
    {"NavOffSendsNoIdentOff", 0, 28.0, 65833, 1, {}},
    {"NavRefusedSendsNothing", 0, 20.0, 65832, 0, {}},
};

struct Listener {
  FakeServices* services;
  std::vector<size_t> plays;  // service calls made before each play
};

void hear(void* context, uint32_t) {
  auto* l = static_cast<Listener*>(context);
  l->plays.push_back(l->services->calls.size());
}

class MainSwitch : public testing::TestWithParam<SwitchCase> {
 protected:
  void SetUp() override {
    native_sound_reset();
    native_sound_observe_plays(hear, &listener);
    sound_install(slot, &module, kRecordingKnobClick);
  }
  void TearDown() override {
    sound_kill(slot);
    native_sound_reset();
  }

  FakeServices services;
  Listener listener{&services, {}};
  SoundSlot slot;
  int module = 0;
};

TEST_P(MainSwitch, LatchesOnAboveTwentyVoltsAndOffAlways) {
  const SwitchCase& c = GetParam();
  services.numbers[kSupplyVoltageToken] = c.volts;
  int32_t power = c.power_before;
  const bool changed = radio_main_switch(power, slot, c.ident_off_event);
  EXPECT_EQ(power, c.power_after);
  EXPECT_EQ(changed, c.power_before != c.power_after);
  EXPECT_EQ(services.actions(), c.events);
  ASSERT_EQ(services.calls.size(), 1u + c.events.size());
  EXPECT_EQ(services.calls[0],
            (ServiceCall{kServiceLookupVar, kSupplyVoltageToken, 0, ""}))
      << "the supply is read before anything is sent";
  if (changed) {
    ASSERT_EQ(listener.plays.size(), 1u);
    EXPECT_EQ(listener.plays[0], services.calls.size())
        << "the click follows the ident-off";
  } else {
    EXPECT_TRUE(listener.plays.empty()) << "a refused switch-on is silent";
  }
}

INSTANTIATE_TEST_SUITE_P(Clicks, MainSwitch, testing::ValuesIn(kSwitchCases),
                         [](const auto& info) { return info.param.name; });

int32_t test_power = 0;
SoundSlot test_slot;

TEST(RadioHeadCallbacks, FollowTheModulesOwnLatch) {
  FakeServices services;
  services.numbers[kSupplyVoltageToken] = 28.0;
  test_power = 0;
  EXPECT_EQ(radio_switch_picture<&test_power>(nullptr), 0.0);
  EXPECT_EQ(radio_power_light<&test_power>(nullptr), -1.0);
  EXPECT_STREQ((radio_on_off_text<&test_power>(0, 0, 0, 0, 0, 0)), "off");
  EXPECT_EQ((radio_main_switch_click<&test_power, &test_slot>(
                nullptr, kMouseLeftSingle)),
            0);
  EXPECT_EQ(test_power, 1);
  EXPECT_EQ(radio_switch_picture<&test_power>(nullptr), 1.0);
  EXPECT_EQ(radio_power_light<&test_power>(nullptr), 0.0);
  EXPECT_STREQ((radio_on_off_text<&test_power>(0, 0, 0, 0, 0, 0)), "on");
  // The simulator's own radio state plays no part.
  services.numbers[kSupplyVoltageToken] = 0.0;
  EXPECT_EQ(radio_power_light<&test_power>(nullptr), 0.0);
  test_power = 0;
}

TEST(RadioHeadCallbacks, TuningAreasActOnlyWhileTheHeadIsOn) {
  FakeServices services;
  test_power = 0;
  EXPECT_EQ((radio_step_click<&test_power, 65641>(nullptr, kMouseLeftSingle)),
            0);
  EXPECT_TRUE(services.actions().empty());
  test_power = 1;
  radio_step_click<&test_power, 65641>(nullptr, kMouseLeftSingle);
  radio_step_click<&test_power, 65641>(nullptr,
                                       kMouseLeftSingle | kMouseRepeat);
  EXPECT_EQ(services.actions(),
            (std::vector<ServiceCall>{event_call(65641), event_call(65641)}));
  test_power = 0;
}

TEST(LitDigit, GlowsOnlyWhileTheHeadIsOnAndIsAlwaysRedrawn) {
  ElementHeader digit{};
  digit.image_flags = kImageTransparent | kImageOnScreen;
  light_digit(&digit, 1);
  EXPECT_EQ(digit.image_flags, kImageTransparent | kImageLuminous);
  digit.image_flags |= kImageOnScreen;
  light_digit(&digit, 1);
  EXPECT_EQ(digit.image_flags, kImageTransparent | kImageLuminous);
  digit.image_flags |= kImageOnScreen | kImageHidden;
  light_digit(&digit, 0);
  EXPECT_EQ(digit.image_flags, kImageTransparent | kImageHidden)
      << "other flags are left alone";
}

}  // namespace
