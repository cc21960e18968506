// Calibration plots and contact sheets drawn from awkward data: each one
// comes out as a PNG of sane size, departures show in red, and a picture
// that cannot be written says where.
#include <cairo.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "host/sheet/sheet_data.h"

namespace {

namespace fs = std::filesystem;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

class DrawFolder : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string pattern =
        (fs::temp_directory_path() / "sheet_draw_XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
  }
  static void TearDownTestSuite() {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }
  static std::string path(const std::string& name) {
    return (fs::path(folder_) / (name + ".png")).string();
  }

  static inline fs::path folder_;
};

// The picture read back, or a null surface status when it is no PNG.
struct Png {
  cairo_surface_t* surface;
  explicit Png(const std::string& path)
      : surface(cairo_image_surface_create_from_png(path.c_str())) {}
  ~Png() { cairo_surface_destroy(surface); }
  Png(const Png&) = delete;
  Png& operator=(const Png&) = delete;
  bool ok() const {
    return cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS;
  }
  int width() const { return cairo_image_surface_get_width(surface); }
  int height() const { return cairo_image_surface_get_height(surface); }
  bool has_strong_red() const {
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < height(); ++y) {
      const auto* row = reinterpret_cast<const uint32_t*>(data + y * stride);
      for (int x = 0; x < width(); ++x) {
        const uint32_t p = row[x];
        if (((p >> 16) & 0xFF) > 200 && ((p >> 8) & 0xFF) < 60 &&
            (p & 0xFF) < 60)
          return true;
      }
    }
    return false;
  }
};

Curve needle_curve() {
  Curve c;
  c.element = 2;
  c.element_kind = "needle";
  c.slot = "value";
  c.result_name = "angle";
  c.result_unit = "degrees";
  c.variable = "ENGINE_RPM";
  c.unit = "rpm";
  for (int v = 0; v <= 3500; v += 50)
    c.points.push_back({.value = double(v), .result = v * 0.08 - 140});
  c.marks = {{0, -140}, {1000, -60}, {3500, 140}};
  c.stops = {0, 3500};
  return c;
}

GaugePlot plot_of(std::vector<Curve> curves) {
  return {.gauge = "Tachometer", .curves = std::move(curves), .notes = {}};
}

Image filled(int32_t w, int32_t h) {
  Image image(w, h);
  for (size_t k = 0; k < image.rgb.size(); ++k) image.rgb[k] = uint8_t(k * 7);
  return image;
}

struct DrawCase {
  const char* name;
  bool (*draw)(const std::string& path, std::string& error);
};

bool plot_case(const GaugePlot& plot, const std::string& path,
               std::string& error) {
  return draw_plot(plot, path, error);
}
bool sheet_case(const ContactSheet& sheet, const std::string& path,
                std::string& error) {
  return draw_contact_sheet(sheet, path, error);
}

