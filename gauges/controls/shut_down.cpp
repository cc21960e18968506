// The cold-and-dark start-up: an invisible gauge that, each time it is
// connected to its window, seeds the fuel dials' tank capacities from the
// simulator's tanks and, while token 60 is above 0, switches the aircraft
// off: mixture, fuel, throttle, electrics, lights and every radio head.
#include <cmath>
#include <iterator>

#include "elements/declare.h"
#include "gauges/gauge_table.h"
#include "module/services.h"
#include "state/panel_state.h"

namespace {

constexpr int32_t kLeftCapacityGallons = 292;
constexpr int32_t kRightCapacityGallons = 298;
constexpr double kLitresPerGallon = 3.785;
constexpr int32_t kColdAndDark = 60;

// A toggle sent only while its system reads on, so that it turns it off.
enum class OnWhen { kAlways, kAboveZero, kNotZero, kExactlyOne };

struct ShutDownStep {
  int32_t token;  // 0: no reading
  OnWhen when;
  uint32_t event;
};

// Steps 3 to 14 of the sequence; the oil valve closes after the fuel step.
constexpr ShutDownStep kSwitchOff[] = {
    {.token = 0, .when = OnWhen::kAlways, .event = 65820},
    {.token = 895, .when = OnWhen::kAboveZero, .event = 66494},
    {.token = 560, .when = OnWhen::kAboveZero, .event = 65919},
    {.token = 0, .when = OnWhen::kAlways, .event = 65927},
    {.token = 364, .when = OnWhen::kAboveZero, .event = 66241},
    {.token = 565, .when = OnWhen::kNotZero, .event = 66363},
    {.token = 740, .when = OnWhen::kExactlyOne, .event = 66293},
    {.token = 13, .when = OnWhen::kExactlyOne, .event = 65858},
    {.token = 0, .when = OnWhen::kAlways, .event = 66057},
    {.token = 0, .when = OnWhen::kAlways, .event = 66060},
    {.token = 0, .when = OnWhen::kAlways, .event = 66053},
    {.token = 368, .when = OnWhen::kExactlyOne, .event = 66239},
    {.token = 619, .when = OnWhen::kExactlyOne, .event = 66379},
};
constexpr int kSwitchOffCount = 13;
static_assert(std::size(kSwitchOff) == kSwitchOffCount);
constexpr int kOilValveAfterStep = 1;

bool system_on(const ShutDownStep& step) {
  if (step.when == OnWhen::kAlways) return true;
  const double value = read_number_var(step.token);
  switch (step.when) {
    case OnWhen::kAboveZero:
      return value > 0.0;
    case OnWhen::kNotZero:
      return value != 0.0;
    case OnWhen::kExactlyOne:
      return value == 1.0;
    case OnWhen::kAlways:
      break;
  }
  return true;
}

// A capacity that is not a positive number of gallons giving a finite
// number of litres leaves the stored one in place.
void seed_capacity(int32_t token, double& litres) {
  const double gallons = read_number_var(token);
  if (gallons > 0.0 && std::isfinite(gallons * kLitresPerGallon))
    litres = gallons * kLitresPerGallon;
}

void switch_off_radios() {
  adf_power = 0;
  adf_tone = 0;
  trigger_key_event(65836, 0);
  com1_power = 0;
  nav1_power = 0;
  nav1_tone = 0;
  trigger_key_event(65832, 0);
  nav2_power = 0;
  nav2_tone = 0;
  trigger_key_event(65833, 0);
  xpdr_power = 0;
}

void GAUGE_CALL shut_down_notice(GaugeHeader*, int32_t notice, void*) {
  if (notice != kNoticeConnect) return;
  seed_capacity(kLeftCapacityGallons, left_tank_capacity);
  seed_capacity(kRightCapacityGallons, right_tank_capacity);
  // NaN is not above 0 either.
  if (!(read_number_var(kColdAndDark) > 0.0)) return;
  for (int i = 0; i < kSwitchOffCount; ++i) {
    if (system_on(kSwitchOff[i])) trigger_key_event(kSwitchOff[i].event, 0);
    if (i == kOilValveAfterStep) oil_valve_open = 0;
  }
  switch_off_radios();
}

constinit ElementChain chain{
    &shut_down_gauge,
    static_image({.bitmap = 40, .at = {0, 0}, .flags = 0x3}),
};

constinit MouseRect mouse_areas[] = {
    mouse_parent(),
    mouse_parent_end(),
    mouse_end(),
};

}  // namespace

constinit GaugeHeader shut_down_gauge = gauge_header({
    .name = "Shut_Down",
    .width_mm = 30,
    .elements = chain.list(),
    .mouse_areas = mouse_areas,
    .callback = shut_down_notice,
});
