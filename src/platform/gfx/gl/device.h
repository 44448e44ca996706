#pragma once
// Inside the gfx layer: the device and how it is made.
#include <memory>

#include "platform/gfx/gl/core.h"
#include "platform/gfx/gl/gl_objects.h"

namespace gfx {

class ContextImpl;

class DeviceImpl final : public Object<ID3D11Device> {
public:
    DeviceImpl(std::shared_ptr<Core> core, UINT flags);
    ~DeviceImpl() override;
    bool Matches(REFIID riid) override { return riid == IID_ID3D11Device; }
    HRESULT QueryInterface(REFIID riid, void** out) override;

    HRESULT CreateBuffer(const D3D11_BUFFER_DESC* pDesc, const D3D11_SUBRESOURCE_DATA* pInitialData,
                         ID3D11Buffer** ppBuffer) override;
    HRESULT CreateTexture2D(const D3D11_TEXTURE2D_DESC* pDesc, const D3D11_SUBRESOURCE_DATA* pInitialData,
                            ID3D11Texture2D** ppTexture2D) override;
    HRESULT CreateShaderResourceView(ID3D11Resource* pResource, const D3D11_SHADER_RESOURCE_VIEW_DESC* pDesc,
                                     ID3D11ShaderResourceView** ppSRView) override;
    HRESULT CreateUnorderedAccessView(ID3D11Resource* pResource, const D3D11_UNORDERED_ACCESS_VIEW_DESC* pDesc,
                                      ID3D11UnorderedAccessView** ppUAView) override;
    HRESULT CreateRenderTargetView(ID3D11Resource* pResource, const D3D11_RENDER_TARGET_VIEW_DESC* pDesc,
                                   ID3D11RenderTargetView** ppRTView) override;
    HRESULT CreateDepthStencilView(ID3D11Resource* pResource, const D3D11_DEPTH_STENCIL_VIEW_DESC* pDesc,
                                   ID3D11DepthStencilView** ppDepthStencilView) override;
    HRESULT CreateInputLayout(const D3D11_INPUT_ELEMENT_DESC* pInputElementDescs, UINT NumElements,
                              const void* pShaderBytecodeWithInputSignature, SIZE_T BytecodeLength,
                              ID3D11InputLayout** ppInputLayout) override;
    HRESULT CreateVertexShader(const void* pShaderBytecode, SIZE_T BytecodeLength, ID3D11ClassLinkage* pClassLinkage,
                               ID3D11VertexShader** ppVertexShader) override;
    HRESULT CreatePixelShader(const void* pShaderBytecode, SIZE_T BytecodeLength, ID3D11ClassLinkage* pClassLinkage,
                              ID3D11PixelShader** ppPixelShader) override;
    HRESULT CreateComputeShader(const void* pShaderBytecode, SIZE_T BytecodeLength, ID3D11ClassLinkage* pClassLinkage,
                                ID3D11ComputeShader** ppComputeShader) override;
    HRESULT CreateBlendState(const D3D11_BLEND_DESC* pBlendStateDesc, ID3D11BlendState** ppBlendState) override;
    HRESULT CreateDepthStencilState(const D3D11_DEPTH_STENCIL_DESC* pDepthStencilDesc,
                                    ID3D11DepthStencilState** ppDepthStencilState) override;
    HRESULT CreateRasterizerState(const D3D11_RASTERIZER_DESC* pRasterizerDesc,
                                  ID3D11RasterizerState** ppRasterizerState) override;
    HRESULT CreateSamplerState(const D3D11_SAMPLER_DESC* pSamplerDesc, ID3D11SamplerState** ppSamplerState) override;
    HRESULT CheckMultisampleQualityLevels(DXGI_FORMAT Format, UINT SampleCount, UINT* pNumQualityLevels) override;
    D3D_FEATURE_LEVEL GetFeatureLevel() override { return D3D_FEATURE_LEVEL_11_0; }
    UINT GetCreationFlags() override { return flags_; }
    void GetImmediateContext(ID3D11DeviceContext** ppImmediateContext) override;
    HRESULT CreateQuery(const D3D11_QUERY_DESC* pQueryDesc, ID3D11Query** ppQuery) override;  // query.cpp

    std::shared_ptr<Core> core;
    ContextImpl* context = nullptr;

private:
    std::unique_ptr<Program> MakeProgram(Stage stage, const void* code, SIZE_T size, HRESULT& hr);
    // Create*Shader: the program of stage made from code, as a new Impl in out.
    template <class Impl, class Interface>
    HRESULT CreateShader(Stage stage, const void* code, SIZE_T size, Interface** out);
    UINT flags_;
};

// call: the creation function, for its refusals.
DeviceImpl* NewDevice(const char* call, SDL_Window* window, bool ownsWindow, UINT flags, HRESULT& hr);
// Whether a device made with flags is a debug device (the flag, or QUORVELAN_D3D11_DEBUG=1).
bool DebugWanted(UINT flags);
// What both creation functions accept: the default adapter, a hardware driver, a list naming 11.0 or below;
// S_OK, or call's refusal.
HRESULT CheckCreationArguments(const char* call, UINT flags, IDXGIAdapter* adapter, D3D_DRIVER_TYPE driverType,
                               const D3D_FEATURE_LEVEL* featureLevels, UINT featureLevelCount);

}  // namespace gfx
