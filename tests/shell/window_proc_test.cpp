// The window procedure on a bare window record: key arrays, the end of the
// run, the resize hand-over and the camera drag.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "platform/system/console.h"
#include "platform/window/native_window.h"
#include "platform/window/window.h"
#include "rendering/camera.h"
#include "shell/render_window.h"
#include "shell/window_proc.h"

namespace {

class Proc : public ::testing::Test {
protected:
    HWND__ record;
    HWND hwnd = &record;
    RenderWindow window;
    Camera camera;

    void SetUp() override
    {
        std::memset(g_keyDown, 0, 256);
        std::memset(g_keyPressed, 0, 256);
        g_lastMouse = MousePosition{0, 0};
        CREATESTRUCTA create{};
        create.lpCreateParams = &window;
        WindowProc(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create));
        camera.SetPosition(0, 0, -5.0f);
        camera.RebuildView();
        g_camera = &camera;
        DrainQuit();
    }

    // The quit messages waiting: -1 for none, else the code.
    static long DrainQuit()
    {
        long code = -1;
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
            if (m.message == WM_QUIT)
                code = static_cast<long>(m.wParam);
        return code;
    }

    void Move(int x, int y, WPARAM flags) { WindowProc(hwnd, WM_MOUSEMOVE, flags, MAKELPARAM(x, y)); }
};

TEST_F(Proc, CreateStoresTheWholePointer)
{
    EXPECT_EQ(g_window, &window);
    EXPECT_EQ(GetWindowLongPtrA(hwnd, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(&window));
}

TEST_F(Proc, KeyArrays)
{
    WindowProc(hwnd, WM_KEYDOWN, VK_RIGHT, 0);
    EXPECT_EQ(g_keyDown[VK_RIGHT], 1);
    EXPECT_EQ(g_keyPressed[VK_RIGHT], 1);
    WindowProc(hwnd, WM_KEYDOWN, VK_RIGHT, 1 << 30);  // auto-repeat
    EXPECT_EQ(g_keyPressed[VK_RIGHT], 1);
    WindowProc(hwnd, WM_KEYUP, VK_RIGHT, 0);
    EXPECT_EQ(g_keyDown[VK_RIGHT], 0);
    // Pressed and released before a frame: the frame does not see it pressed.
    EXPECT_EQ(g_keyPressed[VK_RIGHT], 0);
    // Codes of 256 and more change nothing (and do not overrun the arrays).
    BYTE before[256];
    std::memcpy(before, g_keyDown, 256);
    WindowProc(hwnd, WM_KEYDOWN, 256, 0);
    WindowProc(hwnd, WM_KEYDOWN, 0x10000, 0);
    EXPECT_EQ(std::memcmp(before, g_keyDown, 256), 0);
    // System keys do not reach the arrays.
    WindowProc(hwnd, WM_SYSKEYDOWN, VK_F4, 0);
    EXPECT_EQ(g_keyDown[VK_F4], 0);
}

TEST_F(Proc, EscapeAndDestroyEndTheRunWithZero)
{
    WindowProc(hwnd, WM_KEYDOWN, VK_ESCAPE, 0);
    WindowProc(hwnd, WM_KEYDOWN, VK_ESCAPE, 0);  // a second one releases nothing twice
    EXPECT_EQ(DrainQuit(), 0);
    EXPECT_EQ(window.swapChain, nullptr);
    WindowProc(hwnd, WM_DESTROY, 0, 0);
    EXPECT_EQ(DrainQuit(), 0);
}

TEST_F(Proc, ResizeGoesToTheWindow)
{
    window.width = 1600;
    window.height = 900;
    WindowProc(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(800, 600));
    EXPECT_EQ(window.width, 800u);
    EXPECT_EQ(window.height, 600u);
    // Minimised: 0 by 0 keeps the size.
    WindowProc(hwnd, WM_SIZE, SIZE_MINIMIZED, 0);
    EXPECT_EQ(window.width, 800u);
    EXPECT_EQ(window.height, 600u);
}

TEST_F(Proc, NoWindowShowsTheBoxAndCallsNothing)
{
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    ConsoleCapture console;
    WindowProc(hwnd, WM_SIZE, 0, MAKELPARAM(10, 10));
    WindowProc(hwnd, WM_KEYDOWN, VK_ESCAPE, 0);
    std::string err = console.ErrorText();
    EXPECT_NE(err.find("Bad Window Pointer on Resize"), std::string::npos) << err;
    EXPECT_EQ(g_window, nullptr);
    EXPECT_EQ(DrainQuit(), 0);  // the run still ends
}

TEST(MouseTurn, Angle)
{
    EXPECT_FLOAT_EQ(MouseTurnAngle(4), static_cast<float>(4.0 * 0.25 * 3.140000104904175 / 180.0));
    EXPECT_FLOAT_EQ(MouseTurnAngle(-4), -MouseTurnAngle(4));
    EXPECT_EQ(MouseTurnAngle(0), 0.0f);
}

bool SameLook(const Camera& a, const Camera& b)
{
    return a.look.x == b.look.x && a.look.y == b.look.y && a.look.z == b.look.z;
}

TEST_F(Proc, DragWithTheLeftButtonAloneTurnsTheCamera)
{
    // The first move records the position without turning.
    Move(100, 100, MK_LBUTTON);
    Camera start = camera;
    EXPECT_TRUE(SameLook(camera, start));

    Move(104, 100, MK_LBUTTON);
    Camera expected = start;
    expected.RotateAboutRight(-0.0f);
    expected.RotateAboutWorldY(MouseTurnAngle(4));
    expected.RebuildView();
    EXPECT_TRUE(SameLook(camera, expected));
    EXPECT_GT(camera.look.x, 0.0f);  // turned right about the vertical axis

    Move(104, 104, MK_LBUTTON);
    expected.RotateAboutRight(-MouseTurnAngle(4));
    expected.RotateAboutWorldY(0.0f);
    expected.RebuildView();
    EXPECT_TRUE(SameLook(camera, expected));
    EXPECT_NE(camera.look.y, 0.0f);

    // With Shift, or without the button: no turn, but the position is kept.
    Camera held = camera;
    Move(150, 150, MK_LBUTTON | MK_SHIFT);
    Move(170, 120, 0);
    EXPECT_TRUE(SameLook(camera, held));
    EXPECT_EQ(g_lastMouse.x, 170);
    EXPECT_EQ(g_lastMouse.y, 120);

    // Captured and left of the window: negative x still turns.
    Move(-30, 120, MK_LBUTTON);
    EXPECT_FALSE(SameLook(camera, held));
    EXPECT_EQ(g_lastMouse.x, -30);
}

TEST_F(Proc, AMoveOnTheEdgeRecordsNoPreviousPosition)
{
    Move(0, 50, 0);  // x of 0 counts as none
    Camera start = camera;
    Move(40, 50, MK_LBUTTON);
    EXPECT_TRUE(SameLook(camera, start));
}

}  // namespace
