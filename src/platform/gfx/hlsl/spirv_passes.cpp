// SPIR-V rewrites for HLSL on GL: legalization and loop unrolling through
// spirv-opt, texel offsets moved into coordinates, and int members of
// constant buffers stored as float bits.
#define SPV_ENABLE_UTILITY_CODE
#include "platform/gfx/hlsl/spirv_passes.h"

#include <glslang/SPIRV/spirv.hpp>
#include <spirv-tools/optimizer.hpp>

#include <algorithm>
#include <atomic>
#include <functional>
#include <map>
#include <set>
#include <unordered_map>

namespace gfx {

namespace {

std::atomic<bool> g_alwaysOptimise{false};

// ---- a module as a list of instructions ------------------------------------------

struct Inst {
    spv::Op op;
    std::vector<std::uint32_t> w;  // operands, without the opcode word
    bool hasType = false;
    bool hasResult = false;

    std::uint32_t type() const { return hasType ? w[0] : 0; }
    std::uint32_t result() const { return hasResult ? w[hasType ? 1 : 0] : 0; }
    std::size_t firstOperand() const { return std::size_t(hasType) + std::size_t(hasResult); }
};

Inst Make(spv::Op op, std::vector<std::uint32_t> w)
{
    Inst i{op, std::move(w)};
    spv::HasResultAndType(op, &i.hasResult, &i.hasType);
    return i;
}

// Where an instruction belongs in the module's layout.
enum Section { kPreamble, kDebug, kAnnotation, kGlobal, kFunction };

Section SectionOf(spv::Op op)
{
    switch (op) {
    case spv::OpCapability:
    case spv::OpExtension:
    case spv::OpExtInstImport:
    case spv::OpMemoryModel:
    case spv::OpEntryPoint:
    case spv::OpExecutionMode:
    case spv::OpExecutionModeId: return kPreamble;
    case spv::OpString:
    case spv::OpSource:
    case spv::OpSourceContinued:
    case spv::OpSourceExtension:
    case spv::OpName:
    case spv::OpMemberName:
    case spv::OpModuleProcessed: return kDebug;
    case spv::OpDecorate:
    case spv::OpMemberDecorate:
    case spv::OpDecorationGroup:
    case spv::OpGroupDecorate:
    case spv::OpGroupMemberDecorate:
    case spv::OpDecorateId:
    case spv::OpDecorateString:
    case spv::OpMemberDecorateString: return kAnnotation;
    case spv::OpFunction: return kFunction;
    default: return kGlobal;
    }
}

class Module {
public:
    bool Parse(const std::vector<std::uint32_t>& words, std::string* error)
    {
        if (words.size() < 5 || words[0] != spv::MagicNumber) {
            *error = "not a SPIR-V module";
            return false;
        }
        header.assign(words.begin(), words.begin() + 5);
        Section section = kPreamble;
        for (std::size_t p = 5; p < words.size();) {
            std::uint32_t count = words[p] >> 16;
            if (count == 0 || p + count > words.size()) {
                *error = "truncated SPIR-V instruction";
                return false;
            }
            Inst i =
                Make(spv::Op(words[p] & 0xffff), std::vector<std::uint32_t>(words.begin() + std::ptrdiff_t(p) + 1,
                                                                            words.begin() + std::ptrdiff_t(p + count)));
            if (i.op != spv::OpLine && i.op != spv::OpNoLine && section != kFunction)
                section = std::max(section, SectionOf(i.op));
            (section == kFunction ? functions : sections[section]).push_back(std::move(i));
            p += count;
        }
        Index();
        return true;
    }

    std::vector<std::uint32_t> Emit() const
    {
        std::vector<std::uint32_t> out = header;
        auto put = [&](const Inst& i) {
            out.push_back(std::uint32_t(i.w.size() + 1) << 16 | std::uint32_t(i.op));
            out.insert(out.end(), i.w.begin(), i.w.end());
        };
        for (const auto& s : sections)
            for (const Inst& i : s)
                put(i);
        for (const Inst& i : functions)
            put(i);
        return out;
    }

