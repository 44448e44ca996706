#pragma once
// Inside the gfx layer: what a compiled shader's "bytecode" carries. The blob
// is a serialised ShaderInfo: the GLSL text the device compiles, plus what
// binding by register needs and what reflection reports.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace gfx {

enum class Stage : std::uint32_t { Pixel = 0, Vertex = 1, Compute = 5 };

struct SignatureParam {
    std::string semantic;  // upper case, without the trailing index
    std::uint32_t index = 0;
    std::uint32_t location = 0;       // GL location (vertex inputs, varyings) or render target
    std::uint32_t systemValue = 0;    // D3D_NAME
    std::uint32_t componentType = 0;  // D3D_REGISTER_COMPONENT_TYPE
    std::uint32_t mask = 0;
};

// A flattened HLSL cbuffer: uniform vec4 <uniform>[size / 16].
struct CBufferInfo {
    std::string name;
    std::string uniform;
    std::uint32_t slot = 0;  // b#
    std::uint32_t size = 0;  // bytes, multiple of 16
};

// One GL sampler uniform: texture t# read through sampler s# (-1: none, a fetch).
struct SamplerPair {
    std::uint32_t unit = 0;
    std::int32_t textureSlot = 0;
    std::int32_t samplerSlot = -1;
    std::uint32_t target = 0;  // GL texture target the shader expects
};

// One GL image uniform: u#.
struct ImageInfo {
    std::uint32_t slot = 0;
    std::uint32_t target = 0;
    std::uint32_t format = 0;  // GL internal format of the declaration, 0 for none
};

struct ResourceBinding {
    std::string name;
    std::uint32_t type = 0;  // D3D_SHADER_INPUT_TYPE
    std::uint32_t bindPoint = 0;
};

struct ShaderInfo {
    Stage stage = Stage::Pixel;
    std::uint32_t version = 0;  // D3D version word: type << 16 | major << 4 | minor
    std::string glsl;
    std::vector<SignatureParam> inputs;
    std::vector<SignatureParam> outputs;
    std::vector<CBufferInfo> cbuffers;
    std::vector<SamplerPair> samplers;
    std::vector<ImageInfo> images;
    std::vector<ResourceBinding> resources;
    std::uint32_t groupSize[3] = {0, 0, 0};
    // The SPIR-V the GLSL was made from, for variants made later (sRGB encode).
    std::vector<std::uint32_t> spirv;
};

std::vector<std::uint8_t> SerializeShaderInfo(const ShaderInfo& info);
// False when the bytes are not a serialised ShaderInfo.
bool DeserializeShaderInfo(const void* data, std::size_t size, ShaderInfo& info);

// First texture unit of each stage's sampler uniforms (GL units are shared by
// the stages of a pipeline).
constexpr std::uint32_t kPixelUnitBase = 0;
constexpr std::uint32_t kVertexUnitBase = 32;
constexpr std::uint32_t kComputeUnitBase = 0;
constexpr std::uint32_t kMaxSamplersPerStage = 16;

}  // namespace gfx
