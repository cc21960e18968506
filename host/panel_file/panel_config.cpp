#include "host/panel_file/panel_config.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <map>
#include <set>

namespace {

struct WindowName {
  const char* name;
  uint32_t ident;
};

constexpr WindowName kWindowNames[] = {
    {.name = "MAIN_PANEL", .ident = 0},
    {.name = "RADIO_STACK_PANEL", .ident = 50},
    {.name = "COMPASS_PANEL", .ident = 75},
    {.name = "ANNUNCIATOR_PANEL", .ident = 125},
    {.name = "ANNUNCIATOR2_PANEL", .ident = 150},
    {.name = "COLLECTIVE_PANEL", .ident = 200},
    {.name = "THROTTLE_PANEL", .ident = 10},
    {.name = "MINI_CONTROLS_PANEL", .ident = 100},
    {.name = "IFR_MAIN_PANEL", .ident = 175},
    {.name = "GPS_PANEL", .ident = 225},
    {.name = "OVERHEAD_PANEL", .ident = 250},
};
static_assert(std::size(kWindowNames) == 11);

constexpr int kAnchors = 9;  // position=0 (top left) to 8 (bottom right)

std::string_view trim(std::string_view s) {
  auto space = [](char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' ||
           c == '\f';
  };
  while (!s.empty() && space(s.front())) s.remove_prefix(1);
  while (!s.empty() && space(s.back())) s.remove_suffix(1);
  return s;
}

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

bool equal_ignoring_case(std::string_view a, std::string_view b) {
  return a.size() == b.size() && lower(a) == lower(b);
}

bool starts_ignoring_case(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         equal_ignoring_case(text.substr(0, prefix.size()), prefix);
}

// A whole field as a decimal integer, optionally signed; nothing else.
std::optional<int64_t> parse_integer(std::string_view text) {
  text = trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  int64_t value = 0;
  auto [end, error] =
      std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size())
    return std::nullopt;
  return value;
}

std::optional<int32_t> parse_int32(std::string_view text) {
  auto value = parse_integer(text);
  if (!value || *value < std::numeric_limits<int32_t>::min() ||
      *value > std::numeric_limits<int32_t>::max())
    return std::nullopt;
  return static_cast<int32_t>(*value);
}

// A whole field as a finite decimal number ("0.333", "1", "-.5").
std::optional<double> parse_real(std::string_view text) {
  text = trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  double value = 0;
  auto [end, error] =
      std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() ||
      !std::isfinite(value))
    return std::nullopt;
  return value;
}

// The digits that follow a prefix, as in "Window07" or "gauge12".
std::optional<int> numbered(std::string_view text, std::string_view prefix) {
  if (text.size() <= prefix.size() || !starts_ignoring_case(text, prefix))
    return std::nullopt;
  std::string_view digits = text.substr(prefix.size());
  if (digits.size() > 6 ||
      !std::all_of(digits.begin(), digits.end(),
                   [](char c) { return c >= '0' && c <= '9'; }))
    return std::nullopt;
  return static_cast<int>(*parse_integer(digits));
}

std::vector<std::string_view> split_commas(std::string_view text) {
  std::vector<std::string_view> fields;
  for (;;) {
    std::size_t comma = text.find(',');
    fields.push_back(trim(text.substr(0, comma)));
    if (comma == std::string_view::npos) return fields;
    text.remove_prefix(comma + 1);
  }
}

// "R,G,B", each 0 to 255.
std::optional<Rgb> parse_rgb(std::string_view text) {
  auto fields = split_commas(text);
  if (fields.size() != 3) return std::nullopt;
  uint8_t channels[3] = {};
  for (std::size_t i = 0; i < 3; ++i) {
    auto value = parse_integer(fields[i]);
    if (!value || *value < 0 || *value > 255) return std::nullopt;
    channels[i] = static_cast<uint8_t>(*value);
  }
  return Rgb{.red = channels[0], .green = channels[1], .blue = channels[2]};
}

