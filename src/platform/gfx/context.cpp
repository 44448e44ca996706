// The immediate context: Direct3D's bindings kept as they are set, turned into
// GL state at each draw, dispatch or clear through the state cache.
#include <algorithm>

#include "platform/gfx/gl_context.h"

namespace gfx {

GLenum CompareFunc(D3D11_COMPARISON_FUNC f);

namespace {

constexpr UINT kSrvSlots = D3D11_COMMONSHADER_INPUT_RESOURCE_SLOT_COUNT;
constexpr UINT kCbSlots = D3D11_COMMONSHADER_CONSTANT_BUFFER_API_SLOT_COUNT;
constexpr UINT kSamplerSlots = D3D11_COMMONSHADER_SAMPLER_SLOT_COUNT;
constexpr UINT kUavSlots = D3D11_PS_CS_UAV_REGISTER_COUNT;
constexpr UINT kVbSlots = D3D11_IA_VERTEX_INPUT_RESOURCE_SLOT_COUNT;
constexpr UINT kViewports = D3D11_VIEWPORT_AND_SCISSORRECT_OBJECT_COUNT_PER_PIPELINE;
constexpr UINT kTargets = D3D11_SIMULTANEOUS_RENDER_TARGET_COUNT;

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

GLenum Topology(D3D11_PRIMITIVE_TOPOLOGY t)
{
    switch (t) {
    case D3D11_PRIMITIVE_TOPOLOGY_POINTLIST: return GL_POINTS;
    case D3D11_PRIMITIVE_TOPOLOGY_LINELIST: return GL_LINES;
    case D3D11_PRIMITIVE_TOPOLOGY_LINESTRIP: return GL_LINE_STRIP;
    case D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST: return GL_TRIANGLES;
    case D3D11_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP: return GL_TRIANGLE_STRIP;
    default: return 0;
    }
}

// How many of count slots from start exist among n; a start past the end (or near
// UINT's top, where start + i would wrap to slot 0) binds nothing.
UINT SlotsInRange(UINT start, UINT count, std::size_t n)
{
    return start < n ? UINT(std::min<std::size_t>(count, n - start)) : 0;
}

// Binds values (null: empties) to slots from start, holding a reference to each.
template <class T, std::size_t N, class I>
void SetRange(std::array<T*, N>& slots, UINT start, UINT count, I* const* values)
{
    for (UINT i = 0, n = SlotsInRange(start, count, N); i < n; ++i)
        SetRef(slots[start + i], values ? static_cast<T*>(values[i]) : nullptr);
}

template <class T, std::size_t N>
void ReleaseAll(std::array<T*, N>& slots)
{
    for (T*& p : slots)
        SetRef(p, static_cast<T*>(nullptr));
}

}  // namespace

class ContextImpl final : public Child<ID3D11DeviceContext> {
public:
    explicit ContextImpl(DeviceImpl& device) : Child(device.core), device_(device) { viewportsOrScissorsUnset(); }
    ~ContextImpl() override { ClearState(); }

    // The immediate context lives and dies with its device.
    ULONG AddRef() override { return device_.AddRef(); }
    ULONG Release() override { return device_.Release(); }
    bool Matches(REFIID riid) override { return riid == IID_ID3D11DeviceContext; }

    // ---- bindings ----

    void VSSetConstantBuffers(UINT s, UINT n, ID3D11Buffer* const* b) override { SetBuffers(vs_, s, n, b); }
    void PSSetConstantBuffers(UINT s, UINT n, ID3D11Buffer* const* b) override { SetBuffers(ps_, s, n, b); }
    void CSSetConstantBuffers(UINT s, UINT n, ID3D11Buffer* const* b) override { SetBuffers(cs_, s, n, b); }
    void VSSetShaderResources(UINT s, UINT n, ID3D11ShaderResourceView* const* v) override { SetViews(vs_, s, n, v); }
    void PSSetShaderResources(UINT s, UINT n, ID3D11ShaderResourceView* const* v) override { SetViews(ps_, s, n, v); }
    void CSSetShaderResources(UINT s, UINT n, ID3D11ShaderResourceView* const* v) override { SetViews(cs_, s, n, v); }
    void VSSetSamplers(UINT s, UINT n, ID3D11SamplerState* const* p) override { SetSamplers(vs_, s, n, p); }
    void PSSetSamplers(UINT s, UINT n, ID3D11SamplerState* const* p) override { SetSamplers(ps_, s, n, p); }
    void CSSetSamplers(UINT s, UINT n, ID3D11SamplerState* const* p) override { SetSamplers(cs_, s, n, p); }

