// USER32: the one window a module looks for, the simulator's main window.
#include <strings.h>

#include "host/core/win32/win32.h"

namespace {

constexpr uintptr_t kMainWindow = 0x00010010;

}  // namespace

namespace user32 {

// Class names compare without regard to case; an atom (below 0x10000)
// names no class of ours.
WIN32_API void* find_window_a(const char* class_name, const char*) {
  if (reinterpret_cast<uintptr_t>(class_name) < 0x10000 ||
      !win32_main_window_exists() || strcasecmp(class_name, "FS98MAIN") != 0)
    return nullptr;
  return reinterpret_cast<void*>(kMainWindow);
}

}  // namespace user32
