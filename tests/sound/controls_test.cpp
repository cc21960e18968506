// The electrical and engine controls, reached through the gauge table as the
// simulator reaches them: guarded switches and warning lights, magnetos and
// throttle levers, the fuel/oil valve, the spring switches and the
// cold-and-dark start-up, with their clicks heard through the native sound
// layer.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "sound/native_sound.h"
#include "sound/sound.h"
#include "state/panel_state.h"
#include "tests/unit/fake_services.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

// The n-th clickable area of a gauge, from 0.
MouseRect* child(GaugeHeader* gauge, int n) {
  for (MouseRect* r = gauge->mouse_areas; r->kind != kMouseEnd; ++r)
    if (r->kind == kMouseChild && n-- == 0) return r;
  return nullptr;
}

int32_t click(GaugeHeader* gauge, int area, uint32_t flags, int32_t y_px = 0) {
  MouseRect* r = child(gauge, area);
  PointRecord point{0, y_px, gauge, r};
  return r->callback(&point, flags);
}

double update(GaugeHeader* gauge, int element, double value = 0.0) {
  auto* icon = element_as<IconElement>(element_at(gauge, element));
  icon->source.value.number = value;
  return icon->callback(&icon->head);
}

std::string tooltip_argument(GaugeHeader* gauge) {
  for (MouseRect* r = gauge->mouse_areas; r->kind != kMouseEnd; ++r)
    if (r->kind == kMouseTooltip && r->args != nullptr)
      return r->args[0].text(0, 0, 0, 0, 0, 0);
  return "no argument";
}

// Every test hears the plays and starts from a fresh sound layer.
class Controls : public testing::Test {
 protected:
  void SetUp() override {
    native_sound_reset();
    native_sound_observe_plays(
        [](void* self, uint32_t) {
          auto* t = static_cast<Controls*>(self);
          t->plays_after_calls.push_back(t->services.calls.size());
        },
        this);
  }
  void TearDown() override { native_sound_reset(); }

  void install(GaugeHeader* gauge) {
    gauge->callback(gauge, kNoticeInstall, &module_handle);
  }

  FakeServices services;
  std::vector<size_t> plays_after_calls;
  int module_handle = 0;
};

// --- Guarded switches

struct GuardCase {
  std::string name;
  int32_t token;
  uint32_t event;
  bool switch_clicks;
};

class GuardedSwitch : public Controls,
                      public testing::WithParamInterface<GuardCase> {
 protected:
  void SetUp() override {
    Controls::SetUp();
    gauge = find_gauge(GetParam().name.c_str());
    ASSERT_NE(gauge, nullptr);
    install(gauge);
    // The cover state lives for the module's life: start from it closed.
    if (cover_image() != 0.0) click(gauge, 0, kMouseRightSingle);
    services.calls.clear();
    plays_after_calls.clear();
  }
  void TearDown() override {
    gauge->callback(gauge, kNoticeKill, nullptr);
    Controls::TearDown();
  }
  double cover_image() { return update(gauge, 2); }

  GaugeHeader* gauge = nullptr;
};

TEST_P(GuardedSwitch, ClosedCoverRefusesTheLeftClickSilently) {
  services.numbers[GetParam().token] = 0.0;
  EXPECT_EQ(tooltip_argument(gauge), "protected & off");
  services.numbers[GetParam().token] = 1.0;
  EXPECT_EQ(tooltip_argument(gauge), "protected & on");
  EXPECT_EQ(click(gauge, 0, kMouseLeftSingle), 0);
  EXPECT_TRUE(services.actions().empty());
  EXPECT_TRUE(plays_after_calls.empty());
  EXPECT_EQ(cover_image(), 0.0);
}

