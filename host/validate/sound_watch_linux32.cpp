// The 32-bit Linux host provides the module's DirectSound, multimedia file
// and resource functions itself, so every step of its sound can be made to
// fail and every device, buffer and memory file is counted there. As under
// Windows, a failure silences the module until it is loaded afresh.
#include "host/core/win32/win32.h"
#include "host/validate/sound_watch.h"

namespace {

// Failures before the last reset still silence the module.
bool failed_before_reset = false;

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

bool sound_watch_needs_reload() { return sound_watch_silenced(); }
