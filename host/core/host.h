// The stand-in simulator: owns the aircraft and the panel windows, builds
// and drives the module's gauges through their records, answers the
// module's service calls and routes the mouse. Everything it observes
// through its side of the contract is kept as observations, in order.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "elements/records.h"
#include "host/aircraft/aircraft.h"
#include "host/core/loader.h"
#include "host/panel_file/panel_config.h"
#include "module/services.h"

inline constexpr int kFramesPerSecond = 18;
inline constexpr int kServiceEntries = 80;

struct ServiceCall {
  int entry = 0;        // 35, 36, 40 or 69
  uint32_t first = 0;   // window, event or token
  uint32_t second = 0;  // event value
  std::string text;     // calculator expression
};

struct Observation {
  int64_t frame = 0;
  std::string text;
};

struct SentEvent {
  uint32_t event = 0;
  uint32_t value = 0;
  bool operator==(const SentEvent&) const = default;
};

// What one element shows after the latest frame.
struct ElementView {
  uint32_t kind = 0;
  bool drawn = false;
  double values[3] = {0, 0, 0};  // value; or x, y, rotation
  double angle = 0;              // needle, in [0, 360)
  int32_t icon_index = -1;
  std::string text;  // string, UTF-8
};
std::string describe(const ElementView& view);

// Whether a panel file's module name ("Folder\\corvelain_instr.GAU") names
// the loaded module ("Corvelain_Instr").
bool names_module(std::string_view written, std::string_view module);

struct ElementState {
  double values[3] = {0, 0, 0};
  double angle = 0;
  bool has_angle = false;
  int32_t icon_index = -1;
  bool drawn = false;
  bool updated = false;
  std::vector<char> text;
  std::vector<double> table_angles;
};

struct GaugeInstance {
  GaugeHeader* header = nullptr;
  // The module holding the gauge when it is not ours, else null.
  const LoadedModule* module = nullptr;
  // Another module's gauge the host stopped: it is never called again.
  bool stopped = false;
  std::string stop_note;
  size_t window = 0;
  const GaugePlacement* placement = nullptr;
  int ordinal = 1;  // among placements of the same gauge, panel order
  bool installed = false;
  std::vector<char> parameter_text;
  std::vector<ElementHeader*> elements;  // chain order, root first
  // Every element's bound variables in element and field order, gathered
  // once: each is looked up again every frame.
  std::vector<ModuleVar*> sources;
  std::vector<ElementState> states;
};

// How messages name a gauge: "Module!Gauge" for another module's, the
// gauge's name alone for ours.
std::string gauge_label(const GaugeInstance& gauge);
// Whether `name` ("Gauge" for ours, "Module!Gauge" for another's) names it.
bool gauge_named(const GaugeInstance& gauge, std::string_view name);

class Host {
 public:
  // Checks every placement against the module before anything runs. The
  // frames are counted on from `first_frame` (a panel built again in place
  // of another carries on its count). `others` are the other modules the
  // panel names that could be loaded; their gauges run beside ours, each
  // stopped alone when it calls what the host does not provide or faults.
  static std::variant<std::unique_ptr<Host>, std::string> create(
      LoadedModule module, PanelConfig panel, int64_t first_frame = 0,
      std::vector<LoadedModule> others = {});
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  // Hands the module its services, calls init and opens the visible windows.
  void start();
  // Closes every window, calls deinit and takes the services back.
  void stop();

  Aircraft& aircraft() { return aircraft_; }
  const PanelConfig& panel() const { return panel_; }
  const LoadedModule& module() const { return module_; }
  const std::vector<LoadedModule>& other_modules() const { return others_; }
  // Stops the module's own gauges as it stops other modules' (a service the
  // host does not provide, a fault) rather than ending the host: for
  // validating a module that is not ours.
  void stop_misbehaving_gauges() { stop_own_gauges_ = true; }
  int64_t frame() const { return frame_; }

  void run_frames(int64_t frames);

