#include "host/sheet/contact.h"

#include <algorithm>
#include <cmath>

#include "host/core/number_text.h"
#include "host/sheet/sweep.h"

namespace {

constexpr int kMaxSettleFrames = 600;
constexpr size_t kMaxCellsPerCurve = 16;
constexpr int32_t kPanelLightsToken = 10;

bool same_states(const std::vector<ElementState>& a,
                 const std::vector<ElementState>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    for (size_t s = 0; s < 3; ++s) {
      const double x = a[i].values[s], y = b[i].values[s];
      if (!(x == y || (std::isnan(x) && std::isnan(y)))) return false;
    }
    if (a[i].angle != b[i].angle || a[i].icon_index != b[i].icon_index ||
        a[i].drawn != b[i].drawn || a[i].text != b[i].text)
      return false;
  }
  return true;
}

// Runs frames until nothing the gauge shows changes any more.
void settle(Host& host, const GaugeInstance& gauge) {
  host.run_frames(1);
  for (int frame = 0; frame < kMaxSettleFrames; ++frame) {
    const std::vector<ElementState> before = gauge.states;
    host.run_frames(1);
    if (same_states(before, gauge.states)) return;
  }
}

std::string number_label(double value) {
  std::string text = fixed_text(value, 3);
  if (text.find('.') != std::string::npos) {
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
  }
  return text;
}

}  // namespace

bool reads_power(Host& host, const GaugeInstance& gauge) {
  for (const ModuleVar* var : gauge.sources)
    if (is_power_token(var->token)) return true;
  host.clear_service_calls();
  host.run_frames(1);
  for (const ServiceCall& call : host.service_calls())
    if (call.entry == kServiceLookupVar && is_power_token(int32_t(call.first)))
      return true;
  return false;
}

ContactSheet contact_sheet(Host& host, GaugeInstance& gauge,
                           WindowRenderer& renderer, const GaugePlot& plot) {
  ContactSheet sheet;
  sheet.gauge = plot.gauge;
  Aircraft& aircraft = host.aircraft();
  set_panel_power(aircraft, true);
  auto snap = [&](std::string label, bool night = false) {
    settle(host, gauge);
    sheet.cells.push_back(
        {std::move(label), renderer.render(host, 0, night).image});
  };

  for (const Curve& curve : plot.curves) {
    if (curve.from_records) continue;
    const AircraftVariable* variable =
        find_aircraft_variable(std::string_view(curve.variable));
    if (variable == nullptr) continue;
    const double saved = aircraft.number(variable->token);
    const std::string prefix = "element " + std::to_string(curve.element) +
                               ": " + curve.variable + " ";
    size_t cells = 0;
    if (curve.element_kind == "needle") {
      std::vector<double> shown;
      for (const CalibrationMark& mark : curve.marks) {
        if (cells >= kMaxCellsPerCurve) break;
        if (std::find(shown.begin(), shown.end(), mark.value) != shown.end())
          continue;
        shown.push_back(mark.value);
        aircraft.set(variable->token, mark.value);
        snap(prefix + number_label(mark.value) + " " + curve.unit);
        ++cells;
      }
    } else if (curve.element_kind == "icon") {
      std::vector<double> indices;
      for (const CurvePoint& point : curve.points) {
        if (cells >= kMaxCellsPerCurve) break;
        if (std::find(indices.begin(), indices.end(), point.result) !=
            indices.end())
          continue;
        indices.push_back(point.result);
        aircraft.set(variable->token, point.value);
        snap(prefix + number_label(point.value) + " " + curve.unit +
             ": image " + number_label(point.result));
        ++cells;
      }
    }
    aircraft.set(variable->token, saved);
  }

  snap("day");
  const double lights = aircraft.number(kPanelLightsToken);
  aircraft.set(kPanelLightsToken, 1);
  snap("night, panel lights on", true);
  aircraft.set(kPanelLightsToken, lights);

  std::vector<int32_t> keys;
  for (const ElementHeader* head : gauge.elements)
    for (size_t f = 0;
         head->failures != nullptr && f < 64 && head->failures[f].key != 0; ++f)
      if (std::find(keys.begin(), keys.end(), head->failures[f].key) ==
          keys.end())
        keys.push_back(head->failures[f].key);
  std::sort(keys.begin(), keys.end());
  for (int32_t key : keys) {
    host.set_failure(key, true);
    snap("failure " + std::to_string(key) + " active");
    host.set_failure(key, false);
  }

  if (reads_power(host, gauge)) {
    set_panel_power(aircraft, false);
    snap("power off");
    set_panel_power(aircraft, true);
    snap("power on");
  }
  return sheet;
}
