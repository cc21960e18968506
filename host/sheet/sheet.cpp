#include "host/sheet/sheet.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sstream>

#include "host/core/host.h"
#include "host/core/nearest_names.h"
#include "host/core/number_text.h"
#include "host/render/bitmaps.h"
#include "host/render/render.h"
#include "host/sheet/contact.h"
#include "host/sheet/replica.h"
#include "host/sheet/sweep.h"

namespace fs = std::filesystem;

namespace {

struct FamilyRow {
  const char* gauge;
  const char* family;
};

constexpr const char* kFlight = "Flight instruments";
constexpr const char* kHeading = "Heading instruments";
constexpr const char* kEngine = "Engine instruments";
constexpr const char* kFuel = "Fuel, electrical and outside-air indicators";
constexpr const char* kSwitches = "Toggle switches";
constexpr const char* kGuarded = "Guarded switches and warning lights";
constexpr const char* kLevers = "Magnetos and engine levers";
constexpr const char* kControls = "Fuel, oil and flap controls";
constexpr const char* kStart = "Cold and dark start-up";
constexpr const char* kRadios = "Radios";
constexpr const char* kClock = "Chronograph";
constexpr const char* kToggles = "Panel window toggles";
constexpr const char* kOther = "Other gauges";

constexpr const char* kFamilyOrder[] = {
    kFlight,   kHeading, kEngine, kFuel,  kSwitches, kGuarded, kLevers,
    kControls, kStart,   kRadios, kClock, kToggles,  kOther};

constexpr FamilyRow kFamilies[] = {
    {.gauge = "Shut_Down", .family = kStart},
    {.gauge = "Registration", .family = kRadios},
    {.gauge = "Kneeboard_Toggle", .family = kToggles},
    {.gauge = "ATC_Toggle", .family = kToggles},
    {.gauge = "Map_Toggle", .family = kToggles},
    {.gauge = "Invisible_Toggle", .family = kToggles},
    {.gauge = "Close_Subpanel", .family = kToggles},
    {.gauge = "Radios_Toggle", .family = kToggles},
    {.gauge = "Landing_View_Toggle", .family = kToggles},
    {.gauge = "GPS_Toggle", .family = kToggles},
    {.gauge = "Throttle_Toggle", .family = kToggles},
    {.gauge = "Compass_Toggle", .family = kToggles},
    {.gauge = "Fuel_Toggle", .family = kToggles},
    {.gauge = "Electricity_Toggle", .family = kToggles},
    {.gauge = "Radio_COM", .family = kRadios},
    {.gauge = "Radio_ADF", .family = kRadios},
    {.gauge = "Radio_NAV1", .family = kRadios},
    {.gauge = "Radio_NAV2", .family = kRadios},
    {.gauge = "Radio_IFF_XPDR", .family = kRadios},
    {.gauge = "Gyro_Compass", .family = kHeading},
    {.gauge = "Vertical_Speed", .family = kFlight},
    {.gauge = "Attitude", .family = kFlight},
    {.gauge = "Airspeed", .family = kFlight},
    {.gauge = "Turn_Coordinator", .family = kFlight},
    {.gauge = "Altimeter", .family = kFlight},
    {.gauge = "Manifold_Pressure", .family = kEngine},
    {.gauge = "CHT_Indicator", .family = kEngine},
    {.gauge = "Tachometer", .family = kEngine},
    {.gauge = "Oil_Pressure", .family = kEngine},
    {.gauge = "Oil_Temperature", .family = kEngine},
    {.gauge = "Fuel_Pressure", .family = kEngine},
    {.gauge = "Fuel_Quantity_Left", .family = kFuel},
    {.gauge = "Fuel_Quantity_Right", .family = kFuel},
    {.gauge = "Magnetos_Switch", .family = kLevers},
    {.gauge = "Carburetor_Temp", .family = kEngine},
    {.gauge = "Throttle_Control", .family = kLevers},
    {.gauge = "Breguet_Timer", .family = kClock},
    {.gauge = "Whiskey_Compass", .family = kHeading},
    {.gauge = "ADF_Indicator", .family = kHeading},
    {.gauge = "OAT_Indicator", .family = kFuel},
    {.gauge = "VOR1_Indicator", .family = kHeading},
    {.gauge = "Voltmeter", .family = kFuel},
    {.gauge = "Flaps_Indicator", .family = kFuel},
    {.gauge = "Starter_Switch", .family = kGuarded},
    {.gauge = "Cowl_Flaps_Switch", .family = kControls},
    {.gauge = "Battery_Switch", .family = kSwitches},
    {.gauge = "Generator_Switch", .family = kGuarded},
    {.gauge = "Avionics_Switch", .family = kSwitches},
    {.gauge = "Flaps_Switch", .family = kControls},
    {.gauge = "Fuel_Oil_Valve", .family = kControls},
    {.gauge = "Fuel_Pump_Switch", .family = kSwitches},
    {.gauge = "Navigation_Lights_Switch", .family = kSwitches},
    {.gauge = "Landing_Lights_Switch", .family = kSwitches},
    {.gauge = "Pitot_Heat_Switch", .family = kSwitches},
    {.gauge = "Beacon_Lights_Switch", .family = kSwitches},
    {.gauge = "Panel_Lights_Switch", .family = kSwitches},
    {.gauge = "Low_Fuel_Light_Left", .family = kFuel},
    {.gauge = "Low_Fuel_Light_Right", .family = kFuel},
    {.gauge = "Generator_Light", .family = kGuarded},
    {.gauge = "Pitot_Heat_Light", .family = kGuarded},
};
static_assert(std::size(kFamilies) == 60, "one row per gauge of the module");

constexpr const char kPlotSuffix[] = ".plot.png";
constexpr const char kListingSuffix[] = ".plot.txt";
constexpr const char kSheetSuffix[] = ".sheet.png";
constexpr const char kIndexFile[] = "index.html";
constexpr const char kPartialFolder[] = ".sheet-partial";
// File systems take names of 255 bytes; the longest ending is 10.
constexpr size_t kMaxStemBytes = 200;
// Above 0 the panel starts shut down; the sheets show it running.
constexpr int32_t kColdAndDarkToken = 60;

// A gauge's name as a file name: anything but letters, digits, '_', '-'
// and '.' becomes '_'.
std::string file_stem(const std::string& gauge) {
  std::string stem;
  for (char c : gauge.substr(0, kMaxStemBytes)) {
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                       (c >= '0' && c <= '9') || c == '_' || c == '-' ||
                       c == '.';
    stem += plain ? c : '_';
  }
  // Nor may it be hidden, or name a Windows device (CON, NUL, COM1, ...),
  // which Windows opens whatever the ending.
  std::string base = stem.substr(0, stem.find('.'));
  for (char& c : base) c = char(std::toupper(static_cast<unsigned char>(c)));
  const bool device = base == "CON" || base == "PRN" || base == "AUX" ||
                      base == "NUL" ||
                      (base.size() == 4 &&
                       (base.starts_with("COM") || base.starts_with("LPT")) &&
                       base[3] >= '1' && base[3] <= '9');
  if (stem.empty() || stem[0] == '.' || device) stem = "_" + stem;
  return stem;
}

std::string html_escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string number_text(double value) {
  if (!std::isfinite(value)) return fixed_text(value);
  std::string text = fixed_text(value, 3);
  if (text.find('.') != std::string::npos) {
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
  }
  return text == "-0" ? "0" : text;
}

// The output folder and the partial folder inside it everything is written
// to first. Destroyed without commit(), it leaves the output folder as it
// found it.
class OutputFolder {
 public:
  static std::unique_ptr<OutputFolder> open(const std::string& folder,
                                            std::string& error) {
    std::unique_ptr<OutputFolder> out(new OutputFolder);
    out->folder_ = folder;
    std::error_code ec;
    const bool existed = fs::exists(folder, ec);
    if (existed && !fs::is_directory(folder, ec)) {
      error = "cannot write sheets to " + folder + ": it is not a folder";
      return nullptr;
    }
    if (!existed) {
      fs::create_directories(folder, ec);
      if (ec) {
        error =
            "cannot create the output folder " + folder + ": " + ec.message();
        return nullptr;
      }
      out->created_ = true;
    }
    out->partial_ = (fs::path(folder) / kPartialFolder).string();
    fs::remove_all(out->partial_, ec);
    fs::create_directory(out->partial_, ec);
    if (ec) {
      error =
          "cannot write in the output folder " + folder + ": " + ec.message();
      return nullptr;
    }
    return out;
  }

