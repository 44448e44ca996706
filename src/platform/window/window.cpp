// Windows, the message queue and input on SDL2.
#include "platform/window/window.h"

#include <SDL.h>
#include <X11/Xlib.h>

#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <string>

#include "platform/window/keys.h"
#include "platform/window/native_window.h"
#include "platform/window/signals.h"

namespace {

// The nominal overlapped frame of AdjustWindowRect (a Windows 10 frame).
constexpr int kFrameSide = 8;
constexpr int kFrameTop = 31;
constexpr int kFrameBottom = 8;

struct WindowState {
    WNDPROC proc = nullptr;
    std::string title;
    DWORD style = 0;
    bool destroyed = false;
};

struct Layer {
    bool videoReady = false;
    std::map<std::string, WNDCLASSEXA> classes;
    std::map<Uint32, HWND> windows;  // by SDL window id
    std::deque<MSG> queue;
    bool quitPending = false;
    int quitCode = 0;
    HWND capture = nullptr;
    Display* display = nullptr;  // our own X connection for the key state
    bool displayTried = false;

    // The records go with the process; the SDL windows are SDL's to close.
    ~Layer()
    {
        for (auto& [id, w] : windows) {
            delete static_cast<WindowState*>(w->layer);
            delete w;
        }
    }
};

Layer& L()
{
    static Layer layer;
    return layer;
}

WindowState* StateOf(HWND w)
{
    return w ? static_cast<WindowState*>(w->layer) : nullptr;
}

bool Set(const char* name)
{
    const char* value = std::getenv(name);
    return value && *value;
}

bool EnsureVideo()
{
    Layer& l = L();
    if (l.videoReady)
        return true;
    // SDL would fall back to its off-screen driver: a run nobody can see.
    if (!Set("DISPLAY") && !Set("WAYLAND_DISPLAY") && !Set("SDL_VIDEODRIVER"))
        return false;
    // Windows capture the mouse only when asked (SetCapture), and closing
    // the last window is a WM_CLOSE like any other.
    SDL_SetHint(SDL_HINT_MOUSE_AUTO_CAPTURE, "0");
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        return false;
    l.videoReady = true;
    return true;
}

DWORD NowMs()
{
    return static_cast<DWORD>(SDL_GetTicks64());
}

void Post(HWND w, UINT message, WPARAM wParam, LPARAM lParam)
{
    MSG m{};
    m.hwnd = w;
    m.message = message;
    m.wParam = wParam;
    m.lParam = lParam;
    m.time = NowMs();
    L().queue.push_back(m);
}

WPARAM MouseKeyFlags(Uint32 buttons)
{
    WPARAM flags = 0;
    if (buttons & SDL_BUTTON_LMASK)
        flags |= MK_LBUTTON;
    if (buttons & SDL_BUTTON_RMASK)
        flags |= MK_RBUTTON;
    if (buttons & SDL_BUTTON_MMASK)
        flags |= MK_MBUTTON;
    if (buttons & SDL_BUTTON_X1MASK)
        flags |= MK_XBUTTON1;
    if (buttons & SDL_BUTTON_X2MASK)
        flags |= MK_XBUTTON2;
    SDL_Keymod mod = SDL_GetModState();
    if (mod & KMOD_SHIFT)
        flags |= MK_SHIFT;
    if (mod & KMOD_CTRL)
        flags |= MK_CONTROL;
    return flags;
}

// Key message lParam: repeat count 1, scancode, previous state, transition.
LPARAM KeyLParam(const SDL_KeyboardEvent& e, bool down)
{
    DWORD l = 1 | ((e.keysym.scancode & 0xff) << 16);
    if (!down || e.repeat)
        l |= 1u << 30;
    if (!down)
        l |= 1u << 31;
    return static_cast<LPARAM>(l);
}

void CloseEveryWindow()
{
    for (auto& [id, w] : L().windows)
        if (!StateOf(w)->destroyed)
            Post(w, WM_CLOSE, 0, 0);
}

void TranslateSdlEvent(const SDL_Event& e)
{
    switch (e.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        HWND w = platform::WindowFromSdlId(e.key.windowID);
        if (!w)
            return;
        int vk = platform::VirtualKeyFromSdlKey(e.key.keysym.sym);
        if (vk == 0)
            return;
        bool down = e.type == SDL_KEYDOWN;
        bool alt = (e.key.keysym.mod & KMOD_ALT) != 0;
        UINT message =
            platform::IsSystemKey(vk, alt) ? (down ? WM_SYSKEYDOWN : WM_SYSKEYUP) : (down ? WM_KEYDOWN : WM_KEYUP);
        Post(w, message, static_cast<WPARAM>(vk), KeyLParam(e.key, down));
        break;
    }
    case SDL_MOUSEMOTION: {
        HWND w = platform::WindowFromSdlId(e.motion.windowID);
        if (!w)
            return;
        Post(w, WM_MOUSEMOVE, MouseKeyFlags(e.motion.state), MAKELPARAM(e.motion.x, e.motion.y));
        break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        HWND w = platform::WindowFromSdlId(e.button.windowID);
        if (!w)
            return;
        bool down = e.type == SDL_MOUSEBUTTONDOWN;
        UINT message = 0;
        if (e.button.button == SDL_BUTTON_LEFT)
            message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
        else if (e.button.button == SDL_BUTTON_RIGHT)
            message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
        else if (e.button.button == SDL_BUTTON_MIDDLE)
            message = down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
        if (message == 0)
            return;
        Post(w, message, MouseKeyFlags(SDL_GetMouseState(nullptr, nullptr)), MAKELPARAM(e.button.x, e.button.y));
        break;
    }
    case SDL_WINDOWEVENT: {
        HWND w = platform::WindowFromSdlId(e.window.windowID);
        if (!w)
            return;
        switch (e.window.event) {
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            Post(w, WM_SIZE, SIZE_RESTORED, MAKELPARAM(e.window.data1, e.window.data2));
            break;
        case SDL_WINDOWEVENT_MINIMIZED:
            // As on Windows: a minimised window reports a client of 0 by 0.
            Post(w, WM_SIZE, SIZE_MINIMIZED, 0);
            break;
        case SDL_WINDOWEVENT_MAXIMIZED:
        case SDL_WINDOWEVENT_RESTORED: {
            int cw = 0, ch = 0;
            SDL_GetWindowSize(w->sdl, &cw, &ch);
            Post(w, WM_SIZE, e.window.event == SDL_WINDOWEVENT_MAXIMIZED ? SIZE_MAXIMIZED : SIZE_RESTORED,
                 MAKELPARAM(cw, ch));
            break;
        }
        case SDL_WINDOWEVENT_CLOSE: Post(w, WM_CLOSE, 0, 0); break;
        default: break;
        }
        break;
    }
    case SDL_QUIT:
        // A signal (Ctrl+C in the terminal) closes every window, as the
        // close box would.
        CloseEveryWindow();
        break;
    default: break;
    }
}

