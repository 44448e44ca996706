// Reload costs of an intro of 50 scene files: a load with nothing changed
// (also with every shader including one shared file that includes another),
// and a value-only change to one scene file until its next frame is drawn.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "intro/solution.h"
#include "platform/gfx/d3d11.h"
#include "rendering/render_target.h"

namespace {

constexpr int kScenes = 50;

struct Gfx {
    ID3D11Device* device = nullptr;
    ID3D11DeviceContext* context = nullptr;
};

Gfx& Device()
{
    static Gfx gfx = [] {
        Gfx g;
        D3D_FEATURE_LEVEL level{};
        if (FAILED(D3D11CreateDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, nullptr, 0, D3D11_SDK_VERSION,
                                     &g.device, &level, &g.context)))
            return Gfx();
        return g;
    }();
    return gfx;
}

// The frame's target, the size of the Solution's images, and its read-back copy.
class Target {
public:
    Target(std::uint32_t width, std::uint32_t height)
    {
        Gfx& g = Device();
        D3D11_TEXTURE2D_DESC desc =
            DefaultTextureDesc(width, height, DXGI_FORMAT_R8G8B8A8_UNORM, D3D11_BIND_RENDER_TARGET);
        g.device->CreateTexture2D(&desc, nullptr, &target);
        g.device->CreateRenderTargetView(target, nullptr, &view);
        desc.Usage = D3D11_USAGE_STAGING;
        desc.BindFlags = 0;
        desc.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
        g.device->CreateTexture2D(&desc, nullptr, &staging);
    }
    ~Target()
    {
        view->Release();
        target->Release();
        staging->Release();
    }

    // Draws the frame and waits until it can be read back.
    void Draw(Solution& solution, std::uint32_t position)
    {
        ID3D11DeviceContext* context = Device().context;
        const float magenta[4] = {1, 0, 1, 1};
        context->ClearRenderTargetView(view, magenta);
        solution.Render(position, view);
        context->CopyResource(staging, target);
        D3D11_MAPPED_SUBRESOURCE mapped{};
        if (SUCCEEDED(context->Map(staging, 0, D3D11_MAP_READ, 0, &mapped))) {
            benchmark::DoNotOptimize(*static_cast<const unsigned char*>(mapped.pData));
            context->Unmap(staging, 0);
        }
    }

private:
    ID3D11Texture2D* target = nullptr;
    ID3D11RenderTargetView* view = nullptr;
    ID3D11Texture2D* staging = nullptr;
};

// Standard output goes to /dev/null while it lives (reload logs).
class QuietStdout {
public:
    QuietStdout()
    {
        std::fflush(stdout);
        saved = dup(1);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        close(null);
    }
    ~QuietStdout()
    {
        std::fflush(stdout);
        dup2(saved, 1);
        close(saved);
    }

private:
    int saved = -1;
};

// A folder of an intro with kScenes scene files, each with its own shader
// and post file; with shared includes, each of those includes common.hlsl,
// which includes nested.hlsl.
class IntroOnDisk {
public:
    explicit IntroOnDisk(bool sharedIncludes = false)
    {
        char pattern[] = "/tmp/quorvelan-bench-XXXXXX";
        folder = mkdtemp(pattern);
        std::string include;
        if (sharedIncludes) {
            Write("nested.hlsl", "float Half(float x) { return x * 0.5; }\n");
            Write("common.hlsl", "#include \"" + Path("nested.hlsl") + "\"\nfloat Twice(float x) { return x * 2; }\n");
            include = "#include \"" + Path("common.hlsl") + "\"\n";
        }
        std::string intro = "[intro] int timeUnit = 11025;\n";
        for (int i = 0; i < kScenes; ++i) {
            const std::string n = std::to_string(i);
            intro += "[scene] string sceneFile = \"" + Path("scene" + n + ".quoscene") + "\"; int length = 16;\n";
            WriteScene(i, 0.5f);
            Write("scene" + n + ".hlsl",
                  include + "float4 p(float4 position : SV_POSITION) : SV_TARGET { return float4(tint * gain, 1); }\n");
            Write("post" + n + ".hlsl",
                  include + "Texture2D a : register(t0); Texture2D b : register(t1); SamplerState s : register(s0);\n"
                            "float4 p(float4 position : SV_POSITION, float2 uv : texcoord0) : SV_TARGET"
                            " { return (a.Sample(s, uv) + b.Sample(s, uv)) * amount; }\n");
        }
        Write("intro.quointro", intro);
    }
    ~IntroOnDisk() { std::system(("rm -rf '" + folder + "'").c_str()); }

