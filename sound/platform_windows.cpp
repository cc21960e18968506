// The Windows services under the sound engine: DirectSound, the multimedia
// file services over a memory block, and the module's "WAVE" resources.
#include <dsound.h>
#include <mmsystem.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "sound/platform.h"

struct MemoryFile;

namespace {

IDirectSound* as_device(SoundDevice* device) {
  return reinterpret_cast<IDirectSound*>(device);
}

IDirectSoundBuffer* as_buffer(SoundBuffer* buffer) {
  return reinterpret_cast<IDirectSoundBuffer*>(buffer);
}

HMMIO as_mmio(MemoryFile* file) { return reinterpret_cast<HMMIO>(file); }

MMCKINFO to_mmio(const RiffChunk& chunk) {
  MMCKINFO info{};
  info.ckid = chunk.id;
  info.cksize = chunk.size;
  info.fccType = chunk.form;
  info.dwDataOffset = chunk.data_offset;
  info.dwFlags = chunk.flags;
  return info;
}

RiffChunk from_mmio(const MMCKINFO& info) {
  return {.id = info.ckid,
          .size = info.cksize,
          .form = info.fccType,
          .data_offset = info.dwDataOffset,
          .flags = info.dwFlags};
}

constexpr DWORD kBufferFlags = DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN |
                               DSBCAPS_CTRLFREQUENCY | DSBCAPS_GLOBALFOCUS;
static_assert(kBufferFlags == 0x80E0);
static_assert(sizeof(DSBUFFERDESC) == 36);
static_assert(sizeof(WAVEFORMATEX) == sizeof(WaveFormat));

}  // namespace

bool platform_program_path(char* path, uint32_t size) {
  const DWORD length = GetModuleFileNameA(nullptr, path, size);
  return length != 0 && length < size;
}

void* platform_find_window(const char* class_name) {
  return FindWindowA(class_name, nullptr);
}

bool platform_create_device(SoundDevice** device) {
  IDirectSound* created = nullptr;
  if (FAILED(DirectSoundCreate(nullptr, &created, nullptr)) ||
      created == nullptr)
    return false;
  *device = reinterpret_cast<SoundDevice*>(created);
  return true;
}

bool platform_set_cooperative_level(SoundDevice* device, void* window) {
  return SUCCEEDED(as_device(device)->SetCooperativeLevel(
      static_cast<HWND>(window), DSSCL_NORMAL));
}

void platform_release_device(SoundDevice* device) {
  as_device(device)->Release();
}

bool platform_lock_wave_resource(void* module_handle, int32_t resource_id,
                                 ResourceBytes* bytes) {
  auto module = static_cast<HMODULE>(module_handle);
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(resource_id), "WAVE");
  if (found == nullptr) return false;
  HGLOBAL loaded = LoadResource(module, found);
  if (loaded == nullptr) return false;
  const void* data = LockResource(loaded);
  const DWORD size = SizeofResource(module, found);
  if (data == nullptr || size == 0) return false;
  *bytes = {.data = data, .size = size};
  return true;
}

// Resources of a loaded module live as long as the module.
void platform_release_wave_resource(const ResourceBytes&) {}

MemoryFile* platform_open_memory_file(const ResourceBytes& bytes) {
  MMIOINFO info{};
  info.fccIOProc = FOURCC_MEM;
  info.pchBuffer = static_cast<HPSTR>(const_cast<void*>(bytes.data));
  info.cchBuffer = static_cast<LONG>(bytes.size);
  return reinterpret_cast<MemoryFile*>(
      mmioOpenA(nullptr, &info, MMIO_READWRITE));
}

bool platform_descend_riff(MemoryFile* file, uint32_t form, RiffChunk* chunk) {
  MMCKINFO info{};
  info.fccType = form;
  if (mmioDescend(as_mmio(file), &info, nullptr, MMIO_FINDRIFF) !=
      MMSYSERR_NOERROR)
    return false;
  *chunk = from_mmio(info);
  return true;
}

bool platform_descend_chunk(MemoryFile* file, uint32_t id,
                            const RiffChunk& parent, RiffChunk* chunk) {
  MMCKINFO parent_info = to_mmio(parent);
  MMCKINFO info{};
  info.ckid = id;
  if (mmioDescend(as_mmio(file), &info, &parent_info, MMIO_FINDCHUNK) !=
      MMSYSERR_NOERROR)
    return false;
  *chunk = from_mmio(info);
  return true;
}

bool platform_ascend(MemoryFile* file, RiffChunk* chunk) {
  MMCKINFO info = to_mmio(*chunk);
  return mmioAscend(as_mmio(file), &info, 0) == MMSYSERR_NOERROR;
}

int32_t platform_read(MemoryFile* file, void* out, int32_t bytes) {
  return mmioRead(as_mmio(file), static_cast<HPSTR>(out), bytes);
}

void platform_close_memory_file(MemoryFile* file) {
  mmioClose(as_mmio(file), 0);
}

void* platform_allocate(uint32_t bytes) {
  return std::malloc(bytes == 0 ? 1 : bytes);
}

void platform_free(void* block) { std::free(block); }

bool platform_create_buffer(SoundDevice* device, const WaveFormat& format,
                            uint32_t bytes, SoundBuffer** buffer) {
  WAVEFORMATEX wave{};
  std::memcpy(&wave, &format, sizeof wave);
  DSBUFFERDESC description{};
  description.dwSize = sizeof description;
  description.dwFlags = kBufferFlags;
  description.dwBufferBytes = bytes;
  description.lpwfxFormat = &wave;
  IDirectSoundBuffer* created = nullptr;
  if (FAILED(as_device(device)->CreateSoundBuffer(&description, &created,
                                                  nullptr)) ||
      created == nullptr)
    return false;
  *buffer = reinterpret_cast<SoundBuffer*>(created);
  return true;
}

bool platform_lock_buffer(SoundBuffer* buffer, uint32_t bytes,
                          LockedRegions* regions) {
  void* first = nullptr;
  DWORD first_bytes = 0;
  void* second = nullptr;
  DWORD second_bytes = 0;
  if (FAILED(as_buffer(buffer)->Lock(0, bytes, &first, &first_bytes, &second,
                                     &second_bytes, 0)))
    return false;
  *regions = {.first = first,
              .first_bytes = first_bytes,
              .second = second,
              .second_bytes = second_bytes};
  return true;
}

bool platform_unlock_buffer(SoundBuffer* buffer, const LockedRegions& regions) {
  return SUCCEEDED(as_buffer(buffer)->Unlock(regions.first, regions.first_bytes,
                                             regions.second,
                                             regions.second_bytes));
}

bool platform_rewind_buffer(SoundBuffer* buffer) {
  return SUCCEEDED(as_buffer(buffer)->SetCurrentPosition(0));
}

bool platform_play_buffer(SoundBuffer* buffer, uint32_t play_flags) {
  return SUCCEEDED(as_buffer(buffer)->Play(0, 0, play_flags));
}

void platform_release_buffer(SoundBuffer* buffer) {
  as_buffer(buffer)->Release();
}
