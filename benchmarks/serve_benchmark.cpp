// What the live server spends, with the sample panel's main window at
// 1024 x 768 and a page watching: on one frame a page receives (the clock's
// frame, the window drawn again where it changed and compared tile by tile,
// the events put into words, the changed tiles answered), and on one `set`
// line a page sends (read, run, answered, its events put into words).
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "host/core/loader.h"
#include "host/serve/live_panel.h"
#include "host/serve/routes.h"

namespace {

const std::vector<std::string> kAuthorities = {"127.0.0.1:8018"};

HttpRequest request_to(std::string method, std::string path) {
  HttpRequest request;
  request.method = std::move(method);
  request.path = std::move(path);
  request.headers = {{"host", "127.0.0.1:8018"}};
  return request;
}

// The sample panel at 1024 x 768, in flight, watched by a page.
struct ServedPanel {
  std::filesystem::path folder;
  LoadedModule module;
  std::unique_ptr<LivePanel> panel;
  LivePanel::Clock::time_point now;

  bool open(benchmark::State& state) {
    std::ifstream sample(SAMPLE_PANEL, std::ios::binary);
    std::stringstream text;
    text << sample.rdbuf();
    std::string panel_text = text.str();
    const std::string size = "size_mm=1024,600";
    panel_text.replace(panel_text.find(size), size.size(), "size_mm=1024,768");
    folder =
        std::filesystem::temp_directory_path() / "corvelain_serve_benchmark";
    std::filesystem::create_directories(folder);
    const std::string path = (folder / "panel.cfg").string();
    std::ofstream(path, std::ios::binary) << panel_text;
    std::string error;
    if (!load_module("", module, error)) {
      state.SkipWithError(error.c_str());
      return false;
    }
    now = LivePanel::Clock::now();
    auto opened = LivePanel::open(module, path, 18, now);
    if (auto* why = std::get_if<std::string>(&opened)) {
      state.SkipWithError(why->c_str());
      return false;
    }
    panel = std::move(std::get<std::unique_ptr<LivePanel>>(opened));
    // The aircraft in flight, so that the needles move every frame.
    for (const char* line : {"set AIRSPEED 95", "set ALTITUDE 1850",
                             "set VERTICAL_SPEED 500", "set BANK -10"}) {
      ScenarioCommand cmd;
      if (const std::string why = panel->check(line, cmd); !why.empty()) {
        state.SkipWithError(why.c_str());
        return false;
      }
      panel->run_command(cmd);
    }
    panel->set_drawing(true);
    for (int warm_up = 0; warm_up < 2; ++warm_up) next_frame();
    panel->take_notices();
    return true;
  }

  void next_frame() {
    now += std::chrono::nanoseconds(1'000'000'000 / 18);
    panel->tick(now);
  }

  ~ServedPanel() {
    panel.reset();
    if (!folder.empty()) std::filesystem::remove_all(folder);
  }
};

void delivered_frame(benchmark::State& state) {
  ServedPanel served;
  if (!served.open(state)) return;
  LivePanel& panel = *served.panel;
  HttpRequest request = request_to("GET", "/window/0/pixels");
  int64_t since = panel.host().frame();
  size_t tiles_bytes = 0;
  for (auto _ : state) {
    served.next_frame();
    for (const auto& [event, data] : take_panel_events(panel))
      benchmark::DoNotOptimize(format_event(event, data));
    request.query = "since=" + std::to_string(since);
    const HttpResponse tiles = handle_request(panel, request, kAuthorities);
    tiles_bytes += tiles.body.size();
    since = panel.host().frame();
  }
  state.counters["tile_bytes"] = benchmark::Counter(
      double(tiles_bytes), benchmark::Counter::kAvgIterations);
}

void set_line(benchmark::State& state) {
  ServedPanel served;
  if (!served.open(state)) return;
  LivePanel& panel = *served.panel;
  HttpRequest request = request_to("POST", "/command");
  int step = 0;
  for (auto _ : state) {
    request.body = "set AIRSPEED " + std::to_string(60 + step % 100) + ".5";
    ++step;
    const HttpResponse answer = handle_request(panel, request, kAuthorities);
    if (answer.status != 200) {
      state.SkipWithError(answer.body.c_str());
      break;
    }
    for (const auto& [event, data] : take_panel_events(panel))
      benchmark::DoNotOptimize(format_event(event, data));
  }
}

}  // namespace

BENCHMARK(delivered_frame)
    ->Name("serve/Window00/1024x768")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(set_line)->Name("serve/set_line")->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
