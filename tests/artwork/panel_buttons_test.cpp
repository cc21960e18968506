// Checks of the panel toggle buttons' faces against what the gauges do with
// them: the invisible face lets the panel show through, every other face
// covers the square that answers the click, and no two faces the b key
// chooses between look alike.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "module/linkage.h"
#include "tests/artwork/generated_artwork.h"
#include "tools/artwork/bitmap.h"

namespace {

bool clear(const Picture& p, int x, int y) { return p.at(x, y) == Rgb{}; }

const char* const kToggles[] = {
    "Kneeboard_Toggle",    "ATC_Toggle",     "Map_Toggle",
    "Invisible_Toggle",    "Close_Subpanel", "Radios_Toggle",
    "Landing_View_Toggle", "GPS_Toggle",     "Throttle_Toggle",
    "Compass_Toggle",      "Fuel_Toggle",    "Electricity_Toggle",
};

GaugeHeader* gauge_named(const char* name) {
  for (GaugeHeader* gauge : Linkage.gauges) {
    if (gauge == nullptr) break;
    if (std::string(gauge->name) == name) return gauge;
  }
  return nullptr;
}

TEST(PanelButtons, FacesShowWhereTheButtonAnswers) {
  for (const char* name : kToggles) {
    GaugeHeader* gauge = gauge_named(name);
    ASSERT_NE(gauge, nullptr) << name;
    const int32_t id = gauge->elements[0]->bitmap;
    const Picture face = load_generated(id);
    const MouseBox area = gauge->mouse_areas[1].kind == kMouseChild
                              ? gauge->mouse_areas[1].box
                              : gauge->mouse_areas[2].box;
    int covered = 0;
    int pixels = 0;
    for (int y = area.y; y < std::min(area.y + area.height, face.height); ++y)
      for (int x = area.x; x < std::min(area.x + area.width, face.width); ++x) {
        ++pixels;
        covered += !clear(face, x, y);
      }
    ASSERT_GT(pixels, 0) << name;
    if (id == 100)
      EXPECT_EQ(covered, 0) << name << ": the invisible face shows paint";
    else
      EXPECT_EQ(covered, pixels) << name << ": face " << id << " has holes";
  }
}

TEST(PanelButtons, EveryFaceTheBKeyChoosesIsItsOwn) {
  std::vector<std::vector<Rgb>> seen;
  for (int32_t id = 100; id <= 180; id += 10) {
    const Picture face = load_generated(id);
    EXPECT_EQ(face.width, 19) << id;
    EXPECT_EQ(face.height, 19) << id;
    EXPECT_EQ(std::count(seen.begin(), seen.end(), face.pixels), 0)
        << "face " << id << " repeats another";
    seen.push_back(face.pixels);
  }
}

}  // namespace
