#pragma once
// Varying locations by semantic, shared by every shader of the process.
#include <cstdint>
#include <string>

namespace gfx {

// Varying location shared by a vertex output and a pixel input of the same semantic.
std::uint32_t VaryingLocation(const std::string& upperSemantic, std::uint32_t index);

}  // namespace gfx
