// Checks the real module the way the simulator meets it: loads the library,
// finds its two exported records and reads the gauge table, the element
// chains and the mouse areas by byte offset alone. It shares no header with
// the module on purpose, so that a wrong offset there cannot hide behind the
// same wrong offset here. Last it installs, updates and kills every gauge
// with a callback, on the system's DirectSound, to see which notices each
// acts on and which recording it loads.
//
//   layout_check [--list] [--expect GAUGE NOTICES RECORDING] MODULE
//
// Prints one line per failed check and closes with "N passed, N failed".
// With --list it only lists the gauges it finds. With --expect it checks the
// named gauge's notices (as "2, 12") and recording (0 for none) against the
// given ones in place of its row.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "module_access.h"

namespace {

// ---------------------------------------------------------------------------
// What the module must hold.

// Every gauge of the module in table order, with what its header and element
// chain must show. `notices` lists the host notices its gauge callback acts
// on, null when it has no callback. Counts of element kinds are in kind
// order: static, needle, string, slider, icon, moving image, sprite.
// `recording` is the WAVE resource its install loads, 0 for none.
struct GaugeRow {
  const char* name;
  uint32_t width_mm;
  const char* notices;
  std::array<int, 7> kinds;
  int clickable;
  int recording;
};

constexpr GaugeRow kGaugeTable[] = {
    {"Shut_Down", 30, "14", {1, 0, 0, 0, 0, 0, 0}, 0, 0},
    {"Registration", 150, "2, 6", {1, 0, 1, 0, 0, 0, 0}, 0, 0},
    {"Kneeboard_Toggle", 19, nullptr, {1, 0, 0, 0, 0, 0, 0}, 1, 0},
    {"ATC_Toggle", 19, nullptr, {1, 0, 0, 0, 0, 0, 0}, 1, 0},
    {"Map_Toggle", 19, nullptr, {1, 0, 0, 0, 0, 0, 0}, 1, 0},
    {"Invisible_Toggle", 19, "2", {1, 0, 0, 0, 0, 0, 0}, 1, 0},
    {"Close_Subpanel", 19, "2", {1, 0, 0, 0, 0, 0, 0}, 1, 0},
    {"Radios_Toggle", 19, "2", {1, 0, 0, 0, 0, 0, 0}, 1, 0},
    {"Landing_View_Toggle", 19, "2", {1, 0, 0, 0, 0, 0, 0}, 1, 0},
    {"GPS_Toggle", 19, "2", {1, 0, 0, 0, 0, 0, 0}, 1, 0},
    {"Throttle_Toggle", 19, "2", {1, 0, 0, 0, 0, 0, 0}, 1, 0},
    {"Compass_Toggle", 19, "2", {1, 0, 0, 0, 0, 0, 0}, 1, 0},
    {"Fuel_Toggle", 19, "2", {1, 0, 0, 0, 0, 0, 0}, 1, 0},
    {"Electricity_Toggle", 19, "2", {1, 0, 0, 0, 0, 0, 0}, 1, 0},
    {"Radio_COM", 100, "2, 6, 12", {1, 0, 1, 0, 2, 0, 1}, 4, 30},
    {"Radio_ADF", 100, "2, 6, 12", {2, 3, 1, 0, 3, 0, 1}, 7, 30},
    {"Radio_NAV1", 100, "2, 6, 12", {1, 2, 0, 0, 4, 4, 0}, 6, 10},
    {"Radio_NAV2", 100, "2, 6, 12", {1, 2, 0, 0, 4, 4, 0}, 6, 10},
    {"Radio_IFF_XPDR", 100, "2, 6, 12", {1, 0, 0, 0, 3, 4, 0}, 10, 30},
    {"Gyro_Compass", 100, nullptr, {1, 1, 0, 0, 1, 1, 0}, 2, 0},
    {"Vertical_Speed", 100, nullptr, {2, 1, 0, 0, 0, 0, 0}, 0, 0},
    {"Attitude", 100, nullptr, {2, 1, 0, 1, 1, 0, 1}, 3, 0},
    {"Airspeed", 100, nullptr, {2, 1, 0, 0, 0, 0, 0}, 0, 0},
    {"Turn_Coordinator", 100, nullptr, {2, 1, 0, 1, 1, 0, 0}, 0, 0},
    {"Altimeter", 100, nullptr, {2, 4, 0, 0, 0, 4, 0}, 2, 0},
    {"Manifold_Pressure", 100, nullptr, {2, 1, 0, 0, 0, 0, 0}, 0, 0},
    {"CHT_Indicator", 100, nullptr, {2, 1, 0, 0, 0, 0, 0}, 0, 0},
    {"Tachometer", 100, nullptr, {2, 1, 0, 0, 0, 0, 0}, 0, 0},
    {"Oil_Pressure", 100, nullptr, {2, 1, 0, 0, 0, 0, 0}, 0, 0},
    {"Oil_Temperature", 100, nullptr, {2, 1, 0, 0, 0, 0, 0}, 0, 0},
    {"Fuel_Pressure", 63, nullptr, {2, 1, 0, 0, 0, 0, 0}, 0, 0},
    {"Fuel_Quantity_Left", 100, nullptr, {2, 1, 0, 0, 0, 0, 0}, 0, 0},
    {"Fuel_Quantity_Right", 100, nullptr, {2, 1, 0, 0, 0, 0, 0}, 0, 0},
    {"Magnetos_Switch", 40, nullptr, {1, 0, 0, 0, 1, 0, 0}, 2, 0},
    {"Carburetor_Temp", 100, nullptr, {2, 1, 0, 0, 0, 0, 0}, 0, 0},
    {"Throttle_Control", 180, nullptr, {1, 0, 0, 3, 0, 0, 0}, 3, 0},
    {"Breguet_Timer", 100, nullptr, {2, 4, 0, 0, 0, 0, 1}, 4, 0},
    {"Whiskey_Compass", 76, nullptr, {1, 0, 0, 0, 0, 1, 0}, 0, 0},
    {"ADF_Indicator", 100, nullptr, {2, 2, 0, 0, 0, 0, 1}, 2, 0},
    {"OAT_Indicator", 100, nullptr, {2, 1, 0, 0, 0, 0, 0}, 0, 0},
    {"VOR1_Indicator", 100, nullptr, {3, 4, 1, 0, 2, 0, 0}, 2, 0},
    {"Voltmeter", 100, nullptr, {3, 1, 0, 0, 0, 0, 0}, 0, 0},
    {"Flaps_Indicator", 33, nullptr, {1, 0, 0, 1, 0, 0, 0}, 0, 0},
    {"Starter_Switch", 30, "2, 12", {1, 0, 0, 0, 2, 0, 0}, 1, 10},
    {"Cowl_Flaps_Switch", 40, nullptr, {1, 0, 0, 0, 1, 0, 0}, 2, 0},
    {"Battery_Switch", 30, "2, 12", {1, 0, 0, 0, 1, 0, 0}, 1, 10},
    {"Generator_Switch", 30, "2, 12", {1, 0, 0, 0, 2, 0, 0}, 1, 10},
    {"Avionics_Switch", 30, nullptr, {1, 0, 0, 0, 1, 0, 0}, 1, 0},
    {"Flaps_Switch", 40, nullptr, {1, 0, 0, 0, 1, 0, 0}, 2, 0},
    {"Fuel_Oil_Valve", 30, "2, 12", {1, 0, 0, 0, 2, 0, 0}, 2, 10},
    {"Fuel_Pump_Switch", 25, "2, 12", {1, 0, 0, 0, 1, 0, 0}, 1, 10},
    {"Navigation_Lights_Switch", 30, "2, 12", {1, 0, 0, 0, 1, 0, 0}, 1, 10},
    {"Landing_Lights_Switch", 30, "2, 12", {1, 0, 0, 0, 1, 0, 0}, 1, 10},
    {"Pitot_Heat_Switch", 30, "2, 12", {1, 0, 0, 0, 1, 0, 0}, 1, 10},
    {"Beacon_Lights_Switch", 30, "2, 12", {1, 0, 0, 0, 1, 0, 0}, 1, 10},
    {"Panel_Lights_Switch", 30, "2, 12", {1, 0, 0, 0, 1, 0, 0}, 1, 10},
    {"Low_Fuel_Light_Left", 76, nullptr, {1, 0, 0, 0, 1, 0, 0}, 0, 0},
    {"Low_Fuel_Light_Right", 76, nullptr, {1, 0, 0, 0, 1, 0, 0}, 0, 0},
    {"Generator_Light", 30, nullptr, {1, 0, 0, 0, 1, 0, 0}, 0, 0},
    {"Pitot_Heat_Light", 30, nullptr, {1, 0, 0, 0, 1, 0, 0}, 0, 0},
};
constexpr int kGaugeCount = 60;
static_assert(std::size(kGaugeTable) == kGaugeCount);

enum Kind : uint32_t {
  kStatic = 0,
  kNeedle = 1,
  kString = 2,
  kSlider = 3,
  kIcon = 4,
  kMoving = 5,
  kSprite = 6,
};

struct XY {
  int32_t x = 0;
  int32_t y = 0;
};

struct Box {
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;
};

struct Failure {
  int32_t key;
  int32_t action;
};

// One calibration point of a needle table, by entry number from 1.
struct Mark {
  int entry;
  double value;
  int32_t x;
  int32_t y;
};

// One element of a gauge, in drawing order. `tokens`, `numbers` and
// `callbacks` follow the kind's layout below (for a sprite: x, y and rotation
// sources; x scale, y scale, rotation scale, texture scales x and y).
struct ElementRow {
  uint32_t kind;
  int32_t bitmap;
  XY at;
  XY offset = {};
  uint32_t flags = 0;
  std::array<int32_t, 3> tokens = {};
  std::array<double, 6> numbers = {};
  const char* callbacks = "";
  std::array<Failure, 4> failures = {};
  int32_t table_entries = 0;
  std::array<Mark, 4> marks = {};
};

enum AreaKind : uint32_t {
  kAreaEnd = 0,
  kAreaParent = 1,
  kAreaChild = 2,
  kAreaEndParent = 3,
  kAreaTooltip = 4,
};

struct MouseRow {
  uint32_t kind;
  Box box = {};
  int32_t cursor = -1;
  uint32_t help = 0;
  uint32_t flags = 0;
  uint32_t event = 0;
  const char* text = nullptr;
  bool callback = false;
};

constexpr MouseRow parent(Box box = {}, uint32_t help = 0) {
  return {.kind = kAreaParent, .box = box, .help = help};
}
constexpr MouseRow parent_end() { return {.kind = kAreaEndParent}; }
constexpr MouseRow list_end() { return {.kind = kAreaEnd}; }
constexpr MouseRow help_tooltip(uint32_t help) {
  return {.kind = kAreaTooltip, .help = help};
}
constexpr MouseRow text_tooltip(const char* text, uint32_t arguments = 0) {
  return {.kind = kAreaTooltip, .event = arguments, .text = text};
}
constexpr MouseRow event_child(Box box, int32_t cursor, uint32_t flags,
                               uint32_t event) {
  return {.kind = kAreaChild,
          .box = box,
          .cursor = cursor,
          .flags = flags,
          .event = event};
}
constexpr MouseRow callback_child(Box box, int32_t cursor, uint32_t flags) {
  return {.kind = kAreaChild,
          .box = box,
          .cursor = cursor,
          .flags = flags,
          .callback = true};
}

constexpr uint32_t kLeft = 0x20000000;
constexpr uint32_t kRight = 0x80000000;
constexpr uint32_t kRepeat = 0x00200000;
constexpr uint32_t kDrag = 0x00800000;

// --- Airspeed
constexpr ElementRow airspeed_elements[] = {
    {.kind = kStatic, .bitmap = 450, .at = {0, 0}, .flags = 0x4003},
    {.kind = kNeedle,
     .bitmap = 460,
     .at = {151, 152},
     .offset = {41, 27},
     .flags = 0x4083,
     .tokens = {61},
     .failures = {{{6, 1}, {3, 2}}},
     .table_entries = 10,
     .marks = {{{1, -1, 121, 260},
                {2, 0, 121, 260},
                {5, 100, 92, 54},
                {10, 400, 145, 264}}}},
    {.kind = kStatic, .bitmap = 470, .at = {0, 0}, .flags = 0x3},
};
constexpr MouseRow airspeed_mouse[] = {parent(), help_tooltip(12290),
                                       parent_end(), list_end()};

// --- Altimeter
constexpr ElementRow altimeter_drum(int32_t x, double place) {
  return {.kind = kMoving,
          .bitmap = 1110,
          .at = {x, 222},
          .flags = 0x4083,
          .tokens = {0, 75},
          .numbers = {place, 1, 10 * place, 0},
          .callbacks = "y"};
}
constexpr ElementRow altimeter_elements[] = {
    {.kind = kStatic, .bitmap = 1060, .at = {0, 0}, .flags = 0x4003},
    altimeter_drum(156, 1),
    altimeter_drum(143, 10),
    altimeter_drum(130, 100),
    altimeter_drum(117, 1000),
    {.kind = kNeedle,
     .bitmap = 1070,
     .at = {150, 150},
     .offset = {60, 69},
     .flags = 0x4083,
     .tokens = {74},
     .failures = {{{3, 1}, {7, 1}}},
     .table_entries = 2,
     .marks = {{{1, 0, 150, 50}, {2, 50000, 150, 250}}}},
    {.kind = kNeedle,
     .bitmap = 1080,
     .at = {150, 150},
     .offset = {39, 26},
     .flags = 0x4083,
     .tokens = {74},
     .failures = {{{3, 1}, {7, 1}}},
     .table_entries = 2,
     .marks = {{{1, 0, 150, 50}, {2, 5000, 150, 250}}}},
    {.kind = kNeedle,
     .bitmap = 1090,
     .at = {150, 150},
     .offset = {50, 10},
     .flags = 0x4083,
     .tokens = {74},
     .failures = {{{3, 1}, {7, 1}}},
     .table_entries = 2,
     .marks = {{{1, 0, 150, 50}, {2, 500, 150, 250}}}},
    {.kind = kStatic, .bitmap = 1100, .at = {0, 0}, .flags = 0x3},
    {.kind = kNeedle,
     .bitmap = 1130,
     .at = {370, 270},
     .offset = {30, 30},
     .flags = 0x83,
     .tokens = {75},
     .table_entries = 2,
     .marks = {{{1, 1013, 400, 270}, {2, 1070, 340, 270}}}},
};
constexpr MouseRow altimeter_mouse[] = {
    parent(),
    parent({0, 0, 300, 240}),
    help_tooltip(12370),
    parent_end(),
    parent({240, 240, 60, 60}, 43834),
    help_tooltip(12372),
    parent_end(),
    event_child({240, 240, 30, 60}, 2, kLeft | kRepeat, 65884),
    event_child({270, 240, 30, 60}, 1, kLeft | kRepeat, 65883),
    parent_end(),
    list_end(),
};

// --- Vertical_Speed
constexpr ElementRow vertical_speed_elements[] = {
    {.kind = kStatic, .bitmap = 270, .at = {0, 0}, .flags = 0x4003},
    {.kind = kNeedle,
     .bitmap = 280,
     .at = {151, 150},
     .offset = {7, 7},
     .flags = 0x4083,
     .tokens = {65},
     .callbacks = "value",
     .failures = {{{19, 1}, {3, 2}}},
     .table_entries = 15,
     .marks = {{{1, -11704.319625461772, 264, 170},
                {8, 0, 34, 150},
                {9, 650.2399791923207, 37, 107},
                {15, 11704.319625461772, 264, 130}}}},
    {.kind = kStatic, .bitmap = 290, .at = {0, 0}, .flags = 0x3},
};
constexpr MouseRow vertical_speed_mouse[] = {parent(), help_tooltip(12441),
                                             parent_end(), list_end()};

// --- Turn_Coordinator
constexpr ElementRow turn_coordinator_elements[] = {
    {.kind = kStatic, .bitmap = 1000, .at = {0, 0}, .flags = 0x4003},
    {.kind = kSlider,
     .bitmap = 1020,
     .at = {107, 111},
     .flags = 0x4083,
     .tokens = {69, 69},
     .numbers = {0.515625, -0.00030517578125},
     .callbacks = "y"},
    {.kind = kIcon,
     .bitmap = 1030,
     .at = {79, 64},
     .flags = 0x4003,
     .tokens = {755},
     .numbers = {1.0, 0, 1},
     .callbacks = "value"},
    {.kind = kNeedle,
     .bitmap = 1010,
     .at = {120, 189},
     .offset = {30, 12},
     .flags = 0x4083,
     .tokens = {70},
     .callbacks = "value",
     .failures = {{{18, 1}, {20, 2}}},
     .table_entries = 4,
     .marks = {{{1, -5, 87, 156},
                {2, -4.5, 87, 156},
                {3, 4.5, 153, 156},
                {4, 5, 153, 156}}}},
    {.kind = kStatic, .bitmap = 1040, .at = {0, 0}, .flags = 0x3},
};
constexpr MouseRow turn_coordinator_mouse[] = {parent(), help_tooltip(12432),
                                               parent_end(), list_end()};

// --- Attitude
constexpr ElementRow attitude_elements[] = {
    {.kind = kStatic, .bitmap = 300, .at = {0, 0}, .flags = 0x4003},
    {.kind = kSprite,
     .bitmap = 310,
     .at = {0, 0},
     .offset = {127, 130},
     .flags = 0x4083,
     .tokens = {0, 78, 80},
     .numbers = {0, 1.3, -1.0, 1.0, 0.9},
     .callbacks = "y",
     .failures = {{{8, 0}, {2, 0}, {4, 0}}}},
    {.kind = kNeedle,
     .bitmap = 320,
     .at = {127, 130},
     .offset = {0, 5},
     .flags = 0x4083,
     .tokens = {80},
     .failures = {{{8, 0}, {2, 0}, {4, 0}}},
     .table_entries = 2,
     .marks = {{{1, -90, 177, 130}, {2, 90, 77, 130}}}},
    {.kind = kIcon,
     .bitmap = 370,
     .at = {173, 64},
     .flags = 0x3,
     .tokens = {288},
     .numbers = {1.0, 0, 1},
     .callbacks = "value"},
    {.kind = kSlider,
     .bitmap = 330,
     .at = {68, 59},
     .flags = 0x4083,
     .tokens = {0, 612},
     .numbers = {0, -0.15}},
    {.kind = kStatic, .bitmap = 360, .at = {0, 0}, .flags = 0x4003},
};
constexpr MouseRow attitude_mouse[] = {
    parent(),
    parent({0, 0, 250, 223}),
    help_tooltip(12434),
    parent_end(),
    parent({111, 239, 42, 42}),
    text_tooltip("Plane adjusting button"),
    parent_end(),
    parent({213, 223, 80, 80}),
    text_tooltip("Gyro caging button"),
    parent_end(),
    event_child({111, 239, 21, 42}, 2, kLeft | kRepeat, 66319),
    event_child({132, 239, 21, 42}, 1, kLeft | kRepeat, 66318),
    event_child({213, 223, 80, 80}, 5, kLeft, 66373),
    parent_end(),
    list_end(),
};

// --- The chronograph: clock hands on the simulator's clock, stop-watch
// hands through their shared callback, the bezel turned by its own angle;
// every button works through a handler.
constexpr ElementRow breguet_timer_elements[] = {
    {.kind = kStatic, .bitmap = 380, .at = {0, 0}, .flags = 0x4003},
    {.kind = kSprite,
     .bitmap = 440,
     .at = {12, 10},
     .offset = {127, 129},
     .flags = 0x4083,
     .numbers = {0, 0, 1.0, 1.0, 1.0},
     .callbacks = "rotation"},
    {.kind = kNeedle,
     .bitmap = 420,
     .at = {127, 129},
     .offset = {6, 6},
     .flags = 0x4083,
     .tokens = {557},
     .table_entries = 2,
     .marks = {{{1, 0, 127, 29}, {2, 21600, 127, 229}}}},
    {.kind = kNeedle,
     .bitmap = 410,
     .at = {127, 129},
     .offset = {7, 7},
     .flags = 0x4083,
     .tokens = {557},
     .table_entries = 2,
     .marks = {{{1, 0, 127, 29}, {2, 1800, 127, 229}}}},
    {.kind = kNeedle,
     .bitmap = 400,
     .at = {127, 170},
     .offset = {6, 6},
     .flags = 0x4083,
     .tokens = {604},
     .callbacks = "value",
     .table_entries = 2,
     .marks = {{{1, 0, 127, 140}, {2, 450, 127, 200}}}},
    {.kind = kNeedle,
     .bitmap = 390,
     .at = {127, 129},
     .offset = {8, 8},
     .flags = 0x4083,
     .tokens = {604},
     .callbacks = "value",
     .table_entries = 2,
     .marks = {{{1, 0, 127, 29}, {2, 30, 127, 229}}}},
    {.kind = kStatic, .bitmap = 430, .at = {0, 0}, .flags = 0x3},
};
constexpr MouseRow breguet_timer_mouse[] = {
    parent({}, 43798),
    callback_child({97, 253, 63, 55}, 5, kLeft),
    callback_child({195, 255, 35, 43}, 1, kLeft | kRepeat),
    callback_child({11, 67, 40, 116}, 1, kLeft | kRepeat),
    callback_child({207, 67, 40, 116}, 2, kLeft | kRepeat),
    parent_end(),
    list_end(),
};

// --- The COM1 head: face, tuning knob turned by its own angle, main switch,
// the frequency read-out and the power light; tuning, display and main
// switch areas work through handlers.
constexpr ElementRow radio_com_elements[] = {
    {.kind = kStatic, .bitmap = 1190, .at = {0, 0}, .flags = 0x3},
    {.kind = kSprite,
     .bitmap = 1220,
     .at = {132, 14},
     .offset = {181, 63},
     .flags = 0x83,
     .numbers = {1.0, 1.0, -1.0, 1.0, 1.0},
     .callbacks = "rotation"},
    {.kind = kIcon,
     .bitmap = 1210,
     .at = {46, 58},
     .flags = 0x3,
     .numbers = {1.0, 0, 2},
     .callbacks = "value"},
    {.kind = kString,
     .bitmap = -1,
     .at = {240, 12},
     .flags = 0x7,
     .tokens = {23},
     .numbers = {84, 25, 700, 1, 0x25, 7},
     .callbacks = "value"},
    {.kind = kIcon,
     .bitmap = 1200,
     .at = {243, 90},
     .flags = 0x7,
     .numbers = {1.0, 0, 1},
     .callbacks = "value",
     .failures = {{{21, 3}, {9, 0}}}},
};
constexpr MouseRow radio_com_mouse[] = {
    parent(),
    parent({0, 0, 350, 58}),
    text_tooltip("Communications Radio COM1 - %1!07.3f! MHz", 2),
    parent_end(),
    parent({113, 58, 237, 72}),
    text_tooltip("Communications Radio COM1 - %1!07.3f! MHz", 2),
    parent_end(),
    parent({46, 58, 67, 58}),
    text_tooltip("COM1 main switch (%2!s!)", 2),
    parent_end(),
    callback_child({132, 14, 49, 98}, 2, kLeft | kRight | kRepeat),
    callback_child({181, 14, 49, 98}, 1, kLeft | kRight | kRepeat),
    callback_child({256, 0, 44, 44}, 5, kLeft | kRepeat),
    callback_child({46, 58, 67, 58}, 5, kLeft),
    parent_end(),
    list_end(),
};

// --- The NAV heads: face, four digit drums and the fixed leading 1 (lit by
// their callbacks), two knob grips turned through their tables, the tone and
// main switches and the power light; NAV2 differs in its face and failure
// key. Every area works through a handler; one argument list serves all
// three tooltips.
constexpr ElementRow nav_drum(int32_t bitmap, int32_t x, double y_max,
                              int32_t failure_key) {
  return {.kind = kMoving,
          .bitmap = bitmap,
          .at = {x, 36},
          .flags = 0x83,
          .numbers = {0, 0, 0, y_max},
          .callbacks = "y",
          .failures = {{{21, 3}, {failure_key, 0}}}};
}
struct NavElements {
  ElementRow rows[11];
};
constexpr NavElements nav_chain(int32_t face, int32_t failure_key) {
  const std::array<Failure, 4> failures = {{{21, 3}, {failure_key, 0}}};
  return {{
      {.kind = kStatic, .bitmap = face, .at = {0, 0}, .flags = 0x3},
      nav_drum(2030, 159, 10, failure_key),
      nav_drum(2030, 146, 10, failure_key),
      nav_drum(2030, 128, 10, failure_key),
      nav_drum(2040, 115, 1, failure_key),
      {.kind = kIcon,
       .bitmap = 2050,
       .at = {102, 36},
       .flags = 0x83,
       .numbers = {0.0, 0, 1},
       .callbacks = "value",
       .failures = failures},
      {.kind = kNeedle,
       .bitmap = 2020,
       .at = {195, 45},
       .offset = {17, 17},
       .flags = 0x83,
       .callbacks = "value",
       .table_entries = 2,
       .marks = {{{1, 100, 79, 11}, {2, 50, 79, 79}}}},
      {.kind = kNeedle,
       .bitmap = 2020,
       .at = {79, 45},
       .offset = {17, 17},
       .flags = 0x83,
       .callbacks = "value",
       .table_entries = 2,
       .marks = {{{1, 108, 79, 11}, {2, 112, 79, 79}}}},
      {.kind = kIcon,
       .bitmap = 2070,
       .at = {225, 47},
       .flags = 0x3,
       .numbers = {1.0, 0, 2},
       .callbacks = "value",
       .failures = failures},
      {.kind = kIcon,
       .bitmap = 2060,
       .at = {25, 32},
       .flags = 0x3,
       .numbers = {1.0, 0, 2},
       .callbacks = "value"},
      {.kind = kIcon,
       .bitmap = 2080,
       .at = {272, 44},
       .flags = 0x7,
       .numbers = {1.0, 0, 1},
       .callbacks = "value",
       .failures = failures},
  }};
}
constexpr NavElements nav1_elements = nav_chain(2000, 14);
constexpr NavElements nav2_elements = nav_chain(2010, 15);

constexpr std::array<MouseRow, 18> nav_mouse(const char* frequency,
                                             const char* main_switch) {
  return {
      parent(),
      parent({55, 0, 168, 95}),
      text_tooltip(frequency, 3),
      parent_end(),
      parent({225, 47, 34, 34}),
      text_tooltip("Tone switch (%2!s!)", 3),
      parent_end(),
      parent({25, 32, 28, 52}),
      text_tooltip(main_switch, 3),
      parent_end(),
      callback_child({62, 28, 17, 34}, 2, kLeft | kRepeat),
      callback_child({79, 28, 17, 34}, 1, kLeft | kRepeat),
      callback_child({178, 28, 17, 34}, 2, kLeft | kRepeat),
      callback_child({195, 28, 17, 34}, 1, kLeft | kRepeat),
      callback_child({25, 32, 28, 52}, 5, kLeft),
      callback_child({225, 47, 34, 34}, 5, kLeft),
      parent_end(),
      list_end(),
  };
}
constexpr auto nav1_mouse = nav_mouse("Navigation Radio NAV1 - %1!07.3f! MHz",
                                      "NAV1 main switch (%3!s!)");
constexpr auto nav2_mouse = nav_mouse("Navigation Radio NAV2 - %1!07.3f! MHz",
                                      "NAV2 main switch (%3!s!)");

// --- The transponder: face, four code drums (the units and thousands bound
// to the code, as the hundreds are), the push button that never changes,
// the power light and the main switch; a raise and a lower area per digit.
constexpr ElementRow xpdr_drum(int32_t x, int32_t token) {
  return {.kind = kMoving,
          .bitmap = 1240,
          .at = {x, 57},
          .flags = 0x83,
          .tokens = {0, token},
          .numbers = {0, 0, 0, 10},
          .callbacks = "y",
          .failures = {{{20, 3}, {21, 3}, {17, 0}}}};
}
constexpr ElementRow xpdr_elements[] = {
    {.kind = kStatic, .bitmap = 1230, .at = {0, 0}, .flags = 0x3},
    xpdr_drum(184, 38),
    xpdr_drum(161, 0),
    xpdr_drum(138, 38),
    xpdr_drum(115, 38),
    {.kind = kIcon,
     .bitmap = 1270,
     .at = {208, 31},
     .flags = 0x3,
     .numbers = {1.0, 0, 2},
     .failures = {{{20, 3}, {21, 3}, {17, 0}}}},
    {.kind = kIcon,
     .bitmap = 1260,
     .at = {53, 79},
     .flags = 0x7,
     .numbers = {1.0, 0, 1},
     .callbacks = "value",
     .failures = {{{20, 3}, {21, 3}, {17, 0}}}},
    {.kind = kIcon,
     .bitmap = 1250,
     .at = {27, 8},
     .flags = 0x3,
     .numbers = {1.0, 0, 2},
     .callbacks = "value"},
};
constexpr MouseRow xpdr_mouse[] = {
    parent(),
    parent({53, 0, 200, 99}),
    help_tooltip(12672),
    parent_end(),
    parent({29, 12, 24, 60}),
    text_tooltip("Transponder main switch (%1!s!)", 1),
    parent_end(),
    callback_child({29, 12, 24, 60}, 5, kLeft),
    callback_child({111, 76, 23, 15}, 2, kLeft | kRepeat),
    callback_child({111, 44, 23, 15}, 1, kLeft | kRepeat),
    callback_child({134, 76, 23, 15}, 2, kLeft | kRepeat),
    callback_child({134, 44, 23, 15}, 1, kLeft | kRepeat),
    callback_child({157, 76, 23, 15}, 2, kLeft | kRepeat),
    callback_child({157, 44, 23, 15}, 1, kLeft | kRepeat),
    callback_child({180, 76, 23, 15}, 2, kLeft | kRepeat),
    callback_child({180, 44, 23, 15}, 1, kLeft | kRepeat),
    callback_child({208, 31, 24, 32}, 5, kLeft),
    parent_end(),
    list_end(),
};

// --- The eight toggle switches: a bezel and a two-image lever bound to the
// system's variable; one left-click area, with a handler (and a sound) on
// all but the avionics master, whose area sends its event itself.
struct SwitchElements {
  ElementRow rows[2];
};
constexpr SwitchElements switch_chain(int32_t bezel, int32_t lever,
                                      int32_t token) {
  return {{{.kind = kStatic, .bitmap = bezel, .at = {0, 0}, .flags = 0x3},
           {.kind = kIcon,
            .bitmap = lever,
            .at = {0, 0},
            .flags = 0x3,
            .tokens = {token},
            .numbers = {1.0, 0, 2}}}};
}
constexpr SwitchElements battery_switch_elements =
    switch_chain(1480, 1490, 364);
constexpr SwitchElements avionics_switch_elements =
    switch_chain(1480, 1490, 740);
constexpr SwitchElements beacon_switch_elements = switch_chain(1480, 1490, 368);
constexpr SwitchElements landing_switch_elements = switch_chain(3070, 3080, 14);
constexpr SwitchElements navigation_switch_elements =
    switch_chain(1480, 1490, 619);
constexpr SwitchElements panel_switch_elements = switch_chain(3140, 3150, 10);
constexpr SwitchElements pitot_switch_elements = switch_chain(1480, 1490, 13);
constexpr SwitchElements fuel_pump_switch_elements =
    switch_chain(1480, 1490, 891);

constexpr Box kLeverBox = {0, 0, 44, 63};
constexpr MouseRow battery_switch_mouse[] = {
    parent(), text_tooltip("Battery switch (%1!s!)", 1),
    callback_child(kLeverBox, 5, kLeft), parent_end(), list_end()};
constexpr MouseRow avionics_switch_mouse[] = {
    parent(), text_tooltip("Avionics master switch (%1!s!)", 1),
    event_child(kLeverBox, 5, kLeft, 66293), parent_end(), list_end()};
constexpr std::array<MouseRow, 4> help_switch_mouse(uint32_t help, Box box) {
  return {parent({}, help), callback_child(box, 5, kLeft), parent_end(),
          list_end()};
}
constexpr auto beacon_switch_mouse = help_switch_mouse(43837, kLeverBox);
constexpr auto landing_switch_mouse = help_switch_mouse(43838, {0, 0, 26, 45});
constexpr auto navigation_switch_mouse = help_switch_mouse(43839, kLeverBox);
constexpr auto panel_switch_mouse = help_switch_mouse(43840, {0, 0, 66, 66});
constexpr auto pitot_switch_mouse = help_switch_mouse(43863, kLeverBox);
constexpr auto fuel_pump_switch_mouse = help_switch_mouse(43879, kLeverBox);

// --- The twelve panel toggle buttons: one static face, one 13 x 13 hand
// area in the middle; the nine programmable ones call the family's handler,
// the other three send their host window's event.
constexpr ElementRow toggle_face(int32_t bitmap) {
  return {.kind = kStatic, .bitmap = bitmap, .at = {0, 0}, .flags = 0x3};
}
constexpr ElementRow invisible_toggle_elements[] = {toggle_face(100)};
constexpr ElementRow close_subpanel_elements[] = {toggle_face(110)};
constexpr ElementRow radios_toggle_elements[] = {toggle_face(120)};
constexpr ElementRow landing_view_toggle_elements[] = {toggle_face(130)};
constexpr ElementRow gps_toggle_elements[] = {toggle_face(140)};
constexpr ElementRow throttle_toggle_elements[] = {toggle_face(150)};
constexpr ElementRow compass_toggle_elements[] = {toggle_face(160)};
constexpr ElementRow fuel_toggle_elements[] = {toggle_face(170)};
constexpr ElementRow electricity_toggle_elements[] = {toggle_face(180)};
constexpr ElementRow atc_toggle_elements[] = {toggle_face(80)};
constexpr ElementRow kneeboard_toggle_elements[] = {toggle_face(60)};
constexpr ElementRow map_toggle_elements[] = {toggle_face(70)};

constexpr Box kButtonBox = {3, 3, 13, 13};
constexpr std::array<MouseRow, 4> toggle_mouse(uint32_t help) {
  return {parent({}, help), callback_child(kButtonBox, 5, kLeft), parent_end(),
          list_end()};
}
constexpr std::array<MouseRow, 5> toggle_text_mouse(const char* text,
                                                    uint32_t help = 0) {
  return {parent({}, help), text_tooltip(text),
          callback_child(kButtonBox, 5, kLeft), parent_end(), list_end()};
}
constexpr std::array<MouseRow, 4> fixed_toggle_mouse(uint32_t help,
                                                     uint32_t event) {
  return {parent({}, help), event_child(kButtonBox, 5, kLeft, event),
          parent_end(), list_end()};
}
constexpr auto invisible_toggle_mouse = toggle_mouse(0);
constexpr auto close_subpanel_mouse = toggle_text_mouse("Close the subpanel");
constexpr auto radios_toggle_mouse = toggle_mouse(0xAB86);
constexpr auto landing_view_toggle_mouse =
    toggle_text_mouse("Switch between Normal and Landing view");
constexpr auto gps_toggle_mouse = toggle_mouse(0xAB87);
constexpr auto throttle_toggle_mouse = toggle_mouse(0xAB88);
constexpr auto compass_toggle_mouse = toggle_mouse(0xAB89);
constexpr auto fuel_toggle_mouse =
    toggle_text_mouse("Display/Hide the fuel subpanel", 0xAB8A);
constexpr auto electricity_toggle_mouse =
    toggle_text_mouse("Display/Hide the electricity switches");
constexpr auto atc_toggle_mouse = fixed_toggle_mouse(0xAB94, 65564);
constexpr auto kneeboard_toggle_mouse = fixed_toggle_mouse(0xAB93, 65876);
constexpr auto map_toggle_mouse = fixed_toggle_mouse(0xAB8F, 66432);

// --- Guarded switches: bezel, two-image lever bound to the switch with its
// image callback, the one-image cover shown while closed; one area for the
// left and right clicks (and repeat on the starter).
struct GuardedElements {
  ElementRow rows[3];
};
constexpr GuardedElements guarded_chain(int32_t bezel, int32_t lever,
                                        int32_t cover, int32_t token) {
  return {{{.kind = kStatic, .bitmap = bezel, .at = {0, 0}, .flags = 0x3},
           {.kind = kIcon,
            .bitmap = lever,
            .at = {0, 0},
            .flags = 0x3,
            .tokens = {token},
            .numbers = {1.0, 0, 2},
            .callbacks = "value"},
           {.kind = kIcon,
            .bitmap = cover,
            .at = {0, 0},
            .flags = 0x3,
            .numbers = {1.0, 0, 1},
            .callbacks = "value"}}};
}
constexpr GuardedElements generator_switch_elements =
    guarded_chain(2270, 2290, 2280, 565);
constexpr GuardedElements starter_switch_elements =
    guarded_chain(2230, 2250, 2240, 401);
constexpr MouseRow generator_switch_mouse[] = {
    parent(), text_tooltip("Generator switch (%1!s!)", 1),
    callback_child({0, 5, 54, 110}, 5, kLeft | kRight), parent_end(),
    list_end()};
constexpr MouseRow starter_switch_mouse[] = {
    parent(), text_tooltip("Starter switch (%1!s!)", 1),
    callback_child({5, 2, 110, 50}, 5, kLeft | kRight | kRepeat), parent_end(),
    list_end()};

// --- Warning lights: a face and a bright lamp that the electrical failure
// puts out.
constexpr ElementRow generator_light_elements[] = {
    {.kind = kStatic, .bitmap = 2300, .at = {0, 0}, .flags = 0x3},
    {.kind = kIcon,
     .bitmap = 2310,
     .at = {0, 0},
     .flags = 0x7,
     .numbers = {1.0, 0, 1},
     .callbacks = "value",
     .failures = {{{20, 3}}}},
};
constexpr MouseRow generator_light_mouse[] = {
    parent(), text_tooltip("Generator off light"), parent_end(), list_end()};
constexpr ElementRow pitot_light_elements[] = {
    {.kind = kStatic, .bitmap = 3090, .at = {0, 0}, .flags = 0x3},
    {.kind = kIcon,
     .bitmap = 3100,
     .at = {0, 0},
     .flags = 0x7,
     .tokens = {13},
     .numbers = {1.0, 0, 1},
     .callbacks = "value",
     .failures = {{{20, 3}}}},
};
constexpr MouseRow pitot_light_mouse[] = {
    parent(), text_tooltip("Pitot heat active light"), parent_end(),
    list_end()};

// --- Magnetos: the four-position key; the up arrow's handler, the down
// arrow's own event.
constexpr ElementRow magnetos_elements[] = {
    {.kind = kStatic, .bitmap = 3050, .at = {0, 0}, .flags = 0x3},
    {.kind = kIcon,
     .bitmap = 3060,
     .at = {26, 0},
     .flags = 0x3,
     .tokens = {400},
     .numbers = {1.0, 0, 4},
     .callbacks = "value"},
};
constexpr MouseRow magnetos_mouse[] = {
    parent(),
    help_tooltip(12928),
    callback_child({20, 0, 20, 47}, 1, kLeft | kRepeat),
    event_child({20, 47, 20, 47}, 2, kLeft | kRepeat, 65634),
    parent_end(),
    list_end(),
};

// --- Throttle quadrant: right, middle, left lever, each rising with its
// lever's value; one tooltip group and one click-and-drag area per lever.
constexpr ElementRow throttle_elements[] = {
    {.kind = kStatic, .bitmap = 3160, .at = {0, 0}, .flags = 0x3},
    {.kind = kSlider,
     .bitmap = 3190,
     .at = {68, 143},
     .flags = 0x3,
     .tokens = {0, 130},
     .numbers = {1.0, -0.0086669921875}},
    {.kind = kSlider,
     .bitmap = 3180,
     .at = {45, 150},
     .flags = 0x3,
     .tokens = {0, 129},
     .numbers = {1.0, -0.00823974609375}},
    {.kind = kSlider,
     .bitmap = 3170,
     .at = {1, 140},
     .flags = 0x3,
     .tokens = {0, 128},
     .numbers = {1.0, -0.00848388671875}},
};
constexpr Box kThrottleBox = {5, 1, 45, 201};
constexpr Box kPropellerBox = {50, 15, 45, 187};
constexpr Box kMixtureBox = {95, 1, 45, 201};
constexpr MouseRow throttle_mouse[] = {
    parent(),
    parent(kThrottleBox),
    help_tooltip(12705),
    parent_end(),
    parent(kPropellerBox),
    help_tooltip(12697),
    parent_end(),
    parent(kMixtureBox),
    help_tooltip(12689),
    parent_end(),
    callback_child(kThrottleBox, 5, kLeft | kDrag),
    callback_child(kPropellerBox, 5, kLeft | kDrag),
    callback_child(kMixtureBox, 5, kLeft | kDrag),
    parent_end(),
    list_end(),
};

// --- Fuel/oil valve: the oil handle from the module's own valve, the fuel
// handle bound to the simulator's; a handler for each.
constexpr ElementRow valve_elements[] = {
    {.kind = kStatic, .bitmap = 3000, .at = {0, 0}, .flags = 0x3},
    {.kind = kIcon,
     .bitmap = 3020,
     .at = {85, 0},
     .flags = 0x3,
     .numbers = {1.0, 0, 2},
     .callbacks = "value"},
    {.kind = kIcon,
     .bitmap = 3010,
     .at = {0, 0},
     .flags = 0x3,
     .tokens = {895},
     .numbers = {1.0, 0, 2}},
};
constexpr MouseRow valve_mouse[] = {
    parent(),
    text_tooltip("Fuel valve (%1!s!)", 1),
    callback_child({11, 0, 48, 231}, 5, kLeft),
    callback_child({85, 0, 48, 231}, 5, kLeft),
    parent_end(),
    list_end(),
};

// --- Spring switches: the neutral picture under a three-image icon bound
// to the surface; two arrow areas that send their own step events.
struct SpringElements {
  ElementRow rows[2];
};
constexpr SpringElements spring_chain(int32_t bitmap, int32_t token) {
  return {{{.kind = kStatic, .bitmap = bitmap, .at = {0, 0}, .flags = 0x3},
           {.kind = kIcon,
            .bitmap = bitmap,
            .at = {0, 0},
            .flags = 0x3,
            .tokens = {token},
            .numbers = {1.0, 0, 3},
            .callbacks = "value"}}};
}
constexpr SpringElements cowl_flaps_elements = spring_chain(2260, 362);
constexpr SpringElements flaps_elements = spring_chain(2490, 328);
constexpr MouseRow cowl_flaps_mouse[] = {
    parent({}, 43799),
    event_child({0, 0, 30, 29}, 1, kLeft | kRepeat, 66243),
    event_child({0, 29, 30, 29}, 2, kLeft | kRepeat, 66244),
    parent_end(),
    list_end(),
};
constexpr MouseRow flaps_mouse[] = {
    parent({}, 43901),
    event_child({0, 0, 42, 48}, 2, kLeft | kRepeat, 65759),
    event_child({0, 48, 42, 48}, 1, kLeft | kRepeat, 65758),
    parent_end(),
    list_end(),
};

// --- Shut_Down: an invisible picture and an empty area list.
constexpr ElementRow shut_down_elements[] = {
    {.kind = kStatic, .bitmap = 40, .at = {0, 0}, .flags = 0x3},
};
constexpr MouseRow shut_down_mouse[] = {parent(), parent_end(), list_end()};

// The gauges checked element by element and area by area.
// --- The ADF head: face, dial pointer and band card glowing by their
// callbacks, the mask, the frequency read-out, the fine-tuning and band
// knobs turned through their tables, the tone switch, power light and main
// switch; every area works through a handler, and one argument list serves
// the three tooltips.
constexpr ElementRow radio_adf_elements[] = {
    {.kind = kStatic, .bitmap = 1300, .at = {0, 0}, .flags = 0x3},
    {.kind = kNeedle,
     .bitmap = 1370,
     .at = {178, 127},
     .offset = {98, 98},
     .flags = 0x4083,
     .callbacks = "value",
     .table_entries = 2,
     .marks = {{{1, 0, 178, 29}, {2, 180, 178, 225}}}},
    {.kind = kSprite,
     .bitmap = 1360,
     .at = {130, 30},
     .offset = {178, 127},
     .flags = 0x4083,
     .numbers = {1.0, 1.0, 1.0, 1.0, 1.0},
     .callbacks = "rotation"},
    {.kind = kStatic, .bitmap = 1380, .at = {0, 0}, .flags = 0x3},
    {.kind = kString,
     .bitmap = -1,
     .at = {135, 195},
     .flags = 0x7,
     .tokens = {16},
     .numbers = {84, 25, 700, 1, 0x25, 7},
     .callbacks = "value",
     .failures = {{{20, 3}, {21, 3}, {5, 0}}}},
    {.kind = kNeedle,
     .bitmap = 1320,
     .at = {275, 43},
     .offset = {21, 21},
     .flags = 0x83,
     .callbacks = "value",
     .table_entries = 2,
     .marks = {{{1, 0, 275, 13}, {2, 60, 275, 73}}}},
    {.kind = kNeedle,
     .bitmap = 1310,
     .at = {178, 146},
     .offset = {32, 32},
     .flags = 0x83,
     .callbacks = "value",
     .table_entries = 2,
     .marks = {{{1, 1, 178, 114}, {2, 3, 178, 178}}}},
    {.kind = kIcon,
     .bitmap = 1350,
     .at = {48, 174},
     .flags = 0x3,
     .tokens = {880},
     .numbers = {1.0, 0, 2},
     .callbacks = "value"},
    {.kind = kIcon,
     .bitmap = 1340,
     .at = {169, 229},
     .flags = 0x7,
     .numbers = {1.0, 0, 1},
     .callbacks = "value",
     .failures = {{{20, 3}, {21, 3}}}},
    {.kind = kIcon,
     .bitmap = 1330,
     .at = {243, 177},
     .flags = 0x3,
     .numbers = {1.0, 0, 2},
     .callbacks = "value"},
};
constexpr MouseRow radio_adf_mouse[] = {
    parent(),
    parent({0, 0, 350, 170}),
    text_tooltip("Navigation Radio ADF - %1!07.2f! kHz", 3),
    parent_end(),
    parent({48, 174, 64, 64}),
    text_tooltip("Tone switch (%2!s!)", 3),
    parent_end(),
    parent({243, 177, 64, 64}),
    text_tooltip("ADF main switch (%3!s!)", 3),
    parent_end(),
    callback_child({243, 177, 64, 64}, 5, kLeft),
    callback_child({48, 174, 64, 64}, 5, kLeft),
    callback_child({146, 114, 30, 60}, 2, kLeft | kRepeat),
    callback_child({178, 114, 30, 60}, 1, kLeft | kRepeat),
    callback_child({245, 13, 30, 60}, 2, kLeft | kRight | kRepeat),
    callback_child({275, 13, 30, 60}, 1, kLeft | kRight | kRepeat),
    callback_child({78, 0, 49, 49}, 5, kLeft | kRepeat),
    parent_end(),
    list_end(),
};

// --- Registration: the plate and the line of text its callback writes.
constexpr ElementRow registration_elements[] = {
    {.kind = kStatic, .bitmap = 50, .at = {0, 0}, .flags = 0x3},
    {.kind = kString,
     .bitmap = -1,
     .at = {0, 0},
     .flags = 0x3,
     .numbers = {150, 25, 400, 1, 0x25, 7},
     .callbacks = "value"},
};
constexpr MouseRow registration_mouse[] = {
    parent(), text_tooltip("Registration number"), parent_end(), list_end()};

// --- Heading instruments
constexpr ElementRow gyro_compass_elements[] = {
    {.kind = kStatic, .bitmap = 230, .at = {0, 0}, .flags = 0x3},
    {.kind = kMoving,
     .bitmap = 240,
     .at = {55, 60},
     .flags = 0x4083,
     .tokens = {84, 0},
     .numbers = {360, 0, 360, 360},
     .failures = {{{12, 0}, {4, 0}}}},
    {.kind = kIcon,
     .bitmap = 260,
     .at = {183, 59},
     .flags = 0x3,
     .tokens = {282},
     .numbers = {1.0, 0, 1},
     .callbacks = "value"},
    {.kind = kNeedle,
     .bitmap = 250,
     .at = {122, 304},
     .offset = {30, 30},
     .flags = 0x83,
     .tokens = {85},
     .table_entries = 2,
     .marks = {{{1, 0, 122, 284}, {2, 10922.666666666666, 122, 324}}}},
};
constexpr MouseRow gyro_compass_mouse[] = {
    parent(),
    parent({0, 0, 248, 248}),
    help_tooltip(12808),
    parent_end(),
    parent({92, 274, 60, 60}, 43829),
    parent_end(),
    event_child({92, 274, 30, 60}, 2, kLeft | kRepeat, 65878),
    event_child({122, 274, 30, 60}, 1, kLeft | kRepeat, 65877),
    parent_end(),
    list_end(),
};

constexpr ElementRow whiskey_compass_elements[] = {
    {.kind = kStatic, .bitmap = 480, .at = {0, 0}, .flags = 0x3},
    {.kind = kMoving,
     .bitmap = 490,
     .at = {0, 10},
     .flags = 0x4083,
     .tokens = {83, 0},
     .numbers = {360, 0, 360, 360},
     .failures = {{{12, 0}}}},
};
constexpr MouseRow whiskey_compass_mouse[] = {parent(), help_tooltip(12728),
                                              parent_end(), list_end()};

constexpr ElementRow adf_indicator_elements[] = {
    {.kind = kStatic,
     .bitmap = 1140,
     .at = {0, 0},
     .flags = 0x4003,
     .failures = {{{5, 0}}}},
    {.kind = kSprite,
     .bitmap = 1170,
     .at = {0, 0},
     .offset = {150, 150},
     .flags = 0x4083,
     .tokens = {0, 0, 22},
     .numbers = {0, 0, 1.0, 1.0, 1.0}},
    {.kind = kNeedle,
     .bitmap = 1160,
     .at = {150, 150},
     .offset = {123, 20},
     .flags = 0x4083,
     .tokens = {39},
     .callbacks = "value",
     .failures = {{{21, 2}, {20, 1}}},
     .table_entries = 2,
     .marks = {{{1, 0, 150, 100}, {2, 180, 150, 200}}}},
    {.kind = kStatic, .bitmap = 1180, .at = {0, 0}, .flags = 0x3},
    {.kind = kNeedle,
     .bitmap = 1150,
     .at = {39, 269},
     .offset = {28, 28},
     .flags = 0x83,
     .tokens = {22},
     .table_entries = 2,
     .marks = {{{1, 0, 39, 241}, {2, 20, 39, 297}}}},
};
constexpr MouseRow adf_indicator_mouse[] = {
    parent(),
    parent({0, 0, 300, 241}, 43776),
    parent_end(),
    parent({11, 241, 56, 56}, 43777),
    parent_end(),
    callback_child({11, 241, 28, 56}, 2, kLeft | kRight | kRepeat),
    callback_child({39, 241, 28, 56}, 1, kLeft | kRight | kRepeat),
    parent_end(),
    list_end(),
};

constexpr std::array<Failure, 4> kVorFailures = {{{14, 2}, {21, 2}, {20, 1}}};
constexpr ElementRow vor1_indicator_elements[] = {
    {.kind = kStatic,
     .bitmap = 2450,
     .at = {0, 0},
     .flags = 0x4003,
     .failures = {{{14, 0}}}},
    {.kind = kNeedle,
     .bitmap = 2430,
     .at = {156, 159},
     .offset = {39, 12},
     .flags = 0x4083,
     .callbacks = "value",
     .failures = kVorFailures,
     .table_entries = 2,
     .marks = {{{1, 0, 156, 79}, {2, 180, 156, 239}}}},
    {.kind = kNeedle,
     .bitmap = 2380,
     .at = {155, 84},
     .offset = {-7, 2},
     .flags = 0x4083,
     .tokens = {40},
     .callbacks = "value",
     .failures = kVorFailures,
     .table_entries = 2,
     .marks = {{{1, 127, 218, 159}, {2, -127, 95, 159}}}},
    {.kind = kNeedle,
     .bitmap = 2440,
     .at = {74, 159},
     .offset = {0, 2},
     .flags = 0x4083,
     .tokens = {41},
     .callbacks = "value",
     .failures = kVorFailures,
     .table_entries = 2,
     .marks = {{{1, -119, 157, 98}, {2, 119, 157, 221}}}},
    {.kind = kStatic, .bitmap = 2390, .at = {0, 0}, .flags = 0x4083},
    {.kind = kIcon,
     .bitmap = 2400,
     .at = {73, 139},
     .flags = 0x4083,
     .tokens = {44},
     .numbers = {1.0, 0, 2},
     .callbacks = "value",
     .failures = kVorFailures},
    {.kind = kIcon,
     .bitmap = 2420,
     .at = {131, 223},
     .flags = 0x4083,
     .tokens = {43},
     .numbers = {1.0, 0, 2},
     .callbacks = "value",
     .failures = kVorFailures},
    {.kind = kString,
     .bitmap = -1,
     .at = {127, 34},
     .flags = 0x4003,
     .tokens = {45},
     .numbers = {66, 26, 700, 1, 0x25, 3},
     .callbacks = "value",
     .failures = {{{21, 3}}}},
    {.kind = kStatic, .bitmap = 2370, .at = {0, 0}, .flags = 0x3},
    {.kind = kNeedle,
     .bitmap = 2360,
     .at = {37, 272},
     .offset = {37, 37},
     .flags = 0x83,
     .tokens = {45},
     .table_entries = 2,
     .marks = {{{1, 0, 37, 252}, {2, 30, 37, 292}}}},
};
constexpr MouseRow vor1_indicator_mouse[] = {
    parent(),
    parent({0, 0, 306, 235}),
    text_tooltip("VOR 1 Indicator (%2!s!)", 2),
    parent_end(),
    parent({0, 235, 74, 74}),
    text_tooltip("Selected VOR 1 course (%1!d!\xB0)", 2),
    parent_end(),
    callback_child({0, 235, 37, 74}, 2, kLeft | kRight | kRepeat),
    callback_child({37, 235, 37, 74}, 1, kLeft | kRight | kRepeat),
    parent_end(),
    list_end(),
};

struct GaugeDetail {
  const char* name;
  std::span<const ElementRow> elements;
  std::span<const MouseRow> mouse;
};

// --- Engine dials: face, needle, glass; three needles shape their value.
constexpr ElementRow engine_dial(int32_t needle, XY at, XY offset,
                                 int32_t token, const char* callback,
                                 std::array<Failure, 4> failures, int entries,
                                 std::array<Mark, 4> marks) {
  return {.kind = kNeedle,
          .bitmap = needle,
          .at = at,
          .offset = offset,
          .flags = 0x4083,
          .tokens = {token},
          .callbacks = callback,
          .failures = failures,
          .table_entries = entries,
          .marks = marks};
}
constexpr ElementRow manifold_elements[] = {
    {.kind = kStatic, .bitmap = 1390, .at = {0, 0}, .flags = 0x4003},
    engine_dial(1400, {150, 150}, {45, 16}, 391, "", {{{2, 0}}}, 6,
                {{{1, -20.8791, 105, 260},
                  {3, 1252.746, 90, 254},
                  {4, 2087.91, 91, 49},
                  {6, 4175.82, 210, 254}}}),
    {.kind = kStatic, .bitmap = 1410, .at = {0, 0}, .flags = 0x3},
};
constexpr ElementRow tachometer_elements[] = {
    {.kind = kStatic, .bitmap = 1450, .at = {0, 0}, .flags = 0x4003},
    engine_dial(1460, {151, 151}, {45, 16}, 390, "", {{{2, 0}, {20, 2}}}, 6,
                {{{1, 0, 150, 260},
                  {2, 300, 122, 260},
                  {4, 2300, 256, 104},
                  {6, 3500, 180, 259}}}),
    {.kind = kStatic, .bitmap = 1470, .at = {0, 0}, .flags = 0x3},
};
constexpr ElementRow oil_pressure_elements[] = {
    {.kind = kStatic,
     .bitmap = 2110,
     .at = {0, 0},
     .flags = 0x4003,
     .failures = {{{2, 0}}}},
    engine_dial(2120, {100, 100}, {36, 13}, 418, "value", {{{2, 0}}}, 5,
                {{{1, -20879.1, 52, 160},
                  {3, 20879.1, 172, 94},
                  {4, 41758.2, 156, 152},
                  {5, 62637.299999999996, 156, 152}}}),
    {.kind = kStatic, .bitmap = 2130, .at = {0, 0}, .flags = 0x3},
};
constexpr ElementRow oil_temperature_elements[] = {
    {.kind = kStatic, .bitmap = 2140, .at = {0, 0}, .flags = 0x4003},
    engine_dial(2150, {100, 100}, {36, 13}, 416, "", {{{2, 0}}}, 8,
                {{{1, 489.87, 51, 161},
                  {4, 635.67, 86, 26},
                  {7, 707.67, 148, 155},
                  {8, 761.67, 148, 155}}}),
    {.kind = kStatic, .bitmap = 2160, .at = {0, 0}, .flags = 0x3},
};
constexpr ElementRow cht_elements[] = {
    {.kind = kStatic, .bitmap = 1420, .at = {0, 0}, .flags = 0x4003},
    engine_dial(1430, {151, 230}, {0, 6}, 415, "", {{{2, 0}}}, 7,
                {{{1, 489.87, 42, 120},
                  {3, 671.67, 98, 87},
                  {6, 1139.67, 270, 131},
                  {7, 1391.67, 270, 131}}}),
    {.kind = kStatic, .bitmap = 1440, .at = {0, 0}, .flags = 0x3},
};
constexpr ElementRow carburetor_elements[] = {
    {.kind = kStatic, .bitmap = 3110, .at = {0, 0}, .flags = 0x4003},
    engine_dial(3120, {100, 141}, {0, 3}, 0, "value", {{{2, 0}, {20, 2}}}, 12,
                {{{1, -50, 33, 85},
                  {6, 0, 62, 56},
                  {7, 40, 127, 56},
                  {12, 90, 159, 82}}}),
    {.kind = kStatic, .bitmap = 3130, .at = {0, 0}, .flags = 0x3},
};
constexpr ElementRow fuel_pressure_elements[] = {
    {.kind = kStatic, .bitmap = 2170, .at = {0, 0}, .flags = 0x4003},
    engine_dial(2180, {100, 100}, {36, 13}, 425, "", {{{2, 0}}}, 5,
                {{{1, -20.8791, 64, 166},
                  {3, 626.373, 102, 28},
                  {4, 1252.746, 139, 164},
                  {5, 1461.537, 139, 164}}}),
    {.kind = kStatic, .bitmap = 2190, .at = {0, 0}, .flags = 0x3},
};
constexpr MouseRow manifold_mouse[] = {parent(), help_tooltip(12456),
                                       parent_end(), list_end()};
constexpr MouseRow tachometer_mouse[] = {parent(), help_tooltip(12817),
                                         parent_end(), list_end()};
constexpr MouseRow oil_pressure_mouse[] = {parent(), help_tooltip(12552),
                                           parent_end(), list_end()};
constexpr MouseRow oil_temperature_mouse[] = {parent(), help_tooltip(12528),
                                              parent_end(), list_end()};
constexpr MouseRow cht_mouse[] = {parent(), help_tooltip(12496), parent_end(),
                                  list_end()};
constexpr MouseRow carburetor_mouse[] = {
    parent(),
    text_tooltip("Admission air temperature (%1!d!\xB0"
                 "C)",
                 1),
    parent_end(), list_end()};
constexpr MouseRow fuel_pressure_mouse[] = {
    parent(), text_tooltip("Fuel pressure (%1!d! pz)", 1), parent_end(),
    list_end()};

// --- Fuel quantities (rate-limited needles) and low-fuel lights.
constexpr ElementRow fuel_quantity_elements(int32_t token) {
  return {.kind = kNeedle,
          .bitmap = 2470,
          .at = {150, 150},
          .offset = {14, 18},
          .flags = 0x4083,
          .tokens = {token},
          .numbers = {48},
          .callbacks = "value",
          .failures = {{{20, 1}, {2, 0}}},
          .table_entries = 5,
          .marks = {{{1, -1, 105, 244},
                     {2, 0, 105, 244},
                     {3, 110, 150, 42},
                     {5, 250, 199, 251}}}};
}
constexpr ElementRow fuel_left_elements[] = {
    {.kind = kStatic, .bitmap = 2460, .at = {0, 0}, .flags = 0x4003},
    fuel_quantity_elements(291),
    {.kind = kStatic, .bitmap = 2480, .at = {0, 0}, .flags = 0x3},
};
constexpr ElementRow fuel_right_elements[] = {
    {.kind = kStatic, .bitmap = 2460, .at = {0, 0}, .flags = 0x4003},
    fuel_quantity_elements(297),
    {.kind = kStatic, .bitmap = 2480, .at = {0, 0}, .flags = 0x3},
};
constexpr MouseRow fuel_left_mouse[] = {
    parent(),
    parent({0, 0, 150, 300}),
    text_tooltip("Fuel quantity left (%1!d! liters)", 1),
    parent_end(),
    parent_end(),
    list_end()};
constexpr MouseRow fuel_right_mouse[] = {
    parent(),
    parent({0, 0, 150, 300}),
    text_tooltip("Fuel quantity right (%1!d! liters)", 1),
    parent_end(),
    parent_end(),
    list_end()};
constexpr ElementRow low_fuel_left_elements[] = {
    {.kind = kStatic, .bitmap = 1280, .at = {0, 0}, .flags = 0x3},
    {.kind = kIcon,
     .bitmap = 1290,
     .at = {0, 0},
     .flags = 0x7,
     .tokens = {291},
     .numbers = {1.0, 0, 1},
     .callbacks = "value",
     .failures = {{{20, 3}}}},
};
constexpr ElementRow low_fuel_right_elements[] = {
    {.kind = kStatic, .bitmap = 1280, .at = {0, 0}, .flags = 0x3},
    {.kind = kIcon,
     .bitmap = 1290,
     .at = {0, 0},
     .flags = 0x7,
     .tokens = {297},
     .numbers = {1.0, 0, 1},
     .callbacks = "value",
     .failures = {{{20, 3}}}},
};
constexpr MouseRow low_fuel_left_mouse[] = {
    parent(), text_tooltip("Left tank low level warning light (<20 liters)"),
    parent_end(), list_end()};
constexpr MouseRow low_fuel_right_mouse[] = {
    parent(), text_tooltip("Right tank low level warning light (<20 liters)"),
    parent_end(), list_end()};

// --- Voltmeter, outside-air thermometer, flap indicator.
constexpr ElementRow voltmeter_elements[] = {
    {.kind = kStatic, .bitmap = 2320, .at = {0, 0}, .flags = 0x4003},
    {.kind = kNeedle,
     .bitmap = 2330,
     .at = {127, 173},
     .offset = {0, 5},
     .flags = 0x4083,
     .tokens = {753},
     .callbacks = "value",
     .failures = {{{2, 0}, {20, 2}}},
     .table_entries = 8,
     .marks = {{{1, -1, 45, 96},
                {3, 20, 50, 83},
                {5, 29, 161, 66},
                {8, 40, 205, 93}}}},
    {.kind = kStatic, .bitmap = 2340, .at = {0, 0}, .flags = 0x4003},
    {.kind = kStatic, .bitmap = 2350, .at = {0, 0}, .flags = 0x3},
};
constexpr MouseRow voltmeter_mouse[] = {
    parent(), text_tooltip("Main bus voltage (%1!4.1f! volts)", 1),
    parent_end(), list_end()};
constexpr ElementRow oat_elements[] = {
    {.kind = kStatic, .bitmap = 2200, .at = {0, 0}, .flags = 0x4003},
    {.kind = kNeedle,
     .bitmap = 2210,
     .at = {100, 141},
     .offset = {0, 3},
     .flags = 0x4083,
     .tokens = {341},
     .table_entries = 12,
     .marks = {{{1, -50, 33, 85},
                {2, -40, 33, 85},
                {7, 40, 127, 56},
                {12, 90, 159, 82}}}},
    {.kind = kStatic, .bitmap = 2220, .at = {0, 0}, .flags = 0x3},
};
constexpr MouseRow oat_mouse[] = {
    parent(),
    text_tooltip("Admission air temperature (%1!d!\xB0"
                 "C)",
                 1),
    parent_end(), list_end()};
constexpr ElementRow flaps_indicator_elements[] = {
    {.kind = kStatic, .bitmap = 3030, .at = {0, 0}, .flags = 0x3},
    {.kind = kSlider,
     .bitmap = 3040,
     .at = {3, 20},
     .flags = 0x3,
     .tokens = {0, 329},
     .numbers = {0, 0.00579833984375}},
};
constexpr MouseRow flaps_indicator_mouse[] = {
    parent(), text_tooltip("Flaps position (%1!d!\xB0)", 1), parent_end(),
    list_end()};
constexpr GaugeDetail kDetails[] = {
    {"Kneeboard_Toggle", kneeboard_toggle_elements, kneeboard_toggle_mouse},
    {"ATC_Toggle", atc_toggle_elements, atc_toggle_mouse},
    {"Map_Toggle", map_toggle_elements, map_toggle_mouse},
    {"Invisible_Toggle", invisible_toggle_elements, invisible_toggle_mouse},
    {"Close_Subpanel", close_subpanel_elements, close_subpanel_mouse},
    {"Radios_Toggle", radios_toggle_elements, radios_toggle_mouse},
    {"Landing_View_Toggle", landing_view_toggle_elements,
     landing_view_toggle_mouse},
    {"GPS_Toggle", gps_toggle_elements, gps_toggle_mouse},
    {"Throttle_Toggle", throttle_toggle_elements, throttle_toggle_mouse},
    {"Compass_Toggle", compass_toggle_elements, compass_toggle_mouse},
    {"Fuel_Toggle", fuel_toggle_elements, fuel_toggle_mouse},
    {"Electricity_Toggle", electricity_toggle_elements,
     electricity_toggle_mouse},
    {"Radio_ADF", radio_adf_elements, radio_adf_mouse},
    {"Registration", registration_elements, registration_mouse},
    {"Radio_COM", radio_com_elements, radio_com_mouse},
    {"Radio_NAV1", nav1_elements.rows, nav1_mouse},
    {"Radio_NAV2", nav2_elements.rows, nav2_mouse},
    {"Radio_IFF_XPDR", xpdr_elements, xpdr_mouse},
    {"Airspeed", airspeed_elements, airspeed_mouse},
    {"Altimeter", altimeter_elements, altimeter_mouse},
    {"Vertical_Speed", vertical_speed_elements, vertical_speed_mouse},
    {"Turn_Coordinator", turn_coordinator_elements, turn_coordinator_mouse},
    {"Attitude", attitude_elements, attitude_mouse},
    {"Breguet_Timer", breguet_timer_elements, breguet_timer_mouse},
    {"Battery_Switch", battery_switch_elements.rows, battery_switch_mouse},
    {"Avionics_Switch", avionics_switch_elements.rows, avionics_switch_mouse},
    {"Beacon_Lights_Switch", beacon_switch_elements.rows, beacon_switch_mouse},
    {"Landing_Lights_Switch", landing_switch_elements.rows,
     landing_switch_mouse},
    {"Navigation_Lights_Switch", navigation_switch_elements.rows,
     navigation_switch_mouse},
    {"Panel_Lights_Switch", panel_switch_elements.rows, panel_switch_mouse},
    {"Pitot_Heat_Switch", pitot_switch_elements.rows, pitot_switch_mouse},
    {"Fuel_Pump_Switch", fuel_pump_switch_elements.rows,
     fuel_pump_switch_mouse},
    {"Generator_Switch", generator_switch_elements.rows,
     generator_switch_mouse},
    {"Starter_Switch", starter_switch_elements.rows, starter_switch_mouse},
    {"Generator_Light", generator_light_elements, generator_light_mouse},
    {"Pitot_Heat_Light", pitot_light_elements, pitot_light_mouse},
    {"Magnetos_Switch", magnetos_elements, magnetos_mouse},
    {"Throttle_Control", throttle_elements, throttle_mouse},
    {"Fuel_Oil_Valve", valve_elements, valve_mouse},
    {"Cowl_Flaps_Switch", cowl_flaps_elements.rows, cowl_flaps_mouse},
    {"Flaps_Switch", flaps_elements.rows, flaps_mouse},
    {"Manifold_Pressure", manifold_elements, manifold_mouse},
    {"Tachometer", tachometer_elements, tachometer_mouse},
    {"Oil_Pressure", oil_pressure_elements, oil_pressure_mouse},
    {"Oil_Temperature", oil_temperature_elements, oil_temperature_mouse},
    {"CHT_Indicator", cht_elements, cht_mouse},
    {"Carburetor_Temp", carburetor_elements, carburetor_mouse},
    {"Fuel_Pressure", fuel_pressure_elements, fuel_pressure_mouse},
    {"Fuel_Quantity_Left", fuel_left_elements, fuel_left_mouse},
    {"Fuel_Quantity_Right", fuel_right_elements, fuel_right_mouse},
    {"Low_Fuel_Light_Left", low_fuel_left_elements, low_fuel_left_mouse},
    {"Low_Fuel_Light_Right", low_fuel_right_elements, low_fuel_right_mouse},
    {"Voltmeter", voltmeter_elements, voltmeter_mouse},
    {"OAT_Indicator", oat_elements, oat_mouse},
    {"Flaps_Indicator", flaps_indicator_elements, flaps_indicator_mouse},
    {"Shut_Down", shut_down_elements, shut_down_mouse},
    {"Gyro_Compass", gyro_compass_elements, gyro_compass_mouse},
    {"Whiskey_Compass", whiskey_compass_elements, whiskey_compass_mouse},
    {"ADF_Indicator", adf_indicator_elements, adf_indicator_mouse},
    {"VOR1_Indicator", vor1_indicator_elements, vor1_indicator_mouse},
};

// Element callbacks called for real, through the calling convention the
// simulator uses: `input` is written at `input_offset` of the element (the
// value field of a bound source), the callback in `slot` is called and must
// answer `result`. `services` is the service calls it must make, in order.
struct CallRow {
  const char* gauge;
  int element;  // from 1, in drawing order
  const char* slot;
  uint32_t input_offset;
  double input;
  double result;
  const char* services = "";
};

constexpr uint32_t kSourceValue = 0x3C + 12;
constexpr uint32_t kSliderYValue = 0x68 + 12;
constexpr uint32_t kMovingYValue = 0x70 + 12;
constexpr uint32_t kSpriteYValue = 0x64 + 12;

constexpr CallRow kCalls[] = {
    // The lag filter starts from rest: one update takes 28% of a step.
    {"Vertical_Speed", 2, "value", kSourceValue, 1000, 283.46868942621073},
    {"Attitude", 2, "y", kSpriteYValue, 55, 40},
    {"Attitude", 2, "y", kSpriteYValue, -55, -40},
    {"Attitude", 4, "value", kSourceValue, 1, 0},
    {"Attitude", 4, "value", kSourceValue, 0, -1},
    {"Turn_Coordinator", 2, "y", kSliderYValue, -3, 9},
    {"Turn_Coordinator", 3, "value", kSourceValue, 20, 0},
    {"Turn_Coordinator", 3, "value", kSourceValue, 20.5, -1},
    {"Turn_Coordinator", 4, "value", kSourceValue, 512, 2},
    {"Altimeter", 2, "y", kMovingYValue, 1013.9, 3.9},
    {"Altimeter", 3, "y", kMovingYValue, 1019.5, 15},
    {"Altimeter", 3, "y", kMovingYValue, 1099.5, 95},
    {"Altimeter", 4, "y", kMovingYValue, 1099.5, 50},
    // The stop-watch stopped at load, and the bezel at its first detent.
    {"Breguet_Timer", 5, "value", kSourceValue, 75.4, 0},
    {"Breguet_Timer", 6, "value", kSourceValue, 75.4, 0},
    {"Breguet_Timer", 2, "rotation", kSourceValue, 0, 0},
    {"Generator_Switch", 2, "value", kSourceValue, 0, 0},
    {"Generator_Switch", 2, "value", kSourceValue, -2, 1},
    {"Pitot_Heat_Light", 2, "value", kSourceValue, 1, 0},
    {"Pitot_Heat_Light", 2, "value", kSourceValue, 0, -1},
    // A head switched off at load: main switch at image 0, no power light.
    {"Radio_COM", 3, "value", kSourceValue, 0, 0},
    {"Radio_COM", 5, "value", kSourceValue, 0, -1},
    // NAV1 and the transponder switched off at load: each NAV picture
    // silences the ident, the drums read the variable only through the
    // service (which answers 0), and the lamps are dark.
    {"Radio_NAV1", 9, "value", kSourceValue, 0, 0,
     "trigger_key_event(65832, 0)"},
    {"Radio_NAV1", 10, "value", kSourceValue, 0, 0,
     "trigger_key_event(65832, 0)"},
    {"Radio_NAV2", 10, "value", kSourceValue, 0, 0,
     "trigger_key_event(65833, 0)"},
    {"Radio_NAV1", 11, "value", kSourceValue, 0, -1},
    {"Radio_NAV1", 6, "value", kSourceValue, 0, 0},
    {"Radio_IFF_XPDR", 2, "y", kMovingYValue, 7, 0, "lookup_var(38)"},
    {"Radio_IFF_XPDR", 5, "y", kMovingYValue, 7, 0, "lookup_var(38)"},
    {"Radio_IFF_XPDR", 7, "value", kSourceValue, 0, -1},
    {"Radio_IFF_XPDR", 8, "value", kSourceValue, 0, 0},
};

// ---------------------------------------------------------------------------
// The records' layout, by byte offset.

constexpr uint32_t kGaugeHeaderSize = 144;
constexpr uint32_t kElementHeaderSize = 60;
constexpr uint32_t kModuleVarSize = 28;
constexpr uint32_t kNonlinearityEntrySize = 24;
constexpr uint32_t kMouseRectSize = 44;
constexpr uint32_t kTooltipArgSize = 72;

enum class Type { kI32, kU32, kF64, kF32 };

struct Field {
  const char* name = nullptr;
  uint32_t offset = 0;
  Type type = Type::kI32;
};

struct Range {
  uint32_t offset = 0;
  uint32_t length = 0;
};

// Source records are the bound ModuleVars (their token is module-set, the
// rest belongs to the host); `numbers` are compared with a row's numbers;
// `other` are further module-set bytes. Every byte of an element not named
// here or in the common header must be zero in the module.
struct KindLayout {
  const char* name;
  uint32_t size;
  std::array<Field, 3> sources;
  std::array<Field, 6> numbers;
  std::array<Field, 3> callbacks;
  std::array<Range, 3> other;
};

constexpr KindLayout kKinds[] = {
    {"static image", 96, {}, {}, {}, {}},
    {"needle",
     236,
     {{{"source", 0x3C}}},
     {{{"turn rate", 0x78, Type::kI32}}},
     {{{"value", 0xE0}}},
     {{{0x70, 8}}}},
    {"string",
     324,
     {{{"source 1", 0x3C}, {"source 2", 0x58}, {"source 3", 0x74}}},
     {{{"box width", 0xC0, Type::kI32},
       {"box height", 0xC4, Type::kI32},
       {"font weight", 0x118, Type::kI32},
       {"character set", 0x11C, Type::kI32},
       {"text flags", 0x120, Type::kU32},
       {"characters", 0x124, Type::kI32}}},
     {{{"value", 0x138}}},
     {{{0xD0, 12}, {0xF8, 32}}}},
    {"slider",
     192,
     {{{"x source", 0x3C}, {"y source", 0x68}}},
     {{{"x scale", 0x5C, Type::kF64}, {"y scale", 0x88, Type::kF64}}},
     {{{"x", 0xA8}, {"y", 0xAC}}},
     {}},
    {"icon",
     140,
     {{{"source", 0x3C}}},
     {{{"scale", 0x64, Type::kF64},
       {"offset", 0x6C, Type::kI32},
       {"icons", 0x70, Type::kI32}}},
     {{{"value", 0x84}}},
     {}},
    {"moving image",
     268,
     {{{"x source", 0x3C}, {"y source", 0x70}}},
     {{{"x min", 0x5C, Type::kF64},
       {"x max", 0x64, Type::kF64},
       {"y min", 0x90, Type::kF64},
       {"y max", 0x98, Type::kF64}}},
     {{{"x", 0xF4}, {"y", 0xF8}}},
     {}},
    {"sprite",
     352,
     {{{"x source", 0x3C}, {"y source", 0x64}, {"rotation source", 0x8C}}},
     {{{"x scale", 0x5C, Type::kF64},
       {"y scale", 0x84, Type::kF64},
       {"rotation scale", 0xAC, Type::kF64},
       {"texture scale x", 0xB4, Type::kF32},
       {"texture scale y", 0xB8, Type::kF32}}},
     {{{"x", 0x13C}, {"y", 0x140}, {"rotation", 0x144}}},
     {}},
};
static_assert(std::size(kKinds) == 7);

// Module-set words of the common element header: kind, bitmap, position,
// offset, gauge, next elements, failure list, image flags.
constexpr Range kHeaderFields[] = {{0x00, 16}, {0x18, 12}, {0x28, 12}};

constexpr int32_t kFailureKeys[] = {2,  3,  4,  5,  6,  7,  8,  9,
                                    12, 14, 15, 17, 18, 19, 20, 21};
constexpr uint32_t kImageFlagSets[] = {0x3, 0x7, 0x83, 0x4003, 0x4083};

// Bounds that stop a walk through a broken record from running away.
constexpr int kMaxElements = 32;
constexpr int kMaxFailures = 8;
constexpr int kMaxTableEntries = 64;
constexpr int kMaxMouseRects = 64;

// ---------------------------------------------------------------------------
// Reading the loaded module.

using Address = const uint8_t*;

struct Image {
  Address begin = nullptr;
  Address end = nullptr;

