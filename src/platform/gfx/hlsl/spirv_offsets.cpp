// Texel offsets that are not constant: loops unrolled, offsets moved into coordinates.
#include "platform/gfx/hlsl/spirv_offsets.h"

#include <spirv-tools/optimizer.hpp>

#include <set>
#include <unordered_map>

namespace gfx::passes {

namespace {

bool IsImageInstruction(spv::Op op)
{
    switch (op) {
    case spv::OpImageSampleImplicitLod:
    case spv::OpImageSampleExplicitLod:
    case spv::OpImageSampleDrefImplicitLod:
    case spv::OpImageSampleDrefExplicitLod:
    case spv::OpImageSampleProjImplicitLod:
    case spv::OpImageSampleProjExplicitLod:
    case spv::OpImageSampleProjDrefImplicitLod:
    case spv::OpImageSampleProjDrefExplicitLod:
    case spv::OpImageFetch:
    case spv::OpImageGather:
    case spv::OpImageDrefGather:
    case spv::OpImageRead:
    case spv::OpImageWrite: return true;
    default: return false;
    }
}

// Index of the image-operands mask word in an image instruction's operands.
std::size_t MaskIndex(spv::Op op)
{
    switch (op) {
    case spv::OpImageWrite: return 3;  // image, coordinate, texel
    case spv::OpImageSampleDrefImplicitLod:
    case spv::OpImageSampleDrefExplicitLod:
    case spv::OpImageSampleProjDrefImplicitLod:
    case spv::OpImageSampleProjDrefExplicitLod:
    case spv::OpImageGather:
    case spv::OpImageDrefGather: return 5;  // type, result, image, coordinate, dref or component
    default: return 4;
    }
}

// Where the operand of `bit` is, or 0 when the instruction has none.
std::size_t ImageOperandIndex(const Inst& i, std::uint32_t bit)
{
    std::size_t m = MaskIndex(i.op);
    if (i.w.size() <= m)
        return 0;
    std::uint32_t mask = i.w[m];
    if (!(mask & bit))
        return 0;
    std::size_t at = m + 1;
    for (std::uint32_t b = 1; b < bit; b <<= 1)
        if (mask & b)
            at += b == spv::ImageOperandsGradMask ? 2 : 1;
    return at;
}

bool IsConstant(const Module& m, std::uint32_t id)
{
    const Inst* d = m.Global(id);
    return d && (d->op == spv::OpConstant || d->op == spv::OpConstantComposite || d->op == spv::OpConstantNull);
}

// Where an image instruction's offset that is not constant is: an Offset, or
// ConstOffsets whose value glslang built at run time. 0 if there is none.
std::size_t VariableOffsetOperand(const Module& m, const Inst& i)
{
    if (!IsImageInstruction(i.op))
        return 0;
    if (std::size_t at = ImageOperandIndex(i, spv::ImageOperandsOffsetMask))
        return at;
    std::size_t at = ImageOperandIndex(i, spv::ImageOperandsConstOffsetsMask);
    return at && !IsConstant(m, i.w[at]) ? at : 0;
}

void UnrollPasses(spvtools::Optimizer& o)
{
    o.RegisterPass(spvtools::CreateLoopUnrollPass(true))
        .RegisterPass(spvtools::CreateSSARewritePass())
        .RegisterPass(spvtools::CreateCCPPass())
        .RegisterPass(spvtools::CreateSimplificationPass())
        .RegisterPass(spvtools::CreateDeadBranchElimPass())
        .RegisterPass(spvtools::CreateBlockMergePass())
        .RegisterPass(spvtools::CreateSimplificationPass())
        .RegisterPass(spvtools::CreateAggressiveDCEPass(true))
        .RegisterPass(spvtools::CreateCFGCleanupPass());
}

// A value built from constants only, turned into a constant; 0 if it is not.
std::uint32_t FoldConstant(Module& m, std::uint32_t id, int depth = 0)
{
    if (IsConstant(m, id))
        return id;
    const Inst* built = m.Local(id);
    if (!built || built->op != spv::OpCompositeConstruct || depth > 4)
        return 0;
    std::uint32_t type = built->w[0];
    std::vector<std::uint32_t> parts(built->w.begin() + 2, built->w.end());
    for (std::uint32_t& part : parts)
        if (!(part = FoldConstant(m, part, depth + 1)))
            return 0;
    return m.FindOrAdd(spv::OpConstantComposite, parts, type);
}

}  // namespace

bool HasVariableOffset(const Module& m)
{
    for (const Inst& i : m.functions)
        if (VariableOffsetOperand(m, i))
            return true;
    return false;
}

int MarkOffsetLoops(Module& m)
{
    std::unordered_map<std::uint32_t, std::size_t> loopMergeOfHeader;  // label -> OpLoopMerge index
    std::unordered_map<std::uint32_t, std::uint32_t> blockOf;          // value -> label
    std::uint32_t label = 0;
    for (std::size_t k = 0; k < m.functions.size(); ++k) {
        const Inst& i = m.functions[k];
        if (i.op == spv::OpLabel)
            label = i.w[0];
        else if (i.op == spv::OpLoopMerge)
            loopMergeOfHeader[label] = k;
        else if (i.op == spv::OpPhi)
            blockOf[i.result()] = label;
    }
    std::set<std::size_t> marked;
    std::set<std::uint32_t> seen;
    std::vector<std::uint32_t> work;
    for (const Inst& i : m.functions)
        if (std::size_t at = VariableOffsetOperand(m, i))
            work.push_back(i.w[at]);
    while (!work.empty()) {
        std::uint32_t id = work.back();
        work.pop_back();
        if (!seen.insert(id).second)
            continue;
        const Inst* d = m.Local(id);
        if (!d || d->op == spv::OpLabel)
            continue;
        if (d->op == spv::OpPhi) {
            auto it = loopMergeOfHeader.find(blockOf[id]);
            if (it != loopMergeOfHeader.end())
                marked.insert(it->second);
        }
        for (std::size_t k = d->firstOperand(); k < d->w.size(); ++k)
            if (m.localDef.count(d->w[k]))
                work.push_back(d->w[k]);
    }
    int count = 0;
    for (std::size_t k : marked) {
        std::uint32_t& control = m.functions[k].w[2];
        if (control & spv::LoopControlDontUnrollMask)
            continue;
        control |= spv::LoopControlUnrollMask;
        ++count;
    }
    return count;
}

bool UnrollMarkedLoops(std::vector<std::uint32_t>& spirv, std::string* error)
{
    return RunOptimizer(spirv, UnrollPasses, error);
}

bool MoveOffsets(Module& m, std::string* error)
{
    std::vector<Inst> out;
    out.reserve(m.functions.size());
    for (Inst i : m.functions) {
        std::size_t at = VariableOffsetOperand(m, i);
        if (!at) {
            out.push_back(i);
            continue;
        }
        std::size_t maskAt = MaskIndex(i.op);
        bool four = !ImageOperandIndex(i, spv::ImageOperandsOffsetMask);
        std::uint32_t offset = i.w[at];
        if (std::uint32_t constant = FoldConstant(m, offset)) {
            i.w[at] = constant;
            if (!four)
                i.w[maskAt] =
                    (i.w[maskAt] & ~std::uint32_t(spv::ImageOperandsOffsetMask)) | spv::ImageOperandsConstOffsetMask;
            out.push_back(i);
            continue;
        }
        bool fetch = i.op == spv::OpImageFetch;
        bool sample = i.op == spv::OpImageSampleImplicitLod || i.op == spv::OpImageSampleExplicitLod ||
                      i.op == spv::OpImageSampleDrefImplicitLod || i.op == spv::OpImageSampleDrefExplicitLod ||
                      i.op == spv::OpImageGather || i.op == spv::OpImageDrefGather;
        if (!fetch && !sample) {
            *error = "a texel offset that is not constant in this kind of texture access";
            return false;
        }
        // The image behind the access and its type.
        std::uint32_t imageValue = i.w[2];
        const Inst* def = m.Local(imageValue);
        const Inst* vt = m.Global(def ? def->type() : 0);
        if (!vt) {
            *error = "texture access on an unknown image";
            return false;
        }
        bool combined = vt->op == spv::OpTypeSampledImage;
        std::uint32_t imageType = combined ? vt->w[1] : def->type();
        const Inst* it = m.Global(imageType);
        if (!it || it->op != spv::OpTypeImage) {
            *error = "texture access on an unknown image";
            return false;
        }
        std::uint32_t dim = it->w[2], arrayed = it->w[4];
        std::uint32_t dims = dim == spv::Dim1D ? 1 : dim == spv::Dim2D || dim == spv::DimRect ? 2 : 3;
        if (dim == spv::DimCube || dim == spv::DimBuffer) {
            *error = "a texel offset on a cube or buffer texture";
            return false;
        }
        std::uint32_t coord = i.w[3];
        const Inst* coordDef = m.Local(coord);
        std::uint32_t coordType = coordDef ? coordDef->type() : 0;
        if (!coordType)
            if (const Inst* g = m.Global(coord))
                coordType = g->type();
        std::uint32_t n = m.ComponentCount(coordType);
        std::uint32_t component = m.ComponentType(coordType);
        std::uint32_t intType = m.Int();
        std::uint32_t floatType = m.Float();
        auto emit = [&](spv::Op op, std::uint32_t type, std::vector<std::uint32_t> operands, std::uint32_t id = 0) {
            if (!id)
                id = m.NewId();
            std::vector<std::uint32_t> w{type, id};
            w.insert(w.end(), operands.begin(), operands.end());
            out.push_back(Make(op, std::move(w)));
            return id;
        };
        auto part = [&](std::uint32_t value, std::uint32_t count, std::uint32_t type, std::uint32_t k) {
            return count == 1 ? value : emit(spv::OpCompositeExtract, type, {value, k});
        };
        std::uint32_t sizes = 0;
        if (sample) {
            std::uint32_t image = combined ? emit(spv::OpImage, imageType, {imageValue}) : imageValue;
            std::uint32_t lod = m.IntConstant(0);
            if (std::size_t lodAt = ImageOperandIndex(i, spv::ImageOperandsLodMask))
                lod = emit(spv::OpConvertFToS, intType, {i.w[lodAt]});
            m.AddCapability(spv::CapabilityImageQuery);
            sizes = emit(spv::OpImageQuerySizeLod, m.Vector(intType, dims + arrayed), {image, lod});
        }
        auto moveBy = [&](std::uint32_t by) {
            std::uint32_t moved = coord;
            for (std::uint32_t k = 0; k < dims && k < n; ++k) {
                std::uint32_t c = part(coord, n, component, k);
                std::uint32_t o = part(by, dims, intType, k);
                std::uint32_t sum;
                if (fetch) {
                    sum = emit(spv::OpIAdd, component, {c, o});
                } else {
                    std::uint32_t size = part(sizes, dims + arrayed, intType, k);
                    std::uint32_t of = emit(spv::OpConvertSToF, floatType, {o});
                    std::uint32_t sf = emit(spv::OpConvertSToF, floatType, {size});
                    std::uint32_t step = emit(spv::OpFDiv, floatType, {of, sf});
                    sum = emit(spv::OpFAdd, component, {c, step});
                }
                moved = n == 1 ? sum : emit(spv::OpCompositeInsert, coordType, {sum, moved, k});
            }
            return moved;
        };
        // The access without its offset operand.
        Inst plain = i;
        plain.w.erase(plain.w.begin() + std::ptrdiff_t(at));
        plain.w[maskAt] &=
            four ? ~std::uint32_t(spv::ImageOperandsConstOffsetsMask) : ~std::uint32_t(spv::ImageOperandsOffsetMask);
        if (plain.w[maskAt] == 0 && plain.w.size() == maskAt + 1)
            plain.w.pop_back();
        if (!four) {
            plain.w[3] = moveBy(offset);
            out.push_back(plain);
            continue;
        }
        // Each of the four texels is the lower-left one of the footprint at its offset.
        std::uint32_t resultType = i.w[0], scalar = m.ComponentType(resultType);
        std::uint32_t offsetType = m.Vector(intType, 2);
        std::vector<std::uint32_t> texels;
        for (std::uint32_t k = 0; k < 4; ++k) {
            Inst one = plain;
            one.w[1] = m.NewId();
            one.w[3] = moveBy(emit(spv::OpCompositeExtract, offsetType, {offset, k}));
            out.push_back(one);
            texels.push_back(emit(spv::OpCompositeExtract, scalar, {one.w[1], 3}));
        }
        emit(spv::OpCompositeConstruct, resultType, texels, i.w[1]);
    }
    m.functions.swap(out);
    m.Index();
    return true;
}

}  // namespace gfx::passes
