#pragma once
// Inside the gfx layer: SPIR-V to GLSL 4.50 through SPIRV-Cross, with the
// record of bindings and signatures the device and reflection need.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/gfx/hlsl/hlsl_diagnostics.h"
#include "platform/gfx/hlsl/shader_info.h"

namespace gfx {

struct Target {
    Stage stage = Stage::Pixel;
    std::uint32_t major = 5;
    std::uint32_t minor = 0;
};

// "ps_5_0" and the like; false for a profile this layer does not compile.
bool ParseTarget(const char* target, Target& t);
// The target a record was compiled for.
Target TargetOfRecord(const ShaderInfo& info);

struct GlslOptions {
    // '#line' directives that give HLSL lines (for locating driver errors).
    bool lineDirectives = false;
    // Render targets (bit n: SV_Target n) whose output the shader encodes to
    // sRGB itself before it ends.
    std::uint32_t srgbMask = 0;
};

// Fills info (GLSL, signatures, bindings; not info.spirv). False with an error
// diagnostic when SPIRV-Cross refuses the module.
bool TranslateToGlsl(std::vector<std::uint32_t> spirv, const Target& target, const GlslOptions& options,
                     ShaderInfo& info, Diagnostics& diagnostics, const std::string& sourceName);

}  // namespace gfx
