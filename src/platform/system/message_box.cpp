#include "platform/system/message_box.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/system/console.h"
#include "platform/window/native_window.h"

namespace {

// A box can only be answered when a real video driver and a display exist.
bool CanShowBox()
{
    const char* wanted = std::getenv("SDL_VIDEODRIVER");
    if (wanted != nullptr && (std::strcmp(wanted, "offscreen") == 0 || std::strcmp(wanted, "dummy") == 0)) {
        return false;
    }
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 != nullptr && *x11 != '\0') || (wayland != nullptr && *wayland != '\0');
}

}  // namespace

int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type)
{
    (void)type;
    const char* shownText = text != nullptr ? text : "";
    const char* shownCaption = caption != nullptr ? caption : "Error";
    if (CanShowBox()) {
        SDL_Window* parent = owner != nullptr ? owner->sdl : nullptr;
        if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, shownCaption, shownText, parent) == 0) {
            return IDOK;
        }
    }
    ConsoleErrorPrintf("%s: %s\n", shownCaption, shownText);
    return IDOK;
}
