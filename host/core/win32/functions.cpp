// The functions and data the host provides to a mapped module, by library
// and name, and the state they share: the modules mapped, the program's
// path, the main window and the last error.
#include <algorithm>
#include <cctype>
#include <map>
#include <memory>

#include "host/core/win32/win32.h"

namespace kernel32 {
WIN32_API void delete_critical_section(void* section);
WIN32_API void enter_critical_section(void* section);
WIN32_API void* find_resource_a(void* module, const char* name,
                                const char* type);
WIN32_API int32_t free_library(void* module);
WIN32_API uint32_t get_last_error();
WIN32_API uint32_t get_module_file_name_a(void* module, char* path,
                                          uint32_t size);
WIN32_API void* get_module_handle_a(const char* name);
WIN32_API void* get_module_handle_w(const uint16_t* name);
WIN32_API void* get_proc_address(void* module, const char* name);
WIN32_API void initialize_critical_section(void* section);
WIN32_API int32_t is_dbcs_lead_byte_ex(uint32_t code_page, uint8_t byte);
WIN32_API void leave_critical_section(void* section);
WIN32_API void* load_library_a(const char* name);
WIN32_API void* load_resource(void* module, void* resource);
WIN32_API void* lock_resource(void* loaded);
WIN32_API int32_t multi_byte_to_wide_char(uint32_t code_page, uint32_t flags,
                                          const char* text, int32_t text_bytes,
                                          uint16_t* wide, int32_t wide_units);
WIN32_API uint32_t sizeof_resource(void* module, void* resource);
WIN32_API void sleep(uint32_t milliseconds);
WIN32_API void* tls_get_value(uint32_t index);
WIN32_API int32_t virtual_protect(void* address, uint32_t bytes,
                                  uint32_t protection,
                                  uint32_t* old_protection);
WIN32_API uint32_t virtual_query(const void* address, void* info,
                                 uint32_t info_bytes);
WIN32_API int32_t wide_char_to_multi_byte(uint32_t code_page, uint32_t flags,
                                          const uint16_t* wide,
                                          int32_t wide_units, char* text,
                                          int32_t text_bytes,
                                          const char* default_char,
                                          int32_t* used_default);
}  // namespace kernel32

namespace msvcrt {
extern int32_t mb_cur_max;
extern unsigned char iob[][32];
WIN32_CRT void amsg_exit(int32_t code);
WIN32_CRT int32_t* errno_location();
WIN32_CRT void initterm(void (**begin)(), void (**end)());
WIN32_CRT void lock(int32_t lock_number);
WIN32_CRT void unlock(int32_t lock_number);
WIN32_CRT void abort();
WIN32_CRT int32_t atoi(const char* text);
WIN32_CRT void* calloc(uint32_t count, uint32_t size);
WIN32_CRT int32_t fputc(int32_t c, void* file);
WIN32_CRT void free(void* block);
WIN32_CRT uint32_t fwrite(const void* data, uint32_t size, uint32_t count,
                          void* file);
WIN32_CRT void* localeconv();
WIN32_CRT void* malloc(uint32_t bytes);
WIN32_CRT void* memcpy(void* to, const void* from, uint32_t bytes);
WIN32_CRT void* memset(void* to, int32_t value, uint32_t bytes);
WIN32_CRT void* realloc(void* block, uint32_t bytes);
WIN32_CRT char* setlocale(int32_t category, const char* locale);
WIN32_CRT char* strchr(const char* text, int32_t c);
WIN32_CRT char* strerror(int32_t number);
WIN32_CRT uint32_t strlen(const char* text);
WIN32_CRT int32_t strncmp(const char* a, const char* b, uint32_t count);
WIN32_CRT int32_t vfprintf(void* file, const char* format,
                           __builtin_va_list args);
WIN32_CRT uint32_t wcslen(const uint16_t* text);
}  // namespace msvcrt

namespace user32 {
WIN32_API void* find_window_a(const char* class_name, const char* title);
}

namespace winmm {
WIN32_API uint32_t mmio_ascend(void* file, void* chunk, uint32_t flags);
WIN32_API uint32_t mmio_close(void* file, uint32_t flags);
WIN32_API uint32_t mmio_descend(void* file, void* chunk, const void* parent,
                                uint32_t flags);
WIN32_API void* mmio_open_a(char* file_name, void* info, uint32_t flags);
WIN32_API int32_t mmio_read(void* file, char* buffer, int32_t bytes);
}  // namespace winmm

namespace dsound {
WIN32_API int32_t direct_sound_create(const void* guid, void** device,
                                      void* outer);
}

