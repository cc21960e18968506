// The module's import slots of DirectSoundCreate and FindResourceA point at
// recorders here that call the real functions (as the layout check does).
// Every device and buffer DirectSound hands the module is wrapped in a proxy
// that forwards each call to the real object, counts the module's final
// release and fails the step it is told to, without calling the real one.
// A buffer's proxy keeps a copy of what the module writes into it, so that
// each play can be told with the buffer's format and bytes.
#include <dsound.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "host/validate/sound_watch.h"

namespace {

struct WatchState {
  SoundStep failing = SoundStep::kNone;
  SoundCounts counts;
  // A failure silences the module until it is loaded afresh.
  bool failed_since_load = false;
};

WatchState state;

struct Watcher {
  SoundPlayObserver observer = nullptr;
  void* context = nullptr;
};

// Outside the state: attaching starts the state afresh, not the watcher.
Watcher watcher;

bool fails(SoundStep step) {
  if (state.failing != step) return false;
  state.failed_since_load = true;
  return true;
}

HRESULT noted(HRESULT result) {
  if (FAILED(result)) state.failed_since_load = true;
  return result;
}

class BufferProxy final : public IDirectSoundBuffer {
 public:
  BufferProxy(IDirectSoundBuffer* real, const DSBUFFERDESC& description)
      : real_(real), copy_(description.dwBufferBytes) {
    ++state.counts.buffers_created;
    // A primary buffer has no format of its own.
    if (description.lpwfxFormat == nullptr) return;
    const WAVEFORMATEX& f = *description.lpwfxFormat;
    format_ = {.format_tag = f.wFormatTag,
               .channels = f.nChannels,
               .samples_per_second = f.nSamplesPerSec,
               .bytes_per_second = f.nAvgBytesPerSec,
               .block_align = f.nBlockAlign,
               .bits_per_sample = f.wBitsPerSample};
  }

  // The module asks for no other interface; one it did would reach the real
  // object uncounted.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
    return real_->QueryInterface(id, object);
  }
  ULONG STDMETHODCALLTYPE AddRef() override {
    real_->AddRef();
    return ++references_;
  }
  ULONG STDMETHODCALLTYPE Release() override {
    real_->Release();
    if (--references_ != 0) return references_;
    ++state.counts.buffers_released;
    delete this;
    return 0;
  }
  HRESULT STDMETHODCALLTYPE GetCaps(LPDSBCAPS caps) override {
    return real_->GetCaps(caps);
  }
  HRESULT STDMETHODCALLTYPE GetCurrentPosition(LPDWORD play,
                                               LPDWORD write) override {
    return real_->GetCurrentPosition(play, write);
  }
  HRESULT STDMETHODCALLTYPE GetFormat(LPWAVEFORMATEX format, DWORD size,
                                      LPDWORD written) override {
    return real_->GetFormat(format, size, written);
  }
  HRESULT STDMETHODCALLTYPE GetVolume(LPLONG volume) override {
    return real_->GetVolume(volume);
  }
  HRESULT STDMETHODCALLTYPE GetPan(LPLONG pan) override {
    return real_->GetPan(pan);
  }
  HRESULT STDMETHODCALLTYPE GetFrequency(LPDWORD frequency) override {
    return real_->GetFrequency(frequency);
  }
  HRESULT STDMETHODCALLTYPE GetStatus(LPDWORD status) override {
    return real_->GetStatus(status);
  }
  // The real object would take a device proxy for its own kind; the module
  // never initialises a buffer DirectSound created.
  HRESULT STDMETHODCALLTYPE Initialize(LPDIRECTSOUND,
                                       LPCDSBUFFERDESC) override {
    return DSERR_ALREADYINITIALIZED;
  }
  HRESULT STDMETHODCALLTYPE Lock(DWORD offset, DWORD bytes, LPVOID* first,
                                 LPDWORD first_bytes, LPVOID* second,
                                 LPDWORD second_bytes, DWORD flags) override {
    if (fails(SoundStep::kLockBuffer)) return DSERR_GENERIC;
    const HRESULT result = noted(real_->Lock(offset, bytes, first, first_bytes,
                                             second, second_bytes, flags));
    lock_offset_ = offset;
    if ((flags & DSBLOCK_ENTIREBUFFER) != 0) lock_offset_ = 0;
    if ((flags & DSBLOCK_FROMWRITECURSOR) != 0) {
      DWORD play = 0;
      if (FAILED(real_->GetCurrentPosition(&play, &lock_offset_)))
        lock_offset_ = 0;
    }
    return result;
  }
  HRESULT STDMETHODCALLTYPE Play(DWORD reserved1, DWORD reserved2,
                                 DWORD flags) override {
    if (fails(SoundStep::kPlay)) return DSERR_GENERIC;
    const HRESULT result = noted(real_->Play(reserved1, reserved2, flags));
    if (SUCCEEDED(result)) {
      ++state.counts.plays;
      if (watcher.observer != nullptr)
        watcher.observer(watcher.context,
                         {.format = format_, .samples = copy_});
    }
    return result;
  }
  HRESULT STDMETHODCALLTYPE SetCurrentPosition(DWORD position) override {
    if (fails(SoundStep::kRewindBuffer)) return DSERR_GENERIC;
    return noted(real_->SetCurrentPosition(position));
  }
  HRESULT STDMETHODCALLTYPE SetFormat(LPCWAVEFORMATEX format) override {
    return real_->SetFormat(format);
  }
  HRESULT STDMETHODCALLTYPE SetVolume(LONG volume) override {
    return real_->SetVolume(volume);
  }
  HRESULT STDMETHODCALLTYPE SetPan(LONG pan) override {
    return real_->SetPan(pan);
  }
  HRESULT STDMETHODCALLTYPE SetFrequency(DWORD frequency) override {
    return real_->SetFrequency(frequency);
  }
  HRESULT STDMETHODCALLTYPE Stop() override { return real_->Stop(); }
  HRESULT STDMETHODCALLTYPE Unlock(LPVOID first, DWORD first_bytes,
                                   LPVOID second, DWORD second_bytes) override {
    if (fails(SoundStep::kUnlockBuffer)) return DSERR_GENERIC;
    // The regions as they are handed back, the second wrapped to the start.
    keep(lock_offset_, first, first_bytes);
    keep(0, second, second_bytes);
    return noted(real_->Unlock(first, first_bytes, second, second_bytes));
  }
  HRESULT STDMETHODCALLTYPE Restore() override { return real_->Restore(); }

