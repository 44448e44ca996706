#pragma once
// Inside the gfx layer: the GL objects behind the device's children (resources,
// views, states, shaders, input layouts).
#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/gfx/gl/core.h"
#include "platform/gfx/gl/formats.h"
#include "platform/gfx/hlsl/shader_info.h"

namespace gfx {

// ---- resources ----

class BufferImpl final : public Child<ID3D11Buffer> {
public:
    BufferImpl(std::shared_ptr<Core> core, const D3D11_BUFFER_DESC& desc, const D3D11_SUBRESOURCE_DATA* init);
    ~BufferImpl() override;
    void GetType(D3D11_RESOURCE_DIMENSION* d) override { *d = D3D11_RESOURCE_DIMENSION_BUFFER; }
    void GetDesc(D3D11_BUFFER_DESC* d) override { *d = desc; }
    bool Matches(REFIID riid) override { return riid == IID_ID3D11Buffer || riid == IID_ID3D11Resource; }
    // Constant buffers: the bytes changed; takes a new version when they differ.
    void CommitConstants(const std::uint8_t* bytes);

    D3D11_BUFFER_DESC desc;
    GLuint gl = 0;                  // none for constant and staging buffers
    std::vector<std::uint8_t> cpu;  // contents of constant and staging buffers; shadow of dynamic ones
    std::vector<std::uint8_t> mapArea;
    std::uint64_t version = 0;  // constant buffers: changes with the bytes
    std::uint64_t id = 0;       // never reused, unlike GL names
    bool mapped = false;
};

class TextureImpl final : public Child<ID3D11Texture2D> {
public:
    TextureImpl(std::shared_ptr<Core> core, const D3D11_TEXTURE2D_DESC& desc, const D3D11_SUBRESOURCE_DATA* init,
                HRESULT& hr);
    ~TextureImpl() override;
    void GetType(D3D11_RESOURCE_DIMENSION* d) override { *d = D3D11_RESOURCE_DIMENSION_TEXTURE2D; }
    void GetDesc(D3D11_TEXTURE2D_DESC* d) override { *d = desc; }
    bool Matches(REFIID riid) override { return riid == IID_ID3D11Texture2D || riid == IID_ID3D11Resource; }
    UINT LevelWidth(UINT level) const { return std::max(1u, desc.Width >> level); }
    UINT LevelHeight(UINT level) const { return std::max(1u, desc.Height >> level); }
    UINT SubresourceCount() const { return desc.MipLevels * desc.ArraySize; }
    void Upload(UINT subresource, const D3D11_BOX* box, const void* data, UINT rowPitch);
    // Staging: the texel rows of every subresource, tightly packed.
    void ReadBack(TextureImpl& source);

    D3D11_TEXTURE2D_DESC desc;
    const FormatInfo* fmt = nullptr;
    GLenum target = GL_TEXTURE_2D;
    GLenum storage = 0;
    GLuint gl = 0;                               // none for staging textures
    std::vector<std::vector<std::uint8_t>> cpu;  // staging and dynamic: one per subresource
    std::uint64_t id = 0;
};

// Either resource behind an ID3D11Resource of this layer.
BufferImpl* AsBuffer(ID3D11Resource* r);
TextureImpl* AsTexture(ID3D11Resource* r);

// What every view holds: a reference to its resource and the desc it was made with.
template <class Interface, class Desc>
class View : public Child<Interface> {
public:
    using Child<Interface>::Child;
    ~View() override { resource->Release(); }
    void GetResource(ID3D11Resource** out) override
    {
        resource->AddRef();
        *out = resource;
    }
    void GetDesc(Desc* d) override { *d = desc; }

    ID3D11Resource* resource = nullptr;  // holds a reference
    Desc desc{};
};

class SrvImpl final : public View<ID3D11ShaderResourceView, D3D11_SHADER_RESOURCE_VIEW_DESC> {
public:
    using View::View;
    ~SrvImpl() override;

    GLuint texture = 0;
    GLenum target = 0;
    bool ownsTexture = false;
};

// What render-target and depth views share: a level (and layers) of a texture to attach.
template <class Interface, class Desc>
class AttachView : public View<Interface, Desc> {
public:
    using View<Interface, Desc>::View;
    ~AttachView() override
    {
        Core& core = *this->core_;
        core.MakeCurrent();
        core.ForgetView(id);
        if (clearFbo)
            glDeleteFramebuffers(1, &clearFbo);
        if (linearTexture)
            glDeleteTextures(1, &linearTexture);
        if (ownsTexture) {
            core.cache.ForgetTexture(attachTexture);
            glDeleteTextures(1, &attachTexture);
        }
    }

