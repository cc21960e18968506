#include "host/aircraft/aircraft.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstring>

namespace {

// A cold aircraft parked at sea level in standard air: battery, engine and
// radios off, mixture at idle cut-off, tanks half full.
constexpr double kStandardCelsius = 15.0;
constexpr double kRankineZero = 491.67;
constexpr double kStandardRankine = kStandardCelsius * 1.8 + kRankineZero;
// Pressures are in pounds per square foot: 20.8791 make a kilopascal.
constexpr double kPsfPerKpa = 20.8791;
constexpr double kSeaLevelPsf = 101.325 * kPsfPerKpa;
constexpr double kFullTank = 8388608.0;
constexpr double kLeverFull = 16384.0;

constexpr AircraftVariable kVariables[] = {
    {.token = 10, .name = "PANEL_LIGHTS", .unit = "0/1"},
    {.token = 13, .name = "PITOT_HEAT", .unit = "0/1"},
    {.token = 14, .name = "LANDING_LIGHTS", .unit = "0/1"},
    {.token = 16,
     .name = "ADF_FREQUENCY",
     .unit = "BCD 0xHTU: hundreds, tens, units of kHz",
     .default_value = 0x350,
     .bcd = true},
    {.token = 18,
     .name = "ADF_FREQUENCY_EXTENDED",
     .unit = "256 x thousands of kHz + tenths of kHz",
     .default_value = 0,
     .bcd = true},
    {.token = 22, .name = "ADF_CARD", .unit = "degrees"},
    {.token = 23,
     .name = "COM1_FREQUENCY",
     .unit = "BCD 0xABCD = 1AB.CD MHz",
     .default_value = 0x2280,
     .bcd = true},
    {.token = 24,
     .name = "NAV1_FREQUENCY",
     .unit = "BCD 0xABCD = 1AB.CD MHz",
     .default_value = 0x1050,
     .bcd = true},
    {.token = 27,
     .name = "NAV2_FREQUENCY",
     .unit = "BCD 0xABCD = 1AB.CD MHz",
     .default_value = 0x1390,
     .bcd = true},
    {.token = 38,
     .name = "TRANSPONDER_CODE",
     .unit = "BCD, four octal digits",
     .default_value = 0x7000,
     .bcd = true},
    {.token = 39, .name = "ADF_RELATIVE_BEARING", .unit = "degrees"},
    {.token = 40, .name = "VOR1_COURSE_DEVIATION", .unit = "-127..127"},
    {.token = 41, .name = "VOR1_GLIDE_SLOPE_DEVIATION", .unit = "-119..119"},
    {.token = 43, .name = "VOR1_TO_FROM", .unit = "0 no signal, 1 to, 2 from"},
    {.token = 44, .name = "VOR1_GLIDE_SLOPE_FLAG", .unit = "0/1"},
    {.token = 45, .name = "VOR1_COURSE", .unit = "degrees"},
    {.token = 60,
     .name = "COLD_AND_DARK",
     .unit = "above 0: the panel starts shut down",
     .default_value = 1},
    {.token = 61, .name = "AIRSPEED", .unit = "knots"},
    {.token = 65, .name = "VERTICAL_SPEED", .unit = "metres/second x 256"},
    {.token = 69, .name = "TURN_BALL", .unit = "-127..127"},
    {.token = 70,
     .name = "TURN_RATE",
     .unit = "x 256; the standard-rate marks at +-4.5 x 256"},
    {.token = 74, .name = "ALTITUDE", .unit = "feet"},
    {.token = 75,
     .name = "KOHLSMAN_SETTING",
     .unit = "millibars",
     .default_value = 1013.25},
    {.token = 78, .name = "PITCH", .unit = "degrees, positive nose down"},
    {.token = 80, .name = "BANK", .unit = "degrees, positive left wing down"},
    {.token = 83, .name = "MAGNETIC_HEADING", .unit = "degrees"},
    {.token = 84, .name = "GYRO_HEADING", .unit = "degrees"},
    {.token = 85, .name = "GYRO_DRIFT_SETTING", .unit = "65536 per turn"},
    {.token = 128, .name = "THROTTLE_LEVER", .unit = "0..16384"},
    {.token = 129,
     .name = "PROPELLER_LEVER",
     .unit = "0..16384",
     .default_value = kLeverFull},
    {.token = 130, .name = "MIXTURE_LEVER", .unit = "0..16384 (0 cut-off)"},
    {.token = 282, .name = "GYRO_HEADING_FLAG", .unit = "0/1"},
    {.token = 288, .name = "ATTITUDE_CAGED", .unit = "0/1"},
    {.token = 291,
     .name = "FUEL_LEFT_LEVEL",
     .unit = "fraction x 8388608",
     .default_value = kFullTank / 2},
    {.token = 292,
     .name = "FUEL_LEFT_CAPACITY",
     .unit = "US gallons",
     .default_value = 29.0},
    {.token = 297,
     .name = "FUEL_RIGHT_LEVEL",
     .unit = "fraction x 8388608",
     .default_value = kFullTank / 2},
    {.token = 298,
     .name = "FUEL_RIGHT_CAPACITY",
     .unit = "US gallons",
     .default_value = 29.0},
    {.token = 328, .name = "FLAPS_PERCENT", .unit = "percent"},
    {.token = 329,
     .name = "FLAPS_POSITION",
     .unit = "0..16384 (16384 = 50 degrees)"},
    {.token = 341,
     .name = "OUTSIDE_AIR_TEMPERATURE",
     .unit = "celsius",
     .default_value = kStandardCelsius},
    {.token = 362, .name = "COWL_FLAPS", .unit = "percent"},
    {.token = 364, .name = "BATTERY_MASTER", .unit = "0/1"},
    {.token = 368, .name = "BEACON_LIGHTS", .unit = "0/1"},
    {.token = 390, .name = "ENGINE_RPM", .unit = "rpm"},
    {.token = 391,
     .name = "MANIFOLD_PRESSURE",
     .unit = "psf",
     .default_value = kSeaLevelPsf},
    {.token = 399, .name = "MAGNETO_LEFT", .unit = "0/1"},
    {.token = 400, .name = "MAGNETO_RIGHT", .unit = "0/1"},
    {.token = 401, .name = "STARTER", .unit = "0/1"},
    {.token = 415,
     .name = "CYLINDER_HEAD_TEMPERATURE",
     .unit = "rankine",
     .default_value = kStandardRankine},
    {.token = 416,
     .name = "OIL_TEMPERATURE",
     .unit = "rankine",
     .default_value = kStandardRankine},
    {.token = 418, .name = "OIL_PRESSURE", .unit = "psf"},
    {.token = 425, .name = "FUEL_PRESSURE", .unit = "psf"},
    {.token = 557,
     .name = "CLOCK_TIME",
     .unit = "seconds of the day",
     .default_value = 43200},
    {.token = 560, .name = "STROBE_LIGHTS", .unit = "0/1"},
    {.token = 565, .name = "GENERATOR_SWITCH", .unit = "0/1"},
    {.token = 604, .name = "SIMULATION_TIME", .unit = "seconds"},
    {.token = 612, .name = "ATTITUDE_BARS", .unit = "-100..100"},
    {.token = 619, .name = "NAVIGATION_LIGHTS", .unit = "0/1"},
    {.token = 740, .name = "AVIONICS_MASTER", .unit = "0/1"},
    {.token = 753, .name = "MAIN_BUS_VOLTAGE", .unit = "volts"},
    {.token = 755, .name = "AVIONICS_BUS_VOLTAGE", .unit = "volts"},
    {.token = 759, .name = "BATTERY_BUS_VOLTAGE", .unit = "volts"},
    {.token = 761, .name = "GENERATOR_VOLTAGE", .unit = "volts"},
    {.token = 880, .name = "ADF_IDENT", .unit = "0/1"},
    {.token = 891, .name = "FUEL_PUMP", .unit = "0/1"},
    {.token = 895, .name = "FUEL_VALVE", .unit = "0/1"},
};
constexpr std::size_t kVariableCount = 66;
static_assert(std::size(kVariables) == kVariableCount);

constexpr bool tokens_ascending() {
  for (std::size_t i = 1; i < kVariableCount; ++i)
    if (kVariables[i - 1].token >= kVariables[i].token) return false;
  return true;
}
static_assert(tokens_ascending());

// The row of every token up to the largest, -1 where there is none: every
// bound variable of every element is looked up every frame.
constexpr auto kRowOfToken = [] {
  std::array<int16_t, kVariables[kVariableCount - 1].token + 1> rows{};
  for (int16_t& row : rows) row = -1;
  for (std::size_t i = 0; i < kVariableCount; ++i)
    rows[static_cast<std::size_t>(kVariables[i].token)] =
        static_cast<int16_t>(i);
  return rows;
}();

std::ptrdiff_t index_of(int32_t token) {
  if (token < 0 || token >= static_cast<int32_t>(kRowOfToken.size())) return -1;
  return kRowOfToken[static_cast<std::size_t>(token)];
}

// Events, by the number the simulator gives them.
enum Event : uint32_t {
  kAtcWindow = 65564,
  kMagnetoDown = 65634,
  kMagnetoUp = 65635,
  kCom1MhzDown = 65636,
  kCom1MhzUp = 65637,
  kNav1MhzDown = 65640,
  kNav1MhzUp = 65641,
  kNav1DecimalsDown = 65642,
  kNav1DecimalsUp = 65643,
  kNav2MhzDown = 65644,
  kNav2MhzUp = 65645,
  kNav2DecimalsDown = 65646,
  kNav2DecimalsUp = 65647,
  kTransponderThousandsUp = 65651,
  kTransponderHundredsUp = 65652,
  kTransponderTensUp = 65653,
  kTransponderUnitsUp = 65654,
  kThrottleSet = 65697,
  kVor1CourseSet = 65716,
  kViewStepForward = 65734,
  kViewStepBack = 65735,
  kPanelLightsToggle = 65750,
  kLandingLightsToggle = 65751,
  kFlapsExtend = 65758,
  kFlapsRetract = 65759,
  kPropellerSet = 65767,
  kMixtureSet = 65773,
  kMixtureCutOff = 65820,
  kNav1IdentOff = 65832,
  kNav2IdentOff = 65833,
  kAdfIdentOff = 65836,
  kNav1IdentOn = 65837,
  kNav2IdentOn = 65838,
  kAdfIdentOn = 65841,
  kPitotHeatToggle = 65858,
  kViewReset = 65875,
  kKneeboard = 65876,
  kGyroDriftUp = 65877,
  kGyroDriftDown = 65878,
  kKohlsmanUp = 65883,
  kKohlsmanDown = 65884,
  kStrobeLightsToggle = 65919,
  kThrottleIdle = 65927,
  kAdfCardSet = 66039,
  kLandingLightsOff = 66053,
  kMagnetosOff = 66057,
  kStarterOff = 66060,
  kAdfSet = 66122,
  kBeaconToggle = 66239,
  kBatteryToggle = 66241,
  kCowlFlapsOpen = 66243,
  kCowlFlapsClose = 66244,
  kAvionicsToggle = 66293,
  kStarter = 66300,
  kAttitudeBarsUp = 66318,
  kAttitudeBarsDown = 66319,
  kFuelPumpToggle = 66339,
  kGeneratorToggle = 66363,
  kGyroCage = 66373,
  kNavigationLightsToggle = 66379,
  kMapWindow = 66432,
  kCom1FractionDown = 66434,
  kCom1FractionUp = 66435,
  kTransponderThousandsDown = 66455,
  kTransponderHundredsDown = 66456,
  kTransponderTensDown = 66457,
  kTransponderUnitsDown = 66458,
  kAdfTenthDown = 66461,
  kAdfTenthUp = 66462,
  kFuelValveToggle = 66494,
  kPanelWindowToggle = 66506,
  kPanelWindowOpen = 66507,
  kPanelWindowClose = 66508,
  kAdfKhzUp = 66542,
  kAdfKhzDown = 66543,
};

constexpr int32_t kCom1LowMhz = 118;
constexpr int32_t kCom1HighMhz = 136;
constexpr int32_t kNavLowMhz = 108;
constexpr int32_t kNavHighMhz = 117;
constexpr int32_t kAdfLowTenths = 1000;
constexpr int32_t kAdfHighTenths = 17999;
constexpr double kStarterHoldSeconds = 0.5;
constexpr double kFlapsNotch = kLeverFull / 4;
constexpr double kFlapsPerSecond = kLeverFull;
constexpr double kCowlFlapsStep = 10.0;
constexpr double kCowlFlapsPercentPerSecond = 50.0;
constexpr double kKohlsmanStep = 1.0;
constexpr double kKohlsmanLow = 900.0;
constexpr double kKohlsmanHigh = 1100.0;
constexpr double kAttitudeBarsStep = 10.0;
constexpr double kGyroDriftStep = 65536.0 / 360.0;

// Decimal digits of a BCD word, or -1 when a nibble is above 9.
int64_t from_bcd(uint32_t word) {
  int64_t result = 0;
  int64_t place = 1;
  for (; word != 0; word >>= 4, place *= 10) {
    uint32_t digit = word & 0xF;
    if (digit > 9) return -1;
    result += digit * place;
  }
  return result;
}

uint32_t to_bcd(int64_t number) {
  uint32_t result = 0;
  for (int shift = 0; number > 0; number /= 10, shift += 4)
    result |= static_cast<uint32_t>(number % 10) << shift;
  return result;
}

// 118.025 MHz is 0x1802: the BCD keeps two decimals, cutting the 25 kHz.
int32_t radio_bcd(int32_t khz) {
  return static_cast<int32_t>(to_bcd(khz / 10 - 10000));
}

// The inverse, restoring the cut 5 kHz of a .x2 or .x7 channel. -1 when the
// word is not a channel of the band.
int32_t radio_khz(uint32_t word, int32_t low_mhz, int32_t high_mhz,
                  bool quarter_channels) {
  int64_t digits = from_bcd(word);
  if (digits < 0 || digits > 9999) return -1;
  int64_t mhz = 100 + digits / 100;
  int64_t hundredths = digits % 100;
  int64_t last = hundredths % 10;
  if (mhz < low_mhz || mhz > high_mhz) return -1;
  int64_t khz = mhz * 1000 + hundredths * 10;
  if (last == 0 || last == 5) return static_cast<int32_t>(khz);
  if (quarter_channels && (last == 2 || last == 7))
    return static_cast<int32_t>(khz + 5);
  return -1;
}

int32_t wrap(int32_t value, int32_t low, int32_t high) {
  int32_t span = high - low + 1;
  return low + ((value - low) % span + span) % span;
}

double wrap_degrees(double degrees) {
  if (degrees >= 360.0) return degrees - 360.0;
  if (degrees < 0.0) return degrees + 360.0;
  return degrees;
}

// First-order approach to a target; stable for any step length.
double approach(double value, double target, double time_constant,
                double seconds) {
  return value + (target - value) * seconds / (time_constant + seconds);
}

bool same_name(std::string_view a, const char* b) {
  std::size_t n = std::strlen(b);
  if (a.size() != n) return false;
  for (std::size_t i = 0; i < n; ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) != b[i]) return false;
  return true;
}

