// The fuel, electrical and outside-air indicators: fuel quantities in litres
// (tank level times the capacity Shut_Down seeds), the low-fuel lights at 20
// litres or less, the bus voltmeter, the outside-air thermometer and the
// flap-position slider.
#include "gauges/instruments/fuel_electrical.h"

#include <cmath>
#include <iterator>

#include "elements/declare.h"
#include "gauges/gauge_table.h"
#include "module/services.h"
#include "state/panel_state.h"

namespace {

constexpr int32_t kLeftTankLevel = 291;
constexpr int32_t kRightTankLevel = 297;
constexpr int32_t kMainBusVolts = 753;
constexpr int32_t kOutsideAirTemperature = 341;
constexpr int32_t kFlapPosition = 329;
constexpr double kFlapPixelsPerUnit = 0.00579833984375;

constexpr FailureEntry fuel_needle_failures[] = {
    {20, 1, 0}, {2, 0, 0}, kFailuresEnd};
constexpr FailureEntry lamp_failures[] = {{20, 3, 0}, kFailuresEnd};
constexpr FailureEntry voltmeter_failures[] = {
    {2, 0, 0}, {20, 2, 0}, kFailuresEnd};

constinit NonlinearityEntry fuel_table_left[] = {
    mark(-1, 105, 244),  mark(0, 105, 244),   mark(110, 150, 42),
    mark(220, 199, 251), mark(250, 199, 251),
};
constinit NonlinearityEntry fuel_table_right[] = {
    mark(-1, 105, 244),  mark(0, 105, 244),   mark(110, 150, 42),
    mark(220, 199, 251), mark(250, 199, 251),
};
static_assert(std::size(fuel_table_left) == 5);
static_assert(std::size(fuel_table_right) == std::size(fuel_table_left));

constinit NonlinearityEntry voltmeter_table[] = {
    mark(-1, 45, 96),  mark(0, 45, 96),   mark(20, 50, 83),  mark(24, 79, 68),
    mark(29, 161, 66), mark(32, 193, 88), mark(35, 205, 93), mark(40, 205, 93),
};
static_assert(std::size(voltmeter_table) == 8);

constinit NonlinearityEntry oat_table[] = {
    mark(-50, 33, 85), mark(-40, 33, 85), mark(-30, 33, 75), mark(-20, 41, 69),
    mark(-10, 50, 62), mark(0, 62, 56),   mark(40, 127, 56), mark(50, 139, 62),
    mark(60, 148, 69), mark(70, 154, 75), mark(80, 159, 82), mark(90, 159, 82),
};
static_assert(std::size(oat_table) == 12);

// --- Fuel quantities and low-fuel lights -----------------------------------

struct TankRow {
  GaugeHeader* dial;
  const char* dial_name;
  GaugeHeader* light;
  const char* light_name;
  int32_t token;
  const double* capacity_litres;
  double* shown_litres;
  std::span<NonlinearityEntry> table;
  const char* dial_tooltip;
  const char* light_tooltip;
};

constexpr TankRow kTanks[] = {
    {.dial = &fuel_quantity_left_gauge,
     .dial_name = "Fuel_Quantity_Left",
     .light = &low_fuel_light_left_gauge,
     .light_name = "Low_Fuel_Light_Left",
     .token = kLeftTankLevel,
     .capacity_litres = &left_tank_capacity,
     .shown_litres = &left_fuel_shown_litres,
     .table = fuel_table_left,
     .dial_tooltip = "Fuel quantity left (%1!d! liters)",
     .light_tooltip = "Left tank low level warning light (<20 liters)"},
    {.dial = &fuel_quantity_right_gauge,
     .dial_name = "Fuel_Quantity_Right",
     .light = &low_fuel_light_right_gauge,
     .light_name = "Low_Fuel_Light_Right",
     .token = kRightTankLevel,
     .capacity_litres = &right_tank_capacity,
     .shown_litres = &right_fuel_shown_litres,
     .table = fuel_table_right,
     .dial_tooltip = "Fuel quantity right (%1!d! liters)",
     .light_tooltip = "Right tank low level warning light (<20 liters)"},
};
constexpr int kTankCount = 2;
static_assert(std::size(kTanks) == kTankCount);

template <int N>
double GAUGE_CALL fuel_needle(ElementHeader* head) {
  const double level = element_as<NeedleElement>(head)->source.value.number;
  *kTanks[N].shown_litres = fuel_litres(*kTanks[N].capacity_litres, level);
  return *kTanks[N].shown_litres;
}

template <int N>
double GAUGE_CALL fuel_tooltip(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t,
                               uint32_t) {
  return *kTanks[N].shown_litres;
}

// The light computes its own quantity rather than trusting the dial's.
template <int N>
double GAUGE_CALL low_fuel_lamp(ElementHeader* head) {
  const double level = element_as<IconElement>(head)->source.value.number;
  return low_fuel_lit(fuel_litres(*kTanks[N].capacity_litres, level)) ? 0.0
                                                                      : -1.0;
}

template <int N>
constinit ElementChain<StaticImageElement, NeedleElement, StaticImageElement>
    fuel_chain{
        kTanks[N].dial,
        static_image({.bitmap = 2460, .at = {0, 0}, .flags = 0x4003}),
        needle({.bitmap = 2470,
                .at = {150, 150},
                .pivot = {14, 18},
                .token = kTanks[N].token,
                .table = kTanks[N].table,
                .callback = fuel_needle<N>,
                .flags = 0x4083,
                .failures = fuel_needle_failures,
                .max_turn_rate_degrees = 48}),
        static_image({.bitmap = 2480, .at = {0, 0}, .flags = 0x3}),
    };

template <int N>
constinit TooltipArg fuel_tooltip_args[] = {number_arg(fuel_tooltip<N>)};

template <int N>
constinit MouseRect fuel_mouse_areas[] = {
    mouse_parent(),
    mouse_parent({0, 0, 150, 300}),
    mouse_text_tooltip(kTanks[N].dial_tooltip, fuel_tooltip_args<N>, 1),
    mouse_parent_end(),
    mouse_parent_end(),
    mouse_end(),
};

template <int N>
constinit ElementChain<StaticImageElement, IconElement> lamp_chain{
    kTanks[N].light,
    static_image({.bitmap = 1280, .at = {0, 0}, .flags = 0x3}),
    icon({.bitmap = 1290,
          .at = {0, 0},
          .icons = 1,
          .token = kTanks[N].token,
          .callback = low_fuel_lamp<N>,
          .flags = 0x7,
          .failures = lamp_failures}),
};

template <int N>
constinit MouseRect lamp_mouse_areas[] = {
    mouse_parent(),
    mouse_text_tooltip(kTanks[N].light_tooltip),
    mouse_parent_end(),
    mouse_end(),
};

template <int N>
constexpr GaugeHeader fuel_header() {
  return gauge_header({
      .name = kTanks[N].dial_name,
      .width_mm = 100,
      .elements = fuel_chain<N>.list(),
      .mouse_areas = fuel_mouse_areas<N>,
  });
}

template <int N>
constexpr GaugeHeader lamp_header() {
  return gauge_header({
      .name = kTanks[N].light_name,
      .width_mm = 76,
      .elements = lamp_chain<N>.list(),
      .mouse_areas = lamp_mouse_areas<N>,
  });
}

// --- Voltmeter ---------------------------------------------------------------

double GAUGE_CALL voltmeter_store(ElementHeader* head) {
  bus_volts_shown =
      finite_or(element_as<NeedleElement>(head)->source.value.number, 0.0);
  return bus_volts_shown;
}

double GAUGE_CALL voltmeter_tooltip(uint32_t, uint32_t, uint32_t, uint32_t,
                                    uint32_t, uint32_t) {
  return bus_volts_shown;
}

constinit ElementChain voltmeter_chain{
    &voltmeter_gauge,
    static_image({.bitmap = 2320, .at = {0, 0}, .flags = 0x4003}),
    needle({.bitmap = 2330,
            .at = {127, 173},
            .pivot = {0, 5},
            .token = kMainBusVolts,
            .table = voltmeter_table,
            .callback = voltmeter_store,
            .flags = 0x4083,
            .failures = voltmeter_failures}),
    static_image({.bitmap = 2340, .at = {0, 0}, .flags = 0x4003}),
    static_image({.bitmap = 2350, .at = {0, 0}, .flags = 0x3}),
};

constinit TooltipArg voltmeter_args[] = {number_arg(voltmeter_tooltip)};

constinit MouseRect voltmeter_mouse_areas[] = {
    mouse_parent(),
    mouse_text_tooltip("Main bus voltage (%1!4.1f! volts)", voltmeter_args, 1),
    mouse_parent_end(),
    mouse_end(),
};

// --- Outside-air thermometer -------------------------------------------------

double GAUGE_CALL oat_tooltip(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t,
                              uint32_t) {
  outside_air_shown_c = finite_or(read_number_var(kOutsideAirTemperature), 0.0);
  return outside_air_shown_c;
}

constinit ElementChain oat_chain{
    &oat_indicator_gauge,
    static_image({.bitmap = 2200, .at = {0, 0}, .flags = 0x4003}),
    needle({.bitmap = 2210,
            .at = {100, 141},
            .pivot = {0, 3},
            .token = kOutsideAirTemperature,
            .table = oat_table,
            .flags = 0x4083}),
    static_image({.bitmap = 2220, .at = {0, 0}, .flags = 0x3}),
};

constinit TooltipArg oat_args[] = {number_arg(oat_tooltip)};

constinit MouseRect oat_mouse_areas[] = {
    mouse_parent(),
    mouse_text_tooltip("Admission air temperature (%1!d!\xB0"
                       "C)",
                       oat_args, 1),
    mouse_parent_end(),
    mouse_end(),
};

// --- Flap position
// -------------------------------------------------------------

double GAUGE_CALL flaps_tooltip(uint32_t, uint32_t, uint32_t, uint32_t,
                                uint32_t, uint32_t) {
  return finite_or(flap_degrees(read_number_var(kFlapPosition)), 0.0);
}

constinit ElementChain flaps_chain{
    &flaps_indicator_gauge,
    static_image({.bitmap = 3030, .at = {0, 0}, .flags = 0x3}),
    slider({.bitmap = 3040,
            .at = {3, 20},
            .y_token = kFlapPosition,
            .y_scale = kFlapPixelsPerUnit,
            .flags = 0x3}),
};

constinit TooltipArg flaps_args[] = {number_arg(flaps_tooltip)};

constinit MouseRect flaps_mouse_areas[] = {
    mouse_parent(),
    mouse_text_tooltip("Flaps position (%1!d!\xB0)", flaps_args, 1),
    mouse_parent_end(),
    mouse_end(),
};

}  // namespace

