// `corvelain_host validate`: drives every gauge of a module through the host
// at rising strictness levels and counts, gauge by gauge, what went wrong.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

#include "host/core/loader.h"

inline constexpr int kValidateLowestLevel = 1;
inline constexpr int kValidateHighestLevel = 4;

struct ValidateOptions {
  // 1 install and update every gauge once; 2 adds install and kill cycles,
  // two copies on one panel and windows opened and closed every frame;
  // 3 adds the special-value sweep, click storms, drags and seeded random
  // values; 4 adds a sound failure injected at every step of the sound
  // layer (in the Windows build at every DirectSound call and the resource
  // look-up).
  int level = kValidateLowestLevel;
  uint64_t seed = 1;
  // Install and kill cycles of level 2.
  int cycles = 1000;
  // Where level 4 loads the module afresh from, as load_module takes it.
  std::string module_path;
};

bool validate_level_supported(int level);

// Prints the gauge table (gauge, checks, failures) on `out`, each failure
// as it is found, and before every step "validate: GAUGE STEP" on `err`, so
// that a sanitizer stopping the process leaves the gauge named. Returns the
// number of failures. Where a sound failure leaves the module silenced
// until it is unloaded (the Windows build), level 4 loads it afresh from
// `options.module_path` and leaves `module` as last loaded (empty if that
// failed).
int64_t validate_module(LoadedModule& module, const ValidateOptions& options,
                        std::ostream& out, std::ostream& err);
