// WINMM's multimedia file services over a memory block, the only kind a
// module opens: RIFF chunks are found, entered and left, and their bytes
// read, never past the block whatever its chunk sizes say.
#include <cstddef>
#include <cstring>
#include <memory>
#include <vector>

#include "host/core/win32/win32.h"

namespace {

constexpr uint32_t fourcc(const char (&text)[5]) {
  return uint32_t{static_cast<uint8_t>(text[0])} |
         uint32_t{static_cast<uint8_t>(text[1])} << 8 |
         uint32_t{static_cast<uint8_t>(text[2])} << 16 |
         uint32_t{static_cast<uint8_t>(text[3])} << 24;
}

constexpr uint32_t kMemoryProc = fourcc("MEM ");
constexpr uint32_t kRiff = fourcc("RIFF");
constexpr uint32_t kList = fourcc("LIST");
constexpr uint32_t kFormatChunk = fourcc("fmt ");
constexpr uint32_t kDataChunk = fourcc("data");

constexpr uint32_t kFindChunk = 0x10;
constexpr uint32_t kFindRiff = 0x20;
constexpr uint32_t kFindList = 0x40;

constexpr uint32_t kNoError = 0;
constexpr uint32_t kInvalidHandle = 5;
constexpr uint32_t kInvalidParameter = 11;
constexpr uint32_t kCannotSeek = 261;
constexpr uint32_t kChunkNotFound = 265;

struct MmioInfo {
  uint32_t flags;
  uint32_t io_proc;
  uint32_t io_procedure;
  uint32_t error_return;
  uint32_t task;
  int32_t buffer_bytes;
  uint32_t buffer;
  uint32_t next;
  uint32_t end_read;
  uint32_t end_write;
  int32_t buffer_offset;
  int32_t disk_offset;
  uint32_t info[3];
  uint32_t reserved1;
  uint32_t reserved2;
  uint32_t handle;
};
static_assert(sizeof(MmioInfo) == 72);
static_assert(offsetof(MmioInfo, buffer_bytes) == 20);
static_assert(offsetof(MmioInfo, buffer) == 24);
static_assert(offsetof(MmioInfo, handle) == 68);

struct ChunkInfo {
  uint32_t id;
  uint32_t size;
  uint32_t form;
  uint32_t data_offset;
  uint32_t flags;
};
static_assert(sizeof(ChunkInfo) == 20);

struct MemoryFile {
  const uint8_t* data = nullptr;
  uint32_t size = 0;
  uint32_t position = 0;
  // The chunk last entered and not yet left: what a read reads.
  uint32_t chunk = 0;
};

std::vector<std::unique_ptr<MemoryFile>> open_files;
bool allocation_pending = false;

MemoryFile* open_file(const void* handle) {
  for (const auto& file : open_files)
    if (file.get() == handle) return file.get();
  return nullptr;
}

uint32_t read_word(const MemoryFile& file, uint64_t offset) {
  uint32_t word = 0;
  std::memcpy(&word, file.data + offset, sizeof word);
  return word;
}

uint64_t padded(uint64_t bytes) { return bytes + (bytes & 1); }

SoundStep descend_step(uint32_t flags, uint32_t id) {
  if (flags == kFindRiff) return SoundStep::kDescendRiff;
  if (flags == kFindChunk && id == kFormatChunk)
    return SoundStep::kDescendFormat;
  if (flags == kFindChunk && id == kDataChunk) return SoundStep::kDescendData;
  return SoundStep::kNone;
}

}  // namespace

bool win32_sound_take_allocation() {
  const bool pending = allocation_pending;
  allocation_pending = false;
  return pending;
}

namespace winmm {

WIN32_API void* mmio_open_a(char* file_name, void* info, uint32_t) {
  auto* request = static_cast<MmioInfo*>(info);
  if (win32_sound_step_fails(SoundStep::kOpenMemoryFile)) return nullptr;
  if (file_name != nullptr || request == nullptr ||
      request->io_proc != kMemoryProc || request->buffer == 0 ||
      request->buffer_bytes <= 0) {
    if (request != nullptr) request->error_return = kInvalidParameter;
    win32_sound_note_failure();
    return nullptr;
  }
  auto file = std::make_unique<MemoryFile>();
  file->data = reinterpret_cast<const uint8_t*>(uintptr_t{request->buffer});
  file->size = static_cast<uint32_t>(request->buffer_bytes);
  void* handle = file.get();
  open_files.push_back(std::move(file));
  request->error_return = kNoError;
  request->handle = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(handle));
  win32_sound_count(&SoundCounts::files_opened);
  return handle;
}

