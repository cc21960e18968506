// The validator: each gauge of the module alone on a panel of its own, in a
// fresh host, installed, updated, clicked, dragged and hovered with its
// variables held at ordinary, special and random values. Every value an
// element or tooltip callback hands back must be finite, every tooltip text
// short, and every sound device and buffer created released again (natively
// every resource, memory file and sample block too).
#include "host/validate/validate.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iomanip>
#include <limits>
#include <memory>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <variant>
#include <vector>

#include "host/core/host.h"
#include "host/core/mouse.h"
#include "host/panel_file/panel_config.h"
#include "host/validate/sound_watch.h"
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_UNDEFINED__)
#include <sanitizer/common_interface_defs.h>
#define VALIDATE_HAS_SANITIZER 1
#endif

namespace {

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// The values every float64 variable a gauge reads is held at in turn.
constexpr double kSpecialNumbers[] = {
    kNan,     kInf, -kInf, DBL_MAX,
    -DBL_MAX, 0.0,  -0.0,  std::numeric_limits<double>::denorm_min(),
    -4.0e12,
};

// BCD words: all ones in the low half and in the whole word, and words
// holding nibbles above 9.
constexpr uint32_t kSpecialWords[] = {
    0xFFFFu, 0xFFFFFFFFu, 0xABCDu, 0x1A2B3C4Du, 0x0000FA0Fu, 0x80000000u, 0u,
};

const char* const kSpecialRegistrations[] = {
    "",
    " leading space",
    "\x80\x9F\xFF\x81 \x8D",
    "N12345678901234567890123456789012345678901234567890123456789012345678"
    "9012345678901234567890123456789012345678901234567890123456789012345678"
    "90123456789012345678901234567890123456789012345678901234567890",
};

// Parameter texts as a panel would give them, so the toggle gauges act.
struct ParameterRow {
  const char* gauge;
  const char* text;
};

constexpr ParameterRow kParameterTexts[] = {
    {.gauge = "Registration", .text = "r250g236b170 fArial Narrow"},
    {.gauge = "Radios_Toggle", .text = "tRADIO_STACK_PANEL aRADIO_STACK_PANEL"},
    {.gauge = "Throttle_Toggle", .text = "oTHROTTLE_PANEL"},
    {.gauge = "Fuel_Toggle", .text = "t20"},
    {.gauge = "Electricity_Toggle", .text = "t30"},
    {.gauge = "Invisible_Toggle", .text = "b110h1000 c50c10c20c30"},
    {.gauge = "Landing_View_Toggle", .text = "p1"},
    {.gauge = "Compass_Toggle", .text = "tCOMPASS_PANEL"},
    {.gauge = "Close_Subpanel", .text = "c50"},
};

// Texts every gauge is also installed with at level 3.
const char* const kOddParameterTexts[] = {
    "",
    "tMAIN_PANEL cMAIN_PANEL oMAIN_PANEL aMAIN_PANEL",
    ("r999g-5b b h99999999999 fAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA"
     "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA p-7 t o c"),
};

// The windows the validation panel holds besides the gauge's own
// (MAIN_PANEL): those the parameter texts above name, all empty.
const char* const kOtherWindows[] = {
    "RADIO_STACK_PANEL",
    "THROTTLE_PANEL",
    "COMPASS_PANEL",
    "10",
    "20",
    "30",
    "50",
    "110",
};

// The tooltip text a host shows is at most this long; a longer one means a
// text ran past its buffer.
constexpr size_t kMaxTooltipText = 260;

constexpr int kMaxMouseRecords = 1000;

// Where the validator is, for a sanitizer's last words.
char current_step[300] = "";

#if VALIDATE_HAS_SANITIZER
void on_sanitizer_death() {
  std::fprintf(stderr, "validate: sanitizer finding in %s\n", current_step);
}
#endif

// splitmix64: the same sequence in both builds.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // 0 <= result < bound
  uint32_t below(uint32_t bound) {
    return bound == 0 ? 0 : static_cast<uint32_t>(next() % bound);
  }
  int32_t between(int32_t low, int32_t high) {
    return low +
           static_cast<int32_t>(below(static_cast<uint32_t>(high - low) + 1));
  }
  double number() {
    switch (below(4)) {
      case 0:
        return kSpecialNumbers[below(std::size(kSpecialNumbers))];
      case 1: {
        const uint64_t bits = next();
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
      }
      case 2:
        return (static_cast<double>(next() >> 11) / 9007199254740992.0 - 0.5) *
               2.0e6;
      default:
        return static_cast<double>(between(-200, 30000)) / 4.0;
    }
  }

