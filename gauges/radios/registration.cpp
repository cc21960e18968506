// The registration plate: the aircraft's identifier, or a fixed text from the
// parameter text, as one line on a plate, in a font and colour the
// parameter text may choose at install.
#include "gauges/radios/registration.h"

#include "elements/declare.h"
#include "gauges/gauge_table.h"
#include "module/services.h"
#include "panels/parameter_text.h"

namespace {

constexpr const char* kIdentifierExpression = "(A:ATC ID,string)";
constexpr int32_t kFontFaceCharacters =
    int32_t(sizeof(StringElement::font_face)) - 1;
constexpr int32_t kBrightestChannel = 255;

// Host-owned; rewritten by the host at every frame, never changed here.
const char* registration_text = nullptr;

// Keys r, g and b: the number after the key, or the channel as it stands.
// Anything above 255 read as unsigned (so every negative number) is 255.
uint32_t channel(const char* text, char key, uint32_t current) {
  const char* at = find_key(text, key);
  if (at == nullptr) return current;
  const uint32_t value = uint32_t(leading_integer(at + 1));
  return value > uint32_t(kBrightestChannel) ? uint32_t(kBrightestChannel)
                                             : value;
}

double GAUGE_CALL plate_text(ElementHeader* head) {
  auto* plate = element_as<StringElement>(head);
  const char* parameters =
      head->gauge != nullptr ? head->gauge->parameter_text : nullptr;
  build_plate_text(parameters, registration_text, plate->text,
                   plate->characters);
  return plate->sources[0].value.number;
}

void GAUGE_CALL registration_notice(GaugeHeader* gauge, int32_t notice, void*) {
  if (notice == kNoticeInstall)
    apply_plate_style(gauge);
  else if (notice == kNoticeUpdate)
    execute_calculator_code(kIdentifierExpression, nullptr, nullptr,
                            &registration_text);
}

constinit ElementChain chain{
    &registration_gauge,
    static_image({.bitmap = 50, .at = {0, 0}, .flags = 0x3}),
    string_element({.at = {0, 0},
                    .box_width = 150,
                    .box_height = 25,
                    .text_colour = 0x00FFFFFF,
                    .background_colour = 0x00000000,
                    .highlight_colour = 0x005C5C5C,
                    .font_face = "Arial",
                    .font_weight = 400,
                    .characters = 7,
                    .callback = plate_text,
                    .flags = 0x3}),
};

constinit MouseRect mouse_areas[] = {
    mouse_parent(),
    mouse_text_tooltip("Registration number"),
    mouse_parent_end(),
    mouse_end(),
};

}  // namespace

void apply_plate_style(GaugeHeader* gauge) {
  if (gauge == nullptr || gauge->parameter_text == nullptr ||
      gauge->parameter_text[0] == '\0' || gauge->elements == nullptr ||
      gauge->elements[0] == nullptr || gauge->elements[0]->next == nullptr)
    return;
  ElementHeader* text_head = gauge->elements[0]->next[0];
  if (text_head == nullptr || text_head->kind != kString) return;
  auto* plate = element_as<StringElement>(text_head);
  char* parameters = gauge->parameter_text;

  // The font name runs to the end of the text, so it is cut off before the
  // other keys are searched. A name too long for the face field keeps its
  // first 31 characters.
  if (const char* at = find_key(parameters, 'f')) {
    char* key = parameters + (at - parameters);
    int32_t n = 0;
    for (const char* name = key + 1; n < kFontFaceCharacters && name[n] != '\0';
         ++n)
      plate->font_face[n] = name[n];
    plate->font_face[n] = '\0';
    *key = '\0';
  }

  const uint32_t colour = plate->text_colour;
  const uint32_t red = channel(parameters, 'r', colour & 0xFFu);
  const uint32_t green = channel(parameters, 'g', (colour >> 8) & 0xFFu);
  const uint32_t blue = channel(parameters, 'b', (colour >> 16) & 0xFFu);
  plate->text_colour = red + green * 256u + blue * 65536u;
}

void build_plate_text(const char* parameters, const char* registration,
                      char* buffer, int32_t characters) {
  if (buffer == nullptr) return;
  const char* fixed = find_key(parameters, 't');
  const char* source =
      fixed != nullptr && fixed == parameters ? fixed + 1 : registration;
  if (source == nullptr) source = "";
  const int32_t room = characters > 0 ? characters : 0;
  int32_t n = 0;
  // A space ends the text; underscores stand for spaces.
  for (; n < room && source[n] != '\0' && source[n] != ' '; ++n)
    buffer[n] = source[n] == '_' ? ' ' : source[n];
  buffer[n] = '\0';
}

constinit GaugeHeader registration_gauge = gauge_header({
    .name = "Registration",
    .width_mm = 150,
    .elements = chain.list(),
    .mouse_areas = mouse_areas,
    .callback = registration_notice,
});
