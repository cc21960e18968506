#include "host/core/tooltip.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "host/core/module_call.h"
#include "host/core/number_text.h"

namespace {

// Code points of 0x80..0x9F; the five unassigned bytes map to themselves.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void append_utf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

struct Conversion {
  bool left = false;
  bool zeros = false;
  bool plus = false;
  bool space = false;
  int width = 0;
  int precision = -1;
  char type = 's';
};

// Parses "07.3f" and the like; false for anything else.
bool parse_conversion(std::string_view format, Conversion& conv) {
  size_t i = 0;
  for (; i < format.size() &&
         std::string_view("-0+ #").find(format[i]) != std::string_view::npos;
       ++i) {
    if (format[i] == '-') conv.left = true;
    if (format[i] == '0') conv.zeros = true;
    if (format[i] == '+') conv.plus = true;
    if (format[i] == ' ') conv.space = true;
  }
  auto read_number = [&](int& number) {
    const auto start = format.data() + i;
    const auto result =
        std::from_chars(start, format.data() + format.size(), number);
    if (result.ec != std::errc() || number > 255) return false;
    i += static_cast<size_t>(result.ptr - start);
    return true;
  };
  if (i < format.size() && format[i] >= '1' && format[i] <= '9' &&
      !read_number(conv.width))
    return false;
  if (i < format.size() && format[i] == '.') {
    ++i;
    conv.precision = 0;
    if (i < format.size() && format[i] >= '0' && format[i] <= '9' &&
        !read_number(conv.precision))
      return false;
  }
  while (i < format.size() && (format[i] == 'l' || format[i] == 'h')) ++i;
  if (i + 1 != format.size()) return false;
  conv.type = format[i];
  return std::string_view("sdiuxXf").find(conv.type) != std::string_view::npos;
}

std::string pad(std::string body, const Conversion& conv, bool numeric) {
  const size_t width = static_cast<size_t>(conv.width);
  if (body.size() >= width) return body;
  const size_t fill = width - body.size();
  if (conv.left) return body + std::string(fill, ' ');
  if (conv.zeros && numeric) {
    const size_t sign =
        !body.empty() && (body[0] == '-' || body[0] == '+' || body[0] == ' ')
            ? 1
            : 0;
    return body.insert(sign, fill, '0');
  }
  return std::string(fill, ' ') + body;
}

std::string signed_text(std::string digits, bool negative,
                        const Conversion& conv) {
  if (negative) return "-" + digits;
  if (conv.plus) return "+" + digits;
  if (conv.space) return " " + digits;
  return digits;
}

std::string format_argument(const TooltipArg& arg, const Conversion& conv) {
  if (conv.type == 's') {
    ModuleCallNote note("a tooltip's text callback");
    const char* text = arg.text ? arg.text(0, 0, 0, 0, 0, 0) : nullptr;
    std::string value = windows1252_to_utf8(text ? text : "");
    if (conv.precision >= 0 &&
        value.size() > static_cast<size_t>(conv.precision))
      value.resize(static_cast<size_t>(conv.precision));
    return pad(value, conv, false);
  }
  ModuleCallNote note("a tooltip's number callback");
  double number = arg.number ? arg.number(0, 0, 0, 0, 0, 0) : 0.0;
  if (!std::isfinite(number)) number = 0.0;
  if (conv.type == 'f') {
    const int decimals = conv.precision < 0 ? 6 : conv.precision;
    const std::string text = fixed_text(std::fabs(number), decimals);
    const bool negative =
        std::signbit(number) && text.find_first_not_of("0.") != text.npos;
    return pad(signed_text(text, negative, conv), conv, true);
  }
  const int32_t whole = saturating_int32(number);
  char buffer[16];
  if (conv.type == 'd' || conv.type == 'i') {
    const int64_t magnitude = whole < 0 ? -int64_t{whole} : int64_t{whole};
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, magnitude);
    return pad(signed_text(std::string(buffer, end.ptr), whole < 0, conv), conv,
               true);
  }
  const int base = conv.type == 'u' ? 10 : 16;
  const auto end = std::to_chars(buffer, buffer + sizeof buffer,
                                 static_cast<uint32_t>(whole), base);
  std::string digits(buffer, end.ptr);
  if (conv.type == 'X')
    for (char& c : digits) c = static_cast<char>(std::toupper(c));
  return pad(digits, conv, true);
}

}  // namespace

std::string windows1252_to_utf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x80 && byte < 0xA0)
      append_utf8(out, kHighControls[byte - 0x80]);
    else
      append_utf8(out, byte);
  }
  return out;
}

std::string format_tooltip(const char* text, const TooltipArg* args,
                           uint32_t arg_count) {
  std::string out;
  if (text == nullptr) return out;
  const std::string_view source(text);
  size_t i = 0;
  while (i < source.size()) {
    const size_t percent = source.find('%', i);
    out += windows1252_to_utf8(source.substr(i, percent - i));
    if (percent == source.npos) break;
    size_t next = percent + 1;
    if (next >= source.size()) {
      out += '%';
      break;
    }
    if (source[next] < '1' || source[next] > '9') {
      // %% and other escaped characters stand for themselves.
      out += windows1252_to_utf8(source.substr(next, 1));
      i = next + 1;
      continue;
    }
    uint32_t number = static_cast<uint32_t>(source[next++] - '0');
    if (next < source.size() && source[next] >= '0' && source[next] <= '9')
      number = number * 10 + static_cast<uint32_t>(source[next++] - '0');
    std::string_view format = "s";
    if (next < source.size() && source[next] == '!') {
      const size_t close = source.find('!', next + 1);
      if (close == source.npos) {
        out += windows1252_to_utf8(source.substr(percent));
        break;
      }
      format = source.substr(next + 1, close - next - 1);
      next = close + 1;
    }
    Conversion conv;
    if (args != nullptr && number <= arg_count &&
        parse_conversion(format, conv))
      out += format_argument(args[number - 1], conv);
    else
      out += windows1252_to_utf8(source.substr(percent, next - percent));
    i = next;
  }
  return out;
}

// Both forms: tables of help identifiers list them in hexadecimal.
std::string help_text(uint32_t help_id) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "%X", help_id);
  return "help " + std::to_string(help_id) + " (0x" + hex + ")";
}
