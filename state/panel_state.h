// Values that couple gauges the simulator treats as strangers: radio head
// latches, tank capacities and the oil half of the fuel/oil valve. Every
// radio head starts switched off and the oil valve starts open.
#pragma once

#include <cstdint>

inline int32_t adf_power = 0;
inline int32_t adf_tone = 0;
inline int32_t com1_power = 0;
inline int32_t nav1_power = 0;
inline int32_t nav1_tone = 0;
inline int32_t nav2_power = 0;
inline int32_t nav2_tone = 0;
inline int32_t xpdr_power = 0;
inline double left_tank_capacity = 0.0;
inline double right_tank_capacity = 0.0;
inline int32_t oil_valve_open = 1;
