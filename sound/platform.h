// The platform services under the sound engine: on Windows the program's file
// name, the window search, DirectSound, the multimedia file services and the
// module's resources; in the native build a stand-in with the same results.
#pragma once

#include <cstdint>

#include "sound/sound.h"

struct MemoryFile;

#pragma pack(push, 2)
// The wave format record as stored at the start of a "fmt " chunk.
struct WaveFormat {
  uint16_t format_tag;
  uint16_t channels;
  uint32_t samples_per_second;
  uint32_t bytes_per_second;
  uint16_t block_align;
  uint16_t bits_per_sample;
  uint16_t extra_size;
};
#pragma pack(pop)
static_assert(sizeof(WaveFormat) == 18);

// One RIFF chunk as the multimedia file services describe it.
struct RiffChunk {
  uint32_t id;
  uint32_t size;
  uint32_t form;
  uint32_t data_offset;
  uint32_t flags;
};

constexpr uint32_t fourcc(const char (&code)[5]) {
  return static_cast<uint32_t>(static_cast<uint8_t>(code[0])) |
         static_cast<uint32_t>(static_cast<uint8_t>(code[1])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(code[2])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(code[3])) << 24;
}

struct ResourceBytes {
  const void* data = nullptr;
  uint32_t size = 0;
};

struct LockedRegions {
  void* first = nullptr;
  uint32_t first_bytes = 0;
  void* second = nullptr;
  uint32_t second_bytes = 0;
};

// Writes the running program's full path, zero-terminated; false on failure.
bool platform_program_path(char* path, uint32_t size);
void* platform_find_window(const char* class_name);

bool platform_create_device(SoundDevice** device);
bool platform_set_cooperative_level(SoundDevice* device, void* window);
void platform_release_device(SoundDevice* device);

bool platform_lock_wave_resource(void* module_handle, int32_t resource_id,
                                 ResourceBytes* bytes);
void platform_release_wave_resource(const ResourceBytes& bytes);

MemoryFile* platform_open_memory_file(const ResourceBytes& bytes);
// Finds the RIFF chunk of the given form at the file position.
bool platform_descend_riff(MemoryFile* file, uint32_t form, RiffChunk* chunk);
// Finds the chunk with the given id inside `parent`, from the file position.
bool platform_descend_chunk(MemoryFile* file, uint32_t id,
                            const RiffChunk& parent, RiffChunk* chunk);
bool platform_ascend(MemoryFile* file, RiffChunk* chunk);
// Number of bytes read, or -1.
int32_t platform_read(MemoryFile* file, void* out, int32_t bytes);
void platform_close_memory_file(MemoryFile* file);

void* platform_allocate(uint32_t bytes);
void platform_free(void* block);

bool platform_create_buffer(SoundDevice* device, const WaveFormat& format,
                            uint32_t bytes, SoundBuffer** buffer);
bool platform_lock_buffer(SoundBuffer* buffer, uint32_t bytes,
                          LockedRegions* regions);
bool platform_unlock_buffer(SoundBuffer* buffer, const LockedRegions& regions);
bool platform_rewind_buffer(SoundBuffer* buffer);
bool platform_play_buffer(SoundBuffer* buffer, uint32_t play_flags);
void platform_release_buffer(SoundBuffer* buffer);
