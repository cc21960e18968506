// The 32-bit Linux host maps the PE32 module itself: the image laid out at
// its base (or relocated), its imports bound to the host's own Windows
// functions, a thread block behind `fs`, its TLS callbacks and entry point
// run for process attach, and the two records found in its exports.
#include <signal.h>
#include <sys/mman.h>
#include <ucontext.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "host/core/loader.h"
#include "host/core/module_call.h"
#include "host/core/pe_image.h"
#include "host/core/thread_block.h"
#include "host/core/win32/win32.h"
#include "host/module_file/read_module.h"

namespace {

constexpr uint32_t kProcessAttach = 1;
constexpr uint32_t kProcessDetach = 0;
constexpr uint16_t kLibrary = 0x2000;
constexpr uint16_t kRelocationsStripped = 0x0001;

using EntryPoint = int32_t(GAUGE_CALL*)(void* module, uint32_t reason,
                                        void* reserved);
using TlsCallback = void(GAUGE_CALL*)(void* module, uint32_t reason,
                                      void* reserved);

// One module as this host holds it, for unloading and for fault messages.
struct MappedImage {
  std::string path;
  std::string name;
  uint8_t* base = nullptr;
  uint32_t mapped_bytes = 0;
  uint32_t entry_point = 0;
  std::vector<uint32_t> tls_callbacks;
  std::vector<uint8_t> tls_data;
  int tls_index = -1;
};

// The thread's array of TLS blocks, one index a loaded module, as the
// thread block's word at 0x2C points to it.
constexpr int kTlsIndices = 64;
void* tls_blocks[kTlsIndices] = {};

std::vector<std::unique_ptr<MappedImage>> mapped;

uint32_t address_of(const void* p) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p));
}

const MappedImage* image_holding(uint32_t address) {
  for (const auto& image : mapped)
    if (address - address_of(image->base) < image->mapped_bytes)
      return image.get();
  return nullptr;
}

// A text that lies wholly in a mapped image, or null.
const char* text_in_image(const char* text) {
  const MappedImage* image = image_holding(address_of(text));
  if (image == nullptr) return nullptr;
  const uint32_t end = address_of(image->base) + image->mapped_bytes;
  for (uint32_t at = address_of(text); at < end && at - address_of(text) < 256;
       ++at)
    if (*reinterpret_cast<const char*>(at) == '\0') return text;
  return nullptr;
}

// A fault inside our module ends the host with a message naming the module
// and what was being called; it is never retried, so it cannot hang. A
// fault inside another module's gauge stops that gauge alone (the signal
// mask is restored by the jump back, so the handler stays armed).
// The module whose code was running: the one holding the faulting
// instruction, else the one last loaded.
const MappedImage* running_module(void* context) {
  const auto* state = static_cast<const ucontext_t*>(context);
  const MappedImage* owner = state != nullptr
                                 ? image_holding(static_cast<uint32_t>(
                                       state->uc_mcontext.gregs[REG_EIP]))
                                 : nullptr;
  if (owner == nullptr && !mapped.empty()) owner = mapped.back().get();
  return owner;
}

void report_fault(int signal_number, siginfo_t* info, void* context) {
  char message[512];
  const uint32_t address = address_of(info->si_addr);
  // Another module's gauge is stopped alone; the host carries on.
  if (StopPoint* point = current_stop_point) {
    std::snprintf(message, sizeof message,
                  "faulted (%s at address 0x%08x) in %s",
                  strsignal(signal_number), address,
                  current_module_call.what ? current_module_call.what
                                           : "a call of the host");
    stop_module_call(*point, message);
  }
  const MappedImage* owner = running_module(context);
  const char* gauge = nullptr;
  if (current_module_call.gauge != nullptr &&
      image_holding(address_of(current_module_call.gauge)) != nullptr)
    gauge = text_in_image(*reinterpret_cast<const char* const*>(
        reinterpret_cast<const uint8_t*>(current_module_call.gauge) + 4));
  const int length = std::snprintf(
      message, sizeof message,
      "corvelain_host: module %s faulted (%s at address 0x%08x) in %s%s%s\n",
      owner ? owner->name.c_str() : "?", strsignal(signal_number), address,
      current_module_call.what ? current_module_call.what
                               : "a call of the host",
      gauge ? " of gauge " : "", gauge ? gauge : "");
  if (length > 0)
    (void)!write(STDERR_FILENO, message,
                 std::min<size_t>(size_t(length), sizeof message - 1));
  _exit(3);
}

// The module's start-up and tear-down run under a watchdog, so that one
// that never returns ends the host rather than hanging it.
constexpr unsigned kWatchdogSeconds = 20;

void report_hang(int, siginfo_t*, void* context) {
  char message[512];
  const MappedImage* owner = running_module(context);
  const int length = std::snprintf(
      message, sizeof message,
      "corvelain_host: module %s did not return from %s within %u s\n",
      owner ? owner->name.c_str() : "?",
      current_module_call.what ? current_module_call.what : "a call",
      kWatchdogSeconds);
  if (length > 0)
    (void)!write(STDERR_FILENO, message,
                 std::min<size_t>(size_t(length), sizeof message - 1));
  _exit(3);
}

