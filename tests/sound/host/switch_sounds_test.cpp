// The toggle switches in the native host with the module linked in: each
// click is heard after its event, and windows opened and closed again and
// again release every sound object they created.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "host/core/host.h"
#include "sound/native_sound.h"
#include "sound/sound.h"

namespace {

constexpr const char* kPanel =
    "[Window00]\n"
    "size_mm=300,100\n"
    "visible=1\n"
    "ident=20\n"
    "gauge00=Corvelain_Instr!Battery_Switch, 0, 0, 30, 43\n"
    "gauge01=Corvelain_Instr!Avionics_Switch, 35, 0, 30, 43\n"
    "gauge02=Corvelain_Instr!Fuel_Pump_Switch, 70, 0, 25, 36\n"
    "gauge03=Corvelain_Instr!Navigation_Lights_Switch, 100, 0, 30, 43\n"
    "gauge04=Corvelain_Instr!Landing_Lights_Switch, 135, 0, 30, 52\n"
    "gauge05=Corvelain_Instr!Pitot_Heat_Switch, 170, 0, 30, 43\n"
    "gauge06=Corvelain_Instr!Beacon_Lights_Switch, 205, 0, 30, 43\n"
    "gauge07=Corvelain_Instr!Panel_Lights_Switch, 240, 0, 30, 30\n"
    "[Window01]\n"
    "size_mm=100,100\n"
    "visible=0\n"
    "ident=21\n"
    "gauge00=Corvelain_Instr!Battery_Switch, 0, 0, 30, 43\n";

struct Heard {
  const Host* host;
  std::vector<ServiceCall> calls_before_each_play;
};

void hear(void* context, uint32_t) {
  auto* heard = static_cast<Heard*>(context);
  const auto& calls = heard->host->service_calls();
  heard->calls_before_each_play.push_back(calls.empty() ? ServiceCall{}
                                                        : calls.back());
}

class SwitchSounds : public testing::Test {
 protected:
  void SetUp() override {
    native_sound_reset();
    LoadedModule module;
    std::string error;
    ASSERT_TRUE(load_module("", module, error)) << error;
    auto parsed = parse_panel_config(kPanel, "switches.cfg");
    ASSERT_TRUE(std::holds_alternative<PanelConfig>(parsed));
    auto created = Host::create(module, std::get<PanelConfig>(parsed));
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<Host>>(created))
        << std::get<std::string>(created);
    host = std::move(std::get<std::unique_ptr<Host>>(created));
    heard.host = host.get();
    native_sound_observe_plays(hear, &heard);
    host->start();
    host->run_frames(1);
  }
  void TearDown() override {
    if (host) host->stop();
    const SoundCounts& n = native_sound_counts();
    EXPECT_EQ(n.devices_created, n.devices_released);
    EXPECT_EQ(n.buffers_created, n.buffers_released);
    native_sound_reset();
  }

  std::unique_ptr<Host> host;
  Heard heard{};
};

TEST_F(SwitchSounds, EachClickIsHeardRightAfterItsEvent) {
  const std::pair<const char*, uint32_t> clicking[] = {
      {"Battery_Switch", 66241},           {"Fuel_Pump_Switch", 66339},
      {"Navigation_Lights_Switch", 66379}, {"Landing_Lights_Switch", 65751},
      {"Pitot_Heat_Switch", 65858},        {"Beacon_Lights_Switch", 66239},
      {"Panel_Lights_Switch", 65750}};
  for (auto [name, event] : clicking) {
    SCOPED_TRACE(name);
    heard.calls_before_each_play.clear();
    ASSERT_NE(
        host->press(*host->find_instance(name, 1), 5, 5, kMouseLeftSingle),
        nullptr);
    ASSERT_EQ(heard.calls_before_each_play.size(), 1u);
    const ServiceCall& before = heard.calls_before_each_play[0];
    EXPECT_EQ(before.entry, kServiceTriggerKeyEvent);
    EXPECT_EQ(before.first, event);
    EXPECT_EQ(before.second, 0u);
  }
  EXPECT_EQ(sound_enabled, 1);
}

TEST_F(SwitchSounds, AvionicsClickIsSilent) {
  host->press(*host->find_instance("Avionics_Switch", 1), 5, 5,
              kMouseLeftSingle);
  EXPECT_EQ(host->take_sent_events(), (std::vector<SentEvent>{{66293, 0}}));
  EXPECT_TRUE(heard.calls_before_each_play.empty());
}

TEST_F(SwitchSounds, RightClickIsSilent) {
  EXPECT_EQ(host->press(*host->find_instance("Battery_Switch", 1), 5, 5,
                        kMouseRightSingle),
            nullptr);
  EXPECT_TRUE(heard.calls_before_each_play.empty());
}

// Battery_Switch sits on both windows and so installs twice into its slot.
TEST_F(SwitchSounds, AThousandWindowOpeningsLeakNothing) {
  for (int i = 0; i < 1000; ++i) {
    host->toggle_window(21);
    host->run_frames(1);
  }
  host->close_window(20);
  host->run_frames(1);
  const SoundCounts& n = native_sound_counts();
  EXPECT_EQ(n.devices_created, 7 + 500);
  EXPECT_EQ(n.devices_created, n.devices_released);
  EXPECT_EQ(n.buffers_created, n.buffers_released);
  EXPECT_EQ(sound_enabled, 1);
}

}  // namespace
