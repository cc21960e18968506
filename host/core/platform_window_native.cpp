#include "host/core/platform.h"

void prepare_console() {}
void create_simulator_window() {}
void destroy_simulator_window() {}
