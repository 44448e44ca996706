// The window layer under SDL's offscreen driver: SDL events pushed into SDL's
// queue come out as window messages with the codes the shell reads.
#include <SDL.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "platform/window/native_window.h"
#include "platform/window/window.h"

namespace {

struct Seen {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Seen> g_seen;
void* g_createParam = nullptr;

LRESULT RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CREATE)
        g_createParam = reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams;
    g_seen.push_back({message, wParam, lParam});
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

class WindowLayer : public ::testing::Test {
protected:
    static HWND window;

    static void SetUpTestSuite()
    {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.style = CS_HREDRAW | CS_VREDRAW;
        wc.lpfnWndProc = RecordingProc;
        wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        wc.lpszClassName = "TestClass";
        ASSERT_NE(RegisterClassExA(&wc), 0);
        RECT r{0, 0, 320, 200};
        AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, FALSE);
        static int param;
        g_seen.clear();
        window = CreateWindowExA(0, "TestClass", "Test", WS_OVERLAPPEDWINDOW, 10, 20, r.right - r.left,
                                 r.bottom - r.top, nullptr, nullptr, nullptr, &param);
        ASSERT_NE(window, nullptr) << SDL_GetError();
        EXPECT_EQ(g_createParam, &param);
        ShowWindow(window, SW_SHOWNORMAL);
    }

    void SetUp() override
    {
        Drain();
        g_seen.clear();
    }

    static void Drain()
    {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            if (m.message == WM_QUIT)
                continue;
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
    }

    static Uint32 Id() { return SDL_GetWindowID(window->sdl); }

    static void PushKey(SDL_Keycode key, bool down, Uint16 mod = 0, Uint8 repeat = 0)
    {
        SDL_Event e{};
        e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        e.key.windowID = Id();
        e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
        e.key.repeat = repeat;
        e.key.keysym.sym = key;
        e.key.keysym.scancode = SDL_GetScancodeFromKey(key);
        e.key.keysym.mod = mod;
        SDL_PushEvent(&e);
    }

    static std::vector<Seen> Only(UINT a, UINT b = 0xffffffff)
    {
        std::vector<Seen> out;
        for (const Seen& s : g_seen)
            if (s.message == a || s.message == b)
                out.push_back(s);
        return out;
    }
};
HWND WindowLayer::window = nullptr;

TEST_F(WindowLayer, CreationSendsCreateAndClientSize)
{
    RECT client;
    ASSERT_TRUE(GetClientRect(window, &client));
    EXPECT_EQ(client.right, 320);
    EXPECT_EQ(client.bottom, 200);
    RECT outer{0, 0, 1600, 900};
    AdjustWindowRect(&outer, WS_OVERLAPPEDWINDOW, FALSE);
    EXPECT_GT(outer.right - outer.left, 1600);
    EXPECT_GT(outer.bottom - outer.top, 900);
}

TEST_F(WindowLayer, KeysBecomeVirtualKeyMessages)
{
    struct Case {
        SDL_Keycode sdl;
        Uint16 mod;
        UINT message;
        WPARAM vk;
    } cases[] = {
        {SDLK_F5, 0, WM_KEYDOWN, VK_F5},
        {SDLK_F4, 0, WM_KEYDOWN, VK_F4},
        {SDLK_SPACE, 0, WM_KEYDOWN, VK_SPACE},
        {SDLK_BACKSPACE, 0, WM_KEYDOWN, VK_BACK},
        {SDLK_LEFT, 0, WM_KEYDOWN, VK_LEFT},
        {SDLK_RIGHT, 0, WM_KEYDOWN, VK_RIGHT},
        {SDLK_UP, 0, WM_KEYDOWN, VK_UP},
        {SDLK_DOWN, 0, WM_KEYDOWN, VK_DOWN},
        {SDLK_ESCAPE, 0, WM_KEYDOWN, VK_ESCAPE},
        {SDLK_s, 0, WM_KEYDOWN, 'S'},
        {SDLK_7, 0, WM_KEYDOWN, '7'},
        {SDLK_LCTRL, 0, WM_KEYDOWN, VK_CONTROL},
        {SDLK_s, KMOD_LCTRL, WM_KEYDOWN, 'S'},
        // System keys: with Alt, and F10.
        {SDLK_F4, KMOD_LALT, WM_SYSKEYDOWN, VK_F4},
        {SDLK_RIGHT, KMOD_RALT, WM_SYSKEYDOWN, VK_RIGHT},
        {SDLK_F10, 0, WM_SYSKEYDOWN, VK_F10},
        {SDLK_LALT, 0, WM_SYSKEYDOWN, VK_MENU},
    };
    for (const Case& c : cases) {
        g_seen.clear();
        PushKey(c.sdl, true, c.mod);
        PushKey(c.sdl, false, c.mod);
        Drain();
        auto keys = Only(WM_KEYDOWN, WM_SYSKEYDOWN);
        ASSERT_EQ(keys.size(), 1u) << SDL_GetKeyName(c.sdl);
        EXPECT_EQ(keys[0].message, c.message) << SDL_GetKeyName(c.sdl);
        EXPECT_EQ(keys[0].wParam, c.vk) << SDL_GetKeyName(c.sdl);
        auto ups = Only(WM_KEYUP, WM_SYSKEYUP);
        ASSERT_EQ(ups.size(), 1u);
        EXPECT_EQ(ups[0].message, c.message == WM_KEYDOWN ? WM_KEYUP : WM_SYSKEYUP);
        EXPECT_EQ(ups[0].wParam, c.vk);
    }
}

