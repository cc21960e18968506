// Drives the registration plate through its install and update notices and
// its text callback on a fuzzed parameter text and a fuzzed aircraft
// identifier from the host, and checks the line it shows and its style.
//
// Input: byte 0 holds options (bit 0 no parameter text, bit 1 a null
// identifier, bit 2 install twice, bits 3-4 the number of frames), then the
// parameter text up to a zero, then the identifier up to a zero or the end.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "tests/unit/fake_services.h"

namespace {

constexpr const char* kIdentifierExpression = "(A:ATC ID,string)";

void check(bool ok) {
  if (!ok) __builtin_trap();
}

// Text alone in a heap block of its own size, so that a read past its zero
// leaves the block.
std::unique_ptr<char[]> exact_copy(std::string_view text) {
  std::unique_ptr<char[]> block(new char[text.size() + 1]);
  std::memcpy(block.get(), text.data(), text.size());
  block[text.size()] = '\0';
  return block;
}

std::string_view next_text(const uint8_t*& data, size_t& size) {
  const char* start = reinterpret_cast<const char*>(data);
  const size_t length = strnlen(start, size);
  const size_t used = length < size ? length + 1 : length;
  data += used;
  size -= used;
  return {start, length};
}

// The line the plate shows: the parameter text after a leading t, else the
// identifier, up to its first space and its room, underscores as spaces.
std::string model_line(const char* parameters, const char* identifier,
                       int32_t characters) {
  std::string_view source = identifier != nullptr ? identifier : "";
  if (parameters != nullptr && parameters[0] == 't') source = parameters + 1;
  source = source.substr(0, source.find(' '));
  source = source.substr(0, size_t(characters));
  std::string line(source);
  for (char& c : line)
    if (c == '_') c = ' ';
  return line;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t options = *data++;
  --size;
  const std::string_view parameters = next_text(data, size);
  const std::string_view identifier = next_text(data, size);
  const bool no_parameters = options & 1;
  const bool null_identifier = options & 2;
  const bool install_twice = options & 4;
  const int frames = 1 + ((options >> 3) & 3);

  GaugeHeader* gauge = find_gauge("Registration");
  check(gauge != nullptr);
  ElementHeader* head = element_at(gauge, 1);
  check(head != nullptr && head->kind == kString);
  auto* plate = element_as<StringElement>(head);
  StringElement saved;
  std::memcpy(&saved, plate, sizeof saved);

  std::unique_ptr<char[]> parameter_block = exact_copy(parameters);
  std::unique_ptr<char[]> identifier_block = exact_copy(identifier);
  // The host's buffer for the element's text: its characters and a zero.
  const int32_t characters = plate->characters;
  check(characters >= 0 && characters < 256);
  std::unique_ptr<char[]> line_block(new char[size_t(characters) + 1]());

  FakeServices services;
  services.calculator_text_pointers[kIdentifierExpression] =
      null_identifier ? nullptr : identifier_block.get();
  gauge->parameter_text = no_parameters ? nullptr : parameter_block.get();
  gauge->callback(gauge, kNoticeInstall, nullptr);
  if (install_twice) gauge->callback(gauge, kNoticeInstall, nullptr);

  // The style: a font name within its field, a colour without a top byte,
  // and a parameter text that only ever got shorter.
  check(std::memchr(plate->font_face, '\0', sizeof plate->font_face) !=
        nullptr);
  check((plate->text_colour >> 24) == 0);
  if (!no_parameters) {
    const size_t left = std::strlen(parameter_block.get());
    check(left <= parameters.size());
    check(std::memcmp(parameter_block.get(), parameters.data(), left) == 0);
    if (left < parameters.size() && !install_twice) {
      check(parameters[left] == 'f');
      const std::string font(parameters.substr(left + 1));
      check(std::strncmp(plate->font_face, font.c_str(),
                         sizeof plate->font_face - 1) == 0);
    }
  }

  for (int frame = 0; frame < frames; ++frame) {
    gauge->callback(gauge, kNoticeUpdate, nullptr);
    plate->text = line_block.get();
    plate->callback(head);
    const std::string expected = model_line(
        gauge->parameter_text,
        null_identifier ? nullptr : identifier_block.get(), characters);
    check(expected == line_block.get());
  }
  check(int(services.actions().size()) == frames);

  std::memcpy(plate, &saved, sizeof saved);
  gauge->parameter_text = nullptr;
  return 0;
}