  bool holds(Address p, uint32_t bytes) const {
    return p != nullptr && p >= begin && p <= end &&
           bytes <= static_cast<size_t>(end - p);
  }
};

Image image;

uint32_t u32(Address base, uint32_t offset) {
  uint32_t v;
  std::memcpy(&v, base + offset, sizeof v);
  return v;
}
int32_t i32(Address base, uint32_t offset) {
  return static_cast<int32_t>(u32(base, offset));
}
double f64(Address base, uint32_t offset) {
  double v;
  std::memcpy(&v, base + offset, sizeof v);
  return v;
}
float f32(Address base, uint32_t offset) {
  float v;
  std::memcpy(&v, base + offset, sizeof v);
  return v;
}
Address ptr(Address base, uint32_t offset) {
  return reinterpret_cast<Address>(static_cast<uintptr_t>(u32(base, offset)));
}

// ---------------------------------------------------------------------------
// Reporting.

int passed = 0;
int failed = 0;

bool expect(bool ok, const std::string& what, const std::string& detail) {
  if (ok) {
    ++passed;
  } else {
    ++failed;
    std::printf("FAIL %s: %s\n", what.c_str(), detail.c_str());
  }
  return ok;
}

std::string hex(uint32_t v) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(v));
  return text;
}

std::string number(double v) {
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", v);
  return text;
}

