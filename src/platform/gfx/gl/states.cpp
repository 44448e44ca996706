// The state objects and their defaults.
#include <algorithm>

#include "platform/gfx/gl/device.h"

namespace gfx {

D3D11_BLEND_DESC DefaultBlendDesc()
{
    D3D11_BLEND_DESC d{};
    for (auto& rt : d.RenderTarget)
        rt = {FALSE,           D3D11_BLEND_ONE,  D3D11_BLEND_ZERO,   D3D11_BLEND_OP_ADD,
              D3D11_BLEND_ONE, D3D11_BLEND_ZERO, D3D11_BLEND_OP_ADD, D3D11_COLOR_WRITE_ENABLE_ALL};
    return d;
}

D3D11_RASTERIZER_DESC DefaultRasterizerDesc()
{
    return {D3D11_FILL_SOLID, D3D11_CULL_BACK, FALSE, 0, 0.0f, 0.0f, TRUE, FALSE, FALSE, FALSE};
}

D3D11_DEPTH_STENCIL_DESC DefaultDepthStencilDesc()
{
    D3D11_DEPTH_STENCILOP_DESC op{D3D11_STENCIL_OP_KEEP, D3D11_STENCIL_OP_KEEP, D3D11_STENCIL_OP_KEEP,
                                  D3D11_COMPARISON_ALWAYS};
    return {TRUE, D3D11_DEPTH_WRITE_MASK_ALL, D3D11_COMPARISON_LESS, FALSE, 0xff, 0xff, op, op};
}

D3D11_SAMPLER_DESC DefaultSamplerDesc()
{
    return {D3D11_FILTER_MIN_MAG_MIP_LINEAR,
            D3D11_TEXTURE_ADDRESS_CLAMP,
            D3D11_TEXTURE_ADDRESS_CLAMP,
            D3D11_TEXTURE_ADDRESS_CLAMP,
            0.0f,
            1,
            D3D11_COMPARISON_NEVER,
            {1, 1, 1, 1},
            -D3D11_FLOAT32_MAX,
            D3D11_FLOAT32_MAX};
}

namespace {
GLenum AddressMode(D3D11_TEXTURE_ADDRESS_MODE m)
{
    switch (m) {
    case D3D11_TEXTURE_ADDRESS_WRAP: return GL_REPEAT;
    case D3D11_TEXTURE_ADDRESS_MIRROR: return GL_MIRRORED_REPEAT;
    case D3D11_TEXTURE_ADDRESS_BORDER: return GL_CLAMP_TO_BORDER;
    case D3D11_TEXTURE_ADDRESS_MIRROR_ONCE: return GL_MIRROR_CLAMP_TO_EDGE;
    default: return GL_CLAMP_TO_EDGE;
    }
}
}  // namespace

GLenum CompareFunc(D3D11_COMPARISON_FUNC f)
{
    switch (f) {
    case D3D11_COMPARISON_NEVER: return GL_NEVER;
    case D3D11_COMPARISON_LESS: return GL_LESS;
    case D3D11_COMPARISON_EQUAL: return GL_EQUAL;
    case D3D11_COMPARISON_LESS_EQUAL: return GL_LEQUAL;
    case D3D11_COMPARISON_GREATER: return GL_GREATER;
    case D3D11_COMPARISON_NOT_EQUAL: return GL_NOTEQUAL;
    case D3D11_COMPARISON_GREATER_EQUAL: return GL_GEQUAL;
    default: return GL_ALWAYS;
    }
}

void ApplySamplerDesc(GLuint s, const D3D11_SAMPLER_DESC& d)
{
    // Filter bits: mip linear 0x1, mag linear 0x4, min linear 0x10, anisotropic 0x40, comparison 0x80.
    UINT f = d.Filter;
    bool aniso = (f & 0x40) != 0;
    bool minLinear = aniso || (f & 0x10), magLinear = aniso || (f & 0x4), mipLinear = aniso || (f & 0x1);
    glSamplerParameteri(s, GL_TEXTURE_MIN_FILTER,
                        minLinear ? (mipLinear ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR_MIPMAP_NEAREST)
                                  : (mipLinear ? GL_NEAREST_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_NEAREST));
    glSamplerParameteri(s, GL_TEXTURE_MAG_FILTER, magLinear ? GL_LINEAR : GL_NEAREST);
    glSamplerParameteri(s, GL_TEXTURE_WRAP_S, AddressMode(d.AddressU));
    glSamplerParameteri(s, GL_TEXTURE_WRAP_T, AddressMode(d.AddressV));
    glSamplerParameteri(s, GL_TEXTURE_WRAP_R, AddressMode(d.AddressW));
    glSamplerParameterf(s, GL_TEXTURE_LOD_BIAS, d.MipLODBias);
    glSamplerParameterf(s, GL_TEXTURE_MIN_LOD, d.MinLOD);
    glSamplerParameterf(s, GL_TEXTURE_MAX_LOD, d.MaxLOD);
    if (aniso)
        glSamplerParameterf(s, GL_TEXTURE_MAX_ANISOTROPY, float(std::clamp(d.MaxAnisotropy, 1u, 16u)));
    glSamplerParameterfv(s, GL_TEXTURE_BORDER_COLOR, d.BorderColor);
    if (f & 0x80) {
        glSamplerParameteri(s, GL_TEXTURE_COMPARE_MODE, GL_COMPARE_REF_TO_TEXTURE);
        glSamplerParameteri(s, GL_TEXTURE_COMPARE_FUNC, CompareFunc(d.ComparisonFunc));
    }
}

SamplerImpl::SamplerImpl(std::shared_ptr<Core> c, const D3D11_SAMPLER_DESC& d) : Child(std::move(c)), desc(d)
{
    glCreateSamplers(1, &gl);
    ApplySamplerDesc(gl, desc);
}

SamplerImpl::~SamplerImpl()
{
    core_->MakeCurrent();
    core_->cache.ForgetSampler(gl);
    glDeleteSamplers(1, &gl);
}

namespace {

// A state object of desc (none: refused by call, whose desc argument is named argument),
// made only where the caller asks for one.
template <class Impl, class Desc, class Interface>
HRESULT NewState(const std::shared_ptr<Core>& core, const char* call, const char* argument, const Desc* desc,
                 Interface** out)
{
    if (!desc)
        return Refuse(core->debug, call, argument, "is null: a state needs a description");
    if (!out)
        return S_FALSE;
    core->MakeCurrent();
    *out = new Impl(core, *desc);
    return S_OK;
}

}  // namespace

HRESULT DeviceImpl::CreateBlendState(const D3D11_BLEND_DESC* desc, ID3D11BlendState** out)
{
    return NewState<BlendImpl>(core, "CreateBlendState", "pBlendStateDesc", desc, out);
}

HRESULT DeviceImpl::CreateDepthStencilState(const D3D11_DEPTH_STENCIL_DESC* desc, ID3D11DepthStencilState** out)
{
    return NewState<DepthStencilImpl>(core, "CreateDepthStencilState", "pDepthStencilDesc", desc, out);
}

HRESULT DeviceImpl::CreateRasterizerState(const D3D11_RASTERIZER_DESC* desc, ID3D11RasterizerState** out)
{
    const char* call = "CreateRasterizerState";
    if (desc && desc->FillMode != D3D11_FILL_SOLID && desc->FillMode != D3D11_FILL_WIREFRAME)
        return Refuse(core->debug, call, "pRasterizerDesc->FillMode",
                      "is not D3D11_FILL_SOLID or D3D11_FILL_WIREFRAME");
    if (desc && (desc->CullMode < D3D11_CULL_NONE || desc->CullMode > D3D11_CULL_BACK))
        return Refuse(core->debug, call, "pRasterizerDesc->CullMode",
                      "is not D3D11_CULL_NONE, D3D11_CULL_FRONT or D3D11_CULL_BACK");
    return NewState<RasterizerImpl>(core, call, "pRasterizerDesc", desc, out);
}

HRESULT DeviceImpl::CreateSamplerState(const D3D11_SAMPLER_DESC* desc, ID3D11SamplerState** out)
{
    return NewState<SamplerImpl>(core, "CreateSamplerState", "pSamplerDesc", desc, out);
}

}  // namespace gfx
