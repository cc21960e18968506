// Reads any bytes as a scenario script against a small panel with the module
// linked in, and runs the scripts it accepts, without pictures, when they
// ask for at most a few seconds of simulated time.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <variant>

#include "host/core/host.h"
#include "host/core/loader.h"
#include "host/panel_file/panel_config.h"
#include "host/script/scenario.h"

namespace {

// Programmed toggles, the plate, a switch, a radio head, a dial and the
// clock, over a main panel and two hidden windows the toggles reach.
constexpr std::string_view kPanel = R"([Window Titles]
Window00=Main Panel
Window01=Radios
Window02=Clock

[Window00]
size_mm=400,300
position=0
visible=1
ident=MAIN_PANEL
gauge00=Corvelain_Instr!Altimeter, 0, 0, 100, 100
gauge01=Corvelain_Instr!Battery_Switch, 110, 0, 30, 43
gauge02=Corvelain_Instr!Registration, 150, 0, 150, 25, r250g236b170 fArial Narrow
gauge03=Corvelain_Instr!Registration, 150, 30, 150, 25, tD-E_FUZ
gauge04=Corvelain_Instr!Radios_Toggle, 0, 110, 24, 24, tRADIO_STACK_PANEL a50
gauge05=Corvelain_Instr!Invisible_Toggle, 30, 110, 24, 24, b110h1000 c50c20 p-2
gauge06=Corvelain_Instr!Landing_View_Toggle, 60, 110, 24, 24
gauge07=Corvelain_Instr!Map_Toggle, 90, 110, 18, 18

[Window01]
size_mm=300,200
visible=0
ident=RADIO_STACK_PANEL
gauge00=Corvelain_Instr!Radio_COM, 0, 0, 300, 60
gauge01=Corvelain_Instr!Radio_ADF, 0, 60, 300, 60

[Window02]
size_mm=300,320
visible=0
ident=20
gauge00=Corvelain_Instr!Breguet_Timer, 0, 0, 258, 312
)";

// Simulated time one script may ask for in all; past it the script is only
// read, so that one input stays fast.
constexpr int64_t kMaxFrames = 18 * 10;

int64_t frames_asked(const ScenarioScript& script) {
  int64_t total = 0;
  for (const ScenarioCommand& cmd : script.commands) {
    const std::string& verb = cmd.words.empty() ? "" : cmd.words[0];
    const auto seconds = [&](size_t i) {
      return int64_t(std::llround(cmd.arguments[i].number * kFramesPerSecond));
    };
    if (verb == "frames")
      total += cmd.arguments[0].whole;
    else if (verb == "seconds")
      total += seconds(0);
    else if (verb == "hold")
      total += seconds(3);
    else if (verb == "drag")
      total += cmd.arguments[5].given ? cmd.arguments[5].whole : 4;
    if (total > kMaxFrames) break;
  }
  return total;
}

const PanelConfig& panel() {
  static const PanelConfig config = [] {
    auto parsed = parse_panel_config(kPanel, "fuzz/panel.cfg");
    if (!std::holds_alternative<PanelConfig>(parsed)) std::abort();
    return std::get<PanelConfig>(std::move(parsed));
  }();
  return config;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  LoadedModule module;
  std::string error;
  if (!load_module("", module, error)) std::abort();
  auto created = Host::create(module, panel());
  if (!std::holds_alternative<std::unique_ptr<Host>>(created)) std::abort();
  Host& host = *std::get<std::unique_ptr<Host>>(created);

  const std::string_view text(reinterpret_cast<const char*>(data), size);
  ScenarioScript script;
  if (parse_scenario(text, "fuzz.scn", host, script, error) &&
      frames_asked(script) <= kMaxFrames) {
    std::ostringstream transcript, errors;
    run_scenario(script, host, transcript, errors);
  }
  unload_module(module);
  return 0;
}
