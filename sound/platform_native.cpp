// The native stand-in for the Windows services under the sound engine. It
// reads the recordings compiled into the build, walks their RIFF chunks the
// way the multimedia file services do, and "plays" by telling an observer.
#include <cstdlib>
#include <cstring>

#include "sound/native_sound.h"
#include "sound/platform.h"
#include "sound/recordings.h"

struct SoundDevice {
  void* window = nullptr;
};

struct SoundBuffer {
  uint8_t* samples = nullptr;
  uint32_t bytes = 0;
  bool locked = false;
  WaveFormat format{};
};

struct MemoryFile {
  const uint8_t* data = nullptr;
  uint32_t size = 0;
  uint32_t position = 0;
};

namespace {

constexpr uint32_t kChunkHeaderBytes = 8;
constexpr uint32_t kFormTypeBytes = 4;
constexpr uint32_t kChunkFormFlag = 0x1;  // The chunk carries a form type.

struct NativeState {
  SoundStep failing = SoundStep::kNone;
  char program_path[260] = "C:\\corvelain\\corvelain_host.exe";
  char window_class[64] = "FS98MAIN";
  bool has_window = true;
  const void* override_bytes = nullptr;
  uint32_t override_size = 0;
  PlayObserver observer = nullptr;
  void* observer_context = nullptr;
  PlayContentObserver content_observer = nullptr;
  void* content_observer_context = nullptr;
  SoundCounts counts;
};

NativeState state;
// The one native window: any distinct non-null address does.
int native_window;

bool fails(SoundStep step) { return state.failing == step; }

uint32_t read_u32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// Reads the chunk header at the file position, if the whole chunk lies
// before `end`. Leaves the position after the header.
bool read_chunk_header(MemoryFile* file, uint32_t end, RiffChunk* chunk) {
  if (end > file->size || file->position > end ||
      end - file->position < kChunkHeaderBytes)
    return false;
  const uint8_t* p = file->data + file->position;
  const uint32_t id = read_u32(p);
  const uint32_t size = read_u32(p + 4);
  const uint32_t data_offset = file->position + kChunkHeaderBytes;
  if (size > end - data_offset) return false;
  *chunk = {.id = id,
            .size = size,
            .form = 0,
            .data_offset = data_offset,
            .flags = 0};
  file->position = data_offset;
  return true;
}

uint32_t padded_end(const RiffChunk& chunk) {
  return chunk.data_offset + chunk.size + (chunk.size & 1u);
}

}  // namespace

void native_sound_reset() {
  state = NativeState{};
  sound_enabled = 1;
}

void native_sound_fail_at(SoundStep step) { state.failing = step; }

void native_sound_set_program_path(const char* path) {
  std::strncpy(state.program_path, path, sizeof state.program_path - 1);
  state.program_path[sizeof state.program_path - 1] = '\0';
}

void native_sound_set_window_class(const char* class_name) {
  state.has_window = class_name != nullptr;
  if (class_name == nullptr) return;
  std::strncpy(state.window_class, class_name, sizeof state.window_class - 1);
  state.window_class[sizeof state.window_class - 1] = '\0';
}

void native_sound_observe_plays(PlayObserver observer, void* context) {
  state.observer = observer;
  state.observer_context = context;
}

void native_sound_observe_play_contents(PlayContentObserver observer,
                                        void* context) {
  state.content_observer = observer;
  state.content_observer_context = context;
}

void native_sound_override_resource(const void* bytes, uint32_t size) {
  state.override_bytes = bytes;
  state.override_size = size;
}

const SoundCounts& native_sound_counts() { return state.counts; }

uint32_t native_sound_buffer_bytes(const SoundBuffer* buffer) {
  return buffer->bytes;
}

const uint8_t* native_sound_buffer_samples(const SoundBuffer* buffer) {
  return buffer->samples;
}

bool platform_program_path(char* path, uint32_t size) {
  if (fails(SoundStep::kProgramPath) || size == 0) return false;
  std::strncpy(path, state.program_path, size - 1);
  path[size - 1] = '\0';
  return true;
}

void* platform_find_window(const char* class_name) {
  if (!state.has_window || std::strcmp(class_name, state.window_class) != 0)
    return nullptr;
  return &native_window;
}

bool platform_create_device(SoundDevice** device) {
  if (fails(SoundStep::kCreateDevice)) return false;
  *device = new SoundDevice{};
  ++state.counts.devices_created;
  return true;
}

// DirectSound refuses a cooperative level without a window.
bool platform_set_cooperative_level(SoundDevice* device, void* window) {
  if (fails(SoundStep::kCooperativeLevel) || window == nullptr) return false;
  device->window = window;
  return true;
}

void platform_release_device(SoundDevice* device) {
  delete device;
  ++state.counts.devices_released;
}

bool platform_lock_wave_resource(void*, int32_t resource_id,
                                 ResourceBytes* bytes) {
  if (fails(SoundStep::kLockResource)) return false;
  if (state.override_bytes != nullptr) {
    *bytes = {.data = state.override_bytes, .size = state.override_size};
    ++state.counts.resources_locked;
    return true;
  }
  const EmbeddedRecording* recording = find_recording(resource_id);
  if (recording == nullptr) return false;
  *bytes = {.data = recording->bytes, .size = recording->size};
  ++state.counts.resources_locked;
  return true;
}

