// The GL state cache: a GL call only where the value changes.
#include "platform/gfx/gl/gl_cache.h"

#include <cstring>

namespace gfx {

int* GlCache::CapSlot(GLenum cap, GLuint index)
{
    for (Cap& c : caps_)
        if (c.cap == cap && c.index == index)
            return &c.on;
    caps_.push_back({cap, index, -1});
    return &caps_.back().on;
}

void GlCache::Enable(GLenum cap, bool on)
{
    int* slot = CapSlot(cap, 0xffffffffu);
    if (*slot == int(on))
        return;
    *slot = on;
    ++changes;
    if (on)
        glEnable(cap);
    else
        glDisable(cap);
}

void GlCache::EnableIndexed(GLenum cap, GLuint index, bool on)
{
    int* slot = CapSlot(cap, index);
    if (*slot == int(on))
        return;
    *slot = on;
    ++changes;
    if (on)
        glEnablei(cap, index);
    else
        glDisablei(cap, index);
}

void GlCache::ColorMask(GLuint index, std::uint8_t mask)
{
    if (index >= colorMask_.size())
        return;
    if (colorMask_[index] == int(mask) + 1)
        return;
    colorMask_[index] = int(mask) + 1;
    ++changes;
    glColorMaski(index, mask & 1, (mask >> 1) & 1, (mask >> 2) & 1, (mask >> 3) & 1);
}

void GlCache::DepthMask(bool on)
{
    if (depthMask_ == int(on))
        return;
    depthMask_ = on;
    ++changes;
    glDepthMask(on ? GL_TRUE : GL_FALSE);
}

void GlCache::StencilMask(GLuint front, GLuint back)
{
    if (stencilKnown_ && stencilFront_ == front && stencilBack_ == back)
        return;
    if (!stencilKnown_ || stencilFront_ != front)
        glStencilMaskSeparate(GL_FRONT, front);
    if (!stencilKnown_ || stencilBack_ != back)
        glStencilMaskSeparate(GL_BACK, back);
    stencilKnown_ = true;
    stencilFront_ = front;
    stencilBack_ = back;
    ++changes;
}

void GlCache::BindDrawFramebuffer(GLuint fbo)
{
    if (drawFbo_ == fbo)
        return;
    drawFbo_ = fbo;
    ++changes;
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, fbo);
}

void GlCache::UseProgramStages(GLbitfield stage, GLuint program)
{
    GLuint* slot = stage == GL_VERTEX_SHADER_BIT ? &stageVs_ : stage == GL_FRAGMENT_SHADER_BIT ? &stageFs_ : &stageCs_;
    if (*slot == program)
        return;
    *slot = program;
    ++changes;
    glUseProgramStages(pipeline, stage, program);
}

void GlCache::BindVertexArray(GLuint vao)
{
    if (vao_ == vao)
        return;
    vao_ = vao;
    ++changes;
    glBindVertexArray(vao);
}

void GlCache::BindTextureUnit(GLuint unit, GLuint texture, GLenum /*target*/)
{
    if (unit >= textures_.size())
        return;
    // Names are never 0 here (unbound slots get a zero texture), so 0 means unknown.
    if (textures_[unit] == texture)
        return;
    textures_[unit] = texture;
    ++changes;
    glBindTextureUnit(unit, texture);
}

void GlCache::BindSampler(GLuint unit, GLuint sampler)
{
    if (unit >= samplers_.size())
        return;
    if (samplers_[unit] == sampler)
        return;
    samplers_[unit] = sampler;
    ++changes;
    glBindSampler(unit, sampler);
}

void GlCache::BindImage(GLuint unit, GLuint texture, GLint level, bool layered, GLint layer, GLenum format)
{
    if (unit >= images_.size())
        return;
    Image& i = images_[unit];
    if (i.texture == texture && i.level == level && i.layered == layered && i.layer == layer && i.format == format)
        return;
    i = {texture, level, layered, layer, format};
    ++changes;
    glBindImageTexture(unit, texture, level, layered ? GL_TRUE : GL_FALSE, layer, GL_READ_WRITE, format);
}

void GlCache::Viewport(GLuint index, const float v[4])
{
    if (index >= viewports_.size())
        return;
    auto& cur = viewports_[index];
    if (viewportKnown_[index] && std::memcmp(cur.data(), v, sizeof(float) * 4) == 0)
        return;
    std::memcpy(cur.data(), v, sizeof(float) * 4);
    viewportKnown_[index] = true;
    ++changes;
    glViewportIndexedf(index, v[0], v[1], v[2], v[3]);
}

void GlCache::DepthRange(GLuint index, double n, double f)
{
    if (index >= depthRanges_.size())
        return;
    auto& cur = depthRanges_[index];
    if (depthKnown_[index] && cur[0] == n && cur[1] == f)
        return;
    cur = {n, f};
    depthKnown_[index] = true;
    ++changes;
    glDepthRangeIndexed(index, n, f);
}

void GlCache::Scissor(GLuint index, const GLint r[4])
{
    if (index >= scissors_.size())
        return;
    auto& cur = scissors_[index];
    if (scissorKnown_[index] && std::memcmp(cur.data(), r, sizeof(GLint) * 4) == 0)
        return;
    std::memcpy(cur.data(), r, sizeof(GLint) * 4);
    scissorKnown_[index] = true;
    ++changes;
    glScissorIndexed(index, r[0], r[1], r[2], r[3]);
}

