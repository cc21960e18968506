// The scenario language's command table: what each command accepts and
// refuses, that every command it accepts is in the printed table, and the
// picture and light commands through a run.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <sstream>
#include <string>

#include "elements/declare.h"
#include "host/core/host.h"
#include "host/render/stb_files.h"
#include "host/script/scenario.h"

namespace {

extern GaugeHeader face_gauge;
NonlinearityEntry face_table[] = {mark(0, 10, 0), mark(100, 20, 10)};
constexpr FailureEntry face_failures[] = {{3, 1, 0}, {19, 2, 0}, kFailuresEnd};
ElementChain face_chain{
    &face_gauge,
    static_image({.bitmap = 1, .at = {0, 0}, .flags = 0x3}),
    needle({.bitmap = 2,
            .at = {10, 10},
            .pivot = {0, 0},
            .token = 74,
            .table = face_table,
            .flags = 0x4003,
            .failures = face_failures}),
};
GaugeHeader face_gauge = gauge_header({.name = "Face",
                                       .width_mm = 20,
                                       .elements = face_chain.list(),
                                       .mouse_areas = nullptr});
constinit ImportTableRecord face_imports = {{{0x0F, nullptr}, {0, nullptr}}};
LinkageRecord face_linkage = {.module_id = 0x13,
                              .init = nullptr,
                              .deinit = nullptr,
                              .flags = 0,
                              .status = 0,
                              .version = 0x900,
                              .gauges = {&face_gauge, nullptr}};

std::unique_ptr<Host> make_host() {
  auto parsed = parse_panel_config(R"([Window00]
ident=MAIN_PANEL
size_mm=20,20
position=0
visible=1
gauge00=Test_Module!Face, 0, 0, 20, 20

[Window01]
ident=30
size_mm=20,20
position=0
visible=0
)",
                                   "test.cfg");
  auto created =
      Host::create({&face_imports, &face_linkage, nullptr, "Test_Module"},
                   std::get<PanelConfig>(std::move(parsed)));
  return std::move(std::get<std::unique_ptr<Host>>(created));
}

struct LineCase {
  const char* line;
  const char* problem;  // empty: accepted
};

void PrintTo(const LineCase& c, std::ostream* out) { *out << c.line; }

