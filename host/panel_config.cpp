#include "host/panel_config.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <limits>
#include <map>

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
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool equal_ignoring_case(std::string_view a, std::string_view b) {
  return a.size() == b.size() && lower(a) == lower(b);
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

// The digits that follow a prefix, as in "Window07" or "gauge12".
std::optional<int> numbered(std::string_view text, std::string_view prefix) {
  if (text.size() <= prefix.size() ||
      !equal_ignoring_case(text.substr(0, prefix.size()), prefix))
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

// "w,h" or "x,y" as two integers.
std::optional<std::pair<int32_t, int32_t>> parse_pair(std::string_view text) {
  auto fields = split_commas(text);
  if (fields.size() != 2) return std::nullopt;
  auto a = parse_int32(fields[0]);
  auto b = parse_int32(fields[1]);
  if (!a || !b) return std::nullopt;
  return std::pair{*a, *b};
}

// The text before a "//" comment, or "" for a line that is a ';' comment.
std::string_view strip_comment(std::string_view line) {
  std::size_t slashes = line.find("//");
  if (slashes != std::string_view::npos) line = line.substr(0, slashes);
  line = trim(line);
  if (!line.empty() && line.front() == ';') return {};
  return line;
}

struct Parser {
  std::string file;
  std::string reason;
  int line = 0;

  bool fail(int at, std::string why) {
    line = at;
    reason = std::move(why);
    return false;
  }

  bool gauge(std::string_view key, std::string_view value, int at,
             PanelWindow& window) {
    auto number = numbered(key, "gauge");
    if (!number)
      return fail(
          at, "bad gauge key \"" + std::string(key) + "\": expected gaugeNN");
    for (const GaugePlacement& g : window.gauges)
      if (g.number == *number)
        return fail(at, "gauge" + std::to_string(*number) +
                            " is placed twice in this window");

    GaugePlacement placement;
    placement.number = *number;
    placement.line = at;
    std::size_t comma = value.find(',');
    std::string_view name = trim(value.substr(0, comma));
    std::size_t bang = name.find('!');
    if (bang == std::string_view::npos || bang == 0 || bang + 1 == name.size())
      return fail(at, "expected Module!Gauge_Name, x, y after " +
                          std::string(key) + "=");
    placement.module = std::string(trim(name.substr(0, bang)));
    placement.gauge = std::string(trim(name.substr(bang + 1)));

    // Up to four numbers follow; the first field that is not a number starts
    // the parameter text, which runs verbatim to the end of the line.
    std::optional<int32_t> numbers[4];
    int count = 0;
    std::string_view rest = comma == std::string_view::npos
                                ? std::string_view{}
                                : value.substr(comma + 1);
    bool more = comma != std::string_view::npos;
    while (more && count < 4) {
      std::size_t next = rest.find(',');
      std::string_view field = trim(rest.substr(0, next));
      auto n = parse_int32(field);
      if (!n) {
        if (count < 2)
          return fail(at, "bad " + std::string(count == 0 ? "x" : "y") + " \"" +
                              std::string(field) + "\": expected an integer");
        break;
      }
      numbers[count++] = n;
      more = next != std::string_view::npos;
      rest = more ? rest.substr(next + 1) : std::string_view{};
    }
    if (count < 2)
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
                  PanelWindow& window, bool& sized, bool& has_ident) {
    std::string k = lower(key);
    if (k == "ident") {
      auto ident = parse_window_ident(value);
      if (!ident)
        return fail(at, "bad ident \"" + std::string(value) +
                            "\": expected a window number or name");
      window.ident = *ident;
      has_ident = true;
    } else if (k == "size_mm" || k == "window_size") {
      auto size = parse_pair(value);
      if (!size || size->first <= 0 || size->second <= 0)
        return fail(at, "bad " + k + " \"" + std::string(value) +
                            "\": expected two positive integers w,h");
      if (k == "size_mm" || !sized) {
        window.width = size->first;
        window.height = size->second;
      }
      sized = true;
    } else if (k == "position" || k == "window_pos") {
      auto position = parse_pair(value);
      if (!position)
        return fail(at, "bad " + k + " \"" + std::string(value) +
                            "\": expected two integers x,y");
      window.x = position->first;
      window.y = position->second;
    } else if (k == "visible") {
      auto visible = parse_integer(value);
      if (!visible || (*visible != 0 && *visible != 1))
        return fail(
            at, "bad visible \"" + std::string(value) + "\": expected 0 or 1");
      window.visible = *visible == 1;
    } else if (k == "file") {
      window.background = std::string(value);
    } else if (k.starts_with("gauge")) {
      return gauge(key, value, at, window);
    }
    return true;
  }
};

}  // namespace

std::string PanelConfigError::message() const {
  return file + ":" + std::to_string(line) + ": " + reason;
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
  Parser parser;
  parser.file = file_name;
  PanelConfig config;
  config.file = file_name;
  std::map<int, std::string> titles;
  enum class Section { kOther, kTitles, kWindow } section = Section::kOther;
  PanelWindow* window = nullptr;
  std::vector<bool> sized;
  std::vector<bool> has_ident;

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
      if (line.back() != ']') {
        ok = parser.fail(line_number, "section header without closing ']'");
        break;
      }
      std::string_view name = trim(line.substr(1, line.size() - 2));
      window = nullptr;
      section = Section::kOther;
      if (equal_ignoring_case(name, "Window Titles")) {
        section = Section::kTitles;
      } else if (name.size() > 6 &&
                 equal_ignoring_case(name.substr(0, 6), "Window")) {
        auto number = numbered(name, "Window");
        if (!number) {
          ok = parser.fail(line_number, "bad window section [" +
                                            std::string(name) +
                                            "]: expected [WindowNN]");
          break;
        }
        for (const PanelWindow& w : config.windows)
          if (w.section == *number) {
            ok = parser.fail(line_number, "[" + std::string(name) +
                                              "] repeats the section of line " +
                                              std::to_string(w.line));
            break;
          }
        if (!ok) break;
        config.windows.emplace_back();
        config.windows.back().section = *number;
        config.windows.back().line = line_number;
        sized.push_back(false);
        has_ident.push_back(false);
        window = &config.windows.back();
        section = Section::kWindow;
      }
      continue;
    }
    if (section == Section::kOther) continue;

    std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      ok = parser.fail(line_number, "expected key=value");
      break;
    }
    std::string_view key = trim(line.substr(0, equals));
    std::string_view value = trim(line.substr(equals + 1));
    if (section == Section::kTitles) {
      if (auto number = numbered(key, "Window")) titles[*number] = value;
      continue;
    }
    bool window_sized = sized.back();
    bool window_ident = has_ident.back();
    ok = parser.window_key(key, value, line_number, *window, window_sized,
                           window_ident);
    sized.back() = window_sized;
    has_ident.back() = window_ident;
  }

  for (std::size_t i = 0; ok && i < config.windows.size(); ++i) {
    PanelWindow& w = config.windows[i];
    std::string section_name = "[Window" +
                               std::string(w.section < 10 ? "0" : "") +
                               std::to_string(w.section) + "]";
    if (!sized[i]) {
      ok = parser.fail(w.line, section_name + " has no size (size_mm=w,h)");
    } else if (!has_ident[i]) {
      ok = parser.fail(w.line, section_name + " has no ident=");
    }
    for (std::size_t j = 0; ok && j < i; ++j)
      if (config.windows[j].ident == w.ident)
        ok = parser.fail(w.line, section_name + " uses ident " +
                                     std::to_string(w.ident) +
                                     ", already used at line " +
                                     std::to_string(config.windows[j].line));
    if (auto title = titles.find(w.section); title != titles.end())
      w.title = title->second;
  }
  if (!ok)
    return PanelConfigError{.file = std::move(file_name),
                            .line = parser.line,
                            .reason = std::move(parser.reason)};
  return config;
}
