// The eight toggle switches, reached through the gauge table as the simulator
// reaches them, with their clicks heard through the native sound layer.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "sound/native_sound.h"
#include "sound/sound.h"
#include "tests/unit/fake_services.h"

namespace {

struct SwitchCase {
  std::string name;
  uint32_t width_mm;
  int32_t bezel_bitmap;
  int32_t lever_bitmap;
  int32_t token;
  uint32_t event;
  MouseBox area;
  uint32_t help_id;     // on the parent area, or 0
  const char* tooltip;  // the gauge's own text, or null
  bool clicks;          // plays the switch click
};

constexpr MouseBox kLever = {0, 0, 44, 63};

const std::vector<SwitchCase> kCases = {
    {"Battery_Switch", 30, 1480, 1490, 364, 66241, kLever, 0,
     "Battery switch (%1!s!)", true},
    {"Avionics_Switch", 30, 1480, 1490, 740, 66293, kLever, 0,
     "Avionics master switch (%1!s!)", false},
    {"Beacon_Lights_Switch", 30, 1480, 1490, 368, 66239, kLever, 43837, nullptr,
     true},
    {"Landing_Lights_Switch",
     30,
     3070,
     3080,
     14,
     65751,
     {0, 0, 26, 45},
     43838,
     nullptr,
     true},
    {"Navigation_Lights_Switch", 30, 1480, 1490, 619, 66379, kLever, 43839,
     nullptr, true},
    {"Panel_Lights_Switch",
     30,
     3140,
     3150,
     10,
     65750,
     {0, 0, 66, 66},
     43840,
     nullptr,
     true},
    {"Pitot_Heat_Switch", 30, 1480, 1490, 13, 65858, kLever, 43863, nullptr,
     true},
    {"Fuel_Pump_Switch", 25, 1480, 1490, 891, 66339, kLever, 43879, nullptr,
     true},
};

// The clickable child of a switch: the only area with a click flag.
MouseRect* lever_area(GaugeHeader* gauge) {
  for (MouseRect* r = gauge->mouse_areas; r->kind != kMouseEnd; ++r)
    if (r->kind == kMouseChild) return r;
  return nullptr;
}

struct HeardPlay {
  size_t calls_before;  // service calls made before the sound started
  uint32_t sample_bytes;
};

struct Listener {
  FakeServices* services;
  std::vector<HeardPlay> plays;
};

void hear(void* context, uint32_t sample_bytes) {
  auto* l = static_cast<Listener*>(context);
  l->plays.push_back({l->services->calls.size(), sample_bytes});
}

class ToggleSwitch : public testing::TestWithParam<SwitchCase> {
 protected:
  void SetUp() override {
    native_sound_reset();
    native_sound_observe_plays(hear, &listener);
    gauge = find_gauge(GetParam().name.c_str());
    ASSERT_NE(gauge, nullptr);
  }
  void TearDown() override { native_sound_reset(); }

  void notice(int32_t n) {
    if (gauge->callback != nullptr) gauge->callback(gauge, n, &module);
  }
  int32_t click(uint32_t flags = kMouseLeftSingle) {
    MouseRect* area = lever_area(gauge);
    PointRecord point{area->box.width / 2, area->box.height / 2, gauge, area};
    return area->callback(&point, flags);
  }

