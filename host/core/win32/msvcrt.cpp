// The C runtime a MinGW-built module imports from msvcrt: its heap is the
// host's, its stdio writes to the host's standard error, its locale is "C"
// and its locks are no-ops for the host's single thread.
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/core/win32/win32.h"

namespace msvcrt {

int32_t mb_cur_max = 1;

// msvcrt's FILE is 32 bytes; only their addresses matter here, the records
// are never read.
constexpr uint32_t kFileCount = 20;
constexpr uint32_t kFileBytes = 32;
alignas(4) unsigned char iob[kFileCount][kFileBytes] = {};

}  // namespace msvcrt

namespace {

int32_t crt_errno = 0;

bool is_stream(const void* file) {
  const auto* first = &msvcrt::iob[0][0];
  const auto* byte = static_cast<const unsigned char*>(file);
  // Compared as integers: the pointer may be anything.
  const uintptr_t offset =
      reinterpret_cast<uintptr_t>(byte) - reinterpret_cast<uintptr_t>(first);
  return offset < sizeof msvcrt::iob && offset % msvcrt::kFileBytes == 0;
}

[[noreturn]] void end_host(const char* what) {
  std::fprintf(stderr, "corvelain_host: the module's C runtime %s\n", what);
  std::fflush(stderr);
  std::_Exit(3);
}

// msvcrt's struct lconv: ten text pointers, then eight chars.
struct CrtLconv {
  const char* decimal_point;
  const char* thousands_sep;
  const char* grouping;
  const char* int_curr_symbol;
  const char* currency_symbol;
  const char* mon_decimal_point;
  const char* mon_thousands_sep;
  const char* mon_grouping;
  const char* positive_sign;
  const char* negative_sign;
  char int_frac_digits;
  char frac_digits;
  char p_cs_precedes;
  char p_sep_by_space;
  char n_cs_precedes;
  char n_sep_by_space;
  char p_sign_posn;
  char n_sign_posn;
};
static_assert(sizeof(CrtLconv) == 48);

CrtLconv c_locale_conventions = {.decimal_point = ".",
                                 .thousands_sep = "",
                                 .grouping = "",
                                 .int_curr_symbol = "",
                                 .currency_symbol = "",
                                 .mon_decimal_point = "",
                                 .mon_thousands_sep = "",
                                 .mon_grouping = "",
                                 .positive_sign = "",
                                 .negative_sign = "",
                                 .int_frac_digits = CHAR_MAX,
                                 .frac_digits = CHAR_MAX,
                                 .p_cs_precedes = CHAR_MAX,
                                 .p_sep_by_space = CHAR_MAX,
                                 .n_cs_precedes = CHAR_MAX,
                                 .n_sep_by_space = CHAR_MAX,
                                 .p_sign_posn = CHAR_MAX,
                                 .n_sign_posn = CHAR_MAX};

char c_locale_name[] = "C";

std::string utf8_of_wide(const uint16_t* text, int32_t limit) {
  std::string result;
  for (int32_t i = 0; (limit < 0 || i < limit) && text[i] != 0; ++i) {
    const uint32_t unit = text[i];
    if (unit < 0x80) {
      result.push_back(static_cast<char>(unit));
    } else if (unit < 0x800) {
      result.push_back(static_cast<char>(0xC0 | (unit >> 6)));
      result.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
    } else {
      // Surrogates pass as they are; the text only goes to a log.
      result.push_back(static_cast<char>(0xE0 | (unit >> 12)));
      result.push_back(static_cast<char>(0x80 | ((unit >> 6) & 0x3F)));
      result.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
    }
  }
  return result;
}

// msvcrt's printf, one conversion at a time: each argument is taken at the
// width the module passed it (I64, 16-bit wide texts, long double as
// double), which the host's printf would read differently; %n writes
// nothing.
int32_t print_to_stderr(const char* format, va_list args) {
  constexpr int32_t kLargest = 4096;  // widths and precisions beyond: capped
  int32_t total = 0;
  auto add = [&total](int written) {
    if (written > 0) total += written;
  };
  const char* p = format;
  while (*p != '\0') {
    if (*p != '%') {
      const char* run = p;
      while (*p != '\0' && *p != '%') ++p;
      add(static_cast<int>(
          std::fwrite(run, 1, static_cast<size_t>(p - run), stderr)));
      continue;
    }
    const char* start = p++;
    std::string directive = "%";
    while (*p != '\0' && std::strchr("-+ #0", *p) != nullptr) directive += *p++;
    auto number = [&](bool* given) {
      int32_t value = 0;
      *given = false;
      if (*p == '*') {
        ++p;
        *given = true;
        value = va_arg(args, int32_t);
      } else {
        while (*p >= '0' && *p <= '9') {
          *given = true;
          if (value <= kLargest) value = value * 10 + (*p - '0');
          ++p;
        }
      }
      return value;
    };
    bool has_width = false;
    int32_t width = number(&has_width);
    if (width < 0) {
      directive += '-';
      width = width == INT32_MIN ? kLargest : -width;
    }
    if (has_width)
      directive += std::to_string(width > kLargest ? kLargest : width);
    if (*p == '.') {
      ++p;
      bool given = false;
      const int32_t precision = number(&given);
      if (precision >= 0)
        directive +=
            "." + std::to_string(precision > kLargest ? kLargest : precision);
    }
    bool wide = false;
    bool wide64 = false;
    if (std::strncmp(p, "I64", 3) == 0) {
      wide64 = true, p += 3;
    } else if (std::strncmp(p, "I32", 3) == 0) {
      p += 3;
    } else if (std::strncmp(p, "ll", 2) == 0) {
      wide64 = true, p += 2;
    } else if (std::strncmp(p, "hh", 2) == 0) {
      p += 2;
    } else if (*p == 'l' || *p == 'w') {
      wide = true, ++p;
    } else if (*p != '\0' && std::strchr("hILjzt", *p) != nullptr) {
      ++p;
    }
    const char conversion = *p;
    if (conversion == '\0') {
      add(std::fputs(start, stderr) >= 0 ? static_cast<int>(p - start) : 0);
      break;
    }
    ++p;
    switch (conversion) {
      case '%':
        add(std::fputc('%', stderr) == EOF ? 0 : 1);
        break;
      case 'd':
      case 'i':
      case 'o':
      case 'u':
      case 'x':
      case 'X':
        if (wide64) {
          add(std::fprintf(stderr, (directive + "ll" + conversion).c_str(),
                           va_arg(args, long long)));
        } else {
          add(std::fprintf(stderr, (directive + conversion).c_str(),
                           va_arg(args, int32_t)));
        }
        break;
      case 'e':
      case 'E':
      case 'f':
      case 'F':
      case 'g':
      case 'G':
      case 'a':
      case 'A':
        add(std::fprintf(stderr, (directive + conversion).c_str(),
                         va_arg(args, double)));
        break;
      case 'c':
      case 'C': {
        const int32_t c = va_arg(args, int32_t);
        if (wide || conversion == 'C') {
          const uint16_t text[2] = {static_cast<uint16_t>(c), 0};
          add(std::fprintf(stderr, (directive + 's').c_str(),
                           utf8_of_wide(text, 1).c_str()));
        } else {
          add(std::fprintf(stderr, (directive + 'c').c_str(), c));
        }
        break;
      }
      case 's':
      case 'S': {
        const void* text = va_arg(args, const void*);
        if (text == nullptr) {
          add(std::fprintf(stderr, (directive + 's').c_str(), "(null)"));
        } else if (wide || conversion == 'S') {
          add(std::fprintf(
              stderr, (directive + 's').c_str(),
              utf8_of_wide(static_cast<const uint16_t*>(text), -1).c_str()));
        } else {
          add(std::fprintf(stderr, (directive + 's').c_str(),
                           static_cast<const char*>(text)));
        }
        break;
      }
      case 'p':
        add(std::fprintf(stderr, "%08X",
                         static_cast<uint32_t>(reinterpret_cast<uintptr_t>(
                             va_arg(args, const void*)))));
        break;
      case 'n':
        va_arg(args, void*);
        break;
      default:
        add(static_cast<int>(
            std::fwrite(start, 1, static_cast<size_t>(p - start), stderr)));
        break;
    }
  }
  return total;
}

}  // namespace

