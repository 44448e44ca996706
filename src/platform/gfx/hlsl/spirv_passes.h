#pragma once
// SPIR-V rewrites between glslang and SPIRV-Cross that let HLSL constructs
// through which the GL side cannot express as they come out of the front end.
#include <cstdint>
#include <string>
#include <vector>

namespace gfx {

struct PassOptions {
    // Textures, samplers and their structs held in locals, struct members or
    // function parameters: inline, split and forward them (spirv-opt).
    bool legalize = true;
    // Texel offsets that are not constant: unroll the loops that make them,
    // then move what is left into the coordinates.
    bool constantOffsets = true;
    // Constant buffers with int, uint or bool members: store those members as
    // float bits so that the block flattens to one vec4 array.
    bool floatBlocks = true;
    // Run the optimiser even when nothing in the module needs it (measuring).
    bool alwaysOptimise = false;
};

// Rewrites the module in place. False, with the reason in *error, when a
// construct cannot be rewritten; the module is then left as it was.
bool RunHlslPasses(std::vector<std::uint32_t>& spirv, const PassOptions& options, std::string* error);

// Process-wide default for PassOptions::alwaysOptimise of the compiler's own
// calls, for benchmarks that measure the optimiser on shaders without need of it.
void SetAlwaysOptimiseShaders(bool always);
bool AlwaysOptimiseShaders();

}  // namespace gfx