// "w" or "w,h": positive integers.
std::optional<std::pair<int32_t, int32_t>> parse_extent(std::string_view text) {
  auto fields = split_commas(text);
  if (fields.size() > 2) return std::nullopt;
  auto width = parse_int32(fields[0]);
  auto height = fields.size() == 2 ? parse_int32(fields[1]) : 0;
  if (!width || !height || *width <= 0 || *height < 0 ||
      (fields.size() == 2 && *height == 0))
    return std::nullopt;
  return std::pair{*width, *height};
}

// "a" or "a,b": finite numbers.
std::optional<std::pair<double, std::optional<double>>> parse_fractions(
    std::string_view text) {
  auto fields = split_commas(text);
  if (fields.size() > 2) return std::nullopt;
  auto first = parse_real(fields[0]);
  if (!first) return std::nullopt;
  if (fields.size() == 1) return std::pair{*first, std::optional<double>{}};
  auto second = parse_real(fields[1]);
  if (!second) return std::nullopt;
  return std::pair{*first, std::optional<double>{*second}};
}

// The text before a "//" comment, or "" for a line that is a ';' comment.
std::string_view strip_comment(std::string_view line) {
  std::size_t slashes = line.find("//");
  if (slashes != std::string_view::npos) line = line.substr(0, slashes);
  line = trim(line);
  if (!line.empty() && line.front() == ';') return {};
  return line;
}

std::string two_digits(int number) {
  return (number < 10 ? "0" : "") + std::to_string(number);
}

std::string quoted(std::string_view text) {
  return "\"" + std::string(text) + "\"";
}

std::string join_folder(const std::string& folder, std::string_view file) {
  std::string path(file);
  std::replace(path.begin(), path.end(), '\\', '/');
  if (folder.empty() || path.starts_with('/')) return path;
  return folder + "/" + path;
}

// A day background key: file, file_1024, file_640, ... (not the _night ones).
// Lower ranks win: file_1024 is what the simulator shows at the panel's
// design resolution.
std::optional<int> background_rank(std::string_view key) {
  if (key == "file_1024") return 0;
  if (key == "file") return 1;
  if (numbered(key, "file_")) return 2;
  return std::nullopt;
}

struct Reader {
  PanelConfig config;
  std::string reason;
  int line = 0;
  // Per window: the keys already given and the background key's rank.
  std::vector<std::map<std::string, int>> given;
  std::vector<int> background_ranks;
  std::map<int, std::string> titles;

  bool fail(int at, std::string why) {
    line = at;
    reason = std::move(why);
    return false;
  }

  void note(int at, const std::string& what) {
    config.notes.push_back(file_name_only(config.file) + ":" +
                           std::to_string(at) + ": " + what);
  }

  bool gauge(std::string_view key, std::string_view value, int at,
             PanelWindow& window) {
    auto number = numbered(key, "gauge");
    if (!number)
      return fail(at, "bad gauge key " + quoted(key) + ": expected gaugeNN");
    for (const GaugePlacement& g : window.gauges)
      if (g.number == *number) {
        note(at, "gauge" + two_digits(*number) + " is placed again in " +
                     window.section_name() + "; the placement of line " +
                     std::to_string(g.line) + " holds");
        return true;
      }

    GaugePlacement placement;
    placement.number = *number;
    placement.line = at;
    std::size_t comma = value.find(',');
    std::string_view name = trim(value.substr(0, comma));
    std::size_t bang = name.find('!');
    if (bang == std::string_view::npos || trim(name.substr(0, bang)).empty() ||
        trim(name.substr(bang + 1)).empty())
      return fail(at, "expected Module!Gauge_Name, x, y after " +
                          std::string(key) + "=");
    placement.module = std::string(trim(name.substr(0, bang)));
    placement.gauge = std::string(trim(name.substr(bang + 1)));
    if (comma == std::string_view::npos)
      return fail(at, "expected Module!Gauge_Name, x, y after " +
                          std::string(key) + "=");

    // x and y, then up to two sizes that may be left empty; the first field
    // that is neither a number nor empty starts the parameter text, which
    // runs verbatim to the end of the line.
    std::string_view rest = value.substr(comma + 1);
    bool more = true;
    std::optional<int32_t> numbers[4];
    for (int slot = 0; slot < 4 && more; ++slot) {
      std::size_t next = rest.find(',');
      std::string_view field = trim(rest.substr(0, next));
      auto n = parse_int32(field);
      if (slot < 2 && !n)
        return fail(at, "bad " + std::string(slot == 0 ? "x " : "y ") +
                            quoted(field) + ": expected an integer");
      if (!n && !field.empty()) break;
      numbers[slot] = n;
      more = next != std::string_view::npos;
      rest = more ? rest.substr(next + 1) : std::string_view{};
    }
    if (!numbers[1])
      return fail(at, "expected Module!Gauge_Name, x, y after " +
                          std::string(key) + "=");
    placement.x = *numbers[0];
    placement.y = *numbers[1];
    placement.width = numbers[2];
    placement.height = numbers[3];
    if ((placement.width && *placement.width <= 0) ||
        (placement.height && *placement.height <= 0))
      return fail(at, "gauge width and height must be positive");
    if (more) placement.parameter_text = std::string(trim(rest));
    window.gauges.push_back(std::move(placement));
    return true;
  }

