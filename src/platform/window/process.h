#pragma once
// The few process services the shell's start-up and end need: the working
// directory, the module handle, a never-freed fixed memory block, and the
// process exit.
//
// Not provided: movable or discardable memory (GMEM_FIXED only), process or
// thread creation, environment access.
#include <cstddef>

#include "platform/system/types.h"

#define GMEM_FIXED 0x0000

// Only slashes separate folders: a backslash belongs to the name, as it does
// on this system. An empty path fails. A failure sets the last error.
BOOL SetCurrentDirectoryA(LPCSTR path);
// A null name gives the program's own module: a non-null token.
HMODULE GetModuleHandleA(LPCSTR name);
// Zeroed memory. The system never frees what it allocates; GlobalFree is
// there for tests.
void* GlobalAlloc(UINT flags, std::size_t bytes);
void* GlobalFree(void* memory);
// Flushes the standard streams and ends the process with the code.
[[noreturn]] void ExitProcess(UINT exitCode);