TEST_F(WindowLayer, AutoRepeatGivesMoreKeyDowns)
{
    PushKey(SDLK_F5, true);
    PushKey(SDLK_F5, true, 0, 1);
    PushKey(SDLK_F5, true, 0, 1);
    PushKey(SDLK_F5, false);
    Drain();
    auto downs = Only(WM_KEYDOWN);
    ASSERT_EQ(downs.size(), 3u);
    EXPECT_EQ(downs[0].lParam & (1 << 30), 0);  // first press: was up
    EXPECT_NE(downs[1].lParam & (1 << 30), 0);  // repeats: was down
    EXPECT_EQ(Only(WM_KEYUP).size(), 1u);
}

TEST_F(WindowLayer, MouseMovesCarryButtonsModifiersAndSignedPositions)
{
    struct Case {
        Uint32 buttons;
        SDL_Keymod mod;
        int x, y;
        WPARAM flags;
    } cases[] = {
        {0, KMOD_NONE, 5, 6, 0},
        {SDL_BUTTON_LMASK, KMOD_NONE, 100, 50, MK_LBUTTON},
        {SDL_BUTTON_LMASK, KMOD_LSHIFT, 1, 2, MK_LBUTTON | MK_SHIFT},
        {SDL_BUTTON_LMASK | SDL_BUTTON_RMASK, KMOD_RCTRL, 3, 4, MK_LBUTTON | MK_RBUTTON | MK_CONTROL},
        {SDL_BUTTON_MMASK, KMOD_NONE, -20, -7, MK_MBUTTON},
    };
    for (const Case& c : cases) {
        g_seen.clear();
        SDL_SetModState(c.mod);
        SDL_Event e{};
        e.type = SDL_MOUSEMOTION;
        e.motion.windowID = Id();
        e.motion.state = c.buttons;
        e.motion.x = c.x;
        e.motion.y = c.y;
        SDL_PushEvent(&e);
        Drain();
        auto moves = Only(WM_MOUSEMOVE);
        ASSERT_EQ(moves.size(), 1u);
        EXPECT_EQ(moves[0].wParam, c.flags);
        EXPECT_EQ(GET_X_LPARAM(moves[0].lParam), c.x);
        EXPECT_EQ(GET_Y_LPARAM(moves[0].lParam), c.y);
    }
    SDL_SetModState(KMOD_NONE);
}

