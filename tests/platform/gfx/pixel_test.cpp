// What the layer must get right, each read back from pixels.
#include <SDL.h>

#include <cmath>

#include "gfx_fixture.h"
#include "platform/gfx/gfx_stats.h"
#include "platform/gfx/swap_chain_readback.h"
#include "platform/window/native_window.h"

using namespace gfxtest;

namespace {

const char* kVsOut = "struct VSOutput { float4 PositionCS : SV_POSITION; float2 TexCoord : texcoord0; };\n";

std::vector<float> Floats(const std::vector<std::uint8_t>& bytes)
{
    std::vector<float> f(bytes.size() / 4);
    std::memcpy(f.data(), bytes.data(), f.size() * 4);
    return f;
}

}  // namespace

TEST_F(Gfx, TexcoordAndPositionOriginAreTopLeft)
{
    auto* target = Texture(8, 8, DXGI_FORMAT_R32G32B32A32_FLOAT);
    auto* rtv = Rtv(target);
    auto* ps = PixelShader(std::string(kVsOut) +
                           "float4 p(VSOutput i) : SV_TARGET { return float4(i.TexCoord, i.PositionCS.xy); }\n");
    BindQuad();
    context->OMSetRenderTargets(1, &rtv, nullptr);
    context->PSSetShader(ps, nullptr, 0);
    context->DrawIndexed(6, 0, 0);
    auto f = Floats(Read(target));
    struct {
        UINT x, y;
        float u, v;
    } cases[] = {{0, 0, 1 / 16.f, 1 / 16.f}, {7, 0, 15 / 16.f, 1 / 16.f}, {0, 7, 1 / 16.f, 15 / 16.f}};
    for (auto& c : cases) {
        const float* t = &f[(c.y * 8 + c.x) * 4];
        EXPECT_NEAR(t[0], c.u, 1e-4) << c.x << "," << c.y;
        EXPECT_NEAR(t[1], c.v, 1e-4) << c.x << "," << c.y;
        EXPECT_FLOAT_EQ(t[2], c.x + 0.5f);
        EXPECT_FLOAT_EQ(t[3], c.y + 0.5f);
    }

    // A texture's first row of data is sampled at v = 0.
    std::uint8_t texels[2 * 2 * 4] = {255, 0, 0, 255, 255, 0, 0, 255, 0, 0, 255, 255, 0, 0, 255, 255};
    auto* source = Texture(2, 2, DXGI_FORMAT_R8G8B8A8_UNORM, D3D11_BIND_SHADER_RESOURCE, texels, 8);
    auto* srv = Srv(source);
    auto* point = Sampler(D3D11_FILTER_MIN_MAG_MIP_POINT);
    auto* sample =
        PixelShader(std::string(kVsOut) + "Texture2D t : register(t0); SamplerState s : register(s0);\n"
                                          "float4 p(VSOutput i) : SV_TARGET { return t.Sample(s, i.TexCoord); }\n");
    context->PSSetShader(sample, nullptr, 0);
    context->PSSetShaderResources(0, 1, &srv);
    context->PSSetSamplers(0, 1, &point);
    context->DrawIndexed(6, 0, 0);
    f = Floats(Read(target));
    EXPECT_FLOAT_EQ(f[0], 1.0f);                // top row red
    EXPECT_FLOAT_EQ(f[(7 * 8) * 4 + 2], 1.0f);  // bottom row blue
}

