// KERNEL32 as a mapped module and its C runtime's start-up use it: module
// handles and resources, critical sections for a single thread, thread
// slots, page protection and the code-page conversions.
#include <strings.h>
#include <sys/mman.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "host/core/win32/win32.h"

namespace {

constexpr uint32_t kErrorInvalidHandle = 6;
constexpr uint32_t kErrorInvalidParameter = 87;
constexpr uint32_t kErrorInsufficientBuffer = 122;
constexpr uint32_t kErrorModNotFound = 126;
constexpr uint32_t kErrorProcNotFound = 127;
constexpr uint32_t kErrorInvalidAddress = 487;
constexpr uint32_t kErrorNoUnicodeTranslation = 1113;
constexpr uint32_t kErrorResourceNameNotFound = 1814;
constexpr uint32_t kErrorBadLength = 24;

constexpr uint32_t kPageBytes = 0x1000;
constexpr uint32_t kTlsSlots = 64;

// Stands for the host program, which is no mapped module.
const char program_anchor = 0;
void* program_handle() { return const_cast<char*>(&program_anchor); }

uint32_t address_of(const void* pointer) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer));
}

const MappedModule* mapped(const void* handle) {
  return handle == nullptr ? nullptr : win32_find_module(address_of(handle));
}

// A resource name or type as FindResourceA takes it: an identifier below
// 0x10000, "#123", or a text.
struct ResourceKey {
  int64_t id = -1;
  std::string text;
};

ResourceKey resource_key(const char* name) {
  const uintptr_t value = reinterpret_cast<uintptr_t>(name);
  if (value < 0x10000) return {.id = static_cast<int64_t>(value), .text = {}};
  if (name[0] == '#' && name[1] != '\0') {
    int64_t id = 0;
    const char* p = name + 1;
    for (; *p >= '0' && *p <= '9' && id < 0x10000; ++p) id = id * 10 + *p - '0';
    if (*p == '\0' && id < 0x10000) return {.id = id, .text = {}};
  }
  return {.id = -1, .text = name};
}

struct CriticalSection {
  uint32_t debug_info;
  int32_t lock_count;
  int32_t recursion_count;
  uint32_t owning_thread;
  uint32_t lock_semaphore;
  uint32_t spin_count;
};
static_assert(sizeof(CriticalSection) == 24);

constexpr uint32_t kThisThread = 1;

struct MemoryBasicInformation {
  uint32_t base_address;
  uint32_t allocation_base;
  uint32_t allocation_protect;
  uint32_t region_size;
  uint32_t state;
  uint32_t protect;
  uint32_t type;
};
static_assert(sizeof(MemoryBasicInformation) == 28);

constexpr uint32_t kMemCommit = 0x1000;
constexpr uint32_t kMemPrivate = 0x20000;
constexpr uint32_t kMemImage = 0x1000000;

constexpr uint32_t kPageNoAccess = 0x01;
constexpr uint32_t kPageReadOnly = 0x02;
constexpr uint32_t kPageReadWrite = 0x04;
constexpr uint32_t kPageExecuteWriteCopy = 0x80;
constexpr uint32_t kPageModifiers = 0x700;  // guard, no-cache, write-combine

struct ProtectionRow {
  uint32_t page_protection;
  int host_protection;
};

constexpr ProtectionRow kProtections[] = {
    {.page_protection = kPageNoAccess, .host_protection = PROT_NONE},
    {.page_protection = kPageReadOnly, .host_protection = PROT_READ},
    {.page_protection = kPageReadWrite,
     .host_protection = PROT_READ | PROT_WRITE},
    {.page_protection = 0x08, .host_protection = PROT_READ | PROT_WRITE},
    {.page_protection = 0x10, .host_protection = PROT_READ | PROT_EXEC},
    {.page_protection = 0x20, .host_protection = PROT_READ | PROT_EXEC},
    {.page_protection = 0x40,
     .host_protection = PROT_READ | PROT_WRITE | PROT_EXEC},
    {.page_protection = kPageExecuteWriteCopy,
     .host_protection = PROT_READ | PROT_WRITE | PROT_EXEC},
};
static_assert(std::size(kProtections) == 8);