void PumpEvents()
{
    if (!L().videoReady)
        return;
    SDL_Event e;
    while (SDL_PollEvent(&e))
        TranslateSdlEvent(e);
    // A signal of EndOnSignal's, as SDL_QUIT.
    if (platform::TakeSignal())
        CloseEveryWindow();
}

Display* KeyStateDisplay()
{
    Layer& l = L();
    if (!l.displayTried) {
        l.displayTried = true;
        const char* driver = l.videoReady ? SDL_GetCurrentVideoDriver() : nullptr;
        if (driver && std::strcmp(driver, "x11") == 0)
            l.display = XOpenDisplay(nullptr);
    }
    return l.display;
}

}  // namespace

namespace platform {

HWND WindowFromSdlId(unsigned id)
{
    auto it = L().windows.find(id);
    return it == L().windows.end() ? nullptr : it->second;
}

bool QuitRequested()
{
    Layer& l = L();
    PumpEvents();
    if (l.quitPending)
        return true;
    for (const MSG& m : l.queue)
        if ((m.message == WM_KEYDOWN && m.wParam == VK_ESCAPE) || m.message == WM_CLOSE)
            return true;
    return false;
}

}  // namespace platform

ATOM RegisterClassExA(const WNDCLASSEXA* windowClass)
{
    if (!windowClass || !windowClass->lpszClassName || !windowClass->lpfnWndProc)
        return 0;
    Layer& l = L();
    if (l.classes.count(windowClass->lpszClassName))
        return 0;
    l.classes[windowClass->lpszClassName] = *windowClass;
    return static_cast<ATOM>(0xC000 + l.classes.size());
}

