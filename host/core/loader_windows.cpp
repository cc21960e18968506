#include <windows.h>

#include <cstdio>
#include <filesystem>

#include "host/core/loader.h"
#include "host/core/module_call.h"
#include "host/files/read_file.h"

namespace {

// What the latest fault inside another module's gauge was, for its note.
char fault_text[256];

// Entered in place of the faulting instruction once the system's exception
// dispatch is over, so that the jump back to the host's call site leaves no
// dispatch half done.
[[noreturn]] __attribute__((force_align_arg_pointer)) void
leave_faulting_call() {
  stop_module_call(*current_stop_point, fault_text);
}

const char* fault_name(DWORD code) {
  switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
      return "Access violation";
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_PRIV_INSTRUCTION:
      return "Illegal instruction";
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
      return "Integer division by zero";
    case EXCEPTION_DATATYPE_MISALIGNMENT:
      return "Misaligned data";
    default:
      return nullptr;  // a stack overflow among them: no stack to go on with
  }
}

// A fault inside another module's gauge stops that gauge alone; any other
// is left to the system, as before.
LONG CALLBACK stop_faulting_gauge(EXCEPTION_POINTERS* info) {
  if (current_stop_point == nullptr) return EXCEPTION_CONTINUE_SEARCH;
  const EXCEPTION_RECORD& record = *info->ExceptionRecord;
  const char* name = fault_name(record.ExceptionCode);
  if (name == nullptr) return EXCEPTION_CONTINUE_SEARCH;
  const uintptr_t address =
      record.ExceptionCode == EXCEPTION_ACCESS_VIOLATION &&
              record.NumberParameters >= 2
          ? record.ExceptionInformation[1]
          : reinterpret_cast<uintptr_t>(record.ExceptionAddress);
  std::snprintf(fault_text, sizeof fault_text,
                "faulted (%s at address 0x%08x) in %s", name,
                static_cast<unsigned>(address),
                current_module_call.what ? current_module_call.what
                                         : "a call of the host");
  CONTEXT& context = *info->ContextRecord;
  // As if called: below the faulting frame, with a return address of none.
  context.Esp = (context.Esp - 64) & ~DWORD(15);
  *reinterpret_cast<DWORD*>(context.Esp) = 0;
  context.Eip =
      static_cast<DWORD>(reinterpret_cast<uintptr_t>(&leave_faulting_call));
  return EXCEPTION_CONTINUE_EXECUTION;
}

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
  static const bool catching =
      AddVectoredExceptionHandler(1, stop_faulting_gauge) != nullptr;
  (void)catching;
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
