// The module's clicks on the live panel: a play is a `sound` event naming a
// recording, and /sound/N.wav is that recording as the module filled its
// buffer, in the format the buffer was created with. Distinct recordings
// are kept in a small table, the most recently played.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "live_fixture.h"
#include "sound/native_sound.h"

namespace {

// The "fmt " and "data" chunks of a RIFF WAVE file; empty where the file
// does not hold them whole.
struct Wave {
  std::string format;
  std::string samples;
};

uint32_t read_u32(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i)
    value |= uint32_t(uint8_t(bytes[at + i])) << (8 * i);
  return value;
}

Wave read_wave(const std::string& bytes) {
  Wave wave;
  if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 ||
      bytes.compare(8, 4, "WAVE") != 0 ||
      read_u32(bytes, 4) != bytes.size() - 8)
    return wave;
  for (size_t at = 12; at + 8 <= bytes.size();) {
    const uint32_t size = read_u32(bytes, at + 4);
    if (size > bytes.size() - at - 8) return {};
    const std::string id = bytes.substr(at, 4);
    if (id == "fmt ") wave.format = bytes.substr(at + 8, 16);
    if (id == "data") wave.samples = bytes.substr(at + 8, size);
    at += 8 + size + (size & 1);
  }
  return wave;
}

// A mono 8-bit recording at 22,050 samples a second; an odd count of
// samples is followed by a pad byte, as RIFF chunks are.
std::string wave_file(const std::string& samples) {
  std::string file;
  const auto put_u32 = [&](uint32_t value) {
    for (size_t i = 0; i < 4; ++i) file += char(value >> (8 * i));
  };
  file += "RIFF";
  const size_t pad = samples.size() & 1;
  put_u32(uint32_t(36 + samples.size() + pad));
  file += "WAVEfmt ";
  put_u32(16);
  file += std::string("\x01\x00\x01\x00", 4);
  put_u32(22050);
  put_u32(22050);
  file += std::string("\x01\x00\x08\x00", 4);
  file += "data";
  put_u32(uint32_t(samples.size()));
  return file + samples + std::string(pad, '\0');
}

std::string file_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class SoundRoutes : public LivePanelTest {
 protected:
  void SetUp() override {
    LivePanelTest::SetUp();
    ASSERT_EQ(post("/command", "open 30").status, 200);
    panel_->take_notices();
  }
  void TearDown() override {
    native_sound_override_resource(nullptr, 0);
    LivePanelTest::TearDown();
  }

  // The ids of the `sound` events since the last call.
  std::vector<uint64_t> sounds() {
    std::vector<uint64_t> ids;
    for (const auto& [name, data] : take_panel_events(*panel_))
      if (name == "sound") ids.push_back(nlohmann::json::parse(data)["id"]);
    return ids;
  }
};

TEST_F(SoundRoutes, ABatteryClickIsItsRecordingAsTheModuleFilledItsBuffer) {
  const Wave switch_click =
      read_wave(file_bytes(RESOURCES "/switch_click.wav"));
  ASSERT_EQ(switch_click.format.size(), 16u);
  ASSERT_FALSE(switch_click.samples.empty());

  ASSERT_EQ(post("/command", "click Battery_Switch 20 30").status, 200);
  const std::vector<uint64_t> first = sounds();
  ASSERT_EQ(first.size(), 1u);
  const HttpResponse wav = get("/sound/" + std::to_string(first[0]) + ".wav");
  EXPECT_EQ(wav.status, 200);
  EXPECT_EQ(wav.content_type, "audio/wav");
  const Wave served = read_wave(wav.body);
  EXPECT_EQ(served.format, switch_click.format);
  EXPECT_TRUE(served.samples == switch_click.samples)
      << served.samples.size() << " bytes served, "
      << switch_click.samples.size() << " recorded";

  // The same click again, and from a script's hold, is the same recording.
  ASSERT_EQ(post("/command", "click Battery_Switch 20 30").status, 200);
  ASSERT_EQ(post("/command", "hold Battery_Switch 20 30 0.2").status, 200);
  EXPECT_EQ(sounds(), std::vector<uint64_t>(2, first[0]));
  // A right click is silent.
  ASSERT_EQ(post("/command", "click Battery_Switch 20 30 right").status, 200);
  EXPECT_TRUE(sounds().empty());
}

