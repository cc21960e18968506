// The fuel, electrical and outside-air indicators' arithmetic and the
// values their needles keep for their tooltips.
#pragma once

// A tank level arrives as a fraction of this.
inline constexpr double kFullTankLevel = 8388608.0;
inline constexpr double kLowFuelLitres = 20.0;
inline constexpr double kFullFlapPosition = 16384.0;
inline constexpr double kFullFlapDegrees = 50.0;

// Litres in a tank of the given capacity at the given level; 0 where the
// product is not a number (a NaN or infinite level).
double fuel_litres(double capacity_litres, double level);
// Lit at 20 litres or less, and for a quantity that is not a number.
bool low_fuel_lit(double litres);
double flap_degrees(double position);

extern double left_fuel_shown_litres;
extern double right_fuel_shown_litres;
extern double bus_volts_shown;
extern double outside_air_shown_c;
