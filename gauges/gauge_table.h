// Every gauge header of the module, named as the gauge table lists them.
#pragma once

#include "elements/records.h"

extern GaugeHeader vertical_speed_gauge;
extern GaugeHeader attitude_gauge;
extern GaugeHeader airspeed_gauge;
extern GaugeHeader turn_coordinator_gauge;
extern GaugeHeader altimeter_gauge;
extern GaugeHeader battery_switch_gauge;
extern GaugeHeader avionics_switch_gauge;
extern GaugeHeader beacon_lights_switch_gauge;
extern GaugeHeader landing_lights_switch_gauge;
extern GaugeHeader navigation_lights_switch_gauge;
extern GaugeHeader panel_lights_switch_gauge;
extern GaugeHeader pitot_heat_switch_gauge;
extern GaugeHeader fuel_pump_switch_gauge;
