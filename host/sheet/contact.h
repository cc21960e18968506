// The contact sheet of a running gauge: drawn at its calibration points,
// by day and night, with each failure it declares active alone, and with
// its power off and on where it reads power.
#pragma once

#include "host/core/host.h"
#include "host/render/render.h"
#include "host/sheet/sheet_data.h"

// `gauge` is the one gauge of `host`'s first window; `plot` is its sweep,
// whose marks and image indices give the calibration cells.
ContactSheet contact_sheet(Host& host, GaugeInstance& gauge,
                           WindowRenderer& renderer, const GaugePlot& plot);

// Whether the gauge reads its power: binds or looks up a power token during
// an update.
bool reads_power(Host& host, const GaugeInstance& gauge);
