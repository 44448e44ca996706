#pragma once
// Inside the gfx layer: what a stage's program reads (constant buffers, textures with
// their samplers, images) from the bound slots into GL.
#include "platform/gfx/gl/binding_store.h"

namespace gfx {

// The bytes of the bound constant buffers into the program's flattened blocks, where they changed.
void UploadConstants(Core& core, Program::Variant& program, const StageBindings& s);
// Textures and samplers to the program's combined units; with checkTargets, a view of a
// bound target reads as zeros.
void BindTextures(Core& core, const Program& program, const StageBindings& s, const BindingStore& store,
                  bool checkTargets);
// The compute stage's unordered-access views to the program's image units.
void BindImages(GlCache& c, const Program& program, const std::array<UavImpl*, kUavSlots>& uavs);

}  // namespace gfx
