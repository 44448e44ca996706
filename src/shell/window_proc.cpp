#include "shell/window_proc.h"

#include "platform/system/message_box.h"
#include "platform/window/window.h"
#include "rendering/camera.h"
#include "shell/render_window.h"

BYTE g_keyDown[256];
BYTE g_keyPressed[256];
MousePosition g_lastMouse;
RenderWindow* g_window;
Camera* g_camera;

namespace {

// The window's object from its user data; a box when there is none.
RenderWindow* LookUpWindow(HWND hwnd)
{
    g_window = reinterpret_cast<RenderWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!g_window)
        MessageBoxA(nullptr, "Bad Window Pointer on Resize", "Error", MB_OK);
    return g_window;
}

void ReleaseAndQuit(HWND hwnd)
{
    if (RenderWindow* window = LookUpWindow(hwnd))
        window->Release();
    PostQuitMessage(0);
}

void TurnCamera(int x, int y)
{
    if (g_lastMouse.x == 0 || g_lastMouse.y == 0)
        g_lastMouse = MousePosition{x, y};
    float yaw = MouseTurnAngle(x - g_lastMouse.x);
    float pitch = MouseTurnAngle(y - g_lastMouse.y);
    if (!g_camera)
        return;
    g_camera->RotateAboutRight(-pitch);
    g_camera->RotateAboutWorldY(yaw);
    g_camera->RebuildView();
}

}  // namespace

float MouseTurnAngle(int pixels)
{
    // 0.25 degrees a pixel, to radians through the single-precision 3.14.
    return static_cast<float>(static_cast<double>(static_cast<float>(pixels)) * 0.25 * static_cast<double>(3.14f) /
                              180.0);
}

LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        g_window = static_cast<RenderWindow*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(g_window));
        break;
    case WM_SIZE:
        if (RenderWindow* window = LookUpWindow(hwnd))
            window->Resize(LOWORD(lParam), HIWORD(lParam));
        break;
    case WM_DESTROY: ReleaseAndQuit(hwnd); break;
    case WM_KEYDOWN:
        if (wParam < 256) {
            g_keyDown[wParam] = 1;
            g_keyPressed[wParam] = 1;
        }
        if (wParam == VK_ESCAPE)
            ReleaseAndQuit(hwnd);
        break;
    case WM_KEYUP:
        if (wParam < 256) {
            g_keyDown[wParam] = 0;
            g_keyPressed[wParam] = 0;
        }
        break;
    case WM_MOUSEMOVE: {
        int x = GET_X_LPARAM(lParam);
        int y = GET_Y_LPARAM(lParam);
        if (wParam == MK_LBUTTON)
            TurnCamera(x, y);
        g_lastMouse = MousePosition{x, y};
        break;
    }
    case WM_LBUTTONDOWN:
        if (g_window)
            SetCapture(g_window->GetHwnd());
        break;
    case WM_LBUTTONUP: ReleaseCapture(); break;
    default: break;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}