    void VSSetShader(ID3D11VertexShader* shader, ID3D11ClassInstance* const*, UINT) override
    {
        SetRef(vsShader_, static_cast<VertexShaderImpl*>(shader));
    }
    void PSSetShader(ID3D11PixelShader* shader, ID3D11ClassInstance* const*, UINT) override
    {
        SetRef(psShader_, static_cast<PixelShaderImpl*>(shader));
    }
    void CSSetShader(ID3D11ComputeShader* shader, ID3D11ClassInstance* const*, UINT) override
    {
        SetRef(csShader_, static_cast<ComputeShaderImpl*>(shader));
    }
    void GSSetShader(ID3D11GeometryShader*, ID3D11ClassInstance* const*, UINT) override {}
    void HSSetShader(ID3D11HullShader*, ID3D11ClassInstance* const*, UINT) override {}
    void DSSetShader(ID3D11DomainShader*, ID3D11ClassInstance* const*, UINT) override {}

    void CSSetUnorderedAccessViews(UINT s, UINT n, ID3D11UnorderedAccessView* const* v, const UINT*) override
    {
        SetRange(csUav_, s, n, v);
    }

    void IASetInputLayout(ID3D11InputLayout* layout) override
    {
        SetRef(layout_, static_cast<InputLayoutImpl*>(layout));
    }
    void IASetVertexBuffers(UINT s, UINT n, ID3D11Buffer* const* b, const UINT* strides, const UINT* offsets) override
    {
        for (UINT i = 0, count = SlotsInRange(s, n, kVbSlots); i < count; ++i) {
            Vb& slot = vb_[s + i];
            SetRef(slot.buffer, b ? static_cast<BufferImpl*>(b[i]) : nullptr);
            slot.stride = strides ? strides[i] : 0;
            slot.offset = offsets ? offsets[i] : 0;
        }
    }
    void IASetIndexBuffer(ID3D11Buffer* b, DXGI_FORMAT format, UINT offset) override
    {
        SetRef(ib_, static_cast<BufferImpl*>(b));
        ibFormat_ = format;
        ibOffset_ = offset;
    }
    void IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY t) override { topology_ = t; }

    void RSSetState(ID3D11RasterizerState* s) override { SetRef(rs_, static_cast<RasterizerImpl*>(s)); }
    void RSSetViewports(UINT n, const D3D11_VIEWPORT* v) override
    {
        numViewports_ = v ? std::min(n, kViewports) : 0;
        for (UINT i = 0; i < numViewports_; ++i)
            viewports_[i] = v[i];
    }
    void RSSetScissorRects(UINT n, const D3D11_RECT* r) override
    {
        numScissors_ = r ? std::min(n, kViewports) : 0;
        for (UINT i = 0; i < numScissors_; ++i)
            scissors_[i] = r[i];
    }

    void OMSetRenderTargets(UINT n, ID3D11RenderTargetView* const* views, ID3D11DepthStencilView* dsv) override
    {
        for (UINT i = 0; i < kTargets; ++i)
            SetRef(rtv_[i], i < n && views ? static_cast<RtvImpl*>(views[i]) : nullptr);
        SetRef(dsv_, static_cast<DsvImpl*>(dsv));
        // As Direct3D does: a resource bound for writing leaves the shader-resource slots.
        for (Stage* s : {&vs_, &ps_, &cs_})
            for (SrvImpl*& v : s->srv)
                if (v && IsBoundTarget(v->resource))
                    SetRef(v, static_cast<SrvImpl*>(nullptr));
    }
    void OMSetBlendState(ID3D11BlendState* s, const FLOAT factor[4], UINT mask) override
    {
        SetRef(blend_, static_cast<BlendImpl*>(s));
        for (int i = 0; i < 4; ++i)
            blendFactor_[i] = factor ? factor[i] : 1.0f;
        sampleMask_ = mask;
    }
    void OMSetDepthStencilState(ID3D11DepthStencilState* s, UINT ref) override
    {
        SetRef(dss_, static_cast<DepthStencilImpl*>(s));
        stencilRef_ = ref;
    }