 private:
  uint64_t state_;
};

// One variable a gauge reads.
struct Input {
  enum class Kind { kNumber, kWord, kCarburetor, kRegistration };
  Kind kind = Kind::kNumber;
  int32_t token = 0;
  bool operator<(const Input& other) const {
    return kind != other.kind ? kind < other.kind : token < other.token;
  }
};

std::string describe_number(double value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value > 0 ? "+inf" : "-inf";
  char text[64];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

std::string describe_word(uint32_t word) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", word);
  return text;
}

// A mouse record with its box on the gauge's background.
struct Area {
  const MouseRect* record;
  MouseBox box;
};

// Records of the gauge's list, each with the box it answers in: a
// (0,0,0,0) box is its parent's.
std::vector<Area> mouse_areas(const GaugeHeader* header, MouseBox whole) {
  std::vector<Area> areas;
  std::vector<MouseBox> parents{whole};
  const MouseRect* list = header->mouse_areas;
  for (int i = 0; list != nullptr && i < kMaxMouseRecords; ++i) {
    const MouseRect& r = list[i];
    if (r.kind == kMouseEnd) break;
    const bool empty =
        r.box.width == 0 && r.box.height == 0 && r.box.x == 0 && r.box.y == 0;
    const MouseBox box = empty ? parents.back() : r.box;
    if (r.kind == kMouseParent) parents.push_back(box);
    if (r.kind == kMouseEndParent && parents.size() > 1) parents.pop_back();
    areas.push_back({&r, box});
  }
  return areas;
}

// The gauge's extent: its background, if the list does not tell, as far as
// its boxes reach.
MouseBox gauge_extent(const GaugeHeader* header) {
  MouseBox extent{0, 0, 64, 64};
  for (const Area& area : mouse_areas(header, extent)) {
    extent.width = std::max(extent.width, area.box.x + area.box.width);
    extent.height = std::max(extent.height, area.box.y + area.box.height);
  }
  return extent;
}

// The element's value slots that a callback fills.
std::vector<std::pair<size_t, ElementCallback>> callback_slots(
    const ElementHeader* head) {
  std::vector<std::pair<size_t, ElementCallback>> slots;
  auto add = [&](size_t slot, ElementCallback callback) {
    if (callback != nullptr) slots.emplace_back(slot, callback);
  };
  switch (head->kind) {
    case kNeedle:
      add(0, reinterpret_cast<const NeedleElement*>(head)->callback);
      break;
    case kString:
      add(0, reinterpret_cast<const StringElement*>(head)->callback);
      break;
    case kSlider: {
      auto* e = reinterpret_cast<const SliderElement*>(head);
      add(0, e->x_callback);
      add(1, e->y_callback);
      break;
    }
    case kIcon:
      add(0, reinterpret_cast<const IconElement*>(head)->callback);
      break;
    case kMovingImage: {
      auto* e = reinterpret_cast<const MovingImageElement*>(head);
      add(0, e->x_callback);
      add(1, e->y_callback);
      break;
    }
    case kSprite: {
      auto* e = reinterpret_cast<const SpriteElement*>(head);
      add(0, e->x_callback);
      add(1, e->y_callback);
      add(2, e->rotation_callback);
      break;
    }
    default:
      break;
  }
  return slots;
}

