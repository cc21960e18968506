// `corvelain_host sheet`: for each gauge asked for, a calibration plot
// (GAUGE.plot.png), its points and departures as text (GAUGE.plot.txt) and
// a contact sheet (GAUGE.sheet.png), and an index.html over every gauge in
// the folder grouped by family. Everything is written into a folder of its
// own beside the others first and moved into place only when all of it is
// written, so a failure leaves the output folder as it was.
#pragma once

#include <cstdint>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "host/core/loader.h"
#include "host/module_file/model.h"
#include "host/sheet/sheet_data.h"

struct SheetRequest {
  std::string gauge;  // a gauge's name, or "all"
  std::string out_folder = "sheets";
};

enum SheetStatus {
  kSheetWritten = 0,
  kSheetBadInput = 2,
  kSheetNotWritten = 4,
};

// Drives each gauge of the loaded module in a host of its own.
SheetStatus write_sheets_running(const LoadedModule& module,
                                 const SheetRequest& request, std::ostream& out,
                                 std::ostream& err);

// Draws each gauge of a module file from its records alone, saying first
// why none is driven.
SheetStatus write_sheets_from_records(const InspectedModule& module,
                                      std::span<const uint8_t> file,
                                      const SheetRequest& request,
                                      const std::string& why_not_driven,
                                      std::ostream& out, std::ostream& err);

// The listing beside a plot: every curve's calibration points, stops and
// departures.
std::string plot_listing(const GaugePlot& plot);

// The family a gauge of this module belongs to; "Other gauges" for a name
// it does not hold.
std::string gauge_family(const std::string& gauge);

// index.html over these gauges, grouped by family in a fixed order.
std::string sheet_index(const std::vector<std::string>& gauges);
