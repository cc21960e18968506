// The Windows build draws no plots or sheets: it has no cairo.
#include <string>

#include "host/sheet/sheet_data.h"

namespace {

constexpr char kNoCairo[] =
    "this build has no cairo to draw with; use the native build's "
    "corvelain_host sheet";

}  // namespace

bool draw_plot(const GaugePlot&, const std::string&, std::string& error) {
  error = kNoCairo;
  return false;
}

bool draw_contact_sheet(const ContactSheet&, const std::string&,
                        std::string& error) {
  error = kNoCairo;
  return false;
}

bool sheets_drawable(std::string& why) {
  why = kNoCairo;
  return false;
}

void release_drawing_caches() {}
