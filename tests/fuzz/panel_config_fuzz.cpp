// Feeds any bytes to the panel reader as a panel file, then settles the
// window sizes of whatever it accepted.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "host/panel_file/panel_config.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  auto result = parse_panel_config(text, "fuzz/panel.cfg");
  if (auto* config = std::get_if<PanelConfig>(&result)) {
    resolve_window_sizes(
        *config,
        [](const std::string& path)
            -> std::optional<std::pair<int32_t, int32_t>> {
          if (path.size() % 3 == 0) return std::nullopt;
          return std::pair{int32_t(path.size()), int32_t(path.size() * 7)};
        },
        [](const GaugePlacement& g) {
          return std::pair{g.width.value_or(INT32_MAX), g.height.value_or(g.x)};
        });
    for (const PanelWindow& window : config->windows)
      (void)window.section_name();
  }
  (void)parse_window_ident(text);
  return 0;
}