std::vector<int32_t> bound_tokens(const ElementHeader* head) {
  std::vector<const ModuleVar*> vars;
  switch (head->kind) {
    case kNeedle:
      vars = {&reinterpret_cast<const NeedleElement*>(head)->source};
      break;
    case kString: {
      auto* e = reinterpret_cast<const StringElement*>(head);
      vars = {&e->sources[0], &e->sources[1], &e->sources[2]};
      break;
    }
    case kSlider: {
      auto* e = reinterpret_cast<const SliderElement*>(head);
      vars = {&e->x_source, &e->y_source};
      break;
    }
    case kIcon:
      vars = {&reinterpret_cast<const IconElement*>(head)->source};
      break;
    case kMovingImage: {
      auto* e = reinterpret_cast<const MovingImageElement*>(head);
      vars = {&e->x_source, &e->y_source};
      break;
    }
    case kSprite: {
      auto* e = reinterpret_cast<const SpriteElement*>(head);
      vars = {&e->x_source, &e->y_source, &e->rotation_source};
      break;
    }
    default:
      break;
  }
  std::vector<int32_t> tokens;
  for (const ModuleVar* var : vars)
    if (var->token != 0) tokens.push_back(var->token);
  return tokens;
}

struct Tally {
  std::string gauge;
  int64_t checks = 0;
  int64_t failures = 0;
  std::set<std::string> reported;
};

// Pairs of the sound counts that must match once every gauge is killed (the
// Windows build counts devices and buffers alone).
std::string sound_imbalance() {
  const SoundCounts& c = sound_watch_counts();
  struct Pair {
    const char* what;
    int32_t created;
    int32_t released;
  };
  const Pair pairs[] = {
      {"sound devices", c.devices_created, c.devices_released},
      {"sound buffers", c.buffers_created, c.buffers_released},
      {"wave resources", c.resources_locked, c.resources_released},
      {"memory files", c.files_opened, c.files_closed},
      {"sample blocks", c.blocks_allocated, c.blocks_freed},
  };
  std::string text;
  for (const Pair& p : pairs)
    if (p.created != p.released)
      text += (text.empty() ? "" : ", ") + std::to_string(p.created) + " " +
              p.what + " created, " + std::to_string(p.released) + " released";
  return text;
}

// One gauge under test: the panel it sits on and the host driving it.
class GaugeBench {
 public:
  // The gauge in slot `index` of the module's table.
  GaugeBench(LoadedModule& module, size_t index, const ValidateOptions& options,
             std::ostream& out, std::ostream& err)
      : module_(module),
        index_(index),
        options_(options),
        out_(out),
        err_(err),
        random_(options.seed ^ name_hash(header()->name)) {
    tally_.gauge = header()->name;
    extent_ = gauge_extent(header());
    areas_ = mouse_areas(header(), extent_);
    for (const ParameterRow& row : kParameterTexts)
      if (tally_.gauge == row.gauge) parameter_text_ = row.text;
  }

  Tally run() {
    level_one();
    if (options_.level >= 2) level_two();
    if (options_.level >= 3) level_three();
    if (options_.level >= 4) level_four();
    return std::move(tally_);
  }

 private:
  GaugeHeader* header() const { return module_.linkage->gauges[index_]; }

  static uint64_t name_hash(const char* name) {
    uint64_t hash = 1469598103934665603ull;
    for (const char* c = name; *c; ++c)
      hash = (hash ^ static_cast<unsigned char>(*c)) * 1099511628211ull;
    return hash;
  }

  void step(const std::string& what) {
    std::snprintf(current_step, sizeof current_step, "%s %s",
                  tally_.gauge.c_str(), what.c_str());
    err_ << "validate: " << current_step << "\n" << std::flush;
  }

  void check(bool ok, const std::string& what) {
    ++tally_.checks;
    if (ok) return;
    ++tally_.failures;
    if (tally_.reported.size() < 20 && tally_.reported.insert(what).second)
      out_ << "FAILED " << tally_.gauge << ": " << what << " (" << context_
           << ")\n"
           << std::flush;
  }

