#include "rendering/render_target.h"

#include "rendering/release.h"

namespace {

// The view dimensions of one kind of slice view (render target or depth
// stencil): one texture or an array of them, each plain or multisampled.
template <typename Dimension>
struct SliceDimensions {
    Dimension single, multisampled, array, multisampledArray;
};

const SliceDimensions<D3D11_RTV_DIMENSION> kRenderTargetSlices = {
    D3D11_RTV_DIMENSION_TEXTURE2D, D3D11_RTV_DIMENSION_TEXTURE2DMS, D3D11_RTV_DIMENSION_TEXTURE2DARRAY,
    D3D11_RTV_DIMENSION_TEXTURE2DMSARRAY};
const SliceDimensions<D3D11_DSV_DIMENSION> kDepthStencilSlices = {
    D3D11_DSV_DIMENSION_TEXTURE2D, D3D11_DSV_DIMENSION_TEXTURE2DMS, D3D11_DSV_DIMENSION_TEXTURE2DARRAY,
    D3D11_DSV_DIMENSION_TEXTURE2DMSARRAY};

// One view per array slice of texture, mip level 0, into views (cleared
// first; a refused view is kept as null); returns the first or null.
template <typename View, typename Desc, typename Dimension>
View* CreateSliceViews(ID3D11Device* device, HRESULT (ID3D11Device::*create)(ID3D11Resource*, const Desc*, View**),
                       const SliceDimensions<Dimension>& dimensions, ID3D11Texture2D* texture, u32 format,
                       u32 sampleCount, u32 arraySize, SimpleArray<View*>& views)
{
    views.Clear();
    for (u32 s = 0; s < arraySize; ++s) {
        Desc view{};
        view.Format = static_cast<DXGI_FORMAT>(format);
        if (arraySize == 1) {
            if (sampleCount > 1) {
                view.ViewDimension = dimensions.multisampled;
            } else {
                view.ViewDimension = dimensions.single;
                view.Texture2D.MipSlice = 0;
            }
        } else if (sampleCount > 1) {
            view.ViewDimension = dimensions.multisampledArray;
            view.Texture2DMSArray.FirstArraySlice = s;
            view.Texture2DMSArray.ArraySize = 1;
        } else {
            view.ViewDimension = dimensions.array;
            view.Texture2DArray.MipSlice = 0;
            view.Texture2DArray.FirstArraySlice = s;
            view.Texture2DArray.ArraySize = 1;
        }
        View* created = nullptr;
        (device->*create)(texture, &view, &created);
        views.Add(created);
    }
    return views.Size() ? views[0] : nullptr;
}

// A depth format seen through a shader view: the typeless texture format and
// the format the shader reads.
struct DepthShaderFormats {
    DXGI_FORMAT texture, shaderView;
};

DepthShaderFormats ShaderFormatsOfDepth(u32 format)
{
    if (format == DXGI_FORMAT_D16_UNORM)
        return {DXGI_FORMAT_R16_TYPELESS, DXGI_FORMAT_R16_UNORM};
    if (format == DXGI_FORMAT_D24_UNORM_S8_UINT)
        return {DXGI_FORMAT_R24G8_TYPELESS, DXGI_FORMAT_R24_UNORM_X8_TYPELESS};
    return {DXGI_FORMAT_R32_TYPELESS, DXGI_FORMAT_R32_FLOAT};
}
}  // namespace

D3D11_TEXTURE2D_DESC DefaultTextureDesc(u32 width, u32 height, DXGI_FORMAT format, UINT bindFlags, u32 mipLevels,
                                        u32 arraySize, u32 sampleCount, u32 sampleQuality)
{
    D3D11_TEXTURE2D_DESC desc{};
    desc.Width = width;
    desc.Height = height;
    desc.MipLevels = mipLevels;
    desc.ArraySize = arraySize;
    desc.Format = format;
    desc.SampleDesc.Count = sampleCount;
    desc.SampleDesc.Quality = sampleQuality;
    desc.Usage = D3D11_USAGE_DEFAULT;
    desc.BindFlags = bindFlags;
    desc.CPUAccessFlags = 0;
    desc.MiscFlags = 0;
    return desc;
}

RenderTarget::RenderTarget()
    : texture(nullptr), renderTargetView(nullptr), shaderResourceView(nullptr), unorderedAccessView(nullptr), width(0),
      height(0), mipLevels(0), sampleCount(0), format(0), generateMips(false), arraySize(1)
{
}

void RenderTarget::Create(ID3D11Device* device, u32 width_, u32 height_, u32 format_, u32 mipLevels_, u32 sampleCount_,
                          u32 sampleQuality, bool generateMips_, bool unorderedAccess, u32 arraySize_,
                          bool hasInitialData, D3D11_SUBRESOURCE_DATA initialData)
{
    // A second Create replaces the first texture and views instead of dropping them.
    Release();
    UINT bindFlags = D3D11_BIND_RENDER_TARGET | D3D11_BIND_SHADER_RESOURCE;
    if (unorderedAccess)
        bindFlags |= D3D11_BIND_UNORDERED_ACCESS;
    D3D11_TEXTURE2D_DESC desc = DefaultTextureDesc(width_, height_, static_cast<DXGI_FORMAT>(format_), bindFlags,
                                                   mipLevels_, arraySize_, sampleCount_, sampleQuality);
    desc.MiscFlags = generateMips_ && mipLevels_ > 1 ? static_cast<UINT>(D3D11_RESOURCE_MISC_GENERATE_MIPS) : 0u;

    device->CreateTexture2D(&desc, hasInitialData ? &initialData : nullptr, &texture);
    // A refused texture (a size of 0, say) has no views to make.
    if (!texture)
        return;

    renderTargetView = CreateSliceViews(device, &ID3D11Device::CreateRenderTargetView, kRenderTargetSlices, texture,
                                        format_, sampleCount_, arraySize_, renderTargetViews);

    device->CreateShaderResourceView(texture, nullptr, &shaderResourceView);

    width = width_;
    height = height_;
    mipLevels = mipLevels_;
    sampleCount = sampleCount_;
    format = format_;
    generateMips = generateMips_;
    arraySize = arraySize_;

    if (unorderedAccess)
        device->CreateUnorderedAccessView(texture, nullptr, &unorderedAccessView);
}

