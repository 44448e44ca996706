#include "intro/shader_parameter.h"
#include "platform/system/console.h"

#include <unordered_set>

namespace IntroModel {

ShaderParameter::ShaderParameter(const std::string& name_, int componentCount) : name(name_)
{
    if (componentCount > 0)
        curves.resize(static_cast<std::size_t>(componentCount));
}

void ShaderParameter::Evaluate(float t, float* out) const
{
    for (std::size_t c = 0; c < curves.size(); ++c)
        out[c] = curves[c].Evaluate(t);
}

std::string ShaderParameter::HlslDeclaration() const
{
    switch (curves.size()) {
    case 1: return "float " + name + ";";
    case 2: return "float2 " + name + ";";
    case 3: return "float3 " + name + ";";
    case 4: return "float4 " + name + ";";
    default: throw "shader parameter can't have more than 4 components";
    }
}

std::uint32_t ShaderParameter::ComponentCount() const
{
    return static_cast<std::uint32_t>(curves.size());
}

Curve& ShaderParameter::GetCurve(std::uint32_t component)
{
    return curves[component];
}

const Curve& ShaderParameter::GetCurve(std::uint32_t component) const
{
    return curves[component];
}

const std::string& ShaderParameter::GetName() const
{
    return name;
}

bool ShaderParameter::SameLayout(const ShaderParameter& other) const
{
    return ComponentCount() == other.ComponentCount() && name == other.name;
}

void ShaderParameter::UpdateFrom(const ShaderParameter& other)
{
    name = other.name;
    slotOffset = other.slotOffset;
    curves = other.curves;
}

std::uint32_t ShaderParameterBlock::Allocate(int n)
{
    if (n < 0)
        n = 0;
    const std::size_t count = static_cast<std::size_t>(n);
    const std::size_t m = allocationMap.size();
    const std::size_t step = n > 1 ? 4 : 1;
    // A vector starts on a register boundary; a single float takes any free slot.
    for (std::size_t o = 0; o < m; o += step) {
        bool free = true;
        for (std::size_t s = o; s < o + count && s < m; ++s) {
            if (!allocationMap[s]) {
                free = false;
                break;
            }
        }
        if (free && o + count <= m) {
            for (std::size_t s = o; s < o + count; ++s)
                allocationMap[s] = false;
            return static_cast<std::uint32_t>(o);
        }
    }
    // Nothing fits: open new registers at the end.
    allocationMap.insert(allocationMap.end(), count, false);
    while (allocationMap.size() % 4 != 0)
        allocationMap.push_back(true);
    return static_cast<std::uint32_t>(m);
}

void ShaderParameterBlock::AddParameter(const ShaderParameter& parameter)
{
    parameters.push_back(parameter);
    parameters.back().slotOffset = Allocate(static_cast<int>(parameter.ComponentCount()));
}

void ShaderParameterBlock::AddParameter(ShaderParameter&& parameter)
{
    const int count = static_cast<int>(parameter.ComponentCount());
    parameters.push_back(std::move(parameter));
    parameters.back().slotOffset = Allocate(count);
}

void ShaderParameterBlock::Evaluate(float t, float* out) const
{
    for (const ShaderParameter& p : parameters)
        p.Evaluate(t, out + p.slotOffset);
}

std::uint32_t ShaderParameterBlock::SizeInFloats() const
{
    return static_cast<std::uint32_t>(allocationMap.size());
}

std::uint32_t ShaderParameterBlock::SizeInBytes() const
{
    return 4 * SizeInFloats();
}

bool ShaderParameterBlock::SameLayout(const ShaderParameterBlock& other) const
{
    if (parameters.size() != other.parameters.size())
        return false;
    for (std::size_t i = 0; i < parameters.size(); ++i) {
        if (!parameters[i].SameLayout(other.parameters[i]) ||
            parameters[i].slotOffset != other.parameters[i].slotOffset)
            return false;
    }
    return true;
}

void ShaderParameterBlock::UpdateFrom(const ShaderParameterBlock& other)
{
    allocationMap = other.allocationMap;
    parameters = other.parameters;
}

std::string ShaderParameterBlock::GenerateHlslCBuffer() const
{
    std::string text = "cbuffer vars : register(b3) { ";
    std::size_t s = 0;
    while (s < allocationMap.size()) {
        if (allocationMap[s]) {
            text += "float " + FillerName(s) + ";";
            s += 1;
            continue;
        }
        const ShaderParameter* starting = nullptr;
        for (const ShaderParameter& p : parameters) {
            if (p.slotOffset == s) {
                starting = &p;
                break;
            }
        }
        if (starting) {
            text += starting->HlslDeclaration();
            s += starting->ComponentCount();
        } else {
            ConsoleWrite("GenerateHlslCBuffer warning: Allocation map inconsistencty at offset " + std::to_string(s) +
                         "\n");
            s += 1;
        }
    }
    text += " }\n";
    return text;
}

std::string ShaderParameterBlock::FillerName(std::size_t slot)
{
    return "unused" + std::to_string(slot);
}

std::vector<std::string> ShaderParameterBlock::DeclaredTwice() const
{
    std::vector<std::string> names;
    std::unordered_set<std::string> seen;
    std::unordered_set<std::string> said;
    for (const ShaderParameter& p : parameters)
        if (!seen.insert(p.name).second && said.insert(p.name).second)
            names.push_back(p.name);
    return names;
}

std::vector<std::string> ShaderParameterBlock::NamedLikeFillers() const
{
    // The fillers GenerateHlslCBuffer declares: one per free slot.
    std::unordered_set<std::string> fillers;
    for (std::size_t s = 0; s < allocationMap.size(); ++s)
        if (allocationMap[s])
            fillers.insert(FillerName(s));
    std::vector<std::string> names;
    std::unordered_set<std::string> said;
    for (const ShaderParameter& p : parameters)
        if (fillers.count(p.name) && said.insert(p.name).second)
            names.push_back(p.name);
    return names;
}

}  // namespace IntroModel
