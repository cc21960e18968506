// The validator on a module holding one broken gauge alone, linked in.
// Usage: validate_broken GAUGE LEVEL.
#include <cstdlib>
#include <iostream>
#include <string_view>

#include "host/validate/validate.h"
#include "module/linkage.h"
#include "tests/validate/broken_gauges.h"

namespace {

GaugeHeader* const kBrokenGauges[] = {
    &past_buffer_gauge, &leaky_sound_gauge, &leaky_buffer_gauge,
    &nan_cast_gauge,    &nan_needle_gauge,
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: validate_broken GAUGE LEVEL\n";
    return 2;
  }
  LinkageRecord linkage{};
  linkage.module_id = kModuleId;
  linkage.version = kModuleVersion;
  for (GaugeHeader* gauge : kBrokenGauges)
    if (std::string_view(gauge->name) == argv[1]) linkage.gauges[0] = gauge;
  if (linkage.gauges[0] == nullptr) {
    std::cerr << "validate_broken: no gauge " << argv[1] << "\n";
    return 2;
  }
  LoadedModule module{.imports = &ImportTable,
                      .linkage = &linkage,
                      .handle = &linkage,
                      .name = "Broken_Instr"};
  ValidateOptions options;
  options.level = std::atoi(argv[2]);
  options.seed = 1;
  return validate_module(module, options, std::cout, std::cerr) > 0 ? 1 : 0;
}
