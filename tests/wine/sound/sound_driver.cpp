// Drives the real module through the host's parts with real time between
// the steps, so that DirectSound has time to play what the module starts:
//
//   sound_driver MODULE click|quiet
//   sound_driver MODULE resources FOLDER
//
// Opens a panel with the battery and avionics switches, clicks both (with
// "click") and reads the battery tooltip before and after, then waits for
// the sound to play out and closes everything. Prints what the host saw;
// on standard error, each play the host's sound watch saw, with its
// buffer's format and whether its bytes are those of the module's switch
// click recording.
// With "resources" it compares the module's "WAVE" resources with the
// recordings in FOLDER instead.
#include <windows.h>

#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "host/core/host.h"
#include "host/core/platform.h"
#include "host/validate/sound_watch.h"

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

struct Recording {
  int id;
  const char* file_name;
};
constexpr Recording kRecordings[] = {
    {10, "switch_click.wav"}, {20, "spare_click.wav"}, {30, "knob_click.wav"}};

int compare_resources(const std::string& module_path,
                      const std::string& folder) {
  HMODULE module = LoadLibraryA(module_path.c_str());
  if (module == nullptr) {
    std::cerr << "cannot load " << module_path << "\n";
    return 2;
  }
  for (const Recording& r : kRecordings) {
    std::ifstream file(folder + "/" + r.file_name, std::ios::binary);
    const std::string expected{std::istreambuf_iterator<char>(file),
                               std::istreambuf_iterator<char>()};
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(r.id), "WAVE");
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const char* bytes =
        loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    const DWORD size = found ? SizeofResource(module, found) : 0;
    const bool same = bytes != nullptr && !expected.empty() &&
                      std::string(bytes, size) == expected;
    std::cout << "wave " << r.id << ": " << size << " bytes, "
              << (same ? "same as " : "differs from ") << r.file_name << "\n";
  }
  FreeLibrary(module);
  return 0;
}

struct Play {
  SoundFormat format;
  std::string samples;
};

void heard(void* context, const SoundPlay& play) {
  static_cast<std::vector<Play>*>(context)->push_back(
      {play.format, std::string(play.samples.begin(), play.samples.end())});
}

// The samples of the module's own WAVE resource `id`: its "data" chunk.
std::string wave_resource_samples(HMODULE module, int id) {
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), "WAVE");
  HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  const char* bytes =
      loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
  if (bytes == nullptr) return "";
  const std::string file(bytes, SizeofResource(module, found));
  for (size_t at = 12; at + 8 <= file.size();) {
    uint32_t size = 0;
    for (size_t i = 0; i < 4; ++i)
      size |= uint32_t(uint8_t(file[at + 4 + i])) << (8 * i);
    if (size > file.size() - at - 8) break;
    if (file.compare(at, 4, "data") == 0) return file.substr(at + 8, size);
    at += 8 + size + (size & 1);
  }
  return "";
}

void print_plays(const std::vector<Play>& plays, HMODULE module) {
  const std::string switch_click = wave_resource_samples(module, 10);
  for (const Play& p : plays)
    std::cerr << "played " << p.format.format_tag << " " << p.format.channels
              << " " << p.format.samples_per_second << " "
              << p.format.bytes_per_second << " " << p.format.block_align << " "
              << p.format.bits_per_sample << " " << p.samples.size()
              << " bytes, "
              << (!switch_click.empty() && p.samples == switch_click
                      ? "the switch click"
                      : "not the switch click")
              << "\n";
}

int drive(const std::string& module_path, bool click) {
  LoadedModule module;
  std::string error;
  if (!load_module(module_path, module, error)) {
    std::cerr << error << "\n";
    return 2;
  }
  std::vector<Play> plays;
  sound_watch_attach(module);
  sound_watch_observe_plays(heard, &plays);
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
  sound_watch_observe_plays(nullptr, nullptr);
  print_plays(plays, static_cast<HMODULE>(module.handle));
  unload_module(module);
  std::cout << "done\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  prepare_console();
  const std::string mode = argc >= 3 ? argv[2] : "";
  if (mode == "resources" && argc == 4)
    return compare_resources(argv[1], argv[3]);
  if (argc != 3 || (mode != "click" && mode != "quiet")) {
    std::cerr << "usage: sound_driver MODULE click|quiet\n"
                 "       sound_driver MODULE resources FOLDER\n";
    return 2;
  }
  create_simulator_window();
  const int status = drive(argv[1], mode == "click");
  destroy_simulator_window();
  return status;
}
