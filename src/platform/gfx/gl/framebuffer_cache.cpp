// Framebuffers by attachment set: render-target and depth views to FBOs.
#include "platform/gfx/gl/framebuffer_cache.h"

#include <algorithm>

#include "platform/gfx/gl/gl_objects.h"

namespace gfx {

void FramebufferCache::Bind(GlCache& cache, const std::array<RtvImpl*, kTargets>& targets, DsvImpl* depth,
                            std::uint32_t srgbMask)
{
    Key key;
    key.ids[kTargets + 1] = srgbMask;
    bool any = false;
    for (std::size_t i = 0; i < kTargets; ++i)
        if (targets[i]) {
            key.ids[i] = targets[i]->id;
            any = true;
        }
    if (depth) {
        key.ids[kTargets] = depth->id;
        any = true;
    }
    GLuint fbo;
    auto it = fbos_.find(key);
    if (it != fbos_.end()) {
        fbo = it->second;
    } else {
        glCreateFramebuffers(1, &fbo);
        GLenum buffers[kTargets];
        GLsizei count = 0;
        for (std::size_t i = 0; i < kTargets; ++i) {
            buffers[i] = GL_NONE;
            if (targets[i]) {
                GLenum attachment = GLenum(GL_COLOR_ATTACHMENT0 + i);
                if (srgbMask & (1u << i))
                    targets[i]->AttachLinear(fbo, attachment);
                else
                    targets[i]->Attach(fbo, attachment);
                buffers[i] = attachment;
                count = GLsizei(i + 1);
            }
        }
        if (depth)
            depth->Attach(fbo);
        glNamedFramebufferDrawBuffers(fbo, std::max<GLsizei>(count, 1), buffers);
        if (!any) {
            // Nothing bound: rasterise into nothing rather than the window.
            glNamedFramebufferParameteri(fbo, GL_FRAMEBUFFER_DEFAULT_WIDTH, 4096);
            glNamedFramebufferParameteri(fbo, GL_FRAMEBUFFER_DEFAULT_HEIGHT, 4096);
        }
        fbos_.emplace(key, fbo);
    }
    cache.BindDrawFramebuffer(fbo);
}

void FramebufferCache::Forget(std::uint64_t viewId, GlCache& cache)
{
    for (auto it = fbos_.begin(); it != fbos_.end();) {
        bool uses = false;
        for (auto id : it->first.ids)
            uses |= id == viewId;
        if (uses) {
            // A cached binding of this name would otherwise survive its deletion.
            cache.BindDrawFramebuffer(0);
            glDeleteFramebuffers(1, &it->second);
            it = fbos_.erase(it);
        } else {
            ++it;
        }
    }
}

void FramebufferCache::DeleteAll()
{
    for (auto& f : fbos_)
        glDeleteFramebuffers(1, &f.second);
    fbos_.clear();
}

}  // namespace gfx
