#include "host/panel_file/panel_document.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "host/panel_file/panel_config.h"
#include "host/panel_file/panel_editor.h"

namespace {

// Panel files written the ways aircraft ship them: each must come back
// byte for byte, and each edit must change exactly the lines it names.
enum class Edit { kNone, kMove, kResize, kRemove, kAdd, kWindowSize };

struct DocumentCase {
  const char* name = "";
  const char* text = "";
  Edit edit = Edit::kNone;
  int gauge = 0;  // the placement edited, in the first window's panel order
  int32_t a = 0, b = 0;
  const char* added = "";  // kAdd: "Module!Gauge|parameter text"
  const char* expected = "";
};

PanelConfig parsed(const std::string& text) {
  auto result = parse_panel_config(text, "panel.cfg");
  if (auto* error = std::get_if<PanelConfigError>(&result)) {
    ADD_FAILURE() << error->message();
    return {};
  }
  return std::get<PanelConfig>(result);
}

std::string apply(const DocumentCase& c, PanelDocument& document) {
  const PanelConfig config = parsed(c.text);
  if (config.windows.empty()) return "no window";
  const PanelWindow& window = config.windows[0];
  const int line =
      c.gauge < int(window.gauges.size()) ? window.gauges[c.gauge].line : 0;
  switch (c.edit) {
    case Edit::kNone:
      return "";
    case Edit::kMove:
      return move_gauge_line(document, line, c.a, c.b);
    case Edit::kResize:
      return resize_gauge_line(document, line, c.a, c.b);
    case Edit::kRemove:
      return remove_gauge_line(document, window.line, line);
    case Edit::kWindowSize:
      return set_window_size_line(document, window.line, c.a, c.b);
    case Edit::kAdd: {
      const std::string added = c.added;
      const size_t bang = added.find('!'), bar = added.find('|');
      NewGaugeLine gauge;
      gauge.module = added.substr(0, bang);
      gauge.gauge = added.substr(bang + 1, bar - bang - 1);
      gauge.x = c.a;
      gauge.y = c.b;
      if (bar != std::string::npos)
        gauge.parameter_text = added.substr(bar + 1);
      int new_line = 0;
      return add_gauge_line(document, window.line, gauge, new_line);
    }
  }
  return "";
}

class PanelDocumentTest : public testing::TestWithParam<DocumentCase> {};

TEST_P(PanelDocumentTest, ChangesOnlyItsLines) {
  const DocumentCase& c = GetParam();
  PanelDocument document = read_panel_document(c.text);
  EXPECT_EQ(panel_document_text(document), c.text);
  ASSERT_EQ(apply(c, document), "");
  const std::string edited = panel_document_text(document);
  EXPECT_EQ(edited, c.expected);
  // What was written reads back as a panel file.
  (void)parsed(edited);
}

constexpr DocumentCase kDocumentCases[] = {
    {.name = "CommentsAndBlankLinesKept",
     .text = "// Corvelain panel\n\n[Window Titles]\nWindow00=Main\n\n"
             "[Window00]\n; the main panel\nsize_mm=640,480\n"
             "gauge00=Corvelain_Instr!Airspeed, 10, 20, 100, 100\n"
             "gauge01=Corvelain_Instr!Altimeter, 120, 20\n\n// end\n",
     .edit = Edit::kNone,
     .expected = "// Corvelain panel\n\n[Window Titles]\nWindow00=Main\n\n"
                 "[Window00]\n; the main panel\nsize_mm=640,480\n"
                 "gauge00=Corvelain_Instr!Airspeed, 10, 20, 100, 100\n"
                 "gauge01=Corvelain_Instr!Altimeter, 120, 20\n\n// end\n"},
    {.name = "MoveKeepsCrlfAndTrailingComment",
     .text = "[Window00]\r\nsize_mm=640,480\r\n"
             "gauge00=Corvelain_Instr!Airspeed, 10, 20, 100, 100 // left\r\n"
             "gauge01=Corvelain_Instr!Altimeter, 120, 20\r\n",
     .edit = Edit::kMove,
     .gauge = 0,
     .a = 40,
     .b = 30,
     .expected =
         "[Window00]\r\nsize_mm=640,480\r\n"
         "gauge00=Corvelain_Instr!Airspeed, 40, 30, 100, 100 // left\r\n"
         "gauge01=Corvelain_Instr!Altimeter, 120, 20\r\n"},
    {.name = "MoveKeepsTabsAndOddCase",
     .text = "[WINDOW00]\nSIZE_MM=640,480\n"
             "\tGAUGE00 =\tPanel\\CORVELAIN_INSTR.GAU!Airspeed,\t10,\t20\n",
     .edit = Edit::kMove,
     .gauge = 0,
     .a = -5,
     .b = 7,
     .expected = "[WINDOW00]\nSIZE_MM=640,480\n"
                 "\tGAUGE00 =\tPanel\\CORVELAIN_INSTR.GAU!Airspeed,\t-5,\t7\n"},
    {.name = "MoveKeepsBytesOutsideUtf8AndNoFinalNewline",
     .text = "[Window00]\n// \xA9 1998 \xE9quipe\n"
             "gauge00=Corvelain_Instr!Registration,1,2,,,tF-\xC9T\xC9",
     .edit = Edit::kMove,
     .gauge = 0,
     .a = 300,
     .b = 400,
     .expected = "[Window00]\n// \xA9 1998 \xE9quipe\n"
                 "gauge00=Corvelain_Instr!Registration,300,400,,,tF-\xC9T\xC9"},
    {.name = "ResizeAddsSizeBeforeParameterText",
     .text = "[Window00]\n"
             "gauge00=Corvelain_Instr!Throttle_Toggle, 5, 6, t10 // button\n",
     .edit = Edit::kResize,
     .gauge = 0,
     .a = 30,
     .b = 20,
     .expected = "[Window00]\n"
                 "gauge00=Corvelain_Instr!Throttle_Toggle, 5, 6, 30, 20, t10 "
                 "// button\n"},
    {.name = "ResizeFillsEmptySizeFields",
     .text =
         "[Window00]\ngauge00=Corvelain_Instr!Registration, 1, 2, ,, tABC\n",
     .edit = Edit::kResize,
     .gauge = 0,
     .a = 80,
     .b = 20,
     .expected = "[Window00]\ngauge00=Corvelain_Instr!Registration, 1, 2, 80, "
                 "20, tABC\n"},
    {.name = "ResizeWidthOnly",
     .text = "[Window00]\ngauge00=Corvelain_Instr!Airspeed,1,2,50\n",
     .edit = Edit::kResize,
     .gauge = 0,
     .a = 60,
     .b = 70,
     .expected = "[Window00]\ngauge00=Corvelain_Instr!Airspeed,1,2,60,70\n"},
    {.name = "RemoveRenumbersLaterGauges",
     .text = "[Window00]\r\n"
             "gauge00=Corvelain_Instr!Airspeed, 1, 2\r\n"
             "gauge01=Corvelain_Instr!Altimeter, 3, 4 // keep\r\n"
             "Gauge02=Other!Clock, 5, 6\r\n"
             "gauge03=Corvelain_Instr!Attitude, 7, 8\r\n"
             "[Window01]\r\ngauge02=Corvelain_Instr!Airspeed, 1, 2\r\n",
     .edit = Edit::kRemove,
     .gauge = 1,
     .expected = "[Window00]\r\n"
                 "gauge00=Corvelain_Instr!Airspeed, 1, 2\r\n"
                 "Gauge01=Other!Clock, 5, 6\r\n"
                 "gauge02=Corvelain_Instr!Attitude, 7, 8\r\n"
                 "[Window01]\r\ngauge02=Corvelain_Instr!Airspeed, 1, 2\r\n"},
    {.name = "RemoveLastLineWithoutEnding",
     .text = "[Window00]\ngauge00=Corvelain_Instr!Airspeed, 1, 2\n"
             "gauge01=Corvelain_Instr!Altimeter, 3, 4",
     .edit = Edit::kRemove,
     .gauge = 1,
     .expected = "[Window00]\ngauge00=Corvelain_Instr!Airspeed, 1, 2\n"},
    {.name = "AddAfterLastGaugeOfItsWindow",
     .text = "[Window00]\r\n"
             "  gauge08 = Corvelain_Instr!Airspeed, 1, 2\r\n"
             "  gauge09 = Corvelain_Instr!Altimeter, 3, 4\r\n"
             "zorder=1\r\n\r\n[VIEWS]\r\nVIEW_FORWARD_DIR=0,0,0\r\n",
     .edit = Edit::kAdd,
     .a = 10,
     .b = 20,
     .added = "Corvelain_Instr!Attitude",
     .expected = "[Window00]\r\n"
                 "  gauge08 = Corvelain_Instr!Airspeed, 1, 2\r\n"
                 "  gauge09 = Corvelain_Instr!Altimeter, 3, 4\r\n"
                 "  gauge10 = Corvelain_Instr!Attitude, 10, 20\r\n"
                 "zorder=1\r\n\r\n[VIEWS]\r\nVIEW_FORWARD_DIR=0,0,0\r\n"},
    {.name = "AddNumericParameterTextAfterEmptySizes",
     .text = "[Window00]\ngauge00=Corvelain_Instr!Airspeed,1,2",
     .edit = Edit::kAdd,
     .a = 3,
     .b = 4,
     .added = "Corvelain_Instr!Radios_Toggle|50",
     .expected = "[Window00]\ngauge00=Corvelain_Instr!Airspeed,1,2\n"
                 "gauge01=Corvelain_Instr!Radios_Toggle,3,4,,,50"},
    {.name = "AddToWindowWithoutGauges",
     .text = "[Window00]\nsize_mm=100\n[Window01]\nsize_mm=200\n",
     .edit = Edit::kAdd,
     .a = 3,
     .b = 4,
     .added = "Corvelain_Instr!Airspeed|a b",
     .expected = "[Window00]\ngauge00=Corvelain_Instr!Airspeed, 3, 4, a b\n"
                 "size_mm=100\n[Window01]\nsize_mm=200\n"},
    {.name = "WindowSizeReplacesSizeMm",
     .text = "[Window00]\npixel_size=10,10\nSize_MM = 640, 480 // design\n",
     .edit = Edit::kWindowSize,
     .a = 800,
     .b = 600,
     .expected =
         "[Window00]\npixel_size=10,10\nSize_MM = 800, 600 // design\n"},
    {.name = "WindowSizeWrittenWhereNone",
     .text = "\xEF\xBB\xBF[Window00]\nvisible=1\n",
     .edit = Edit::kWindowSize,
     .a = 800,
     .b = 600,
     .expected = "\xEF\xBB\xBF[Window00]\nsize_mm=800,600\nvisible=1\n"},
};

INSTANTIATE_TEST_SUITE_P(Files, PanelDocumentTest,
                         testing::ValuesIn(kDocumentCases),
                         [](const testing::TestParamInfo<DocumentCase>& info) {
                           return std::string(info.param.name);
                         });

TEST(PanelDocument, SamplePanelReadsBackByteForByte) {
  std::ifstream file(SAMPLE_PANEL, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  EXPECT_EQ(panel_document_text(read_panel_document(text.str())), text.str());
}

TEST(PanelDocument, NewGaugeThatWouldNotReadBackIsRefused) {
  PanelDocument document = read_panel_document("[Window00]\n");
  int line = 0;
  const auto gauge = [](std::string module, std::string name, std::string text,
                        std::optional<int32_t> width) {
    NewGaugeLine g;
    g.module = std::move(module);
    g.gauge = std::move(name);
    g.parameter_text = std::move(text);
    g.width = width;
    return g;
  };
  for (const NewGaugeLine& bad :
       {gauge("A,B", "G", "", {}), gauge("A", "G#2", "", {}),
        gauge("A", "G", "a//b", {}), gauge("A", "G", " a", {}),
        gauge("A", "G", "", 3)})
    EXPECT_NE(add_gauge_line(document, 1, bad, line), "");
  EXPECT_EQ(panel_document_text(document), "[Window00]\n");
}

// Saving: atomically in place with a .bak of the file as first read, a copy
// elsewhere, and a refusal naming the file when it changed on disk.
class PanelEditorTest : public testing::Test {
 protected:
  void SetUp() override {
    folder_ =
        std::filesystem::temp_directory_path() /
        ("panel_editor_" +
         std::string(
             testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
    path_ = (folder_ / "panel.cfg").string();
    write(path_, kText);
    std::filesystem::permissions(path_, std::filesystem::perms(0640));
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }
  static void write(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
  }
  static std::string read(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
  }
  static constexpr const char* kText =
      "[Window00]\r\ngauge00=Corvelain_Instr!Airspeed, 1, 2\r\n";
  static constexpr const char* kMoved =
      "[Window00]\r\ngauge00=Corvelain_Instr!Airspeed, 5, 6\r\n";
  std::filesystem::path folder_;
  std::string path_;
};

TEST_F(PanelEditorTest, SavesInPlaceKeepingBackupAndPermissions) {
  PanelEditor editor(path_, kText);
  PanelDocument next = editor.document();
  ASSERT_EQ(move_gauge_line(next, 2, 5, 6), "");
  editor.commit(std::move(next), "move");
  EXPECT_TRUE(editor.unsaved());
  ASSERT_EQ(editor.save(), "");
  EXPECT_FALSE(editor.unsaved());
  EXPECT_EQ(read(path_), kMoved);
  EXPECT_EQ(read(path_ + ".bak"), kText);
  EXPECT_EQ(std::filesystem::status(path_).permissions(),
            std::filesystem::perms(0640));
  EXPECT_FALSE(std::filesystem::exists(path_ + ".saving"));
  // The .bak holds the file before the first save, not the second.
  std::string what;
  ASSERT_NE(editor.undo_target(what), nullptr);
  editor.undone();
  ASSERT_EQ(editor.save(), "");
  EXPECT_EQ(read(path_), kText);
  EXPECT_EQ(read(path_ + ".bak"), kText);
}

TEST_F(PanelEditorTest, RefusesToSaveOverAFileChangedOnDisk) {
  PanelEditor editor(path_, kText);
  write(path_, "[Window00]\n");
  const std::string why = editor.save();
  EXPECT_NE(why.find(path_), std::string::npos) << why;
  EXPECT_NE(why.find("changed on disk"), std::string::npos) << why;
  EXPECT_EQ(read(path_), "[Window00]\n");
  EXPECT_FALSE(std::filesystem::exists(path_ + ".bak"));
  // A copy elsewhere is not the file's to refuse.
  const std::string copy = (folder_ / "copy.cfg").string();
  EXPECT_EQ(editor.save_copy(copy), "");
  EXPECT_EQ(read(copy), kText);
}

}  // namespace