void GlCache::CullFace(bool enable, GLenum face)
{
    Enable(GL_CULL_FACE, enable);
    if (!enable || cullFace_ == face)
        return;
    cullFace_ = face;
    ++changes;
    glCullFace(face);
}

void GlCache::FrontFace(GLenum mode)
{
    if (frontFace_ == mode)
        return;
    frontFace_ = mode;
    ++changes;
    glFrontFace(mode);
}

void GlCache::PolygonMode(GLenum mode)
{
    if (polygonMode_ == mode)
        return;
    polygonMode_ = mode;
    ++changes;
    glPolygonMode(GL_FRONT_AND_BACK, mode);
}

void GlCache::PolygonOffset(float slope, float units, float clamp)
{
    bool on = slope != 0 || units != 0;
    Enable(GL_POLYGON_OFFSET_FILL, on);
    if (!on)
        return;
    if (offsetKnown_ && offset_[0] == slope && offset_[1] == units && offset_[2] == clamp)
        return;
    offset_[0] = slope;
    offset_[1] = units;
    offset_[2] = clamp;
    offsetKnown_ = true;
    ++changes;
    glPolygonOffsetClamp(slope, units, clamp);
}

void GlCache::DepthFunc(GLenum func)
{
    if (depthFunc_ == func)
        return;
    depthFunc_ = func;
    ++changes;
    glDepthFunc(func);
}

void GlCache::StencilFuncSeparate(GLenum face, GLenum func, GLint ref, GLuint mask)
{
    StencilSide& s = face == GL_FRONT ? front_ : back_;
    if (s.func == func && s.ref == ref && s.mask == mask)
        return;
    s.func = func;
    s.ref = ref;
    s.mask = mask;
    ++changes;
    glStencilFuncSeparate(face, func, ref, mask);
}

void GlCache::StencilOpSeparate(GLenum face, GLenum sfail, GLenum dpfail, GLenum dppass)
{
    StencilSide& s = face == GL_FRONT ? front_ : back_;
    if (s.sfail == sfail && s.dpfail == dpfail && s.dppass == dppass)
        return;
    s.sfail = sfail;
    s.dpfail = dpfail;
    s.dppass = dppass;
    ++changes;
    glStencilOpSeparate(face, sfail, dpfail, dppass);
}

void GlCache::BlendFuncSeparate(GLuint index, GLenum src, GLenum dst, GLenum srcA, GLenum dstA)
{
    BlendSlot& b = blend_[index];
    if (b.src == src && b.dst == dst && b.srcA == srcA && b.dstA == dstA)
        return;
    b.src = src;
    b.dst = dst;
    b.srcA = srcA;
    b.dstA = dstA;
    ++changes;
    glBlendFuncSeparatei(index, src, dst, srcA, dstA);
}

void GlCache::BlendEquationSeparate(GLuint index, GLenum rgb, GLenum alpha)
{
    BlendSlot& b = blend_[index];
    if (b.eq == rgb && b.eqA == alpha)
        return;
    b.eq = rgb;
    b.eqA = alpha;
    ++changes;
    glBlendEquationSeparatei(index, rgb, alpha);
}

void GlCache::BlendColor(const float c[4])
{
    if (std::memcmp(blendColor_, c, sizeof blendColor_) == 0)
        return;
    std::memcpy(blendColor_, c, sizeof blendColor_);
    ++changes;
    glBlendColor(c[0], c[1], c[2], c[3]);
}

void GlCache::SampleMask(GLuint mask)
{
    Enable(GL_SAMPLE_MASK, mask != 0xffffffffu);
    if (mask == 0xffffffffu)
        return;
    if (sampleMaskKnown_ && sampleMask_ == mask)
        return;
    sampleMask_ = mask;
    sampleMaskKnown_ = true;
    ++changes;
    glSampleMaski(0, mask);
}

void GlCache::PixelStore(GLenum name, GLint value)
{
    for (auto& p : pixelStore_)
        if (p.first == name) {
            if (p.second == value)
                return;
            p.second = value;
            ++changes;
            glPixelStorei(name, value);
            return;
        }
    pixelStore_.push_back({name, value});
    ++changes;
    glPixelStorei(name, value);
}

void GlCache::ForgetTexture(GLuint texture)
{
    for (GLuint& t : textures_)
        if (t == texture)
            t = 0;
    for (Image& i : images_)
        if (i.texture == texture)
            i.texture = 0xffffffffu;
}

void GlCache::ForgetSampler(GLuint sampler)
{
    for (GLuint& s : samplers_)
        if (s == sampler)
            s = 0;
}

void GlCache::ForgetProgram(GLuint program)
{
    if (stageVs_ == program)
        UseProgramStages(GL_VERTEX_SHADER_BIT, 0);
    if (stageFs_ == program)
        UseProgramStages(GL_FRAGMENT_SHADER_BIT, 0);
    if (stageCs_ == program)
        UseProgramStages(GL_COMPUTE_SHADER_BIT, 0);
}

}  // namespace gfx
