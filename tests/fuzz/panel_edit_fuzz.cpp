// Random edits of a random panel file through its document, saved and read
// back: what the panel reader finds in the saved text must be the panel
// before the edits with the edits made to it (a plain model of the
// placements and window sizes), and a move or resize changes its line only.
// The first bytes choose the edits, the rest is the file.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "host/panel_file/panel_config.h"
#include "host/panel_file/panel_document.h"

namespace {

struct ModelGauge {
  int number;
  std::string module, gauge;
  int32_t x, y;
  std::optional<int32_t> width, height;
  std::string parameter_text;
  bool operator==(const ModelGauge&) const = default;
};

struct ModelWindow {
  int32_t width, height;
  std::vector<ModelGauge> gauges;
  bool operator==(const ModelWindow&) const = default;
};

std::vector<ModelWindow> model_of(const PanelConfig& config) {
  std::vector<ModelWindow> windows;
  for (const PanelWindow& w : config.windows) {
    ModelWindow window{.width = w.width, .height = w.height, .gauges = {}};
    for (const GaugePlacement& g : w.gauges)
      window.gauges.push_back({.number = g.number,
                               .module = g.module,
                               .gauge = g.gauge,
                               .x = g.x,
                               .y = g.y,
                               .width = g.width,
                               .height = g.height,
                               .parameter_text = g.parameter_text});
    windows.push_back(std::move(window));
  }
  return windows;
}

std::optional<PanelConfig> parsed(const PanelDocument& document) {
  auto result = parse_panel_config(panel_document_text(document), "p.cfg");
  if (auto* config = std::get_if<PanelConfig>(&result)) return *config;
  return std::nullopt;
}

// A name or text from a few letters the reader treats specially.
std::string word(FuzzedDataProvider& in) {
  static constexpr char kLetters[] = "aZ09 ,!#;/=[]\t-+x";
  std::string text;
  const size_t length = in.ConsumeIntegralInRange<size_t>(0, 6);
  for (size_t i = 0; i < length; ++i)
    text += kLetters[in.ConsumeIntegralInRange<size_t>(0, sizeof kLetters - 2)];
  return text;
}

size_t differing_lines(const PanelDocument& a, const PanelDocument& b) {
  if (a.lines.size() != b.lines.size()) return SIZE_MAX;
  size_t differ = 0;
  for (size_t i = 0; i < a.lines.size(); ++i)
    differ += a.lines[i] != b.lines[i];
  return differ;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const size_t edits = in.ConsumeIntegralInRange<size_t>(1, 6);
  std::vector<uint8_t> choices = in.ConsumeBytes<uint8_t>(edits * 24);
  const std::string text = in.ConsumeRemainingBytesAsString();

  PanelDocument document = read_panel_document(text);
  if (panel_document_text(document) != text) std::abort();
  std::optional<PanelConfig> config = parsed(document);
  if (!config) return 0;
  std::vector<ModelWindow> model = model_of(*config);

  FuzzedDataProvider steps(choices.data(), choices.size());
  for (size_t e = 0; e < edits && steps.remaining_bytes() > 0; ++e) {
    const size_t w =
        steps.ConsumeIntegralInRange<size_t>(0, config->windows.size() - 1);
    const PanelWindow& window = config->windows[w];
    ModelWindow& modelled = model[w];
    const int kind = steps.ConsumeIntegralInRange<int>(0, 4);
    const int32_t a = steps.ConsumeIntegral<int32_t>();
    const int32_t b = steps.ConsumeIntegral<int32_t>();
    const size_t g =
        window.gauges.empty()
            ? 0
            : steps.ConsumeIntegralInRange<size_t>(0, window.gauges.size() - 1);
    PanelDocument next = document;
    std::string why;
    if (kind <= 2 && window.gauges.empty()) continue;
    switch (kind) {
      case 0:
        why = move_gauge_line(next, window.gauges[g].line, a, b);
        if (why.empty()) {
          modelled.gauges[g].x = a;
          modelled.gauges[g].y = b;
        }
        break;
      case 1: {
        const int32_t width = std::max(1, std::abs(a % 4096));
        const int32_t height = std::max(1, std::abs(b % 4096));
        why = resize_gauge_line(next, window.gauges[g].line, width, height);
        if (why.empty()) {
          modelled.gauges[g].width = width;
          modelled.gauges[g].height = height;
        }
        break;
      }
      case 2:
        why = remove_gauge_line(next, window.line, window.gauges[g].line);
        if (why.empty()) {
          const int removed = modelled.gauges[g].number;
          modelled.gauges.erase(modelled.gauges.begin() + ptrdiff_t(g));
          for (ModelGauge& other : modelled.gauges)
            if (other.number > removed) --other.number;
        }
        break;
      case 3: {
        NewGaugeLine added;
        added.module = word(steps);
        added.gauge = word(steps);
        added.x = a;
        added.y = b;
        if (steps.ConsumeBool()) {
          added.width = 1 + (a & 0xFF);
          added.height = 1 + (b & 0xFF);
        }
        added.parameter_text = word(steps);
        int line = 0;
        why = add_gauge_line(next, window.line, added, line);
        if (why.empty())
          modelled.gauges.push_back({.number = 0,
                                     .module = added.module,
                                     .gauge = added.gauge,
                                     .x = added.x,
                                     .y = added.y,
                                     .width = added.width,
                                     .height = added.height,
                                     .parameter_text = added.parameter_text});
        break;
      }
      default: {
        const int32_t width = std::max(1, std::abs(a % 4096));
        const int32_t height = std::max(1, std::abs(b % 4096));
        why = set_window_size_line(next, window.line, width, height);
        if (why.empty()) {
          modelled.width = width;
          modelled.height = height;
        }
        break;
      }
    }
    if (!why.empty()) {
      if (next != document) std::abort();  // a refused edit changes nothing
      continue;
    }
    if (kind <= 1 && differing_lines(document, next) > 1) std::abort();
    // Saved and read back.
    const PanelDocument saved = read_panel_document(panel_document_text(next));
    config = parsed(saved);
    if (!config) std::abort();
    std::vector<ModelWindow> read_back = model_of(*config);
    // The added gauge takes a number above every other of its window.
    if (kind == 3 && !read_back[w].gauges.empty()) {
      const int number = read_back[w].gauges.back().number;
      for (const ModelGauge& other : modelled.gauges)
        if (&other != &modelled.gauges.back() && other.number >= number)
          std::abort();
      modelled.gauges.back().number = number;
    }
    if (read_back != model) std::abort();
    document = next;
  }
  return 0;
}
