// Finding the module's two exported records. The Windows build loads the
// .gau file; the native build has the module linked in.
#pragma once

#include <string>

#include "elements/records.h"

struct LoadedModule {
  ImportTableRecord* imports = nullptr;
  LinkageRecord* linkage = nullptr;
  // Handed to every gauge with its install notice.
  void* handle = nullptr;
  // The name panel files use for it, the file name without extension.
  std::string name;
};

// An empty path takes the module beside the host program. False with a
// message in `error` when it cannot be loaded or lacks a record.
bool load_module(const std::string& path, LoadedModule& module,
                 std::string& error);
void unload_module(LoadedModule& module);

// Whether this build can load modules other than ours (the native build has
// ours linked in and loads none).
bool loads_other_modules();
// The folder holding the host program, empty when unknown.
std::string host_program_folder();

// The module's file name, for messages and --help.
const char* default_module_file();
