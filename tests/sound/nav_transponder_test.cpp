// The NAV heads and the transponder reached through the gauge table: their
// drums and lit digits, the tuning guards, the ident audio each NAV head
// re-sends every frame, the tone switch, and the clicks refused while a head
// is off, with the click sounds heard through the native sound layer.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "sound/native_sound.h"
#include "sound/sound.h"
#include "state/panel_state.h"
#include "tests/unit/fake_services.h"

namespace {

MouseRect* child(GaugeHeader* gauge, int n) {
  for (MouseRect* r = gauge->mouse_areas; r->kind != kMouseEnd; ++r)
    if (r->kind == kMouseChild && n-- == 0) return r;
  return nullptr;
}

int32_t click(GaugeHeader* gauge, int area, uint32_t flags = kMouseLeftSingle) {
  MouseRect* r = child(gauge, area);
  PointRecord point{0, 0, gauge, r};
  return r->callback(&point, flags);
}

// Runs element `index`'s callback as a frame refresh does (0 is the face).
double refresh(GaugeHeader* gauge, int index) {
  ElementHeader* head = element_at(gauge, index);
  switch (head->kind) {
    case kMovingImage: {
      auto* e = element_as<MovingImageElement>(head);
      return e->y_callback(head);
    }
    case kIcon:
      return element_as<IconElement>(head)->callback(head);
    case kNeedle:
      return element_as<NeedleElement>(head)->callback(head);
    default:
      return -99.0;
  }
}

const MouseRect* tooltip(GaugeHeader* gauge, int n) {
  for (MouseRect* r = gauge->mouse_areas; r->kind != kMouseEnd; ++r)
    if (r->kind == kMouseTooltip && n-- == 0) return r;
  return nullptr;
}

class RadioGauge : public testing::Test {
 protected:
  void SetUp() override {
    native_sound_reset();
    native_sound_observe_plays(
        [](void* self, uint32_t) {
          auto* t = static_cast<RadioGauge*>(self);
          t->plays_after_calls.push_back(t->services.actions().size());
        },
        this);
    nav1_power = nav1_tone = nav2_power = nav2_tone = xpdr_power = 0;
    services.numbers[755] = 28.0;
  }
  void TearDown() override {
    if (gauge != nullptr) gauge->callback(gauge, kNoticeKill, nullptr);
    nav1_power = nav1_tone = nav2_power = nav2_tone = xpdr_power = 0;
    native_sound_reset();
  }
  void install(const char* name) {
    gauge = find_gauge(name);
    ASSERT_NE(gauge, nullptr);
    gauge->callback(gauge, kNoticeInstall, &module_handle);
  }
  void update() { gauge->callback(gauge, kNoticeUpdate, nullptr); }
  std::vector<ServiceCall> take_actions() {
    std::vector<ServiceCall> actions = services.actions();
    services.calls.clear();
    plays_after_calls.clear();
    return actions;
  }

