// The engine, fuel, electrical and outside-air dials' callbacks and
// tooltips, reached through the gauge table as the simulator reaches them.
#include "gauges/instruments/engine_dials.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "gauges/instruments/fuel_electrical.h"
#include "state/panel_state.h"
#include "tests/unit/fake_services.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

template <class Element>
Element* element(const char* gauge, int index) {
  GaugeHeader* header = find_gauge(gauge);
  if (header == nullptr) return nullptr;
  return element_as<Element>(element_at(header, index));
}

double run_needle(const char* gauge, double source) {
  auto* needle = element<NeedleElement>(gauge, 1);
  needle->source.value.number = source;
  return needle->callback(&needle->head);
}

double run_lamp(const char* gauge, double source) {
  auto* lamp = element<IconElement>(gauge, 1);
  lamp->source.value.number = source;
  return lamp->callback(&lamp->head);
}

const MouseRect* tooltip_of(const char* gauge) {
  for (const MouseRect* r = find_gauge(gauge)->mouse_areas;
       r->kind != kMouseEnd; ++r)
    if (r->kind == kMouseTooltip && r->help_id == 0) return r;
  return nullptr;
}

double tooltip_number(const char* gauge) {
  const MouseRect* r = tooltip_of(gauge);
  return r->args[0].number(0, 0, 0, 0, 0, 0);
}

struct OilValveGuard {
  int32_t saved = oil_valve_open;
  ~OilValveGuard() { oil_valve_open = saved; }
};

struct OilCase {
  std::string name;
  int32_t valve_open;
  double pressure;
  double shown;
};

class OilValveGate : public testing::TestWithParam<OilCase> {};

TEST_P(OilValveGate, ShutValveShowsTheResidualReading) {
  FakeServices services;
  OilValveGuard guard;
  const OilCase& c = GetParam();
  oil_valve_open = c.valve_open;
  const double shown = run_needle("Oil_Pressure", c.pressure);
  if (std::isnan(c.shown))
    EXPECT_TRUE(std::isnan(shown));
  else
    EXPECT_EQ(shown, c.shown);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OilValveGate,
    testing::ValuesIn(std::vector<OilCase>{
        {"OpenPassesThePressure", 1, 41758.2, 41758.2},
        {"OpenPassesZero", 1, 0, 0},
        {"ShutWhateverTheEngineDoes", 0, 41758.2, kOilPressureValveShut},
        {"ShutWithNoPressure", 0, 0, kOilPressureValveShut},
        {"ShutHidesANaN", 0, kNaN, kOilPressureValveShut},
        {"AnyNonZeroFlagIsOpen", 7, 20879.1, 20879.1},
    }),
    [](const auto& info) { return info.param.name; });

TEST(OilValveGate, FollowsThePressureAtOnceWhenOpenedAgain) {
  FakeServices services;
  OilValveGuard guard;
  oil_valve_open = 0;
  EXPECT_EQ(run_needle("Oil_Pressure", 30000), kOilPressureValveShut);
  oil_valve_open = 1;
  EXPECT_EQ(run_needle("Oil_Pressure", 30000), 30000);
}

TEST(CarburetorTemp, ReadsTheCalculatorAndTheTooltipShowsTheSameValue) {
  FakeServices services;
  const std::string expression = "(A:RECIP CARBURETOR TEMPERATURE:1,celsius)";
  services.calculator_numbers[expression] = -7.6;
  EXPECT_EQ(run_needle("Carburetor_Temp", 0), -7.6);
  ASSERT_EQ(services.actions().size(), 1u);
  EXPECT_EQ(services.actions()[0].text, expression);
  services.calculator_numbers[expression] = 12.0;
  // Between two needle updates the tooltip shows the last reading.
  EXPECT_EQ(tooltip_number("Carburetor_Temp"), -7.6);
  EXPECT_EQ(run_needle("Carburetor_Temp", 0), 12.0);
  EXPECT_EQ(tooltip_number("Carburetor_Temp"), 12.0);
  EXPECT_STREQ(tooltip_of("Carburetor_Temp")->text,
               "Admission air temperature (%1!d!\xB0"
               "C)");
}

struct PressureCase {
  std::string name;
  double host_units;
  double kilopascals;
};

class FuelPressureTooltip : public testing::TestWithParam<PressureCase> {};

