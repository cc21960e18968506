// Calling convention of every routine that crosses the boundary between the
// simulator and this module, in either direction.
#pragma once

#if defined(_WIN32) && defined(__i386__)
#define GAUGE_CALL __stdcall
#else
#define GAUGE_CALL
#endif

// The fixed-layout records are only checked against the simulator's offsets
// where pointers are 32 bits wide, which is the build the simulator loads.
#if defined(__i386__) || defined(_M_IX86)
#define RECORDS_ARE_32BIT 1
#else
#define RECORDS_ARE_32BIT 0
#endif
