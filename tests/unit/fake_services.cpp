#include "tests/unit/fake_services.h"

#include <cstring>

namespace {

FakeServices* current = nullptr;

void GAUGE_CALL fake_lookup_var(ModuleVar* var) {
  current->calls.push_back({kServiceLookupVar, var->token, 0, {}});
  if (auto it = current->integers.find(var->token);
      it != current->integers.end()) {
    var->value.integer = it->second;
  } else if (auto num = current->numbers.find(var->token);
             num != current->numbers.end()) {
    var->value.number = num->second;
  }
}

int32_t GAUGE_CALL fake_trigger_key_event(uint32_t event, uint32_t value) {
  current->calls.push_back({kServiceTriggerKeyEvent, event, value, {}});
  return 0;
}

int32_t GAUGE_CALL fake_panel_window_toggle(uint32_t window_id) {
  current->calls.push_back({kServicePanelWindowToggle, window_id, 0, {}});
  return 1;
}

int32_t GAUGE_CALL fake_execute_calculator_code(const char* expression,
                                                double* number, int32_t*,
                                                const char** text) {
  current->calls.push_back({kServiceExecuteCalculatorCode, 0, 0, expression});
  if (number != nullptr) {
    auto it = current->calculator_numbers.find(expression);
    *number = it == current->calculator_numbers.end() ? 0.0 : it->second;
  }
  if (text != nullptr) {
    if (auto owned = current->calculator_text_pointers.find(expression);
        owned != current->calculator_text_pointers.end()) {
      *text = owned->second;
      return 1;
    }
    auto it = current->calculator_texts.find(expression);
    *text = it == current->calculator_texts.end() ? "" : it->second.c_str();
  }
  return 1;
}

}  // namespace

FakeServices::FakeServices() {
  table_[kServiceLookupVar] = reinterpret_cast<HostRoutine>(fake_lookup_var);
  table_[kServiceTriggerKeyEvent] =
      reinterpret_cast<HostRoutine>(fake_trigger_key_event);
  table_[kServicePanelWindowToggle] =
      reinterpret_cast<HostRoutine>(fake_panel_window_toggle);
  table_[kServiceExecuteCalculatorCode] =
      reinterpret_cast<HostRoutine>(fake_execute_calculator_code);
  current = this;
  ImportTable.entries[0].pointer = table_;
}

FakeServices::~FakeServices() {
  ImportTable.entries[0].pointer = nullptr;
  current = nullptr;
}

std::vector<ServiceCall> FakeServices::actions() const {
  std::vector<ServiceCall> result;
  for (const auto& call : calls)
    if (call.entry != kServiceLookupVar) result.push_back(call);
  return result;
}

ServiceCall event_call(uint32_t event, uint32_t value) {
  return {kServiceTriggerKeyEvent, event, value, {}};
}

ServiceCall window_toggle_call(uint32_t window_id) {
  return {kServicePanelWindowToggle, window_id, 0, {}};
}

GaugeHeader* find_gauge(const char* name) {
  for (GaugeHeader* gauge : Linkage.gauges) {
    if (gauge == nullptr) break;
    if (std::strcmp(gauge->name, name) == 0) return gauge;
  }
  return nullptr;
}

ElementHeader* element_at(GaugeHeader* gauge, int index) {
  ElementHeader** list = gauge->elements;
  for (int i = 0; i < index && list != nullptr; ++i) list = (*list)->next;
  return list == nullptr ? nullptr : *list;
}
