#include "host/script/scenario.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iterator>
#include <map>
#include <optional>

#include "host/core/nearest_names.h"
#include "host/core/number_text.h"
#include "host/panel_file/panel_document.h"

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

// Why an edit cannot name this gauge: the panel does not place it (the
// nearest references it does place are named).
std::string placed_problem(const Host& host, const ScenarioArgument& arg) {
  std::vector<std::string> names;
  for (const GaugeInstance& g : host.instances()) {
    if (gauge_named(g, arg.gauge) && g.ordinal == arg.whole) return "";
    names.push_back(scenario_gauge_reference(g));
  }
  if (names.empty()) return "the panel places no gauge of the module";
  return "the panel places no gauge " + arg.word +
         " (nearest: " + nearest_names(arg.word, std::move(names)) + ")";
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

constexpr std::string_view kElementFields[] = {
    "value", "x", "y", "rotation", "angle", "index", "text", "drawn"};

// What a parameter accepts. The last parameter of a command may be a list
// (kTexts, kEvents) that takes the rest of the line.
enum class Kind : uint8_t {
  kNone,  // past the last parameter
  kText,
  kTexts,
  kWhole,
  kX,  // a point on the gauge named before, in its background's pixels
  kY,
  kFailureKey,  // a key some element of the panel lists
  kNumber,
  kGauge,
  kVariable,
  kWindow,
  kDrawable,  // a window by ident or by section ("Vcockpit01"); `whole` is
              // its place in the panel
  kChoice,    // one of the words of its name, "left|right"
  kFrames,
  kSeconds,
  kSteps,
  kEvents,
  kField,
  kFile,
  kPlaced,  // a gauge the panel places now, for an edit: checked when the
            // line runs too, since earlier edits change the panel
};

struct Param {
  Kind kind = Kind::kNone;
  std::string_view name;
  bool optional = false;
};

constexpr size_t kMaxParams = 6;

class Runner;

// One command of the language: how it is written, what it does, how its
// arguments are checked and how it runs. Checking reads the arguments into
// the command once; running only uses what checking read.
struct CommandRow {
  std::string_view verb;  // one word, or two ("expect var")
  std::array<Param, kMaxParams> params;
  std::string_view help;
  // Checks beyond each argument's own (arguments that depend on others).
  std::string (*check)(ScenarioCommand& cmd) = nullptr;
  void (Runner::*run)(const ScenarioCommand& cmd) = nullptr;
  bool edits = false;  // changes the panel
};

bool same_text_ignoring_case(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

bool is_list(Kind kind) {
  return kind == Kind::kTexts || kind == Kind::kEvents;
}

std::string usage(const CommandRow& row) {
  std::string text(row.verb);
  for (const Param& p : row.params) {
    if (p.kind == Kind::kNone) break;
    std::string shown(p.name);
    if (p.kind == Kind::kEvents) shown += " ...";
    if (p.optional) shown = "[" + shown + "]";
    text += " " + shown;
  }
  return text;
}

std::string choices_text(std::string_view name) {
  std::string text(name);
  const size_t bar = text.rfind('|');
  return bar == text.npos ? text
                          : text.substr(0, bar) + " or " + text.substr(bar + 1);
}

bool is_choice(std::string_view name, std::string_view word) {
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find('|', start);
    if (end == name.npos) end = name.size();
    if (name.substr(start, end - start) == word) return true;
    start = end + 1;
  }
  return false;
}

// Reads one argument into `arg`; the reason when it is not what `param`
// accepts.
// After an edit in a script the panel the later lines meet is not the one
// read now: their gauges and failure keys are checked for their shape only,
// and the gauges again when they run.
std::string read_argument(const CommandRow& row, const Param& param,
                          const Host& host, bool panel_settled,
                          ScenarioArgument& arg) {
  const std::string& w = arg.word;
  arg.given = true;
  switch (param.kind) {
    case Kind::kWhole:
    case Kind::kX:
    case Kind::kY:
    case Kind::kSteps: {
      const auto value = parse_int32(w);
      if (!value) return "'" + w + "' is not a whole number";
      arg.whole = *value;
      if (param.kind == Kind::kSteps && (*value < 1 || *value > 1000))
        return "bad number of drag steps '" + w + "'";
      return "";
    }
    case Kind::kNumber: {
      const auto value = parse_number(w);
      if (!value) return "'" + w + "' is not a number";
      arg.number = *value;
      return "";
    }
    case Kind::kGauge: {
      const auto ref = parse_gauge(w);
      if (!ref) return "bad gauge reference '" + w + "'";
      arg.gauge = ref->name;
      arg.whole = ref->ordinal;
      if (!panel_settled) return "";
      for (const GaugeInstance& g : host.instances())
        if (gauge_named(g, ref->name) && g.ordinal == ref->ordinal) return "";
      return "the panel places no gauge " + w;
    }
    case Kind::kPlaced: {
      const auto ref = parse_gauge(w);
      if (!ref) return "bad gauge reference '" + w + "'";
      arg.gauge = ref->name;
      arg.whole = ref->ordinal;
      return panel_settled ? placed_problem(host, arg) : "";
    }
    case Kind::kFailureKey: {
      const auto key = parse_int32(w);
      if (!key) return "'" + w + "' is not a whole number";
      arg.whole = *key;
      if (!panel_settled) return "";
      const std::vector<int32_t> keys = host.failure_keys();
      if (std::binary_search(keys.begin(), keys.end(), *key)) return "";
      if (keys.empty())
        return "unknown failure key '" + w +
               "' (no element of the panel lists a failure)";
      return "unknown failure key '" + w +
             "' (nearest: " + nearest_numbers(*key, keys) + ")";
    }
    case Kind::kVariable: {
      arg.variable = parse_variable(w);
      if (arg.variable) return "";
      if (parse_int32(w)) return "unknown variable '" + w + "'";
      std::vector<std::string> names;
      for (const AircraftVariable& var : aircraft_variables())
        names.emplace_back(var.name);
      return "unknown variable '" + w +
             "' (nearest: " + nearest_names(w, std::move(names)) + ")";
    }
    case Kind::kWindow: {
      const auto ident = parse_window_ident(w);
      if (!ident)
        return "'" + w + "' is not a window identifier (nearest: " +
               nearest_names(w, window_names()) + ")";
      if (!host.has_window(*ident))
        return "no section of the panel holds window " + w;
      arg.window = *ident;
      return "";
    }
    case Kind::kDrawable: {
      const auto& windows = host.panel().windows;
      for (size_t i = 0; i < windows.size(); ++i) {
        const std::string section = windows[i].section_name();
        if (same_text_ignoring_case(w, section) ||
            same_text_ignoring_case(w, section.substr(1, section.size() - 2)) ||
            (windows[i].ident && windows[i].ident == parse_window_ident(w))) {
          arg.whole = int64_t(i);
          if (windows[i].ident) arg.window = *windows[i].ident;
          return "";
        }
      }
      if (!parse_window_ident(w)) {
        // The panel's own sections first: they win a tie.
        std::vector<std::string> names;
        for (const PanelWindow& window : windows) {
          const std::string section = window.section_name();
          names.push_back(section.substr(1, section.size() - 2));
        }
        for (std::string& name : window_names()) names.push_back(name);
        return "'" + w + "' is neither a window identifier nor a section" +
               " (nearest: " + nearest_names(w, std::move(names)) + ")";
      }
      return "no section of the panel holds window " + w;
    }
    case Kind::kChoice:
      return is_choice(param.name, w)
                 ? ""
                 : "'" + std::string(row.verb) + "' takes " +
                       choices_text(param.name);
    case Kind::kFrames: {
      const auto n = parse_integer(w);
      if (!n || *n < 0 || *n > kMaxFrames) return "bad frame count '" + w + "'";
      arg.whole = *n;
      return "";
    }
    case Kind::kSeconds: {
      const auto s = parse_number(w);
      if (!s || *s < 0 || *s * kFramesPerSecond > double(kMaxFrames))
        return "bad number of seconds '" + w + "'";
      arg.number = *s;
      return "";
    }
    case Kind::kEvents: {
      const size_t eq = w.find('=');
      const auto event = parse_integer(std::string_view(w).substr(0, eq));
      const auto value =
          eq == w.npos ? std::optional<int64_t>(0)
                       : parse_integer(std::string_view(w).substr(eq + 1));
      if (!event || !value) return "'" + w + "' is not EVENT or EVENT=VALUE";
      arg.whole = *event;
      arg.number = double(*value);
      arg.has_value = eq != w.npos;
      return "";
    }
    case Kind::kField:
      for (std::string_view f : kElementFields)
        if (f == w) return "";
      return "unknown element field '" + w + "'";
    case Kind::kText:
    case Kind::kTexts:
    case Kind::kFile:
    case Kind::kNone:
      return "";
  }
  return "";
}

// add MODULE!GAUGE WINDOW X Y [W H] [TEXT]: the words after Y are a size
// when the first two are numbers, and a parameter text after it.
std::string check_add(ScenarioCommand& cmd) {
  const std::string& name = cmd.arguments[0].word;
  const size_t bang = name.find('!');
  if (bang == std::string::npos || bang == 0 || bang + 1 == name.size())
    return "'" + name + "' is not MODULE!GAUGE";
  const size_t extra = cmd.arguments.size() - 4;
  const auto number = [&](size_t i) {
    return i < cmd.arguments.size() ? parse_int32(cmd.arguments[i].word)
                                    : std::nullopt;
  };
  const bool sized = extra >= 2 && number(4) && number(5);
  if (extra > (sized ? 3u : 1u))
    return "'add' takes MODULE!GAUGE WINDOW X Y [W H] [\"PARAMETER TEXT\"]";
  if (sized) {
    cmd.arguments[4].whole = *number(4);
    cmd.arguments[5].whole = *number(5);
    if (*number(4) <= 0 || *number(5) <= 0)
      return "a gauge's size must be positive, not " + cmd.arguments[4].word +
             " x " + cmd.arguments[5].word;
  }
  return "";
}

std::string check_positive_size(ScenarioCommand& cmd) {
  const size_t at = cmd.arguments.size() - 2;
  if (cmd.arguments[at].whole <= 0 || cmd.arguments[at + 1].whole <= 0)
    return "a size must be positive, not " + cmd.arguments[at].word + " x " +
           cmd.arguments[at + 1].word;
  return "";
}

// expect element: the value (and tolerance) are numbers unless the field is
// a text or the drawn state.
std::string check_element_value(ScenarioCommand& cmd) {
  ScenarioArgument& field = cmd.arguments[2];
  if (field.word == "text" || field.word == "drawn") return "";
  for (size_t i = 3; i < 5; ++i) {
    ScenarioArgument& arg = cmd.arguments[i];
    if (!arg.given) continue;
    const auto value = parse_number(arg.word);
    if (!value) return "'" + arg.word + "' is not a number";
    arg.number = *value;
  }
  return "";
}

class Runner {
 public:
  Runner(Host& host, std::ostream& transcript, std::ostream& errors,
         ScenarioOptions options, std::string file)
      : file_(std::move(file)),
        host_(&host),
        out_(transcript),
        errors_(errors),
        options_(std::move(options)) {}

  const Host& host() const { return *host_; }
  void allow_edits(PanelEditor& editor, ScenarioPanelRebuild rebuild) {
    editor_ = &editor;
    rebuild_ = std::move(rebuild);
  }
  void replace_host(Host& next, std::string_view echo);
  const std::string& last_refusal() const { return refusal_; }
  const std::string& file() const { return file_; }
  void start(std::string_view echo);
  void run(const ScenarioCommand& cmd);
  void clock_frames(int64_t count) { frames(count); }
  void stop(std::string_view echo);
  bool night() const { return night_; }
  void set_night(bool night) { night_ = night; }
  std::vector<SentEvent> events_of_last_command() const {
    return acted_ ? last_events_ : std::vector<SentEvent>{};
  }
  ScenarioOutcome outcome() const { return outcome_; }

  void run_nothing(const ScenarioCommand&) {}
  void run_set(const ScenarioCommand& cmd);
  void run_frames(const ScenarioCommand& cmd);
  void run_seconds(const ScenarioCommand& cmd);
  void run_click(const ScenarioCommand& cmd) { press(cmd, 'c'); }
  void run_hold(const ScenarioCommand& cmd) { press(cmd, 'h'); }
  void run_drag(const ScenarioCommand& cmd) { press(cmd, 'd'); }
  void run_hover(const ScenarioCommand& cmd);
  void run_open(const ScenarioCommand& cmd);
  void run_close(const ScenarioCommand& cmd);
  void run_toggle(const ScenarioCommand& cmd);
  void run_fail(const ScenarioCommand& cmd);
  void run_model(const ScenarioCommand& cmd);
  void run_light(const ScenarioCommand& cmd);
  void run_picture(const ScenarioCommand& cmd);
  void run_show_var(const ScenarioCommand& cmd);
  void run_show_ident(const ScenarioCommand& cmd);
  void run_show(const ScenarioCommand& cmd);
  void run_expect_events(const ScenarioCommand& cmd);
  void run_expect_var(const ScenarioCommand& cmd);
  void run_expect_element(const ScenarioCommand& cmd);
  void run_expect_tooltip(const ScenarioCommand& cmd);
  void run_expect_window(const ScenarioCommand& cmd);
  void run_move(const ScenarioCommand& cmd);
  void run_resize(const ScenarioCommand& cmd);
  void run_add(const ScenarioCommand& cmd);
  void run_remove(const ScenarioCommand& cmd);
  void run_window(const ScenarioCommand& cmd);
  void run_undo(const ScenarioCommand& cmd);
  void run_redo(const ScenarioCommand& cmd);
  void run_save(const ScenarioCommand& cmd);

 private:
  // The runner reads no service calls: a long run would otherwise keep
  // every one.
  // The lines of a frame go out in one write, from a buffer kept between
  // frames: a long run writes several every frame.
  void flush() {
    if (!host_->observations().empty()) {
      lines_.clear();
      for (const Observation& o : host_->observations()) {
        char frame[24];
        const char* end =
            std::to_chars(frame, frame + sizeof frame, o.frame).ptr;
        lines_ += "  @";
        lines_.append(frame, size_t(end - frame));
        lines_ += ' ';
        lines_ += o.text;
        lines_ += '\n';
      }
      host_->clear_observations();
      out_.write(lines_.data(), std::streamsize(lines_.size()));
    }
    host_->clear_service_calls();
  }

  void fail(const ScenarioCommand& cmd, const std::string& expected,
            const std::string& got) {
    ++outcome_.failed_expectations;
    const std::string what = "expected " + expected + ", got " + got;
    out_ << "  FAILED: " << what << "\n";
    errors_ << file_ << ":" << cmd.line << ": " << what << "\n";
  }

  // The gauge an argument names, when its window is open. After an edit
  // it may be gone.
  GaugeInstance* gauge(const ScenarioCommand& cmd,
                       const ScenarioArgument& arg) {
    GaugeInstance* instance = host_->find_instance(arg.gauge, int(arg.whole));
    if (instance == nullptr) {
      fail(cmd, arg.word + " on the panel", "no such gauge");
      return nullptr;
    }
    if (!instance->installed) {
      out_ << "  " << arg.word << " is not on an open window\n";
      if (cmd.words[0] == "expect")
        fail(cmd, arg.word + " on screen", "closed");
      return nullptr;
    }
    return instance;
  }

  void action(const std::function<void()>& act) {
    host_->take_sent_events();
    act();
    last_events_ = host_->take_sent_events();
    acted_ = true;
  }

  void frames(int64_t count) {
    for (int64_t f = 0; f < count; ++f) {
      host_->run_frames(1);
      flush();
    }
  }

  void press(const ScenarioCommand& cmd, char how);
  // An edit refused: said in the transcript and on `errors`, and kept for
  // the live panel's answer.
  void refuse(const ScenarioCommand& cmd, const std::string& why) {
    ++outcome_.refused_edits;
    refusal_ = why;
    out_ << "  refused: " << why << "\n";
    errors_ << file_ << ":" << cmd.line << ": " << why << "\n";
  }
  // The panel of `document` built in place of the running one; the reason
  // when it cannot be.
  std::string rebuild_to(const PanelDocument& document);
  // Makes `change` to the panel file's document and rebuilds the panel;
  // false, the edit refused, when either cannot be done.
  bool edit(const ScenarioCommand& cmd,
            const std::function<std::string(PanelDocument&)>& change);
  // The placed gauge an edit names, or null with the edit refused.
  const GaugeInstance* placed(const ScenarioCommand& cmd,
                              const ScenarioArgument& arg);
  // Whether (x, y) lies on the window, the edit refused when not.
  bool inside(const ScenarioCommand& cmd, size_t window, int64_t x, int64_t y);
  void picture(size_t window, const std::string& path, const std::string& shown,
               const ScenarioCommand* cmd);
  void pictures_at_end();

  std::string file_;
  Host* host_;
  std::ostream& out_;
  std::string lines_;  // flush()'s buffer
  std::ostream& errors_;
  ScenarioOptions options_;
  ScenarioOutcome outcome_;
  std::vector<SentEvent> last_events_;
  bool acted_ = false;  // the latest command sent what last_events_ holds
  bool night_ = false;
  PanelEditor* editor_ = nullptr;
  ScenarioPanelRebuild rebuild_;
  std::string refusal_;  // of the latest command, "" when none
};

constexpr Param gauge_at{Kind::kGauge, "GAUGE"};
constexpr Param x_at{Kind::kX, "X"};
constexpr Param y_at{Kind::kY, "Y"};
constexpr Param button{Kind::kChoice, "left|right", true};
constexpr Param window_param{Kind::kWindow, "WINDOW"};
constexpr Param placed{Kind::kPlaced, "GAUGE"};

constexpr CommandRow kCommands[] = {
    {.verb = "say",
     .params = {{{Kind::kTexts, "TEXT"}}},
     .help = "a heading in the transcript",
     .run = &Runner::run_nothing},
    {.verb = "set",
     .params = {{{Kind::kVariable, "VARIABLE"}, {Kind::kNumber, "VALUE"}}},
     .help = "sets a variable (BCD variables take `0x` words)",
     .run = &Runner::run_set},
    {.verb = "frames",
     .params = {{{Kind::kFrames, "N"}}},
     .help = "runs N frames (18 a second)",
     .run = &Runner::run_frames},
    {.verb = "seconds",
     .params = {{{Kind::kSeconds, "S"}}},
     .help = "runs frames for S seconds of simulated time",
     .run = &Runner::run_seconds},
    {.verb = "click",
     .params = {{gauge_at, x_at, y_at, button}},
     .help = "one press",
     .run = &Runner::run_click},
    {.verb = "hold",
     .params = {{gauge_at, x_at, y_at, {Kind::kSeconds, "SECONDS"}, button}},
     .help = "press and hold while frames run",
     .run = &Runner::run_hold},
    {.verb = "drag",
     .params = {{gauge_at,
                 {Kind::kX, "X0"},
                 {Kind::kY, "Y0"},
                 {Kind::kX, "X1"},
                 {Kind::kY, "Y1"},
                 {Kind::kSteps, "STEPS", true}}},
     .help = "left press, then moves, one frame per step (4)",
     .run = &Runner::run_drag},
    {.verb = "hover",
     .params = {{gauge_at, x_at, y_at}},
     .help = "prints the tooltip",
     .run = &Runner::run_hover},
    {.verb = "open",
     .params = {{window_param}},
     .help = "opens a panel window",
     .run = &Runner::run_open},
    {.verb = "close",
     .params = {{window_param}},
     .help = "closes a panel window",
     .run = &Runner::run_close},
    {.verb = "toggle",
     .params = {{window_param}},
     .help = "opens a closed panel window, closes an open one",
     .run = &Runner::run_toggle},
    {.verb = "fail",
     .params = {{{Kind::kFailureKey, "KEY"}, {Kind::kChoice, "on|off"}}},
     .help = "sets a host failure (a key some element of the panel lists)",
     .run = &Runner::run_fail},
    {.verb = "model",
     .params = {{{Kind::kChoice, "on|off"}}},
     .help = "runs or freezes the aircraft's model (frozen, values set by "
             "hand stay put)",
     .run = &Runner::run_model},
    {.verb = "light",
     .params = {{{Kind::kChoice, "day|night"}}},
     .help = "daylight or night for the pictures (day at the start)",
     .run = &Runner::run_light},
    {.verb = "picture",
     .params = {{{Kind::kDrawable, "WINDOW"}, {Kind::kFile, "FILE"}}},
     .help = "writes a PNG of an open window as it looks now (WINDOW may "
             "also name a section: `Vcockpit01`)",
     .run = &Runner::run_picture},
    {.verb = "show var",
     .params = {{{Kind::kVariable, "VARIABLE"}}},
     .help = "prints a variable",
     .run = &Runner::run_show_var},
    {.verb = "show ident",
     .params = {},
     .help = "prints whether each receiver's station ident is heard",
     .run = &Runner::run_show_ident},
    {.verb = "show",
     .params = {{gauge_at, {Kind::kWhole, "ELEMENT"}}},
     .help = "prints an element",
     .run = &Runner::run_show},
    {.verb = "expect events",
     .params = {{{Kind::kEvents, "EVENT[=VALUE]", true}}},
     .help = "exactly these events came from the previous command",
     .run = &Runner::run_expect_events},
    {.verb = "expect var",
     .params = {{{Kind::kVariable, "VARIABLE"},
                 {Kind::kNumber, "VALUE"},
                 {Kind::kNumber, "TOLERANCE", true}}},
     .help = "the variable holds VALUE, within TOLERANCE (0.0005)",
     .run = &Runner::run_expect_var},
    {.verb = "expect element",
     .params = {{gauge_at,
                 {Kind::kWhole, "ELEMENT"},
                 {Kind::kField, "FIELD"},
                 {Kind::kText, "VALUE"},
                 {Kind::kText, "TOLERANCE", true}}},
     .help = "the element's FIELD is VALUE (numbers within TOLERANCE); "
             "FIELD: value, x, y, rotation, angle, index, text, drawn (yes/no)",
     .check = check_element_value,
     .run = &Runner::run_expect_element},
    {.verb = "expect tooltip",
     .params = {{gauge_at, x_at, y_at, {Kind::kText, "TEXT"}}},
     .help = "the tooltip at (X, Y) reads TEXT",
     .run = &Runner::run_expect_tooltip},
    {.verb = "expect window",
     .params = {{window_param, {Kind::kChoice, "open|closed"}}},
     .help = "the window is open or closed",
     .run = &Runner::run_expect_window},
    {.verb = "move",
     .params = {{placed, {Kind::kWhole, "X"}, {Kind::kWhole, "Y"}}},
     .help = "edits the panel: the gauge's top left to (X, Y) on its window, "
             "in the window's units",
     .run = &Runner::run_move,
     .edits = true},
    {.verb = "resize",
     .params = {{placed, {Kind::kWhole, "W"}, {Kind::kWhole, "H"}}},
     .help = "edits the panel: the gauge's width and height",
     .check = check_positive_size,
     .run = &Runner::run_resize,
     .edits = true},
    {.verb = "add",
     .params = {{{Kind::kText, "MODULE!GAUGE"},
                 {Kind::kDrawable, "WINDOW"},
                 {Kind::kWhole, "X"},
                 {Kind::kWhole, "Y"},
                 {Kind::kTexts, "W H] [\"PARAMETER TEXT\"", true}}},
     .help = "edits the panel: places a gauge on the window, as its next "
             "gaugeNN",
     .check = check_add,
     .run = &Runner::run_add,
     .edits = true},
    {.verb = "remove",
     .params = {{placed}},
     .help = "edits the panel: the gauge's line goes, the window's later "
             "gauges numbered one lower",
     .run = &Runner::run_remove,
     .edits = true},
    {.verb = "window",
     .params = {{{Kind::kDrawable, "WINDOW"},
                 {Kind::kChoice, "size"},
                 {Kind::kWhole, "W"},
                 {Kind::kWhole, "H"}}},
     .help = "edits the panel: the window's size_mm",
     .check = check_positive_size,
     .run = &Runner::run_window,
     .edits = true},
    {.verb = "undo",
     .params = {},
     .help = "takes back the latest edit",
     .run = &Runner::run_undo,
     .edits = true},
    {.verb = "redo",
     .params = {},
     .help = "makes again the edit undo took back",
     .run = &Runner::run_redo,
     .edits = true},
    {.verb = "save",
     .params = {{{Kind::kFile, "FILE", true}}},
     .help = "writes the edited panel file in place (the file as first read "
             "kept beside it as .bak; refused when the file changed on disk "
             "since it was read), or a copy to FILE",
     .run = &Runner::run_save},
};
constexpr size_t kCommandCount = 31;
static_assert(std::size(kCommands) == kCommandCount);

// The row a line's words name: a two-word verb before a one-word one.
// Nullopt with the reason when there is none.
std::optional<size_t> find_command(const std::vector<std::string>& w,
                                   std::string& problem) {
  const std::string two = w.size() > 1 ? w[0] + " " + w[1] : "";
  for (size_t i = 0; i < kCommandCount; ++i)
    if (kCommands[i].verb == two) return i;
  for (size_t i = 0; i < kCommandCount; ++i)
    if (kCommands[i].verb == w[0]) return i;
  std::vector<std::string_view> kinds;
  for (const CommandRow& row : kCommands)
    if (row.verb.starts_with(w[0] + " "))
      kinds.push_back(row.verb.substr(w[0].size() + 1));
  if (kinds.empty()) {
    problem = "unknown command '" + w[0] + "'";
  } else {
    problem = "'" + w[0] + "' takes ";
    for (size_t i = 0; i < kinds.size(); ++i)
      problem += std::string(i == 0                  ? ""
                             : i + 1 == kinds.size() ? " or "
                                                     : ", ") +
                 std::string(kinds[i]);
  }
  return std::nullopt;
}

// Checks one command and reads its arguments; an empty result means it is
// well formed.
std::string check(ScenarioCommand& cmd, const Host& host, bool panel_settled) {
  std::string problem;
  const auto found = find_command(cmd.words, problem);
  if (!found) return problem;
  cmd.verb = *found;
  const CommandRow& row = kCommands[cmd.verb];
  const size_t skip = row.verb.find(' ') == row.verb.npos ? 1 : 2;
  const size_t given = cmd.words.size() - skip;
  size_t low = 0, high = 0;
  bool list = false;
  for (const Param& p : row.params) {
    if (p.kind == Kind::kNone) break;
    list = list || is_list(p.kind);
    if (!p.optional && !is_list(p.kind)) ++low;
    ++high;
  }
  if (given < low || (!list && given > high))
    return "'" + std::string(row.verb) + "' takes " +
           (high == 0 ? "no arguments"
                      : usage(row).substr(row.verb.size() + 1));
  // A list takes every word left; other parameters one each.
  const size_t fixed = list ? high - 1 : high;
  cmd.arguments.assign(list ? std::max(fixed, given) : high, {});
  for (size_t i = 0; i < cmd.arguments.size(); ++i) {
    const Param& param = row.params[std::min(i, high - 1)];
    if (i >= given) continue;
    cmd.arguments[i].word = cmd.words[skip + i];
    if (std::string e =
            read_argument(row, param, host, panel_settled, cmd.arguments[i]);
        !e.empty())
      return e;
  }
  return row.check ? row.check(cmd) : "";
}

enum class LineRead { kNothing, kCommand, kError };

// One line of a script: nothing (blank or a comment), a command checked
// against the host, or the reason it is not one.
LineRead read_line(std::string_view line, int line_number, const Host& host,
                   bool panel_settled, ScenarioCommand& cmd,
                   std::string& problem) {
  while (!line.empty() &&
         (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
    line.remove_suffix(1);
  while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
    line.remove_prefix(1);
  if (line.empty() || line.front() == '#') return LineRead::kNothing;
  cmd = {};
  cmd.line = line_number;
  cmd.source = std::string(line);
  bool quotes_closed = true;
  cmd.words = split_words(line, quotes_closed);
  problem = quotes_closed ? check(cmd, host, panel_settled)
                          : "unterminated quoted text";
  return problem.empty() ? LineRead::kCommand : LineRead::kError;
}

const ScenarioArgument& arg(const ScenarioCommand& cmd, size_t i) {
  return cmd.arguments[i];
}

uint32_t button_of(const ScenarioArgument& arg) {
  return arg.given && arg.word == "right" ? kMouseRightSingle
                                          : kMouseLeftSingle;
}

void Runner::start(std::string_view echo) {
  if (!echo.empty()) out_ << "> " << echo << "\n";
  host_->start();
  flush();
}

void Runner::run(const ScenarioCommand& cmd) {
  out_ << "> " << cmd.source << "\n";
  acted_ = false;
  refusal_.clear();
  (this->*kCommands[cmd.verb].run)(cmd);
  flush();
}

void Runner::stop(std::string_view echo) {
  if (!options_.pictures_folder.empty()) pictures_at_end();
  if (!echo.empty()) out_ << "> " << echo << "\n";
  host_->stop();
  flush();
}

void Runner::run_set(const ScenarioCommand& cmd) {
  const AircraftVariable& var = *arg(cmd, 0).variable;
  action([&] {
    if (!host_->aircraft().set(var.token, arg(cmd, 1).number))
      out_ << "  " << var.name << " cannot hold " << arg(cmd, 1).word << "\n";
  });
}

void Runner::run_frames(const ScenarioCommand& cmd) {
  action([&] { frames(arg(cmd, 0).whole); });
}

void Runner::run_seconds(const ScenarioCommand& cmd) {
  action([&] { frames(std::llround(arg(cmd, 0).number * kFramesPerSecond)); });
}

// click GAUGE X Y [button], hold GAUGE X Y SECONDS [button],
// drag GAUGE X0 Y0 X1 Y1 [STEPS]
void Runner::press(const ScenarioCommand& cmd, char how) {
  GaugeInstance* g = gauge(cmd, arg(cmd, 0));
  if (g == nullptr) return;
  const int32_t x = int32_t(arg(cmd, 1).whole), y = int32_t(arg(cmd, 2).whole);
  const uint32_t button = how == 'd'   ? kMouseLeftSingle
                          : how == 'h' ? button_of(arg(cmd, 4))
                                       : button_of(arg(cmd, 3));
  action([&] {
    const MouseRect* area = host_->press(*g, x, y, button);
    if (area == nullptr) {
      out_ << "  nothing answers\n";
      return;
    }
    flush();
    if (how == 'h') {
      const int64_t count = std::llround(arg(cmd, 3).number * kFramesPerSecond);
      for (int64_t f = 1; f <= count; ++f) {
        frames(1);
        if ((area->mouse_flags & kMouseRepeat) && f % kRepeatFrames == 0)
          host_->repeat(*g, area, x, y, button);
        flush();
      }
    } else if (how == 'd') {
      const int64_t steps =
          arg(cmd, 5).given ? arg(cmd, 5).whole : kDefaultDragSteps;
      const int64_t x1 = arg(cmd, 3).whole, y1 = arg(cmd, 4).whole;
      for (int64_t s = 1; s <= steps; ++s) {
        frames(1);
        host_->drag(*g, area, int32_t(x + (x1 - x) * s / steps),
                    int32_t(y + (y1 - y) * s / steps));
        flush();
      }
    }
  });
}

void Runner::run_hover(const ScenarioCommand& cmd) {
  GaugeInstance* g = gauge(cmd, arg(cmd, 0));
  if (g == nullptr) return;
  action([&] {
    const std::string text = host_->tooltip(*g, int32_t(arg(cmd, 1).whole),
                                            int32_t(arg(cmd, 2).whole));
    out_ << "  " << (text.empty() ? "no tooltip" : "tooltip \"" + text + "\"")
         << "\n";
  });
}

void Runner::run_open(const ScenarioCommand& cmd) {
  action([&] { host_->open_window(arg(cmd, 0).window); });
}

void Runner::run_close(const ScenarioCommand& cmd) {
  action([&] { host_->close_window(arg(cmd, 0).window); });
}

void Runner::run_toggle(const ScenarioCommand& cmd) {
  action([&] { host_->toggle_window(arg(cmd, 0).window); });
}

void Runner::run_fail(const ScenarioCommand& cmd) {
  action([&] {
    host_->set_failure(int32_t(arg(cmd, 0).whole), arg(cmd, 1).word == "on");
  });
}

void Runner::run_model(const ScenarioCommand& cmd) {
  host_->aircraft().set_model_enabled(arg(cmd, 0).word == "on");
}

void Runner::run_light(const ScenarioCommand& cmd) {
  night_ = arg(cmd, 0).word == "night";
}

void Runner::picture(size_t window, const std::string& path,
                     const std::string& shown, const ScenarioCommand* cmd) {
  std::string error;
  if (options_.renderer == nullptr) {
    error = "this run draws no pictures";
  } else {
    const WindowPicture drawn =
        options_.renderer->render(*host_, window, night_);
    for (const std::string& note : drawn.notes)
      out_ << "  note: " << note << "\n";
    if (write_png(drawn.image, path, error)) {
      out_ << "  " << shown << ": " << drawn.image.width << " x "
           << drawn.image.height << "\n";
      return;
    }
  }
  ++outcome_.failed_pictures;
  out_ << "  picture not written: " << error << "\n";
  if (cmd != nullptr)
    errors_ << file_ << ":" << cmd->line << ": " << error << "\n";
  else
    errors_ << "corvelain_host: " << error << "\n";
}

void Runner::run_picture(const ScenarioCommand& cmd) {
  const size_t window = size_t(arg(cmd, 0).whole);
  if (!host_->window_open_at(window)) {
    out_ << "  window " << arg(cmd, 0).word << " is not open\n";
    return;
  }
  picture(window, arg(cmd, 1).word, arg(cmd, 1).word, &cmd);
}

// Every open window, named after its section: Window00.png, Vcockpit01.png.
void Runner::pictures_at_end() {
  out_ << "> pictures\n";
  std::error_code ignored;
  std::filesystem::create_directories(options_.pictures_folder, ignored);
  const auto& windows = host_->panel().windows;
  for (size_t w = 0; w < windows.size(); ++w) {
    if (!host_->window_open_at(w)) continue;
    std::string name = windows[w].section_name();
    name = name.substr(1, name.size() - 2) + ".png";
    picture(w,
            (std::filesystem::path(options_.pictures_folder) / name).string(),
            name, nullptr);
  }
}

void Runner::run_show_var(const ScenarioCommand& cmd) {
  const AircraftVariable& var = *arg(cmd, 0).variable;
  out_ << "  " << var.name << " = " << variable_text(host_->aircraft(), var)
       << "\n";
}

void Runner::run_show_ident(const ScenarioCommand&) {
  const IdentAudio ident = host_->aircraft().ident_audio();
  const auto heard = [](bool on) { return on ? "on" : "off"; };
  out_ << "  ident ADF " << heard(ident.adf) << ", NAV1 " << heard(ident.nav1)
       << ", NAV2 " << heard(ident.nav2) << "\n";
}

void Runner::run_show(const ScenarioCommand& cmd) {
  GaugeInstance* g = gauge(cmd, arg(cmd, 0));
  if (g == nullptr) return;
  const std::string& gauge_word = arg(cmd, 0).word;
  const std::string& element_word = arg(cmd, 1).word;
  ElementView view;
  if (!host_->element_view(*g, int(arg(cmd, 1).whole), view))
    out_ << "  " << gauge_word << " has no element " << element_word << "\n";
  else
    out_ << "  " << gauge_word << " " << element_word << ": " << describe(view)
         << "\n";
}

void Runner::run_expect_events(const ScenarioCommand& cmd) {
  std::string expected, got;
  bool same = cmd.arguments.size() == last_events_.size();
  for (size_t i = 0; i < cmd.arguments.size(); ++i) {
    const ScenarioArgument& a = cmd.arguments[i];
    expected += (expected.empty() ? "" : " ") + a.word;
    if (!same) continue;
    const SentEvent& sent = last_events_[i];
    same = sent.event == a.whole && (!a.has_value || sent.value == a.number);
  }
  for (const SentEvent& e : last_events_)
    got += (got.empty() ? "" : " ") + std::to_string(e.event) + "=" +
           std::to_string(e.value);
  if (!same) fail(cmd, "events [" + expected + "]", "[" + got + "]");
}

double tolerance(const ScenarioArgument& arg) {
  return arg.given ? arg.number : kDefaultTolerance;
}

bool near(double got, double want, double tol) {
  return std::fabs(got - want) <= tol;
}

void Runner::run_expect_var(const ScenarioCommand& cmd) {
  const AircraftVariable& var = *arg(cmd, 0).variable;
  const double got = var.bcd ? host_->aircraft().integer(var.token)
                             : host_->aircraft().number(var.token);
  if (!near(got, arg(cmd, 1).number, tolerance(arg(cmd, 2))))
    fail(cmd, std::string(var.name) + " = " + arg(cmd, 1).word,
         variable_text(host_->aircraft(), var));
}

void Runner::run_expect_window(const ScenarioCommand& cmd) {
  const bool open = host_->window_open(arg(cmd, 0).window);
  const std::string& want = arg(cmd, 1).word;
  if (open != (want == "open"))
    fail(cmd, "window " + arg(cmd, 0).word + " " + want,
         open ? "open" : "closed");
}

void Runner::run_expect_tooltip(const ScenarioCommand& cmd) {
  GaugeInstance* g = gauge(cmd, arg(cmd, 0));
  if (g == nullptr) return;
  const std::string got = host_->tooltip(*g, int32_t(arg(cmd, 1).whole),
                                         int32_t(arg(cmd, 2).whole));
  const std::string& want = arg(cmd, 3).word;
  if (got != want) fail(cmd, "tooltip \"" + want + "\"", "\"" + got + "\"");
}

void Runner::run_expect_element(const ScenarioCommand& cmd) {
  GaugeInstance* g = gauge(cmd, arg(cmd, 0));
  if (g == nullptr) return;
  ElementView view;
  if (!host_->element_view(*g, int(arg(cmd, 1).whole), view)) {
    fail(cmd, "element " + arg(cmd, 1).word + " of " + arg(cmd, 0).word,
         "no such element");
    return;
  }
  const std::string& field = arg(cmd, 2).word;
  const ScenarioArgument& want = arg(cmd, 3);
  if (field == "text") {
    if (view.text != want.word)
      fail(cmd, "text \"" + want.word + "\"", "\"" + view.text + "\"");
    return;
  }
  if (field == "drawn") {
    const bool drawn =
        want.word == "yes" || want.word == "true" || want.word == "1";
    if (view.drawn != drawn)
      fail(cmd, "drawn " + want.word, view.drawn ? "drawn" : "not drawn");
    return;
  }
  double got = view.values[0];
  if (field == "y") got = view.values[1];
  if (field == "rotation") got = view.values[2];
  if (field == "angle") got = view.angle;
  if (field == "index") got = view.icon_index;
  const double tol = tolerance(arg(cmd, 4));
  bool ok = near(got, want.number, tol);
  if (field == "angle" && !ok) {
    // Angles compare around the dial.
    const double diff = std::fmod(std::fabs(got - want.number), 360.0);
    ok = std::min(diff, 360.0 - diff) <= tol;
  }
  if (!ok) fail(cmd, field + " " + want.word, fixed_text(got));
}

void Runner::replace_host(Host& next, std::string_view echo) {
  if (!echo.empty()) out_ << "> " << echo << "\n";
  host_->stop();
  flush();
  next.aircraft().copy_state_from(host_->aircraft());
  host_ = &next;
  last_events_.clear();
  acted_ = false;
  host_->start();
  flush();
}

std::string Runner::rebuild_to(const PanelDocument& document) {
  PanelConfigResult parsed =
      parse_panel_config(panel_document_text(document), editor_->path());
  if (auto* error = std::get_if<PanelConfigError>(&parsed))
    return error->message();
  // An edit keeps the windows open or closed as they were: one opened to
  // place its gauges stays open while they are placed.
  std::map<std::string, bool> was_open;
  for (size_t w = 0; w < host_->panel().windows.size(); ++w)
    was_open[host_->panel().windows[w].section_name()] =
        host_->window_open_at(w);
  std::string why = rebuild_(std::move(std::get<PanelConfig>(parsed)));
  if (!why.empty()) return why;
  for (size_t w = 0; w < host_->panel().windows.size(); ++w) {
    const auto before = was_open.find(host_->panel().windows[w].section_name());
    if (before != was_open.end() && before->second != host_->window_open_at(w))
      host_->set_window_open_at(w, before->second);
  }
  flush();
  return "";
}

bool Runner::edit(const ScenarioCommand& cmd,
                  const std::function<std::string(PanelDocument&)>& change) {
  if (editor_ == nullptr) {
    refuse(cmd, "this run does not edit its panel file");
    return false;
  }
  PanelDocument next = editor_->document();
  std::string why = change(next);
  if (why.empty()) why = rebuild_to(next);
  if (!why.empty()) {
    refuse(cmd, why);
    return false;
  }
  editor_->commit(std::move(next), cmd.source);
  return true;
}

const GaugeInstance* Runner::placed(const ScenarioCommand& cmd,
                                    const ScenarioArgument& arg) {
  if (std::string why = placed_problem(*host_, arg); !why.empty()) {
    refuse(cmd, why);
    return nullptr;
  }
  return host_->find_instance(arg.gauge, int(arg.whole));
}

bool Runner::inside(const ScenarioCommand& cmd, size_t window, int64_t x,
                    int64_t y) {
  const PanelWindow& w = host_->panel().windows[window];
  if (x >= 0 && y >= 0 && x < w.width && y < w.height) return true;
  refuse(cmd, "(" + std::to_string(x) + ", " + std::to_string(y) +
                  ") is outside " + w.section_name() + " (" +
                  std::to_string(w.width) + " x " + std::to_string(w.height) +
                  ")");
  return false;
}

void Runner::run_move(const ScenarioCommand& cmd) {
  const GaugeInstance* g = placed(cmd, arg(cmd, 0));
  const int32_t x = int32_t(arg(cmd, 1).whole), y = int32_t(arg(cmd, 2).whole);
  if (g == nullptr || !inside(cmd, g->window, x, y)) return;
  const int line = g->placement->line;
  if (edit(cmd,
           [&](PanelDocument& d) { return move_gauge_line(d, line, x, y); }))
    out_ << "  " << arg(cmd, 0).word << " at " << x << ", " << y << "\n";
}

void Runner::run_resize(const ScenarioCommand& cmd) {
  const GaugeInstance* g = placed(cmd, arg(cmd, 0));
  if (g == nullptr) return;
  const int32_t w = int32_t(arg(cmd, 1).whole), h = int32_t(arg(cmd, 2).whole);
  const int line = g->placement->line;
  if (edit(cmd,
           [&](PanelDocument& d) { return resize_gauge_line(d, line, w, h); }))
    out_ << "  " << arg(cmd, 0).word << " " << w << " x " << h << "\n";
}

void Runner::run_add(const ScenarioCommand& cmd) {
  const std::string& name = arg(cmd, 0).word;
  const size_t window = size_t(arg(cmd, 1).whole);
  NewGaugeLine gauge;
  gauge.module = name.substr(0, name.find('!'));
  gauge.gauge = name.substr(name.find('!') + 1);
  gauge.x = int32_t(arg(cmd, 2).whole);
  gauge.y = int32_t(arg(cmd, 3).whole);
  size_t text = 4;
  if (cmd.arguments.size() >= 6 && parse_int32(arg(cmd, 4).word) &&
      parse_int32(arg(cmd, 5).word)) {
    gauge.width = int32_t(arg(cmd, 4).whole);
    gauge.height = int32_t(arg(cmd, 5).whole);
    text = 6;
  }
  if (text < cmd.arguments.size()) gauge.parameter_text = arg(cmd, text).word;
  if (!inside(cmd, window, gauge.x, gauge.y)) return;
  const int header = host_->panel().windows[window].line;
  int line = 0;
  if (!edit(cmd, [&](PanelDocument& d) {
        return add_gauge_line(d, header, gauge, line);
      }))
    return;
  for (const GaugeInstance& g : host_->instances())
    if (g.placement->line == line)
      out_ << "  " << scenario_gauge_reference(g) << " placed on "
           << host_->panel().windows[window].section_name() << "\n";
}

void Runner::run_remove(const ScenarioCommand& cmd) {
  const GaugeInstance* g = placed(cmd, arg(cmd, 0));
  if (g == nullptr) return;
  const std::string section = host_->panel().windows[g->window].section_name();
  const int header = host_->panel().windows[g->window].line;
  const int line = g->placement->line;
  if (edit(cmd, [&](PanelDocument& d) {
        return remove_gauge_line(d, header, line);
      }))
    out_ << "  " << arg(cmd, 0).word << " taken off " << section << "\n";
}

void Runner::run_window(const ScenarioCommand& cmd) {
  const PanelWindow& window = host_->panel().windows[size_t(arg(cmd, 0).whole)];
  const std::string section = window.section_name();
  const int header = window.line;
  const int32_t w = int32_t(arg(cmd, 2).whole), h = int32_t(arg(cmd, 3).whole);
  if (edit(cmd, [&](PanelDocument& d) {
        return set_window_size_line(d, header, w, h);
      }))
    out_ << "  " << section << " " << w << " x " << h << "\n";
}

void Runner::run_undo(const ScenarioCommand& cmd) {
  std::string what;
  const PanelDocument* target =
      editor_ != nullptr ? editor_->undo_target(what) : nullptr;
  if (target == nullptr) return refuse(cmd, "no edit to undo");
  if (std::string why = rebuild_to(*target); !why.empty())
    return refuse(cmd, why);
  editor_->undone();
  out_ << "  undid " << what << "\n";
}

void Runner::run_redo(const ScenarioCommand& cmd) {
  std::string what;
  const PanelDocument* target =
      editor_ != nullptr ? editor_->redo_target(what) : nullptr;
  if (target == nullptr) return refuse(cmd, "no edit to redo");
  if (std::string why = rebuild_to(*target); !why.empty())
    return refuse(cmd, why);
  editor_->redone();
  out_ << "  redid " << what << "\n";
}

void Runner::run_save(const ScenarioCommand& cmd) {
  if (editor_ == nullptr)
    return refuse(cmd, "this run does not edit its panel file");
  const ScenarioArgument& file = arg(cmd, 0);
  if (file.given) {
    if (std::string why = editor_->save_copy(file.word); !why.empty())
      return refuse(cmd, why);
    out_ << "  saved a copy as " << file.word << "\n";
    return;
  }
  const bool backed_up = editor_->backed_up();
  if (std::string why = editor_->save(); !why.empty()) return refuse(cmd, why);
  out_ << "  saved " << file_name_only(editor_->path());
  if (!backed_up)
    out_ << ", the file as it was kept as " << file_name_only(editor_->path())
         << ".bak";
  out_ << "\n";
}

}  // namespace

bool parse_scenario(std::string_view text, std::string file, const Host& host,
                    ScenarioScript& script, std::string& error) {
  script = {};
  script.file = file;
  bool panel_settled = true;
  int line_number = 0;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == text.npos) end = text.size();
    const std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++line_number;
    ScenarioCommand cmd;
    std::string problem;
    switch (read_line(line, line_number, host, panel_settled, cmd, problem)) {
      case LineRead::kNothing:
        continue;
      case LineRead::kCommand:
        if (kCommands[cmd.verb].edits) panel_settled = false;
        script.commands.push_back(std::move(cmd));
        continue;
      case LineRead::kError:
        error = file + ":" + std::to_string(line_number) + ": " + problem;
        return false;
    }
  }
  return true;
}