void platform_release_wave_resource(const ResourceBytes&) {
  ++state.counts.resources_released;
}

MemoryFile* platform_open_memory_file(const ResourceBytes& bytes) {
  if (fails(SoundStep::kOpenMemoryFile) || bytes.data == nullptr)
    return nullptr;
  ++state.counts.files_opened;
  return new MemoryFile{static_cast<const uint8_t*>(bytes.data), bytes.size, 0};
}

bool platform_descend_riff(MemoryFile* file, uint32_t form, RiffChunk* chunk) {
  if (fails(SoundStep::kDescendRiff)) return false;
  const uint32_t start = file->position;
  RiffChunk found{};
  while (read_chunk_header(file, file->size, &found)) {
    if (found.id == fourcc("RIFF") && found.size >= kFormTypeBytes &&
        read_u32(file->data + found.data_offset) == form) {
      found.form = form;
      found.flags = kChunkFormFlag;
      *chunk = found;
      file->position = found.data_offset + kFormTypeBytes;
      return true;
    }
    file->position = padded_end(found);
  }
  file->position = start;
  return false;
}

bool platform_descend_chunk(MemoryFile* file, uint32_t id,
                            const RiffChunk& parent, RiffChunk* chunk) {
  if (fails(id == fourcc("data") ? SoundStep::kDescendData
                                 : SoundStep::kDescendFormat))
    return false;
  const uint32_t start = file->position;
  const uint32_t end = parent.data_offset + parent.size;
  RiffChunk found{};
  while (read_chunk_header(file, end, &found)) {
    if (found.id == id) {
      *chunk = found;
      return true;
    }
    file->position = padded_end(found);
  }
  file->position = start;
  return false;
}

bool platform_ascend(MemoryFile* file, RiffChunk* chunk) {
  if (fails(SoundStep::kAscendFormat)) return false;
  const uint32_t end = padded_end(*chunk);
  file->position = end < file->size ? end : file->size;
  return true;
}

int32_t platform_read(MemoryFile* file, void* out, int32_t bytes) {
  const bool is_format = bytes <= static_cast<int32_t>(sizeof(WaveFormat));
  if (fails(is_format ? SoundStep::kReadFormat : SoundStep::kReadData) ||
      bytes < 0)
    return -1;
  uint32_t count = static_cast<uint32_t>(bytes);
  if (count > file->size - file->position) count = file->size - file->position;
  std::memcpy(out, file->data + file->position, count);
  file->position += count;
  return static_cast<int32_t>(count);
}

void platform_close_memory_file(MemoryFile* file) {
  delete file;
  ++state.counts.files_closed;
}

void* platform_allocate(uint32_t bytes) {
  if (fails(SoundStep::kAllocate)) return nullptr;
  void* block = std::malloc(bytes == 0 ? 1 : bytes);
  if (block != nullptr) ++state.counts.blocks_allocated;
  return block;
}

void platform_free(void* block) {
  std::free(block);
  ++state.counts.blocks_freed;
}

// DirectSound's limits on a secondary buffer's size.
bool platform_create_buffer(SoundDevice*, const WaveFormat& format,
                            uint32_t bytes, SoundBuffer** buffer) {
  constexpr uint32_t kMinBytes = 4;
  constexpr uint32_t kMaxBytes = 0x0FFFFFFF;
  if (fails(SoundStep::kCreateBuffer) || bytes < kMinBytes ||
      bytes > kMaxBytes || format.format_tag != 1 || format.channels == 0)
    return false;
  *buffer = new SoundBuffer{new uint8_t[bytes](), bytes, false, format};
  ++state.counts.buffers_created;
  return true;
}

bool platform_lock_buffer(SoundBuffer* buffer, uint32_t bytes,
                          LockedRegions* regions) {
  if (fails(SoundStep::kLockBuffer) || buffer->locked || bytes > buffer->bytes)
    return false;
  buffer->locked = true;
  *regions = {.first = buffer->samples, .first_bytes = bytes};
  return true;
}

bool platform_unlock_buffer(SoundBuffer* buffer, const LockedRegions&) {
  if (fails(SoundStep::kUnlockBuffer) || !buffer->locked) return false;
  buffer->locked = false;
  return true;
}

bool platform_rewind_buffer(SoundBuffer*) {
  return !fails(SoundStep::kRewindBuffer);
}

bool platform_play_buffer(SoundBuffer* buffer, uint32_t) {
  if (fails(SoundStep::kPlay) || buffer->locked) return false;
  ++state.counts.plays;
  if (state.observer != nullptr)
    state.observer(state.observer_context, buffer->bytes);
  if (state.content_observer != nullptr)
    state.content_observer(state.content_observer_context, buffer->format,
                           buffer->samples, buffer->bytes);
  return true;
}

void platform_release_buffer(SoundBuffer* buffer) {
  delete[] buffer->samples;
  delete buffer;
  ++state.counts.buffers_released;
}
