#include "host/inspect/diff.h"

#include <map>
#include <set>

#include "host/inspect/print.h"

namespace {

void diff_fields(const std::string& prefix,
                 const std::vector<FlatField>& before,
                 const std::vector<FlatField>& after,
                 std::vector<std::string>& lines) {
  std::map<std::string, std::string> old_values(before.begin(), before.end());
  std::map<std::string, std::string> new_values(after.begin(), after.end());
  for (const auto& [key, value] : before) {
    const auto found = new_values.find(key);
    if (found == new_values.end())
      lines.push_back(prefix + key + ": " + value + " -> (none)");
    else if (found->second != value)
      lines.push_back(prefix + key + ": " + value + " -> " + found->second);
  }
  for (const auto& [key, value] : after)
    if (!old_values.count(key))
      lines.push_back(prefix + key + ": (none) -> " + value);
}

}  // namespace

std::vector<std::string> diff_modules(const InspectedModule& before,
                                      const InspectedModule& after) {
  std::vector<std::string> lines;
  std::map<std::string, const InspectedGauge*> old_gauges, new_gauges;
  for (const InspectedGauge& g : before.gauges) old_gauges[g.name] = &g;
  for (const InspectedGauge& g : after.gauges) new_gauges[g.name] = &g;
  for (const InspectedGauge& g : before.gauges)
    if (!new_gauges.count(g.name)) lines.push_back("removed gauge " + g.name);
  for (const InspectedGauge& g : after.gauges)
    if (!old_gauges.count(g.name)) lines.push_back("added gauge " + g.name);
  diff_fields("", flatten_module(before), flatten_module(after), lines);
  for (const InspectedGauge& g : before.gauges) {
    const auto found = new_gauges.find(g.name);
    if (found == new_gauges.end()) continue;
    diff_fields(g.name + ": ", flatten_gauge(g), flatten_gauge(*found->second),
                lines);
  }
  return lines;
}
