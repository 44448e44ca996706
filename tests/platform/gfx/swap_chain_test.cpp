// Swap chains on a hidden window: the image shown upright, resizes, full screen.
#include <SDL.h>

#include "gfx_fixture.h"
#include "platform/gfx/gl/swap_chain.h"
#include "platform/window/native_window.h"

using namespace gfxtest;

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
        std::string(kPixelInput) +
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
    const D3D11_BUFFER_DESC bd = BufferDesc(sizeof tri).Bind(D3D11_BIND_VERTEX_BUFFER).desc;
    D3D11_SUBRESOURCE_DATA data{tri, 0, 0};
    ID3D11Buffer* vb = nullptr;
    device->CreateBuffer(&bd, &data, &vb);
    const D3D11_RASTERIZER_DESC rd = RasterizerDesc(D3D11_CULL_NONE).desc;
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
