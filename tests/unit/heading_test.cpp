// The heading instruments: knob stepping at the wrap points, the VOR course
// pointer's parking bands with the fold, the radios' power gates, and the
// course read-out and tooltip, reached through the gauge table.
#include "gauges/instruments/heading.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "state/panel_state.h"
#include "tests/unit/fake_services.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr uint32_t kLeft = kMouseLeftSingle | kMouseRepeat;
constexpr uint32_t kRight = kMouseRightSingle | kMouseRepeat;

struct KnobCase {
  std::string name;
  double degrees;
  KnobHalf half;
  uint32_t flags;
  int32_t sent;
};

class KnobStepping : public testing::TestWithParam<KnobCase> {};

TEST_P(KnobStepping, WrapsOnlyAtTheEnds) {
  const KnobCase& c = GetParam();
  EXPECT_EQ(knob_step(c.degrees, c.half, c.flags), c.sent);
}

INSTANTIATE_TEST_SUITE_P(
    Clicks, KnobStepping,
    testing::ValuesIn(std::vector<KnobCase>{
        {"DownLeftAt0", 0, KnobHalf::kDown, kLeft, 359},
        {"DownLeftAt1", 1, KnobHalf::kDown, kLeft, 0},
        {"DownRightAt0", 0, KnobHalf::kDown, kRight, 350},
        {"DownRightAt9", 9, KnobHalf::kDown, kRight, 359},
        {"DownRightAt10", 10, KnobHalf::kDown, kRight, 0},
        {"UpLeftAt358", 358, KnobHalf::kUp, kLeft, 359},
        {"UpLeftAt359", 359, KnobHalf::kUp, kLeft, 0},
        {"UpRightAt349", 349, KnobHalf::kUp, kRight, 359},
        {"UpRightAt355", 355, KnobHalf::kUp, kRight, 5},
        {"FractionTruncates", 0.9, KnobHalf::kUp, kLeft, 1},
        {"LeftBeforeRight", 100, KnobHalf::kUp, kLeft | kRight, 101},
        {"NotANumberReadsZero", kNaN, KnobHalf::kDown, kLeft, 359},
        {"InfinityReads359", kInfinity, KnobHalf::kUp, kLeft, 0},
        {"NegativeReadsZero", -1e300, KnobHalf::kUp, kRight, 10},
    }),
    [](const auto& info) { return info.param.name; });

struct CourseCase {
  std::string name;
  double heading;
  double course;
  double pointer;
};

class CoursePointer : public testing::TestWithParam<CourseCase> {};

TEST_P(CoursePointer, ParksAcrossTheCourseAfterTheFold) {
  const CourseCase& c = GetParam();
  EXPECT_DOUBLE_EQ(course_pointer_degrees(c.heading, c.course), c.pointer);
}

INSTANTIATE_TEST_SUITE_P(Differences, CoursePointer,
                         testing::ValuesIn(std::vector<CourseCase>{
                             {"OnCourse", 10, 10, 0},
                             {"Shows30", 40, 10, 30},
                             {"BandLowEdgeShows", 55, 10, 45},
                             {"Parked90", 100, 10, 90},
                             {"BandHighEdgeShows", 145, 10, 135},
                             {"Reciprocal", 190, 10, 180},
                             {"NegativeShows", 10, 40, -30},
                             {"NegativeParked", 10, 100, 90},
                             {"MinusBandEdgeShows", 10, 145, -135},
                             {"AcrossNorthShows", 350, 20, -30},
        {"AcrossNorthParkedLikeAnyPair", 330, 30, 90},
                             {"ThePairItIsLike", 30, 90, 90},
                             {"AcrossNorthParked", 300, 30, 90},
                             {"ReciprocalFromBelow", 10, 190, 180},
                             {"WholeTurnsFold", 725, 5, 0},
                             {"NotANumberParks", kNaN, 10, 90},
                             {"InfiniteCourseParks", 10, kInfinity, 90},
                         }),
                         [](const auto& info) { return info.param.name; });

GaugeHeader* gauge(const char* name) {
  GaugeHeader* g = find_gauge(name);
  EXPECT_NE(g, nullptr) << name;
  return g;
}

