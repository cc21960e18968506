// corvelain_host: loads the instrument module, builds the panel of a panel
// configuration file and runs a scenario script against it, printing what
// it observes.
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "host/core/host.h"
#include "host/core/loader.h"
#include "host/core/other_modules.h"
#include "host/core/platform.h"
#include "host/files/read_file.h"
#include "host/inspect/diff.h"
#include "host/inspect/export_bitmaps.h"
#include "host/inspect/print.h"
#include "host/module_file/read_module.h"
#include "host/panel_file/panel_config.h"
#include "host/render/bitmaps.h"
#include "host/render/render.h"
#include "host/render/stb_files.h"
#include "host/script/scenario.h"
#include "host/serve/http_server.h"
#include "host/serve/live_panel.h"
#include "host/serve/routes.h"
#include "host/sheet/sheet.h"
#include "host/validate/validate.h"

namespace {

enum ExitCode {
  kExitOk = 0,
  kExitExpectationFailed = 1,  // or an edit or save was refused
  kExitUsage = 2,
  // 3: the module called a service the host does not provide (host.cpp).
  kExitPictureNotWritten = 4,
};

void print_usage(std::ostream& out) {
  out << "usage: corvelain_host [--module PATH] --panel FILE [--script FILE]\n"
         "                      [--pictures DIR] [--gauges DIR]...\n"
         "       corvelain_host validate [--module PATH] [--level N]\n"
         "                               [--seed S] [--cycles N]\n"
         "       corvelain_host inspect MODULE [--json] [--gauge NAME]\n"
         "                              [--bitmaps DIR]\n"
         "       corvelain_host inspect MODULE --against OTHER\n"
         "       corvelain_host serve [--module PATH] --panel FILE [--port N]\n"
         "                            [--rate N] [--listen ADDRESS]\n"
         "                            [--sheets DIR] [--gauges DIR]...\n"
         "       corvelain_host sheet GAUGE|all [--out DIR] [--module PATH]\n"
         "       corvelain_host --help-script\n"
         "\n"
         "Loads the instrument module, opens the visible windows of the panel\n"
         "configuration FILE, runs the scenario script (if given) and prints\n"
         "a transcript of what the module did through the host.\n"
         "\n"
         "  --module PATH  the module to load (Windows and linux32 builds;\n"
         "                 default: "
      << default_module_file()
      << "\n"
         "                 beside this program)\n"
         "  --panel FILE   panel configuration (panel.cfg)\n"
         "  --script FILE  scenario script; - reads standard input\n"
         "  --pictures DIR at the end, each open window as DIR/<section>.png\n"
         "                 (Window00.png, Vcockpit01.png)\n"
         "  --gauges DIR   a folder holding other modules the panel names\n"
         "                 (looked for in the panel's folder, then each\n"
         "                 --gauges DIR, then beside this program)\n"
         "  --help-script  the script commands, as a Markdown table\n"
         "  validate       drives every gauge of the module through the host:\n"
         "                 level 1 installs and updates each once, 2 adds\n"
         "                 install/kill cycles, two copies and windows opened\n"
         "                 and closed every frame, 3 click storms, drags and\n"
         "                 special and random values (seed S, printed), 4 a\n"
         "                 sound failure at every step (under Windows at\n"
         "                 every DirectSound call); sound devices and\n"
         "                 buffers must all be released at kill; exit\n"
         "                 status 1 on any failure; --cycles N install and\n"
         "                 kill cycles at level 2 (1000)\n"
         "  inspect        reads a module file as bytes without loading it "
         "and\n"
         "                 prints its exports, gauges, elements, mouse areas\n"
         "                 and resources as tables (--json: as JSON; --gauge:\n"
         "                 one gauge); --bitmaps DIR writes each bitmap as\n"
         "                 DIR/<id>.png; --against OTHER prints what differs\n"
         "                 in OTHER, exit status 1 when anything does\n"
         "  serve          runs the panel live for a web browser at\n"
         "                 http://127.0.0.1:PORT/ (printed when ready): its\n"
         "                 windows drawn as they change, script lines run as\n"
         "                 the page sends them, the transcript shown, the\n"
         "                 panel file read again when it changes; --port N\n"
         "                 (8018; 0 takes a free one), --rate N frames a\n"
         "                 second (18, 1 to 240), --listen ADDRESS "
         "(127.0.0.1;\n"
         "                 anyone who can reach another address can drive\n"
         "                 the panel), --sheets DIR serves the sheets written\n"
         "                 there (sheet all --out DIR) at /sheets/; runs\n"
         "                 until Ctrl-C\n"
         "  sheet          for the gauge named (all: every gauge) writes a\n"
         "                 calibration plot, GAUGE.plot.png, of every element\n"
         "                 that follows a value, swept through the running\n"
         "                 gauge, with its points and departures in\n"
         "                 GAUGE.plot.txt, a contact sheet of its states,\n"
         "                 GAUGE.sheet.png, and index.html, into DIR\n"
         "                 (sheets); a module this build cannot run is drawn\n"
         "                 from its records\n"
         "  --help         this text\n"
         "\n"
         "Exit status: 0 ok, 1 an expectation failed or an edit or save was\n"
         "refused, 2 bad usage or input,\n"
         "3 the module called a panel service this host does not provide,\n"
         "4 a picture could not be written.\n";
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

// corvelain_host validate [--module PATH] [--level N] [--seed S]
//                          [--cycles N]
int run_validate(int argc, char** argv) {
  ValidateOptions options;
  options.seed = static_cast<uint64_t>(
      std::chrono::system_clock::now().time_since_epoch().count());
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg != "--module" && arg != "--level" && arg != "--seed" &&
        arg != "--cycles")
      return usage_error("validate: unknown option '" + arg + "'");
    if (i + 1 >= argc || std::string(argv[i + 1]).empty())
      return usage_error(arg + " needs a value");
    const std::string value = argv[++i];
    if (arg == "--module") {
      options.module_path = value;
      continue;
    }
    uint64_t number = 0;
    const auto [end, ec] =
        std::from_chars(value.data(), value.data() + value.size(), number);
    if (ec != std::errc() || end != value.data() + value.size())
      return usage_error(arg + " takes a whole number, not '" + value + "'");
    if (arg == "--seed") {
      options.seed = number;
    } else if (arg == "--cycles") {
      options.cycles = int(std::min<uint64_t>(number, 1000000));
    } else if (!validate_level_supported(int(std::min<uint64_t>(number, 99)))) {
      return usage_error("validate: this build has no level " + value);
    } else {
      options.level = int(number);
    }
  }
  create_simulator_window();
  LoadedModule module;
  std::string error;
  if (!load_module(options.module_path, module, error)) {
    destroy_simulator_window();
    return input_error(error);
  }
  const int64_t failures =
      validate_module(module, options, std::cout, std::cerr);
  std::cout.flush();
  unload_module(module);
  destroy_simulator_window();
  return failures > 0 ? kExitExpectationFailed : kExitOk;
}

