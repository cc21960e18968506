// The gauge table and every element chain, walked as the simulator walks
// them.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "module/linkage.h"
#include "tests/unit/fake_services.h"

namespace {

size_t element_size(uint32_t kind) {
  switch (kind) {
    case kStaticImage:
      return sizeof(StaticImageElement);
    case kNeedle:
      return sizeof(NeedleElement);
    case kString:
      return sizeof(StringElement);
    case kSlider:
      return sizeof(SliderElement);
    case kIcon:
      return sizeof(IconElement);
    case kMovingImage:
      return sizeof(MovingImageElement);
    case kSprite:
      return sizeof(SpriteElement);
  }
  return 0;
}

TEST(GaugeTable, RecordsCarryTheirIdentifiers) {
  EXPECT_EQ(ImportTable.entries[0].id, 0x0Fu);
  EXPECT_EQ(ImportTable.entries[1].id, 0u);
  EXPECT_EQ(ImportTable.entries[1].pointer, nullptr);
  EXPECT_EQ(Linkage.module_id, 0x13u);
  EXPECT_EQ(Linkage.version, 0x900u);
  EXPECT_EQ(Linkage.flags, 0u);
  EXPECT_EQ(Linkage.status, 0u);
  Linkage.init();
  Linkage.deinit();
}

TEST(GaugeTable, NamesAreUniqueAndEndedByNull) {
  std::set<std::string> names;
  int count = 0;
  for (GaugeHeader* gauge : Linkage.gauges) {
    if (gauge == nullptr) break;
    ++count;
    EXPECT_TRUE(names.insert(gauge->name).second) << gauge->name;
  }
  EXPECT_LE(count, kGaugeCount);
  EXPECT_EQ(Linkage.gauges[count], nullptr);
}

TEST(GaugeTable, EveryElementSitsBeforeTheListThatHoldsIt) {
  for (GaugeHeader* gauge : Linkage.gauges) {
    if (gauge == nullptr) break;
    SCOPED_TRACE(gauge->name);
    EXPECT_EQ(gauge->version, 0x320u);
    ASSERT_NE(gauge->elements, nullptr);
    EXPECT_EQ((*gauge->elements)->kind, kStaticImage) << "root";
    for (ElementHeader** list = gauge->elements; list != nullptr;
         list = (*list)->next) {
      ElementHeader* e = list[0];
      ASSERT_NE(e, nullptr);
      EXPECT_EQ(list[1], nullptr);
      EXPECT_EQ(reinterpret_cast<char*>(list),
                reinterpret_cast<char*>(e) + element_size(e->kind));
      EXPECT_EQ(e->gauge, gauge);
      EXPECT_EQ(e->special_flags, 0u);
    }
  }
}

TEST(GaugeTable, MouseListsOpenWithAWholeGaugeParentAndBalance) {
  for (GaugeHeader* gauge : Linkage.gauges) {
    if (gauge == nullptr) break;
    SCOPED_TRACE(gauge->name);
    const MouseRect* area = gauge->mouse_areas;
    ASSERT_NE(area, nullptr);
    EXPECT_EQ(area->kind, kMouseParent);
    EXPECT_EQ(area->box.width, 0);
    int depth = 0;
    for (; area->kind != kMouseEnd; ++area) {
      if (area->kind == kMouseParent) ++depth;
      if (area->kind == kMouseEndParent) --depth;
      EXPECT_GE(depth, 0);
      if (area->kind == kMouseTooltip) {
        EXPECT_EQ(area->help_id != 0, area->text == nullptr);
        EXPECT_LE(area->event, 3u);
      }
      if (area->kind == kMouseChild) {
        EXPECT_NE(area->event != 0, area->callback != nullptr);
      }
    }
    EXPECT_EQ(depth, 0);
  }
}

// Every sprite and slider with the scales its gauge's element table gives;
// a scale the table leaves out, on a coordinate with no source, is 0.
struct MovingScaleCase {
  const char* name;
  const char* gauge;
  int index;  // in drawing order, 0 the background
  uint32_t kind;
  double x_scale;
  double y_scale;
  double rotation_scale;
};

constexpr MovingScaleCase kMovingScales[] = {
    {"AttitudeHorizonCard", "Attitude", 1, kSprite, 0.0, 1.3, -1.0},
    {"AttitudeMiniatureAircraft", "Attitude", 4, kSlider, 0.0, -0.15, 0.0},
    {"TurnCoordinatorBall", "Turn_Coordinator", 1, kSlider, 0.515625,
     -0.00030517578125, 0.0},
    {"AdfIndicatorCard", "ADF_Indicator", 1, kSprite, 0.0, 0.0, 1.0},
    {"RadioAdfBandCard", "Radio_ADF", 2, kSprite, 1.0, 1.0, 1.0},
    {"RadioComKnob", "Radio_COM", 1, kSprite, 1.0, 1.0, -1.0},
    {"BreguetTimerBezel", "Breguet_Timer", 1, kSprite, 0.0, 0.0, 1.0},
    {"FlapsIndicatorPointer", "Flaps_Indicator", 1, kSlider, 0.0,
     0.00579833984375, 0.0},
    {"ThrottleRightLever", "Throttle_Control", 1, kSlider, 1.0,
     -0.0086669921875, 0.0},
    {"ThrottleMiddleLever", "Throttle_Control", 2, kSlider, 1.0,
     -0.00823974609375, 0.0},
    {"ThrottleLeftLever", "Throttle_Control", 3, kSlider, 1.0,
     -0.00848388671875, 0.0},
};

class MovingScales : public testing::TestWithParam<MovingScaleCase> {};

TEST_P(MovingScales, MatchTheElementTable) {
  const MovingScaleCase& c = GetParam();
  GaugeHeader* gauge = find_gauge(c.gauge);
  ASSERT_NE(gauge, nullptr);
  ElementHeader* head = element_at(gauge, c.index);
  ASSERT_NE(head, nullptr);
  ASSERT_EQ(head->kind, c.kind);
  if (c.kind == kSprite) {
    const auto* sprite = element_as<SpriteElement>(head);
    EXPECT_EQ(sprite->x_scale, c.x_scale);
    EXPECT_EQ(sprite->y_scale, c.y_scale);
    EXPECT_EQ(sprite->rotation_scale, c.rotation_scale);
  } else {
    const auto* slider = element_as<SliderElement>(head);
    EXPECT_EQ(slider->x_scale, c.x_scale);
    EXPECT_EQ(slider->y_scale, c.y_scale);
  }
}

INSTANTIATE_TEST_SUITE_P(
    EverySpriteAndSlider, MovingScales, testing::ValuesIn(kMovingScales),
    [](const testing::TestParamInfo<MovingScaleCase>& info) {
      return std::string(info.param.name);
    });

}  // namespace