void print_scenario_commands(std::ostream& out) {
  // Inside a table cell a bar would end the cell.
  auto cell = [](std::string text) {
    for (size_t at = text.find('|'); at != text.npos;
         at = text.find('|', at + 2))
      text.replace(at, 1, "\\|");
    return text;
  };
  out << "| Command | Does |\n|---|---|\n";
  for (const CommandRow& row : kCommands)
    out << "| `" << cell(usage(row)) << "` | " << cell(std::string(row.help))
        << " |\n";
}

ScenarioOutcome run_scenario(const ScenarioScript& script, Host& host,
                             std::ostream& transcript, std::ostream& errors,
                             const ScenarioOptions& options) {
  ScenarioSession session(host, transcript, errors, options, script.file);
  return run_scenario(script, session, transcript);
}

ScenarioOutcome run_scenario(const ScenarioScript& script,
                             ScenarioSession& session,
                             std::ostream& transcript) {
  session.start();
  for (const ScenarioCommand& cmd : script.commands) session.run(cmd);
  session.stop();
  const ScenarioOutcome outcome = session.outcome();
  if (outcome.failed_expectations > 0)
    transcript << outcome.failed_expectations << " expectation"
               << (outcome.failed_expectations == 1 ? "" : "s") << " failed\n";
  return outcome;
}