  // A fresh host with the gauge placed `copies` times on MAIN_PANEL.
  bool open(int copies, const std::string& parameter_text) {
    close();
    PanelConfig panel;
    panel.file = "(validate)";
    PanelWindow main;
    main.ident = parse_window_ident("MAIN_PANEL");
    main.width = 1024;
    main.height = 768;
    for (int c = 0; c < copies; ++c)
      main.gauges.push_back({.number = c,
                             .module = module_.name,
                             .gauge = tally_.gauge,
                             .x = 10 + c * (extent_.width + 10),
                             .y = 10,
                             .width = extent_.width,
                             .height = extent_.height,
                             .parameter_text = parameter_text,
                             .line = 0});
    panel.windows.push_back(std::move(main));
    for (const char* name : kOtherWindows) {
      PanelWindow other;
      other.section = int(panel.windows.size());
      other.ident = parse_window_ident(name);
      other.visible = false;
      panel.windows.push_back(std::move(other));
    }
    auto created = Host::create(module_, std::move(panel));
    if (auto* message = std::get_if<std::string>(&created)) {
      check(false, "cannot place the gauge: " + *message);
      return false;
    }
    host_ = std::move(std::get<std::unique_ptr<Host>>(created));
    // Another maker's module may call what this host does not provide or
    // fault: its gauge is stopped and counted, and the rest is validated.
    if (!names_module(default_module_file(), module_.name))
      host_->stop_misbehaving_gauges();
    host_->aircraft().set_model_enabled(false);
    host_->start();
    return true;
  }

  void close() {
    if (host_ == nullptr) return;
    for (const GaugeInstance& gauge : host_->instances())
      if (gauge.stopped) check(false, "stopped: " + gauge.stop_note);
    host_->stop();
    host_.reset();
  }

  uint32_t main_ident() const { return *parse_window_ident("MAIN_PANEL"); }

  // The gauge's own window open again, should the gauge have closed it.
  void reopen() {
    if (!host_->window_open(main_ident())) host_->open_window(main_ident());
  }

  void frames(int count) {
    for (int f = 0; f < count; ++f) {
      reopen();
      host_->run_frames(1);
      check_elements();
    }
  }

  void check_elements() {
    for (const GaugeInstance& g : host_->instances()) {
      if (!g.installed) continue;
      for (size_t i = 0; i < g.elements.size() && i < g.states.size(); ++i) {
        for (const auto& [slot, callback] : callback_slots(g.elements[i])) {
          const double value = g.states[i].values[slot];
          check(std::isfinite(value), "element " + std::to_string(i + 1) +
                                          " callback returned " +
                                          describe_number(value));
        }
      }
    }
  }

  void check_tooltips() {
    for (const Area& area : areas_) {
      const MouseRect& r = *area.record;
      if (r.kind != kMouseTooltip || r.help_id != 0 || r.args == nullptr)
        continue;
      for (uint32_t n = 0; n < r.event && n < 9; ++n) {
        const TooltipArg& arg = r.args[n];
        if (arg.number != nullptr) {
          const double value = arg.number(0, 0, 0, 0, 0, 0);
          check(std::isfinite(value), "tooltip argument " +
                                          std::to_string(n + 1) + " returned " +
                                          describe_number(value));
        }
        if (arg.text != nullptr) {
          const char* text = arg.text(0, 0, 0, 0, 0, 0);
          check(text != nullptr && std::strlen(text) < kMaxTooltipText,
                "tooltip argument " + std::to_string(n + 1) +
                    (text ? " text too long" : " text is null"));
        }
      }
    }
  }

  void hover_all() {
    for (const GaugeInstance& instance : host_->instances()) {
      GaugeInstance& g = const_cast<GaugeInstance&>(instance);
      if (!g.installed) continue;
      hover(g, 1, 1);
      for (const Area& area : areas_)
        hover(g, area.box.x + area.box.width / 2,
              area.box.y + area.box.height / 2);
    }
    check_tooltips();
  }

