// The benchmarks' entry where they draw as the program does: on the large
// stack that main.cpp gives the program, since the driver's compiler recurses
// as deep as a shader's longest chain of dependent values.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "platform/system/large_stack.h"

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    // As the tests' entry: the process ends on the thread that ran the work.
    platform::RunWithLargeStack([] {
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
        std::exit(0);
    });
    return 1;
}