  bool window_key(std::string_view key, std::string_view value, int at,
                  PanelWindow& window) {
    const std::string k = lower(key);
    if (k.starts_with("gauge")) return gauge(key, value, at, window);
    std::map<std::string, int>& keys = given.back();
    if (auto earlier = keys.find(k); earlier != keys.end()) {
      note(at, k + " is given again in " + window.section_name() + "; line " +
                   std::to_string(earlier->second) + " holds");
      return true;
    }
    keys[k] = at;

    if (k == "ident") {
      if (auto ident = parse_window_ident(value)) {
        window.ident = *ident;
      } else {
        note(at, "ident " + quoted(value) + " of " + window.section_name() +
                     " is neither a number nor a window name; the window "
                     "cannot be opened by ident");
      }
    } else if (k == "size_mm" || k == "pixel_size") {
      auto size = parse_extent(value);
      if (!size)
        return fail(at, "bad " + k + " " + quoted(value) +
                            ": expected a positive width, and a height");
      if (k == "size_mm" || !keys.contains("size_mm")) {
        window.width = size->first;
        window.height = size->second;
      }
    } else if (k == "position") {
      auto anchor = parse_integer(value);
      if (!anchor || *anchor < 0 || *anchor >= kAnchors)
        return fail(at, "bad position " + quoted(value) +
                            ": expected an anchor 0 (top left) to 8 "
                            "(bottom right)");
      window.screen.anchor = static_cast<int>(*anchor);
    } else if (k == "window_pos" || k == "window_size") {
      auto fractions = parse_fractions(value);
      if (!fractions)
        return fail(at, "bad " + k + " " + quoted(value) +
                            ": expected one or two fractions of the screen");
      if (k == "window_pos") {
        window.screen.x = fractions->first;
        window.screen.y = fractions->second.value_or(0);
      } else {
        window.screen.width = fractions->first;
        window.screen.height = fractions->second;
      }
    } else if (k == "visible") {
      auto visible = parse_integer(value);
      if (!visible)
        return fail(at, "bad visible " + quoted(value) + ": expected 0 or 1");
      if (window.kind == PanelWindow::Kind::kWindow)
        window.visible = *visible != 0;
    } else if (k == "background_color") {
      auto color = parse_rgb(value);
      if (!color)
        return fail(at, "bad background_color " + quoted(value) +
                            ": expected R,G,B, each 0 to 255");
      window.background_color = *color;
    } else if (k == "texture") {
      window.texture = std::string(value);
    } else if (auto rank = background_rank(k)) {
      if (*rank < background_ranks.back() && !value.empty()) {
        background_ranks.back() = *rank;
        window.background = std::string(value);
        window.background_path = join_folder(config.folder, value);
      }
    }
    return true;
  }

