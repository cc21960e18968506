// The module file reader on any bytes: it reads them or names what is
// wrong, never reading outside them; what it reads prints as text and JSON,
// and differs in nothing from itself.
#include <cstdint>
#include <cstdlib>
#include <sstream>

#include "host/inspect/diff.h"
#include "host/inspect/print.h"
#include "host/module_file/read_module.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  InspectResult read = read_module({data, size}, "fuzz.gau");
  if (const auto* error = std::get_if<InspectError>(&read)) {
    if (error->what.empty() || error->record.empty()) std::abort();
    return 0;
  }
  const InspectedModule& module = std::get<InspectedModule>(read);
  for (const InspectedGauge& gauge : module.gauges)
    for (size_t i = 0; i < gauge.elements.size(); ++i)
      if (gauge.elements[i].number != static_cast<int>(i) + 1) std::abort();
  std::ostringstream text, json;
  print_module_text(module, "", text);
  print_module_json(module, "", json);
  if (!module.gauges.empty())
    print_module_text(module, module.gauges.front().name, text);
  if (!diff_modules(module, module).empty()) std::abort();
  return 0;
}
