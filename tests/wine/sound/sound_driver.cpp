// Drives the real module through the host's parts with real time between
// the steps, so that DirectSound has time to play what the module starts:
//
//   sound_driver MODULE click|quiet
//
// Opens a panel with the battery and avionics switches, clicks both (with
// "click") and reads the battery tooltip before and after, then waits for
// the sound to play out and closes everything. Prints what the host saw.
#include <windows.h>

#include <iostream>
#include <memory>
#include <string>

#include "host/host.h"
#include "host/platform.h"

namespace {

constexpr const char* kPanel =
    "[Window00]\n"
    "size_mm=100,50\n"
    "visible=1\n"
    "ident=20\n"
    "gauge00=Corvelain_Instr!Battery_Switch, 0, 0, 30, 43\n"
    "gauge01=Corvelain_Instr!Avionics_Switch, 35, 0, 30, 43\n";

constexpr DWORD kPlayOutMilliseconds = 800;

void print_events(Host& host) {
  for (const SentEvent& e : host.take_sent_events())
    std::cout << "event " << e.event << "=" << e.value << "\n";
}

int drive(const std::string& module_path, bool click) {
  LoadedModule module;
  std::string error;
  if (!load_module(module_path, module, error)) {
    std::cerr << error << "\n";
    return 2;
  }
  auto parsed = parse_panel_config(kPanel, "sound.cfg");
  auto created = Host::create(module, std::get<PanelConfig>(std::move(parsed)));
  if (auto* message = std::get_if<std::string>(&created)) {
    std::cerr << *message << "\n";
    unload_module(module);
    return 2;
  }
  {
    Host& host = *std::get<std::unique_ptr<Host>>(created);
    host.start();
    host.run_frames(1);
    GaugeInstance& battery = *host.find_instance("Battery_Switch", 1);
    GaugeInstance& avionics = *host.find_instance("Avionics_Switch", 1);
    std::cout << "tooltip " << host.tooltip(battery, 5, 5) << "\n";
    if (click) {
      host.press(battery, 20, 30, kMouseLeftSingle);
      print_events(host);
      host.press(avionics, 20, 30, kMouseLeftSingle);
      print_events(host);
    }
    host.run_frames(1);
    std::cout << "tooltip " << host.tooltip(battery, 5, 5) << "\n";
    Sleep(kPlayOutMilliseconds);
    host.stop();
  }
  created = {};
  unload_module(module);
  std::cout << "done\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  prepare_console();
  const std::string mode = argc == 3 ? argv[2] : "";
  if (mode != "click" && mode != "quiet") {
    std::cerr << "usage: sound_driver MODULE click|quiet\n";
    return 2;
  }
  create_simulator_window();
  const int status = drive(argv[1], mode == "click");
  destroy_simulator_window();
  return status;
}
