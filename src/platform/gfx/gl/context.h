#pragma once
// Inside the gfx layer: the immediate context. Direct3D's bindings are kept as they are
// set (binding store, input assembly) and turned into GL state at each draw, dispatch or
// clear (state applier, framebuffer cache, shader bindings) through the state cache.
#include "platform/gfx/gl/binding_store.h"
#include "platform/gfx/gl/device.h"
#include "platform/gfx/gl/input_assembly.h"
#include "platform/gfx/gl/resource_transfers.h"
#include "platform/gfx/gl/state_applier.h"

namespace gfx {

class ContextImpl final : public Child<ID3D11DeviceContext> {
public:
    explicit ContextImpl(DeviceImpl& device) : Child(device.core), device_(device) {}
    ~ContextImpl() override { ClearState(); }

    // The immediate context lives and dies with its device.
    ULONG AddRef() override { return device_.AddRef(); }
    ULONG Release() override { return device_.Release(); }
    bool Matches(REFIID riid) override { return riid == IID_ID3D11DeviceContext; }

    // ---- bindings ----

    void VSSetConstantBuffers(UINT s, UINT n, ID3D11Buffer* const* b) override
    {
        bindings_.SetConstantBuffers(bindings_.vs, s, n, b);
    }
    void PSSetConstantBuffers(UINT s, UINT n, ID3D11Buffer* const* b) override
    {
        bindings_.SetConstantBuffers(bindings_.ps, s, n, b);
    }
    void CSSetConstantBuffers(UINT s, UINT n, ID3D11Buffer* const* b) override
    {
        bindings_.SetConstantBuffers(bindings_.cs, s, n, b);
    }
    void VSSetShaderResources(UINT s, UINT n, ID3D11ShaderResourceView* const* v) override
    {
        bindings_.SetShaderResources(bindings_.vs, s, n, v);
    }
    void PSSetShaderResources(UINT s, UINT n, ID3D11ShaderResourceView* const* v) override
    {
        bindings_.SetShaderResources(bindings_.ps, s, n, v);
    }
    void CSSetShaderResources(UINT s, UINT n, ID3D11ShaderResourceView* const* v) override
    {
        bindings_.SetShaderResources(bindings_.cs, s, n, v);
    }
    void VSSetSamplers(UINT s, UINT n, ID3D11SamplerState* const* p) override
    {
        bindings_.SetSamplers(bindings_.vs, s, n, p);
    }
    void PSSetSamplers(UINT s, UINT n, ID3D11SamplerState* const* p) override
    {
        bindings_.SetSamplers(bindings_.ps, s, n, p);
    }
    void CSSetSamplers(UINT s, UINT n, ID3D11SamplerState* const* p) override
    {
        bindings_.SetSamplers(bindings_.cs, s, n, p);
    }
    void VSSetShader(ID3D11VertexShader* shader, ID3D11ClassInstance* const*, UINT) override
    {
        bindings_.SetVertexShader(shader);
    }
    void PSSetShader(ID3D11PixelShader* shader, ID3D11ClassInstance* const*, UINT) override
    {
        bindings_.SetPixelShader(shader);
    }
    void CSSetShader(ID3D11ComputeShader* shader, ID3D11ClassInstance* const*, UINT) override
    {
        bindings_.SetComputeShader(shader);
    }
    void GSSetShader(ID3D11GeometryShader*, ID3D11ClassInstance* const*, UINT) override {}
    void HSSetShader(ID3D11HullShader*, ID3D11ClassInstance* const*, UINT) override {}
    void DSSetShader(ID3D11DomainShader*, ID3D11ClassInstance* const*, UINT) override {}
    void CSSetUnorderedAccessViews(UINT s, UINT n, ID3D11UnorderedAccessView* const* v, const UINT*) override
    {
        bindings_.SetUnorderedAccessViews(s, n, v);
    }

    void IASetInputLayout(ID3D11InputLayout* layout) override { input_.SetLayout(layout); }
    void IASetVertexBuffers(UINT s, UINT n, ID3D11Buffer* const* b, const UINT* strides, const UINT* offsets) override
    {
        input_.SetVertexBuffers(s, n, b, strides, offsets);
    }
    void IASetIndexBuffer(ID3D11Buffer* b, DXGI_FORMAT format, UINT offset) override
    {
        input_.SetIndexBuffer(b, format, offset);
    }
    void IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY t) override { input_.SetTopology(t); }