double run_needle(const char* name, int index, double source) {
  auto* e = element_as<NeedleElement>(element_at(gauge(name), index));
  e->source.value.number = source;
  return e->callback(&e->head);
}

class RadioPower : public testing::Test {
 protected:
  void TearDown() override {
    adf_power = 0;
    nav1_power = 0;
  }
  FakeServices services;
};

TEST_F(RadioPower, AdfPointerParksWhileTheRadioIsOff) {
  EXPECT_EQ(run_needle("ADF_Indicator", 2, 37.0), 90.0);
  adf_power = 1;
  EXPECT_EQ(run_needle("ADF_Indicator", 2, 37.0), 37.0);
}

TEST_F(RadioPower, Nav1GatesCentreTheNeedlesAndHideTheFlags) {
  services.numbers = {{84, 40}, {43, 1}, {45, 10}};
  EXPECT_EQ(run_needle("VOR1_Indicator", 1, 0), 90.0);
  EXPECT_EQ(run_needle("VOR1_Indicator", 2, 100.0), 0.0);
  EXPECT_EQ(run_needle("VOR1_Indicator", 3, -50.0), 0.0);
  auto* signal =
      element_as<IconElement>(element_at(gauge("VOR1_Indicator"), 6));
  signal->source.value.number = 2;
  EXPECT_EQ(signal->callback(&signal->head), 0.0);

  nav1_power = 1;
  EXPECT_EQ(run_needle("VOR1_Indicator", 1, 0), 30.0);
  EXPECT_EQ(run_needle("VOR1_Indicator", 2, 100.0), 100.0);
  EXPECT_EQ(run_needle("VOR1_Indicator", 3, -50.0), -50.0);
  EXPECT_EQ(signal->callback(&signal->head), 1.0);
  services.numbers[43] = 0;  // no signal
  signal->source.value.number = 0;
  EXPECT_EQ(run_needle("VOR1_Indicator", 1, 0), 90.0);
  EXPECT_EQ(signal->callback(&signal->head), 0.0);
}

// Mouse areas of the two knobs: {down half, up half}.
struct Knob {
  const char* gauge;
  int down_area;
  int32_t token;
  uint32_t event;
};

TEST(HeadingKnobs, SendTheSteppedValueToTheirOwnEvent) {
  for (const Knob& knob : {Knob{"ADF_Indicator", 5, 22, 66039},
                           Knob{"VOR1_Indicator", 7, 45, 65716}}) {
    SCOPED_TRACE(knob.gauge);
    FakeServices services;
    services.numbers[knob.token] = 355;
    MouseRect* areas = gauge(knob.gauge)->mouse_areas;
    PointRecord point{};
    EXPECT_EQ(areas[knob.down_area].callback(&point, kRight), 0);
    EXPECT_EQ(areas[knob.down_area + 1].callback(&point, kRight), 0);
    EXPECT_EQ(areas[knob.down_area + 1].callback(&point, kLeft), 0);
    EXPECT_EQ(services.actions(),
              (std::vector<ServiceCall>{event_call(knob.event, 345),
                                        event_call(knob.event, 5),
                                        event_call(knob.event, 356)}));
  }
}

TEST(CourseReadout, RoundsWhileTheTooltipTruncates) {
  FakeServices services;
  services.numbers[45] = 0.9;
  auto* readout =
      element_as<StringElement>(element_at(gauge("VOR1_Indicator"), 7));
  char text[8] = "xxxxxxx";
  readout->text = text;
  readout->sources[0].value.number = 0.9;
  readout->callback(&readout->head);
  readout->text = nullptr;
  EXPECT_STREQ(text, "001");

  TooltipArg* args = gauge("VOR1_Indicator")->mouse_areas[5].args;
  EXPECT_EQ(args[0].number(0, 0, 0, 0, 0, 0), 0.0);
  services.numbers[45] = kNaN;
  EXPECT_EQ(args[0].number(0, 0, 0, 0, 0, 0), 0.0);
  EXPECT_STREQ(args[1].text(0, 0, 0, 0, 0, 0), "off");
}

}  // namespace
