// What one frame of the sample aircraft's main panel costs: the module's
// update through the host (notice 6, variables, element callbacks), the
// drawing of the window, and both together, on the sample panel as it
// stands (1024 x 600) and on the same gauges in a 1024 x 768 window.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "host/host.h"
#include "host/loader.h"
#include "host/panel_config.h"
#include "host/render/bitmaps.h"
#include "host/render/render.h"
#include "host/render/stb_files.h"

namespace {

struct Panel {
  LoadedModule module;
  std::unique_ptr<Host> host;
  std::unique_ptr<WindowRenderer> renderer;
};

// The sample panel, its main window stretched to `height` when non-zero;
// nullptr (and a message) when it cannot be set up.
std::unique_ptr<Panel> sample_panel(int32_t height) {
  std::ifstream file(SAMPLE_PANEL, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  auto parsed = parse_panel_config(text.str(), SAMPLE_PANEL);
  if (!std::holds_alternative<PanelConfig>(parsed)) return nullptr;
  PanelConfig config = std::get<PanelConfig>(std::move(parsed));
  resolve_window_sizes(config, image_file_size, [](const GaugePlacement& g) {
    return std::pair{g.width.value_or(0), g.height.value_or(0)};
  });
  if (height > 0) {
    config.windows[0].height = height;
    config.windows[0].background_path.clear();
    config.windows[0].background_color =
        Rgb{.red = 60, .green = 62, .blue = 66};
  }
  auto panel = std::make_unique<Panel>();
  std::string error;
  if (!load_module("", panel->module, error)) return nullptr;
  auto created = Host::create(panel->module, std::move(config));
  if (!std::holds_alternative<std::unique_ptr<Host>>(created)) return nullptr;
  panel->host = std::move(std::get<std::unique_ptr<Host>>(created));
  panel->renderer =
      std::make_unique<WindowRenderer>(module_bitmaps(panel->module));
  panel->host->start();
  panel->host->aircraft().set(61, 95);    // airspeed
  panel->host->aircraft().set(74, 1850);  // altitude
  panel->host->run_frames(18);
  return panel;
}

void frame(benchmark::State& state, bool update, bool draw) {
  auto panel = sample_panel(static_cast<int32_t>(state.range(0)));
  if (panel == nullptr) {
    state.SkipWithError("the sample panel cannot be set up");
    return;
  }
  for (auto _ : state) {
    if (update) panel->host->run_frames(1);
    if (draw) {
      WindowPicture picture = panel->renderer->render(*panel->host, 0, false);
      benchmark::DoNotOptimize(picture.image.rgb.data());
    }
  }
  panel->host->stop();
}

void module_update(benchmark::State& state) { frame(state, true, false); }
void window_render(benchmark::State& state) { frame(state, false, true); }
void full_frame(benchmark::State& state) { frame(state, true, true); }

// 0: the sample's own 1024 x 600 window; 768: the same gauges in 1024 x 768.
BENCHMARK(module_update)->Arg(0)->Unit(benchmark::kMicrosecond);
BENCHMARK(window_render)->Arg(0)->Arg(768)->Unit(benchmark::kMicrosecond);
BENCHMARK(full_frame)->Arg(0)->Arg(768)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