TEST_P(GuardedSwitch, RightClickLiftsTheCoverAndTheLeftClickWorksTheSwitch) {
  const GuardCase& c = GetParam();
  EXPECT_EQ(click(gauge, 0, kMouseRightSingle), 0);
  EXPECT_EQ(cover_image(), -1.0);
  EXPECT_EQ(plays_after_calls.size(), 1u) << "the cover clicks";
  services.numbers[c.token] = 0.0;
  EXPECT_EQ(tooltip_argument(gauge), "off");

  services.calls.clear();
  EXPECT_EQ(click(gauge, 0, kMouseLeftSingle), 0);
  EXPECT_EQ(services.actions(), std::vector<ServiceCall>{event_call(c.event)});
  if (c.switch_clicks) {
    ASSERT_EQ(plays_after_calls.size(), 2u);
    EXPECT_EQ(plays_after_calls[1], 1u) << "the sound follows the event";
  } else {
    EXPECT_EQ(plays_after_calls.size(), 1u);
  }
  // Held down, every repeat carrying the left click sends again.
  click(gauge, 0, kMouseLeftSingle | kMouseRepeat);
  EXPECT_EQ(services.actions().size(), 2u);

  // Closing over a switch that is on keeps it on, protected.
  services.numbers[c.token] = 1.0;
  click(gauge, 0, kMouseRightSingle);
  EXPECT_EQ(cover_image(), 0.0);
  EXPECT_EQ(tooltip_argument(gauge), "protected & on");
  EXPECT_EQ(services.actions().size(), 2u) << "the cover sends nothing";
}

INSTANTIATE_TEST_SUITE_P(
    Members, GuardedSwitch,
    testing::Values(GuardCase{"Generator_Switch", 565, 66363, true},
                    GuardCase{"Starter_Switch", 401, 66300, false}),
    [](const auto& info) { return info.param.name; });

struct ImageCase {
  std::string name;
  double value;
  double image;
};

class LeverImage : public testing::TestWithParam<ImageCase> {};

// Only exactly 0 is off: NaN and negative values show the lever on.
TEST_P(LeverImage, ShowsOnForAnythingButZero) {
  for (const char* name : {"Generator_Switch", "Starter_Switch"})
    EXPECT_EQ(update(find_gauge(name), 1, GetParam().value), GetParam().image)
        << name;
}

INSTANTIATE_TEST_SUITE_P(Values, LeverImage,
                         testing::ValuesIn(std::vector<ImageCase>{
                             {"Off", 0.0, 0.0},
                             {"On", 1.0, 1.0},
                             {"Negative", -1.0, 1.0},
                             {"NaN", kNaN, 1.0},
                         }),
                         [](const auto& info) { return info.param.name; });

// --- Warning lights

struct GeneratorLampCase {
  std::string name;
  double generator_volts;
  double bus_volts;
  double image;
};

class GeneratorLamp : public testing::TestWithParam<GeneratorLampCase> {};

TEST_P(GeneratorLamp, LitWhileTheGeneratorIsDeadAndTheBusAlive) {
  FakeServices services;
  services.numbers[761] = GetParam().generator_volts;
  services.numbers[759] = GetParam().bus_volts;
  EXPECT_EQ(update(find_gauge("Generator_Light"), 1), GetParam().image);
}

INSTANTIATE_TEST_SUITE_P(Volts, GeneratorLamp,
                         testing::ValuesIn(std::vector<GeneratorLampCase>{
                             {"EngineOffBatteryOn", 0, 24, 0},
                             {"GeneratorAtTenIsNotDead", 10, 24, -1},
                             {"JustBelowTenJustAboveTwenty", 9.99, 20.01, 0},
                             {"BusAtTwentyIsNotAlive", 0, 20, -1},
                             {"GeneratorCharging", 28.5, 28.5, -1},
                             {"NaNGenerator", kNaN, 24, -1},
                             {"NaNBus", 0, kNaN, -1},
                             {"NegativeInfiniteGenerator", -kInfinity,
                              kInfinity, 0},
                         }),
                         [](const auto& info) { return info.param.name; });

class PitotLamp : public testing::TestWithParam<ImageCase> {};