constexpr const char* kCarburetorExpression =
    "(A:RECIP CARBURETOR TEMPERATURE:1,celsius)";
constexpr const char* kAtcIdExpression = "(A:ATC ID,string)";

}  // namespace

std::span<const AircraftVariable> aircraft_variables() { return kVariables; }

const AircraftVariable* find_aircraft_variable(int32_t token) {
  std::ptrdiff_t i = index_of(token);
  return i < 0 ? nullptr : &kVariables[i];
}

const AircraftVariable* find_aircraft_variable(std::string_view name) {
  for (const AircraftVariable& row : kVariables)
    if (same_name(name, row.name)) return &row;
  return nullptr;
}

Aircraft::Aircraft()
    : com1_khz_(122800),
      nav1_khz_(110500),
      nav2_khz_(113900),
      adf_tenths_khz_(3500),
      transponder_code_(7000),
      registration_("F-GCVL CORVELAIN") {
  values_.reserve(kVariableCount);
  for (const AircraftVariable& row : kVariables)
    values_.push_back(row.bcd ? 0.0 : row.default_value);
}

double Aircraft::value(int32_t token) const {
  std::ptrdiff_t i = index_of(token);
  return i < 0 ? 0.0 : values_[static_cast<std::size_t>(i)];
}

double& Aircraft::slot(int32_t token) {
  return values_[static_cast<std::size_t>(index_of(token))];
}

