// The real module's click sounds through the linux32 host's DirectSound:
// every buffer it plays holds, byte for byte, the samples of one of its
// recordings in that recording's format, and every device and buffer is
// released when the panel stops.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "host/core/host.h"
#include "host/core/win32/win32.h"

namespace {

constexpr const char* kPanel =
    "[Window00]\n"
    "size_mm=700,200\n"
    "visible=1\n"
    "ident=20\n"
    "gauge00=Corvelain_Instr!Battery_Switch, 0, 0, 30, 43\n"
    "gauge01=Corvelain_Instr!Radio_COM, 100, 0, 350, 130\n";

// A buffer as played, or a recording as its file holds it: the first 16
// bytes of the format and the samples.
struct Wave {
  std::vector<uint8_t> format;
  std::vector<uint8_t> samples;
  bool operator==(const Wave&) const = default;
};

// The "fmt " and "data" chunks of a RIFF WAVE file.
Wave read_wave(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
  Wave wave;
  for (size_t at = 12; at + 8 <= file.size();) {
    const uint32_t size = file[at + 4] | file[at + 5] << 8 |
                          file[at + 6] << 16 | uint32_t(file[at + 7]) << 24;
    if (size > file.size() - at - 8) break;
    const std::string id(file.begin() + at, file.begin() + at + 4);
    const auto body = file.begin() + ptrdiff_t(at) + 8;
    if (id == "fmt " && size >= 16) wave.format.assign(body, body + 16);
    if (id == "data") wave.samples.assign(body, body + size);
    at += 8 + size + (size & 1);
  }
  return wave;
}

void hear(void* context, const Win32WaveFormat& format, const uint8_t* samples,
          uint32_t bytes) {
  const auto* head = reinterpret_cast<const uint8_t*>(&format);
  static_cast<std::vector<Wave>*>(context)->push_back(
      {.format = {head, head + 16}, .samples = {samples, samples + bytes}});
}

TEST(RealModuleSound, PlaysItsRecordingsAndReleasesEverything) {
  win32_sound_reset();
  std::vector<Wave> played;
  win32_sound_observe_plays(hear, &played);
  LoadedModule module;
  std::string error;
  ASSERT_TRUE(load_module(CORVELAIN_GAU, module, error)) << error;
  {
    auto parsed = parse_panel_config(kPanel, "sound.cfg");
    ASSERT_TRUE(std::holds_alternative<PanelConfig>(parsed));
    auto created = Host::create(module, std::get<PanelConfig>(parsed));
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<Host>>(created));
    auto host = std::move(std::get<std::unique_ptr<Host>>(created));
    // The radio head latches on only with its bus powered.
    constexpr int32_t kAvionicsBusVolts = 755;
    host->aircraft().set_model_enabled(false);
    host->aircraft().set(kAvionicsBusVolts, 28);
    host->start();
    host->run_frames(1);
    host->press(*host->find_instance("Battery_Switch", 1), 5, 5,
                kMouseLeftSingle);
    host->run_frames(1);
    // The radio's main switch, then a step of its knob.
    for (const auto& [x, y] : {std::pair{79, 87}, std::pair{278, 20}}) {
      host->press(*host->find_instance("Radio_COM", 1), x, y, kMouseLeftSingle);
      host->run_frames(1);
    }
    host->stop();
  }
  const SoundCounts counts = win32_sound_counts();
  unload_module(module);
  win32_sound_observe_plays(nullptr, nullptr);

  const Wave switch_click = read_wave(RESOURCES "/switch_click.wav");
  const Wave knob_click = read_wave(RESOURCES "/knob_click.wav");
  ASSERT_FALSE(switch_click.samples.empty());
  ASSERT_FALSE(knob_click.samples.empty());
  ASSERT_EQ(switch_click.format.size(), 16u);
  std::set<std::string> heard;
  for (const Wave& wave : played) {
    if (wave == switch_click)
      heard.insert("switch");
    else if (wave == knob_click)
      heard.insert("knob");
    else
      ADD_FAILURE() << "a play of " << wave.samples.size()
                    << " bytes matching no recording and its format";
  }
  EXPECT_EQ(heard, (std::set<std::string>{"knob", "switch"}));
  EXPECT_EQ(counts.plays, int32_t(played.size()));
  EXPECT_GT(counts.devices_created, 0);
  EXPECT_EQ(counts.devices_created, counts.devices_released);
  EXPECT_EQ(counts.buffers_created, counts.buffers_released);
  EXPECT_EQ(counts.files_opened, counts.files_closed);
}

}  // namespace