  ~OutputFolder() {
    std::error_code ec;
    fs::remove_all(partial_, ec);
    if (!committed_ && created_) fs::remove(folder_, ec);
  }

  std::string partial_path(const std::string& name) const {
    return (fs::path(partial_) / name).string();
  }

  bool write_text(const std::string& name, const std::string& text,
                  std::string& error) {
    const std::string path = partial_path(name);
    std::ofstream file(path, std::ios::binary);
    file << text;
    file.close();
    if (!file) {
      error = "cannot write " + path;
      return false;
    }
    return true;
  }

  // Moves every file written into place, replacing older ones.
  bool commit(std::string& error) {
    std::error_code ec;
    // Every file is checked before any is moved: a rename over a file does
    // not fail half-way, one over anything else would.
    for (const fs::directory_entry& entry :
         fs::directory_iterator(partial_, ec)) {
      const fs::path target = fs::path(folder_) / entry.path().filename();
      if (fs::exists(fs::symlink_status(target, ec)) &&
          !fs::is_regular_file(fs::symlink_status(target, ec))) {
        error = "cannot put the sheets in place: " + target.string() +
                " is in the way and is not a file";
        return false;
      }
    }
    for (const fs::directory_entry& entry :
         fs::directory_iterator(partial_, ec)) {
      const fs::path target = fs::path(folder_) / entry.path().filename();
      fs::rename(entry.path(), target, ec);
      if (ec) {
        error = "cannot move " + entry.path().string() + " to " +
                target.string() + ": " + ec.message();
        return false;
      }
    }
    if (ec) {
      error = "cannot list " + partial_ + ": " + ec.message();
      return false;
    }
    committed_ = true;
    return true;
  }

