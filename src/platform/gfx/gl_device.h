#pragma once
// Inside the gfx layer: the GL objects behind the Direct3D-shaped interfaces.
#include <epoxy/gl.h>

#include <array>
#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/gfx/com_object.h"
#include "platform/gfx/d3dcompiler.h"
#include "platform/gfx/gfx_stats.h"
#include "platform/gfx/shader_info.h"

struct SDL_Window;

namespace gfx {

// ---- formats --------------------------------------------------------------------

struct FormatInfo {
    DXGI_FORMAT dxgi;
    GLenum internal;  // texture storage (typeless: a member of the family)
    GLenum format;    // pixel transfer
    GLenum type;
    std::uint32_t bytes;  // per texel
    bool depth;
    bool stencil;
    bool integer;
    bool typeless;
};
// Null for formats this layer does not know.
const FormatInfo* FindFormat(DXGI_FORMAT format);
// The storage format of a texture: typeless depth families become depth formats
// when the texture is bound as depth-stencil.
GLenum StorageFormat(const FormatInfo& f, UINT bindFlags);
// The format a view of `view` reads a texture stored as `storage` with.
GLenum ViewFormat(const FormatInfo& view, GLenum storage);
bool IsDepthStorage(GLenum storage);

// ---- GL state cache: every GL state change of the layer goes through it ----

class GlCache {
public:
    void Enable(GLenum cap, bool on);
    void EnableIndexed(GLenum cap, GLuint index, bool on);
    void ColorMask(GLuint index, std::uint8_t mask);
    void DepthMask(bool on);
    void StencilMask(GLuint front, GLuint back);
    void BindDrawFramebuffer(GLuint fbo);
    void UseProgramStages(GLbitfield stage, GLuint program);
    void BindVertexArray(GLuint vao);
    void BindTextureUnit(GLuint unit, GLuint texture, GLenum target);
    void BindSampler(GLuint unit, GLuint sampler);
    void BindImage(GLuint unit, GLuint texture, GLint level, bool layered, GLint layer, GLenum format);
    void Viewport(GLuint index, const float v[4]);
    void DepthRange(GLuint index, double n, double f);
    void Scissor(GLuint index, const GLint r[4]);
    void CullFace(bool enable, GLenum face);
    void FrontFace(GLenum mode);
    void PolygonMode(GLenum mode);
    void PolygonOffset(float slope, float units, float clamp);
    void DepthFunc(GLenum func);
    void StencilFuncSeparate(GLenum face, GLenum func, GLint ref, GLuint mask);
    void StencilOpSeparate(GLenum face, GLenum sfail, GLenum dpfail, GLenum dppass);
    void BlendFuncSeparate(GLuint index, GLenum src, GLenum dst, GLenum srcA, GLenum dstA);
    void BlendEquationSeparate(GLuint index, GLenum rgb, GLenum alpha);
    void BlendColor(const float c[4]);
    void SampleMask(GLuint mask);
    void PixelStore(GLenum name, GLint value);
    // A deleted name may come back for a new object: forget where it was bound.
    void ForgetTexture(GLuint texture);
    void ForgetSampler(GLuint sampler);
    void ForgetProgram(GLuint program);
    // After a raw GL sequence outside the cache (none today): forget everything.
    void Invalidate();

