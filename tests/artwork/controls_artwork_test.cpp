// Checks of the controls' artwork against what the gauges do with it: the
// covers hide the levers under them, lit lamps are brighter than the dark
// lens, valve handles and lever knobs sit in the areas that work them,
// pushed spring switches cover the neutral picture, and the start-up gauge
// draws nothing.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "module/linkage.h"
#include "tests/artwork/generated_artwork.h"
#include "tools/artwork/bitmap.h"

namespace {

int brightness(Rgb c) { return c.r + c.g + c.b; }

struct Centre {
  double x = 0;
  double y = 0;
  int count = 0;
};

Centre opaque_centre(const Picture& p) {
  Centre c;
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x)
      if (opaque(p, x, y)) c.x += x, c.y += y, ++c.count;
  if (c.count > 0) c.x /= c.count, c.y /= c.count;
  return c;
}

const GaugeHeader* gauge(const char* name) {
  for (const GaugeHeader* g : Linkage.gauges)
    if (g != nullptr && std::strcmp(g->name, name) == 0) return g;
  return nullptr;
}

ElementHeader* element(const char* name, int index) {
  const GaugeHeader* g = gauge(name);
  if (g == nullptr) return nullptr;
  ElementHeader* head = g->elements[0];
  for (int i = 0; i < index && head != nullptr; ++i)
    head = head->next ? head->next[0] : nullptr;
  return head;
}

// The n-th clickable area of a gauge, from 0.
const MouseRect* child(const char* name, int n) {
  const GaugeHeader* g = gauge(name);
  if (g == nullptr) return nullptr;
  for (const MouseRect* r = g->mouse_areas; r->kind != kMouseEnd; ++r)
    if (r->kind == kMouseChild && n-- == 0) return r;
  return nullptr;
}

struct Cover {
  int32_t cover;
  int32_t lever;
};

TEST(ControlsArtwork, ClosedCoversHideTheLeverInEitherPosition) {
  for (const Cover c : {Cover{2280, 2290}, Cover{2240, 2250}}) {
    const Picture cover = load_generated(c.cover);
    for (int32_t id : {c.lever, c.lever + 1}) {
      const Picture lever = load_generated(id);
      ASSERT_EQ(lever.width, cover.width);
      ASSERT_EQ(lever.height, cover.height);
      int seen = 0, lever_pixels = 0;
      for (int y = 0; y < lever.height; ++y)
        for (int x = 0; x < lever.width; ++x)
          if (opaque(lever, x, y)) ++lever_pixels, seen += !opaque(cover, x, y);
      EXPECT_GT(lever_pixels, 100) << id;
      EXPECT_EQ(seen, 0) << "pixels of lever " << id << " beside the cover";
    }
  }
}

TEST(ControlsArtwork, LitLampsOutshineTheDarkLensTheyCover) {
  for (const auto& [face_id, lamp_id] : {std::pair{2300, 2310}, {3090, 3100}}) {
    const Picture face = load_generated(face_id);
    const Picture lamp = load_generated(lamp_id);
    long lit = 0, dark = 0;
    int count = 0;
    for (int y = 0; y < lamp.height; ++y)
      for (int x = 0; x < lamp.width; ++x)
        if (opaque(lamp, x, y)) {
          ASSERT_TRUE(opaque(face, x, y)) << lamp_id << " off the face";
          lit += brightness(lamp.at(x, y));
          dark += brightness(face.at(x, y));
          ++count;
        }
    ASSERT_GT(count, 300) << lamp_id;
    EXPECT_GT(lit / count, 2 * dark / count + 150) << lamp_id;
  }
}

// Each handle lies in the area that works it: open at the top, shut below.
TEST(ControlsArtwork, ValveHandlesSitInTheirAreasOpenAboveShut) {
  for (int handle = 0; handle < 2; ++handle) {
    const ElementHeader* e = element("Fuel_Oil_Valve", handle == 0 ? 2 : 1);
    const MouseRect* area = child("Fuel_Oil_Valve", handle);
    ASSERT_NE(e, nullptr);
    ASSERT_NE(area, nullptr);
    const Centre shut = opaque_centre(load_generated(e->bitmap));
    const Centre open = opaque_centre(load_generated(e->bitmap + 1));
    for (const Centre& c : {shut, open}) {
      ASSERT_GT(c.count, 200) << e->bitmap;
      EXPECT_GT(e->x + c.x, area->box.x + 10) << e->bitmap;
      EXPECT_LT(e->x + c.x, area->box.x + area->box.width - 10) << e->bitmap;
    }
    EXPECT_LT(open.y + 60, shut.y) << e->bitmap;
  }
}

// At idle each knob's bitmap ends at the bottom of its lever's area, and the
// knob stays inside the area across its travel.
TEST(ControlsArtwork, LeverKnobsRideInTheirAreas) {
  for (int lever = 0; lever < 3; ++lever) {
    const auto* slider = reinterpret_cast<const SliderElement*>(
        element("Throttle_Control", 3 - lever));
    const MouseRect* area = child("Throttle_Control", lever);
    ASSERT_NE(slider, nullptr);
    ASSERT_NE(area, nullptr);
    const Picture p = load_generated(slider->head.bitmap);
    EXPECT_EQ(slider->head.y + p.height, area->box.y + area->box.height)
        << p.id;
    const double top_at_full = slider->head.y + 16384 * slider->y_scale;
    EXPECT_GE(top_at_full, area->box.y - 1) << p.id;
    const Centre knob = opaque_centre(p);
    EXPECT_GT(slider->head.x + knob.x, area->box.x + 15) << p.id;
    EXPECT_LT(slider->head.x + knob.x, area->box.x + area->box.width - 15)
        << p.id;
  }
}

// Pushed pictures cover the neutral one drawn beneath them; image 1 pushes
// up and image 2 down.
TEST(ControlsArtwork, SpringSwitchesCoverNeutralAndPushUpThenDown) {
  for (int32_t first : {2260, 2490}) {
    const Picture neutral = load_generated(first);
    for (int image = 1; image <= 2; ++image) {
      const Picture pushed = load_generated(first + image);
      Centre moved;
      int uncovered = 0;
      for (int y = 0; y < neutral.height; ++y)
        for (int x = 0; x < neutral.width; ++x) {
          uncovered += opaque(neutral, x, y) && !opaque(pushed, x, y);
          if (!(pushed.at(x, y) == neutral.at(x, y)))
            moved.y += y, ++moved.count;
        }
      EXPECT_EQ(uncovered, 0) << first + image;
      ASSERT_GT(moved.count, 20) << first + image;
      const double middle = (neutral.height - 1) / 2.0;
      if (image == 1)
        EXPECT_LT(moved.y / moved.count, middle - 5) << first + image;
      else
        EXPECT_GT(moved.y / moved.count, middle + 5) << first + image;
    }
  }
}

TEST(ControlsArtwork, MagnetoKeyTurnsThroughFourDistinctPositions) {
  std::vector<std::vector<Rgb>> seen;
  for (int32_t id = 3060; id < 3064; ++id) {
    const Picture p = load_generated(id);
    EXPECT_GT(opaque_centre(p).count, 300) << id;
    for (const auto& other : seen) EXPECT_NE(other, p.pixels) << id;
    seen.push_back(p.pixels);
  }
}

TEST(ControlsArtwork, StartUpGaugeDrawsNothing) {
  const Picture p = load_generated(40);
  EXPECT_GT(p.width, 0);
  EXPECT_EQ(opaque_centre(p).count, 0);
}

}  // namespace
