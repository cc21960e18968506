// corvelain_host: loads the instrument module, builds the panel of a panel
// configuration file and runs a scenario script against it, printing what
// it observes.
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "host/host.h"
#include "host/image_file.h"
#include "host/loader.h"
#include "host/panel_config.h"
#include "host/platform.h"
#include "host/render/bitmaps.h"
#include "host/render/render.h"
#include "host/scenario.h"

namespace {

enum ExitCode {
  kExitOk = 0,
  kExitExpectationFailed = 1,
  kExitUsage = 2,
  // 3: the module called a service the host does not provide (host.cpp).
  kExitPictureNotWritten = 4,
};

void print_usage(std::ostream& out) {
  out << "usage: corvelain_host [--module PATH] --panel FILE [--script FILE]\n"
         "                      [--pictures DIR]\n"
         "       corvelain_host --help-script\n"
         "\n"
         "Loads the instrument module, opens the visible windows of the panel\n"
         "configuration FILE, runs the scenario script (if given) and prints\n"
         "a transcript of what the module did through the host.\n"
         "\n"
         "  --module PATH  the module to load (Windows build; default: "
      << default_module_file()
      << "\n"
         "                 beside this program)\n"
         "  --panel FILE   panel configuration (panel.cfg)\n"
         "  --script FILE  scenario script; - reads standard input\n"
         "  --pictures DIR at the end, each open window as DIR/<section>.png\n"
         "                 (Window00.png, Vcockpit01.png)\n"
         "  --help-script  the script commands, as a Markdown table\n"
         "  --help         this text\n"
         "\n"
         "Exit status: 0 ok, 1 an expectation failed, 2 bad usage or input,\n"
         "3 the module called a panel service this host does not provide,\n"
         "4 a picture could not be written.\n";
}

bool read_file(const std::string& path, std::string& text) {
  std::ostringstream buffer;
  if (path == "-") {
    buffer << std::cin.rdbuf();
  } else {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    buffer << file.rdbuf();
  }
  text = buffer.str();
  return true;
}

int usage_error(const std::string& message) {
  std::cerr << "corvelain_host: " << message << "\n"
            << "Try 'corvelain_host --help'.\n";
  return kExitUsage;
}

int input_error(const std::string& message) {
  std::cerr << "corvelain_host: " << message << "\n";
  return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  prepare_console();
  std::string module_path, panel_path, script_path, pictures_path;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      print_usage(std::cout);
      return kExitOk;
    }
    if (arg == "--help-script") {
      print_scenario_commands(std::cout);
      return kExitOk;
    }
    std::string* target = arg == "--module"     ? &module_path
                          : arg == "--panel"    ? &panel_path
                          : arg == "--script"   ? &script_path
                          : arg == "--pictures" ? &pictures_path
                                                : nullptr;
    if (target == nullptr) return usage_error("unknown option '" + arg + "'");
    if (i + 1 >= argc || std::string(argv[i + 1]).empty())
      return usage_error(arg + " needs a value");
    if (!target->empty()) return usage_error(arg + " given twice");
    *target = argv[++i];
  }
  if (panel_path.empty()) return usage_error("--panel FILE is required");

  std::string panel_text, script_text;
  if (!read_file(panel_path, panel_text))
    return input_error("cannot read panel file " + panel_path);
  if (!script_path.empty() && !read_file(script_path, script_text))
    return input_error("cannot read script " + script_path);
  PanelConfigResult parsed = parse_panel_config(panel_text, panel_path);
  if (auto* error = std::get_if<PanelConfigError>(&parsed))
    return input_error(error->message());
  PanelConfig& panel = std::get<PanelConfig>(parsed);
  // Until a gauge's background is known, a placement without a height is
  // taken as square when a window's size follows its gauges.
  resolve_window_sizes(panel, image_file_size, [](const GaugePlacement& g) {
    const int32_t width = g.width.value_or(0);
    return std::pair{width, g.height.value_or(width)};
  });

  create_simulator_window();
  LoadedModule module;
  std::string error;
  if (!load_module(module_path, module, error)) {
    destroy_simulator_window();
    return input_error(error);
  }
  int status = kExitOk;
  {
    auto created = Host::create(module, std::move(panel));
    if (auto* message = std::get_if<std::string>(&created)) {
      status = input_error(*message);
    } else {
      Host& host = *std::get<std::unique_ptr<Host>>(created);
      ScenarioScript script;
      if (!parse_scenario(script_text, script_path.empty() ? "-" : script_path,
                          host, script, error)) {
        status = input_error(error);
      } else {
        WindowRenderer renderer(module_bitmaps(module));
        const ScenarioOutcome outcome = run_scenario(
            script, host, std::cout, std::cerr,
            {.renderer = &renderer, .pictures_folder = pictures_path});
        if (outcome.failed_pictures > 0) status = kExitPictureNotWritten;
        if (outcome.failed_expectations > 0) status = kExitExpectationFailed;
      }
    }
  }
  std::cout.flush();
  unload_module(module);
  destroy_simulator_window();
  return status;
}
