#include "host/core/loader.h"
#include "module/linkage.h"

bool load_module(const std::string& path, LoadedModule& module,
                 std::string& error) {
  if (!path.empty()) {
    error = "cannot load module " + path +
            ": this build has the module linked in; --module is for the "
            "Windows build";
    return false;
  }
  module.imports = &ImportTable;
  module.linkage = &Linkage;
  module.handle = &Linkage;
  module.name = "Corvelain_Instr";
  return true;
}

void unload_module(LoadedModule& module) { module = {}; }

const char* default_module_file() { return "(linked in)"; }

bool loads_other_modules() { return false; }

std::string host_program_folder() { return {}; }
