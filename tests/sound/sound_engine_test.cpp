// The sound engine over the native sound layer: results, sound_enabled and
// slots for a failure at every step, and every object released exactly once.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "sound/native_sound.h"
#include "sound/platform.h"
#include "sound/recordings.h"
#include "sound/sound.h"

namespace {

constexpr uint32_t kSwitchClickBytes = 3828;
int module_marker;
void* const kModule = &module_marker;

class SoundEngine : public testing::Test {
 protected:
  void SetUp() override { native_sound_reset(); }

  // Kills every slot a test used and checks that nothing is left alive.
  void TearDown() override {
    for (SoundSlot* slot : {&first, &second}) sound_kill(*slot);
    expect_everything_released();
    native_sound_reset();
  }

  static void expect_everything_released() {
    const SoundCounts& n = native_sound_counts();
    EXPECT_EQ(n.devices_created, n.devices_released);
    EXPECT_EQ(n.buffers_created, n.buffers_released);
    EXPECT_EQ(n.resources_locked, n.resources_released);
    EXPECT_EQ(n.files_opened, n.files_closed);
    EXPECT_EQ(n.blocks_allocated, n.blocks_freed);
  }

  SoundSlot first;
  SoundSlot second;
};

// The sample bytes of a recording, as its "data" chunk holds them.
std::vector<uint8_t> data_chunk_of(int32_t id) {
  const EmbeddedRecording* r = find_recording(id);
  const uint32_t at = r->size - kSwitchClickBytes;
  return {r->bytes + at, r->bytes + r->size};
}

TEST_F(SoundEngine, InstallLoadsTheRecordingPlaysAndKillReleases) {
  sound_install(first, kModule, kRecordingSwitchClick);
  EXPECT_EQ(sound_enabled, 1);
  EXPECT_EQ(first.module_handle, kModule);
  EXPECT_NE(first.window, nullptr);
  ASSERT_NE(first.device, nullptr);
  ASSERT_NE(first.buffer, nullptr);
  ASSERT_EQ(native_sound_buffer_bytes(first.buffer), kSwitchClickBytes);
  const std::vector<uint8_t> samples(
      native_sound_buffer_samples(first.buffer),
      native_sound_buffer_samples(first.buffer) + kSwitchClickBytes);
  EXPECT_TRUE(samples == data_chunk_of(kRecordingSwitchClick));

  // The resource, its memory file and the temporary copy are gone already.
  const SoundCounts& n = native_sound_counts();
  EXPECT_EQ(n.resources_released, 1);
  EXPECT_EQ(n.files_closed, 1);
  EXPECT_EQ(n.blocks_freed, 1);

  EXPECT_EQ(play_sound(&first.buffer, 0), 1);
  EXPECT_EQ(play_sound(&first.buffer, 0), 1);
  EXPECT_EQ(n.plays, 2);

  sound_kill(first);
  EXPECT_EQ(first.device, nullptr);
  EXPECT_EQ(first.buffer, nullptr);
  EXPECT_EQ(n.devices_released, 1);
  EXPECT_EQ(n.buffers_released, 1);
}

TEST_F(SoundEngine, LoadReportsTheDataSizeOfEachRecording) {
  SoundDevice* device = nullptr;
  ASSERT_EQ(create_sound_device(find_host_window(), &device), 1);
  SoundBuffer* buffers[3] = {};
  EXPECT_EQ(load_wave_resource(&device, &buffers[0], 10, kModule), 3828u);
  EXPECT_EQ(load_wave_resource(&device, &buffers[1], 20, kModule), 10304u);
  EXPECT_EQ(load_wave_resource(&device, &buffers[2], 30, kModule), 6014u);
  for (SoundBuffer*& buffer : buffers) release_sound_buffer(&buffer);
  release_sound_device(&device);
  EXPECT_EQ(sound_enabled, 1);
}

struct FailureCase {
  std::string name;
  SoundStep step;
  bool device_kept;  // by the gauge installed while the step fails
};

class SoundFailure : public SoundEngine,
                     public testing::WithParamInterface<FailureCase> {};

// A gauge whose sound loaded, then a gauge installed while one step fails,
// then a gauge installed after the failure.
TEST_P(SoundFailure, SilencesEverySoundAndLeaksNothing) {
  const FailureCase& c = GetParam();
  sound_install(first, kModule, kRecordingSwitchClick);
  ASSERT_NE(first.buffer, nullptr);

  native_sound_fail_at(c.step);
  SoundSlot failing;
  failing.window = find_host_window();
  const int32_t created = create_sound_device(failing.window, &failing.device);
  const uint32_t loaded = load_wave_resource(&failing.device, &failing.buffer,
                                             kRecordingSwitchClick, kModule);
  EXPECT_EQ(created, c.device_kept ? 1 : 0);
  EXPECT_EQ(loaded, 0u);
  EXPECT_EQ(sound_enabled, 0);
  EXPECT_EQ(failing.device != nullptr, c.device_kept);
  EXPECT_EQ(failing.buffer, nullptr);
  const SoundCounts& n = native_sound_counts();
  // Only the first gauge's objects are alive: the abandoned ones went at once.
  EXPECT_EQ(n.buffers_created - n.buffers_released, 1);
  EXPECT_EQ(n.devices_created - n.devices_released, c.device_kept ? 2 : 1);
  EXPECT_EQ(n.blocks_allocated, n.blocks_freed);
  EXPECT_EQ(n.files_opened, n.files_closed);
  EXPECT_EQ(n.resources_locked, n.resources_released);

  native_sound_fail_at(SoundStep::kNone);
  EXPECT_EQ(play_sound(&first.buffer, 0), 0);
  EXPECT_NE(first.buffer, nullptr) << "a silenced buffer stays for its kill";
  sound_install(second, kModule, kRecordingSwitchClick);
  EXPECT_NE(second.device, nullptr) << "device creation ignores the switch";
  EXPECT_EQ(second.buffer, nullptr);
  EXPECT_EQ(play_sound(&second.buffer, 0), 0);
  EXPECT_EQ(n.plays, 0);
  EXPECT_EQ(sound_enabled, 0);

  sound_kill(failing);
}

INSTANTIATE_TEST_SUITE_P(
    EachStep, SoundFailure,
    testing::ValuesIn(std::vector<FailureCase>{
        {"CreateDevice", SoundStep::kCreateDevice, false},
        {"CooperativeLevel", SoundStep::kCooperativeLevel, false},
        {"LockResource", SoundStep::kLockResource, true},
        {"OpenMemoryFile", SoundStep::kOpenMemoryFile, true},
        {"DescendRiff", SoundStep::kDescendRiff, true},
        {"DescendFormat", SoundStep::kDescendFormat, true},
        {"ReadFormat", SoundStep::kReadFormat, true},
        {"AscendFormat", SoundStep::kAscendFormat, true},
        {"DescendData", SoundStep::kDescendData, true},
        {"Allocate", SoundStep::kAllocate, true},
        {"ReadData", SoundStep::kReadData, true},
        {"CreateBuffer", SoundStep::kCreateBuffer, true},
        {"LockBuffer", SoundStep::kLockBuffer, true},
        {"UnlockBuffer", SoundStep::kUnlockBuffer, true},
        {"RewindBuffer", SoundStep::kRewindBuffer, true},
    }),
    [](const auto& info) { return info.param.name; });

TEST_F(SoundEngine, FailedPlayReleasesTheBufferAndSilencesEveryGauge) {
  sound_install(first, kModule, kRecordingSwitchClick);
  sound_install(second, kModule, kRecordingSwitchClick);
  native_sound_fail_at(SoundStep::kPlay);
  EXPECT_EQ(play_sound(&first.buffer, 0), 0);
  EXPECT_EQ(first.buffer, nullptr);
  EXPECT_EQ(sound_enabled, 0);
  EXPECT_EQ(native_sound_counts().buffers_released, 1);

  native_sound_fail_at(SoundStep::kNone);
  EXPECT_EQ(play_sound(&second.buffer, 0), 0);
  EXPECT_EQ(native_sound_counts().plays, 0);
}

TEST_F(SoundEngine, WithoutTheHostWindowNoGaugeMakesASound) {
  native_sound_set_window_class(nullptr);
  sound_install(first, kModule, kRecordingSwitchClick);
  EXPECT_EQ(first.window, nullptr);
  EXPECT_EQ(first.device, nullptr);
  EXPECT_EQ(first.buffer, nullptr);
  EXPECT_EQ(sound_enabled, 0);
  EXPECT_EQ(native_sound_counts().devices_created, 1);
  EXPECT_EQ(native_sound_counts().devices_released, 1);
}

TEST_F(SoundEngine, AnUnreadableProgramNameStillFindsTheDefaultWindow) {
  native_sound_fail_at(SoundStep::kProgramPath);
  sound_install(first, kModule, kRecordingSwitchClick);
  EXPECT_EQ(sound_enabled, 1);
  EXPECT_NE(first.buffer, nullptr);
}

TEST_F(SoundEngine, UnknownRecordingDisablesSound) {
  sound_install(first, kModule, 11);
  EXPECT_EQ(sound_enabled, 0);
  EXPECT_NE(first.device, nullptr);
  EXPECT_EQ(first.buffer, nullptr);
}

// A gauge placed twice shares one slot: each install replaces what the slot
// held, and the second kill finds nothing left.
TEST_F(SoundEngine, InstallingIntoAHeldSlotReleasesItsObjectsFirst) {
  sound_install(first, kModule, kRecordingSwitchClick);
  sound_install(first, kModule, kRecordingSwitchClick);
  const SoundCounts& n = native_sound_counts();
  EXPECT_EQ(n.devices_created - n.devices_released, 1);
  EXPECT_EQ(n.buffers_created - n.buffers_released, 1);
  sound_kill(first);
  sound_kill(first);
  EXPECT_EQ(n.devices_released, 2);
  EXPECT_EQ(n.buffers_released, 2);
}

TEST_F(SoundEngine, ReleasesOfEmptySlotsDoNothing) {
  SoundDevice* device = nullptr;
  SoundBuffer* buffer = nullptr;
  release_sound_buffer(&buffer);
  release_sound_device(&device);
  EXPECT_EQ(play_sound(&buffer, 0), 0);
  EXPECT_EQ(sound_enabled, 1) << "nothing failed";
  EXPECT_EQ(native_sound_counts().devices_released, 0);
}

// Runs under LeakSanitizer in the native build: a window opened and closed
// again and again, with sound working and with sound disabled.
TEST_F(SoundEngine, AThousandInstallAndKillCyclesLeakNothing) {
  for (int i = 0; i < 1000; ++i) {
    sound_install(first, kModule, kRecordingSwitchClick);
    play_sound(&first.buffer, 0);
    sound_kill(first);
  }
  EXPECT_EQ(sound_enabled, 1);
  EXPECT_EQ(native_sound_counts().devices_created, 1000);
  expect_everything_released();

  native_sound_fail_at(SoundStep::kLockBuffer);
  for (int i = 0; i < 1000; ++i) {
    sound_install(first, kModule, kRecordingSwitchClick);
    sound_kill(first);
  }
  EXPECT_EQ(sound_enabled, 0);
  EXPECT_EQ(native_sound_counts().devices_created, 2000);
  expect_everything_released();
}

struct ProgramCase {
  std::string name;
  const char* file_name;
  int32_t kind;
  const char* window_class;
};

class HostProgram : public testing::TestWithParam<ProgramCase> {};

TEST_P(HostProgram, NameGivesKindAndWindowClass) {
  const ProgramCase& c = GetParam();
  EXPECT_EQ(host_program_kind(c.file_name), c.kind);
  EXPECT_STREQ(host_window_class(c.kind), c.window_class);
}

INSTANTIATE_TEST_SUITE_P(Names, HostProgram,
                         testing::ValuesIn(std::vector<ProgramCase>{
                             {"StandInHost", "corvelain_host", 1, "FS98MAIN"},
                             {"NoRuleMatches", "fs9", 1, "FS98MAIN"},
                             {"Empty", "", 1, "FS98MAIN"},
                             {"FourthCharacterTwo", "CFS2", 4, "MSCFSMAIN"},
                             {"FourthBeatsFirst", "cfs2", 4, "MSCFSMAIN"},
                             {"FirstCharacterC", "CFS3", 2, "MSCFSMAIN"},
                             {"FirstBeatsThird", "C_2", 2, "MSCFSMAIN"},
                             {"LowerCaseCIsNoMatch", "cfs3", 1, "FS98MAIN"},
                             {"ThirdCharacterTwo", "fs2002", 3, "FS98MAIN"},
                             {"UpperCaseThirdTwo", "FS2004", 3, "FS98MAIN"},
                             {"ShortNameReadsNoFurther", "fs", 1, "FS98MAIN"},
                             {"SingleC", "C", 2, "MSCFSMAIN"},
                         }),
                         [](const auto& info) { return info.param.name; });

struct PathCase {
  std::string name;
  const char* path;
  const char* window_class;
};

class HostWindow : public SoundEngine,
                   public testing::WithParamInterface<PathCase> {};

// Only the file name counts: not the drive, the folders or the extension.
TEST_P(HostWindow, FoundByTheClassOfTheProgramsName) {
  const PathCase& c = GetParam();
  native_sound_set_program_path(c.path);
  native_sound_set_window_class(c.window_class);
  EXPECT_NE(find_host_window(), nullptr);
  const bool mscfs = std::strcmp(c.window_class, "MSCFSMAIN") == 0;
  native_sound_set_window_class(mscfs ? "FS98MAIN" : "MSCFSMAIN");
  EXPECT_EQ(find_host_window(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, HostWindow,
    testing::ValuesIn(std::vector<PathCase>{
        {"WindowsPath", "C:\\Games\\CFS2\\CFS2.EXE", "MSCFSMAIN"},
        {"DriveLetterIgnored", "C:fs9.exe", "FS98MAIN"},
        {"DottedFolder", "D:\\FS.2\\v1.0\\Combat.exe", "MSCFSMAIN"},
        {"NoExtension", "/opt/sim/fs2002", "FS98MAIN"},
        {"StandInHost", "Z:\\work\\corvelain_host.exe", "FS98MAIN"},
        {"OnlyTheLastDotEndsTheName", "C:\\x\\ab.2.exe", "MSCFSMAIN"},
    }),
    [](const auto& info) { return info.param.name; });

}  // namespace
