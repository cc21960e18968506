#include "sound/sound.h"

#include <cstring>

#include "sound/platform.h"

int32_t sound_enabled = 1;

namespace {

constexpr uint32_t kProgramPathSize = 260;
constexpr uint32_t kPcmFormatBytes = 16;

uint32_t disable_sound() {
  sound_enabled = 0;
  return 0;
}

// The file name without drive, directory or extension, into `name`.
void program_file_name(const char* path, char* name, uint32_t size) {
  const char* start = path;
  for (const char* p = path; *p != '\0'; ++p)
    if (*p == '\\' || *p == '/' || *p == ':') start = p + 1;
  const char* end = start + std::strlen(start);
  for (const char* p = end; p > start; --p)
    if (p[-1] == '.') {
      end = p - 1;
      break;
    }
  uint32_t length = static_cast<uint32_t>(end - start);
  if (length >= size) length = size - 1;
  std::memcpy(name, start, length);
  name[length] = '\0';
}

// Steps of a wave load that hold the resource and its memory file open.
struct WaveSource {
  ResourceBytes resource;
  MemoryFile* file = nullptr;
  void* samples = nullptr;

  void close_file() {
    if (file != nullptr) platform_close_memory_file(file);
    file = nullptr;
    if (resource.data != nullptr) platform_release_wave_resource(resource);
    resource = {};
  }
  ~WaveSource() {
    close_file();
    if (samples != nullptr) platform_free(samples);
  }
};

bool read_format(MemoryFile* file, const RiffChunk& fmt, WaveFormat* format) {
  *format = {};
  uint32_t bytes =
      fmt.size < sizeof(WaveFormat) ? fmt.size : sizeof(WaveFormat);
  if (bytes < kPcmFormatBytes) return false;
  return platform_read(file, format, static_cast<int32_t>(bytes)) ==
         static_cast<int32_t>(bytes);
}

// Finds the format and the sample data; on success the file stands at the
// start of the samples.
bool find_wave_chunks(MemoryFile* file, WaveFormat* format, RiffChunk* data) {
  RiffChunk riff{};
  RiffChunk fmt{};
  return platform_descend_riff(file, fourcc("WAVE"), &riff) &&
         platform_descend_chunk(file, fourcc("fmt "), riff, &fmt) &&
         read_format(file, fmt, format) && platform_ascend(file, &fmt) &&
         platform_descend_chunk(file, fourcc("data"), riff, data);
}

}  // namespace

int32_t host_program_kind(const char* file_name) {
  const size_t length = std::strlen(file_name);
  if (length >= 4 && file_name[3] == '2') return 4;
  if (length >= 1 && file_name[0] == 'C') return 2;
  if (length >= 3 && file_name[2] == '2') return 3;
  return 1;
}

const char* host_window_class(int32_t kind) {
  return kind == 2 || kind == 4 ? "MSCFSMAIN" : "FS98MAIN";
}

void* find_host_window() {
  char path[kProgramPathSize] = {};
  if (!platform_program_path(path, sizeof path)) path[0] = '\0';
  path[sizeof path - 1] = '\0';
  char name[kProgramPathSize];
  program_file_name(path, name, sizeof name);
  return platform_find_window(host_window_class(host_program_kind(name)));
}

int32_t create_sound_device(void* window, SoundDevice** device) {
  release_sound_device(device);
  if (!platform_create_device(device)) {
    *device = nullptr;
    return static_cast<int32_t>(disable_sound());
  }
  if (!platform_set_cooperative_level(*device, window)) {
    release_sound_device(device);
    return static_cast<int32_t>(disable_sound());
  }
  return 1;
}

uint32_t load_wave_resource(SoundDevice** device, SoundBuffer** buffer,
                            int32_t resource_id, void* module_handle) {
  if (sound_enabled == 0) return 0;
  release_sound_buffer(buffer);
  if (*device == nullptr) return disable_sound();

  WaveSource source;
  if (!platform_lock_wave_resource(module_handle, resource_id,
                                   &source.resource))
    return disable_sound();
  source.file = platform_open_memory_file(source.resource);
  if (source.file == nullptr) return disable_sound();

  WaveFormat format{};
  RiffChunk data{};
  if (!find_wave_chunks(source.file, &format, &data)) return disable_sound();
  // The chunk sizes are the resource's word: none may reach past it.
  const uint32_t data_bytes = data.size;
  if (data_bytes > source.resource.size) return disable_sound();
  source.samples = platform_allocate(data_bytes);
  if (source.samples == nullptr) return disable_sound();
  if (platform_read(source.file, source.samples,
                    static_cast<int32_t>(data_bytes)) !=
      static_cast<int32_t>(data_bytes))
    return disable_sound();
  source.close_file();

  if (!platform_create_buffer(*device, format, data_bytes, buffer)) {
    *buffer = nullptr;
    return disable_sound();
  }
  LockedRegions regions;
  if (!platform_lock_buffer(*buffer, data_bytes, &regions)) {
    release_sound_buffer(buffer);
    return disable_sound();
  }
  const uint32_t copied =
      regions.first_bytes < data_bytes ? regions.first_bytes : data_bytes;
  if (regions.first != nullptr)
    std::memcpy(regions.first, source.samples, copied);
  if (!platform_unlock_buffer(*buffer, regions) ||
      !platform_rewind_buffer(*buffer)) {
    release_sound_buffer(buffer);
    return disable_sound();
  }
  return data_bytes;
}

int32_t play_sound(SoundBuffer** buffer, uint32_t play_flags) {
  if (sound_enabled == 0 || *buffer == nullptr) return 0;
  if (!platform_play_buffer(*buffer, play_flags)) {
    release_sound_buffer(buffer);
    return static_cast<int32_t>(disable_sound());
  }
  return 1;
}

// Both releases ignore sound_enabled: an object created is released once,
// however the sound engine fared since.
void release_sound_buffer(SoundBuffer** buffer) {
  if (*buffer == nullptr) return;
  platform_release_buffer(*buffer);
  *buffer = nullptr;
}

void release_sound_device(SoundDevice** device) {
  if (*device == nullptr) return;
  platform_release_device(*device);
  *device = nullptr;
}

void sound_install(SoundSlot& slot, void* module_handle, int32_t recording_id) {
  // A gauge placed twice shares one slot: the earlier copy's objects go first.
  sound_kill(slot);
  slot.module_handle = module_handle;
  slot.window = find_host_window();
  create_sound_device(slot.window, &slot.device);
  load_wave_resource(&slot.device, &slot.buffer, recording_id,
                     slot.module_handle);
}

void sound_kill(SoundSlot& slot) {
  release_sound_buffer(&slot.buffer);
  release_sound_device(&slot.device);
}

void sound_click(SoundSlot& slot) { play_sound(&slot.buffer, 0); }
