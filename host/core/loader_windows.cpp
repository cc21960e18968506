#include <windows.h>

#include <filesystem>

#include "host/core/loader.h"
#include "host/files/read_file.h"

namespace {

std::filesystem::path program_directory() {
  char path[MAX_PATH * 4];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  if (length == 0 || length >= sizeof path) return {};
  return std::filesystem::path(std::string(path, length)).parent_path();
}

}  // namespace

bool load_module(const std::string& path, LoadedModule& module,
                 std::string& error) {
  const std::filesystem::path file =
      path.empty() ? program_directory() / default_module_file()
                   : std::filesystem::path(path);
  // The system's loader reads the file; what it is, is looked at first.
  if (!check_input_file(file.string(), kModuleFile, error)) {
    error = "cannot load module " + error;
    return false;
  }
  HMODULE library = LoadLibraryA(file.string().c_str());
  if (library == nullptr) {
    error = "cannot load module " + file.string() + " (error " +
            std::to_string(GetLastError()) + ")";
    return false;
  }
  auto* imports = reinterpret_cast<ImportTableRecord*>(
      reinterpret_cast<void*>(GetProcAddress(library, "ImportTable")));
  auto* linkage = reinterpret_cast<LinkageRecord*>(
      reinterpret_cast<void*>(GetProcAddress(library, "Linkage")));
  if (imports == nullptr || linkage == nullptr) {
    FreeLibrary(library);
    error = "module " + file.string() + " exports no " +
            (imports == nullptr ? "ImportTable" : "Linkage") + " record";
    return false;
  }
  module.imports = imports;
  module.linkage = linkage;
  module.handle = library;
  module.name = file.stem().string();
  return true;
}

void unload_module(LoadedModule& module) {
  if (module.handle != nullptr)
    FreeLibrary(static_cast<HMODULE>(module.handle));
  module = {};
}

const char* default_module_file() { return "Corvelain_Instr.gau"; }

bool loads_other_modules() { return true; }

std::string host_program_folder() { return program_directory().string(); }