HCURSOR LoadCursorA(HINSTANCE, LPCSTR)
{
    static int arrow;
    return reinterpret_cast<HCURSOR>(&arrow);
}

BOOL AdjustWindowRect(RECT* rect, DWORD style, BOOL)
{
    if (!rect)
        return FALSE;
    if (style & WS_CAPTION) {
        rect->left -= kFrameSide;
        rect->top -= kFrameTop;
        rect->right += kFrameSide;
        rect->bottom += kFrameBottom;
    }
    return TRUE;
}

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, void* param)
{
    Layer& l = L();
    if (!className)
        return nullptr;
    auto cls = l.classes.find(className);
    if (cls == l.classes.end())
        return nullptr;
    if (!EnsureVideo())
        return nullptr;

    int clientX = x, clientY = y, clientW = width, clientH = height;
    if (style & WS_CAPTION) {
        clientX += kFrameSide;
        clientY += kFrameTop;
        clientW -= 2 * kFrameSide;
        clientH -= kFrameTop + kFrameBottom;
    }
    if (clientW < 1)
        clientW = 1;
    if (clientH < 1)
        clientH = 1;

    platform::ConfigureGlAttributes();
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    if (style & WS_THICKFRAME)
        flags |= SDL_WINDOW_RESIZABLE;
    SDL_Window* sdl = SDL_CreateWindow(windowName ? windowName : "", clientX, clientY, clientW, clientH, flags);
    if (!sdl)
        return nullptr;

    HWND w = new HWND__;
    auto* state = new WindowState;
    state->proc = cls->second.lpfnWndProc;
    state->title = windowName ? windowName : "";
    state->style = style;
    w->sdl = sdl;
    w->layer = state;
    l.windows[SDL_GetWindowID(sdl)] = w;

    CREATESTRUCTA create{};
    create.lpCreateParams = param;
    create.hInstance = instance;
    create.hMenu = menu;
    create.hwndParent = parent;
    create.cx = width;
    create.cy = height;
    create.x = x;
    create.y = y;
    create.style = static_cast<LONG>(style);
    create.lpszName = windowName;
    create.lpszClass = className;
    create.dwExStyle = exStyle;
    if (state->proc(w, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
        DestroyWindow(w);
        return nullptr;
    }
    state->proc(w, WM_SIZE, SIZE_RESTORED, MAKELPARAM(clientW, clientH));
    // The window manager's own resize notice for the first size is not news.
    SDL_PumpEvents();
    SDL_FlushEvent(SDL_WINDOWEVENT);
    return w;
}

BOOL ShowWindow(HWND window, int command)
{
    WindowState* s = StateOf(window);
    if (!s || s->destroyed)
        return FALSE;
    bool wasVisible = (SDL_GetWindowFlags(window->sdl) & SDL_WINDOW_SHOWN) != 0;
    if (command == SW_HIDE)
        SDL_HideWindow(window->sdl);
    else
        SDL_ShowWindow(window->sdl);
    return wasVisible ? TRUE : FALSE;
}

BOOL DestroyWindow(HWND window)
{
    WindowState* s = StateOf(window);
    if (!s || s->destroyed)
        return FALSE;
    if (L().capture == window)
        ReleaseCapture();
    s->proc(window, WM_DESTROY, 0, 0);
    s->destroyed = true;
    SDL_HideWindow(window->sdl);
    return TRUE;
}

BOOL IsWindow(HWND window)
{
    WindowState* s = StateOf(window);
    return s && !s->destroyed;
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM, LPARAM)
{
    if (message == WM_CLOSE)
        DestroyWindow(window);
    return 0;
}

LONG_PTR GetWindowLongPtrA(HWND window, int index)
{
    if (!window || index != GWLP_USERDATA)
        return 0;
    return window->userData;
}

LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value)
{
    if (!window || index != GWLP_USERDATA)
        return 0;
    LONG_PTR previous = window->userData;
    window->userData = value;
    return previous;
}

BOOL GetClientRect(HWND window, RECT* rect)
{
    if (!window || !rect || !window->sdl)
        return FALSE;
    int w = 0, h = 0;
    SDL_GetWindowSize(window->sdl, &w, &h);
    *rect = RECT{0, 0, w, h};
    return TRUE;
}

