// Key search and the meaning of each key in a gauge's parameter text.
#include "panels/parameter_text.h"

#include <cstddef>
#include <cstdint>
#include <iterator>

#include "module/services.h"

namespace {

struct NamedNumber {
  const char* name;
  uint32_t number;
};

// Tried in this order; a name counts only at the very start of the text.
constexpr NamedNumber kPanelNames[] = {
    {.name = "MAIN_PANEL", .number = 0},
    {.name = "RADIO_STACK_PANEL", .number = 50},
    {.name = "COMPASS_PANEL", .number = 75},
    {.name = "ANNUNCIATOR_PANEL", .number = 125},
    {.name = "ANNUNCIATOR2_PANEL", .number = 150},
    {.name = "COLLECTIVE_PANEL", .number = 200},
    {.name = "THROTTLE_PANEL", .number = 10},
    {.name = "MINI_CONTROLS_PANEL", .number = 100},
    {.name = "IFR_MAIN_PANEL", .number = 175},
    {.name = "GPS_PANEL", .number = 225},
    {.name = "OVERHEAD_PANEL", .number = 250},
};
static_assert(std::size(kPanelNames) == 11);

constexpr NamedNumber kHelpNames[] = {
    {.name = "TOGGLE_RADIO_WINDOW", .number = 0xAB86},
    {.name = "TOGGLE_GPS_WINDOW", .number = 0xAB87},
    {.name = "TOGGLE_THROTTLE_WINDOW", .number = 0xAB88},
    {.name = "TOGGLE_COMPASS_WINDOW", .number = 0xAB89},
    {.name = "TOGGLE_FUEL_WINDOW", .number = 0xAB8A},
    {.name = "TOGGLE_COLLECTIVE_WINDOW", .number = 0xAB8B},
};
static_assert(std::size(kHelpNames) == 6);

constexpr uint32_t kLowestHelpIdent = 0xA000;

constexpr char kCommentCharacters[] = {'/', '#', '\''};

constexpr int32_t kLowestButtonFace = 100;
constexpr int32_t kHighestButtonFace = 180;
constexpr int32_t kButtonFaceStep = 10;

bool empty(const char* text) { return text == nullptr || text[0] == '\0'; }

// Compares up to the name's end; the text's terminator stops it, since no
// name holds a zero.
bool starts_with(const char* text, const char* name) {
  for (; *name != '\0'; ++text, ++name)
    if (*text != *name) return false;
  return true;
}

template <size_t N>
const NamedNumber* leading_name(const char* text,
                                const NamedNumber (&names)[N]) {
  for (const NamedNumber& named : names)
    if (starts_with(text, named.name)) return &named;
  return nullptr;
}

// Every occurrence of `key`, each search starting after the one before.
void send_for_every(const char* text, char key, uint32_t event) {
  for (const char* at = find_key(text, key); at != nullptr;
       at = find_key(at + 1, key)) {
    const int32_t ident = panel_ident(at + 1);
    if (ident >= 0) trigger_key_event(event, uint32_t(ident));
  }
}

void step_view(const char* text) {
  const char* at = find_key(text, 'p');
  if (at == nullptr) return;
  const int64_t steps = leading_integer(at + 1);
  if (steps == 0) trigger_key_event(kEventViewReset, 0);
  for (int64_t n = 0; n < steps; ++n)
    trigger_key_event(kEventViewStepForward, 0);
  for (int64_t n = 0; n < -steps; ++n) trigger_key_event(kEventViewStepBack, 0);
}

}  // namespace

int32_t leading_integer(const char* text) {
  if (text == nullptr) return 0;
  bool negative = false;
  if (*text == '+' || *text == '-') negative = *text++ == '-';
  constexpr int64_t kLimit = int64_t{INT32_MAX} + 1;
  int64_t magnitude = 0;
  for (; *text >= '0' && *text <= '9'; ++text)
    if (magnitude < kLimit) magnitude = magnitude * 10 + (*text - '0');
  if (negative) return magnitude >= kLimit ? INT32_MIN : int32_t(-magnitude);
  return magnitude >= kLimit ? INT32_MAX : int32_t(magnitude);
}

const char* find_key(const char* text, char key) {
  if (text == nullptr) return nullptr;
  for (; *text != '\0'; ++text) {
    if (*text == key) return text;
    for (char comment : kCommentCharacters)
      if (*text == comment) return nullptr;
  }
  return nullptr;
}

int32_t panel_ident(const char* text) {
  if (empty(text)) return -1;
  if (const NamedNumber* named = leading_name(text, kPanelNames))
    return int32_t(named->number);
  return leading_integer(text);
}

uint32_t help_ident(const char* text) {
  if (empty(text)) return 0;
  if (const NamedNumber* named = leading_name(text, kHelpNames))
    return named->number;
  const int32_t number = leading_integer(text);
  return number < int32_t(kLowestHelpIdent) ? 0 : uint32_t(number);
}

int32_t apply_click_keys(const char* text) {
  if (empty(text)) return 0;
  send_for_every(text, 'o', kEventPanelWindowOpen);
  send_for_every(text, 'c', kEventPanelWindowClose);
  send_for_every(text, 't', kEventPanelWindowToggle);
  step_view(text);
  return 1;
}

void apply_install_keys(GaugeHeader* gauge) {
  if (gauge == nullptr || empty(gauge->parameter_text)) return;
  const char* text = gauge->parameter_text;
  if (const char* at = find_key(text, 'b')) {
    const int32_t face = leading_integer(at + 1);
    ElementHeader* root =
        gauge->elements != nullptr ? gauge->elements[0] : nullptr;
    if (root == nullptr || face % kButtonFaceStep != 0 ||
        face < kLowestButtonFace || face > kHighestButtonFace)
      return;
    root->bitmap = face;
  }
  if (const char* at = find_key(text, 'h'))
    if (gauge->mouse_areas != nullptr)
      gauge->mouse_areas[0].help_id = help_ident(at + 1);
}

void apply_close_key(GaugeHeader* gauge) {
  if (gauge == nullptr || empty(gauge->parameter_text)) return;
  const char* at = find_key(gauge->parameter_text, 'a');
  if (at == nullptr) return;
  const int32_t ident = panel_ident(at + 1);
  if (ident >= 0) trigger_key_event(kEventPanelWindowClose, uint32_t(ident));
}