bool win32_thread_block_ready = false;

namespace {

struct ProvidedFunction {
  const char* library;
  const char* name;
  const void* address;
};

const ProvidedFunction kProvided[] = {
    {.library = "dsound.dll",
     .name = "DirectSoundCreate",
     .address = reinterpret_cast<const void*>(&dsound::direct_sound_create)},
    {.library = "KERNEL32.dll",
     .name = "DeleteCriticalSection",
     .address =
         reinterpret_cast<const void*>(&kernel32::delete_critical_section)},
    {.library = "KERNEL32.dll",
     .name = "EnterCriticalSection",
     .address =
         reinterpret_cast<const void*>(&kernel32::enter_critical_section)},
    {.library = "KERNEL32.dll",
     .name = "FindResourceA",
     .address = reinterpret_cast<const void*>(&kernel32::find_resource_a)},
    {.library = "KERNEL32.dll",
     .name = "FreeLibrary",
     .address = reinterpret_cast<const void*>(&kernel32::free_library)},
    {.library = "KERNEL32.dll",
     .name = "GetLastError",
     .address = reinterpret_cast<const void*>(&kernel32::get_last_error)},
    {.library = "KERNEL32.dll",
     .name = "GetModuleFileNameA",
     .address =
         reinterpret_cast<const void*>(&kernel32::get_module_file_name_a)},
    {.library = "KERNEL32.dll",
     .name = "GetModuleHandleA",
     .address = reinterpret_cast<const void*>(&kernel32::get_module_handle_a)},
    {.library = "KERNEL32.dll",
     .name = "GetModuleHandleW",
     .address = reinterpret_cast<const void*>(&kernel32::get_module_handle_w)},
    {.library = "KERNEL32.dll",
     .name = "GetProcAddress",
     .address = reinterpret_cast<const void*>(&kernel32::get_proc_address)},
    {.library = "KERNEL32.dll",
     .name = "InitializeCriticalSection",
     .address =
         reinterpret_cast<const void*>(&kernel32::initialize_critical_section)},
    {.library = "KERNEL32.dll",
     .name = "IsDBCSLeadByteEx",
     .address = reinterpret_cast<const void*>(&kernel32::is_dbcs_lead_byte_ex)},
    {.library = "KERNEL32.dll",
     .name = "LeaveCriticalSection",
     .address =
         reinterpret_cast<const void*>(&kernel32::leave_critical_section)},
    {.library = "KERNEL32.dll",
     .name = "LoadLibraryA",
     .address = reinterpret_cast<const void*>(&kernel32::load_library_a)},
    {.library = "KERNEL32.dll",
     .name = "LoadResource",
     .address = reinterpret_cast<const void*>(&kernel32::load_resource)},
    {.library = "KERNEL32.dll",
     .name = "LockResource",
     .address = reinterpret_cast<const void*>(&kernel32::lock_resource)},
    {.library = "KERNEL32.dll",
     .name = "MultiByteToWideChar",
     .address =
         reinterpret_cast<const void*>(&kernel32::multi_byte_to_wide_char)},
    {.library = "KERNEL32.dll",
     .name = "SizeofResource",
     .address = reinterpret_cast<const void*>(&kernel32::sizeof_resource)},
    {.library = "KERNEL32.dll",
     .name = "Sleep",
     .address = reinterpret_cast<const void*>(&kernel32::sleep)},
    {.library = "KERNEL32.dll",
     .name = "TlsGetValue",
     .address = reinterpret_cast<const void*>(&kernel32::tls_get_value)},
    {.library = "KERNEL32.dll",
     .name = "VirtualProtect",
     .address = reinterpret_cast<const void*>(&kernel32::virtual_protect)},
    {.library = "KERNEL32.dll",
     .name = "VirtualQuery",
     .address = reinterpret_cast<const void*>(&kernel32::virtual_query)},
    {.library = "KERNEL32.dll",
     .name = "WideCharToMultiByte",
     .address =
         reinterpret_cast<const void*>(&kernel32::wide_char_to_multi_byte)},
    {.library = "msvcrt.dll",
     .name = "__mb_cur_max",
     .address = &msvcrt::mb_cur_max},
    {.library = "msvcrt.dll",
     .name = "_amsg_exit",
     .address = reinterpret_cast<const void*>(&msvcrt::amsg_exit)},
    {.library = "msvcrt.dll",
     .name = "_errno",
     .address = reinterpret_cast<const void*>(&msvcrt::errno_location)},
    {.library = "msvcrt.dll",
     .name = "_initterm",
     .address = reinterpret_cast<const void*>(&msvcrt::initterm)},
    {.library = "msvcrt.dll", .name = "_iob", .address = &msvcrt::iob},
    {.library = "msvcrt.dll",
     .name = "_lock",
     .address = reinterpret_cast<const void*>(&msvcrt::lock)},
    {.library = "msvcrt.dll",
     .name = "_unlock",
     .address = reinterpret_cast<const void*>(&msvcrt::unlock)},
    {.library = "msvcrt.dll",
     .name = "abort",
     .address = reinterpret_cast<const void*>(&msvcrt::abort)},
    {.library = "msvcrt.dll",
     .name = "atoi",
     .address = reinterpret_cast<const void*>(&msvcrt::atoi)},
    {.library = "msvcrt.dll",
     .name = "calloc",
     .address = reinterpret_cast<const void*>(&msvcrt::calloc)},
    {.library = "msvcrt.dll",
     .name = "fputc",
     .address = reinterpret_cast<const void*>(&msvcrt::fputc)},
    {.library = "msvcrt.dll",
     .name = "free",
     .address = reinterpret_cast<const void*>(&msvcrt::free)},
    {.library = "msvcrt.dll",
     .name = "fwrite",
     .address = reinterpret_cast<const void*>(&msvcrt::fwrite)},
    {.library = "msvcrt.dll",
     .name = "localeconv",
     .address = reinterpret_cast<const void*>(&msvcrt::localeconv)},
    {.library = "msvcrt.dll",
     .name = "malloc",
     .address = reinterpret_cast<const void*>(&msvcrt::malloc)},
    {.library = "msvcrt.dll",
     .name = "memcpy",
     .address = reinterpret_cast<const void*>(&msvcrt::memcpy)},
    {.library = "msvcrt.dll",
     .name = "memset",
     .address = reinterpret_cast<const void*>(&msvcrt::memset)},
    {.library = "msvcrt.dll",
     .name = "realloc",
     .address = reinterpret_cast<const void*>(&msvcrt::realloc)},
    {.library = "msvcrt.dll",
     .name = "setlocale",
     .address = reinterpret_cast<const void*>(&msvcrt::setlocale)},
    {.library = "msvcrt.dll",
     .name = "strchr",
     .address = reinterpret_cast<const void*>(&msvcrt::strchr)},
    {.library = "msvcrt.dll",
     .name = "strerror",
     .address = reinterpret_cast<const void*>(&msvcrt::strerror)},
    {.library = "msvcrt.dll",
     .name = "strlen",
     .address = reinterpret_cast<const void*>(&msvcrt::strlen)},
    {.library = "msvcrt.dll",
     .name = "strncmp",
     .address = reinterpret_cast<const void*>(&msvcrt::strncmp)},
    {.library = "msvcrt.dll",
     .name = "vfprintf",
     .address = reinterpret_cast<const void*>(&msvcrt::vfprintf)},
    {.library = "msvcrt.dll",
     .name = "wcslen",
     .address = reinterpret_cast<const void*>(&msvcrt::wcslen)},
    {.library = "USER32.dll",
     .name = "FindWindowA",
     .address = reinterpret_cast<const void*>(&user32::find_window_a)},
    {.library = "WINMM.DLL",
     .name = "mmioAscend",
     .address = reinterpret_cast<const void*>(&winmm::mmio_ascend)},
    {.library = "WINMM.DLL",
     .name = "mmioClose",
     .address = reinterpret_cast<const void*>(&winmm::mmio_close)},
    {.library = "WINMM.DLL",
     .name = "mmioDescend",
     .address = reinterpret_cast<const void*>(&winmm::mmio_descend)},
    {.library = "WINMM.DLL",
     .name = "mmioOpenA",
     .address = reinterpret_cast<const void*>(&winmm::mmio_open_a)},
    {.library = "WINMM.DLL",
     .name = "mmioRead",
     .address = reinterpret_cast<const void*>(&winmm::mmio_read)},
};
static_assert(sizeof kProvided / sizeof kProvided[0] == 54);

std::string lower(const std::string& text) {
  std::string result = text;
  for (char& c : result)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return result;
}

bool ends_with(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string library_key(const std::string& library) {
  std::string key = lower(library);
  if (ends_with(key, ".dll")) key.resize(key.size() - 4);
  return key;
}

std::string file_name(const std::string& path) {
  const size_t slash = path.find_last_of("\\/:");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Held by pointer so that resource handles stay put while modules come and
// go.
std::vector<std::unique_ptr<MappedModule>>& modules() {
  static std::vector<std::unique_ptr<MappedModule>> mapped;
  return mapped;
}

// Page address to PAGE_* protection.
std::map<uint32_t, uint32_t>& protections() {
  static std::map<uint32_t, uint32_t> pages;
  return pages;
}

constexpr uint32_t kPageBytes = 0x1000;

std::string& program_path() {
  static std::string path = "C:\\corvelain\\corvelain_host.exe";
  return path;
}

bool main_window = false;
uint32_t last_error = 0;

}  // namespace

void* win32_function(const std::string& library, const std::string& name) {
  const std::string key = library_key(library);
  for (const ProvidedFunction& function : kProvided)
    if (library_key(function.library) == key && name == function.name)
      return const_cast<void*>(function.address);
  return nullptr;
}

std::vector<std::string> win32_function_names() {
  std::vector<std::string> names;
  for (const ProvidedFunction& function : kProvided)
    names.push_back(std::string(function.library) + "!" + function.name);
  return names;
}

void win32_add_module(const MappedModule& module) {
  win32_remove_module(module.base);
  modules().push_back(std::make_unique<MappedModule>(module));
}

void win32_remove_module(uint32_t base) {
  auto& mapped = modules();
  for (auto it = mapped.begin(); it != mapped.end(); ++it) {
    if ((*it)->base != base) continue;
    const uint64_t end = uint64_t{base} + (*it)->size;
    auto& pages = protections();
    pages.erase(pages.lower_bound(base),
                end > UINT32_MAX
                    ? pages.end()
                    : pages.lower_bound(static_cast<uint32_t>(end)));
    mapped.erase(it);
    return;
  }
}

const MappedModule* win32_find_module(uint32_t base) {
  for (const auto& module : modules())
    if (module->base == base) return module.get();
  return nullptr;
}

const MappedModule* win32_find_module_containing(uint32_t address) {
  for (const auto& module : modules())
    if (address >= module->base && address - module->base < module->size)
      return module.get();
  return nullptr;
}

// By file name, without regard to case; a name without extension also
// names a ".dll" or ".gau" file.
const MappedModule* win32_find_module_named(const std::string& name) {
  const std::string wanted = lower(file_name(name));
  if (wanted.empty()) return nullptr;
  const bool has_extension = wanted.find('.') != std::string::npos;
  for (const auto& module : modules()) {
    const std::string mapped = lower(file_name(module->path));
    if (mapped == wanted) return module.get();
    if (!has_extension &&
        (mapped == wanted + ".dll" || mapped == wanted + ".gau"))
      return module.get();
  }
  return nullptr;
}

namespace {

bool same_text(const std::string& a, const std::string& b) {
  return lower(a) == lower(b);
}

}  // namespace

const PeResource* win32_find_resource(const MappedModule& module,
                                      int64_t type_id,
                                      const std::string& type_name, int64_t id,
                                      const std::string& name) {
  for (const PeResource& resource : module.resources) {
    const bool type_matches =
        type_id >= 0
            ? resource.type_id == type_id
            : resource.type_id < 0 && same_text(resource.type_name, type_name);
    const bool name_matches =
        id >= 0 ? resource.id == id
                : resource.id < 0 && same_text(resource.name, name);
    if (type_matches && name_matches) return &resource;
  }
  return nullptr;
}

const PeResource* win32_resource_from_handle(const void* handle) {
  if (handle == nullptr) return nullptr;
  for (const auto& module : modules())
    for (const PeResource& resource : module->resources)
      if (&resource == handle) return &resource;
  return nullptr;
}

void win32_record_protection(uint32_t address, uint32_t bytes,
                             uint32_t page_protection) {
  if (bytes == 0) return;
  const uint64_t end = uint64_t{address} + bytes;
  for (uint64_t page = address & ~(kPageBytes - 1); page < end;
       page += kPageBytes)
    protections()[static_cast<uint32_t>(page)] = page_protection;
}

uint32_t win32_page_protection(uint32_t page) {
  const auto& pages = protections();
  const auto found = pages.find(page & ~(kPageBytes - 1));
  return found == pages.end() ? 0 : found->second;
}

void win32_set_program_path(const std::string& path) { program_path() = path; }
const std::string& win32_program_path() { return program_path(); }

void win32_set_main_window(bool exists) { main_window = exists; }
bool win32_main_window_exists() { return main_window; }

void win32_set_last_error(uint32_t error) {
  last_error = error;
  // The module's own code may read it from the thread block too.
  if (win32_thread_block_ready)
    asm volatile("movl %0, %%fs:0x34" : : "r"(error) : "memory");
}

uint32_t win32_last_error() { return last_error; }
