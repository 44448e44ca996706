#pragma once
// The render window's procedure: size changes, the end of the run, the key
// arrays of the frame loop and the camera drag.
#include "platform/system/types.h"

class RenderWindow;
class Camera;

struct MousePosition {
    int x;
    int y;
};

extern BYTE g_keyDown[256];        // held: from a key's WM_KEYDOWN to its WM_KEYUP
extern BYTE g_keyPressed[256];     // went down since the last frame
extern MousePosition g_lastMouse;  // a coordinate of 0 counts as none
extern RenderWindow* g_window;
extern Camera* g_camera;

LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// The camera's turn in radians for a mouse move of the given pixels.
float MouseTurnAngle(int pixels);
