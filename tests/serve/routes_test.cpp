// The live server's routes on the sample panel, without sockets: what each
// refuses (changing nothing), script lines run as a script runs them, the
// window pictures as the renderer writes them and their changed tiles, and
// the clock.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "host/render/bitmaps.h"
#include "host/render/render.h"
#include "host/script/scenario.h"
#include "host/serve/net.h"
#include "host/serve/page_files.h"
#include "live_fixture.h"

namespace {

using namespace std::chrono_literals;

struct Refusal {
  const char* name;
  const char* method;
  const char* target;
  const char* body;
  int status;
  const char* reason;  // a part of the answer's body
  const char* host = "127.0.0.1:8018";
  const char* origin = nullptr;
};

void PrintTo(const Refusal& r, std::ostream* out) { *out << r.name; }

const Refusal kRefusals[] = {
    {"unknown_command", "POST", "/command", "fly away", 400,
     "unknown command 'fly'"},
    {"empty_line", "POST", "/command", "", 400, "no command on the line"},
    {"comment_line", "POST", "/command", "# open 30", 400,
     "no command on the line"},
    {"two_lines", "POST", "/command", "open 30\nclose 30", 400,
     "one line at a time"},
    {"picture_writes_files", "POST", "/command", "picture 0 /tmp/x.png", 400,
     "'picture' writes files"},
    {"no_such_gauge", "POST", "/command", "click Wing 1 1", 400,
     "the panel places no gauge Wing"},
    {"no_second_placement", "POST", "/command", "click Battery_Switch#2 1 1",
     400, "the panel places no gauge Battery_Switch#2"},
    {"no_such_window", "POST", "/command", "open 99", 400,
     "no section of the panel holds window 99"},
    {"bad_variable", "POST", "/command", "set ALTITUD 1", 400,
     "unknown variable 'ALTITUD'"},
    {"click_right_of_background", "POST", "/command",
     "click Battery_Switch 44 10", 400,
     "(44, 10) is outside Battery_Switch (44 x 63)"},
    {"hover_above_background", "POST", "/command", "hover Battery_Switch 5 -1",
     400, "(5, -1) is outside Battery_Switch"},
    {"drag_pressed_off_background", "POST", "/command",
     "drag Battery_Switch 20 63 20 30", 400,
     "(20, 63) is outside Battery_Switch"},
    {"tooltip_point_below_background", "POST", "/command",
     "expect tooltip Battery_Switch 1 500 \"x\"", 400,
     "(1, 500) is outside Battery_Switch"},
    {"foreign_host", "POST", "/command", "open 30", 403, "", "evil.example:80"},
    {"foreign_origin", "POST", "/command", "open 30", 403, "", "127.0.0.1:8018",
     "http://evil.example"},
    {"foreign_host_reading", "GET", "/state", "", 403, "", "127.0.0.1:9999"},
    {"no_window_99", "GET", "/window/99.png", "", 404, "no window 99"},
    {"window_not_a_number", "GET", "/window/x/pixels", "", 404, "no window x"},
    {"closed_window", "GET", "/window/4.png", "", 409, "window 4 is closed"},
    {"closed_window_pixels", "GET", "/window/4/pixels", "", 409,
     "window 4 is closed"},
    {"since_not_a_frame", "GET", "/window/0/pixels?since=-1", "", 400,
     "'since' takes a frame number"},
    {"clock_word", "POST", "/clock", "faster", 400,
     "the clock takes pause, run or rate N"},
    {"rate_zero", "POST", "/clock", "rate 0", 400, "the rate is 1 to 240"},
    {"rate_too_high", "POST", "/clock", "rate 241", 400,
     "the rate is 1 to 240"},
    {"transcript_from_word", "GET", "/transcript?from=start", "", 400,
     "'from' takes a line number"},
    {"unknown_path", "GET", "/panel.cfg", "", 404, "nothing here"},
    {"state_posted", "POST", "/state", "", 405, "use GET"},
    {"command_read", "GET", "/command", "", 405, "use POST"},
};

class Refused : public LivePanelTest,
                public ::testing::WithParamInterface<Refusal> {};

TEST_P(Refused, WithItsStatusAndNothingChanged) {
  const Refusal& r = GetParam();
  const std::string before = state_json(*panel_);
  const size_t lines = panel_->transcript().size();
  HttpRequest request = make_request(r.method, r.target, r.body);
  request.headers = {{"host", r.host}};
  if (r.origin != nullptr) request.headers.emplace_back("origin", r.origin);
  const HttpResponse response = answer(request);
  EXPECT_EQ(response.status, r.status) << response.body;
  EXPECT_NE(response.body.find(r.reason), std::string::npos) << response.body;
  EXPECT_EQ(state_json(*panel_), before);
  EXPECT_EQ(panel_->transcript().size(), lines);
}

INSTANTIATE_TEST_SUITE_P(Routes, Refused, ::testing::ValuesIn(kRefusals),
                         [](const auto& info) { return info.param.name; });

// The command's answer is JSON with the reader's reason.
TEST_F(LivePanelTest, RefusedCommandAnswersWithTheReadersReason) {
  const HttpResponse response = post("/command", "set ALTITUD 1");
  EXPECT_EQ(response.content_type, "application/json");
  EXPECT_EQ(nlohmann::json::parse(response.body)["error"],
            "unknown variable 'ALTITUD' (nearest: ALTITUDE, PITCH, ADF_CARD)");
}

const char* const kSessionLines[] = {
    "open 30",
    "hover Battery_Switch 20 30",
    "click Battery_Switch 20 30",
    "frames 1",
    "hover Battery_Switch 20 30",
    "click Avionics_Switch 20 30",
    "seconds 1",
    "show var MAIN_BUS_VOLTAGE",
    "show Turn_Coordinator 3",
    "expect events",
    "light night",
    "close 30",
};

TEST_F(LivePanelTest, LinesPrintWhatTheSameScriptPrints) {
  // The script's host first: one host at a time runs the module.
  panel_.reset();
  std::string script_text;
  for (const char* line : kSessionLines)
    script_text += line + std::string("\n");
  std::string printed;
  {
    auto parsed = parse_panel_config(sample_panel_text(), path_);
    PanelConfig config = std::get<PanelConfig>(std::move(parsed));
    resolve_panel_window_sizes(config, module_, *module_bitmaps(module_));
    auto host = std::move(std::get<std::unique_ptr<Host>>(
        Host::create(module_, std::move(config))));
    ScenarioScript script;
    std::string error;
    ASSERT_TRUE(parse_scenario(script_text, "s.scn", *host, script, error))
        << error;
    std::ostringstream out, errors;
    run_scenario(script, *host, out, errors);
    printed = out.str();
  }
  auto opened = LivePanel::open(module_, path_, 18, Clock::now());
  panel_ = std::move(std::get<std::unique_ptr<LivePanel>>(opened));

  nlohmann::json click;
  for (const char* line : kSessionLines) {
    const HttpResponse response = post("/command", line);
    ASSERT_EQ(response.status, 200) << line << ": " << response.body;
    const auto json = nlohmann::json::parse(response.body);
    // Its lines are the transcript's from `from` on.
    const std::vector<std::string>& transcript = panel_->transcript();
    const size_t from = json["from"];
    ASSERT_EQ(from + json["lines"].size(), transcript.size());
    for (size_t i = 0; i < json["lines"].size(); ++i)
      EXPECT_EQ(json["lines"][i], transcript[from + i]);
    EXPECT_EQ(json["lines"][0], std::string("> ") + line);
    if (std::string(line) == "click Battery_Switch 20 30") click = json;
  }
  std::string live;
  for (const std::string& line : panel_->transcript()) live += line + "\n";
  EXPECT_EQ(live, printed.substr(0, printed.find("> stop\n")));

  ASSERT_EQ(click["events"].size(), 1u);
  const std::string sent =
      "event " + std::to_string(int(click["events"][0]["event"])) + " " +
      std::to_string(int(click["events"][0]["value"]));
  EXPECT_EQ(click["lines"][1], "  @0 " + sent) << click.dump();
}

TEST_F(LivePanelTest, CommandsThatSendNothingReportNoEvents) {
  ASSERT_EQ(post("/command", "open 30").status, 200);
  ASSERT_EQ(post("/command", "click Battery_Switch 20 30").status, 200);
  const auto shown =
      nlohmann::json::parse(post("/command", "show var ALTITUDE").body);
  EXPECT_TRUE(shown["events"].empty());
}

// A lever dragged against its stop: the pointer ends past the gauge's edge,
// as the sample's own script drags the throttle.
TEST_F(LivePanelTest, DragMayEndPastItsGaugesEdge) {
  ASSERT_EQ(post("/command", "open 10").status, 200);
  const HttpResponse response =
      post("/command", "drag Throttle_Control 120 190 120 -20 3");
  EXPECT_EQ(response.status, 200) << response.body;
}

TEST_F(LivePanelTest, WindowPngIsWhatTheRendererWrites) {
  ASSERT_EQ(post("/command", "open 30").status, 200);
  ASSERT_EQ(post("/command", "light night").status, 200);
  for (size_t window : {size_t(0), size_t(4)}) {
    const HttpResponse response =
        get("/window/" + std::to_string(window) + ".png");
    ASSERT_EQ(response.status, 200);
    EXPECT_EQ(response.content_type, "image/png");
    WindowRenderer renderer(module_bitmaps(module_));
    const WindowPicture drawn = renderer.render(panel_->host(), window, true);
    const std::string file = (folder_ / "own.png").string();
    std::string error;
    ASSERT_TRUE(write_png(drawn.image, file, error)) << error;
    std::ifstream in(file, std::ios::binary);
    const std::string own{std::istreambuf_iterator<char>(in),
                          std::istreambuf_iterator<char>()};
    EXPECT_TRUE(response.body == own) << "window " << window;
  }
}

Image rendered(LivePanel& panel, const LoadedModule& module, size_t window) {
  WindowRenderer renderer(module_bitmaps(module));
  return renderer.render(panel.host(), window, panel.night()).image;
}

TEST_F(LivePanelTest, PixelsSinceZeroRebuildTheWholePicture) {
  const HttpResponse response = get("/window/0/pixels?since=0");
  ASSERT_EQ(response.status, 200);
  EXPECT_EQ(response.content_type, "application/octet-stream");
  Tiles tiles;
  ASSERT_TRUE(tiles.read(response.body));
  EXPECT_EQ(tiles.frame, panel_->host().frame());
  // 1024 x 600 in 64 x 64 tiles: 16 across, 10 down, the last row 24 high.
  ASSERT_EQ(tiles.tiles.size(), 160u);
  EXPECT_EQ(tiles.tiles.back().h, 24);
  Image picture;
  tiles.paint(picture);
  EXPECT_TRUE(picture.rgb == rendered(*panel_, module_, 0).rgb);
  Tiles absent;
  ASSERT_TRUE(absent.read(get("/window/0/pixels").body));
  EXPECT_EQ(absent.tiles.size(), 160u);
}

TEST_F(LivePanelTest, PixelsSinceAFrameAreTheTilesThatChanged) {
  ASSERT_EQ(post("/command", "open 30").status, 200);
  // Since frame 0 is everything.
  ASSERT_EQ(post("/command", "frames 1").status, 200);
  Tiles first;
  ASSERT_TRUE(first.read(get("/window/4/pixels?since=0").body));
  Image picture;
  first.paint(picture);
  const Image before = picture;
  const size_t every = first.tiles.size();

  ASSERT_EQ(post("/command", "click Battery_Switch 20 30").status, 200);
  ASSERT_EQ(post("/command", "frames 1").status, 200);
  Tiles changed;
  ASSERT_TRUE(changed.read(
      get("/window/4/pixels?since=" + std::to_string(first.frame)).body));
  EXPECT_EQ(changed.frame, first.frame + 1);
  ASSERT_FALSE(changed.tiles.empty());
  EXPECT_LT(changed.tiles.size(), every);
  for (const Tiles::Tile& t : changed.tiles) {
    bool differs = false;
    for (uint16_t row = 0; row < t.h && !differs; ++row)
      differs = std::memcmp(before.at(t.x, t.y + row),
                            t.rgb.data() + size_t(row) * t.w * 3,
                            size_t(t.w) * 3) != 0;
    EXPECT_TRUE(differs) << "tile at " << t.x << "," << t.y;
  }
  changed.paint(picture);
  EXPECT_TRUE(picture.rgb == rendered(*panel_, module_, 4).rgb);

  // Nothing since the frame just sent.
  Tiles none;
  ASSERT_TRUE(none.read(
      get("/window/4/pixels?since=" + std::to_string(changed.frame)).body));
  EXPECT_TRUE(none.tiles.empty());
}

// A window drawn piece by piece, in boxes that cut its gauges anywhere, is
// byte for byte the window drawn whole, by day and by night.
TEST_F(LivePanelTest, DrawingInPiecesIsDrawingWhole) {
  for (const char* line : {"set AIRSPEED 95", "set BANK -12",
                           "set ALTITUDE 2750", "frames 2"})
    ASSERT_EQ(post("/command", line).status, 200) << line;
  WindowRenderer renderer(module_bitmaps(module_));
  for (const bool night : {false, true}) {
    for (size_t w = 0; w < panel_->host().panel().windows.size(); ++w) {
      const Image whole = renderer.render(panel_->host(), w, night).image;
      ASSERT_GT(whole.width, 0);
      Image pieces(whole.width, whole.height);
      std::fill(pieces.rgb.begin(), pieces.rgb.end(), uint8_t{0x5A});
      for (int32_t y = 0; y < whole.height; y += 23)
        for (int32_t x = 0; x < whole.width; x += 37)
          renderer.draw_areas(panel_->host(), w, night, pieces,
                              {{x, y, std::min(x + 36, whole.width - 1),
                                std::min(y + 22, whole.height - 1)}});
      EXPECT_TRUE(pieces.rgb == whole.rgb)
          << "window " << w << (night ? " by night" : " by day");
    }
  }
}

// Only what changed is drawn again: a page that keeps applying the changed
// tiles holds, after every line and frame, exactly the window's full
// drawing, through moving needles, the light and a window opened.
TEST_F(LivePanelTest, TilesFollowedLineByLineAreTheFullDrawing) {
  panel_->set_drawing(true);
  struct Followed {
    size_t window;
    Image picture;
    uint32_t since = 0;
  };
  WindowRenderer whole(module_bitmaps(module_));
  std::vector<Followed> pages(2);
  pages[0].window = 0;
  pages[1].window = 4;
  for (const char* line :
       {"set AIRSPEED 80", "set ALTITUDE 1500", "frames 2", "set BANK 20",
        "set MAGNETIC_HEADING 270", "frames 1", "light night", "frames 1",
        "set PANEL_LIGHTS 1", "frames 1", "open 30",
        "click Battery_Switch 20 30", "frames 2", "set ENGINE_RPM 2100",
        "seconds 1", "light day", "set VERTICAL_SPEED -800", "frames 3"}) {
    ASSERT_EQ(post("/command", line).status, 200) << line;
    for (Followed& page : pages) {
      if (!panel_->host().window_open_at(page.window)) continue;
      Tiles tiles;
      ASSERT_TRUE(tiles.read(get("/window/" + std::to_string(page.window) +
                                 "/pixels?since=" + std::to_string(page.since))
                                 .body));
      tiles.paint(page.picture);
      page.since = tiles.frame;
      EXPECT_TRUE(page.picture.rgb ==
                  whole.render(panel_->host(), page.window, panel_->night())
                      .image.rgb)
          << "window " << page.window << " after " << line;
    }
  }
}

// A page watching a window's stream over a socket is pushed what each
// drawing changed, message by message: applied in order, they give the
// window's full drawing after every line.
TEST_F(LivePanelTest, WindowStreamPushesWhatEachDrawingChanged) {
  auto listening = HttpServer::listen("127.0.0.1", 0);
  ASSERT_TRUE(std::holds_alternative<std::unique_ptr<HttpServer>>(listening));
  HttpServer& server = *std::get<std::unique_ptr<HttpServer>>(listening);
  std::string reason;
  const net::Socket socket =
      net::connect_tcp("127.0.0.1", server.port(), reason);
  ASSERT_NE(socket, net::kInvalidSocket) << reason;
  ASSERT_EQ(net::send_bytes(socket,
                            "GET /window/0/stream HTTP/1.1\r\n"
                            "Host: 127.0.0.1:8018\r\n\r\n")
                .status,
            net::IoStatus::kOk);
  panel_->set_drawing(true);
  const HttpServer::Handler handler = [&](const HttpRequest& request) {
    return handle_request(*panel_, request, kAuthorities);
  };
  std::string received;
  // Until nothing more arrives for a few polls.
  const auto take = [&] {
    for (int quiet = 0; quiet < 3;) {
      server.poll(2, handler);
      push_window_tiles(*panel_, server);
      char buffer[65536];
      const net::IoResult got =
          net::receive_bytes(socket, buffer, sizeof buffer);
      if (got.status == net::IoStatus::kOk) {
        received.append(buffer, got.bytes);
        quiet = 0;
      } else {
        ++quiet;
      }
    }
  };
  WindowRenderer whole(module_bitmaps(module_));
  Image picture;
  size_t at = std::string::npos;
  size_t messages = 0;
  for (const char* line :
       {"frames 1", "set AIRSPEED 120", "frames 1", "light night",
        "set BANK 15", "frames 2", "set PANEL_LIGHTS 1", "light day",
        "seconds 1"}) {
    ASSERT_EQ(post("/command", line).status, 200) << line;
    take();
    if (at == std::string::npos) {
      const size_t end = received.find("\r\n\r\n");
      ASSERT_NE(end, std::string::npos) << received;
      ASSERT_EQ(received.rfind("HTTP/1.1 200", 0), 0u) << received;
      at = end + 4;
    }
    while (received.size() - at >= 4) {
      uint32_t length = 0;
      for (int i = 0; i < 4; ++i)
        length |= uint32_t(uint8_t(received[at + size_t(i)])) << (8 * i);
      ASSERT_GE(received.size() - at - 4, length);
      Tiles tiles;
      ASSERT_TRUE(tiles.read(received.substr(at + 4, length)));
      tiles.paint(picture);
      at += 4 + length;
      ++messages;
    }
    EXPECT_TRUE(picture.rgb ==
                whole.render(panel_->host(), 0, panel_->night()).image.rgb)
        << "after " << line;
  }
  EXPECT_GT(messages, 5u);
  net::close_socket(socket);
}

// The light changes pictures without a frame: a page that holds the
// frame's picture is still sent what changed.
TEST_F(LivePanelTest, PixelsChangedWithinAFrameAreSentForThatFrame) {
  ASSERT_EQ(post("/command", "frames 1").status, 200);
  Tiles day;
  ASSERT_TRUE(day.read(get("/window/0/pixels").body));
  Image picture;
  day.paint(picture);
  ASSERT_EQ(post("/command", "light night").status, 200);
  Tiles night;
  ASSERT_TRUE(night.read(
      get("/window/0/pixels?since=" + std::to_string(day.frame)).body));
  EXPECT_EQ(night.frame, day.frame);
  EXPECT_FALSE(night.tiles.empty());
  night.paint(picture);
  EXPECT_TRUE(picture.rgb == rendered(*panel_, module_, 0).rgb);
}

TEST_F(LivePanelTest, ClockPausesRunsAndTakesARate) {
  panel_->tick(Clock::now() + 1s);
  const int64_t running = panel_->host().frame();
  EXPECT_GT(running, 0);

  auto paused = nlohmann::json::parse(post("/clock", "pause").body);
  EXPECT_EQ(paused["paused"], true);
  for (int i = 1; i <= 5; ++i) panel_->tick(Clock::now() + i * 1s);
  EXPECT_EQ(panel_->host().frame(), running);
  // Lines still run while paused, and their frames count.
  ASSERT_EQ(post("/command", "frames 2").status, 200);
  EXPECT_EQ(panel_->host().frame(), running + 2);

  auto rate = nlohmann::json::parse(post("/clock", "rate 36").body);
  EXPECT_EQ(rate["rate"], 36);
  EXPECT_EQ(rate["paused"], true);
  auto run = nlohmann::json::parse(post("/clock", "run\n").body);
  EXPECT_EQ(run["paused"], false);
  panel_->tick(Clock::now() + 1s);
  EXPECT_GT(panel_->host().frame(), running + 2);
}

TEST_F(LivePanelTest, StateListsWindowsAndGaugeBoxes) {
  ASSERT_EQ(post("/command", "open 30").status, 200);
  const auto s = state();
  EXPECT_EQ(s["panel"], path_);
  EXPECT_EQ(s["error"], nullptr);
  EXPECT_EQ(s["windows"].size(), 6u);
  const auto& electricity = s["windows"][4];
  EXPECT_EQ(electricity["section"], "[Window04]");
  EXPECT_EQ(electricity["title"], "Electricity");
  EXPECT_EQ(electricity["ident"], 30);
  EXPECT_EQ(electricity["open"], true);
  EXPECT_EQ(electricity["width"], 400);
  EXPECT_EQ(electricity["height"], 200);
  const auto battery = gauge(s, 4, "Battery_Switch");
  ASSERT_FALSE(battery.is_null());
  EXPECT_EQ(battery["x"], 10.0);
  EXPECT_EQ(battery["y"], 20.0);
  EXPECT_EQ(battery["width"], 44.0);
  EXPECT_EQ(battery["height"], 63.0);
  // Every sub-panel has a close button, the throttle quadrant's the second.
  EXPECT_FALSE(gauge(s, 2, "Close_Subpanel#2").is_null());
  EXPECT_EQ(s["windows"][0]["ident"], 0);
  EXPECT_EQ(s["windows"][1]["open"], false);
}

TEST_F(LivePanelTest, VariablesListEveryOneWithItsValue) {
  ASSERT_EQ(post("/command", "set ALTITUDE 1234.5").status, 200);
  const auto list = nlohmann::json::parse(get("/variables").body);
  ASSERT_EQ(list.size(), aircraft_variables().size());
  bool found = false;
  for (const auto& v : list) {
    if (v["name"] != "ALTITUDE") continue;
    found = true;
    EXPECT_EQ(v["value"], 1234.5);
    EXPECT_EQ(v["bcd"], false);
  }
  EXPECT_TRUE(found);
}

TEST_F(LivePanelTest, TranscriptFromALine) {
  ASSERT_EQ(post("/command", "say hello").status, 200);
  const size_t size = panel_->transcript().size();
  auto tail = nlohmann::json::parse(
      get("/transcript?from=" + std::to_string(size - 1)).body);
  EXPECT_EQ(tail["from"], size - 1);
  EXPECT_EQ(tail["lines"], nlohmann::json::array({"> say hello"}));
  auto whole = nlohmann::json::parse(get("/transcript").body);
  EXPECT_EQ(whole["lines"].size(), size);
  EXPECT_EQ(whole["lines"][0], "> start");
  auto beyond = nlohmann::json::parse(get("/transcript?from=100000").body);
  EXPECT_TRUE(beyond["lines"].empty());
}

TEST_F(LivePanelTest, EventStreamStartsWithTheState) {
  const HttpResponse response = get("/events");
  EXPECT_TRUE(response.event_stream);
  EXPECT_EQ(response.body, format_event("state", state_json(*panel_)));
}

TEST_F(LivePanelTest, PageFilesAreServedByName) {
  bool index = false;
  for (const PageFile& file : page_files()) {
    const HttpResponse response =
        get(file.name == "index.html" ? "/" : "/" + std::string(file.name));
    EXPECT_EQ(response.status, 200) << file.name;
    EXPECT_EQ(response.body, file.bytes) << file.name;
    // A browser runs a module script only when it is served as JavaScript.
    if (file.name.ends_with(".js")) {
      EXPECT_EQ(response.content_type, "text/javascript; charset=utf-8")
          << file.name;
    }
    index = index || file.name == "index.html";
  }
  if (!index) GTEST_SKIP() << "no page in host/serve/page yet";
  EXPECT_EQ(get("/").content_type, "text/html; charset=utf-8");
}

}  // namespace
