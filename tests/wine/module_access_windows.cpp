// The module checks on Windows: the system's loader, resources and
// DirectSound.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "module_access.h"

namespace {

HMODULE module_of(const ModuleImage& image) {
  return static_cast<HMODULE>(image.handle);
}

const IMAGE_NT_HEADERS* nt_headers(const ModuleImage& image) {
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.begin);
  return reinterpret_cast<const IMAGE_NT_HEADERS*>(image.begin + dos->e_lfanew);
}

BOOL CALLBACK collect(HMODULE, LPCSTR, LPSTR name, LONG_PTR found) {
  auto* names = reinterpret_cast<ResourceNames*>(found);
  if (IS_INTRESOURCE(name))
    names->ids.push_back(
        static_cast<int32_t>(reinterpret_cast<uintptr_t>(name)));
  else
    names->texts.emplace_back(name);
  return TRUE;
}

void* real_find_resource = nullptr;
void* real_create_sound = nullptr;

HRSRC WINAPI find_resource(HMODULE module, LPCSTR name, LPCSTR type) {
  ++import_watch.calls;
  if (!IS_INTRESOURCE(type) && std::strcmp(type, "WAVE") == 0)
    import_watch.waves_asked.push_back(
        IS_INTRESOURCE(name)
            ? static_cast<int>(reinterpret_cast<uintptr_t>(name))
            : -1);
  return reinterpret_cast<decltype(&find_resource)>(real_find_resource)(
      module, name, type);
}

HRESULT WINAPI create_sound(const GUID* device, void** created, void* outer) {
  ++import_watch.calls;
  return reinterpret_cast<decltype(&create_sound)>(real_create_sound)(
      device, created, outer);
}

struct Hook {
  const char* name;
  void* recorder;
  void** real;
};

const Hook kHooks[] = {
    {"FindResourceA", reinterpret_cast<void*>(&find_resource),
     &real_find_resource},
    {"DirectSoundCreate", reinterpret_cast<void*>(&create_sound),
     &real_create_sound},
};

HWND simulator_window = nullptr;

}  // namespace

ImportWatch import_watch;

void use_plain_newlines() { _setmode(_fileno(stdout), _O_BINARY); }

bool open_module(const char* path, ModuleImage& image, std::string& error) {
  const HMODULE module = LoadLibraryA(path);
  if (module == nullptr) {
    error = "error " + std::to_string(GetLastError());
    return false;
  }
  image.handle = module;
  image.begin = reinterpret_cast<const uint8_t*>(module);
  image.end = image.begin + nt_headers(image)->OptionalHeader.SizeOfImage;
  return true;
}

bool close_module(ModuleImage& image) {
  const bool freed = FreeLibrary(module_of(image)) != 0;
  image = {};
  return freed;
}

const uint8_t* module_export(const ModuleImage& image, const char* name) {
  return reinterpret_cast<const uint8_t*>(
      reinterpret_cast<uintptr_t>(GetProcAddress(module_of(image), name)));
}

ResourceNames module_bitmap_names(const ModuleImage& image) {
  ResourceNames names;
  EnumResourceNamesA(module_of(image), reinterpret_cast<LPCSTR>(RT_BITMAP),
                     collect, reinterpret_cast<LONG_PTR>(&names));
  return names;
}

ResourceBytes module_bitmap(const ModuleImage& image, int32_t id) {
  const HMODULE module = module_of(image);
  ResourceBytes bytes;
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id),
                              reinterpret_cast<LPCSTR>(RT_BITMAP));
  if (found == nullptr) return bytes;
  bytes.found = true;
  bytes.size = SizeofResource(module, found);
  HGLOBAL loaded = LoadResource(module, found);
  bytes.data =
      static_cast<const uint8_t*>(loaded ? LockResource(loaded) : nullptr);
  return bytes;
}

std::vector<WatchedImport> watch_imports(const ModuleImage& image) {
  const IMAGE_DATA_DIRECTORY& imports =
      nt_headers(image)
          ->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  std::array<int, std::size(kHooks)> found{};
  const auto* library = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(
      image.begin + imports.VirtualAddress);
  for (; imports.VirtualAddress != 0 && library->Name != 0; ++library) {
    const auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(
        image.begin + library->OriginalFirstThunk);
    auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(
        const_cast<uint8_t*>(image.begin) + library->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slot) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const auto* import = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(
          image.begin + names->u1.AddressOfData);
      for (size_t h = 0; h < std::size(kHooks); ++h) {
        if (std::strcmp(reinterpret_cast<const char*>(import->Name),
                        kHooks[h].name) != 0)
          continue;
        DWORD protection = 0;
        VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection);
        *kHooks[h].real = reinterpret_cast<void*>(slot->u1.Function);
        slot->u1.Function = reinterpret_cast<uintptr_t>(kHooks[h].recorder);
        VirtualProtect(slot, sizeof *slot, protection, &protection);
        ++found[h];
      }
    }
  }
  std::vector<WatchedImport> watched;
  for (size_t h = 0; h < std::size(kHooks); ++h)
    watched.push_back({kHooks[h].name, found[h]});
  return watched;
}

std::vector<Span> module_writable_spans(const ModuleImage& image) {
  const IMAGE_NT_HEADERS* nt = nt_headers(image);
  std::vector<Span> spans;
  std::vector<Span> skipped;
  for (int directory :
       {IMAGE_DIRECTORY_ENTRY_IAT, IMAGE_DIRECTORY_ENTRY_RESOURCE}) {
    const IMAGE_DATA_DIRECTORY& d = nt->OptionalHeader.DataDirectory[directory];
    if (d.Size != 0)
      skipped.push_back({image.begin + d.VirtualAddress, d.Size});
  }
  std::sort(skipped.begin(), skipped.end(),
            [](const Span& a, const Span& b) { return a.at < b.at; });
  const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
  for (int i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
    if ((section->Characteristics & IMAGE_SCN_MEM_WRITE) == 0) continue;
    const uint8_t* at = image.begin + section->VirtualAddress;
    const uint8_t* const end = at + section->Misc.VirtualSize;
    for (const Span& skip : skipped) {
      if (skip.at + skip.bytes <= at || skip.at >= end) continue;
      if (skip.at > at) spans.push_back({at, size_t(skip.at - at)});
      at = std::min(end, skip.at + skip.bytes);
    }
    if (at < end) spans.push_back({at, size_t(end - at)});
  }
  return spans;
}

bool open_simulator_window() {
  WNDCLASSA window_class{};
  window_class.lpfnWndProc = DefWindowProcA;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.lpszClassName = "FS98MAIN";
  RegisterClassA(&window_class);
  simulator_window =
      CreateWindowA("FS98MAIN", "layout_check", WS_OVERLAPPEDWINDOW, 0, 0, 320,
                    200, nullptr, nullptr, window_class.hInstance, nullptr);
  return simulator_window != nullptr;
}

void close_simulator_window() {
  DestroyWindow(simulator_window);
  simulator_window = nullptr;
}
