#pragma once
// The rendering tests' names for the shared test device and read-back (common/gpu_device.h).
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "common/gpu_device.h"
#include "platform/gfx/d3d11.h"

namespace test {

using Gpu = gputest::Device;

// One device for the whole program, made on first use.
inline Gpu& SharedGpu()
{
    return gputest::SharedDevice();
}

// The shared device as `device` and `context`, its state cleared; fails without one.
#define REQUIRE_GPU()                                                                                                  \
    ID3D11Device* device = ::test::SharedGpu().device;                                                                 \
    ID3D11DeviceContext* context = ::test::SharedGpu().context;                                                        \
    REQUIRE_DEVICE(::test::SharedGpu());                                                                               \
    context->ClearState()

inline ULONG RefCount(IUnknown* object)
{
    object->AddRef();
    return object->Release();
}

inline UINT BytesPerTexel(DXGI_FORMAT format)
{
    return gputest::TexelBytes(format);
}

// Mip level 0 of a 2D texture, rows packed without padding.
inline std::vector<std::uint8_t> ReadBack(ID3D11Device* device, ID3D11DeviceContext* context, ID3D11Texture2D* texture)
{
    return gputest::ReadTexels(device, context, texture);
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
    return gputest::ReadFloatTexels(device, context, texture);
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
