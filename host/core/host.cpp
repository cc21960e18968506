#include "host/core/host.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "host/core/module_call.h"
#include "host/core/mouse.h"
#include "host/core/nearest_names.h"
#include "host/core/needle.h"
#include "host/core/number_text.h"
#include "host/core/tooltip.h"

namespace {

// Chains longer than this are taken as corrupt.
constexpr size_t kMaxElements = 512;
constexpr size_t kMaxFailureEntries = 64;
constexpr size_t kMaxTextCharacters = 4096;
// A window action that opens windows that act again is cut off here.
constexpr int kMaxWindowActions = 1000;

Host* active_host = nullptr;

[[noreturn]] void missing_service(int entry) {
  if (StopPoint* point = current_stop_point) {
    char why[96];
    std::snprintf(why, sizeof why,
                  "called service entry %d, which this host does not provide",
                  entry);
    stop_module_call(*point, why);
  }
  std::fflush(stdout);
  std::fprintf(stderr,
               "corvelain_host: the module called panel service entry %d, "
               "which this host does not provide\n",
               entry);
  std::_Exit(3);
}

template <int Entry>
HOST_ENTRY void GAUGE_CALL unprovided_service() {
  missing_service(Entry);
}

HOST_ENTRY void GAUGE_CALL lookup_var_service(ModuleVar* var) {
  if (active_host) active_host->service_lookup(var);
}

HOST_ENTRY int32_t GAUGE_CALL trigger_key_event_service(uint32_t event,
                                                        uint32_t value) {
  if (active_host) active_host->service_trigger(event, value);
  return 1;
}

HOST_ENTRY int32_t GAUGE_CALL panel_window_toggle_service(uint32_t ident) {
  if (active_host) active_host->service_toggle(ident);
  return 1;
}

HOST_ENTRY int32_t GAUGE_CALL
execute_calculator_code_service(const char* expression, double* number,
                                int32_t* integer, const char** text) {
  if (active_host)
    active_host->service_calculate(expression, number, integer, text);
  return 1;
}

template <int... Entries>
constexpr std::array<HostRoutine, sizeof...(Entries)> unprovided_table(
    std::integer_sequence<int, Entries...>) {
  return {&unprovided_service<Entries>...};
}

std::array<HostRoutine, kServiceEntries> make_service_table() {
  auto table =
      unprovided_table(std::make_integer_sequence<int, kServiceEntries>());
  table[35] = reinterpret_cast<HostRoutine>(&panel_window_toggle_service);
  table[36] = reinterpret_cast<HostRoutine>(&trigger_key_event_service);
  table[40] = reinterpret_cast<HostRoutine>(&lookup_var_service);
  table[69] = reinterpret_cast<HostRoutine>(&execute_calculator_code_service);
  return table;
}

std::array<HostRoutine, kServiceEntries> service_table = make_service_table();

// Runs `call` into another module with a stop point armed: false, with the
// reason in `why`, when the module called an unprovided service entry or
// faulted and the host came back here.
template <typename Call>
bool run_stoppable(Call& call, std::string& why) {
  StopPoint point;
  StopPoint* const outer = current_stop_point;
  const ModuleCall saved = current_module_call;
  current_stop_point = &point;
  if (CORVELAIN_SET_STOP(point.where) == 0) {
    call();
    current_stop_point = outer;
    return true;
  }
  current_stop_point = outer;
  current_module_call = saved;
  why = point.why;
  return false;
}

bool same_name_ignoring_case(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

void collect_elements(ElementHeader** list, std::vector<ElementHeader*>& out) {
  for (size_t i = 0; list != nullptr && list[i] != nullptr; ++i) {
    if (out.size() >= kMaxElements) return;
    out.push_back(list[i]);
    collect_elements(list[i]->next, out);
  }
}

// At most three of something, kept off the heap: no element has more bound
// variables or value slots, and every element wants them every frame.
template <typename T>
struct UpToThree {
  T items[3] = {};
  size_t count = 0;
  const T* begin() const { return items; }
  const T* end() const { return items + count; }
};

// The bound variables of an element, in field order.
UpToThree<ModuleVar*> bound_vars(ElementHeader* head) {
  switch (head->kind) {
    case kNeedle:
      return {{&element_as<NeedleElement>(head)->source}, 1};
    case kString: {
      auto* e = element_as<StringElement>(head);
      return {{&e->sources[0], &e->sources[1], &e->sources[2]}, 3};
    }
    case kSlider: {
      auto* e = element_as<SliderElement>(head);
      return {{&e->x_source, &e->y_source}, 2};
    }
    case kIcon:
      return {{&element_as<IconElement>(head)->source}, 1};
    case kMovingImage: {
      auto* e = element_as<MovingImageElement>(head);
      return {{&e->x_source, &e->y_source}, 2};
    }
    case kSprite: {
      auto* e = element_as<SpriteElement>(head);
      return {{&e->x_source, &e->y_source, &e->rotation_source}, 3};
    }
    default:
      return {};
  }
}

// The element's value slots: each a source and the callback shaping it.
struct ValueSlot {
  ModuleVar* source;
  ElementCallback callback;
};

UpToThree<ValueSlot> value_slots(ElementHeader* head) {
  switch (head->kind) {
    case kNeedle: {
      auto* e = element_as<NeedleElement>(head);
      return {{{&e->source, e->callback}}, 1};
    }
    case kString: {
      auto* e = element_as<StringElement>(head);
      return {{{&e->sources[0], e->callback}}, 1};
    }
    case kSlider: {
      auto* e = element_as<SliderElement>(head);
      return {{{&e->x_source, e->x_callback}, {&e->y_source, e->y_callback}},
              2};
    }
    case kIcon: {
      auto* e = element_as<IconElement>(head);
      return {{{&e->source, e->callback}}, 1};
    }
    case kMovingImage: {
      auto* e = element_as<MovingImageElement>(head);
      return {{{&e->x_source, e->x_callback}, {&e->y_source, e->y_callback}},
              2};
    }
    case kSprite: {
      auto* e = element_as<SpriteElement>(head);
      return {{{&e->x_source, e->x_callback},
               {&e->y_source, e->y_callback},
               {&e->rotation_source, e->rotation_callback}},
              3};
    }
    default:
      return {};
  }
}

// The module's calls of every frame go through these two, kept out of line,
// so that a profiler can tell the module's own cost from the host's
// (scripts/bench.sh counts it).
[[gnu::noinline]] void send_update_notice(GaugeHeader* header) {
  ModuleCallNote note("the gauge callback, update notice", header);
  header->callback(header, kNoticeUpdate, nullptr);
}

[[gnu::noinline]] double element_callback_value(ElementCallback callback,
                                                ElementHeader* head) {
  ModuleCallNote note("an element callback", head->gauge);
  return callback(head);
}

double bound_value(const ModuleVar& var) {
  const AircraftVariable* variable = find_aircraft_variable(var.token);
  if (var.token != 0 && variable != nullptr && variable->bcd)
    return var.value.integer;
  return var.value.number;
}

struct FailureActions {
  bool freeze = false;
  bool zero = false;
  bool hide = false;
};

const char* kind_name(uint32_t kind) {
  static const char* const names[] = {"static", "needle", "string", "slider",
                                      "icon",   "moving", "sprite"};
  return kind <= kSprite ? names[kind] : "unknown";
}

}  // namespace

// A panel file names a module by its file, perhaps in a folder and with or
// without its .gau ending: "Corvelain_Instr", "Folder\\corvelain_instr.GAU".
bool names_module(std::string_view written, std::string_view module) {
  const size_t slash = written.find_last_of("\\/");
  if (slash != std::string_view::npos) written.remove_prefix(slash + 1);
  if (written.size() > 4 &&
      same_name_ignoring_case(written.substr(written.size() - 4), ".gau"))
    written.remove_suffix(4);
  return same_name_ignoring_case(written, module);
}

std::string describe(const ElementView& view) {
  std::string text = kind_name(view.kind);
  text += view.drawn ? " drawn" : " hidden";
  auto value = [&](const char* name, double v) {
    text += std::string(" ") + name + "=" + fixed_text(v);
  };
  switch (view.kind) {
    case kNeedle:
      value("value", view.values[0]);
      value("angle", view.angle);
      break;
    case kIcon:
      value("value", view.values[0]);
      text += " index=" + std::to_string(view.icon_index);
      break;
    case kString:
      text += " text=\"" + view.text + "\"";
      break;
    case kSlider:
    case kMovingImage:
      value("x", view.values[0]);
      value("y", view.values[1]);
      break;
    case kSprite:
      value("x", view.values[0]);
      value("y", view.values[1]);
      value("rotation", view.values[2]);
      break;
    default:
      break;
  }
  return text;
}

std::string gauge_label(const GaugeInstance& gauge) {
  if (gauge.module == nullptr) return gauge.placement->gauge;
  return gauge.module->name + "!" + gauge.placement->gauge;
}

bool gauge_named(const GaugeInstance& gauge, std::string_view name) {
  if (gauge.module == nullptr) return gauge.placement->gauge == name;
  const size_t bang = name.find('!');
  return bang != std::string_view::npos &&
         names_module(name.substr(0, bang), gauge.module->name) &&
         name.substr(bang + 1) == gauge.placement->gauge;
}

std::variant<std::unique_ptr<Host>, std::string> Host::create(
    LoadedModule module, PanelConfig panel, int64_t first_frame,
    std::vector<LoadedModule> others) {
  if (module.imports == nullptr || module.linkage == nullptr)
    return std::string("the module has no ImportTable or Linkage record");
  std::vector<std::string> names;
  for (GaugeHeader* const* g = module.linkage->gauges;
       g < std::end(module.linkage->gauges) && *g != nullptr; ++g)
    if ((*g)->name != nullptr) names.push_back((*g)->name);
  for (const PanelWindow& window : panel.windows) {
    for (const GaugePlacement& placement : window.gauges) {
      if (!names_module(placement.module, module.name)) continue;
      if (std::find(names.begin(), names.end(), placement.gauge) == names.end())
        return panel.file + ":" + std::to_string(placement.line) +
               ": module \"" + module.name + "\" holds no gauge named \"" +
               placement.gauge +
               "\" (nearest: " + nearest_names(placement.gauge, names) + ")";
    }
  }
  return std::unique_ptr<Host>(new Host(std::move(module), std::move(panel),
                                        first_frame, std::move(others)));
}

namespace {

GaugeHeader* gauge_in(const LoadedModule& module, std::string_view name) {
  for (GaugeHeader* const* g = module.linkage->gauges;
       g < std::end(module.linkage->gauges) && *g != nullptr; ++g)
    if ((*g)->name != nullptr && name == (*g)->name) return *g;
  return nullptr;
}

}  // namespace

Host::Host(LoadedModule module, PanelConfig panel, int64_t first_frame,
           std::vector<LoadedModule> others)
    : module_(std::move(module)),
      others_(std::move(others)),
      panel_(std::move(panel)),
      frame_(first_frame) {
  window_open_.assign(panel_.windows.size(), false);
  for (const std::string& note : panel_.notes) observe(note);
  std::map<std::string, int> seen;
  for (size_t w = 0; w < panel_.windows.size(); ++w) {
    for (const GaugePlacement& placement : panel_.windows[w].gauges) {
      GaugeInstance gauge;
      if (!names_module(placement.module, module_.name)) {
        const LoadedModule* other = nullptr;
        for (const LoadedModule& candidate : others_)
          if (names_module(placement.module, candidate.name))
            other = &candidate;
        const std::string where = file_name_only(panel_.file) + ":" +
                                  std::to_string(placement.line) + ": gauge " +
                                  placement.module + "!" + placement.gauge;
        if (other == nullptr) {
          observe(where + " is not in this module; skipped");
          continue;
        }
        gauge.header = gauge_in(*other, placement.gauge);
        if (gauge.header == nullptr) {
          observe(where + ": module " + other->name +
                  " holds no gauge of that name; it stays a placeholder");
          continue;
        }
        gauge.module = other;
      } else {
        gauge.header = gauge_in(module_, placement.gauge);
      }
      gauge.window = w;
      gauge.placement = &placement;
      gauge.ordinal = ++seen[gauge_label(gauge)];
      collect_elements(gauge.header->elements, gauge.elements);
      for (ElementHeader* element : gauge.elements)
        for (ModuleVar* var : bound_vars(element)) gauge.sources.push_back(var);
      instances_.push_back(std::move(gauge));
    }
  }
  if (std::none_of(instances_.begin(), instances_.end(),
                   [](const GaugeInstance& g) { return g.module == nullptr; }))
    observe(file_name_only(panel_.file) + ": the panel places no gauge of " +
            module_.name);
  aircraft_.set_window_actions({.open =
                                    [this](uint32_t id) {
                                      window_actions_.push_back({'o', id});
                                    },
                                .close =
                                    [this](uint32_t id) {
                                      window_actions_.push_back({'c', id});
                                    },
                                .toggle =
                                    [this](uint32_t id) {
                                      window_actions_.push_back({'t', id});
                                    }});
}

Host::~Host() { stop(); }

void Host::start() {
  if (started_) return;
  started_ = true;
  active_host = this;
  module_.imports->entries[0].pointer = service_table.data();
  if (module_.linkage->init) {
    ModuleCallNote note("the module's init routine");
    module_.linkage->init();
  }
  for (LoadedModule& other : others_) {
    other.imports->entries[0].pointer = service_table.data();
    if (other.linkage->init == nullptr) continue;
    auto init = [&] {
      ModuleCallNote note("the module's init routine");
      other.linkage->init();
    };
    std::string why;
    if (run_stoppable(init, why)) continue;
    observe("module " + other.name + " " + why + ": its gauges are stopped");
    for (GaugeInstance& gauge : instances_)
      if (gauge.module == &other) {
        gauge.stopped = true;
        gauge.stop_note = "module " + other.name + " " + why;
      }
  }
  for (size_t w = 0; w < panel_.windows.size(); ++w)
    if (panel_.windows[w].visible) set_window(w, true);
  apply_window_actions();
}

void Host::stop() {
  if (!started_) return;
  for (size_t w = 0; w < panel_.windows.size(); ++w) set_window(w, false);
  window_actions_.clear();
  if (module_.linkage->deinit) {
    ModuleCallNote note("the module's deinit routine");
    module_.linkage->deinit();
  }
  for (LoadedModule& other : others_) {
    auto deinit = [&] {
      ModuleCallNote note("the module's deinit routine");
      other.linkage->deinit();
    };
    std::string why;
    if (other.linkage->deinit && !run_stoppable(deinit, why))
      observe("module " + other.name + " " + why);
    other.imports->entries[0].pointer = nullptr;
  }
  module_.imports->entries[0].pointer = nullptr;
  active_host = nullptr;
  started_ = false;
}

void Host::observe(std::string text) {
  observations_.push_back({frame_, std::move(text)});
}

std::vector<Observation> Host::take_observations() {
  return std::exchange(observations_, {});
}

std::vector<SentEvent> Host::take_sent_events() {
  return std::exchange(sent_events_, {});
}

void Host::send_event(uint32_t event, uint32_t value, const char* source) {
  // The radio heads send several a frame: the line is put together in one
  // buffer rather than from temporary strings.
  char digits[2][12];
  const char* event_end = std::to_chars(digits[0], digits[0] + 12, event).ptr;
  const char* value_end = std::to_chars(digits[1], digits[1] + 12, value).ptr;
  std::string line(source);
  line += ' ';
  line.append(digits[0], size_t(event_end - digits[0]));
  line += ' ';
  line.append(digits[1], size_t(value_end - digits[1]));
  observe(std::move(line));
  sent_events_.push_back({event, value});
  const size_t unknown = aircraft_.unknown_events().size();
  aircraft_.apply_event(event, value);
  if (aircraft_.unknown_events().size() != unknown)
    observe("event " + std::to_string(event) +
            " means nothing to the aircraft; ignored");
}

void Host::service_lookup(ModuleVar* var) {
  calls_.push_back({kServiceLookupVar, var ? uint32_t(var->token) : 0, 0, {}});
  if (var != nullptr) lookup(*var);
}

void Host::lookup(ModuleVar& var) {
  const size_t unknown = aircraft_.unknown_tokens().size();
  aircraft_.lookup(var);
  if (aircraft_.unknown_tokens().size() != unknown)
    observe("variable " + std::to_string(var.token) +
            " means nothing to the aircraft; reads 0");
}

void Host::service_trigger(uint32_t event, uint32_t value) {
  calls_.push_back({kServiceTriggerKeyEvent, event, value, {}});
  send_event(event, value, "event");
}

void Host::service_toggle(uint32_t ident) {
  calls_.push_back({kServicePanelWindowToggle, ident, 0, {}});
  observe("panel window toggle " + std::to_string(ident));
  window_actions_.push_back({'t', ident});
}

void Host::service_calculate(const char* expression, double* number,
                             int32_t* integer, const char** text) {
  const std::string source = expression ? expression : "";
  calls_.push_back({kServiceExecuteCalculatorCode, 0, 0, source});
  double local_number = 0;
  double* number_out = number;
  if (number_out == nullptr && integer != nullptr) number_out = &local_number;
  std::string diagnostic;
  std::string result;
  CalculatorResult& last = calculator_results_[source];
  if (expression != nullptr &&
      aircraft_.calculate(expression, number_out, text, diagnostic)) {
    if (integer != nullptr) *integer = saturating_int32(*number_out);
    // A gauge asks every frame: the same answer is not put in words again.
    const bool same_number =
        number_out == nullptr ? !last.had_number
                              : last.had_number && *number_out == last.number;
    const bool same_text =
        text == nullptr ? !last.had_text
                        : last.had_text && last.text == (*text ? *text : "");
    if (!last.shown.empty() && same_number && same_text &&
        last.shown.rfind("failed", 0) != 0)
      return;
    last.had_number = number_out != nullptr;
    last.number = number_out != nullptr ? *number_out : 0;
    last.had_text = text != nullptr;
    last.text = text != nullptr && *text ? *text : "";
    if (number_out != nullptr) result = "= " + fixed_text(*number_out);
    if (text != nullptr)
      result += std::string(result.empty() ? "" : " ") + "= \"" +
                windows1252_to_utf8(*text ? *text : "") + "\"";
  } else {
    if (number != nullptr) *number = 0;
    if (integer != nullptr) *integer = 0;
    if (text != nullptr) *text = "";
    result = "failed: " + (expression ? diagnostic : "no expression");
  }
  // A gauge asks every frame; the transcript shows what changes.
  if (last.shown != result) {
    last.shown = result;
    observe("calculate \"" + source + "\" " + result);
  }
}

bool Host::has_window(uint32_t ident) const {
  return window_index(ident).has_value();
}

std::optional<size_t> Host::window_index(uint32_t ident) const {
  for (size_t w = 0; w < panel_.windows.size(); ++w)
    if (panel_.windows[w].ident == ident) return w;
  return std::nullopt;
}

bool Host::window_open(uint32_t ident) const {
  const auto w = window_index(ident);
  return w && window_open_[*w];
}

void Host::open_window(uint32_t ident) {
  window_actions_.push_back({'o', ident});
  apply_window_actions();
}

void Host::close_window(uint32_t ident) {
  window_actions_.push_back({'c', ident});
  apply_window_actions();
}

void Host::toggle_window(uint32_t ident) {
  window_actions_.push_back({'t', ident});
  apply_window_actions();
}

// Window changes asked for from inside the module wait until its call has
// returned, so that no gauge is torn down under its own callback.
void Host::apply_window_actions() {
  for (int done = 0; !window_actions_.empty() && done < kMaxWindowActions;
       ++done) {
    const WindowAction action = window_actions_.front();
    window_actions_.pop_front();
    const auto w = window_index(action.ident);
    if (!w) {
      observe("window " + std::to_string(action.ident) +
              " is not on this panel");
      continue;
    }
    const bool open = action.kind == 'o'   ? true
                      : action.kind == 'c' ? false
                                           : !window_open_[*w];
    set_window(*w, open);
  }
  window_actions_.clear();
}

void Host::set_window(size_t window, bool open) {
  if (window_open_[window] == open) return;
  window_open_[window] = open;
  const PanelWindow& shown = panel_.windows[window];
  observe("window " +
          (shown.ident ? std::to_string(*shown.ident) : shown.section_name()) +
          (open ? " opened" : " closed"));
  for (GaugeInstance& gauge : instances_) {
    if (gauge.window != window) continue;
    if (open) {
      install(gauge);
    } else if (gauge.installed) {
      gauge.installed = false;
      use_parameter_text(gauge);
      if (gauge.header->callback)
        call_module(gauge, [&] {
          ModuleCallNote note("the gauge callback, kill notice", gauge.header);
          gauge.header->callback(gauge.header, kNoticeKill, nullptr);
        });
    }
  }
  if (!open) return;
  for (GaugeInstance& gauge : instances_) {
    if (gauge.window != window || !gauge.installed) continue;
    use_parameter_text(gauge);
    if (gauge.header->callback)
      call_module(gauge, [&] {
        ModuleCallNote note("the gauge callback, connect notice", gauge.header);
        gauge.header->callback(gauge.header, kNoticeConnect, nullptr);
      });
  }
}

template <typename Call>
bool Host::call_module(GaugeInstance& gauge, Call&& call) {
  if (gauge.module == nullptr && !stop_own_gauges_) {
    call();
    return true;
  }
  if (gauge.stopped) return false;
  std::string why;
  if (run_stoppable(call, why)) return true;
  gauge.stopped = true;
  gauge.installed = false;
  gauge.stop_note = gauge_label(gauge) + " " + why;
  observe(gauge.stop_note + ": the gauge is stopped");
  return false;
}

void Host::use_parameter_text(GaugeInstance& gauge) {
  gauge.header->parameter_text =
      gauge.parameter_text.empty() ? nullptr : gauge.parameter_text.data();
}

void Host::install(GaugeInstance& gauge) {
  if (gauge.stopped) return;
  call_module(gauge, [&] { install_unguarded(gauge); });
}

void Host::install_unguarded(GaugeInstance& gauge) {
  // A gauge may write into its parameter text: every install gets a fresh
  // copy.
  const std::string& text = gauge.placement->parameter_text;
  gauge.parameter_text.assign(text.begin(), text.end());
  if (!text.empty()) gauge.parameter_text.push_back('\0');
  gauge.states.assign(gauge.elements.size(), ElementState{});
  for (size_t i = 0; i < gauge.elements.size(); ++i) {
    ElementHeader* head = gauge.elements[i];
    if (head->kind == kNeedle) {
      auto* needle = element_as<NeedleElement>(head);
      const size_t entries =
          needle->table ? size_t(std::clamp(needle->table_entries, 0, 1024))
                        : 0;
      std::span<NonlinearityEntry> table(needle->table, entries);
      gauge.states[i].table_angles =
          table_angles({double(head->x), double(head->y)}, table);
      for (size_t e = 0; e < entries; ++e)
        table[e].angle = gauge.states[i].table_angles[e];
    } else if (head->kind == kString) {
      const int32_t characters = element_as<StringElement>(head)->characters;
      gauge.states[i].text.assign(
          size_t(std::clamp<int32_t>(characters, 0, kMaxTextCharacters)) + 1,
          '\0');
    }
  }
  gauge.installed = true;
  use_parameter_text(gauge);
  if (gauge.header->callback) {
    ModuleCallNote note("the gauge callback, install notice", gauge.header);
    gauge.header->callback(gauge.header, kNoticeInstall, module_.handle);
  }
}

void Host::run_frames(int64_t frames) {
  for (int64_t f = 0; f < frames; ++f) {
    ++frame_;
    aircraft_.advance(1.0 / kFramesPerSecond);
    // Window by window: the instances were made in window order.
    for (GaugeInstance& gauge : instances_) {
      if (!gauge.installed || !window_open_[gauge.window]) continue;
      update(gauge);
      if (!window_actions_.empty()) apply_window_actions();
    }
    if (!window_actions_.empty()) apply_window_actions();
  }
}

void Host::update(GaugeInstance& gauge) {
  call_module(gauge, [&] { update_unguarded(gauge); });
}

void Host::update_unguarded(GaugeInstance& gauge) {
  use_parameter_text(gauge);
  if (gauge.header->callback) send_update_notice(gauge.header);
  for (ModuleVar* var : gauge.sources)
    if (var->token != 0) lookup(*var);
  for (size_t i = 0; i < gauge.elements.size(); ++i) evaluate(gauge, i);
}

void Host::evaluate(GaugeInstance& gauge, size_t index) {
  ElementHeader* head = gauge.elements[index];
  ElementState& state = gauge.states[index];
  FailureActions actions;
  for (size_t f = 0; !failures_.empty() && head->failures != nullptr &&
                     f < kMaxFailureEntries && head->failures[f].key != 0;
       ++f) {
    if (!failures_.count(head->failures[f].key)) continue;
    const int32_t action = head->failures[f].action;
    actions.freeze = actions.freeze || action == 1;
    actions.zero = actions.zero || action == 2;
    actions.hide = actions.hide || action == 3;
  }
  if (head->kind == kString) {
    auto* text = element_as<StringElement>(head);
    text->text = state.text.data();
  }
  double values[3] = {0, 0, 0};
  const UpToThree<ValueSlot> slots = value_slots(head);
  for (size_t s = 0; s < slots.count; ++s)
    values[s] = slots.items[s].callback
                    ? element_callback_value(slots.items[s].callback, head)
                    : bound_value(*slots.items[s].source);
  if (head->kind == kString) state.text.back() = '\0';

  const bool frozen = actions.freeze && state.updated;
  if (!frozen) {
    for (size_t s = 0; s < 3; ++s)
      state.values[s] = actions.zero ? 0 : values[s];
    if (head->kind == kNeedle) {
      auto* needle = element_as<NeedleElement>(head);
      const size_t entries = state.table_angles.size();
      const double target = needle_angle(std::span(needle->table, entries),
                                         state.table_angles, state.values[0]);
      if (std::isfinite(target)) {
        const double step = state.has_angle ? needle->max_turn_rate_degrees /
                                                  double(kFramesPerSecond)
                                            : 0.0;
        state.angle = limit_turn(state.angle, target, step);
        state.has_angle = true;
      }
    } else if (head->kind == kIcon) {
      auto* icon = element_as<IconElement>(head);
      const double index_value = state.values[0] * icon->scale + icon->offset;
      state.icon_index =
          std::isfinite(index_value) ? saturating_int32(index_value) : -1;
      if (state.icon_index < -1 || state.icon_index >= icon->icons)
        state.icon_index = -1;
    }
  }
  state.updated = true;
  state.drawn = !actions.hide && (head->image_flags & kImageHidden) == 0 &&
                (head->kind != kIcon || state.icon_index >= 0) &&
                head->kind <= kSprite;
  if (state.drawn) head->image_flags |= kImageOnScreen;
}

bool Host::element_view(const GaugeInstance& gauge, int number,
                        ElementView& view) const {
  if (number < 1 || size_t(number) > gauge.states.size()) return false;
  const ElementHeader* head = gauge.elements[size_t(number) - 1];
  const ElementState& state = gauge.states[size_t(number) - 1];
  view = {};
  view.kind = head->kind;
  view.drawn = state.drawn;
  std::copy(std::begin(state.values), std::end(state.values), view.values);
  if (head->kind == kSlider) {
    auto* e = reinterpret_cast<const SliderElement*>(head);
    view.values[0] = state.values[0] * e->x_scale;
    view.values[1] = state.values[1] * e->y_scale;
  } else if (head->kind == kSprite) {
    auto* e = reinterpret_cast<const SpriteElement*>(head);
    view.values[0] = state.values[0] * e->x_scale;
    view.values[1] = state.values[1] * e->y_scale;
    view.values[2] = state.values[2] * e->rotation_scale;
  }
  view.angle = normalized_degrees(state.angle);
  view.icon_index = state.icon_index;
  if (head->kind == kString && !state.text.empty()) {
    const auto* e = reinterpret_cast<const StringElement*>(head);
    const size_t limit = std::min(state.text.size() - 1,
                                  size_t(std::max<int32_t>(e->characters, 0)));
    const std::string_view raw(state.text.data());
    view.text = windows1252_to_utf8(raw.substr(0, std::min(raw.size(), limit)));
  }
  return true;
}

GaugeInstance* Host::find_instance(std::string_view gauge, int ordinal) {
  for (GaugeInstance& instance : instances_)
    if (gauge_named(instance, gauge) && instance.ordinal == ordinal)
      return &instance;
  return nullptr;
}

const MouseRect* Host::press(GaugeInstance& gauge, int32_t x, int32_t y,
                             uint32_t button) {
  if (gauge.stopped) return nullptr;
  const MouseRect* area = child_at(gauge.header->mouse_areas, x, y, button);
  if (area != nullptr) repeat(gauge, area, x, y, button);
  return area;
}

void Host::repeat(GaugeInstance& gauge, const MouseRect* area, int32_t x,
                  int32_t y, uint32_t button) {
  if (area->event != 0) {
    send_event(area->event, 0, "area event");
  } else if (area->callback != nullptr) {
    PointRecord point{x - area->box.x, y - area->box.y, gauge.header,
                      const_cast<MouseRect*>(area)};
    use_parameter_text(gauge);
    call_module(gauge, [&] {
      ModuleCallNote note("a mouse callback", gauge.header);
      area->callback(&point, button);
    });
  }
  apply_window_actions();
}

void Host::drag(GaugeInstance& gauge, const MouseRect* area, int32_t x,
                int32_t y) {
  if ((area->mouse_flags & kMouseLeftDrag) == 0 || area->event != 0) return;
  repeat(gauge, area, x, y, kMouseLeftDrag);
}

std::string Host::tooltip(GaugeInstance& gauge, int32_t x, int32_t y) {
  if (gauge.stopped) return {};
  const TooltipSource source = tooltip_at(gauge.header->mouse_areas, x, y);
  if (source.tooltip == nullptr)
    return source.help_id ? help_text(source.help_id) : std::string();
  if (source.tooltip->help_id != 0) return help_text(source.tooltip->help_id);
  use_parameter_text(gauge);
  std::string text;
  call_module(gauge, [&] {
    text = format_tooltip(source.tooltip->text, source.tooltip->args,
                          source.tooltip->event);
  });
  apply_window_actions();
  return text;
}

std::vector<int32_t> Host::failure_keys() const {
  std::set<int32_t> keys;
  for (const GaugeInstance& gauge : instances_)
    for (const ElementHeader* head : gauge.elements)
      for (size_t f = 0; head->failures != nullptr && f < kMaxFailureEntries &&
                         head->failures[f].key != 0;
           ++f)
        keys.insert(head->failures[f].key);
  return {keys.begin(), keys.end()};
}

void Host::set_failure(int32_t key, bool active) {
  if (active)
    failures_.insert(key);
  else
    failures_.erase(key);
}
