// The 32-bit Linux host provides the module's DirectSound, multimedia file
// and resource functions itself, so every step of its sound can be made to
// fail and every device, buffer and memory file is counted there. As under
// Windows, a failure silences the module until it is loaded afresh.
#include "host/core/win32/win32.h"
#include "host/validate/sound_watch.h"

namespace {

// Failures before the last reset still silence the module.
bool failed_before_reset = false;

struct Watcher {
  SoundPlayObserver observer = nullptr;
  void* context = nullptr;
};

Watcher watcher;

void heard(void*, const Win32WaveFormat& format, const uint8_t* samples,
           uint32_t bytes) {
  if (watcher.observer == nullptr) return;
  const SoundPlay play{
      .format = {.format_tag = format.format_tag,
                 .channels = format.channels,
                 .samples_per_second = format.samples_per_second,
                 .bytes_per_second = format.average_bytes_per_second,
                 .block_align = format.block_align,
                 .bits_per_sample = format.bits_per_sample},
      .samples = {samples, bytes}};
  watcher.observer(watcher.context, play);
}

}  // namespace

void sound_watch_attach(const LoadedModule&) {
  win32_sound_reset();
  failed_before_reset = false;
}

void sound_watch_reset() {
  failed_before_reset = failed_before_reset || win32_sound_failed();
  win32_sound_reset();
}

void sound_watch_fail_at(SoundStep step) { win32_sound_fail_at(step); }

bool sound_watch_can_fail(SoundStep step) { return win32_sound_can_fail(step); }

const SoundCounts& sound_watch_counts() { return win32_sound_counts(); }

bool sound_watch_silenced() {
  return failed_before_reset || win32_sound_failed();
}

void sound_watch_observe_plays(SoundPlayObserver observer, void* context) {
  watcher = {.observer = observer, .context = context};
  win32_sound_observe_plays(observer != nullptr ? heard : nullptr, nullptr);
}

bool sound_watch_needs_reload() { return sound_watch_silenced(); }