namespace {

// A hidden SDL window with a device and a swap chain of width by height on it.
struct WindowDevice {
    SDL_Window* window = nullptr;
    HWND__ hwnd;
    IDXGISwapChain* swapChain = nullptr;
    ID3D11Device* device = nullptr;
    ID3D11DeviceContext* context = nullptr;
};

void CreateWindowDevice(UINT width, UINT height, BOOL windowed, WindowDevice& out)
{
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    platform::ConfigureGlAttributes();
    out.window = SDL_CreateWindow("gfx", 0, 0, int(width), int(height), SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    ASSERT_NE(out.window, nullptr) << SDL_GetError();
    out.hwnd.sdl = out.window;
    DXGI_SWAP_CHAIN_DESC desc{};
    desc.BufferDesc = {width,
                       height,
                       {0, 0},
                       DXGI_FORMAT_R8G8B8A8_UNORM_SRGB,
                       DXGI_MODE_SCANLINE_ORDER_UNSPECIFIED,
                       DXGI_MODE_SCALING_UNSPECIFIED};
    desc.SampleDesc = {1, 0};
    desc.BufferUsage = DXGI_USAGE_RENDER_TARGET_OUTPUT;
    desc.BufferCount = 1;
    desc.OutputWindow = &out.hwnd;
    desc.Windowed = windowed;
    ASSERT_EQ(D3D11CreateDeviceAndSwapChain(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, nullptr, 0,
                                            D3D11_SDK_VERSION, &desc, &out.swapChain, &out.device, nullptr,
                                            &out.context),
              S_OK);
}

}  // namespace

TEST(GfxWindow, SwapChainShowsTheImageUpright)
{
    WindowDevice made;
    ASSERT_NO_FATAL_FAILURE(CreateWindowDevice(64, 32, TRUE, made));
    SDL_Window* window = made.window;
    IDXGISwapChain* swapChain = made.swapChain;
    ID3D11Device* device = made.device;
    ID3D11DeviceContext* context = made.context;
    EXPECT_EQ(device->GetFeatureLevel(), D3D_FEATURE_LEVEL_11_0);
    ID3D11Texture2D* backBuffer = nullptr;
    ASSERT_EQ(swapChain->GetBuffer(0, IID_ID3D11Texture2D, reinterpret_cast<void**>(&backBuffer)), S_OK);
    D3D11_TEXTURE2D_DESC td{};
    backBuffer->GetDesc(&td);
    EXPECT_EQ(td.Width, 64u);
    EXPECT_EQ(td.Height, 32u);
    EXPECT_EQ(td.Format, DXGI_FORMAT_R8G8B8A8_UNORM_SRGB);
    ID3D11RenderTargetView* rtv = nullptr;
    ASSERT_EQ(device->CreateRenderTargetView(backBuffer, nullptr, &rtv), S_OK);
    backBuffer->Release();
    void* debug = nullptr;
    EXPECT_EQ(device->QueryInterface(IID_ID3D11Debug, &debug), E_NOINTERFACE);

    // Top half red, bottom half blue, drawn by position.
    ID3DBlob* vsCode = CompileOrFail(kQuadVs, "v", "vs_5_0");
    ID3DBlob* psCode = CompileOrFail(
        std::string(kVsOut) +
            "float4 p(VSOutput i) : SV_TARGET { return i.PositionCS.y < 16 ? float4(1,0,0,1) : float4(0,0,1,1); }",
        "p", "ps_5_0");
    ID3D11VertexShader* vs = nullptr;
    ID3D11PixelShader* ps = nullptr;
    device->CreateVertexShader(vsCode->GetBufferPointer(), vsCode->GetBufferSize(), nullptr, &vs);
    device->CreatePixelShader(psCode->GetBufferPointer(), psCode->GetBufferSize(), nullptr, &ps);
    ASSERT_TRUE(vs && ps);
    // Three vertices covering the target, from SV_VertexID-free data: a big triangle.
    D3D11_INPUT_ELEMENT_DESC elements[] = {
        {"POSITION", 0, DXGI_FORMAT_R32G32B32A32_FLOAT, 0, 0, D3D11_INPUT_PER_VERTEX_DATA, 0},
        {"TEXCOORD", 0, DXGI_FORMAT_R32G32_FLOAT, 0, 16, D3D11_INPUT_PER_VERTEX_DATA, 0},
    };
    ID3D11InputLayout* layout = nullptr;
    device->CreateInputLayout(elements, 2, vsCode->GetBufferPointer(), vsCode->GetBufferSize(), &layout);
    const QuadVertex tri[3] = {{{-1, -1, 0.5f, 1}, {0, 1}}, {{-1, 3, 0.5f, 1}, {0, -1}}, {{3, -1, 0.5f, 1}, {2, 1}}};
    D3D11_BUFFER_DESC bd{sizeof tri, D3D11_USAGE_DEFAULT, D3D11_BIND_VERTEX_BUFFER, 0, 0, 0};
    D3D11_SUBRESOURCE_DATA data{tri, 0, 0};
    ID3D11Buffer* vb = nullptr;
    device->CreateBuffer(&bd, &data, &vb);
    D3D11_RASTERIZER_DESC rd{D3D11_FILL_SOLID, D3D11_CULL_NONE, FALSE, 0, 0, 0, TRUE, FALSE, FALSE, FALSE};
    ID3D11RasterizerState* rs = nullptr;
    device->CreateRasterizerState(&rd, &rs);

    const float magenta[4] = {1, 0, 1, 1};
    context->ClearRenderTargetView(rtv, magenta);
    context->OMSetRenderTargets(1, &rtv, nullptr);
    D3D11_VIEWPORT vp{0, 0, 64, 32, 0, 1};
    context->RSSetViewports(1, &vp);
    context->RSSetState(rs);
    UINT stride = sizeof(QuadVertex), offset = 0;
    context->IASetInputLayout(layout);
    context->IASetVertexBuffers(0, 1, &vb, &stride, &offset);
    context->IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
    context->VSSetShader(vs, nullptr, 0);
    context->PSSetShader(ps, nullptr, 0);
    context->Draw(3, 0);
    ASSERT_EQ(swapChain->Present(0, 0), S_OK);

    std::vector<std::uint8_t> shown;
    UINT w = 0, h = 0;
    ASSERT_TRUE(gfx::ReadPresentedPixels(swapChain, shown, w, h));
    ASSERT_EQ(w, 64u);
    ASSERT_EQ(h, 32u);
    EXPECT_EQ(Texel8(shown, w, 10, 2), (std::array<int, 4>{255, 0, 0, 255}));   // top: red
    EXPECT_EQ(Texel8(shown, w, 10, 29), (std::array<int, 4>{0, 0, 255, 255}));  // bottom: blue

    // A resize gives a new back buffer of the asked size.
    context->OMSetRenderTargets(0, nullptr, nullptr);
    rtv->Release();
    ASSERT_EQ(swapChain->ResizeBuffers(0, 40, 20, DXGI_FORMAT_UNKNOWN, 0), S_OK);
    ASSERT_EQ(swapChain->GetBuffer(0, IID_ID3D11Texture2D, reinterpret_cast<void**>(&backBuffer)), S_OK);
    backBuffer->GetDesc(&td);
    EXPECT_EQ(td.Width, 40u);
    EXPECT_EQ(td.Format, DXGI_FORMAT_R8G8B8A8_UNORM_SRGB);
    backBuffer->Release();
    // Zero sizes take the window's client size, as after a WM_SIZE.
    SDL_SetWindowSize(window, 48, 24);
    int cw = 0, ch = 0;
    SDL_GL_GetDrawableSize(window, &cw, &ch);
    ASSERT_EQ(swapChain->ResizeBuffers(0, 0, 0, DXGI_FORMAT_UNKNOWN, 0), S_OK);
    ASSERT_EQ(swapChain->GetBuffer(0, IID_ID3D11Texture2D, reinterpret_cast<void**>(&backBuffer)), S_OK);
    backBuffer->GetDesc(&td);
    EXPECT_EQ(td.Width, UINT(cw));
    EXPECT_EQ(td.Height, UINT(ch));
    backBuffer->Release();
    EXPECT_EQ(swapChain->Present(1, 0), S_OK);

    for (IUnknown* o : std::initializer_list<IUnknown*>{vs, ps, layout, vb, rs, vsCode, psCode})
        o->Release();
    context->ClearState();
    swapChain->Release();
    context->Release();
    EXPECT_EQ(device->Release(), 0u);
    SDL_DestroyWindow(window);
}

TEST_F(Gfx, RegistersBindByNumberWithHlslPacking)
{
    auto* target = Texture(8, 8, DXGI_FORMAT_R32G32B32A32_FLOAT);
    auto* rtv = Rtv(target);
    // b1: float a; float2 b; (b at byte 4); b0: Resolution at c2.x; b3 with a matrix row.
    auto* ps = PixelShader(std::string(kVsOut) +
                           "cbuffer PSConstants : register(b0) { float2 Resolution : packoffset(c2.x); };\n"
                           "cbuffer block : register(b1) { float a; float2 b; float4x4 m; };\n"
                           "cbuffer vars : register(b3) { float first; float4 second; };\n"
                           "float4 p(VSOutput i) : SV_TARGET {\n"
                           "  if (i.PositionCS.x < 1) return float4(Resolution, a, b.x);\n"
                           "  if (i.PositionCS.x < 2) return float4(b.y, first, second.xy);\n"
                           "  return m[1];\n"
                           "}\n");
    float b0[12] = {};
    b0[8] = 1600;
    b0[9] = 900;
    float b1[20] = {};
    b1[0] = 1;  // a
    b1[1] = 2;  // b.x
    b1[2] = 3;  // b.y
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            b1[4 + r * 4 + c] = float(10 * r + c);  // column-major: register r holds column r
    float b3[8] = {5, 0, 0, 0, 6, 7, 8, 9};
    ID3D11Buffer* cbs[4] = {ConstantBuffer(48), ConstantBuffer(96), nullptr, ConstantBuffer(32)};
    Write(cbs[0], b0, sizeof b0);
    Write(cbs[1], b1, sizeof b1);
    Write(cbs[3], b3, sizeof b3);
    BindQuad();
    context->OMSetRenderTargets(1, &rtv, nullptr);
    context->PSSetShader(ps, nullptr, 0);
    context->PSSetConstantBuffers(0, 4, cbs);
    context->DrawIndexed(6, 0, 0);
    auto f = Floats(Read(target));
    EXPECT_EQ(std::vector<float>(f.begin(), f.begin() + 4), (std::vector<float>{1600, 900, 1, 2}));
    EXPECT_EQ(std::vector<float>(f.begin() + 4, f.begin() + 8), (std::vector<float>{3, 5, 6, 7}));
    // m[1] is row 1: the second float of each column register.
    EXPECT_EQ(std::vector<float>(f.begin() + 8, f.begin() + 12), (std::vector<float>{1, 11, 21, 31}));
}

TEST_F(Gfx, SamplersFollowRegistersNotNamesAndOneTextureTakesBoth)
{
    auto* target = Texture(8, 8, DXGI_FORMAT_R32G32B32A32_FLOAT);
    auto* rtv = Rtv(target);
    // Black and white texels side by side: sampled between them, point gives one, linear gives half.
    std::uint8_t texels[8] = {0, 0, 0, 255, 255, 255, 255, 255};
    auto* tex = Srv(Texture(2, 1, DXGI_FORMAT_R8G8B8A8_UNORM, D3D11_BIND_SHADER_RESOURCE, texels, 8));
    auto* ps = PixelShader(
        std::string(kVsOut) +
        "Texture2D InputTexture0 : register(t0);\n"
        "Texture2D InputTexture1 : register(t1);\n"
        "SamplerState LinearSampler : register(s0);\n"
        "SamplerState PointSampler : register(s1);\n"
        "float4 p(VSOutput i) : SV_TARGET {\n"
        "  float2 uv = float2(0.5, 0.5);\n"
        "  return float4(InputTexture0.Sample(LinearSampler, uv).r, InputTexture0.Sample(PointSampler, uv).r,\n"
        "                InputTexture1.Sample(PointSampler, uv).r, 1);\n"
        "}\n");
    ID3D11SamplerState* samplers[2] = {Sampler(D3D11_FILTER_MIN_MAG_MIP_POINT),
                                       Sampler(D3D11_FILTER_MIN_MAG_MIP_LINEAR)};
    ID3D11ShaderResourceView* views[2] = {tex, nullptr};
    BindQuad();
    context->OMSetRenderTargets(1, &rtv, nullptr);
    context->PSSetShader(ps, nullptr, 0);
    context->PSSetSamplers(0, 2, samplers);
    context->PSSetShaderResources(0, 2, views);
    context->DrawIndexed(6, 0, 0);
    auto f = Floats(Read(target));
    EXPECT_TRUE(f[0] == 0.0f || f[0] == 1.0f) << f[0];  // s0 filters by point
    EXPECT_NEAR(f[1], 0.5f, 0.01f);                     // s1 linearly
    EXPECT_EQ(f[2], 0.0f);                              // t1 unbound: zeros
}

TEST_F(Gfx, SrgbTargetsEncodeAndFloatTargetsKeepRange)
{
    auto* srgb = Texture(4, 4, DXGI_FORMAT_R8G8B8A8_UNORM_SRGB);
    auto* srgbRtv = Rtv(srgb);
    auto* wide = Texture(4, 4, DXGI_FORMAT_R16G16B16A16_FLOAT);
    auto* wideRtv = Rtv(wide);
    const float magenta[4] = {1, 0, 1, 1};
    context->ClearRenderTargetView(srgbRtv, magenta);
    EXPECT_EQ(Texel8(Read(srgb), 4, 1, 1), (std::array<int, 4>{255, 0, 255, 255}));

    auto* ps =
        PixelShader(std::string(kVsOut) + "float4 p(VSOutput i) : SV_TARGET { return float4(0.5, 4.0, 0.0, 1.0); }\n");
    targetWidth = targetHeight = 4;
    BindQuad();
    context->PSSetShader(ps, nullptr, 0);
    ID3D11RenderTargetView* both[2] = {srgbRtv, wideRtv};
    context->OMSetRenderTargets(1, &both[0], nullptr);
    context->DrawIndexed(6, 0, 0);
    auto px = Texel8(Read(srgb), 4, 2, 2);
    EXPECT_EQ(px[0], 188);
    EXPECT_EQ(px[1], 255);
    context->OMSetRenderTargets(1, &both[1], nullptr);
    context->DrawIndexed(6, 0, 0);
    auto half = Read(wide);
    std::uint16_t h[4];
    std::memcpy(h, half.data(), 8);
    EXPECT_FLOAT_EQ(Half(h[0]), 0.5f);
    EXPECT_FLOAT_EQ(Half(h[1]), 4.0f);
}

TEST_F(Gfx, DirectXDefaultsThatGlLacks)
{
    targetWidth = targetHeight = 4;
    auto* target = Texture(4, 4, DXGI_FORMAT_R32G32B32A32_FLOAT);
    auto* rtv = Rtv(target);
    const float blue[4] = {0, 0, 1, 1};
    BindQuad();
    context->OMSetRenderTargets(1, &rtv, nullptr);

    // Unbound texture and constant buffer read as zeros (alpha too).
    auto* reads =
        PixelShader(std::string(kVsOut) + "Texture2D t : register(t0); SamplerState s : register(s0);\n"
                                          "cbuffer c : register(b2) { float4 k; };\n"
                                          "float4 p(VSOutput i) : SV_TARGET { return t.Sample(s, i.TexCoord) + k; }\n");
    context->PSSetShader(reads, nullptr, 0);
    context->DrawIndexed(6, 0, 0);
    auto f = Floats(Read(target));
    EXPECT_EQ(std::vector<float>(f.begin(), f.begin() + 4), (std::vector<float>{0, 0, 0, 0}));

    // A null pixel shader writes no colour.
    context->ClearRenderTargetView(rtv, blue);
    context->PSSetShader(nullptr, nullptr, 0);
    context->DrawIndexed(6, 0, 0);
    f = Floats(Read(target));
    EXPECT_EQ(std::vector<float>(f.begin(), f.begin() + 4), (std::vector<float>{0, 0, 1, 1}));

    // A clear ignores scissor and write masks.
    D3D11_RASTERIZER_DESC rd{D3D11_FILL_SOLID, D3D11_CULL_NONE, FALSE, 0, 0, 0, TRUE, TRUE, FALSE, FALSE};
    ID3D11RasterizerState* scissored = nullptr;
    device->CreateRasterizerState(&rd, &scissored);
    Keep(scissored);
    D3D11_BLEND_DESC bd{};
    for (auto& rt : bd.RenderTarget)
        rt = {FALSE,           D3D11_BLEND_ONE,  D3D11_BLEND_ZERO,   D3D11_BLEND_OP_ADD,
              D3D11_BLEND_ONE, D3D11_BLEND_ZERO, D3D11_BLEND_OP_ADD, 0};
    ID3D11BlendState* noWrites = nullptr;
    device->CreateBlendState(&bd, &noWrites);
    Keep(noWrites);
    D3D11_RECT tiny{0, 0, 1, 1};
    context->RSSetScissorRects(1, &tiny);
    context->RSSetState(scissored);
    context->OMSetBlendState(noWrites, nullptr, 0xffffffff);
    context->PSSetShader(reads, nullptr, 0);
    context->DrawIndexed(6, 0, 0);  // makes GL's scissor and mask state what the draw wanted
    const float green[4] = {0, 1, 0, 1};
    context->ClearRenderTargetView(rtv, green);
    f = Floats(Read(target));
    EXPECT_EQ(std::vector<float>(f.end() - 4, f.end()), (std::vector<float>{0, 1, 0, 1}));
    context->OMSetBlendState(nullptr, nullptr, 0xffffffff);
    context->RSSetState(raster);

    // The viewport's depth range: a vertex at depth 0 lands at MinDepth.
    ID3DBlob* code =
        CompileOrFail("struct VSInput { float4 PositionCS : POSITION; float2 TexCoord : texcoord0; };\n"
                      "struct VSOutput { float4 PositionCS : SV_POSITION; float2 TexCoord : texcoord0; };\n"
                      "VSOutput v(VSInput input) { VSOutput o; o.PositionCS = float4(input.PositionCS.xy, 0, 1); "
                      "o.TexCoord = input.TexCoord; return o; }\n",
                      "v", "vs_5_0");
    ID3D11VertexShader* flat = nullptr;
    device->CreateVertexShader(code->GetBufferPointer(), code->GetBufferSize(), nullptr, &flat);
    code->Release();
    Keep(flat);
    auto* depth = PixelShader(std::string(kVsOut) + "float4 p(VSOutput i) : SV_TARGET { return i.PositionCS.z; }\n");
    BindQuad(0.01f, 1.0f);
    context->VSSetShader(flat, nullptr, 0);
    context->PSSetShader(depth, nullptr, 0);
    context->DrawIndexed(6, 0, 0);
    f = Floats(Read(target));
    EXPECT_NEAR(f[0], 0.01f, 1e-6);

    // A constant buffer smaller than the block reads zeros past its end,
    // also after a larger one was bound there.
    auto* block = PixelShader(std::string(kVsOut) +
                              "cbuffer c : register(b1) { float4 one; float4 two; };\n"
                              "float4 p(VSOutput i) : SV_TARGET { return float4(one.x, two.x, two.w, 1); }\n");
    BindQuad();
    context->PSSetShader(block, nullptr, 0);
    const float ones[8] = {1, 1, 1, 1, 1, 1, 1, 1};
    auto* large = ConstantBuffer(32);
    auto* small = ConstantBuffer(16);
    Write(large, ones, 32);
    Write(small, ones, 16);
    context->PSSetConstantBuffers(1, 1, &large);
    context->DrawIndexed(6, 0, 0);
    f = Floats(Read(target));
    EXPECT_EQ(std::vector<float>(f.begin(), f.begin() + 3), (std::vector<float>{1, 1, 1}));
    context->PSSetConstantBuffers(1, 1, &small);
    context->DrawIndexed(6, 0, 0);
    f = Floats(Read(target));
    EXPECT_EQ(std::vector<float>(f.begin(), f.begin() + 3), (std::vector<float>{1, 0, 0}));
}

TEST_F(Gfx, ConstantsUploadOnlyWhenTheirBytesChange)
{
    targetWidth = targetHeight = 2;
    auto* target = Texture(2, 2, DXGI_FORMAT_R32G32B32A32_FLOAT);
    auto* rtv = Rtv(target);
    auto* ps = PixelShader(std::string(kVsOut) + "cbuffer c : register(b1) { float4 k; };\n"
                                                 "float4 p(VSOutput i) : SV_TARGET { return k; }\n");
    auto* cb = ConstantBuffer(16);
    BindQuad();
    context->OMSetRenderTargets(1, &rtv, nullptr);
    context->PSSetShader(ps, nullptr, 0);
    context->PSSetConstantBuffers(1, 1, &cb);
    const float a[4] = {1, 2, 3, 4}, b[4] = {5, 6, 7, 8};
    Write(cb, a, 16);
    context->DrawIndexed(6, 0, 0);
    auto before = gfx::CurrentGlCallCounts();
    Write(cb, a, 16);  // same bytes
    context->DrawIndexed(6, 0, 0);
    auto same = gfx::CurrentGlCallCounts();
    EXPECT_EQ(same.uniformUploads, before.uniformUploads);
    EXPECT_EQ(same.stateChanges, before.stateChanges);  // an identical draw changes no GL state
    // A new buffer with the same bytes, as the intro makes its blocks every frame.
    auto* again = ConstantBuffer(16);
    Write(again, a, 16);
    context->PSSetConstantBuffers(1, 1, &again);
    context->DrawIndexed(6, 0, 0);
    EXPECT_EQ(gfx::CurrentGlCallCounts().uniformUploads, same.uniformUploads);
    Write(again, b, 16);
    context->DrawIndexed(6, 0, 0);
    EXPECT_EQ(gfx::CurrentGlCallCounts().uniformUploads, same.uniformUploads + 1);
    auto f = Floats(Read(target));
    EXPECT_EQ(std::vector<float>(f.begin(), f.begin() + 4), (std::vector<float>{5, 6, 7, 8}));
}

TEST_F(Gfx, ClearStateUnbindsEverythingAndViewsKeepResourcesAlive)
{
    targetWidth = targetHeight = 2;
    auto* target = Texture(2, 2, DXGI_FORMAT_R32G32B32A32_FLOAT);
    auto* rtv = Rtv(target);
    // A view whose texture the caller has released still works (texture generators rely on it).
    float red[4 * 4] = {1, 0, 0, 1, 1, 0, 0, 1, 1, 0, 0, 1, 1, 0, 0, 1};
    D3D11_TEXTURE2D_DESC d{
        2, 2, 1, 1, DXGI_FORMAT_R32G32B32A32_FLOAT, {1, 0}, D3D11_USAGE_DEFAULT, D3D11_BIND_SHADER_RESOURCE, 0, 0};
    D3D11_SUBRESOURCE_DATA init{red, 32, 0};
    ID3D11Texture2D* temporary = nullptr;
    ASSERT_EQ(device->CreateTexture2D(&d, &init, &temporary), S_OK);
    ID3D11ShaderResourceView* srv = nullptr;
    ASSERT_EQ(device->CreateShaderResourceView(temporary, nullptr, &srv), S_OK);
    EXPECT_EQ(temporary->Release(), 1u);  // the view's reference remains
    Keep(srv);
    D3D11_SHADER_RESOURCE_VIEW_DESC sd{};
    srv->GetDesc(&sd);
    EXPECT_EQ(sd.ViewDimension, D3D11_SRV_DIMENSION_TEXTURE2D);
    EXPECT_EQ(sd.Texture2D.MostDetailedMip, 0u);
    ID3D11Resource* resource = nullptr;
    srv->GetResource(&resource);
    D3D11_TEXTURE2D_DESC got{};
    static_cast<ID3D11Texture2D*>(resource)->GetDesc(&got);
    EXPECT_EQ(got.Width, 2u);
    resource->Release();

    auto* ps =
        PixelShader(std::string(kVsOut) + "Texture2D t : register(t0); SamplerState s : register(s0);\n"
                                          "float4 p(VSOutput i) : SV_TARGET { return t.Sample(s, i.TexCoord); }\n");
    BindQuad();
    context->OMSetRenderTargets(1, &rtv, nullptr);
    context->PSSetShader(ps, nullptr, 0);
    context->PSSetShaderResources(0, 1, &srv);
    context->DrawIndexed(6, 0, 0);
    auto f = Floats(Read(target));
    EXPECT_EQ(std::vector<float>(f.begin(), f.begin() + 4), (std::vector<float>{1, 0, 0, 1}));

    // After ClearState nothing is bound: a draw changes nothing.
    const float blue[4] = {0, 0, 1, 1};
    context->ClearRenderTargetView(rtv, blue);
    context->ClearState();
    context->OMSetRenderTargets(1, &rtv, nullptr);
    context->DrawIndexed(6, 0, 0);
    f = Floats(Read(target));
    EXPECT_EQ(std::vector<float>(f.begin(), f.begin() + 4), (std::vector<float>{0, 0, 1, 1}));
}

TEST_F(Gfx, MultisampledAndArrayTargets)
{
    // Four slices, one view each; sampled back through an array view.
    auto* array =
        Texture(4, 4, DXGI_FORMAT_R8G8B8A8_UNORM, D3D11_BIND_RENDER_TARGET | D3D11_BIND_SHADER_RESOURCE, nullptr, 0, 4);
    const float colours[4][4] = {{1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 1}, {1, 1, 1, 1}};
    for (UINT s = 0; s < 4; ++s) {
        D3D11_RENDER_TARGET_VIEW_DESC rd{};
        rd.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
        rd.ViewDimension = D3D11_RTV_DIMENSION_TEXTURE2DARRAY;
        rd.Texture2DArray = {0, s, 1};
        context->ClearRenderTargetView(Rtv(array, &rd), colours[s]);
    }
    for (UINT s = 0; s < 4; ++s) {
        auto px = Texel8(Read(array, s), 4, 3, 3);
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(px[c], int(colours[s][c] * 255)) << "slice " << s;
    }
    targetWidth = targetHeight = 4;
    auto* out = Texture(4, 4, DXGI_FORMAT_R32G32B32A32_FLOAT);
    auto* outRtv = Rtv(out);
    auto* ps = PixelShader(std::string(kVsOut) +
                           "Texture2DArray t : register(t0); SamplerState s : register(s0);\n"
                           "float4 p(VSOutput i) : SV_TARGET { return t.Sample(s, float3(i.TexCoord, 2)); }\n");
    auto* arraySrv = Srv(array);
    BindQuad();
    context->OMSetRenderTargets(1, &outRtv, nullptr);
    context->PSSetShader(ps, nullptr, 0);
    context->PSSetShaderResources(0, 1, &arraySrv);
    context->DrawIndexed(6, 0, 0);
    auto f = Floats(Read(out));
    EXPECT_EQ(std::vector<float>(f.begin(), f.begin() + 4), (std::vector<float>{0, 0, 1, 1}));

    // Four samples drawn, resolved to one.
    UINT levels = 0;
    ASSERT_EQ(device->CheckMultisampleQualityLevels(DXGI_FORMAT_R8G8B8A8_UNORM, 4, &levels), S_OK);
    ASSERT_GE(levels, 1u);
    auto* ms = Texture(4, 4, DXGI_FORMAT_R8G8B8A8_UNORM, D3D11_BIND_RENDER_TARGET | D3D11_BIND_SHADER_RESOURCE, nullptr,
                       0, 1, 4);
    auto* msRtv = Rtv(ms);
    D3D11_RENDER_TARGET_VIEW_DESC msDesc{};
    msRtv->GetDesc(&msDesc);
    EXPECT_EQ(msDesc.ViewDimension, D3D11_RTV_DIMENSION_TEXTURE2DMS);
    auto* white =
        PixelShader(std::string(kVsOut) + "float4 p(VSOutput i) : SV_TARGET { return float4(1, 0.5, 0, 1); }\n");
    context->OMSetRenderTargets(1, &msRtv, nullptr);
    context->PSSetShader(white, nullptr, 0);
    context->DrawIndexed(6, 0, 0);
    auto* resolved = Texture(4, 4, DXGI_FORMAT_R8G8B8A8_UNORM);
    context->ResolveSubresource(resolved, 0, ms, 0, DXGI_FORMAT_R8G8B8A8_UNORM);
    auto px = Texel8(Read(resolved), 4, 1, 1);
    EXPECT_EQ(px[0], 255);
    EXPECT_NEAR(px[1], 128, 1);
}

TEST_F(Gfx, DepthBufferWithTypelessFormatIsReadThroughItsShaderView)
{
    struct Case {
        DXGI_FORMAT typeless, depth, read;
    } cases[] = {{DXGI_FORMAT_R24G8_TYPELESS, DXGI_FORMAT_D24_UNORM_S8_UINT, DXGI_FORMAT_R24_UNORM_X8_TYPELESS},
                 {DXGI_FORMAT_R32_TYPELESS, DXGI_FORMAT_D32_FLOAT, DXGI_FORMAT_R32_FLOAT},
                 {DXGI_FORMAT_R16_TYPELESS, DXGI_FORMAT_D16_UNORM, DXGI_FORMAT_R16_UNORM}};
    targetWidth = targetHeight = 4;
    auto* out = Texture(4, 4, DXGI_FORMAT_R32G32B32A32_FLOAT);
    auto* outRtv = Rtv(out);
    auto* ps =
        PixelShader(std::string(kVsOut) + "Texture2D t : register(t0); SamplerState s : register(s0);\n"
                                          "float4 p(VSOutput i) : SV_TARGET { return t.Sample(s, i.TexCoord).r; }\n");
    for (const Case& c : cases) {
        auto* tex = Texture(4, 4, c.typeless, D3D11_BIND_DEPTH_STENCIL | D3D11_BIND_SHADER_RESOURCE);
        D3D11_DEPTH_STENCIL_VIEW_DESC dd{};
        dd.Format = c.depth;
        dd.ViewDimension = D3D11_DSV_DIMENSION_TEXTURE2D;
        ID3D11DepthStencilView* dsv = nullptr;
        ASSERT_EQ(device->CreateDepthStencilView(tex, &dd, &dsv), S_OK);
        Keep(dsv);
        D3D11_SHADER_RESOURCE_VIEW_DESC sd{};
        sd.Format = c.read;
        sd.ViewDimension = D3D11_SRV_DIMENSION_TEXTURE2D;
        sd.Texture2D = {0, 1};
        auto* srv = Srv(tex, &sd);
        context->ClearDepthStencilView(dsv, D3D11_CLEAR_DEPTH | D3D11_CLEAR_STENCIL, 0.25f, 0);
        BindQuad();
        context->OMSetRenderTargets(1, &outRtv, nullptr);
        context->PSSetShader(ps, nullptr, 0);
        context->PSSetShaderResources(0, 1, &srv);
        context->DrawIndexed(6, 0, 0);
        auto f = Floats(Read(out));
        EXPECT_NEAR(f[0], 0.25f, 1e-3) << c.typeless;
        context->ClearState();
    }
}

TEST_F(Gfx, ComputeShaderWritesThroughUnorderedAccessViews)
{
    // A typed buffer read through its shader view, written into another through its UAV and into a texture.
    float input[16 * 4];
    for (int i = 0; i < 64; ++i)
        input[i] = float(i);
    D3D11_BUFFER_DESC bd{
        sizeof input, D3D11_USAGE_DEFAULT, D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_UNORDERED_ACCESS, 0, 0, 0};
    D3D11_SUBRESOURCE_DATA init{input, 0, 0};
    ID3D11Buffer *inBuf = nullptr, *outBuf = nullptr;
    ASSERT_EQ(device->CreateBuffer(&bd, &init, &inBuf), S_OK);
    ASSERT_EQ(device->CreateBuffer(&bd, nullptr, &outBuf), S_OK);
    Keep(inBuf);
    Keep(outBuf);
    D3D11_SHADER_RESOURCE_VIEW_DESC sd{};
    sd.Format = DXGI_FORMAT_R32G32B32A32_FLOAT;
    sd.ViewDimension = D3D11_SRV_DIMENSION_BUFFER;
    sd.Buffer.FirstElement = 0;
    sd.Buffer.NumElements = 16;
    auto* inView = Srv(inBuf, &sd);
    D3D11_UNORDERED_ACCESS_VIEW_DESC ud{};
    ud.Format = DXGI_FORMAT_R32G32B32A32_FLOAT;
    ud.ViewDimension = D3D11_UAV_DIMENSION_BUFFER;
    ud.Buffer = {0, 16, 0};
    ID3D11UnorderedAccessView* outView = nullptr;
    ASSERT_EQ(device->CreateUnorderedAccessView(outBuf, &ud, &outView), S_OK);
    Keep(outView);
    auto* tex = Texture(4, 4, DXGI_FORMAT_R8G8B8A8_UNORM, D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_UNORDERED_ACCESS);
    ID3D11UnorderedAccessView* texView = nullptr;
    ASSERT_EQ(device->CreateUnorderedAccessView(tex, nullptr, &texView), S_OK);
    Keep(texView);

    ID3DBlob* code = CompileOrFail("Buffer<float4> src : register(t0);\n"
                                   "RWBuffer<float4> dst : register(u0);\n"
                                   "RWTexture2D<float4> img : register(u1);\n"
                                   "cbuffer k : register(b0) { float4 add; };\n"
                                   "[numthreads(4, 4, 1)]\n"
                                   "void c(uint3 id : SV_DispatchThreadID) {\n"
                                   "  uint i = id.y * 4 + id.x;\n"
                                   "  dst[i] = src[i] + add;\n"
                                   "  img[id.xy] = float4(id.x / 3.0, id.y / 3.0, 0, 1);\n"
                                   "}\n",
                                   "c", "cs_5_0");
    ASSERT_NE(code, nullptr);
    ID3D11ShaderReflection* reflection = nullptr;
    ASSERT_EQ(D3DReflect(code->GetBufferPointer(), code->GetBufferSize(), IID_ID3D11ShaderReflection,
                         reinterpret_cast<void**>(&reflection)),
              S_OK);
    UINT gx = 0, gy = 0, gz = 0;
    reflection->GetThreadGroupSize(&gx, &gy, &gz);
    EXPECT_EQ(gx * gy * gz, 16u);
    reflection->Release();
    ID3D11ComputeShader* cs = nullptr;
    ASSERT_EQ(device->CreateComputeShader(code->GetBufferPointer(), code->GetBufferSize(), nullptr, &cs), S_OK);
    code->Release();
    Keep(cs);
    auto* cb = ConstantBuffer(16);
    const float add[4] = {100, 0, 0, 0};
    Write(cb, add, 16);
    ID3D11UnorderedAccessView* uavs[2] = {outView, texView};
    context->CSSetShader(cs, nullptr, 0);
    context->CSSetShaderResources(0, 1, &inView);
    context->CSSetUnorderedAccessViews(0, 2, uavs, nullptr);
    context->CSSetConstantBuffers(0, 1, &cb);
    context->Dispatch(1, 1, 1);

    D3D11_BUFFER_DESC sdesc{sizeof input, D3D11_USAGE_STAGING, 0, D3D11_CPU_ACCESS_READ, 0, 0};
    ID3D11Buffer* staging = nullptr;
    ASSERT_EQ(device->CreateBuffer(&sdesc, nullptr, &staging), S_OK);
    Keep(staging);
    context->CopyResource(staging, outBuf);
    D3D11_MAPPED_SUBRESOURCE m{};
    ASSERT_EQ(context->Map(staging, 0, D3D11_MAP_READ, 0, &m), S_OK);
    const float* got = static_cast<const float*>(m.pData);
    EXPECT_EQ(got[0], 100.0f);
    EXPECT_EQ(got[5 * 4 + 0], 120.0f);
    EXPECT_EQ(got[5 * 4 + 1], 21.0f);
    context->Unmap(staging, 0);
    auto px = Texel8(Read(tex), 4, 3, 0);
    EXPECT_EQ(px[0], 255);
    EXPECT_EQ(px[1], 0);
}

TEST_F(Gfx, DefaultRasterizerCullsBackFacesWithClockwiseFront)
{
    targetWidth = targetHeight = 4;
    auto* target = Texture(4, 4, DXGI_FORMAT_R32G32B32A32_FLOAT);
    auto* rtv = Rtv(target);
    auto* ps = PixelShader(std::string(kVsOut) + "float4 p(VSOutput i) : SV_TARGET { return 1; }\n");
    const float zero[4] = {0, 0, 0, 0};
    struct Case {
        const char* what;
        bool counterClockwiseFront;  // null state: false
        bool useNullState;
        bool drawn;
    } cases[] = {{"default state, quad is clockwise on screen", false, true, true},
                 {"front counter-clockwise culls the quad", true, false, false},
                 {"front clockwise keeps it", false, false, true}};
    for (const Case& c : cases) {
        BindQuad();
        ID3D11RasterizerState* rs = nullptr;
        if (!c.useNullState) {
            D3D11_RASTERIZER_DESC rd{
                D3D11_FILL_SOLID, D3D11_CULL_BACK, c.counterClockwiseFront, 0, 0, 0, TRUE, FALSE, FALSE, FALSE};
            device->CreateRasterizerState(&rd, &rs);
            Keep(rs);
        }
        context->RSSetState(rs);
        context->ClearRenderTargetView(rtv, zero);
        context->OMSetRenderTargets(1, &rtv, nullptr);
        context->PSSetShader(ps, nullptr, 0);
        context->DrawIndexed(6, 0, 0);
        auto f = Floats(Read(target));
        EXPECT_EQ(f[0], c.drawn ? 1.0f : 0.0f) << c.what;
    }
}

TEST_F(Gfx, ViewOfALaterMipLevelReadsThatLevel)
{
    // Level 0 of 4x4 red, level 1 of 2x2 green; a view from level 1 reads green.
    std::vector<std::uint8_t> level0(4 * 4 * 4), level1(2 * 2 * 4);
    for (std::size_t i = 0; i < level0.size(); i += 4)
        level0[i] = 255, level0[i + 3] = 255;
    for (std::size_t i = 0; i < level1.size(); i += 4)
        level1[i + 1] = 255, level1[i + 3] = 255;
    D3D11_TEXTURE2D_DESC d{
        4, 4, 2, 1, DXGI_FORMAT_R8G8B8A8_UNORM, {1, 0}, D3D11_USAGE_DEFAULT, D3D11_BIND_SHADER_RESOURCE, 0, 0};
    D3D11_SUBRESOURCE_DATA init[2] = {{level0.data(), 16, 0}, {level1.data(), 8, 0}};
    ID3D11Texture2D* tex = nullptr;
    ASSERT_EQ(device->CreateTexture2D(&d, init, &tex), S_OK);
    Keep(tex);
    D3D11_SHADER_RESOURCE_VIEW_DESC sd{};
    sd.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    sd.ViewDimension = D3D11_SRV_DIMENSION_TEXTURE2D;
    sd.Texture2D = {1, UINT(-1)};
    auto* srv = Srv(tex, &sd);
    D3D11_SHADER_RESOURCE_VIEW_DESC got{};
    srv->GetDesc(&got);
    EXPECT_EQ(got.Texture2D.MostDetailedMip, 1u);
    EXPECT_EQ(got.Texture2D.MipLevels, 1u);
    targetWidth = targetHeight = 2;
    auto* target = Texture(2, 2, DXGI_FORMAT_R32G32B32A32_FLOAT);
    auto* rtv = Rtv(target);
    auto* ps =
        PixelShader(std::string(kVsOut) + "Texture2D t : register(t0); SamplerState s : register(s1);\n"
                                          "float4 p(VSOutput i) : SV_TARGET { return t.Sample(s, i.TexCoord); }\n");
    auto* linear = Sampler(D3D11_FILTER_MIN_MAG_MIP_LINEAR);
    ID3D11SamplerState* samplers[2] = {nullptr, linear};
    BindQuad();
    context->OMSetRenderTargets(1, &rtv, nullptr);
    context->PSSetShader(ps, nullptr, 0);
    context->PSSetShaderResources(0, 1, &srv);
    context->PSSetSamplers(0, 2, samplers);
    context->DrawIndexed(6, 0, 0);
    auto f = Floats(Read(target));
    EXPECT_EQ(std::vector<float>(f.begin(), f.begin() + 4), (std::vector<float>{0, 1, 0, 1}));
    // Staging readback of level 1 alone.
    EXPECT_EQ(Texel8(Read(tex, 1), 2, 1, 1), (std::array<int, 4>{0, 255, 0, 255}));
}

TEST_F(Gfx, CreationRefusesWhatItCannotMake)
{
    D3D11_TEXTURE2D_DESC d{
        0, 4, 1, 1, DXGI_FORMAT_R8G8B8A8_UNORM, {1, 0}, D3D11_USAGE_DEFAULT, D3D11_BIND_SHADER_RESOURCE, 0, 0};
    ID3D11Texture2D* tex = reinterpret_cast<ID3D11Texture2D*>(1);
    EXPECT_EQ(device->CreateTexture2D(&d, nullptr, &tex), E_INVALIDARG);
    EXPECT_EQ(tex, nullptr);
    D3D11_BUFFER_DESC b{0, D3D11_USAGE_DYNAMIC, D3D11_BIND_CONSTANT_BUFFER, D3D11_CPU_ACCESS_WRITE, 0, 0};
    ID3D11Buffer* buf = reinterpret_cast<ID3D11Buffer*>(1);
    EXPECT_EQ(device->CreateBuffer(&b, nullptr, &buf), E_INVALIDARG);  // a zero-float block gets no buffer
    EXPECT_EQ(buf, nullptr);
    // A typeless texture has no view without a format.
    d.Width = 4;
    d.Format = DXGI_FORMAT_R24G8_TYPELESS;
    d.BindFlags = D3D11_BIND_DEPTH_STENCIL | D3D11_BIND_SHADER_RESOURCE;
    ASSERT_EQ(device->CreateTexture2D(&d, nullptr, &tex), S_OK);
    ID3D11ShaderResourceView* srv = reinterpret_cast<ID3D11ShaderResourceView*>(1);
    EXPECT_EQ(device->CreateShaderResourceView(tex, nullptr, &srv), E_INVALIDARG);
    EXPECT_EQ(srv, nullptr);
    tex->Release();
    // More levels than the chain of a 4x4 texture has (three), whatever its usage.
    for (D3D11_USAGE usage : {D3D11_USAGE_DEFAULT, D3D11_USAGE_STAGING}) {
        D3D11_TEXTURE2D_DESC m{4,
                               4,
                               4,
                               1,
                               DXGI_FORMAT_R8G8B8A8_UNORM,
                               {1, 0},
                               usage,
                               usage == D3D11_USAGE_STAGING ? 0u : UINT(D3D11_BIND_SHADER_RESOURCE),
                               usage == D3D11_USAGE_STAGING ? UINT(D3D11_CPU_ACCESS_READ) : 0u,
                               0};
        EXPECT_EQ(device->CreateTexture2D(&m, nullptr, &tex), E_INVALIDARG) << usage;
        m.MipLevels = 0xffffffffu;
        EXPECT_EQ(device->CreateTexture2D(&m, nullptr, &tex), E_INVALIDARG) << usage;
        m.MipLevels = 3;
        ASSERT_EQ(device->CreateTexture2D(&m, nullptr, &tex), S_OK) << usage;
        tex->Release();
    }
    // Bytes that are not bytecode make no shader.
    ID3D11PixelShader* ps = reinterpret_cast<ID3D11PixelShader*>(1);
    const char junk[16] = {};
    EXPECT_EQ(device->CreatePixelShader(junk, sizeof junk, nullptr, &ps), E_INVALIDARG);
    EXPECT_EQ(ps, nullptr);
}

TEST_F(Gfx, DriverFailuresComeBackAsCompilerErrors)
{
    // glslang and SPIRV-Cross accept it; the driver's limits do not.
    std::string text =
        "cbuffer a : register(b0) { float4 x[4096]; };\n"
        "cbuffer b : register(b1) { float4 y[4096]; };\n"
        "cbuffer c : register(b2) { float4 z[4096]; };\n"
        "float4 p(float4 pos : SV_POSITION) : SV_TARGET { int i = int(pos.x); return x[i] + y[i] + z[i]; }\n";
    ID3DBlob* code = nullptr;
    ID3DBlob* errors = nullptr;
    EXPECT_EQ(D3DCompile(text.c_str(), text.size(), "big.hlsl", nullptr, nullptr, "p", "ps_5_0", 0, 0, &code, &errors),
              E_FAIL);
    EXPECT_EQ(code, nullptr);
    ASSERT_NE(errors, nullptr);
    std::string messages = static_cast<const char*>(errors->GetBufferPointer());
    errors->Release();
    EXPECT_NE(messages.find("big.hlsl("), std::string::npos) << messages;
    EXPECT_NE(messages.find("): error: "), std::string::npos) << messages;
}

TEST_F(Gfx, SrgbEncodeHoldsForEveryOutputWidthAndNotForBlending)
{
    targetWidth = targetHeight = 2;
    auto* srgb = Texture(2, 2, DXGI_FORMAT_R8G8B8A8_UNORM_SRGB);
    auto* rtv = Rtv(srgb);
    struct Case {
        const char* returns;
        int red;
    } cases[] = {{"float4 p(VSOutput i) : SV_TARGET { return float4(0.5, 0, 0, 1); }", 188},
                 {"float3 p(VSOutput i) : SV_TARGET { return float3(0.5, 0, 0); }", 188},
                 {"float p(VSOutput i) : SV_TARGET { return 0.5; }", 188}};
    const float black[4] = {0, 0, 0, 0};
    for (const Case& c : cases) {
        auto* ps = PixelShader(std::string(kVsOut) + c.returns + "\n");
        context->ClearRenderTargetView(rtv, black);
        BindQuad();
        context->OMSetRenderTargets(1, &rtv, nullptr);
        context->PSSetShader(ps, nullptr, 0);
        context->DrawIndexed(6, 0, 0);
        EXPECT_EQ(Texel8(Read(srgb), 2, 0, 0)[0], c.red) << c.returns;
    }
    // Additive blending of two 0.25s adds in linear light: 0.5 stored, within the driver's encode.
    D3D11_BLEND_DESC bd{};
    for (auto& rt : bd.RenderTarget)
        rt = {TRUE,
              D3D11_BLEND_ONE,
              D3D11_BLEND_ONE,
              D3D11_BLEND_OP_ADD,
              D3D11_BLEND_ONE,
              D3D11_BLEND_ONE,
              D3D11_BLEND_OP_ADD,
              0xF};
    ID3D11BlendState* additive = nullptr;
    device->CreateBlendState(&bd, &additive);
    Keep(additive);
    auto* quarter =
        PixelShader(std::string(kVsOut) + "float4 p(VSOutput i) : SV_TARGET { return float4(0.25, 0, 0, 1); }\n");
    context->ClearRenderTargetView(rtv, black);
    context->OMSetBlendState(additive, nullptr, 0xffffffff);
    context->PSSetShader(quarter, nullptr, 0);
    context->DrawIndexed(6, 0, 0);
    context->DrawIndexed(6, 0, 0);
    EXPECT_NEAR(Texel8(Read(srgb), 2, 1, 1)[0], 188, 1);
}

TEST(GfxDebug, DebugInterfacesOnADebugDevice)
{
    ID3D11Device* device = nullptr;
    ID3D11DeviceContext* context = nullptr;
    ASSERT_EQ(D3D11CreateDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, D3D11_CREATE_DEVICE_DEBUG, nullptr, 0,
                                D3D11_SDK_VERSION, &device, nullptr, &context),
              S_OK);
    ID3D11Debug* debug = nullptr;
    ASSERT_EQ(device->QueryInterface(IID_ID3D11Debug, reinterpret_cast<void**>(&debug)), S_OK);
    ID3D11InfoQueue* queue = nullptr;
    ASSERT_EQ(debug->QueryInterface(IID_ID3D11InfoQueue, reinterpret_cast<void**>(&queue)), S_OK);
    EXPECT_EQ(queue->SetBreakOnSeverity(D3D11_MESSAGE_SEVERITY_CORRUPTION, TRUE), S_OK);
    EXPECT_EQ(queue->SetBreakOnSeverity(D3D11_MESSAGE_SEVERITY_ERROR, TRUE), S_OK);
    D3D11_MESSAGE_ID deny[1] = {D3D11_MESSAGE_ID_SETPRIVATEDATA_CHANGINGPARAMS};
    D3D11_INFO_QUEUE_FILTER filter{};
    filter.DenyList.NumIDs = 1;
    filter.DenyList.pIDList = deny;
    EXPECT_EQ(queue->AddStorageFilterEntries(&filter), S_OK);
    queue->Release();
    context->Release();
    EXPECT_EQ(device->Release(), 1u);  // the debug interface still holds the device
    EXPECT_EQ(debug->ReportLiveDeviceObjects(D3D11_RLDO_SUMMARY | D3D11_RLDO_DETAIL), S_OK);
    EXPECT_EQ(debug->Release(), 0u);
}