TEST_F(WindowLayer, ButtonsAndCapture)
{
    SDL_Event e{};
    e.type = SDL_MOUSEBUTTONDOWN;
    e.button.windowID = Id();
    e.button.button = SDL_BUTTON_LEFT;
    e.button.x = 7;
    e.button.y = 8;
    SDL_PushEvent(&e);
    e.type = SDL_MOUSEBUTTONUP;
    SDL_PushEvent(&e);
    Drain();
    EXPECT_EQ(Only(WM_LBUTTONDOWN).size(), 1u);
    EXPECT_EQ(Only(WM_LBUTTONUP).size(), 1u);

    EXPECT_EQ(SetCapture(window), nullptr);
    EXPECT_EQ(GetCapture(), window);
    EXPECT_TRUE(ReleaseCapture());
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(WindowLayer, ResizeAndMinimise)
{
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = Id();
    e.window.event = SDL_WINDOWEVENT_SIZE_CHANGED;
    e.window.data1 = 640;
    e.window.data2 = 360;
    SDL_PushEvent(&e);
    e.window.event = SDL_WINDOWEVENT_MINIMIZED;
    SDL_PushEvent(&e);
    Drain();
    auto sizes = Only(WM_SIZE);
    ASSERT_EQ(sizes.size(), 2u);
    EXPECT_EQ(sizes[0].wParam, WPARAM(SIZE_RESTORED));
    EXPECT_EQ(LOWORD(sizes[0].lParam), 640);
    EXPECT_EQ(HIWORD(sizes[0].lParam), 360);
    EXPECT_EQ(sizes[1].wParam, WPARAM(SIZE_MINIMIZED));
    EXPECT_EQ(sizes[1].lParam, 0);
}

TEST_F(WindowLayer, QuitComesLastWithItsCode)
{
    PostMessageA(window, WM_MOUSEMOVE, 0, 0);
    PostQuitMessage(3);
    PostMessageA(window, WM_MOUSEMOVE, 0, 0);
    std::vector<UINT> order;
    WPARAM code = 0;
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        order.push_back(m.message);
        if (m.message == WM_QUIT)
            code = m.wParam;
    }
    EXPECT_EQ(order, (std::vector<UINT>{WM_MOUSEMOVE, WM_MOUSEMOVE, WM_QUIT}));
    EXPECT_EQ(code, 3u);
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
}

// What may end the run in the middle of a frame: seen in the queue without
// being dispatched, and still dispatched afterwards.
TEST_F(WindowLayer, QuitRequestedSeesEscapeCloseAndQuitWithoutDispatching)
{
    struct Case {
        const char* what;
        std::function<void()> post;
        bool asked;
    } cases[] = {
        {"nothing waiting", [] {}, false},
        {"another key", [] { PushKey(SDLK_SPACE, true); }, false},
        {"Escape released", [] { PushKey(SDLK_ESCAPE, false); }, false},
        {"Alt+Escape (a system key)", [] { PushKey(SDLK_ESCAPE, true, KMOD_LALT); }, false},
        {"Escape", [] { PushKey(SDLK_ESCAPE, true); }, true},
        {"a close", [] { PostMessageA(window, WM_CLOSE, 0, 0); }, true},
        {"a signal",
         [] {
             SDL_Event e{};
             e.type = SDL_QUIT;
             SDL_PushEvent(&e);
         },
         true},
        {"a quit message", [] { PostQuitMessage(0); }, true},
    };
    for (const Case& c : cases) {
        c.post();
        EXPECT_EQ(platform::QuitRequested(), c.asked) << c.what;
        EXPECT_TRUE(g_seen.empty()) << c.what;
        Drain();
        // A close destroys the window: make a fresh one for what follows.
        if (!IsWindow(window)) {
            window = CreateWindowExA(0, "TestClass", "Test", WS_OVERLAPPEDWINDOW, 10, 20, 336, 239, nullptr, nullptr,
                                     nullptr, nullptr);
            ASSERT_NE(window, nullptr);
            ShowWindow(window, SW_SHOWNORMAL);
            Drain();
        }
        g_seen.clear();
        EXPECT_FALSE(platform::QuitRequested()) << "after " << c.what;
    }
}

TEST_F(WindowLayer, CaptionAndUserData)
{
    EXPECT_TRUE(SetWindowTextA(window, "Quorvelan FPS: 60  scene: 0"));
    char text[64];
    EXPECT_EQ(GetWindowTextA(window, text, sizeof text), 27);
    EXPECT_STREQ(text, "Quorvelan FPS: 60  scene: 0");
    EXPECT_STREQ(SDL_GetWindowTitle(window->sdl), "Quorvelan FPS: 60  scene: 0");
    char small[6];
    GetWindowTextA(window, small, sizeof small);
    EXPECT_STREQ(small, "Quorv");

    // A pointer above 4 GiB survives the user data whole.
    LONG_PTR big = static_cast<LONG_PTR>(0x7fff12345678LL);
    SetWindowLongPtrA(window, GWLP_USERDATA, big);
    EXPECT_EQ(GetWindowLongPtrA(window, GWLP_USERDATA), big);
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
}

