#include "shell/render_window.h"

#include <cstdio>
#include <cstring>

#include "platform/system/clock.h"
#include "platform/window/window.h"
#include "rendering/release.h"
#include "shell/window_proc.h"

namespace {

struct FpsState {
    bool started = false;
    DWORD frames = 0;
    DWORD lastTick = 0;
    DWORD currentTick = 0;
    char caption[1024] = {};
};
FpsState g_fps;

void SetViewport(ID3D11DeviceContext* context, UINT width, UINT height)
{
    D3D11_VIEWPORT viewport{};
    viewport.TopLeftX = 0.0f;
    viewport.TopLeftY = 0.0f;
    viewport.Width = static_cast<float>(width);
    viewport.Height = static_cast<float>(height);
    viewport.MinDepth = 0.0f;
    viewport.MaxDepth = 1.0f;
    context->RSSetViewports(1, &viewport);
}

}  // namespace

namespace shell {

void ResetFpsCounter()
{
    g_fps = FpsState{};
}

bool CaptionDue(DWORD lastTick, DWORD nowTick)
{
    return static_cast<DWORD>(nowTick - lastTick) > 1000;
}

}  // namespace shell

RenderWindow::RenderWindow()
    : swapChain(nullptr), device(nullptr), context(nullptr), renderTargetView(nullptr), backBuffer(nullptr),
      debug(nullptr)
{
}

bool RenderWindow::Create(HINSTANCE instance, const char* caption, bool fullscreen_, UINT width_, UINT height_, int x,
                          int y)
{
    std::snprintf(title, sizeof title, "%s", caption ? caption : "");
    fullscreen = fullscreen_;
    width = width_;
    height = height_;

    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(WNDCLASSEXA);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = WindowProc;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = 0;
    wc.hInstance = instance;
    wc.hIcon = nullptr;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<std::uintptr_t>(5));
    wc.lpszMenuName = nullptr;
    wc.lpszClassName = "WindowClass";
    wc.hIconSm = nullptr;
    RegisterClassExA(&wc);

    RECT rect{0, 0, static_cast<LONG>(width), static_cast<LONG>(height)};
    AdjustWindowRect(&rect, WS_OVERLAPPEDWINDOW, FALSE);

    hwnd = CreateWindowExA(0, "WindowClass", caption, WS_OVERLAPPEDWINDOW, x, y, rect.right - rect.left,
                           rect.bottom - rect.top, nullptr, nullptr, instance, this);
    if (!hwnd)
        return false;

    ShowWindow(hwnd, SW_SHOWNORMAL);

    DXGI_SWAP_CHAIN_DESC desc{};
    desc.BufferDesc.Width = width;
    desc.BufferDesc.Height = height;
    desc.BufferDesc.RefreshRate.Numerator = 0;
    desc.BufferDesc.RefreshRate.Denominator = 0;
    desc.BufferDesc.Format = DXGI_FORMAT_R8G8B8A8_UNORM_SRGB;
    desc.BufferDesc.ScanlineOrdering = DXGI_MODE_SCANLINE_ORDER_UNSPECIFIED;
    desc.BufferDesc.Scaling = DXGI_MODE_SCALING_UNSPECIFIED;
    desc.SampleDesc.Count = 1;
    desc.SampleDesc.Quality = 0;
    desc.BufferUsage = DXGI_USAGE_RENDER_TARGET_OUTPUT;
    desc.BufferCount = 1;
    desc.OutputWindow = hwnd;
    desc.Windowed = fullscreen ? FALSE : TRUE;
    desc.SwapEffect = DXGI_SWAP_EFFECT_DISCARD;
    desc.Flags = 0;

    HRESULT hr = D3D11CreateDeviceAndSwapChain(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, nullptr, 0,
                                               D3D11_SDK_VERSION, &desc, &swapChain, &device, nullptr, &context);
    // A failure on the way gives back what was made up to there.
    if (FAILED(hr)) {
        Release();
        return false;
    }

    if (FAILED(swapChain->GetBuffer(0, IID_ID3D11Texture2D, reinterpret_cast<void**>(&backBuffer)))) {
        Release();
        return false;
    }
    hr = device->CreateRenderTargetView(backBuffer, nullptr, &renderTargetView);
    backBuffer->Release();
    backBuffer = nullptr;
    if (FAILED(hr)) {
        Release();
        return false;
    }

    if (FAILED(device->QueryInterface(IID_ID3D11Debug, reinterpret_cast<void**>(&debug)))) {
        debug = nullptr;
        return true;
    }
    ID3D11InfoQueue* infoQueue = nullptr;
    if (FAILED(debug->QueryInterface(IID_ID3D11InfoQueue, reinterpret_cast<void**>(&infoQueue))))
        return true;
    infoQueue->SetBreakOnSeverity(D3D11_MESSAGE_SEVERITY_CORRUPTION, TRUE);
    infoQueue->SetBreakOnSeverity(D3D11_MESSAGE_SEVERITY_ERROR, TRUE);
    D3D11_MESSAGE_ID hide[] = {D3D11_MESSAGE_ID_SETPRIVATEDATA_CHANGINGPARAMS};
    D3D11_INFO_QUEUE_FILTER filter{};
    filter.DenyList.NumIDs = 1;
    filter.DenyList.pIDList = hide;
    infoQueue->AddStorageFilterEntries(&filter);
    infoQueue->Release();
    return true;
}

