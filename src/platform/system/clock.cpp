#include "platform/system/clock.h"

#include <cerrno>
#include <ctime>

namespace {

std::uint64_t MonotonicMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
}

// Taken while the program starts, so that Clock counts from there.
const std::uint64_t g_processStart = MonotonicMilliseconds();

}  // namespace

DWORD GetTickCount()
{
    return static_cast<DWORD>(MonotonicMilliseconds());
}

void Sleep(DWORD milliseconds)
{
    timespec wait{static_cast<time_t>(milliseconds / 1000u), static_cast<long>(milliseconds % 1000u) * 1000000L};
    while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
}

namespace platform {

long Clock()
{
    return static_cast<long>(MonotonicMilliseconds() - g_processStart);
}

}  // namespace platform
