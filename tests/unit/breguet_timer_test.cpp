// The chronograph's stop-watch and bezel, driven through its element and
// mouse callbacks as the simulator drives them.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "tests/unit/fake_services.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

enum Area { kStartStop = 1, kReset = 2, kBezelForward = 3, kBezelBack = 4 };

class BreguetTimer : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(gauge_, nullptr);
    bring_to_rest();
  }

  void click(Area area) {
    PointRecord point{};
    ASSERT_EQ(gauge_->mouse_areas[area].callback(&point, kMouseLeftSingle), 0);
  }

  // One frame: both stop-watch hands update, counter first, at simulated
  // time `now_s`; returns what the seconds hand was given.
  double frame(double now_s) {
    const double counter = update_hand(4, now_s);
    const double seconds = update_hand(5, now_s);
    EXPECT_TRUE(counter == seconds ||
                (std::isnan(counter) && std::isnan(seconds)));
    return seconds;
  }

  double bezel_degrees() {
    auto* bezel = element_as<SpriteElement>(element_at(gauge_, 1));
    return bezel->rotation_callback(&bezel->head);
  }

  FakeServices services_;
  GaugeHeader* gauge_ = find_gauge("Breguet_Timer");

 private:
  double update_hand(int index, double now_s) {
    auto* hand = element_as<NeedleElement>(element_at(gauge_, index));
    hand->source.value.number = now_s;
    return hand->callback(&hand->head);
  }

  // The state outlives each test: stop the watch at 0 and the bezel at 0.
  void bring_to_rest() {
    frame(0.0);
    click(kReset);
    if (frame(10.0) != 0.0) click(kStartStop);
    click(kReset);
    frame(0.0);
    for (int i = 0; i < 60 && bezel_degrees() != 0.0; ++i) click(kBezelForward);
    ASSERT_EQ(bezel_degrees(), 0.0);
    ASSERT_EQ(frame(0.0), 0.0);
  }
};

TEST_F(BreguetTimer, StoppedAtRestWithBothHandsAtTwelve) {
  EXPECT_EQ(frame(100.0), 0.0);
  EXPECT_EQ(frame(5000.0), 0.0);
  EXPECT_TRUE(services_.actions().empty());
}

// A row: what happens before the frame at `now_s`, then the whole seconds
// the hands show after it.
struct Step {
  enum Press { kNone, kStartStop, kReset } press;
  double now_s;
  double shown_s;
};

struct Sequence {
  std::string name;
  std::vector<Step> steps;
};

class StopWatchSequence : public BreguetTimer,
                          public testing::WithParamInterface<Sequence> {};

TEST_P(StopWatchSequence, ShowsWholeSecondsOfRunningTime) {
  // The frames before the first row, with the watch stopped.
  frame(GetParam().steps.front().now_s);
  int row = 0;
  for (const Step& step : GetParam().steps) {
    if (step.press == Step::kStartStop) click(kStartStop);
    if (step.press == Step::kReset) click(kReset);
    EXPECT_EQ(frame(step.now_s), step.shown_s) << "row " << row;
    ++row;
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, StopWatchSequence,
                         testing::ValuesIn(std::vector<Sequence>{
                             {"StartRunStopHoldsFifteenPastOneMinute",
                              {{Step::kStartStop, 1000.0, 0},
                               {Step::kNone, 1075.4, 75},
                               {Step::kStartStop, 1200.0, 75},
                               {Step::kNone, 2000.0, 75}}},
                             {"HandsJumpOncePerWholeSecond",
                              {{Step::kStartStop, 10.0, 0},
                               {Step::kNone, 10.99, 0},
                               {Step::kNone, 11.0, 1},
                               {Step::kNone, 12.5, 2}}},
                             {"RestartCountsOnlyTimeAfterRestart",
                              {{Step::kStartStop, 0.0, 0},
                               {Step::kNone, 30.0, 30},
                               {Step::kStartStop, 40.0, 30},
                               {Step::kNone, 500.0, 30},
                               {Step::kStartStop, 500.0, 30},
                               {Step::kNone, 512.0, 42}}},
                             {"ResetWhileRunningCountsOnFromZero",
                              {{Step::kStartStop, 0.0, 0},
                               {Step::kNone, 90.0, 90},
                               {Step::kReset, 95.0, 5},
                               {Step::kNone, 100.0, 10}}},
                             {"ResetWhileStoppedStaysAtZero",
                              {{Step::kStartStop, 0.0, 0},
                               {Step::kNone, 20.0, 20},
                               {Step::kStartStop, 50.0, 20},
                               {Step::kReset, 80.0, 0},
                               {Step::kNone, 90.0, 0}}},
                             {"TimeSteppingBackLowersElapsed",
                              {{Step::kStartStop, 100.0, 0},
                               {Step::kNone, 160.0, 60},
                               {Step::kNone, 140.0, 40}}},
                             {"NonFiniteTimeLeavesTheWatchAsItWas",
                              {{Step::kStartStop, 0.0, 0},
                               {Step::kNone, 7.0, 7},
                               {Step::kNone, kNaN, 7},
                               {Step::kNone, kInfinity, 7},
                               {Step::kNone, -kInfinity, 7},
                               {Step::kNone, 9.0, 9}}},
                             {"StepTooLargeToAddIsRefused",
                              {{Step::kStartStop, -1.7e308, 0},
                               {Step::kNone, 1.7e308, 0},
                               {Step::kNone, 1.7e308, 0},
                               {Step::kNone, 1.7e308, 0}}},
                         }),
                         [](const auto& info) { return info.param.name; });

TEST_F(BreguetTimer, HeldResetResetsAtEveryRepeat) {
  click(kStartStop);
  for (double t : {3.0, 6.0, 9.0}) {
    EXPECT_EQ(frame(t), 3.0);
    click(kReset);
    EXPECT_EQ(frame(t), 0.0);
  }
}

struct BezelCase {
  std::string name;
  int forward;
  int back;
  double degrees;
};

class BezelTurns : public BreguetTimer,
                   public testing::WithParamInterface<BezelCase> {};

TEST_P(BezelTurns, CountKeepsTheDividendsSign) {
  for (int i = 0; i < GetParam().forward; ++i) click(kBezelForward);
  for (int i = 0; i < GetParam().back; ++i) click(kBezelBack);
  EXPECT_EQ(bezel_degrees(), GetParam().degrees);
}

INSTANTIATE_TEST_SUITE_P(Rows, BezelTurns,
                         testing::ValuesIn(std::vector<BezelCase>{
                             {"OneBackFromZero", 0, 1, -6},
                             {"FiftyNineBack", 0, 59, -354},
                             {"SixtyBackIsZero", 0, 60, 0},
                             {"SixtyOneBackWrapsToMinusOne", 0, 61, -6},
                             {"FiftyNineForward", 59, 0, 354},
                             {"SixtyForwardIsZero", 60, 0, 0},
                             {"ForwardThenBackPastZero", 2, 5, -18},
                         }),
                         [](const auto& info) { return info.param.name; });

TEST_F(BreguetTimer, BezelFromMinusOneForwardPassesZeroToPlusOne) {
  click(kBezelBack);
  EXPECT_EQ(bezel_degrees(), -6.0);
  click(kBezelForward);
  EXPECT_EQ(bezel_degrees(), 0.0);
  click(kBezelForward);
  EXPECT_EQ(bezel_degrees(), 6.0);
}

TEST_F(BreguetTimer, ClicksSendNothing) {
  for (Area area : {kStartStop, kReset, kBezelForward, kBezelBack}) click(area);
  EXPECT_TRUE(services_.actions().empty());
}

}  // namespace