bool expect_eq(const std::string& what, int64_t got, int64_t expected) {
  return expect(got == expected, what,
                std::to_string(got) + ", expected " + std::to_string(expected));
}

bool expect_hex(const std::string& what, uint32_t got, uint32_t expected) {
  return expect(got == expected, what,
                hex(got) + ", expected " + hex(expected));
}

bool expect_double(const std::string& what, double got, double expected) {
  return expect(got == expected, what,
                number(got) + ", expected " + number(expected));
}

// A pointer the module holds must point into the module.
bool expect_in_image(const std::string& what, Address p, uint32_t bytes) {
  return expect(image.holds(p, bytes), what,
                hex(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p))) +
                    " is not inside the module");
}

bool expect_zero_bytes(const std::string& what, Address base, uint32_t size,
                       std::span<const Range> set) {
  std::vector<bool> module_set(size, false);
  for (const Range& r : set)
    for (uint32_t i = r.offset; i < r.offset + r.length && i < size; ++i)
      module_set[i] = true;
  for (uint32_t i = 0; i < size; ++i) {
    if (!module_set[i] && base[i] != 0)
      return expect(false, what,
                    "host-owned byte " + hex(i) + " is " + hex(base[i]) +
                        ", expected zero");
  }
  return expect(true, what, "");
}

