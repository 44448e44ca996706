#pragma once
// Constant buffers with int, uint or bool members: those members stored as
// float bits, read back by bitcast, so that the block flattens to one vec4 array.
#include <string>

#include "platform/gfx/hlsl/spirv_module.h"

namespace gfx::passes {

// False, with the reason in *error, for a use of such a block that cannot be rewritten.
bool StoreIntMembersAsFloatBits(Module& m, std::string* error);

}  // namespace gfx::passes
