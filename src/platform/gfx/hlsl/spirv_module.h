#pragma once
// A SPIR-V module as lists of instructions, for the rewrites between glslang
// and SPIRV-Cross; and spirv-opt over a module's words.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include <glslang/SPIRV/spirv.hpp>

namespace spvtools {
class Optimizer;
}

namespace gfx::passes {

struct Inst {
    spv::Op op;
    std::vector<std::uint32_t> w;  // operands, without the opcode word
    bool hasType = false;
    bool hasResult = false;

    std::uint32_t type() const { return hasType ? w[0] : 0; }
    std::uint32_t result() const { return hasResult ? w[hasType ? 1 : 0] : 0; }
    std::size_t firstOperand() const { return std::size_t(hasType) + std::size_t(hasResult); }
};

Inst Make(spv::Op op, std::vector<std::uint32_t> w);

// Where an instruction belongs in the module's layout.
enum Section { kPreamble, kDebug, kAnnotation, kGlobal, kFunction };

class Module {
public:
    bool Parse(const std::vector<std::uint32_t>& words, std::string* error);
    std::vector<std::uint32_t> Emit() const;

    // Definitions of global ids (types, constants, variables) and of function values.
    void Index();

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
    std::uint32_t FindOrAdd(spv::Op op, const std::vector<std::uint32_t>& operands, std::uint32_t type = 0);
    std::uint32_t Add(spv::Op op, const std::vector<std::uint32_t>& operands, std::uint32_t type = 0);

    std::uint32_t Float() { return FindOrAdd(spv::OpTypeFloat, {32}); }
    std::uint32_t Int() { return FindOrAdd(spv::OpTypeInt, {32, 1}); }
    std::uint32_t Vector(std::uint32_t component, std::uint32_t n)
    {
        return n == 1 ? component : FindOrAdd(spv::OpTypeVector, {component, n});
    }
    std::uint32_t IntConstant(std::int32_t v) { return FindOrAdd(spv::OpConstant, {std::uint32_t(v)}, Int()); }

    void AddCapability(spv::Capability cap);
    bool Decorated(std::uint32_t id, spv::Decoration d) const;

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

// Runs the passes that `passes` registers over the words; false, with the
// optimiser's messages in *error, when it fails.
bool RunOptimizer(std::vector<std::uint32_t>& spirv, const std::function<void(spvtools::Optimizer&)>& passes,
                  std::string* error);

}  // namespace gfx::passes