bool inspect_file(const std::string& path, std::vector<uint8_t>& bytes,
                  InspectedModule& module, std::string& error) {
  if (!read_input_file(path, kModuleFile, bytes, error)) return false;
  InspectResult read = read_module(bytes, path);
  if (auto* failure = std::get_if<InspectError>(&read)) {
    error = path + ": " + failure->message();
    return false;
  }
  module = std::move(std::get<InspectedModule>(read));
  return true;
}

// corvelain_host inspect MODULE [--json] [--gauge NAME] [--bitmaps DIR]
//                                [--against OTHER]
int run_inspect(int argc, char** argv) {
  std::string module_path, gauge, bitmaps_path, against_path;
  bool json = false;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--json") {
      json = true;
      continue;
    }
    std::string* target = arg == "--gauge"     ? &gauge
                          : arg == "--bitmaps" ? &bitmaps_path
                          : arg == "--against" ? &against_path
                                               : nullptr;
    if (target == nullptr) {
      if (arg.starts_with("-") || !module_path.empty())
        return usage_error("inspect: unexpected '" + arg + "'");
      module_path = arg;
      continue;
    }
    if (i + 1 >= argc || std::string(argv[i + 1]).empty())
      return usage_error(arg + " needs a value");
    if (!target->empty()) return usage_error(arg + " given twice");
    *target = argv[++i];
  }
  if (module_path.empty()) return usage_error("inspect: MODULE is required");
  if (!against_path.empty() &&
      (json || !gauge.empty() || !bitmaps_path.empty()))
    return usage_error("inspect: --against takes no other option");
  std::string error;
  if (!bitmaps_path.empty() && !check_output_folder(bitmaps_path, error))
    return input_error(error);
  std::vector<uint8_t> bytes;
  InspectedModule module;
  if (!inspect_file(module_path, bytes, module, error))
    return input_error(error);
  if (!against_path.empty()) {
    std::vector<uint8_t> other_bytes;
    InspectedModule other;
    if (!inspect_file(against_path, other_bytes, other, error))
      return input_error(error);
    const std::vector<std::string> changes = diff_modules(module, other);
    for (const std::string& line : changes)
      std::cout << western_to_utf8(line) << "\n";
    std::cout << changes.size()
              << (changes.size() == 1 ? " change" : " changes") << " from "
              << module_path << " to " << against_path << "\n";
    return changes.empty() ? kExitOk : kExitExpectationFailed;
  }
  if (!gauge.empty() &&
      std::none_of(module.gauges.begin(), module.gauges.end(),
                   [&](const InspectedGauge& g) { return g.name == gauge; }))
    return input_error(module_path + " has no gauge named '" + gauge + "'");
  if (json)
    print_module_json(module, gauge, std::cout);
  else
    print_module_text(module, gauge, std::cout);
  std::cout.flush();
  if (!bitmaps_path.empty()) {
    const int written = export_bitmaps(module, bytes, bitmaps_path, error);
    if (written < 0) {
      std::cerr << "corvelain_host: " << error << "\n";
      return kExitPictureNotWritten;
    }
    std::cerr << "corvelain_host: " << written << " bitmaps written to "
              << bitmaps_path << "\n";
  }
  return kExitOk;
}

