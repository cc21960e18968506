// What the host is running in the module at any moment, kept so that a
// fault inside the module can be reported as what was being called.
#pragma once

#include <setjmp.h>

struct GaugeHeader;

struct ModuleCall {
  const char* what = nullptr;  // "gauge callback, install notice", ...
  const GaugeHeader* gauge = nullptr;
};

extern ModuleCall current_module_call;

// Notes a call for its duration; nested calls restore the outer one. Only
// the hosts that load the module, and so report its faults, keep them: the
// native build pays nothing for the notes.
#if defined(CORVELAIN_LINUX32) || defined(_WIN32)
class ModuleCallNote {
 public:
  explicit ModuleCallNote(const char* what, const GaugeHeader* gauge = nullptr)
      : saved_(current_module_call) {
    current_module_call = {what, gauge};
  }
  ~ModuleCallNote() { current_module_call = saved_; }
  ModuleCallNote(const ModuleCallNote&) = delete;
  ModuleCallNote& operator=(const ModuleCallNote&) = delete;

 private:
  ModuleCall saved_;
};
#else
class ModuleCallNote {
 public:
  explicit ModuleCallNote(const char*, const GaugeHeader* = nullptr) {}
  ModuleCallNote(const ModuleCallNote&) = delete;
  ModuleCallNote& operator=(const ModuleCallNote&) = delete;
};
#endif

// Where the host comes back to when another module's gauge must stop in
// the middle of a call: it called a service entry the host does not
// provide, or faulted. The host cannot return into such a module (it cannot
// know how many stdcall arguments to pop), so it jumps back to the call
// site, which notes `why` and stops the gauge. Armed only around calls into
// other modules' gauges; ours ends the host as before.
#if defined(CORVELAIN_LINUX32)
using StopBuffer = sigjmp_buf;
#define CORVELAIN_SET_STOP(buffer) sigsetjmp(buffer, 1)
#else
using StopBuffer = jmp_buf;
#define CORVELAIN_SET_STOP(buffer) setjmp(buffer)
#endif

struct StopPoint {
  StopBuffer where;
  char why[256] = {};
};

extern StopPoint* volatile current_stop_point;

// Fills the armed stop point's `why` and jumps back to it. Safe in a
// signal handler.
[[noreturn]] void stop_module_call(StopPoint& point, const char* why);
