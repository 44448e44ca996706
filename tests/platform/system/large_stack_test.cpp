#include "platform/system/large_stack.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <stdexcept>
#include <string>
#include <thread>

namespace {

// Recursion that takes about bytes of stack, each frame's array kept alive
// past the call so that the compiler cannot fold it into a loop.
std::size_t Deep(std::size_t bytes)
{
    volatile char frame[4096];
    frame[0] = 1;
    if (bytes <= sizeof frame)
        return frame[0];
    return Deep(bytes - sizeof frame) + frame[0];
}

}  // namespace

// The program runs on the large stack and its parts ask for it again (the
// translator does, for each step): those run where they are, on the thread
// and stack they already have, and still reach far below the main thread's
// 8 MB.
TEST(LargeStack, WorkAskedForFromWithinRunsOnTheSameThread)
{
    const std::thread::id caller = std::this_thread::get_id();
    std::thread::id outer, inner;
    std::size_t frames = 0;
    platform::RunWithLargeStack([&] {
        outer = std::this_thread::get_id();
        platform::RunWithLargeStack([&] {
            inner = std::this_thread::get_id();
            frames = Deep(std::size_t(64) << 20);
        });
    });
    EXPECT_NE(outer, caller);
    EXPECT_EQ(inner, outer);
    EXPECT_EQ(frames, (std::size_t(64) << 20) / 4096);
}

TEST(LargeStack, AnExceptionFromTheWorkComesBackToTheCaller)
{
    struct Case {
        const char* what;
        bool nested;
    } cases[] = {{"from the work", false}, {"from work asked for within it", true}};
    for (const Case& c : cases) {
        std::string caught;
        try {
            platform::RunWithLargeStack([&] {
                if (c.nested)
                    platform::RunWithLargeStack([] { throw std::runtime_error("out of room"); });
                else
                    throw std::runtime_error("out of room");
            });
        } catch (const std::runtime_error& e) {
            caught = e.what();
        }
        EXPECT_EQ(caught, "out of room") << c.what;
    }
}