// A model input: a value set by hand outside its range (infinities too) is
// clamped, and NaN reads as the variable's default.
double Aircraft::input(int32_t token, double low, double high) const {
  double v = value(token);
  if (std::isnan(v)) v = find_aircraft_variable(token)->default_value;
  return std::clamp(v, low, high);
}

void Aircraft::lookup(ModuleVar& var) const {
  var.value.number = 0.0;
  const AircraftVariable* row = find_aircraft_variable(var.token);
  if (row == nullptr) {
    if (var.token != 0 &&
        std::find(unknown_tokens_.begin(), unknown_tokens_.end(), var.token) ==
            unknown_tokens_.end())
      unknown_tokens_.push_back(var.token);
    return;
  }
  if (row->bcd)
    var.value.integer = integer(var.token);
  else
    var.value.number = number(var.token);
}

double Aircraft::number(int32_t token) const {
  const AircraftVariable* row = find_aircraft_variable(token);
  if (row == nullptr) return 0.0;
  if (row->bcd) return integer(token);
  return value(token);
}

int32_t Aircraft::integer(int32_t token) const {
  if (!word_overrides_.empty()) {
    const auto word = word_overrides_.find(token);
    if (word != word_overrides_.end()) return word->second;
  }
  switch (token) {
    case 16:
      return static_cast<int32_t>(to_bcd(adf_tenths_khz_ / 10 % 1000));
    case 18:
      return (adf_tenths_khz_ >= 10000 ? 256 : 0) + adf_tenths_khz_ % 10;
    case 23:
      return radio_bcd(com1_khz_);
    case 24:
      return radio_bcd(nav1_khz_);
    case 27:
      return radio_bcd(nav2_khz_);
    case 38:
      return static_cast<int32_t>(to_bcd(transponder_code_));
    default: {
      // Truncated toward zero and saturated, as a float64 read as an int32.
      double v = value(token);
      if (std::isnan(v)) return 0;
      v = std::clamp(v, -2147483648.0, 2147483647.0);
      return static_cast<int32_t>(v);
    }
  }
}

