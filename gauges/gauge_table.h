// Every gauge header of the module, named as the gauge table lists them.
#pragma once

#include "elements/records.h"

extern GaugeHeader registration_gauge;
extern GaugeHeader kneeboard_toggle_gauge;
extern GaugeHeader atc_toggle_gauge;
extern GaugeHeader map_toggle_gauge;
extern GaugeHeader invisible_toggle_gauge;
extern GaugeHeader close_subpanel_gauge;
extern GaugeHeader radios_toggle_gauge;
extern GaugeHeader landing_view_toggle_gauge;
extern GaugeHeader gps_toggle_gauge;
extern GaugeHeader throttle_toggle_gauge;
extern GaugeHeader compass_toggle_gauge;
extern GaugeHeader fuel_toggle_gauge;
extern GaugeHeader electricity_toggle_gauge;
extern GaugeHeader radio_com_gauge;
extern GaugeHeader radio_adf_gauge;
extern GaugeHeader radio_nav1_gauge;
extern GaugeHeader radio_nav2_gauge;
extern GaugeHeader radio_iff_xpdr_gauge;
extern GaugeHeader gyro_compass_gauge;
extern GaugeHeader whiskey_compass_gauge;
extern GaugeHeader adf_indicator_gauge;
extern GaugeHeader vor1_indicator_gauge;
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
extern GaugeHeader shut_down_gauge;
extern GaugeHeader magnetos_switch_gauge;
extern GaugeHeader throttle_control_gauge;
extern GaugeHeader starter_switch_gauge;
extern GaugeHeader cowl_flaps_switch_gauge;
extern GaugeHeader generator_switch_gauge;
extern GaugeHeader flaps_switch_gauge;
extern GaugeHeader fuel_oil_valve_gauge;
extern GaugeHeader generator_light_gauge;
extern GaugeHeader pitot_heat_light_gauge;
