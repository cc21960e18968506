// A gauge module of another maker, as a panel places it beside ours: one
// dial whose needle shows what its callback returns and whose face sends an
// event when clicked, one gauge that calls a service entry no host of ours
// provides, and one whose needle callback faults. Built with FAULT_IN_INIT,
// the module's init routine faults instead.
#include <windows.h>

#include "elements/declare.h"
#include "module/linkage.h"
#include "module/services.h"

extern GaugeHeader fuel_dial;
extern GaugeHeader wants_service_12;
extern GaugeHeader faulting_dial;

extern "C" ImportTableRecord ImportTable;

namespace {

constexpr int32_t kFaceBitmap = 100;
constexpr int32_t kNeedleBitmap = 101;
// An event the click sends; the host need not know it.
constexpr uint32_t kDialClickEvent = 0x11000 + 77;
constexpr double kDialValue = 42;
constexpr int kUnprovidedEntry = 12;

// Written through a pointer the optimiser cannot see is null.
int* volatile nowhere = nullptr;

void GAUGE_CALL module_init() {
#ifdef FAULT_IN_INIT
  *nowhere = 3;
#endif
}
void GAUGE_CALL module_deinit() {}

double GAUGE_CALL dial_value(ElementHeader*) { return kDialValue; }

double GAUGE_CALL faulting_value(ElementHeader*) {
  *nowhere = 1;
  return 0;
}

// Two arguments, so that a host returning into the module would have to
// know how many to pop.
using EntryTwelve = int32_t(GAUGE_CALL*)(uint32_t, uint32_t);

void GAUGE_CALL wants_service_notice(GaugeHeader*, int32_t notice, void*) {
  if (notice != kNoticeUpdate) return;
  auto* table = static_cast<HostRoutine*>(ImportTable.entries[0].pointer);
  if (table == nullptr) return;
  reinterpret_cast<EntryTwelve>(table[kUnprovidedEntry])(1, 2);
  // Never reached: the host stops the gauge at the call.
  *nowhere = 12;
}

// Value 0 points left of the pivot, 50 up, 100 right.
constinit NonlinearityEntry dial_scale[] = {mark(0, 4, 32), mark(50, 32, 4),
                                            mark(100, 60, 32)};
constinit NonlinearityEntry faulting_scale[] = {mark(0, 4, 32), mark(50, 32, 4),
                                                mark(100, 60, 32)};

constinit ElementChain dial_chain{
    &fuel_dial,
    static_image({.bitmap = kFaceBitmap, .at = {0, 0}, .flags = 0}),
    needle({.bitmap = kNeedleBitmap,
            .at = {32, 32},
            .pivot = {2, 2},
            .table = dial_scale,
            .callback = dial_value}),
};

constinit ElementChain service_chain{
    &wants_service_12,
    static_image({.bitmap = kFaceBitmap, .at = {0, 0}, .flags = 0}),
};

constinit ElementChain faulting_chain{
    &faulting_dial,
    static_image({.bitmap = kFaceBitmap, .at = {0, 0}, .flags = 0}),
    needle({.bitmap = kNeedleBitmap,
            .at = {32, 32},
            .pivot = {2, 2},
            .table = faulting_scale,
            .callback = faulting_value}),
};

constinit MouseRect dial_areas[] = {
    mouse_parent({0, 0, 64, 64}),
    mouse_event_child({0, 0, 64, 64}, kCursorHand, kMouseLeftSingle,
                      kDialClickEvent),
    mouse_parent_end(), mouse_end()};
constinit MouseRect no_areas[] = {mouse_parent(), mouse_parent_end(),
                                  mouse_end()};
constinit MouseRect no_areas_too[] = {mouse_parent(), mouse_parent_end(),
                                      mouse_end()};

}  // namespace

constinit GaugeHeader fuel_dial = gauge_header({
    .name = "Fuel_Dial",
    .width_mm = 40,
    .elements = dial_chain.list(),
    .mouse_areas = dial_areas,
});

constinit GaugeHeader wants_service_12 = gauge_header({
    .name = "Wants_Service_12",
    .width_mm = 40,
    .elements = service_chain.list(),
    .mouse_areas = no_areas,
    .callback = wants_service_notice,
});

constinit GaugeHeader faulting_dial = gauge_header({
    .name = "Faulting_Dial",
    .width_mm = 40,
    .elements = faulting_chain.list(),
    .mouse_areas = no_areas_too,
});

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
    .gauges = {&fuel_dial, &wants_service_12, &faulting_dial, nullptr},
};

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
}