namespace msvcrt {

WIN32_CRT void amsg_exit(int32_t code) {
  char what[64];
  std::snprintf(what, sizeof what, "ended it (_amsg_exit %d)",
                static_cast<int>(code));
  end_host(what);
}

WIN32_CRT void abort() { end_host("aborted it (abort)"); }

WIN32_CRT int32_t* errno_location() { return &crt_errno; }

WIN32_CRT void initterm(void (**begin)(), void (**end)()) {
  if (begin == nullptr || end == nullptr) return;
  for (void (**entry)() = begin; entry < end; ++entry)
    if (*entry != nullptr) (*entry)();
}

// One thread: the runtime's locks never contend.
WIN32_CRT void lock(int32_t) {}
WIN32_CRT void unlock(int32_t) {}

WIN32_CRT int32_t atoi(const char* text) {
  if (text == nullptr) return 0;
  const char* p = text;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  const bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  int64_t value = 0;
  for (; *p >= '0' && *p <= '9'; ++p)
    if (value <= INT32_MAX) value = value * 10 + (*p - '0');
  if (negative) value = -value;
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

WIN32_CRT void* malloc(uint32_t bytes) {
  if (win32_sound_take_allocation() &&
      win32_sound_step_fails(SoundStep::kAllocate))
    return nullptr;
  return std::malloc(bytes == 0 ? 1 : bytes);
}

WIN32_CRT void* calloc(uint32_t count, uint32_t size) {
  if (size != 0 && count > UINT32_MAX / size) {
    crt_errno = ENOMEM;
    return nullptr;
  }
  const uint32_t bytes = count * size;
  return std::calloc(bytes == 0 ? 1 : bytes, 1);
}

WIN32_CRT void* realloc(void* block, uint32_t bytes) {
  if (bytes == 0 && block != nullptr) {
    std::free(block);
    return nullptr;
  }
  return std::realloc(block, bytes == 0 ? 1 : bytes);
}

WIN32_CRT void free(void* block) { std::free(block); }

// Overlapping copies are moved: a module's mistake must not become ours.
WIN32_CRT void* memcpy(void* to, const void* from, uint32_t bytes) {
  return bytes == 0 ? to : std::memmove(to, from, bytes);
}

WIN32_CRT void* memset(void* to, int32_t value, uint32_t bytes) {
  return bytes == 0 ? to : std::memset(to, value, bytes);
}

WIN32_CRT uint32_t strlen(const char* text) {
  return static_cast<uint32_t>(std::strlen(text));
}

WIN32_CRT char* strchr(const char* text, int32_t c) {
  return const_cast<char*>(std::strchr(text, static_cast<char>(c)));
}

WIN32_CRT int32_t strncmp(const char* a, const char* b, uint32_t count) {
  return count == 0 ? 0 : std::strncmp(a, b, count);
}

WIN32_CRT uint32_t wcslen(const uint16_t* text) {
  uint32_t length = 0;
  while (text[length] != 0) ++length;
  return length;
}

WIN32_CRT char* strerror(int32_t number) {
  static char text[94];
  std::snprintf(text, sizeof text, "%s", std::strerror(number));
  return text;
}

WIN32_CRT char* setlocale(int32_t, const char* locale) {
  if (locale == nullptr || locale[0] == '\0' || std::strcmp(locale, "C") == 0)
    return c_locale_name;
  return nullptr;
}

WIN32_CRT void* localeconv() { return &c_locale_conventions; }

WIN32_CRT uint32_t fwrite(const void* data, uint32_t size, uint32_t count,
                          void* file) {
  if (!is_stream(file) || size == 0 || count == 0 || data == nullptr) return 0;
  return static_cast<uint32_t>(std::fwrite(data, size, count, stderr));
}

WIN32_CRT int32_t fputc(int32_t c, void* file) {
  if (!is_stream(file)) return EOF;
  return std::fputc(c, stderr);
}

WIN32_CRT int32_t vfprintf(void* file, const char* format,
                           __builtin_va_list args) {
  if (!is_stream(file) || format == nullptr) return -1;
  return print_to_stderr(format, args);
}

}  // namespace msvcrt