std::string scenario_gauge_reference(const GaugeInstance& gauge) {
  std::string ref = gauge_label(gauge);
  if (gauge.ordinal != 1) ref += "#" + std::to_string(gauge.ordinal);
  return ref;
}

bool scenario_writes_files(const ScenarioCommand& cmd) {
  const auto& params = kCommands[cmd.verb].params;
  for (size_t i = 0; i < params.size() && i < cmd.arguments.size(); ++i)
    if (params[i].kind == Kind::kFile && cmd.arguments[i].given) return true;
  return false;
}

std::vector<ScenarioPoint> scenario_points(const ScenarioCommand& cmd) {
  std::vector<ScenarioPoint> points;
  const auto& params = kCommands[cmd.verb].params;
  const ScenarioArgument* gauge = nullptr;
  for (size_t i = 0; i < params.size() && i < cmd.arguments.size(); ++i) {
    const ScenarioArgument& a = cmd.arguments[i];
    if (params[i].kind == Kind::kGauge) gauge = &a;
    if (gauge == nullptr || !a.given) continue;
    if (params[i].kind == Kind::kX)
      points.push_back({.gauge = gauge->word,
                        .name = gauge->gauge,
                        .ordinal = int(gauge->whole),
                        .x = a.whole});
    else if (params[i].kind == Kind::kY && !points.empty())
      points.back().y = a.whole;
  }
  return points;
}

