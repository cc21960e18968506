// The stand-in host's simulated aircraft: every variable the gauges read, by
// token, kept as exact internal state (radio frequencies in kHz as integers,
// the BCD words derived from them), the effect of every event the gauges
// send, the two calculator expressions the gauges evaluate, and a small
// deterministic model that lets a scripted cold start bring the panel alive.
// The model uses only + - * / and comparisons on doubles, so the native and
// the 32-bit Windows builds compute the same values bit for bit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "elements/records.h"

// One row per simulator variable. BCD variables are 32-bit integers
// (radio frequencies and the transponder code); every other one is a float64
// in the unit given.
struct AircraftVariable {
  int32_t token = 0;
  const char* name = "";
  const char* unit = "";
  double default_value = 0.0;
  bool bcd = false;
};

std::span<const AircraftVariable> aircraft_variables();
const AircraftVariable* find_aircraft_variable(int32_t token);
const AircraftVariable* find_aircraft_variable(std::string_view name);

struct WindowActions {
  std::function<void(uint32_t window_id)> open;
  std::function<void(uint32_t window_id)> close;
  std::function<void(uint32_t window_id)> toggle;
};

struct AircraftEvent {
  uint32_t event;
  uint32_t value;
};

struct IdentAudio {
  bool adf = false;
  bool nav1 = false;
  bool nav2 = false;
};

class Aircraft {
 public:
  Aircraft();

  // As the lookup_var service: float64 in value.number, or the 32-bit
  // integer in value.integer for BCD variables. An unknown token reads zero
  // and is remembered in unknown_tokens().
  void lookup(ModuleVar& var) const;
  double number(int32_t token) const;
  int32_t integer(int32_t token) const;
  // A float64 variable takes any value, NaN and infinities too, so a script
  // can hand the gauges whatever a simulator might; the model reads such
  // values clamped to their range, NaN as the default. For BCD variables
  // `value` is the BCD word, refused (false) unless it is a channel of the
  // band or a transponder code. False for an unknown token.
  bool set(int32_t token, double value);

  void set_window_actions(WindowActions actions);
  // Everything `other` holds, its model and the events it has seen, but
  // its window actions, which belong to its own host.
  void copy_state_from(const Aircraft& other);
  void apply_event(uint32_t event, uint32_t value);
  void advance(double seconds);

  // Answers "(A:RECIP CARBURETOR TEMPERATURE:1,celsius)" into *number and
  // "(A:ATC ID,string)" into *text, which stays valid until the next
  // evaluation of that expression; anything else, or a missing destination,
  // returns false with a diagnostic and writes nothing.
  bool calculate(const char* expression, double* number, const char** text,
                 std::string& diagnostic);

  // A BCD variable then reads exactly `word`, well-formed or not, until
  // cleared with nullopt or set(); for handing gauges malformed words.
  void set_word(int32_t token, std::optional<int32_t> word);
  // The carburettor temperature the calculator answers; the model moves it
  // on from there while it runs.
  void set_carburetor_celsius(double celsius) {
    engine_.carburetor_celsius = celsius;
  }

  void set_registration(std::string registration);
  const std::string& registration() const { return registration_; }

  IdentAudio ident_audio() const { return ident_audio_; }
  // With the model off, advance() only moves the clocks, so a value set by
  // hand stays as set.
  void set_model_enabled(bool enabled) { model_enabled_ = enabled; }
  // View steps (65734, 65735, 65875) and host-window events (65564, 65876,
  // 66432), in the order received.
  const std::vector<AircraftEvent>& host_events() const { return host_events_; }
  const std::vector<AircraftEvent>& unknown_events() const {
    return unknown_events_;
  }
  // Known events whose value the aircraft cannot take (a set-event with a
  // malformed BCD word, a window event with no window actions set).
  const std::vector<AircraftEvent>& rejected_events() const {
    return rejected_events_;
  }
  const std::vector<int32_t>& unknown_tokens() const { return unknown_tokens_; }

 private:
  struct Engine {
    bool running = false;
    double starter_seconds = 0.0;
    double carburetor_celsius = 15.0;
  };

  double value(int32_t token) const;
  double& slot(int32_t token);
  double input(int32_t token, double low, double high) const;
  void toggle(int32_t token);
  void step_magnetos(int direction);
  void move_toward(int32_t token, double target, double full, double rate,
                   double seconds);
  void run_engine(double seconds);

  std::vector<double> values_;  // parallel to aircraft_variables()
  int32_t com1_khz_;
  int32_t nav1_khz_;
  int32_t nav2_khz_;
  int32_t adf_tenths_khz_;
  int32_t transponder_code_;  // four octal digits held as decimal, e.g. 7000
  double flaps_target_ = 0.0;
  double cowl_flaps_target_ = 0.0;
  Engine engine_;
  IdentAudio ident_audio_;
  bool model_enabled_ = true;
  std::string registration_;
  std::map<int32_t, int32_t> word_overrides_;
  std::string text_result_;
  WindowActions window_actions_;
  std::vector<AircraftEvent> host_events_;
  std::vector<AircraftEvent> unknown_events_;
  std::vector<AircraftEvent> rejected_events_;
  mutable std::vector<int32_t> unknown_tokens_;
};