TEST_F(Gfx, AnEmptyGeneratedBlockCompiles)
{
    // A scene's post section without parameters generates an empty "vars" block.
    auto* ps = PixelShader("cbuffer vars : register(b3) {  };\n\n" + std::string(kVsOut) +
                           "float4 p(VSOutput i) : SV_TARGET { return 1; }\n");
    EXPECT_NE(ps, nullptr);
}

TEST_F(Gfx, AResourceBoundAsTargetLeavesTheShaderSlots)
{
    targetWidth = targetHeight = 2;
    float red[16] = {1, 0, 0, 1, 1, 0, 0, 1, 1, 0, 0, 1, 1, 0, 0, 1};
    auto* a =
        Texture(2, 2, DXGI_FORMAT_R32G32B32A32_FLOAT, D3D11_BIND_RENDER_TARGET | D3D11_BIND_SHADER_RESOURCE, red, 32);
    auto* b = Texture(2, 2, DXGI_FORMAT_R32G32B32A32_FLOAT);
    auto* aSrv = Srv(a);
    auto* aRtv = Rtv(a);
    auto* bRtv = Rtv(b);
    auto* ps =
        PixelShader(std::string(kVsOut) +
                    "Texture2D t : register(t0); SamplerState s : register(s0);\n"
                    "float4 p(VSOutput i) : SV_TARGET { return t.Sample(s, i.TexCoord) + float4(0, 0, 0.5, 0); }\n");
    BindQuad();
    context->PSSetShader(ps, nullptr, 0);
    context->OMSetRenderTargets(1, &bRtv, nullptr);
    context->PSSetShaderResources(0, 1, &aSrv);
    context->DrawIndexed(6, 0, 0);
    auto f = Floats(Read(b));
    EXPECT_EQ(std::vector<float>(f.begin(), f.begin() + 4), (std::vector<float>{1, 0, 0.5f, 1}));
    // Binding a as the target empties t0, and it stays empty after a is no longer the target.
    context->OMSetRenderTargets(1, &aRtv, nullptr);
    context->OMSetRenderTargets(1, &bRtv, nullptr);
    context->DrawIndexed(6, 0, 0);
    f = Floats(Read(b));
    EXPECT_EQ(std::vector<float>(f.begin(), f.begin() + 4), (std::vector<float>{0, 0, 0.5f, 0}));
}