bool names_slot(const char* list, const char* slot) {
  const size_t length = std::strlen(slot);
  for (const char* p = list; (p = std::strstr(p, slot)) != nullptr;
       p += length) {
    const bool starts = p == list || p[-1] == ' ';
    const bool ends = p[length] == '\0' || p[length] == ' ';
    if (starts && ends) return true;
  }
  return false;
}

// ---------------------------------------------------------------------------
// Checks.

struct Element {
  Address at;
  uint32_t kind;
};

struct FoundGauge {
  Address header;
  std::string name;
  const GaugeRow* row;
  std::vector<Element> elements;
  std::vector<Address> mouse;
};

const GaugeRow* table_row(const std::string& name, int* index) {
  for (int i = 0; i < kGaugeCount; ++i) {
    if (name == kGaugeTable[i].name) {
      *index = i;
      return &kGaugeTable[i];
    }
  }
  return nullptr;
}

// The one-entry list that holds an element sits right behind the element;
// returns the element, or null when the list is broken.
Address element_of_list(const std::string& what, Address list, uint32_t* kind) {
  if (!expect_in_image(what + " list", list, 8)) return nullptr;
  const Address element = ptr(list, 0);
  if (!expect_in_image(what, element, kElementHeaderSize)) return nullptr;
  *kind = u32(element, 0);
  if (!expect(*kind < std::size(kKinds), what + " kind",
              std::to_string(*kind) + " is not an element kind"))
    return nullptr;
  const uint32_t size = kKinds[*kind].size;
  expect(ptr(list, 4) == nullptr, what + " list",
         "holds more than one element");
  expect(list == element + size, what + " list",
         "does not sit directly after its " + std::string(kKinds[*kind].name) +
             " (" + std::to_string(list - element) + " bytes after, expected " +
             std::to_string(size) + ")");
  return element;
}

