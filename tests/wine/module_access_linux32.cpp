// The module checks in the linux32 build: the host's own loader maps the
// module, and its own Windows functions (the ones the module is bound to)
// find resources, change page protections and stand in for DirectSound. The
// image's PE headers are read here by byte offset, as the checks read the
// records.
#include <algorithm>
#include <array>
#include <cstring>

#include "host/core/loader.h"
#include "host/core/win32/win32.h"
#include "module_access.h"

namespace {

LoadedModule loaded;

uint32_t u32(const uint8_t* at, size_t offset) {
  uint32_t v;
  std::memcpy(&v, at + offset, sizeof v);
  return v;
}
uint16_t u16(const uint8_t* at, size_t offset) {
  uint16_t v;
  std::memcpy(&v, at + offset, sizeof v);
  return v;
}

// PE32 header offsets.
constexpr size_t kNewHeader = 0x3C;
constexpr size_t kSectionCount = 6;
constexpr size_t kOptionalHeaderBytes = 20;
constexpr size_t kOptionalHeader = 24;
constexpr size_t kSizeOfImage = 56;
constexpr size_t kDirectories = 96;
constexpr int kExportDirectory = 0;
constexpr int kImportDirectory = 1;
constexpr int kResourceDirectory = 2;
constexpr int kImportSlotDirectory = 12;
constexpr size_t kSectionHeaderBytes = 40;
constexpr uint32_t kSectionWritable = 0x80000000;
constexpr uint32_t kImportByOrdinal = 0x80000000;
constexpr uint32_t kBitmapType = 2;
constexpr uint32_t kPageReadWrite = 0x04;

const uint8_t* nt_headers(const ModuleImage& image) {
  return image.begin + u32(image.begin, kNewHeader);
}

struct Directory {
  uint32_t address;
  uint32_t size;
};
Directory directory(const ModuleImage& image, int index) {
  const uint8_t* entry =
      nt_headers(image) + kOptionalHeader + kDirectories + 8 * index;
  return {u32(entry, 0), u32(entry, 4)};
}

bool is_identifier(const void* name) {
  return (reinterpret_cast<uintptr_t>(name) >> 16) == 0;
}

// The host's own function the module is bound to.
template <typename Function>
Function kernel32(const char* name) {
  return reinterpret_cast<Function>(win32_function("KERNEL32.dll", name));
}

using FindResourceFunction = void*(MODULE_CALL*)(void* module, const char* name,
                                                 const char* type);
using CreateSoundFunction = int32_t(MODULE_CALL*)(const void* device,
                                                  void** created, void* outer);
using SizeofResourceFunction = uint32_t(MODULE_CALL*)(void* module,
                                                      void* resource);
using LoadResourceFunction = void*(MODULE_CALL*)(void* module, void* resource);
using LockResourceFunction = void*(MODULE_CALL*)(void* loaded);
using VirtualProtectFunction = int32_t(MODULE_CALL*)(void* address,
                                                     uint32_t bytes,
                                                     uint32_t protection,
                                                     uint32_t* old);

FindResourceFunction real_find_resource = nullptr;
CreateSoundFunction real_create_sound = nullptr;

CALLED_BY_MODULE void* find_resource(void* module, const char* name,
                                     const char* type) {
  ++import_watch.calls;
  if (!is_identifier(type) && std::strcmp(type, "WAVE") == 0)
    import_watch.waves_asked.push_back(
        is_identifier(name)
            ? static_cast<int>(reinterpret_cast<uintptr_t>(name))
            : -1);
  return real_find_resource(module, name, type);
}

CALLED_BY_MODULE int32_t create_sound(const void* device, void** created,
                                      void* outer) {
  ++import_watch.calls;
  return real_create_sound(device, created, outer);
}

struct Hook {
  const char* name;
  void* recorder;
  void** real;
};

const Hook kHooks[] = {
    {"FindResourceA", reinterpret_cast<void*>(&find_resource),
     reinterpret_cast<void**>(&real_find_resource)},
    {"DirectSoundCreate", reinterpret_cast<void*>(&create_sound),
     reinterpret_cast<void**>(&real_create_sound)},
};

}  // namespace

ImportWatch import_watch;

void use_plain_newlines() {}

bool open_module(const char* path, ModuleImage& image, std::string& error) {
  if (!load_module(path, loaded, error)) return false;
  image.handle = loaded.handle;
  image.begin = static_cast<const uint8_t*>(loaded.handle);
  image.end =
      image.begin + u32(nt_headers(image), kOptionalHeader + kSizeOfImage);
  return true;
}

