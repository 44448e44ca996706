// The swap chain: a back-buffer texture shown in the SDL window, flipped
// upright, by a blit into the window's default framebuffer.
#include <SDL.h>

#include <cstring>

#include "platform/gfx/gl/device.h"
#include "platform/gfx/gl/swap_chain.h"
#include "platform/window/native_window.h"

namespace gfx {

class SwapChainImpl final : public Object<IDXGISwapChain> {
public:
    SwapChainImpl(DeviceImpl* device, const DXGI_SWAP_CHAIN_DESC& desc) : device_(device), desc_(desc)
    {
        device_->AddRef();
    }
    ~SwapChainImpl() override
    {
        if (backBuffer_)
            backBuffer_->Release();
        if (readFbo_) {
            device_->core->MakeCurrent();
            glDeleteFramebuffers(1, &readFbo_);
        }
        device_->Release();
    }
    bool Matches(REFIID riid) override { return riid == IID_IDXGISwapChain; }

    HRESULT MakeBackBuffer()
    {
        UINT w = desc_.BufferDesc.Width, h = desc_.BufferDesc.Height;
        if (w == 0 || h == 0) {
            int cw = 0, ch = 0;
            SDL_GL_GetDrawableSize(window(), &cw, &ch);
            if (w == 0)
                w = UINT(std::max(cw, 1));
            if (h == 0)
                h = UINT(std::max(ch, 1));
        }
        desc_.BufferDesc.Width = w;
        desc_.BufferDesc.Height = h;
        D3D11_TEXTURE2D_DESC t{};
        t.Width = w;
        t.Height = h;
        t.MipLevels = 1;
        t.ArraySize = 1;
        t.Format = desc_.BufferDesc.Format;
        t.SampleDesc = {1, 0};
        t.Usage = D3D11_USAGE_DEFAULT;
        t.BindFlags = D3D11_BIND_RENDER_TARGET | D3D11_BIND_SHADER_RESOURCE;
        ID3D11Texture2D* texture = nullptr;
        HRESULT hr = device_->CreateTexture2D(&t, nullptr, &texture);
        if (FAILED(hr))
            return hr;
        if (backBuffer_)
            backBuffer_->Release();
        backBuffer_ = static_cast<TextureImpl*>(texture);
        Core& core = *device_->core;
        core.MakeCurrent();
        if (!readFbo_)
            glCreateFramebuffers(1, &readFbo_);
        glNamedFramebufferTexture(readFbo_, GL_COLOR_ATTACHMENT0, backBuffer_->gl, 0);
        glNamedFramebufferReadBuffer(readFbo_, GL_COLOR_ATTACHMENT0);
        return S_OK;
    }

    HRESULT Present(UINT sync, UINT) override
    {
        Core& core = *device_->core;
        core.MakeCurrent();
        int w = 0, h = 0;
        SDL_GL_GetDrawableSize(window(), &w, &h);
        GlCache& c = core.cache;
        // A raw copy: the bytes are already sRGB-encoded where the format says so.
        c.Enable(GL_FRAMEBUFFER_SRGB, false);
        c.Enable(GL_SCISSOR_TEST, false);
        c.BindDrawFramebuffer(0);
        GLint bw = GLint(desc_.BufferDesc.Width), bh = GLint(desc_.BufferDesc.Height);
        // Row 0 of the back buffer is the top of the picture; the window's row 0 is its bottom.
        glBlitNamedFramebuffer(readFbo_, 0, 0, 0, bw, bh, 0, h, w, 0, GL_COLOR_BUFFER_BIT,
                               bw == w && bh == h ? GL_NEAREST : GL_LINEAR);
        c.Enable(GL_FRAMEBUFFER_SRGB, true);
        int interval = sync > 0 ? 1 : 0;
        if (interval != swapInterval_) {
            SDL_GL_SetSwapInterval(interval);
            swapInterval_ = interval;
        }
        SDL_GL_SwapWindow(window());
        return S_OK;
    }

    HRESULT GetBuffer(UINT buffer, REFIID riid, void** out) override
    {
        if (!out)
            return Refuse(device_->core->debug, "GetBuffer", "ppSurface",
                          "is null: there is nowhere to put the buffer");
        *out = nullptr;
        if (buffer != 0)
            return DXGI_ERROR_INVALID_CALL;
        return backBuffer_->QueryInterface(riid, out);
    }

    HRESULT ResizeBuffers(UINT count, UINT width, UINT height, DXGI_FORMAT format, UINT) override
    {
        if (format != DXGI_FORMAT_UNKNOWN && !FindFormat(format))
            return DXGI_ERROR_INVALID_CALL;
        // On failure the old buffer stays, and so must the desc that Present blits it by.
        DXGI_SWAP_CHAIN_DESC before = desc_;
        if (count)
            desc_.BufferCount = count;
        if (format != DXGI_FORMAT_UNKNOWN)
            desc_.BufferDesc.Format = format;
        desc_.BufferDesc.Width = width;
        desc_.BufferDesc.Height = height;
        HRESULT hr = MakeBackBuffer();
        if (FAILED(hr))
            desc_ = before;
        return hr;
    }

    HRESULT GetDesc(DXGI_SWAP_CHAIN_DESC* out) override
    {
        if (!out)
            return Refuse(device_->core->debug, "GetDesc", "pDesc", "is null: there is nowhere to put the description");
        *out = desc_;
        return S_OK;
    }

