// The real module's click sounds through the linux32 host's DirectSound:
// every buffer it plays holds, byte for byte, the samples of one of its
// recordings, and every device and buffer is released when the panel stops.
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

// The samples of a RIFF WAVE file's "data" chunk.
std::vector<uint8_t> wave_samples(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
  for (size_t at = 12; at + 8 <= file.size();) {
    const uint32_t size = file[at + 4] | file[at + 5] << 8 |
                          file[at + 6] << 16 | uint32_t(file[at + 7]) << 24;
    if (std::string(file.begin() + at, file.begin() + at + 4) == "data" &&
        size <= file.size() - at - 8)
      return {file.begin() + at + 8, file.begin() + at + 8 + size};
    at += 8 + size + (size & 1);
  }
  return {};
}

void hear(void* context, const uint8_t* samples, uint32_t bytes) {
  static_cast<std::vector<std::vector<uint8_t>>*>(context)->emplace_back(
      samples, samples + bytes);
}

TEST(RealModuleSound, PlaysItsRecordingsAndReleasesEverything) {
  win32_sound_reset();
  std::vector<std::vector<uint8_t>> played;
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

  const std::vector<uint8_t> switch_click =
      wave_samples(RESOURCES "/switch_click.wav");
  const std::vector<uint8_t> knob_click =
      wave_samples(RESOURCES "/knob_click.wav");
  ASSERT_FALSE(switch_click.empty());
  ASSERT_FALSE(knob_click.empty());
  std::set<std::string> heard;
  for (const std::vector<uint8_t>& samples : played) {
    if (samples == switch_click)
      heard.insert("switch");
    else if (samples == knob_click)
      heard.insert("knob");
    else
      ADD_FAILURE() << "a play of " << samples.size()
                    << " bytes matching no recording";
  }
  EXPECT_EQ(heard, (std::set<std::string>{"knob", "switch"}));
  EXPECT_EQ(counts.plays, int32_t(played.size()));
  EXPECT_GT(counts.devices_created, 0);
  EXPECT_EQ(counts.devices_created, counts.devices_released);
  EXPECT_EQ(counts.buffers_created, counts.buffers_released);
  EXPECT_EQ(counts.files_opened, counts.files_closed);
}

}  // namespace
