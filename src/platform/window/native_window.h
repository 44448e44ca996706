#pragma once
// Inside the platform layer only: what a window handle is underneath.
// Windows are SDL windows made with SDL_WINDOW_OPENGL after
// ConfigureGlAttributes(), so that the graphics layer can put its
// OpenGL 4.5 core context and swap chain on any of them.
#include "platform/system/types.h"

struct SDL_Window;

struct HWND__ {
    SDL_Window* sdl = nullptr;
    LONG_PTR userData = 0;  // the window's user data slot
    void* layer = nullptr;  // the window layer's own state
};

namespace platform {
// Sets SDL's GL attributes for a 4.5 core context; call before SDL_CreateWindow.
void ConfigureGlAttributes();
}
