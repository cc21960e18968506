// Other modules' gauges beside ours, through this host's own loader: the
// tests' module (Other_Gauges.gau) runs, draws and is clicked like ours; its
// gauges that call an unprovided service or fault are stopped alone; modules
// that cannot be used leave placeholders.
#include "host/core/other_modules.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "host/core/host.h"
#include "host/core/loader.h"
#include "host/render/bitmaps.h"
#include "host/render/render.h"

namespace {

namespace fs = std::filesystem;

constexpr uint32_t kDialClickEvent = 0x11000 + 77;
constexpr int32_t kDialX = 170;
constexpr int32_t kDialWidth = 64;
constexpr int32_t kServiceGaugeX = 240;
constexpr int32_t kFaultingGaugeX = 310;
constexpr int32_t kPivot = 32;

std::string panel_text(const std::string& extra_gauge = "") {
  return "[Window00]\n"
         "size_mm=400,200\n"
         "visible=1\n"
         "ident=10\n"
         "background_color=16,16,16\n"
         "gauge00=Corvelain_Instr!Airspeed, 0, 0, 160, 160\n"
         "gauge01=Other_Gauges!Fuel_Dial, 170, 0, 64, 64\n"
         "gauge02=Other_Gauges!Wants_Service_12, 240, 0, 64, 64\n"
         "gauge03=Other_Gauges!Faulting_Dial, 310, 0, 64, 64\n" +
         extra_gauge;
}

PanelConfig parse(const std::string& text, const std::string& file) {
  PanelConfigResult parsed = parse_panel_config(text, file);
  EXPECT_TRUE(std::holds_alternative<PanelConfig>(parsed));
  return std::get<PanelConfig>(std::move(parsed));
}

bool has_note(const std::vector<Observation>& seen, const std::string& text) {
  for (const Observation& note : seen)
    if (note.text == text) return true;
  return false;
}

class OtherModulesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string error;
    ASSERT_TRUE(load_module(CORVELAIN_GAU, ours, error)) << error;
  }
  static void TearDownTestSuite() { unload_module(ours); }

  // The panel in the tests' own folder, the other modules found through
  // the folders given as --gauges would give them.
  void build(const std::string& text, std::vector<std::string> folders = {
                                          OTHER_MODULES, FIXTURE_MODULES}) {
    PanelConfig panel = parse(text, "panel.cfg");
    load_other_modules(panel, ours.name, folders, others);
    panel.notes.insert(panel.notes.end(), others.notes.begin(),
                       others.notes.end());
    auto created = Host::create(ours, std::move(panel), 0, others.loaded);
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<Host>>(created))
        << std::get<std::string>(created);
    host = std::move(std::get<std::unique_ptr<Host>>(created));
    host->start();
  }

  void TearDown() override { host.reset(); }

  static inline LoadedModule ours;
  OtherModules others;
  std::unique_ptr<Host> host;
};

TEST_F(OtherModulesTest, DialShowsItsCallbacksValueItsPictureAndSendsItsEvent) {
  build(panel_text());
  ASSERT_EQ(others.loaded.size(), 1u);
  host->run_frames(2);
  GaugeInstance* dial = host->find_instance("Other_Gauges!Fuel_Dial", 1);
  ASSERT_NE(dial, nullptr);
  EXPECT_EQ(gauge_label(*dial), "Other_Gauges!Fuel_Dial");
  // A gauge of another module answers only to its module's name.
  EXPECT_EQ(host->find_instance("Fuel_Dial", 1), nullptr);
  ElementView needle;
  ASSERT_TRUE(host->element_view(*dial, 2, needle));
  EXPECT_EQ(needle.values[0], 42.0);
  // 0 points left, 50 up: 42 is 14.4 degrees left of up.
  EXPECT_NEAR(needle.angle, 345.6, 1e-9);

  ASSERT_NE(host->press(*dial, 30, 30, kMouseLeftSingle), nullptr);
  const std::vector<SentEvent> sent = host->take_sent_events();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0], (SentEvent{kDialClickEvent, 0}));

  WindowRenderer renderer(module_bitmaps(ours));
  const WindowPicture picture = renderer.render(*host, 0, false);
  ASSERT_EQ(picture.image.width, 400);
  const auto rgb = [&](int32_t x, int32_t y) {
    const uint8_t* p = picture.image.at(x, y);
    return std::vector<int>{p[0], p[1], p[2]};
  };
  // The face from the module's bitmap 100, the orange needle from 101 along
  // its angle, and nothing orange where the value 0 would point.
  const std::vector<int> face{40, 40, 40};
  const std::vector<int> orange{255, 128, 0};
  EXPECT_EQ(rgb(kDialX + kPivot + 10, kPivot + 10), face);
  const double radians = needle.angle * M_PI / 180;
  EXPECT_EQ(rgb(kDialX + kPivot + int32_t(std::lround(15 * std::sin(radians))),
                kPivot - int32_t(std::lround(15 * std::cos(radians)))),
            orange);
  EXPECT_EQ(rgb(kDialX + kPivot - 15, kPivot), face);
}

