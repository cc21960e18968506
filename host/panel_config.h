// The simulator's panel configuration file: [WindowNN] sections with the
// window's identifier, size, position and visibility, and the gauges placed
// on it. Parsing either yields the whole configuration or an error naming
// file, line and reason; nothing half-parsed is returned.
//
// Keys and section names are case-insensitive. "//" starts a comment
// anywhere on a line and ';' a whole-line comment. Sections other than
// [Window Titles] and [WindowNN] are skipped, as are unknown keys.
// window_size= is taken as the size when size_mm= is absent; position= and
// window_pos= are both x,y.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// gaugeNN=Module!Gauge_Name, x, y[, w[, h]][, parameter text]
// The parameter text is everything after the last numeric field, trimmed;
// it may contain commas but not "//", and one that is a plain integer is
// only taken as text after all four numbers.
struct GaugePlacement {
  int number = 0;
  std::string module;
  std::string gauge;
  int32_t x = 0;
  int32_t y = 0;
  std::optional<int32_t> width;
  std::optional<int32_t> height;
  std::string parameter_text;
  int line = 0;
};

struct PanelWindow {
  int section = 0;  // NN of [WindowNN]
  std::string title;
  uint32_t ident = 0;
  int32_t width = 0;
  int32_t height = 0;
  int32_t x = 0;
  int32_t y = 0;
  bool visible = true;
  std::string background;
  std::vector<GaugePlacement> gauges;
  int line = 0;
};

struct PanelConfig {
  std::string file;
  std::vector<PanelWindow> windows;
};

struct PanelConfigError {
  std::string file;
  int line = 0;
  std::string reason;
  std::string message() const;
};

using PanelConfigResult = std::variant<PanelConfig, PanelConfigError>;

PanelConfigResult parse_panel_config(std::string_view text,
                                     std::string file_name);

// A window name of the parameter language (MAIN_PANEL, RADIO_STACK_PANEL, ...)
// or a decimal number; nullopt for anything else.
std::optional<uint32_t> parse_window_ident(std::string_view text);