WIN32_API uint32_t mmio_close(void* handle, uint32_t) {
  for (auto it = open_files.begin(); it != open_files.end(); ++it) {
    if (it->get() != handle) continue;
    open_files.erase(it);
    allocation_pending = false;
    win32_sound_count(&SoundCounts::files_closed);
    return kNoError;
  }
  return kInvalidHandle;
}

// Walks the chunks from the current position up to the end of the parent
// (or of the block) for the first that the flags accept.
WIN32_API uint32_t mmio_descend(void* handle, void* chunk, const void* parent,
                                uint32_t flags) {
  MemoryFile* file = open_file(handle);
  auto* wanted = static_cast<ChunkInfo*>(chunk);
  const auto* within = static_cast<const ChunkInfo*>(parent);
  if (file == nullptr || wanted == nullptr) {
    win32_sound_note_failure();
    return file == nullptr ? kInvalidHandle : kInvalidParameter;
  }
  const SoundStep step = descend_step(flags, wanted->id);
  if (step != SoundStep::kNone && win32_sound_step_fails(step))
    return kChunkNotFound;
  uint64_t end = file->size;
  if (within != nullptr) {
    const uint64_t parent_end = uint64_t{within->data_offset} + within->size;
    if (parent_end < end) end = parent_end;
  }
  for (uint64_t at = file->position; at + 8 <= end;) {
    const uint32_t id = read_word(*file, at);
    const uint32_t size = read_word(*file, at + 4);
    const uint64_t data = at + 8;
    const bool has_form = id == kRiff || id == kList;
    const bool form_readable = has_form && data + 4 <= end;
    const uint32_t form = form_readable ? read_word(*file, data) : 0;
    bool matches = false;
    switch (flags) {
      case kFindChunk:
        matches = id == wanted->id;
        break;
      case kFindRiff:
        matches = id == kRiff && form_readable && form == wanted->form;
        break;
      case kFindList:
        matches = id == kList && form_readable && form == wanted->form;
        break;
      default:
        matches = !has_form || form_readable;
        break;
    }
    if (matches) {
      *wanted = {.id = id,
                 .size = size,
                 .form = form,
                 .data_offset = static_cast<uint32_t>(data),
                 .flags = 0};
      file->position = static_cast<uint32_t>(has_form ? data + 4 : data);
      file->chunk = id;
      if (flags == kFindChunk && id == kDataChunk) allocation_pending = true;
      return kNoError;
    }
    at = data + padded(size);
  }
  win32_sound_note_failure();
  return kChunkNotFound;
}

WIN32_API uint32_t mmio_ascend(void* handle, void* chunk, uint32_t) {
  MemoryFile* file = open_file(handle);
  const auto* left = static_cast<const ChunkInfo*>(chunk);
  if (win32_sound_step_fails(SoundStep::kAscendFormat)) return kCannotSeek;
  if (file == nullptr || left == nullptr) {
    win32_sound_note_failure();
    return file == nullptr ? kInvalidHandle : kInvalidParameter;
  }
  const uint64_t end = left->data_offset + padded(left->size);
  file->position = end < file->size ? static_cast<uint32_t>(end) : file->size;
  file->chunk = 0;
  return kNoError;
}

WIN32_API int32_t mmio_read(void* handle, char* buffer, int32_t bytes) {
  MemoryFile* file = open_file(handle);
  const SoundStep step = file == nullptr               ? SoundStep::kNone
                         : file->chunk == kFormatChunk ? SoundStep::kReadFormat
                         : file->chunk == kDataChunk   ? SoundStep::kReadData
                                                       : SoundStep::kNone;
  if (step != SoundStep::kNone && win32_sound_step_fails(step)) return -1;
  if (file == nullptr || bytes < 0 || (buffer == nullptr && bytes > 0)) {
    win32_sound_note_failure();
    return -1;
  }
  const uint32_t left =
      file->position < file->size ? file->size - file->position : 0;
  const uint32_t count =
      static_cast<uint32_t>(bytes) < left ? static_cast<uint32_t>(bytes) : left;
  if (count > 0) std::memcpy(buffer, file->data + file->position, count);
  file->position += count;
  return static_cast<int32_t>(count);
}

}  // namespace winmm
