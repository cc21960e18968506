#include "host/sheet/sweep.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "host/core/needle.h"
#include "host/core/number_text.h"

namespace {

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
// The sweep goes this far beyond each end of the range the records give.
constexpr double kBeyondEnds = 0.2;
constexpr int kStepsPerSegment = 32;
constexpr int kStepsBeyondEnd = 24;
constexpr int kStepsThroughCallback = 480;
// A gauge that smooths or limits its needle gets this many frames to come
// to rest at each value.
constexpr int kMaxSettleFrames = 600;
constexpr int kBisections = 60;
// Where a callback's value is probed to find how it follows its variable.
constexpr double kProbeMantissas[] = {1, 2, 5};
constexpr int kProbeLowestPower = -3;
constexpr int kProbeHighestPower = 7;

constexpr int32_t kPowerTokens[] = {364, 565, 740, 753, 755, 759, 761};
constexpr int32_t kBusVoltsTokens[] = {753, 755, 759, 761};
constexpr double kBusVolts = 28.0;

const char* const kSlotNames[3][3] = {
    {"value", "", ""}, {"x", "y", ""}, {"x", "y", "rotation"}};

const char* slot_name(uint32_t kind, size_t slot) {
  if (kind == kSlider || kind == kMovingImage) return kSlotNames[1][slot];
  if (kind == kSprite) return kSlotNames[2][slot];
  return kSlotNames[0][slot];
}

const char* kind_text(uint32_t kind) {
  static const char* const names[] = {"static", "needle", "string", "slider",
                                      "icon",   "moving", "sprite"};
  return kind <= kSprite ? names[kind] : "unknown";
}

size_t slot_count(uint32_t kind) {
  switch (kind) {
    case kNeedle:
    case kIcon:
      return 1;
    case kSlider:
    case kMovingImage:
      return 2;
    case kSprite:
      return 3;
    default:
      return 0;
  }
}

struct Slot {
  const ModuleVar* source = nullptr;
  ElementCallback callback = nullptr;
};

Slot slot_of(const ElementHeader* head, size_t slot) {
  auto* e = const_cast<ElementHeader*>(head);
  switch (head->kind) {
    case kNeedle: {
      auto* n = element_as<NeedleElement>(e);
      return {&n->source, n->callback};
    }
    case kIcon: {
      auto* i = element_as<IconElement>(e);
      return {&i->source, i->callback};
    }
    case kSlider: {
      auto* s = element_as<SliderElement>(e);
      return slot == 0 ? Slot{&s->x_source, s->x_callback}
                       : Slot{&s->y_source, s->y_callback};
    }
    case kMovingImage: {
      auto* m = element_as<MovingImageElement>(e);
      return slot == 0 ? Slot{&m->x_source, m->x_callback}
                       : Slot{&m->y_source, m->y_callback};
    }
    case kSprite: {
      auto* s = element_as<SpriteElement>(e);
      if (slot == 0) return {&s->x_source, s->x_callback};
      if (slot == 1) return {&s->y_source, s->y_callback};
      return {&s->rotation_source, s->rotation_callback};
    }
    default:
      return {};
  }
}

// The result a slot's value gives by the records, as the host computes it.
double mapped_result(const ElementMapping& m, size_t slot, double value,
                     std::span<const double> angles) {
  switch (m.kind) {
    case kNeedle:
      return needle_angle(m.table, angles, value);
    case kIcon: {
      const double index = value * m.scales[0] + m.icon_offset;
      if (!std::isfinite(index)) return -1;
      const int32_t whole = saturating_int32(index);
      return whole < -1 || whole >= m.icons ? -1 : whole;
    }
    case kSlider:
    case kSprite:
      return value * m.scales[slot];
    case kMovingImage: {
      const double low = m.minimums[slot], high = m.maximums[slot];
      if (low == high || !std::isfinite(value)) return 0;
      return std::clamp((value - low) / (high - low), 0.0, 1.0);
    }
    default:
      return kNan;
  }
}

const char* result_name(uint32_t kind, size_t slot) {
  switch (kind) {
    case kNeedle:
      return "angle";
    case kIcon:
      return "image index";
    case kMovingImage:
      return "place along its travel";
    case kSprite:
      return slot == 2 ? "turn" : "shift";
    default:
      return "shift";
  }
}

const char* result_unit(uint32_t kind, size_t slot) {
  switch (kind) {
    case kNeedle:
      return "degrees";
    case kSprite:
      return slot == 2 ? "degrees" : "pixels";
    case kSlider:
      return "pixels";
    case kMovingImage:
      return "0 to 1";
    default:
      return "";
  }
}

// The range of values the records give a slot meaning over; nullopt when
// they give none (an icon scaled by zero, a moving image whose ends meet).
std::optional<std::pair<double, double>> records_range(
    const ElementMapping& m, size_t slot, double shift_extent_pixels) {
  double low = kNan, high = kNan;
  switch (m.kind) {
    case kNeedle:
      for (const NonlinearityEntry& entry : m.table) {
        if (!std::isfinite(entry.value)) continue;
        low = std::isnan(low) ? entry.value : std::min(low, entry.value);
        high = std::isnan(high) ? entry.value : std::max(high, entry.value);
      }
      break;
    case kIcon:
      if (m.scales[0] == 0 || m.icons <= 0) return std::nullopt;
      low = (0 - m.icon_offset) / m.scales[0];
      high = (m.icons - 1 - m.icon_offset) / m.scales[0];
      break;
    case kMovingImage:
      low = m.minimums[slot];
      high = m.maximums[slot];
      break;
    case kSlider:
    case kSprite: {
      const double scale = std::abs(m.scales[slot]);
      if (scale == 0) return std::nullopt;
      const double extent =
          m.kind == kSprite && slot == 2 ? 180.0 : shift_extent_pixels;
      low = -extent / scale;
      high = extent / scale;
      break;
    }
    default:
      return std::nullopt;
  }
  if (!std::isfinite(low) || !std::isfinite(high)) return std::nullopt;
  if (low > high) std::swap(low, high);
  // The sweep goes a fifth of the range beyond each end: that must stay a
  // finite number too.
  if (low == high || !std::isfinite((high - low) * (1 + 2 * kBeyondEnds)))
    return std::nullopt;
  return std::pair{low, high};
}

// Values across [low, high] and beyond by kBeyondEnds, with every table
// value among them, ascending.
std::vector<double> sweep_values(double low, double high,
                                 std::span<const double> exact) {
  const double beyond = (high - low) * kBeyondEnds;
  std::vector<double> knots(exact.begin(), exact.end());
  knots.push_back(low);
  knots.push_back(high);
  std::sort(knots.begin(), knots.end());
  knots.erase(std::unique(knots.begin(), knots.end()), knots.end());
  std::vector<double> values;
  for (int s = 0; s < kStepsBeyondEnd; ++s)
    values.push_back(low - beyond + beyond * s / kStepsBeyondEnd);
  for (size_t k = 0; k + 1 < knots.size(); ++k)
    for (int s = 0; s < kStepsPerSegment; ++s)
      values.push_back(knots[k] +
                       (knots[k + 1] - knots[k]) * s / kStepsPerSegment);
  for (int s = 0; s <= kStepsBeyondEnd; ++s)
    values.push_back(high + beyond * s / kStepsBeyondEnd);
  return values;
}

struct Reading {
  double variable = kNan;  // as the gauge read it
  double value = kNan;     // the element's value after its callback
  double result = kNan;
};

class SlotDriver {
 public:
  SlotDriver(Host& host, GaugeInstance& gauge, size_t index, size_t slot,
             const ElementMapping& mapping, int32_t token)
      : host_(host),
        gauge_(gauge),
        index_(index),
        slot_(slot),
        mapping_(mapping),
        token_(token) {}