TEST_F(OtherModulesTest, MisbehavingGaugesAreStoppedAloneAndThePanelRunsOn) {
  build(panel_text());
  host->run_frames(3);
  const std::vector<Observation> seen = host->take_observations();
  EXPECT_TRUE(has_note(seen,
                       "Other_Gauges!Wants_Service_12 called service entry "
                       "12, which this host does not provide: the gauge is "
                       "stopped"));
  EXPECT_TRUE(has_note(seen,
                       "Other_Gauges!Faulting_Dial faulted (Segmentation "
                       "fault at address 0x00000000) in an element callback: "
                       "the gauge is stopped"));
  GaugeInstance* service =
      host->find_instance("Other_Gauges!Wants_Service_12", 1);
  GaugeInstance* faulting =
      host->find_instance("Other_Gauges!Faulting_Dial", 1);
  ASSERT_TRUE(service && faulting);
  EXPECT_TRUE(service->stopped && faulting->stopped);

  // Ours and the well-behaved dial run on; a stopped gauge is never called
  // again, not on more frames nor when its window opens anew.
  ASSERT_TRUE(
      host->aircraft().set(find_aircraft_variable("AIRSPEED")->token, 120));
  host->run_frames(2);
  host->close_window(10);
  host->open_window(10);
  host->run_frames(2);
  for (const Observation& note : host->take_observations())
    EXPECT_EQ(note.text.find("stopped"), std::string::npos) << note.text;
  ElementView view;
  ASSERT_TRUE(host->element_view(*host->find_instance("Airspeed", 1), 2, view));
  EXPECT_EQ(view.values[0], 120.0);
  ASSERT_TRUE(host->element_view(
      *host->find_instance("Other_Gauges!Fuel_Dial", 1), 2, view));
  EXPECT_EQ(view.values[0], 42.0);
  EXPECT_EQ(host->press(*faulting, 30, 30, kMouseLeftSingle), nullptr);

  // A stopped gauge is drawn as a placeholder: none of its face shows.
  WindowRenderer renderer(module_bitmaps(ours));
  const WindowPicture picture = renderer.render(*host, 0, false);
  for (const int32_t x : {kServiceGaugeX, kFaultingGaugeX}) {
    const uint8_t* p = picture.image.at(x + kPivot + 10, kPivot + 10);
    EXPECT_NE(std::vector<int>(p, p + 3), (std::vector<int>{40, 40, 40}));
  }
}

TEST_F(OtherModulesTest, ModuleWhoseInitFaultsHasItsGaugesStopped) {
  build(panel_text("gauge04=Faulting_Init!Fuel_Dial, 170, 80, 64, 64\n"));
  ASSERT_EQ(others.loaded.size(), 2u);
  host->run_frames(2);
  const std::vector<Observation> seen = host->take_observations();
  EXPECT_TRUE(has_note(seen,
                       "module Faulting_Init faulted (Segmentation fault at "
                       "address 0x00000000) in the module's init routine: its "
                       "gauges are stopped"));
  GaugeInstance* dial = host->find_instance("Faulting_Init!Fuel_Dial", 1);
  ASSERT_NE(dial, nullptr);
  EXPECT_TRUE(dial->stopped);
  EXPECT_FALSE(dial->installed);
  // The same gauge of the module whose init ran is not touched.
  EXPECT_FALSE(host->find_instance("Other_Gauges!Fuel_Dial", 1)->stopped);
}

struct UnusableCase {
  const char* test_name;
  const char* placement;  // MODULE!GAUGE
  const char* module;
  const char* why;  // what the note must hold
};