TEST_F(WindowLayer, KeyStateIsTheHeldStateOnly)
{
    // Without X11 the state is SDL's own; keys only pressed and released in
    // the past leave no mark that could fire a chord later.
    PushKey(SDLK_LCTRL, true);
    PushKey(SDLK_s, true);
    PushKey(SDLK_s, false);
    PushKey(SDLK_LCTRL, false);
    Drain();
    EXPECT_EQ(GetAsyncKeyState('S'), 0);
    EXPECT_EQ(GetAsyncKeyState(VK_LCONTROL), 0);
    EXPECT_EQ(GetAsyncKeyState(256), 0);
    EXPECT_EQ(GetAsyncKeyState(-1), 0);
}

TEST(WindowLayerClose, CloseDestroysAndSendsDestroy)
{
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = "CloseClass";
    ASSERT_NE(RegisterClassExA(&wc), 0);
    EXPECT_EQ(RegisterClassExA(&wc), 0);  // registered once
    HWND w = CreateWindowExA(0, "CloseClass", "Close", WS_OVERLAPPEDWINDOW, 0, 0, 200, 200, nullptr, nullptr, nullptr,
                             nullptr);
    ASSERT_NE(w, nullptr);
    g_seen.clear();
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = SDL_GetWindowID(w->sdl);
    e.window.event = SDL_WINDOWEVENT_CLOSE;
    SDL_PushEvent(&e);
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&m);
    ASSERT_EQ(g_seen.size(), 2u);
    EXPECT_EQ(g_seen[0].message, UINT(WM_CLOSE));
    EXPECT_EQ(g_seen[1].message, UINT(WM_DESTROY));
    EXPECT_FALSE(IsWindow(w));
    EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
}

// A signal while the thread that reads the queue is held up in one long call
// (here a sleep) ends the process with the code given; one ignored when the
// process started stays ignored and the thread goes on. Each case runs in a
// process of its own.
TEST(WindowLayerSignals, ASignalEndsAThreadHeldUpInOneCall)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    constexpr int kWokeUp = 7;
    struct Case {
        const char* what;
        int number;
        bool ignoredAtStart;
        UINT code;
        int exitCode;
    } cases[] = {
        {"SIGINT", SIGINT, false, 0, 0},
        {"SIGTERM, another code", SIGTERM, false, 5, 5},
        {"SIGINT ignored at start", SIGINT, true, 0, kWokeUp},
    };
    for (const Case& c : cases) {
        EXPECT_EXIT(
            {
                if (c.ignoredAtStart)
                    signal(c.number, SIG_IGN);
                platform::EndOnSignal(50, c.code);
                raise(c.number);
                std::this_thread::sleep_for(std::chrono::seconds(c.ignoredAtStart ? 1 : 600));
                _exit(kWokeUp);
            },
            ::testing::ExitedWithCode(c.exitCode), "")
            << c.what;
    }
}

LRESULT QuitOnDestroyProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CLOSE)
        g_seen.push_back({message, wParam, lParam});
    if (message == WM_DESTROY)
        PostQuitMessage(4);
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// While the queue is read, a signal arrives as a close of every window, long
// before the watchdog's time: the run ends the way a close box ends it.
TEST(WindowLayerSignals, ASignalWhileTheQueueIsReadClosesEveryWindow)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            WNDCLASSEXA wc{};
            wc.cbSize = sizeof(wc);
            wc.lpfnWndProc = QuitOnDestroyProc;
            wc.lpszClassName = "SignalClass";
            RegisterClassExA(&wc);
            // Handlers first, as the player does: SDL then installs none of its own.
            platform::EndOnSignal(600000, 0);
            HWND windows[2];
            for (HWND& w : windows) {
                w = CreateWindowExA(0, "SignalClass", "Signal", WS_OVERLAPPEDWINDOW, 0, 0, 200, 200, nullptr, nullptr,
                                    nullptr, nullptr);
                if (!w)
                    _exit(2);
            }
            g_seen.clear();
            raise(SIGTERM);
            MSG m{};
            for (int turn = 0; turn < 1000; ++turn) {
                if (!PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                    continue;
                }
                if (m.message == WM_QUIT)
                    _exit(IsWindow(windows[0]) || IsWindow(windows[1]) || g_seen.size() != 2
                              ? 3
                              : static_cast<int>(m.wParam));
                DispatchMessageA(&m);
            }
            _exit(1);
        },
        ::testing::ExitedWithCode(4), "");
}

}  // namespace
