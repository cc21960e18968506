// Calibration plots and contact sheets: a gauge of the tests' own whose
// callback converts its variable through a miscalibrated copy of a table is
// flagged where it departs and nowhere else; the real module's sweep flags
// nothing; the tachometer's listing and a sheet's failure cells; and bad
// requests leave the output folder as they found it.
#include "host/sheet/sheet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "elements/declare.h"
#include "host/core/host.h"
#include "host/core/loader.h"
#include "host/render/render.h"
#include "host/sheet/contact.h"
#include "host/sheet/replica.h"
#include "host/sheet/sweep.h"

namespace fs = std::filesystem;

namespace {

// What cairo and fontconfig keep between pictures is let go once every
// test has drawn, as the host does before it ends.
class DrawingCaches : public testing::Environment {
 public:
  void TearDown() override { release_drawing_caches(); }
};
testing::Environment* const drawing_caches =
    testing::AddGlobalTestEnvironment(new DrawingCaches);

constexpr int32_t kEngineRpm = 390;

// The conversion a gauge might make from its variable to its dial's unit,
// a straight line, and a copy of it whose 2,000 entry was written as 2,300.
struct ConversionPoint {
  double from, to;
};
constexpr ConversionPoint kTrueConversion[] = {
    {0, 0}, {1000, 1000}, {2000, 2000}, {3000, 3000}};
constexpr ConversionPoint kMiscalibratedConversion[] = {
    {0, 0}, {1000, 1000}, {2000, 2300}, {3000, 3000}};

// Beyond its ends the value passes unchanged.
template <size_t N>
double convert(const ConversionPoint (&table)[N], double value) {
  if (!(value >= table[0].from && value <= table[N - 1].from)) return value;
  for (size_t i = 0; i + 1 < N; ++i)
    if (value <= table[i + 1].from)
      return table[i].to + (value - table[i].from) *
                               (table[i + 1].to - table[i].to) /
                               (table[i + 1].from - table[i].from);
  return value;
}

double GAUGE_CALL true_dial(ElementHeader* head) {
  return convert(kTrueConversion,
                 element_as<NeedleElement>(head)->source.value.number);
}
double GAUGE_CALL miscalibrated_dial(ElementHeader* head) {
  return convert(kMiscalibratedConversion,
                 element_as<NeedleElement>(head)->source.value.number);
}

// A quarter turn from straight down to due left over 0 to 3,000.
NonlinearityEntry true_table[] = {mark(0, 100, 200), mark(3000, 0, 100)};
NonlinearityEntry miscalibrated_table[] = {mark(0, 100, 200),
                                           mark(3000, 0, 100)};
NonlinearityEntry failing_table[] = {mark(0, 100, 200), mark(3000, 0, 100)};
constexpr FailureEntry two_failures[] = {{20, 3, 0}, {5, 1, 0}, kFailuresEnd};

extern GaugeHeader true_gauge, miscalibrated_gauge, failing_gauge;

ElementChain true_chain{&true_gauge,
                        static_image({.bitmap = 1, .at = {0, 0}, .flags = 0x3}),
                        needle({.bitmap = 2,
                                .at = {100, 100},
                                .pivot = {1, 1},
                                .token = kEngineRpm,
                                .table = true_table,
                                .callback = true_dial,
                                .flags = 0x3})};
ElementChain miscalibrated_chain{
    &miscalibrated_gauge,
    static_image({.bitmap = 1, .at = {0, 0}, .flags = 0x3}),
    needle({.bitmap = 2,
            .at = {100, 100},
            .pivot = {1, 1},
            .token = kEngineRpm,
            .table = miscalibrated_table,
            .callback = miscalibrated_dial,
            .flags = 0x3})};
ElementChain failing_chain{
    &failing_gauge, static_image({.bitmap = 1, .at = {0, 0}, .flags = 0x3}),
    needle({.bitmap = 2,
            .at = {100, 100},
            .pivot = {1, 1},
            .token = kEngineRpm,
            .table = failing_table,
            .flags = 0x3,
            .failures = two_failures})};

GaugeHeader true_gauge = gauge_header({.name = "True_Dial",
                                       .width_mm = 50,
                                       .elements = true_chain.list(),
                                       .mouse_areas = nullptr});
GaugeHeader miscalibrated_gauge =
    gauge_header({.name = "Miscalibrated_Dial",
                  .width_mm = 50,
                  .elements = miscalibrated_chain.list(),
                  .mouse_areas = nullptr});
GaugeHeader failing_gauge = gauge_header({.name = "Failing_Dial",
                                          .width_mm = 50,
                                          .elements = failing_chain.list(),
                                          .mouse_areas = nullptr});

constinit ImportTableRecord fixture_imports = {{{0x0F, nullptr}, {0, nullptr}}};
LinkageRecord fixture_linkage = {
    .module_id = 0x13,
    .init = nullptr,
    .deinit = nullptr,
    .flags = 0,
    .status = 0,
    .version = 0x900,
    .gauges = {&true_gauge, &miscalibrated_gauge, &failing_gauge, nullptr}};

LoadedModule fixture_module() {
  return {&fixture_imports, &fixture_linkage, nullptr, "Sheet_Fixture"};
}

// A host of one window holding `gauge`, started.
std::unique_ptr<Host> one_gauge_host(const char* gauge) {
  PanelConfig panel;
  panel.file = "fixture";
  PanelWindow window;
  window.width = window.height = 200;
  GaugePlacement placement;
  placement.module = "Sheet_Fixture";
  placement.gauge = gauge;
  placement.width = placement.height = 200;
  window.gauges.push_back(placement);
  panel.windows.push_back(window);
  auto created = Host::create(fixture_module(), std::move(panel));
  auto host = std::move(std::get<std::unique_ptr<Host>>(created));
  host->start();
  return host;
}

GaugePlot sweep_of(Host& host, const char* gauge) {
  return sweep_gauge(host, *host.find_instance(gauge, 1));
}

TEST(SheetSweep, MiscalibratedConversionIsFlaggedWhereItDeparts) {
  auto host = one_gauge_host("Miscalibrated_Dial");
  const GaugePlot plot = sweep_of(*host, "Miscalibrated_Dial");
  ASSERT_EQ(plot.curves.size(), 1u);
  const Curve& curve = plot.curves[0];
  ASSERT_EQ(curve.marks.size(), 2u);
  EXPECT_NEAR(curve.marks[0].value, 0, 1e-6);
  EXPECT_NEAR(curve.marks[1].value, 3000, 1e-6);
  ASSERT_FALSE(curve.departures.empty());
  // The copy is off by 300 at 2,000 and true at 1,000 and 3,000: 0.03
  // degrees a unit puts the 0.5-degree edge about 56 units inside each.
  double worst_value = 0, worst_off = 0;
  for (const Departure& d : curve.departures) {
    EXPECT_GT(d.value, 1000) << d.value;
    EXPECT_LT(d.value, 3000) << d.value;
    if (std::abs(d.result - d.expected) > worst_off)
      worst_off = std::abs(d.result - d.expected), worst_value = d.value;
  }
  EXPECT_NEAR(worst_value, 2000, 20);
  EXPECT_NEAR(worst_off, 9, 0.2);
  for (const CurvePoint& point : curve.points)
    if (point.value < 1050 || point.value > 2950) {
      EXPECT_FALSE(point.departs) << point.value;
    }
  EXPECT_NE(plot_listing(plot).find("departures over 0.5 degrees: " +
                                    std::to_string(curve.departures.size())),
            std::string::npos);
}

TEST(SheetSweep, TrueConversionIsNotFlagged) {
  auto host = one_gauge_host("True_Dial");
  const GaugePlot plot = sweep_of(*host, "True_Dial");
  ASSERT_EQ(plot.curves.size(), 1u);
  EXPECT_TRUE(plot.curves[0].departures.empty());
  EXPECT_GT(plot.curves[0].points.size(), 100u);
  // 20 % beyond the table at each end.
  EXPECT_NEAR(plot.curves[0].points.front().value, -600, 1);
  EXPECT_NEAR(plot.curves[0].points.back().value, 3600, 1);
}

TEST(SheetContact, EachFailureKeyHasACellOfItsOwn) {
  auto host = one_gauge_host("Failing_Dial");
  GaugeInstance& gauge = *host->find_instance("Failing_Dial", 1);
  const GaugePlot plot = sweep_gauge(*host, gauge);
  WindowRenderer renderer(std::make_unique<MemoryBitmaps>());
  const ContactSheet sheet = contact_sheet(*host, gauge, renderer, plot);
  std::vector<std::string> labels;
  for (const SheetCell& cell : sheet.cells) labels.push_back(cell.label);
  for (const char* expected :
       {"failure 5 active", "failure 20 active", "day",
        "night, panel lights on", "element 2: ENGINE_RPM 0 rpm",
        "element 2: ENGINE_RPM 3000 rpm"})
    EXPECT_NE(std::find(labels.begin(), labels.end(), expected), labels.end())
        << expected;
  EXPECT_EQ(std::count_if(
                labels.begin(), labels.end(),
                [](const std::string& l) { return l.starts_with("failure"); }),
            2);
}

std::string read_text(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

class SheetFolder : public testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("sheet_test_" + std::to_string(::getpid()) + "_" +
               testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }
  fs::path folder_;
};

TEST_F(SheetFolder, RealModuleFlagsNothingAndTheTachometerShowsItsTable) {
  LoadedModule module;
  std::string error;
  ASSERT_TRUE(load_module("", module, error)) << error;
  std::ostringstream out, err;
  ASSERT_EQ(
      write_sheets_running(
          module, {.gauge = "all", .out_folder = folder_.string()}, out, err),
      kSheetWritten)
      << err.str();
  EXPECT_EQ(out.str().find("depart"), std::string::npos) << out.str();
  size_t listings = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder_)) {
    const std::string name = entry.path().filename().string();
    if (!name.ends_with(".plot.txt")) continue;
    ++listings;
    EXPECT_NE(read_text(entry.path()).find("\n0 departures\n"),
              std::string::npos)
        << name;
    for (const char* kind : {".plot.png", ".sheet.png"})
      EXPECT_TRUE(
          fs::exists(folder_ / (name.substr(0, name.size() - 9) + kind)))
          << name;
  }
  EXPECT_EQ(listings, 60u);
  EXPECT_FALSE(fs::exists(folder_ / ".sheet-partial"));

  const std::string tachometer = read_text(folder_ / "Tachometer.plot.txt");
  EXPECT_NE(tachometer.find("element 2 needle value: ENGINE_RPM (rpm)"),
            std::string::npos)
      << tachometer;
  EXPECT_NE(tachometer.find("  calibration points (6):\n"
                            "    0 -> 180.526\n"
                            "    300 -> 194.899\n"
                            "    500 -> 228.532\n"
                            "    2300 -> 425.886\n"
                            "    3200 -> 524.97\n"
                            "    3500 -> 524.97\n"
                            "  stops: 0, 3200\n"),
            std::string::npos)
      << tachometer;

  const std::string index = read_text(folder_ / "index.html");
  const size_t engine = index.find("<h2>Engine instruments</h2>");
  const size_t toggles = index.find("<h2>Panel window toggles</h2>");
  ASSERT_NE(engine, std::string::npos);
  ASSERT_NE(toggles, std::string::npos);
  const size_t tachometer_link = index.find("href=\"Tachometer.plot.png\"");
  EXPECT_GT(tachometer_link, engine);
  EXPECT_LT(tachometer_link, toggles);
}

