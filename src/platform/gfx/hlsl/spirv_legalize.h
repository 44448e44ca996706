#pragma once
// Textures, samplers and their structs held in locals, struct members or
// function parameters: inlined, split and forwarded by spirv-opt, as glslang
// legalizes HLSL, until each comes straight from its global.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/gfx/hlsl/spirv_module.h"

namespace gfx::passes {

// Textures and samplers anywhere but in plain globals.
bool NeedsLegalization(const Module& m);

// glslang's HLSL legalization over the words.
bool Legalize(std::vector<std::uint32_t>& spirv, std::string* error);

// After legalization every texture and sampler must come straight from its
// global: one chosen at run time has no GL form.
bool OpaqueValuesResolved(const Module& m, std::string* error);

// A load of each entry point input and output that nothing reads any more.
void KeepInterface(Module& m);

}  // namespace gfx::passes
