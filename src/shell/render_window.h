#pragma once
// The system's one window with its Direct3D 11 device, immediate context and
// swap chain, and the frame-rate caption.
#include "platform/gfx/d3d11.h"
#include "platform/system/types.h"

class RenderWindow {
public:
    RenderWindow();
    ~RenderWindow() {}

    // A caption longer than 51 characters is cut to 51.
    bool Create(HINSTANCE instance, const char* caption, bool fullscreen, UINT width, UINT height, int x, int y);
    void BeginFrame(float red, float green, float blue);
    void Present(bool vsync);
    void ShowFps(const char* status);
    // A size of 0 (a minimised window) keeps the back buffer as it is.
    void Resize(UINT width, UINT height);
    void Release();

    ID3D11RenderTargetView* GetRenderTargetView() const { return renderTargetView; }
    ID3D11Device* GetDevice() const { return device; }
    ID3D11DeviceContext* GetContext() const { return context; }
    HWND GetHwnd() const { return hwnd; }
    IDXGISwapChain* GetSwapChain() const { return swapChain; }

    char title[52];
    UINT width;
    UINT height;
    bool fullscreen;
    HWND hwnd;
    IDXGISwapChain* swapChain;
    ID3D11Device* device;
    ID3D11DeviceContext* context;
    ID3D11RenderTargetView* renderTargetView;
    ID3D11Texture2D* backBuffer;
    ID3D11Debug* debug;
};

namespace shell {
// The caption's frame counter, shared by every window: a fresh start for
// tests, and the caption decision by itself.
void ResetFpsCounter();
// True when more than 1000 ms lie between last and now (wrapping u32).
bool CaptionDue(DWORD lastTick, DWORD nowTick);
}