void Aircraft::set_word(int32_t token, std::optional<int32_t> word) {
  const AircraftVariable* row = find_aircraft_variable(token);
  if (row == nullptr || !row->bcd) return;
  if (word)
    word_overrides_[token] = *word;
  else
    word_overrides_.erase(token);
}

bool Aircraft::set(int32_t token, double v) {
  const AircraftVariable* row = find_aircraft_variable(token);
  if (row == nullptr) return false;
  word_overrides_.erase(token);
  if (!row->bcd) {
    slot(token) = v;
    if (token == 329) flaps_target_ = input(329, 0.0, kLeverFull);
    if (token == 362) cowl_flaps_target_ = input(362, 0.0, 100.0);
    return true;
  }
  if (!(v >= 0.0 && v <= 0xFFFFFFFF.p0) ||
      v != static_cast<double>(static_cast<uint32_t>(v)))
    return false;
  uint32_t word = static_cast<uint32_t>(v);
  switch (token) {
    case 16: {
      int64_t digits = from_bcd(word);
      if (digits < 0 || digits > 999) return false;
      adf_tenths_khz_ = adf_tenths_khz_ / 10000 * 10000 +
                        static_cast<int32_t>(digits) * 10 +
                        adf_tenths_khz_ % 10;
      return true;
    }
    case 18: {
      uint32_t thousands = word >= 256 ? 1 : 0;
      uint32_t tenths = word - thousands * 256;
      if (tenths > 9 || word >= 512) return false;
      adf_tenths_khz_ = static_cast<int32_t>(thousands) * 10000 +
                        adf_tenths_khz_ % 10000 / 10 * 10 +
                        static_cast<int32_t>(tenths);
      return true;
    }
    case 23:
    case 24:
    case 27: {
      bool com = token == 23;
      int32_t khz = com ? radio_khz(word, kCom1LowMhz, kCom1HighMhz, true)
                        : radio_khz(word, kNavLowMhz, kNavHighMhz, false);
      if (khz < 0) return false;
      (com ? com1_khz_ : token == 24 ? nav1_khz_ : nav2_khz_) = khz;
      return true;
    }
    case 38: {
      int64_t code = from_bcd(word);
      if (code < 0 || code > 7777 || (word & 0x8888) != 0) return false;
      transponder_code_ = static_cast<int32_t>(code);
      return true;
    }
  }
  return false;
}