  // The first window of the panel with this ident answers for it.
  bool has_window(uint32_t ident) const;
  bool window_open(uint32_t ident) const;
  // By the window's place in the panel; windows without an ident (virtual
  // cockpits) too.
  bool window_open_at(size_t window) const {
    return window < window_open_.size() && window_open_[window];
  }
  void open_window(uint32_t ident);
  // By the window's place, as open_window and close_window do by ident.
  void set_window_open_at(size_t window, bool open) {
    if (window < window_open_.size()) set_window(window, open);
  }
  void close_window(uint32_t ident);
  void toggle_window(uint32_t ident);

  GaugeInstance* find_instance(std::string_view gauge, int ordinal);
  const std::vector<GaugeInstance>& instances() const { return instances_; }

  // A button press: the answering child sends its event or gets its
  // callback. Returns the child, or null when nothing answers.
  const MouseRect* press(GaugeInstance& gauge, int32_t x, int32_t y,
                         uint32_t button);
  // The same child answering again while held (repeat areas only).
  void repeat(GaugeInstance& gauge, const MouseRect* area, int32_t x, int32_t y,
              uint32_t button);
  // The pointer moved to (x, y) with the left button held (drag areas).
  void drag(GaugeInstance& gauge, const MouseRect* area, int32_t x, int32_t y);
  // UTF-8 tooltip text under the point, empty when none.
  std::string tooltip(GaugeInstance& gauge, int32_t x, int32_t y);

  // 1-based element number in chain order (1 is the background).
  bool element_view(const GaugeInstance& gauge, int number,
                    ElementView& view) const;

  // Every failure key some element of the panel's gauges lists, ascending.
  std::vector<int32_t> failure_keys() const;
  void set_failure(int32_t key, bool active);

  const std::vector<ServiceCall>& service_calls() const { return calls_; }
  void clear_service_calls() { calls_.clear(); }
  std::vector<Observation> take_observations();
  // The notes so far, kept in place: a caller that reads them every frame
  // clears them with clear_observations() and the storage is reused.
  const std::vector<Observation>& observations() const { return observations_; }
  void clear_observations() { observations_.clear(); }
  std::vector<SentEvent> take_sent_events();

  // The four services, as the module reaches them.
  void service_lookup(ModuleVar* var);
  void service_trigger(uint32_t event, uint32_t value);
  void service_toggle(uint32_t ident);
  void service_calculate(const char* expression, double* number,
                         int32_t* integer, const char** text);

 private:
  Host(LoadedModule module, PanelConfig panel, int64_t first_frame,
       std::vector<LoadedModule> others);

  // Runs `call` into the gauge's module. Another module's gauge is stopped
  // when the call reaches a service the host does not provide or faults;
  // the host then comes back here. False when the gauge is (now) stopped.
  template <typename Call>
  bool call_module(GaugeInstance& gauge, Call&& call);
  void install_unguarded(GaugeInstance& gauge);
  void update_unguarded(GaugeInstance& gauge);

  std::optional<size_t> window_index(uint32_t ident) const;
  void observe(std::string text);
  void send_event(uint32_t event, uint32_t value, const char* source);
  void apply_window_actions();
  void set_window(size_t window, bool open);
  void install(GaugeInstance& gauge);
  void update(GaugeInstance& gauge);
  void use_parameter_text(GaugeInstance& gauge);
  // Answers a look-up and notes, once, a token the aircraft does not hold.
  void lookup(ModuleVar& var);
  void evaluate(GaugeInstance& gauge, size_t index);

  struct WindowAction {
    char kind;  // 'o', 'c', 't'
    uint32_t ident;
  };

  LoadedModule module_;
  std::vector<LoadedModule> others_;
  PanelConfig panel_;
  Aircraft aircraft_;
  bool started_ = false;
  bool stop_own_gauges_ = false;
  int64_t frame_ = 0;
  std::vector<bool> window_open_;
  std::vector<GaugeInstance> instances_;
  std::deque<WindowAction> window_actions_;
  std::set<int32_t> failures_;
  std::vector<ServiceCall> calls_;
  std::vector<Observation> observations_;
  std::vector<SentEvent> sent_events_;
  // The latest answer to each expression, as shown and as given.
  struct CalculatorResult {
    std::string shown;
    bool had_number = false;
    double number = 0;
    bool had_text = false;
    std::string text;
  };
  std::map<std::string, CalculatorResult> calculator_results_;
};