    // ---- work ----

    void Draw(UINT count, UINT start) override
    {
        GLenum mode = PrepareDraw();
        if (!mode)
            return;
        glDrawArrays(mode, GLint(start), GLsizei(count));
    }
    void DrawIndexed(UINT count, UINT start, INT base) override
    {
        GLenum mode = PrepareDraw();
        GLenum type = 0;
        std::uintptr_t offset = 0;
        if (!mode || !IndexRange(count, start, type, offset))
            return;
        glDrawElementsBaseVertex(mode, GLsizei(count), type, reinterpret_cast<const void*>(offset), base);
    }
    void DrawInstanced(UINT count, UINT instances, UINT start, UINT startInstance) override
    {
        GLenum mode = PrepareDraw();
        if (!mode)
            return;
        glDrawArraysInstancedBaseInstance(mode, GLint(start), GLsizei(count), GLsizei(instances), startInstance);
    }
    void DrawIndexedInstanced(UINT count, UINT instances, UINT start, INT base, UINT startInstance) override
    {
        GLenum mode = PrepareDraw();
        GLenum type = 0;
        std::uintptr_t offset = 0;
        if (!mode || !IndexRange(count, start, type, offset))
            return;
        glDrawElementsInstancedBaseVertexBaseInstance(mode, GLsizei(count), type, reinterpret_cast<const void*>(offset),
                                                      GLsizei(instances), base, startInstance);
    }

    // The bound index buffer's type and the byte offset of index start; count cut to the
    // indices the buffer holds, as GL would read past its end. False when none are left.
    bool IndexRange(UINT& count, UINT start, GLenum& type, std::uintptr_t& offset) const
    {
        if (!ib_ || !ib_->gl)
            return false;
        type = ibFormat_ == DXGI_FORMAT_R16_UINT ? GL_UNSIGNED_SHORT : GL_UNSIGNED_INT;
        std::uint64_t size = type == GL_UNSIGNED_SHORT ? 2 : 4;
        std::uint64_t begin = std::uint64_t(ibOffset_) + std::uint64_t(start) * size;
        if (begin >= ib_->desc.ByteWidth)
            return false;
        count = UINT(std::min<std::uint64_t>(count, (ib_->desc.ByteWidth - begin) / size));
        offset = std::uintptr_t(begin);
        return count != 0;
    }

    void Dispatch(UINT x, UINT y, UINT z) override
    {
        core_->MakeCurrent();
        if (!csShader_ || x == 0 || y == 0 || z == 0)
            return;
        GlCache& c = core_->cache;
        Program& p = *csShader_->program;
        c.UseProgramStages(GL_COMPUTE_SHADER_BIT, p.variants[0].gl);
        UploadConstants(p.variants[0], cs_);
        BindTextures(p, cs_, false);
        for (const ImageInfo& img : p.info.images) {
            UavImpl* u = img.slot < kUavSlots ? csUav_[img.slot] : nullptr;
            if (u)
                c.BindImage(img.slot, u->texture, u->level, u->layered, u->layer, img.format ? img.format : u->format);
            else
                c.BindImage(img.slot, 0, 0, false, 0, img.format ? img.format : GL_R32F);
        }
        glDispatchCompute(x, y, z);
        // Direct3D orders work on a context by itself.
        glMemoryBarrier(GL_ALL_BARRIER_BITS);
    }

