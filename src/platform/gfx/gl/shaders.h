#pragma once
// Inside the gfx layer: linked shader programs, the shader objects and input layouts.
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/gfx/gl/core.h"
#include "platform/gfx/hlsl/shader_info.h"

namespace gfx {

// One linked stage program with what binding by register needs.
class Program {
public:
    Program(Core& core, ShaderInfo info, GLuint program);
    ~Program();
    struct Constants {
        std::uint32_t slot;
        GLint location;
        GLsizei vectors;                  // active vec4 elements
        std::uint64_t uploaded = ~0ull;   // version of the bytes the program holds
        std::vector<std::uint8_t> bytes;  // and the bytes themselves
    };
    // A GL program of this shader: the shader itself (mask 0) or, for a pixel
    // shader, one that sRGB-encodes the outputs of the targets in the mask itself.
    struct Variant {
        std::uint32_t srgbMask;
        GLuint gl;
        std::vector<Constants> constants;
    };
    Variant& Get(std::uint32_t srgbMask);
    ShaderInfo info;
    std::vector<Variant> variants;
    Core& core;

private:
    void Resolve(Variant& v);
};

template <class Interface>
class ShaderImpl final : public Child<Interface> {
public:
    ShaderImpl(std::shared_ptr<Core> core, std::unique_ptr<Program> p)
        : Child<Interface>(std::move(core)), program(std::move(p))
    {
    }
    std::unique_ptr<Program> program;
};
using VertexShaderImpl = ShaderImpl<ID3D11VertexShader>;
using PixelShaderImpl = ShaderImpl<ID3D11PixelShader>;
using ComputeShaderImpl = ShaderImpl<ID3D11ComputeShader>;

class InputLayoutImpl final : public Child<ID3D11InputLayout> {
public:
    using Child::Child;
    ~InputLayoutImpl() override;
    GLuint vao = 0;
    std::uint32_t slotsUsed = 0;  // bit per vertex-buffer slot
    struct Bound {
        std::uint64_t buffer = 0;  // BufferImpl::id, 0 for none
        GLintptr offset = 0;
        GLsizei stride = 0;
        bool known = false;
    };
    std::array<Bound, D3D11_IA_VERTEX_INPUT_RESOURCE_SLOT_COUNT> bound{};
    std::uint64_t elementBuffer = ~0ull;
};

}  // namespace gfx
