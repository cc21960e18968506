// The simulator's panel configuration file, read the way the simulator
// reads the files aircraft ship: [WindowNN] and [VcockpitNN] sections with
// the window's identifier, size, screen placement, background and the
// gauges placed on it, [Window Titles] and the [Color] tints. Parsing either
// yields the whole configuration or an error naming file, line and reason;
// nothing half-parsed is returned.
//
// Keys and section names are case-insensitive. "//" starts a comment
// anywhere on a line and ';' a whole-line comment. Other sections and
// unknown keys are skipped. The file may be UTF-8 or Windows-1252: names
// and numbers are ASCII, and other bytes are kept as they stand.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

struct Rgb {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
  bool operator==(const Rgb&) const = default;
};

// gaugeNN=Module!Gauge Name, x, y[, w[, h]][, parameter text]
// The module may hold folders (Folder\Sub!Name). A field left empty leaves
// that value to follow the gauge's background. The parameter text is
// everything after the last numeric field, trimmed; it may contain commas
// but not "//", and one that is a plain integer is only taken as text after
// all four numbers.
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

// Where a window sits on the screen: position=N anchors it (0 top left to 8
// bottom right, row by row); window_pos and window_size are fractions of
// the screen.
struct ScreenPlacement {
  std::optional<int> anchor;
  std::optional<double> x, y;
  std::optional<double> width, height;
};

struct PanelWindow {
  enum class Kind { kWindow, kVirtualCockpit };
  Kind kind = Kind::kWindow;
  int section = 0;  // NN of [WindowNN] or [VcockpitNN]
  std::string title;
  std::optional<uint32_t> ident;
  // The window's own surface, in the units gauges are placed in: size_mm or
  // pixel_size. A height of 0 follows the background bitmap, else the
  // extent of the gauges (resolve_window_sizes); a width of 0 likewise.
  int32_t width = 0;
  int32_t height = 0;
  ScreenPlacement screen;
  bool visible = true;          // virtual-cockpit textures are always open
  std::string background;       // file= as written
  std::string background_path;  // resolved against the panel file's folder
  std::optional<Rgb> background_color;
  std::string texture;  // virtual cockpit: texture=
  std::vector<GaugePlacement> gauges;
  int line = 0;
  std::string section_name() const;  // "[Window03]", "[Vcockpit01]"
};

struct PanelColors {
  std::optional<Rgb> day;
  std::optional<Rgb> night;
  std::optional<Rgb> luminous;
};

struct PanelConfig {
  std::string file;
  std::string folder;  // the panel file's folder, "" for the current one
  std::vector<PanelWindow> windows;
  PanelColors colors;
  // What the reader took in but a user should know: repeated idents and the
  // like. The host prints them before the transcript.
  std::vector<std::string> notes;
};

// "FILE:LINE: reason", or "FILE: reason" (line 0) for a file that is not
// a panel file at all: not text, or without a single window section.
struct PanelConfigError {
  std::string file;
  int line = 0;
  std::string reason;
  std::string message() const;
};

using PanelConfigResult = std::variant<PanelConfig, PanelConfigError>;

PanelConfigResult parse_panel_config(std::string_view text,
                                     std::string file_name);

// The panel file's name without its folder, as notes name it.
std::string file_name_only(const std::string& file);

// A window name of the parameter language (MAIN_PANEL, RADIO_STACK_PANEL, ...)
// or a decimal number; nullopt for anything else.
std::optional<uint32_t> parse_window_ident(std::string_view text);
// The window names the parameter language knows, in its own order.
std::vector<std::string> window_names();

// Settles the windows whose size_mm or pixel_size left a side open: the
// background bitmap's proportions (or whole size) when it can be read, else
// the extent of the window's gauges. A background that cannot be read is a
// note. The readers give an image file's width and height, and a placed
// gauge's box.
using ImageSizeReader =
    std::function<std::optional<std::pair<int32_t, int32_t>>(
        const std::string& path)>;
using GaugeBoxReader =
    std::function<std::pair<int32_t, int32_t>(const GaugePlacement&)>;
void resolve_window_sizes(PanelConfig& config,
                          const ImageSizeReader& image_size,
                          const GaugeBoxReader& gauge_box);