TEST_P(FuelPressureTooltip, ShowsKilopascals) {
  FakeServices services;
  services.numbers[425] = GetParam().host_units;
  EXPECT_NEAR(tooltip_number("Fuel_Pressure"), GetParam().kilopascals, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(Cases, FuelPressureTooltip,
                         testing::ValuesIn(std::vector<PressureCase>{
                             {"Sixty", 1252.746, 60},
                             {"Thirty", 626.373, 30},
                             {"Zero", 0, 0},
                             {"BelowTheScale", -20.8791, -1},
                         }),
                         [](const auto& info) { return info.param.name; });

TEST(EngineDials, FourDialsPassTheirTokenToTheTable) {
  for (const char* name :
       {"Manifold_Pressure", "Tachometer", "Oil_Temperature", "CHT_Indicator"})
    EXPECT_EQ(element<NeedleElement>(name, 1)->callback, nullptr) << name;
}

// --- Fuel quantities and low-fuel lights ------------------------------------

struct CapacityGuard {
  double left = left_tank_capacity;
  double right = right_tank_capacity;
  ~CapacityGuard() {
    left_tank_capacity = left;
    right_tank_capacity = right;
  }
};

struct FuelCase {
  std::string name;
  double capacity_litres;
  double level;
  double litres;
  bool lamp_lit;
};

class FuelQuantity : public testing::TestWithParam<FuelCase> {};

TEST_P(FuelQuantity, DialTooltipAndLightAgreeOnBothSides) {
  FakeServices services;
  CapacityGuard guard;
  const FuelCase& c = GetParam();
  left_tank_capacity = c.capacity_litres;
  right_tank_capacity = c.capacity_litres;
  for (const char* side : {"Left", "Right"}) {
    const std::string dial = std::string("Fuel_Quantity_") + side;
    const std::string light = std::string("Low_Fuel_Light_") + side;
    EXPECT_NEAR(run_needle(dial.c_str(), c.level), c.litres, 1e-9) << side;
    EXPECT_NEAR(tooltip_number(dial.c_str()), c.litres, 1e-9) << side;
    EXPECT_EQ(run_lamp(light.c_str(), c.level), c.lamp_lit ? 0.0 : -1.0)
        << side;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FuelQuantity,
    testing::ValuesIn(std::vector<FuelCase>{
        {"FullSmallTank", 110, 8388608, 110, false},
        {"JustAboveTwentyLitres", 200, 838861, 200.0 * 838861 / 8388608, false},
        {"JustBelowTwentyLitres", 200, 838860, 200.0 * 838860 / 8388608, true},
        {"ExactlyTwentyLitresLights", 160, 1048576, 20, true},
        {"CapacityNotYetSeeded", 0, 8388608, 0, true},
        {"EmptyTank", 200, 0, 0, true},
        {"NaNLevelReadsEmpty", 200, kNaN, 0, true},
        {"InfiniteLevelReadsEmpty", 200, kInfinity, 0, true},
        {"InfiniteLevelOfNoCapacity", 0, kInfinity, 0, true},
    }),
    [](const auto& info) { return info.param.name; });

TEST(FuelQuantity, EachSideReadsItsOwnCapacityAndKeepsItsOwnValue) {
  FakeServices services;
  CapacityGuard guard;
  left_tank_capacity = 100;
  right_tank_capacity = 200;
  EXPECT_EQ(run_needle("Fuel_Quantity_Left", 4194304), 50);
  EXPECT_EQ(run_needle("Fuel_Quantity_Right", 4194304), 100);
  EXPECT_EQ(tooltip_number("Fuel_Quantity_Left"), 50);
  EXPECT_EQ(tooltip_number("Fuel_Quantity_Right"), 100);
  // The light computes its own quantity, not the dial's last one.
  EXPECT_EQ(run_lamp("Low_Fuel_Light_Left", 1), 0.0);
  EXPECT_EQ(tooltip_number("Fuel_Quantity_Left"), 50);
}

TEST(FuelQuantity, OnlyTheFuelNeedlesAreRateLimited) {
  EXPECT_EQ(
      element<NeedleElement>("Fuel_Quantity_Left", 1)->max_turn_rate_degrees,
      48);
  EXPECT_EQ(
      element<NeedleElement>("Fuel_Quantity_Right", 1)->max_turn_rate_degrees,
      48);
  for (const char* name : {"Voltmeter", "OAT_Indicator", "Tachometer"})
    EXPECT_EQ(element<NeedleElement>(name, 1)->max_turn_rate_degrees, 0)
        << name;
}

// --- Voltmeter, outside air, flaps
// ---------------------------------------------

TEST(Voltmeter, TooltipShowsTheLastVoltageTheNeedleDrew) {
  FakeServices services;
  EXPECT_EQ(run_needle("Voltmeter", 28.4), 28.4);
  EXPECT_EQ(tooltip_number("Voltmeter"), 28.4);
  EXPECT_STREQ(tooltip_of("Voltmeter")->text,
               "Main bus voltage (%1!4.1f! volts)");
}

TEST(OatIndicator, TooltipLooksUpTheTemperatureAndKeepsIt) {
  FakeServices services;
  services.numbers[341] = -12.5;
  EXPECT_EQ(tooltip_number("OAT_Indicator"), -12.5);
  EXPECT_EQ(outside_air_shown_c, -12.5);
}

struct FlapCase {
  std::string name;
  double position;
  double degrees;
};

class FlapsTooltip : public testing::TestWithParam<FlapCase> {};

TEST_P(FlapsTooltip, ShowsDegreesOfFlap) {
  FakeServices services;
  services.numbers[329] = GetParam().position;
  EXPECT_NEAR(tooltip_number("Flaps_Indicator"), GetParam().degrees, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(Cases, FlapsTooltip,
                         testing::ValuesIn(std::vector<FlapCase>{
                             {"Up", 0, 0},
                             {"Half", 8192, 25},
                             {"Full", 16384, 50},
                             {"FirstNotch", 3277, 3277 * 50.0 / 16384},
                         }),
                         [](const auto& info) { return info.param.name; });

TEST(FlapsIndicator, PointerTravelsNinetyFivePixelsForFullFlaps) {
  auto* pointer = element<SliderElement>("Flaps_Indicator", 1);
  EXPECT_EQ(pointer->y_source.token, 329);
  EXPECT_DOUBLE_EQ(16384 * pointer->y_scale, 95);
  EXPECT_DOUBLE_EQ(8192 * pointer->y_scale, 47.5);
}

}  // namespace
