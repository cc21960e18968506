// A module copy for the Windows build whose gauges leave sound objects
// behind at kill, one a device and one a buffer: the validator must name
// each from the counts of the real DirectSound objects it hands the module.
#include "module/linkage.h"
#include "tests/validate/broken_gauges.h"

namespace {

void GAUGE_CALL module_init() {}
void GAUGE_CALL module_deinit() {}

}  // namespace

extern "C" {

constinit ImportTableRecord ImportTable = {{
    {kImportServicesId, nullptr},
    {0, nullptr},
}};

constinit LinkageRecord Linkage = {
    .module_id = kModuleId,
    .init = module_init,
    .deinit = module_deinit,
    .flags = 0,
    .status = 0,
    .version = kModuleVersion,
    .gauges = {&leaky_sound_gauge, &leaky_buffer_gauge, nullptr},
};
}
