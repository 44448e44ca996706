// The text path of every reload: minify a scene-sized file, parse it through
// every value, and poll an unchanged file.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "support/config.h"
#include "support/minify.h"
#include "support/reloadable_file.h"

namespace {

std::string SceneText(int parameters)
{
    std::string text = "// generated scene\n[scene]\nstring shaderFile = \"scene.hlsl\";\n[shader]\n";
    for (int i = 0; i < parameters; ++i) {
        text += "float4 colour" + std::to_string(i) + " = 0.5 1.0 0.25 1   0 0 0 1; /* key */ // comment\n";
    }
    return text;
}

void BM_MinifyText(benchmark::State& state)
{
    const std::string text = SceneText(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(MinifyText(text));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_MinifyText)->Arg(16)->Arg(1024);

void BM_ConfigReadAll(benchmark::State& state)
{
    const std::string text = MinifyText(SceneText(static_cast<int>(state.range(0))));
    for (auto _ : state) {
        config c(text);
        float sum = 0.0f;
        while (c.NextSection()) {
            while (c.NextParameter()) {
                while (c.NextValue()) {
                    sum += c.GetFloat();
                }
            }
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_ConfigReadAll)->Arg(16)->Arg(1024);

void BM_UpdateUnchangedFile(benchmark::State& state)
{
    char pattern[] = "/tmp/quorvelan-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        state.SkipWithError("no temporary folder");
        return;
    }
    const std::string path = std::string(pattern) + "/scene.txt";
    std::ofstream(path) << SceneText(16);
    {
        WinApi::ReloadableTextFile file(path);
        file.Update();
        for (auto _ : state) {
            benchmark::DoNotOptimize(file.Update());
        }
    }
    std::remove(path.c_str());
    rmdir(pattern);
}
BENCHMARK(BM_UpdateUnchangedFile);

}  // namespace
