// Loading recordings whose RIFF chunks are damaged: the load fails, sound is
// disabled, nothing is read past the resource and nothing leaks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sound/native_sound.h"
#include "sound/sound.h"

namespace {

using Bytes = std::vector<uint8_t>;

void put32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void put_chunk(Bytes& b, const char* id, const Bytes& body,
               uint32_t size_override = 0) {
  b.insert(b.end(), id, id + 4);
  put32(b, size_override != 0 ? size_override
                              : static_cast<uint32_t>(body.size()));
  b.insert(b.end(), body.begin(), body.end());
  if (body.size() % 2 == 1) b.push_back(0);
}

Bytes pcm_format(uint32_t bytes = 16) {
  Bytes f = {1, 0, 1, 0};  // PCM, one channel
  put32(f, 22050);
  put32(f, 44100);
  f.insert(f.end(), {2, 0, 16, 0});
  f.resize(bytes, 0);
  return f;
}

Bytes riff(const char* form, const Bytes& chunks, uint32_t size_override = 0) {
  Bytes body(form, form + 4);
  body.insert(body.end(), chunks.begin(), chunks.end());
  Bytes out;
  put_chunk(out, "RIFF", body, size_override);
  return out;
}

Bytes samples(uint32_t n) { return Bytes(n, 0x11); }

Bytes wave(const Bytes& format, const Bytes& data) {
  Bytes chunks;
  put_chunk(chunks, "fmt ", format);
  put_chunk(chunks, "data", data);
  return riff("WAVE", chunks);
}

struct WaveCase {
  std::string name;
  Bytes bytes;
  uint32_t loaded;  // 0: the load fails
};

class WaveChunks : public testing::TestWithParam<WaveCase> {
 protected:
  void SetUp() override { native_sound_reset(); }
  void TearDown() override { native_sound_reset(); }
};

TEST_P(WaveChunks, LoadOnlyWhatTheChunksHold) {
  const WaveCase& c = GetParam();
  // An exact-size copy, so that any read past the end is caught.
  uint8_t* resource = new uint8_t[c.bytes.size() + 1];
  std::copy(c.bytes.begin(), c.bytes.end(), resource);
  native_sound_override_resource(resource,
                                 static_cast<uint32_t>(c.bytes.size()));

  SoundSlot slot;
  int module;
  sound_install(slot, &module, kRecordingSwitchClick);
  EXPECT_EQ(sound_enabled, c.loaded != 0 ? 1 : 0);
  EXPECT_EQ(slot.buffer != nullptr, c.loaded != 0);
  if (slot.buffer != nullptr) {
    EXPECT_EQ(native_sound_buffer_bytes(slot.buffer), c.loaded);
    EXPECT_EQ(native_sound_buffer_samples(slot.buffer)[c.loaded - 1], 0x11);
  }
  sound_kill(slot);
  const SoundCounts& n = native_sound_counts();
  EXPECT_EQ(n.buffers_created, n.buffers_released);
  EXPECT_EQ(n.files_opened, n.files_closed);
  EXPECT_EQ(n.blocks_allocated, n.blocks_freed);
  delete[] resource;
}

Bytes with_list_before_format() {
  Bytes chunks;
  put_chunk(chunks, "LIST", Bytes(5, 'x'));  // odd size, padded
  put_chunk(chunks, "fmt ", pcm_format());
  put_chunk(chunks, "data", samples(64));
  return riff("WAVE", chunks);
}

Bytes without(const char* missing) {
  Bytes chunks;
  if (std::string(missing) != "fmt ") put_chunk(chunks, "fmt ", pcm_format());
  if (std::string(missing) != "data") put_chunk(chunks, "data", samples(64));
  return riff("WAVE", chunks);
}

Bytes data_larger_than_file() {
  Bytes chunks;
  put_chunk(chunks, "fmt ", pcm_format());
  put_chunk(chunks, "data", samples(64), 4096);
  return riff("WAVE", chunks);
}

Bytes riff_larger_than_file() {
  Bytes chunks;
  put_chunk(chunks, "fmt ", pcm_format());
  put_chunk(chunks, "data", samples(64));
  return riff("WAVE", chunks, 100000);
}

Bytes data_outside_riff() {
  Bytes chunks;
  put_chunk(chunks, "fmt ", pcm_format());
  Bytes out = riff("WAVE", chunks);
  put_chunk(out, "data", samples(64));
  return out;
}

Bytes truncated(Bytes b, size_t keep) {
  b.resize(keep);
  return b;
}

INSTANTIATE_TEST_SUITE_P(
    Damaged, WaveChunks,
    testing::ValuesIn(std::vector<WaveCase>{
        {"PlainWave", wave(pcm_format(), samples(64)), 64},
        {"EighteenByteFormat", wave(pcm_format(18), samples(64)), 64},
        {"ChunkBeforeFormat", with_list_before_format(), 64},
        {"Empty", {}, 0},
        {"HeaderOnly", truncated(wave(pcm_format(), samples(64)), 6), 0},
        {"NotWave", riff("AVI ", {}), 0},
        {"NoFormat", without("fmt "), 0},
        {"NoData", without("data"), 0},
        {"ShortFormat", wave(pcm_format(12), samples(64)), 0},
        {"EmptyData", wave(pcm_format(), {}), 0},
        {"DataLargerThanFile", data_larger_than_file(), 0},
        {"RiffLargerThanFile", riff_larger_than_file(), 0},
        {"DataOutsideRiff", data_outside_riff(), 0},
        {"CutInsideData", truncated(wave(pcm_format(), samples(64)), 60), 0},
    }),
    [](const auto& info) { return info.param.name; });

}  // namespace
