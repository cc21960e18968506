#include "host/scenario.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <optional>

#include "host/number_text.h"

namespace {

// A held button answers again every third frame: six times a second.
constexpr int kRepeatFrames = 3;
constexpr int kDefaultDragSteps = 4;
constexpr double kDefaultTolerance = 0.0005;
// Longest run one command may ask for: an hour of simulated time.
constexpr int64_t kMaxFrames = int64_t{3600} * kFramesPerSecond;

std::vector<std::string> split_words(std::string_view line, bool& ok) {
  std::vector<std::string> words;
  ok = true;
  size_t i = 0;
  while (i < line.size()) {
    if (line[i] == ' ' || line[i] == '\t') {
      ++i;
      continue;
    }
    std::string word;
    if (line[i] == '"') {
      ++i;
      bool closed = false;
      while (i < line.size()) {
        char c = line[i++];
        if (c == '"') {
          closed = true;
          break;
        }
        if (c == '\\' && i < line.size()) c = line[i++];
        word += c;
      }
      if (!closed) ok = false;
    } else {
      while (i < line.size() && line[i] != ' ' && line[i] != '\t')
        word += line[i++];
    }
    words.push_back(std::move(word));
  }
  return words;
}

std::optional<int64_t> parse_integer(std::string_view text) {
  int64_t value = 0;
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = 16;
  }
  const auto result =
      std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (result.ec != std::errc() || result.ptr != text.data() + text.size())
    return std::nullopt;
  return value;
}

std::optional<double> parse_number(std::string_view text) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    const auto whole = parse_integer(text);
    if (!whole) return std::nullopt;
    return double(*whole);
  }
  double value = 0;
  const auto result =
      std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc() || result.ptr != text.data() + text.size())
    return std::nullopt;
  return value;
}

std::optional<int32_t> parse_int32(std::string_view text) {
  const auto value = parse_integer(text);
  if (!value || *value < INT32_MIN || *value > INT32_MAX) return std::nullopt;
  return int32_t(*value);
}

struct GaugeRef {
  std::string name;
  int ordinal = 1;
};

std::optional<GaugeRef> parse_gauge(std::string_view text) {
  GaugeRef ref;
  const size_t hash = text.find('#');
  ref.name = std::string(text.substr(0, hash));
  if (hash != text.npos) {
    const auto ordinal = parse_int32(text.substr(hash + 1));
    if (!ordinal || *ordinal < 1) return std::nullopt;
    ref.ordinal = *ordinal;
  }
  if (ref.name.empty()) return std::nullopt;
  return ref;
}

const AircraftVariable* parse_variable(std::string_view text) {
  if (const auto token = parse_int32(text))
    return find_aircraft_variable(*token);
  return find_aircraft_variable(text);
}

std::string hex_text(uint32_t value) {
  char buffer[16];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, value, 16);
  std::string digits(buffer, end.ptr);
  for (char& c : digits) c = char(std::toupper(static_cast<unsigned char>(c)));
  return "0x" + digits;
}

std::string variable_text(Aircraft& aircraft, const AircraftVariable& var) {
  if (var.bcd) return hex_text(uint32_t(aircraft.integer(var.token)));
  return fixed_text(aircraft.number(var.token));
}

uint32_t parse_button(const std::vector<std::string>& words, size_t at) {
  if (words.size() <= at || words[at] == "left") return kMouseLeftSingle;
  if (words[at] == "right") return kMouseRightSingle;
  return 0;
}

const std::vector<std::string> kElementFields = {
    "value", "x", "y", "rotation", "angle", "index", "text", "drawn"};

