#pragma once
// Inside the window layer only: what a virtual-key code is read with.

namespace platform {
// X key symbols of a virtual-key code (up to two: Ctrl is either side).
int KeySymsOfVirtualKey(int virtualKey, unsigned long out[2]);
// SDL key codes of a virtual-key code (up to two).
int SdlKeysOfVirtualKey(int virtualKey, int out[2]);
}
