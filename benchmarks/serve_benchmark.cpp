// What the live server spends on one frame a watching page receives, with
// the sample panel's main window at 1024 x 768: the clock's frame, the
// window drawn and compared with the last picture tile by tile, the events
// put into words, and the changed tiles answered to the page.
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

void delivered_frame(benchmark::State& state) {
  std::ifstream sample(SAMPLE_PANEL, std::ios::binary);
  std::stringstream text;
  text << sample.rdbuf();
  std::string panel_text = text.str();
  const std::string size = "size_mm=1024,600";
  panel_text.replace(panel_text.find(size), size.size(), "size_mm=1024,768");
  const auto folder =
      std::filesystem::temp_directory_path() / "corvelain_serve_benchmark";
  std::filesystem::create_directories(folder);
  const std::string path = (folder / "panel.cfg").string();
  std::ofstream(path, std::ios::binary) << panel_text;

  LoadedModule module;
  std::string error;
  if (!load_module("", module, error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  const auto start = LivePanel::Clock::now();
  auto opened = LivePanel::open(module, path, 18, start);
  if (auto* why = std::get_if<std::string>(&opened)) {
    state.SkipWithError(why->c_str());
    return;
  }
  LivePanel& panel = *std::get<std::unique_ptr<LivePanel>>(opened);
  const std::vector<std::string> authorities = {"127.0.0.1:8018"};
  HttpRequest request;
  request.method = "GET";
  request.path = "/window/0/pixels";
  request.headers = {{"host", "127.0.0.1:8018"}};
  // The aircraft in flight, so that the needles move every frame.
  for (const char* line : {"set AIRSPEED 95", "set ALTITUDE 1850",
                           "set VERTICAL_SPEED 500", "set BANK -10"}) {
    ScenarioCommand cmd;
    if (const std::string why = panel.check(line, cmd); !why.empty()) {
      state.SkipWithError(why.c_str());
      return;
    }
    panel.run_command(cmd);
  }
  panel.set_drawing(true);
  const auto period = std::chrono::nanoseconds(1'000'000'000 / 18);
  auto now = start;
  int64_t since = 0;
  size_t tiles_bytes = 0;
  for (int warm_up = 0; warm_up < 2; ++warm_up) {
    now += period;
    panel.tick(now);
    panel.take_notices();
    since = panel.host().frame();
  }
  for (auto _ : state) {
    now += period;
    panel.tick(now);
    for (const auto& [event, data] : take_panel_events(panel))
      benchmark::DoNotOptimize(format_event(event, data));
    request.query = "since=" + std::to_string(since);
    const HttpResponse tiles = handle_request(panel, request, authorities);
    tiles_bytes += tiles.body.size();
    since = panel.host().frame();
  }
  state.counters["tile_bytes"] = benchmark::Counter(
      double(tiles_bytes), benchmark::Counter::kAvgIterations);
  std::filesystem::remove_all(folder);
}

}  // namespace

BENCHMARK(delivered_frame)
    ->Name("serve/Window00/1024x768")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