// Checks one command; an empty result means it is well formed.
std::string check(const ScenarioCommand& cmd, const Host& host) {
  const auto& w = cmd.words;
  const std::string& verb = w[0];
  auto count = [&](size_t low, size_t high) -> std::string {
    if (w.size() < low || w.size() > high)
      return "'" + verb + "' takes " +
             (low == high ? std::to_string(low - 1)
                          : std::to_string(low - 1) + " to " +
                                std::to_string(high - 1)) +
             " arguments";
    return "";
  };
  auto gauge = [&](size_t at) -> std::string {
    const auto ref = parse_gauge(w[at]);
    if (!ref) return "bad gauge reference '" + w[at] + "'";
    for (const GaugeInstance& g : host.instances())
      if (g.placement->gauge == ref->name && g.ordinal == ref->ordinal)
        return "";
    return "the panel places no gauge " + w[at];
  };
  auto integers = [&](size_t from, size_t to) -> std::string {
    for (size_t i = from; i < to && i < w.size(); ++i)
      if (!parse_int32(w[i])) return "'" + w[i] + "' is not a whole number";
    return "";
  };
  auto number = [&](size_t at) -> std::string {
    if (at < w.size() && !parse_number(w[at]))
      return "'" + w[at] + "' is not a number";
    return "";
  };
  auto variable = [&](size_t at) -> std::string {
    if (!parse_variable(w[at])) return "unknown variable '" + w[at] + "'";
    return "";
  };
  auto window = [&](size_t at) -> std::string {
    const auto ident = parse_window_ident(w[at]);
    if (!ident) return "'" + w[at] + "' is not a window identifier";
    if (!host.has_window(*ident))
      return "no section of the panel holds window " + w[at];
    return "";
  };
  auto first = [](std::initializer_list<std::string> problems) {
    for (const std::string& p : problems)
      if (!p.empty()) return p;
    return std::string();
  };
  auto button = [&](size_t at) -> std::string {
    return parse_button(w, at) ? "" : "'" + w[at] + "' is not left or right";
  };

  if (verb == "say") return "";
  if (verb == "set") {
    if (auto e = count(3, 3); !e.empty()) return e;
    return first({variable(1), number(2)});
  }
  if (verb == "frames") {
    if (auto e = count(2, 2); !e.empty()) return e;
    const auto n = parse_integer(w[1]);
    return n && *n >= 0 && *n <= kMaxFrames ? ""
                                            : "bad frame count '" + w[1] + "'";
  }
  if (verb == "seconds") {
    if (auto e = count(2, 2); !e.empty()) return e;
    const auto s = parse_number(w[1]);
    return s && *s >= 0 && *s * kFramesPerSecond <= double(kMaxFrames)
               ? ""
               : "bad number of seconds '" + w[1] + "'";
  }
  if (verb == "click" || verb == "hold") {
    const size_t base = verb == "hold" ? 5 : 4;
    if (auto e = count(base, base + 1); !e.empty()) return e;
    if (auto e = first({gauge(1), integers(2, 4), button(base)}); !e.empty())
      return e;
    if (verb == "hold") {
      const auto s = parse_number(w[4]);
      if (!s || *s < 0 || *s * kFramesPerSecond > double(kMaxFrames))
        return "bad number of seconds '" + w[4] + "'";
    }
    return "";
  }
  if (verb == "drag") {
    if (auto e = count(6, 7); !e.empty()) return e;
    if (auto e = first({gauge(1), integers(2, 7)}); !e.empty()) return e;
    if (w.size() == 7 && (*parse_int32(w[6]) < 1 || *parse_int32(w[6]) > 1000))
      return "bad number of drag steps '" + w[6] + "'";
    return "";
  }
  if (verb == "hover") {
    if (auto e = count(4, 4); !e.empty()) return e;
    return first({gauge(1), integers(2, 4)});
  }
  if (verb == "open" || verb == "close" || verb == "toggle") {
    if (auto e = count(2, 2); !e.empty()) return e;
    return window(1);
  }
  if (verb == "model") {
    if (auto e = count(2, 2); !e.empty()) return e;
    return w[1] == "on" || w[1] == "off" ? "" : "'model' takes on or off";
  }
  if (verb == "fail") {
    if (auto e = count(3, 3); !e.empty()) return e;
    if (auto e = integers(1, 2); !e.empty()) return e;
    return w[2] == "on" || w[2] == "off" ? "" : "'fail' takes on or off";
  }
  if (verb == "show") {
    if (w.size() == 3 && w[1] == "var") return variable(2);
    if (auto e = count(3, 3); !e.empty()) return e;
    return first({gauge(1), integers(2, 3)});
  }
  if (verb == "expect") {
    if (w.size() < 2) return "'expect' needs what to expect";
    const std::string& what = w[1];
    if (what == "events") {
      for (size_t i = 2; i < w.size(); ++i) {
        const size_t eq = w[i].find('=');
        if (!parse_integer(w[i].substr(0, eq)) ||
            (eq != std::string::npos && !parse_integer(w[i].substr(eq + 1))))
          return "'" + w[i] + "' is not EVENT or EVENT=VALUE";
      }
      return "";
    }
    if (what == "var") {
      if (auto e = count(4, 5); !e.empty()) return e;
      return first({variable(2), number(3), number(4)});
    }
    if (what == "element") {
      if (auto e = count(6, 7); !e.empty()) return e;
      if (auto e = first({gauge(2), integers(3, 4)}); !e.empty()) return e;
      bool known = false;
      for (const std::string& f : kElementFields) known = known || f == w[4];
      if (!known) return "unknown element field '" + w[4] + "'";
      if (w[4] == "text" || w[4] == "drawn") return "";
      return first({number(5), number(6)});
    }
    if (what == "tooltip") {
      if (auto e = count(6, 6); !e.empty()) return e;
      return first({gauge(2), integers(3, 5)});
    }
    if (what == "window") {
      if (auto e = count(4, 4); !e.empty()) return e;
      if (auto e = window(2); !e.empty()) return e;
      return w[3] == "open" || w[3] == "closed" ? ""
                                                : "'expect window' takes open "
                                                  "or closed";
    }
    return "unknown expectation '" + what + "'";
  }
  return "unknown command '" + verb + "'";
}

