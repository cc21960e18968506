#include "host/aircraft/aircraft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr double kFrame = 1.0 / 18.0;

struct EventCase {
  const char* name = "";
  std::vector<std::pair<int32_t, double>> setup = {};
  std::vector<uint32_t> events = {};  // sent with `value`
  uint32_t value = 0;
  std::vector<std::pair<int32_t, double>> expect = {};
};

void PrintTo(const EventCase& c, std::ostream* os) { *os << c.name; }

class EventEffect : public testing::TestWithParam<EventCase> {};

TEST_P(EventEffect, MovesItsVariables) {
  const EventCase& c = GetParam();
  Aircraft aircraft;
  for (auto [token, value] : c.setup) ASSERT_TRUE(aircraft.set(token, value));
  for (uint32_t event : c.events) aircraft.apply_event(event, c.value);
  for (auto [token, value] : c.expect)
    EXPECT_EQ(aircraft.number(token), value) << "token " << token;
  EXPECT_TRUE(aircraft.unknown_events().empty());
  EXPECT_TRUE(aircraft.rejected_events().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Aircraft, EventEffect,
    testing::ValuesIn(std::vector<EventCase>{
        // COM channels are 25 kHz apart; the BCD keeps two decimals, so
        // 118.025 arrives as .02 and 118.075 as .07.
        {.name = "com_channel_up_gives_x2_x5_x7",
         .setup = {{23, 0x1800}},
         .events = {66435},
         .expect = {{23, 0x1802}}},
        {.name = "com_three_channels_up",
         .setup = {{23, 0x1800}},
         .events = {66435, 66435, 66435},
         .expect = {{23, 0x1807}}},
        {.name = "com_channel_up_wraps_without_carry",
         .setup = {{23, 0x1897}},
         .events = {66435},
         .expect = {{23, 0x1800}}},
        {.name = "com_channel_down_wraps_without_borrow",
         .setup = {{23, 0x1800}},
         .events = {66434},
         .expect = {{23, 0x1897}}},
        {.name = "com_channel_down_from_x2_keeps_quarter",
         .setup = {{23, 0x2557}},
         .events = {66434, 66434},
         .expect = {{23, 0x2552}}},
        {.name = "com_mhz_up_wraps_136_to_118",
         .setup = {{23, 0x3652}},
         .events = {65637},
         .expect = {{23, 0x1852}}},
        {.name = "com_mhz_down_wraps_118_to_136",
         .setup = {{23, 0x1807}},
         .events = {65636},
         .expect = {{23, 0x3607}}},
        {.name = "nav1_decimals_up_wraps_within_mhz",
         .setup = {{24, 0x1095}},
         .events = {65643},
         .expect = {{24, 0x1000}}},
        {.name = "nav1_decimals_down_wraps_within_mhz",
         .setup = {{24, 0x0800}},
         .events = {65642},
         .expect = {{24, 0x0895}}},
        {.name = "nav1_mhz_up_wraps_117_to_108",
         .setup = {{24, 0x1750}},
         .events = {65641},
         .expect = {{24, 0x0850}}},
        {.name = "nav2_mhz_down_wraps_108_to_117_and_leaves_nav1",
         .setup = {{24, 0x1050}, {27, 0x0805}},
         .events = {65644},
         .expect = {{27, 0x1705}, {24, 0x1050}}},
        {.name = "nav2_decimals_up",
         .setup = {{27, 0x1105}},
         .events = {65647, 65647},
         .expect = {{27, 0x1115}}},
        {.name = "adf_tenth_up_carries_into_khz",
         .setup = {{16, 0x409}, {18, 9}},
         .events = {66462},
         .expect = {{16, 0x410}, {18, 0}}},
        {.name = "adf_khz_down_leaves_the_thousands",
         .setup = {{16, 0x000}, {18, 256 + 5}},
         .events = {66543},
         .expect = {{16, 0x999}, {18, 5}}},
        {.name = "adf_khz_up_five_times",
         .setup = {{16, 0x745}, {18, 256}},
         .events = {66542, 66542, 66542, 66542, 66542},
         .expect = {{16, 0x750}, {18, 256}}},
        {.name = "adf_set_takes_bcd_tenths",
         .events = {66122},
         .value = 0x8500,
         .expect = {{16, 0x850}, {18, 0}}},
        {.name = "adf_set_above_a_thousand",
         .events = {66122},
         .value = 0x12345,
         .expect = {{16, 0x234}, {18, 256 + 5}}},
        {.name = "transponder_thousands_up_wraps_7_to_0",
         .setup = {{38, 0x7777}},
         .events = {65651},
         .expect = {{38, 0x0777}}},
        {.name = "transponder_units_down_wraps_0_to_7",
         .setup = {{38, 0x1200}},
         .events = {66458},
         .expect = {{38, 0x1207}}},
        {.name = "transponder_each_digit_alone",
         .setup = {{38, 0x1200}},
         .events = {65652, 65653, 66457, 66456, 66456},
         .expect = {{38, 0x1100}}},
        {.name = "battery_toggles", .events = {66241}, .expect = {{364, 1}}},
        {.name = "toggle_twice_restores",
         .events = {66379, 66379, 65858},
         .expect = {{619, 0}, {13, 1}}},
        {.name = "toggle_from_half_turns_off",
         .setup = {{740, 0.5}},
         .events = {66293},
         .expect = {{740, 0}}},
        {.name = "magneto_up_once_is_right",
         .events = {65635},
         .expect = {{399, 0}, {400, 1}}},
        {.name = "magneto_up_twice_is_left",
         .events = {65635, 65635},
         .expect = {{399, 1}, {400, 0}}},
        {.name = "magneto_stops_at_both",
         .events = {65635, 65635, 65635, 65635},
         .expect = {{399, 1}, {400, 1}}},
        {.name = "magneto_down_from_both_and_stops_at_off",
         .setup = {{399, 1}, {400, 1}},
         .events = {65634, 65634, 65634, 65634, 65634},
         .expect = {{399, 0}, {400, 0}}},
        {.name = "throttle_lever_set",
         .events = {65697},
         .value = 8232,
         .expect = {{128, 8232}, {129, 16384}, {130, 0}}},
        {.name = "mixture_lever_clamped_to_full",
         .events = {65773},
         .value = 0xFFFFFFFF,
         .expect = {{130, 16384}}},
        {.name = "propeller_lever_set",
         .events = {65767},
         .value = 0,
         .expect = {{129, 0}}},
        {.name = "kohlsman_up_and_down",
         .events = {65883, 65883, 65884},
         .expect = {{75, 1014.25}}},
        {.name = "attitude_bars_up_and_down",
         .events = {66318, 66318, 66319},
         .expect = {{612, 10}}},
        {.name = "gyro_cage_toggles", .events = {66373}, .expect = {{288, 1}}},
        {.name = "vor_course_set_wraps",
         .events = {65716},
         .value = 370,
         .expect = {{45, 10}}},
        {.name = "adf_card_set",
         .events = {66039},
         .value = 359,
         .expect = {{22, 359}}},
        {.name = "gyro_heading_down_wraps",
         .events = {65878},
         .expect = {{84, 359}}},
    }),
    [](const testing::TestParamInfo<EventCase>& info) {
      return std::string(info.param.name);
    });

TEST(AircraftEvents, FlapsAndCowlFlapsMoveOverFrames) {
  Aircraft aircraft;
  aircraft.apply_event(65758, 0);
  aircraft.apply_event(66243, 0);
  EXPECT_EQ(aircraft.number(329), 0);
  aircraft.advance(kFrame);
  double first = aircraft.number(329);
  EXPECT_GT(first, 0);
  EXPECT_LT(first, 4096);
  EXPECT_GT(aircraft.number(362), 0);
  EXPECT_LT(aircraft.number(362), 10);
  for (int i = 0; i < 10; ++i) aircraft.advance(kFrame);
  EXPECT_EQ(aircraft.number(329), 4096);
  EXPECT_EQ(aircraft.number(328), 25);
  EXPECT_EQ(aircraft.number(362), 10);

  for (int i = 0; i < 6; ++i) aircraft.apply_event(65758, 0);
  for (int i = 0; i < 36; ++i) aircraft.advance(kFrame);
  EXPECT_EQ(aircraft.number(329), 16384);
  aircraft.apply_event(65759, 0);
  aircraft.advance(kFrame);
  EXPECT_LT(aircraft.number(329), 16384);
  EXPECT_GT(aircraft.number(329), 12288);
}

TEST(AircraftEvents, WindowEventsGoToTheHost) {
  Aircraft aircraft;
  aircraft.apply_event(66507, 50);  // no window actions yet
  EXPECT_EQ(aircraft.rejected_events().size(), 1u);

  std::vector<std::string> calls;
  aircraft.set_window_actions({
      .open =
          [&](uint32_t id) { calls.push_back("open " + std::to_string(id)); },
      .close =
          [&](uint32_t id) { calls.push_back("close " + std::to_string(id)); },
      .toggle =
          [&](uint32_t id) { calls.push_back("toggle " + std::to_string(id)); },
  });
  aircraft.apply_event(66507, 50);
  aircraft.apply_event(66508, 10);
  aircraft.apply_event(66506, 0);
  EXPECT_EQ(calls,
            (std::vector<std::string>{"open 50", "close 10", "toggle 0"}));
}

TEST(AircraftEvents, HostIdentAndUnknownEventsAreKept) {
  Aircraft aircraft;
  aircraft.apply_event(65841, 0);
  aircraft.apply_event(65837, 0);
  aircraft.apply_event(65838, 0);
  aircraft.apply_event(65833, 0);
  EXPECT_TRUE(aircraft.ident_audio().adf);
  EXPECT_TRUE(aircraft.ident_audio().nav1);
  EXPECT_FALSE(aircraft.ident_audio().nav2);
  EXPECT_EQ(aircraft.number(880), 1);
  aircraft.apply_event(65836, 0);
  EXPECT_EQ(aircraft.number(880), 0);

  for (uint32_t event : {65734u, 65735u, 65875u, 65564u, 65876u, 66432u})
    aircraft.apply_event(event, 7);
  ASSERT_EQ(aircraft.host_events().size(), 6u);
  EXPECT_EQ(aircraft.host_events()[1].event, 65735u);
  EXPECT_EQ(aircraft.host_events()[1].value, 7u);

  aircraft.apply_event(70000, 3);
  ASSERT_EQ(aircraft.unknown_events().size(), 1u);
  EXPECT_EQ(aircraft.unknown_events()[0].event, 70000u);

  aircraft.apply_event(66122, 0x41A0);  // not BCD
  aircraft.apply_event(66122, 0x0500);  // 50 kHz: below the band
  EXPECT_EQ(aircraft.rejected_events().size(), 2u);
  EXPECT_EQ(aircraft.number(16), 0x350);
}

TEST(AircraftVariables, LookupFillsTheFieldOfTheVariablesType) {
  Aircraft aircraft;
  ModuleVar bcd{};
  bcd.token = 23;
  bcd.value.number = 99.0;
  aircraft.lookup(bcd);
  EXPECT_EQ(bcd.value.integer, 0x2280);
  EXPECT_EQ(bcd.value.bytes[4], 0);  // the upper half is cleared

  ModuleVar number{};
  number.token = 75;
  aircraft.lookup(number);
  EXPECT_EQ(number.value.number, 1013.25);

  ModuleVar to_from{};  // token 43 is a float64, not an integer
  to_from.token = 43;
  ASSERT_TRUE(aircraft.set(43, 2));
  aircraft.lookup(to_from);
  EXPECT_EQ(to_from.value.number, 2.0);

  ModuleVar unknown{};
  unknown.token = 9999;
  unknown.value.number = 5.0;
  aircraft.lookup(unknown);
  aircraft.lookup(unknown);
  ModuleVar unbound{};
  aircraft.lookup(unbound);
  EXPECT_EQ(unknown.value.number, 0.0);
  EXPECT_EQ(aircraft.unknown_tokens(), std::vector<int32_t>{9999});

  // A float64 read as an integer truncates and saturates, NaN reading 0.
  ASSERT_TRUE(aircraft.set(61, std::numeric_limits<double>::quiet_NaN()));
  EXPECT_EQ(aircraft.integer(61), 0);
  ASSERT_TRUE(aircraft.set(61, -1e300));
  EXPECT_EQ(aircraft.integer(61), std::numeric_limits<int32_t>::min());
  ASSERT_TRUE(aircraft.set(61, -2.9));
  EXPECT_EQ(aircraft.integer(61), -2);
}

TEST(AircraftVariables, TableHasEveryTokenOnceWithTheRightKinds) {
  std::vector<int32_t> bcd;
  for (const AircraftVariable& row : aircraft_variables()) {
    if (row.bcd) bcd.push_back(row.token);
    EXPECT_EQ(find_aircraft_variable(row.token), &row);
    EXPECT_EQ(find_aircraft_variable(row.name), &row) << row.name;
  }
  EXPECT_EQ(bcd, (std::vector<int32_t>{16, 18, 23, 24, 27, 38}));
  for (int32_t token :
       {10,  13,  14,  22,  39,  40,  41,  43,  44,  45,  60,  61,
        65,  69,  70,  74,  75,  78,  80,  83,  84,  85,  128, 129,
        130, 282, 288, 291, 292, 297, 298, 328, 329, 341, 362, 364,
        368, 390, 391, 399, 400, 401, 415, 416, 418, 425, 557, 560,
        565, 604, 612, 619, 740, 753, 755, 759, 761, 880, 891, 895})
    EXPECT_NE(find_aircraft_variable(token), nullptr) << token;
  EXPECT_EQ(find_aircraft_variable("battery_master")->token, 364);
  EXPECT_EQ(find_aircraft_variable("NO_SUCH_THING"), nullptr);
}

struct RejectedSet {
  const char* name;
  int32_t token;
  double value;
};

class RejectedSetTest : public testing::TestWithParam<RejectedSet> {};

TEST_P(RejectedSetTest, LeavesTheValue) {
  Aircraft aircraft;
  double before = aircraft.number(GetParam().token);
  EXPECT_FALSE(aircraft.set(GetParam().token, GetParam().value));
  EXPECT_EQ(aircraft.number(GetParam().token), before);
}

INSTANTIATE_TEST_SUITE_P(Aircraft, RejectedSetTest,
                         testing::ValuesIn(std::vector<RejectedSet>{
                             {"unknown_token", 9999, 1},
                             {"com_not_bcd", 23, 0x18A0},
                             {"com_not_a_channel", 23, 0x1801},
                             {"com_below_band", 23, 0x1795},
                             {"com_above_band", 23, 0x3700},
                             {"nav_quarter_channel", 24, 0x1002},
                             {"nav_above_band", 27, 0x1800},
                             {"transponder_digit_8", 38, 0x1280},
                             {"negative_bcd", 23, -1},
                             {"fractional_bcd", 23, 6144.5},
                             {"nan_bcd", 24,
                              std::numeric_limits<double>::quiet_NaN()},
                             {"huge_bcd", 38, 1e300},
                             {"adf_extension_tenths_above_9", 18, 10},
                             {"adf_not_bcd", 16, 0x3A0},
                         }),
                         [](const testing::TestParamInfo<RejectedSet>& info) {
                           return std::string(info.param.name);
                         });

// Turns the aircraft's systems on the way a pilot would, holding the starter
// as the panel's repeating starter area does.
void start_engine(Aircraft& aircraft) {
  for (uint32_t event : {66241u, 66293u, 66494u, 65635u, 65635u, 65635u})
    aircraft.apply_event(event, 0);
  aircraft.apply_event(65773, 16384);
  aircraft.apply_event(65697, 4096);
  for (int frame = 0; frame < 54; ++frame) {
    if (frame % 3 == 0) aircraft.apply_event(66300, 0);
    aircraft.advance(kFrame);
  }
  for (int frame = 0; frame < 18 * 10; ++frame) aircraft.advance(kFrame);
}

TEST(AircraftModel, StartsColdAndDark) {
  Aircraft aircraft;
  aircraft.advance(kFrame);
  EXPECT_EQ(aircraft.number(390), 0);
  EXPECT_EQ(aircraft.number(753), 0);
  EXPECT_EQ(aircraft.number(755), 0);
  EXPECT_EQ(aircraft.number(418), 0);
  EXPECT_EQ(aircraft.number(60), 1);
  EXPECT_EQ(aircraft.number(895), 0);
  EXPECT_GT(aircraft.number(291), 0);
}

TEST(AircraftModel, ColdStartBringsTheInstrumentsToLife) {
  Aircraft aircraft;
  start_engine(aircraft);
  EXPECT_EQ(aircraft.number(401), 0) << "the starter springs back";
  double rpm = aircraft.number(390);
  EXPECT_NEAR(rpm, 700 + 1700 * 0.25, 5);
  EXPECT_EQ(aircraft.number(753), 24.0);
  EXPECT_EQ(aircraft.number(755), 24.0);
  // Generator off: the generator lamp's condition holds (761 < 10, 759 > 20).
  EXPECT_LT(aircraft.number(761), 10);
  EXPECT_GT(aircraft.number(759), 20);
  EXPECT_GT(aircraft.number(418), 20879.1);
  EXPECT_GT(aircraft.number(425), 20 * 20.8791);
  EXPECT_LT(aircraft.number(391), 101.325 * 20.8791);

  aircraft.apply_event(66363, 0);
  double oil_before = aircraft.number(416);
  double fuel_before = aircraft.number(291);
  for (int frame = 0; frame < 18 * 60; ++frame) aircraft.advance(kFrame);
  EXPECT_GT(aircraft.number(761), 28);
  EXPECT_GT(aircraft.number(753), 28);
  EXPECT_GT(aircraft.number(416), oil_before);
  EXPECT_GT(aircraft.number(415), aircraft.number(416));
  EXPECT_LT(aircraft.number(291), fuel_before);

  aircraft.apply_event(65697, 16384);
  for (int frame = 0; frame < 18 * 10; ++frame) aircraft.advance(kFrame);
  EXPECT_NEAR(aircraft.number(390), 2400, 5);

  // The cold-and-dark events stop it again.
  aircraft.apply_event(65820, 0);
  for (int frame = 0; frame < 18 * 30; ++frame) aircraft.advance(kFrame);
  EXPECT_EQ(aircraft.number(390), 0);
  EXPECT_LT(aircraft.number(418), 1);
}

TEST(AircraftModel, NoStartWithoutFuelSparkOrBattery) {
  struct Missing {
    const char* name;
    uint32_t undo_event;
  };
  for (Missing missing : {Missing{"battery", 66241}, Missing{"fuel", 66494},
                          Missing{"magnetos", 66057}}) {
    Aircraft aircraft;
    for (uint32_t event : {66241u, 66293u, 66494u, 65635u, 65635u, 65635u})
      aircraft.apply_event(event, 0);
    aircraft.apply_event(65773, 16384);
    aircraft.apply_event(missing.undo_event, 0);
    for (int frame = 0; frame < 54; ++frame) {
      aircraft.apply_event(66300, 0);
      aircraft.advance(kFrame);
    }
    for (int frame = 0; frame < 18 * 20; ++frame) aircraft.advance(kFrame);
    EXPECT_EQ(aircraft.number(390), 0) << missing.name;
  }
}

TEST(AircraftModel, HostileValuesNeitherPoisonNorStall) {
  Aircraft aircraft;
  start_engine(aircraft);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  ASSERT_TRUE(aircraft.set(390, nan));
  ASSERT_TRUE(aircraft.set(128, inf));
  ASSERT_TRUE(aircraft.set(418, -inf));
  ASSERT_TRUE(aircraft.set(557, 1e300));
  ASSERT_TRUE(aircraft.set(61, nan));  // a flight value reaches the gauges
  EXPECT_TRUE(std::isnan(aircraft.number(61)));
  aircraft.advance(nan);
  aircraft.advance(-1);
  aircraft.advance(inf);
  aircraft.advance(1e300);
  for (int frame = 0; frame < 18 * 5; ++frame) aircraft.advance(kFrame);
  for (int32_t token : {390, 418, 416, 415, 425, 391, 753, 291, 557}) {
    EXPECT_TRUE(std::isfinite(aircraft.number(token))) << token;
    EXPECT_GE(aircraft.number(token), 0) << token;
  }
  EXPECT_LT(aircraft.number(557), 86400);
  EXPECT_NEAR(aircraft.number(390), 2400, 5);  // the throttle read as full
}

TEST(AircraftModel, ClocksAdvanceAndTheModelCanBeHeld) {
  Aircraft aircraft;
  ASSERT_TRUE(aircraft.set(557, 86399.5));
  aircraft.set_model_enabled(false);
  ASSERT_TRUE(aircraft.set(390, 2000));
  aircraft.advance(1.0);
  EXPECT_EQ(aircraft.number(557), 0.5);
  EXPECT_EQ(aircraft.number(604), 1.0);
  EXPECT_EQ(aircraft.number(390), 2000);
  aircraft.set_model_enabled(true);
  aircraft.advance(1.0);
  EXPECT_LT(aircraft.number(390), 2000);
}

TEST(AircraftCalculator, AnswersItsTwoExpressions) {
  Aircraft aircraft;
  std::string diagnostic;
  double celsius = -99;
  EXPECT_TRUE(aircraft.calculate("(A:RECIP CARBURETOR TEMPERATURE:1,celsius)",
                                 &celsius, nullptr, diagnostic));
  EXPECT_EQ(celsius, 15.0);
  EXPECT_EQ(diagnostic, "");

  const char* text = nullptr;
  EXPECT_TRUE(
      aircraft.calculate("(A:ATC ID,string)", nullptr, &text, diagnostic));
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text, "F-GCVL CORVELAIN");
  // The text stays valid across a number evaluation and a new registration.
  aircraft.calculate("(A:RECIP CARBURETOR TEMPERATURE:1,celsius)", &celsius,
                     nullptr, diagnostic);
  aircraft.set_registration("F-BXYZ TEST");
  EXPECT_STREQ(text, "F-GCVL CORVELAIN");
  aircraft.calculate("(A:ATC ID,string)", nullptr, &text, diagnostic);
  EXPECT_STREQ(text, "F-BXYZ TEST");

  start_engine(aircraft);
  for (int frame = 0; frame < 18 * 60; ++frame) aircraft.advance(kFrame);
  aircraft.calculate("(A:RECIP CARBURETOR TEMPERATURE:1,celsius)", &celsius,
                     nullptr, diagnostic);
  EXPECT_LT(celsius, 15.0);
}

TEST(AircraftCalculator, OtherExpressionsGetADiagnostic) {
  Aircraft aircraft;
  std::string diagnostic;
  double number = 7;
  const char* text = "unchanged";
  EXPECT_FALSE(aircraft.calculate("(A:INDICATED ALTITUDE,feet)", &number, &text,
                                  diagnostic));
  EXPECT_NE(diagnostic.find("(A:INDICATED ALTITUDE,feet)"), std::string::npos);
  EXPECT_EQ(number, 7);
  EXPECT_STREQ(text, "unchanged");

  EXPECT_FALSE(aircraft.calculate(nullptr, &number, &text, diagnostic));
  EXPECT_NE(diagnostic, "");
  EXPECT_FALSE(
      aircraft.calculate("(A:ATC ID,string)", &number, nullptr, diagnostic));
  EXPECT_NE(diagnostic.find("text"), std::string::npos);
  EXPECT_FALSE(aircraft.calculate("(A:RECIP CARBURETOR TEMPERATURE:1,celsius)",
                                  nullptr, &text, diagnostic));
  EXPECT_NE(diagnostic.find("number"), std::string::npos);
}

}  // namespace