// Every slice's view, then the shader view, the texture and the unordered
// view; the fields are cleared so that a second call releases nothing.
void RenderTarget::Release()
{
    ReleaseAll(renderTargetViews);
    renderTargetView = nullptr;
    ReleaseOnce(shaderResourceView);
    ReleaseOnce(texture);
    ReleaseOnce(unorderedAccessView);
}

DepthBuffer::DepthBuffer()
    : texture(nullptr), depthStencilView(nullptr), shaderResourceView(nullptr), width(0), height(0), sampleCount(0),
      format(0), arraySize(1)
{
}

void DepthBuffer::Create(ID3D11Device* device, u32 width_, u32 height_, u32 format_, bool shaderResource,
                         u32 sampleCount_, u32 sampleQuality, u32 arraySize_)
{
    Release();
    UINT bindFlags = D3D11_BIND_DEPTH_STENCIL;
    if (shaderResource)
        bindFlags |= D3D11_BIND_SHADER_RESOURCE;

    const DepthShaderFormats shaderFormats = ShaderFormatsOfDepth(format_);
    const DXGI_FORMAT textureFormat = shaderResource ? shaderFormats.texture : static_cast<DXGI_FORMAT>(format_);

    const D3D11_TEXTURE2D_DESC desc =
        DefaultTextureDesc(width_, height_, textureFormat, bindFlags, 1, arraySize_, sampleCount_, sampleQuality);
    device->CreateTexture2D(&desc, nullptr, &texture);
    if (!texture)
        return;

    depthStencilView = CreateSliceViews(device, &ID3D11Device::CreateDepthStencilView, kDepthStencilSlices, texture,
                                        format_, sampleCount_, arraySize_, depthStencilViews);

    if (shaderResource) {
        D3D11_SHADER_RESOURCE_VIEW_DESC view{};
        view.Format = shaderFormats.shaderView;
        if (arraySize_ == 1) {
            if (sampleCount_ > 1) {
                view.ViewDimension = D3D11_SRV_DIMENSION_TEXTURE2DMS;
            } else {
                view.ViewDimension = D3D11_SRV_DIMENSION_TEXTURE2D;
                view.Texture2D.MostDetailedMip = 0;
                view.Texture2D.MipLevels = 1;
            }
        } else if (sampleCount_ > 1) {
            view.ViewDimension = D3D11_SRV_DIMENSION_TEXTURE2DMSARRAY;
            view.Texture2DMSArray.FirstArraySlice = 0;
            view.Texture2DMSArray.ArraySize = arraySize_;
        } else {
            view.ViewDimension = D3D11_SRV_DIMENSION_TEXTURE2DARRAY;
            view.Texture2DArray.MostDetailedMip = 0;
            view.Texture2DArray.MipLevels = 1;
            view.Texture2DArray.FirstArraySlice = 0;
            view.Texture2DArray.ArraySize = arraySize_;
        }
        device->CreateShaderResourceView(texture, &view, &shaderResourceView);
    } else {
        shaderResourceView = nullptr;
    }

    width = width_;
    height = height_;
    sampleCount = sampleCount_;
    format = format_;
    arraySize = arraySize_;
}

void DepthBuffer::Release()
{
    ReleaseAll(depthStencilViews);
    depthStencilView = nullptr;
    ReleaseOnce(shaderResourceView);
    ReleaseOnce(texture);
}

void TypedBuffer::Create(ID3D11Device* device, u32 format_, u32 elementSize_, u32 count_)
{
    Release();
    format = format_;
    byteWidth = elementSize_ * count_;
    elementSize = elementSize_;
    count = count_;

    D3D11_BUFFER_DESC desc{};
    desc.ByteWidth = byteWidth;
    desc.Usage = D3D11_USAGE_DEFAULT;
    desc.BindFlags = D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_UNORDERED_ACCESS;
    desc.CPUAccessFlags = 0;
    desc.MiscFlags = 0;
    desc.StructureByteStride = 0;
    device->CreateBuffer(&desc, nullptr, &buffer);
    if (!buffer)
        return;

    D3D11_SHADER_RESOURCE_VIEW_DESC srv{};
    srv.Format = static_cast<DXGI_FORMAT>(format_);
    srv.ViewDimension = D3D11_SRV_DIMENSION_BUFFER;
    srv.Buffer.FirstElement = 0;
    srv.Buffer.NumElements = count_;
    device->CreateShaderResourceView(buffer, &srv, &shaderResourceView);

    D3D11_UNORDERED_ACCESS_VIEW_DESC uav{};
    uav.Format = static_cast<DXGI_FORMAT>(format_);
    uav.ViewDimension = D3D11_UAV_DIMENSION_BUFFER;
    uav.Buffer.FirstElement = 0;
    uav.Buffer.NumElements = count_;
    uav.Buffer.Flags = 0;
    device->CreateUnorderedAccessView(buffer, &uav, &unorderedAccessView);
}

void TypedBuffer::Release()
{
    ReleaseOnce(unorderedAccessView);
    ReleaseOnce(shaderResourceView);
    ReleaseOnce(buffer);
}