void check_failure_list(const std::string& what, Address list) {
  if (list == nullptr) return;
  if (!expect_in_image(what, list, 12)) return;
  for (int i = 0; i < kMaxFailures; ++i) {
    if (!image.holds(list + 12 * i, 12)) break;
    const int32_t key = i32(list, 12 * i);
    if (key == 0) return;
    bool known = false;
    for (int32_t k : kFailureKeys) known = known || k == key;
    const int32_t action = i32(list, 12 * i + 4);
    expect(known && action >= 0 && action <= 3 && i32(list, 12 * i + 8) == 0,
           what,
           "entry {" + std::to_string(key) + ", " + std::to_string(action) +
               ", " + std::to_string(i32(list, 12 * i + 8)) + "} is not valid");
  }
  expect(false, what, "no end entry");
}

void check_element(const std::string& what, const FoundGauge& gauge,
                   Element e) {
  const KindLayout& layout = kKinds[e.kind];
  if (!expect_in_image(what, e.at, layout.size)) return;
  expect(ptr(e.at, 0x20) == gauge.header, what + " gauge",
         "does not link back to its gauge header");
  const uint32_t flags = u32(e.at, 0x30);
  bool known_flags = false;
  for (uint32_t set : kImageFlagSets) known_flags = known_flags || set == flags;
  expect(known_flags, what + " image flags",
         hex(flags) + " is not a set of flags the module declares");
  check_failure_list(what + " failure list", ptr(e.at, 0x2C));
  for (const Field& f : layout.callbacks) {
    const Address callback = f.name ? ptr(e.at, f.offset) : nullptr;
    if (callback)
      expect_in_image(what + " " + f.name + " callback", callback, 1);
  }
  if (e.kind == kNeedle) {
    const Address table = ptr(e.at, 0x70);
    const int32_t entries = i32(e.at, 0x74);
    if (expect(entries > 0 && entries <= kMaxTableEntries,
               what + " table entries", std::to_string(entries)) &&
        expect_in_image(what + " table", table,
                        entries * kNonlinearityEntrySize)) {
      for (int i = 0; i < entries; ++i)
        expect(f64(table, i * kNonlinearityEntrySize + 16) == 0.0,
               what + " table entry " + std::to_string(i + 1) + " angle",
               "is set in the module; the host fills it");
    }
  }
  std::vector<Range> set(std::begin(kHeaderFields), std::end(kHeaderFields));
  for (const Field& f : layout.sources)
    if (f.name) set.push_back({f.offset, 4});
  for (const Field& f : layout.numbers)
    if (f.name) set.push_back({f.offset, f.type == Type::kF64 ? 8u : 4u});
  for (const Field& f : layout.callbacks)
    if (f.name) set.push_back({f.offset, 4});
  for (const Range& r : layout.other) set.push_back(r);
  expect_zero_bytes(what, e.at, layout.size, set);
}

