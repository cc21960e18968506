// The five basic flight instruments, reached through the gauge table as the
// simulator reaches them.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

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

double run_drum(int drum, double setting_mb) {
  auto* e = element<MovingImageElement>("Altimeter", 1 + drum);
  e->y_source.value.number = setting_mb;
  return e->y_callback(&e->head);
}

struct DrumCase {
  std::string name;
  double setting_mb;
  double units, tens, hundreds, thousands;
};

class AltimeterDrums : public testing::TestWithParam<DrumCase> {};

TEST_P(AltimeterDrums, RollLikeAMechanicalCounter) {
  FakeServices services;
  const DrumCase& c = GetParam();
  EXPECT_NEAR(run_drum(0, c.setting_mb), c.units, 1e-9);
  EXPECT_NEAR(run_drum(1, c.setting_mb), c.tens, 1e-9);
  EXPECT_NEAR(run_drum(2, c.setting_mb), c.hundreds, 1e-9);
  EXPECT_NEAR(run_drum(3, c.setting_mb), c.thousands, 1e-9);
  EXPECT_TRUE(services.calls.empty());
}

// Each drum's result is its strip position: digit n sits at n * place value.
INSTANTIATE_TEST_SUITE_P(
    Settings, AltimeterDrums,
    testing::ValuesIn(std::vector<DrumCase>{
        {"Standard", 1013.9, 3.9, 10, 0, 1000},
        {"TensHalfwayFromOneToTwo", 1019.5, 9.5, 15, 0, 1000},
        {"TensAndHundredsHalfwayThroughRoll", 1099.5, 9.5, 95, 50, 1000},
        {"ExactMultipleHasNoRoll", 1010, 0, 10, 0, 1000},
        {"ThousandsWrapsPastNine", 9999.5, 9.5, 95, 950, 9500},
        {"NegativeStaysOnTheStrip", -3.5, 6.5, 90, 900, 9000},
    }),
    [](const auto& info) { return info.param.name; });

TEST(AltimeterDrums, NonFiniteSettingGivesNoCrash) {
  FakeServices services;
  for (double v : {kNaN, kInfinity, -kInfinity, 1e300})
    for (int drum = 0; drum < 4; ++drum) (void)run_drum(drum, v);
}

class VerticalSpeedLag : public testing::Test {
 protected:
  NeedleElement* needle = element<NeedleElement>("Vertical_Speed", 1);

  double update(double input) {
    needle->source.value.number = input;
    return needle->callback(&needle->head);
  }
  void settle_at(double input) {
    for (int i = 0; i < 3000; ++i) update(input);
  }
};

TEST_F(VerticalSpeedLag, StepTakesThreeUpdatesToReachSixtyThreePercent) {
  FakeServices services;
  settle_at(0);
  const double step = 1000 * 1.3004799583846414;
  EXPECT_NEAR(update(step) / step, 0.2835, 1e-4);
  update(step);
  EXPECT_NEAR(update(step) / step, 1 - std::exp(-1.0), 1e-9);
  settle_at(step);
  EXPECT_NEAR(update(step), step, 1e-9);
  EXPECT_TRUE(services.calls.empty());
}

TEST_F(VerticalSpeedLag, NonFiniteReadingIsSkipped) {
  FakeServices services;
  settle_at(500);
  for (double bad : {kNaN, kInfinity, -kInfinity})
    EXPECT_NEAR(update(bad), 500, 1e-9);
  EXPECT_NEAR(update(500), 500, 1e-9);
}

struct ElementCase {
  std::string name;
  const char* gauge;
  int element;
  double input;
  double expected;
};

// Evaluates the one callback of the element, whatever its kind.
double evaluate(const ElementCase& c) {
  ElementHeader* head = element_at(find_gauge(c.gauge), c.element);
  switch (head->kind) {
    case kNeedle: {
      auto* e = element_as<NeedleElement>(head);
      e->source.value.number = c.input;
      return e->callback(head);
    }
    case kIcon: {
      auto* e = element_as<IconElement>(head);
      e->source.value.number = c.input;
      return e->callback(head);
    }
    case kSlider: {
      auto* e = element_as<SliderElement>(head);
      e->y_source.value.number = c.input;
      return e->y_callback(head);
    }
    case kSprite: {
      auto* e = element_as<SpriteElement>(head);
      e->y_source.value.number = c.input;
      return e->y_callback(head);
    }
    default:
      ADD_FAILURE() << "no callback on element " << c.element;
      return kNaN;
  }
}

class PureCallbacks : public testing::TestWithParam<ElementCase> {};

TEST_P(PureCallbacks, ShapeTheValue) {
  FakeServices services;
  const double result = evaluate(GetParam());
  if (std::isnan(GetParam().expected))
    EXPECT_TRUE(std::isnan(result));
  else
    EXPECT_DOUBLE_EQ(result, GetParam().expected);
  EXPECT_TRUE(services.calls.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Instruments, PureCallbacks,
    testing::ValuesIn(std::vector<ElementCase>{
        {"PitchAboveLimitShowsForty", "Attitude", 1, 55, 40},
        {"PitchBelowLimitShowsMinusForty", "Attitude", 1, -55, -40},
        {"PitchWithinLimitPasses", "Attitude", 1, 12.5, 12.5},
        {"PitchAtLimit", "Attitude", 1, 40, 40},
        {"PitchHugeIsClamped", "Attitude", 1, 1e300, 40},
        {"PitchInfiniteIsClamped", "Attitude", 1, -kInfinity, -40},
        {"CagedFlagShownWhenCaged", "Attitude", 3, 1, 0},
        {"CagedFlagHiddenWhenFree", "Attitude", 3, 0, -1},
        {"CagedFlagHiddenForNaN", "Attitude", 3, kNaN, -1},
        {"TurnRateDividedBy256", "Turn_Coordinator", 3, 256, 1},
        {"TurnRateNegative", "Turn_Coordinator", 3, -1152, -4.5},
        {"PowerFlagShownAtTwentyVolts", "Turn_Coordinator", 2, 20, 0},
        {"PowerFlagHiddenAboveTwentyVolts", "Turn_Coordinator", 2, 20.01, -1},
        {"PowerFlagShownWithoutPower", "Turn_Coordinator", 2, 0, 0},
        {"PowerFlagShownForNaN", "Turn_Coordinator", 2, kNaN, 0},
        {"BallRisesWithSquareOfDeflection", "Turn_Coordinator", 1, -3, 9},
    }),
    [](const auto& info) { return info.param.name; });

}  // namespace
