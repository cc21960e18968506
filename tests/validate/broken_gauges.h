// Gauges each broken in one way, for the validator to catch.
#pragma once

#include "elements/records.h"

extern GaugeHeader past_buffer_gauge;
extern GaugeHeader leaky_sound_gauge;
extern GaugeHeader leaky_buffer_gauge;
extern GaugeHeader nan_cast_gauge;
extern GaugeHeader nan_needle_gauge;
