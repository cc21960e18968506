// The Windows functions the linux32 host hands a mapped module, called
// through the addresses the loader binds, with the module's conventions.
#include <gtest/gtest.h>
#include <sys/mman.h>

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <string>
#include <vector>

#include "host/core/win32/win32.h"

namespace {

template <typename Signature>
struct Stdcall;
template <typename R, typename... A>
struct Stdcall<R(A...)> {
  using Type = R(__attribute__((stdcall)) *)(A...);
};

template <typename Signature>
typename Stdcall<Signature>::Type api(const char* library, const char* name) {
  void* address = win32_function(library, name);
  EXPECT_NE(address, nullptr) << library << "!" << name;
  return reinterpret_cast<typename Stdcall<Signature>::Type>(address);
}

template <typename Signature>
Signature* crt(const char* name) {
  void* address = win32_function("msvcrt.dll", name);
  EXPECT_NE(address, nullptr) << name;
  return reinterpret_cast<Signature*>(address);
}

// A COM method by its place in the object's table, `this` first.
template <typename R, typename... A>
R call(void* object, int index, A... arguments) {
  auto* table = *static_cast<void***>(object);
  auto method =
      reinterpret_cast<R(__attribute__((stdcall))*)(void*, A...)>(table[index]);
  return method(object, arguments...);
}

constexpr uint32_t fourcc(const char (&text)[5]) {
  return uint32_t{static_cast<uint8_t>(text[0])} |
         uint32_t{static_cast<uint8_t>(text[1])} << 8 |
         uint32_t{static_cast<uint8_t>(text[2])} << 16 |
         uint32_t{static_cast<uint8_t>(text[3])} << 24;
}

uint32_t address_of(const void* pointer) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer));
}

void* handle_of(uint32_t base) {
  return reinterpret_cast<void*>(uintptr_t{base});
}

// Little-endian RIFF bytes built piece by piece.
struct Block {
  std::vector<uint8_t> bytes;
  Block& word(uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes.push_back(uint8_t(value >> (8 * i)));
    return *this;
  }
  Block& half(uint16_t value) {
    bytes.push_back(uint8_t(value));
    bytes.push_back(uint8_t(value >> 8));
    return *this;
  }
  Block& id(const char (&text)[5]) { return word(fourcc(text)); }
  Block& fill(uint32_t count, uint8_t value) {
    bytes.insert(bytes.end(), count, value);
    return *this;
  }
};

// RIFF WAVE: an odd-sized LIST chunk first, then "fmt " and `data_bytes`
// samples counting up from 1.
Block wave_block(uint32_t data_bytes) {
  Block block;
  block.id("RIFF").word(0).id("WAVE");
  block.id("LIST").word(5).id("INFO").fill(1, 0xEE).fill(1, 0);  // padded
  block.id("fmt ")
      .word(16)
      .half(1)
      .half(1)
      .word(11025)
      .word(11025)
      .half(1)
      .half(8);
  block.id("data").word(data_bytes);
  for (uint32_t i = 0; i < data_bytes; ++i)
    block.bytes.push_back(uint8_t(i + 1));
  if (data_bytes % 2 == 1) block.bytes.push_back(0);
  const uint32_t riff_bytes = uint32_t(block.bytes.size() - 8);
  std::memcpy(block.bytes.data() + 4, &riff_bytes, 4);
  return block;
}

struct MmioInfo {
  uint32_t words[18];
};
static_assert(sizeof(MmioInfo) == 72);
struct ChunkInfo {
  uint32_t id, size, form, data_offset, flags;
};
static_assert(sizeof(ChunkInfo) == 20);

constexpr uint32_t kFindChunk = 0x10;
constexpr uint32_t kFindRiff = 0x20;
constexpr uint32_t kChunkNotFound = 265;

struct Mmio {
  Stdcall<void*(char*, MmioInfo*, uint32_t)>::Type open =
      api<void*(char*, MmioInfo*, uint32_t)>("WINMM.DLL", "mmioOpenA");
  Stdcall<uint32_t(void*, ChunkInfo*, const ChunkInfo*, uint32_t)>::Type
      descend = api<uint32_t(void*, ChunkInfo*, const ChunkInfo*, uint32_t)>(
          "winmm", "mmioDescend");
  Stdcall<uint32_t(void*, ChunkInfo*, uint32_t)>::Type ascend =
      api<uint32_t(void*, ChunkInfo*, uint32_t)>("winmm", "mmioAscend");
  Stdcall<int32_t(void*, char*, int32_t)>::Type read =
      api<int32_t(void*, char*, int32_t)>("winmm", "mmioRead");
  Stdcall<uint32_t(void*, uint32_t)>::Type close =
      api<uint32_t(void*, uint32_t)>("winmm", "mmioClose");

  void* open_memory(std::vector<uint8_t>& bytes) {
    MmioInfo info{};
    info.words[1] = fourcc("MEM ");
    info.words[5] = uint32_t(bytes.size());
    info.words[6] = address_of(bytes.data());
    return open(nullptr, &info, 2);
  }
};

TEST(Win32Functions, ProvidesExactlyTheModuleImports) {
  std::vector<std::string> expected = {
      "dsound.dll!DirectSoundCreate",
      "KERNEL32.dll!DeleteCriticalSection",
      "KERNEL32.dll!EnterCriticalSection",
      "KERNEL32.dll!FindResourceA",
      "KERNEL32.dll!FreeLibrary",
      "KERNEL32.dll!GetLastError",
      "KERNEL32.dll!GetModuleFileNameA",
      "KERNEL32.dll!GetModuleHandleA",
      "KERNEL32.dll!GetModuleHandleW",
      "KERNEL32.dll!GetProcAddress",
      "KERNEL32.dll!InitializeCriticalSection",
      "KERNEL32.dll!IsDBCSLeadByteEx",
      "KERNEL32.dll!LeaveCriticalSection",
      "KERNEL32.dll!LoadLibraryA",
      "KERNEL32.dll!LoadResource",
      "KERNEL32.dll!LockResource",
      "KERNEL32.dll!MultiByteToWideChar",
      "KERNEL32.dll!SizeofResource",
      "KERNEL32.dll!Sleep",
      "KERNEL32.dll!TlsGetValue",
      "KERNEL32.dll!VirtualProtect",
      "KERNEL32.dll!VirtualQuery",
      "KERNEL32.dll!WideCharToMultiByte",
      "msvcrt.dll!__mb_cur_max",
      "msvcrt.dll!_amsg_exit",
      "msvcrt.dll!_errno",
      "msvcrt.dll!_initterm",
      "msvcrt.dll!_iob",
      "msvcrt.dll!_lock",
      "msvcrt.dll!_unlock",
      "msvcrt.dll!abort",
      "msvcrt.dll!atoi",
      "msvcrt.dll!calloc",
      "msvcrt.dll!fputc",
      "msvcrt.dll!free",
      "msvcrt.dll!fwrite",
      "msvcrt.dll!localeconv",
      "msvcrt.dll!malloc",
      "msvcrt.dll!memcpy",
      "msvcrt.dll!memset",
      "msvcrt.dll!realloc",
      "msvcrt.dll!setlocale",
      "msvcrt.dll!strchr",
      "msvcrt.dll!strerror",
      "msvcrt.dll!strlen",
      "msvcrt.dll!strncmp",
      "msvcrt.dll!vfprintf",
      "msvcrt.dll!wcslen",
      "USER32.dll!FindWindowA",
      "WINMM.DLL!mmioAscend",
      "WINMM.DLL!mmioClose",
      "WINMM.DLL!mmioDescend",
      "WINMM.DLL!mmioOpenA",
      "WINMM.DLL!mmioRead",
  };
  std::vector<std::string> provided = win32_function_names();
  std::sort(expected.begin(), expected.end());
  std::sort(provided.begin(), provided.end());
  EXPECT_EQ(provided, expected);

  // Distinct addresses; the library matched without case or ".dll".
  std::vector<void*> addresses;
  for (const std::string& name : provided) {
    const size_t bang = name.find('!');
    addresses.push_back(
        win32_function(name.substr(0, bang), name.substr(bang + 1)));
  }
  std::sort(addresses.begin(), addresses.end());
  EXPECT_EQ(std::adjacent_find(addresses.begin(), addresses.end()),
            addresses.end());
  EXPECT_EQ(win32_function("kernel32", "Sleep"),
            win32_function("KERNEL32.DLL", "Sleep"));
  EXPECT_EQ(win32_function("KERNEL32.dll", "sleep"), nullptr);
  EXPECT_EQ(win32_function("KERNEL32.dll", "ExitProcess"), nullptr);
  EXPECT_EQ(win32_function("gdi32.dll", "Sleep"), nullptr);

  EXPECT_EQ(*static_cast<int32_t*>(win32_function("msvcrt", "__mb_cur_max")),
            1);
}

