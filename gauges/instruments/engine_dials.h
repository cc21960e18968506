// Values the engine, fuel and outside-air dials share with each other and
// with their tests.
#pragma once

// Pressures arrive in the host's unit, this many to a kilopascal (the
// dials' "pz").
inline constexpr double kHostPressurePerKilopascal = 20.8791;

// What the oil pressure needle shows while the oil valve is shut: a tenth
// of the first graduation.
inline constexpr double kOilPressureValveShut = 2087.91;

// The last carburettor temperature the host reported, degrees Celsius.
extern double carburetor_temperature_c;