bool is_loopback(const std::string& address) {
  return address == "127.0.0.1" || address == "localhost";
}

// Answers the pages and runs the panel's clock until Ctrl-C or SIGTERM.
void serve_until_stopped(LivePanel& panel, HttpServer& server,
                         const std::string& address, bool listen_given,
                         const ServeOptions& options) {
  const std::string port = std::to_string(server.port());
  // An IPv6 address is bracketed in a URL and a Host header.
  const std::string host =
      address.find(':') == std::string::npos ? address : "[" + address + "]";
  std::vector<std::string> authorities = {"127.0.0.1:" + port,
                                          "localhost:" + port};
  if (listen_given && !is_loopback(address))
    authorities.push_back(host + ":" + port);
  if (!is_loopback(address))
    std::cerr << "corvelain_host: warning: listening on " << address
              << ": anyone who can reach " << address
              << " can drive the panel\n";
  watch_for_stop_request();
  std::cout << "serving http://" << host << ":" << port << "/\n" << std::flush;
  const HttpServer::Handler handler = [&](const HttpRequest& request) {
    return handle_request(panel, request, authorities, options);
  };
  using Clock = LivePanel::Clock;
  while (!stop_requested()) {
    const Clock::time_point now = Clock::now();
    const Clock::time_point wake = panel.next_wake(now);
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(
        wake > now ? wake - now : Clock::duration::zero());
    server.poll(int(std::min<int64_t>(wait.count(), 250)), handler);
    panel.set_drawing(server.open_streams() > 0);
    const Clock::time_point after = Clock::now();
    panel.tick(after);
    panel.watch_file(after);
    for (const auto& [event, data] : take_panel_events(panel, options))
      server.broadcast(event, data);
    push_window_tiles(panel, server);
  }
}