  bool color_key(std::string_view key, std::string_view value, int at) {
    const std::string k = lower(key);
    std::optional<Rgb>* tint = k == "day"        ? &config.colors.day
                               : k == "night"    ? &config.colors.night
                               : k == "luminous" ? &config.colors.luminous
                                                 : nullptr;
    if (tint == nullptr) return true;
    auto color = parse_rgb(value);
    if (!color)
      return fail(at, "bad " + std::string(key) + " " + quoted(value) +
                          ": expected R,G,B, each 0 to 255");
    *tint = *color;
    return true;
  }

  bool open_window(PanelWindow::Kind kind, int number, int at) {
    for (const PanelWindow& w : config.windows)
      if (w.kind == kind && w.section == number) {
        PanelWindow probe;
        probe.kind = kind;
        probe.section = number;
        return fail(at, probe.section_name() + " repeats the section of line " +
                            std::to_string(w.line));
      }
    config.windows.emplace_back();
    PanelWindow& window = config.windows.back();
    window.kind = kind;
    window.section = number;
    window.line = at;
    given.emplace_back();
    background_ranks.push_back(std::numeric_limits<int>::max());
    return true;
  }

  void finish() {
    for (std::size_t i = 0; i < config.windows.size(); ++i) {
      PanelWindow& w = config.windows[i];
      if (w.kind == PanelWindow::Kind::kWindow)
        if (auto title = titles.find(w.section); title != titles.end())
          w.title = title->second;
      if (!w.ident) continue;
      for (std::size_t j = 0; j < i; ++j)
        if (config.windows[j].ident == w.ident) {
          note(w.line, w.section_name() + " has ident " +
                           std::to_string(*w.ident) + " like " +
                           config.windows[j].section_name() +
                           "; the first answers open, close and toggle");
          break;
        }
    }
  }
};

std::string folder_of(const std::string& file) {
  std::size_t slash = file.find_last_of("/\\");
  return slash == std::string::npos ? "" : file.substr(0, slash);
}

}  // namespace

// Notes name the file without its folder, so that transcripts read the same
// wherever the panel lies.
std::string file_name_only(const std::string& file) {
  std::size_t slash = file.find_last_of("/\\");
  return slash == std::string::npos ? file : file.substr(slash + 1);
}

std::string PanelWindow::section_name() const {
  return std::string(kind == Kind::kWindow ? "[Window" : "[Vcockpit") +
         two_digits(section) + "]";
}

std::string PanelConfigError::message() const {
  if (line == 0) return file + ": " + reason;
  return file + ":" + std::to_string(line) + ": " + reason;
}

std::vector<std::string> window_names() {
  std::vector<std::string> names;
  for (const WindowName& row : kWindowNames) names.emplace_back(row.name);
  return names;
}

std::optional<uint32_t> parse_window_ident(std::string_view text) {
  text = trim(text);
  for (const WindowName& row : kWindowNames)
    if (equal_ignoring_case(text, row.name)) return row.ident;
  auto number = parse_integer(text);
  if (!number || *number < 0 || *number > std::numeric_limits<uint32_t>::max())
    return std::nullopt;
  return static_cast<uint32_t>(*number);
}

