// The Windows thread information block a module's code reads through the
// `fs` segment: its runtime's start-up looks up the block's own address,
// the stack, the TLS slots and the process block there. 32-bit Linux only:
// `fs` points at a local descriptor table entry for the block.
#pragma once

#include <cstdint>
#include <string>

// Sets the block up for the calling thread and points `fs` at it; later
// calls do nothing. False with the reason when the system refuses.
bool ensure_thread_block(std::string& error);

// The array of per-module TLS blocks (the block's word at 0x2C).
void set_thread_local_storage(void** slots);

// The block's address, 0 before it is set up.
uint32_t thread_block_address();
