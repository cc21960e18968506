#include "host/inspect/diff.h"

#include <map>

#include "host/inspect/print.h"

namespace {

// Keys made unique by occurrence, so that a damaged module's repeats (two
// resources of one identifier) pair up in order: "bitmap 40 size (2)".
std::vector<FlatField> numbered(std::vector<FlatField> fields) {
  std::map<std::string, int> seen;
  for (FlatField& field : fields)
    if (const int n = ++seen[field.first]; n > 1)
      field.first += " (" + std::to_string(n) + ")";
  return fields;
}

void diff_fields(const std::string& prefix,
                 const std::vector<FlatField>& before_fields,
                 const std::vector<FlatField>& after_fields,
                 std::vector<std::string>& lines) {
  const std::vector<FlatField> before = numbered(before_fields);
  const std::vector<FlatField> after = numbered(after_fields);
  const std::map<std::string, std::string> old_values(before.begin(),
                                                      before.end());
  const std::map<std::string, std::string> new_values(after.begin(),
                                                      after.end());
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

// Gauges by name; a name the table repeats pairs up in table order.
std::map<std::string, std::vector<const InspectedGauge*>> by_name(
    const InspectedModule& module) {
  std::map<std::string, std::vector<const InspectedGauge*>> gauges;
  for (const InspectedGauge& g : module.gauges) gauges[g.name].push_back(&g);
  return gauges;
}

}  // namespace

std::vector<std::string> diff_modules(const InspectedModule& before,
                                      const InspectedModule& after) {
  std::vector<std::string> lines;
  const auto old_gauges = by_name(before);
  const auto new_gauges = by_name(after);
  const auto count = [](const auto& gauges, const std::string& name) {
    const auto found = gauges.find(name);
    return found == gauges.end() ? size_t(0) : found->second.size();
  };
  std::map<std::string, size_t> seen;
  for (const InspectedGauge& g : before.gauges)
    if (++seen[g.name] > count(new_gauges, g.name))
      lines.push_back("removed gauge " + g.name);
  seen.clear();
  for (const InspectedGauge& g : after.gauges)
    if (++seen[g.name] > count(old_gauges, g.name))
      lines.push_back("added gauge " + g.name);
  diff_fields("", flatten_module(before), flatten_module(after), lines);
  seen.clear();
  for (const InspectedGauge& g : before.gauges) {
    const size_t n = seen[g.name]++;
    if (n >= count(new_gauges, g.name)) continue;
    diff_fields(g.name + ": ", flatten_gauge(g),
                flatten_gauge(*new_gauges.at(g.name)[n]), lines);
  }
  return lines;
}
