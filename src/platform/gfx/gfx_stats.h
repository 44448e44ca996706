#pragma once
// Measuring aids of the gfx layer (benchmarks and tests), not part of the
// Direct3D-shaped interface.
#include <cstdint>

namespace gfx {

// Wall-clock milliseconds of the last D3DCompile, by step. driver: the GL
// compile and link (0 when no device was current).
struct ShaderCompileTimes {
    double glslang = 0;
    double spirvCross = 0;
    double driver = 0;
};
ShaderCompileTimes LastShaderCompileTimes();

// GL calls that changed state or uploaded data, counted since device creation
// (draws and clears excluded): what the state cache did not filter out.
struct GlCallCounts {
    std::uint64_t stateChanges = 0;
    std::uint64_t uniformUploads = 0;
    std::uint64_t draws = 0;
};
GlCallCounts CurrentGlCallCounts();

}  // namespace gfx