const LineCase kLines[] = {
    {"say hello world", ""},
    {"say", ""},
    {"set ALTITUDE 100", ""},
    {"set ALTITUD 1",
     "unknown variable 'ALTITUD' (nearest: ALTITUDE, PITCH, ADF_CARD)"},
    {"set PLANE_HEADING 1",
     "unknown variable 'PLANE_HEADING' (nearest: "
     "GYRO_HEADING, MAGNETIC_HEADING, PITOT_HEAT)"},
    {"set 99999 1", "unknown variable '99999'"},
    {"set ALTITUDE x", "'x' is not a number"},
    {"set ALTITUDE", "'set' takes VARIABLE VALUE"},
    {"frames 18", ""},
    {"frames -1", "bad frame count '-1'"},
    {"frames 99999999", "bad frame count '99999999'"},
    {"seconds 0.5", ""},
    {"seconds x", "bad number of seconds 'x'"},
    {"click Face 1 2", ""},
    {"click Face 1 2 right", ""},
    {"click Face 1 2 middle", "'click' takes left or right"},
    {"click Face#2 1 2", "the panel places no gauge Face#2"},
    {"click Face#0 1 2", "bad gauge reference 'Face#0'"},
    {"click Face 1.5 2", "'1.5' is not a whole number"},
    {"click Face 1 2 left 4", "'click' takes GAUGE X Y [left|right]"},
    {"hold Face 1 2 0.5 left", ""},
    {"hold Face 1 2 -1", "bad number of seconds '-1'"},
    {"drag Face 1 2 3 4", ""},
    {"drag Face 1 2 3 4 1001", "bad number of drag steps '1001'"},
    {"hover Face 1 2", ""},
    {"open 30", ""},
    {"close MAIN_PANEL", ""},
    {"toggle 30", ""},
    {"open 77", "no section of the panel holds window 77"},
    {"open FOO",
     "'FOO' is not a window identifier (nearest: GPS_PANEL, "
     "MAIN_PANEL, COMPASS_PANEL)"},
    {"toggle RADIO_STAK_PANEL",
     "'RADIO_STAK_PANEL' is not a window identifier (nearest: "
     "RADIO_STACK_PANEL, MAIN_PANEL, THROTTLE_PANEL)"},
    {"fail 3 on", ""},
    {"fail 19 off", ""},
    {"fail 12 on", "unknown failure key '12' (nearest: 19, 3)"},
    {"fail 11 on", "unknown failure key '11' (nearest: 3, 19)"},
    {"fail -2147483648 on",
     "unknown failure key '-2147483648' (nearest: 3, 19)"},
    {"fail x on", "'x' is not a whole number"},
    {"fail 3 maybe", "'fail' takes on or off"},
    {"model off", ""},
    {"light night", ""},
    {"light dusk", "'light' takes day or night"},
    {"picture MAIN_PANEL x.png", ""},
    {"picture MAIN_PANEL", "'picture' takes WINDOW FILE"},
    {"picture window01 x.png", ""},
    {"picture [Window00] x.png", ""},
    {"picture Vcockpit09 x.png",
     "'Vcockpit09' is neither a window identifier nor a section (nearest: "
     "Window00, Window01, MAIN_PANEL)"},
    {"picture 77 x.png", "no section of the panel holds window 77"},
    {"show var ALTITUDE", ""},
    {"show ident", ""},
    {"show ident NAV1", "'show ident' takes no arguments"},
    {"show Face 2", ""},
    {"show Face x", "'x' is not a whole number"},
    {"expect events", ""},
    {"expect events 65883=0 65884", ""},
    {"expect events 65883=x", "'65883=x' is not EVENT or EVENT=VALUE"},
    {"expect var ALTITUDE 1 0.5", ""},
    {"expect element Face 2 angle 90 0.1", ""},
    {"expect element Face 2 text \"a b\"", ""},
    {"expect element Face 2 drawn yes", ""},
    {"expect element Face 2 angle x", "'x' is not a number"},
    {"expect element Face 2 colour 1", "unknown element field 'colour'"},
    {"expect tooltip Face 1 2 \"help 1\"", ""},
    {"expect window MAIN_PANEL open", ""},
    {"expect window MAIN_PANEL ajar", "'expect window' takes open or closed"},
    {"expect", "'expect' takes events, var, element, tooltip or window"},
    {"expect colour", "'expect' takes events, var, element, tooltip or window"},
    {"move Face 3 4", ""},
    {"move Fase 3 4", "the panel places no gauge Fase (nearest: Face)"},
    {"move Face 3", "'move' takes GAUGE X Y"},
    {"resize Face 0 4", "a size must be positive, not 0 x 4"},
    {"add Test_Module!Face 30 1 2", ""},
    {"add Test_Module!Face MAIN_PANEL 1 2 30 40 \"t 1\"", ""},
    {"add Test_Module!Face MAIN_PANEL 1 2 \"t 1\"", ""},
    {"add Face MAIN_PANEL 1 2", "'Face' is not MODULE!GAUGE"},
    {"add Test_Module!Face MAIN_PANEL 1 2 0 4",
     "a gauge's size must be positive, not 0 x 4"},
    {"add Test_Module!Face MAIN_PANEL 1 2 a b",
     "'add' takes MODULE!GAUGE WINDOW X Y [W H] [\"PARAMETER TEXT\"]"},
    {"remove Face#2", "the panel places no gauge Face#2 (nearest: Face)"},
    {"window 30 size 10 10", ""},
    {"window 30 width 10 10", "'window' takes size"},
    {"window 30 size 10 -1", "a size must be positive, not 10 x -1"},
    {"undo", ""},
    {"redo 2", "'redo' takes no arguments"},
    {"save", ""},
    {"save copy.cfg", ""},
    {"jump", "unknown command 'jump'"},
    {"say \"unterminated", "unterminated quoted text"},
};

class ScenarioLines : public testing::TestWithParam<LineCase> {};

TEST_P(ScenarioLines, AreCheckedBeforeAnythingRuns) {
  auto host = make_host();
  ScenarioScript script;
  std::string error;
  const bool ok = parse_scenario(std::string("# first\n") + GetParam().line,
                                 "t.scn", *host, script, error);
  const std::string problem = GetParam().problem;
  if (problem.empty()) {
    EXPECT_TRUE(ok) << error;
    // Whatever the checks accept, the printed table lists.
    std::ostringstream table;
    print_scenario_commands(table);
    const auto& words = script.commands.at(0).words;
    const bool two =
        words.size() > 1 && table.str().find("| `" + words[0] + " " + words[1] +
                                             " ") != std::string::npos;
    EXPECT_TRUE(two || table.str().find("| `" + words[0]) != std::string::npos)
        << table.str();
  } else {
    EXPECT_FALSE(ok);
    EXPECT_EQ(error, "t.scn:2: " + problem);
  }
}