TEST_P(PitotLamp, LitByThePitotHeatHeldToTheOneImage) {
  EXPECT_EQ(update(find_gauge("Pitot_Heat_Light"), 1, GetParam().value),
            GetParam().image);
}

INSTANTIATE_TEST_SUITE_P(Values, PitotLamp,
                         testing::ValuesIn(std::vector<ImageCase>{
                             {"Off", 0, -1},
                             {"On", 1, 0},
                             {"Halfway", 0.5, -0.5},
                             {"Two", 2, 0},
                             {"Negative", -3, -1},
                             {"NaN", kNaN, -1},
                             {"Infinity", kInfinity, 0},
                         }),
                         [](const auto& info) { return info.param.name; });

TEST(WarningLights, GoDarkUnderTheElectricalFailureAndShowTheirText) {
  for (const char* name : {"Generator_Light", "Pitot_Heat_Light"}) {
    GaugeHeader* gauge = find_gauge(name);
    const FailureEntry* f = element_at(gauge, 1)->failures;
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f[0].key, 20);
    EXPECT_EQ(f[0].action, 3);
    EXPECT_EQ(f[1].key, 0);
    EXPECT_EQ(element_at(gauge, 1)->image_flags, 0x7u);
    EXPECT_EQ(child(gauge, 0), nullptr) << name << " takes no click";
  }
}

// --- Magnetos

struct MagnetoCase {
  std::string name;
  double left;
  double right;
  double position;
};

class MagnetoKey : public testing::TestWithParam<MagnetoCase> {};

TEST_P(MagnetoKey, ShowsTheSelectorAndTheUpArrowStopsAtBoth) {
  FakeServices services;
  GaugeHeader* gauge = find_gauge("Magnetos_Switch");
  services.numbers[399] = GetParam().left;
  EXPECT_EQ(update(gauge, 1, GetParam().right), GetParam().position);
  services.calls.clear();
  EXPECT_EQ(click(gauge, 0, kMouseLeftSingle), 0);
  if (GetParam().position < 3)
    EXPECT_EQ(services.actions(), std::vector<ServiceCall>{event_call(65635)});
  else
    EXPECT_TRUE(services.actions().empty());
}

INSTANTIATE_TEST_SUITE_P(Positions, MagnetoKey,
                         testing::ValuesIn(std::vector<MagnetoCase>{
                             {"Off", 0, 0, 0},
                             {"Right", 0, 1, 1},
                             {"Left", 1, 0, 2},
                             {"Both", 1, 1, 3},
                             {"NaNLeftReadsOff", kNaN, 1, 0},
                             {"NaNRightReadsOff", 1, kNaN, 0},
                             {"NegativeReadsOff", -1, 0, 0},
                             {"HugeReadsBoth", 1e300, 1e300, 3},
                         }),
                         [](const auto& info) { return info.param.name; });

TEST(Magnetos, DownArrowIsTheSimulatorsOwnStepEvenAtBoth) {
  const MouseRect* down = child(find_gauge("Magnetos_Switch"), 1);
  EXPECT_EQ(down->event, 65634u);
  EXPECT_EQ(down->callback, nullptr);
  EXPECT_EQ(down->mouse_flags, kMouseLeftSingle | kMouseRepeat);
}

// --- Throttle quadrant

struct LeverCase {
  std::string name;
  int lever;  // 0 throttle, 1 propeller, 2 mixture
  int32_t y_px;
  uint32_t value;
};

class LeverClick : public testing::TestWithParam<LeverCase> {};

TEST_P(LeverClick, SetsTheLeverToThePointHeldToItsTravel) {
  FakeServices services;
  const LeverCase& c = GetParam();
  const uint32_t events[] = {65697, 65767, 65773};
  GaugeHeader* gauge = find_gauge("Throttle_Control");
  EXPECT_EQ(click(gauge, c.lever, kMouseLeftSingle, c.y_px), 0);
  EXPECT_EQ(click(gauge, c.lever, kMouseLeftDrag, c.y_px), 0);
  const ServiceCall sent = event_call(events[c.lever], c.value);
  EXPECT_EQ(services.actions(), (std::vector<ServiceCall>{sent, sent}));
}