TEST_F(SheetFolder, UnknownGaugeNamesTheNearestAndWritesNothing) {
  std::ostringstream out, err;
  EXPECT_EQ(write_sheets_running(
                fixture_module(),
                {.gauge = "Miscalibrated_Dail", .out_folder = folder_.string()},
                out, err),
            kSheetBadInput);
  EXPECT_NE(err.str().find("holds no gauge named \"Miscalibrated_Dail\" "
                           "(nearest: Miscalibrated_Dial, True_Dial, "
                           "Failing_Dial)"),
            std::string::npos)
      << err.str();
  EXPECT_FALSE(fs::exists(folder_));
}

TEST_F(SheetFolder, OutputFolderThatCannotBeMadeIsAClearError) {
  fs::create_directories(folder_);
  std::ofstream(folder_ / "a_file") << "x";
  const std::string out_folder = (folder_ / "a_file" / "sheets").string();
  std::ostringstream out, err;
  EXPECT_EQ(write_sheets_running(
                fixture_module(),
                {.gauge = "True_Dial", .out_folder = out_folder}, out, err),
            kSheetNotWritten);
  EXPECT_NE(err.str().find("cannot create the output folder " + out_folder),
            std::string::npos)
      << err.str();
  EXPECT_EQ(
      std::distance(fs::directory_iterator(folder_), fs::directory_iterator()),
      1);
}

