// Maps, updates, copies, resolves and clears of resources on the immediate context.
#include "platform/gfx/gl/resource_transfers.h"

#include <algorithm>
#include <cstring>

namespace gfx {

namespace {
// The CPU access that a map of type needs and the resource was made without, in words; null when it has it.
const char* MissingAccess(D3D11_MAP type, UINT cpuAccess)
{
    bool reads = type == D3D11_MAP_READ || type == D3D11_MAP_READ_WRITE;
    bool writes = type != D3D11_MAP_READ;
    if (reads && !(cpuAccess & D3D11_CPU_ACCESS_READ))
        return "reads a resource made without D3D11_CPU_ACCESS_READ";
    if (writes && !(cpuAccess & D3D11_CPU_ACCESS_WRITE))
        return "writes a resource made without D3D11_CPU_ACCESS_WRITE";
    return nullptr;
}
}  // namespace

HRESULT MapResource(Core& core, ID3D11Resource* resource, UINT sub, D3D11_MAP type, D3D11_MAPPED_SUBRESOURCE* out,
                    bool& discard)
{
    const bool debug = core.debug;
    const char* call = "Map";
    if (!out)
        return Refuse(debug, call, "pMappedResource", "is null: there is nowhere to put the mapping");
    *out = {};
    if (BufferImpl* b = AsBuffer(resource)) {
        if (sub != 0)
            return Refuse(debug, call, "Subresource", "is not 0: a buffer has one subresource");
        if (b->mapped)
            return Refuse(debug, call, "pResource", "is mapped already: unmap it first");
        if (const char* missing = MissingAccess(type, b->desc.CPUAccessFlags))
            return Refuse(debug, call, "MapType", missing);
        bool discardOk = b->desc.Usage == D3D11_USAGE_DYNAMIC;
        if ((type == D3D11_MAP_WRITE_DISCARD || type == D3D11_MAP_WRITE_NO_OVERWRITE) != discardOk)
            return Refuse(
                debug, call, "MapType",
                discardOk ? "is not D3D11_MAP_WRITE_DISCARD or D3D11_MAP_WRITE_NO_OVERWRITE: the buffer is dynamic"
                          : "is D3D11_MAP_WRITE_DISCARD or D3D11_MAP_WRITE_NO_OVERWRITE: the buffer is not dynamic");
        b->mapped = true;
        discard = type == D3D11_MAP_WRITE_DISCARD;
        if (!b->gl && (b->desc.BindFlags & D3D11_BIND_CONSTANT_BUFFER)) {
            // Written apart, so that Unmap can tell whether the bytes changed.
            b->mapArea = b->cpu;
            out->pData = b->mapArea.data();
        } else {
            out->pData = b->cpu.data();
        }
        out->RowPitch = out->DepthPitch = b->desc.ByteWidth;
        return S_OK;
    }
    TextureImpl* t = AsTexture(resource);
    if (!t)
        return Refuse(debug, call, "pResource", "is null: there is nothing to map");
    if (sub >= t->SubresourceCount())
        return Refuse(debug, call, "Subresource", "is past the texture's last subresource");
    if (t->cpu.empty())
        return Refuse(debug, call, "pResource", "is not a staging or dynamic texture: only those map");
    if (const char* missing = MissingAccess(type, t->desc.CPUAccessFlags))
        return Refuse(debug, call, "MapType", missing);
    bool dynamic = t->desc.Usage == D3D11_USAGE_DYNAMIC;
    if ((type == D3D11_MAP_WRITE_DISCARD) != dynamic)
        return Refuse(debug, call, "MapType",
                      dynamic ? "is not D3D11_MAP_WRITE_DISCARD: the texture is dynamic"
                              : "is D3D11_MAP_WRITE_DISCARD: the texture is not dynamic");
    UINT level = sub % t->desc.MipLevels;
    out->pData = t->cpu[sub].data();
    out->RowPitch = t->LevelWidth(level) * t->fmt->bytes;
    out->DepthPitch = out->RowPitch * t->LevelHeight(level);
    return S_OK;
}

void UnmapResource(Core& core, ID3D11Resource* resource, UINT sub, bool discard)
{
    if (BufferImpl* b = AsBuffer(resource)) {
        if (!b->mapped)
            return;
        b->mapped = false;
        if (!b->gl && (b->desc.BindFlags & D3D11_BIND_CONSTANT_BUFFER)) {
            b->CommitConstants(b->mapArea.data());
        } else if (b->gl && b->desc.Usage == D3D11_USAGE_DYNAMIC) {
            core.MakeCurrent();
            if (discard)
                glNamedBufferData(b->gl, b->desc.ByteWidth, b->cpu.data(), GL_DYNAMIC_DRAW);
            else
                glNamedBufferSubData(b->gl, 0, b->desc.ByteWidth, b->cpu.data());
        }
        return;
    }
    TextureImpl* t = AsTexture(resource);
    if (t && t->gl && t->desc.Usage == D3D11_USAGE_DYNAMIC && sub < t->cpu.size()) {
        UINT level = sub % t->desc.MipLevels;
        t->Upload(sub, nullptr, t->cpu[sub].data(), t->LevelWidth(level) * t->fmt->bytes);
    }
}

void UpdateResource(Core& core, ID3D11Resource* dst, UINT sub, const D3D11_BOX* box, const void* data, UINT rowPitch)
{
    if (!data)
        return;
    core.MakeCurrent();
    if (BufferImpl* b = AsBuffer(dst)) {
        UINT left = box ? box->left : 0;
        UINT right = box ? std::min(box->right, b->desc.ByteWidth) : b->desc.ByteWidth;
        if (right <= left)
            return;
        if (b->gl) {
            glNamedBufferSubData(b->gl, left, right - left, data);
            if (!b->cpu.empty())
                std::memcpy(b->cpu.data() + left, data, right - left);
        } else {
            std::vector<std::uint8_t> bytes = b->cpu;
            std::memcpy(bytes.data() + left, data, right - left);
            b->CommitConstants(bytes.data());
        }
        return;
    }
    if (TextureImpl* t = AsTexture(dst))
        t->Upload(sub, box, data, rowPitch);
}

void CopyResourceContents(Core& core, ID3D11Resource* dst, ID3D11Resource* src)
{
    if (!dst || !src || dst == src)
        return;
    core.MakeCurrent();
    if (BufferImpl* d = AsBuffer(dst)) {
        BufferImpl* s = AsBuffer(src);
        if (!s || s->desc.ByteWidth != d->desc.ByteWidth)
            return;
        GLsizeiptr n = d->desc.ByteWidth;
        if (d->gl && s->gl) {
            glCopyNamedBufferSubData(s->gl, d->gl, 0, 0, n);
        } else if (d->gl) {
            glNamedBufferSubData(d->gl, 0, n, s->cpu.data());
        } else if (s->gl) {
            glGetNamedBufferSubData(s->gl, 0, n, d->cpu.data());
        } else if (d->desc.BindFlags & D3D11_BIND_CONSTANT_BUFFER) {
            d->CommitConstants(s->cpu.data());
        } else {
            std::memcpy(d->cpu.data(), s->cpu.data(), std::size_t(n));
        }
        if (d->gl && !d->cpu.empty())
            glGetNamedBufferSubData(d->gl, 0, n, d->cpu.data());
        return;
    }
    TextureImpl* d = AsTexture(dst);
    TextureImpl* s = AsTexture(src);
    // Subresource i must be the same level and slice on both sides, or the copy runs past the smaller one.
    if (!d || !s || d->desc.Width != s->desc.Width || d->desc.Height != s->desc.Height ||
        d->desc.MipLevels != s->desc.MipLevels || d->desc.ArraySize != s->desc.ArraySize ||
        d->fmt->bytes != s->fmt->bytes)
        return;
    if (!d->gl) {
        d->ReadBack(*s);
    } else if (!s->gl) {
        for (UINT i = 0; i < std::min(d->SubresourceCount(), s->SubresourceCount()); ++i)
            d->Upload(i, nullptr, s->cpu[i].data(), s->LevelWidth(i % s->desc.MipLevels) * s->fmt->bytes);
    } else {
        UINT levels = std::min(d->desc.MipLevels, s->desc.MipLevels);
        GLsizei layers = GLsizei(std::min(d->desc.ArraySize, s->desc.ArraySize));
        for (UINT l = 0; l < levels; ++l)
            glCopyImageSubData(s->gl, s->target, GLint(l), 0, 0, 0, d->gl, d->target, GLint(l), 0, 0, 0,
                               GLsizei(d->LevelWidth(l)), GLsizei(d->LevelHeight(l)), layers);
    }
}

void ResolveTexture(Core& core, ID3D11Resource* dst, UINT dstSub, ID3D11Resource* src, UINT srcSub)
{
    TextureImpl* d = AsTexture(dst);
    TextureImpl* s = AsTexture(src);
    if (!d || !s || !d->gl || !s->gl)
        return;
    core.MakeCurrent();
    GLuint fbos[2];
    glCreateFramebuffers(2, fbos);
    auto attach = [](GLuint fbo, TextureImpl& t, UINT sub) {
        UINT level = sub % t.desc.MipLevels, layer = sub / t.desc.MipLevels;
        if (t.target == GL_TEXTURE_2D_ARRAY || t.target == GL_TEXTURE_2D_MULTISAMPLE_ARRAY)
            glNamedFramebufferTextureLayer(fbo, GL_COLOR_ATTACHMENT0, t.gl, GLint(level), GLint(layer));
        else
            glNamedFramebufferTexture(fbo, GL_COLOR_ATTACHMENT0, t.gl, GLint(level));
    };
    attach(fbos[0], *s, srcSub);
    attach(fbos[1], *d, dstSub);
    glNamedFramebufferReadBuffer(fbos[0], GL_COLOR_ATTACHMENT0);
    glNamedFramebufferDrawBuffer(fbos[1], GL_COLOR_ATTACHMENT0);
    core.cache.Enable(GL_SCISSOR_TEST, false);
    GLint w = GLint(d->LevelWidth(dstSub % d->desc.MipLevels)), h = GLint(d->LevelHeight(dstSub % d->desc.MipLevels));
    glBlitNamedFramebuffer(fbos[0], fbos[1], 0, 0, w, h, 0, 0, w, h, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glDeleteFramebuffers(2, fbos);
}

void GenerateMipChain(Core& core, ID3D11ShaderResourceView* view)
{
    auto* v = static_cast<SrvImpl*>(view);
    if (!v || v->target == GL_TEXTURE_BUFFER || v->target == GL_TEXTURE_2D_MULTISAMPLE ||
        v->target == GL_TEXTURE_2D_MULTISAMPLE_ARRAY)
        return;
    core.MakeCurrent();
    glGenerateTextureMipmap(v->texture);
}

void ClearTarget(Core& core, ID3D11RenderTargetView* view, const FLOAT color[4])
{
    auto* v = static_cast<RtvImpl*>(view);
    if (!v || !color)
        return;
    core.MakeCurrent();
    // Direct3D's clear ignores scissor and write masks.
    GlCache& c = core.cache;
    c.Enable(GL_SCISSOR_TEST, false);
    c.ColorMask(0, 0xF);
    GLuint fbo = v->ClearFbo();
    if (v->fmt->integer) {
        bool isSigned = v->fmt->type == GL_INT || v->fmt->type == GL_SHORT || v->fmt->type == GL_BYTE;
        if (isSigned) {
            GLint iv[4] = {GLint(color[0]), GLint(color[1]), GLint(color[2]), GLint(color[3])};
            glClearNamedFramebufferiv(fbo, GL_COLOR, 0, iv);
        } else {
            GLuint uv[4] = {GLuint(color[0]), GLuint(color[1]), GLuint(color[2]), GLuint(color[3])};
            glClearNamedFramebufferuiv(fbo, GL_COLOR, 0, uv);
        }
    } else {
        glClearNamedFramebufferfv(fbo, GL_COLOR, 0, color);
    }
}

void ClearDepth(Core& core, ID3D11DepthStencilView* view, UINT flags, FLOAT depth, UINT8 stencil)
{
    auto* v = static_cast<DsvImpl*>(view);
    if (!v)
        return;
    core.MakeCurrent();
    GlCache& c = core.cache;
    c.Enable(GL_SCISSOR_TEST, false);
    c.DepthMask(true);
    c.StencilMask(0xff, 0xff);
    GLuint fbo = v->ClearFbo();
    bool hasStencil = v->texture->fmt->stencil;
    bool clearDepth = flags & D3D11_CLEAR_DEPTH, clearStencil = (flags & D3D11_CLEAR_STENCIL) && hasStencil;
    if (clearDepth && clearStencil) {
        glClearNamedFramebufferfi(fbo, GL_DEPTH_STENCIL, 0, depth, stencil);
    } else if (clearDepth) {
        glClearNamedFramebufferfv(fbo, GL_DEPTH, 0, &depth);
    } else if (clearStencil) {
        GLint s = stencil;
        glClearNamedFramebufferiv(fbo, GL_STENCIL, 0, &s);
    }
}

void ClearUnordered(Core& core, ID3D11UnorderedAccessView* view, const void* values, bool asUint)
{
    auto* u = static_cast<UavImpl*>(view);
    if (!u || !values)
        return;
    core.MakeCurrent();
    GLenum format = asUint || u->fmt->integer ? GL_RGBA_INTEGER : GL_RGBA;
    GLenum type = asUint ? GL_UNSIGNED_INT : GL_FLOAT;
    if (!asUint && u->fmt->integer)
        return;  // a float clear of an integer view has no defined bits
    if (BufferImpl* b = AsBuffer(u->resource)) {
        GLintptr first = GLintptr(u->desc.Buffer.FirstElement) * u->fmt->bytes;
        GLsizeiptr size = GLsizeiptr(u->desc.Buffer.NumElements) * u->fmt->bytes;
        glClearNamedBufferSubData(b->gl, u->fmt->internal, first, size, format, type, values);
        return;
    }
    TextureImpl* t = AsTexture(u->resource);
    if (!t)
        return;
    UINT level = u->desc.ViewDimension == D3D11_UAV_DIMENSION_TEXTURE2DARRAY ? u->desc.Texture2DArray.MipSlice
                                                                             : u->desc.Texture2D.MipSlice;
    UINT first = 0, layers = 1;
    if (u->desc.ViewDimension == D3D11_UAV_DIMENSION_TEXTURE2DARRAY) {
        first = u->desc.Texture2DArray.FirstArraySlice;
        layers =
            u->desc.Texture2DArray.ArraySize == UINT(-1) ? t->desc.ArraySize - first : u->desc.Texture2DArray.ArraySize;
    }
    glClearTexSubImage(t->gl, GLint(level), 0, 0, GLint(first), GLsizei(t->LevelWidth(level)),
                       GLsizei(t->LevelHeight(level)), GLsizei(layers), format, type, values);
}

}  // namespace gfx
