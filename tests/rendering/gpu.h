#pragma once
// A headless device shared by the rendering tests, and texture read-back.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/gfx/d3d11.h"

namespace test {

struct Gpu {
    ID3D11Device* device = nullptr;
    ID3D11DeviceContext* context = nullptr;
};

// One device for the whole program, made on first use; null members when the
// platform cannot make one, which fails every test that needs it.
inline Gpu& SharedGpu()
{
    static Gpu gpu = [] {
        Gpu g;
        if (FAILED(D3D11CreateDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, nullptr, 0, D3D11_SDK_VERSION,
                                     &g.device, nullptr, &g.context))) {
            g.device = nullptr;
            g.context = nullptr;
        }
        return g;
    }();
    return gpu;
}

#define REQUIRE_GPU()                                                                                                  \
    ID3D11Device* device = ::test::SharedGpu().device;                                                                 \
    ID3D11DeviceContext* context = ::test::SharedGpu().context;                                                        \
    ASSERT_TRUE(device&& context) << "D3D11CreateDevice failed";                                                       \
    context->ClearState()

inline ULONG RefCount(IUnknown* object)
{
    object->AddRef();
    return object->Release();
}

inline UINT BytesPerTexel(DXGI_FORMAT format)
{
    switch (format) {
    case DXGI_FORMAT_R32G32B32A32_FLOAT: return 16;
    case DXGI_FORMAT_R16G16B16A16_FLOAT: return 8;
    default: return 4;
    }
}

// Mip level 0 of a 2D texture, rows packed without padding.
inline std::vector<std::uint8_t> ReadBack(ID3D11Device* device, ID3D11DeviceContext* context, ID3D11Texture2D* texture)
{
    D3D11_TEXTURE2D_DESC desc{};
    texture->GetDesc(&desc);
    D3D11_TEXTURE2D_DESC staging = desc;
    staging.MipLevels = 1;
    staging.Usage = D3D11_USAGE_STAGING;
    staging.BindFlags = 0;
    staging.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
    staging.MiscFlags = 0;
    ID3D11Texture2D* copy = nullptr;
    EXPECT_EQ(device->CreateTexture2D(&staging, nullptr, &copy), S_OK);
    if (!copy)
        return {};
    context->CopyResource(copy, texture);
    D3D11_MAPPED_SUBRESOURCE mapped{};
    std::vector<std::uint8_t> bytes;
    if (context->Map(copy, 0, D3D11_MAP_READ, 0, &mapped) == S_OK) {
        const UINT row = desc.Width * BytesPerTexel(desc.Format);
        bytes.resize(static_cast<std::size_t>(row) * desc.Height);
        for (UINT y = 0; y < desc.Height; ++y)
            std::memcpy(&bytes[static_cast<std::size_t>(y) * row],
                        static_cast<const std::uint8_t*>(mapped.pData) + y * mapped.RowPitch, row);
        context->Unmap(copy, 0);
    }
    copy->Release();
    return bytes;
}

inline ID3D11Texture2D* TextureOf(ID3D11View* view)
{
    ID3D11Resource* resource = nullptr;
    view->GetResource(&resource);
    resource->Release();  // the view keeps it alive
    return static_cast<ID3D11Texture2D*>(resource);
}

// RGBA float texels of a R32G32B32A32_FLOAT texture.
inline std::vector<float> ReadFloats(ID3D11Device* device, ID3D11DeviceContext* context, ID3D11Texture2D* texture)
{
    const std::vector<std::uint8_t> bytes = ReadBack(device, context, texture);
    std::vector<float> floats(bytes.size() / 4);
    if (!bytes.empty())
        std::memcpy(floats.data(), bytes.data(), bytes.size());
    return floats;
}

// A float texture (R32G32B32A32_FLOAT) for shaders to read, with the texels given.
inline ID3D11ShaderResourceView* FloatTexture(ID3D11Device* device, UINT width, UINT height,
                                              const std::vector<float>& rgba)
{
    D3D11_TEXTURE2D_DESC desc{};
    desc.Width = width;
    desc.Height = height;
    desc.MipLevels = 1;
    desc.ArraySize = 1;
    desc.Format = DXGI_FORMAT_R32G32B32A32_FLOAT;
    desc.SampleDesc = {1, 0};
    desc.Usage = D3D11_USAGE_DEFAULT;
    desc.BindFlags = D3D11_BIND_SHADER_RESOURCE;
    const D3D11_SUBRESOURCE_DATA data{rgba.data(), width * 16, width * height * 16};
    ID3D11Texture2D* texture = nullptr;
    EXPECT_EQ(device->CreateTexture2D(&desc, &data, &texture), S_OK);
    if (!texture)
        return nullptr;
    ID3D11ShaderResourceView* view = nullptr;
    EXPECT_EQ(device->CreateShaderResourceView(texture, nullptr, &view), S_OK);
    texture->Release();
    return view;
}

}  // namespace test
