// Controls of the native sound layer, for tests and the native host: make any
// one step fail, count the objects created and released, and watch plays.
#pragma once

#include <cstdint>

#include "sound/sound_steps.h"

using PlayObserver = void (*)(void* context, uint32_t sample_bytes);
struct WaveFormat;
// Told of a play with the format the buffer was created with and the bytes
// it holds.
using PlayContentObserver = void (*)(void* context, const WaveFormat& format,
                                     const uint8_t* samples,
                                     uint32_t sample_bytes);

// Back to the state at load: sound enabled, no failure, counts at zero, a host
// program "corvelain_host" with an "FS98MAIN" window, no observers. Objects
// still held by slots are the caller's to release first.
void native_sound_reset();
void native_sound_fail_at(SoundStep step);
void native_sound_set_program_path(const char* path);
// The one window the native layer knows, or none with a null class.
void native_sound_set_window_class(const char* class_name);
void native_sound_observe_plays(PlayObserver observer, void* context);
// Beside the observer above, for a host watching what is played.
void native_sound_observe_play_contents(PlayContentObserver observer,
                                        void* context);
// Every resource look-up answers with these bytes (null: the recordings).
void native_sound_override_resource(const void* bytes, uint32_t size);
const SoundCounts& native_sound_counts();
// Bytes the buffer holds, as filled at load.
uint32_t native_sound_buffer_bytes(const struct SoundBuffer* buffer);
const uint8_t* native_sound_buffer_samples(const struct SoundBuffer* buffer);
