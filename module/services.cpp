#include "module/services.h"

#include "module/linkage.h"

namespace {

template <class Service>
Service service(int entry) {
  auto* table = static_cast<HostRoutine*>(ImportTable.entries[0].pointer);
  if (table == nullptr) return nullptr;
  return reinterpret_cast<Service>(table[entry]);
}

}  // namespace

void lookup_var(ModuleVar* var) {
  if (auto call = service<LookupVarService>(kServiceLookupVar)) call(var);
}

void trigger_key_event(uint32_t event, uint32_t value) {
  if (auto call = service<TriggerKeyEventService>(kServiceTriggerKeyEvent))
    call(event, value);
}

void panel_window_toggle(uint32_t window_id) {
  if (auto call = service<PanelWindowToggleService>(kServicePanelWindowToggle))
    call(window_id);
}

void execute_calculator_code(const char* expression, double* number,
                             int32_t* integer, const char** text) {
  if (auto call =
          service<ExecuteCalculatorCodeService>(kServiceExecuteCalculatorCode))
    call(expression, number, integer, text);
}

double read_number_var(int32_t token) {
  ModuleVar var{};
  var.token = token;
  lookup_var(&var);
  return var.value.number;
}

int32_t read_integer_var(int32_t token) {
  ModuleVar var{};
  var.token = token;
  lookup_var(&var);
  return var.value.integer;
}
