#pragma once
// Message boxes: SDL's simple message box when a display can show one,
// otherwise caption and text on standard error. Never waits for a click when
// nobody can give one (no display, or the offscreen/dummy video drivers).
//
// Not done: buttons other than OK, icons, answers other than IDOK.
#include "platform/system/types.h"

constexpr UINT MB_OK = 0x0u;
constexpr int IDOK = 1;

int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type);