void check_mouse_structure(const std::string& name, const FoundGauge& gauge) {
  const std::vector<Address>& rects = gauge.mouse;
  if (rects.empty()) return;
  expect(u32(rects[0], 0) == kAreaParent && u32(rects[0], 4) == 0 &&
             u32(rects[0], 8) == 0 && u32(rects[0], 12) == 0 &&
             u32(rects[0], 16) == 0,
         name + " mouse area 1", "is not a parent covering the whole gauge");
  std::vector<Address> open;
  int children = 0;
  for (size_t i = 0; i < rects.size(); ++i) {
    const Address r = rects[i];
    const std::string what = name + " mouse area " + std::to_string(i + 1);
    const uint32_t kind = u32(r, 0);
    const Address callback = ptr(r, 0x24);
    const Address extra = ptr(r, 0x28);
    switch (kind) {
      case kAreaParent:
        open.push_back(r);
        break;
      case kAreaEndParent:
        if (!expect(!open.empty(), what, "ends a parent that is not open"))
          return;
        open.pop_back();
        if (open.empty())
          expect(i + 2 == rects.size(), what,
                 "the outer parent ends before the end of the list");
        break;
      case kAreaEnd:
        expect(open.empty(), what, "the list ends inside a parent");
        break;
      case kAreaChild: {
        ++children;
        expect(!open.empty(), what, "a child outside every parent");
        const uint32_t event = u32(r, 0x20);
        expect((event != 0) != (callback != nullptr), what,
               "needs exactly one of an event and a mouse callback");
        if (callback) expect_in_image(what + " callback", callback, 1);
        expect(u32(r, 0x1C) != 0, what, "answers no click");
        expect(extra == nullptr, what, "carries tooltip arguments");
        if (!open.empty() && (i32(open.back(), 12) | i32(open.back(), 16))) {
          const Address p = open.back();
          const bool inside =
              i32(r, 4) >= i32(p, 4) && i32(r, 8) >= i32(p, 8) &&
              i32(r, 4) + i32(r, 12) <= i32(p, 4) + i32(p, 12) &&
              i32(r, 8) + i32(r, 16) <= i32(p, 8) + i32(p, 16);
          expect(inside, what, "box lies outside its parent's box");
        }
        break;
      }
      case kAreaTooltip: {
        expect(!open.empty(), what, "a tooltip outside every parent");
        const bool plain = u32(r, 4) == 0 && u32(r, 8) == 0 &&
                           u32(r, 12) == 0 && u32(r, 16) == 0 &&
                           i32(r, 0x14) == -1 && u32(r, 0x1C) == 0;
        expect(plain, what, "a tooltip has a box, a cursor or mouse flags");
        const uint32_t help = u32(r, 0x18);
        const uint32_t arguments = u32(r, 0x20);
        if (help != 0) {
          expect(callback == nullptr && extra == nullptr && arguments == 0,
                 what, "a host-text tooltip also carries a text of its own");
          break;
        }
        if (!expect_in_image(what + " text", callback, 1)) break;
        if (!expect(arguments <= 3, what + " arguments",
                    std::to_string(arguments)))
          break;
        if (arguments == 0) {
          expect(extra == nullptr, what, "arguments without a count");
          break;
        }
        if (!expect_in_image(what + " arguments", extra,
                             arguments * kTooltipArgSize))
          break;
        for (uint32_t a = 0; a < arguments; ++a) {
          const Address arg = extra + a * kTooltipArgSize;
          const std::string arg_what =
              what + " argument " + std::to_string(a + 1);
          const bool number = ptr(arg, 0x3C) != nullptr;
          const bool text = ptr(arg, 0x44) != nullptr;
          expect(number != text, arg_what,
                 "needs exactly one of a number and a text callback");
          expect_zero_bytes(arg_what, arg, kTooltipArgSize,
                            std::array<Range, 2>{{{0x3C, 4}, {0x44, 4}}});
        }
        break;
      }
      default:
        expect(false, what, std::to_string(kind) + " is not a mouse area kind");
        return;
    }
  }
  if (gauge.row)
    expect_eq(name + " clickable areas", children, gauge.row->clickable);
}

