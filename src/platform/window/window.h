#pragma once
// The window services the shell calls, on SDL2: window classes and windows
// with a window procedure, one message queue for the process with the quit
// message, keyboard messages with Windows virtual-key codes, mouse messages
// with button and modifier state, mouse capture, the caption, and the
// desktop-wide key state (XQueryKeymap on X11, the focused window's own
// state elsewhere), and SIGINT and SIGTERM as a close (EndOnSignal).
//
// Not provided: child windows, menus, icons, brushes and painting, timers,
// per-window queues or filters in PeekMessageA, WM_CHAR (TranslateMessage
// makes no character messages), window styles beyond the overlapped frame,
// and key codes for keys the system never reads beyond the usual keyboard.
// Message boxes are the system layer's (platform/system).
#include "platform/system/types.h"

typedef WORD ATOM;

struct HICON__;
typedef HICON__* HICON;
typedef HICON HCURSOR;
struct HMENU__;
typedef HMENU__* HMENU;

typedef LRESULT (*WNDPROC)(HWND, UINT, WPARAM, LPARAM);

struct WNDCLASSEXA {
    UINT cbSize;
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
    HICON hIconSm;
};

struct POINT {
    LONG x;
    LONG y;
};

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};

// What WM_CREATE's lParam points to.
struct CREATESTRUCTA {
    void* lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    LPCSTR lpszName;
    LPCSTR lpszClass;
    DWORD dwExStyle;
};

#define MAKEINTRESOURCEA(i) ((LPCSTR)(std::uintptr_t)(WORD)(i))
#define IDC_ARROW MAKEINTRESOURCEA(32512)

#define LOWORD(l) ((WORD)(((std::uintptr_t)(l)) & 0xffff))
#define HIWORD(l) ((WORD)((((std::uintptr_t)(l)) >> 16) & 0xffff))
#define MAKELPARAM(lo, hi) ((LPARAM)(DWORD)(((WORD)(lo)) | (((DWORD)(WORD)(hi)) << 16)))
#define GET_X_LPARAM(lp) ((int)(short)LOWORD(lp))
#define GET_Y_LPARAM(lp) ((int)(short)HIWORD(lp))

// Class styles (accepted, no effect).
#define CS_VREDRAW 0x0001
#define CS_HREDRAW 0x0002

// Window styles: only the overlapped frame is known.
#define WS_OVERLAPPED 0x00000000L
#define WS_CAPTION 0x00C00000L
#define WS_SYSMENU 0x00080000L
#define WS_THICKFRAME 0x00040000L
#define WS_MINIMIZEBOX 0x00020000L
#define WS_MAXIMIZEBOX 0x00010000L
#define WS_OVERLAPPEDWINDOW (WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)

#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_SHOW 5

#define GWLP_USERDATA (-21)

#define PM_NOREMOVE 0x0000
#define PM_REMOVE 0x0001

// Messages.
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_SIZE 0x0005
#define WM_CLOSE 0x0010
#define WM_QUIT 0x0012
#define WM_KEYDOWN 0x0100
#define WM_KEYUP 0x0101
#define WM_SYSKEYDOWN 0x0104
#define WM_SYSKEYUP 0x0105
#define WM_MOUSEMOVE 0x0200
#define WM_LBUTTONDOWN 0x0201
#define WM_LBUTTONUP 0x0202
#define WM_RBUTTONDOWN 0x0204
#define WM_RBUTTONUP 0x0205
#define WM_MBUTTONDOWN 0x0207
#define WM_MBUTTONUP 0x0208

// WM_SIZE's wParam.
#define SIZE_RESTORED 0
#define SIZE_MINIMIZED 1
#define SIZE_MAXIMIZED 2

// Mouse message wParam flags.
#define MK_LBUTTON 0x0001
#define MK_RBUTTON 0x0002
#define MK_SHIFT 0x0004
#define MK_CONTROL 0x0008
#define MK_MBUTTON 0x0010
#define MK_XBUTTON1 0x0020
#define MK_XBUTTON2 0x0040