    std::uint64_t changes = 0;
    GLuint pipeline = 0;

private:
    struct Cap {
        GLenum cap;
        GLuint index;
        int on;
    };
    std::vector<Cap> caps_;
    int* CapSlot(GLenum cap, GLuint index);
    std::array<int, 8> colorMask_{};
    int depthMask_ = -1;
    GLuint stencilFront_ = 0xffffffffu, stencilBack_ = 0xffffffffu;
    bool stencilKnown_ = false;
    GLuint drawFbo_ = 0xffffffffu;
    GLuint stageVs_ = 0xffffffffu, stageFs_ = 0xffffffffu, stageCs_ = 0xffffffffu;
    GLuint vao_ = 0xffffffffu;
    std::array<GLuint, 96> textures_{};
    std::array<GLuint, 96> samplers_{};
    struct Image {
        GLuint texture = 0xffffffffu;
        GLint level = 0;
        bool layered = false;
        GLint layer = 0;
        GLenum format = 0;
    };
    std::array<Image, 8> images_{};
    std::array<std::array<float, 4>, 16> viewports_{};
    std::array<std::array<double, 2>, 16> depthRanges_{};
    std::array<std::array<GLint, 4>, 16> scissors_{};
    std::array<bool, 16> viewportKnown_{}, depthKnown_{}, scissorKnown_{};
    GLenum cullFace_ = 0, frontFace_ = 0, polygonMode_ = 0, depthFunc_ = 0;
    float offset_[3] = {-1, -1, -1};
    bool offsetKnown_ = false;
    struct StencilSide {
        GLenum func = 0;
        GLint ref = -1;
        GLuint mask = 0;
        GLenum sfail = 0, dpfail = 0, dppass = 0;
    };
    StencilSide front_, back_;
    struct BlendSlot {
        GLenum src = 0, dst = 0, srcA = 0, dstA = 0, eq = 0, eqA = 0;
    };
    std::array<BlendSlot, 8> blend_{};
    float blendColor_[4] = {-1, -1, -1, -1};
    GLuint sampleMask_ = 0;
    bool sampleMaskKnown_ = false;
    std::vector<std::pair<GLenum, GLint>> pixelStore_;
};

// ---- the GL context and what the device's objects share ----

class DeviceImpl;

class Core {
public:
    Core(SDL_Window* window, void* glContext, bool ownsWindow);
    ~Core();
    void MakeCurrent();
    static Core* Current();

    SDL_Window* window;
    void* glContext;
    bool ownsWindow;
    DeviceImpl* device = nullptr;  // null once the device is gone
    GlCache cache;
    GLuint pipeline = 0;
    GLuint emptyVao = 0;
    GLuint defaultSampler = 0;
    std::unordered_map<GLenum, GLuint> zeroTextures;  // per target: reads as 0
    GLuint zeroBuffer = 0;
    GLuint ZeroTexture(GLenum target);
    std::uint64_t NextVersion() { return ++version_; }
    std::uint64_t NextId() { return ++id_; }
    std::uint64_t uniformUploads = 0;
    std::uint64_t draws = 0;
    std::uint64_t liveObjects = 0;  // device children not yet destroyed
    bool debug = false;
    bool breakOnError = false;  // ID3D11InfoQueue::SetBreakOnSeverity
    bool breakOnCorruption = false;

    // Programs the compiler linked ahead of Create*Shader.
    struct Precompiled {
        Stage stage;
        std::string glsl;
        GLuint program;
    };
    std::vector<Precompiled> precompiled;
    GLuint TakePrecompiled(Stage stage, const std::string& glsl);
    // Compiles and links one separable program; 0 and the log on failure.
    GLuint LinkProgram(Stage stage, const std::string& glsl, std::string& log);

