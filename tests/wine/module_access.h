// What the module checks need from the platform, in plain types: loading the
// real module, its exports and bitmaps, watching its own calls of
// FindResourceA and DirectSoundCreate, and its writable data. The Windows
// build does it with the system's loader; the linux32 build with the host's
// own loader and Windows functions. Nothing here describes the module's
// records, so the checks still read them by byte offset alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Both ways between the module and here use the Windows calling
// convention: MODULE_CALL for the module's (and Windows') functions called
// from here, CALLED_BY_MODULE for functions here the module calls (service
// table entries, recorders). The module keeps its stack only 4-byte aligned,
// which the linux32 build's code does not assume, so there the latter realign
// it.
#ifdef _WIN32
#define MODULE_CALL __stdcall
#define CALLED_BY_MODULE __stdcall
#else
#define MODULE_CALL __attribute__((stdcall))
#define CALLED_BY_MODULE __attribute__((stdcall, force_align_arg_pointer))
#endif

// Byte-exact standard output: the closing line is read by machines.
void use_plain_newlines();

struct ModuleImage {
  // The image as mapped, SizeOfImage bytes from its base.
  const uint8_t* begin = nullptr;
  const uint8_t* end = nullptr;
  // What the module's gauges are handed with their install notice.
  void* handle = nullptr;
};

// False with the reason in `error`.
bool open_module(const char* path, ModuleImage& image, std::string& error);
// False when unloading failed.
bool close_module(ModuleImage& image);

// Null when the module exports no such name.
const uint8_t* module_export(const ModuleImage& image, const char* name);

// The module's BITMAP resources: those named by number, and the texts of
// those named by text, in the order the module lists them.
struct ResourceNames {
  std::vector<int32_t> ids;
  std::vector<std::string> texts;
};
ResourceNames module_bitmap_names(const ModuleImage& image);

// A BITMAP resource found and loaded as the module itself would.
struct ResourceBytes {
  bool found = false;
  const uint8_t* data = nullptr;  // null when it cannot be loaded
  uint32_t size = 0;
};
ResourceBytes module_bitmap(const ModuleImage& image, int32_t id);

// The module's own calls of the watched imports since the last clear.
struct ImportWatch {
  int calls = 0;
  // WAVE resources asked of FindResourceA; -1 for one named by text.
  std::vector<int> waves_asked;
};
extern ImportWatch import_watch;

struct WatchedImport {
  const char* name;
  int slots;  // how many import slots of the module name it
};
// Points the module's import slots of FindResourceA and DirectSoundCreate
// at recorders that then call the real functions.
std::vector<WatchedImport> watch_imports(const ModuleImage& image);

// The module's writable data: its sections marked writable, less the import
// slots (watched here) and the resources (the linker marks them writable;
// the module only reads them).
struct Span {
  const uint8_t* at;
  size_t bytes;
};
std::vector<Span> module_writable_spans(const ModuleImage& image);

// The simulator's main window, which the module's sound engine looks for.
bool open_simulator_window();
void close_simulator_window();