BOOL SetWindowTextA(HWND window, LPCSTR text)
{
    WindowState* s = StateOf(window);
    if (!s)
        return FALSE;
    s->title = text ? text : "";
    SDL_SetWindowTitle(window->sdl, s->title.c_str());
    return TRUE;
}

int GetWindowTextA(HWND window, LPSTR text, int size)
{
    WindowState* s = StateOf(window);
    if (!s || !text || size <= 0)
        return 0;
    size_t n = s->title.size();
    if (n > static_cast<size_t>(size - 1))
        n = static_cast<size_t>(size - 1);
    std::memcpy(text, s->title.data(), n);
    text[n] = '\0';
    return static_cast<int>(n);
}

BOOL PeekMessageA(MSG* message, HWND, UINT, UINT, UINT remove)
{
    Layer& l = L();
    PumpEvents();
    if (!l.queue.empty()) {
        if (message)
            *message = l.queue.front();
        if (remove & PM_REMOVE)
            l.queue.pop_front();
        return TRUE;
    }
    if (l.quitPending) {
        if (message) {
            *message = MSG{};
            message->message = WM_QUIT;
            message->wParam = static_cast<WPARAM>(l.quitCode);
            message->time = NowMs();
        }
        if (remove & PM_REMOVE)
            l.quitPending = false;
        return TRUE;
    }
    return FALSE;
}

BOOL TranslateMessage(const MSG* message)
{
    if (!message)
        return FALSE;
    UINT m = message->message;
    return (m == WM_KEYDOWN || m == WM_KEYUP || m == WM_SYSKEYDOWN || m == WM_SYSKEYUP) ? TRUE : FALSE;
}

LRESULT DispatchMessageA(const MSG* message)
{
    if (!message)
        return 0;
    WindowState* s = StateOf(message->hwnd);
    if (!s || s->destroyed)
        return 0;
    return s->proc(message->hwnd, message->message, message->wParam, message->lParam);
}

void PostQuitMessage(int exitCode)
{
    L().quitPending = true;
    L().quitCode = exitCode;
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!IsWindow(window))
        return FALSE;
    Post(window, message, wParam, lParam);
    return TRUE;
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    WindowState* s = StateOf(window);
    if (!s || s->destroyed)
        return 0;
    return s->proc(window, message, wParam, lParam);
}

short GetAsyncKeyState(int virtualKey)
{
    if (virtualKey < 0 || virtualKey > 255)
        return 0;
    Layer& l = L();
    PumpEvents();
    bool down = false;
    if (Display* d = KeyStateDisplay()) {
        char keys[32];
        XQueryKeymap(d, keys);
        unsigned long syms[2];
        int n = platform::KeySymsOfVirtualKey(virtualKey, syms);
        for (int i = 0; i < n; ++i) {
            KeyCode code = XKeysymToKeycode(d, syms[i]);
            if (code != 0 && (keys[code >> 3] & (1 << (code & 7))))
                down = true;
        }
    } else if (l.videoReady) {
        int numKeys = 0;
        const Uint8* state = SDL_GetKeyboardState(&numKeys);
        int sdlKeys[2];
        int n = platform::SdlKeysOfVirtualKey(virtualKey, sdlKeys);
        for (int i = 0; i < n; ++i) {
            SDL_Scancode sc = SDL_GetScancodeFromKey(sdlKeys[i]);
            if (sc > SDL_SCANCODE_UNKNOWN && sc < numKeys && state[sc])
                down = true;
        }
    }
    return down ? static_cast<short>(0x8000) : 0;
}

HWND SetCapture(HWND window)
{
    Layer& l = L();
    HWND previous = l.capture;
    if (IsWindow(window)) {
        l.capture = window;
        SDL_CaptureMouse(SDL_TRUE);
    }
    return previous;
}

BOOL ReleaseCapture()
{
    Layer& l = L();
    if (l.capture)
        SDL_CaptureMouse(SDL_FALSE);
    l.capture = nullptr;
    return TRUE;
}

HWND GetCapture()
{
    return L().capture;
}

BOOL AllocConsole()
{
    return TRUE;
}

HWND GetConsoleWindow()
{
    return nullptr;
}

BOOL SetWindowPos(HWND, HWND, int, int, int, int, UINT)
{
    return FALSE;
}
