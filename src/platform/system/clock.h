#pragma once
// Wall-clock time in milliseconds from a monotonic clock, and sleeping.
// Not done: calendar time, timers, waitable objects.
#include "platform/system/types.h"

// Milliseconds since an arbitrary start; wraps after 49.7 days as on Windows.
DWORD GetTickCount();
void Sleep(DWORD milliseconds);

namespace platform {
// The C runtime's clock() as Windows has it: wall-clock milliseconds since
// the process started (glibc's clock() is CPU time, which stands still while
// the program waits).
long Clock();
}  // namespace platform