void Aircraft::copy_state_from(const Aircraft& other) {
  if (this == &other) return;
  WindowActions own = std::move(window_actions_);
  *this = other;
  window_actions_ = std::move(own);
}

void Aircraft::set_window_actions(WindowActions actions) {
  window_actions_ = std::move(actions);
}

void Aircraft::set_registration(std::string registration) {
  registration_ = std::move(registration);
}

void Aircraft::toggle(int32_t token) {
  double& v = slot(token);
  v = v > 0.0 ? 0.0 : 1.0;
}

// The selector's positions: 0 off, 1 right, 2 left, 3 both.
void Aircraft::step_magnetos(int direction) {
  int position = (input(399, 0, 1) > 0 ? 2 : 0) + (input(400, 0, 1) > 0);
  position = std::clamp(position + direction, 0, 3);
  slot(399) = position >= 2 ? 1.0 : 0.0;
  slot(400) = position % 2;
}

void Aircraft::apply_event(uint32_t event, uint32_t event_value) {
  auto com_mhz_step = [this](int32_t mhz_step) {
    int32_t mhz = wrap(com1_khz_ / 1000 + mhz_step, kCom1LowMhz, kCom1HighMhz);
    com1_khz_ = mhz * 1000 + com1_khz_ % 1000;
  };
  auto com_fraction_step = [this](int32_t khz_step) {
    int32_t fraction = wrap(com1_khz_ % 1000 + khz_step, 0, 999);
    com1_khz_ = com1_khz_ / 1000 * 1000 + fraction;
  };
  auto nav_mhz_step = [](int32_t& khz, int32_t step) {
    khz = wrap(khz / 1000 + step, kNavLowMhz, kNavHighMhz) * 1000 + khz % 1000;
  };
  auto nav_fraction_step = [](int32_t& khz, int32_t step) {
    khz = khz / 1000 * 1000 + wrap(khz % 1000 + step, 0, 999);
  };
  auto transponder_step = [this](int32_t place, int32_t step) {
    int32_t digit = transponder_code_ / place % 10;
    transponder_code_ += (wrap(digit + step, 0, 7) - digit) * place;
  };
  auto adf_step = [this](int32_t tenths) {
    adf_tenths_khz_ =
        std::clamp(adf_tenths_khz_ + tenths, kAdfLowTenths, kAdfHighTenths);
  };
  auto lever = [&](int32_t token) {
    slot(token) = std::min<double>(event_value, kLeverFull);
  };
  auto window = [&](const std::function<void(uint32_t)>& action) {
    if (action)
      action(event_value);
    else
      rejected_events_.push_back({event, event_value});
  };

  switch (event) {
    case kPanelLightsToggle:
      toggle(10);
      break;
    case kPitotHeatToggle:
      toggle(13);
      break;
    case kLandingLightsToggle:
      toggle(14);
      break;
    case kBatteryToggle:
      toggle(364);
      break;
    case kBeaconToggle:
      toggle(368);
      break;
    case kStrobeLightsToggle:
      toggle(560);
      break;
    case kGeneratorToggle:
      toggle(565);
      break;
    case kNavigationLightsToggle:
      toggle(619);
      break;
    case kAvionicsToggle:
      toggle(740);
      break;
    case kFuelPumpToggle:
      toggle(891);
      break;
    case kFuelValveToggle:
      toggle(895);
      break;
    case kGyroCage:
      toggle(288);
      break;
    case kLandingLightsOff:
      slot(14) = 0.0;
      break;
    case kMagnetoUp:
      step_magnetos(1);
      break;
    case kMagnetoDown:
      step_magnetos(-1);
      break;
    case kMagnetosOff:
      slot(399) = 0.0;
      slot(400) = 0.0;
      break;
    case kStarter:
      slot(401) = 1.0;
      engine_.starter_seconds = kStarterHoldSeconds;
      break;
    case kStarterOff:
      slot(401) = 0.0;
      engine_.starter_seconds = 0.0;
      break;
    case kThrottleSet:
      lever(128);
      break;
    case kPropellerSet:
      lever(129);
      break;
    case kMixtureSet:
      lever(130);
      break;
    case kThrottleIdle:
      slot(128) = 0.0;
      break;
    case kMixtureCutOff:
      slot(130) = 0.0;
      break;
    case kCom1MhzDown:
      com_mhz_step(-1);
      break;
    case kCom1MhzUp:
      com_mhz_step(1);
      break;
    case kCom1FractionDown:
      com_fraction_step(-25);
      break;
    case kCom1FractionUp:
      com_fraction_step(25);
      break;
    case kNav1MhzDown:
      nav_mhz_step(nav1_khz_, -1);
      break;
    case kNav1MhzUp:
      nav_mhz_step(nav1_khz_, 1);
      break;
    case kNav1DecimalsDown:
      nav_fraction_step(nav1_khz_, -50);
      break;
    case kNav1DecimalsUp:
      nav_fraction_step(nav1_khz_, 50);
      break;
    case kNav2MhzDown:
      nav_mhz_step(nav2_khz_, -1);
      break;
    case kNav2MhzUp:
      nav_mhz_step(nav2_khz_, 1);
      break;
    case kNav2DecimalsDown:
      nav_fraction_step(nav2_khz_, -50);
      break;
    case kNav2DecimalsUp:
      nav_fraction_step(nav2_khz_, 50);
      break;
    case kTransponderThousandsUp:
      transponder_step(1000, 1);
      break;
    case kTransponderHundredsUp:
      transponder_step(100, 1);
      break;
    case kTransponderTensUp:
      transponder_step(10, 1);
      break;
    case kTransponderUnitsUp:
      transponder_step(1, 1);
      break;
    case kTransponderThousandsDown:
      transponder_step(1000, -1);
      break;
    case kTransponderHundredsDown:
      transponder_step(100, -1);
      break;
    case kTransponderTensDown:
      transponder_step(10, -1);
      break;
    case kTransponderUnitsDown:
      transponder_step(1, -1);
      break;
    case kAdfTenthDown:
      adf_step(-1);
      break;
    case kAdfTenthUp:
      adf_step(1);
      break;
    case kAdfKhzDown:
      adf_step(-10);
      break;
    case kAdfKhzUp:
      adf_step(10);
      break;
    case kAdfSet: {
      int64_t tenths = from_bcd(event_value);
      if (tenths < kAdfLowTenths || tenths > kAdfHighTenths)
        rejected_events_.push_back({event, event_value});
      else
        adf_tenths_khz_ = static_cast<int32_t>(tenths);
      break;
    }
    case kAdfCardSet:
      slot(22) = event_value % 360;
      break;
    case kVor1CourseSet:
      slot(45) = event_value % 360;
      break;
    case kAdfIdentOff:
      slot(880) = 0.0;
      ident_audio_.adf = false;
      break;
    case kAdfIdentOn:
      slot(880) = 1.0;
      ident_audio_.adf = true;
      break;
    case kNav1IdentOff:
      ident_audio_.nav1 = false;
      break;
    case kNav1IdentOn:
      ident_audio_.nav1 = true;
      break;
    case kNav2IdentOff:
      ident_audio_.nav2 = false;
      break;
    case kNav2IdentOn:
      ident_audio_.nav2 = true;
      break;
    case kFlapsExtend:
      flaps_target_ = std::min(flaps_target_ + kFlapsNotch, kLeverFull);
      break;
    case kFlapsRetract:
      flaps_target_ = std::max(flaps_target_ - kFlapsNotch, 0.0);
      break;
    case kCowlFlapsOpen:
      cowl_flaps_target_ = std::min(cowl_flaps_target_ + kCowlFlapsStep, 100.0);
      break;
    case kCowlFlapsClose:
      cowl_flaps_target_ = std::max(cowl_flaps_target_ - kCowlFlapsStep, 0.0);
      break;
    case kKohlsmanUp:
    case kKohlsmanDown: {
      double step = event == kKohlsmanUp ? kKohlsmanStep : -kKohlsmanStep;
      slot(75) = std::clamp(input(75, kKohlsmanLow, kKohlsmanHigh) + step,
                            kKohlsmanLow, kKohlsmanHigh);
      break;
    }
    case kAttitudeBarsUp:
    case kAttitudeBarsDown: {
      double step =
          event == kAttitudeBarsUp ? kAttitudeBarsStep : -kAttitudeBarsStep;
      slot(612) = std::clamp(input(612, -100, 100) + step, -100.0, 100.0);
      break;
    }
    case kGyroDriftUp:
    case kGyroDriftDown: {
      double sign = event == kGyroDriftUp ? 1.0 : -1.0;
      slot(84) = wrap_degrees(input(84, 0, 360) + sign);
      slot(85) = input(85, -1e9, 1e9) + sign * kGyroDriftStep;
      break;
    }
    case kPanelWindowOpen:
      window(window_actions_.open);
      break;
    case kPanelWindowClose:
      window(window_actions_.close);
      break;
    case kPanelWindowToggle:
      window(window_actions_.toggle);
      break;
    case kViewStepForward:
    case kViewStepBack:
    case kViewReset:
    case kAtcWindow:
    case kKneeboard:
    case kMapWindow:
      host_events_.push_back({event, event_value});
      break;
    default:
      unknown_events_.push_back({event, event_value});
      break;
  }
}