  Reading at(double variable) {
    host_.aircraft().set(token_, variable);
    Reading last = read();
    for (int frame = 0; frame < kMaxSettleFrames; ++frame) {
      host_.run_frames(1);
      const Reading now = read();
      const bool settled = frame > 0 && same(now.value, last.value) &&
                           same(now.result, last.result);
      last = now;
      if (settled) break;
    }
    return last;
  }

 private:
  static bool same(double a, double b) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
    return std::abs(a - b) <= 1e-9 * std::max(1.0, std::abs(a));
  }

  Reading read() const {
    const ElementState& state = gauge_.states[index_];
    Reading reading;
    reading.variable = host_.aircraft().number(token_);
    reading.value = state.values[slot_];
    if (mapping_.kind == kNeedle)
      reading.result = state.has_angle ? state.angle : kNan;
    else if (mapping_.kind == kIcon)
      reading.result = state.icon_index;
    else
      reading.result = mapped_result(mapping_, slot_, reading.value, {});
    return reading;
  }

  Host& host_;
  GaugeInstance& gauge_;
  size_t index_;
  size_t slot_;
  const ElementMapping& mapping_;
  int32_t token_;
};

std::vector<double> probe_values() {
  std::vector<double> values = {0};
  for (int power = kProbeLowestPower; power <= kProbeHighestPower; ++power)
    for (double mantissa : kProbeMantissas) {
      const double v = mantissa * std::pow(10.0, power);
      values.push_back(v);
      values.push_back(-v);
    }
  std::sort(values.begin(), values.end());
  return values;
}

