#include "host/core/needle.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

struct Dial {
  Pivot pivot;
  std::vector<NonlinearityEntry> table;

  std::vector<double> angles() const { return table_angles(pivot, table); }
  double at(double value) const { return needle_angle(table, angles(), value); }
};

NonlinearityEntry point(double value, int32_t x, int32_t y) {
  return {x, y, value, 0.0};
}

const Dial kTachometer{
    {151, 151},
    {point(0, 150, 260), point(300, 122, 260), point(500, 65, 227),
     point(2300, 256, 104), point(3200, 180, 259), point(3500, 180, 259)}};
const Dial kOilPressure{
    {100, 100},
    {point(-20879.1, 52, 160), point(0, 52, 160), point(20879.1, 172, 94),
     point(41758.2, 156, 152), point(62637.3, 156, 152)}};
const Dial kNavDecimalsGrip{{195, 45}, {point(100, 79, 11), point(50, 79, 79)}};
const Dial kVorDeviation{{155, 84},
                         {point(127, 218, 159), point(-127, 95, 159)}};
const Dial kHundredsHand{{150, 150}, {point(0, 150, 50), point(500, 150, 250)}};
const Dial kBankPointer{{127, 130}, {point(-90, 177, 130), point(90, 77, 130)}};
const Dial kAirspeed{
    {151, 152},
    {point(-1, 121, 260), point(0, 121, 260), point(40, 94, 253),
     point(50, 68, 229), point(100, 92, 54), point(150, 221, 57),
     point(200, 266, 155), point(250, 223, 238), point(300, 145, 264),
     point(400, 145, 264)}};

// Signed sweep from one value to another: positive is clockwise.
struct SweepCase {
  const char* name;
  const Dial* dial;
  double from;
  double to;
  double degrees;
};

class NeedleSweep : public testing::TestWithParam<SweepCase> {};

TEST_P(NeedleSweep, TurnsTheDialsIntendedWay) {
  const SweepCase& c = GetParam();
  EXPECT_NEAR(c.dial->at(c.to) - c.dial->at(c.from), c.degrees, 0.05);
}

INSTANTIATE_TEST_SUITE_P(
    Dials, NeedleSweep,
    testing::ValuesIn(std::vector<SweepCase>{
        // Shortest arc per segment would turn these two the wrong way.
        {"TachometerClimbsClockwise", &kTachometer, 500, 2300, 197.35},
        {"OilPressureFirstMark", &kOilPressure, 0, 20879.1, 226.58},
        // Listed from 100 down to 50: still the short way round.
        {"NavDecimalsGrip", &kNavDecimalsGrip, 50, 100, 32.69},
        {"VorDeviationFullScale", &kVorDeviation, 127, -127, 78.69},
        // Exactly opposite points: a tie turns clockwise (the bank pointer
        // swings through the bottom with the horizon card).
        {"AltimeterHandTie", &kHundredsHand, 0, 500, 180},
        {"BankPointerTieThroughTheBottom", &kBankPointer, -90, 90, 180},
        {"BankPointerLevelPointsDown", &kBankPointer, -90, 0, 90},
        // The end slope continues without limit.
        {"AltimeterHandKeepsTurning", &kHundredsHand, 0, 1750, 630},
        {"AltimeterHandBelowZero", &kHundredsHand, 0, -250, -90},
        // Repeated end points are stops.
        {"AirspeedLowStop", &kAirspeed, 0, -50, 0},
        {"AirspeedHighStop", &kAirspeed, 300, 1e9, 0},
        {"TachometerHighStop", &kTachometer, 3200, 5000, 0},
    }),
    [](const auto& info) { return std::string(info.param.name); });

TEST(NeedleAngle, DescendingTableReadsLikeAscendingOne) {
  Dial descending = kAirspeed;
  std::reverse(descending.table.begin(), descending.table.end());
  for (double value : {-5.0, 0.0, 20.0, 45.0, 120.0, 299.0, 350.0, 900.0})
    EXPECT_NEAR(normalized_degrees(descending.at(value)),
                normalized_degrees(kAirspeed.at(value)), 1e-9)
        << value;
}

TEST(NeedleAngle, InterpolatesLinearlyInValueBetweenPoints) {
  // Straight up at 0, straight right at 90: 45 degrees is half way.
  const Dial quarter{{0, 0}, {point(0, 0, -10), point(90, 10, 0)}};
  EXPECT_NEAR(quarter.at(0), 0, 1e-9);
  EXPECT_NEAR(quarter.at(45), 45, 1e-9);
  EXPECT_NEAR(quarter.at(180), 180, 1e-9);  // slope continued
}

TEST(NeedleAngle, UnusableInputGivesNoAngle) {
  EXPECT_TRUE(std::isnan(kTachometer.at(std::nan(""))));
  EXPECT_TRUE(std::isnan(kTachometer.at(INFINITY)));
  EXPECT_TRUE(std::isnan(kHundredsHand.at(1e308)));  // angle overflows
  EXPECT_TRUE(std::isnan(needle_angle({}, {}, 1.0)));
  const Dial single{{0, 0}, {point(5, 10, 0)}};
  EXPECT_NEAR(single.at(-1000), 90, 1e-9);
  // Two entries with one value: a step, never a division by zero.
  const Dial step{{0, 0}, {point(5, 10, 0), point(5, 0, 10)}};
  EXPECT_TRUE(std::isfinite(step.at(7)));
}

TEST(LimitTurn, MovesAtMostTheStepTowardsTheTarget) {
  EXPECT_DOUBLE_EQ(limit_turn(0, 10, 2), 2);
  EXPECT_DOUBLE_EQ(limit_turn(0, -10, 2), -2);
  EXPECT_DOUBLE_EQ(limit_turn(9, 10, 2), 10);
  EXPECT_DOUBLE_EQ(limit_turn(0, 400, 0), 400);  // 0 = unlimited
  EXPECT_DOUBLE_EQ(limit_turn(std::nan(""), 7, 2), 7);
}

}  // namespace