 private:
  void keep(DWORD offset, const void* region, DWORD bytes) {
    if (region == nullptr || offset >= copy_.size()) return;
    const size_t kept = std::min<size_t>(bytes, copy_.size() - offset);
    std::memcpy(copy_.data() + offset, region, kept);
  }

  IDirectSoundBuffer* real_;
  ULONG references_ = 1;
  SoundFormat format_;
  std::vector<uint8_t> copy_;
  DWORD lock_offset_ = 0;
};

class DeviceProxy final : public IDirectSound {
 public:
  explicit DeviceProxy(IDirectSound* real) : real_(real) {
    ++state.counts.devices_created;
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
    return real_->QueryInterface(id, object);
  }
  ULONG STDMETHODCALLTYPE AddRef() override {
    real_->AddRef();
    return ++references_;
  }
  ULONG STDMETHODCALLTYPE Release() override {
    real_->Release();
    if (--references_ != 0) return references_;
    ++state.counts.devices_released;
    delete this;
    return 0;
  }
  HRESULT STDMETHODCALLTYPE CreateSoundBuffer(LPCDSBUFFERDESC description,
                                              LPLPDIRECTSOUNDBUFFER buffer,
                                              IUnknown* outer) override {
    if (fails(SoundStep::kCreateBuffer)) {
      if (buffer != nullptr) *buffer = nullptr;
      return DSERR_GENERIC;
    }
    const HRESULT result =
        noted(real_->CreateSoundBuffer(description, buffer, outer));
    if (SUCCEEDED(result) && buffer != nullptr && *buffer != nullptr)
      *buffer = new BufferProxy(*buffer, *description);
    return result;
  }
  HRESULT STDMETHODCALLTYPE GetCaps(LPDSCAPS caps) override {
    return real_->GetCaps(caps);
  }
  // The real device would take a buffer proxy for its own kind; the module
  // never duplicates a buffer.
  HRESULT STDMETHODCALLTYPE DuplicateSoundBuffer(
      LPDIRECTSOUNDBUFFER, LPLPDIRECTSOUNDBUFFER duplicate) override {
    if (duplicate != nullptr) *duplicate = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND window,
                                                DWORD level) override {
    if (fails(SoundStep::kCooperativeLevel)) return DSERR_GENERIC;
    return noted(real_->SetCooperativeLevel(window, level));
  }
  HRESULT STDMETHODCALLTYPE Compact() override { return real_->Compact(); }
  HRESULT STDMETHODCALLTYPE GetSpeakerConfig(LPDWORD config) override {
    return real_->GetSpeakerConfig(config);
  }
  HRESULT STDMETHODCALLTYPE SetSpeakerConfig(DWORD config) override {
    return real_->SetSpeakerConfig(config);
  }
  HRESULT STDMETHODCALLTYPE Initialize(LPCGUID device) override {
    return real_->Initialize(device);
  }