// The variable's value at which the callback gives `target`, between two
// probes that enclose it; nullopt when no two do.
std::optional<double> variable_for(SlotDriver& driver,
                                   std::span<const Reading> probes,
                                   double target) {
  for (size_t p = 0; p + 1 < probes.size(); ++p) {
    const double a = probes[p].value, b = probes[p + 1].value;
    if (!std::isfinite(a) || !std::isfinite(b)) continue;
    if (!((a <= target && target <= b) || (b <= target && target <= a)))
      continue;
    double low = probes[p].variable, high = probes[p + 1].variable;
    const bool rising = b >= a;
    for (int i = 0; i < kBisections; ++i) {
      const double middle = low + (high - low) / 2;
      const double value = driver.at(middle).value;
      if ((value < target) == rising)
        low = middle;
      else
        high = middle;
    }
    return low + (high - low) / 2;
  }
  return std::nullopt;
}

}  // namespace

bool is_power_token(int32_t token) {
  return std::find(std::begin(kPowerTokens), std::end(kPowerTokens), token) !=
         std::end(kPowerTokens);
}

void set_panel_power(Aircraft& aircraft, bool on) {
  aircraft.set_model_enabled(false);
  for (int32_t token : kPowerTokens) aircraft.set(token, on ? 1.0 : 0.0);
  for (int32_t token : kBusVoltsTokens)
    aircraft.set(token, on ? kBusVolts : 0.0);
}

ElementMapping mapping_of(const ElementHeader* head, int element) {
  ElementMapping m;
  m.kind = head->kind;
  m.element = element;
  auto* e = const_cast<ElementHeader*>(head);
  switch (head->kind) {
    case kNeedle: {
      auto* n = element_as<NeedleElement>(e);
      m.pivot_x = head->x;
      m.pivot_y = head->y;
      if (n->table != nullptr)
        m.table.assign(n->table,
                       n->table + std::clamp(n->table_entries, 0, 1024));
      break;
    }
    case kIcon: {
      auto* i = element_as<IconElement>(e);
      m.scales[0] = i->scale;
      m.icon_offset = i->offset;
      m.icons = i->icons;
      break;
    }
    case kSlider: {
      auto* s = element_as<SliderElement>(e);
      m.scales[0] = s->x_scale;
      m.scales[1] = s->y_scale;
      break;
    }
    case kMovingImage: {
      auto* mi = element_as<MovingImageElement>(e);
      m.minimums[0] = mi->x_min;
      m.maximums[0] = mi->x_max;
      m.minimums[1] = mi->y_min;
      m.maximums[1] = mi->y_max;
      break;
    }
    case kSprite: {
      auto* s = element_as<SpriteElement>(e);
      m.scales[0] = s->x_scale;
      m.scales[1] = s->y_scale;
      m.scales[2] = s->rotation_scale;
      break;
    }
    default:
      break;
  }
  return m;
}

double between_marks(std::span<const CalibrationMark> marks, double value) {
  if (marks.size() < 2 || !std::isfinite(value)) return kNan;
  size_t i = 0;
  while (i + 2 < marks.size() && value > marks[i + 1].value) ++i;
  // Marks of one value (a repeated table entry) give no slope: the next
  // pair that has one is used.
  const CalibrationMark& a = marks[i];
  const CalibrationMark& b = marks[i + 1];
  if (a.value == b.value) return value <= a.value ? a.result : b.result;
  return a.result +
         (value - a.value) * (b.result - a.result) / (b.value - a.value);
}

void find_departures(Curve& curve) {
  curve.departures.clear();
  if (curve.marks.size() < 2) return;
  for (CurvePoint& point : curve.points) {
    const double expected = between_marks(curve.marks, point.value);
    point.departs = std::isfinite(point.result) && std::isfinite(expected) &&
                    std::abs(point.result - expected) > kDepartureTolerance;
    if (point.departs)
      curve.departures.push_back({point.value, point.result, expected});
  }
}