    std::string Path(const std::string& name) const { return folder + "/" + name; }

    void WriteScene(int i, float gain)
    {
        const std::string n = std::to_string(i);
        Write("scene" + n + ".quoscene", "[scene]\nstring shaderFile = \"" + Path("scene" + n + ".hlsl") +
                                             "\";\nstring postFile = \"" + Path("post" + n + ".hlsl") +
                                             "\";\nfloat2 blurSamples = 4 4;\nfloat2 blurSize = 1 1;\n"
                                             "[shader]\nfloat gain = " +
                                             std::to_string(gain) +
                                             " 1 0.5;\nfloat3 tint = 1 0.5 0.25  0.25 0.5 1;\n"
                                             "[post]\nfloat amount = 0.5 1;\n");
    }

private:
    void Write(const std::string& name, const std::string& text)
    {
        {
            std::ofstream out(Path(name), std::ios::binary | std::ios::trunc);
            out << text;
        }
        // File times are coarser than two quick saves: give each its own.
        static long long next = 1600000000;
        const timespec times[2] = {{next, 0}, {next, 0}};
        ++next;
        utimensat(AT_FDCWD, Path(name).c_str(), times, 0);
    }

    std::string folder;
};

void BM_LoadNothingChanged(benchmark::State& state)
{
    if (!Device().device) {
        state.SkipWithError("no Direct3D device");
        return;
    }
    IntroOnDisk intro(state.range(0) != 0);
    Solution solution(intro.Path("intro.quointro").c_str(), Device().device, Device().context, 320, 180);
    {
        QuietStdout quiet;
        solution.Load();
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(solution.Load());
}
// Argument 1: every shader includes a shared file that includes another.
BENCHMARK(BM_LoadNothingChanged)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_ValueChangeUntilNextFrame(benchmark::State& state)
{
    if (!Device().device) {
        state.SkipWithError("no Direct3D device");
        return;
    }
    const auto width = static_cast<std::uint32_t>(state.range(0)), height = static_cast<std::uint32_t>(state.range(1));
    IntroOnDisk intro;
    Solution solution(intro.Path("intro.quointro").c_str(), Device().device, Device().context, width, height);
    Target target(width, height);
    QuietStdout quiet;
    solution.Load();
    const int scene = kScenes / 2;
    const std::uint32_t position = solution.scenes[scene].start + 1000;
    target.Draw(solution, position);  // the first draw of a new program is the driver's compile
    float gain = 0.25f;
    for (auto _ : state) {
        state.PauseTiming();
        gain = gain > 0.9f ? 0.25f : gain + 0.0625f;
        intro.WriteScene(scene, gain);
        state.ResumeTiming();
        solution.Load();
        target.Draw(solution, position);
    }
}
BENCHMARK(BM_ValueChangeUntilNextFrame)->Args({320, 180})->Args({1280, 720})->Unit(benchmark::kMillisecond);

// The reload part of the above: re-reading the changed scene file.
void BM_ValueChangeLoadOnly(benchmark::State& state)
{
    if (!Device().device) {
        state.SkipWithError("no Direct3D device");
        return;
    }
    IntroOnDisk intro;
    Solution solution(intro.Path("intro.quointro").c_str(), Device().device, Device().context, 320, 180);
    QuietStdout quiet;
    solution.Load();
    float gain = 0.25f;
    for (auto _ : state) {
        state.PauseTiming();
        gain = gain > 0.9f ? 0.25f : gain + 0.0625f;
        intro.WriteScene(kScenes / 2, gain);
        state.ResumeTiming();
        benchmark::DoNotOptimize(solution.Load());
    }
}
BENCHMARK(BM_ValueChangeLoadOnly)->Unit(benchmark::kMicrosecond);

void BM_FrameOnly(benchmark::State& state)
{
    if (!Device().device) {
        state.SkipWithError("no Direct3D device");
        return;
    }
    const auto width = static_cast<std::uint32_t>(state.range(0)), height = static_cast<std::uint32_t>(state.range(1));
    IntroOnDisk intro;
    Solution solution(intro.Path("intro.quointro").c_str(), Device().device, Device().context, width, height);
    Target target(width, height);
    {
        QuietStdout quiet;
        solution.Load();
    }
    const std::uint32_t position = solution.scenes[kScenes / 2].start + 1000;
    target.Draw(solution, position);
    for (auto _ : state)
        target.Draw(solution, position);
}
// The frame alone, for comparison with the reload above.
BENCHMARK(BM_FrameOnly)->Args({320, 180})->Args({1280, 720})->Unit(benchmark::kMillisecond);

}  // namespace
