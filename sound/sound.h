// Click sounds: each clicking gauge owns a DirectSound device and one buffer
// holding a wave recording from the module's resources. The first failure of
// any sound operation silences every sound until the module is unloaded, but
// every object created is still released exactly once.
#pragma once

#include <cstdint>

struct SoundDevice;
struct SoundBuffer;

// 1 at load; the first failed sound operation sets it to 0 for good.
extern int32_t sound_enabled;

struct SoundSlot {
  void* window = nullptr;
  void* module_handle = nullptr;
  SoundDevice* device = nullptr;
  SoundBuffer* buffer = nullptr;
};

enum Recording : int32_t {
  kRecordingSwitchClick = 10,
  kRecordingSpareClick = 20,
  kRecordingKnobClick = 30,
};

// Kinds of host program, told apart by the running program's file name.
int32_t host_program_kind(const char* file_name);
const char* host_window_class(int32_t kind);

void* find_host_window();
int32_t create_sound_device(void* window, SoundDevice** device);
uint32_t load_wave_resource(SoundDevice** device, SoundBuffer** buffer,
                            int32_t resource_id, void* module_handle);
int32_t play_sound(SoundBuffer** buffer, uint32_t play_flags);
void release_sound_buffer(SoundBuffer** buffer);
void release_sound_device(SoundDevice** device);

// What a clicking gauge does at install (notice 2) and kill (notice 12).
void sound_install(SoundSlot& slot, void* module_handle, int32_t recording_id);
void sound_kill(SoundSlot& slot);
// Plays the slot's recording once.
void sound_click(SoundSlot& slot);
