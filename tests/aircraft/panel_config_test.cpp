#include "host/panel_config.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr const char* kGoodPanel =
    "// Corvelain test panel\r\n"
    "[Window Titles]\r\n"
    "Window00=Main Panel\r\n"
    "window01=Radio Stack\r\n"
    "\r\n"
    "[VIEWS]\r\n"
    "VIEW_FORWARD_WINDOWS=MAIN_PANEL\r\n"
    "this line has no equals sign and is in a skipped section\r\n"
    "\r\n"
    "[Window00]\r\n"
    "file=main_background.bmp\r\n"
    "SIZE_MM=800,400\r\n"
    "position=0,200\r\n"
    "ident=MAIN_PANEL   // named window\r\n"
    "background_color=0,0,0\r\n"
    "gauge00=Corvelain_Instr!Airspeed, 10, 20, 100\r\n"
    "gauge01=Corvelain_Instr!Altimeter,120,-20,100,110\r\n"
    "gauge02=Corvelain_Instr!Radios_Toggle, 5,5, 19, 19, o50c10\r\n"
    "gauge03=Corvelain_Instr!Registration, 0,0,150,25, tF-AB_1,2 ,x\r\n"
    "; a whole-line comment\r\n"
    "\r\n"
    "[Window01]\r\n"
    "window_size=300,200\r\n"
    "window_pos=400,0\r\n"
    "visible=0\r\n"
    "ident=50\r\n"
    "gauge00=Corvelain_Instr!Invisible_Toggle, 0,0, b150h43913\r\n"
    "\r\n"
    "[Window02]\r\n"
    "size_mm=100,50\r\n"
    "window_size=0,0  // zero is no size\r\n";

TEST(PanelConfig, ReadsWindowsAndGaugePlacements) {
  // window_size=0,0 is still checked even when size_mm came first.
  auto bad = parse_panel_config(kGoodPanel, "panel.cfg");
  ASSERT_TRUE(std::holds_alternative<PanelConfigError>(bad));
  EXPECT_EQ(std::get<PanelConfigError>(bad).line, 31);

  std::string text = kGoodPanel;
  text.replace(text.find("window_size=0,0"), 15, "ident=THROTTLE_PANEL");
  auto result = parse_panel_config(text, "panel.cfg");
  ASSERT_TRUE(std::holds_alternative<PanelConfig>(result))
      << std::get<PanelConfigError>(result).message();
  const PanelConfig& config = std::get<PanelConfig>(result);
  ASSERT_EQ(config.windows.size(), 3u);

  const PanelWindow& main = config.windows[0];
  EXPECT_EQ(main.section, 0);
  EXPECT_EQ(main.title, "Main Panel");
  EXPECT_EQ(main.ident, 0u);
  EXPECT_EQ(main.width, 800);
  EXPECT_EQ(main.height, 400);
  EXPECT_EQ(main.x, 0);
  EXPECT_EQ(main.y, 200);
  EXPECT_TRUE(main.visible);
  EXPECT_EQ(main.background, "main_background.bmp");
  ASSERT_EQ(main.gauges.size(), 4u);

  const GaugePlacement& airspeed = main.gauges[0];
  EXPECT_EQ(airspeed.module, "Corvelain_Instr");
  EXPECT_EQ(airspeed.gauge, "Airspeed");
  EXPECT_EQ(airspeed.x, 10);
  EXPECT_EQ(airspeed.y, 20);
  EXPECT_EQ(airspeed.width, 100);
  EXPECT_EQ(airspeed.height, std::nullopt);
  EXPECT_EQ(airspeed.parameter_text, "");
  EXPECT_EQ(airspeed.line, 16);

  EXPECT_EQ(main.gauges[1].y, -20);
  EXPECT_EQ(main.gauges[1].height, 110);
  EXPECT_EQ(main.gauges[2].parameter_text, "o50c10");
  EXPECT_EQ(main.gauges[3].number, 3);
  EXPECT_EQ(main.gauges[3].parameter_text, "tF-AB_1,2 ,x");

  const PanelWindow& radios = config.windows[1];
  EXPECT_EQ(radios.title, "Radio Stack");
  EXPECT_EQ(radios.ident, 50u);
  EXPECT_EQ(radios.width, 300);
  EXPECT_EQ(radios.x, 400);
  EXPECT_FALSE(radios.visible);
  ASSERT_EQ(radios.gauges.size(), 1u);
  EXPECT_EQ(radios.gauges[0].width, std::nullopt);
  EXPECT_EQ(radios.gauges[0].parameter_text, "b150h43913");

  EXPECT_EQ(config.windows[2].ident, 10u);
  EXPECT_EQ(config.windows[2].title, "");
}

struct BadPanel {
  const char* name;
  const char* text;
  int line;
  const char* reason;  // a part of the reason
};

void PrintTo(const BadPanel& c, std::ostream* os) { *os << c.name; }

class BadPanelTest : public testing::TestWithParam<BadPanel> {};