bool close_module(ModuleImage& image) {
  unload_module(loaded);
  image = {};
  return true;
}

const uint8_t* module_export(const ModuleImage& image, const char* name) {
  const Directory exports = directory(image, kExportDirectory);
  if (exports.address == 0) return nullptr;
  const uint8_t* table = image.begin + exports.address;
  const uint8_t* functions = image.begin + u32(table, 28);
  const uint8_t* names = image.begin + u32(table, 32);
  const uint8_t* ordinals = image.begin + u32(table, 36);
  for (uint32_t i = 0; i < u32(table, 24); ++i) {
    const char* text =
        reinterpret_cast<const char*>(image.begin + u32(names, 4 * i));
    if (std::strcmp(text, name) == 0)
      return image.begin + u32(functions, 4 * u16(ordinals, 2 * i));
  }
  return nullptr;
}

ResourceNames module_bitmap_names(const ModuleImage& image) {
  ResourceNames names;
  const MappedModule* module = win32_find_module(
      static_cast<uint32_t>(reinterpret_cast<uintptr_t>(image.begin)));
  if (module == nullptr) return names;
  for (const PeResource& resource : module->resources) {
    if (resource.type_id != kBitmapType) continue;
    if (resource.id >= 0)
      names.ids.push_back(static_cast<int32_t>(resource.id));
    else
      names.texts.push_back(resource.name);
  }
  return names;
}

ResourceBytes module_bitmap(const ModuleImage& image, int32_t id) {
  ResourceBytes bytes;
  void* const module = image.handle;
  void* found = kernel32<FindResourceFunction>("FindResourceA")(
      module, reinterpret_cast<const char*>(static_cast<uintptr_t>(id)),
      reinterpret_cast<const char*>(uintptr_t{kBitmapType}));
  if (found == nullptr) return bytes;
  bytes.found = true;
  bytes.size =
      kernel32<SizeofResourceFunction>("SizeofResource")(module, found);
  void* resource =
      kernel32<LoadResourceFunction>("LoadResource")(module, found);
  bytes.data = static_cast<const uint8_t*>(
      resource ? kernel32<LockResourceFunction>("LockResource")(resource)
               : nullptr);
  return bytes;
}

std::vector<WatchedImport> watch_imports(const ModuleImage& image) {
  const auto virtual_protect =
      kernel32<VirtualProtectFunction>("VirtualProtect");
  const Directory imports = directory(image, kImportDirectory);
  std::array<int, std::size(kHooks)> found{};
  uint8_t* const base = const_cast<uint8_t*>(image.begin);
  for (const uint8_t* library = image.begin + imports.address;
       imports.address != 0 && u32(library, 12) != 0; library += 20) {
    const uint8_t* names = image.begin + u32(library, 0);
    uint8_t* slot = base + u32(library, 16);
    for (; u32(names, 0) != 0; names += 4, slot += 4) {
      if (u32(names, 0) & kImportByOrdinal) continue;
      const char* import =
          reinterpret_cast<const char*>(image.begin + u32(names, 0) + 2);
      for (size_t h = 0; h < std::size(kHooks); ++h) {
        if (std::strcmp(import, kHooks[h].name) != 0) continue;
        uint32_t protection = 0;
        virtual_protect(slot, 4, kPageReadWrite, &protection);
        std::memcpy(kHooks[h].real, slot, 4);
        std::memcpy(slot, &kHooks[h].recorder, 4);
        virtual_protect(slot, 4, protection, &protection);
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
  const uint8_t* const nt = nt_headers(image);
  std::vector<Span> spans;
  std::vector<Span> skipped;
  for (int index : {kImportSlotDirectory, kResourceDirectory}) {
    const Directory d = directory(image, index);
    if (d.size != 0) skipped.push_back({image.begin + d.address, d.size});
  }
  std::sort(skipped.begin(), skipped.end(),
            [](const Span& a, const Span& b) { return a.at < b.at; });
  const uint8_t* section = nt + kOptionalHeader + u16(nt, kOptionalHeaderBytes);
  for (int i = 0; i < u16(nt, kSectionCount);
       ++i, section += kSectionHeaderBytes) {
    if ((u32(section, 36) & kSectionWritable) == 0) continue;
    const uint8_t* at = image.begin + u32(section, 12);
    const uint8_t* const end = at + u32(section, 8);
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
  win32_set_main_window(true);
  return true;
}

void close_simulator_window() { win32_set_main_window(false); }
