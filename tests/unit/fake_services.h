// A service table for unit tests: it answers variable look-ups from a map of
// token values and records every service call in order.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "elements/records.h"
#include "module/linkage.h"
#include "module/services.h"

struct ServiceCall {
  int entry = 0;       // kServiceLookupVar, kServiceTriggerKeyEvent, ...
  int64_t first = 0;   // token, event, window identifier
  int64_t second = 0;  // event value
  std::string text;    // calculator expression

  bool operator==(const ServiceCall&) const = default;
};

class FakeServices {
 public:
  // Installs itself in ImportTable entry 0 for its lifetime.
  FakeServices();
  ~FakeServices();

  std::map<int32_t, double> numbers;
  std::map<int32_t, int32_t> integers;
  std::map<std::string, double> calculator_numbers;
  std::map<std::string, std::string> calculator_texts;
  // Handed back as they are (null too), before calculator_texts: for callers
  // that own the bytes.
  std::map<std::string, const char*> calculator_text_pointers;
  std::vector<ServiceCall> calls;

  // Only the calls that change something: events, window toggles, calculator.
  std::vector<ServiceCall> actions() const;

 private:
  HostRoutine table_[kServiceTableEntries] = {};
};

ServiceCall event_call(uint32_t event, uint32_t value = 0);
ServiceCall window_toggle_call(uint32_t window_id);

// Gauge-table look-ups for tests that reach callbacks through the records.
GaugeHeader* find_gauge(const char* name);
ElementHeader* element_at(GaugeHeader* gauge, int index);  // 0 is the root
