// The immediate context: draws and dispatches from what is bound.
#include "platform/gfx/gl/context.h"

#include "platform/gfx/gl/shader_bindings.h"

namespace gfx {

void ContextImpl::Draw(UINT count, UINT start)
{
    GLenum mode = PrepareDraw();
    if (!mode)
        return;
    glDrawArrays(mode, GLint(start), GLsizei(count));
}

void ContextImpl::DrawIndexed(UINT count, UINT start, INT base)
{
    GLenum mode = PrepareDraw();
    GLenum type = 0;
    std::uintptr_t offset = 0;
    if (!mode || !input_.IndexRange(count, start, type, offset))
        return;
    glDrawElementsBaseVertex(mode, GLsizei(count), type, reinterpret_cast<const void*>(offset), base);
}

void ContextImpl::DrawInstanced(UINT count, UINT instances, UINT start, UINT startInstance)
{
    GLenum mode = PrepareDraw();
    if (!mode)
        return;
    glDrawArraysInstancedBaseInstance(mode, GLint(start), GLsizei(count), GLsizei(instances), startInstance);
}

void ContextImpl::DrawIndexedInstanced(UINT count, UINT instances, UINT start, INT base, UINT startInstance)
{
    GLenum mode = PrepareDraw();
    GLenum type = 0;
    std::uintptr_t offset = 0;
    if (!mode || !input_.IndexRange(count, start, type, offset))
        return;
    glDrawElementsInstancedBaseVertexBaseInstance(mode, GLsizei(count), type, reinterpret_cast<const void*>(offset),
                                                  GLsizei(instances), base, startInstance);
}

void ContextImpl::Dispatch(UINT x, UINT y, UINT z)
{
    core_->MakeCurrent();
    if (!bindings_.csShader || x == 0 || y == 0 || z == 0)
        return;
    GlCache& c = core_->cache;
    SettleBeforeSampling(bindings_.cs, bindings_.cs);
    Program& p = *bindings_.csShader->program;
    c.UseProgramStages(GL_COMPUTE_SHADER_BIT, p.variants[0].gl);
    UploadConstants(*core_, p.variants[0], bindings_.cs);
    BindTextures(*core_, p, bindings_.cs, bindings_, false);
    BindImages(c, p, bindings_.csUav);
    glDispatchCompute(x, y, z);
    // Direct3D orders work on a context by itself.
    glMemoryBarrier(GL_ALL_BARRIER_BITS);
}

GLenum ContextImpl::PrepareDraw()
{
    core_->MakeCurrent();
    GLenum mode = input_.Mode();
    if (!mode || !bindings_.vsShader || bindings_.numViewports == 0)
        return 0;
    GlCache& c = core_->cache;
    // sRGB targets written without blending get the shader's exact encode;
    // the framebuffer follows the variant the program could give.
    std::uint32_t srgbMask = 0;
    Program::Variant* pixel = nullptr;
    if (bindings_.psShader) {
        const D3D11_BLEND_DESC& b = states_.Blend(bindings_);
        for (UINT i = 0; i < kTargets; ++i)
            if (bindings_.rtv[i] && bindings_.rtv[i]->Srgb() &&
                !b.RenderTarget[b.IndependentBlendEnable ? i : 0].BlendEnable)
                srgbMask |= 1u << i;
        pixel = &bindings_.psShader->program->Get(srgbMask);
        srgbMask = pixel->srgbMask;
    }
    SettleBeforeSampling(bindings_.vs, bindings_.ps);
    core_->framebuffers.Bind(c, bindings_.rtv, bindings_.dsv, srgbMask);
    states_.Apply(c, bindings_);

    Program& vp = *bindings_.vsShader->program;
    c.UseProgramStages(GL_VERTEX_SHADER_BIT, vp.variants[0].gl);
    UploadConstants(*core_, vp.variants[0], bindings_.vs);
    BindTextures(*core_, vp, bindings_.vs, bindings_, true);
    if (pixel) {
        c.UseProgramStages(GL_FRAGMENT_SHADER_BIT, pixel->gl);
        UploadConstants(*core_, *pixel, bindings_.ps);
        BindTextures(*core_, *bindings_.psShader->program, bindings_.ps, bindings_, true);
    } else {
        c.UseProgramStages(GL_FRAGMENT_SHADER_BIT, 0);
    }

    input_.Apply(*core_);
    ++core_->draws;
    return mode;
}

void ContextImpl::ClearState()
{
    bindings_.Clear();
    input_.Clear();
}

void ContextImpl::Flush()
{
    core_->MakeCurrent();
    glFlush();
}

ContextImpl* NewContext(DeviceImpl& device)
{
    return new ContextImpl(device);
}

void DeleteContext(ContextImpl* context)
{
    // Not through Release: that counts the device's references.
    context->ClearState();
    delete context;
}

ID3D11DeviceContext* ContextInterface(ContextImpl* context)
{
    return context;
}

}  // namespace gfx
