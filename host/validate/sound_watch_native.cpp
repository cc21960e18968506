#include "host/validate/sound_watch.h"
#include "sound/native_sound.h"
#include "sound/platform.h"
#include "sound/sound.h"

namespace {

struct Watcher {
  SoundPlayObserver observer = nullptr;
  void* context = nullptr;
};

Watcher watcher;

void heard(void*, const WaveFormat& format, const uint8_t* samples,
           uint32_t sample_bytes) {
  if (watcher.observer == nullptr) return;
  const SoundPlay play{
      .format = {.format_tag = format.format_tag,
                 .channels = format.channels,
                 .samples_per_second = format.samples_per_second,
                 .bytes_per_second = format.bytes_per_second,
                 .block_align = format.block_align,
                 .bits_per_sample = format.bits_per_sample},
      .samples = {samples, sample_bytes}};
  watcher.observer(watcher.context, play);
}

}  // namespace

// The native layer is the module's own: nothing to attach to.
void sound_watch_attach(const LoadedModule&) {}

// Resetting the native layer forgets its observers: the watch's comes back.
void sound_watch_reset() {
  native_sound_reset();
  if (watcher.observer != nullptr)
    native_sound_observe_play_contents(heard, nullptr);
}

void sound_watch_fail_at(SoundStep step) { native_sound_fail_at(step); }

bool sound_watch_can_fail(SoundStep step) { return step != SoundStep::kNone; }

const SoundCounts& sound_watch_counts() { return native_sound_counts(); }

bool sound_watch_silenced() { return sound_enabled == 0; }

void sound_watch_observe_plays(SoundPlayObserver observer, void* context) {
  watcher = {.observer = observer, .context = context};
  native_sound_observe_play_contents(observer != nullptr ? heard : nullptr,
                                     nullptr);
}

bool sound_watch_needs_reload() { return false; }