  void hover(GaugeInstance& g, int32_t x, int32_t y) {
    const std::string text = host_->tooltip(g, x, y);
    check(text.size() < kMaxTooltipText, "tooltip text too long");
  }

  // Every child area of every installed copy, with both buttons, held where
  // it repeats and dragged where it drags.
  void click_all(bool with_hovers) {
    for (size_t copy = 0; copy < host_->instances().size(); ++copy) {
      for (const Area& area : areas_) {
        if (area.record->kind != kMouseChild) continue;
        for (uint32_t button : {kMouseLeftSingle, kMouseRightSingle}) {
          reopen();
          GaugeInstance& g =
              const_cast<GaugeInstance&>(host_->instances()[copy]);
          if (!g.installed) continue;
          const int32_t x = area.box.x + area.box.width / 2;
          const int32_t y = area.box.y + area.box.height / 2;
          const MouseRect* answered = host_->press(g, x, y, button);
          if (answered != nullptr && (answered->mouse_flags & kMouseRepeat))
            for (int r = 0; r < 3 && g.installed; ++r)
              host_->repeat(g, answered, x, y, button);
          if (answered != nullptr && (answered->mouse_flags & kMouseLeftDrag))
            for (int d = -2; d <= 2 && g.installed; ++d)
              host_->drag(g, answered, x + d * area.box.width / 4,
                          y + d * area.box.height / 4);
          check_elements();
          if (with_hovers && g.installed) hover_all();
        }
      }
    }
  }

  // install, a few frames, every click, every tooltip, kill
  void exercise(bool with_hovers) {
    frames(2);
    click_all(with_hovers);
    frames(2);
    hover_all();
  }

  void check_sound(const std::string& when) {
    const std::string imbalance = sound_imbalance();
    check(imbalance.empty(), imbalance + " " + when);
  }

  void reset_sound() { sound_watch_reset(); }

  // Sound enabled again and its counts at zero. Where a failure leaves the
  // module silenced until it is unloaded, it is loaded afresh: its records
  // may then lie elsewhere. False when it cannot be loaded again.
  bool restart_sound() {
    close();
    if (sound_watch_needs_reload()) {
      unload_module(module_);
      std::string error;
      const bool loaded = load_module(options_.module_path, module_, error);
      if (!loaded || header() == nullptr || header()->name == nullptr ||
          tally_.gauge != header()->name) {
        check(false, "cannot load the module again: " +
                         (loaded ? "it holds other gauges now" : error));
        if (loaded) unload_module(module_);
        return false;
      }
      sound_watch_attach(module_);
      areas_ = mouse_areas(header(), extent_);
    }
    sound_watch_reset();
    return true;
  }

  void level_one() {
    context_ = "level 1";
    step("install and update");
    reset_sound();
    if (!open(1, parameter_text_)) return;
    frames(1);
    discover_inputs();
    close();
    check_sound("after kill");
  }

  // The variables the gauge reads: those its elements are bound to and
  // those its callbacks look up or calculate, clicked and hovered too.
  void discover_inputs() {
    host_->clear_service_calls();
    exercise(false);
    std::set<Input> found;
    for (const GaugeInstance& g : host_->instances())
      for (const ElementHeader* head : g.elements)
        for (int32_t token : bound_tokens(head)) found.insert(input_of(token));
    for (const ServiceCall& call : host_->service_calls()) {
      if (call.entry == kServiceLookupVar)
        found.insert(input_of(static_cast<int32_t>(call.first)));
      if (call.entry == kServiceExecuteCalculatorCode)
        found.insert({call.text.find("ATC ID") != std::string::npos
                          ? Input::Kind::kRegistration
                          : Input::Kind::kCarburetor,
                      0});
    }
    inputs_.clear();
    for (const Input& input : found)
      if (input.kind != Input::Kind::kNumber || input.token != 0)
        inputs_.push_back(input);
  }

  static Input input_of(int32_t token) {
    const AircraftVariable* row = find_aircraft_variable(token);
    if (row == nullptr) return {Input::Kind::kNumber, 0};
    return {row->bcd ? Input::Kind::kWord : Input::Kind::kNumber, token};
  }