class Watchdog {
 public:
  Watchdog() {
    struct sigaction action {};
    action.sa_sigaction = report_hang;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    sigaction(SIGALRM, &action, &saved_);
    alarm(kWatchdogSeconds);
  }
  ~Watchdog() {
    alarm(0);
    sigaction(SIGALRM, &saved_, nullptr);
  }
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

 private:
  struct sigaction saved_ {};
};

void catch_faults() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  // Its own stack, for a module that runs its stack out.
  static std::vector<uint8_t> fault_stack(64 * 1024);
  stack_t alternate{};
  alternate.ss_sp = fault_stack.data();
  alternate.ss_size = fault_stack.size();
  sigaltstack(&alternate, nullptr);
  struct sigaction action {};
  action.sa_sigaction = report_fault;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigemptyset(&action.sa_mask);
  for (const int signal_number : {SIGSEGV, SIGBUS, SIGILL, SIGFPE})
    sigaction(signal_number, &action, nullptr);
}

std::filesystem::path program_directory() {
  std::error_code failed;
  const auto program = std::filesystem::read_symlink("/proc/self/exe", failed);
  return failed ? std::filesystem::path() : program.parent_path();
}

uint32_t resolve_import(const PeImport& import) {
  if (!import.name.empty() || import.ordinal == 0) {
    void* function = win32_function(import.library, import.name);
    if (function != nullptr) return address_of(function);
  }
  return 0;
}

int to_protection(const PageRange& range) {
  return (range.read ? PROT_READ : 0) | (range.write ? PROT_WRITE : 0) |
         (range.execute ? PROT_EXEC : 0);
}

uint32_t to_page_protection(const PageRange& range) {
  if (range.execute) return range.write ? 0x40 : range.read ? 0x20 : 0x10;
  if (range.write) return 0x04;
  return range.read ? 0x02 : 0x01;
}

bool set_up_tls(MappedImage& image, const PeSummary& pe, std::string& error) {
  if (pe.tls_directory == 0) return true;
  const uint32_t base = address_of(image.base);
  const uint32_t at = pe.tls_directory - pe.image_base;
  if (uint64_t(at) + 24 > pe.image_size) {
    error = "its TLS directory lies outside the image";
    return false;
  }
  uint32_t words[6];
  std::memcpy(words, image.base + at, sizeof words);
  const auto inside = [&](uint32_t address, uint32_t bytes) {
    return address >= base && uint64_t(address - base) + bytes <= pe.image_size;
  };
  const uint32_t start = words[0], end = words[1], index = words[2],
                 callbacks = words[3], zero_fill = words[4];
  if (start > end || (start != end && !inside(start, end - start)) ||
      (index != 0 && !inside(index, 4)) || zero_fill > (64u << 20)) {
    error = "its TLS directory names data outside the image";
    return false;
  }
  image.tls_data.assign(image.base + (start - base), image.base + (end - base));
  image.tls_data.resize(image.tls_data.size() + zero_fill, 0);
  image.tls_data.resize(std::max<size_t>(image.tls_data.size(), 4), 0);
  for (int i = 0; i < kTlsIndices && image.tls_index < 0; ++i)
    if (tls_blocks[i] == nullptr) image.tls_index = i;
  if (image.tls_index < 0) {
    error = "no TLS index is free for it";
    return false;
  }
  tls_blocks[image.tls_index] = image.tls_data.data();
  if (index != 0) {
    const uint32_t value = static_cast<uint32_t>(image.tls_index);
    std::memcpy(reinterpret_cast<void*>(index), &value, 4);
  }
  set_thread_local_storage(tls_blocks);
  for (uint32_t slot = callbacks; slot != 0; slot += 4) {
    if (!inside(slot, 4)) {
      error = "its TLS callback list runs outside the image";
      return false;
    }
    uint32_t callback;
    std::memcpy(&callback, reinterpret_cast<const void*>(slot), 4);
    if (callback == 0) break;
    if (!inside(callback, 1) || image.tls_callbacks.size() > 64) {
      error = "a TLS callback lies outside the image";
      return false;
    }
    image.tls_callbacks.push_back(callback);
  }
  return true;
}

void call_tls_callbacks(const MappedImage& image, uint32_t reason,
                        const char* what) {
  for (const uint32_t callback : image.tls_callbacks) {
    ModuleCallNote note(what);
    Watchdog watchdog;
    reinterpret_cast<TlsCallback>(callback)(image.base, reason, nullptr);
  }
}

void release(MappedImage* image) {
  if (image->tls_index >= 0) tls_blocks[image->tls_index] = nullptr;
  win32_remove_module(address_of(image->base));
  munmap(image->base, image->mapped_bytes);
  for (auto it = mapped.begin(); it != mapped.end(); ++it)
    if (it->get() == image) {
      mapped.erase(it);
      break;
    }
}

}  // namespace

