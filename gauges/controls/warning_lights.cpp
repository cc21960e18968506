// The two warning lights of the electrical panel: the generator-off light,
// lit while the generator gives almost nothing (token 761 below 10 volts)
// and the battery bus is alive (token 759 above 20 volts), and the pitot-heat
// light, lit while the pitot heat is on (token 13). Both go dark under the
// electrical failure; tooltips only, no clicks.
#include <iterator>

#include "elements/declare.h"
#include "gauges/gauge_table.h"
#include "module/services.h"

namespace {

constexpr int32_t kGeneratorVolts = 761;
constexpr int32_t kBatteryBusVolts = 759;
constexpr double kGeneratorDeadBelowVolts = 10.0;
constexpr double kBusAliveAboveVolts = 20.0;
constexpr int32_t kPitotHeat = 13;

constexpr FailureEntry lamp_failures[] = {{20, 3, 0}, kFailuresEnd};

double GAUGE_CALL generator_lamp(ElementHeader*) {
  const double generator = read_number_var(kGeneratorVolts);
  const double bus = read_number_var(kBatteryBusVolts);
  return generator < kGeneratorDeadBelowVolts && bus > kBusAliveAboveVolts
             ? 0.0
             : -1.0;
}

// The pitot heat state minus one: 1 lights the single image, 0 leaves it
// dark. Values outside 0..1 (NaN too) are held to dark or lit.
double GAUGE_CALL pitot_lamp(ElementHeader* head) {
  const double heat = element_as<IconElement>(head)->source.value.number;
  if (!(heat > 0.0)) return -1.0;
  if (heat >= 1.0) return 0.0;
  return heat - 1.0;
}

struct LightRow {
  GaugeHeader* gauge;
  const char* name;
  int32_t face_bitmap;
  int32_t lamp_bitmap;
  int32_t token;
  ElementCallback lamp;
  const char* tooltip;
};

constexpr LightRow kLights[] = {
    {.gauge = &generator_light_gauge,
     .name = "Generator_Light",
     .face_bitmap = 2300,
     .lamp_bitmap = 2310,
     .token = 0,
     .lamp = generator_lamp,
     .tooltip = "Generator off light"},
    {.gauge = &pitot_heat_light_gauge,
     .name = "Pitot_Heat_Light",
     .face_bitmap = 3090,
     .lamp_bitmap = 3100,
     .token = kPitotHeat,
     .lamp = pitot_lamp,
     .tooltip = "Pitot heat active light"},
};
constexpr int kLightCount = 2;
static_assert(std::size(kLights) == kLightCount);

template <int N>
constinit ElementChain<StaticImageElement, IconElement> chain{
    kLights[N].gauge,
    static_image(
        {.bitmap = kLights[N].face_bitmap, .at = {0, 0}, .flags = 0x3}),
    icon({.bitmap = kLights[N].lamp_bitmap,
          .at = {0, 0},
          .icons = 1,
          .token = kLights[N].token,
          .callback = kLights[N].lamp,
          .flags = 0x7,
          .failures = lamp_failures}),
};

template <int N>
constinit MouseRect mouse_areas[] = {
    mouse_parent(),
    mouse_text_tooltip(kLights[N].tooltip),
    mouse_parent_end(),
    mouse_end(),
};

template <int N>
constexpr GaugeHeader light_header() {
  return gauge_header({
      .name = kLights[N].name,
      .width_mm = 30,
      .elements = chain<N>.list(),
      .mouse_areas = mouse_areas<N>,
  });
}

}  // namespace

constinit GaugeHeader generator_light_gauge = light_header<0>();
constinit GaugeHeader pitot_heat_light_gauge = light_header<1>();
