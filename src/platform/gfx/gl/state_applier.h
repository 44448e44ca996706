#pragma once
// Inside the gfx layer: the bound viewports, rasterizer, blend and depth-stencil
// states into GL through the state cache; a null state object stands for Direct3D's default.
#include "platform/gfx/gl/binding_store.h"

namespace gfx {

class StateApplier {
public:
    const D3D11_BLEND_DESC& Blend(const BindingStore& b) const { return b.blend ? b.blend->desc : defaultBlend_; }
    // Everything of a draw's fixed-function state; no pixel shader writes no colour.
    void Apply(GlCache& c, const BindingStore& b) const;

private:
    void ApplyViewports(GlCache& c, const BindingStore& b) const;
    void ApplyRasterizer(GlCache& c, const BindingStore& b) const;
    void ApplyBlend(GlCache& c, const BindingStore& b) const;
    void ApplyDepthStencil(GlCache& c, const BindingStore& b) const;

    const D3D11_BLEND_DESC defaultBlend_ = DefaultBlendDesc();
    const D3D11_RASTERIZER_DESC defaultRasterizer_ = DefaultRasterizerDesc();
    const D3D11_DEPTH_STENCIL_DESC defaultDepthStencil_ = DefaultDepthStencilDesc();
};

}  // namespace gfx
