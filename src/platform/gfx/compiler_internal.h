#pragma once
// Inside the gfx layer: what the compiler and the device tell each other.
#include <string>

#include "platform/gfx/shader_info.h"

namespace gfx {

// glslang's process-wide start-up; the device calls it when it is created so
// that the first compilation does not pay for it. Safe to call repeatedly.
void EnsureCompilerProcess();

// Compiles and links the GLSL on the device whose GL context is current and
// keeps the program for the Create*Shader call that normally follows.
// Returns false when no device is current (the check then happens at creation).
// ok/log: the driver's verdict and its log.
bool PrecompileOnCurrentDevice(const ShaderInfo& info, bool& ok, std::string& log);

}  // namespace gfx
