#pragma once
// Inside the gfx layer: ID3DBlob over a byte vector.
#include <cstddef>
#include <string>

#include "platform/gfx/d3dcompiler.h"

namespace gfx {

ID3DBlob* MakeBlob(std::size_t size);
ID3DBlob* MakeBlob(const void* data, std::size_t size);
// The text and its terminating zero.
ID3DBlob* MakeTextBlob(const std::string& text);

}  // namespace gfx