INSTANTIATE_TEST_SUITE_P(Points, LeverClick,
                         testing::ValuesIn(std::vector<LeverCase>{
                             {"TopEdgeIsFullForward", 0, 0, 16384},
                             {"Row100Of201", 0, 100, 8232},
                             {"BottomEdgeIsIdle", 0, 201, 0},
                             {"LastRowInside", 0, 200, 81},
                             {"AboveTheTop", 0, -40, 16384},
                             {"BelowTheBottom", 0, 260, 0},
                             {"FarAbove", 1, INT_MIN, 16384},
                             {"FarBelow", 2, INT_MAX, 0},
                             {"MiddleLeverShorterArea", 1, 93, 8235},
                             {"MixtureMiddle", 2, 100, 8232},
                         }),
                         [](const auto& info) { return info.param.name; });

TEST(LeverClick, AnAreaWithNoHeightOrNoRecordSendsNothing) {
  FakeServices services;
  GaugeHeader* gauge = find_gauge("Throttle_Control");
  MouseRect* area = child(gauge, 0);
  MouseRect flat = *area;
  for (int32_t height : {0, -201}) {
    flat.box.height = height;
    PointRecord point{0, 10, gauge, &flat};
    EXPECT_EQ(area->callback(&point, kMouseLeftSingle), 0);
  }
  PointRecord no_area{0, 10, gauge, nullptr};
  EXPECT_EQ(area->callback(&no_area, kMouseLeftSingle), 0);
  EXPECT_EQ(area->callback(nullptr, kMouseLeftSingle), 0);
  EXPECT_TRUE(services.calls.empty());
}

// --- Fuel/oil valve

struct ValveCase {
  std::string name;
  double fuel_valve;
  int32_t oil_before;
  int area;  // 0 fuel handle, 1 oil handle
  bool sends_toggle;
  int32_t oil_after;
};

class ValveClick : public Controls,
                   public testing::WithParamInterface<ValveCase> {};

TEST_P(ValveClick, FuelOpeningOpensTheOilOilHandleAlone) {
  const ValveCase& c = GetParam();
  GaugeHeader* gauge = find_gauge("Fuel_Oil_Valve");
  install(gauge);
  services.numbers[895] = c.fuel_valve;
  oil_valve_open = c.oil_before;
  services.calls.clear();
  EXPECT_EQ(click(gauge, c.area, kMouseLeftSingle), 0);
  EXPECT_EQ(oil_valve_open, c.oil_after);
  EXPECT_EQ(update(gauge, 1), c.oil_after);
  if (c.sends_toggle)
    EXPECT_EQ(services.actions(), std::vector<ServiceCall>{event_call(66494)});
  else
    EXPECT_TRUE(services.actions().empty());
  ASSERT_EQ(plays_after_calls.size(), 1u);
  EXPECT_EQ(plays_after_calls[0], services.calls.size());
  gauge->callback(gauge, kNoticeKill, nullptr);
  oil_valve_open = 1;
}

INSTANTIATE_TEST_SUITE_P(Clicks, ValveClick,
                         testing::ValuesIn(std::vector<ValveCase>{
                             {"BothShutFuelOpensBoth", 0, 0, 0, true, 1},
                             {"FuelOpenClosingLeavesOilShut", 1, 0, 0, true, 0},
                             {"FuelOpenClosingLeavesOilOpen", 1, 1, 0, true, 1},
                             {"NaNFuelIsNotShut", kNaN, 0, 0, true, 0},
                             {"OilHandleShuts", 1, 1, 1, false, 0},
                             {"OilHandleOpens", 0, 0, 1, false, 1},
                         }),
                         [](const auto& info) { return info.param.name; });

