#pragma once
// SPIR-V rewrites between glslang and SPIRV-Cross that let HLSL constructs
// through which the GL side cannot express as they come out of the front end:
// textures and samplers held in locals, struct members or parameters; texel
// offsets that are not constant; constant buffers with int, uint or bool members.
#include <cstdint>
#include <string>
#include <vector>

namespace gfx {

// Rewrites the module in place. False, with the reason in *error, when a
// construct cannot be rewritten; the module is then left as it was.
bool RunHlslPasses(std::vector<std::uint32_t>& spirv, std::string* error);

// Runs the optimiser even on shaders that need none of it, for benchmarks
// and tests that measure or check it (process-wide).
void SetAlwaysOptimiseShaders(bool always);

}  // namespace gfx