const ProtectionRow* protection_row(uint32_t page_protection) {
  for (const ProtectionRow& row : kProtections)
    if (row.page_protection == (page_protection & ~kPageModifiers)) return &row;
  return nullptr;
}

uint32_t recorded_protection(uint32_t page) {
  const uint32_t protection = win32_page_protection(page);
  return protection == 0 ? kPageReadOnly : protection;
}

// Code pages: the ANSI ones read as Latin-1, which matches 1252 wherever
// the module's texts (ASCII) go.
constexpr uint32_t kCodePageAnsi = 0;
constexpr uint32_t kCodePageOem = 1;
constexpr uint32_t kCodePageThreadAnsi = 3;
constexpr uint32_t kCodePageWestern = 1252;
constexpr uint32_t kCodePageLatin1 = 28591;
constexpr uint32_t kCodePageUtf8 = 65001;
constexpr uint32_t kErrInvalidChars = 0x08;
constexpr uint16_t kReplacement = 0xFFFD;

enum class CodePage { kLatin1, kUtf8, kUnknown };

CodePage code_page_kind(uint32_t code_page) {
  switch (code_page) {
    case kCodePageAnsi:
    case kCodePageOem:
    case kCodePageThreadAnsi:
    case kCodePageWestern:
    case kCodePageLatin1:
      return CodePage::kLatin1;
    case kCodePageUtf8:
      return CodePage::kUtf8;
    default:
      return CodePage::kUnknown;
  }
}

// One UTF-8 sequence at `text` (at most `left` bytes): the code point, or
// -1 for an invalid sequence; `used` the bytes it took.
int32_t decode_utf8(const uint8_t* text, int32_t left, int32_t* used) {
  const uint8_t lead = text[0];
  *used = 1;
  if (lead < 0x80) return lead;
  int32_t length = 0;
  int32_t point = 0;
  int32_t minimum = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, point = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, point = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, point = lead & 0x07, minimum = 0x10000;
  } else {
    return -1;
  }
  for (int32_t i = 1; i < length; ++i) {
    if (i >= left || (text[i] & 0xC0) != 0x80) return -1;
    point = (point << 6) | (text[i] & 0x3F);
    *used = i + 1;
  }
  if (point < minimum || point > 0x10FFFF ||
      (point >= 0xD800 && point < 0xE000))
    return -1;
  return point;
}

// Writes `count` units when there is room, counting them always: the
// conversions size the output and fill it in one pass.
template <typename Unit>
struct Output {
  Unit* out;
  int32_t capacity;  // 0: only count
  int32_t written = 0;
  bool overflow = false;

  void put(Unit unit) {
    if (capacity != 0) {
      if (written >= capacity) {
        overflow = true;
        return;
      }
      out[written] = unit;
    }
    ++written;
  }
};

}  // namespace

