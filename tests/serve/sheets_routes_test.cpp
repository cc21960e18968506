// The calibration sheets' folder under /sheets/: its files served by their
// plain names and read at every request; any other name, a server without
// the folder and an outsize file refused without reading elsewhere.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>

#include "live_fixture.h"

namespace {

const std::string kIndex =
    "<!doctype html>\n<a href=\"Tachometer.plot.png\">plot</a>\n";
const std::string kPlot = std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
const std::string kListing = "Tachometer\n0 rpm at 0 degrees\n";
constexpr uint64_t kCap = 1000;

struct SheetCase {
  const char* name;
  const char* path;  // as the parser hands it over, escapes decoded
  int status;
  const char* served = nullptr;  // the file whose bytes make the body
  const char* content_type = nullptr;
  const char* reason = "";  // a part of the body
  const char* method = "GET";
  bool folder_given = true;
};

void PrintTo(const SheetCase& c, std::ostream* out) { *out << c.name; }

constexpr const char* kNotPlain = "the sheets are .png, .txt and .html files";

const SheetCase kSheetCases[] = {
    {.name = "index_at_the_folder",
     .path = "/sheets/",
     .status = 200,
     .served = "index.html",
     .content_type = "text/html; charset=utf-8"},
    {.name = "index_by_name",
     .path = "/sheets/index.html",
     .status = 200,
     .served = "index.html",
     .content_type = "text/html; charset=utf-8"},
    {.name = "plot_png",
     .path = "/sheets/Tachometer.plot.png",
     .status = 200,
     .served = "Tachometer.plot.png",
     .content_type = "image/png"},
    {.name = "plot_listing",
     .path = "/sheets/Tachometer.plot.txt",
     .status = 200,
     .served = "Tachometer.plot.txt",
     .content_type = "text/plain; charset=utf-8"},
    {.name = "head_like_get",
     .path = "/sheets/Tachometer.plot.png",
     .status = 200,
     .served = "Tachometer.plot.png",
     .method = "HEAD"},
    {.name = "file_at_the_cap",
     .path = "/sheets/at_cap.png",
     .status = 200,
     .served = "at_cap.png"},
    {.name = "folder_without_slash",
     .path = "/sheets",
     .status = 308,
     .reason = "/sheets/"},
    {.name = "parent_folder",
     .path = "/sheets/../panel.cfg",
     .status = 404,
     .reason = kNotPlain},
    {.name = "dots_alone",
     .path = "/sheets/..",
     .status = 404,
     .reason = kNotPlain},
    {.name = "encoded_slash",
     .path = "/sheets/sub/inner.png",
     .status = 404,
     .reason = kNotPlain},
    {.name = "absolute_path",
     .path = "/sheets//etc/hosts.txt",
     .status = 404,
     .reason = kNotPlain},
    {.name = "backslash",
     .path = "/sheets/..\\panel.txt",
     .status = 404,
     .reason = kNotPlain},
    {.name = "escape_left_over",
     .path = "/sheets/..%2Fpanel.txt",
     .status = 404,
     .reason = kNotPlain},
    {.name = "hidden_file",
     .path = "/sheets/.hidden.png",
     .status = 404,
     .reason = kNotPlain},
    {.name = "other_kind",
     .path = "/sheets/notes.cfg",
     .status = 404,
     .reason = kNotPlain},
    {.name = "upper_case_kind",
     .path = "/sheets/Tachometer.plot.PNG",
     .status = 404,
     .reason = kNotPlain},
    {.name = "windows_device",
     .path = "/sheets/nul.txt",
     .status = 404,
     .reason = kNotPlain},
    {.name = "missing_file",
     .path = "/sheets/Altimeter.plot.png",
     .status = 404,
     .reason = "Altimeter.plot.png; corvelain_host sheet all --out "},
    {.name = "folder_named_like_a_file",
     .path = "/sheets/sub.png",
     .status = 404,
     .reason = "sub.png; corvelain_host sheet all --out "},
    {.name = "file_past_the_cap",
     .path = "/sheets/past_cap.png",
     .status = 500,
     .reason = "larger than the 1000 bytes this server sends"},
    {.name = "posted",
     .path = "/sheets/index.html",
     .status = 405,
     .reason = "use GET",
     .method = "POST"},
    {.name = "no_folder_given",
     .path = "/sheets/",
     .status = 404,
     .reason = "this server was started without --sheets DIR; corvelain_host "
               "sheet all --out DIR writes the sheets",
     .folder_given = false},
    {.name = "no_folder_given_plain_name",
     .path = "/sheets/Tachometer.plot.png",
     .status = 404,
     .reason = "started without --sheets DIR",
     .folder_given = false},
};

class SheetsServed : public LivePanelTest,
                     public ::testing::WithParamInterface<SheetCase> {
 protected:
  void SetUp() override {
    LivePanelTest::SetUp();
    sheets_ = folder_ / "sheets";
    std::filesystem::create_directories(sheets_ / "sub.png");
    std::filesystem::create_directories(sheets_ / "sub");
    write("index.html", kIndex);
    write("Tachometer.plot.png", kPlot);
    write("Tachometer.plot.txt", kListing);
    write("sub/inner.png", kPlot);
    write(".hidden.png", kPlot);
    write("notes.cfg", kListing);
    write("at_cap.png", std::string(kCap, 'x'));
    write("past_cap.png", std::string(kCap + 1, 'x'));
  }

  void write(const std::string& name, const std::string& bytes) {
    std::ofstream(sheets_ / name, std::ios::binary) << bytes;
  }

  std::string read(const std::string& name) {
    std::ifstream in(sheets_ / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in),
            std::istreambuf_iterator<char>()};
  }