  // Gauges that have a plot in the folder, this run's and earlier runs'.
  std::vector<std::string> gauges_present(
      const std::vector<std::string>& names) const {
    std::vector<std::string> present;
    std::error_code ec;
    for (const std::string& name : names)
      if (fs::exists(fs::path(folder_) / (file_stem(name) + kPlotSuffix), ec))
        present.push_back(name);
    return present;
  }

 private:
  OutputFolder() = default;
  std::string folder_;
  std::string partial_;
  bool created_ = false;
  bool committed_ = false;
};

// Writes a gauge's three files into the partial folder.
bool write_gauge_files(OutputFolder& out, const GaugePlot& plot,
                       const ContactSheet& sheet, std::string& error) {
  const std::string stem = file_stem(plot.gauge);
  return draw_plot(plot, out.partial_path(stem + kPlotSuffix), error) &&
         out.write_text(stem + kListingSuffix, plot_listing(plot), error) &&
         draw_contact_sheet(sheet, out.partial_path(stem + kSheetSuffix),
                            error);
}

// The gauges a request names, or nullopt with the error said.
std::optional<std::vector<std::string>> requested_gauges(
    const std::vector<std::string>& names, const SheetRequest& request,
    const std::string& module, std::ostream& err) {
  if (request.gauge == "all") return names;
  if (std::find(names.begin(), names.end(), request.gauge) != names.end())
    return std::vector<std::string>{request.gauge};
  err << "corvelain_host: sheet: " << module << " holds no gauge named \""
      << request.gauge << "\" (nearest: " << nearest_names(request.gauge, names)
      << ")\n";
  return std::nullopt;
}

struct SheetRun {
  std::vector<std::string> gauges;
  std::unique_ptr<OutputFolder> folder;
};

// Checks that this build draws, which gauges are asked for and that the
// output folder takes files; the status to end with when not.
std::optional<SheetStatus> begin_run(const std::vector<std::string>& names,
                                     const SheetRequest& request,
                                     const std::string& module, SheetRun& run,
                                     std::ostream& err) {
  std::string why;
  if (!sheets_drawable(why)) {
    err << "corvelain_host: sheet: " << why << "\n";
    return kSheetBadInput;
  }
  auto gauges = requested_gauges(names, request, module, err);
  if (!gauges) return kSheetBadInput;
  run.gauges = std::move(*gauges);
  run.folder = OutputFolder::open(request.out_folder, why);
  if (!run.folder) {
    err << "corvelain_host: sheet: " << why << "\n";
    return kSheetNotWritten;
  }
  return std::nullopt;
}

SheetStatus finish(OutputFolder& out, const std::vector<std::string>& names,
                   const SheetRequest& request, size_t written,
                   std::ostream& stdout_, std::ostream& err) {
  std::string error;
  if (!out.commit(error)) {
    err << "corvelain_host: sheet: " << error << "\n";
    return kSheetNotWritten;
  }
  // The index covers every gauge with a plot in the folder, so sheets made
  // one gauge at a time add up.
  const std::string index = sheet_index(out.gauges_present(names));
  const std::string index_path =
      (fs::path(request.out_folder) / kIndexFile).string();
  const std::string partial_index = index_path + ".partial";
  {
    std::ofstream file(partial_index, std::ios::binary);
    file << index;
    file.close();
    std::error_code ec;
    if (!file) {
      fs::remove(partial_index, ec);
      err << "corvelain_host: sheet: cannot write " << index_path << "\n";
      return kSheetNotWritten;
    }
    fs::rename(partial_index, index_path, ec);
    if (ec) {
      fs::remove(partial_index, ec);
      err << "corvelain_host: sheet: cannot write " << index_path << "\n";
      return kSheetNotWritten;
    }
  }
  stdout_ << written << (written == 1 ? " gauge" : " gauges") << " drawn into "
          << request.out_folder << " (" << kIndexFile << ")\n";
  return kSheetWritten;
}

std::vector<std::string> module_gauge_names(const LoadedModule& module) {
  std::vector<std::string> names;
  for (GaugeHeader* const* g = module.linkage->gauges;
       g < std::end(module.linkage->gauges) && *g != nullptr; ++g)
    if ((*g)->name != nullptr) names.push_back((*g)->name);
  return names;
}

const GaugeHeader* module_gauge(const LoadedModule& module,
                                const std::string& name) {
  for (GaugeHeader* const* g = module.linkage->gauges;
       g < std::end(module.linkage->gauges) && *g != nullptr; ++g)
    if ((*g)->name != nullptr && name == (*g)->name) return *g;
  return nullptr;
}

// A panel of one window holding the gauge at its background's own size.
PanelConfig one_gauge_panel(const LoadedModule& module,
                            const GaugeHeader& header, BitmapSource& bitmaps) {
  PanelConfig panel;
  panel.file = "sheet";
  PanelWindow window;
  window.section = 0;
  window.line = 1;
  GaugePlacement placement;
  placement.module = module.name;
  placement.gauge = header.name;
  placement.line = 1;
  int32_t width = int32_t(header.default_width_mm);
  int32_t height = width;
  const ElementHeader* root =
      header.elements != nullptr ? header.elements[0] : nullptr;
  std::string why;
  if (root != nullptr)
    if (const Image* background = bitmaps.find(root->bitmap, why))
      width = background->width, height = background->height;
  width = std::clamp<int32_t>(width, 1, 2048);
  height = std::clamp<int32_t>(height, 1, 2048);
  placement.width = width;
  placement.height = height;
  window.width = width;
  window.height = height;
  window.gauges.push_back(placement);
  panel.windows.push_back(window);
  return panel;
}

// Every gauge of the module installed on one window and updated once, the
// way a loaded panel starts, so that what gauges share (tank capacities read
// at start, say) is set up whichever gauge is drawn next, and drawn alike
// whichever gauges were drawn before it.
void prime_shared_state(const LoadedModule& module) {
  PanelConfig panel;
  panel.file = "sheet";
  PanelWindow window;
  window.line = 1;
  for (const std::string& name : module_gauge_names(module)) {
    GaugePlacement placement;
    placement.module = module.name;
    placement.gauge = name;
    placement.line = 1;
    window.gauges.push_back(placement);
  }
  panel.windows.push_back(window);
  auto created = Host::create(module, std::move(panel));
  if (auto* host = std::get_if<std::unique_ptr<Host>>(&created)) {
    (*host)->aircraft().set(kColdAndDarkToken, 0);
    (*host)->start();
    (*host)->run_frames(1);
    (*host)->stop();
  }
}

// Draws one gauge of `module` in a host of its own and writes its files
// into the partial folder.
bool draw_gauge(const LoadedModule& module, const std::string& name,
                std::unique_ptr<BitmapSource> bitmaps, OutputFolder& folder,
                GaugePlot& plot, std::ostream& err,
                const std::vector<std::string>& left_out = {}) {
  const GaugeHeader* header = module_gauge(module, name);
  PanelConfig panel = one_gauge_panel(module, *header, *bitmaps);
  auto created = Host::create(module, std::move(panel));
  if (auto* message = std::get_if<std::string>(&created)) {
    err << "corvelain_host: sheet: " << name << ": " << *message << "\n";
    return false;
  }
  Host& host = *std::get<std::unique_ptr<Host>>(created);
  host.aircraft().set(kColdAndDarkToken, 0);
  host.start();
  GaugeInstance* gauge = host.find_instance(name, 1);
  plot = sweep_gauge(host, *gauge);
  WindowRenderer renderer(std::move(bitmaps));
  const ContactSheet sheet = contact_sheet(host, *gauge, renderer, plot);
  host.stop();
  if (!left_out.empty()) {
    for (Curve& curve : plot.curves) {
      curve.from_records = true;
      if (curve.note.empty()) curve.note = "drawn from its records";
    }
    plot.notes.insert(plot.notes.end(), left_out.begin(), left_out.end());
  }
  std::string error;
  if (!write_gauge_files(folder, plot, sheet, error)) {
    err << "corvelain_host: sheet: " << error << "\n";
    return false;
  }
  return true;
}

void say_departures(const GaugePlot& plot, std::ostream& out) {
  size_t departures = 0;
  for (const Curve& curve : plot.curves) departures += curve.departures.size();
  if (departures > 0)
    out << plot.gauge << ": " << departures
        << (departures == 1 ? " point departs" : " points depart")
        << " from its calibration (" << file_stem(plot.gauge) << kListingSuffix
        << ")\n";
}

}  // namespace