// --- Modules and resources -------------------------------------------------

struct ModuleFixture : testing::Test {
  static constexpr uint32_t kBase = 0x10000000;
  uint8_t wave[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  uint8_t bitmap[4] = {9, 9, 9, 9};

  void SetUp() override {
    win32_add_module({.base = kBase,
                      .size = 0x20000,
                      .path = "C:\\panel\\Corvelain_Instr.gau",
                      .resources = {
                          {.type_id = -1,
                           .type_name = "WAVE",
                           .id = 301,
                           .name = "",
                           .address = address_of(wave),
                           .bytes = sizeof wave},
                          {.type_id = 2,
                           .type_name = "",
                           .id = -1,
                           .name = "NEEDLE",
                           .address = address_of(bitmap),
                           .bytes = sizeof bitmap},
                      }});
    win32_sound_reset();
  }
  void TearDown() override {
    win32_remove_module(kBase);
    win32_sound_reset();
  }
};

using ModuleHandles = ModuleFixture;

TEST_F(ModuleHandles, ByNameFileAndProgram) {
  auto by_name = api<void*(const char*)>("kernel32", "GetModuleHandleA");
  auto by_wide = api<void*(const uint16_t*)>("kernel32", "GetModuleHandleW");
  auto load = api<void*(const char*)>("kernel32", "LoadLibraryA");
  auto last_error = api<uint32_t()>("kernel32", "GetLastError");
  auto file_name =
      api<uint32_t(void*, char*, uint32_t)>("kernel32", "GetModuleFileNameA");
  auto proc = api<void*(void*, const char*)>("kernel32", "GetProcAddress");
  auto free_library = api<int32_t(void*)>("kernel32", "FreeLibrary");

  for (const char* name : {"Corvelain_Instr.gau", "corvelain_instr",
                           "CORVELAIN_INSTR.GAU", "D:\\x\\corvelain_instr.gau"})
    EXPECT_EQ(by_name(name), handle_of(kBase)) << name;
  for (const char* name :
       {"Corvelain_Instr.dll2", "Corvelain", "kernel32.dll"}) {
    win32_set_last_error(0);
    EXPECT_EQ(by_name(name), nullptr) << name;
    EXPECT_EQ(last_error(), 126u) << name;
  }
  const uint16_t wide_name[] = {'c', 'o', 'r', 'v', 'e', 'l', 'a', 'i',
                                'n', '_', 'i', 'n', 's', 't', 'r', 0};
  EXPECT_EQ(by_wide(wide_name), handle_of(kBase));
  EXPECT_EQ(load("Corvelain_Instr.gau"), handle_of(kBase));
  EXPECT_EQ(load("libgcc_s_dw2-1.dll"), nullptr);
  EXPECT_EQ(last_error(), 126u);

  void* program = by_name(nullptr);
  ASSERT_NE(program, nullptr);
  EXPECT_EQ(by_wide(nullptr), program);
  EXPECT_EQ(win32_find_module(address_of(program)), nullptr);

  char path[64];
  EXPECT_EQ(file_name(handle_of(kBase), path, sizeof path), 28u);
  EXPECT_STREQ(path, "C:\\panel\\Corvelain_Instr.gau");
  win32_set_program_path("C:\\fs9\\fs9.exe");
  EXPECT_EQ(file_name(nullptr, path, sizeof path), 14u);
  EXPECT_STREQ(path, "C:\\fs9\\fs9.exe");
  // Too small: truncated, terminated, the size returned.
  EXPECT_EQ(file_name(program, path, 5), 5u);
  EXPECT_STREQ(path, "C:\\f");
  EXPECT_EQ(last_error(), 122u);
  EXPECT_EQ(file_name(handle_of(0x12345678), path, sizeof path), 0u);
  win32_set_program_path("C:\\corvelain\\corvelain_host.exe");

  EXPECT_EQ(proc(handle_of(kBase), "__register_frame_info"), nullptr);
  EXPECT_EQ(proc(handle_of(kBase), reinterpret_cast<const char*>(7)), nullptr);
  EXPECT_EQ(free_library(handle_of(kBase)), 1);
  EXPECT_EQ(free_library(handle_of(0x12345678)), 0);
}

struct ResourceCase {
  const char* label;
  uintptr_t name;  // an identifier, or the text's address
  uintptr_t type;
  int found;  // 0: none, 1: the recording, 2: the bitmap
};

const char kWave[] = "wave";
const char kHash301[] = "#301";
const char kHash302[] = "#301x";
const char kNeedle[] = "needle";
const char kHash2[] = "#2";

const ResourceCase kResourceCases[] = {
    {.label = "id, text type",
     .name = 301,
     .type = uintptr_t(kWave),
     .found = 1},
    {.label = "#id",
     .name = uintptr_t(kHash301),
     .type = uintptr_t(kWave),
     .found = 1},
    {.label = "#id with junk",
     .name = uintptr_t(kHash302),
     .type = uintptr_t(kWave),
     .found = 0},
    {.label = "other id", .name = 302, .type = uintptr_t(kWave), .found = 0},
    {.label = "text name, id type",
     .name = uintptr_t(kNeedle),
     .type = 2,
     .found = 2},
    {.label = "text name, #id type",
     .name = uintptr_t(kNeedle),
     .type = uintptr_t(kHash2),
     .found = 2},
    {.label = "id for a text name", .name = 301, .type = 2, .found = 0},
    {.label = "text type for an id type",
     .name = uintptr_t(kNeedle),
     .type = uintptr_t(kWave),
     .found = 0},
};

struct Resources : ModuleFixture, testing::WithParamInterface<ResourceCase> {};

TEST_P(Resources, FindLoadLockSize) {
  auto find =
      api<void*(void*, const char*, const char*)>("kernel32", "FindResourceA");
  auto load = api<void*(void*, void*)>("kernel32", "LoadResource");
  auto lock = api<void*(void*)>("kernel32", "LockResource");
  auto size = api<uint32_t(void*, void*)>("kernel32", "SizeofResource");
  auto last_error = api<uint32_t()>("kernel32", "GetLastError");
  const ResourceCase& c = GetParam();
  void* module = handle_of(kBase);
  void* found = find(module, reinterpret_cast<const char*>(c.name),
                     reinterpret_cast<const char*>(c.type));
  if (c.found == 0) {
    EXPECT_EQ(found, nullptr);
    EXPECT_EQ(last_error(), 1814u);
    return;
  }
  ASSERT_NE(found, nullptr);
  void* loaded = load(module, found);
  EXPECT_EQ(lock(loaded), c.found == 1 ? static_cast<void*>(wave) : bitmap);
  EXPECT_EQ(size(module, found), c.found == 1 ? sizeof wave : sizeof bitmap);
}

INSTANTIATE_TEST_SUITE_P(Forms, Resources, testing::ValuesIn(kResourceCases));

TEST_F(ModuleHandles, ResourceHandlesAreChecked) {
  auto find =
      api<void*(void*, const char*, const char*)>("kernel32", "FindResourceA");
  auto load = api<void*(void*, void*)>("kernel32", "LoadResource");
  auto lock = api<void*(void*)>("kernel32", "LockResource");
  auto size = api<uint32_t(void*, void*)>("kernel32", "SizeofResource");
  const char* bitmap_type = reinterpret_cast<const char*>(2);
  EXPECT_EQ(find(nullptr, "NEEDLE", bitmap_type), nullptr);
  EXPECT_EQ(find(handle_of(0x12345678), "NEEDLE", bitmap_type), nullptr);
  EXPECT_EQ(load(handle_of(kBase), wave), nullptr);
  EXPECT_EQ(lock(wave), nullptr);
  EXPECT_EQ(size(handle_of(kBase), nullptr), 0u);
  // Only a recording missing is a failure of the module's sound.
  EXPECT_FALSE(win32_sound_failed());
  EXPECT_EQ(find(nullptr, reinterpret_cast<const char*>(301), "WAVE"), nullptr);
  EXPECT_TRUE(win32_sound_failed());
}

// The pseudo-relocator's use: query the page, make it writable, patch it,
// put the protection back.
TEST(PageProtection, QueryAndProtectAMappedModulePage) {
  auto query =
      api<uint32_t(const void*, void*, uint32_t)>("kernel32", "VirtualQuery");
  auto protect = api<int32_t(void*, uint32_t, uint32_t, uint32_t*)>(
      "kernel32", "VirtualProtect");
  void* pages =
      mmap(nullptr, 0x3000, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(pages, MAP_FAILED);
  const uint32_t base = address_of(pages);
  win32_add_module(
      {.base = base, .size = 0x2800, .path = "m.gau", .resources = {}});
  win32_record_protection(base, 0x1000, 0x02);
  win32_record_protection(base + 0x1000, 0x1800, 0x20);

  uint32_t info[8] = {};
  ASSERT_EQ(query(static_cast<char*>(pages) + 0x1234, info, 28), 28u);
  EXPECT_EQ(info[0], base + 0x1000);  // page
  EXPECT_EQ(info[1], base);           // allocation base
  EXPECT_EQ(info[3], 0x2000u);        // the two executable pages
  EXPECT_EQ(info[4], 0x1000u);        // committed
  EXPECT_EQ(info[5], 0x20u);
  EXPECT_EQ(info[6], 0x1000000u);  // image

  uint32_t old = 0;
  char* patched = static_cast<char*>(pages) + 0x1010;
  ASSERT_EQ(protect(patched, 4, 0x40, &old), 1);
  EXPECT_EQ(old, 0x20u);
  patched[0] = 42;  // writable now
  ASSERT_EQ(query(patched, info, 28), 28u);
  EXPECT_EQ(info[5], 0x40u);
  EXPECT_EQ(info[3], 0x1000u);  // the next page kept its protection
  ASSERT_EQ(protect(patched, 4, old, &old), 1);
  EXPECT_EQ(old, 0x40u);

  // Outside any module: one committed private page; nothing changed there.
  int local = 0;
  ASSERT_EQ(query(&local, info, 28), 28u);
  EXPECT_EQ(info[3], 0x1000u);
  EXPECT_EQ(info[6], 0x20000u);
  EXPECT_EQ(query(patched, info, 27), 0u);
  EXPECT_EQ(protect(&local, 4, 0x40, &old), 0);
  EXPECT_EQ(protect(patched, 4, 0x40, nullptr), 0);
  EXPECT_EQ(protect(patched, 4, 0x03, &old), 0);       // no such protection
  EXPECT_EQ(protect(patched, 0x2000, 0x04, &old), 0);  // runs past the module

  win32_remove_module(base);
  EXPECT_EQ(win32_page_protection(base + 0x1000), 0u);
  munmap(pages, 0x3000);
}

TEST(ThreadAndSections, WithoutTheThreadBlock) {
  auto tls = api<void*(uint32_t)>("kernel32", "TlsGetValue");
  auto last_error = api<uint32_t()>("kernel32", "GetLastError");
  win32_set_last_error(5);
  EXPECT_EQ(tls(3), nullptr);
  EXPECT_EQ(last_error(), 0u);
  EXPECT_EQ(tls(64), nullptr);
  EXPECT_EQ(last_error(), 87u);

  auto init = api<void(void*)>("kernel32", "InitializeCriticalSection");
  auto enter = api<void(void*)>("kernel32", "EnterCriticalSection");
  auto leave = api<void(void*)>("kernel32", "LeaveCriticalSection");
  auto remove = api<void(void*)>("kernel32", "DeleteCriticalSection");
  int32_t section[6];
  std::memset(section, 0x5A, sizeof section);
  init(section);
  EXPECT_EQ(section[1], -1);  // lock count
  enter(section);
  enter(section);  // recursion never blocks
  EXPECT_EQ(section[2], 2);
  leave(section);
  leave(section);
  leave(section);  // one too many: ignored
  EXPECT_EQ(section[1], -1);
  EXPECT_EQ(section[2], 0);
  remove(section);
}

// --- Code pages -----------------------------------------------------------

struct ConversionCase {
  const char* label;
  uint32_t code_page;
  std::string text;  // bytes in that code page
  int32_t text_bytes;
  std::vector<uint16_t> wide;
};

const ConversionCase kConversions[] = {
    {.label = "ACP",
     .code_page = 0,
     .text = "Ab\xE9",
     .text_bytes = 3,
     .wide = {'A', 'b', 0xE9}},
    {.label = "1252 with terminator",
     .code_page = 1252,
     .text = std::string("x\0", 2),
     .text_bytes = -1,
     .wide = {'x', 0}},
    {.label = "UTF-8",
     .code_page = 65001,
     .text = "\xC3\xA9\xE2\x82\xAC",
     .text_bytes = 5,
     .wide = {0xE9, 0x20AC}},
    {.label = "UTF-8 beyond the BMP",
     .code_page = 65001,
     .text = "\xF0\x9F\x98\x80",
     .text_bytes = 4,
     .wide = {0xD83D, 0xDE00}},
};

struct CodePages : testing::TestWithParam<ConversionCase> {};

TEST_P(CodePages, SizeQueryThenBothWays) {
  auto to_wide =
      api<int32_t(uint32_t, uint32_t, const char*, int32_t, uint16_t*,
                  int32_t)>("kernel32", "MultiByteToWideChar");
  auto to_narrow =
      api<int32_t(uint32_t, uint32_t, const uint16_t*, int32_t, char*, int32_t,
                  const char*, int32_t*)>("kernel32", "WideCharToMultiByte");
  auto last_error = api<uint32_t()>("kernel32", "GetLastError");
  const ConversionCase& c = GetParam();
  const int32_t units = int32_t(c.wide.size());
  EXPECT_EQ(to_wide(c.code_page, 0, c.text.data(), c.text_bytes, nullptr, 0),
            units);
  std::vector<uint16_t> wide(units + 1, 0xAAAA);
  EXPECT_EQ(to_wide(c.code_page, 0, c.text.data(), c.text_bytes, wide.data(),
                    units - 1),
            0);
  EXPECT_EQ(last_error(), 122u);
  ASSERT_EQ(to_wide(c.code_page, 0, c.text.data(), c.text_bytes, wide.data(),
                    units + 1),
            units);
  wide.resize(units);
  EXPECT_EQ(wide, c.wide);

  const int32_t bytes =
      int32_t(c.text_bytes == -1 ? c.text.size() : c.text_bytes);
  EXPECT_EQ(to_narrow(c.code_page, 0, wide.data(), units, nullptr, 0, nullptr,
                      nullptr),
            bytes);
  std::string narrow(bytes, '\0');
  EXPECT_EQ(to_narrow(c.code_page, 0, wide.data(), units, narrow.data(),
                      bytes - 1, nullptr, nullptr),
            0);
  EXPECT_EQ(last_error(), 122u);
  ASSERT_EQ(to_narrow(c.code_page, 0, wide.data(), units, narrow.data(), bytes,
                      nullptr, nullptr),
            bytes);
  EXPECT_EQ(narrow, c.text.substr(0, bytes));
}

INSTANTIATE_TEST_SUITE_P(Cases, CodePages, testing::ValuesIn(kConversions));

TEST(CodePageErrors, RefusedAndReplaced) {
  auto to_wide =
      api<int32_t(uint32_t, uint32_t, const char*, int32_t, uint16_t*,
                  int32_t)>("kernel32", "MultiByteToWideChar");
  auto to_narrow =
      api<int32_t(uint32_t, uint32_t, const uint16_t*, int32_t, char*, int32_t,
                  const char*, int32_t*)>("kernel32", "WideCharToMultiByte");
  auto last_error = api<uint32_t()>("kernel32", "GetLastError");
  auto lead = api<int32_t(uint32_t, uint8_t)>("kernel32", "IsDBCSLeadByteEx");
  uint16_t wide[4] = {};
  EXPECT_EQ(to_wide(932, 0, "a", 1, wide, 4), 0);
  EXPECT_EQ(last_error(), 87u);
  EXPECT_EQ(to_wide(65001, 8, "\xC3(", 2, wide, 4), 0);  // invalid, refused
  EXPECT_EQ(last_error(), 1113u);
  EXPECT_EQ(to_wide(65001, 0, "\xC3(", 2, wide, 4), 2);  // invalid, replaced
  EXPECT_EQ(wide[0], 0xFFFD);
  EXPECT_EQ(to_wide(65001, 0, "\xE2\x82", 2, wide, 4), 1);  // cut short
  const uint16_t euro[] = {0x20AC, 'x'};
  char narrow[4] = {};
  int32_t used = 0;
  EXPECT_EQ(to_narrow(1252, 0, euro, 2, narrow, 4, nullptr, &used), 2);
  EXPECT_EQ(std::string(narrow, 2), "?x");
  EXPECT_EQ(used, 1);
  EXPECT_EQ(to_narrow(65001, 0, euro, 2, narrow, 4, nullptr, &used), 0);
  EXPECT_EQ(last_error(), 87u);
  EXPECT_EQ(lead(0, 0x81), 0);
}

// --- The C runtime ----------------------------------------------------------

// The module's own vfprintf: arguments on the stack as Windows lays them.
int32_t print(void* file, const char* format, ...) {
  static auto vfprintf = crt<int32_t(void*, const char*, va_list)>("vfprintf");
  va_list args;
  va_start(args, format);
  const int32_t written = vfprintf(file, format, args);
  va_end(args);
  return written;
}

TEST(CRuntime, StandardErrorStreams) {
  auto* iob = static_cast<uint8_t*>(win32_function("msvcrt", "_iob"));
  void* standard_error = iob + 2 * 32;
  const uint16_t wide_text[] = {'w', 0xE9, 0};
  int ignored = 0;
  testing::internal::CaptureStderr();
  const int32_t written =
      print(standard_error, "%d|%I64d|%5.1f|%s|%ls|%S|%c|%%|%n|%s|%x\n", -7,
            int64_t{1} << 40, 2.25, "txt", wide_text, wide_text, 'q', &ignored,
            static_cast<const char*>(nullptr), 255u);
  auto fwrite = crt<uint32_t(const void*, uint32_t, uint32_t, void*)>("fwrite");
  auto fputc = crt<int32_t(int32_t, void*)>("fputc");
  EXPECT_EQ(fwrite("ab", 1, 2, iob), 2u);
  EXPECT_EQ(fputc('!', iob + 32), '!');
  const std::string output = testing::internal::GetCapturedStderr();
  EXPECT_EQ(output,
            "-7|1099511627776|  2.2|txt|w\xC3\xA9|w\xC3\xA9|q|%||(null)|ff\n"
            "ab!");
  EXPECT_EQ(written, int32_t(output.size() - 3));
  EXPECT_EQ(ignored, 0);

  int other = 0;
  EXPECT_EQ(print(&other, "x"), -1);
  EXPECT_EQ(print(iob + 33, "x"), -1);  // inside a record, not at one
  EXPECT_EQ(fwrite("ab", 1, 2, &other), 0u);
  EXPECT_EQ(fputc('x', &other), EOF);
}

TEST(CRuntime, HeapTextsAndLocale) {
  auto malloc = crt<void*(uint32_t)>("malloc");
  auto calloc = crt<void*(uint32_t, uint32_t)>("calloc");
  auto realloc = crt<void*(void*, uint32_t)>("realloc");
  auto free = crt<void(void*)>("free");
  auto atoi = crt<int32_t(const char*)>("atoi");
  auto setlocale = crt<char*(int32_t, const char*)>("setlocale");
  auto localeconv = crt<char**()>("localeconv");
  auto wcslen = crt<uint32_t(const uint16_t*)>("wcslen");
  auto strncmp = crt<int32_t(const char*, const char*, uint32_t)>("strncmp");
  auto initterm = crt<void(void (**)(), void (**)())>("_initterm");
  auto errno_location = crt<int32_t*()>("_errno");

  EXPECT_EQ(calloc(0x10000, 0x10001), nullptr);
  auto* zeroed = static_cast<uint8_t*>(calloc(3, 5));
  ASSERT_NE(zeroed, nullptr);
  EXPECT_EQ(std::count(zeroed, zeroed + 15, 0), 15);
  zeroed = static_cast<uint8_t*>(realloc(zeroed, 4000));
  ASSERT_NE(zeroed, nullptr);
  free(zeroed);
  void* empty = malloc(0);
  EXPECT_NE(empty, nullptr);
  free(empty);

  const std::pair<const char*, int32_t> numbers[] = {
      {"  42x", 42},
      {"-17", -17},
      {"+8", 8},
      {"abc", 0},
      {"99999999999", INT32_MAX},
      {"-99999999999", INT32_MIN}};
  for (const auto& [text, value] : numbers)
    EXPECT_EQ(atoi(text), value) << text;

  EXPECT_STREQ(setlocale(0, nullptr), "C");
  EXPECT_STREQ(setlocale(0, ""), "C");
  EXPECT_EQ(setlocale(0, "German"), nullptr);
  EXPECT_STREQ(localeconv()[0], ".");
  const uint16_t wide[] = {'a', 0x100, 'c', 0};
  EXPECT_EQ(wcslen(wide), 3u);
  EXPECT_EQ(strncmp("abcX", "abcY", 3), 0);
  EXPECT_GT(strncmp("ab\x80", "ab\x7F", 3), 0);  // bytes compare unsigned
  *errno_location() = 5;
  EXPECT_EQ(*errno_location(), 5);

  static int calls;
  calls = 0;
  void (*table[])() = {nullptr, [] { ++calls; }, nullptr, [] { calls += 10; }};
  initterm(table, table + 4);
  EXPECT_EQ(calls, 11);
  initterm(table + 4, table);  // an empty or reversed range calls nothing
  EXPECT_EQ(calls, 11);
}

TEST(CRuntimeDeathTest, FatalExitsEndTheHost) {
  // Forked, not run afresh: under an emulator the program cannot exec itself.
  GTEST_FLAG_SET(death_test_style, "fast");
  auto amsg_exit = crt<void(int32_t)>("_amsg_exit");
  auto abort = crt<void()>("abort");
  EXPECT_EXIT(amsg_exit(31), testing::ExitedWithCode(3), "_amsg_exit 31");
  EXPECT_EXIT(abort(), testing::ExitedWithCode(3), "abort");
}

TEST(Windows, MainWindowByClass) {
  auto find = api<void*(const char*, const char*)>("user32", "FindWindowA");
  win32_set_main_window(false);
  EXPECT_EQ(find("FS98MAIN", nullptr), nullptr);
  win32_set_main_window(true);
  EXPECT_NE(find("FS98MAIN", nullptr), nullptr);
  EXPECT_EQ(find("fs98main", nullptr), find("FS98MAIN", nullptr));
  EXPECT_EQ(find("MSCFSMAIN", nullptr), nullptr);
  EXPECT_EQ(find(reinterpret_cast<const char*>(0xC000), nullptr), nullptr);
  win32_set_main_window(false);
}

// --- Memory files
// -------------------------------------------------------------

TEST(MemoryFile, WalksARiffWave) {
  win32_sound_reset();
  Mmio mmio;
  std::vector<uint8_t> bytes = wave_block(5).bytes;
  void* file = mmio.open_memory(bytes);
  ASSERT_NE(file, nullptr);

  ChunkInfo riff{
      .id = 0, .size = 0, .form = fourcc("WAVE"), .data_offset = 0, .flags = 0};
  ASSERT_EQ(mmio.descend(file, &riff, nullptr, kFindRiff), 0u);
  EXPECT_EQ(riff.id, fourcc("RIFF"));
  EXPECT_EQ(riff.size, bytes.size() - 8);
  EXPECT_EQ(riff.data_offset, 8u);

  ChunkInfo format{
      .id = fourcc("fmt "), .size = 0, .form = 0, .data_offset = 0, .flags = 0};
  ASSERT_EQ(mmio.descend(file, &format, &riff, kFindChunk), 0u);  // past LIST
  EXPECT_EQ(format.size, 16u);
  EXPECT_EQ(format.data_offset, 12u + 14u + 8u);
  uint16_t fields[8];
  ASSERT_EQ(mmio.read(file, reinterpret_cast<char*>(fields), 16), 16);
  EXPECT_EQ(fields[0], 1);
  EXPECT_EQ(fields[7], 8);
  ASSERT_EQ(mmio.ascend(file, &format, 0), 0u);

  ChunkInfo data{
      .id = fourcc("data"), .size = 0, .form = 0, .data_offset = 0, .flags = 0};
  ASSERT_EQ(mmio.descend(file, &data, &riff, kFindChunk), 0u);
  EXPECT_EQ(data.size, 5u);
  char samples[16] = {};
  EXPECT_EQ(mmio.read(file, samples, 16),
            6);  // the pad byte is the block's end
  EXPECT_EQ(samples[4], 5);
  EXPECT_EQ(mmio.read(file, samples, 16), 0);
  EXPECT_EQ(mmio.read(file, samples, -1), -1);

  // From the start, with no flags: the first chunk, whatever it is.
  ASSERT_EQ(mmio.ascend(file, &riff, 0), 0u);
  ChunkInfo next{};
  EXPECT_EQ(mmio.descend(file, &next, nullptr, 0), kChunkNotFound);

  EXPECT_EQ(mmio.close(file, 0), 0u);
  EXPECT_NE(mmio.close(file, 0), 0u);
  EXPECT_EQ(mmio.read(file, samples, 1), -1);
  EXPECT_EQ(win32_sound_counts().files_opened, 1);
  EXPECT_EQ(win32_sound_counts().files_closed, 1);

  MmioInfo disk{};
  disk.words[1] = fourcc("DOS ");
  EXPECT_EQ(mmio.open(nullptr, &disk, 0), nullptr);
  char name[] = "click.wav";
  EXPECT_EQ(mmio.open(name, nullptr, 0), nullptr);
}

struct HostileCase {
  const char* label;
  Block block;
  bool finds_data;
  int32_t data_read;  // bytes a read of 64 gets from the data chunk
};

// Sizes a resource might carry: none may make a read or a walk leave it.
std::vector<HostileCase> hostile_cases() {
  std::vector<HostileCase> cases;
  auto riff = [] {
    Block b;
    b.id("RIFF").word(0xFFFFFFFF).id("WAVE");
    return b;
  };
  cases.push_back(
      {.label = "odd size that, padded, would wrap to the next chunk",
       .block =
           riff().id("junk").word(0xFFFFFFFF).id("data").word(4).fill(4, 1),
       .finds_data = false,
       .data_read = 0});
  cases.push_back(
      {.label = "size that would wrap back to the RIFF header",
       .block =
           riff().id("junk").word(0xFFFFFFF4).id("data").word(4).fill(4, 1),
       .finds_data = false,
       .data_read = 0});
  cases.push_back({.label = "data larger than the block",
                   .block = riff().id("data").word(0x7FFFFFFF).fill(3, 1),
                   .finds_data = true,
                   .data_read = 3});
  cases.push_back({.label = "header cut short",
                   .block = riff().id("data").fill(2, 0),
                   .finds_data = false,
                   .data_read = 0});
  cases.push_back({.label = "RIFF larger than the block",
                   .block = riff().id("data").word(2).fill(2, 7),
                   .finds_data = true,
                   .data_read = 2});
  Block small;
  small.id("RIFF").word(4).id("WAVE").id("data").word(2).fill(2, 7);
  cases.push_back({.label = "data beyond the RIFF chunk's own size",
                   .block = small,
                   .finds_data = false,
                   .data_read = 0});
  return cases;
}

struct HostileSizes : testing::TestWithParam<HostileCase> {};

TEST_P(HostileSizes, StayInsideTheBlock) {
  Mmio mmio;
  const HostileCase& c = GetParam();
  // The block alone in its pages, ending at an unreadable one.
  const size_t size = c.block.bytes.size();
  auto* pages =
      static_cast<uint8_t*>(mmap(nullptr, 0x2000, PROT_READ | PROT_WRITE,
                                 MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
  ASSERT_NE(pages, MAP_FAILED);
  ASSERT_EQ(mprotect(pages + 0x1000, 0x1000, PROT_NONE), 0);
  uint8_t* start = pages + 0x1000 - size;
  std::memcpy(start, c.block.bytes.data(), size);
  MmioInfo info{};
  info.words[1] = fourcc("MEM ");
  info.words[5] = uint32_t(size);
  info.words[6] = address_of(start);
  void* file = mmio.open(nullptr, &info, 0);
  ASSERT_NE(file, nullptr);
  ChunkInfo riff{
      .id = 0, .size = 0, .form = fourcc("WAVE"), .data_offset = 0, .flags = 0};
  ASSERT_EQ(mmio.descend(file, &riff, nullptr, kFindRiff), 0u);
  ChunkInfo data{
      .id = fourcc("data"), .size = 0, .form = 0, .data_offset = 0, .flags = 0};
  const bool found = mmio.descend(file, &data, &riff, kFindChunk) == 0;
  EXPECT_EQ(found, c.finds_data);
  if (found) {
    char out[64];
    EXPECT_EQ(mmio.read(file, out, sizeof out), c.data_read);
    EXPECT_EQ(mmio.ascend(file, &data, 0), 0u);
    EXPECT_EQ(mmio.read(file, out, sizeof out), 0);
  }
  mmio.close(file, 0);
  munmap(pages, 0x2000);
}

INSTANTIATE_TEST_SUITE_P(Cases, HostileSizes,
                         testing::ValuesIn(hostile_cases()));

// --- DirectSound
// ----------------------------------------------------------------

namespace device {
constexpr int kQueryInterface = 0, kAddRef = 1, kRelease = 2,
              kCreateSoundBuffer = 3, kSetCooperativeLevel = 6,
              kInitialize = 10;
}
namespace buffer {
constexpr int kRelease = 2, kGetVolume = 6, kGetFrequency = 8, kGetStatus = 9,
              kLock = 11, kPlay = 12, kSetCurrentPosition = 13, kSetVolume = 15,
              kSetPan = 16, kSetFrequency = 17, kStop = 18, kUnlock = 19;
}

#pragma pack(push, 2)
struct WaveFormat {
  uint16_t tag, channels;
  uint32_t rate, average;
  uint16_t align, bits, extra;
};
#pragma pack(pop)
static_assert(sizeof(WaveFormat) == 18);

struct BufferDescription {
  uint32_t size, flags, bytes, reserved, format;
  uint8_t algorithm[16];
};
static_assert(sizeof(BufferDescription) == 36);

constexpr int32_t kInvalidParam = int32_t(0x80070057);

struct Sound : testing::Test {
  WaveFormat format{.tag = 1,
                    .channels = 1,
                    .rate = 22050,
                    .average = 22050,
                    .align = 1,
                    .bits = 8,
                    .extra = 0};
  void* device = nullptr;

  void SetUp() override {
    win32_sound_reset();
    auto create = api<int32_t(const void*, void**, void*)>("dsound.dll",
                                                           "DirectSoundCreate");
    ASSERT_EQ(create(nullptr, &device, nullptr), 0);
    ASSERT_EQ(call<int32_t>(device, device::kSetCooperativeLevel,
                            static_cast<void*>(nullptr), uint32_t{1}),
              0);
  }
  void TearDown() override { win32_sound_observe_plays(nullptr, nullptr); }

  int32_t create_buffer(BufferDescription description, void** out) {
    return call<int32_t>(device, device::kCreateSoundBuffer,
                         static_cast<const BufferDescription*>(&description),
                         out, static_cast<void*>(nullptr));
  }
  BufferDescription description(uint32_t bytes) {
    return {.size = 36,
            .flags = 0x80E0,
            .bytes = bytes,
            .reserved = 0,
            .format = address_of(&format),
            .algorithm = {}};
  }
};

TEST_F(Sound, LockWrapsUnlockChecksPlayHandsOverTheBytes) {
  void* sound_buffer = nullptr;
  ASSERT_EQ(create_buffer(description(10), &sound_buffer), 0);
  void* first = nullptr;
  void* second = nullptr;
  uint32_t first_bytes = 0;
  uint32_t second_bytes = 0;
  ASSERT_EQ(
      call<int32_t>(sound_buffer, buffer::kLock, uint32_t{6}, uint32_t{8},
                    &first, &first_bytes, &second, &second_bytes, uint32_t{0}),
      0);
  EXPECT_EQ(first_bytes, 4u);
  EXPECT_EQ(second_bytes, 4u);
  EXPECT_EQ(static_cast<uint8_t*>(first) - static_cast<uint8_t*>(second), 6);
  std::memset(first, 0xBB, first_bytes);
  std::memset(second, 0xAA, second_bytes);
  EXPECT_EQ(call<int32_t>(sound_buffer, buffer::kUnlock, second, second_bytes,
                          first, first_bytes),
            kInvalidParam);
  EXPECT_EQ(call<int32_t>(sound_buffer, buffer::kUnlock, first, first_bytes + 1,
                          second, second_bytes),
            kInvalidParam);
  EXPECT_EQ(call<int32_t>(sound_buffer, buffer::kUnlock, first, first_bytes,
                          second, second_bytes),
            0);
  EXPECT_EQ(call<int32_t>(sound_buffer, buffer::kUnlock, first, first_bytes,
                          second, second_bytes),
            kInvalidParam);  // not locked any more

  ASSERT_EQ(
      call<int32_t>(sound_buffer, buffer::kLock, uint32_t{3}, uint32_t{1},
                    &first, &first_bytes, &second, &second_bytes, uint32_t{2}),
      0);
  EXPECT_EQ(first_bytes, 7u);  // the whole buffer, from the offset round
  EXPECT_EQ(second_bytes, 3u);
  EXPECT_EQ(
      call<int32_t>(sound_buffer, buffer::kLock, uint32_t{10}, uint32_t{1},
                    &first, &first_bytes, &second, &second_bytes, uint32_t{0}),
      kInvalidParam);

  std::vector<uint8_t> heard;
  win32_sound_observe_plays(
      [](void* context, const Win32WaveFormat&, const uint8_t* samples,
         uint32_t bytes) {
        static_cast<std::vector<uint8_t>*>(context)->assign(samples,
                                                            samples + bytes);
      },
      &heard);
  EXPECT_EQ(
      call<int32_t>(sound_buffer, buffer::kSetCurrentPosition, uint32_t{10}),
      kInvalidParam);
  ASSERT_EQ(
      call<int32_t>(sound_buffer, buffer::kSetCurrentPosition, uint32_t{0}), 0);
  ASSERT_EQ(call<int32_t>(sound_buffer, buffer::kPlay, uint32_t{0}, uint32_t{0},
                          uint32_t{0}),
            0);
  EXPECT_EQ(heard, std::vector<uint8_t>(
                       {0xAA, 0xAA, 0xAA, 0xAA, 0, 0, 0xBB, 0xBB, 0xBB, 0xBB}));
  uint32_t status = 9;
  call<int32_t>(sound_buffer, buffer::kGetStatus, &status);
  EXPECT_EQ(status, 0u);  // a single play is over at once
  ASSERT_EQ(call<int32_t>(sound_buffer, buffer::kPlay, uint32_t{0}, uint32_t{0},
                          uint32_t{1}),
            0);
  call<int32_t>(sound_buffer, buffer::kGetStatus, &status);
  EXPECT_EQ(status, 5u);  // playing, looping
  call<int32_t>(sound_buffer, buffer::kStop);
  call<int32_t>(sound_buffer, buffer::kGetStatus, &status);
  EXPECT_EQ(status, 0u);
  EXPECT_EQ(call<int32_t>(sound_buffer, buffer::kPlay, uint32_t{1}, uint32_t{0},
                          uint32_t{0}),
            kInvalidParam);

  EXPECT_EQ(call<uint32_t>(sound_buffer, buffer::kRelease), 0u);
  EXPECT_EQ(call<uint32_t>(device, device::kAddRef), 2u);
  EXPECT_EQ(call<uint32_t>(device, device::kRelease), 1u);
  EXPECT_EQ(call<uint32_t>(device, device::kRelease), 0u);
  const SoundCounts& counts = win32_sound_counts();
  EXPECT_EQ(counts.devices_created, 1);
  EXPECT_EQ(counts.devices_released, 1);
  EXPECT_EQ(counts.buffers_created, 1);
  EXPECT_EQ(counts.buffers_released, 1);
  EXPECT_EQ(counts.plays, 2);
  EXPECT_EQ(counts.resources_locked, 0);
  EXPECT_EQ(counts.blocks_allocated, 0);
}

TEST_F(Sound, ControlsAndInterfaces) {
  void* sound_buffer = nullptr;
  ASSERT_EQ(create_buffer(description(64), &sound_buffer), 0);
  const std::pair<int, int32_t> settings[] = {
      {buffer::kSetVolume, 0},         {buffer::kSetVolume, -10000},
      {buffer::kSetVolume, 1},         {buffer::kSetVolume, -10001},
      {buffer::kSetPan, 10000},        {buffer::kSetPan, 10001},
      {buffer::kSetFrequency, 100},    {buffer::kSetFrequency, 99},
      {buffer::kSetFrequency, 200001}, {buffer::kSetFrequency, 0}};
  for (const auto& [method, value] : settings) {
    const bool in_range =
        value >= (method == buffer::kSetFrequency ? 0 : -10000) &&
        value <= (method == buffer::kSetVolume ? 0 : 10000) &&
        (method != buffer::kSetFrequency || value == 0 ||
         (value >= 100 && value <= 200000));
    EXPECT_EQ(call<int32_t>(sound_buffer, method, value),
              in_range ? 0 : kInvalidParam)
        << method << " " << value;
  }
  int32_t volume = 1;
  uint32_t frequency = 0;
  call<int32_t>(sound_buffer, buffer::kGetVolume, &volume);
  EXPECT_EQ(volume, -10000);
  call<int32_t>(sound_buffer, buffer::kGetFrequency, &frequency);
  EXPECT_EQ(frequency, 22050u);  // 0 is the format's own rate

  // Without the controls asked for, they are unavailable.
  BufferDescription plain = description(64);
  plain.flags = 0;
  void* bare = nullptr;
  ASSERT_EQ(create_buffer(plain, &bare), 0);
  EXPECT_EQ(call<int32_t>(bare, buffer::kSetVolume, int32_t{0}),
            int32_t(0x8878001E));

  const uint8_t unknown_id[16] = {0x01};
  const uint8_t direct_sound_id[16] = {0x83, 0xFA, 0x9A, 0x27, 0x81, 0x49,
                                       0xCE, 0x11, 0xA5, 0x21, 0x00, 0x20,
                                       0xAF, 0x0B, 0xE5, 0x60};
  void* out = &out;
  EXPECT_EQ(call<int32_t>(device, device::kQueryInterface,
                          static_cast<const void*>(unknown_id), &out),
            int32_t(0x80004002));
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(call<int32_t>(device, device::kQueryInterface,
                          static_cast<const void*>(direct_sound_id), &out),
            0);
  EXPECT_EQ(out, device);
  EXPECT_EQ(call<int32_t>(device, device::kInitialize,
                          static_cast<const void*>(nullptr)),
            int32_t(0x88780082));
  call<uint32_t>(bare, buffer::kRelease);
  call<uint32_t>(sound_buffer, buffer::kRelease);
  call<uint32_t>(device, device::kRelease);
  EXPECT_EQ(call<uint32_t>(device, device::kRelease), 0u);
  EXPECT_EQ(win32_sound_counts().devices_released, 1);
  EXPECT_EQ(win32_sound_counts().buffers_released, 2);
}

TEST_F(Sound, BufferDescriptionsChecked) {
  struct Case {
    const char* label;
    uint32_t size, bytes;
    WaveFormat format;
    bool accepted;
  };
  const WaveFormat good = format;
  auto with = [&good](auto change) {
    WaveFormat changed = good;
    change(changed);
    return changed;
  };
  const Case cases[] = {
      {.label = "good",
       .size = 36,
       .bytes = 4,
       .format = good,
       .accepted = true},
      {.label = "DirectX 3 size",
       .size = 20,
       .bytes = 100,
       .format = good,
       .accepted = true},
      {.label = "odd size",
       .size = 32,
       .bytes = 100,
       .format = good,
       .accepted = false},
      {.label = "too small",
       .size = 36,
       .bytes = 3,
       .format = good,
       .accepted = false},
      {.label = "too large",
       .size = 36,
       .bytes = 0x10000000,
       .format = good,
       .accepted = false},
      {.label = "not PCM",
       .size = 36,
       .bytes = 100,
       .format = with([](WaveFormat& f) { f.tag = 2; }),
       .accepted = false},
      {.label = "no channels",
       .size = 36,
       .bytes = 100,
       .format = with([](WaveFormat& f) { f.channels = 0; }),
       .accepted = false},
      {.label = "12 bits",
       .size = 36,
       .bytes = 100,
       .format = with([](WaveFormat& f) { f.bits = 12; }),
       .accepted = false},
      {.label = "block align off",
       .size = 36,
       .bytes = 100,
       .format = with([](WaveFormat& f) { f.align = 2; }),
       .accepted = false},
      {.label = "rate too low",
       .size = 36,
       .bytes = 100,
       .format = with([](WaveFormat& f) { f.rate = 50; }),
       .accepted = false},
  };
  for (const Case& c : cases) {
    format = c.format;
    BufferDescription request = description(c.bytes);
    request.size = c.size;
    void* out = &out;
    const int32_t result = create_buffer(request, &out);
    EXPECT_EQ(result == 0, c.accepted) << c.label;
    EXPECT_EQ(out != nullptr, c.accepted) << c.label;
    if (out != nullptr) call<uint32_t>(out, buffer::kRelease);
  }
  BufferDescription no_format = description(100);
  no_format.format = 0;
  void* out = nullptr;
  EXPECT_EQ(create_buffer(no_format, &out), kInvalidParam);
  EXPECT_TRUE(win32_sound_failed());
  call<uint32_t>(device, device::kRelease);
}

// --- Failing steps
// ------------------------------------------------------------

// The module's sound, step by step as it calls: which step failed, kNone
// when a click was played.
SoundStep load_and_play(uint32_t module, std::vector<uint8_t>* heard) {
  auto file_name =
      api<uint32_t(void*, char*, uint32_t)>("kernel32", "GetModuleFileNameA");
  auto find_window =
      api<void*(const char*, const char*)>("user32", "FindWindowA");
  auto create =
      api<int32_t(const void*, void**, void*)>("dsound", "DirectSoundCreate");
  auto find =
      api<void*(void*, const char*, const char*)>("kernel32", "FindResourceA");
  auto load = api<void*(void*, void*)>("kernel32", "LoadResource");
  auto lock = api<void*(void*)>("kernel32", "LockResource");
  auto size = api<uint32_t(void*, void*)>("kernel32", "SizeofResource");
  auto malloc = crt<void*(uint32_t)>("malloc");
  auto free = crt<void(void*)>("free");
  Mmio mmio;

  // Without its path the module goes on, looking for the default window.
  char path[260];
  const uint32_t length = file_name(nullptr, path, sizeof path);
  SoundStep failed = length == 0 || length >= sizeof path
                         ? SoundStep::kProgramPath
                         : SoundStep::kNone;
  void* window = find_window("FS98MAIN", nullptr);
  void* device = nullptr;
  if (create(nullptr, &device, nullptr) != 0) return SoundStep::kCreateDevice;
  void* resource = nullptr;
  void* file = nullptr;
  void* samples = nullptr;
  void* sound_buffer = nullptr;
  [&] {
    if (call<int32_t>(device, device::kSetCooperativeLevel, window,
                      uint32_t{1}) != 0)
      return void(failed = SoundStep::kCooperativeLevel);
    resource =
        find(handle_of(module), reinterpret_cast<const char*>(301), "WAVE");
    if (resource == nullptr) return void(failed = SoundStep::kLockResource);
    auto* bytes = static_cast<char*>(lock(load(handle_of(module), resource)));
    MmioInfo info{};
    info.words[1] = fourcc("MEM ");
    info.words[5] = size(handle_of(module), resource);
    info.words[6] = address_of(bytes);
    file = mmio.open(nullptr, &info, 2);
    if (file == nullptr) return void(failed = SoundStep::kOpenMemoryFile);
    ChunkInfo riff{.id = 0,
                   .size = 0,
                   .form = fourcc("WAVE"),
                   .data_offset = 0,
                   .flags = 0};
    if (mmio.descend(file, &riff, nullptr, kFindRiff) != 0)
      return void(failed = SoundStep::kDescendRiff);
    ChunkInfo fmt{.id = fourcc("fmt "),
                  .size = 0,
                  .form = 0,
                  .data_offset = 0,
                  .flags = 0};
    if (mmio.descend(file, &fmt, &riff, kFindChunk) != 0)
      return void(failed = SoundStep::kDescendFormat);
    WaveFormat format{};
    if (mmio.read(file, reinterpret_cast<char*>(&format), 16) != 16)
      return void(failed = SoundStep::kReadFormat);
    if (mmio.ascend(file, &fmt, 0) != 0)
      return void(failed = SoundStep::kAscendFormat);
    ChunkInfo data{.id = fourcc("data"),
                   .size = 0,
                   .form = 0,
                   .data_offset = 0,
                   .flags = 0};
    if (mmio.descend(file, &data, &riff, kFindChunk) != 0)
      return void(failed = SoundStep::kDescendData);
    samples = malloc(data.size);
    if (samples == nullptr) return void(failed = SoundStep::kAllocate);
    if (mmio.read(file, static_cast<char*>(samples), int32_t(data.size)) !=
        int32_t(data.size))
      return void(failed = SoundStep::kReadData);
    BufferDescription description{.size = 36,
                                  .flags = 0x80E0,
                                  .bytes = data.size,
                                  .reserved = 0,
                                  .format = address_of(&format),
                                  .algorithm = {}};
    if (call<int32_t>(device, device::kCreateSoundBuffer,
                      static_cast<const BufferDescription*>(&description),
                      &sound_buffer, static_cast<void*>(nullptr)) != 0)
      return void(failed = SoundStep::kCreateBuffer);
    void* first = nullptr;
    uint32_t first_bytes = 0;
    void* second = nullptr;
    uint32_t second_bytes = 0;
    if (call<int32_t>(sound_buffer, buffer::kLock, uint32_t{0}, data.size,
                      &first, &first_bytes, &second, &second_bytes,
                      uint32_t{0}) != 0)
      return void(failed = SoundStep::kLockBuffer);
    std::memcpy(first, samples, first_bytes);
    if (call<int32_t>(sound_buffer, buffer::kUnlock, first, first_bytes, second,
                      second_bytes) != 0)
      return void(failed = SoundStep::kUnlockBuffer);
    if (call<int32_t>(sound_buffer, buffer::kSetCurrentPosition, uint32_t{0}) !=
        0)
      return void(failed = SoundStep::kRewindBuffer);
    win32_sound_observe_plays(
        [](void* context, const Win32WaveFormat&, const uint8_t* played,
           uint32_t bytes) {
          static_cast<std::vector<uint8_t>*>(context)->assign(played,
                                                              played + bytes);
        },
        heard);
    if (call<int32_t>(sound_buffer, buffer::kPlay, uint32_t{0}, uint32_t{0},
                      uint32_t{0}) != 0)
      return void(failed = SoundStep::kPlay);
  }();
  win32_sound_observe_plays(nullptr, nullptr);
  if (file != nullptr) mmio.close(file, 0);
  free(samples);
  if (sound_buffer != nullptr) call<uint32_t>(sound_buffer, buffer::kRelease);
  call<uint32_t>(device, device::kRelease);
  return failed;
}

struct FailingSteps : testing::TestWithParam<SoundStep> {
  static constexpr uint32_t kBase = 0x20000000;
  std::vector<uint8_t> recording = wave_block(7).bytes;

  void SetUp() override {
    win32_add_module({.base = kBase,
                      .size = 0x1000,
                      .path = "Corvelain_Instr.gau",
                      .resources = {{.type_id = -1,
                                     .type_name = "WAVE",
                                     .id = 301,
                                     .name = "",
                                     .address = address_of(recording.data()),
                                     .bytes = uint32_t(recording.size())}}});
    win32_set_main_window(true);
    win32_sound_reset();
  }
  void TearDown() override {
    win32_remove_module(kBase);
    win32_set_main_window(false);
    win32_sound_reset();
  }
};

TEST_F(FailingSteps, NoneFailingPlaysTheRecording) {
  std::vector<uint8_t> heard;
  EXPECT_EQ(load_and_play(kBase, &heard), SoundStep::kNone);
  EXPECT_EQ(heard, std::vector<uint8_t>({1, 2, 3, 4, 5, 6, 7}));
  EXPECT_FALSE(win32_sound_failed());
  const SoundCounts& counts = win32_sound_counts();
  EXPECT_EQ(counts.devices_created, 1);
  EXPECT_EQ(counts.devices_released, 1);
  EXPECT_EQ(counts.buffers_created, 1);
  EXPECT_EQ(counts.buffers_released, 1);
  EXPECT_EQ(counts.files_opened, 1);
  EXPECT_EQ(counts.files_closed, 1);
  EXPECT_EQ(counts.plays, 1);
}

TEST_P(FailingSteps, TheStepMadeToFailFailsEveryTime) {
  const SoundStep step = GetParam();
  ASSERT_TRUE(win32_sound_can_fail(step));
  win32_sound_fail_at(step);
  std::vector<uint8_t> heard;
  EXPECT_EQ(load_and_play(kBase, &heard), step);
  EXPECT_EQ(load_and_play(kBase, &heard), step);
  // The program's path alone is no failure of the sound: the click plays.
  const bool silenced = step != SoundStep::kProgramPath;
  EXPECT_EQ(heard.empty(), silenced);
  EXPECT_EQ(win32_sound_failed(), silenced);
  const SoundCounts& counts = win32_sound_counts();
  EXPECT_EQ(counts.devices_created, counts.devices_released);
  EXPECT_EQ(counts.buffers_created, counts.buffers_released);
  EXPECT_EQ(counts.files_opened, counts.files_closed);
  win32_sound_reset();
  EXPECT_FALSE(win32_sound_failed());
  EXPECT_EQ(load_and_play(kBase, &heard), SoundStep::kNone);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, FailingSteps,
    testing::Values(SoundStep::kProgramPath, SoundStep::kCreateDevice,
                    SoundStep::kCooperativeLevel, SoundStep::kLockResource,
                    SoundStep::kOpenMemoryFile, SoundStep::kDescendRiff,
                    SoundStep::kDescendFormat, SoundStep::kReadFormat,
                    SoundStep::kAscendFormat, SoundStep::kDescendData,
                    SoundStep::kAllocate, SoundStep::kReadData,
                    SoundStep::kCreateBuffer, SoundStep::kLockBuffer,
                    SoundStep::kUnlockBuffer, SoundStep::kRewindBuffer,
                    SoundStep::kPlay));

}  // namespace
