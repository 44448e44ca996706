#pragma once
// Inside the gfx layer: a shader text as the compiler reads it, up to its
// first zero byte, as Direct3D's compiler reads C strings.
#include <string>

#include "platform/gfx/hlsl/hlsl_diagnostics.h"

namespace gfx {

// The text up to its first zero byte. Where a zero byte cuts it, an error at
// that byte's line is added to cuts, for when the cut text fails to compile.
std::string UpToNul(const std::string& file, const std::string& text, Diagnostics& cuts);

}  // namespace gfx
