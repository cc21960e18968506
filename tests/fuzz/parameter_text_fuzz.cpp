// Drives a toggle gauge's install notice and clicks on a fuzzed parameter
// text, and checks the events, window toggles, button face and help
// identifier against a plain model of the key rules.
//
// Input: byte 0 picks the gauge, byte 1 holds options (bit 0 first install,
// bit 1 no parameter text, bit 2 no header in the point record, bits 3-4 the
// number of clicks), the rest up to its first zero is the parameter text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "tests/unit/fake_services.h"

namespace {

constexpr const char* kToggleNames[] = {
    "Invisible_Toggle",    "Close_Subpanel",   "Radios_Toggle",
    "Landing_View_Toggle", "GPS_Toggle",       "Throttle_Toggle",
    "Compass_Toggle",      "Fuel_Toggle",      "Electricity_Toggle",
    "ATC_Toggle",          "Kneeboard_Toggle", "Map_Toggle",
};

// A view step of n sends n events; past this the click is left out so that
// one input stays fast.
constexpr int64_t kMaxViewSteps = 64;

void check(bool ok) {
  if (!ok) __builtin_trap();
}

// The key search as the rule reads: the first occurrence of the key, unless
// the first occurrence of any comment character comes before it.
std::optional<size_t> model_find_key(std::string_view text, char key) {
  const size_t at = text.find(key);
  if (at == text.npos) return std::nullopt;
  for (char comment : {'/', '#', '\''})
    if (text.find(comment) < at) return std::nullopt;
  return at;
}

int64_t model_leading_integer(std::string_view text) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-'))
    negative = text[i++] == '-';
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    value =
        std::min<int64_t>(value * 10 + (text[i] - '0'), int64_t{INT32_MAX} + 1);
  if (negative) return -value;
  return std::min<int64_t>(value, INT32_MAX);
}

int64_t model_panel_ident(std::string_view text) {
  if (text.empty()) return -1;
  struct Named {
    std::string_view name;
    int64_t ident;
  };
  constexpr Named kNames[] = {
      {"MAIN_PANEL", 0},           {"RADIO_STACK_PANEL", 50},
      {"COMPASS_PANEL", 75},       {"ANNUNCIATOR_PANEL", 125},
      {"ANNUNCIATOR2_PANEL", 150}, {"COLLECTIVE_PANEL", 200},
      {"THROTTLE_PANEL", 10},      {"MINI_CONTROLS_PANEL", 100},
      {"IFR_MAIN_PANEL", 175},     {"GPS_PANEL", 225},
      {"OVERHEAD_PANEL", 250},
  };
  for (const Named& named : kNames)
    if (text.starts_with(named.name)) return named.ident;
  return model_leading_integer(text);
}

uint32_t model_help_ident(std::string_view text) {
  if (text.empty()) return 0;
  constexpr std::string_view kNames[] = {
      "TOGGLE_RADIO_WINDOW",   "TOGGLE_GPS_WINDOW",  "TOGGLE_THROTTLE_WINDOW",
      "TOGGLE_COMPASS_WINDOW", "TOGGLE_FUEL_WINDOW", "TOGGLE_COLLECTIVE_WINDOW",
  };
  for (uint32_t i = 0; i < std::size(kNames); ++i)
    if (text.starts_with(kNames[i])) return 0xAB86 + i;
  const int64_t number = model_leading_integer(text);
  return number < 0xA000 ? 0 : uint32_t(number);
}

// The events one click sends, in order.
std::vector<ServiceCall> model_click(std::string_view text) {
  std::vector<ServiceCall> calls;
  if (text.empty()) return {window_toggle_call(0)};
  for (auto [key, event] : {std::pair{'o', 66507u}, std::pair{'c', 66508u},
                            std::pair{'t', 66506u}}) {
    std::string_view rest = text;
    while (auto at = model_find_key(rest, key)) {
      rest.remove_prefix(*at + 1);
      const int64_t ident = model_panel_ident(rest);
      if (ident >= 0) calls.push_back(event_call(event, uint32_t(ident)));
    }
  }
  if (auto at = model_find_key(text, 'p')) {
    const int64_t steps = model_leading_integer(text.substr(*at + 1));
    if (steps == 0) calls.push_back(event_call(65875));
    for (int64_t n = 0; n < steps; ++n) calls.push_back(event_call(65734));
    for (int64_t n = 0; n < -steps; ++n) calls.push_back(event_call(65735));
  }
  return calls;
}