constinit double left_fuel_shown_litres = 0.0;
constinit double right_fuel_shown_litres = 0.0;
constinit double bus_volts_shown = 0.0;
constinit double outside_air_shown_c = 0.0;

double fuel_litres(double capacity_litres, double level) {
  const double litres = capacity_litres * level / kFullTankLevel;
  return std::isfinite(litres) ? litres : 0.0;
}

bool low_fuel_lit(double litres) { return !(litres > kLowFuelLitres); }

double flap_degrees(double position) {
  return position * kFullFlapDegrees / kFullFlapPosition;
}

constinit GaugeHeader fuel_quantity_left_gauge = fuel_header<0>();
constinit GaugeHeader fuel_quantity_right_gauge = fuel_header<1>();
constinit GaugeHeader low_fuel_light_left_gauge = lamp_header<0>();
constinit GaugeHeader low_fuel_light_right_gauge = lamp_header<1>();

constinit GaugeHeader voltmeter_gauge = gauge_header({
    .name = "Voltmeter",
    .width_mm = 100,
    .elements = voltmeter_chain.list(),
    .mouse_areas = voltmeter_mouse_areas,
});

constinit GaugeHeader oat_indicator_gauge = gauge_header({
    .name = "OAT_Indicator",
    .width_mm = 100,
    .elements = oat_chain.list(),
    .mouse_areas = oat_mouse_areas,
});

constinit GaugeHeader flaps_indicator_gauge = gauge_header({
    .name = "Flaps_Indicator",
    .width_mm = 33,
    .elements = flaps_chain.list(),
    .mouse_areas = flaps_mouse_areas,
});