    // Full screen in a display mode of the buffer's size where the display has
    // one close to it; otherwise the desktop's size (the buffer keeps its own
    // size either way and is stretched at Present).
    HRESULT SetFullscreenState(BOOL fullscreen, IUnknown*) override
    {
        if (!fullscreen) {
            if (SDL_SetWindowFullscreen(window(), 0) != 0)
                return DXGI_ERROR_UNSUPPORTED;
            desc_.Windowed = TRUE;
            return S_OK;
        }
        SDL_DisplayMode want{};
        want.w = int(desc_.BufferDesc.Width);
        want.h = int(desc_.BufferDesc.Height);
        const DXGI_RATIONAL& rate = desc_.BufferDesc.RefreshRate;
        want.refresh_rate = rate.Denominator ? int(rate.Numerator / rate.Denominator) : 0;
        SDL_DisplayMode closest{};
        int display = std::max(0, SDL_GetWindowDisplayIndex(window()));
        bool moded = SDL_GetClosestDisplayMode(display, &want, &closest) != nullptr &&
                     SDL_SetWindowDisplayMode(window(), &closest) == 0 &&
                     SDL_SetWindowFullscreen(window(), SDL_WINDOW_FULLSCREEN) == 0;
        if (!moded && SDL_SetWindowFullscreen(window(), SDL_WINDOW_FULLSCREEN_DESKTOP) != 0)
            return DXGI_ERROR_UNSUPPORTED;
        desc_.Windowed = FALSE;
        return S_OK;
    }

    bool ReadPresented(std::vector<std::uint8_t>& rgba, UINT& width, UINT& height)
    {
        Core& core = *device_->core;
        core.MakeCurrent();
        int w = 0, h = 0;
        SDL_GL_GetDrawableSize(window(), &w, &h);
        if (w <= 0 || h <= 0)
            return false;
        width = UINT(w);
        height = UINT(h);
        rgba.assign(std::size_t(w) * h * 4, 0);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
        glReadBuffer(GL_BACK);
        glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        // Rows as the window shows them, top first.
        std::vector<std::uint8_t> row(std::size_t(w) * 4);
        for (int y = 0; y < h / 2; ++y) {
            std::uint8_t* a = rgba.data() + std::size_t(y) * w * 4;
            std::uint8_t* b = rgba.data() + std::size_t(h - 1 - y) * w * 4;
            std::memcpy(row.data(), a, row.size());
            std::memcpy(a, b, row.size());
            std::memcpy(b, row.data(), row.size());
        }
        return true;
    }

private:
    SDL_Window* window() const { return device_->core->window; }

    DeviceImpl* device_;
    DXGI_SWAP_CHAIN_DESC desc_;
    TextureImpl* backBuffer_ = nullptr;
    GLuint readFbo_ = 0;
    int swapInterval_ = -1;
};

bool ReadPresentedPixels(IDXGISwapChain* swapChain, std::vector<std::uint8_t>& rgba, UINT& width, UINT& height)
{
    if (!swapChain)
        return false;
    return static_cast<SwapChainImpl*>(swapChain)->ReadPresented(rgba, width, height);
}

}  // namespace gfx

using namespace gfx;

HRESULT D3D11CreateDeviceAndSwapChain(IDXGIAdapter* pAdapter, D3D_DRIVER_TYPE DriverType, HMODULE, UINT Flags,
                                      const D3D_FEATURE_LEVEL* pFeatureLevels, UINT FeatureLevels, UINT,
                                      const DXGI_SWAP_CHAIN_DESC* pSwapChainDesc, IDXGISwapChain** ppSwapChain,
                                      ID3D11Device** ppDevice, D3D_FEATURE_LEVEL* pFeatureLevel,
                                      ID3D11DeviceContext** ppImmediateContext)
{
    if (ppSwapChain)
        *ppSwapChain = nullptr;
    if (ppDevice)
        *ppDevice = nullptr;
    if (ppImmediateContext)
        *ppImmediateContext = nullptr;
    const char* call = "D3D11CreateDeviceAndSwapChain";
    if (HRESULT hr = CheckCreationArguments(call, Flags, pAdapter, DriverType, pFeatureLevels, FeatureLevels);
        FAILED(hr))
        return hr;
    const bool debug = DebugWanted(Flags);
    if (!pSwapChainDesc)
        return Refuse(debug, call, "pSwapChainDesc", "is null: a swap chain needs a description");
    if (!pSwapChainDesc->OutputWindow || !pSwapChainDesc->OutputWindow->sdl)
        return Refuse(debug, call, "pSwapChainDesc->OutputWindow", "is not a window of this platform");
    if (!FindFormat(pSwapChainDesc->BufferDesc.Format))
        return Refuse(debug, call, "pSwapChainDesc->BufferDesc.Format", "is not a format this layer knows");
    if (pSwapChainDesc->SampleDesc.Count > 1)
        return Refuse(debug, call, "pSwapChainDesc->SampleDesc.Count",
                      "is over 1: the back buffer is single-sample (resolve into it)");
    HRESULT hr;
    DeviceImpl* device = NewDevice(call, pSwapChainDesc->OutputWindow->sdl, false, Flags, hr);
    if (!device)
        return hr;
    auto* swapChain = new SwapChainImpl(device, *pSwapChainDesc);
    hr = swapChain->MakeBackBuffer();
    if (FAILED(hr)) {
        swapChain->Release();
        device->Release();
        return hr;
    }
    if (!pSwapChainDesc->Windowed)
        swapChain->SetFullscreenState(TRUE, nullptr);
    if (pFeatureLevel)
        *pFeatureLevel = D3D_FEATURE_LEVEL_11_0;
    if (ppImmediateContext)
        device->GetImmediateContext(ppImmediateContext);
    if (ppSwapChain)
        *ppSwapChain = swapChain;
    else
        swapChain->Release();
    if (ppDevice)
        *ppDevice = device;
    else
        device->Release();
    return S_OK;
}
