// The render window on SDL's offscreen driver: its window, device, swap
// chain and back buffer, resizing, release and the caption's timing.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/gpu_device.h"
#include "platform/gfx/d3d11.h"
#include "platform/system/clock.h"
#include "platform/window/native_window.h"
#include "platform/window/window.h"
#include "shell/render_window.h"
#include "shell/window_proc.h"

namespace {

D3D11_TEXTURE2D_DESC BackBufferDesc(RenderWindow& w)
{
    D3D11_TEXTURE2D_DESC desc{};
    ID3D11Texture2D* buffer = nullptr;
    if (SUCCEEDED(w.GetSwapChain()->GetBuffer(0, IID_ID3D11Texture2D, reinterpret_cast<void**>(&buffer)))) {
        buffer->GetDesc(&desc);
        buffer->Release();
    }
    return desc;
}

// Reads the back buffer's top-left pixel as bytes.
void ReadPixel(RenderWindow& w, unsigned char out[4])
{
    ID3D11Texture2D* buffer = nullptr;
    ASSERT_TRUE(SUCCEEDED(w.GetSwapChain()->GetBuffer(0, IID_ID3D11Texture2D, reinterpret_cast<void**>(&buffer))));
    const std::vector<std::uint8_t> texels = gputest::ReadTexels(w.GetDevice(), w.GetContext(), buffer);
    buffer->Release();
    ASSERT_GE(texels.size(), 4u);
    std::memcpy(out, texels.data(), 4);
}

TEST(RenderWindow, CreateClearResizeRelease)
{
    static RenderWindow window;  // the window lives as long as the process, as in the program
    ASSERT_TRUE(window.Create(nullptr, "Quorvelan", false, 640, 360, 100, 0));
    EXPECT_STREQ(window.title, "Quorvelan");
    EXPECT_EQ(g_window, &window);
    RECT client;
    ASSERT_TRUE(GetClientRect(window.GetHwnd(), &client));
    EXPECT_EQ(client.right, 640);
    EXPECT_EQ(client.bottom, 360);
    D3D11_TEXTURE2D_DESC desc = BackBufferDesc(window);
    EXPECT_EQ(desc.Width, 640u);
    EXPECT_EQ(desc.Height, 360u);
    EXPECT_EQ(desc.Format, DXGI_FORMAT_R8G8B8A8_UNORM_SRGB);
    ASSERT_NE(window.GetRenderTargetView(), nullptr);

    // Magenta, as the frame loop clears it.
    window.BeginFrame(1.0f, 0.0f, 1.0f);
    unsigned char pixel[4];
    ASSERT_NO_FATAL_FAILURE(ReadPixel(window, pixel));
    EXPECT_EQ(pixel[0], 255);
    EXPECT_EQ(pixel[1], 0);
    EXPECT_EQ(pixel[2], 255);
    window.Present(false);

    // A new client size gives a back buffer of that size.
    SDL_SetWindowSize(window.GetHwnd()->sdl, 320, 200);
    window.Resize(320, 200);
    desc = BackBufferDesc(window);
    EXPECT_EQ(window.width, 320u);
    EXPECT_EQ(desc.Width, 320u);
    EXPECT_EQ(desc.Height, 200u);
    ASSERT_NE(window.GetRenderTargetView(), nullptr);

    // Minimised: 0 by 0 keeps the size and the back buffer.
    ID3D11RenderTargetView* view = window.GetRenderTargetView();
    window.Resize(0, 0);
    EXPECT_EQ(window.width, 320u);
    EXPECT_EQ(window.height, 200u);
    EXPECT_EQ(window.GetRenderTargetView(), view);

    window.Release();
    EXPECT_EQ(window.GetSwapChain(), nullptr);
    EXPECT_EQ(window.GetDevice(), nullptr);
    window.Release();       // nothing twice
    window.Resize(10, 10);  // no swap chain: the size only
    EXPECT_EQ(window.width, 10u);
}

TEST(RenderWindow, LongCaptionsAreCut)
{
    static RenderWindow window;
    std::string longCaption(80, 'q');
    // Only the title is looked at; the window may or may not be made.
    window.Create(nullptr, longCaption.c_str(), false, 16, 16, 0, 0);
    EXPECT_EQ(std::string(window.title), std::string(51, 'q'));
    window.Release();
}

TEST(RenderWindow, CaptionCountsTheFramesOfTheLastSecond)
{
    static RenderWindow window;
    ASSERT_TRUE(window.Create(nullptr, "Quorvelan", false, 64, 64, 0, 0));
    shell::ResetFpsCounter();
    char caption[256];
    window.ShowFps(" scene: 0, time: 0.00 seconds 0.00 units");
    window.ShowFps(" scene: 0, time: 0.00 seconds 0.00 units");
    GetWindowTextA(window.GetHwnd(), caption, sizeof caption);
    EXPECT_STREQ(caption, "Quorvelan");  // the title alone until a second has passed
    Sleep(1010);
    window.ShowFps(" scene: 1, time: 1.05 seconds 4.20 units");
    GetWindowTextA(window.GetHwnd(), caption, sizeof caption);
    // Every frame since the last change, this one included.
    EXPECT_STREQ(caption, "Quorvelan FPS: 3  scene: 1, time: 1.05 seconds 4.20 units");
    window.ShowFps(" scene: 2, time: 1.06 seconds 4.24 units");
    GetWindowTextA(window.GetHwnd(), caption, sizeof caption);
    EXPECT_STREQ(caption, "Quorvelan FPS: 3  scene: 1, time: 1.05 seconds 4.20 units");
    window.Release();
}

TEST(RenderWindow, CaptionTiming)
{
    struct Case {
        DWORD last, now;
        bool due;
    } cases[] = {
        {5000, 5999, false},
        {5000, 6000, false},
        {5000, 6001, true},
        {0xFFFFFF00u, 0x000002ECu, true},  // 1004 ms across the wrap
        {0xFFFFFF00u, 0x000002E8u, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(shell::CaptionDue(c.last, c.now), c.due) << c.last << " " << c.now;
}

}  // namespace
