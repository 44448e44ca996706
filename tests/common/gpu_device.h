#pragma once
// The device of every test that draws, and the one texel read-back.
// One policy: a test that needs the GL 4.5 device fails, never skips, when none can be made.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/gfx/d3d11.h"
#include "platform/gfx/d3dcompiler.h"
#include "platform/system/large_stack.h"

namespace gputest {

struct Device {
    ID3D11Device* device = nullptr;
    ID3D11DeviceContext* context = nullptr;
};

// A new device and immediate context made with flags; both null when none can be made.
// Made off the large stack it fails the test: the driver's deep compile would
// overflow there on a machine whose shader cache does not hold the shader yet.
inline HRESULT CreateDevice(Device& out, UINT flags = 0)
{
    out = {};
    EXPECT_TRUE(platform::OnLargeStack()) << "a test program that draws runs on the large stack "
                                             "(it links the device: its entry is large_stack_main.cpp)";
    HRESULT hr = D3D11CreateDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, flags, nullptr, 0, D3D11_SDK_VERSION,
                                   &out.device, nullptr, &out.context);
    if (FAILED(hr))
        out = {};
    return hr;
}

// One device for the whole test program, made on first use; null members when none can be made.
inline Device& SharedDevice()
{
    static Device shared = [] {
        Device made;
        CreateDevice(made);
        return made;
    }();
    return shared;
}

// Fails (fatally, for the test or fixture function it stands in) without a device.
#define REQUIRE_DEVICE(made)                                                                                           \
    ASSERT_TRUE((made).device && (made).context) << "no OpenGL 4.5 device: D3D11CreateDevice failed"

// The shared device as locals `device` and `context`, its state cleared; fails without one.
#define REQUIRE_GPU()                                                                                                  \
    ID3D11Device* device = ::gputest::SharedDevice().device;                                                           \
    ID3D11DeviceContext* context = ::gputest::SharedDevice().context;                                                  \
    REQUIRE_DEVICE(::gputest::SharedDevice());                                                                         \
    context->ClearState()

inline ULONG RefCount(IUnknown* object)
{
    object->AddRef();
    return object->Release();
}

// The 2D texture of a view (the view keeps it alive).
inline ID3D11Texture2D* TextureOf(ID3D11View* view)
{
    ID3D11Resource* resource = nullptr;
    view->GetResource(&resource);
    resource->Release();
    return static_cast<ID3D11Texture2D*>(resource);
}

// Bytes per texel of the formats the layer knows; 4 for the rest (depth-stencil words among them).
inline UINT TexelBytes(DXGI_FORMAT format)
{
    switch (format) {
    case DXGI_FORMAT_R32G32B32A32_TYPELESS:
    case DXGI_FORMAT_R32G32B32A32_FLOAT:
    case DXGI_FORMAT_R32G32B32A32_UINT:
    case DXGI_FORMAT_R32G32B32A32_SINT: return 16;
    case DXGI_FORMAT_R32G32B32_TYPELESS:
    case DXGI_FORMAT_R32G32B32_FLOAT:
    case DXGI_FORMAT_R32G32B32_UINT:
    case DXGI_FORMAT_R32G32B32_SINT: return 12;
    case DXGI_FORMAT_R16G16B16A16_TYPELESS:
    case DXGI_FORMAT_R16G16B16A16_FLOAT:
    case DXGI_FORMAT_R16G16B16A16_UNORM:
    case DXGI_FORMAT_R16G16B16A16_UINT:
    case DXGI_FORMAT_R16G16B16A16_SNORM:
    case DXGI_FORMAT_R16G16B16A16_SINT:
    case DXGI_FORMAT_R32G32_TYPELESS:
    case DXGI_FORMAT_R32G32_FLOAT:
    case DXGI_FORMAT_R32G32_UINT:
    case DXGI_FORMAT_R32G32_SINT: return 8;
    case DXGI_FORMAT_R8G8_TYPELESS:
    case DXGI_FORMAT_R8G8_UNORM:
    case DXGI_FORMAT_R8G8_UINT:
    case DXGI_FORMAT_R8G8_SNORM:
    case DXGI_FORMAT_R8G8_SINT:
    case DXGI_FORMAT_R16_TYPELESS:
    case DXGI_FORMAT_R16_FLOAT:
    case DXGI_FORMAT_D16_UNORM:
    case DXGI_FORMAT_R16_UNORM:
    case DXGI_FORMAT_R16_UINT:
    case DXGI_FORMAT_R16_SNORM:
    case DXGI_FORMAT_R16_SINT: return 2;
    case DXGI_FORMAT_R8_TYPELESS:
    case DXGI_FORMAT_R8_UNORM:
    case DXGI_FORMAT_R8_UINT:
    case DXGI_FORMAT_R8_SNORM:
    case DXGI_FORMAT_R8_SINT: return 1;
    default: return 4;
    }
}

// One subresource of a 2D texture through a staging copy of the whole texture:
// rows top first, packed without padding. Empty when the copy cannot be made.
inline std::vector<std::uint8_t> ReadTexels(ID3D11Device* device, ID3D11DeviceContext* context,
                                            ID3D11Texture2D* texture, UINT subresource = 0)
{
    D3D11_TEXTURE2D_DESC desc{};
    texture->GetDesc(&desc);
    D3D11_TEXTURE2D_DESC staging = desc;
    staging.Usage = D3D11_USAGE_STAGING;
    staging.BindFlags = 0;
    staging.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
    staging.MiscFlags = 0;
    ID3D11Texture2D* copy = nullptr;
    EXPECT_EQ(device->CreateTexture2D(&staging, nullptr, &copy), S_OK);
    if (!copy)
        return {};
    context->CopyResource(copy, texture);
    std::vector<std::uint8_t> bytes;
    D3D11_MAPPED_SUBRESOURCE mapped{};
    HRESULT mappedOk = context->Map(copy, subresource, D3D11_MAP_READ, 0, &mapped);
    EXPECT_EQ(mappedOk, S_OK);
    if (mappedOk == S_OK) {
        UINT level = subresource % std::max(1u, staging.MipLevels);
        UINT width = std::max(1u, desc.Width >> level), height = std::max(1u, desc.Height >> level);
        std::size_t row = std::size_t(width) * TexelBytes(desc.Format);
        bytes.resize(row * height);
        for (UINT y = 0; y < height; ++y)
            std::memcpy(&bytes[y * row],
                        static_cast<const std::uint8_t*>(mapped.pData) + std::size_t(y) * mapped.RowPitch, row);
        context->Unmap(copy, subresource);
    }
    copy->Release();
    return bytes;
}

// The same texels as floats (for float formats).
inline std::vector<float> ReadFloatTexels(ID3D11Device* device, ID3D11DeviceContext* context, ID3D11Texture2D* texture,
                                          UINT subresource = 0)
{
    const std::vector<std::uint8_t> bytes = ReadTexels(device, context, texture, subresource);
    std::vector<float> floats(bytes.size() / 4);
    if (!floats.empty())
        std::memcpy(floats.data(), bytes.data(), floats.size() * 4);
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

// The bytecode of text, or null with its errors as a test failure.
inline ID3DBlob* CompileOrFail(const std::string& text, const char* entry, const char* target)
{
    ID3DBlob* code = nullptr;
    ID3DBlob* errors = nullptr;
    D3DCompile(text.c_str(), text.size(), nullptr, nullptr, nullptr, entry, target, 0, 0, &code, &errors);
    if (errors) {
        ADD_FAILURE() << static_cast<const char*>(errors->GetBufferPointer());
        errors->Release();
    }
    return code;
}

}  // namespace gputest
