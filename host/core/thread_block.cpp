#include "host/core/thread_block.h"

#include <asm/ldt.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// Offsets of the words a runtime reads.
constexpr uint32_t kExceptionList = 0x00;
constexpr uint32_t kStackBase = 0x04;
constexpr uint32_t kStackLimit = 0x08;
constexpr uint32_t kSelf = 0x18;
constexpr uint32_t kProcessId = 0x20;
constexpr uint32_t kThreadId = 0x24;
constexpr uint32_t kThreadLocalStorage = 0x2C;
constexpr uint32_t kProcessBlock = 0x30;
constexpr uint32_t kBlockBytes = 0x1000;

// The first entry of the local descriptor table; a selector names it with
// the table bit (4) and user privilege (3).
constexpr unsigned kLdtEntry = 0;
constexpr uint16_t kSelector = kLdtEntry << 3 | 4 | 3;

alignas(4096) uint8_t thread_block[kBlockBytes];
alignas(4096) uint8_t process_block[kBlockBytes];
bool ready = false;

void put(uint32_t offset, uint32_t value) {
  std::memcpy(thread_block + offset, &value, 4);
}

uint32_t address_of(const void* p) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p));
}

}  // namespace

bool ensure_thread_block(std::string& error) {
  if (ready) return true;
  put(kExceptionList, 0xFFFFFFFFu);  // no handler registered
  pthread_attr_t attributes;
  void* stack = nullptr;
  size_t stack_bytes = 0;
  if (pthread_getattr_np(pthread_self(), &attributes) == 0) {
    pthread_attr_getstack(&attributes, &stack, &stack_bytes);
    pthread_attr_destroy(&attributes);
  }
  put(kStackBase, address_of(stack) + static_cast<uint32_t>(stack_bytes));
  put(kStackLimit, address_of(stack));
  put(kSelf, address_of(thread_block));
  put(kProcessId, static_cast<uint32_t>(getpid()));
  put(kThreadId, static_cast<uint32_t>(syscall(SYS_gettid)));
  put(kProcessBlock, address_of(process_block));

  user_desc descriptor{};
  descriptor.entry_number = kLdtEntry;
  descriptor.base_addr = address_of(thread_block);
  descriptor.limit = kBlockBytes - 1;
  descriptor.seg_32bit = 1;
  descriptor.useable = 1;
  if (syscall(SYS_modify_ldt, 1, &descriptor, sizeof descriptor) != 0) {
    error = std::string(
                "the system refuses a descriptor for the thread "
                "block (modify_ldt: ") +
            std::strerror(errno) + ")";
    return false;
  }
  asm volatile("movw %w0, %%fs" : : "q"(kSelector));
  uint32_t self = 0;
  asm volatile("movl %%fs:0x18, %0" : "=r"(self));
  if (self != address_of(thread_block)) {
    error = "the thread block cannot be read back through fs";
    return false;
  }
  ready = true;
  return true;
}

void set_thread_local_storage(void** slots) {
  put(kThreadLocalStorage, address_of(slots));
}

uint32_t thread_block_address() { return ready ? address_of(thread_block) : 0; }
