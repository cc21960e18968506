#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "host/platform.h"

void prepare_console() {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

// The top-level "FS98MAIN" window for the sound engine belongs here.
void create_simulator_window() {}
void destroy_simulator_window() {}
