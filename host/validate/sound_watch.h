// The host's watch over a loaded module's sound: the devices and buffers it
// creates and releases, the clicks it plays (with what each buffer holds),
// and one step of its sound layer made to fail. Natively these are the native
// sound layer's own counts and controls. In the Windows build the module's
// imports of DirectSoundCreate and FindResourceA go through recorders that call
// the real functions and hand the module counting proxies of the real devices
// and buffers.
#pragma once

#include <cstdint>
#include <span>

#include "host/core/loader.h"
#include "sound/sound_steps.h"

// The format a buffer was created with, as its WAVEFORMATEX says.
struct SoundFormat {
  uint16_t format_tag = 0;
  uint16_t channels = 0;
  uint32_t samples_per_second = 0;
  uint32_t bytes_per_second = 0;
  uint16_t block_align = 0;
  uint16_t bits_per_sample = 0;
  bool operator==(const SoundFormat&) const = default;
};

// One play the module started: its buffer's format and the sample bytes the
// module filled it with, valid during the call.
struct SoundPlay {
  SoundFormat format;
  std::span<const uint8_t> samples;
};
using SoundPlayObserver = void (*)(void* context, const SoundPlay& play);

// Starts watching a module just loaded; the counts start at zero.
void sound_watch_attach(const LoadedModule& module);
// Counts at zero and no step failing. Natively the sound is enabled again
// too; a loaded Windows module stays silenced until it is loaded afresh.
void sound_watch_reset();
void sound_watch_fail_at(SoundStep step);
// Whether this build can make `step` fail.
bool sound_watch_can_fail(SoundStep step);
const SoundCounts& sound_watch_counts();
// Whether a failure has silenced the module's sound. In the Windows build:
// whether a watched call failed since the module was loaded.
bool sound_watch_silenced();
// Tells `observer` of every play that succeeds from now on, until another
// observer or null is set; attaching and resetting keep it.
void sound_watch_observe_plays(SoundPlayObserver observer, void* context);
// Whether the module must be loaded afresh for its sound to be enabled
// again, as it must in the Windows build after a failure.
bool sound_watch_needs_reload();