TEST(GfxWindow, FullScreenKeepsTheConfiguredBufferSize)
{
    WindowDevice made;
    ASSERT_NO_FATAL_FAILURE(CreateWindowDevice(320, 200, FALSE, made));
    SDL_Window* window = made.window;
    IDXGISwapChain* swapChain = made.swapChain;
    ID3D11Device* device = made.device;
    ID3D11DeviceContext* context = made.context;
    EXPECT_NE(SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN, 0u);
    ID3D11Texture2D* backBuffer = nullptr;
    ASSERT_EQ(swapChain->GetBuffer(0, IID_ID3D11Texture2D, reinterpret_cast<void**>(&backBuffer)), S_OK);
    D3D11_TEXTURE2D_DESC td{};
    backBuffer->GetDesc(&td);
    EXPECT_EQ(td.Width, 320u);
    EXPECT_EQ(td.Height, 200u);
    backBuffer->Release();
    DXGI_SWAP_CHAIN_DESC got{};
    swapChain->GetDesc(&got);
    EXPECT_EQ(got.Windowed, FALSE);
    EXPECT_EQ(swapChain->Present(0, 0), S_OK);
    // A size no texture can have is refused and leaves the buffer and its desc as they were.
    EXPECT_TRUE(FAILED(swapChain->ResizeBuffers(0, 100000, 200, DXGI_FORMAT_UNKNOWN, 0)));
    swapChain->GetDesc(&got);
    EXPECT_EQ(got.BufferDesc.Width, 320u);
    ASSERT_EQ(swapChain->GetBuffer(0, IID_ID3D11Texture2D, reinterpret_cast<void**>(&backBuffer)), S_OK);
    backBuffer->GetDesc(&td);
    EXPECT_EQ(td.Width, 320u);
    backBuffer->Release();
    EXPECT_EQ(swapChain->Present(0, 0), S_OK);
    EXPECT_EQ(swapChain->SetFullscreenState(FALSE, nullptr), S_OK);
    EXPECT_EQ(SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN, 0u);
    swapChain->Release();
    context->Release();
    EXPECT_EQ(device->Release(), 0u);
    SDL_DestroyWindow(window);
}