  void level_two() {
    context_ = "level 2";
    step("install and kill cycles");
    reset_sound();
    if (open(1, parameter_text_)) {
      for (int c = 0; c < options_.cycles; ++c) {
        host_->close_window(main_ident());
        host_->open_window(main_ident());
        if (c % 10 == 0) frames(1);
      }
      close();
    }
    check_sound("after install and kill cycles");

    step("two copies on one panel");
    reset_sound();
    if (open(2, parameter_text_)) {
      exercise(true);
      close();
    }
    check_sound("after two copies were killed");

    step("windows opened and closed every frame");
    reset_sound();
    if (open(1, parameter_text_)) {
      for (int f = 0; f < 36; ++f) {
        host_->close_window(main_ident());
        host_->open_window(main_ident());
        for (const char* name : kOtherWindows)
          host_->toggle_window(*parse_window_ident(name));
        frames(1);
        if (f % 6 == 0) click_all(false);
      }
      close();
    }
    check_sound("after windows opened and closed every frame");
  }

  void set_input(const Input& input, double number, uint32_t word,
                 const char* text) {
    Aircraft& aircraft = host_->aircraft();
    switch (input.kind) {
      case Input::Kind::kNumber:
        aircraft.set(input.token, number);
        break;
      case Input::Kind::kWord:
        aircraft.set_word(input.token, static_cast<int32_t>(word));
        break;
      case Input::Kind::kCarburetor:
        aircraft.set_carburetor_celsius(number);
        break;
      case Input::Kind::kRegistration:
        aircraft.set_registration(text);
        break;
    }
  }

  std::string input_name(const Input& input) const {
    switch (input.kind) {
      case Input::Kind::kWord:
      case Input::Kind::kNumber: {
        const AircraftVariable* row = find_aircraft_variable(input.token);
        return std::string(row ? row->name : "token") + " (" +
               std::to_string(input.token) + ")";
      }
      case Input::Kind::kCarburetor:
        return "calculated carburettor temperature";
      case Input::Kind::kRegistration:
        return "ATC identifier";
    }
    return "";
  }

  // Each variable at each special value in turn, the others as they stand.
  void sweep() {
    for (const Input& input : inputs_) {
      step("special values of " + input_name(input));
      if (!open(1, parameter_text_)) return;
      auto run = [&](const std::string& value) {
        context_ = "level 3, " + input_name(input) + " = " + value;
        exercise(true);
      };
      switch (input.kind) {
        case Input::Kind::kWord:
          for (uint32_t word : kSpecialWords) {
            set_input(input, 0, word, "");
            run(describe_word(word));
          }
          break;
        case Input::Kind::kRegistration:
          for (const char* text : kSpecialRegistrations) {
            set_input(input, 0, 0, text);
            run("\"" + std::string(text).substr(0, 20) + "\"");
          }
          break;
        default:
          for (double number : kSpecialNumbers) {
            set_input(input, number, 0, "");
            run(describe_number(number));
          }
          break;
      }
      close();
    }
    step("every variable at once at each special value");
    if (!open(1, parameter_text_)) return;
    for (size_t v = 0; v < std::size(kSpecialNumbers); ++v) {
      for (const Input& input : inputs_)
        set_input(input, kSpecialNumbers[v],
                  kSpecialWords[v % std::size(kSpecialWords)],
                  kSpecialRegistrations[v % std::size(kSpecialRegistrations)]);
      context_ =
          "level 3, every variable = " + describe_number(kSpecialNumbers[v]);
      exercise(true);
    }
    close();
  }