const DrawCase kDrawCases[] = {
    {"PlotWithoutCurves",
     [](const std::string& p, std::string& e) {
       return plot_case({.gauge = "Clock",
                         .curves = {},
                         .notes = {"element 3 icon: no value drives it"}},
                        p, e);
     }},
    {"PlotWithoutPoints",
     [](const std::string& p, std::string& e) {
       Curve c = needle_curve();
       c.points.clear();
       c.marks.clear();
       c.stops.clear();
       return plot_case(plot_of({c}), p, e);
     }},
    {"PlotOfOnePoint",
     [](const std::string& p, std::string& e) {
       Curve c = needle_curve();
       c.points = {{.value = 2300, .result = 44}};
       c.marks.clear();
       c.stops.clear();
       return plot_case(plot_of({c}), p, e);
     }},
    {"PlotWithNonFiniteNumbers",
     [](const std::string& p, std::string& e) {
       Curve c = needle_curve();
       c.points[3].value = kNaN;
       c.points[5].result = kInf;
       c.points[7] = {.value = -kInf, .result = kNaN, .departs = true};
       c.marks.push_back({kNaN, 3});
       c.stops.push_back(kInf);
       c.departures.push_back({.value = kNaN, .result = 1, .expected = kInf});
       return plot_case(plot_of({c}), p, e);
     }},
    {"PlotOfOnlyNonFiniteNumbers",
     [](const std::string& p, std::string& e) {
       Curve c = needle_curve();
       c.points = {{kNaN, kNaN, false}, {kInf, -kInf, true}};
       c.marks.clear();
       c.stops = {kNaN};
       return plot_case(plot_of({c}), p, e);
     }},
    {"PlotOfEqualValues",
     [](const std::string& p, std::string& e) {
       Curve c = needle_curve();
       for (CurvePoint& point : c.points) point.value = 1200;
       c.marks.clear();
       c.stops.clear();
       return plot_case(plot_of({c}), p, e);
     }},
    {"PlotOfEqualResults",
     [](const std::string& p, std::string& e) {
       Curve c = needle_curve();
       for (CurvePoint& point : c.points) point.result = 0;
       c.marks.clear();
       return plot_case(plot_of({c}), p, e);
     }},
    {"PlotOfHugeAndTinyRanges",
     [](const std::string& p, std::string& e) {
       Curve huge = needle_curve();
       huge.points = {{-1.7e308, -1e300, false}, {1.7e308, 1e300, true}};
       huge.stops = {1.7e308};
       Curve tiny = needle_curve();
       tiny.points = {{1e15, 1e-300, false}, {1e15 + 1, 2e-300, false}};
       tiny.marks.clear();
       tiny.stops.clear();
       return plot_case(plot_of({huge, tiny}), p, e);
     }},
    {"PlotOfManyCurvesAndNotes",
     [](const std::string& p, std::string& e) {
       GaugePlot plot = plot_of(std::vector<Curve>(300, needle_curve()));
       plot.notes.assign(5000, "element 9 sprite: its value is a constant");
       return plot_case(plot, p, e);
     }},
    {"PlotOfBrokenText",
     [](const std::string& p, std::string& e) {
       Curve c = needle_curve();
       c.variable = "RPM\xff\xfe\x01\xc3";
       c.unit = std::string("r\0m", 3);
       c.note = std::string(5000, 'n') + "\xe2\x82";
       GaugePlot plot = plot_of({c});
       plot.gauge = "\xed\xa0\x80gauge";
       plot.notes = {"\x80\x80", std::string(3000, 'x')};
       return plot_case(plot, p, e);
     }},
    {"SheetWithoutCells",
     [](const std::string& p, std::string& e) {
       return sheet_case({.gauge = "Clock", .cells = {}}, p, e);
     }},
    {"SheetOfEmptyImages",
     [](const std::string& p, std::string& e) {
       Image claimed;
       claimed.width = 300;
       claimed.height = 200;  // and no pixels behind it
       return sheet_case({.gauge = "Switch",
                          .cells = {{"failure 20 active", Image()},
                                    {"claimed but empty", claimed}}},
                         p, e);
     }},
    {"SheetOfSmallWideAndTallImages",
     [](const std::string& p, std::string& e) {
       return sheet_case(
           {.gauge = "Switch",
            .cells = {{"off", filled(24, 40)},
                      {"ENGINE_RPM 2300 rpm", filled(3000, 90)},
                      {"night, panel lights on", filled(1, 2000)},
                      {std::string(400, 'w') + " and a very long label that "
                                               "goes on and on past its cell",
                       filled(200, 200)}}},
           p, e);
     }},
    {"SheetOfManyCells",
     [](const std::string& p, std::string& e) {
       return sheet_case({.gauge = "Many",
                          .cells = std::vector<SheetCell>(
                              2000, SheetCell{"state", filled(3, 3)})},
                         p, e);
     }},
};

class DrawCases : public DrawFolder,
                  public testing::WithParamInterface<DrawCase> {};

TEST_P(DrawCases, WritesAPngOfSaneSize) {
  const std::string png = path(GetParam().name);
  std::string error;
  ASSERT_TRUE(GetParam().draw(png, error)) << error;
  Png read(png);
  ASSERT_TRUE(read.ok());
  EXPECT_GE(read.width(), 100);
  EXPECT_GE(read.height(), 40);
  EXPECT_LE(read.width(), 16384);
  EXPECT_LE(read.height(), 16384);
}

INSTANTIATE_TEST_SUITE_P(Awkward, DrawCases, testing::ValuesIn(kDrawCases),
                         [](const auto& info) {
                           return std::string(info.param.name);
                         });

TEST_F(DrawFolder, DepartingPointsAndOnlyThoseAreRed) {
  Curve steady = needle_curve();
  std::string error;
  ASSERT_TRUE(draw_plot(plot_of({steady}), path("steady"), error)) << error;
  Png steady_png(path("steady"));
  ASSERT_TRUE(steady_png.ok());
  EXPECT_FALSE(steady_png.has_strong_red());

  Curve departing = needle_curve();
  departing.points[20].result += 6;
  departing.points[20].departs = true;
  ASSERT_TRUE(draw_plot(plot_of({departing}), path("departing"), error))
      << error;
  Png departing_png(path("departing"));
  ASSERT_TRUE(departing_png.ok());
  EXPECT_TRUE(departing_png.has_strong_red());
}

TEST_F(DrawFolder, UnwritablePathFailsNamingIt) {
  const std::string png = (folder_ / "no such folder" / "plot.png").string();
  std::string error;
  EXPECT_FALSE(draw_plot(plot_of({needle_curve()}), png, error));
  EXPECT_NE(error.find(png), std::string::npos) << error;
  error.clear();
  EXPECT_FALSE(draw_contact_sheet(
      {.gauge = "Switch", .cells = {{"off", filled(8, 8)}}}, png, error));
  EXPECT_NE(error.find(png), std::string::npos) << error;
  EXPECT_FALSE(fs::exists(png));
}

}  // namespace
