#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

#include "host/core/platform.h"

void prepare_console() {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

namespace {

// The simulator's main window class, by which the module's sound engine
// finds the window it gives DirectSound.
constexpr char kSimulatorWindowClass[] = "FS98MAIN";
HWND simulator_window = nullptr;

}  // namespace

// A hidden top-level window: enough for the class search and for
// DirectSound's cooperative level, and nothing to see.
void create_simulator_window() {
  if (simulator_window != nullptr) return;
  WNDCLASSA window_class{};
  window_class.lpfnWndProc = DefWindowProcA;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.lpszClassName = kSimulatorWindowClass;
  RegisterClassA(&window_class);
  simulator_window =
      CreateWindowExA(0, kSimulatorWindowClass, "Corvelain stand-in simulator",
                      WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 640,
                      480, nullptr, nullptr, window_class.hInstance, nullptr);
}

void destroy_simulator_window() {
  if (simulator_window == nullptr) return;
  DestroyWindow(simulator_window);
  simulator_window = nullptr;
  UnregisterClassA(kSimulatorWindowClass, GetModuleHandleA(nullptr));
}
