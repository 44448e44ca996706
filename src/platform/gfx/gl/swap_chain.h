#pragma once
// A testing aid of the gfx layer, not part of the DXGI-shaped interface: what
// the last Present put in the window, as RGBA bytes with the top row first
// (works where the window's framebuffer keeps its contents after a swap, as
// SDL's offscreen driver does).
#include <cstdint>
#include <vector>

#include "platform/gfx/dxgi.h"

namespace gfx {

bool ReadPresentedPixels(IDXGISwapChain* swapChain, std::vector<std::uint8_t>& rgba, UINT& width, UINT& height);

}  // namespace gfx
