// What one frame of the sample aircraft's panel costs with every window
// open: the module's update through the host (notice 6, variables, element
// callbacks of every open window), and for each window that update plus the
// drawing of the window at its own size; the main panel's gauges also in a
// 1024 x 768 window.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "host/core/host.h"
#include "host/core/loader.h"
#include "host/panel_file/panel_config.h"
#include "host/render/bitmaps.h"
#include "host/render/render.h"
#include "host/render/stb_files.h"

namespace {

struct Panel {
  LoadedModule module;
  std::unique_ptr<Host> host;
  std::unique_ptr<WindowRenderer> renderer;
};

std::optional<PanelConfig> sample_config() {
  std::ifstream file(SAMPLE_PANEL, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  auto parsed = parse_panel_config(text.str(), SAMPLE_PANEL);
  if (!std::holds_alternative<PanelConfig>(parsed)) return std::nullopt;
  PanelConfig config = std::get<PanelConfig>(std::move(parsed));
  resolve_window_sizes(config, image_file_size, [](const GaugePlacement& g) {
    return std::pair{g.width.value_or(0), g.height.value_or(0)};
  });
  return config;
}

// The sample panel with every window open, its main window stretched to
// `main_height` when non-zero; nullptr when it cannot be set up.
std::unique_ptr<Panel> sample_panel(int32_t main_height) {
  std::optional<PanelConfig> config = sample_config();
  if (!config) return nullptr;
  if (main_height > 0) {
    config->windows[0].height = main_height;
    config->windows[0].background_path.clear();
    config->windows[0].background_color =
        Rgb{.red = 60, .green = 62, .blue = 66};
  }
  auto panel = std::make_unique<Panel>();
  std::string error;
  if (!load_module("", panel->module, error)) return nullptr;
  auto created = Host::create(panel->module, std::move(*config));
  if (!std::holds_alternative<std::unique_ptr<Host>>(created)) return nullptr;
  panel->host = std::move(std::get<std::unique_ptr<Host>>(created));
  panel->renderer =
      std::make_unique<WindowRenderer>(module_bitmaps(panel->module));
  panel->host->start();
  for (const PanelWindow& window : panel->host->panel().windows)
    if (window.ident) panel->host->open_window(*window.ident);
  panel->host->aircraft().set(61, 95);    // airspeed
  panel->host->aircraft().set(74, 1850);  // altitude
  panel->host->run_frames(18);
  return panel;
}

// One frame: the update of every open window, then the drawing of window
// `window` (none when negative).
void frame(benchmark::State& state, int window, int32_t main_height) {
  auto panel = sample_panel(main_height);
  if (panel == nullptr) {
    state.SkipWithError("the sample panel cannot be set up");
    return;
  }
  // Steady frames: the bitmaps read and the unchanging layers resampled
  // by two frames before the timed ones.
  for (int warm_up = 0; window >= 0 && warm_up < 2; ++warm_up)
    panel->renderer->render(*panel->host, size_t(window), false);
  for (auto _ : state) {
    panel->host->run_frames(1);
    if (window >= 0) {
      WindowPicture picture =
          panel->renderer->render(*panel->host, size_t(window), false);
      benchmark::DoNotOptimize(picture.image.rgb.data());
    }
  }
  panel->host->stop();
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::RegisterBenchmark("update/all_windows", frame, -1, 0)
      ->Unit(benchmark::kMicrosecond);
  if (std::optional<PanelConfig> config = sample_config()) {
    for (size_t w = 0; w < config->windows.size(); ++w) {
      const PanelWindow& window = config->windows[w];
      const std::string size =
          std::to_string(window.width) + "x" + std::to_string(window.height);
      const std::string section =
          window.section_name().substr(1, window.section_name().size() - 2);
      benchmark::RegisterBenchmark(("frame/" + section + "/" + size).c_str(),
                                   frame, int(w), 0)
          ->Unit(benchmark::kMicrosecond);
      if (w == 0)
        benchmark::RegisterBenchmark(
            ("frame/" + section + "/" + std::to_string(window.width) + "x768")
                .c_str(),
            frame, 0, 768)
            ->Unit(benchmark::kMicrosecond);
    }
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
