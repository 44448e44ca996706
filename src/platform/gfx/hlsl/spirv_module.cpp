// Reading and writing a SPIR-V module's instructions, and spirv-opt over its words.
#define SPV_ENABLE_UTILITY_CODE
#include "platform/gfx/hlsl/spirv_module.h"

#include <spirv-tools/optimizer.hpp>

#include <algorithm>

namespace gfx::passes {

namespace {

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

}  // namespace

Inst Make(spv::Op op, std::vector<std::uint32_t> w)
{
    Inst i{op, std::move(w)};
    spv::HasResultAndType(op, &i.hasResult, &i.hasType);
    return i;
}

bool Module::Parse(const std::vector<std::uint32_t>& words, std::string* error)
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

std::vector<std::uint32_t> Module::Emit() const
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

void Module::Index()
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

std::uint32_t Module::FindOrAdd(spv::Op op, const std::vector<std::uint32_t>& operands, std::uint32_t type)
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

std::uint32_t Module::Add(spv::Op op, const std::vector<std::uint32_t>& operands, std::uint32_t type)
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

void Module::AddCapability(spv::Capability cap)
{
    for (const Inst& i : sections[kPreamble])
        if (i.op == spv::OpCapability && i.w[0] == std::uint32_t(cap))
            return;
    sections[kPreamble].insert(sections[kPreamble].begin(), Make(spv::OpCapability, {std::uint32_t(cap)}));
}

bool Module::Decorated(std::uint32_t id, spv::Decoration d) const
{
    for (const Inst& i : sections[kAnnotation])
        if (i.op == spv::OpDecorate && i.w[0] == id && i.w[1] == std::uint32_t(d))
            return true;
    return false;
}

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

}  // namespace gfx::passes