void check_gauge(FoundGauge& gauge) {
  const std::string& name = gauge.name;
  const Address h = gauge.header;
  expect_hex(name + " version", u32(h, 0x00), 0x320);
  if (gauge.row) {
    expect_eq(name + " default width", u32(h, 0x2C), gauge.row->width_mm);
    const bool callback = gauge.row->notices != nullptr;
    expect(callback == (ptr(h, 0x54) != nullptr), name + " gauge callback",
           callback ? "missing" : "present, none expected");
  }
  if (ptr(h, 0x54)) expect_in_image(name + " gauge callback", ptr(h, 0x54), 1);
  expect_eq(name + " user word", u32(h, 0x58), 0);
  expect(ptr(h, 0x5C) == nullptr, name + " parameter text",
         "set in the module; the host stores it");
  expect_zero_bytes(name + " header", h, kGaugeHeaderSize,
                    std::array<Range, 3>{{{0x00, 12}, {0x2C, 4}, {0x50, 12}}});

  Address list = ptr(h, 0x08);
  std::array<int, 7> kinds{};
  while (list != nullptr) {
    const std::string what =
        name + " element " + std::to_string(gauge.elements.size() + 1);
    if (!expect(gauge.elements.size() < kMaxElements, name + " elements",
                "the chain does not end"))
      break;
    uint32_t kind = 0;
    const Address element = element_of_list(what, list, &kind);
    if (element == nullptr) break;
    gauge.elements.push_back({element, kind});
    ++kinds[kind];
    check_element(what + " (" + kKinds[kind].name + ")", gauge,
                  gauge.elements.back());
    list = ptr(element, 0x28);
  }
  if (expect(!gauge.elements.empty(), name + " elements", "none")) {
    expect(gauge.elements[0].kind == kStatic, name + " element 1",
           "the root is not a static image");
  }
  if (gauge.row) {
    for (uint32_t k = 0; k < 7; ++k)
      expect_eq(name + " " + kKinds[k].name + " elements", kinds[k],
                gauge.row->kinds[k]);
  }

  const Address rect = ptr(h, 0x50);
  if (expect_in_image(name + " mouse areas", rect, kMouseRectSize)) {
    for (int i = 0; i < kMaxMouseRects; ++i) {
      const Address r = rect + i * kMouseRectSize;
      if (!expect_in_image(name + " mouse areas", r, kMouseRectSize)) break;
      gauge.mouse.push_back(r);
      if (u32(r, 0) == kAreaEnd) break;
    }
    expect(u32(gauge.mouse.back(), 0) == kAreaEnd, name + " mouse areas",
           "the list does not end");
    check_mouse_structure(name, gauge);
  }
}

void check_detail(const GaugeDetail& detail, const FoundGauge& gauge) {
  const std::string& name = gauge.name;
  expect_eq(name + " element count", gauge.elements.size(),
            detail.elements.size());
  for (size_t i = 0; i < detail.elements.size() && i < gauge.elements.size();
       ++i) {
    const ElementRow& row = detail.elements[i];
    const Address e = gauge.elements[i].at;
    const uint32_t kind = gauge.elements[i].kind;
    std::string what = name + " element " + std::to_string(i + 1);
    if (!expect_eq(what + " kind", kind, row.kind)) continue;
    const KindLayout& layout = kKinds[kind];
    what += " (" + std::string(layout.name) + ")";
    expect_eq(what + " bitmap", i32(e, 0x04), row.bitmap);
    expect(i32(e, 0x08) == row.at.x && i32(e, 0x0C) == row.at.y,
           what + " position",
           "(" + std::to_string(i32(e, 0x08)) + "," +
               std::to_string(i32(e, 0x0C)) + "), expected (" +
               std::to_string(row.at.x) + "," + std::to_string(row.at.y) + ")");
    expect(i32(e, 0x18) == row.offset.x && i32(e, 0x1C) == row.offset.y,
           what + " offset",
           "(" + std::to_string(i32(e, 0x18)) + "," +
               std::to_string(i32(e, 0x1C)) + "), expected (" +
               std::to_string(row.offset.x) + "," +
               std::to_string(row.offset.y) + ")");
    expect_hex(what + " image flags", u32(e, 0x30), row.flags);
    for (size_t s = 0; s < layout.sources.size(); ++s) {
      const Field& f = layout.sources[s];
      if (f.name)
        expect_eq(what + " " + f.name + " token", i32(e, f.offset),
                  row.tokens[s]);
    }
    for (size_t n = 0; n < layout.numbers.size(); ++n) {
      const Field& f = layout.numbers[n];
      if (!f.name) continue;
      const std::string field = what + " " + f.name;
      switch (f.type) {
        case Type::kF64:
          expect_double(field, f64(e, f.offset), row.numbers[n]);
          break;
        case Type::kF32:
          expect_double(field, f32(e, f.offset),
                        static_cast<float>(row.numbers[n]));
          break;
        case Type::kI32:
          expect_eq(field, i32(e, f.offset),
                    static_cast<int32_t>(row.numbers[n]));
          break;
        case Type::kU32:
          expect_hex(field, u32(e, f.offset),
                     static_cast<uint32_t>(row.numbers[n]));
          break;
      }
    }
    for (const Field& f : layout.callbacks) {
      if (!f.name) continue;
      const bool expected = names_slot(row.callbacks, f.name);
      expect(expected == (ptr(e, f.offset) != nullptr),
             what + " " + f.name + " callback",
             expected ? "missing" : "present, none expected");
    }
    const Address failures = ptr(e, 0x2C);
    int expected_failures = 0;
    while (expected_failures < 4 && row.failures[expected_failures].key != 0)
      ++expected_failures;
    if (expected_failures == 0) {
      expect(failures == nullptr, what + " failure list",
             "present, none expected");
    } else if (expect_in_image(what + " failure list", failures,
                               12 * (expected_failures + 1))) {
      for (int f = 0; f <= expected_failures; ++f) {
        const Failure want =
            f < expected_failures ? row.failures[f] : Failure{0, 0};
        expect(i32(failures, 12 * f) == want.key &&
                   i32(failures, 12 * f + 4) == want.action,
               what + " failure entry " + std::to_string(f + 1),
               "{" + std::to_string(i32(failures, 12 * f)) + ", " +
                   std::to_string(i32(failures, 12 * f + 4)) + "}, expected {" +
                   std::to_string(want.key) + ", " +
                   std::to_string(want.action) + "}");
      }
    }
    if (kind != kNeedle) continue;
    if (!expect_eq(what + " table entries", i32(e, 0x74), row.table_entries))
      continue;
    const Address table = ptr(e, 0x70);
    if (!image.holds(table, row.table_entries * kNonlinearityEntrySize))
      continue;
    for (const Mark& m : row.marks) {
      if (m.entry == 0) continue;
      const Address entry = table + (m.entry - 1) * kNonlinearityEntrySize;
      const std::string at = what + " table entry " + std::to_string(m.entry);
      expect_double(at + " value", f64(entry, 8), m.value);
      expect(i32(entry, 0) == m.x && i32(entry, 4) == m.y, at + " point",
             "(" + std::to_string(i32(entry, 0)) + "," +
                 std::to_string(i32(entry, 4)) + "), expected (" +
                 std::to_string(m.x) + "," + std::to_string(m.y) + ")");
    }
  }

  expect_eq(name + " mouse area count", gauge.mouse.size(),
            detail.mouse.size());
  for (size_t i = 0; i < detail.mouse.size() && i < gauge.mouse.size(); ++i) {
    const MouseRow& row = detail.mouse[i];
    const Address r = gauge.mouse[i];
    const std::string what = name + " mouse area " + std::to_string(i + 1);
    if (!expect_eq(what + " kind", u32(r, 0), row.kind)) continue;
    if (row.kind == kAreaEnd || row.kind == kAreaEndParent) continue;
    const Box box{i32(r, 4), i32(r, 8), i32(r, 12), i32(r, 16)};
    expect(box.x == row.box.x && box.y == row.box.y &&
               box.width == row.box.width && box.height == row.box.height,
           what + " box",
           "(" + std::to_string(box.x) + "," + std::to_string(box.y) + "," +
               std::to_string(box.width) + "," + std::to_string(box.height) +
               "), expected (" + std::to_string(row.box.x) + "," +
               std::to_string(row.box.y) + "," + std::to_string(row.box.width) +
               "," + std::to_string(row.box.height) + ")");
    expect_eq(what + " cursor", i32(r, 0x14), row.cursor);
    expect_eq(what + " help identifier", u32(r, 0x18), row.help);
    expect_hex(what + " mouse flags", u32(r, 0x1C), row.flags);
    expect_eq(what + (row.kind == kAreaTooltip ? " arguments" : " event"),
              u32(r, 0x20), row.event);
    const Address text_or_callback = ptr(r, 0x24);
    if (row.kind == kAreaTooltip && row.text) {
      if (expect_in_image(what + " text", text_or_callback, 1)) {
        const char* text = reinterpret_cast<const char*>(text_or_callback);
        const size_t room = static_cast<size_t>(image.end - text_or_callback);
        expect(strnlen(text, room) < room && std::strcmp(text, row.text) == 0,
               what + " text",
               "\"" + std::string(text, strnlen(text, room)) +
                   "\", expected \"" + row.text + "\"");
      }
    } else if (row.kind == kAreaChild) {
      expect(row.callback == (text_or_callback != nullptr),
             what + " mouse callback",
             row.callback ? "missing" : "present, none expected");
    }
  }
}

// ---------------------------------------------------------------------------
// The simulator's side: a service table that records what the module asks.

std::string service_log;

void log_service(const std::string& call) {
  if (!service_log.empty()) service_log += "; ";
  service_log += call;
}

