#include "host/core/module_call.h"

#include <cstring>

ModuleCall current_module_call;
StopPoint* volatile current_stop_point = nullptr;

void stop_module_call(StopPoint& point, const char* why) {
  std::strncpy(point.why, why, sizeof point.why - 1);
  point.why[sizeof point.why - 1] = '\0';
#if defined(CORVELAIN_LINUX32)
  siglongjmp(point.where, 1);
#else
  longjmp(point.where, 1);
#endif
}