// The session's runner, named outside this file.
class ScenarioRunner : public Runner {
 public:
  using Runner::Runner;
};

ScenarioSession::ScenarioSession(Host& host, std::ostream& transcript,
                                 std::ostream& errors, ScenarioOptions options,
                                 std::string file)
    : runner_(std::make_unique<ScenarioRunner>(
          host, transcript, errors, std::move(options), std::move(file))) {}

ScenarioSession::~ScenarioSession() = default;

void ScenarioSession::start(std::string_view echo) { runner_->start(echo); }

std::string ScenarioSession::check(std::string_view line, ScenarioCommand& cmd,
                                   int line_number) const {
  std::string problem;
  switch (read_line(line, line_number, runner_->host(), true, cmd, problem)) {
    case LineRead::kNothing:
      return "no command on the line";
    case LineRead::kCommand:
      return "";
    case LineRead::kError:
      return problem;
  }
  return problem;
}

void ScenarioSession::run(const ScenarioCommand& cmd) { runner_->run(cmd); }

void ScenarioSession::run_frames(int64_t count) {
  runner_->clock_frames(count);
}

void ScenarioSession::stop(std::string_view echo) { runner_->stop(echo); }

void ScenarioSession::allow_edits(PanelEditor& editor,
                                  ScenarioPanelRebuild rebuild) {
  runner_->allow_edits(editor, std::move(rebuild));
}

void ScenarioSession::replace_host(Host& next, std::string_view echo) {
  runner_->replace_host(next, echo);
}

const std::string& ScenarioSession::last_refusal() const {
  return runner_->last_refusal();
}

bool ScenarioSession::night() const { return runner_->night(); }

void ScenarioSession::set_night(bool night) { runner_->set_night(night); }

std::vector<SentEvent> ScenarioSession::events_of_last_command() const {
  return runner_->events_of_last_command();
}

ScenarioOutcome ScenarioSession::outcome() const { return runner_->outcome(); }
