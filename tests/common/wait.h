#pragma once
// Polling for a condition that another thread or process makes true.
#include <chrono>
#include <thread>

namespace testwait {

// Checks the condition every step seconds until it holds or the seconds have
// passed; whether it held.
template <class Condition>
bool WaitFor(Condition condition, double seconds = 2, double step = 0.005)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::duration<double>(step));
    }
    return true;
}

}  // namespace testwait
