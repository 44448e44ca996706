#pragma once
// Inside the gfx layer: the views of resources (shader-resource, render-target, depth, unordered-access).
#include <cstdint>

#include "platform/gfx/gl/resources.h"

namespace gfx {

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
}  // namespace gfx
