// DirectSound for a module's clicks: a device and secondary buffers held in
// memory, no audio output. A play hands the buffer's bytes to whoever
// observes plays. The objects are COM objects laid out by hand, a pointer
// to a table of stdcall functions first, as the module's calls expect.
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>

#include "host/core/win32/win32.h"

namespace {

constexpr int32_t kOk = 0;
constexpr int32_t kGeneric = static_cast<int32_t>(0x80004005);
constexpr int32_t kInvalidParam = static_cast<int32_t>(0x80070057);
constexpr int32_t kNoInterface = static_cast<int32_t>(0x80004002);
constexpr int32_t kPointer = static_cast<int32_t>(0x80004003);
constexpr int32_t kNoDriver = static_cast<int32_t>(0x88780078);
constexpr int32_t kNoAggregation = static_cast<int32_t>(0x80040110);
constexpr int32_t kUnsupported = static_cast<int32_t>(0x80004001);
constexpr int32_t kOutOfMemory = static_cast<int32_t>(0x8007000E);
constexpr int32_t kBadFormat = static_cast<int32_t>(0x88780064);
constexpr int32_t kInvalidCall = static_cast<int32_t>(0x88780032);
constexpr int32_t kControlUnavailable = static_cast<int32_t>(0x8878001E);
constexpr int32_t kAlreadyInitialized = static_cast<int32_t>(0x88780082);

constexpr uint32_t kPrimaryBuffer = 0x01;
constexpr uint32_t kControlFrequency = 0x20;
constexpr uint32_t kControlPan = 0x40;
constexpr uint32_t kControlVolume = 0x80;
constexpr uint32_t kLocDefer = 0x40000;
constexpr uint32_t kLockFromWriteCursor = 0x01;
constexpr uint32_t kLockEntireBuffer = 0x02;
constexpr uint32_t kPlayLooping = 0x01;
constexpr uint32_t kStatusPlaying = 0x01;
constexpr uint32_t kStatusLooping = 0x04;
constexpr uint32_t kMinBufferBytes = 4;
constexpr uint32_t kMaxBufferBytes = 0x0FFFFFFF;
constexpr uint32_t kMinFrequency = 100;
constexpr uint32_t kMaxFrequency = 200000;
constexpr int32_t kMinVolume = -10000;
constexpr int32_t kMaxVolume = 0;
constexpr int32_t kPanLeft = -10000;
constexpr int32_t kPanRight = 10000;
constexpr uint32_t kSpeakerStereo = 4;

struct Guid {
  uint32_t data1;
  uint16_t data2;
  uint16_t data3;
  uint8_t data4[8];
};
static_assert(sizeof(Guid) == 16);

constexpr Guid kIUnknown = {
    .data1 = 0x00000000,
    .data2 = 0x0000,
    .data3 = 0x0000,
    .data4 = {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr Guid kIDirectSound = {
    .data1 = 0x279AFA83,
    .data2 = 0x4981,
    .data3 = 0x11CE,
    .data4 = {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
constexpr Guid kIDirectSoundBuffer = {
    .data1 = 0x279AFA85,
    .data2 = 0x4981,
    .data3 = 0x11CE,
    .data4 = {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};

bool same_guid(const void* a, const Guid& b) {
  return a != nullptr && std::memcmp(a, &b, sizeof b) == 0;
}

using WaveFormat = Win32WaveFormat;

struct BufferDescription {
  uint32_t size;
  uint32_t flags;
  uint32_t buffer_bytes;
  uint32_t reserved;
  uint32_t format;  // WaveFormat*, a 32-bit address
  Guid algorithm_3d;
};
static_assert(sizeof(BufferDescription) == 36);
static_assert(offsetof(BufferDescription, format) == 16);

struct DeviceCaps {
  uint32_t size;
  uint32_t flags;
  uint32_t min_secondary_sample_rate;
  uint32_t max_secondary_sample_rate;
  uint32_t rest[20];
};
static_assert(sizeof(DeviceCaps) == 96);

struct BufferCaps {
  uint32_t size;
  uint32_t flags;
  uint32_t buffer_bytes;
  uint32_t unlock_transfer_rate;
  uint32_t play_cpu_overhead;
};
static_assert(sizeof(BufferCaps) == 20);

constexpr uint32_t kDeviceCapsFlags = 0x0F0F;  // mono, stereo, 8 and 16 bit

struct DeviceVtable;
struct BufferVtable;

struct Device {
  const DeviceVtable* vtable;
  uint32_t references = 1;
  uint32_t cooperative_level = 0;
  uint32_t speaker_config = kSpeakerStereo;
};

// A buffer's bytes, shared with its duplicates.
struct Samples {
  uint8_t* data = nullptr;
  uint32_t size = 0;
  uint32_t users = 1;
};

struct Buffer {
  const BufferVtable* vtable;
  uint32_t references = 1;
  uint32_t flags = 0;
  WaveFormat format{};
  Samples* samples = nullptr;
  uint32_t position = 0;
  uint32_t status = 0;
  int32_t volume = kMaxVolume;
  int32_t pan = 0;
  uint32_t frequency = 0;
  // The regions of the last lock, which Unlock must be given back.
  uint8_t* locked_first = nullptr;
  uint32_t locked_first_bytes = 0;
  uint8_t* locked_second = nullptr;
  uint32_t locked_second_bytes = 0;
  bool locked = false;
};

struct DeviceVtable {
  int32_t(WIN32_API* query_interface)(Device*, const void*, void**);
  uint32_t(WIN32_API* add_ref)(Device*);
  uint32_t(WIN32_API* release)(Device*);
  int32_t(WIN32_API* create_sound_buffer)(Device*, const BufferDescription*,
                                          Buffer**, void*);
  int32_t(WIN32_API* get_caps)(Device*, DeviceCaps*);
  int32_t(WIN32_API* duplicate_sound_buffer)(Device*, Buffer*, Buffer**);
  int32_t(WIN32_API* set_cooperative_level)(Device*, void*, uint32_t);
  int32_t(WIN32_API* compact)(Device*);
  int32_t(WIN32_API* get_speaker_config)(Device*, uint32_t*);
  int32_t(WIN32_API* set_speaker_config)(Device*, uint32_t);
  int32_t(WIN32_API* initialize)(Device*, const void*);
};
static_assert(sizeof(DeviceVtable) == 11 * 4);

struct BufferVtable {
  int32_t(WIN32_API* query_interface)(Buffer*, const void*, void**);
  uint32_t(WIN32_API* add_ref)(Buffer*);
  uint32_t(WIN32_API* release)(Buffer*);
  int32_t(WIN32_API* get_caps)(Buffer*, BufferCaps*);
  int32_t(WIN32_API* get_current_position)(Buffer*, uint32_t*, uint32_t*);
  int32_t(WIN32_API* get_format)(Buffer*, WaveFormat*, uint32_t, uint32_t*);
  int32_t(WIN32_API* get_volume)(Buffer*, int32_t*);
  int32_t(WIN32_API* get_pan)(Buffer*, int32_t*);
  int32_t(WIN32_API* get_frequency)(Buffer*, uint32_t*);
  int32_t(WIN32_API* get_status)(Buffer*, uint32_t*);
  int32_t(WIN32_API* initialize)(Buffer*, Device*, const BufferDescription*);
  int32_t(WIN32_API* lock)(Buffer*, uint32_t, uint32_t, void**, uint32_t*,
                           void**, uint32_t*, uint32_t);
  int32_t(WIN32_API* play)(Buffer*, uint32_t, uint32_t, uint32_t);
  int32_t(WIN32_API* set_current_position)(Buffer*, uint32_t);
  int32_t(WIN32_API* set_format)(Buffer*, const WaveFormat*);
  int32_t(WIN32_API* set_volume)(Buffer*, int32_t);
  int32_t(WIN32_API* set_pan)(Buffer*, int32_t);
  int32_t(WIN32_API* set_frequency)(Buffer*, uint32_t);
  int32_t(WIN32_API* stop)(Buffer*);
  int32_t(WIN32_API* unlock)(Buffer*, void*, uint32_t, void*, uint32_t);
  int32_t(WIN32_API* restore)(Buffer*);
};
static_assert(sizeof(BufferVtable) == 21 * 4);

struct SoundState {
  SoundCounts counts;
  SoundStep failing = SoundStep::kNone;
  bool failed = false;
  Win32PlayObserver observer = nullptr;
  void* observer_context = nullptr;
};

SoundState sound;

// A made-to-fail step fails with the error a real device would give.
int32_t failure(int32_t error) {
  win32_sound_note_failure();
  return error;
}

bool format_is_sane(const WaveFormat& format) {
  constexpr uint16_t kPcm = 1;
  return format.format_tag == kPcm && format.channels >= 1 &&
         format.channels <= 8 &&
         (format.bits_per_sample == 8 || format.bits_per_sample == 16) &&
         format.samples_per_second >= kMinFrequency &&
         format.samples_per_second <= kMaxFrequency &&
         format.block_align == format.channels * format.bits_per_sample / 8;
}

extern const BufferVtable kBufferVtable;

void drop_samples(Samples* samples) {
  if (--samples->users != 0) return;
  std::free(samples->data);
  delete samples;
}

// Takes a share of `samples`.
Buffer* new_buffer(uint32_t flags, const WaveFormat& format, Samples* samples) {
  auto* buffer = new (std::nothrow) Buffer{.vtable = &kBufferVtable};
  if (buffer == nullptr) return nullptr;
  buffer->flags = flags;
  buffer->format = format;
  buffer->samples = samples;
  ++samples->users;
  buffer->frequency = format.samples_per_second;
  sound.counts.buffers_created++;
  return buffer;
}

WIN32_API int32_t device_query_interface(Device* self, const void* id,
                                         void** out) {
  if (out == nullptr) return kPointer;
  if (!same_guid(id, kIUnknown) && !same_guid(id, kIDirectSound)) {
    *out = nullptr;
    return kNoInterface;
  }
  ++self->references;
  *out = self;
  return kOk;
}

WIN32_API uint32_t device_add_ref(Device* self) { return ++self->references; }

WIN32_API uint32_t device_release(Device* self) {
  if (--self->references != 0) return self->references;
  delete self;
  sound.counts.devices_released++;
  return 0;
}

WIN32_API int32_t device_create_sound_buffer(
    Device*, const BufferDescription* description, Buffer** out, void* outer) {
  if (win32_sound_step_fails(SoundStep::kCreateBuffer)) {
    if (out != nullptr) *out = nullptr;
    return kGeneric;
  }
  if (out == nullptr || description == nullptr) return failure(kInvalidParam);
  *out = nullptr;
  if (outer != nullptr) return failure(kNoAggregation);
  if (description->size != 20 && description->size != sizeof *description)
    return failure(kInvalidParam);
  if ((description->flags & kPrimaryBuffer) != 0) return failure(kUnsupported);
  if (description->buffer_bytes < kMinBufferBytes ||
      description->buffer_bytes > kMaxBufferBytes || description->format == 0)
    return failure(kInvalidParam);
  WaveFormat format{};
  std::memcpy(&format,
              reinterpret_cast<const void*>(uintptr_t{description->format}),
              sizeof format);
  if (!format_is_sane(format)) return failure(kBadFormat);
  format.extra_bytes = 0;
  auto* samples = new (std::nothrow) Samples{
      .data = static_cast<uint8_t*>(std::calloc(description->buffer_bytes, 1)),
      .size = description->buffer_bytes,
      .users = 1};
  if (samples == nullptr) return failure(kOutOfMemory);
  Buffer* buffer = samples->data == nullptr
                       ? nullptr
                       : new_buffer(description->flags, format, samples);
  drop_samples(samples);
  if (buffer == nullptr) return failure(kOutOfMemory);
  *out = buffer;
  return kOk;
}

WIN32_API int32_t device_get_caps(Device*, DeviceCaps* caps) {
  if (caps == nullptr || caps->size != sizeof *caps) return kInvalidParam;
  *caps = {.size = sizeof *caps,
           .flags = kDeviceCapsFlags,
           .min_secondary_sample_rate = kMinFrequency,
           .max_secondary_sample_rate = kMaxFrequency,
           .rest = {}};
  return kOk;
}

// The duplicate shares the original's bytes, as on Windows.
WIN32_API int32_t device_duplicate_sound_buffer(Device*, Buffer* original,
                                                Buffer** out) {
  if (original == nullptr || out == nullptr) return kInvalidParam;
  *out = new_buffer(original->flags, original->format, original->samples);
  return *out == nullptr ? kOutOfMemory : kOk;
}

WIN32_API int32_t device_set_cooperative_level(Device* self, void*,
                                               uint32_t level) {
  if (win32_sound_step_fails(SoundStep::kCooperativeLevel)) return kGeneric;
  constexpr uint32_t kNormal = 1;
  constexpr uint32_t kWritePrimary = 4;
  if (level < kNormal || level > kWritePrimary) return failure(kInvalidParam);
  self->cooperative_level = level;
  return kOk;
}

WIN32_API int32_t device_compact(Device*) { return kOk; }

WIN32_API int32_t device_get_speaker_config(Device* self, uint32_t* config) {
  if (config == nullptr) return kInvalidParam;
  *config = self->speaker_config;
  return kOk;
}

WIN32_API int32_t device_set_speaker_config(Device* self, uint32_t config) {
  self->speaker_config = config;
  return kOk;
}

WIN32_API int32_t device_initialize(Device*, const void*) {
  return kAlreadyInitialized;
}

constexpr DeviceVtable kDeviceVtable = {
    .query_interface = device_query_interface,
    .add_ref = device_add_ref,
    .release = device_release,
    .create_sound_buffer = device_create_sound_buffer,
    .get_caps = device_get_caps,
    .duplicate_sound_buffer = device_duplicate_sound_buffer,
    .set_cooperative_level = device_set_cooperative_level,
    .compact = device_compact,
    .get_speaker_config = device_get_speaker_config,
    .set_speaker_config = device_set_speaker_config,
    .initialize = device_initialize,
};

WIN32_API int32_t buffer_query_interface(Buffer* self, const void* id,
                                         void** out) {
  if (out == nullptr) return kPointer;
  if (!same_guid(id, kIUnknown) && !same_guid(id, kIDirectSoundBuffer)) {
    *out = nullptr;
    return kNoInterface;
  }
  ++self->references;
  *out = self;
  return kOk;
}

WIN32_API uint32_t buffer_add_ref(Buffer* self) { return ++self->references; }

WIN32_API uint32_t buffer_release(Buffer* self) {
  if (--self->references != 0) return self->references;
  drop_samples(self->samples);
  delete self;
  sound.counts.buffers_released++;
  return 0;
}

uint32_t buffer_bytes(const Buffer& buffer) { return buffer.samples->size; }

WIN32_API int32_t buffer_get_caps(Buffer* self, BufferCaps* caps) {
  if (caps == nullptr || caps->size != sizeof *caps) return kInvalidParam;
  *caps = {.size = sizeof *caps,
           .flags = self->flags,
           .buffer_bytes = buffer_bytes(*self),
           .unlock_transfer_rate = 0,
           .play_cpu_overhead = 0};
  return kOk;
}

WIN32_API int32_t buffer_get_current_position(Buffer* self, uint32_t* play,
                                              uint32_t* write) {
  if (play != nullptr) *play = self->position;
  if (write != nullptr) *write = self->position;
  return kOk;
}

WIN32_API int32_t buffer_get_format(Buffer* self, WaveFormat* format,
                                    uint32_t format_bytes, uint32_t* written) {
  if (format == nullptr && written == nullptr) return kInvalidParam;
  uint32_t bytes = sizeof self->format;
  if (format != nullptr) {
    if (format_bytes < bytes) bytes = format_bytes;
    std::memcpy(format, &self->format, bytes);
  }
  if (written != nullptr) *written = bytes;
  return kOk;
}

WIN32_API int32_t buffer_get_volume(Buffer* self, int32_t* volume) {
  if (volume == nullptr) return kInvalidParam;
  if ((self->flags & kControlVolume) == 0) return kControlUnavailable;
  *volume = self->volume;
  return kOk;
}

WIN32_API int32_t buffer_get_pan(Buffer* self, int32_t* pan) {
  if (pan == nullptr) return kInvalidParam;
  if ((self->flags & kControlPan) == 0) return kControlUnavailable;
  *pan = self->pan;
  return kOk;
}

WIN32_API int32_t buffer_get_frequency(Buffer* self, uint32_t* frequency) {
  if (frequency == nullptr) return kInvalidParam;
  if ((self->flags & kControlFrequency) == 0) return kControlUnavailable;
  *frequency = self->frequency;
  return kOk;
}

WIN32_API int32_t buffer_get_status(Buffer* self, uint32_t* status) {
  if (status == nullptr) return kInvalidParam;
  *status = self->status;
  return kOk;
}

WIN32_API int32_t buffer_initialize(Buffer*, Device*,
                                    const BufferDescription*) {
  return kAlreadyInitialized;
}

WIN32_API int32_t buffer_lock(Buffer* self, uint32_t offset, uint32_t bytes,
                              void** first, uint32_t* first_bytes,
                              void** second, uint32_t* second_bytes,
                              uint32_t flags) {
  if (first != nullptr) *first = nullptr;
  if (first_bytes != nullptr) *first_bytes = 0;
  if (second != nullptr) *second = nullptr;
  if (second_bytes != nullptr) *second_bytes = 0;
  if (win32_sound_step_fails(SoundStep::kLockBuffer)) return kGeneric;
  const uint32_t size = buffer_bytes(*self);
  if ((flags & kLockFromWriteCursor) != 0) offset = self->position;
  if ((flags & kLockEntireBuffer) != 0) bytes = size;
  if (first == nullptr || first_bytes == nullptr || offset >= size ||
      bytes == 0 || bytes > size)
    return failure(kInvalidParam);
  uint8_t* start = self->samples->data;
  const uint32_t to_end = size - offset;
  const uint32_t head = bytes < to_end ? bytes : to_end;
  const uint32_t wrapped = second != nullptr ? bytes - head : 0;
  *first = start + offset;
  *first_bytes = head;
  if (wrapped > 0) {
    *second = start;
    *second_bytes = wrapped;
  }
  self->locked = true;
  self->locked_first = start + offset;
  self->locked_first_bytes = head;
  self->locked_second = wrapped > 0 ? start : nullptr;
  self->locked_second_bytes = wrapped;
  return kOk;
}

WIN32_API int32_t buffer_unlock(Buffer* self, void* first, uint32_t first_bytes,
                                void* second, uint32_t second_bytes) {
  if (win32_sound_step_fails(SoundStep::kUnlockBuffer)) return kGeneric;
  const bool handed_out =
      self->locked && first == self->locked_first &&
      first_bytes <= self->locked_first_bytes &&
      (second == nullptr ? second_bytes == 0
                         : second == self->locked_second &&
                               second_bytes <= self->locked_second_bytes);
  if (!handed_out) return failure(kInvalidParam);
  self->locked = false;
  return kOk;
}

// Nothing is heard: a single play hands its bytes over at once and is then
// over, a looping one goes on until stopped.
WIN32_API int32_t buffer_play(Buffer* self, uint32_t reserved,
                              uint32_t priority, uint32_t flags) {
  if (win32_sound_step_fails(SoundStep::kPlay)) return kGeneric;
  if (reserved != 0 || (priority != 0 && (self->flags & kLocDefer) == 0))
    return failure(kInvalidParam);
  sound.counts.plays++;
  self->status =
      (flags & kPlayLooping) != 0 ? kStatusPlaying | kStatusLooping : 0;
  if (sound.observer != nullptr)
    sound.observer(sound.observer_context, self->format, self->samples->data,
                   buffer_bytes(*self));
  return kOk;
}

WIN32_API int32_t buffer_set_current_position(Buffer* self, uint32_t position) {
  if (win32_sound_step_fails(SoundStep::kRewindBuffer)) return kGeneric;
  if (position >= buffer_bytes(*self)) return failure(kInvalidParam);
  self->position = position;
  return kOk;
}

// Only a primary buffer takes a format.
WIN32_API int32_t buffer_set_format(Buffer*, const WaveFormat*) {
  return kInvalidCall;
}

WIN32_API int32_t buffer_set_volume(Buffer* self, int32_t volume) {
  if ((self->flags & kControlVolume) == 0) return kControlUnavailable;
  if (volume < kMinVolume || volume > kMaxVolume) return kInvalidParam;
  self->volume = volume;
  return kOk;
}

WIN32_API int32_t buffer_set_pan(Buffer* self, int32_t pan) {
  if ((self->flags & kControlPan) == 0) return kControlUnavailable;
  if (pan < kPanLeft || pan > kPanRight) return kInvalidParam;
  self->pan = pan;
  return kOk;
}

// 0 goes back to the format's own rate.
WIN32_API int32_t buffer_set_frequency(Buffer* self, uint32_t frequency) {
  if ((self->flags & kControlFrequency) == 0) return kControlUnavailable;
  if (frequency == 0) frequency = self->format.samples_per_second;
  if (frequency < kMinFrequency || frequency > kMaxFrequency)
    return kInvalidParam;
  self->frequency = frequency;
  return kOk;
}

WIN32_API int32_t buffer_stop(Buffer* self) {
  self->status = 0;
  return kOk;
}

WIN32_API int32_t buffer_restore(Buffer*) { return kOk; }

const BufferVtable kBufferVtable = {
    .query_interface = buffer_query_interface,
    .add_ref = buffer_add_ref,
    .release = buffer_release,
    .get_caps = buffer_get_caps,
    .get_current_position = buffer_get_current_position,
    .get_format = buffer_get_format,
    .get_volume = buffer_get_volume,
    .get_pan = buffer_get_pan,
    .get_frequency = buffer_get_frequency,
    .get_status = buffer_get_status,
    .initialize = buffer_initialize,
    .lock = buffer_lock,
    .play = buffer_play,
    .set_current_position = buffer_set_current_position,
    .set_format = buffer_set_format,
    .set_volume = buffer_set_volume,
    .set_pan = buffer_set_pan,
    .set_frequency = buffer_set_frequency,
    .stop = buffer_stop,
    .unlock = buffer_unlock,
    .restore = buffer_restore,
};

}  // namespace

// The observer stays: it belongs to whoever watches, not to a run.
void win32_sound_reset() {
  sound.counts = {};
  sound.failing = SoundStep::kNone;
  sound.failed = false;
}

void win32_sound_fail_at(SoundStep step) { sound.failing = step; }

bool win32_sound_can_fail(SoundStep step) { return step != SoundStep::kNone; }

const SoundCounts& win32_sound_counts() { return sound.counts; }

bool win32_sound_failed() { return sound.failed; }

void win32_sound_observe_plays(Win32PlayObserver observer, void* context) {
  sound.observer = observer;
  sound.observer_context = context;
}

// Without its program's path the module only looks for the default window,
// which is the same one: its sound goes on, so that is no failure of it.
bool win32_sound_step_fails(SoundStep step) {
  if (step == SoundStep::kNone || step != sound.failing) return false;
  if (step != SoundStep::kProgramPath) sound.failed = true;
  return true;
}

void win32_sound_note_failure() { sound.failed = true; }

void win32_sound_count(int32_t SoundCounts::*counter) {
  ++(sound.counts.*counter);
}

namespace dsound {

WIN32_API int32_t direct_sound_create(const void*, void** device, void* outer) {
  if (device == nullptr) return failure(kInvalidParam);
  *device = nullptr;
  if (win32_sound_step_fails(SoundStep::kCreateDevice)) return kNoDriver;
  if (outer != nullptr) return failure(kNoAggregation);
  auto* created = new (std::nothrow) Device{.vtable = &kDeviceVtable};
  if (created == nullptr) return failure(kOutOfMemory);
  sound.counts.devices_created++;
  *device = created;
  return kOk;
}

}  // namespace dsound
