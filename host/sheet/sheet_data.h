// What a gauge's calibration plot and contact sheet show, as plain data:
// the sweep of every element whose picture follows a value, and the gauge
// drawn in the states worth seeing. The sweep and the states fill it; the
// drawing turns it into pictures.
#pragma once

#include <string>
#include <vector>

#include "host/render/image.h"

// How far a result may sit from the straight line between two neighbouring
// calibration points before it is called a departure: degrees for angles,
// pixels for shifts.
inline constexpr double kDepartureTolerance = 0.5;

struct CurvePoint {
  double value = 0;   // the swept variable, in its unit
  double result = 0;  // angle, shift or image index read back
  bool departs = false;
};

struct CalibrationMark {
  double value = 0;
  double result = 0;
};

struct Departure {
  double value = 0;
  double result = 0;
  double expected = 0;
};

// One value slot of one element, swept.
struct Curve {
  int element = 0;           // chain number, 1 being the background
  std::string element_kind;  // "needle", "slider", "icon", "moving", "sprite"
  std::string slot;          // "value", "x", "y", "rotation"
  std::string result_name;   // "angle", "shift", "image index", "position"
  std::string result_unit;   // "degrees", "pixels", "" for an index
  std::string variable;      // "ENGINE_RPM", or how the value was given
  std::string unit;          // "rpm"
  // How the points were found: through the running gauge, or computed from
  // the records alone (a foreign module, a value no variable drives).
  bool from_records = false;
  std::string note;  // anything the reader should know about the curve
  std::vector<CurvePoint> points;  // ascending value
  std::vector<CalibrationMark> marks;
  // Where the result reaches the ends of its travel within the table's
  // range, as values.
  std::vector<double> stops;
  std::vector<Departure> departures;
};

struct GaugePlot {
  std::string gauge;
  std::vector<Curve> curves;
  // Elements not plotted and why, one line each.
  std::vector<std::string> notes;
};

struct SheetCell {
  std::string label;
  Image image;
};

struct ContactSheet {
  std::string gauge;
  std::vector<SheetCell> cells;
};

// The plot: one panel a curve, value across, result up, calibration marks,
// stops and departures (in red) shown. False with the reason in `error`
// when it cannot be drawn or written.
bool draw_plot(const GaugePlot& plot, const std::string& png_path,
               std::string& error);
// The cells side by side in rows, each labelled beneath.
bool draw_contact_sheet(const ContactSheet& sheet, const std::string& png_path,
                        std::string& error);
// Lets go of what the drawing library keeps between pictures; drawing again
// afterwards is allowed.
void release_drawing_caches();
// Whether this build can draw plots and sheets at all; when not, why.
bool sheets_drawable(std::string& why);
