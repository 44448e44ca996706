#pragma once
// Texel offsets that are not constant, which GL refuses: the loops that make
// them unrolled, and what is left moved into the coordinates.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/gfx/hlsl/spirv_module.h"

namespace gfx::passes {

// An image access whose offset is not a constant.
bool HasVariableOffset(const Module& m);

// Marks Unroll on each loop whose counter (a phi in its header) flows into a
// variable texel offset; spirv-opt then unrolls those whose trip count it knows.
// A loop the author marked [loop] is left as it is. Returns the loops marked.
int MarkOffsetLoops(Module& m);

// spirv-opt's unrolling of the marked loops, and the folding after it.
bool UnrollMarkedLoops(std::vector<std::uint32_t>& spirv, std::string* error);

// Constant offsets become ConstOffset; the rest are added to the coordinate:
// in texels for fetches, divided by the level's size for sampling and gathers.
// A gather with four offsets that are not constant becomes four gathers.
bool MoveOffsets(Module& m, std::string* error);

}  // namespace gfx::passes