TEST_F(Gfx, ViewRangesBeyondTheTextureAreRefused)
{
    // Two slices of two levels; first and count as callers may pass them, -1 meaning all the rest.
    ID3D11Texture2D* colour = Texture(
        4, 4, DXGI_FORMAT_R8G8B8A8_UNORM,
        D3D11_BIND_RENDER_TARGET | D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_UNORDERED_ACCESS, nullptr, 0, 2, 1, 2);
    ID3D11Texture2D* depth = Texture(4, 4, DXGI_FORMAT_D24_UNORM_S8_UINT, D3D11_BIND_DEPTH_STENCIL, nullptr, 0, 2);
    ASSERT_TRUE(colour && depth);
    struct Case {
        UINT first, count;
        HRESULT expected;
    } cases[] = {
        {0, 2, S_OK},
        {1, UINT(-1), S_OK},
        {0xffffffffu, 2, E_INVALIDARG},
        {0xfffffffeu, 3, E_INVALIDARG},
        {2, 1, E_INVALIDARG},
        {3, UINT(-1), E_INVALIDARG},
        {0, 3, E_INVALIDARG},
        {1, 0, E_INVALIDARG},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "first " << c.first << " count " << c.count);
        D3D11_RENDER_TARGET_VIEW_DESC rd{};
        rd.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
        rd.ViewDimension = D3D11_RTV_DIMENSION_TEXTURE2DARRAY;
        rd.Texture2DArray = {0, c.first, c.count};
        ID3D11RenderTargetView* rtv = nullptr;
        EXPECT_EQ(device->CreateRenderTargetView(colour, &rd, &rtv), c.expected);
        if (rtv)
            rtv->Release();

        D3D11_DEPTH_STENCIL_VIEW_DESC dd{};
        dd.Format = DXGI_FORMAT_D24_UNORM_S8_UINT;
        dd.ViewDimension = D3D11_DSV_DIMENSION_TEXTURE2DARRAY;
        dd.Texture2DArray = {0, c.first, c.count};
        ID3D11DepthStencilView* dsv = nullptr;
        EXPECT_EQ(device->CreateDepthStencilView(depth, &dd, &dsv), c.expected);
        if (dsv)
            dsv->Release();

        D3D11_UNORDERED_ACCESS_VIEW_DESC ud{};
        ud.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
        ud.ViewDimension = D3D11_UAV_DIMENSION_TEXTURE2DARRAY;
        ud.Texture2DArray = {0, c.first, c.count};
        ID3D11UnorderedAccessView* uav = nullptr;
        EXPECT_EQ(device->CreateUnorderedAccessView(colour, &ud, &uav), c.expected);
        if (uav)
            uav->Release();

        // The same ranges over slices and over levels of a shader view.
        D3D11_SHADER_RESOURCE_VIEW_DESC sd{};
        sd.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
        sd.ViewDimension = D3D11_SRV_DIMENSION_TEXTURE2DARRAY;
        sd.Texture2DArray = {0, UINT(-1), c.first, c.count};
        ID3D11ShaderResourceView* srv = nullptr;
        EXPECT_EQ(device->CreateShaderResourceView(colour, &sd, &srv), c.expected);
        if (srv)
            srv->Release();
        sd.Texture2DArray = {c.first, c.count, 0, 2};
        srv = nullptr;
        EXPECT_EQ(device->CreateShaderResourceView(colour, &sd, &srv), c.expected);
        if (srv)
            srv->Release();
    }
}