namespace kernel32 {

WIN32_API void initialize_critical_section(void* section) {
  if (section == nullptr) return;
  auto* record = static_cast<CriticalSection*>(section);
  *record = {.debug_info = 0,
             .lock_count = -1,
             .recursion_count = 0,
             .owning_thread = 0,
             .lock_semaphore = 0,
             .spin_count = 0};
}

WIN32_API void delete_critical_section(void* section) {
  if (section == nullptr) return;
  *static_cast<CriticalSection*>(section) = {};
}

// One thread only: entering never waits, it only counts.
WIN32_API void enter_critical_section(void* section) {
  if (section == nullptr) return;
  auto* record = static_cast<CriticalSection*>(section);
  ++record->lock_count;
  ++record->recursion_count;
  record->owning_thread = kThisThread;
}

WIN32_API void leave_critical_section(void* section) {
  if (section == nullptr) return;
  auto* record = static_cast<CriticalSection*>(section);
  if (record->recursion_count <= 0) return;
  --record->lock_count;
  if (--record->recursion_count == 0) record->owning_thread = 0;
}

WIN32_API uint32_t get_last_error() { return win32_last_error(); }

WIN32_API void* get_module_handle_a(const char* name) {
  if (name == nullptr) return program_handle();
  const MappedModule* module = win32_find_module_named(name);
  if (module == nullptr) {
    win32_set_last_error(kErrorModNotFound);
    return nullptr;
  }
  return reinterpret_cast<void*>(uintptr_t{module->base});
}

WIN32_API void* get_module_handle_w(const uint16_t* name) {
  if (name == nullptr) return program_handle();
  std::string narrow;
  for (const uint16_t* p = name; *p != 0; ++p)
    narrow.push_back(*p < 0x100 ? static_cast<char>(*p) : '?');
  return get_module_handle_a(narrow.c_str());
}

WIN32_API void* load_library_a(const char* name) {
  if (name == nullptr) {
    win32_set_last_error(kErrorInvalidParameter);
    return nullptr;
  }
  const MappedModule* module = win32_find_module_named(name);
  if (module == nullptr) {
    win32_set_last_error(kErrorModNotFound);
    return nullptr;
  }
  return reinterpret_cast<void*>(uintptr_t{module->base});
}

WIN32_API int32_t free_library(void* module) {
  if (mapped(module) != nullptr || module == program_handle()) return 1;
  win32_set_last_error(kErrorInvalidHandle);
  return 0;
}

// A mapped module exports nothing the runtime asks for: it only probes for
// optional helpers such as libgcc's frame registration.
WIN32_API void* get_proc_address(void* module, const char*) {
  win32_set_last_error(mapped(module) != nullptr || module == program_handle()
                           ? kErrorProcNotFound
                           : kErrorInvalidHandle);
  return nullptr;
}

WIN32_API uint32_t get_module_file_name_a(void* module, char* path,
                                          uint32_t size) {
  const bool program = module == nullptr || module == program_handle();
  if (program && win32_sound_step_fails(SoundStep::kProgramPath)) return 0;
  const MappedModule* found = program ? nullptr : mapped(module);
  if (!program && found == nullptr) {
    win32_set_last_error(kErrorModNotFound);
    return 0;
  }
  const std::string& text = program ? win32_program_path() : found->path;
  if (path == nullptr || size == 0) {
    win32_set_last_error(kErrorInsufficientBuffer);
    return 0;
  }
  if (text.size() >= size) {
    // Truncated to fit, terminator included, and said so.
    std::memcpy(path, text.data(), size - 1);
    path[size - 1] = '\0';
    win32_set_last_error(kErrorInsufficientBuffer);
    return size;
  }
  std::memcpy(path, text.c_str(), text.size() + 1);
  win32_set_last_error(0);
  return static_cast<uint32_t>(text.size());
}

WIN32_API void* find_resource_a(void* module, const char* name,
                                const char* type) {
  const ResourceKey type_key = resource_key(type);
  const bool wave = type_key.id < 0 && type_key.text.size() == 4 &&
                    strncasecmp(type_key.text.c_str(), "WAVE", 4) == 0;
  if (wave && win32_sound_step_fails(SoundStep::kLockResource)) {
    win32_set_last_error(kErrorResourceNameNotFound);
    return nullptr;
  }
  const MappedModule* found = mapped(module);
  const PeResource* resource = nullptr;
  if (found != nullptr) {
    const ResourceKey name_key = resource_key(name);
    resource = win32_find_resource(*found, type_key.id, type_key.text,
                                   name_key.id, name_key.text);
  }
  if (resource == nullptr) {
    if (wave) win32_sound_note_failure();
    win32_set_last_error(kErrorResourceNameNotFound);
    return nullptr;
  }
  return const_cast<PeResource*>(resource);
}

WIN32_API void* load_resource(void*, void* resource) {
  if (win32_resource_from_handle(resource) == nullptr) {
    win32_set_last_error(kErrorInvalidHandle);
    return nullptr;
  }
  return resource;
}

WIN32_API void* lock_resource(void* loaded) {
  const PeResource* resource = win32_resource_from_handle(loaded);
  return resource == nullptr
             ? nullptr
             : reinterpret_cast<void*>(uintptr_t{resource->address});
}

WIN32_API uint32_t sizeof_resource(void*, void* resource) {
  const PeResource* found = win32_resource_from_handle(resource);
  if (found == nullptr) {
    win32_set_last_error(kErrorInvalidHandle);
    return 0;
  }
  return found->bytes;
}

WIN32_API int32_t is_dbcs_lead_byte_ex(uint32_t, uint8_t) { return 0; }

// Never sleeps more than a second: a module waiting on a sound or a
// device must not stall the host.
WIN32_API void sleep(uint32_t milliseconds) {
  if (milliseconds > 1000) milliseconds = 1000;
  timespec wait{.tv_sec = static_cast<time_t>(milliseconds / 1000),
                .tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000};
  while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
  }
}