    // Framebuffers by attachment set.
    struct FboKey {
        std::array<std::uint64_t, 10> ids{};  // 8 colour views, depth, sRGB mask
        bool operator==(const FboKey& o) const { return ids == o.ids; }
    };
    struct FboKeyHash {
        std::size_t operator()(const FboKey& k) const
        {
            std::size_t h = 0;
            for (auto v : k.ids)
                h = h * 1000003u ^ std::size_t(v);
            return h;
        }
    };
    std::unordered_map<FboKey, GLuint, FboKeyHash> fbos;
    void ForgetView(std::uint64_t viewId);

private:
    std::uint64_t version_ = 0;
    std::uint64_t id_ = 0;
};

// ---- object plumbing ----

template <class Interface>
class Child : public Object<Interface> {
public:
    explicit Child(std::shared_ptr<Core> core) : core_(std::move(core)) { ++core_->liveObjects; }
    ~Child() override { --core_->liveObjects; }
    void GetDevice(ID3D11Device** out) override;
    Core& core() { return *core_; }
    const std::shared_ptr<Core>& corePtr() { return core_; }

protected:
    std::shared_ptr<Core> core_;
};

template <class T>
void SetRef(T*& slot, T* value)
{
    if (slot == value)
        return;
    if (value)
        value->AddRef();
    if (slot)
        slot->Release();
    slot = value;
}

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

class SrvImpl final : public Child<ID3D11ShaderResourceView> {
public:
    using Child::Child;
    ~SrvImpl() override;
    void GetResource(ID3D11Resource** out) override
    {
        resource->AddRef();
        *out = resource;
    }
    void GetDesc(D3D11_SHADER_RESOURCE_VIEW_DESC* d) override { *d = desc; }

    ID3D11Resource* resource = nullptr;  // holds a reference
    D3D11_SHADER_RESOURCE_VIEW_DESC desc{};
    GLuint texture = 0;
    GLenum target = 0;
    bool ownsTexture = false;
};

class RtvImpl final : public Child<ID3D11RenderTargetView> {
public:
    using Child::Child;
    ~RtvImpl() override;
    void GetResource(ID3D11Resource** out) override
    {
        resource->AddRef();
        *out = resource;
    }
    void GetDesc(D3D11_RENDER_TARGET_VIEW_DESC* d) override { *d = desc; }
    void Attach(GLuint fbo, GLenum attachment);
    GLuint ClearFbo();

    ID3D11Resource* resource = nullptr;
    TextureImpl* texture = nullptr;
    D3D11_RENDER_TARGET_VIEW_DESC desc{};
    const FormatInfo* fmt = nullptr;
    GLuint attachTexture = 0;  // the texture or a view of it
    GLenum attachTarget = 0;
    GLuint attachLevels = 1, attachLayers = 1;
    bool ownsTexture = false;
    GLint level = 0;
    GLint layer = -1;  // -1: every layer of attachTexture
    GLuint clearFbo = 0;
    std::uint64_t id = 0;
    // sRGB formats: the same texels viewed as UNORM, for draws that encode in the shader.
    GLuint linearTexture = 0;
    bool Srgb() const { return fmt->dxgi == DXGI_FORMAT_R8G8B8A8_UNORM_SRGB; }
    void AttachLinear(GLuint fbo, GLenum attachment);
};

class DsvImpl final : public Child<ID3D11DepthStencilView> {
public:
    using Child::Child;
    ~DsvImpl() override;
    void GetResource(ID3D11Resource** out) override
    {
        resource->AddRef();
        *out = resource;
    }
    void GetDesc(D3D11_DEPTH_STENCIL_VIEW_DESC* d) override { *d = desc; }
    void Attach(GLuint fbo);
    GLuint ClearFbo();

    ID3D11Resource* resource = nullptr;
    TextureImpl* texture = nullptr;
    D3D11_DEPTH_STENCIL_VIEW_DESC desc{};
    GLuint attachTexture = 0;
    GLenum attachTarget = 0;
    GLuint attachLevels = 1, attachLayers = 1;
    bool ownsTexture = false;
    GLint level = 0;
    GLint layer = -1;
    GLuint clearFbo = 0;
    std::uint64_t id = 0;
};

class UavImpl final : public Child<ID3D11UnorderedAccessView> {
public:
    using Child::Child;
    ~UavImpl() override;
    void GetResource(ID3D11Resource** out) override
    {
        resource->AddRef();
        *out = resource;
    }
    void GetDesc(D3D11_UNORDERED_ACCESS_VIEW_DESC* d) override { *d = desc; }

    ID3D11Resource* resource = nullptr;
    D3D11_UNORDERED_ACCESS_VIEW_DESC desc{};
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
