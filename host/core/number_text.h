// Numbers as the transcript prints them: the same bytes from every build.
#pragma once

#include <cstdint>
#include <string>

// Fixed-point with `decimals` places (scientific from 1e15 on); "nan",
// "inf" and "-inf" for non-finite values, and never a negative zero.
std::string fixed_text(double value, int decimals = 3);

// Truncates toward zero into int32, saturating; 0 for NaN.
int32_t saturating_int32(double value);
