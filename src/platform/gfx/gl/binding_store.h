#pragma once
// Inside the gfx layer: what the immediate context has bound to which slot, each
// bound object held by a reference until it leaves its slot.
#include <array>

#include "platform/gfx/gl/gl_objects.h"

namespace gfx {

constexpr UINT kSrvSlots = D3D11_COMMONSHADER_INPUT_RESOURCE_SLOT_COUNT;
constexpr UINT kCbSlots = D3D11_COMMONSHADER_CONSTANT_BUFFER_API_SLOT_COUNT;
constexpr UINT kSamplerSlots = D3D11_COMMONSHADER_SAMPLER_SLOT_COUNT;
constexpr UINT kUavSlots = D3D11_PS_CS_UAV_REGISTER_COUNT;
constexpr UINT kViewports = D3D11_VIEWPORT_AND_SCISSORRECT_OBJECT_COUNT_PER_PIPELINE;
constexpr UINT kTargets = D3D11_SIMULTANEOUS_RENDER_TARGET_COUNT;

// How many of count slots from start exist among n; a start past the end (or near
// UINT's top, where start + i would wrap to slot 0) binds nothing.
inline UINT SlotsInRange(UINT start, UINT count, std::size_t n)
{
    return start < n ? UINT(std::min<std::size_t>(count, n - start)) : 0;
}

// The slots of one shader stage.
struct StageBindings {
    std::array<BufferImpl*, kCbSlots> cb{};
    std::array<SrvImpl*, kSrvSlots> srv{};
    std::array<SamplerImpl*, kSamplerSlots> samplers{};
};

class BindingStore {
public:
    void SetConstantBuffers(StageBindings& s, UINT start, UINT n, ID3D11Buffer* const* buffers);
    // A view of a resource bound as a target is refused (its slot is emptied).
    void SetShaderResources(StageBindings& s, UINT start, UINT n, ID3D11ShaderResourceView* const* views);
    void SetSamplers(StageBindings& s, UINT start, UINT n, ID3D11SamplerState* const* samplers);
    void SetUnorderedAccessViews(UINT start, UINT n, ID3D11UnorderedAccessView* const* views);
    void SetVertexShader(ID3D11VertexShader* shader) { SetRef(vsShader, static_cast<VertexShaderImpl*>(shader)); }
    void SetPixelShader(ID3D11PixelShader* shader) { SetRef(psShader, static_cast<PixelShaderImpl*>(shader)); }
    void SetComputeShader(ID3D11ComputeShader* shader) { SetRef(csShader, static_cast<ComputeShaderImpl*>(shader)); }
    // As Direct3D does: a resource bound for writing leaves the shader-resource slots.
    void SetRenderTargets(UINT n, ID3D11RenderTargetView* const* views, ID3D11DepthStencilView* depth);
    void SetRasterizerState(ID3D11RasterizerState* s) { SetRef(rasterizer, static_cast<RasterizerImpl*>(s)); }
    void SetViewports(UINT n, const D3D11_VIEWPORT* v);
    void SetScissorRects(UINT n, const D3D11_RECT* r);
    void SetBlendState(ID3D11BlendState* s, const FLOAT factor[4], UINT mask);
    void SetDepthStencilState(ID3D11DepthStencilState* s, UINT ref);
    // Whether a resource is written by the bound targets (then Direct3D does not let it be read).
    bool IsBoundTarget(ID3D11Resource* r) const;
    // Every slot empty, every value its default.
    void Clear();

    StageBindings vs, ps, cs;
    VertexShaderImpl* vsShader = nullptr;
    PixelShaderImpl* psShader = nullptr;
    ComputeShaderImpl* csShader = nullptr;
    std::array<UavImpl*, kUavSlots> csUav{};
    std::array<RtvImpl*, kTargets> rtv{};
    DsvImpl* dsv = nullptr;
    RasterizerImpl* rasterizer = nullptr;
    std::array<D3D11_VIEWPORT, kViewports> viewports{};
    UINT numViewports = 0;
    std::array<D3D11_RECT, kViewports> scissors{};
    UINT numScissors = 0;
    BlendImpl* blend = nullptr;
    float blendFactor[4] = {1, 1, 1, 1};
    UINT sampleMask = 0xffffffffu;
    DepthStencilImpl* depthStencil = nullptr;
    UINT stencilRef = 0;
};

}  // namespace gfx