TEST_F(Gfx, SlotRangesPastTheLastSlotBindNothing)
{
    auto* target = Texture(8, 8, DXGI_FORMAT_R32G32B32A32_FLOAT);
    auto* rtv = Rtv(target);
    std::uint8_t white[4] = {255, 255, 255, 255};
    auto* tex = Srv(Texture(1, 1, DXGI_FORMAT_R8G8B8A8_UNORM, D3D11_BIND_SHADER_RESOURCE, white, 4));
    auto* cb = ConstantBuffer(16);
    const float one[4] = {1, 1, 1, 1};
    Write(cb, one, sizeof one);
    auto* ps = PixelShader(std::string(kVsOut) +
                           "Texture2D InputTexture0 : register(t0);\n"
                           "SamplerState PointSampler : register(s0);\n"
                           "cbuffer C : register(b0) { float4 k; };\n"
                           "float4 p(VSOutput i) : SV_TARGET {\n"
                           "  return float4(InputTexture0.Sample(PointSampler, float2(0.5, 0.5)).r, k.x, 0, 1);\n"
                           "}\n");
    ID3D11SamplerState* sampler = Sampler(D3D11_FILTER_MIN_MAG_MIP_POINT);
    BindQuad();
    context->OMSetRenderTargets(1, &rtv, nullptr);
    context->PSSetShader(ps, nullptr, 0);
    context->PSSetSamplers(0, 1, &sampler);
    context->PSSetShaderResources(0, 1, &tex);
    context->PSSetConstantBuffers(0, 1, &cb);
    // Starts past the last slot, some so far that start + 1 wraps to slot 0: none of them unbinds slot 0.
    ID3D11ShaderResourceView* noViews[2] = {};
    ID3D11Buffer* noBuffers[2] = {};
    ID3D11SamplerState* noSamplers[2] = {};
    ID3D11UnorderedAccessView* noUavs[2] = {};
    ID3D11Buffer* noVbs[2] = {};
    UINT zeros[2] = {};
    for (UINT start : {UINT(D3D11_COMMONSHADER_INPUT_RESOURCE_SLOT_COUNT), 0xffffffffu}) {
        context->PSSetShaderResources(start, 2, noViews);
        context->PSSetConstantBuffers(start, 2, noBuffers);
        context->PSSetSamplers(start, 2, noSamplers);
        context->CSSetUnorderedAccessViews(start, 2, noUavs, nullptr);
        context->IASetVertexBuffers(start, 2, noVbs, zeros, zeros);
    }
    context->DrawIndexed(6, 0, 0);
    auto f = Floats(Read(target));
    EXPECT_EQ(f[0], 1.0f);  // t0 still bound
    EXPECT_EQ(f[1], 1.0f);  // b0 still bound
}