std::vector<double> find_stops(const Curve& curve) {
  if (curve.marks.size() < 2) return {};
  const double low = curve.marks.front().value;
  const double high = curve.marks.back().value;
  std::vector<const CurvePoint*> inside;
  for (const CurvePoint& point : curve.points)
    if (point.value >= low && point.value <= high &&
        std::isfinite(point.result))
      inside.push_back(&point);
  if (inside.empty()) return {};
  double least = inside.front()->result, most = least;
  for (const CurvePoint* point : inside) {
    least = std::min(least, point->result);
    most = std::max(most, point->result);
  }
  const double tolerance = 1e-6 * std::max(1.0, std::abs(most - least));
  std::vector<double> stops;
  for (double extreme : {least, most}) {
    auto at_extreme = [&](const CurvePoint* p) {
      return std::abs(p->result - extreme) <= tolerance;
    };
    if (at_extreme(inside.front())) {
      size_t i = 0;
      while (i + 1 < inside.size() && at_extreme(inside[i + 1])) ++i;
      stops.push_back(inside[i]->value);
    }
    if (at_extreme(inside.back())) {
      size_t i = inside.size() - 1;
      while (i > 0 && at_extreme(inside[i - 1])) --i;
      stops.push_back(inside[i]->value);
    }
  }
  std::sort(stops.begin(), stops.end());
  stops.erase(std::unique(stops.begin(), stops.end()), stops.end());
  return stops;
}

std::optional<Curve> curve_from_records(const ElementMapping& mapping,
                                        size_t slot, std::string variable,
                                        std::string unit) {
  const auto range = records_range(mapping, slot, 100);
  if (!range) return std::nullopt;
  const std::vector<double> angles =
      mapping.kind == kNeedle
          ? table_angles({mapping.pivot_x, mapping.pivot_y}, mapping.table)
          : std::vector<double>{};
  std::vector<double> exact;
  for (const NonlinearityEntry& entry : mapping.table)
    exact.push_back(entry.value);
  Curve curve;
  curve.element = mapping.element;
  curve.element_kind = kind_text(mapping.kind);
  curve.slot = slot_name(mapping.kind, slot);
  curve.result_name = result_name(mapping.kind, slot);
  curve.result_unit = result_unit(mapping.kind, slot);
  curve.variable = std::move(variable);
  curve.unit = std::move(unit);
  curve.from_records = true;
  for (double value : sweep_values(range->first, range->second, exact))
    curve.points.push_back(
        {value, mapped_result(mapping, slot, value, angles), false});
  for (size_t i = 0; i < mapping.table.size(); ++i)
    curve.marks.push_back({mapping.table[i].value, angles[i]});
  std::stable_sort(curve.marks.begin(), curve.marks.end(),
                   [](const CalibrationMark& a, const CalibrationMark& b) {
                     return a.value < b.value;
                   });
  curve.stops = find_stops(curve);
  return curve;
}