  void set_random_input() {
    if (inputs_.empty()) return;
    const Input& input = inputs_[random_.below(uint32_t(inputs_.size()))];
    const uint32_t word =
        random_.below(2)
            ? kSpecialWords[random_.below(uint32_t(std::size(kSpecialWords)))]
            : static_cast<uint32_t>(random_.next());
    if (input.kind == Input::Kind::kWord && random_.below(3) == 0) {
      host_->aircraft().set_word(input.token, std::nullopt);
      return;
    }
    set_input(input, random_.number(), word,
              kSpecialRegistrations[random_.below(
                  uint32_t(std::size(kSpecialRegistrations)))]);
  }

  // Random presses, holds, drags, hovers, frames and variable values.
  void storm() {
    step("click storm");
    context_ = "level 3, click storm, seed " + std::to_string(options_.seed);
    if (!open(2, parameter_text_)) return;
    std::vector<const Area*> children;
    for (const Area& area : areas_)
      if (area.record->kind == kMouseChild) children.push_back(&area);
    for (int action = 0; action < 600; ++action) {
      reopen();
      GaugeInstance& g =
          const_cast<GaugeInstance&>(host_->instances()[random_.below(2)]);
      if (!g.installed) continue;
      const uint32_t roll = random_.below(10);
      if (roll < 5 && !children.empty()) {
        const Area& area = *children[random_.below(uint32_t(children.size()))];
        const bool inside = random_.below(8) != 0;
        const int32_t x =
            inside
                ? random_.between(area.box.x,
                                  area.box.x + std::max(0, area.box.width - 1))
                : random_.between(-20, extent_.width + 20);
        const int32_t y =
            inside
                ? random_.between(area.box.y,
                                  area.box.y + std::max(0, area.box.height - 1))
                : random_.between(-20, extent_.height + 20);
        const uint32_t button =
            random_.below(2) ? kMouseLeftSingle : kMouseRightSingle;
        const MouseRect* answered = host_->press(g, x, y, button);
        if (answered != nullptr && (answered->mouse_flags & kMouseRepeat))
          for (uint32_t r = random_.below(5); r > 0 && g.installed; --r)
            host_->repeat(g, answered, x, y, button);
        check_elements();
      } else if (roll < 7) {
        frames(1 + int(random_.below(3)));
      } else if (roll < 9) {
        set_random_input();
      } else {
        hover(g, random_.between(-5, extent_.width + 5),
              random_.between(-5, extent_.height + 5));
        check_tooltips();
      }
    }
    close();
  }

  // Every drag area dragged across its box and beyond it, both ways.
  void drags() {
    step("drags");
    context_ = "level 3, drags";
    if (!open(1, parameter_text_)) return;
    for (const Area& area : areas_) {
      if (area.record->kind != kMouseChild ||
          (area.record->mouse_flags & kMouseLeftDrag) == 0)
        continue;
      const MouseBox& b = area.box;
      const int32_t lines[][4] = {
          {b.x - 30, b.y + b.height / 2, b.x + b.width + 30,
           b.y + b.height / 2},
          {b.x + b.width / 2, b.y + b.height + 30, b.x + b.width / 2, b.y - 30},
          {b.x + b.width + 30, b.y - 30, b.x - 30, b.y + b.height + 30},
      };
      for (const auto& line : lines) {
        reopen();
        GaugeInstance& g = const_cast<GaugeInstance&>(host_->instances()[0]);
        const MouseRect* answered = host_->press(
            g, b.x + b.width / 2, b.y + b.height / 2, kMouseLeftSingle);
        if (answered == nullptr) continue;
        constexpr int kSteps = 40;
        for (int s = 0; s <= kSteps && g.installed; ++s) {
          host_->drag(g, answered, line[0] + (line[2] - line[0]) * s / kSteps,
                      line[1] + (line[3] - line[1]) * s / kSteps);
          if (s % 4 == 0) frames(1);
        }
      }
    }
    close();
  }

  void level_three() {
    reset_sound();
    sweep();
    storm();
    drags();
    for (const char* text : kOddParameterTexts) {
      step("parameter text \"" + std::string(text).substr(0, 24) + "\"");
      context_ = "level 3, parameter text";
      if (!open(2, text)) continue;
      exercise(true);
      close();
    }
    check_sound("after level 3");
  }