const UnusableCase kUnusable[] = {
    {.test_name = "MissingFile",
     .placement = "Missing_Gauges!Anything",
     .module = "Missing_Gauges",
     .why = "no file Missing_Gauges.gau in the panel's folder"},
    {.test_name = "UnprovidedImports",
     .placement = "Imports_BitBlt!Faulting_Gauge",
     .module = "Imports_BitBlt",
     .why = "it imports what this host does not provide: GDI32.dll!BitBlt"},
    {.test_name = "NotAGaugeModule",
     .placement = "Not_Gauges!Anything",
     .module = "Not_Gauges",
     .why = "it is not a gauge module"},
};

class UnusableModuleTest : public OtherModulesTest,
                           public ::testing::WithParamInterface<UnusableCase> {
};

TEST_P(UnusableModuleTest, IsNotedWithWhyAndItsGaugesStayPlaceholders) {
  const UnusableCase& c = GetParam();
  PanelConfig panel = parse(
      panel_text(std::string("gauge04=") + c.placement + ", 170, 80, 64, 64\n"),
      "panel-folder/panel.cfg");
  load_other_modules(panel, ours.name, {OTHER_MODULES, FIXTURE_MODULES},
                     others);
  ASSERT_EQ(others.notes.size(), 1u);
  const std::string& note = others.notes[0];
  EXPECT_EQ(
      note.rfind(std::string("module ") + c.module + " cannot be used: ", 0),
      0u)
      << note;
  EXPECT_NE(note.find(c.why), std::string::npos) << note;
  EXPECT_TRUE(note.ends_with("; its gauges stay placeholders")) << note;
  // The usable module still loads, once.
  ASSERT_EQ(others.loaded.size(), 1u);
  EXPECT_EQ(others.loaded[0].name, "Other_Gauges");

  build(panel_text(std::string("gauge04=") + c.placement +
                   ", 170, 80, 64, 64\n"));
  host->run_frames(1);
  const GaugePlacement& placed = host->panel().windows[0].gauges[4];
  for (const GaugeInstance& gauge : host->instances())
    EXPECT_NE(gauge.placement, &placed);
  EXPECT_NE(host->find_instance("Other_Gauges!Fuel_Dial", 1), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Modules, UnusableModuleTest,
                         ::testing::ValuesIn(kUnusable),
                         [](const auto& info) { return info.param.test_name; });

TEST(ModuleSearch, PanelFolderFirstCaseIgnoredEachModuleLoadedOnce) {
  const fs::path root = fs::temp_directory_path() / "other_modules_search";
  fs::remove_all(root);
  fs::create_directories(root / "panel");
  fs::create_directories(root / "gauges");
  const fs::path module = fs::path(OTHER_MODULES) / "Other_Gauges.gau";
  fs::copy_file(module, root / "panel" / "other_gauges.GAU");
  fs::copy_file(module, root / "gauges" / "Other_Gauges.gau");

  EXPECT_EQ(module_file_name("Folder\\other_gauges.GAU"), "other_gauges.gau");
  EXPECT_EQ(module_file_name("Other_Gauges"), "Other_Gauges.gau");
  const PanelConfig panel =
      parse(panel_text("gauge04=Some\\Folder\\other_gauges.GAU!Fuel_Dial, "
                       "170, 80, 64, 64\n"),
            (root / "panel" / "panel.cfg").string());
  const std::vector<std::string> folders =
      module_search_folders(panel, {(root / "gauges").string()});
  ASSERT_GE(folders.size(), 2u);
  EXPECT_EQ(folders[0], (root / "panel").string());
  EXPECT_EQ(folders[1], (root / "gauges").string());
  EXPECT_EQ(find_module_file("Other_Gauges.gau", folders),
            (root / "panel" / "other_gauges.GAU").string());
  EXPECT_EQ(find_module_file("Other_Gauges.gau", {folders[1]}),
            (root / "gauges" / "Other_Gauges.gau").string());
  EXPECT_EQ(find_module_file("Missing.gau", folders), "");

  // Named three times, in two spellings: loaded once.
  OtherModules others;
  load_other_modules(panel, "Corvelain_Instr", {(root / "gauges").string()},
                     others);
  EXPECT_TRUE(others.notes.empty());
  EXPECT_EQ(others.loaded.size(), 1u);
  unload_other_modules(others);
  fs::remove_all(root);
}

}  // namespace
