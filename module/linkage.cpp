#include "module/linkage.h"

#include "gauges/gauge_table.h"

namespace {

void GAUGE_CALL module_init() {}
void GAUGE_CALL module_deinit() {}

}  // namespace

extern "C" {

constinit ImportTableRecord ImportTable = {{
    {kImportServicesId, nullptr},
    {0, nullptr},
}};

// Gauges in the order the simulator's panel files have always seen them;
// the first null pointer ends the table.
constinit LinkageRecord Linkage = {
    .module_id = kModuleId,
    .init = module_init,
    .deinit = module_deinit,
    .flags = 0,
    .status = 0,
    .version = kModuleVersion,
    .gauges =
        {
            &shut_down_gauge,
            &registration_gauge,
            &kneeboard_toggle_gauge,
            &atc_toggle_gauge,
            &map_toggle_gauge,
            &invisible_toggle_gauge,
            &close_subpanel_gauge,
            &radios_toggle_gauge,
            &landing_view_toggle_gauge,
            &gps_toggle_gauge,
            &throttle_toggle_gauge,
            &compass_toggle_gauge,
            &fuel_toggle_gauge,
            &electricity_toggle_gauge,
            &radio_com_gauge,
            &radio_adf_gauge,
            &radio_nav1_gauge,
            &radio_nav2_gauge,
            &radio_iff_xpdr_gauge,
            &gyro_compass_gauge,
            &vertical_speed_gauge,
            &attitude_gauge,
            &airspeed_gauge,
            &turn_coordinator_gauge,
            &altimeter_gauge,
            &manifold_pressure_gauge,
            &cht_indicator_gauge,
            &tachometer_gauge,
            &oil_pressure_gauge,
            &oil_temperature_gauge,
            &fuel_pressure_gauge,
            &fuel_quantity_left_gauge,
            &fuel_quantity_right_gauge,
            &magnetos_switch_gauge,
            &carburetor_temp_gauge,
            &throttle_control_gauge,
            &breguet_timer_gauge,
            &whiskey_compass_gauge,
            &adf_indicator_gauge,
            &oat_indicator_gauge,
            &vor1_indicator_gauge,
            &voltmeter_gauge,
            &flaps_indicator_gauge,
            &starter_switch_gauge,
            &cowl_flaps_switch_gauge,
            &battery_switch_gauge,
            &generator_switch_gauge,
            &avionics_switch_gauge,
            &flaps_switch_gauge,
            &fuel_oil_valve_gauge,
            &fuel_pump_switch_gauge,
            &navigation_lights_switch_gauge,
            &landing_lights_switch_gauge,
            &pitot_heat_switch_gauge,
            &beacon_lights_switch_gauge,
            &panel_lights_switch_gauge,
            &low_fuel_light_left_gauge,
            &low_fuel_light_right_gauge,
            &generator_light_gauge,
            &pitot_heat_light_gauge,
            nullptr,
        },
};
}