    HRESULT Map(ID3D11Resource* resource, UINT sub, D3D11_MAP type, UINT, D3D11_MAPPED_SUBRESOURCE* out) override
    {
        if (!out)
            return E_INVALIDARG;
        *out = {};
        bool reads = type == D3D11_MAP_READ || type == D3D11_MAP_READ_WRITE;
        bool writes = type != D3D11_MAP_READ;
        if (BufferImpl* b = AsBuffer(resource)) {
            if (sub != 0 || b->mapped)
                return E_INVALIDARG;
            if ((reads && !(b->desc.CPUAccessFlags & D3D11_CPU_ACCESS_READ)) ||
                (writes && !(b->desc.CPUAccessFlags & D3D11_CPU_ACCESS_WRITE)))
                return E_INVALIDARG;
            bool discardOk = b->desc.Usage == D3D11_USAGE_DYNAMIC;
            if ((type == D3D11_MAP_WRITE_DISCARD || type == D3D11_MAP_WRITE_NO_OVERWRITE) != discardOk)
                return E_INVALIDARG;
            b->mapped = true;
            mapDiscard_ = type == D3D11_MAP_WRITE_DISCARD;
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
        if (!t || sub >= t->SubresourceCount() || t->cpu.empty())
            return E_INVALIDARG;
        if ((reads && !(t->desc.CPUAccessFlags & D3D11_CPU_ACCESS_READ)) ||
            (writes && !(t->desc.CPUAccessFlags & D3D11_CPU_ACCESS_WRITE)))
            return E_INVALIDARG;
        if ((type == D3D11_MAP_WRITE_DISCARD) != (t->desc.Usage == D3D11_USAGE_DYNAMIC))
            return E_INVALIDARG;
        UINT level = sub % t->desc.MipLevels;
        out->pData = t->cpu[sub].data();
        out->RowPitch = t->LevelWidth(level) * t->fmt->bytes;
        out->DepthPitch = out->RowPitch * t->LevelHeight(level);
        return S_OK;
    }

    void Unmap(ID3D11Resource* resource, UINT sub) override
    {
        if (BufferImpl* b = AsBuffer(resource)) {
            if (!b->mapped)
                return;
            b->mapped = false;
            if (!b->gl && (b->desc.BindFlags & D3D11_BIND_CONSTANT_BUFFER)) {
                b->CommitConstants(b->mapArea.data());
            } else if (b->gl && b->desc.Usage == D3D11_USAGE_DYNAMIC) {
                core_->MakeCurrent();
                if (mapDiscard_)
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

    void UpdateSubresource(ID3D11Resource* dst, UINT sub, const D3D11_BOX* box, const void* data, UINT rowPitch,
                           UINT) override
    {
        if (!data)
            return;
        core_->MakeCurrent();
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

    void CopyResource(ID3D11Resource* dst, ID3D11Resource* src) override
    {
        if (!dst || !src || dst == src)
            return;
        core_->MakeCurrent();
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

    void ResolveSubresource(ID3D11Resource* dst, UINT dstSub, ID3D11Resource* src, UINT srcSub, DXGI_FORMAT) override
    {
        TextureImpl* d = AsTexture(dst);
        TextureImpl* s = AsTexture(src);
        if (!d || !s || !d->gl || !s->gl)
            return;
        core_->MakeCurrent();
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
        core_->cache.Enable(GL_SCISSOR_TEST, false);
        GLint w = GLint(d->LevelWidth(dstSub % d->desc.MipLevels)),
              h = GLint(d->LevelHeight(dstSub % d->desc.MipLevels));
        glBlitNamedFramebuffer(fbos[0], fbos[1], 0, 0, w, h, 0, 0, w, h, GL_COLOR_BUFFER_BIT, GL_NEAREST);
        glDeleteFramebuffers(2, fbos);
    }

    void GenerateMips(ID3D11ShaderResourceView* view) override
    {
        auto* v = static_cast<SrvImpl*>(view);
        if (!v || v->target == GL_TEXTURE_BUFFER || v->target == GL_TEXTURE_2D_MULTISAMPLE ||
            v->target == GL_TEXTURE_2D_MULTISAMPLE_ARRAY)
            return;
        core_->MakeCurrent();
        glGenerateTextureMipmap(v->texture);
    }

    void ClearRenderTargetView(ID3D11RenderTargetView* view, const FLOAT color[4]) override
    {
        auto* v = static_cast<RtvImpl*>(view);
        if (!v || !color)
            return;
        core_->MakeCurrent();
        // Direct3D's clear ignores scissor and write masks.
        GlCache& c = core_->cache;
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

    void ClearDepthStencilView(ID3D11DepthStencilView* view, UINT flags, FLOAT depth, UINT8 stencil) override
    {
        auto* v = static_cast<DsvImpl*>(view);
        if (!v)
            return;
        core_->MakeCurrent();
        GlCache& c = core_->cache;
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

    void ClearUnorderedAccessViewFloat(ID3D11UnorderedAccessView* view, const FLOAT values[4]) override
    {
        ClearUav(static_cast<UavImpl*>(view), values, false);
    }
    void ClearUnorderedAccessViewUint(ID3D11UnorderedAccessView* view, const UINT values[4]) override
    {
        ClearUav(static_cast<UavImpl*>(view), values, true);
    }

    void ClearState() override
    {
        for (Stage* s : {&vs_, &ps_, &cs_}) {
            ReleaseAll(s->cb);
            ReleaseAll(s->srv);
            ReleaseAll(s->samplers);
        }
        SetRef(vsShader_, static_cast<VertexShaderImpl*>(nullptr));
        SetRef(psShader_, static_cast<PixelShaderImpl*>(nullptr));
        SetRef(csShader_, static_cast<ComputeShaderImpl*>(nullptr));
        ReleaseAll(csUav_);
        SetRef(layout_, static_cast<InputLayoutImpl*>(nullptr));
        for (Vb& v : vb_) {
            SetRef(v.buffer, static_cast<BufferImpl*>(nullptr));
            v.stride = v.offset = 0;
        }
        SetRef(ib_, static_cast<BufferImpl*>(nullptr));
        ibFormat_ = DXGI_FORMAT_UNKNOWN;
        ibOffset_ = 0;
        topology_ = D3D11_PRIMITIVE_TOPOLOGY_UNDEFINED;
        SetRef(rs_, static_cast<RasterizerImpl*>(nullptr));
        viewportsOrScissorsUnset();
        ReleaseAll(rtv_);
        SetRef(dsv_, static_cast<DsvImpl*>(nullptr));
        SetRef(blend_, static_cast<BlendImpl*>(nullptr));
        for (float& f : blendFactor_)
            f = 1.0f;
        sampleMask_ = 0xffffffffu;
        SetRef(dss_, static_cast<DepthStencilImpl*>(nullptr));
        stencilRef_ = 0;
    }

    void Flush() override
    {
        core_->MakeCurrent();
        glFlush();
    }

private:
    struct Stage {
        std::array<BufferImpl*, kCbSlots> cb{};
        std::array<SrvImpl*, kSrvSlots> srv{};
        std::array<SamplerImpl*, kSamplerSlots> samplers{};
    };
    struct Vb {
        BufferImpl* buffer = nullptr;
        UINT stride = 0;
        UINT offset = 0;
    };

    void viewportsOrScissorsUnset()
    {
        numViewports_ = 0;
        numScissors_ = 0;
    }

    void SetBuffers(Stage& s, UINT start, UINT n, ID3D11Buffer* const* b) { SetRange(s.cb, start, n, b); }
    void SetViews(Stage& s, UINT start, UINT n, ID3D11ShaderResourceView* const* v)
    {
        for (UINT i = 0, count = SlotsInRange(start, n, kSrvSlots); i < count; ++i) {
            auto* view = v ? static_cast<SrvImpl*>(v[i]) : nullptr;
            // A view of a resource bound as a target is refused (the slot is emptied).
            if (view && IsBoundTarget(view->resource))
                view = nullptr;
            SetRef(s.srv[start + i], view);
        }
    }
    void SetSamplers(Stage& s, UINT start, UINT n, ID3D11SamplerState* const* p) { SetRange(s.samplers, start, n, p); }

    // Whether a resource is written by the bound targets (then Direct3D does not let it be read).
    bool IsBoundTarget(ID3D11Resource* r) const
    {
        for (RtvImpl* v : rtv_)
            if (v && v->resource == r)
                return true;
        return dsv_ && dsv_->resource == r;
    }

    void UploadConstants(Program::Variant& p, Stage& s)
    {
        static thread_local std::vector<std::uint8_t> scratch;
        for (Program::Constants& k : p.constants) {
            BufferImpl* b = k.slot < kCbSlots ? s.cb[k.slot] : nullptr;
            if (b && b->cpu.empty())
                b = nullptr;  // not a constant buffer
            std::uint64_t version = b ? b->version : 0;
            if (k.uploaded == version)
                continue;
            k.uploaded = version;
            std::size_t want = std::size_t(k.vectors) * 16;
            const std::uint8_t* bytes;
            if (b && b->cpu.size() >= want) {
                bytes = b->cpu.data();
            } else {
                // Past the end of a small buffer, or with none bound, the shader reads zeros.
                scratch.assign(want, 0);
                if (b)
                    std::memcpy(scratch.data(), b->cpu.data(), b->cpu.size());
                bytes = scratch.data();
            }
            // Another buffer (the intro makes its blocks anew every frame) may hold the same bytes.
            if (k.bytes.size() == want && std::memcmp(k.bytes.data(), bytes, want) == 0)
                continue;
            k.bytes.assign(bytes, bytes + want);
            glProgramUniform4fv(p.gl, k.location, k.vectors, reinterpret_cast<const GLfloat*>(bytes));
            ++core_->uniformUploads;
        }
    }

    void BindTextures(Program& p, Stage& s, bool checkTargets)
    {
        GlCache& c = core_->cache;
        for (const SamplerPair& pair : p.info.samplers) {
            SrvImpl* v =
                pair.textureSlot >= 0 && UINT(pair.textureSlot) < kSrvSlots ? s.srv[pair.textureSlot] : nullptr;
            GLuint texture;
            if (v && v->target == pair.target && !(checkTargets && IsBoundTarget(v->resource)))
                texture = v->texture;
            else
                texture = core_->ZeroTexture(pair.target);
            c.BindTextureUnit(pair.unit, texture, pair.target);
            SamplerImpl* sm = pair.samplerSlot >= 0 && UINT(pair.samplerSlot) < kSamplerSlots
                                  ? s.samplers[pair.samplerSlot]
                                  : nullptr;
            c.BindSampler(pair.unit, sm ? sm->gl : core_->defaultSampler);
        }
    }

    GLenum PrepareDraw()
    {
        core_->MakeCurrent();
        GLenum mode = Topology(topology_);
        if (!mode || !vsShader_ || numViewports_ == 0)
            return 0;
        GlCache& c = core_->cache;
        const D3D11_BLEND_DESC& b = blend_ ? blend_->desc : defaultBlend_;
        // sRGB targets written without blending get the shader's exact encode;
        // the framebuffer follows the variant the program could give.
        std::uint32_t srgbMask = 0;
        Program::Variant* pixel = nullptr;
        if (psShader_) {
            for (UINT i = 0; i < kTargets; ++i)
                if (rtv_[i] && rtv_[i]->Srgb() && !b.RenderTarget[b.IndependentBlendEnable ? i : 0].BlendEnable)
                    srgbMask |= 1u << i;
            pixel = &psShader_->program->Get(srgbMask);
            srgbMask = pixel->srgbMask;
        }
        ApplyFramebuffer(srgbMask);

        for (UINT i = 0; i < numViewports_; ++i) {
            const D3D11_VIEWPORT& v = viewports_[i];
            const float rect[4] = {v.TopLeftX, v.TopLeftY, v.Width, v.Height};
            c.Viewport(i, rect);
            c.DepthRange(i, v.MinDepth, v.MaxDepth);
        }

        const D3D11_RASTERIZER_DESC& r = rs_ ? rs_->desc : defaultRasterizer_;
        c.PolygonMode(r.FillMode == D3D11_FILL_WIREFRAME ? GL_LINE : GL_FILL);
        c.CullFace(r.CullMode != D3D11_CULL_NONE, r.CullMode == D3D11_CULL_FRONT ? GL_FRONT : GL_BACK);
        // With the upper-left origin GL judges winding on screen as Direct3D does.
        c.FrontFace(r.FrontCounterClockwise ? GL_CCW : GL_CW);
        c.PolygonOffset(r.SlopeScaledDepthBias, float(r.DepthBias), r.DepthBiasClamp);
        c.Enable(GL_DEPTH_CLAMP, !r.DepthClipEnable);
        c.Enable(GL_SCISSOR_TEST, r.ScissorEnable != 0);
        if (r.ScissorEnable)
            for (UINT i = 0; i < numViewports_; ++i) {
                GLint rect[4] = {0, 0, 0, 0};
                if (i < numScissors_) {
                    const D3D11_RECT& s = scissors_[i];
                    rect[0] = s.left;
                    rect[1] = s.top;
                    rect[2] = std::max<LONG>(0, s.right - s.left);
                    rect[3] = std::max<LONG>(0, s.bottom - s.top);
                }
                c.Scissor(i, rect);
            }

        for (GLuint i = 0; i < kTargets; ++i) {
            const D3D11_RENDER_TARGET_BLEND_DESC& t = b.RenderTarget[b.IndependentBlendEnable ? i : 0];
            c.EnableIndexed(GL_BLEND, i, t.BlendEnable != 0);
            if (t.BlendEnable) {
                c.BlendFuncSeparate(i, BlendFactor(t.SrcBlend), BlendFactor(t.DestBlend), BlendFactor(t.SrcBlendAlpha),
                                    BlendFactor(t.DestBlendAlpha));
                c.BlendEquationSeparate(i, BlendOp(t.BlendOp), BlendOp(t.BlendOpAlpha));
            }
            // No pixel shader: nothing is written to the colour targets.
            c.ColorMask(i, psShader_ ? t.RenderTargetWriteMask : 0);
        }
        c.Enable(GL_SAMPLE_ALPHA_TO_COVERAGE, b.AlphaToCoverageEnable != 0);
        c.BlendColor(blendFactor_);
        c.SampleMask(sampleMask_);

        const D3D11_DEPTH_STENCIL_DESC& d = dss_ ? dss_->desc : defaultDepthStencil_;
        c.Enable(GL_DEPTH_TEST, d.DepthEnable != 0);
        if (d.DepthEnable) {
            c.DepthMask(d.DepthWriteMask == D3D11_DEPTH_WRITE_MASK_ALL);
            c.DepthFunc(CompareFunc(d.DepthFunc));
        }
        c.Enable(GL_STENCIL_TEST, d.StencilEnable != 0);
        if (d.StencilEnable) {
            c.StencilFuncSeparate(GL_FRONT, CompareFunc(d.FrontFace.StencilFunc), GLint(stencilRef_),
                                  d.StencilReadMask);
            c.StencilFuncSeparate(GL_BACK, CompareFunc(d.BackFace.StencilFunc), GLint(stencilRef_), d.StencilReadMask);
            c.StencilOpSeparate(GL_FRONT, StencilOp(d.FrontFace.StencilFailOp),
                                StencilOp(d.FrontFace.StencilDepthFailOp), StencilOp(d.FrontFace.StencilPassOp));
            c.StencilOpSeparate(GL_BACK, StencilOp(d.BackFace.StencilFailOp), StencilOp(d.BackFace.StencilDepthFailOp),
                                StencilOp(d.BackFace.StencilPassOp));
            c.StencilMask(d.StencilWriteMask, d.StencilWriteMask);
        }

        Program& vp = *vsShader_->program;
        c.UseProgramStages(GL_VERTEX_SHADER_BIT, vp.variants[0].gl);
        UploadConstants(vp.variants[0], vs_);
        BindTextures(vp, vs_, true);
        if (pixel) {
            c.UseProgramStages(GL_FRAGMENT_SHADER_BIT, pixel->gl);
            UploadConstants(*pixel, ps_);
            BindTextures(*psShader_->program, ps_, true);
        } else {
            c.UseProgramStages(GL_FRAGMENT_SHADER_BIT, 0);
        }

        ApplyInput();
        ++core_->draws;
        return mode;
    }

    void ApplyFramebuffer(std::uint32_t srgbMask)
    {
        Core::FboKey key;
        key.ids[9] = srgbMask;
        bool any = false;
        for (UINT i = 0; i < kTargets; ++i)
            if (rtv_[i]) {
                key.ids[i] = rtv_[i]->id;
                any = true;
            }
        if (dsv_) {
            key.ids[8] = dsv_->id;
            any = true;
        }
        GLuint fbo;
        auto it = core_->fbos.find(key);
        if (it != core_->fbos.end()) {
            fbo = it->second;
        } else {
            glCreateFramebuffers(1, &fbo);
            GLenum buffers[kTargets];
            GLsizei count = 0;
            for (UINT i = 0; i < kTargets; ++i) {
                buffers[i] = GL_NONE;
                if (rtv_[i]) {
                    if (srgbMask & (1u << i))
                        rtv_[i]->AttachLinear(fbo, GL_COLOR_ATTACHMENT0 + i);
                    else
                        rtv_[i]->Attach(fbo, GL_COLOR_ATTACHMENT0 + i);
                    buffers[i] = GL_COLOR_ATTACHMENT0 + i;
                    count = GLsizei(i + 1);
                }
            }
            if (dsv_)
                dsv_->Attach(fbo);
            glNamedFramebufferDrawBuffers(fbo, std::max<GLsizei>(count, 1), buffers);
            if (!any) {
                // Nothing bound: rasterise into nothing rather than the window.
                glNamedFramebufferParameteri(fbo, GL_FRAMEBUFFER_DEFAULT_WIDTH, 4096);
                glNamedFramebufferParameteri(fbo, GL_FRAMEBUFFER_DEFAULT_HEIGHT, 4096);
            }
            core_->fbos.emplace(key, fbo);
        }
        core_->cache.BindDrawFramebuffer(fbo);
    }

    void ApplyInput()
    {
        GlCache& c = core_->cache;
        GLuint vao = layout_ ? layout_->vao : core_->emptyVao;
        c.BindVertexArray(vao);
        InputLayoutImpl::Bound* bound = layout_ ? layout_->bound.data() : nullptr;
        if (layout_)
            for (UINT slot = 0; slot < kVbSlots; ++slot) {
                if (!(layout_->slotsUsed & (1u << slot)))
                    continue;
                const Vb& v = vb_[slot];
                GLuint buffer = v.buffer ? v.buffer->gl : 0;
                std::uint64_t id = v.buffer && buffer ? v.buffer->id : 0;
                InputLayoutImpl::Bound& cur = bound[slot];
                if (cur.known && cur.buffer == id && cur.offset == GLintptr(v.offset) &&
                    cur.stride == GLsizei(v.stride))
                    continue;
                cur = {id, GLintptr(v.offset), GLsizei(v.stride), true};
                glVertexArrayVertexBuffer(vao, slot, buffer, GLintptr(v.offset), GLsizei(v.stride));
                ++c.changes;
            }
        GLuint element = ib_ ? ib_->gl : 0;
        std::uint64_t elementId = ib_ && element ? ib_->id : 0;
        std::uint64_t& curElement = layout_ ? layout_->elementBuffer : emptyVaoElement_;
        if (curElement != elementId) {
            curElement = elementId;
            glVertexArrayElementBuffer(vao, element);
            ++c.changes;
        }
    }

    template <class Values>
    void ClearUav(UavImpl* u, const Values* values, bool asUint)
    {
        if (!u || !values)
            return;
        core_->MakeCurrent();
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
            layers = u->desc.Texture2DArray.ArraySize == UINT(-1) ? t->desc.ArraySize - first
                                                                  : u->desc.Texture2DArray.ArraySize;
        }
        glClearTexSubImage(t->gl, GLint(level), 0, 0, GLint(first), GLsizei(t->LevelWidth(level)),
                           GLsizei(t->LevelHeight(level)), GLsizei(layers), format, type, values);
    }

    DeviceImpl& device_;
    Stage vs_, ps_, cs_;
    VertexShaderImpl* vsShader_ = nullptr;
    PixelShaderImpl* psShader_ = nullptr;
    ComputeShaderImpl* csShader_ = nullptr;
    std::array<UavImpl*, kUavSlots> csUav_{};
    InputLayoutImpl* layout_ = nullptr;
    std::array<Vb, kVbSlots> vb_{};
    BufferImpl* ib_ = nullptr;
    DXGI_FORMAT ibFormat_ = DXGI_FORMAT_UNKNOWN;
    UINT ibOffset_ = 0;
    std::uint64_t emptyVaoElement_ = 0;
    D3D11_PRIMITIVE_TOPOLOGY topology_ = D3D11_PRIMITIVE_TOPOLOGY_UNDEFINED;
    RasterizerImpl* rs_ = nullptr;
    std::array<D3D11_VIEWPORT, kViewports> viewports_{};
    UINT numViewports_ = 0;
    std::array<D3D11_RECT, kViewports> scissors_{};
    UINT numScissors_ = 0;
    std::array<RtvImpl*, kTargets> rtv_{};
    DsvImpl* dsv_ = nullptr;
    BlendImpl* blend_ = nullptr;
    float blendFactor_[4] = {1, 1, 1, 1};
    UINT sampleMask_ = 0xffffffffu;
    DepthStencilImpl* dss_ = nullptr;
    UINT stencilRef_ = 0;
    bool mapDiscard_ = false;
    const D3D11_BLEND_DESC defaultBlend_ = DefaultBlendDesc();
    const D3D11_RASTERIZER_DESC defaultRasterizer_ = DefaultRasterizerDesc();
    const D3D11_DEPTH_STENCIL_DESC defaultDepthStencil_ = DefaultDepthStencilDesc();
};

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