  FakeServices services;
  GaugeHeader* gauge = nullptr;
  std::vector<size_t> plays_after_calls;
  int module_handle = 0;
};

// --- NAV heads

struct NavHead {
  std::string name;
  int32_t token;
  uint32_t mhz_down, mhz_up, decimals_down, decimals_up;
  uint32_t ident_off, ident_on;
  int32_t* power;
  int32_t* tone;
  const char* frequency_tooltip;
};

const std::vector<NavHead> kNavHeads = {
    {"Radio_NAV1", 24, 65640, 65641, 65642, 65643, 65832, 65837, &nav1_power,
     &nav1_tone, "Navigation Radio NAV1 - %1!07.3f! MHz"},
    {"Radio_NAV2", 27, 65644, 65645, 65646, 65647, 65833, 65838, &nav2_power,
     &nav2_tone, "Navigation Radio NAV2 - %1!07.3f! MHz"},
};

enum NavElement {
  kHundredthsDrum = 1,
  kTenthsDrum,
  kUnitsDrum,
  kTensDrum,
  kLeadingOne,
  kHundredthsGrip,
  kMhzGrip,
  kTonePicture,
  kSwitchPicture,
  kPowerLight,
};

enum NavArea {
  kMhzDown,
  kMhzUp,
  kDecimalsDown,
  kDecimalsUp,
  kMainSwitch,
  kToneSwitch
};

class NavRadio : public RadioGauge,
                 public testing::WithParamInterface<NavHead> {
 protected:
  void SetUp() override {
    RadioGauge::SetUp();
    install(GetParam().name.c_str());
  }
  // One frame's worth of the two pictures, in chain order.
  std::vector<ServiceCall> frame_events() {
    take_actions();
    refresh(gauge, kTonePicture);
    refresh(gauge, kSwitchPicture);
    return take_actions();
  }
};

TEST_P(NavRadio, InstallSilencesTheIdentFirst) {
  EXPECT_EQ(services.actions(),
            std::vector<ServiceCall>{event_call(GetParam().ident_off)});
}

TEST_P(NavRadio, EveryFrameHoldsTheIdentToHeadAndTone) {
  const NavHead& h = GetParam();
  const ServiceCall on = event_call(h.ident_on);
  const ServiceCall off = event_call(h.ident_off);
  struct Combination {
    int32_t power, tone;
    std::vector<ServiceCall> events;
    double tone_image, switch_image;
  };
  const Combination combinations[] = {
      {1, 1, {on, on}, 1, 1},
      {1, 0, {off}, 0, 1},
      {0, 1, {off}, 1, 0},
      {0, 0, {off, off}, 0, 0},
  };
  for (const Combination& c : combinations) {
    SCOPED_TRACE(testing::Message()
                 << "power " << c.power << " tone " << c.tone);
    *h.power = c.power;
    *h.tone = c.tone;
    EXPECT_EQ(frame_events(), c.events);
    EXPECT_EQ(refresh(gauge, kTonePicture), c.tone_image);
    EXPECT_EQ(refresh(gauge, kSwitchPicture), c.switch_image);
    EXPECT_EQ(refresh(gauge, kPowerLight), c.power ? 0.0 : -1.0);
  }
}

struct Reading {
  int32_t word;
  double digits[4];  // hundredths, tenths, MHz units, MHz tens
  double whole_mhz;
  double frequency;
};

TEST_P(NavRadio, DrumsReadTheActiveFrequencyLitOnlyWhileOn) {
  const Reading readings[] = {
      {0x0800, {0, 0, 8, 0}, 108, 108.0},
      {0x1795, {5, 9, 7, 1}, 117, 117.95},
      {0x1105, {5, 0, 1, 1}, 111, 111.05},
      // Words the simulator never sends still give drum positions.
      {0x0000, {0, 0, 0, 0}, 100, 100.0},
      {0x1AFC, {2, 16, 0, 2}, 120, 121.62},
  };
  for (int32_t power : {0, 1}) {
    *GetParam().power = power;
    for (const Reading& r : readings) {
      SCOPED_TRACE(testing::Message()
                   << std::hex << r.word << " power " << power);
      services.integers[GetParam().token] = r.word;
      update();
      for (int i = 0; i < 4; ++i)
        EXPECT_EQ(refresh(gauge, kHundredthsDrum + i), r.digits[i]) << i;
      EXPECT_EQ(refresh(gauge, kLeadingOne), 0.0);
      for (int i = kHundredthsDrum; i <= kLeadingOne; ++i) {
        ElementHeader* digit = element_at(gauge, i);
        EXPECT_EQ((digit->image_flags & kImageLuminous) != 0, power != 0);
        digit->image_flags |= kImageOnScreen;
        refresh(gauge, i);
        EXPECT_EQ(digit->image_flags & kImageOnScreen, 0u);
      }
      // The grips turn with the frequency whatever the head's state.
      EXPECT_EQ(refresh(gauge, kMhzGrip), r.whole_mhz);
      EXPECT_NEAR(
          refresh(gauge, kHundredthsGrip) / 100 + refresh(gauge, kMhzGrip),
          r.frequency, 1e-9);
      EXPECT_NEAR(tooltip(gauge, 0)->args[0].number(0, 0, 0, 0, 0, 0),
                  r.frequency, 1e-9);
    }
  }
  EXPECT_STREQ(tooltip(gauge, 0)->text, GetParam().frequency_tooltip);
}

struct TuningCase {
  int32_t word;
  NavArea area;
  bool sends;
};

TEST_P(NavRadio, TuningKeepsTheWholeMhzFrom108To117) {
  const NavHead& h = GetParam();
  const uint32_t events[] = {h.mhz_down, h.mhz_up, h.decimals_down,
                             h.decimals_up};
  const TuningCase cases[] = {
      {0x0800, kMhzDown, false},     {0x0895, kMhzDown, false},
      {0x0900, kMhzDown, true},      {0x0800, kMhzUp, true},
      {0x1695, kMhzUp, true},        {0x1700, kMhzUp, false},
      {0x1795, kMhzUp, false},       {0x1795, kMhzDown, true},
      {0x0800, kDecimalsDown, true}, {0x1795, kDecimalsUp, true},
      {0x0000, kMhzDown, false},     {0xFFFF, kMhzUp, false},
      {0xFFFF, kMhzDown, true},
  };
  *h.power = 1;
  for (const TuningCase& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << std::hex << c.word << " area " << c.area);
    take_actions();
    // The word changed elsewhere since the last frame: the click reads it.
    services.integers[h.token] = c.word;
    EXPECT_EQ(click(gauge, c.area), 0);
    EXPECT_EQ(click(gauge, c.area, kMouseLeftSingle | kMouseRepeat), 0);
    const std::vector<ServiceCall> expected =
        c.sends ? std::vector<ServiceCall>{event_call(events[c.area]),
                                           event_call(events[c.area])}
                : std::vector<ServiceCall>{};
    EXPECT_EQ(take_actions(), expected);
    EXPECT_TRUE(plays_after_calls.empty()) << "tuning is silent";
  }
}

