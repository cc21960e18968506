// Every needle of the module, drawn from its own artwork by the renderer at
// each value of its calibration table: the tip lies on the ray from the
// pivot to that value's table point. (The artwork's own tests put the
// face's marks on the same rays.)
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "host/core/host.h"
#include "host/core/needle.h"
#include "host/render/bitmaps.h"
#include "host/render/render.h"
#include "module/linkage.h"

namespace {

struct NeedleUse {
  std::string name;  // gauge and element number
  GaugeHeader* gauge;
  size_t element;  // chain index
};

std::vector<ElementHeader*> chain_of(GaugeHeader* gauge) {
  std::vector<ElementHeader*> chain;
  for (ElementHeader** list = gauge->elements; list && list[0];
       list = list[0]->next)
    chain.push_back(list[0]);
  return chain;
}

std::vector<NeedleUse> module_needles() {
  std::vector<NeedleUse> uses;
  for (GaugeHeader* gauge : Linkage.gauges) {
    if (gauge == nullptr) break;
    const std::vector<ElementHeader*> chain = chain_of(gauge);
    for (size_t i = 0; i < chain.size(); ++i)
      if (chain[i]->kind == kNeedle)
        uses.push_back(
            {std::string(gauge->name) + "_" + std::to_string(i + 1), gauge, i});
  }
  return uses;
}

class NeedleTips : public testing::TestWithParam<NeedleUse> {};

TEST_P(NeedleTips, PointAtEachCalibrationPoint) {
  const NeedleUse& use = GetParam();
  GaugeInstance gauge;
  gauge.header = use.gauge;
  gauge.installed = true;
  gauge.elements = chain_of(use.gauge);
  gauge.states.resize(gauge.elements.size());
  std::unique_ptr<BitmapSource> bitmaps = module_bitmaps(LoadedModule{});
  std::string why;
  const Image* background = bitmaps->find(gauge.elements[0]->bitmap, why);
  ASSERT_NE(background, nullptr) << why;
  GaugePlacement placement;
  placement.gauge = use.gauge->name;
  placement.width = background->width;
  placement.height = background->height;
  gauge.placement = &placement;

  const auto* needle =
      reinterpret_cast<const NeedleElement*>(gauge.elements[use.element]);
  const std::span<const NonlinearityEntry> table(needle->table,
                                                 needle->table_entries);
  const Pivot pivot{double(needle->head.x), double(needle->head.y)};
  const std::vector<double> angles = table_angles(pivot, table);
  ElementState& state = gauge.states[use.element];
  state.drawn = true;
  for (const NonlinearityEntry& entry : table) {
    const double dx = entry.x - pivot.x, dy = entry.y - pivot.y;
    const double reach = std::hypot(dx, dy);
    if (reach < 1) continue;
    state.angle = needle_angle(table, angles, entry.value);
    Image picture(background->width, background->height);
    std::vector<std::string> notes;
    draw_gauge(picture, gauge, *bitmaps, Lighting{}, notes);
    ASSERT_TRUE(notes.empty()) << notes[0];

    // The tip: the painted pixel farthest from the pivot.
    double best = -1, tip_x = 0, tip_y = 0;
    for (int32_t y = 0; y < picture.height; ++y)
      for (int32_t x = 0; x < picture.width; ++x) {
        const uint8_t* p = picture.at(x, y);
        if (p[0] == 0 && p[1] == 0 && p[2] == 0) continue;
        const double d = std::hypot(x + 0.5 - pivot.x, y + 0.5 - pivot.y);
        if (d > best) best = d, tip_x = x + 0.5, tip_y = y + 0.5;
      }
    if (pivot.x < 0 || pivot.y < 0 || pivot.x >= background->width ||
        pivot.y >= background->height) {
      // Pivoted off its background (the altimeter's setting knob): clipped
      // away whole, as every element is clipped to its gauge.
      EXPECT_LT(best, 0) << "value " << entry.value;
      continue;
    }
    ASSERT_GT(best, 5) << "value " << entry.value << ": no needle drawn";
    const double along =
        ((tip_x - pivot.x) * dx + (tip_y - pivot.y) * dy) / reach;
    const double across =
        ((tip_x - pivot.x) * dy - (tip_y - pivot.y) * dx) / reach;
    EXPECT_GT(along, 0) << "value " << entry.value << " points away";
    EXPECT_LE(std::abs(across), 3.0)
        << "value " << entry.value << ": tip at (" << tip_x << ", " << tip_y
        << "), " << across << " px off the ray to (" << entry.x << ", "
        << entry.y << ")";
  }
}

INSTANTIATE_TEST_SUITE_P(Module, NeedleTips,
                         testing::ValuesIn(module_needles()),
                         [](const testing::TestParamInfo<NeedleUse>& info) {
                           return info.param.name;
                         });

}  // namespace