// Each row is named after its line: "click_Face_1_2_middle_13".
INSTANTIATE_TEST_SUITE_P(All, ScenarioLines, testing::ValuesIn(kLines),
                         [](const testing::TestParamInfo<LineCase>& info) {
                           std::string name;
                           for (const char* c = info.param.line; *c; ++c)
                             name +=
                                 std::isalnum(static_cast<unsigned char>(*c))
                                     ? *c
                                     : '_';
                           return name + "_" + std::to_string(info.index);
                         });

TEST(ScenarioPictures, FollowTheLightAndTheClosedWindows) {
  auto host = make_host();
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / "scenario_commands_test";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  const std::string day = (folder / "day.png").string();
  const std::string night = (folder / "night.png").string();
  ScenarioScript script;
  std::string error;
  ASSERT_TRUE(
      parse_scenario("set ALTITUDE 100\nmodel off\nframes 1\n"
                     "picture MAIN_PANEL \"" +
                         day +
                         "\"\nlight night\nset PANEL_LIGHTS 1\n"
                         "picture MAIN_PANEL \"" +
                         night + "\"\npicture 30 closed.png\n",
                     "t.scn", *host, script, error))
      << error;
  auto bitmaps = std::make_unique<MemoryBitmaps>();
  Image face(20, 20);
  for (size_t i = 0; i < face.rgb.size(); ++i) face.rgb[i] = 200;
  Image hand(3, 1);
  for (size_t i = 0; i < hand.rgb.size(); ++i) hand.rgb[i] = 255;
  bitmaps->add(1, face);
  bitmaps->add(2, hand);
  WindowRenderer renderer(std::move(bitmaps));
  std::ostringstream transcript, errors;
  const ScenarioOutcome outcome = run_scenario(
      script, *host, transcript, errors,
      {.renderer = &renderer, .pictures_folder = (folder / "end").string()});
  EXPECT_EQ(outcome.failed_pictures, 0) << errors.str();
  EXPECT_NE(transcript.str().find("  window 30 is not open\n"),
            std::string::npos)
      << transcript.str();
  EXPECT_NE(transcript.str().find("> pictures\n  Window00.png: 20 x 20\n"),
            std::string::npos)
      << transcript.str();

  // The needle points right from (10,10): white by day; by night with the
  // panel lights on it is luminous and the face takes the night tint.
  Image seen;
  ASSERT_TRUE(read_image_file(day, seen, error)) << error;
  EXPECT_EQ(seen.at(11, 10)[0], 255);
  EXPECT_EQ(seen.at(5, 5)[0], 200);
  ASSERT_TRUE(read_image_file(night, seen, error)) << error;
  EXPECT_EQ(seen.at(11, 10)[0], 255);
  EXPECT_EQ(seen.at(11, 10)[2], 170);
  EXPECT_LT(seen.at(5, 5)[0], 100);
  std::filesystem::remove_all(folder);
}

TEST(ScenarioPictures, APictureThatCannotBeWrittenIsAFailure) {
  auto host = make_host();
  ScenarioScript script;
  std::string error;
  ASSERT_TRUE(parse_scenario("picture MAIN_PANEL /nonexistent-folder/x.png",
                             "t.scn", *host, script, error));
  WindowRenderer renderer(std::make_unique<MemoryBitmaps>());
  std::ostringstream transcript, errors;
  const ScenarioOutcome outcome =
      run_scenario(script, *host, transcript, errors, {.renderer = &renderer});
  EXPECT_EQ(outcome.failed_pictures, 1);
  EXPECT_EQ(errors.str(), "t.scn:1: cannot write /nonexistent-folder/x.png\n");
  // The missing bitmaps are notes, not failures.
  EXPECT_NE(transcript.str().find(
                "  note: Face element 1: the module holds no bitmap 1\n"),
            std::string::npos)
      << transcript.str();
}

}  // namespace
