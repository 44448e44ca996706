#pragma once
// Animated shader parameters (one curve per component) and the block that
// packs them into the float slots of the generated `vars` constant buffer.
#include <cstdint>
#include <string>
#include <vector>

#include "intro/curve.h"

namespace IntroModel {

class ShaderParameter {
public:
    std::string name;
    std::vector<Curve> curves;     // one per component, 1 to 4
    std::uint32_t slotOffset = 0;  // first float slot in the block's buffer

    ShaderParameter(const std::string& name, int componentCount);

    void Evaluate(float t, float* out) const;
    // Throws the C string "shader parameter can't have more than 4 components"
    // for a component count outside 1..4.
    std::string HlslDeclaration() const;
    std::uint32_t ComponentCount() const;
    Curve& GetCurve(std::uint32_t component);
    const Curve& GetCurve(std::uint32_t component) const;
    const std::string& GetName() const;
    bool SameLayout(const ShaderParameter& other) const;
    void UpdateFrom(const ShaderParameter& other);
};

class ShaderParameterBlock {
public:
    std::vector<bool> allocationMap;  // true = free slot; length a multiple of 4
    std::vector<ShaderParameter> parameters;

    ShaderParameterBlock() = default;

    std::uint32_t Allocate(int componentCount);
    void AddParameter(const ShaderParameter& parameter);
    void AddParameter(ShaderParameter&& parameter);
    // out must hold SizeInFloats() floats; slots of no parameter are left alone.
    void Evaluate(float t, float* out) const;
    std::uint32_t SizeInFloats() const;
    std::uint32_t SizeInBytes() const;
    bool SameLayout(const ShaderParameterBlock& other) const;
    void UpdateFrom(const ShaderParameterBlock& other);
    std::string GenerateHlslCBuffer() const;
    // The filler that GenerateHlslCBuffer declares for a free slot: "unused5".
    static std::string FillerName(std::size_t slot);
    // Names that the generated declaration would hold twice, which the
    // compiler refuses without naming them: parameters declared more than
    // once, and parameters named like the filler of a free slot. Each name
    // once, in declaration order.
    std::vector<std::string> DeclaredTwice() const;
    std::vector<std::string> NamedLikeFillers() const;
};

}  // namespace IntroModel
