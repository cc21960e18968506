// The seven engine dials, one family: a face, one needle and a glass each,
// with a whole-gauge tooltip. What differs between them is one row of
// kDials; three needles shape their value (the oil valve gate, the
// carburettor's calculator read-out) and two tooltips convert to the dial's
// own unit.
#include "gauges/instruments/engine_dials.h"

#include <iterator>

#include "elements/declare.h"
#include "gauges/gauge_table.h"
#include "module/services.h"
#include "state/panel_state.h"

namespace {

constexpr int32_t kEngineRpm = 390;
constexpr int32_t kManifoldPressure = 391;
constexpr int32_t kCylinderHeadTemperature = 415;
constexpr int32_t kOilTemperature = 416;
constexpr int32_t kOilPressure = 418;
constexpr int32_t kFuelPressure = 425;

constexpr char kCarburetorExpression[] =
    "(A:RECIP CARBURETOR TEMPERATURE:1,celsius)";

constinit NonlinearityEntry manifold_table[] = {
    mark(-20.8791, 105, 260), mark(0, 105, 260),        mark(1252.746, 90, 254),
    mark(2087.91, 91, 49),    mark(3340.656, 210, 254), mark(4175.82, 210, 254),
};
static_assert(std::size(manifold_table) == 6);

constinit NonlinearityEntry tachometer_table[] = {
    mark(0, 150, 260),    mark(300, 122, 260),  mark(500, 65, 227),
    mark(2300, 256, 104), mark(3200, 180, 259), mark(3500, 180, 259),
};
static_assert(std::size(tachometer_table) == 6);

constinit NonlinearityEntry oil_pressure_table[] = {
    mark(-20879.1, 52, 160),
    mark(0, 52, 160),
    mark(20879.1, 172, 94),
    mark(41758.2, 156, 152),
    mark(62637.299999999996, 156, 152),
};
static_assert(std::size(oil_pressure_table) == 5);

constinit NonlinearityEntry oil_temperature_table[] = {
    mark(489.87, 51, 161),  mark(491.67, 51, 161),  mark(563.67, 25, 114),
    mark(635.67, 86, 26),   mark(671.67, 155, 53),  mark(689.67, 175, 98),
    mark(707.67, 148, 155), mark(761.67, 148, 155),
};
static_assert(std::size(oil_temperature_table) == 8);

constinit NonlinearityEntry cht_table[] = {
    mark(489.87, 42, 120),   mark(491.67, 42, 120),   mark(671.67, 98, 87),
    mark(851.67, 173, 81),   mark(1031.67, 239, 106), mark(1139.67, 270, 131),
    mark(1391.67, 270, 131),
};
static_assert(std::size(cht_table) == 7);

constinit NonlinearityEntry carburetor_table[] = {
    mark(-50, 33, 85), mark(-40, 33, 85), mark(-30, 33, 75), mark(-20, 41, 69),
    mark(-10, 50, 62), mark(0, 62, 56),   mark(40, 127, 56), mark(50, 139, 62),
    mark(60, 148, 69), mark(70, 154, 75), mark(80, 159, 82), mark(90, 159, 82),
};
static_assert(std::size(carburetor_table) == 12);

constinit NonlinearityEntry fuel_pressure_table[] = {
    mark(-20.8791, 64, 166),  mark(0, 64, 166),         mark(626.373, 102, 28),
    mark(1252.746, 139, 164), mark(1461.537, 139, 164),
};
static_assert(std::size(fuel_pressure_table) == 5);

constexpr FailureEntry electrical_failures[] = {{2, 0, 0}, kFailuresEnd};
constexpr FailureEntry electrical_and_vacuum_failures[] = {
    {2, 0, 0}, {20, 2, 0}, kFailuresEnd};

double GAUGE_CALL oil_valve_gate(ElementHeader* head) {
  if (oil_valve_open == 0) return kOilPressureValveShut;
  // A reading the simulator cannot give is no pressure, never handed on.
  return finite_or(element_as<NeedleElement>(head)->source.value.number, 0.0);
}

double GAUGE_CALL carburetor_reading(ElementHeader*) {
  execute_calculator_code(kCarburetorExpression, &carburetor_temperature_c,
                          nullptr, nullptr);
  carburetor_temperature_c = finite_or(carburetor_temperature_c, 0.0);
  return carburetor_temperature_c;
}

double GAUGE_CALL carburetor_tooltip(uint32_t, uint32_t, uint32_t, uint32_t,
                                     uint32_t, uint32_t) {
  return carburetor_temperature_c;
}

double GAUGE_CALL fuel_pressure_tooltip(uint32_t, uint32_t, uint32_t, uint32_t,
                                        uint32_t, uint32_t) {
  return finite_or(read_number_var(kFuelPressure) / kHostPressurePerKilopascal,
                   0.0);
}

struct DialRow {
  GaugeHeader* gauge;
  const char* name;
  uint32_t width_mm;
  int32_t face_bitmap;
  const FailureEntry* face_failures = nullptr;
  int32_t needle_bitmap;
  Point needle_at;
  Point pivot;
  int32_t token = 0;
  std::span<NonlinearityEntry> table;
  ElementCallback callback = nullptr;
  const FailureEntry* needle_failures;
  int32_t glass_bitmap;
  uint32_t help_id = 0;
  const char* tooltip = nullptr;
  TooltipNumberCallback tooltip_number = nullptr;
};

constexpr DialRow kDials[] = {
    {.gauge = &manifold_pressure_gauge,
     .name = "Manifold_Pressure",
     .width_mm = 100,
     .face_bitmap = 1390,
     .needle_bitmap = 1400,
     .needle_at = {150, 150},
     .pivot = {45, 16},
     .token = kManifoldPressure,
     .table = manifold_table,
     .needle_failures = electrical_failures,
     .glass_bitmap = 1410,
     .help_id = 12456},
    {.gauge = &tachometer_gauge,
     .name = "Tachometer",
     .width_mm = 100,
     .face_bitmap = 1450,
     .needle_bitmap = 1460,
     .needle_at = {151, 151},
     .pivot = {45, 16},
     .token = kEngineRpm,
     .table = tachometer_table,
     .needle_failures = electrical_and_vacuum_failures,
     .glass_bitmap = 1470,
     .help_id = 12817},
    {.gauge = &oil_pressure_gauge,
     .name = "Oil_Pressure",
     .width_mm = 100,
     .face_bitmap = 2110,
     .face_failures = electrical_failures,
     .needle_bitmap = 2120,
     .needle_at = {100, 100},
     .pivot = {36, 13},
     .token = kOilPressure,
     .table = oil_pressure_table,
     .callback = oil_valve_gate,
     .needle_failures = electrical_failures,
     .glass_bitmap = 2130,
     .help_id = 12552},
    {.gauge = &oil_temperature_gauge,
     .name = "Oil_Temperature",
     .width_mm = 100,
     .face_bitmap = 2140,
     .needle_bitmap = 2150,
     .needle_at = {100, 100},
     .pivot = {36, 13},
     .token = kOilTemperature,
     .table = oil_temperature_table,
     .needle_failures = electrical_failures,
     .glass_bitmap = 2160,
     .help_id = 12528},
    {.gauge = &cht_indicator_gauge,
     .name = "CHT_Indicator",
     .width_mm = 100,
     .face_bitmap = 1420,
     .needle_bitmap = 1430,
     .needle_at = {151, 230},
     .pivot = {0, 6},
     .token = kCylinderHeadTemperature,
     .table = cht_table,
     .needle_failures = electrical_failures,
     .glass_bitmap = 1440,
     .help_id = 12496},
    {.gauge = &carburetor_temp_gauge,
     .name = "Carburetor_Temp",
     .width_mm = 100,
     .face_bitmap = 3110,
     .needle_bitmap = 3120,
     .needle_at = {100, 141},
     .pivot = {0, 3},
     .table = carburetor_table,
     .callback = carburetor_reading,
     .needle_failures = electrical_and_vacuum_failures,
     .glass_bitmap = 3130,
     .tooltip = "Admission air temperature (%1!d!\xB0"
                "C)",
     .tooltip_number = carburetor_tooltip},
    {.gauge = &fuel_pressure_gauge,
     .name = "Fuel_Pressure",
     .width_mm = 63,
     .face_bitmap = 2170,
     .needle_bitmap = 2180,
     .needle_at = {100, 100},
     .pivot = {36, 13},
     .token = kFuelPressure,
     .table = fuel_pressure_table,
     .needle_failures = electrical_failures,
     .glass_bitmap = 2190,
     .tooltip = "Fuel pressure (%1!d! pz)",
     .tooltip_number = fuel_pressure_tooltip},
};
constexpr int kDialCount = 7;
static_assert(std::size(kDials) == kDialCount);

template <int N>
constinit ElementChain<StaticImageElement, NeedleElement, StaticImageElement>
    chain{
        kDials[N].gauge,
        [] {
          StaticImageElement face = static_image(
              {.bitmap = kDials[N].face_bitmap, .at = {0, 0}, .flags = 0x4003});
          face.head.failures = kDials[N].face_failures;
          return face;
        }(),
        needle({.bitmap = kDials[N].needle_bitmap,
                .at = kDials[N].needle_at,
                .pivot = kDials[N].pivot,
                .token = kDials[N].token,
                .table = kDials[N].table,
                .callback = kDials[N].callback,
                .flags = 0x4083,
                .failures = kDials[N].needle_failures}),
        static_image(
            {.bitmap = kDials[N].glass_bitmap, .at = {0, 0}, .flags = 0x3}),
    };

template <int N>
constinit TooltipArg tooltip_args[] = {number_arg(kDials[N].tooltip_number)};

template <int N>
constinit MouseRect mouse_areas[] = {
    mouse_parent(),
    kDials[N].tooltip == nullptr
        ? mouse_help_tooltip(kDials[N].help_id)
        : mouse_text_tooltip(kDials[N].tooltip, tooltip_args<N>, 1),
    mouse_parent_end(),
    mouse_end(),
};

template <int N>
constexpr GaugeHeader dial_header() {
  return gauge_header({
      .name = kDials[N].name,
      .width_mm = kDials[N].width_mm,
      .elements = chain<N>.list(),
      .mouse_areas = mouse_areas<N>,
  });
}

}  // namespace

constinit double carburetor_temperature_c = 0.0;

constinit GaugeHeader manifold_pressure_gauge = dial_header<0>();
constinit GaugeHeader tachometer_gauge = dial_header<1>();
constinit GaugeHeader oil_pressure_gauge = dial_header<2>();
constinit GaugeHeader oil_temperature_gauge = dial_header<3>();
constinit GaugeHeader cht_indicator_gauge = dial_header<4>();
constinit GaugeHeader carburetor_temp_gauge = dial_header<5>();
constinit GaugeHeader fuel_pressure_gauge = dial_header<6>();
