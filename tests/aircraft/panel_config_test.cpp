#include "host/panel_file/panel_config.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "host/render/stb_files.h"

namespace {

PanelConfig parsed(const std::string& text,
                   const std::string& file = "aircraft/panel/panel.cfg") {
  auto result = parse_panel_config(text, file);
  if (auto* error = std::get_if<PanelConfigError>(&result)) {
    ADD_FAILURE() << error->message();
    return {};
  }
  return std::get<PanelConfig>(result);
}

template <typename Case>
std::string case_name(const testing::TestParamInfo<Case>& info) {
  return info.param.name;
}

// One gauge line in a window, and the placement it gives.
struct GaugeLineCase {
  const char* name;
  const char* line;
  const char* module;
  const char* gauge;
  int32_t x, y;
  std::optional<int32_t> width, height;
  const char* parameter_text;
  int number;
};

class GaugeLineTest : public testing::TestWithParam<GaugeLineCase> {};

TEST_P(GaugeLineTest, GivesItsPlacement) {
  const GaugeLineCase& c = GetParam();
  PanelConfig config = parsed(std::string("[Window00]\n") + c.line + "\n");
  ASSERT_EQ(config.windows.size(), 1u);
  ASSERT_EQ(config.windows[0].gauges.size(), 1u);
  const GaugePlacement& g = config.windows[0].gauges[0];
  EXPECT_EQ(g.module, c.module);
  EXPECT_EQ(g.gauge, c.gauge);
  EXPECT_EQ(g.x, c.x);
  EXPECT_EQ(g.y, c.y);
  EXPECT_EQ(g.width, c.width);
  EXPECT_EQ(g.height, c.height);
  EXPECT_EQ(g.parameter_text, c.parameter_text);
  EXPECT_EQ(g.number, c.number);
  EXPECT_EQ(g.line, 2);
}

constexpr std::nullopt_t none = std::nullopt;

INSTANTIATE_TEST_SUITE_P(
    PanelConfig, GaugeLineTest,
    testing::ValuesIn(std::vector<GaugeLineCase>{
        {"position_only", "gauge00=Corvelain_Instr!Airspeed, 10, 20",
         "Corvelain_Instr", "Airspeed", 10, 20, none, none, "", 0},
        {"width_only", "gauge01=Corvelain_Instr!Airspeed,10,20,100",
         "Corvelain_Instr", "Airspeed", 10, 20, 100, none, "", 1},
        {"width_and_height", "gauge02=Corvelain_Instr!Altimeter,1,2,3,4",
         "Corvelain_Instr", "Altimeter", 1, 2, 3, 4, "", 2},
        {"folders_in_module", "gauge00=Folder\\Sub!Name, 0, 0, 50, 50",
         "Folder\\Sub", "Name", 0, 0, 50, 50, "", 0},
        {"gauge_name_with_spaces", "gauge00=KAP140!KAP 140 Autopilot, 5, 6",
         "KAP140", "KAP 140 Autopilot", 5, 6, none, none, "", 0},
        {"negative_position", "gauge00=M!G, -12, -340, 10", "M", "G", -12, -340,
         10, none, "", 0},
        {"empty_height_then_text", "gauge00=M!G, 1, 2, 30,,o50c10", "M", "G", 1,
         2, 30, none, "o50c10", 0},
        {"empty_width_and_height", "gauge00=M!G, 1, 2, , , t20", "M", "G", 1, 2,
         none, none, "t20", 0},
        {"empty_width_with_height", "gauge00=M!G,1,2,,40", "M", "G", 1, 2, none,
         40, "", 0},
        {"text_after_position", "gauge00=M!G, 1, 2, b150h43913", "M", "G", 1, 2,
         none, none, "b150h43913", 0},
        {"text_with_commas", "gauge00=M!G,0,0,150,25, tF-AB_1,2 ,x", "M", "G",
         0, 0, 150, 25, "tF-AB_1,2 ,x", 0},
        {"number_as_text_after_four", "gauge00=M!G,0,0,1,2,3", "M", "G", 0, 0,
         1, 2, "3", 0},
        {"tabs_and_blanks_everywhere",
         "\tgauge03 \t=\t Corvelain_Instr ! Vertical_Speed\t,\t7 , 8 ,\t9 , "
         "10 \t",
         "Corvelain_Instr", "Vertical_Speed", 7, 8, 9, 10, "", 3},
        {"gauge_number_skips", "gauge17=M!G,0,0", "M", "G", 0, 0, none, none,
         "", 17},
        {"gauge_key_in_capitals", "GAUGE05=M!G,0,0", "M", "G", 0, 0, none, none,
         "", 5},
        {"module_with_extension", "gauge00=corvelain_instr.GAU!Airspeed,0,0",
         "corvelain_instr.GAU", "Airspeed", 0, 0, none, none, "", 0},
        {"comment_after_line", "gauge00=M!G,0,0,10 // the clock", "M", "G", 0,
         0, 10, none, "", 0},
        {"trailing_comma", "gauge00=M!G,4,5,", "M", "G", 4, 5, none, none, "",
         0},
    }),
    case_name<GaugeLineCase>);

// The keys of one window and what they leave in it.
struct WindowKeyCase {
  const char* name;
  const char* section;  // the whole section, header included
  std::optional<uint32_t> ident;
  int32_t width, height;
  std::optional<int> anchor;
  std::optional<double> screen_x, screen_y, screen_width, screen_height;
  bool visible;
  const char* background;  // as written; resolved in aircraft/panel/
  std::optional<Rgb> background_color;
  PanelWindow::Kind kind;
};

class WindowKeyTest : public testing::TestWithParam<WindowKeyCase> {};

TEST_P(WindowKeyTest, FillsTheWindow) {
  const WindowKeyCase& c = GetParam();
  PanelConfig config = parsed(c.section);
  ASSERT_EQ(config.windows.size(), 1u);
  const PanelWindow& w = config.windows[0];
  EXPECT_EQ(w.ident, c.ident);
  EXPECT_EQ(w.width, c.width);
  EXPECT_EQ(w.height, c.height);
  EXPECT_EQ(w.screen.anchor, c.anchor);
  EXPECT_EQ(w.screen.x, c.screen_x);
  EXPECT_EQ(w.screen.y, c.screen_y);
  EXPECT_EQ(w.screen.width, c.screen_width);
  EXPECT_EQ(w.screen.height, c.screen_height);
  EXPECT_EQ(w.visible, c.visible);
  EXPECT_EQ(w.background, c.background);
  if (*c.background) {
    std::string path = std::string("aircraft/panel/") + c.background;
    std::replace(path.begin(), path.end(), '\\', '/');
    EXPECT_EQ(w.background_path, path);
  }
  EXPECT_EQ(w.background_color, c.background_color);
  EXPECT_EQ(w.kind, c.kind);
  EXPECT_TRUE(config.notes.empty()) << config.notes[0];
}

constexpr auto kWindow = PanelWindow::Kind::kWindow;

INSTANTIATE_TEST_SUITE_P(
    PanelConfig, WindowKeyTest,
    testing::ValuesIn(std::vector<WindowKeyCase>{
        {"nothing_but_the_header", "[Window00]\n", none, 0, 0, none, none, none,
         none, none, true, "", none, kWindow},
        {"ident_by_name", "[Window01]\nident=RADIO_STACK_PANEL\n", 50u, 0, 0,
         none, none, none, none, none, true, "", none, kWindow},
        {"ident_zero", "[Window01]\nIdent = 0\n", 0u, 0, 0, none, none, none,
         none, none, true, "", none, kWindow},
        {"ident_number", "[Window09]\nident=10010\n", 10010u, 0, 0, none, none,
         none, none, none, true, "", none, kWindow},
        {"size_mm_width_only", "[Window00]\nsize_mm=1280\n", none, 1280, 0,
         none, none, none, none, none, true, "", none, kWindow},
        {"size_mm_both", "[Window00]\nsize_mm= 1024 , 768\n", none, 1024, 768,
         none, none, none, none, none, true, "", none, kWindow},
        {"anchor_bottom_centre", "[Window00]\nposition=7\n", none, 0, 0, 7,
         none, none, none, none, true, "", none, kWindow},
        {"anchor_top_left", "[Window00]\nposition = 0\n", none, 0, 0, 0, none,
         none, none, none, true, "", none, kWindow},
        {"window_size_two_fractions", "[Window00]\nwindow_size= 0.333, 1.000\n",
         none, 0, 0, none, none, none, 0.333, 1.0, true, "", none, kWindow},
        {"window_size_one_fraction", "[Window00]\nwindow_size=0.5\n", none, 0,
         0, none, none, none, 0.5, none, true, "", none, kWindow},
        {"window_pos", "[Window00]\nwindow_pos=0.25,0.750\n", none, 0, 0, none,
         0.25, 0.75, none, none, true, "", none, kWindow},
        {"hidden", "[Window00]\nvisible=0\n", none, 0, 0, none, none, none,
         none, none, false, "", none, kWindow},
        {"file_key", "[Window00]\nfile=panel.bmp\n", none, 0, 0, none, none,
         none, none, none, true, "panel.bmp", none, kWindow},
        {"file_1024_wins_over_file",
         "[Window00]\nfile=small.bmp\nfile_1024=panel_1024.bmp\n"
         "file_1024_night=panel_night.bmp\nfile_640=panel_640.bmp\n",
         none, 0, 0, none, none, none, none, none, true, "panel_1024.bmp", none,
         kWindow},
        {"background_in_a_folder", "[Window00]\nFILE=Art\\Main Panel.bmp\n",
         none, 0, 0, none, none, none, none, none, true, "Art\\Main Panel.bmp",
         none, kWindow},
        {"background_color_any_case", "[Window00]\nBackground_Color=16,32,48\n",
         none, 0, 0, none, none, none, none, none, true, "",
         Rgb{.red = 16, .green = 32, .blue = 48}, kWindow},
        {"keys_the_host_keeps_or_skips",
         "[Window00]\nwindow_size_ratio=1.000\nwindowsize_ratio=1.0\nzorder=2\n"
         "nomenu=1\nsizeable=0\nchild_3d=1\ntype=SPECIAL\n"
         "render_3d_window=0\nsomething_new=3,4\n",
         none, 0, 0, none, none, none, none, none, true, "", none, kWindow},
        {"virtual_cockpit",
         "[Vcockpit01]\nBackground_color=0,0,0\nsize_mm=512,512\n"
         "visible=0\npixel_size=512,512\ntexture=$VC01\n",
         none, 512, 512, none, none, none, none, none, true, "",
         Rgb{.red = 0, .green = 0, .blue = 0},
         PanelWindow::Kind::kVirtualCockpit},
        {"pixel_size_without_size_mm", "[VCockpit02]\npixel_size=256\n", none,
         256, 0, none, none, none, none, none, true, "", none,
         PanelWindow::Kind::kVirtualCockpit},
    }),
    case_name<WindowKeyCase>);

// A panel as an aircraft ships it: CR LF ends, Windows-1252 bytes, other
// modules' gauges, sections the host skips.
constexpr const char* kShippedPanel =
    "// Panel for the Corvelain \xA9 2004\r\n"
    "[Window Titles]\r\n"
    "Window00=Main Panel\r\n"
    "Window02=GPS\r\n"
    "Window05=Radio Stack\r\n"
    "\r\n"
    "[VIEWS]\r\n"
    "VIEW_FORWARD_WINDOWS=MAIN_PANEL,GPS_PANEL\r\n"
    "a line without an equals sign in a skipped section\r\n"
    "\r\n"
    "[Color]\r\n"
    "Day=255,255,255\r\n"
    "Night=223,99,90\r\n"
    "Luminous=188,160,128\r\n"
    "\r\n"
    "[Window00]\r\n"
    "file_1024=panel_background.bmp\r\n"
    "size_mm=1024\r\n"
    "position=7\r\n"
    "visible=1\r\n"
    "ident=MAIN_PANEL\r\n"
    "window_size= 1.000, 0.520\r\n"
    "gauge00=Corvelain_Instr!Airspeed,  20, 20, 160\r\n"
    "gauge02=SimIcons1024!Map Icon, 980, 10\r\n"
    "gauge03=Corvelain_Instr!Radios_Toggle, 5,5, 19, 19, o50c10\r\n"
    "\r\n"
    "[Window02]\r\n"
    "size_mm=456,339\r\n"
    "window_pos=0.55,0.10\r\n"
    "visible=0\r\n"
    "ident=GPS_PANEL\r\n"
    "gauge00=fs9gps!gps_500, 0, 0, 456, 339\r\n"
    "\r\n"
    "[Window05]\r\n"
    "size_mm=350,520\r\n"
    "visible=0\r\n"
    "ident=50\r\n"
    "\r\n"
    "[Vcockpit01]\r\n"
    "Background_color=0,0,0\r\n"
    "size_mm=512,512\r\n"
    "visible=0\r\n"
    "pixel_size=512,512\r\n"
    "texture=$VC01\r\n"
    "gauge00=Corvelain_Instr!Altimeter, 10, 10, 160, 160\r\n"
    "\r\n"
    "[Default View]\r\n"
    "X=0\r\n"
    "[VPainting01]\r\n"
    "line without equals\r\n";

TEST(PanelConfig, ReadsAPanelAsAircraftShipIt) {
  PanelConfig config = parsed(kShippedPanel);
  ASSERT_EQ(config.windows.size(), 4u);
  EXPECT_EQ(config.folder, "aircraft/panel");
  EXPECT_EQ(config.colors.night, (Rgb{.red = 223, .green = 99, .blue = 90}));
  EXPECT_EQ(config.colors.luminous,
            (Rgb{.red = 188, .green = 160, .blue = 128}));

  const PanelWindow& main = config.windows[0];
  EXPECT_EQ(main.title, "Main Panel");
  EXPECT_EQ(main.background_path, "aircraft/panel/panel_background.bmp");
  ASSERT_EQ(main.gauges.size(), 3u);
  EXPECT_EQ(main.gauges[1].gauge, "Map Icon");
  EXPECT_EQ(main.gauges[2].parameter_text, "o50c10");
  EXPECT_EQ(main.gauges[2].line, 25);

  EXPECT_EQ(config.windows[1].title, "GPS");
  EXPECT_EQ(config.windows[1].ident, 225u);
  EXPECT_EQ(config.windows[2].title, "Radio Stack");
  EXPECT_EQ(config.windows[2].section_name(), "[Window05]");
  const PanelWindow& vc = config.windows[3];
  EXPECT_EQ(vc.section_name(), "[Vcockpit01]");
  EXPECT_EQ(vc.title, "");
  EXPECT_TRUE(vc.visible);
  EXPECT_EQ(vc.texture, "$VC01");
  EXPECT_EQ(vc.gauges.size(), 1u);
  EXPECT_TRUE(config.notes.empty());
}

// What the reader takes but tells the user about.
struct NoteCase {
  const char* name;
  const char* text;
  const char* note;  // the whole first note
};

class PanelNoteTest : public testing::TestWithParam<NoteCase> {};

TEST_P(PanelNoteTest, IsTakenWithANote) {
  PanelConfig config = parsed(GetParam().text, "p.cfg");
  ASSERT_FALSE(config.notes.empty());
  EXPECT_EQ(config.notes[0], GetParam().note);
}

INSTANTIATE_TEST_SUITE_P(
    PanelConfig, PanelNoteTest,
    testing::ValuesIn(std::vector<NoteCase>{
        {"same_ident_twice",
         "[Window00]\nident=50\n[Window01]\nident=RADIO_STACK_PANEL\n",
         "p.cfg:3: [Window01] has ident 50 like [Window00]; the first "
         "answers open, close and toggle"},
        {"gauge_number_twice", "[Window00]\ngauge01=M!A,0,0\ngauge1=M!B,0,0\n",
         "p.cfg:3: gauge01 is placed again in [Window00]; the placement of "
         "line 2 holds"},
        {"key_twice", "[Window00]\nsize_mm=10,10\nSIZE_MM=20,20\n",
         "p.cfg:3: size_mm is given again in [Window00]; line 2 holds"},
        {"ident_name_unknown", "[Window00]\nident=SIDE_PANEL\n",
         "p.cfg:2: ident \"SIDE_PANEL\" of [Window00] is neither a number nor "
         "a window name; the window cannot be opened by ident"},
        {"window_section_not_numbered", "[WindowA1]\nident=1\n[Window00]\n",
         "p.cfg:1: section [WindowA1] is not [WindowNN] or [VcockpitNN]; "
         "skipped"},
    }),
    case_name<NoteCase>);

TEST(PanelConfig, FirstOfTwoKeysHolds) {
  PanelConfig config = parsed("[Window00]\nsize_mm=10,10\nsize_mm=20,20\n");
  ASSERT_EQ(config.windows.size(), 1u);
  EXPECT_EQ(config.windows[0].width, 10);
  config = parsed("[Window00]\ngauge01=M!A,0,0\ngauge01=M!B,0,0\n");
  ASSERT_EQ(config.windows[0].gauges.size(), 1u);
  EXPECT_EQ(config.windows[0].gauges[0].gauge, "A");
}

struct BadPanel {
  const char* name;
  std::string text;
  int line;
  const char* reason;  // a part of the reason
};

class BadPanelTest : public testing::TestWithParam<BadPanel> {};

TEST_P(BadPanelTest, NamesFileLineAndReason) {
  auto result = parse_panel_config(GetParam().text, "aircraft/panel.cfg");
  ASSERT_TRUE(std::holds_alternative<PanelConfigError>(result));
  const PanelConfigError& error = std::get<PanelConfigError>(result);
  EXPECT_EQ(error.file, "aircraft/panel.cfg");
  EXPECT_EQ(error.line, GetParam().line);
  EXPECT_NE(error.reason.find(GetParam().reason), std::string::npos)
      << error.reason;
  // Line 0: the file as a whole is no panel file.
  EXPECT_EQ(error.message(),
            "aircraft/panel.cfg:" +
                (GetParam().line > 0 ? std::to_string(GetParam().line) + ": "
                                     : std::string(" ")) +
                error.reason);
}

#define WINDOW "[Window00]\nident=0\nsize_mm=10,10\n"

INSTANTIATE_TEST_SUITE_P(
    PanelConfig, BadPanelTest,
    testing::ValuesIn(std::vector<BadPanel>{
        {"no_equals", WINDOW "gauge00 Corvelain_Instr!Airspeed,0,0\n", 4,
         "key=value"},
        {"gauge_without_module", WINDOW "gauge00=Airspeed,0,0\n", 4,
         "Module!Gauge_Name"},
        {"gauge_with_empty_name", WINDOW "gauge00=Corvelain_Instr!,0,0\n", 4,
         "Module!Gauge_Name"},
        {"gauge_with_empty_module", WINDOW "gauge00= !Airspeed,0,0\n", 4,
         "Module!Gauge_Name"},
        {"gauge_without_position", WINDOW "gauge00=Corvelain_Instr!Airspeed\n",
         4, "x, y"},
        {"gauge_without_y", WINDOW "gauge00=Corvelain_Instr!Airspeed, 10\n", 4,
         "x, y"},
        {"gauge_with_empty_x", WINDOW "gauge00=M!G, , 10\n", 4, "bad x \"\""},
        {"gauge_with_bad_x", WINDOW "gauge00=Corvelain_Instr!Airspeed, 1O,0\n",
         4, "bad x \"1O\""},
        {"gauge_with_text_for_y",
         WINDOW "gauge00=Corvelain_Instr!Airspeed, 1,o50\n", 4, "bad y"},
        {"gauge_with_zero_width",
         WINDOW "gauge00=Corvelain_Instr!Airspeed,1,1,0\n", 4, "positive"},
        {"gauge_x_overflows", WINDOW "gauge00=M!G, 99999999999, 0\n", 4,
         "bad x"},
        {"gauge_key_without_number", WINDOW "gaugeXX=M!A,0,0\n", 4, "gaugeNN"},
        {"duplicate_window", WINDOW "\n[window00]\nsize_mm=1,1\n", 5,
         "[Window00] repeats the section of line 1"},
        {"negative_size", "[Window00]\nsize_mm=-800\n", 2, "positive width"},
        {"size_not_a_number", "[Window00]\nsize_mm=800,4OO\n", 2,
         "bad size_mm \"800,4OO\""},
        {"size_with_three_numbers", "[Window00]\npixel_size=1,2,3\n", 2,
         "bad pixel_size"},
        {"position_as_coordinates", "[Window00]\nposition=100,100\n", 2,
         "anchor 0 (top left) to 8"},
        {"position_beyond_eight", "[Window00]\nposition=9\n", 2, "anchor"},
        {"window_pos_not_a_number", "[Window00]\nwindow_pos=left,0\n", 2,
         "fractions"},
        {"window_size_infinite", "[Window00]\nwindow_size=inf\n", 2,
         "fractions"},
        {"visible_word", "[Window00]\nvisible=yes\n", 2, "0 or 1"},
        {"background_color_too_bright",
         "[Window00]\nbackground_color=0,0,256\n", 2, "R,G,B"},
        {"background_color_two_numbers", "[Window00]\nbackground_color=1,2\n",
         2, "R,G,B"},
        {"color_not_numbers", "[Color]\nDay=white\n", 2, "bad Day \"white\""},
        {"unclosed_window_section", "[Window01\nsize_mm=10,10\n", 1, "']'"},
        {"unclosed_other_section", "[Window Titles\nWindow00=Main\n", 1, "']'"},
        {"empty", "", 0, "has no [WindowNN] or [VcockpitNN] section"},
        {"only_other_sections", "[Window Titles]\nWindow00=Main\n[Color]\n", 0,
         "has no [WindowNN] or [VcockpitNN] section"},
        {"a_script", "say hello\nframes 1\n", 0, "has no [WindowNN]"},
        {"not_text", std::string("[Window00]\nsize_mm=1\0\n", 22), 0,
         "is not text (a NUL byte at offset 20)"},
        {"utf16", std::string("\xFF\xFE[\0W\0", 6), 0, "is UTF-16 text"},
    }),
    case_name<BadPanel>);

TEST(PanelConfig, WindowIdentsByNameOrNumber) {
  EXPECT_EQ(parse_window_ident("RADIO_STACK_PANEL"), 50u);
  EXPECT_EQ(parse_window_ident("ANNUNCIATOR2_PANEL"), 150u);
  EXPECT_EQ(parse_window_ident("throttle_panel"), 10u);
  EXPECT_EQ(parse_window_ident(" 10001 "), 10001u);
  EXPECT_EQ(parse_window_ident("MAIN_PANELS"), std::nullopt);
  EXPECT_EQ(parse_window_ident(""), std::nullopt);
  EXPECT_EQ(parse_window_ident("4294967296"), std::nullopt);
}

// Windows whose size leaves a side open take it from their background, or
// else from their gauges.
TEST(PanelConfig, OpenSidesFollowTheBackgroundOrTheGauges) {
  PanelConfig config = parsed(
      "[Window00]\nsize_mm=1280\nfile=wide.bmp\n"
      "[Window01]\nfile=wide.bmp\n"
      "[Window02]\nsize_mm=300\ngauge00=M!G,10,20,100\ngauge01=M!H,-50,5,30,"
      "400\n"
      "[Window03]\nfile=absent.bmp\ngauge00=M!G,0,0,64,32\n"
      "[Window04]\nsize_mm=64,48\nfile=absent.bmp\n"
      "[Window05]\n",
      "p.cfg");
  std::vector<std::string> asked;
  resolve_window_sizes(
      config,
      [&](const std::string& path)
          -> std::optional<std::pair<int32_t, int32_t>> {
        asked.push_back(path);
        if (path == "wide.bmp") return std::pair{1024, 400};
        return std::nullopt;
      },
      [](const GaugePlacement& g) {
        return std::pair{g.width.value_or(0), g.height.value_or(10)};
      });
  auto size = [&](int w) {
    return std::pair{config.windows[w].width, config.windows[w].height};
  };
  EXPECT_EQ(size(0), (std::pair{1280, 500}));
  EXPECT_EQ(size(1), (std::pair{1024, 400}));
  EXPECT_EQ(size(2), (std::pair{300, 405}));
  EXPECT_EQ(size(3), (std::pair{64, 32}));
  EXPECT_EQ(size(4), (std::pair{64, 48}));
  EXPECT_EQ(size(5), (std::pair{0, 0}));
  EXPECT_EQ(asked, (std::vector<std::string>{"wide.bmp", "wide.bmp",
                                             "absent.bmp", "absent.bmp"}));
  ASSERT_EQ(config.notes.size(), 2u);
  EXPECT_EQ(config.notes[0],
            "p.cfg:10: [Window03] background file \"absent.bmp\" cannot be "
            "read; the window is drawn in its background colour");
}

// A 2 x 3 24-bit bitmap written as a panel maker's tool writes it, then a
// file that is no image at all.
TEST(PanelConfig, BackgroundSizeComesFromTheImageFile) {
  const auto folder = std::filesystem::path(testing::TempDir());
  const std::string bitmap = (folder / "two_by_three.bmp").string();
  const unsigned char header[54] = {'B', 'M',  54 + 24, 0, 0, 0,    0,    0, 0,
                                    0,   54,   0,       0, 0,  // file
                                    40,  0,    0,       0, 2, 0,    0,    0, 3,
                                    0,   0,    0,       1, 0,  // size, planes
                                    24,  0,    0,       0, 0, 0,    24,   0, 0,
                                    0,   0x13, 0x0B,    0, 0, 0x13, 0x0B, 0, 0,
                                    0,   0,    0,       0, 0, 0,    0,    0};
  std::ofstream(bitmap, std::ios::binary)
      .write(reinterpret_cast<const char*>(header), sizeof header)
      .write(std::string(24, '\x40').data(), 24);
  EXPECT_EQ(image_file_size(bitmap), (std::pair{2, 3}));

  const std::string text = (folder / "not_an_image.bmp").string();
  std::ofstream(text) << "BM but not a bitmap";
  EXPECT_EQ(image_file_size(text), std::nullopt);
  EXPECT_EQ(image_file_size((folder / "absent.bmp").string()), std::nullopt);
}

// Every cut of a good file either parses or names a line within the cut;
// the address sanitizer watches for reads past the end.
TEST(PanelConfig, TruncatedFilesNeverReadPastTheirEnd) {
  const std::string text = kShippedPanel;
  for (std::size_t length = 0; length <= text.size(); ++length) {
    std::vector<char> cut(text.begin(), text.begin() + length);
    auto result =
        parse_panel_config(std::string_view(cut.data(), length), "cut.cfg");
    // Cut before its first window section, it is no panel file at all.
    if (auto* error = std::get_if<PanelConfigError>(&result)) {
      EXPECT_GE(error->line, error->reason.starts_with("has no") ? 0 : 1)
          << length;
      EXPECT_LE(error->line, 53) << length;
    }
  }
}

TEST(PanelConfig, BareFileNameHasNoFolder) {
  EXPECT_EQ(parsed("[Window00]\n", "panel.cfg").folder, "");
}

}  // namespace