namespace {

std::string variable_label(const AircraftVariable* variable, int32_t token) {
  return variable ? variable->name : "variable " + std::to_string(token);
}

// One slot swept through the running gauge; nullopt with `why` when it
// cannot be.
std::optional<Curve> sweep_slot(Host& host, GaugeInstance& gauge, size_t index,
                                size_t slot, double shift_extent_pixels,
                                std::string& why) {
  const ElementHeader* head = gauge.elements[index];
  const ElementMapping mapping = mapping_of(head, int(index) + 1);
  const Slot source = slot_of(head, slot);
  const int32_t token = source.source ? source.source->token : 0;
  const AircraftVariable* variable = find_aircraft_variable(token);
  const std::string name =
      std::string(kind_text(head->kind)) + " " + slot_name(head->kind, slot);
  if (token == 0 && source.callback == nullptr) return std::nullopt;
  const auto range = records_range(mapping, slot, shift_extent_pixels);
  if (!range) {
    why = "its records give its " + std::string(slot_name(head->kind, slot)) +
          " no range to sweep";
    return std::nullopt;
  }
  if ((token == 0 || variable == nullptr || variable->bcd) &&
      head->kind != kNeedle) {
    why = token == 0 ? "its value comes from its callback alone"
          : variable == nullptr
              ? "it reads variable " + std::to_string(token) +
                    ", which the host's aircraft does not hold"
              : "it reads " + std::string(variable->name) +
                    ", a BCD word, not a quantity to sweep";
    return std::nullopt;
  }
  if (token == 0 || variable == nullptr || variable->bcd) {
    why = token == 0 ? "its callback gives its value from no bound variable"
          : variable == nullptr
              ? "it reads variable " + std::to_string(token) +
                    ", which the host's aircraft does not hold"
              : "it reads " + std::string(variable->name) +
                    ", a BCD word, not a quantity to sweep";
    std::optional<Curve> curve =
        curve_from_records(mapping, slot, "its value",
                           head->kind == kNeedle ? "the table's unit" : "");
    if (curve) curve->note = "drawn from its records: " + why;
    why.clear();
    return curve;
  }

  SlotDriver driver(host, gauge, index, slot, mapping, token);
  const double saved = host.aircraft().number(token);
  std::vector<double> exact;
  for (const NonlinearityEntry& entry : mapping.table)
    exact.push_back(entry.value);
  const std::vector<double> angles = gauge.states[index].table_angles;

  Curve curve;
  curve.element = mapping.element;
  curve.element_kind = kind_text(head->kind);
  curve.slot = slot_name(head->kind, slot);
  curve.result_name = result_name(head->kind, slot);
  curve.result_unit = result_unit(head->kind, slot);
  curve.variable = variable_label(variable, token);
  curve.unit = variable->unit;

  std::vector<double> variables;
  std::vector<double> mark_variables(exact.size(), kNan);
  if (source.callback != nullptr) curve.note = "through its callback";
  // An icon's variable is most often the switch position the image index
  // shows, callback or not: it is swept over the indices.
  if (source.callback == nullptr || head->kind == kIcon) {
    variables = sweep_values(range->first, range->second, exact);
    mark_variables = exact;
  } else {
    // The callback stands between the variable and the element: how it
    // carries one into the other is found by probing, and the variable is
    // then swept over what covers the records' range.
    std::vector<Reading> probes;
    for (double v : probe_values()) probes.push_back(driver.at(v));
    std::optional<double> low = variable_for(driver, probes, range->first);
    std::optional<double> high = variable_for(driver, probes, range->second);
    if (!low || !high || *low == *high) {
      host.aircraft().set(token, saved);
      host.run_frames(1);
      why = "its callback does not carry " + curve.variable +
            " across the range its records give";
      if (head->kind != kNeedle) return std::nullopt;
      std::optional<Curve> records =
          curve_from_records(mapping, slot, "its value", "the table's unit");
      if (records) {
        records->note = "drawn from its records: " + why;
        why.clear();
      }
      return records;
    }
    if (*low > *high) std::swap(*low, *high);
    const double beyond = (*high - *low) * kBeyondEnds;
    *low -= beyond;
    *high += beyond;
    for (int s = 0; s <= kStepsThroughCallback; ++s)
      variables.push_back(*low + (*high - *low) * s / kStepsThroughCallback);
    for (size_t i = 0; i < exact.size(); ++i)
      if (auto v = variable_for(driver, probes, exact[i])) {
        mark_variables[i] = *v;
        // Swept there too, so that a stop lies on its calibration point.
        variables.push_back(*v);
      }
  }
  for (double v : variables) {
    const Reading reading = driver.at(v);
    curve.points.push_back({reading.variable, reading.result, false});
  }
  std::sort(curve.points.begin(), curve.points.end(),
            [](const CurvePoint& a, const CurvePoint& b) {
              return a.value < b.value;
            });
  for (size_t i = 0; i < exact.size() && i < angles.size(); ++i)
    if (std::isfinite(mark_variables[i]))
      curve.marks.push_back({mark_variables[i], angles[i]});
  std::stable_sort(curve.marks.begin(), curve.marks.end(),
                   [](const CalibrationMark& a, const CalibrationMark& b) {
                     return a.value < b.value;
                   });
  if (head->kind == kNeedle) {
    find_departures(curve);
    curve.stops = find_stops(curve);
  }
  host.aircraft().set(token, saved);
  host.run_frames(1);
  return curve;
}

}  // namespace

GaugePlot sweep_gauge(Host& host, GaugeInstance& gauge) {
  GaugePlot plot;
  plot.gauge = gauge.placement->gauge;
  set_panel_power(host.aircraft(), true);
  host.run_frames(1);
  // A shift is swept across the gauge's window: its width for x, its
  // height for y.
  const PanelWindow& window = host.panel().windows[gauge.window];
  const double extents[2] = {window.width > 0 ? double(window.width) : 100.0,
                             window.height > 0 ? double(window.height) : 100.0};
  for (size_t index = 0; index < gauge.elements.size(); ++index) {
    const ElementHeader* head = gauge.elements[index];
    for (size_t slot = 0; slot < slot_count(head->kind); ++slot) {
      std::string why;
      std::optional<Curve> curve =
          sweep_slot(host, gauge, index, slot, extents[slot == 1], why);
      if (curve)
        plot.curves.push_back(std::move(*curve));
      else if (!why.empty())
        plot.notes.push_back("element " + std::to_string(index + 1) + " " +
                             kind_text(head->kind) + " " +
                             slot_name(head->kind, slot) + ": " + why);
    }
  }
  return plot;
}
