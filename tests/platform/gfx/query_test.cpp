// Event queries: what CreateQuery takes, and GetData from before End until
// the work given before End is done, with each of its flags; which renderers
// are software rasterisers, the frame wait's choice of what to wait for.
#include <gtest/gtest.h>

#include <cstdint>

#include "gfx_fixture.h"
#include "platform/gfx/frame_wait.h"
#include "platform/gfx/gl/context.h"

namespace {

using gfxtest::Gfx;

TEST_F(Gfx, CreateQueryTakesOnlyAnEvent)
{
    const D3D11_QUERY_DESC event{D3D11_QUERY_EVENT, 0};
    struct Case {
        const char* what;
        const D3D11_QUERY_DESC* desc;
        bool wantQuery;
        HRESULT expected;
    };
    const D3D11_QUERY_DESC occlusion{static_cast<D3D11_QUERY>(2), 0};
    const D3D11_QUERY_DESC flagged{D3D11_QUERY_EVENT, 1};
    const Case cases[] = {
        {"an event", &event, true, S_OK},
        {"an event, checked only", &event, false, S_FALSE},
        {"no description", nullptr, true, E_INVALIDARG},
        {"another kind of query", &occlusion, true, E_INVALIDARG},
        {"misc flags", &flagged, true, E_INVALIDARG},
    };
    for (const Case& c : cases) {
        ID3D11Query* query = reinterpret_cast<ID3D11Query*>(std::uintptr_t{8});  // must be overwritten
        EXPECT_EQ(device->CreateQuery(c.desc, c.wantQuery ? &query : nullptr), c.expected) << c.what;
        if (!c.wantQuery)
            continue;
        if (c.expected == S_OK) {
            ASSERT_NE(query, nullptr) << c.what;
            Keep(query);
        } else {
            EXPECT_EQ(query, nullptr) << c.what;
        }
    }
}

TEST_F(Gfx, EventQueryIsDoneOnceTheWorkBeforeEndIs)
{
    const D3D11_QUERY_DESC event{D3D11_QUERY_EVENT, 0};
    ID3D11Query* query = nullptr;
    ASSERT_EQ(device->CreateQuery(&event, &query), S_OK);
    Keep(query);
    EXPECT_EQ(query->GetDataSize(), sizeof(BOOL));
    D3D11_QUERY_DESC desc{static_cast<D3D11_QUERY>(9), 9};
    query->GetDesc(&desc);
    EXPECT_EQ(desc.Query, D3D11_QUERY_EVENT);
    EXPECT_EQ(desc.MiscFlags, 0u);
    ID3D11Query* same = nullptr;
    ASSERT_EQ(query->QueryInterface(IID_ID3D11Query, reinterpret_cast<void**>(&same)), S_OK);
    EXPECT_EQ(same, query);
    same->Release();

    // Before any End there is nothing to wait for.
    BOOL done = FALSE;
    EXPECT_EQ(context->GetData(query, &done, sizeof done, 0), DXGI_ERROR_INVALID_CALL);

    // Work, then the event: polling ends with TRUE.
    ID3D11Texture2D* target = Texture(64, 64, DXGI_FORMAT_R8G8B8A8_UNORM);
    ID3D11RenderTargetView* view = nullptr;
    ASSERT_EQ(device->CreateRenderTargetView(target, nullptr, &view), S_OK);
    Keep(view);
    const FLOAT colour[4] = {1, 0, 0, 1};
    context->ClearRenderTargetView(view, colour);
    context->End(query);
    EXPECT_EQ(context->GetData(query, &done, 1, 0), E_INVALIDARG) << "a size that is no BOOL";
    HRESULT hr = S_FALSE;
    while (hr == S_FALSE)
        hr = context->GetData(query, &done, sizeof done, 0);
    EXPECT_EQ(hr, S_OK);
    EXPECT_EQ(done, TRUE);
    // Done stays done; no data asked for is no error.
    EXPECT_EQ(context->GetData(query, nullptr, 0, D3D11_ASYNC_GETDATA_DONOTFLUSH), S_OK);

    // A second End waits for the work before it, once more.
    context->ClearRenderTargetView(view, colour);
    context->End(query);
    context->Flush();
    do
        hr = context->GetData(query, nullptr, 0, D3D11_ASYNC_GETDATA_DONOTFLUSH);
    while (hr == S_FALSE);
    EXPECT_EQ(hr, S_OK);

    // Begin means nothing to an event; a null query is refused.
    context->Begin(query);
    EXPECT_EQ(context->GetData(query, nullptr, 0, 0), S_OK);
    EXPECT_EQ(context->GetData(nullptr, &done, sizeof done, 0), E_INVALIDARG);
}

// Every flag and order of flags that a caller polls with ends once the work
// is done, and only then: an event ended right after the one polled has no
// work of its own before it, so it is done too when the first says so (a
// wait slice that ran out must not count as done).
TEST_F(Gfx, GetDataEndsWithTheWorkUnderEveryFlag)
{
    targetWidth = targetHeight = 64;
    ID3D11Texture2D* target = Texture(targetWidth, targetHeight, DXGI_FORMAT_R8G8B8A8_UNORM);
    ID3D11RenderTargetView* view = Rtv(target);
    // Long enough on a software rasteriser to outlast a wait slice.
    auto* ps =
        PixelShader(std::string(gfxtest::kPixelInput) +
                    "float4 p(VSOutput i) : SV_TARGET {\n"
                    "    float v = 0.0;\n"
                    "    [loop] for (int k = 0; k < 20000; ++k) v = frac(v * 1.0001 + sin(float(k) + i.TexCoord.x));\n"
                    "    return float4(0, 1, saturate(v) * 0.001, 1);\n"
                    "}\n");
    ASSERT_NE(ps, nullptr);
    BindQuad();
    context->OMSetRenderTargets(1, &view, nullptr);
    context->PSSetShader(ps, nullptr, 0);

    const UINT wait = GFX_ASYNC_GETDATA_WAIT, noFlush = D3D11_ASYNC_GETDATA_DONOTFLUSH;
    struct Case {
        const char* what;
        UINT first, later;
        bool flushed;  // Flush after End, as a caller that never flushes in GetData must
    } cases[] = {
        {"no flags", 0, 0, false},
        {"no flush, after a Flush", noFlush, noFlush, true},
        {"wait", wait, wait, false},
        {"wait, flushing on the first call only", wait, wait | noFlush, false},
        {"wait without flush, after a Flush", wait | noFlush, wait | noFlush, true},
    };
    const D3D11_QUERY_DESC event{D3D11_QUERY_EVENT, 0};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ID3D11Query* polled = nullptr;
        ID3D11Query* after = nullptr;
        ASSERT_EQ(device->CreateQuery(&event, &polled), S_OK);
        Keep(polled);
        ASSERT_EQ(device->CreateQuery(&event, &after), S_OK);
        Keep(after);
        BOOL done = FALSE;
        EXPECT_EQ(context->GetData(polled, &done, sizeof done, c.first), DXGI_ERROR_INVALID_CALL) << "before End";

        context->DrawIndexed(6, 0, 0);
        context->End(polled);
        context->End(after);
        if (c.flushed)
            context->Flush();
        HRESULT hr = context->GetData(polled, &done, sizeof done, c.first);
        while (hr == S_FALSE)
            hr = context->GetData(polled, &done, sizeof done, c.later);
        EXPECT_EQ(hr, S_OK);
        EXPECT_EQ(done, TRUE);
        EXPECT_EQ(context->GetData(after, nullptr, 0, noFlush), S_OK) << "said done while the work still ran";
        EXPECT_EQ(context->GetData(polled, nullptr, 0, c.later), S_OK) << "done stays done";
    }
    const std::vector<std::uint8_t> texels = Read(target);
    ASSERT_EQ(texels.size(), 64u * 64u * 4u);
    EXPECT_EQ(texels[1], 255) << "the draw that was waited for is there";
}

// What the frame loop waits for follows from the renderer's name: a software
// rasteriser draws the frame inside Present unless it was waited for.
TEST(FrameWait, SoftwareRenderersByName)
{
    struct Case {
        const char* renderer;
        bool software;
    } cases[] = {
        {"llvmpipe (LLVM 15.0.6, 256 bits)", true},
        {"softpipe", true},
        {"SWR (LLVM 11.0.1, 256 bits)", true},
        {"zink (llvmpipe (LLVM 15.0.6, 256 bits))", true},                                 // GL on Vulkan on the CPU
        {"AMD Radeon RX 6800 XT (navi21, LLVM 15.0.6, DRM 3.49, 6.1.0-13-amd64)", false},  // LLVM compiles, a GPU draws
        {"Mesa Intel(R) UHD Graphics 620 (KBL GT2)", false},
        {"NVIDIA GeForce RTX 3060/PCIe/SSE2", false},
        {"", false},
        {nullptr, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(gfx::SoftwareRenderer(c.renderer), c.software) << (c.renderer ? c.renderer : "(null)");
}

}  // namespace