// Virtual-key codes. Letters and digits are their upper-case ASCII codes.
#define VK_BACK 0x08
#define VK_TAB 0x09
#define VK_RETURN 0x0D
#define VK_SHIFT 0x10
#define VK_CONTROL 0x11
#define VK_MENU 0x12
#define VK_PAUSE 0x13
#define VK_CAPITAL 0x14
#define VK_ESCAPE 0x1B
#define VK_SPACE 0x20
#define VK_PRIOR 0x21
#define VK_NEXT 0x22
#define VK_END 0x23
#define VK_HOME 0x24
#define VK_LEFT 0x25
#define VK_UP 0x26
#define VK_RIGHT 0x27
#define VK_DOWN 0x28
#define VK_SNAPSHOT 0x2C
#define VK_INSERT 0x2D
#define VK_DELETE 0x2E
#define VK_LWIN 0x5B
#define VK_RWIN 0x5C
#define VK_APPS 0x5D
#define VK_NUMPAD0 0x60
#define VK_MULTIPLY 0x6A
#define VK_ADD 0x6B
#define VK_SUBTRACT 0x6D
#define VK_DECIMAL 0x6E
#define VK_DIVIDE 0x6F
#define VK_F1 0x70
#define VK_F4 0x73
#define VK_F5 0x74
#define VK_F10 0x79
#define VK_F12 0x7B
#define VK_NUMLOCK 0x90
#define VK_SCROLL 0x91
#define VK_LSHIFT 0xA0
#define VK_RSHIFT 0xA1
#define VK_LCONTROL 0xA2
#define VK_RCONTROL 0xA3
#define VK_LMENU 0xA4
#define VK_RMENU 0xA5
#define VK_OEM_1 0xBA
#define VK_OEM_PLUS 0xBB
#define VK_OEM_COMMA 0xBC
#define VK_OEM_MINUS 0xBD
#define VK_OEM_PERIOD 0xBE
#define VK_OEM_2 0xBF
#define VK_OEM_3 0xC0
#define VK_OEM_4 0xDB
#define VK_OEM_5 0xDC
#define VK_OEM_6 0xDD
#define VK_OEM_7 0xDE

ATOM RegisterClassExA(const WNDCLASSEXA* windowClass);
// Any cursor name gives the system's arrow.
HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name);
// The overlapped frame adds a nominal border and caption; CreateWindowExA
// takes them off again, so the client area is exactly the size asked for
// (the real frame is the window manager's).
BOOL AdjustWindowRect(RECT* rect, DWORD style, BOOL menu);
// Sends WM_CREATE (lParam: CREATESTRUCTA*) and WM_SIZE to the class's
// procedure before it returns; the window is hidden until ShowWindow.
// Fails (null) when the video system or the window cannot be made, and when
// there is no display to show it on: neither DISPLAY nor WAYLAND_DISPLAY set,
// unless SDL_VIDEODRIVER names a driver (offscreen needs no display).
HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, void* param);
BOOL ShowWindow(HWND window, int command);
// Sends WM_DESTROY, then hides the window for good; the SDL window itself
// stays until the process ends, because a GL context may still live on it.
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);
// WM_CLOSE destroys the window; everything else is ignored (result 0).
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LONG_PTR GetWindowLongPtrA(HWND window, int index);
LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value);
BOOL GetClientRect(HWND window, RECT* rect);
BOOL SetWindowTextA(HWND window, LPCSTR text);
int GetWindowTextA(HWND window, LPSTR text, int size);

// Takes the next message of the process, translating waiting SDL events
// first. WM_QUIT comes only when nothing else waits. Window and range
// filters are not supported (pass null and 0, 0).
BOOL PeekMessageA(MSG* message, HWND window, UINT filterMin, UINT filterMax, UINT remove);
BOOL TranslateMessage(const MSG* message);
LRESULT DispatchMessageA(const MSG* message);
void PostQuitMessage(int exitCode);
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Bit 15 set while the key is down. The "pressed since the last query" bit 0
// is never set: a stale one would fire a key chord long after the press.
short GetAsyncKeyState(int virtualKey);
HWND SetCapture(HWND window);
BOOL ReleaseCapture();
HWND GetCapture();

// The console is the terminal the process was started from: AllocConsole
// succeeds without making anything; there is no console window to place.
BOOL AllocConsole();
HWND GetConsoleWindow();
#define HWND_TOP ((HWND)0)
// Only a null window is accepted, and nothing is moved (returns FALSE).
BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);

namespace platform {
// The key code of an SDL key (SDL_Keycode), 0 for keys without one.
int VirtualKeyFromSdlKey(int sdlKey);
// Whether a key-down comes as WM_SYSKEYDOWN: F10, and any key with Alt.
bool IsSystemKey(int virtualKey, bool altDown);
// The window behind an SDL window id, or null.
HWND WindowFromSdlId(unsigned id);
// Whether ending the program is asked for: an Escape key-down or a close
// (a SIGINT or SIGTERM arrives as one) waiting in the queue, or a quit
// message posted. Reads the waiting input into the queue first and
// dispatches nothing, so it may run in the middle of a frame.
bool QuitRequested();
// From the call on, SIGINT and SIGTERM are the layer's own, not SDL's: each
// arrives as a close of every window, as before, and when the process still
// runs graceMs after one, because the thread that reads the queue is held up
// in a long call (the driver's compile of a shader), a thread of the layer's
// ends it with exitCode at once, without flushing or running anything. A
// signal ignored when the process started stays ignored. A later call
// changes only the time and the code.
void EndOnSignal(DWORD graceMs, UINT exitCode);
}