    void RSSetState(ID3D11RasterizerState* s) override { bindings_.SetRasterizerState(s); }
    void RSSetViewports(UINT n, const D3D11_VIEWPORT* v) override { bindings_.SetViewports(n, v); }
    void RSSetScissorRects(UINT n, const D3D11_RECT* r) override { bindings_.SetScissorRects(n, r); }

    void OMSetRenderTargets(UINT n, ID3D11RenderTargetView* const* views, ID3D11DepthStencilView* dsv) override
    {
        bindings_.SetRenderTargets(n, views, dsv);
    }
    void OMSetBlendState(ID3D11BlendState* s, const FLOAT factor[4], UINT mask) override
    {
        bindings_.SetBlendState(s, factor, mask);
    }
    void OMSetDepthStencilState(ID3D11DepthStencilState* s, UINT ref) override
    {
        bindings_.SetDepthStencilState(s, ref);
    }

    // ---- work ----

    void Draw(UINT count, UINT start) override;
    void DrawIndexed(UINT count, UINT start, INT base) override;
    void DrawInstanced(UINT count, UINT instances, UINT start, UINT startInstance) override;
    void DrawIndexedInstanced(UINT count, UINT instances, UINT start, INT base, UINT startInstance) override;
    void Dispatch(UINT x, UINT y, UINT z) override;

    HRESULT Map(ID3D11Resource* resource, UINT sub, D3D11_MAP type, UINT, D3D11_MAPPED_SUBRESOURCE* out) override
    {
        return MapResource(*core_, resource, sub, type, out, mapDiscard_);
    }
    void Unmap(ID3D11Resource* resource, UINT sub) override { UnmapResource(*core_, resource, sub, mapDiscard_); }
    void UpdateSubresource(ID3D11Resource* dst, UINT sub, const D3D11_BOX* box, const void* data, UINT rowPitch,
                           UINT) override
    {
        UpdateResource(*core_, dst, sub, box, data, rowPitch);
    }
    void CopyResource(ID3D11Resource* dst, ID3D11Resource* src) override { CopyResourceContents(*core_, dst, src); }
    void ResolveSubresource(ID3D11Resource* dst, UINT dstSub, ID3D11Resource* src, UINT srcSub, DXGI_FORMAT) override
    {
        ResolveTexture(*core_, dst, dstSub, src, srcSub);
    }
    void GenerateMips(ID3D11ShaderResourceView* view) override { GenerateMipChain(*core_, view); }
    void ClearRenderTargetView(ID3D11RenderTargetView* view, const FLOAT color[4]) override
    {
        ClearTarget(*core_, view, color);
    }
    void ClearDepthStencilView(ID3D11DepthStencilView* view, UINT flags, FLOAT depth, UINT8 stencil) override
    {
        ClearDepth(*core_, view, flags, depth, stencil);
    }
    void ClearUnorderedAccessViewFloat(ID3D11UnorderedAccessView* view, const FLOAT values[4]) override
    {
        ClearUnordered(*core_, view, values, false);
    }
    void ClearUnorderedAccessViewUint(ID3D11UnorderedAccessView* view, const UINT values[4]) override
    {
        ClearUnordered(*core_, view, values, true);
    }

    void ClearState() override;
    void Flush() override;

    void Begin(ID3D11Asynchronous*) override {}
    void End(ID3D11Asynchronous* async) override;
    HRESULT GetData(ID3D11Asynchronous* async, void* data, UINT size, UINT flags) override;

private:
    // On a software rasteriser with a wait callback: waits for the work drawn
    // so far before a draw that samples textures (frame_wait.cpp).
    void SettleBeforeSampling(const StageBindings& a, const StageBindings& b);
    // Everything a draw needs into GL; the GL primitive, or 0 when nothing is drawn.
    GLenum PrepareDraw();

    DeviceImpl& device_;
    BindingStore bindings_;
    InputAssembly input_;
    StateApplier states_;
    bool mapDiscard_ = false;
    std::uint64_t settledDraws_ = 0;  // core draws counted when the GPU last caught up
};

// frame_wait.cpp: whether the work before the fence is done, waiting up to
// a slice for it when asked (a fence that fails counts as done); whether a
// GL_RENDERER text names a software rasteriser (null names none).
bool FenceDone(GLsync sync, bool flush, bool wait);
bool SoftwareRenderer(const char* renderer);

ContextImpl* NewContext(DeviceImpl& device);
void DeleteContext(ContextImpl* context);
ID3D11DeviceContext* ContextInterface(ContextImpl* context);

}  // namespace gfx