    TextureImpl* texture = nullptr;
    GLuint attachTexture = 0;  // the texture or a view of it
    GLenum attachTarget = 0;
    GLuint attachLevels = 1, attachLayers = 1;
    bool ownsTexture = false;
    GLint level = 0;
    GLint layer = -1;  // -1: every layer of attachTexture
    GLuint clearFbo = 0;
    std::uint64_t id = 0;
    // sRGB colour formats: the same texels viewed as UNORM, for draws that encode in the shader.
    GLuint linearTexture = 0;

protected:
    // tex (attachTexture or a view of the same storage) at the view's level and layers.
    void AttachAt(GLuint fbo, GLenum attachment, GLuint tex) const
    {
        if (layer >= 0)
            glNamedFramebufferTextureLayer(fbo, attachment, tex, level, layer);
        else
            glNamedFramebufferTexture(fbo, attachment, tex, level);
    }
    // A framebuffer of this view alone, for clears.
    GLuint ClearFboAt(GLenum attachment, GLenum drawBuffer)
    {
        if (!clearFbo) {
            glCreateFramebuffers(1, &clearFbo);
            AttachAt(clearFbo, attachment, attachTexture);
            glNamedFramebufferDrawBuffer(clearFbo, drawBuffer);
        }
        return clearFbo;
    }
};

class RtvImpl final : public AttachView<ID3D11RenderTargetView, D3D11_RENDER_TARGET_VIEW_DESC> {
public:
    using AttachView::AttachView;
    void Attach(GLuint fbo, GLenum attachment) const { AttachAt(fbo, attachment, attachTexture); }
    void AttachLinear(GLuint fbo, GLenum attachment);
    GLuint ClearFbo() { return ClearFboAt(GL_COLOR_ATTACHMENT0, GL_COLOR_ATTACHMENT0); }
    bool Srgb() const { return fmt->dxgi == DXGI_FORMAT_R8G8B8A8_UNORM_SRGB; }

    const FormatInfo* fmt = nullptr;
};

class DsvImpl final : public AttachView<ID3D11DepthStencilView, D3D11_DEPTH_STENCIL_VIEW_DESC> {
public:
    using AttachView::AttachView;
    void Attach(GLuint fbo) const { AttachAt(fbo, Attachment(), attachTexture); }
    GLuint ClearFbo() { return ClearFboAt(Attachment(), GL_NONE); }

private:
    GLenum Attachment() const { return texture->fmt->stencil ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT; }
};

class UavImpl final : public View<ID3D11UnorderedAccessView, D3D11_UNORDERED_ACCESS_VIEW_DESC> {
public:
    using View::View;
    ~UavImpl() override;

    const FormatInfo* fmt = nullptr;
    GLuint texture = 0;
    bool ownsTexture = false;
    GLint level = 0;
    bool layered = false;
    GLint layer = 0;
    GLenum format = 0;
    GLuint clearFbo = 0;
};

// ---- states ----

class SamplerImpl final : public Child<ID3D11SamplerState> {
public:
    SamplerImpl(std::shared_ptr<Core> core, const D3D11_SAMPLER_DESC& d);
    ~SamplerImpl() override;
    void GetDesc(D3D11_SAMPLER_DESC* d) override { *d = desc; }
    D3D11_SAMPLER_DESC desc;
    GLuint gl = 0;
};
void ApplySamplerDesc(GLuint sampler, const D3D11_SAMPLER_DESC& d);
GLenum CompareFunc(D3D11_COMPARISON_FUNC f);

class BlendImpl final : public Child<ID3D11BlendState> {
public:
    BlendImpl(std::shared_ptr<Core> core, const D3D11_BLEND_DESC& d) : Child(std::move(core)), desc(d) {}
    void GetDesc(D3D11_BLEND_DESC* d) override { *d = desc; }
    D3D11_BLEND_DESC desc;
};

class RasterizerImpl final : public Child<ID3D11RasterizerState> {
public:
    RasterizerImpl(std::shared_ptr<Core> core, const D3D11_RASTERIZER_DESC& d) : Child(std::move(core)), desc(d) {}
    void GetDesc(D3D11_RASTERIZER_DESC* d) override { *d = desc; }
    D3D11_RASTERIZER_DESC desc;
};

class DepthStencilImpl final : public Child<ID3D11DepthStencilState> {
public:
    DepthStencilImpl(std::shared_ptr<Core> core, const D3D11_DEPTH_STENCIL_DESC& d) : Child(std::move(core)), desc(d) {}
    void GetDesc(D3D11_DEPTH_STENCIL_DESC* d) override { *d = desc; }
    D3D11_DEPTH_STENCIL_DESC desc;
};

D3D11_BLEND_DESC DefaultBlendDesc();
D3D11_RASTERIZER_DESC DefaultRasterizerDesc();
D3D11_DEPTH_STENCIL_DESC DefaultDepthStencilDesc();
D3D11_SAMPLER_DESC DefaultSamplerDesc();

// ---- shaders and input layouts ----

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
