// The four simulator services the module calls. Each call reads the service
// table afresh from ImportTable entry 0; with no table stored yet the call
// does nothing and a looked-up variable reads as zero.
#pragma once

#include <cstdint>

#include "elements/records.h"

using HostRoutine = void(GAUGE_CALL*)();

enum ServiceEntry : int {
  kServicePanelWindowToggle = 35,
  kServiceTriggerKeyEvent = 36,
  kServiceLookupVar = 40,
  kServiceExecuteCalculatorCode = 69,
  kServiceTableEntries = 70,
};

using PanelWindowToggleService = int32_t(GAUGE_CALL*)(uint32_t window_id);
using TriggerKeyEventService = int32_t(GAUGE_CALL*)(uint32_t event,
                                                    uint32_t value);
using LookupVarService = void(GAUGE_CALL*)(ModuleVar* var);
using ExecuteCalculatorCodeService =
    int32_t(GAUGE_CALL*)(const char* expression, double* number,
                         int32_t* integer, const char** text);

void lookup_var(ModuleVar* var);
void trigger_key_event(uint32_t event, uint32_t value);
void panel_window_toggle(uint32_t window_id);
void execute_calculator_code(const char* expression, double* number,
                             int32_t* integer, const char** text);

// One fresh ModuleVar per read, as the services expect.
double read_number_var(int32_t token);
int32_t read_integer_var(int32_t token);