void RenderWindow::BeginFrame(float red, float green, float blue)
{
    const float color[4] = {red, green, blue, 1.0f};
    context->ClearRenderTargetView(renderTargetView, color);
    ID3D11ShaderResourceView* none[16] = {};
    context->PSSetShaderResources(0, 16, none);
    context->OMSetRenderTargets(1, &renderTargetView, nullptr);
    SetViewport(context, width, height);
}

void RenderWindow::Present(bool vsync)
{
    swapChain->Present(vsync ? 1 : 0, 0);
}

void RenderWindow::ShowFps(const char* status)
{
    if (!g_fps.started) {
        g_fps.started = true;
        g_fps.lastTick = GetTickCount();
    }
    ++g_fps.frames;
    g_fps.currentTick = GetTickCount();
    if (shell::CaptionDue(g_fps.lastTick, g_fps.currentTick)) {
        std::snprintf(g_fps.caption, sizeof g_fps.caption, "%s %s %u %s", title,
                      "FPS:", static_cast<unsigned>(g_fps.frames), status);
        SetWindowTextA(hwnd, g_fps.caption);
        g_fps.frames = 0;
        g_fps.lastTick = g_fps.currentTick;
    }
}

void RenderWindow::Resize(UINT width_, UINT height_)
{
    if (width_ == 0 || height_ == 0)
        return;
    width = width_;
    height = height_;
    if (!swapChain)
        return;
    context->OMSetRenderTargets(0, nullptr, nullptr);
    ReleaseOnce(renderTargetView);
    swapChain->ResizeBuffers(0, 0, 0, DXGI_FORMAT_UNKNOWN, 0);
    ID3D11Texture2D* buffer = nullptr;
    if (SUCCEEDED(swapChain->GetBuffer(0, IID_ID3D11Texture2D, reinterpret_cast<void**>(&buffer)))) {
        device->CreateRenderTargetView(buffer, nullptr, &renderTargetView);
        buffer->Release();
    }
    context->OMSetRenderTargets(1, &renderTargetView, nullptr);
    SetViewport(context, width, height);
}

void RenderWindow::Release()
{
    ReleaseOnce(renderTargetView);
    ReleaseOnce(swapChain);
    ReleaseOnce(device);
    ReleaseOnce(context);
    if (debug) {
        debug->ReportLiveDeviceObjects(D3D11_RLDO_SUMMARY | D3D11_RLDO_DETAIL);
        debug->Release();
        debug = nullptr;
    }
}