    // Definitions of global ids (types, constants, variables) and of function values.
    void Index()
    {
        globalDef.clear();
        localDef.clear();
        for (std::size_t k = 0; k < sections[kGlobal].size(); ++k)
            if (std::uint32_t r = sections[kGlobal][k].result())
                globalDef[r] = k;
        for (std::size_t k = 0; k < functions.size(); ++k)
            if (std::uint32_t r = functions[k].result())
                localDef[r] = k;
    }

    const Inst* Global(std::uint32_t id) const
    {
        auto it = globalDef.find(id);
        return it == globalDef.end() ? nullptr : &sections[kGlobal][it->second];
    }
    const Inst* Local(std::uint32_t id) const
    {
        auto it = localDef.find(id);
        return it == localDef.end() ? nullptr : &functions[it->second];
    }

    std::uint32_t NewId() { return header[3]++; }

    // A global declaration with these operands (result id aside), made if missing.
    std::uint32_t FindOrAdd(spv::Op op, const std::vector<std::uint32_t>& operands, std::uint32_t type = 0)
    {
        for (const Inst& i : sections[kGlobal]) {
            if (i.op != op || i.type() != type)
                continue;
            std::size_t first = i.firstOperand();
            if (i.w.size() - first == operands.size() &&
                std::equal(operands.begin(), operands.end(), i.w.begin() + std::ptrdiff_t(first)))
                return i.result();
        }
        return Add(op, operands, type);
    }
    std::uint32_t Add(spv::Op op, const std::vector<std::uint32_t>& operands, std::uint32_t type = 0)
    {
        std::uint32_t id = NewId();
        std::vector<std::uint32_t> w;
        if (type)
            w.push_back(type);
        w.push_back(id);
        w.insert(w.end(), operands.begin(), operands.end());
        sections[kGlobal].push_back(Make(op, std::move(w)));
        globalDef[id] = sections[kGlobal].size() - 1;
        return id;
    }

    std::uint32_t Float() { return FindOrAdd(spv::OpTypeFloat, {32}); }
    std::uint32_t Int() { return FindOrAdd(spv::OpTypeInt, {32, 1}); }
    std::uint32_t Vector(std::uint32_t component, std::uint32_t n)
    {
        return n == 1 ? component : FindOrAdd(spv::OpTypeVector, {component, n});
    }
    std::uint32_t IntConstant(std::int32_t v) { return FindOrAdd(spv::OpConstant, {std::uint32_t(v)}, Int()); }

    void AddCapability(spv::Capability cap)
    {
        for (const Inst& i : sections[kPreamble])
            if (i.op == spv::OpCapability && i.w[0] == std::uint32_t(cap))
                return;
        sections[kPreamble].insert(sections[kPreamble].begin(), Make(spv::OpCapability, {std::uint32_t(cap)}));
    }

    bool Decorated(std::uint32_t id, spv::Decoration d) const
    {
        for (const Inst& i : sections[kAnnotation])
            if (i.op == spv::OpDecorate && i.w[0] == id && i.w[1] == std::uint32_t(d))
                return true;
        return false;
    }

    std::uint32_t ComponentCount(std::uint32_t type) const
    {
        const Inst* t = Global(type);
        return t && t->op == spv::OpTypeVector ? t->w[2] : 1;
    }
    std::uint32_t ComponentType(std::uint32_t type) const
    {
        const Inst* t = Global(type);
        return t && t->op == spv::OpTypeVector ? t->w[1] : type;
    }

