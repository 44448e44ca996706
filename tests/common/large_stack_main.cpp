// The tests' entry where they draw as the program does: on the large stack
// that main.cpp gives the program, since the driver's compiler recurses as
// deep as a shader's longest chain of dependent values.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/system/large_stack.h"

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // The process ends on the thread that ran the tests, while what it holds
    // (SDL's record of it) still exists.
    platform::RunWithLargeStack([] { std::exit(RUN_ALL_TESTS()); });
    return 1;
}
