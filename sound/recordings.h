// The wave recordings of resources/, compiled into the native build.
#pragma once

#include <cstdint>

struct EmbeddedRecording {
  int32_t id;
  const uint8_t* bytes;
  uint32_t size;
};

// Null for an identifier the module has no recording for.
const EmbeddedRecording* find_recording(int32_t id);