WIN32_API void* tls_get_value(uint32_t index) {
  if (index >= kTlsSlots) {
    win32_set_last_error(kErrorInvalidParameter);
    return nullptr;
  }
  // A null slot is told from a failure by the last error being 0.
  win32_set_last_error(0);
  if (!win32_thread_block_ready) return nullptr;
  uint32_t value = 0;
  asm volatile("movl %%fs:0xE10(,%1,4), %0" : "=r"(value) : "r"(index));
  return reinterpret_cast<void*>(uintptr_t{value});
}

WIN32_API uint32_t virtual_query(const void* address, void* info,
                                 uint32_t info_bytes) {
  if (info == nullptr) {
    win32_set_last_error(kErrorInvalidParameter);
    return 0;
  }
  if (info_bytes < sizeof(MemoryBasicInformation)) {
    win32_set_last_error(kErrorBadLength);
    return 0;
  }
  const uint32_t page = address_of(address) & ~(kPageBytes - 1);
  MemoryBasicInformation result{.base_address = page,
                                .allocation_base = page,
                                .allocation_protect = kPageReadWrite,
                                .region_size = kPageBytes,
                                .state = kMemCommit,
                                .protect = kPageReadWrite,
                                .type = kMemPrivate};
  if (const MappedModule* module = win32_find_module_containing(page)) {
    // The run of pages from this one on that share its protection.
    const uint64_t end =
        (uint64_t{module->base} + module->size + kPageBytes - 1) &
        ~uint64_t{kPageBytes - 1};
    const uint32_t protection = recorded_protection(page);
    uint64_t next = uint64_t{page} + kPageBytes;
    while (next < end &&
           recorded_protection(static_cast<uint32_t>(next)) == protection)
      next += kPageBytes;
    result = {.base_address = page,
              .allocation_base = module->base,
              .allocation_protect = kPageExecuteWriteCopy,
              .region_size = static_cast<uint32_t>(next - page),
              .state = kMemCommit,
              .protect = protection,
              .type = kMemImage};
  }
  std::memcpy(info, &result, sizeof result);
  return sizeof result;
}

// Only a mapped module's own pages: the module has no business with the
// host's.
WIN32_API int32_t virtual_protect(void* address, uint32_t bytes,
                                  uint32_t protection,
                                  uint32_t* old_protection) {
  const ProtectionRow* row = protection_row(protection);
  if (row == nullptr || old_protection == nullptr || bytes == 0) {
    win32_set_last_error(kErrorInvalidParameter);
    return 0;
  }
  const uint32_t start = address_of(address) & ~(kPageBytes - 1);
  const uint64_t end =
      (uint64_t{address_of(address)} + bytes + kPageBytes - 1) &
      ~uint64_t{kPageBytes - 1};
  const MappedModule* module = win32_find_module_containing(start);
  if (module == nullptr ||
      end > ((uint64_t{module->base} + module->size + kPageBytes - 1) &
             ~uint64_t{kPageBytes - 1})) {
    win32_set_last_error(kErrorInvalidAddress);
    return 0;
  }
  const uint32_t length = static_cast<uint32_t>(end - start);
  if (mprotect(reinterpret_cast<void*>(uintptr_t{start}), length,
               row->host_protection) != 0) {
    win32_set_last_error(kErrorInvalidAddress);
    return 0;
  }
  *old_protection = recorded_protection(start);
  win32_record_protection(start, length, protection);
  return 1;
}

