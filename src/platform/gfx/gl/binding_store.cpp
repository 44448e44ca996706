// The immediate context's slots.
#include "platform/gfx/gl/binding_store.h"

namespace gfx {

namespace {

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

template <class T>
void ReleaseOne(T*& slot)
{
    SetRef(slot, static_cast<T*>(nullptr));
}

}  // namespace

void BindingStore::SetConstantBuffers(StageBindings& s, UINT start, UINT n, ID3D11Buffer* const* buffers)
{
    SetRange(s.cb, start, n, buffers);
}

void BindingStore::SetShaderResources(StageBindings& s, UINT start, UINT n, ID3D11ShaderResourceView* const* views)
{
    for (UINT i = 0, count = SlotsInRange(start, n, kSrvSlots); i < count; ++i) {
        auto* view = views ? static_cast<SrvImpl*>(views[i]) : nullptr;
        if (view && IsBoundTarget(view->resource))
            view = nullptr;
        SetRef(s.srv[start + i], view);
    }
}

void BindingStore::SetSamplers(StageBindings& s, UINT start, UINT n, ID3D11SamplerState* const* samplers)
{
    SetRange(s.samplers, start, n, samplers);
}

void BindingStore::SetUnorderedAccessViews(UINT start, UINT n, ID3D11UnorderedAccessView* const* views)
{
    SetRange(csUav, start, n, views);
}

void BindingStore::SetRenderTargets(UINT n, ID3D11RenderTargetView* const* views, ID3D11DepthStencilView* depth)
{
    for (UINT i = 0; i < kTargets; ++i)
        SetRef(rtv[i], i < n && views ? static_cast<RtvImpl*>(views[i]) : nullptr);
    SetRef(dsv, static_cast<DsvImpl*>(depth));
    for (StageBindings* s : {&vs, &ps, &cs})
        for (SrvImpl*& v : s->srv)
            if (v && IsBoundTarget(v->resource))
                ReleaseOne(v);
}

void BindingStore::SetViewports(UINT n, const D3D11_VIEWPORT* v)
{
    numViewports = v ? std::min(n, kViewports) : 0;
    for (UINT i = 0; i < numViewports; ++i)
        viewports[i] = v[i];
}

void BindingStore::SetScissorRects(UINT n, const D3D11_RECT* r)
{
    numScissors = r ? std::min(n, kViewports) : 0;
    for (UINT i = 0; i < numScissors; ++i)
        scissors[i] = r[i];
}

void BindingStore::SetBlendState(ID3D11BlendState* s, const FLOAT factor[4], UINT mask)
{
    SetRef(blend, static_cast<BlendImpl*>(s));
    for (int i = 0; i < 4; ++i)
        blendFactor[i] = factor ? factor[i] : 1.0f;
    sampleMask = mask;
}

void BindingStore::SetDepthStencilState(ID3D11DepthStencilState* s, UINT ref)
{
    SetRef(depthStencil, static_cast<DepthStencilImpl*>(s));
    stencilRef = ref;
}

bool BindingStore::IsBoundTarget(ID3D11Resource* r) const
{
    for (RtvImpl* v : rtv)
        if (v && v->resource == r)
            return true;
    return dsv && dsv->resource == r;
}

void BindingStore::Clear()
{
    for (StageBindings* s : {&vs, &ps, &cs}) {
        ReleaseAll(s->cb);
        ReleaseAll(s->srv);
        ReleaseAll(s->samplers);
    }
    ReleaseOne(vsShader);
    ReleaseOne(psShader);
    ReleaseOne(csShader);
    ReleaseAll(csUav);
    ReleaseOne(rasterizer);
    numViewports = 0;
    numScissors = 0;
    ReleaseAll(rtv);
    ReleaseOne(dsv);
    ReleaseOne(blend);
    for (float& f : blendFactor)
        f = 1.0f;
    sampleMask = 0xffffffffu;
    ReleaseOne(depthStencil);
    stencilRef = 0;
}

}  // namespace gfx
