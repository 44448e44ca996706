#pragma once
// Inside the gfx layer: HLSL to GLSL 4.50 plus the shader record, with typed
// diagnostics. D3DCompile is a thin layer over TranslateHlsl. No GL here: the
// driver's verdict comes through a check the device registers.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/gfx/d3dcompiler.h"
#include "platform/gfx/hlsl/hlsl_diagnostics.h"
#include "platform/gfx/hlsl/shader_info.h"

namespace gfx {

struct HlslRequest {
    std::string source;
    std::string sourceName;  // the file the messages name
    std::string entry;
    std::string target;  // "ps_5_0", ...
    const D3D_SHADER_MACRO* defines = nullptr;
    ID3DInclude* include = nullptr;  // or D3D_COMPILE_STANDARD_FILE_INCLUDE
    bool warningsAreErrors = false;
    bool sourceMissing = false;  // a size given without text
};

struct HlslResult {
    bool ok = false;  // no error among the diagnostics, and a record
    ShaderInfo info;
    Diagnostics diagnostics;
};

HlslResult TranslateHlsl(const HlslRequest& request);

// The driver's compile and link of a translated shader. checked is false when
// the check cannot run now (no context of its device current on this thread).
struct DriverVerdict {
    bool checked = false;
    bool ok = true;
    std::string log;
};
using DriverCheck = std::function<DriverVerdict(const ShaderInfo&)>;

// A device registers its check when it is made and clears it when it goes;
// the most recent check that can run decides.
void SetDriverCheck(const void* owner, DriverCheck check);
void ClearDriverCheck(const void* owner);

// The record's GLSL again, with the outputs of srgbMask's render targets
// encoded to sRGB by the shader. False when the record has no SPIR-V.
bool MakeSrgbVariant(const ShaderInfo& info, std::uint32_t srgbMask, std::string& glsl);

// glslang's process-wide start-up; the device calls it when it is created so
// that the first compilation does not pay for it. Safe to call repeatedly.
void EnsureCompilerProcess();

}  // namespace gfx