class Runner {
 public:
  Runner(const ScenarioScript& script, Host& host, std::ostream& transcript,
         std::ostream& errors)
      : script_(script), host_(host), out_(transcript), errors_(errors) {}

  ScenarioOutcome run() {
    out_ << "> start\n";
    host_.start();
    flush();
    for (const ScenarioCommand& cmd : script_.commands) {
      out_ << "> " << cmd.source << "\n";
      execute(cmd);
      flush();
    }
    out_ << "> stop\n";
    host_.stop();
    flush();
    if (outcome_.failed_expectations > 0)
      out_ << outcome_.failed_expectations << " expectation"
           << (outcome_.failed_expectations == 1 ? "" : "s") << " failed\n";
    return outcome_;
  }

 private:
  void flush() {
    for (const Observation& o : host_.take_observations())
      out_ << "  @" << o.frame << " " << o.text << "\n";
  }

  void fail(const ScenarioCommand& cmd, const std::string& expected,
            const std::string& got) {
    ++outcome_.failed_expectations;
    const std::string what = "expected " + expected + ", got " + got;
    out_ << "  FAILED: " << what << "\n";
    errors_ << script_.file << ":" << cmd.line << ": " << what << "\n";
  }

  GaugeInstance* gauge(const ScenarioCommand& cmd, const std::string& word) {
    const GaugeRef ref = *parse_gauge(word);
    GaugeInstance* instance = host_.find_instance(ref.name, ref.ordinal);
    if (instance != nullptr && !instance->installed) {
      out_ << "  " << word << " is not on an open window\n";
      if (cmd.words[0] == "expect") fail(cmd, word + " on screen", "closed");
      return nullptr;
    }
    return instance;
  }

  void action(const std::function<void()>& act) {
    host_.take_sent_events();
    act();
    last_events_ = host_.take_sent_events();
  }

  void run_frames(int64_t frames) {
    for (int64_t f = 0; f < frames; ++f) {
      host_.run_frames(1);
      flush();
    }
  }

