#include "host/core/number_text.h"

#include <charconv>
#include <cmath>
#include <limits>

std::string fixed_text(double value, int decimals) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
  char buffer[400];
  // Past this, fixed notation is a wall of digits that says nothing more.
  const bool huge = std::fabs(value) >= 1e15;
  const auto result = std::to_chars(
      buffer, buffer + sizeof buffer, value,
      huge ? std::chars_format::scientific : std::chars_format::fixed,
      decimals);
  std::string text(buffer, result.ptr);
  if (text.front() == '-' && text.find_first_not_of("-0.") == std::string::npos)
    text.erase(0, 1);
  return text;
}

int32_t saturating_int32(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (value <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}
