#include "host/validate/sound_watch.h"
#include "sound/native_sound.h"
#include "sound/sound.h"

// The native layer is the module's own: nothing to attach to.
void sound_watch_attach(const LoadedModule&) {}

void sound_watch_reset() { native_sound_reset(); }

void sound_watch_fail_at(SoundStep step) { native_sound_fail_at(step); }

bool sound_watch_can_fail(SoundStep step) { return step != SoundStep::kNone; }

const SoundCounts& sound_watch_counts() { return native_sound_counts(); }

bool sound_watch_silenced() { return sound_enabled == 0; }

bool sound_watch_needs_reload() { return false; }