 private:
  IDirectSound* real_;
  ULONG references_ = 1;
};

void* real_create_sound = nullptr;
void* real_find_resource = nullptr;

HRESULT WINAPI create_sound(LPCGUID device, LPDIRECTSOUND* created,
                            LPUNKNOWN outer) {
  if (fails(SoundStep::kCreateDevice)) {
    if (created != nullptr) *created = nullptr;
    return DSERR_NODRIVER;
  }
  const HRESULT result = noted(reinterpret_cast<decltype(&create_sound)>(
      real_create_sound)(device, created, outer));
  if (SUCCEEDED(result) && created != nullptr && *created != nullptr)
    *created = new DeviceProxy(*created);
  return result;
}

// Only the module's sound asks for resources of type "WAVE".
HRSRC WINAPI find_resource(HMODULE module, LPCSTR name, LPCSTR type) {
  const bool wave = !IS_INTRESOURCE(type) && std::strcmp(type, "WAVE") == 0;
  if (wave && fails(SoundStep::kLockResource)) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  const HRSRC found = reinterpret_cast<decltype(&find_resource)>(
      real_find_resource)(module, name, type);
  if (wave && found == nullptr) state.failed_since_load = true;
  return found;
}

struct Hook {
  const char* name;
  void* recorder;
  void** real;
};

const Hook kHooks[] = {
    {"DirectSoundCreate", reinterpret_cast<void*>(&create_sound),
     &real_create_sound},
    {"FindResourceA", reinterpret_cast<void*>(&find_resource),
     &real_find_resource},
};

// Points the loaded module's import slots of the hooked functions at the
// recorders.
void hook_imports(HMODULE module) {
  auto* const base = reinterpret_cast<uint8_t*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt =
      reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0) return;
  for (auto* library = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(
           base + imports.VirtualAddress);
       library->Name != 0; ++library) {
    // Without the names the slots cannot be told apart.
    if (library->OriginalFirstThunk == 0) continue;
    const auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(
        base + library->OriginalFirstThunk);
    auto* slot =
        reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slot) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const auto* import = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(
          base + names->u1.AddressOfData);
      for (const Hook& hook : kHooks) {
        const auto recorder = reinterpret_cast<uintptr_t>(hook.recorder);
        if (std::strcmp(reinterpret_cast<const char*>(import->Name),
                        hook.name) != 0 ||
            slot->u1.Function == recorder)
          continue;
        DWORD protection = 0;
        VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection);
        *hook.real = reinterpret_cast<void*>(slot->u1.Function);
        slot->u1.Function = recorder;
        VirtualProtect(slot, sizeof *slot, protection, &protection);
        // The library behind the real function stays loaded when the module
        // is unloaded, for the real objects its proxies may still hold.
        HMODULE pinned = nullptr;
        GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                               GET_MODULE_HANDLE_EX_FLAG_PIN,
                           static_cast<LPCSTR>(*hook.real), &pinned);
      }
    }
  }
}

}  // namespace

void sound_watch_attach(const LoadedModule& module) {
  state = {};
  if (module.handle != nullptr)
    hook_imports(static_cast<HMODULE>(module.handle));
}

void sound_watch_reset() {
  state.failing = SoundStep::kNone;
  state.counts = {};
}

void sound_watch_fail_at(SoundStep step) { state.failing = step; }

bool sound_watch_can_fail(SoundStep step) {
  switch (step) {
    case SoundStep::kCreateDevice:
    case SoundStep::kCooperativeLevel:
    case SoundStep::kLockResource:
    case SoundStep::kCreateBuffer:
    case SoundStep::kLockBuffer:
    case SoundStep::kUnlockBuffer:
    case SoundStep::kRewindBuffer:
    case SoundStep::kPlay:
      return true;
    default:
      return false;
  }
}

const SoundCounts& sound_watch_counts() { return state.counts; }

bool sound_watch_silenced() { return state.failed_since_load; }

void sound_watch_observe_plays(SoundPlayObserver observer, void* context) {
  watcher = {.observer = observer, .context = context};
}

bool sound_watch_needs_reload() { return state.failed_since_load; }
