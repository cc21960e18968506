// What the host is running in the module at any moment, kept so that a
// fault inside the module can be reported as what was being called.
#pragma once

struct GaugeHeader;

struct ModuleCall {
  const char* what = nullptr;  // "gauge callback, install notice", ...
  const GaugeHeader* gauge = nullptr;
};

extern ModuleCall current_module_call;

// Notes a call for its duration; nested calls restore the outer one. Only
// the linux32 host, which maps the module itself, reports its faults: the
// other builds pay nothing for the notes.
#if defined(CORVELAIN_LINUX32)
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