int32_t CALLED_BY_MODULE panel_window_toggle(uint32_t window) {
  log_service("panel_window_toggle(" + std::to_string(window) + ")");
  return 0;
}
int32_t CALLED_BY_MODULE trigger_key_event(uint32_t event, uint32_t value) {
  log_service("trigger_key_event(" + std::to_string(event) + ", " +
              std::to_string(value) + ")");
  return 0;
}
void CALLED_BY_MODULE lookup_var(void* var) {
  int32_t token;
  std::memcpy(&token, var, sizeof token);
  log_service("lookup_var(" + std::to_string(token) + ")");
  std::memset(static_cast<uint8_t*>(var) + 12, 0, 8);
}
int32_t CALLED_BY_MODULE execute_calculator_code(const char* expression,
                                                 double* number_result,
                                                 int32_t*,
                                                 const char** text_result) {
  log_service(std::string("execute_calculator_code(") + expression + ")");
  if (number_result != nullptr) *number_result = 0.0;
  if (text_result != nullptr) *text_result = "N-CORV";
  return 0;
}

// Every other entry records its number, so that a call through an entry the
// module should not use shows up instead of jumping to nowhere.
template <int kEntry>
void CALLED_BY_MODULE unused_service() {
  log_service("service " + std::to_string(kEntry));
}

constexpr int kServiceCount = 80;

template <int... kEntries>
std::array<void*, kServiceCount> unused_services(
    std::integer_sequence<int, kEntries...>) {
  return {reinterpret_cast<void*>(&unused_service<kEntries>)...};
}

std::array<void*, kServiceCount> services = [] {
  auto table =
      unused_services(std::make_integer_sequence<int, kServiceCount>());
  table[35] = reinterpret_cast<void*>(&panel_window_toggle);
  table[36] = reinterpret_cast<void*>(&trigger_key_event);
  table[40] = reinterpret_cast<void*>(&lookup_var);
  table[69] = reinterpret_cast<void*>(&execute_calculator_code);
  return table;
}();

using ModuleRoutine = void(MODULE_CALL*)();
using ElementCallback = double(MODULE_CALL*)(const void* element);

void check_call(const CallRow& call, const std::vector<FoundGauge>& gauges) {
  std::string what = std::string(call.gauge) + " element " +
                     std::to_string(call.element) + " " + call.slot +
                     " callback at " + number(call.input);
  const FoundGauge* gauge = nullptr;
  for (const FoundGauge& g : gauges)
    if (g.name == call.gauge) gauge = &g;
  if (!expect(gauge != nullptr, what, "gauge not found")) return;
  if (!expect(call.element >= 1 &&
                  static_cast<size_t>(call.element) <= gauge->elements.size(),
              what, "no such element"))
    return;
  const Element e = gauge->elements[call.element - 1];
  Address slot = nullptr;
  for (const Field& f : kKinds[e.kind].callbacks)
    if (f.name && std::strcmp(f.name, call.slot) == 0)
      slot = ptr(e.at, f.offset);
  if (!expect_in_image(what, slot, 1)) return;

  // The records are the module's writable data, as they are for the host.
  uint8_t* input = const_cast<uint8_t*>(e.at) + call.input_offset;
  uint8_t saved[8];
  std::memcpy(saved, input, sizeof saved);
  std::memcpy(input, &call.input, sizeof call.input);
  service_log.clear();
  const auto callback =
      reinterpret_cast<ElementCallback>(reinterpret_cast<uintptr_t>(slot));
  const double result = callback(e.at);
  std::memcpy(input, saved, sizeof saved);
  expect(std::fabs(result - call.result) <=
             1e-9 * std::fmax(1.0, std::fabs(call.result)),
         what, number(result) + ", expected " + number(call.result));
  expect(service_log == call.services, what + " services",
         "\"" + service_log + "\", expected \"" + call.services + "\"");
}

// ---------------------------------------------------------------------------
// Installing, updating and killing every gauge: which host notices its gauge
// callback acts on, and which recording its install loads. The module's own
// imports of FindResourceA and DirectSoundCreate go through recorders that
// then call the real functions, so the sound engine runs on the platform's
// DirectSound as it does in the simulator.

void hook_imports(const ModuleImage& module) {
  for (const WatchedImport& watched : watch_imports(module))
    expect_eq(std::string("module imports ") + watched.name, watched.slots, 1);
}

std::vector<Span> writable_spans;

void find_writable_spans(const ModuleImage& module) {
  writable_spans = module_writable_spans(module);
  expect(!writable_spans.empty(), "module sections", "none is writable");
}

std::vector<uint8_t> writable_copy() {
  std::vector<uint8_t> copy;
  for (const Span& s : writable_spans)
    copy.insert(copy.end(), s.at, s.at + s.bytes);
  return copy;
}

// The install notice first, every notice the module must ignore, then the
// shut-down notice and the kill notice last, as the host removes a gauge.
constexpr int32_t kNoticeOrder[] = {2,  0,  1,  3,  4,  5,  6,  7,  8,  9, 10,
                                    11, 13, 15, 16, 17, 18, 19, 20, 14, 12};

// Parameter texts that make an install do visible work: a toggle closes a
// window, changes its face and its help; the plate sets its font and colour.
struct ParameterRow {
  const char* gauge;
  const char* text;
};
constexpr ParameterRow kParameters[] = {
    {"Invisible_Toggle", "a1b150h43913"},
    {"Close_Subpanel", "a1b150h43913"},
    {"Radios_Toggle", "a1b150h43913"},
    {"Landing_View_Toggle", "a1b150h43913"},
    {"GPS_Toggle", "a1b150h43913"},
    {"Throttle_Toggle", "a1b150h43913"},
    {"Compass_Toggle", "a1b150h43913"},
    {"Fuel_Toggle", "a1b150h43913"},
    {"Electricity_Toggle", "a1b150h43913"},
    {"Registration", "r250g236b170fArial"},
};

// A row to check in place of a gauge's own notices and recording, to show
// that a wrong row fails.
GaugeRow replaced_row = {"", 0, nullptr, {}, 0, 0};

using GaugeCallback = void(MODULE_CALL*)(const void* gauge, int32_t notice,
                                         void* extra);

std::string joined(const std::vector<int>& numbers) {
  std::string text;
  for (int n : numbers) text += (text.empty() ? "" : ", ") + std::to_string(n);
  return text;
}

void check_notices(const FoundGauge& gauge, void* module,
                   const GaugeRow& expected) {
  const Address slot = ptr(gauge.header, 0x54);
  if (slot == nullptr || expected.notices == nullptr) return;
  const auto callback =
      reinterpret_cast<GaugeCallback>(reinterpret_cast<uintptr_t>(slot));
  char parameters[64] = "";
  for (const ParameterRow& row : kParameters)
    if (gauge.name == row.gauge)
      std::snprintf(parameters, sizeof parameters, "%s", row.text);
  char* const parameter_slot =
      reinterpret_cast<char*>(const_cast<uint8_t*>(gauge.header) + 0x5C);
  char* const parameter_text = parameters[0] != '\0' ? parameters : nullptr;
  std::memcpy(parameter_slot, &parameter_text, 4);

  std::vector<int> acted;
  std::vector<int> installed_waves;
  for (int32_t notice : kNoticeOrder) {
    service_log.clear();
    import_watch = {};
    const std::vector<uint8_t> before = writable_copy();
    callback(gauge.header, notice, module);
    if (!service_log.empty() || import_watch.calls != 0 ||
        writable_copy() != before)
      acted.push_back(notice);
    if (notice == 2)
      installed_waves = import_watch.waves_asked;
    else
      expect(import_watch.waves_asked.empty(),
             gauge.name + " notice " + std::to_string(notice),
             "asked for WAVE " + joined(import_watch.waves_asked));
  }
  std::memset(parameter_slot, 0, 4);

  std::sort(acted.begin(), acted.end());
  expect(joined(acted) == expected.notices, gauge.name + " notices",
         "acts on " + (acted.empty() ? std::string("none") : joined(acted)) +
             ", expected " + expected.notices);
  const std::vector<int> wanted = expected.recording != 0
                                      ? std::vector<int>{expected.recording}
                                      : std::vector<int>{};
  expect(installed_waves == wanted, gauge.name + " recording",
         "install loads " +
             (installed_waves.empty() ? std::string("none")
                                      : joined(installed_waves)) +
             ", expected " +
             (wanted.empty() ? std::string("none") : joined(wanted)));
}

int run(const char* path, bool list_only) {
  ModuleImage module;
  std::string error;
  if (!expect(open_module(path, module, error), std::string("load ") + path,
              error))
    return 1;
  image.begin = module.begin;
  image.end = module.end;
  hook_imports(module);
  find_writable_spans(module);

  const Address import_table = module_export(module, "ImportTable");
  const Address linkage = module_export(module, "Linkage");
  const bool found =
      expect_in_image("ImportTable export", import_table, 16) &
      expect_in_image("Linkage export", linkage, 0x18 + 4 * (kGaugeCount + 1));
  if (!found) return 1;

  expect_hex("ImportTable entry 0 identifier", u32(import_table, 0), 0x0F);
  expect(ptr(import_table, 4) == nullptr, "ImportTable entry 0 pointer",
         "set before the host stores its service table");
  expect_hex("ImportTable entry 1 identifier", u32(import_table, 8), 0);
  expect(ptr(import_table, 12) == nullptr, "ImportTable entry 1 pointer",
         "not null");
  void* const table_address = services.data();
  std::memcpy(const_cast<uint8_t*>(import_table) + 4, &table_address, 4);

  expect_hex("Linkage module identifier", u32(linkage, 0x00), 0x13);
  expect_hex("Linkage flags", u32(linkage, 0x0C), 0);
  expect_hex("Linkage module status", u32(linkage, 0x10), 0);
  expect_hex("Linkage module version", u32(linkage, 0x14), 0x900);
  const Address init = ptr(linkage, 0x04);
  const Address deinit = ptr(linkage, 0x08);
  const bool routines = expect_in_image("Linkage init routine", init, 1) &
                        expect_in_image("Linkage deinit routine", deinit, 1);

  std::vector<FoundGauge> gauges;
  int last_index = -1;
  for (int i = 0; i <= kGaugeCount; ++i) {
    const Address header = ptr(linkage, 0x18 + 4 * i);
    if (header == nullptr) break;
    const std::string slot = "gauge table slot " + std::to_string(i + 1);
    if (!expect(i < kGaugeCount, slot, "the table holds more than 60 gauges"))
      break;
    if (!expect_in_image(slot, header, kGaugeHeaderSize)) continue;
    const Address name = ptr(header, 0x04);
    if (!expect_in_image(slot + " name", name, 1)) continue;
    const size_t room = static_cast<size_t>(image.end - name);
    const char* text = reinterpret_cast<const char*>(name);
    FoundGauge gauge{
        header, std::string(text, strnlen(text, room)), nullptr, {}, {}};
    int index = -1;
    gauge.row = table_row(gauge.name, &index);
    expect(gauge.row != nullptr, slot,
           "\"" + gauge.name + "\" is not a gauge of the module");
    for (const FoundGauge& other : gauges)
      expect(other.name != gauge.name, slot,
             "\"" + gauge.name + "\" is in the table twice");
    if (gauge.row) {
      expect(index > last_index, slot,
             "\"" + gauge.name + "\" is out of table order");
      last_index = index;
    }
    gauges.push_back(std::move(gauge));
  }

  for (FoundGauge& gauge : gauges) check_gauge(gauge);

  if (list_only) {
    for (size_t i = 0; i < gauges.size(); ++i)
      std::printf("%2zu  %-26s %3u mm  %2zu elements  %2zu mouse areas\n",
                  i + 1, gauges[i].name.c_str(), u32(gauges[i].header, 0x2C),
                  gauges[i].elements.size(), gauges[i].mouse.size());
    std::printf("%zu of %d gauges\n", gauges.size(), kGaugeCount);
    return failed == 0 ? 0 : 1;
  }

  for (const GaugeDetail& detail : kDetails) {
    const FoundGauge* gauge = nullptr;
    for (const FoundGauge& g : gauges)
      if (g.name == detail.name) gauge = &g;
    if (expect(gauge != nullptr, detail.name, "not in the gauge table"))
      check_detail(detail, *gauge);
  }
  for (const CallRow& call : kCalls) check_call(call, gauges);

  if (routines) {
    service_log.clear();
    reinterpret_cast<ModuleRoutine>(reinterpret_cast<uintptr_t>(init))();
    reinterpret_cast<ModuleRoutine>(reinterpret_cast<uintptr_t>(deinit))();
    expect(service_log.empty(), "init and deinit routines",
           "called services: " + service_log);
  }
  expect(open_simulator_window(), "simulator window", "cannot be created");
  bool replaced = replaced_row.name[0] == '\0';
  for (const FoundGauge& gauge : gauges) {
    if (gauge.row == nullptr) continue;
    GaugeRow expected = *gauge.row;
    if (gauge.name == replaced_row.name) {
      expected.notices = replaced_row.notices;
      expected.recording = replaced_row.recording;
      replaced = true;
    }
    check_notices(gauge, module.handle, expected);
  }
  expect(replaced, std::string("--expect ") + replaced_row.name,
         "no such gauge");
  close_simulator_window();

  expect(ptr(import_table, 4) == table_address, "ImportTable entry 0 pointer",
         "the module changed the stored service table");
  expect(close_module(module), "unload", "FreeLibrary failed");
  return failed == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  use_plain_newlines();
  bool list_only = false;
  const char* path = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--list") == 0) {
      list_only = true;
    } else if (std::strcmp(argv[i], "--expect") == 0 && i + 3 < argc) {
      replaced_row.name = argv[i + 1];
      replaced_row.notices = argv[i + 2];
      replaced_row.recording = std::atoi(argv[i + 3]);
      i += 3;
    } else if (path == nullptr) {
      path = argv[i];
    } else {
      path = "";
    }
  }
  if (path == nullptr || *path == '\0') {
    std::fprintf(stderr,
                 "usage: layout_check [--list] "
                 "[--expect GAUGE NOTICES RECORDING] MODULE\n");
    return 2;
  }
  const int status = run(path, list_only);
  if (!list_only || status != 0)
    std::printf("%d passed, %d failed\n", passed, failed);
  std::fflush(stdout);
  return status;
}
