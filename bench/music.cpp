// The song's render and PCM conversion, on one core and on all cores, with a
// hash of the PCM so that a faster path is seen to keep every bit. The peak
// memory counter is the process's so far; run one benchmark per process
// (--benchmark_filter) for the figure of one configuration.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdint>
#include <thread>
#include <vector>

#include "music/music_player.h"
#include "music/second_song.h"
#include "music/song.h"

namespace {

std::uint64_t Fnv1a(const std::int16_t* s, std::uint32_t n)
{
    std::uint64_t h = 14695981039346656037ull;
    const auto* b = reinterpret_cast<const unsigned char*>(s);
    for (std::size_t i = 0; i < std::size_t(n) * 2; ++i)
        h = (h ^ b[i]) * 1099511628211ull;
    return h;
}

template <class Render>
void RenderAndConvert(benchmark::State& state, Render render)
{
    std::uint64_t hash = 0;
    for (auto _ : state) {
        SampleBuffer song = render(unsigned(state.range(0)));
        std::vector<std::int16_t> pcm(song.size);
        ConvertToPcm(song.data, song.size, pcm.data());
        hash = Fnv1a(pcm.data(), song.size);
        benchmark::DoNotOptimize(hash);
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["pcm_hash_low32"] = double(hash & 0xFFFFFFFFu);
    state.counters["process_peak_rss_MB"] = double(usage.ru_maxrss) / 1024.0;
}

void BM_RenderSong(benchmark::State& state)
{
    RenderAndConvert(state, [](unsigned workers) { return RenderSong(workers); });
}

void BM_ComposeSong2(benchmark::State& state)
{
    RenderAndConvert(state, [](unsigned workers) { return ComposeSong2(workers); });
}

void Cores(benchmark::internal::Benchmark* b)
{
    b->Arg(1);
    const unsigned n = std::thread::hardware_concurrency();
    if (n > 1)
        b->Arg(n);
    b->Unit(benchmark::kMillisecond)->UseRealTime();
}

}  // namespace

BENCHMARK(BM_RenderSong)->Apply(Cores);
BENCHMARK(BM_ComposeSong2)->Apply(Cores);