  void execute(const ScenarioCommand& cmd) {
    const auto& w = cmd.words;
    const std::string& verb = w[0];
    auto i32 = [&](size_t at) { return *parse_int32(w[at]); };
    if (verb == "say") return;
    if (verb == "set") {
      const AircraftVariable& var = *parse_variable(w[1]);
      action([&] {
        if (!host_.aircraft().set(var.token, *parse_number(w[2])))
          out_ << "  " << var.name << " cannot hold " << w[2] << "\n";
      });
      return;
    }
    if (verb == "frames")
      return action([&] { run_frames(*parse_integer(w[1])); });
    if (verb == "seconds")
      return action([&] {
        run_frames(std::llround(*parse_number(w[1]) * kFramesPerSecond));
      });
    if (verb == "click" || verb == "hold" || verb == "drag") {
      GaugeInstance* g = gauge(cmd, w[1]);
      if (g == nullptr) return;
      const uint32_t button = verb == "drag"
                                  ? kMouseLeftSingle
                                  : parse_button(w, verb == "hold" ? 5 : 4);
      action([&] {
        const MouseRect* area = host_.press(*g, i32(2), i32(3), button);
        if (area == nullptr) {
          out_ << "  nothing answers\n";
          return;
        }
        flush();
        if (verb == "hold") {
          const int64_t frames =
              std::llround(*parse_number(w[4]) * kFramesPerSecond);
          for (int64_t f = 1; f <= frames; ++f) {
            run_frames(1);
            if ((area->mouse_flags & kMouseRepeat) && f % kRepeatFrames == 0)
              host_.repeat(*g, area, i32(2), i32(3), button);
            flush();
          }
        } else if (verb == "drag") {
          const int64_t steps = w.size() == 7 ? i32(6) : kDefaultDragSteps;
          const int64_t x0 = i32(2), y0 = i32(3), x1 = i32(4), y1 = i32(5);
          for (int64_t s = 1; s <= steps; ++s) {
            run_frames(1);
            host_.drag(*g, area, int32_t(x0 + (x1 - x0) * s / steps),
                       int32_t(y0 + (y1 - y0) * s / steps));
            flush();
          }
        }
      });
      return;
    }
    if (verb == "hover") {
      GaugeInstance* g = gauge(cmd, w[1]);
      if (g == nullptr) return;
      action([&] {
        const std::string text = host_.tooltip(*g, i32(2), i32(3));
        out_ << "  "
             << (text.empty() ? "no tooltip" : "tooltip \"" + text + "\"")
             << "\n";
      });
      return;
    }
    if (verb == "open" || verb == "close" || verb == "toggle") {
      const uint32_t ident = *parse_window_ident(w[1]);
      action([&] {
        if (verb == "open") host_.open_window(ident);
        if (verb == "close") host_.close_window(ident);
        if (verb == "toggle") host_.toggle_window(ident);
      });
      return;
    }
    if (verb == "fail") {
      action([&] { host_.set_failure(i32(1), w[2] == "on"); });
      return;
    }
    if (verb == "model") {
      host_.aircraft().set_model_enabled(w[1] == "on");
      return;
    }
    if (verb == "show") {
      if (w[1] == "var") {
        const AircraftVariable& var = *parse_variable(w[2]);
        out_ << "  " << var.name << " = "
             << variable_text(host_.aircraft(), var) << "\n";
        return;
      }
      GaugeInstance* g = gauge(cmd, w[1]);
      ElementView view;
      if (g == nullptr) return;
      if (!host_.element_view(*g, i32(2), view))
        out_ << "  " << w[1] << " has no element " << w[2] << "\n";
      else
        out_ << "  " << w[1] << " " << w[2] << ": " << describe(view) << "\n";
      return;
    }
    expect(cmd);
  }

