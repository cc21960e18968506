// The gauge table and every element chain, walked as the simulator walks
// them.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "module/linkage.h"

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

}  // namespace