void Aircraft::move_toward(int32_t token, double target, double full,
                           double rate, double seconds) {
  double position = input(token, 0.0, full);
  double step = rate * seconds;
  slot(token) = position < target ? std::min(position + step, target)
                                  : std::max(position - step, target);
}

// The engine and its electrical system. Every input is read through input(),
// so values set by hand out of range cannot drive the model out of range.
void Aircraft::run_engine(double seconds) {
  double oat = input(341, -80.0, 80.0);
  double throttle = input(128, 0.0, kLeverFull) / kLeverFull;
  double mixture = input(130, 0.0, kLeverFull) / kLeverFull;
  double rpm = input(390, 0.0, 5000.0);
  bool battery = input(364, 0, 1) > 0;
  bool generator = input(565, 0, 1) > 0;
  bool fuel_valve = input(895, 0, 1) > 0;
  bool fuel_pump = input(891, 0, 1) > 0;
  bool ignition = input(399, 0, 1) > 0 || input(400, 0, 1) > 0;
  double left_level = input(291, 0.0, kFullTank);
  double right_level = input(297, 0.0, kFullTank);
  bool fuel = fuel_valve && mixture > 0.1 && (left_level + right_level) > 0;

  double generator_volts = generator ? std::min(28.5, rpm * 28.5 / 1000) : 0;
  double battery_volts = battery ? 24.0 : 0.0;
  double bus_volts = battery ? std::max(battery_volts, generator_volts) : 0.0;
  bool cranking = input(401, 0, 1) > 0 && bus_volts > 20.0;

  if (!(ignition && fuel)) engine_.running = false;
  if (!engine_.running && ignition && fuel && rpm >= 150.0)
    engine_.running = true;

  double target_rpm = 0.0;
  double time_constant = 1.5;
  if (engine_.running) {
    target_rpm = 700.0 + 1700.0 * throttle;
    time_constant = 1.0;
  }
  if (cranking && target_rpm < 250.0) {
    target_rpm = 250.0;
    time_constant = 0.5;
  }
  rpm = approach(rpm, target_rpm, time_constant, seconds);
  if (!engine_.running && !cranking && rpm < 0.5) rpm = 0.0;
  slot(390) = rpm;

  generator_volts = generator ? std::min(28.5, rpm * 28.5 / 1000) : 0.0;
  bus_volts = battery ? std::max(battery_volts, generator_volts) : 0.0;
  slot(753) = bus_volts;
  slot(755) = input(740, 0, 1) > 0 ? bus_volts : 0.0;
  slot(759) = battery_volts;
  slot(761) = generator_volts;

  double load = rpm / 2400.0;
  double running = engine_.running ? 1.0 : 0.0;
  slot(418) = approach(input(418, 0.0, 1e6), rpm * 20.0, 1.0, seconds);

  double oil_celsius = (input(416, 0.0, 2000.0) - kRankineZero) / 1.8;
  double oil_target = oat + running * (25.0 + 55.0 * load);
  oil_celsius = approach(oil_celsius, oil_target, 120.0, seconds);
  slot(416) = oil_celsius * 1.8 + kRankineZero;

  double cowl = input(362, 0.0, 100.0);
  double cht_celsius = (input(415, 0.0, 3000.0) - kRankineZero) / 1.8;
  double cht_target = oat + running * (70.0 + 130.0 * load - 0.3 * cowl);
  cht_celsius = approach(cht_celsius, cht_target, 60.0, seconds);
  slot(415) = cht_celsius * 1.8 + kRankineZero;

  double pump_kpa = fuel_pump && bus_volts > 20.0 ? 30.0 : 0.0;
  double engine_pump_kpa = 25.0 * std::min(1.0, rpm / 700.0);
  double fuel_kpa = fuel_valve ? std::max(pump_kpa, engine_pump_kpa) : 0.0;
  slot(425) =
      approach(input(425, 0.0, 1e6), fuel_kpa * kPsfPerKpa, 0.5, seconds);

  double manifold_target =
      kSeaLevelPsf * (engine_.running ? 0.25 + 0.7 * throttle : 1.0);
  slot(391) = approach(input(391, 0.0, 1e5), manifold_target, 0.3, seconds);

  engine_.carburetor_celsius =
      approach(engine_.carburetor_celsius, oat - 5.0 * running, 20.0, seconds);

  if (engine_.running) {
    double gallons_per_hour = 1.5 + 8.5 * throttle;
    auto burn = [&](int32_t level_token, int32_t capacity_token, double level) {
      double capacity = input(capacity_token, 0.0, 1e6);
      if (capacity <= 0.0) return;
      double used = gallons_per_hour / 2 * seconds / 3600.0;
      slot(level_token) = std::max(0.0, level - used / capacity * kFullTank);
    };
    burn(291, 292, left_level);
    burn(297, 298, right_level);
  }
}

