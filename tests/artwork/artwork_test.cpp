// Checks the generated bitmaps against the module's element records: the set
// of files, their bytes from run to run, the dial marks under every needle at
// every calibration point, the needles' orientation, the transparent key and
// the switch levers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <numbers>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "module/linkage.h"
#include "tests/artwork/generated_artwork.h"
#include "tools/artwork/bitmap.h"

namespace fs = std::filesystem;

namespace {

// The elements as the test reads them itself, straight from the records.
struct Element {
  std::string gauge;
  ElementHeader* head;
  int number;
};

std::vector<Element> module_elements() {
  std::vector<Element> elements;
  for (const GaugeHeader* gauge : Linkage.gauges) {
    if (gauge == nullptr) break;
    int number = 1;
    for (ElementHeader* head = gauge->elements[0]; head != nullptr;
         head = head->next ? head->next[0] : nullptr)
      elements.push_back({gauge->name, head, number++});
  }
  return elements;
}

std::set<int32_t> expected_ids() {
  std::set<int32_t> ids;
  for (const Element& e : module_elements()) {
    switch (e.head->kind) {
      case kString:
        break;
      case kIcon:
        for (int32_t i = 0; i < element_as<IconElement>(e.head)->icons; ++i)
          ids.insert(e.head->bitmap + i);
        break;
      case kMovingImage:
      case kSprite:
        ids.insert(e.head->bitmap);
        ids.insert(e.head->bitmap + 1);
        break;
      default:
        ids.insert(e.head->bitmap);
    }
  }
  return ids;
}

// Paint a mark is made of: white figures, coloured lines, never the matt
// face or the metal.
bool bright(const Picture& p, int x, int y) {
  if (!opaque(p, x, y)) return false;
  const Rgb c = p.at(x, y);
  return std::max({c.r, c.g, c.b}) >= 160;
}

TEST(ArtworkFolder, HoldsEveryNamedBitmapAndNothingElse) {
  const std::set<int32_t> expected = expected_ids();
  ASSERT_FALSE(expected.empty());
  std::set<int32_t> found;
  for (const auto& entry : fs::directory_iterator(kArtworkDir)) {
    if (entry.path().extension() != ".bmp") continue;
    found.insert(std::stoi(entry.path().stem().string()));
  }
  EXPECT_EQ(found, expected);

  // The resource-script lines name the same files.
  std::ifstream script(kArtworkDir / "artwork.rc");
  std::set<int32_t> listed;
  std::string line;
  while (std::getline(script, line)) {
    if (line.empty() || line.starts_with("//")) continue;
    std::istringstream words(line);
    int32_t id = 0;
    std::string type, file;
    words >> id >> type >> file;
    EXPECT_EQ(type, "BITMAP") << line;
    EXPECT_EQ(file, "\"" + std::to_string(id) + ".bmp\"") << line;
    listed.insert(id);
  }
  EXPECT_EQ(listed, expected);
  for (int32_t id : expected) load_generated(id);
}

TEST(ArtworkGenerator, WritesTheSameBytesEveryRun) {
  const fs::path scratch =
      fs::temp_directory_path() /
      ("artwork_test_" +
       std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  for (const char* run : {"first", "second"}) {
    const fs::path out = scratch / run;
    fs::remove_all(out);
    const std::string command = std::string("ASAN_OPTIONS=detect_leaks=0 '") +
                                MAKE_ARTWORK + "' '" + out.string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
  }
  int compared = 0;
  for (const auto& entry : fs::directory_iterator(kArtworkDir)) {
    const fs::path name = entry.path().filename();
    const std::vector<uint8_t> built = read_file(entry.path());
    EXPECT_EQ(read_file(scratch / "first" / name), built) << name;
    EXPECT_EQ(read_file(scratch / "second" / name), built) << name;
    ++compared;
  }
  EXPECT_GT(compared, 1);
  fs::remove_all(scratch);
}

// Where a needle's marks are: which static bitmap of its gauge carries them
// and the band of distances from the pivot the ticks span.
struct MarkBand {
  const char* name;
  int32_t needle;
  int32_t face;
  double inner;
  double outer;
};

constexpr MarkBand kMarkBands[] = {
    {"airspeed", 460, 450, 108, 122},
    {"vertical_speed", 280, 270, 105, 121},
    {"altimeter_ten_thousands", 1070, 1060, 119, 135},
    {"altimeter_thousands", 1080, 1060, 119, 135},
    {"altimeter_hundreds", 1090, 1060, 119, 135},
    {"turn_symbol", 1010, 1000, 120, 130},
    {"attitude_bank", 320, 360, 95, 104},
    {"adf_dial", 1370, 1300, 90, 95},
    {"nav_decimals_grip", 2020, 2000, 16, 20},
    {"timer_hour", 420, 380, 93, 99},
    {"timer_minute", 410, 380, 93, 99},
    {"timer_seconds", 390, 380, 93, 99},
    {"timer_counter", 400, 380, 24, 27},
    {"manifold_pressure", 1400, 1390, 101, 115},
    {"tachometer", 1460, 1450, 97, 111},
    {"oil_pressure", 2120, 2110, 61, 70},
    {"oil_temperature", 2150, 2140, 59, 70},
    {"cht", 1430, 1420, 131, 145},
    {"carburetor_temp", 3120, 3110, 67, 79},
    {"fuel_pressure", 2180, 2170, 59, 69},
    {"fuel_quantity", 2470, 2460, 89, 101},
    {"voltmeter", 2330, 2320, 95, 105},
    {"oat", 2210, 2200, 67, 79},
    {"adf_bearing", 1160, 1140, 126, 138},
    {"vor_course", 2430, 2450, 112, 122},
    {"vor_deviation", 2380, 2450, 90, 102},
    {"vor_glide_slope", 2440, 2450, 96, 108},
};
void PrintTo(const MarkBand& band, std::ostream* out) { *out << band.name; }

constexpr int kMarkBandCount = 27;
static_assert(std::size(kMarkBands) == kMarkBandCount);

const Element* element_with_bitmap(int32_t bitmap) {
  static const std::vector<Element> elements = module_elements();
  for (const Element& e : elements)
    if (e.head->bitmap == bitmap) return &e;
  return nullptr;
}

class DialMarks : public ::testing::TestWithParam<MarkBand> {};

TEST_P(DialMarks, LieOnTheRayToEveryCalibrationPoint) {
  const MarkBand band = GetParam();
  const Element* needle = element_with_bitmap(band.needle);
  const Element* face = element_with_bitmap(band.face);
  ASSERT_NE(needle, nullptr);
  ASSERT_NE(face, nullptr);
  ASSERT_EQ(needle->head->kind, kNeedle);
  ASSERT_EQ(face->head->kind, kStaticImage);
  ASSERT_EQ(needle->gauge, face->gauge);
  const Picture picture = load_generated(band.face);
  const auto* record = element_as<NeedleElement>(needle->head);
  const double px = needle->head->x - face->head->x;
  const double py = needle->head->y - face->head->y;
  for (int i = 0; i < record->table_entries; ++i) {
    const NonlinearityEntry& entry = record->table[i];
    const double dx = entry.x - needle->head->x;
    const double dy = entry.y - needle->head->y;
    const double length = std::hypot(dx, dy);
    ASSERT_GT(length, 0);
    const double ux = dx / length;
    const double uy = dy / length;
    // Every distance across the band has mark paint within two pixels of
    // the ray.
    for (double r = band.inner; r <= band.outer; r += 1) {
      bool marked = false;
      for (int side = -2; side <= 2 && !marked; ++side) {
        const double x = px + r * ux - side * uy;
        const double y = py + r * uy + side * ux;
        marked = bright(picture, static_cast<int>(std::floor(x)),
                        static_cast<int>(std::floor(y)));
      }
      EXPECT_TRUE(marked) << "value " << entry.value << " at distance " << r;
    }
  }
  // The band is not painted all round: the marks are ticks, not a ring.
  int painted = 0;
  const double r = (band.inner + band.outer) / 2;
  for (int degrees = 0; degrees < 360; ++degrees) {
    const double a = degrees * std::numbers::pi / 180;
    painted +=
        bright(picture, static_cast<int>(std::floor(px + r * std::sin(a))),
               static_cast<int>(std::floor(py - r * std::cos(a))));
  }
  EXPECT_LT(painted, 180);
}

INSTANTIATE_TEST_SUITE_P(Needles, DialMarks, ::testing::ValuesIn(kMarkBands),
                         [](const auto& info) {
                           return std::string(info.param.name);
                         });

// Knobs drawn as needles: they turn where they stand and point at no marks.
constexpr int32_t kKnobNeedles[] = {1310, 1320, 250, 1150, 2360};

bool turns_in_place(int32_t bitmap) {
  for (int32_t knob : kKnobNeedles)
    if (knob == bitmap) return true;
  return false;
}

// Every needle whose pivot lies on its background has its marks checked; the
// altimeter's setting knob turns off the dial, beside it.
TEST(DialMarks, CoverEveryNeedleOnItsDial) {
  std::map<std::string, const Element*> backgrounds;
  for (const Element& e : module_elements()) {
    if (e.number == 1) backgrounds[e.gauge] = &e;
    if (e.head->kind != kNeedle) continue;
    const Picture background =
        load_generated(backgrounds[e.gauge]->head->bitmap);
    const bool on_dial = e.head->x >= 0 && e.head->y >= 0 &&
                         e.head->x < background.width &&
                         e.head->y < background.height;
    bool checked = turns_in_place(e.head->bitmap);
    for (const MarkBand& band : kMarkBands)
      checked = checked || band.needle == e.head->bitmap;
    EXPECT_EQ(checked, on_dial) << e.gauge << " element " << e.number;
  }
}

// Needles are drawn pointing right from their pivot: the opaque pixel
// farthest from the pivot is the tip, on the pivot's row.
TEST(NeedleBitmaps, PointRightFromTheirPivot) {
  for (const Element& e : module_elements()) {
    if (e.head->kind != kNeedle) continue;
    const Picture p = load_generated(e.head->bitmap);
    const int pivot_x = e.head->offset_x;
    const int pivot_y = e.head->offset_y;
    ASSERT_LT(pivot_x, p.width) << e.head->bitmap;
    ASSERT_LT(pivot_y, p.height) << e.head->bitmap;
    double farthest = -1;
    int tip_x = 0, tip_y = 0;
    for (int y = 0; y < p.height; ++y)
      for (int x = 0; x < p.width; ++x)
        if (opaque(p, x, y) &&
            std::hypot(x - pivot_x, y - pivot_y) > farthest) {
          farthest = std::hypot(x - pivot_x, y - pivot_y);
          tip_x = x;
          tip_y = y;
        }
    EXPECT_GT(tip_x, pivot_x) << e.head->bitmap;
    EXPECT_LE(std::abs(tip_y - pivot_y), 3) << e.head->bitmap;
  }
}

// Opaque paint is never the transparent key; the corners round dials leave
// are the key.
struct OpaqueArea {
  int32_t id;
  double cx;
  double cy;
  double radius;  // 0: the whole bitmap
};

constexpr OpaqueArea kOpaqueAreas[] = {
    {270, 150, 150, 145},  {450, 150, 150, 145}, {1060, 150, 150, 145},
    {1000, 119, 119, 114}, {300, 127, 130, 109}, {310, 0, 0, 0},
    {311, 127, 130, 92},   {1110, 0, 0, 0},      {1111, 0, 0, 0},
    {1020, 12, 12, 10},    {1030, 0, 0, 0},      {370, 0, 0, 0},
    {1480, 22, 31.5, 18},  {3070, 13, 22.5, 10}, {3140, 33, 33, 28},
};
constexpr int kOpaqueAreaCount = 15;
static_assert(std::size(kOpaqueAreas) == kOpaqueAreaCount);

TEST(Transparency, OpaqueAreasHoldNoKeyBlack) {
  for (const OpaqueArea& area : kOpaqueAreas) {
    const Picture p = load_generated(area.id);
    int holes = 0;
    for (int y = 0; y < p.height; ++y)
      for (int x = 0; x < p.width; ++x) {
        const bool inside =
            area.radius == 0 ||
            std::hypot(x + 0.5 - area.cx, y + 0.5 - area.cy) < area.radius;
        if (inside && !opaque(p, x, y)) ++holes;
      }
    EXPECT_EQ(holes, 0) << "bitmap " << area.id;
  }
  for (int32_t round : {270, 290, 450, 470, 1000, 1040, 1060, 1100}) {
    const Picture p = load_generated(round);
    EXPECT_FALSE(opaque(p, 0, 0)) << "bitmap " << round;
    EXPECT_FALSE(opaque(p, p.width - 1, 0)) << "bitmap " << round;
  }
}

// Image 0 of a switch lever is off (lever down), image 1 on (lever up): the
// two-image icons of the switches (covers, keys and spring switches aside).
TEST(SwitchLevers, PointDownWhenOffAndUpWhenOn) {
  int levers = 0;
  for (const Element& e : module_elements()) {
    if (e.head->kind != kIcon || !e.gauge.ends_with("_Switch")) continue;
    if (element_as<IconElement>(e.head)->icons != 2) continue;
    for (int image = 0; image < 2; ++image) {
      const Picture p = load_generated(e.head->bitmap + image);
      double sum_y = 0;
      int count = 0;
      for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
          if (opaque(p, x, y)) sum_y += y, ++count;
      ASSERT_GT(count, 0) << e.head->bitmap + image;
      const double middle = (p.height - 1) / 2.0;
      if (image == 0)
        EXPECT_GT(sum_y / count, middle + 3) << e.gauge;
      else
        EXPECT_LT(sum_y / count, middle - 3) << e.gauge;
    }
    ++levers;
  }
  EXPECT_EQ(levers, 10);
}

}  // namespace