std::string gauge_family(const std::string& gauge) {
  for (const FamilyRow& row : kFamilies)
    if (gauge == row.gauge) return row.family;
  return kOther;
}

std::string plot_listing(const GaugePlot& plot) {
  std::ostringstream out;
  out << plot.gauge << ": calibration sweep\n";
  if (plot.curves.empty()) out << "no element follows a value\n";
  size_t departures = 0;
  for (const Curve& curve : plot.curves) {
    out << "\nelement " << curve.element << " " << curve.element_kind << " "
        << curve.slot << ": " << curve.variable;
    if (!curve.unit.empty()) out << " (" << curve.unit << ")";
    out << " -> " << curve.result_name;
    if (!curve.result_unit.empty()) out << " (" << curve.result_unit << ")";
    out << "\n";
    if (!curve.note.empty()) out << "  " << curve.note << "\n";
    if (!curve.points.empty())
      out << "  swept: " << curve.points.size() << " points from "
          << number_text(curve.points.front().value) << " to "
          << number_text(curve.points.back().value) << "\n";
    if (!curve.marks.empty()) {
      out << "  calibration points (" << curve.marks.size() << "):\n";
      for (const CalibrationMark& mark : curve.marks)
        out << "    " << number_text(mark.value) << " -> "
            << number_text(mark.result) << "\n";
    }
    if (!curve.stops.empty()) {
      out << "  stops:";
      for (size_t i = 0; i < curve.stops.size(); ++i)
        out << (i ? ", " : " ") << number_text(curve.stops[i]);
      out << "\n";
    }
    if (curve.element_kind == "needle" && !curve.from_records) {
      out << "  departures over " << number_text(kDepartureTolerance) << " "
          << curve.result_unit << ": ";
      if (curve.departures.empty())
        out << "none\n";
      else
        out << curve.departures.size() << "\n";
      for (const Departure& d : curve.departures)
        out << "    at " << number_text(d.value) << ": "
            << number_text(d.result) << " where the line gives "
            << number_text(d.expected) << " (off by "
            << number_text(d.result - d.expected) << ")\n";
      departures += curve.departures.size();
    }
  }
  if (!plot.notes.empty()) {
    out << "\nnotes:\n";
    for (const std::string& note : plot.notes) out << "  " << note << "\n";
  }
  out << "\n"
      << departures << (departures == 1 ? " departure" : " departures") << "\n";
  return out.str();
}

