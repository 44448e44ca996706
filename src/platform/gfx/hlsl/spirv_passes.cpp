// The SPIR-V rewrites for HLSL on GL, in their order: legalization and the
// unrolling of offset loops through spirv-opt, texel offsets moved into
// coordinates, and int members of constant buffers stored as float bits.
#include "platform/gfx/hlsl/spirv_passes.h"

#include <atomic>

#include "platform/gfx/hlsl/spirv_cbuffer_ints.h"
#include "platform/gfx/hlsl/spirv_legalize.h"
#include "platform/gfx/hlsl/spirv_module.h"
#include "platform/gfx/hlsl/spirv_offsets.h"

namespace gfx {

namespace {

std::atomic<bool> g_alwaysOptimise{false};

}  // namespace

void SetAlwaysOptimiseShaders(bool always)
{
    g_alwaysOptimise = always;
}

bool RunHlslPasses(std::vector<std::uint32_t>& spirv, std::string* error)
{
    std::string ignored;
    if (!error)
        error = &ignored;
    std::vector<std::uint32_t> words = spirv;
    passes::Module m;
    if (!m.Parse(words, error))
        return false;
    bool offsets = passes::HasVariableOffset(m);
    bool legalize = passes::NeedsLegalization(m);
    if (offsets || legalize || g_alwaysOptimise) {
        if (!passes::Legalize(words, error))
            return false;
        m = passes::Module();
        if (!m.Parse(words, error))
            return false;
        if (passes::HasVariableOffset(m) && passes::MarkOffsetLoops(m) > 0) {
            words = m.Emit();
            if (!passes::UnrollMarkedLoops(words, error))
                return false;
            m = passes::Module();
            if (!m.Parse(words, error))
                return false;
        }
        if (!passes::OpaqueValuesResolved(m, error))
            return false;
        passes::KeepInterface(m);
    }
    if (passes::HasVariableOffset(m) && !passes::MoveOffsets(m, error))
        return false;
    if (!passes::StoreIntMembersAsFloatBits(m, error))
        return false;
    spirv = m.Emit();
    return true;
}

}  // namespace gfx
