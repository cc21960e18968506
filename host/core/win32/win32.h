// The Windows functions a gauge module built like ours imports, provided by
// the linux32 host for a module it maps itself: KERNEL32, msvcrt, USER32,
// WINMM's multimedia file services and DirectSound. Nothing else is
// provided; a module asking for more is refused before any of its code runs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/module_file/model.h"
#include "sound/sound_steps.h"

// Windows code keeps the stack only 4-byte aligned, and this build's code
// assumes 16: every function the module calls realigns it on entry. The
// system libraries are stdcall, the C runtime cdecl.
#define WIN32_API __attribute__((stdcall, force_align_arg_pointer))
#define WIN32_CRT __attribute__((cdecl, force_align_arg_pointer))

// The host's own LIBRARY!NAME, the library matched without regard to case
// and with or without ".dll"; null when it is not provided.
void* win32_function(const std::string& library, const std::string& name);
// Every function provided, as "LIBRARY!NAME".
std::vector<std::string> win32_function_names();

// A module as mapped: its handle is its base address. Resource addresses
// are those of the mapped image.
struct MappedModule {
  uint32_t base = 0;
  uint32_t size = 0;
  std::string path;
  std::vector<PeResource> resources;
};
void win32_add_module(const MappedModule& module);
void win32_remove_module(uint32_t base);
const MappedModule* win32_find_module(uint32_t base);

// The resource of the given type and name in a mapped module: identifiers
// (id >= 0) or texts, compared as FindResourceA compares them. Null when
// there is none.
const PeResource* win32_find_resource(const MappedModule& module,
                                      int64_t type_id,
                                      const std::string& type_name, int64_t id,
                                      const std::string& name);

// What GetModuleFileNameA(NULL, ...) answers: the host program's path.
void win32_set_program_path(const std::string& path);
// Whether the simulator's main window ("FS98MAIN") exists for FindWindowA.
void win32_set_main_window(bool exists);

// The calling thread's last error, as GetLastError reads it.
void win32_set_last_error(uint32_t error);

// Set by the loader once the thread information block is in place at fs:
// until then TlsGetValue answers 0 and the last error is not mirrored there.
extern bool win32_thread_block_ready;
// The Windows page protection (PAGE_*) the loader gave a mapped range, as
// VirtualQuery reports it until VirtualProtect changes it.
void win32_record_protection(uint32_t address, uint32_t bytes,
                             uint32_t page_protection);

// The DirectSound device and buffers handed to the module, and the steps of
// its sound that can be made to fail.
void win32_sound_reset();
void win32_sound_fail_at(SoundStep step);
bool win32_sound_can_fail(SoundStep step);
const SoundCounts& win32_sound_counts();
// Whether any sound call failed, made to or not, since the last reset.
bool win32_sound_failed();
#pragma pack(push, 2)
// WAVEFORMATEX, as a buffer's description points at it.
struct Win32WaveFormat {
  uint16_t format_tag;
  uint16_t channels;
  uint32_t samples_per_second;
  uint32_t average_bytes_per_second;
  uint16_t block_align;
  uint16_t bits_per_sample;
  uint16_t extra_bytes;
};
#pragma pack(pop)
static_assert(sizeof(Win32WaveFormat) == 18);
// Called on every successful Play with the format the buffer was created
// with and the bytes it holds.
using Win32PlayObserver = void (*)(void* context, const Win32WaveFormat& format,
                                   const uint8_t* samples, uint32_t bytes);
void win32_sound_observe_plays(Win32PlayObserver observer, void* context);

// Shared by the provided functions' own files.
uint32_t win32_last_error();
const std::string& win32_program_path();
bool win32_main_window_exists();
const MappedModule* win32_find_module_named(const std::string& name);
const MappedModule* win32_find_module_containing(uint32_t address);
// A resource handle as FindResourceA gave it; null when it is none.
const PeResource* win32_resource_from_handle(const void* handle);
// 0 for a page in no recorded range.
uint32_t win32_page_protection(uint32_t page);
// Whether `step` is made to fail now; a failing step counts as a failure,
// but for the program's path, which the module does without.
bool win32_sound_step_fails(SoundStep step);
void win32_sound_note_failure();
void win32_sound_count(int32_t SoundCounts::*counter);
// Whether this allocation is the samples' block the sound loader allocates
// after finding a memory file's "data" chunk; asks once per such chunk.
bool win32_sound_take_allocation();