// Each install of the switch loads whatever the resource holds then: every
// reopening of its window below gives it a recording of its own.
TEST_F(SoundRoutes, OnlyTheMostRecentlyPlayedRecordingsAreKept) {
  constexpr size_t kPlayed = LivePanel::kRecordingsKept + 3;
  std::vector<std::string> files;
  for (size_t i = 0; i < kPlayed; ++i)
    files.push_back(wave_file(std::string(40 + i, char(i * 7))));
  std::vector<uint64_t> ids;
  for (const std::string& file : files) {
    native_sound_override_resource(file.data(), uint32_t(file.size()));
    ASSERT_EQ(post("/command", "close 30").status, 200);
    ASSERT_EQ(post("/command", "open 30").status, 200);
    ASSERT_EQ(post("/command", "click Battery_Switch 20 30").status, 200);
    const std::vector<uint64_t> heard = sounds();
    ASSERT_EQ(heard.size(), 1u);
    ids.push_back(heard[0]);
  }
  // The first recording played again after the others is news once more.
  native_sound_override_resource(files[0].data(), uint32_t(files[0].size()));
  ASSERT_EQ(post("/command", "close 30").status, 200);
  ASSERT_EQ(post("/command", "open 30").status, 200);
  ASSERT_EQ(post("/command", "click Battery_Switch 20 30").status, 200);
  const std::vector<uint64_t> again = sounds();
  ASSERT_EQ(again.size(), 1u);

  for (size_t i = 0; i < kPlayed; ++i) {
    const HttpResponse wav = get("/sound/" + std::to_string(ids[i]) + ".wav");
    if (i <= kPlayed - LivePanel::kRecordingsKept) {
      EXPECT_EQ(wav.status, 404) << "recording " << i;
      continue;
    }
    ASSERT_EQ(wav.status, 200) << "recording " << i;
    EXPECT_EQ(wav.body, files[i]) << "recording " << i;
  }
  EXPECT_GT(again[0], ids.back());
  EXPECT_EQ(get("/sound/" + std::to_string(again[0]) + ".wav").body, files[0]);
}

struct SoundRefusal {
  const char* name;
  const char* method;
  const char* target;
  int status;
};

void PrintTo(const SoundRefusal& r, std::ostream* out) { *out << r.name; }

const SoundRefusal kSoundRefusals[] = {
    {.name = "none_played_yet",
     .method = "GET",
     .target = "/sound/1.wav",
     .status = 404},
    {.name = "id_zero",
     .method = "GET",
     .target = "/sound/0.wav",
     .status = 404},
    {.name = "not_a_number",
     .method = "GET",
     .target = "/sound/x.wav",
     .status = 404},
    {.name = "no_extension",
     .method = "GET",
     .target = "/sound/1",
     .status = 404},
    {.name = "other_kind",
     .method = "GET",
     .target = "/sound/1.mp3",
     .status = 404},
    {.name = "a_path",
     .method = "GET",
     .target = "/sound/../1.wav",
     .status = 404},
    {.name = "posted",
     .method = "POST",
     .target = "/sound/1.wav",
     .status = 405},
};

class SoundRefused : public LivePanelTest,
                     public ::testing::WithParamInterface<SoundRefusal> {};

TEST_P(SoundRefused, WithItsStatus) {
  const SoundRefusal& r = GetParam();
  EXPECT_EQ(answer(make_request(r.method, r.target)).status, r.status);
}

INSTANTIATE_TEST_SUITE_P(Routes, SoundRefused,
                         ::testing::ValuesIn(kSoundRefusals),
                         [](const auto& info) { return info.param.name; });

}  // namespace