// corvelain_host serve [--module PATH] --panel FILE [--port N] [--rate N]
//                       [--listen ADDRESS] [--sheets DIR]
int run_serve(int argc, char** argv) {
  std::string module_path, panel_path, port_text, rate_text, address;
  std::vector<std::string> gauge_folders;
  ServeOptions options;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--gauges") {
      if (i + 1 >= argc || std::string(argv[i + 1]).empty())
        return usage_error(arg + " needs a value");
      gauge_folders.push_back(argv[++i]);
      continue;
    }
    std::string* target = arg == "--module"   ? &module_path
                          : arg == "--panel"  ? &panel_path
                          : arg == "--port"   ? &port_text
                          : arg == "--rate"   ? &rate_text
                          : arg == "--listen" ? &address
                          : arg == "--sheets" ? &options.sheets_folder
                                              : nullptr;
    if (target == nullptr)
      return usage_error("serve: unknown option '" + arg + "'");
    if (i + 1 >= argc || std::string(argv[i + 1]).empty())
      return usage_error(arg + " needs a value");
    if (!target->empty()) return usage_error(arg + " given twice");
    *target = argv[++i];
  }
  if (panel_path.empty()) return usage_error("serve: --panel FILE is required");
  const auto whole = [](const std::string& text, uint32_t low,
                        uint32_t high) -> std::optional<uint32_t> {
    uint32_t value = 0;
    const auto [end, ec] =
        std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < low ||
        value > high)
      return std::nullopt;
    return value;
  };
  const std::optional<uint32_t> port =
      port_text.empty() ? 8018 : whole(port_text, 0, 65535);
  if (!port)
    return usage_error("--port takes 0 to 65535, not '" + port_text + "'");
  const std::optional<uint32_t> rate =
      rate_text.empty()
          ? LivePanel::kDefaultRate
          : whole(rate_text, LivePanel::kMinRate, LivePanel::kMaxRate);
  if (!rate)
    return usage_error("--rate takes " + std::to_string(LivePanel::kMinRate) +
                       " to " + std::to_string(LivePanel::kMaxRate) +
                       ", not '" + rate_text + "'");
  const bool listen_given = !address.empty();
  if (!listen_given) address = "127.0.0.1";
  std::string error;
  // The sheets folder may be written later, but never where a file is.
  if (!options.sheets_folder.empty() &&
      !check_output_folder(options.sheets_folder, error))
    return input_error(error);

  create_simulator_window();
  LoadedModule module;
  if (!load_module(module_path, module, error)) {
    destroy_simulator_window();
    return input_error(error);
  }
  int status = kExitOk;
  {
    auto opened = LivePanel::open(module, panel_path, int(*rate),
                                  LivePanel::Clock::now(), gauge_folders);
    if (auto* message = std::get_if<std::string>(&opened)) {
      status = input_error(*message);
    } else {
      auto listening = HttpServer::listen(
          address == "localhost" ? "127.0.0.1" : address, uint16_t(*port));
      if (auto* message = std::get_if<std::string>(&listening))
        status = input_error(*message);
      else
        serve_until_stopped(*std::get<std::unique_ptr<LivePanel>>(opened),
                            *std::get<std::unique_ptr<HttpServer>>(listening),
                            address, listen_given, options);
    }
  }
  std::cout.flush();
  unload_module(module);
  destroy_simulator_window();
  return status;
}