TEST_P(BadPanelTest, NamesFileLineAndReason) {
  auto result = parse_panel_config(GetParam().text, "aircraft/panel.cfg");
  ASSERT_TRUE(std::holds_alternative<PanelConfigError>(result));
  const PanelConfigError& error = std::get<PanelConfigError>(result);
  EXPECT_EQ(error.file, "aircraft/panel.cfg");
  EXPECT_EQ(error.line, GetParam().line);
  EXPECT_NE(error.reason.find(GetParam().reason), std::string::npos)
      << error.reason;
  EXPECT_EQ(error.message(),
            "aircraft/panel.cfg:" + std::to_string(GetParam().line) + ": " +
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
        {"gauge_without_position", WINDOW "gauge00=Corvelain_Instr!Airspeed\n",
         4, "x, y"},
        {"gauge_without_y", WINDOW "gauge00=Corvelain_Instr!Airspeed, 10\n", 4,
         "x, y"},
        {"gauge_with_bad_x", WINDOW "gauge00=Corvelain_Instr!Airspeed, 1O,0\n",
         4, "bad x \"1O\""},
        {"gauge_with_text_for_y",
         WINDOW "gauge00=Corvelain_Instr!Airspeed, 1,o50\n", 4, "bad y"},
        {"gauge_with_zero_width",
         WINDOW "gauge00=Corvelain_Instr!Airspeed,1,1,0\n", 4, "positive"},
        {"gauge_x_overflows", WINDOW "gauge00=M!G, 99999999999, 0\n", 4,
         "bad x"},
        {"gauge_number_twice", WINDOW "gauge01=M!A,0,0\ngauge1=M!B,0,0\n", 5,
         "twice"},
        {"gauge_key_without_number", WINDOW "gaugeXX=M!A,0,0\n", 4, "gaugeNN"},
        {"duplicate_window", WINDOW "\n[window00]\nsize_mm=1,1\n", 5,
         "repeats the section of line 1"},
        {"window_without_size", "[Window00]\nident=0\n\n[Window01]\n", 1,
         "no size"},
        {"window_without_ident", "[Window03]\nsize_mm=5,5\n", 1, "no ident"},
        {"two_windows_same_ident",
         WINDOW "[Window01]\nident=MAIN_PANEL\nsize_mm=1,1\n", 4,
         "already used at line 1"},
        {"bad_ident", "[Window00]\nident=SIDE_PANEL\n", 2, "SIDE_PANEL"},
        {"negative_ident", "[Window00]\nident=-1\n", 2, "bad ident"},
        {"size_with_one_number", "[Window00]\nsize_mm=800\n", 2, "w,h"},
        {"size_not_a_number", "[Window00]\nsize_mm=800,4OO\n", 2, "w,h"},
        {"position_with_three_numbers", "[Window00]\nposition=1,2,3\n", 2,
         "x,y"},
        {"visible_two", "[Window00]\nvisible=2\n", 2, "0 or 1"},
        {"unclosed_section", "[Window Titles\nWindow00=Main\n", 1, "']'"},
        {"bad_window_section", "[WindowA1]\n", 1, "[WindowNN]"},
        {"titles_line_without_equals", "[Window Titles]\nMain panel\n", 2,
         "key=value"},
    }),
    [](const testing::TestParamInfo<BadPanel>& info) {
      return std::string(info.param.name);
    });

TEST(PanelConfig, WindowIdentsByNameOrNumber) {
  EXPECT_EQ(parse_window_ident("RADIO_STACK_PANEL"), 50u);
  EXPECT_EQ(parse_window_ident("ANNUNCIATOR2_PANEL"), 150u);
  EXPECT_EQ(parse_window_ident("throttle_panel"), 10u);
  EXPECT_EQ(parse_window_ident(" 10001 "), 10001u);
  EXPECT_EQ(parse_window_ident("MAIN_PANELS"), std::nullopt);
  EXPECT_EQ(parse_window_ident(""), std::nullopt);
  EXPECT_EQ(parse_window_ident("4294967296"), std::nullopt);
}

// Every cut of a good file either parses or names a line within the cut;
// the address sanitizer watches for reads past the end.
TEST(PanelConfig, TruncatedFilesNeverReadPastTheirEnd) {
  const std::string text = kGoodPanel;
  for (std::size_t length = 0; length <= text.size(); ++length) {
    std::vector<char> cut(text.begin(), text.begin() + length);
    auto result =
        parse_panel_config(std::string_view(cut.data(), length), "cut.cfg");
    if (auto* error = std::get_if<PanelConfigError>(&result)) {
      EXPECT_GE(error->line, 1) << length;
      EXPECT_LE(error->line, 31) << length;
    }
  }
}

TEST(PanelConfig, EmptyFileHasNoWindows) {
  auto result = parse_panel_config("", "empty.cfg");
  ASSERT_TRUE(std::holds_alternative<PanelConfig>(result));
  EXPECT_TRUE(std::get<PanelConfig>(result).windows.empty());
}

}  // namespace
