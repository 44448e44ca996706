#pragma once
// Offscreen images and GPU buffers: RenderTarget (a 2D texture with one
// render-target view per slice, a shader-resource view and an optional
// unordered-access view), DepthBuffer and TypedBuffer. Destroying a wrapper
// releases nothing; Release does, once.
#include "platform/gfx/d3d11.h"
#include "rendering/simple_array.h"

// A 2D texture of default usage, without CPU access or flags.
D3D11_TEXTURE2D_DESC DefaultTextureDesc(u32 width, u32 height, DXGI_FORMAT format, UINT bindFlags, u32 mipLevels = 1,
                                        u32 arraySize = 1, u32 sampleCount = 1, u32 sampleQuality = 0);

class RenderTarget {
public:
    ID3D11Texture2D* texture;
    ID3D11RenderTargetView* renderTargetView;  // element 0 of renderTargetViews
    ID3D11ShaderResourceView* shaderResourceView;
    ID3D11UnorderedAccessView* unorderedAccessView;
    u32 width;
    u32 height;
    u32 mipLevels;
    u32 sampleCount;
    u32 format;
    bool generateMips;
    u32 arraySize;
    SimpleArray<ID3D11RenderTargetView*> renderTargetViews;

    RenderTarget();

    void Create(ID3D11Device* device, u32 width, u32 height, u32 format, u32 mipLevels, u32 sampleCount,
                u32 sampleQuality, bool generateMips, bool unorderedAccess, u32 arraySize, bool hasInitialData,
                D3D11_SUBRESOURCE_DATA initialData);
    void Release();
};

class DepthBuffer {
public:
    ID3D11Texture2D* texture;
    ID3D11DepthStencilView* depthStencilView;  // element 0 of depthStencilViews
    ID3D11ShaderResourceView* shaderResourceView;
    u32 width;
    u32 height;
    u32 sampleCount;
    u32 format;
    u32 arraySize;
    SimpleArray<ID3D11DepthStencilView*> depthStencilViews;

    DepthBuffer();

    void Create(ID3D11Device* device, u32 width, u32 height, u32 format, bool shaderResource, u32 sampleCount,
                u32 sampleQuality, u32 arraySize);
    void Release();
};

class TypedBuffer {
public:
    ID3D11Buffer* buffer = nullptr;
    ID3D11ShaderResourceView* shaderResourceView = nullptr;
    ID3D11UnorderedAccessView* unorderedAccessView = nullptr;
    u32 byteWidth = 0;
    u32 elementSize = 0;
    u32 count = 0;
    u32 format = 0;

    void Create(ID3D11Device* device, u32 format, u32 elementSize, u32 count);
    // The views, then the buffer; the fields are cleared so that a second call
    // releases nothing.
    void Release();
};
