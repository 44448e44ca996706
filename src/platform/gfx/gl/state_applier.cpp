// Fixed-function state of a draw: Direct3D's state objects as GL state.
#include "platform/gfx/gl/state_applier.h"

namespace gfx {

namespace {

GLenum BlendFactor(D3D11_BLEND b)
{
    switch (b) {
    case D3D11_BLEND_ZERO: return GL_ZERO;
    case D3D11_BLEND_ONE: return GL_ONE;
    case D3D11_BLEND_SRC_COLOR: return GL_SRC_COLOR;
    case D3D11_BLEND_INV_SRC_COLOR: return GL_ONE_MINUS_SRC_COLOR;
    case D3D11_BLEND_SRC_ALPHA: return GL_SRC_ALPHA;
    case D3D11_BLEND_INV_SRC_ALPHA: return GL_ONE_MINUS_SRC_ALPHA;
    case D3D11_BLEND_DEST_ALPHA: return GL_DST_ALPHA;
    case D3D11_BLEND_INV_DEST_ALPHA: return GL_ONE_MINUS_DST_ALPHA;
    case D3D11_BLEND_DEST_COLOR: return GL_DST_COLOR;
    case D3D11_BLEND_INV_DEST_COLOR: return GL_ONE_MINUS_DST_COLOR;
    case D3D11_BLEND_SRC_ALPHA_SAT: return GL_SRC_ALPHA_SATURATE;
    case D3D11_BLEND_BLEND_FACTOR: return GL_CONSTANT_COLOR;
    case D3D11_BLEND_INV_BLEND_FACTOR: return GL_ONE_MINUS_CONSTANT_COLOR;
    default: return GL_ONE;
    }
}

GLenum BlendOp(D3D11_BLEND_OP op)
{
    switch (op) {
    case D3D11_BLEND_OP_SUBTRACT: return GL_FUNC_SUBTRACT;
    case D3D11_BLEND_OP_REV_SUBTRACT: return GL_FUNC_REVERSE_SUBTRACT;
    case D3D11_BLEND_OP_MIN: return GL_MIN;
    case D3D11_BLEND_OP_MAX: return GL_MAX;
    default: return GL_FUNC_ADD;
    }
}

GLenum StencilOp(D3D11_STENCIL_OP op)
{
    switch (op) {
    case D3D11_STENCIL_OP_ZERO: return GL_ZERO;
    case D3D11_STENCIL_OP_REPLACE: return GL_REPLACE;
    case D3D11_STENCIL_OP_INCR_SAT: return GL_INCR;
    case D3D11_STENCIL_OP_DECR_SAT: return GL_DECR;
    case D3D11_STENCIL_OP_INVERT: return GL_INVERT;
    case D3D11_STENCIL_OP_INCR: return GL_INCR_WRAP;
    case D3D11_STENCIL_OP_DECR: return GL_DECR_WRAP;
    default: return GL_KEEP;
    }
}

}  // namespace

void StateApplier::Apply(GlCache& c, const BindingStore& b) const
{
    ApplyViewports(c, b);
    ApplyRasterizer(c, b);
    ApplyBlend(c, b);
    ApplyDepthStencil(c, b);
}

void StateApplier::ApplyViewports(GlCache& c, const BindingStore& b) const
{
    for (UINT i = 0; i < b.numViewports; ++i) {
        const D3D11_VIEWPORT& v = b.viewports[i];
        const float rect[4] = {v.TopLeftX, v.TopLeftY, v.Width, v.Height};
        c.Viewport(i, rect);
        c.DepthRange(i, v.MinDepth, v.MaxDepth);
    }
}

void StateApplier::ApplyRasterizer(GlCache& c, const BindingStore& b) const
{
    const D3D11_RASTERIZER_DESC& r = b.rasterizer ? b.rasterizer->desc : defaultRasterizer_;
    c.PolygonMode(r.FillMode == D3D11_FILL_WIREFRAME ? GL_LINE : GL_FILL);
    c.CullFace(r.CullMode != D3D11_CULL_NONE, r.CullMode == D3D11_CULL_FRONT ? GL_FRONT : GL_BACK);
    // With the upper-left origin GL judges winding on screen as Direct3D does.
    c.FrontFace(r.FrontCounterClockwise ? GL_CCW : GL_CW);
    c.PolygonOffset(r.SlopeScaledDepthBias, float(r.DepthBias), r.DepthBiasClamp);
    c.Enable(GL_DEPTH_CLAMP, !r.DepthClipEnable);
    c.Enable(GL_SCISSOR_TEST, r.ScissorEnable != 0);
    if (r.ScissorEnable)
        for (UINT i = 0; i < b.numViewports; ++i) {
            GLint rect[4] = {0, 0, 0, 0};
            if (i < b.numScissors) {
                const D3D11_RECT& s = b.scissors[i];
                rect[0] = s.left;
                rect[1] = s.top;
                rect[2] = std::max<LONG>(0, s.right - s.left);
                rect[3] = std::max<LONG>(0, s.bottom - s.top);
            }
            c.Scissor(i, rect);
        }
}

void StateApplier::ApplyBlend(GlCache& c, const BindingStore& b) const
{
    const D3D11_BLEND_DESC& d = Blend(b);
    for (GLuint i = 0; i < kTargets; ++i) {
        const D3D11_RENDER_TARGET_BLEND_DESC& t = d.RenderTarget[d.IndependentBlendEnable ? i : 0];
        c.EnableIndexed(GL_BLEND, i, t.BlendEnable != 0);
        if (t.BlendEnable) {
            c.BlendFuncSeparate(i, BlendFactor(t.SrcBlend), BlendFactor(t.DestBlend), BlendFactor(t.SrcBlendAlpha),
                                BlendFactor(t.DestBlendAlpha));
            c.BlendEquationSeparate(i, BlendOp(t.BlendOp), BlendOp(t.BlendOpAlpha));
        }
        // No pixel shader: nothing is written to the colour targets.
        c.ColorMask(i, b.psShader ? t.RenderTargetWriteMask : 0);
    }
    c.Enable(GL_SAMPLE_ALPHA_TO_COVERAGE, d.AlphaToCoverageEnable != 0);
    c.BlendColor(b.blendFactor);
    c.SampleMask(b.sampleMask);
}

void StateApplier::ApplyDepthStencil(GlCache& c, const BindingStore& b) const
{
    const D3D11_DEPTH_STENCIL_DESC& d = b.depthStencil ? b.depthStencil->desc : defaultDepthStencil_;
    c.Enable(GL_DEPTH_TEST, d.DepthEnable != 0);
    if (d.DepthEnable) {
        c.DepthMask(d.DepthWriteMask == D3D11_DEPTH_WRITE_MASK_ALL);
        c.DepthFunc(CompareFunc(d.DepthFunc));
    }
    c.Enable(GL_STENCIL_TEST, d.StencilEnable != 0);
    if (d.StencilEnable) {
        GLint ref = GLint(b.stencilRef);
        c.StencilFuncSeparate(GL_FRONT, CompareFunc(d.FrontFace.StencilFunc), ref, d.StencilReadMask);
        c.StencilFuncSeparate(GL_BACK, CompareFunc(d.BackFace.StencilFunc), ref, d.StencilReadMask);
        c.StencilOpSeparate(GL_FRONT, StencilOp(d.FrontFace.StencilFailOp), StencilOp(d.FrontFace.StencilDepthFailOp),
                            StencilOp(d.FrontFace.StencilPassOp));
        c.StencilOpSeparate(GL_BACK, StencilOp(d.BackFace.StencilFailOp), StencilOp(d.BackFace.StencilDepthFailOp),
                            StencilOp(d.BackFace.StencilPassOp));
        c.StencilMask(d.StencilWriteMask, d.StencilWriteMask);
    }
}

}  // namespace gfx