// corvelain_host sheet GAUGE|all [--out DIR] [--module PATH]
int run_sheet(int argc, char** argv) {
  SheetRequest request;
  std::string module_path, out_folder;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    std::string* target = arg == "--module" ? &module_path
                          : arg == "--out"  ? &out_folder
                                            : nullptr;
    if (target == nullptr) {
      if (arg.starts_with("-") || !request.gauge.empty())
        return usage_error("sheet: unexpected '" + arg + "'");
      request.gauge = arg;
      continue;
    }
    if (i + 1 >= argc || std::string(argv[i + 1]).empty())
      return usage_error(arg + " needs a value");
    if (!target->empty()) return usage_error(arg + " given twice");
    *target = argv[++i];
  }
  if (request.gauge.empty()) return usage_error("sheet: name a gauge, or all");
  if (!out_folder.empty()) request.out_folder = out_folder;
  std::string error;
  if (!check_output_folder(request.out_folder, error))
    return input_error(error);

  create_simulator_window();
  LoadedModule module;
  int status = kExitOk;
  if (load_module(module_path, module, error)) {
    status = write_sheets_running(module, request, std::cout, std::cerr);
    unload_module(module);
  } else if (module_path.empty()) {
    status = input_error(error);
  } else {
    // A module this build cannot run is read as a file.
    std::vector<uint8_t> bytes;
    InspectedModule inspected;
    std::string read_error;
    if (!inspect_file(module_path, bytes, inspected, read_error))
      status = input_error(read_error);
    else
      status = write_sheets_from_records(inspected, bytes, request,
#if defined(_WIN32) || defined(CORVELAIN_LINUX32)
                                         error,
#else
                                         "this build runs only the module "
                                         "linked into it",
#endif
                                         std::cout, std::cerr);
  }
  std::cout.flush();
  release_drawing_caches();
  destroy_simulator_window();
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  prepare_console();
  if (argc >= 2 && std::string(argv[1]) == "validate")
    return run_validate(argc, argv);
  if (argc >= 2 && std::string(argv[1]) == "inspect")
    return run_inspect(argc, argv);
  if (argc >= 2 && std::string(argv[1]) == "serve")
    return run_serve(argc, argv);
  if (argc >= 2 && std::string(argv[1]) == "sheet")
    return run_sheet(argc, argv);
  std::string module_path, panel_path, script_path, pictures_path;
  std::vector<std::string> gauge_folders;
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
    if (arg == "--gauges") {
      if (i + 1 >= argc || std::string(argv[i + 1]).empty())
        return usage_error(arg + " needs a value");
      gauge_folders.push_back(argv[++i]);
      continue;
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

  std::string panel_text, script_text, error;
  if (!read_input_file(panel_path, kPanelFile, panel_text, error))
    return input_error(error);
  if (!script_path.empty() &&
      !read_input_file(script_path, kScriptFile, script_text, error))
    return input_error(error);
  if (!pictures_path.empty() && !check_output_folder(pictures_path, error))
    return input_error(error);
  PanelConfigResult parsed = parse_panel_config(panel_text, panel_path);
  if (auto* parse_error = std::get_if<PanelConfigError>(&parsed))
    return input_error(parse_error->message());
  PanelConfig& panel = std::get<PanelConfig>(parsed);

  create_simulator_window();
  LoadedModule module;
  if (!load_module(module_path, module, error)) {
    destroy_simulator_window();
    return input_error(error);
  }
  OtherModules others;
  load_other_modules(panel, module.name, gauge_folders, others);
  panel.notes.insert(panel.notes.end(), others.notes.begin(),
                     others.notes.end());
  std::unique_ptr<BitmapSource> bitmaps = module_bitmaps(module);
  resolve_panel_window_sizes(panel, module, *bitmaps);
  int status = kExitOk;
  {
    auto created = Host::create(module, std::move(panel), 0, others.loaded);
    if (auto* message = std::get_if<std::string>(&created)) {
      status = input_error(*message);
    } else {
      std::unique_ptr<Host> host =
          std::move(std::get<std::unique_ptr<Host>>(created));
      ScenarioScript script;
      if (!parse_scenario(script_text, script_path.empty() ? "-" : script_path,
                          *host, script, error)) {
        status = input_error(error);
      } else {
        WindowRenderer renderer(std::move(bitmaps));
        ScenarioSession session(
            *host, std::cout, std::cerr,
            {.renderer = &renderer, .pictures_folder = pictures_path},
            script.file);
        // The edit verbs rebuild the panel on a new host, as serve's reload
        // does; standard input as a panel file is not written back.
        PanelEditor editor(panel_path, panel_text);
        if (panel_path != kStandardInput)
          session.allow_edits(editor, [&](PanelConfig edited) -> std::string {
            load_other_modules(edited, module.name, gauge_folders, others);
            edited.notes.insert(edited.notes.end(), others.notes.begin(),
                                others.notes.end());
            resolve_panel_window_sizes(edited, module, *module_bitmaps(module));
            auto rebuilt = Host::create(module, std::move(edited),
                                        host->frame(), others.loaded);
            if (auto* why = std::get_if<std::string>(&rebuilt)) return *why;
            auto next = std::move(std::get<std::unique_ptr<Host>>(rebuilt));
            session.replace_host(*next);
            host = std::move(next);
            return "";
          });
        const ScenarioOutcome outcome =
            run_scenario(script, session, std::cout);
        if (outcome.failed_pictures > 0) status = kExitPictureNotWritten;
        if (outcome.failed_expectations > 0 || outcome.refused_edits > 0)
          status = kExitExpectationFailed;
      }
    }
  }
  std::cout.flush();
  unload_other_modules(others);
  unload_module(module);
  destroy_simulator_window();
  return status;
}
