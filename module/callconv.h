// Calling convention of every routine that crosses the boundary between the
// simulator and this module, in either direction.
#pragma once

#if defined(_WIN32) && defined(__i386__)
#define GAUGE_CALL __stdcall
#elif defined(__i386__)
// The 32-bit Linux host calls the real module's routines and is called back.
#define GAUGE_CALL __attribute__((stdcall))
#else
#define GAUGE_CALL
#endif

// A host routine the module calls: on 32-bit Linux it realigns the stack,
// which Windows code keeps only 4-byte aligned.
#if defined(__i386__) && defined(__linux__)
#define HOST_ENTRY __attribute__((force_align_arg_pointer))
#else
#define HOST_ENTRY
#endif

// The fixed-layout records are only checked against the simulator's offsets
// where pointers are 32 bits wide, which is the build the simulator loads.
#if defined(__i386__) || defined(_M_IX86)
#define RECORDS_ARE_32BIT 1
#else
#define RECORDS_ARE_32BIT 0
#endif
