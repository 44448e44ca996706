// SDL key codes to virtual-key codes, and virtual-key codes to what the
// desktop-wide key state is read with (X key symbols, SDL scancodes).
#include "platform/window/keys.h"

#include <SDL.h>
#include <X11/keysym.h>

#include "platform/window/window.h"

namespace platform {
namespace {

struct KeyEntry {
    SDL_Keycode sdl;
    int vk;
    unsigned long keysym;
};

// Keys other than letters, digits and function keys.
const KeyEntry kKeys[] = {
    {SDLK_BACKSPACE, VK_BACK, XK_BackSpace},
    {SDLK_TAB, VK_TAB, XK_Tab},
    {SDLK_RETURN, VK_RETURN, XK_Return},
    {SDLK_KP_ENTER, VK_RETURN, XK_KP_Enter},
    {SDLK_PAUSE, VK_PAUSE, XK_Pause},
    {SDLK_CAPSLOCK, VK_CAPITAL, XK_Caps_Lock},
    {SDLK_ESCAPE, VK_ESCAPE, XK_Escape},
    {SDLK_SPACE, VK_SPACE, XK_space},
    {SDLK_PAGEUP, VK_PRIOR, XK_Prior},
    {SDLK_PAGEDOWN, VK_NEXT, XK_Next},
    {SDLK_END, VK_END, XK_End},
    {SDLK_HOME, VK_HOME, XK_Home},
    {SDLK_LEFT, VK_LEFT, XK_Left},
    {SDLK_UP, VK_UP, XK_Up},
    {SDLK_RIGHT, VK_RIGHT, XK_Right},
    {SDLK_DOWN, VK_DOWN, XK_Down},
    {SDLK_PRINTSCREEN, VK_SNAPSHOT, XK_Print},
    {SDLK_INSERT, VK_INSERT, XK_Insert},
    {SDLK_DELETE, VK_DELETE, XK_Delete},
    {SDLK_LGUI, VK_LWIN, XK_Super_L},
    {SDLK_RGUI, VK_RWIN, XK_Super_R},
    {SDLK_APPLICATION, VK_APPS, XK_Menu},
    {SDLK_KP_0, VK_NUMPAD0 + 0, XK_KP_0},
    {SDLK_KP_1, VK_NUMPAD0 + 1, XK_KP_1},
    {SDLK_KP_2, VK_NUMPAD0 + 2, XK_KP_2},
    {SDLK_KP_3, VK_NUMPAD0 + 3, XK_KP_3},
    {SDLK_KP_4, VK_NUMPAD0 + 4, XK_KP_4},
    {SDLK_KP_5, VK_NUMPAD0 + 5, XK_KP_5},
    {SDLK_KP_6, VK_NUMPAD0 + 6, XK_KP_6},
    {SDLK_KP_7, VK_NUMPAD0 + 7, XK_KP_7},
    {SDLK_KP_8, VK_NUMPAD0 + 8, XK_KP_8},
    {SDLK_KP_9, VK_NUMPAD0 + 9, XK_KP_9},
    {SDLK_KP_MULTIPLY, VK_MULTIPLY, XK_KP_Multiply},
    {SDLK_KP_PLUS, VK_ADD, XK_KP_Add},
    {SDLK_KP_MINUS, VK_SUBTRACT, XK_KP_Subtract},
    {SDLK_KP_PERIOD, VK_DECIMAL, XK_KP_Decimal},
    {SDLK_KP_DIVIDE, VK_DIVIDE, XK_KP_Divide},
    {SDLK_NUMLOCKCLEAR, VK_NUMLOCK, XK_Num_Lock},
    {SDLK_SCROLLLOCK, VK_SCROLL, XK_Scroll_Lock},
    // Window messages carry the side-less codes for the modifiers.
    {SDLK_LSHIFT, VK_SHIFT, XK_Shift_L},
    {SDLK_RSHIFT, VK_SHIFT, XK_Shift_R},
    {SDLK_LCTRL, VK_CONTROL, XK_Control_L},
    {SDLK_RCTRL, VK_CONTROL, XK_Control_R},
    {SDLK_LALT, VK_MENU, XK_Alt_L},
    {SDLK_RALT, VK_MENU, XK_Alt_R},
    {SDLK_SEMICOLON, VK_OEM_1, XK_semicolon},
    {SDLK_EQUALS, VK_OEM_PLUS, XK_equal},
    {SDLK_COMMA, VK_OEM_COMMA, XK_comma},
    {SDLK_MINUS, VK_OEM_MINUS, XK_minus},
    {SDLK_PERIOD, VK_OEM_PERIOD, XK_period},
    {SDLK_SLASH, VK_OEM_2, XK_slash},
    {SDLK_BACKQUOTE, VK_OEM_3, XK_grave},
    {SDLK_LEFTBRACKET, VK_OEM_4, XK_bracketleft},
    {SDLK_BACKSLASH, VK_OEM_5, XK_backslash},
    {SDLK_RIGHTBRACKET, VK_OEM_6, XK_bracketright},
    {SDLK_QUOTE, VK_OEM_7, XK_apostrophe},
};

// The side-specific codes that only the key state knows.
struct SidedKey {
    int vk;
    SDL_Keycode sdl;
    unsigned long keysym;
};
const SidedKey kSidedKeys[] = {
    {VK_LSHIFT, SDLK_LSHIFT, XK_Shift_L},    {VK_RSHIFT, SDLK_RSHIFT, XK_Shift_R},
    {VK_LCONTROL, SDLK_LCTRL, XK_Control_L}, {VK_RCONTROL, SDLK_RCTRL, XK_Control_R},
    {VK_LMENU, SDLK_LALT, XK_Alt_L},         {VK_RMENU, SDLK_RALT, XK_Alt_R},
};

}  // namespace

int VirtualKeyFromSdlKey(int sdlKey)
{
    if (sdlKey >= SDLK_a && sdlKey <= SDLK_z)
        return 'A' + (sdlKey - SDLK_a);
    if (sdlKey >= SDLK_0 && sdlKey <= SDLK_9)
        return '0' + (sdlKey - SDLK_0);
    if (sdlKey >= SDLK_F1 && sdlKey <= SDLK_F12)
        return VK_F1 + (sdlKey - SDLK_F1);
    if (sdlKey >= SDLK_F13 && sdlKey <= SDLK_F24)
        return VK_F1 + 12 + (sdlKey - SDLK_F13);
    for (const KeyEntry& k : kKeys)
        if (k.sdl == sdlKey)
            return k.vk;
    return 0;
}

bool IsSystemKey(int virtualKey, bool altDown)
{
    return altDown || virtualKey == VK_F10 || virtualKey == VK_MENU;
}

int KeySymsOfVirtualKey(int vk, unsigned long out[2])
{
    if (vk >= 'A' && vk <= 'Z') {
        out[0] = XK_a + (vk - 'A');
        return 1;
    }
    if (vk >= '0' && vk <= '9') {
        out[0] = XK_0 + (vk - '0');
        return 1;
    }
    if (vk >= VK_F1 && vk < VK_F1 + 24) {
        out[0] = XK_F1 + (vk - VK_F1);
        return 1;
    }
    for (const SidedKey& k : kSidedKeys)
        if (k.vk == vk) {
            out[0] = k.keysym;
            return 1;
        }
    int n = 0;
    for (const KeyEntry& k : kKeys)
        if (k.vk == vk && n < 2)
            out[n++] = k.keysym;
    return n;
}

int SdlKeysOfVirtualKey(int vk, int out[2])
{
    if (vk >= 'A' && vk <= 'Z') {
        out[0] = SDLK_a + (vk - 'A');
        return 1;
    }
    if (vk >= '0' && vk <= '9') {
        out[0] = SDLK_0 + (vk - '0');
        return 1;
    }
    if (vk >= VK_F1 && vk < VK_F1 + 12) {
        out[0] = SDLK_F1 + (vk - VK_F1);
        return 1;
    }
    if (vk >= VK_F1 + 12 && vk < VK_F1 + 24) {
        out[0] = SDLK_F13 + (vk - VK_F1 - 12);
        return 1;
    }
    for (const SidedKey& k : kSidedKeys)
        if (k.vk == vk) {
            out[0] = k.sdl;
            return 1;
        }
    int n = 0;
    for (const KeyEntry& k : kKeys)
        if (k.vk == vk && n < 2)
            out[n++] = k.sdl;
    return n;
}

}  // namespace platform
