// What the host needs from the operating system besides the module.
#pragma once

// Byte-exact standard output (no newline translation).
void prepare_console();

// The simulator's main window, which the module's sound engine looks for
// by class name. Created before the module is loaded, destroyed after.
void create_simulator_window();
void destroy_simulator_window();
