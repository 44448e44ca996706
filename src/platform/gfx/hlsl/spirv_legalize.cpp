// HLSL legalization through spirv-opt, and the checks and repairs after it.
#include "platform/gfx/hlsl/spirv_legalize.h"

#include <spirv-tools/optimizer.hpp>

#include <set>

namespace gfx::passes {

namespace {

bool ContainsOpaque(const Module& m, std::uint32_t type, int depth = 0)
{
    const Inst* t = m.Global(type);
    if (!t || depth > 16)
        return false;
    switch (t->op) {
    case spv::OpTypeImage:
    case spv::OpTypeSampler:
    case spv::OpTypeSampledImage: return true;
    case spv::OpTypeArray:
    case spv::OpTypeRuntimeArray: return ContainsOpaque(m, t->w[1], depth + 1);
    case spv::OpTypePointer: return ContainsOpaque(m, t->w[2], depth + 1);
    case spv::OpTypeStruct:
        for (std::size_t k = 1; k < t->w.size(); ++k)
            if (ContainsOpaque(m, t->w[k], depth + 1))
                return true;
        return false;
    default: return false;
    }
}

// glslang's HLSL legalization, with the entry point's interface kept whole:
// the signatures come from it.
void LegalizationPasses(spvtools::Optimizer& o)
{
    o.RegisterPass(spvtools::CreateWrapOpKillPass())
        .RegisterPass(spvtools::CreateDeadBranchElimPass())
        .RegisterPass(spvtools::CreateMergeReturnPass())
        .RegisterPass(spvtools::CreateInlineExhaustivePass())
        .RegisterPass(spvtools::CreateEliminateDeadFunctionsPass())
        .RegisterPass(spvtools::CreatePrivateToLocalPass())
        .RegisterPass(spvtools::CreateScalarReplacementPass())
        .RegisterPass(spvtools::CreateLocalAccessChainConvertPass())
        .RegisterPass(spvtools::CreateLocalSingleBlockLoadStoreElimPass())
        .RegisterPass(spvtools::CreateLocalSingleStoreElimPass())
        .RegisterPass(spvtools::CreateSimplificationPass())
        .RegisterPass(spvtools::CreateAggressiveDCEPass(true))
        .RegisterPass(spvtools::CreateVectorDCEPass())
        .RegisterPass(spvtools::CreateDeadInsertElimPass())
        .RegisterPass(spvtools::CreateAggressiveDCEPass(true))
        .RegisterPass(spvtools::CreateDeadBranchElimPass())
        .RegisterPass(spvtools::CreateBlockMergePass())
        .RegisterPass(spvtools::CreateLocalMultiStoreElimPass())
        .RegisterPass(spvtools::CreateIfConversionPass())
        .RegisterPass(spvtools::CreateSimplificationPass())
        .RegisterPass(spvtools::CreateAggressiveDCEPass(true))
        .RegisterPass(spvtools::CreateVectorDCEPass())
        .RegisterPass(spvtools::CreateDeadInsertElimPass())
        .RegisterPass(spvtools::CreateInterpolateFixupPass())
        .RegisterPass(spvtools::CreateAggressiveDCEPass(true))
        .RegisterPass(spvtools::CreateCFGCleanupPass());
}

}  // namespace

bool NeedsLegalization(const Module& m)
{
    for (const Inst& i : m.sections[kGlobal]) {
        if (i.op == spv::OpTypeStruct && ContainsOpaque(m, i.result()))
            return true;
        if (i.op == spv::OpTypeFunction)
            for (std::size_t k = 1; k < i.w.size(); ++k)
                if (ContainsOpaque(m, i.w[k]))
                    return true;
        if (i.op == spv::OpVariable && i.w[2] == spv::StorageClassPrivate && ContainsOpaque(m, i.w[0]))
            return true;
    }
    for (const Inst& i : m.functions)
        if (i.op == spv::OpVariable && ContainsOpaque(m, i.w[0]))
            return true;
    return false;
}

bool Legalize(std::vector<std::uint32_t>& spirv, std::string* error)
{
    return RunOptimizer(spirv, LegalizationPasses, error);
}

bool OpaqueValuesResolved(const Module& m, std::string* error)
{
    for (const Inst& i : m.functions) {
        bool opaque = (i.op == spv::OpVariable && ContainsOpaque(m, i.w[0])) ||
                      ((i.op == spv::OpPhi || i.op == spv::OpSelect) && ContainsOpaque(m, i.w[0]));
        if (opaque) {
            *error = "a texture or sampler chosen at run time: which one it is must be known when compiling";
            return false;
        }
    }
    return true;
}

// The optimiser leaves unused inputs and outputs in the entry point but no
// longer reads them, and the reflection lists only what is read. A load of
// each keeps the signature whole, as Direct3D's compiler keeps it.
void KeepInterface(Module& m)
{
    std::set<std::uint32_t> referenced;
    for (const Inst& i : m.functions)
        for (std::size_t k = i.firstOperand(); k < i.w.size(); ++k)
            referenced.insert(i.w[k]);
    for (const Inst& entry : m.sections[kPreamble]) {
        if (entry.op != spv::OpEntryPoint)
            continue;
        std::size_t k = 2;  // the name: words up to one with a zero byte
        while (k < entry.w.size()) {
            std::uint32_t word = entry.w[k++];
            if (!(word & 0xff000000u) || !(word & 0xff0000u) || !(word & 0xff00u) || !(word & 0xffu))
                break;
        }
        std::vector<Inst> loads;
        for (; k < entry.w.size(); ++k) {
            std::uint32_t var = entry.w[k];
            const Inst* v = m.Global(var);
            const Inst* p = v ? m.Global(v->w[0]) : nullptr;
            if (referenced.count(var) || !p || p->op != spv::OpTypePointer)
                continue;
            loads.push_back(Make(spv::OpLoad, {p->w[2], m.NewId(), var}));
        }
        if (loads.empty())
            continue;
        // After the entry function's first label and its local variables.
        for (std::size_t at = 0; at < m.functions.size(); ++at) {
            if (m.functions[at].op != spv::OpFunction || m.functions[at].w[1] != entry.w[1])
                continue;
            while (at < m.functions.size() && m.functions[at].op != spv::OpLabel)
                ++at;
            ++at;
            while (at < m.functions.size() &&
                   (m.functions[at].op == spv::OpVariable || m.functions[at].op == spv::OpLine))
                ++at;
            m.functions.insert(m.functions.begin() + std::ptrdiff_t(at), loads.begin(), loads.end());
            break;
        }
        m.Index();
    }
}

}  // namespace gfx::passes