TEST_F(SheetFolder, AFailureHalfWayLeavesTheFolderAsItWas) {
  // A listing where a plot is to go: the sheet cannot be put in place.
  fs::create_directories(folder_ / "True_Dial.plot.png");
  std::ofstream(folder_ / "earlier.txt") << "kept";
  std::ostringstream out, err;
  EXPECT_EQ(write_sheets_running(
                fixture_module(),
                {.gauge = "all", .out_folder = folder_.string()}, out, err),
            kSheetNotWritten);
  EXPECT_FALSE(err.str().empty());
  std::vector<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder_))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names,
            (std::vector<std::string>{"True_Dial.plot.png", "earlier.txt"}));
  EXPECT_EQ(read_text(folder_ / "earlier.txt"), "kept");
}

}  // namespace

namespace {

// A gauge of another maker as its file's records give it: a needle on the
// engine speed with a callback that cannot run here, and a failure list.
InspectedGauge foreign_gauge() {
  InspectedGauge gauge;
  gauge.name = "Their_Tachometer";
  gauge.version = 0x320;
  gauge.default_width_mm = 60;
  InspectedElement face;
  face.number = 1;
  face.kind = kStaticImage;
  face.bitmap = 100;
  InspectedElement needle;
  needle.number = 2;
  needle.kind = kNeedle;
  needle.bitmap = 101;
  needle.x = 100;
  needle.y = 100;
  needle.sources = {{.name = "source", .token = kEngineRpm, .var_type = 0}};
  needle.table = {{.x = 100, .y = 200, .value = 0, .angle = 0},
                  {.x = 0, .y = 100, .value = 3000, .angle = 0},
                  {.x = 0, .y = 100, .value = 3500, .angle = 0}};
  needle.fields = {{.name = "max turn rate degrees", .value = int64_t(0)}};
  needle.links = {{.name = "callback", .present = true, .address = 0x1000}};
  needle.failures = std::vector<FailureRow>{{.key = 2, .action = 0}};
  gauge.elements = {face, needle};
  return gauge;
}

TEST(SheetReplica, AForeignGaugeIsDrivenFromItsRecordsAndSaysWhatItLeavesOut) {
  GaugeReplica replica(foreign_gauge(), "Their_Module");
  EXPECT_EQ(replica.left_out(),
            (std::vector<std::string>{
                "element 2 needle: its callback cannot run here"}));
  PanelConfig panel;
  panel.file = "replica";
  PanelWindow window;
  window.width = window.height = 200;
  GaugePlacement placement;
  placement.module = "Their_Module";
  placement.gauge = "Their_Tachometer";
  placement.width = placement.height = 200;
  window.gauges.push_back(placement);
  panel.windows.push_back(window);
  auto created = Host::create(replica.module(), std::move(panel));
  ASSERT_TRUE(std::holds_alternative<std::unique_ptr<Host>>(created));
  Host& host = *std::get<std::unique_ptr<Host>>(created);
  host.start();
  GaugeInstance& gauge = *host.find_instance("Their_Tachometer", 1);
  const GaugePlot plot = sweep_gauge(host, gauge);
  ASSERT_EQ(plot.curves.size(), 1u);
  const Curve& curve = plot.curves[0];
  EXPECT_EQ(curve.variable, "ENGINE_RPM");
  ASSERT_EQ(curve.marks.size(), 3u);
  EXPECT_NEAR(curve.marks[0].result, 180, 1e-9);
  EXPECT_NEAR(curve.marks[1].result, 270, 1e-9);
  EXPECT_EQ(curve.stops, (std::vector<double>{0, 3000}));
  EXPECT_TRUE(curve.departures.empty());
  WindowRenderer renderer(std::make_unique<MemoryBitmaps>());
  const ContactSheet sheet = contact_sheet(host, gauge, renderer, plot);
  EXPECT_EQ(std::count_if(sheet.cells.begin(), sheet.cells.end(),
                          [](const SheetCell& cell) {
                            return cell.label == "failure 2 active";
                          }),
            1);
  host.stop();
}

struct StopsCase {
  const char* name;
  std::vector<CalibrationMark> marks;
  std::vector<double> expected;
};

void PrintTo(const StopsCase& c, std::ostream* out) { *out << c.name; }

// Points along the marks' own line, every 10 units from -100 to 400.
Curve along(const std::vector<CalibrationMark>& marks) {
  Curve curve;
  curve.marks = marks;
  for (int v = -100; v <= 400; v += 10)
    curve.points.push_back({double(v), between_marks(marks, v), false});
  return curve;
}

class SheetStops : public testing::TestWithParam<StopsCase> {};

TEST_P(SheetStops, AreWhereTheTravelEnds) {
  EXPECT_EQ(find_stops(along(GetParam().marks)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Tables, SheetStops,
    testing::ValuesIn(std::vector<StopsCase>{
        {"rising_no_stop", {{0, 10}, {300, 100}}, {0, 300}},
        {"stop_at_both_ends",
         {{0, 10}, {50, 10}, {250, 90}, {300, 90}},
         {50, 250}},
        {"falling", {{0, 100}, {200, 20}, {300, 20}}, {0, 200}},
        {"one_mark", {{0, 10}}, {}},
    }),
    [](const testing::TestParamInfo<StopsCase>& info) {
      return std::string(info.param.name);
    });

}  // namespace
