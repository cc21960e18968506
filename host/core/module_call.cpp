#include "host/core/module_call.h"

ModuleCall current_module_call;
