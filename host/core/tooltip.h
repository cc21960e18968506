// Tooltip texts: the module's own texts with their message inserts filled
// from the argument callbacks, or the host's text for a help identifier.
// Module texts are in the Windows-1252 code page; results are UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "elements/records.h"

std::string windows1252_to_utf8(std::string_view text);

// Inserts %n!conversion! (and a bare %n, taken as %n!s!) name argument
// record n, 1-based; conversions s, d, i, u, x, X and f with flags, width
// and precision. An insert whose argument is missing is kept as written.
// A non-finite number prints as 0.
std::string format_tooltip(const char* text, const TooltipArg* args,
                           uint32_t arg_count);

std::string help_text(uint32_t help_id);