  std::filesystem::path sheets_;
};

TEST_P(SheetsServed, ByPlainNameOnly) {
  const SheetCase& c = GetParam();
  ServeOptions options;
  if (c.folder_given) options.sheets_folder = sheets_.string();
  options.max_sheet_file_bytes = kCap;
  HttpRequest request = make_request(c.method, "");
  request.path = c.path;
  const HttpResponse response =
      handle_request(*panel_, request, kAuthorities, options);
  EXPECT_EQ(response.status, c.status) << response.body;
  if (c.served != nullptr) {
    EXPECT_TRUE(response.body == read(c.served));
  }
  if (c.content_type != nullptr) {
    EXPECT_EQ(response.content_type, c.content_type);
  }
  EXPECT_NE(response.body.find(c.reason), std::string::npos) << response.body;
  if (c.status == 308) {
    ASSERT_EQ(response.headers.size(), 1u);
    EXPECT_EQ(response.headers[0].first, "Location");
    EXPECT_EQ(response.headers[0].second, "/sheets/");
  }
}

INSTANTIATE_TEST_SUITE_P(Routes, SheetsServed, ::testing::ValuesIn(kSheetCases),
                         [](const auto& info) { return info.param.name; });

TEST_F(LivePanelTest, SheetsAreReadAtEveryRequest) {
  const std::filesystem::path sheets = folder_ / "sheets";
  ServeOptions options;
  options.sheets_folder = sheets.string();
  const auto get_sheet = [&] {
    return handle_request(*panel_, make_request("GET", "/sheets/"),
                          kAuthorities, options);
  };
  // The folder may be written only after the server starts.
  EXPECT_EQ(get_sheet().status, 404);
  std::filesystem::create_directories(sheets);
  std::ofstream(sheets / "index.html", std::ios::binary) << "first";
  EXPECT_EQ(get_sheet().body, "first");
  std::ofstream(sheets / "index.html", std::ios::binary | std::ios::trunc)
      << "second";
  EXPECT_EQ(get_sheet().body, "second");
}

TEST_F(LivePanelTest, StateSaysWhetherSheetsAreServed) {
  EXPECT_EQ(state()["sheets"], false);
  ServeOptions options;
  options.sheets_folder = folder_.string();
  const auto given = nlohmann::json::parse(
      handle_request(*panel_, make_request("GET", "/state"), kAuthorities,
                     options)
          .body);
  EXPECT_EQ(given["sheets"], true);
  // The state sent on the event stream says the same.
  EXPECT_EQ(nlohmann::json::parse(state_json(*panel_, options))["sheets"],
            true);
}

// The Host check comes first here too.
TEST_F(LivePanelTest, SheetsRefuseAForeignHost) {
  ServeOptions options;
  options.sheets_folder = folder_.string();
  HttpRequest request = make_request("GET", "/sheets/");
  request.headers = {{"host", "evil.example:8018"}};
  EXPECT_EQ(handle_request(*panel_, request, kAuthorities, options).status,
            403);
}

}  // namespace