  void level_four() {
    context_ = "level 4";
    // Only gauges that own a sound slot have anything to fail.
    if (!restart_sound()) return;
    if (open(1, parameter_text_)) close();
    if (sound_watch_counts().devices_created == 0) return;
    for (int s = int(SoundStep::kProgramPath); s <= int(SoundStep::kPlay);
         ++s) {
      const auto failing = static_cast<SoundStep>(s);
      if (!sound_watch_can_fail(failing)) continue;
      for (const bool from_start : {true, false}) {
        context_ = "level 4, sound step " + std::to_string(s) +
                   (from_start ? " failing from the start"
                               : " failing after the first install");
        step("sound step " + std::to_string(s) +
             (from_start ? " fails from the start" : " fails later"));
        if (!restart_sound()) return;
        if (from_start) sound_watch_fail_at(failing);
        if (!open(1, parameter_text_)) return;
        exercise(false);
        if (!from_start) sound_watch_fail_at(failing);
        click_all(false);
        host_->close_window(main_ident());
        host_->open_window(main_ident());
        click_all(false);
        // Once silenced, no click plays.
        if (sound_watch_silenced()) {
          const int32_t plays = sound_watch_counts().plays;
          click_all(false);
          check(sound_watch_counts().plays == plays,
                "a click played after the sound was silenced");
        }
        close();
        check_sound("after kill");
      }
    }
    // The next gauge starts with the sound enabled.
    restart_sound();
  }

  LoadedModule& module_;
  size_t index_;
  const ValidateOptions& options_;
  std::ostream& out_;
  std::ostream& err_;
  Random random_;
  Tally tally_;
  MouseBox extent_{};
  std::vector<Area> areas_;
  std::string parameter_text_;
  std::vector<Input> inputs_;
  std::string context_;
  std::unique_ptr<Host> host_;
};

}  // namespace

bool validate_level_supported(int level) {
  return level >= kValidateLowestLevel && level <= kValidateHighestLevel;
}

int64_t validate_module(LoadedModule& module, const ValidateOptions& options,
                        std::ostream& out, std::ostream& err) {
#if VALIDATE_HAS_SANITIZER
  __sanitizer_set_death_callback(on_sanitizer_death);
#endif
  // By slot: a module loaded afresh may hold its records elsewhere.
  std::vector<size_t> gauges;
  for (size_t g = 0; g < std::size(module.linkage->gauges) &&
                     module.linkage->gauges[g] != nullptr;
       ++g)
    if (module.linkage->gauges[g]->name != nullptr) gauges.push_back(g);
  out << "validate: module " << module.name << ", " << gauges.size()
      << " gauges, level " << options.level << ", seed " << options.seed << "\n"
      << std::flush;
  sound_watch_attach(module);
  std::vector<Tally> tallies;
  for (size_t index : gauges) {
    // Lost when it could not be loaded again; that gauge failed already.
    if (module.linkage == nullptr) break;
    tallies.push_back(GaugeBench(module, index, options, out, err).run());
  }

  size_t width = 5;
  for (const Tally& t : tallies) width = std::max(width, t.gauge.size());
  Tally total;
  total.gauge = "total";
  out << std::left << std::setw(int(width)) << "gauge" << std::right
      << std::setw(10) << "checks" << std::setw(10) << "failures"
      << "\n";
  for (const Tally& t : tallies) {
    out << std::left << std::setw(int(width)) << t.gauge << std::right
        << std::setw(10) << t.checks << std::setw(10) << t.failures << "\n";
    total.checks += t.checks;
    total.failures += t.failures;
  }
  out << std::left << std::setw(int(width)) << total.gauge << std::right
      << std::setw(10) << total.checks << std::setw(10) << total.failures
      << "\n";
  if (total.failures > 0)
    out << "validate: " << total.failures << " failures; replay with --level "
        << options.level << " --seed " << options.seed << "\n";
  out << std::flush;
  std::snprintf(current_step, sizeof current_step, "%s", "");
  return total.failures;
}
