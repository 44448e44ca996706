// The frame loop's wait before Present: which frame's work it has waited
// for, at each latency, and the call between slices while a frame takes long.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/gpu_device.h"
#include "platform/gfx/d3dcompiler.h"
#include "platform/gfx/frame_wait.h"
#include "shell/frame_pacing.h"

namespace {

int g_slices = 0;
void CountSlice()
{
    ++g_slices;
}

// A target and a full-screen triangle whose pixel shader turns `loops`
// times, so that a frame has work that the GPU takes a while over.
class Frames {
public:
    Frames(ID3D11Device* device, ID3D11DeviceContext* context, int loops) : device_(device), context_(context)
    {
        const std::string vs = "float4 v(uint id : SV_VertexID) : SV_POSITION {\n"
                               "    float2 uv = float2((id << 1) & 2, id & 2);\n"
                               "    return float4(uv * float2(2, -2) + float2(-1, 1), 0, 1);\n"
                               "}\n";
        const std::string ps = "float4 p(float4 position : SV_POSITION) : SV_TARGET {\n"
                               "    float v = 0.0;\n"
                               "    [loop] for (int k = 0; k < " +
                               std::to_string(loops) +
                               "; ++k) v = frac(v * 1.0001 + sin(float(k) + position.x));\n"
                               "    return float4(v, 0, 0, 1);\n"
                               "}\n";
        ID3DBlob* code = gputest::CompileOrFail(vs, "v", "vs_5_0");
        if (code) {
            device_->CreateVertexShader(code->GetBufferPointer(), code->GetBufferSize(), nullptr, &vs_);
            code->Release();
        }
        code = gputest::CompileOrFail(ps, "p", "ps_5_0");
        if (code) {
            device_->CreatePixelShader(code->GetBufferPointer(), code->GetBufferSize(), nullptr, &ps_);
            code->Release();
        }
        D3D11_TEXTURE2D_DESC t{};
        t.Width = t.Height = 64;
        t.MipLevels = t.ArraySize = 1;
        t.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
        t.SampleDesc.Count = 1;
        t.BindFlags = D3D11_BIND_RENDER_TARGET;
        if (SUCCEEDED(device_->CreateTexture2D(&t, nullptr, &target_)))
            device_->CreateRenderTargetView(target_, nullptr, &view_);
    }
    ~Frames()
    {
        for (IUnknown* o : std::initializer_list<IUnknown*>{vs_, ps_, view_, target_})
            if (o)
                o->Release();
        for (ID3D11Query* q : ends_)
            q->Release();
    }
    bool ok() const { return vs_ && ps_ && view_; }

    // Draws one frame and ends an event of its own after it.
    void Draw()
    {
        const D3D11_VIEWPORT viewport{0, 0, 64, 64, 0, 1};
        context_->ClearState();
        context_->OMSetRenderTargets(1, &view_, nullptr);
        context_->RSSetViewports(1, &viewport);
        context_->IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
        context_->VSSetShader(vs_, nullptr, 0);
        context_->PSSetShader(ps_, nullptr, 0);
        context_->Draw(3, 0);
        const D3D11_QUERY_DESC event{D3D11_QUERY_EVENT, 0};
        ID3D11Query* end = nullptr;
        device_->CreateQuery(&event, &end);
        context_->End(end);
        ends_.push_back(end);
    }
    // Whether frame n's work is done now, without waiting or flushing.
    bool Done(std::size_t n)
    {
        return context_->GetData(ends_.at(n), nullptr, 0, D3D11_ASYNC_GETDATA_DONOTFLUSH) == S_OK;
    }

private:
    ID3D11Device* device_;
    ID3D11DeviceContext* context_;
    ID3D11VertexShader* vs_ = nullptr;
    ID3D11PixelShader* ps_ = nullptr;
    ID3D11Texture2D* target_ = nullptr;
    ID3D11RenderTargetView* view_ = nullptr;
    std::vector<ID3D11Query*> ends_;
};

// After frame n's wait the work of frame n - latency is done (and with it
// every frame before): a wait on a frame further back, or on none, shows
// here as that frame still drawing.
TEST(FramePacing, WaitsForTheFrameItsLatencyNames)
{
    REQUIRE_GPU();
    for (UINT latency : {0u, 1u, 2u}) {
        SCOPED_TRACE(testing::Message() << "latency " << latency);
        Frames frames(device, context, 4000);
        ASSERT_TRUE(frames.ok());
        FramePacing pacing(device, context, latency, nullptr);
        for (std::size_t n = 0; n < 6; ++n) {
            frames.Draw();
            pacing.WaitBeforePresent();
            if (n >= latency) {
                EXPECT_TRUE(frames.Done(n - latency)) << "frame " << n;
            }
        }
    }
}

// A frame that takes long is waited for in slices, with the call (the
// player's quit check) between them; without queries nothing is waited for.
TEST(FramePacing, CallsBetweenSlicesWhileTheFrameDraws)
{
    REQUIRE_GPU();
    Frames frames(device, context, 60000);
    ASSERT_TRUE(frames.ok());
    g_slices = 0;
    FramePacing pacing(device, context, 0, CountSlice);
    frames.Draw();
    pacing.WaitBeforePresent();
    EXPECT_TRUE(frames.Done(0));
    // Seconds of work on a software rasteriser, the one the suite runs on.
    if (gfx::FrameLatency(device) == 0) {
        EXPECT_GT(g_slices, 0);
    }

    FramePacing none(nullptr, nullptr, 0, CountSlice);
    none.WaitBeforePresent();
}

}  // namespace