TEST_F(Gfx, UpdatesAndCopiesOutsideTheTextureAreIgnored)
{
    // D24S8 goes through a converted copy of the caller's rows: an inverted box must not size it.
    auto* depth = Texture(4, 4, DXGI_FORMAT_D24_UNORM_S8_UINT, D3D11_BIND_DEPTH_STENCIL);
    const std::vector<std::uint8_t> zeros(64, 0);
    auto* colour = Texture(4, 4, DXGI_FORMAT_R8G8B8A8_UNORM, D3D11_BIND_SHADER_RESOURCE, zeros.data(), 16);
    ASSERT_TRUE(depth && colour);
    std::vector<std::uint8_t> texels(64, 0xff);
    const D3D11_BOX boxes[] = {
        {5, 0, 0, 4, 1, 1},               // right before left
        {0, 2, 0, 4, 1, 1},               // bottom before top
        {0xfffffff0u, 0, 0, 0x10, 1, 1},  // left + width wraps
        {0, 0, 0, 5, 1, 1},               // past the right edge
    };
    for (const D3D11_BOX& box : boxes) {
        context->UpdateSubresource(depth, 0, &box, texels.data(), 16, 0);
        context->UpdateSubresource(colour, 0, &box, texels.data(), 16, 0);
    }
    EXPECT_EQ(Read(colour)[0], 0);  // nothing was written
    // A staging copy with other levels or slices than the source is refused, not run past its end.
    D3D11_TEXTURE2D_DESC d{4,
                           4,
                           1,
                           2,
                           DXGI_FORMAT_R8G8B8A8_UNORM,
                           {1, 0},
                           D3D11_USAGE_STAGING,
                           0,
                           D3D11_CPU_ACCESS_READ | D3D11_CPU_ACCESS_WRITE,
                           0};
    ID3D11Texture2D* twoSlices = nullptr;
    ASSERT_EQ(device->CreateTexture2D(&d, nullptr, &twoSlices), S_OK);
    Keep(twoSlices);
    d.MipLevels = 2;
    d.ArraySize = 1;
    ID3D11Texture2D* twoLevels = nullptr;
    ASSERT_EQ(device->CreateTexture2D(&d, nullptr, &twoLevels), S_OK);
    Keep(twoLevels);
    auto* target = Texture(4, 4, DXGI_FORMAT_R8G8B8A8_UNORM, D3D11_BIND_SHADER_RESOURCE, nullptr, 0, 2);
    context->CopyResource(target, twoLevels);
    context->CopyResource(twoLevels, twoSlices);
    context->CopyResource(twoSlices, twoLevels);
}