PanelConfigResult parse_panel_config(std::string_view text,
                                     std::string file_name) {
  // A picture, a module or a UTF-16 text given as a panel file: the lines
  // the reader would find in it mean nothing.
  if (const size_t nul = text.find('\0'); nul != std::string_view::npos) {
    const bool utf16 =
        text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF");
    return PanelConfigError{
        .file = std::move(file_name),
        .reason = utf16 ? "is UTF-16 text; a panel file is ANSI or UTF-8 text"
                        : "is not text (a NUL byte at offset " +
                              std::to_string(nul) + ")"};
  }
  Reader reader;
  reader.config.file = file_name;
  reader.config.folder = folder_of(file_name);
  enum class Section {
    kOther,
    kTitles,
    kColor,
    kWindow
  } section = Section::kOther;

  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  int line_number = 0;
  bool ok = true;
  while (ok && !text.empty()) {
    ++line_number;
    std::size_t end = text.find('\n');
    std::string_view line = strip_comment(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view{}
                                         : text.substr(end + 1);
    if (line.empty()) continue;

    if (line.front() == '[') {
      std::size_t close = line.find(']');
      if (close == std::string_view::npos) {
        ok = reader.fail(line_number, "section header without closing ']'");
        break;
      }
      std::string_view name = trim(line.substr(1, close - 1));
      section = Section::kOther;
      if (equal_ignoring_case(name, "Window Titles")) {
        section = Section::kTitles;
      } else if (equal_ignoring_case(name, "Color")) {
        section = Section::kColor;
      } else if (auto number = numbered(name, "Window")) {
        ok = reader.open_window(PanelWindow::Kind::kWindow, *number,
                                line_number);
        section = Section::kWindow;
      } else if (auto vc = numbered(name, "Vcockpit")) {
        ok = reader.open_window(PanelWindow::Kind::kVirtualCockpit, *vc,
                                line_number);
        section = Section::kWindow;
      } else if (starts_ignoring_case(name, "Window") ||
                 starts_ignoring_case(name, "Vcockpit")) {
        reader.note(line_number, "section [" + std::string(name) +
                                     "] is not [WindowNN] or [VcockpitNN]; "
                                     "skipped");
      }
      continue;
    }
    if (section == Section::kOther) continue;

    std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      if (section == Section::kWindow)
        ok = reader.fail(line_number, "expected key=value");
      continue;
    }
    std::string_view key = trim(line.substr(0, equals));
    std::string_view value = trim(line.substr(equals + 1));
    switch (section) {
      case Section::kTitles:
        if (auto number = numbered(key, "Window"))
          reader.titles.emplace(*number, value);
        break;
      case Section::kColor:
        ok = reader.color_key(key, value, line_number);
        break;
      case Section::kWindow:
        ok = reader.window_key(key, value, line_number,
                               reader.config.windows.back());
        break;
      case Section::kOther:
        break;
    }
  }
  if (!ok)
    return PanelConfigError{.file = std::move(file_name),
                            .line = reader.line,
                            .reason = std::move(reader.reason)};
  if (reader.config.windows.empty())
    return PanelConfigError{
        .file = std::move(file_name),
        .reason = "has no [WindowNN] or [VcockpitNN] section"};
  reader.finish();
  return std::move(reader.config);
}

void resolve_window_sizes(PanelConfig& config,
                          const ImageSizeReader& image_size,
                          const GaugeBoxReader& gauge_box) {
  for (PanelWindow& window : config.windows) {
    std::optional<std::pair<int32_t, int32_t>> background;
    if (!window.background.empty()) {
      background = image_size(window.background_path);
      if (!background || background->first <= 0 || background->second <= 0) {
        background.reset();
        config.notes.push_back(file_name_only(config.file) + ":" +
                               std::to_string(window.line) + ": " +
                               window.section_name() + " background file " +
                               quoted(window.background) +
                               " cannot be read; the window is drawn in "
                               "its background colour");
      }
    }
    if (window.width > 0 && window.height > 0) continue;
    if (background) {
      if (window.width <= 0) {
        window.width = background->first;
        window.height = background->second;
      } else {
        window.height = static_cast<int32_t>(std::lround(
            double(window.width) * background->second / background->first));
      }
      continue;
    }
    int64_t right = 0, bottom = 0;
    for (const GaugePlacement& gauge : window.gauges) {
      const auto [w, h] = gauge_box(gauge);
      right = std::max<int64_t>(right, int64_t(gauge.x) + std::max(w, 0));
      bottom = std::max<int64_t>(bottom, int64_t(gauge.y) + std::max(h, 0));
    }
    constexpr int64_t kLargest = std::numeric_limits<int32_t>::max();
    if (window.width <= 0)
      window.width = static_cast<int32_t>(std::min(right, kLargest));
    window.height = static_cast<int32_t>(std::min(bottom, kLargest));
  }
}
