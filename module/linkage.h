// The two records the simulator finds by name in the loaded module.
#pragma once

#include "elements/records.h"

inline constexpr uint32_t kImportServicesId = 0x0000000F;
inline constexpr uint32_t kModuleId = 0x00000013;
inline constexpr uint32_t kModuleVersion = 0x900;
inline constexpr int kGaugeCount = 60;

extern "C" {
extern ImportTableRecord ImportTable;
extern LinkageRecord Linkage;
}
