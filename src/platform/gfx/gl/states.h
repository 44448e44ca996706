#pragma once
// Inside the gfx layer: the state objects (sampler, blend, rasterizer, depth-stencil) and their defaults.
#include "platform/gfx/gl/core.h"

namespace gfx {

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

}  // namespace gfx