std::string sheet_index(const std::vector<std::string>& gauges) {
  std::map<std::string, std::vector<std::string>> by_family;
  for (const std::string& gauge : gauges)
    by_family[gauge_family(gauge)].push_back(gauge);
  std::ostringstream html;
  html << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta "
          "charset=\"utf-8\">\n<title>Calibration plots and contact "
          "sheets</title>\n<style>\nbody{font-family:sans-serif;margin:1em 2em}"
          "\nli{margin:.4em 0}\nimg{height:96px;vertical-align:middle;"
          "border:1px solid #ccc;margin-right:.5em}\n</style>\n</head>\n"
          "<body>\n<h1>Calibration plots and contact sheets</h1>\n";
  for (const char* family : kFamilyOrder) {
    auto found = by_family.find(family);
    if (found == by_family.end()) continue;
    html << "<h2>" << html_escaped(family) << "</h2>\n<ul>\n";
    for (const std::string& gauge : found->second) {
      const std::string stem = html_escaped(file_stem(gauge));
      html << "<li><a href=\"" << stem << kSheetSuffix << "\"><img src=\""
           << stem << kSheetSuffix << "\" alt=\"\"></a><strong>"
           << html_escaped(gauge) << "</strong>: <a href=\"" << stem
           << kPlotSuffix << "\">plot</a> &middot; <a href=\"" << stem
           << kListingSuffix << "\">points and departures</a> &middot; <a "
           << "href=\"" << stem << kSheetSuffix << "\">sheet</a></li>\n";
    }
    html << "</ul>\n";
  }
  html << "</body>\n</html>\n";
  return html.str();
}

