// The steps of the sound layer that can be made to fail, and counts of the
// objects it creates and releases: shared by the native layer and by the
// host's watch over a loaded module's sound.
#pragma once

#include <cstdint>

enum class SoundStep : int32_t {
  kNone,
  kProgramPath,
  kCreateDevice,
  kCooperativeLevel,
  kLockResource,
  kOpenMemoryFile,
  kDescendRiff,
  kDescendFormat,
  kReadFormat,
  kAscendFormat,
  kDescendData,
  kAllocate,
  kReadData,
  kCreateBuffer,
  kLockBuffer,
  kUnlockBuffer,
  kRewindBuffer,
  kPlay,
};

struct SoundCounts {
  int32_t devices_created = 0;
  int32_t devices_released = 0;
  int32_t buffers_created = 0;
  int32_t buffers_released = 0;
  int32_t resources_locked = 0;
  int32_t resources_released = 0;
  int32_t files_opened = 0;
  int32_t files_closed = 0;
  int32_t blocks_allocated = 0;
  int32_t blocks_freed = 0;
  int32_t plays = 0;
};