TEST(FuelValveTooltip, OnAboveZeroOffOtherwise) {
  FakeServices services;
  GaugeHeader* gauge = find_gauge("Fuel_Oil_Valve");
  for (auto [value, text] : {std::pair{1.0, "on"},
                             {0.0, "off"},
                             {-1.0, "off"},
                             {kNaN, "off"},
                             {0.001, "on"}}) {
    services.numbers[895] = value;
    EXPECT_EQ(tooltip_argument(gauge), text) << value;
  }
}

// --- Spring switches

class SpringSwitch : public testing::Test {
 protected:
  // Images shown for a run of positions, one update each.
  std::vector<double> images(const char* name, std::vector<double> positions) {
    std::vector<double> shown;
    GaugeHeader* gauge = find_gauge(name);
    for (double p : positions) shown.push_back(update(gauge, 1, p));
    return shown;
  }
  // Memory is the module's: rest at `position` long enough to be neutral.
  void rest(const char* name, double position) {
    images(name, std::vector<double>(12, position));
  }
};

TEST_F(SpringSwitch, CowlFlapsShowARiseForSixUpdates) {
  rest("Cowl_Flaps_Switch", 0);
  EXPECT_EQ(images("Cowl_Flaps_Switch", {10, 10, 10, 10, 10, 10, 10, 10}),
            (std::vector<double>{1, 1, 1, 1, 1, 1, 0, 0}));
  EXPECT_EQ(images("Cowl_Flaps_Switch", {5, 5, 5, 5, 5, 5, 5}),
            (std::vector<double>{2, 2, 2, 2, 2, 2, 0}));
}

TEST_F(SpringSwitch, FlapsShowAFallAsOneAndARiseAsTwoForNineUpdates) {
  rest("Flaps_Switch", 50);
  EXPECT_EQ(images("Flaps_Switch", {40, 40, 40, 40, 40, 40, 40, 40, 40, 40}),
            (std::vector<double>{1, 1, 1, 1, 1, 1, 1, 1, 1, 0}));
  EXPECT_EQ(images("Flaps_Switch", {45, 45, 45, 45, 45, 45, 45, 45, 45, 45}),
            (std::vector<double>{2, 2, 2, 2, 2, 2, 2, 2, 2, 0}));
}

TEST_F(SpringSwitch, ARiseRightAfterAFallSwitchesAtOnceAndMovementHolds) {
  rest("Cowl_Flaps_Switch", 20);
  EXPECT_EQ(images("Cowl_Flaps_Switch", {15, 16, 16, 17, 18, 19, 20, 20}),
            (std::vector<double>{2, 1, 1, 1, 1, 1, 1, 1}));
}

TEST_F(SpringSwitch, NaNIsNoMovementAndTheNextRealValueComparesWithTheLast) {
  rest("Flaps_Switch", 30);
  EXPECT_EQ(images("Flaps_Switch", {kNaN, kNaN, 30, 20}),
            (std::vector<double>{0, 0, 0, 1}));
  rest("Flaps_Switch", 20);
  EXPECT_EQ(images("Flaps_Switch", {kInfinity, -kInfinity, 1e300}),
            (std::vector<double>{2, 1, 2}));
}

// --- Cold and dark

struct ShutDownCase {
  std::string name;
  std::map<int32_t, double> aircraft;
  std::vector<uint32_t> events;
};

class ShutDown : public testing::TestWithParam<ShutDownCase> {
 protected:
  void SetUp() override {
    adf_power = adf_tone = com1_power = nav1_power = nav1_tone = nav2_power =
        nav2_tone = xpdr_power = 1;
    oil_valve_open = 1;
  }
  void TearDown() override { oil_valve_open = 1; }
};