int64_t view_steps(std::string_view text) {
  const auto at = model_find_key(text, 'p');
  return at ? model_leading_integer(text.substr(*at + 1)) : 0;
}

MouseRect* click_area(GaugeHeader* gauge) {
  for (MouseRect* area = gauge->mouse_areas; area->kind != kMouseEnd; ++area)
    if (area->kind == kMouseChild && area->callback != nullptr) return area;
  return nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  GaugeHeader* gauge = find_gauge(kToggleNames[data[0] % 12]);
  check(gauge != nullptr);
  const uint8_t options = data[1];
  const bool first_install = options & 1;
  const bool no_text = options & 2;
  const bool no_header = options & 4;
  const int clicks = (options >> 3) & 3;

  // The text alone in a block of its own size, so that a read past its zero
  // leaves the block.
  const char* rest = reinterpret_cast<const char*>(data + 2);
  const size_t length = strnlen(rest, size - 2);
  std::unique_ptr<char[]> block(new char[length + 1]);
  std::memcpy(block.get(), rest, length);
  block[length] = '\0';
  const std::string_view text(rest, no_text ? 0 : length);

  ElementHeader* root = gauge->elements[0];
  MouseRect* parent = &gauge->mouse_areas[0];
  const uint32_t saved_user_word = gauge->user_word;
  const int32_t saved_bitmap = root->bitmap;
  const uint32_t saved_help = parent->help_id;

  FakeServices services;
  gauge->parameter_text = no_text ? nullptr : block.get();
  if (first_install) gauge->user_word = 0;
  const uint32_t user_word = gauge->user_word;

  std::vector<ServiceCall> expected;
  int32_t expected_bitmap = saved_bitmap;
  uint32_t expected_help = saved_help;
  if (gauge->callback != nullptr) {
    gauge->callback(gauge, kNoticeInstall, nullptr);
    bool face_refused = false;
    if (auto at = model_find_key(text, 'b')) {
      const int64_t face = model_leading_integer(text.substr(*at + 1));
      face_refused = face % 10 != 0 || face < 100 || face > 180;
      if (!face_refused) expected_bitmap = int32_t(face);
    }
    if (auto at = model_find_key(text, 'h'); at && !face_refused)
      expected_help = model_help_ident(text.substr(*at + 1));
    if (auto at = model_find_key(text, 'a'); at && user_word == 0) {
      const int64_t ident = model_panel_ident(text.substr(*at + 1));
      if (ident >= 0) expected.push_back(event_call(66508, uint32_t(ident)));
    }
    check(gauge->user_word == 1);
  }
  check(root->bitmap == expected_bitmap);
  check(parent->help_id == expected_help);

  MouseRect* area = click_area(gauge);
  check((area != nullptr) == (gauge->callback != nullptr));
  const int64_t steps = view_steps(text);
  if (area != nullptr && steps <= kMaxViewSteps && steps >= -kMaxViewSteps) {
    const std::vector<ServiceCall> one_click =
        model_click(no_header ? std::string_view() : text);
    for (int i = 0; i < clicks; ++i) {
      PointRecord point = {.x = 6 + i,
                           .y = 6,
                           .gauge = no_header ? nullptr : gauge,
                           .area = area};
      check(area->callback(&point, kMouseLeftSingle) == 0);
      expected.insert(expected.end(), one_click.begin(), one_click.end());
    }
  }
  check(services.actions() == expected);
  // The text is read, never written.
  check(no_text || std::memcmp(block.get(), rest, length) == 0);

  gauge->parameter_text = nullptr;
  gauge->user_word = saved_user_word;
  root->bitmap = saved_bitmap;
  parent->help_id = saved_help;
  return 0;
}