  void expect(const ScenarioCommand& cmd) {
    const auto& w = cmd.words;
    const std::string& what = w[1];
    auto tolerance = [&](size_t at) {
      return w.size() > at ? *parse_number(w[at]) : kDefaultTolerance;
    };
    auto near = [](double got, double want, double tol) {
      return std::fabs(got - want) <= tol;
    };
    if (what == "events") {
      std::string expected, got;
      bool same = w.size() - 2 == last_events_.size();
      for (size_t i = 2; i < w.size(); ++i) {
        const size_t eq = w[i].find('=');
        const int64_t event = *parse_integer(w[i].substr(0, eq));
        expected += (expected.empty() ? "" : " ") + w[i];
        if (!same) continue;
        const SentEvent& sent = last_events_[i - 2];
        same = sent.event == event &&
               (eq == std::string::npos ||
                sent.value == *parse_integer(w[i].substr(eq + 1)));
      }
      for (const SentEvent& e : last_events_)
        got += (got.empty() ? "" : " ") + std::to_string(e.event) + "=" +
               std::to_string(e.value);
      if (!same) fail(cmd, "events [" + expected + "]", "[" + got + "]");
      return;
    }
    if (what == "var") {
      const AircraftVariable& var = *parse_variable(w[2]);
      const double want = *parse_number(w[3]);
      const double got = var.bcd ? host_.aircraft().integer(var.token)
                                 : host_.aircraft().number(var.token);
      if (!near(got, want, tolerance(4)))
        fail(cmd, std::string(var.name) + " = " + w[3],
             variable_text(host_.aircraft(), var));
      return;
    }
    if (what == "window") {
      const uint32_t ident = *parse_window_ident(w[2]);
      const bool open = host_.window_open(ident);
      if (open != (w[3] == "open"))
        fail(cmd, "window " + w[2] + " " + w[3], open ? "open" : "closed");
      return;
    }
    GaugeInstance* g = gauge(cmd, w[2]);
    if (g == nullptr) return;
    if (what == "tooltip") {
      const std::string got =
          host_.tooltip(*g, *parse_int32(w[3]), *parse_int32(w[4]));
      if (got != w[5]) fail(cmd, "tooltip \"" + w[5] + "\"", "\"" + got + "\"");
      return;
    }
    ElementView view;
    if (!host_.element_view(*g, *parse_int32(w[3]), view)) {
      fail(cmd, "element " + w[3] + " of " + w[2], "no such element");
      return;
    }
    const std::string& field = w[4];
    if (field == "text") {
      if (view.text != w[5])
        fail(cmd, "text \"" + w[5] + "\"", "\"" + view.text + "\"");
      return;
    }
    if (field == "drawn") {
      const bool want = w[5] == "yes" || w[5] == "true" || w[5] == "1";
      if (view.drawn != want)
        fail(cmd, "drawn " + w[5], view.drawn ? "drawn" : "not drawn");
      return;
    }
    double got = view.values[0];
    if (field == "y") got = view.values[1];
    if (field == "rotation") got = view.values[2];
    if (field == "angle") got = view.angle;
    if (field == "index") got = view.icon_index;
    bool ok = near(got, *parse_number(w[5]), tolerance(6));
    if (field == "angle" && !ok) {
      // Angles compare around the dial.
      const double diff =
          std::fmod(std::fabs(got - *parse_number(w[5])), 360.0);
      ok = std::min(diff, 360.0 - diff) <= tolerance(6);
    }
    if (!ok) fail(cmd, field + " " + w[5], fixed_text(got));
  }

  const ScenarioScript& script_;
  Host& host_;
  std::ostream& out_;
  std::ostream& errors_;
  ScenarioOutcome outcome_;
  std::vector<SentEvent> last_events_;
};

}  // namespace

bool parse_scenario(std::string_view text, std::string file, const Host& host,
                    ScenarioScript& script, std::string& error) {
  script = {};
  script.file = file;
  int line_number = 0;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == text.npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++line_number;
    while (!line.empty() &&
           (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
      line.remove_suffix(1);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
      line.remove_prefix(1);
    if (line.empty() || line.front() == '#') continue;
    ScenarioCommand cmd;
    cmd.line = line_number;
    cmd.source = std::string(line);
    bool quotes_closed = true;
    cmd.words = split_words(line, quotes_closed);
    std::string problem =
        quotes_closed ? check(cmd, host) : "unterminated quoted text";
    if (!problem.empty()) {
      error = file + ":" + std::to_string(line_number) + ": " + problem;
      return false;
    }
    script.commands.push_back(std::move(cmd));
  }
  return true;
}

ScenarioOutcome run_scenario(const ScenarioScript& script, Host& host,
                             std::ostream& transcript, std::ostream& errors) {
  return Runner(script, host, transcript, errors).run();
}