TEST_P(ShutDown, SwitchesOffWhatIsOnInItsOrder) {
  FakeServices services;
  services.numbers = GetParam().aircraft;
  GaugeHeader* gauge = find_gauge("Shut_Down");
  for (int32_t notice : {kNoticeInstall, kNoticeUpdate, kNoticeKill})
    gauge->callback(gauge, notice, nullptr);
  EXPECT_TRUE(services.calls.empty()) << "acts on notice 14 alone";
  gauge->callback(gauge, kNoticeConnect, nullptr);
  std::vector<ServiceCall> expected;
  for (uint32_t event : GetParam().events)
    expected.push_back(event_call(event));
  EXPECT_EQ(services.actions(), expected);
  const int32_t flags[] = {adf_power,  adf_tone,   com1_power,
                           nav1_power, nav1_tone,  nav2_power,
                           nav2_tone,  xpdr_power, oil_valve_open};
  const bool ran = !expected.empty();
  for (int32_t flag : flags) EXPECT_EQ(flag, ran ? 0 : 1);
}

const std::vector<uint32_t> kAlways = {65820, 65927, 66057, 66060,
                                       66053, 65836, 65832, 65833};

INSTANTIATE_TEST_SUITE_P(
    Aircraft, ShutDown,
    testing::ValuesIn(std::vector<ShutDownCase>{
        {"GateAtZeroSendsNothing", {{60, 0}, {364, 1}}, {}},
        {"NaNGateSendsNothing", {{60, kNaN}, {364, 1}}, {}},
        {"NegativeGateSendsNothing", {{60, -1}}, {}},
        {"EverythingAlreadyOff", {{60, 1}}, kAlways},
        {"BatteryAvionicsBeaconNavigationAndFuelOn",
         {{60, 1}, {895, 1}, {364, 1}, {740, 1}, {368, 1}, {619, 1}},
         {65820, 66494, 65927, 66241, 66293, 66057, 66060, 66053, 66239, 66379,
          65836, 65832, 65833}},
        {"StrobeGeneratorAndPitotOn",
         {{60, 2}, {560, 1}, {565, -1}, {13, 1}},
         {65820, 65919, 65927, 66363, 65858, 66057, 66060, 66053, 65836, 65832,
          65833}},
        {"NotExactlyOneIsNotOn",
         {{60, 1}, {740, 0.5}, {13, 2}, {368, kNaN}, {619, 1.0000001}},
         kAlways},
        {"NaNGeneratorIsNotZero",
         {{60, 1}, {565, kNaN}, {364, kNaN}, {895, kNaN}},
         {65820, 65927, 66363, 66057, 66060, 66053, 65836, 65832, 65833}},
    }),
    [](const auto& info) { return info.param.name; });

struct CapacityCase {
  std::string name;
  double gallons;
  double litres;  // from 50 litres stored before
};

class TankCapacity : public testing::TestWithParam<CapacityCase> {};

TEST_P(TankCapacity, SeededAtEveryConnectWhateverTheGate) {
  FakeServices services;
  services.numbers = {
      {60, 0}, {292, GetParam().gallons}, {298, GetParam().gallons}};
  left_tank_capacity = right_tank_capacity = 50.0;
  GaugeHeader* gauge = find_gauge("Shut_Down");
  gauge->callback(gauge, kNoticeConnect, nullptr);
  EXPECT_DOUBLE_EQ(left_tank_capacity, GetParam().litres);
  EXPECT_DOUBLE_EQ(right_tank_capacity, GetParam().litres);
  left_tank_capacity = right_tank_capacity = 0.0;
}

INSTANTIATE_TEST_SUITE_P(Gallons, TankCapacity,
                         testing::ValuesIn(std::vector<CapacityCase>{
                             {"Twenty", 20, 75.7},
                             {"ZeroKeepsTheLast", 0, 50},
                             {"NegativeKeepsTheLast", -5, 50},
                             {"NaNKeepsTheLast", kNaN, 50},
                             {"InfinityKeepsTheLast", kInfinity, 50},
                             {"TooHugeForLitresKeepsTheLast", 1e308, 50},
                             {"Tiny", 1e-300, 1e-300 * 3.785},
                         }),
                         [](const auto& info) { return info.param.name; });

}  // namespace