SheetStatus write_sheets_running(const LoadedModule& module,
                                 const SheetRequest& request, std::ostream& out,
                                 std::ostream& err) {
  const std::vector<std::string> names = module_gauge_names(module);
  SheetRun run;
  if (const auto refused = begin_run(names, request, module.name, run, err))
    return *refused;
  for (const std::string& name : run.gauges) {
    prime_shared_state(module);
    GaugePlot plot;
    if (!draw_gauge(module, name, module_bitmaps(module), *run.folder, plot,
                    err))
      return kSheetNotWritten;
    say_departures(plot, out);
  }
  return finish(*run.folder, names, request, run.gauges.size(), out, err);
}

SheetStatus write_sheets_from_records(const InspectedModule& module,
                                      std::span<const uint8_t> file,
                                      const SheetRequest& request,
                                      const std::string& why_not_driven,
                                      std::ostream& out, std::ostream& err) {
  std::vector<std::string> names;
  for (const InspectedGauge& gauge : module.gauges) names.push_back(gauge.name);
  SheetRun run;
  if (const auto refused = begin_run(names, request, module.file, run, err))
    return *refused;
  std::set<std::string> stems;
  const std::string module_name = fs::path(module.file).stem().string().empty()
                                      ? std::string("module")
                                      : fs::path(module.file).stem().string();
  for (const std::string& name : run.gauges) {
    const InspectedGauge& gauge =
        *std::find_if(module.gauges.begin(), module.gauges.end(),
                      [&](const InspectedGauge& g) { return g.name == name; });
    // Two gauges of one name, or of names that make one file name, are
    // drawn once.
    if (!stems.insert(file_stem(name)).second) {
      out << name << ": not drawn: an earlier gauge's files have its name ("
          << file_stem(name) << kPlotSuffix << ")\n";
      continue;
    }
    GaugeReplica replica(gauge, module_name);
    std::vector<std::string> left_out = {"not driven: " + why_not_driven};
    left_out.insert(left_out.end(), replica.left_out().begin(),
                    replica.left_out().end());
    out << name << ": not driven (" << why_not_driven
        << "); drawn from its records\n";
    GaugePlot plot;
    if (!draw_gauge(replica.module(), name, file_bitmaps(module, file, gauge),
                    *run.folder, plot, err, left_out))
      return kSheetNotWritten;
  }
  return finish(*run.folder, names, request, stems.size(), out, err);
}