void Aircraft::advance(double seconds) {
  // Steps longer than an hour count as an hour; a step that is not a
  // positive number moves nothing.
  if (!(seconds > 0.0)) return;
  seconds = std::min(seconds, 3600.0);

  double clock = input(557, 0.0, 86400.0) + seconds;
  slot(557) = clock >= 86400.0 ? clock - 86400.0 : clock;
  double elapsed = value(604);
  slot(604) = (std::isfinite(elapsed) ? elapsed : 0.0) + seconds;

  if (engine_.starter_seconds > 0.0) {
    engine_.starter_seconds -= seconds;
    if (engine_.starter_seconds <= 0.0) {
      engine_.starter_seconds = 0.0;
      slot(401) = 0.0;
    }
  }
  if (!model_enabled_) return;

  move_toward(329, flaps_target_, kLeverFull, kFlapsPerSecond, seconds);
  slot(328) = value(329) * 100.0 / kLeverFull;
  move_toward(362, cowl_flaps_target_, 100.0, kCowlFlapsPercentPerSecond,
              seconds);
  run_engine(seconds);
}

bool Aircraft::calculate(const char* expression, double* result_number,
                         const char** result_text, std::string& diagnostic) {
  diagnostic.clear();
  if (expression == nullptr) {
    diagnostic = "calculator: no expression given";
    return false;
  }
  if (std::strcmp(expression, kCarburetorExpression) == 0) {
    if (result_number == nullptr) {
      diagnostic = std::string("calculator: ") + expression +
                   " gives a number but no number destination was given";
      return false;
    }
    *result_number = engine_.carburetor_celsius;
    return true;
  }
  if (std::strcmp(expression, kAtcIdExpression) == 0) {
    if (result_text == nullptr) {
      diagnostic = std::string("calculator: ") + expression +
                   " gives a text but no text destination was given";
      return false;
    }
    text_result_ = registration_;
    *result_text = text_result_.c_str();
    return true;
  }
  diagnostic = std::string("calculator: cannot evaluate \"") + expression +
               "\"; this aircraft answers only \"" + kCarburetorExpression +
               "\" and \"" + kAtcIdExpression + "\"";
  return false;
}
