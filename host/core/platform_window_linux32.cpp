// The 32-bit Linux host has no windows of its own: the simulator's main
// window exists for the module's window search while the host says so.
#include "host/core/platform.h"
#include "host/core/win32/win32.h"

void prepare_console() {}
void create_simulator_window() { win32_set_main_window(true); }
void destroy_simulator_window() { win32_set_main_window(false); }