  FakeServices services;
  Listener listener{&services, {}};
  GaugeHeader* gauge = nullptr;
  int module = 0;
};

TEST_P(ToggleSwitch, DeclaresLeverBoundToTheSystemsVariable) {
  const SwitchCase& c = GetParam();
  EXPECT_EQ(gauge->default_width_mm, c.width_mm);
  ASSERT_EQ(element_at(gauge, 0)->kind, kStaticImage);
  EXPECT_EQ(element_at(gauge, 0)->bitmap, c.bezel_bitmap);
  EXPECT_EQ(element_at(gauge, 0)->image_flags, 0x3u);
  auto* lever = element_as<IconElement>(element_at(gauge, 1));
  ASSERT_EQ(lever->head.kind, kIcon);
  EXPECT_EQ(lever->head.bitmap, c.lever_bitmap);
  EXPECT_EQ(lever->head.image_flags, 0x3u);
  EXPECT_EQ(lever->head.failures, nullptr);
  EXPECT_EQ(lever->source.token, c.token);
  EXPECT_EQ(lever->icons, 2);
  EXPECT_EQ(lever->scale, 1.0);
  EXPECT_EQ(lever->callback, nullptr);
  EXPECT_EQ(element_at(gauge, 2), nullptr);
  EXPECT_EQ(gauge->callback != nullptr, c.clicks);

  std::vector<uint32_t> kinds;
  for (MouseRect* r = gauge->mouse_areas; r->kind != kMouseEnd; ++r)
    kinds.push_back(r->kind);
  const MouseRect* parent = gauge->mouse_areas;
  EXPECT_EQ(parent->help_id, c.help_id);
  if (c.tooltip != nullptr) {
    EXPECT_EQ(kinds, (std::vector<uint32_t>{kMouseParent, kMouseTooltip,
                                            kMouseChild, kMouseEndParent}));
    EXPECT_STREQ(parent[1].text, c.tooltip);
    EXPECT_EQ(parent[1].event, 1u) << "one argument";
  } else {
    EXPECT_EQ(kinds, (std::vector<uint32_t>{kMouseParent, kMouseChild,
                                            kMouseEndParent}));
  }
  const MouseRect* area = lever_area(gauge);
  EXPECT_EQ(area->box.x, c.area.x);
  EXPECT_EQ(area->box.y, c.area.y);
  EXPECT_EQ(area->box.width, c.area.width);
  EXPECT_EQ(area->box.height, c.area.height);
  EXPECT_EQ(area->cursor, kCursorHand);
  EXPECT_EQ(area->mouse_flags, kMouseLeftSingle);
  // An area sends its own event or calls a handler, never both.
  EXPECT_EQ(area->event, c.clicks ? 0u : c.event);
  EXPECT_EQ(area->callback != nullptr, c.clicks);
}

INSTANTIATE_TEST_SUITE_P(Members, ToggleSwitch, testing::ValuesIn(kCases),
                         [](const auto& info) { return info.param.name; });

// The members with a click handler and a sound slot.
class ClickingSwitch : public ToggleSwitch {};

TEST_P(ClickingSwitch, ClickSendsTheToggleThenPlaysTheSwitchClick) {
  const SwitchCase& c = GetParam();
  services.numbers[c.token] = 1.0;
  notice(kNoticeInstall);
  notice(kNoticeUpdate);
  EXPECT_EQ(click(), 0);
  EXPECT_EQ(services.actions(),
            std::vector<ServiceCall>{event_call(c.event, 0)});
  ASSERT_EQ(listener.plays.size(), 1u);
  EXPECT_EQ(listener.plays[0].calls_before, services.calls.size())
      << "the sound starts after the event";
  EXPECT_EQ(listener.plays[0].sample_bytes, 3828u);

  notice(kNoticeKill);
  const SoundCounts& n = native_sound_counts();
  EXPECT_EQ(n.devices_created, 1);
  EXPECT_EQ(n.devices_released, 1);
  EXPECT_EQ(n.buffers_released, 1);
}

TEST_P(ClickingSwitch, ClicksStillSendTheirEventWithSoundDisabled) {
  const SwitchCase& c = GetParam();
  native_sound_fail_at(SoundStep::kCreateBuffer);
  notice(kNoticeInstall);
  EXPECT_EQ(sound_enabled, 0);
  EXPECT_EQ(click(), 0);
  EXPECT_EQ(click(), 0);
  EXPECT_EQ(services.actions(), (std::vector<ServiceCall>{
                                    event_call(c.event), event_call(c.event)}));
  EXPECT_TRUE(listener.plays.empty());
  notice(kNoticeKill);
  EXPECT_EQ(native_sound_counts().devices_released, 1);
}

// A gauge placed on two windows: two installs, two kills, one slot.
TEST_P(ClickingSwitch, PlacedTwiceLeaksNothing) {
  notice(kNoticeInstall);
  notice(kNoticeInstall);
  notice(kNoticeKill);
  notice(kNoticeKill);
  const SoundCounts& n = native_sound_counts();
  EXPECT_EQ(n.devices_created, 2);
  EXPECT_EQ(n.devices_released, 2);
  EXPECT_EQ(n.buffers_created, 2);
  EXPECT_EQ(n.buffers_released, 2);
}

std::vector<SwitchCase> clicking_cases() {
  std::vector<SwitchCase> result;
  for (const SwitchCase& c : kCases)
    if (c.clicks) result.push_back(c);
  return result;
}

INSTANTIATE_TEST_SUITE_P(Members, ClickingSwitch,
                         testing::ValuesIn(clicking_cases()),
                         [](const auto& info) { return info.param.name; });

TEST(ToggleSwitches, AvionicsHasNoSoundSlotAndNoHandler) {
  GaugeHeader* gauge = find_gauge("Avionics_Switch");
  ASSERT_NE(gauge, nullptr);
  EXPECT_EQ(gauge->callback, nullptr);
  EXPECT_EQ(lever_area(gauge)->event, 66293u);
  EXPECT_EQ(lever_area(gauge)->callback, nullptr);
}

TEST(ToggleSwitches, SitInTheGaugeTableInTheirOrder) {
  const char* order[] = {"Battery_Switch",        "Avionics_Switch",
                         "Fuel_Pump_Switch",      "Navigation_Lights_Switch",
                         "Landing_Lights_Switch", "Pitot_Heat_Switch",
                         "Beacon_Lights_Switch",  "Panel_Lights_Switch"};
  int last = -1;
  for (const char* name : order) {
    int index = -1;
    for (int i = 0; Linkage.gauges[i] != nullptr; ++i)
      if (std::string(Linkage.gauges[i]->name) == name) index = i;
    EXPECT_GT(index, last) << name;
    last = index;
  }
}

struct TooltipCase {
  std::string name;
  double value;
  const char* text;
};

class SwitchTooltip : public testing::TestWithParam<TooltipCase> {};

TEST_P(SwitchTooltip, ReadsTheVariableWhenShown) {
  const TooltipCase& c = GetParam();
  for (auto [gauge_name, token] :
       {std::pair{"Battery_Switch", 364}, std::pair{"Avionics_Switch", 740}}) {
    SCOPED_TRACE(gauge_name);
    FakeServices services;
    services.numbers[token] = c.value;
    GaugeHeader* gauge = find_gauge(gauge_name);
    ASSERT_NE(gauge, nullptr);
    const MouseRect& tooltip = gauge->mouse_areas[1];
    ASSERT_EQ(tooltip.kind, kMouseTooltip);
    EXPECT_STREQ(tooltip.args[0].text(0, 0, 0, 0, 0, 0), c.text);
    EXPECT_EQ(services.calls,
              (std::vector<ServiceCall>{{kServiceLookupVar, token, 0, {}}}));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Values, SwitchTooltip,
    testing::ValuesIn(std::vector<TooltipCase>{
        {"On", 1.0, "on"},
        {"Off", 0.0, "off"},
        {"Negative", -1.0, "off"},
        {"BarelyOn", 1e-300, "on"},
        {"NaN", std::numeric_limits<double>::quiet_NaN(), "off"},
        {"Infinite", std::numeric_limits<double>::infinity(), "on"},
        {"MinusInfinite", -std::numeric_limits<double>::infinity(), "off"},
    }),
    [](const auto& info) { return info.param.name; });

}  // namespace
