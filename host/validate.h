// `corvelain_host validate`: drives every gauge of a module through the host
// at rising strictness levels and counts, gauge by gauge, what went wrong.
#pragma once

#include <cstdint>
#include <iosfwd>

#include "host/loader.h"

inline constexpr int kValidateLowestLevel = 1;
inline constexpr int kValidateHighestLevel = 4;

struct ValidateOptions {
  // 1 install and update every gauge once; 2 adds install and kill cycles,
  // two copies on one panel and windows opened and closed every frame;
  // 3 adds the special-value sweep, click storms, drags and seeded random
  // values; 4 adds a sound failure injected at every step of the sound
  // layer (native build only).
  int level = kValidateLowestLevel;
  uint64_t seed = 1;
  // Install and kill cycles of level 2.
  int cycles = 1000;
};

// Whether this build can run `level` (level 4 needs the native sound layer).
bool validate_level_supported(int level);

// Prints the gauge table (gauge, checks, failures) on `out`, each failure
// as it is found, and before every step "validate: GAUGE STEP" on `err`, so
// that a sanitizer stopping the process leaves the gauge named. Returns the
// number of failures.
int64_t validate_module(const LoadedModule& module,
                        const ValidateOptions& options, std::ostream& out,
                        std::ostream& err);
