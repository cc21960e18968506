// Every gauge header of the module, named as the gauge table lists them.
#pragma once

#include "elements/records.h"

extern GaugeHeader vertical_speed_gauge;
extern GaugeHeader attitude_gauge;
extern GaugeHeader airspeed_gauge;
extern GaugeHeader turn_coordinator_gauge;
extern GaugeHeader altimeter_gauge;