    std::vector<std::uint32_t> header;
    std::vector<Inst> sections[kFunction];
    std::vector<Inst> functions;
    std::unordered_map<std::uint32_t, std::size_t> globalDef, localDef;
};

// ---- what the module needs ---------------------------------------------------------

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

bool HasVariableOffset(const Module& m)
{
    for (const Inst& i : m.functions)
        if (VariableOffsetOperand(m, i))
            return true;
    return false;
}

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

// Textures and samplers anywhere but in plain globals.
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

// ---- spirv-opt ---------------------------------------------------------------------

bool RunOptimizer(std::vector<std::uint32_t>& spirv, const std::function<void(spvtools::Optimizer&)>& passes,
                  std::string* error)
{
    spvtools::Optimizer opt(SPV_ENV_UNIVERSAL_1_0);
    std::string log;
    opt.SetMessageConsumer([&](spv_message_level_t level, const char*, const spv_position_t&, const char* message) {
        if (level <= SPV_MSG_ERROR)
            log += std::string(message) + "\n";
    });
    passes(opt);
    spvtools::OptimizerOptions options;
    options.set_run_validator(false);
    std::vector<std::uint32_t> out;
    if (!opt.Run(spirv.data(), spirv.size(), &out, options)) {
        *error = "SPIR-V optimiser failed" + (log.empty() ? std::string() : ": " + log);
        return false;
    }
    spirv.swap(out);
    return true;
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

// ---- loops that make texel offsets --------------------------------------------------

// Marks Unroll on each loop whose counter (a phi in its header) flows into a
// variable texel offset; spirv-opt then unrolls those whose trip count it knows.
// A loop the author marked [loop] is left as it is. Returns the loops marked.
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

// ---- offsets into coordinates -------------------------------------------------------

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

// Constant offsets become ConstOffset; the rest are added to the coordinate:
// in texels for fetches, divided by the level's size for sampling and gathers.
// A gather with four offsets that are not constant becomes four gathers.
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

// ---- int members of constant buffers as float bits ---------------------------------

class FloatBlocks {
public:
    explicit FloatBlocks(Module& m) : m_(m) {}

    bool Run(std::string* error)
    {
        std::vector<std::pair<std::uint32_t, std::uint32_t>> candidates;  // variable, block type
        for (const Inst& i : m_.sections[kGlobal]) {
            if (i.op != spv::OpVariable || i.w[2] != spv::StorageClassUniform)
                continue;
            const Inst* p = m_.Global(i.w[0]);
            if (p && p->op == spv::OpTypePointer && m_.Decorated(p->w[2], spv::DecorationBlock))
                candidates.emplace_back(i.result(), p->w[2]);
        }
        std::vector<std::uint32_t> blocks;
        for (const auto& [var, type] : candidates) {
            pointers_[var] = type;
            if (Map(type) != type)
                blocks.push_back(var);
        }
        if (candidates.empty())
            return true;
        // Variables move behind the pointer types made for them.
        for (std::uint32_t var : blocks) {
            auto& globals = m_.sections[kGlobal];
            std::size_t k = m_.globalDef[var];
            Inst v = globals[k];
            const Inst* p = m_.Global(v.w[0]);
            std::uint32_t pointee = p->w[2];
            v.w[0] = Pointer(Map(pointee));
            globals.erase(globals.begin() + std::ptrdiff_t(k));
            globals.push_back(std::move(v));
            m_.Index();
            pointers_[var] = pointee;
        }
        return RewriteUses(error);
    }

private:
    // The type with 32-bit int scalars and vectors turned into floats.
    std::uint32_t Map(std::uint32_t type)
    {
        auto found = mapped_.find(type);
        if (found != mapped_.end())
            return found->second;
        const Inst* t = m_.Global(type);
        std::uint32_t result = type;
        if (t) {
            Inst copy = *t;
            switch (copy.op) {
            case spv::OpTypeInt:
                if (copy.w[1] == 32)
                    result = m_.Float();
                break;
            case spv::OpTypeVector: {
                std::uint32_t c = Map(copy.w[1]);
                if (c != copy.w[1])
                    result = m_.Vector(c, copy.w[2]);
                break;
            }
            case spv::OpTypeMatrix: {
                std::uint32_t c = Map(copy.w[1]);
                if (c != copy.w[1])
                    result = m_.FindOrAdd(spv::OpTypeMatrix, {c, copy.w[2]});
                break;
            }
            case spv::OpTypeArray: {
                std::uint32_t e = Map(copy.w[1]);
                if (e != copy.w[1]) {
                    result = m_.Add(spv::OpTypeArray, {e, copy.w[2]});
                    CopyDecorations(type, result);
                }
                break;
            }
            case spv::OpTypeStruct: {
                std::vector<std::uint32_t> members(copy.w.begin() + 1, copy.w.end());
                bool any = false;
                for (std::uint32_t& member : members) {
                    std::uint32_t mm = Map(member);
                    any |= mm != member;
                    member = mm;
                }
                if (any) {
                    result = m_.Add(spv::OpTypeStruct, members);
                    CopyDecorations(type, result);
                }
                break;
            }
            default: break;
            }
        }
        mapped_[type] = result;
        return result;
    }

    void CopyDecorations(std::uint32_t from, std::uint32_t to)
    {
        std::vector<Inst> added;
        for (const Inst& i : m_.sections[kAnnotation])
            if ((i.op == spv::OpDecorate || i.op == spv::OpMemberDecorate) && i.w[0] == from) {
                Inst c = i;
                c.w[0] = to;
                added.push_back(std::move(c));
            }
        for (Inst& i : added)
            m_.sections[kAnnotation].push_back(std::move(i));
        std::vector<Inst> names;
        for (const Inst& i : m_.sections[kDebug])
            if ((i.op == spv::OpName || i.op == spv::OpMemberName) && i.w[0] == from) {
                Inst c = i;
                c.w[0] = to;
                names.push_back(std::move(c));
            }
        for (Inst& i : names)
            m_.sections[kDebug].push_back(std::move(i));
    }

    std::uint32_t Pointer(std::uint32_t pointee)
    {
        return m_.FindOrAdd(spv::OpTypePointer, {spv::StorageClassUniform, pointee});
    }

    std::uint32_t Emit(std::vector<Inst>& out, spv::Op op, std::uint32_t type, std::vector<std::uint32_t> operands,
                       std::uint32_t id = 0)
    {
        if (!id)
            id = m_.NewId();
        std::vector<std::uint32_t> w{type, id};
        w.insert(w.end(), operands.begin(), operands.end());
        out.push_back(Make(op, std::move(w)));
        return id;
    }

    // A pointer into a block. Chains are joined, and one that ends on an array
    // or a struct is only remembered: a flattened block cannot hand it out.
    std::uint32_t Chain(std::vector<Inst>& out, std::uint32_t base, std::vector<std::uint32_t> indices,
                        std::uint32_t pointee, std::uint32_t result)
    {
        if (!result)
            result = m_.NewId();
        auto prefix = chains_.find(base);
        if (prefix != chains_.end()) {
            indices.insert(indices.begin(), prefix->second.begin() + 1, prefix->second.end());
            base = prefix->second[0];
        }
        pointers_[result] = pointee;
        spv::Op op = m_.Global(pointee)->op;
        bool intMatrix = op == spv::OpTypeMatrix && Map(pointee) != pointee;
        if (op == spv::OpTypeArray || op == spv::OpTypeStruct || intMatrix || indices.empty()) {
            std::vector<std::uint32_t> chain{base};
            chain.insert(chain.end(), indices.begin(), indices.end());
            chains_[result] = std::move(chain);
            return result;
        }
        std::vector<std::uint32_t> w{Pointer(Map(pointee)), result, base};
        w.insert(w.end(), indices.begin(), indices.end());
        out.push_back(Make(spv::OpAccessChain, std::move(w)));
        return result;
    }

    // Loads a value of `type` through a pointer to Map(type): aggregates
    // element by element, since a flattened block cannot hand out a whole one.
    std::uint32_t Load(std::vector<Inst>& out, std::uint32_t pointer, std::uint32_t type, std::uint32_t result)
    {
        const Inst t = *m_.Global(type);
        bool intMatrix = t.op == spv::OpTypeMatrix && Map(type) != type;
        if (t.op == spv::OpTypeArray || t.op == spv::OpTypeStruct || intMatrix) {
            std::vector<std::uint32_t> elements;
            if (intMatrix) {
                elements.assign(t.w[2], t.w[1]);
            } else if (t.op == spv::OpTypeArray) {
                const Inst* length = m_.Global(t.w[2]);
                std::uint32_t n = length && length->op == spv::OpConstant ? length->w[2] : 0;
                elements.assign(n, t.w[1]);
            } else {
                elements.assign(t.w.begin() + 1, t.w.end());
            }
            std::vector<std::uint32_t> parts;
            for (std::uint32_t k = 0; k < elements.size(); ++k) {
                std::uint32_t element = Chain(out, pointer, {m_.IntConstant(std::int32_t(k))}, elements[k], 0);
                parts.push_back(Load(out, element, elements[k], 0));
            }
            return Emit(out, spv::OpCompositeConstruct, type, parts, result);
        }
        pointer = Materialize(out, pointer, type);
        if (Map(type) == type)
            return Emit(out, spv::OpLoad, type, {pointer}, result);
        // The float bits, reinterpreted: no conversion may touch them.
        std::uint32_t bits = Emit(out, spv::OpLoad, Map(type), {pointer});
        return Emit(out, spv::OpBitcast, type, {bits}, result);
    }

    // A remembered chain to a scalar, vector or matrix (a copy of a pointer) made real.
    std::uint32_t Materialize(std::vector<Inst>& out, std::uint32_t pointer, std::uint32_t pointee)
    {
        auto chain = chains_.find(pointer);
        if (chain == chains_.end())
            return pointer;
        if (chain->second.size() == 1)
            return chain->second[0];
        std::vector<std::uint32_t> w{Pointer(Map(pointee)), m_.NewId()};
        w.insert(w.end(), chain->second.begin(), chain->second.end());
        std::uint32_t id = w[1];
        out.push_back(Make(spv::OpAccessChain, std::move(w)));
        return id;
    }

    bool RewriteUses(std::string* error)
    {
        std::vector<Inst> out;
        out.reserve(m_.functions.size());
        for (Inst& i : m_.functions) {
            switch (i.op) {
            case spv::OpAccessChain:
            case spv::OpInBoundsAccessChain:
            case spv::OpCopyObject:
                if (pointers_.count(i.w[2])) {
                    std::uint32_t pointee = m_.Global(i.w[0])->w[2];
                    Chain(out, i.w[2], std::vector<std::uint32_t>(i.w.begin() + 3, i.w.end()), pointee, i.w[1]);
                    continue;
                }
                out.push_back(std::move(i));
                continue;
            case spv::OpLoad:
                if (pointers_.count(i.w[2])) {
                    Load(out, i.w[2], i.w[0], i.w[1]);
                    continue;
                }
                out.push_back(std::move(i));
                continue;
            case spv::OpStore:
            case spv::OpCopyMemory:
            case spv::OpCopyMemorySized:
            case spv::OpFunctionCall:
            case spv::OpPtrAccessChain:
            case spv::OpPhi:
            case spv::OpSelect:
                for (std::size_t k = i.firstOperand(); k < i.w.size(); ++k)
                    if (pointers_.count(i.w[k])) {
                        *error = "a constant buffer with int members used in a way that cannot be rewritten";
                        return false;
                    }
                break;
            default: break;
            }
            out.push_back(std::move(i));
        }
        m_.functions.swap(out);
        m_.Index();
        // Interface lists and decorations name the variables by id: unchanged.
        return true;
    }

    Module& m_;
    std::map<std::uint32_t, std::uint32_t> mapped_;                         // type -> its float form
    std::unordered_map<std::uint32_t, std::uint32_t> pointers_;             // pointer id -> original pointee
    std::unordered_map<std::uint32_t, std::vector<std::uint32_t>> chains_;  // pointer -> root, indices
};

// After legalization every texture and sampler must come straight from its
// global: one chosen at run time has no GL form.
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

}  // namespace

void SetAlwaysOptimiseShaders(bool always)
{
    g_alwaysOptimise = always;
}

bool AlwaysOptimiseShaders()
{
    return g_alwaysOptimise;
}

bool RunHlslPasses(std::vector<std::uint32_t>& spirv, const PassOptions& options, std::string* error)
{
    std::string ignored;
    if (!error)
        error = &ignored;
    std::vector<std::uint32_t> words = spirv;
    Module m;
    if (!m.Parse(words, error))
        return false;
    bool offsets = options.constantOffsets && HasVariableOffset(m);
    bool legalize = options.legalize && NeedsLegalization(m);
    if (offsets || legalize || options.alwaysOptimise || g_alwaysOptimise) {
        if (!RunOptimizer(words, LegalizationPasses, error))
            return false;
        m = Module();
        if (!m.Parse(words, error))
            return false;
        if (options.constantOffsets && HasVariableOffset(m) && MarkOffsetLoops(m) > 0) {
            words = m.Emit();
            if (!RunOptimizer(words, UnrollPasses, error))
                return false;
            m = Module();
            if (!m.Parse(words, error))
                return false;
        }
        if (!OpaqueValuesResolved(m, error))
            return false;
        KeepInterface(m);
    }
    if (options.constantOffsets && HasVariableOffset(m) && !MoveOffsets(m, error))
        return false;
    if (options.floatBlocks && !FloatBlocks(m).Run(error))
        return false;
    spirv = m.Emit();
    return true;
}

}  // namespace gfx