TEST_P(NavRadio, AHeadThatIsOffRefusesTuningAndToneSilently) {
  const NavHead& h = GetParam();
  *h.tone = 1;
  services.integers[h.token] = 0x1200;
  take_actions();
  for (NavArea area :
       {kMhzDown, kMhzUp, kDecimalsDown, kDecimalsUp, kToneSwitch})
    EXPECT_EQ(click(gauge, area), 0);
  EXPECT_TRUE(services.actions().empty());
  EXPECT_TRUE(plays_after_calls.empty());
  EXPECT_EQ(*h.tone, 1);
}

TEST_P(NavRadio, ToneSwitchSendsTheNewIdentStateThenClicks) {
  const NavHead& h = GetParam();
  click(gauge, kMainSwitch);
  ASSERT_EQ(*h.power, 1);
  take_actions();
  click(gauge, kToneSwitch);
  EXPECT_EQ(*h.tone, 1);
  EXPECT_EQ(plays_after_calls, std::vector<size_t>{1});
  EXPECT_EQ(take_actions(), std::vector<ServiceCall>{event_call(h.ident_on)});
  const std::string tone_text =
      tooltip(gauge, 1)->args[1].text(0, 0, 0, 0, 0, 0);
  EXPECT_EQ(tone_text, "on");
  click(gauge, kToneSwitch);
  EXPECT_EQ(*h.tone, 0);
  EXPECT_EQ(plays_after_calls, std::vector<size_t>{1});
  EXPECT_EQ(take_actions(), std::vector<ServiceCall>{event_call(h.ident_off)});

  // Switching off with the tone on silences the ident at the click; the
  // tone survives and the ident returns with the head.
  click(gauge, kToneSwitch);
  take_actions();
  click(gauge, kMainSwitch);
  EXPECT_EQ(*h.power, 0);
  EXPECT_EQ(take_actions(), std::vector<ServiceCall>{event_call(h.ident_off)});
  EXPECT_EQ(*h.tone, 1);
  click(gauge, kMainSwitch);
  EXPECT_EQ(frame_events(), (std::vector<ServiceCall>{event_call(h.ident_on),
                                                      event_call(h.ident_on)}));
}

INSTANTIATE_TEST_SUITE_P(Heads, NavRadio, testing::ValuesIn(kNavHeads),
                         [](const auto& info) { return info.param.name; });