WIN32_API int32_t multi_byte_to_wide_char(uint32_t code_page, uint32_t flags,
                                          const char* text, int32_t text_bytes,
                                          uint16_t* wide, int32_t wide_units) {
  const CodePage kind = code_page_kind(code_page);
  if (kind == CodePage::kUnknown || text == nullptr || text_bytes == 0 ||
      text_bytes < -1 || wide_units < 0 ||
      (wide_units > 0 && wide == nullptr)) {
    win32_set_last_error(kErrorInvalidParameter);
    return 0;
  }
  const int32_t length = text_bytes == -1
                             ? static_cast<int32_t>(std::strlen(text)) + 1
                             : text_bytes;
  const auto* bytes = reinterpret_cast<const uint8_t*>(text);
  Output<uint16_t> output{.out = wide, .capacity = wide_units};
  for (int32_t i = 0; i < length;) {
    if (kind == CodePage::kLatin1) {
      output.put(bytes[i++]);
      continue;
    }
    int32_t used = 0;
    const int32_t point = decode_utf8(bytes + i, length - i, &used);
    i += used;
    if (point < 0) {
      if ((flags & kErrInvalidChars) != 0) {
        win32_set_last_error(kErrorNoUnicodeTranslation);
        return 0;
      }
      output.put(kReplacement);
    } else if (point >= 0x10000) {
      output.put(static_cast<uint16_t>(0xD800 + ((point - 0x10000) >> 10)));
      output.put(static_cast<uint16_t>(0xDC00 + ((point - 0x10000) & 0x3FF)));
    } else {
      output.put(static_cast<uint16_t>(point));
    }
  }
  if (output.overflow) {
    win32_set_last_error(kErrorInsufficientBuffer);
    return 0;
  }
  return output.written;
}

WIN32_API int32_t wide_char_to_multi_byte(uint32_t code_page, uint32_t,
                                          const uint16_t* wide,
                                          int32_t wide_units, char* text,
                                          int32_t text_bytes,
                                          const char* default_char,
                                          int32_t* used_default) {
  const CodePage kind = code_page_kind(code_page);
  if (kind == CodePage::kUnknown || wide == nullptr || wide_units == 0 ||
      wide_units < -1 || text_bytes < 0 ||
      (text_bytes > 0 && text == nullptr) ||
      (kind == CodePage::kUtf8 &&
       (default_char != nullptr || used_default != nullptr))) {
    win32_set_last_error(kErrorInvalidParameter);
    return 0;
  }
  int32_t length = wide_units;
  if (wide_units == -1) {
    length = 1;
    for (const uint16_t* p = wide; *p != 0; ++p) ++length;
  }
  const char substitute = default_char != nullptr ? *default_char : '?';
  if (used_default != nullptr) *used_default = 0;
  Output<char> output{.out = text, .capacity = text_bytes};
  for (int32_t i = 0; i < length; ++i) {
    uint32_t point = wide[i];
    if (kind == CodePage::kLatin1) {
      if (point < 0x100) {
        output.put(static_cast<char>(point));
      } else {
        output.put(substitute);
        if (used_default != nullptr) *used_default = 1;
      }
      continue;
    }
    if (point >= 0xD800 && point < 0xDC00 && i + 1 < length &&
        wide[i + 1] >= 0xDC00 && wide[i + 1] < 0xE000) {
      point = 0x10000 + ((point - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
      ++i;
    } else if (point >= 0xD800 && point < 0xE000) {
      point = kReplacement;
    }
    if (point < 0x80) {
      output.put(static_cast<char>(point));
    } else if (point < 0x800) {
      output.put(static_cast<char>(0xC0 | (point >> 6)));
      output.put(static_cast<char>(0x80 | (point & 0x3F)));
    } else if (point < 0x10000) {
      output.put(static_cast<char>(0xE0 | (point >> 12)));
      output.put(static_cast<char>(0x80 | ((point >> 6) & 0x3F)));
      output.put(static_cast<char>(0x80 | (point & 0x3F)));
    } else {
      output.put(static_cast<char>(0xF0 | (point >> 18)));
      output.put(static_cast<char>(0x80 | ((point >> 12) & 0x3F)));
      output.put(static_cast<char>(0x80 | ((point >> 6) & 0x3F)));
      output.put(static_cast<char>(0x80 | (point & 0x3F)));
    }
  }
  if (output.overflow) {
    win32_set_last_error(kErrorInsufficientBuffer);
    return 0;
  }
  return output.written;
}

}  // namespace kernel32