TEST_F(Gfx, IndexCountsPastTheIndexBufferDrawOnlyWhatItHolds)
{
    targetWidth = targetHeight = 4;
    auto* target = Texture(4, 4, DXGI_FORMAT_R32G32B32A32_FLOAT);
    auto* rtv = Rtv(target);
    auto* ps = PixelShader(std::string(kVsOut) + "float4 p(VSOutput i) : SV_TARGET { return float4(0, 1, 0, 1); }\n");
    BindQuad();
    context->OMSetRenderTargets(1, &rtv, nullptr);
    context->PSSetShader(ps, nullptr, 0);
    const float blue[4] = {0, 0, 1, 1};
    struct Case {
        UINT count, start;
        float green;  // of every texel
    } cases[] = {
        {1000000, 0, 1},      // the six indices there are
        {6, 6, 0},            // starts at the end
        {6, 0xfffffff0u, 0},  // start * 2 bytes wraps in 32 bits
        {0xffffffffu, 3, 0},  // one triangle, half the target: not all green
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "count " << c.count << " start " << c.start);
        context->ClearRenderTargetView(rtv, blue);
        context->DrawIndexed(c.count, c.start, 0);
        context->DrawIndexedInstanced(c.count, 1, c.start, 0, 0);
        auto f = Floats(Read(target));
        float all = 1;
        for (std::size_t i = 1; i < f.size(); i += 4)
            all = std::min(all, f[i]);
        EXPECT_EQ(all, c.green);
    }
}