TEST_F(RadioGauge, NavHeadsKeepToTheirOwnLatchesAndEvents) {
  install("Radio_NAV2");
  nav1_power = 1;
  nav1_tone = 1;
  services.integers[24] = 0x1200;
  services.integers[27] = 0x1105;
  take_actions();
  for (NavArea area :
       {kMhzDown, kMhzUp, kDecimalsDown, kDecimalsUp, kToneSwitch})
    click(gauge, area);
  refresh(gauge, kTonePicture);
  refresh(gauge, kSwitchPicture);
  EXPECT_EQ(take_actions(),
            (std::vector<ServiceCall>{event_call(65833), event_call(65833)}));
  EXPECT_EQ(nav1_power, 1);
  EXPECT_EQ(nav2_tone, 0);
}

// --- Transponder

enum XpdrElement { kUnits = 1, kTens, kHundreds, kThousands, kPushButton };

struct CodeCase {
  std::string name;
  int32_t word;
  double units, tens, hundreds, thousands;
};

class TransponderCode : public RadioGauge,
                        public testing::WithParamInterface<CodeCase> {};

TEST_P(TransponderCode, EachDrumReadsTheCodeAfresh) {
  install("Radio_IFF_XPDR");
  const CodeCase& c = GetParam();
  // No frame since the code changed: the drums read it themselves.
  services.integers[38] = c.word;
  EXPECT_EQ(refresh(gauge, kUnits), c.units);
  EXPECT_EQ(refresh(gauge, kTens), c.tens);
  EXPECT_EQ(refresh(gauge, kHundreds), c.hundreds);
  EXPECT_EQ(refresh(gauge, kThousands), c.thousands);
}

INSTANTIATE_TEST_SUITE_P(Codes, TransponderCode,
                         testing::ValuesIn(std::vector<CodeCase>{
                             {"VisualFlight", 0x1200, 0, 0, 2, 1},
                             {"AllSevens", 0x7777, 7, 7, 7, 7},
                             {"Zero", 0x0000, 0, 0, 0, 0},
                             {"Mixed", 0x4352, 2, 5, 3, 4},
                             {"NonOctalNibbles", 0xFFFF, 5, 6, 6, 16},
                             {"Negative", -1, 5, 6, 6, 16},
                         }),
                         [](const auto& info) { return info.param.name; });

TEST_F(RadioGauge, TransponderDigitAreasActOnlyWhileOn) {
  install("Radio_IFF_XPDR");
  EXPECT_TRUE(take_actions().empty()) << "install sends nothing";
  const uint32_t events[] = {66455, 65651, 66456, 65652,
                             66457, 65653, 66458, 65654};
  for (int area = 1; area <= 9; ++area) EXPECT_EQ(click(gauge, area), 0);
  EXPECT_TRUE(take_actions().empty());

  click(gauge, 0);
  ASSERT_EQ(xpdr_power, 1);
  EXPECT_EQ(plays_after_calls.size(), 1u);
  take_actions();
  std::vector<ServiceCall> expected;
  for (int area = 1; area <= 8; ++area) {
    click(gauge, area);
    click(gauge, area, kMouseLeftSingle | kMouseRepeat);
    expected.push_back(event_call(events[area - 1]));
    expected.push_back(event_call(events[area - 1]));
  }
  EXPECT_EQ(click(gauge, 9), 0) << "the push button";
  EXPECT_EQ(take_actions(), expected);
  EXPECT_TRUE(plays_after_calls.empty());
}

TEST_F(RadioGauge, TransponderDrumsGlowWhileOnAndTheButtonStaysOut) {
  install("Radio_IFF_XPDR");
  services.integers[38] = 0x1200;
  for (int32_t power : {0, 1, 0}) {
    xpdr_power = power;
    for (int i = kUnits; i <= kThousands; ++i) {
      refresh(gauge, i);
      EXPECT_EQ((element_at(gauge, i)->image_flags & kImageLuminous) != 0,
                power != 0);
    }
  }
  const auto* button = element_as<IconElement>(element_at(gauge, kPushButton));
  EXPECT_EQ(button->callback, nullptr);
  EXPECT_EQ(button->source.token, 0);
  EXPECT_STREQ(tooltip(gauge, 1)->args[0].text(0, 0, 0, 0, 0, 0), "off");
}

}  // namespace