bool load_module(const std::string& path, LoadedModule& module,
                 std::string& error) {
  const std::filesystem::path file =
      path.empty() ? program_directory() / default_module_file()
                   : std::filesystem::path(path);
  const std::string refused = "cannot load module " + file.string() + ": ";
  std::vector<uint8_t> bytes;
  if (!read_input_file(file.string(), kModuleFile, bytes, error)) {
    error = "cannot load module " + error;
    return false;
  }
  InspectResult read = read_pe_image(bytes, file.string());
  if (const auto* failure = std::get_if<InspectError>(&read)) {
    error = refused + failure->message();
    return false;
  }
  const PeSummary& pe = std::get<InspectedModule>(read).pe;
  if ((pe.characteristics & kLibrary) == 0) {
    error = refused + "it is a program, not a library";
    return false;
  }
  const std::vector<std::string> missing = missing_imports(pe, resolve_import);
  if (!missing.empty()) {
    error = refused + "it imports what this host does not provide: ";
    for (size_t i = 0; i < missing.size(); ++i)
      error += (i ? ", " : "") + missing[i];
    return false;
  }
  if (pe.image_size == 0 || pe.headers_size > pe.image_size) {
    error = refused + "its image is empty";
    return false;
  }
  if (!ensure_thread_block(error)) {
    error = refused + error;
    return false;
  }
  catch_faults();

  const uint32_t page = static_cast<uint32_t>(sysconf(_SC_PAGESIZE));
  const uint32_t mapped_bytes = (pe.image_size + page - 1) / page * page;
  void* at = mmap(reinterpret_cast<void*>(uintptr_t(pe.image_base)),
                  mapped_bytes, PROT_READ | PROT_WRITE,
                  MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
  if (at != MAP_FAILED && address_of(at) != pe.image_base) {
    munmap(at, mapped_bytes);
    at = MAP_FAILED;
  }
  if (at == MAP_FAILED) {
    // Elsewhere, relocated, when the module allows it.
    if (pe.characteristics & kRelocationsStripped) {
      error = refused + "its image base is taken and it cannot be relocated";
      return false;
    }
    at = mmap(nullptr, mapped_bytes, PROT_READ | PROT_WRITE,
              MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (at == MAP_FAILED) {
      error = refused + "no room for its image of " +
              std::to_string(pe.image_size) + " bytes";
      return false;
    }
  }
  auto owned = std::make_unique<MappedImage>();
  MappedImage& image = *owned;
  image.path = file.string();
  image.name = file.filename().string();
  image.base = static_cast<uint8_t*>(at);
  image.mapped_bytes = mapped_bytes;
  mapped.push_back(std::move(owned));
  const uint32_t base = address_of(image.base);

  if (!lay_out_image(bytes, pe, base, {image.base, pe.image_size},
                     resolve_import, error) ||
      !set_up_tls(image, pe, error)) {
    error = refused + error;
    release(&image);
    return false;
  }
  MappedModule registered{.base = base,
                          .size = mapped_bytes,
                          .path = image.path,
                          .resources = pe.resources};
  for (PeResource& resource : registered.resources)
    resource.address = resource.address - pe.image_base + base;
  win32_add_module(registered);
  for (const PageRange& range : image_protections(pe, page)) {
    mprotect(image.base + range.offset, range.bytes, to_protection(range));
    win32_record_protection(base + range.offset, range.bytes,
                            to_page_protection(range));
  }

  image.entry_point =
      pe.entry_point != 0 ? pe.entry_point - pe.image_base + base : 0;
  call_tls_callbacks(image, kProcessAttach,
                     "a TLS callback for process attach");
  if (image.entry_point != 0) {
    ModuleCallNote note("its entry point for process attach");
    Watchdog watchdog;
    if (reinterpret_cast<EntryPoint>(image.entry_point)(
            image.base, kProcessAttach, nullptr) == 0) {
      error = refused + "its entry point refused process attach";
      release(&image);
      return false;
    }
  }

  module.imports = reinterpret_cast<ImportTableRecord*>(
      find_export(pe, "ImportTable", base));
  module.linkage =
      reinterpret_cast<LinkageRecord*>(find_export(pe, "Linkage", base));
  if (module.imports == nullptr || module.linkage == nullptr) {
    error = "module " + file.string() + " exports no " +
            (module.imports == nullptr ? "ImportTable" : "Linkage") + " record";
    LoadedModule partial;
    partial.handle = image.base;
    unload_module(partial);
    module = {};
    return false;
  }
  module.handle = image.base;
  module.name = file.stem().string();
  return true;
}

void unload_module(LoadedModule& module) {
  MappedImage* image = nullptr;
  for (const auto& held : mapped)
    if (held->base == module.handle) image = held.get();
  if (image != nullptr) {
    if (image->entry_point != 0) {
      ModuleCallNote note("its entry point for process detach");
      Watchdog watchdog;
      reinterpret_cast<EntryPoint>(image->entry_point)(image->base,
                                                       kProcessDetach, nullptr);
    }
    call_tls_callbacks(*image, kProcessDetach,
                       "a TLS callback for process detach");
    release(image);
  }
  module = {};
}

const char* default_module_file() { return "Corvelain_Instr.gau"; }

bool loads_other_modules() { return true; }

std::string host_program_folder() { return program_directory().string(); }
