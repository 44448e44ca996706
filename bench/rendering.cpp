// The rendering library's own costs: one frame of the intro's shape (scene
// pass, horizontal and vertical blur, add) at 1600 x 900, and compiling the
// blur text. Run headless with SDL_VIDEODRIVER=offscreen.
#include <benchmark/benchmark.h>

#include "platform/gfx/d3d11.h"
#include "rendering/builtin_shaders.h"
#include "rendering/constant_buffer.h"
#include "rendering/post_processor.h"
#include "rendering/render_target.h"
#include "rendering/shader.h"

namespace {
struct Device {
    ID3D11Device* device = nullptr;
    ID3D11DeviceContext* context = nullptr;
    Device()
    {
        if (FAILED(D3D11CreateDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, nullptr, 0, D3D11_SDK_VERSION,
                                     &device, nullptr, &context)))
            device = nullptr;
    }
};

Device& Shared()
{
    static Device d;
    return d;
}

const char kScene[] = R"(
struct VSOutput { float4 PositionCS : SV_POSITION; float2 TexCoord : texcoord0; };
cbuffer params : register(b1) { float4 values; float4x4 m; float frameTime; };
float4 p(VSOutput input) : SV_TARGET
{
    float2 uv = input.TexCoord * 8.0;
    float v = sin(uv.x + frameTime) * cos(uv.y - frameTime);
    return float4(v, v * 0.5 + 0.5, 1.0 - v, 1.0);
}
)";

const D3D11_SUBRESOURCE_DATA kNoData{nullptr, 0, 0};

void BM_FrameOfTheIntrosShape(benchmark::State& state)
{
    Device& d = Shared();
    if (!d.device) {
        state.SkipWithError("no device");
        return;
    }
    const u32 width = 1600, height = 900;
    RenderTarget sceneTarget, blurX, blurY, back, probe;
    sceneTarget.Create(d.device, width, height, DXGI_FORMAT_R16G16B16A16_FLOAT, 1, 1, 0, false, false, 1, false,
                       kNoData);
    blurX.Create(d.device, width, height, DXGI_FORMAT_R16G16B16A16_FLOAT, 1, 1, 0, false, false, 1, false, kNoData);
    blurY.Create(d.device, width, height, DXGI_FORMAT_R16G16B16A16_FLOAT, 1, 1, 0, false, false, 1, false, kNoData);
    back.Create(d.device, width, height, DXGI_FORMAT_R8G8B8A8_UNORM_SRGB, 1, 1, 0, false, false, 1, false, kNoData);
    probe.Create(d.device, 1, 1, DXGI_FORMAT_R8G8B8A8_UNORM, 1, 1, 0, false, false, 1, false, kNoData);

    Shader scene(d.device), horizontal(d.device), vertical(d.device), add(d.device), copy(d.device);
    scene.CompilePixelShader(kScene);
    horizontal.CompilePixelShader(g_builtinShaders[BuiltinShader::BlurHorizontal]);
    vertical.CompilePixelShader(g_builtinShaders[BuiltinShader::BlurVertical]);
    add.CompilePixelShader(g_builtinShaders[BuiltinShader::AddTwo]);
    copy.CompilePixelShader(g_builtinShaders[BuiltinShader::Copy]);

    PostProcessor pass;
    pass.Initialize(d.device);
    CombineProcessor combine;
    combine.Initialize(d.device);

    // A 1 x 1 copy of the frame, read back, waits for the frame to finish.
    D3D11_TEXTURE2D_DESC stagingDesc{
        1, 1, 1, 1, DXGI_FORMAT_R8G8B8A8_UNORM, {1, 0}, D3D11_USAGE_STAGING, 0, D3D11_CPU_ACCESS_READ, 0};
    ID3D11Texture2D* staging = nullptr;
    d.device->CreateTexture2D(&stagingDesc, nullptr, &staging);

    float time = 0;
    for (auto _ : state) {
        PostProcessorParams params;
        params.frameTime = time += 0.016f;
        pass.SetParams(params);
        pass.Draw(d.context, nullptr, sceneTarget.renderTargetView, &scene);

        ConstantBuffer<BlurParams> blur;
        blur.data.blursamples = Float2(8, 8);
        blur.data.blursize = Float2(1, 1);
        blur.Create(d.device);
        blur.Update(d.context);
        blur.BindPS(d.context, 2);
        pass.Draw(d.context, sceneTarget.shaderResourceView, blurX.renderTargetView, &horizontal);
        pass.Draw(d.context, blurX.shaderResourceView, blurY.renderTargetView, &vertical);
        combine.Draw(d.context, sceneTarget.shaderResourceView, blurY.shaderResourceView, back.renderTargetView, &add);

        pass.Draw(d.context, back.shaderResourceView, probe.renderTargetView, &copy);
        d.context->CopyResource(staging, probe.texture);
        D3D11_MAPPED_SUBRESOURCE mapped{};
        if (d.context->Map(staging, 0, D3D11_MAP_READ, 0, &mapped) == S_OK)
            d.context->Unmap(staging, 0);
        d.context->ClearState();
    }
    staging->Release();
    for (RenderTarget* t : {&sceneTarget, &blurX, &blurY, &back, &probe})
        t->Release();
}
BENCHMARK(BM_FrameOfTheIntrosShape)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

void BM_CompileBlurPixelShader(benchmark::State& state)
{
    Device& d = Shared();
    if (!d.device) {
        state.SkipWithError("no device");
        return;
    }
    Shader shader(d.device);
    for (auto _ : state)
        benchmark::DoNotOptimize(shader.CompilePixelShader(g_builtinShaders[BuiltinShader::BlurHorizontal]));
}
BENCHMARK(BM_CompileBlurPixelShader)->Unit(benchmark::kMillisecond)->UseRealTime();
}  // namespace
