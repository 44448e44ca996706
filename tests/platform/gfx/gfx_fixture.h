#pragma once
// A headless device and small helpers for pixel tests of the gfx layer.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "common/gpu_device.h"
#include "platform/gfx/d3dcompiler.h"

namespace gfxtest {

using gputest::CompileOrFail;

// The full-screen quad of the passes: POSITION float4 + texcoord0 float2.
inline const char* kQuadVs = "struct VSInput { float4 PositionCS : POSITION; float2 TexCoord : texcoord0; };\n"
                             "struct VSOutput { float4 PositionCS : SV_POSITION; float2 TexCoord : texcoord0; };\n"
                             "VSOutput v(VSInput input) { VSOutput o; o.PositionCS = input.PositionCS; o.TexCoord = "
                             "input.TexCoord; return o; }\n";

struct QuadVertex {
    float position[4];
    float texcoord[2];
};

// What the quad's vertex shader hands a pixel shader, for the pixel shaders of the tests.
inline const char* kPixelInput = "struct VSOutput { float4 PositionCS : SV_POSITION; float2 TexCoord : texcoord0; };\n";

// A 2D texture by named fields: TextureDesc(4, 4, format).Mips(2).Array(2).Bind(...).
// Without Bind: a render target that shaders read; without Data: no initial texels.
struct TextureDesc {
    TextureDesc(UINT width, UINT height, DXGI_FORMAT format)
    {
        desc.Width = width;
        desc.Height = height;
        desc.MipLevels = 1;
        desc.ArraySize = 1;
        desc.Format = format;
        desc.SampleDesc = {1, 0};
        desc.Usage = D3D11_USAGE_DEFAULT;
        desc.BindFlags = D3D11_BIND_RENDER_TARGET | D3D11_BIND_SHADER_RESOURCE;
    }
    TextureDesc& Bind(UINT flags)
    {
        desc.BindFlags = flags;
        return *this;
    }
    TextureDesc& Mips(UINT levels)
    {
        desc.MipLevels = levels;
        return *this;
    }
    TextureDesc& Array(UINT slices)
    {
        desc.ArraySize = slices;
        return *this;
    }
    TextureDesc& Samples(UINT count)
    {
        desc.SampleDesc = {count, 0};
        return *this;
    }
    // A CPU-side texture: staging or dynamic, with its CPU access.
    TextureDesc& Usage(D3D11_USAGE usage, UINT cpuAccess)
    {
        desc.Usage = usage;
        desc.CPUAccessFlags = cpuAccess;
        return *this;
    }
    // The texels of the next subresource (level 0 of slice 0 first), rows pitch bytes apart.
    TextureDesc& Data(const void* texels, UINT pitch)
    {
        data.push_back({texels, pitch, 0});
        return *this;
    }

    D3D11_TEXTURE2D_DESC desc{};
    std::vector<D3D11_SUBRESOURCE_DATA> data;
};

// A buffer by named fields: BufferDesc(bytes).Usage(...).Bind(...); without them default usage, no binding.
struct BufferDesc {
    explicit BufferDesc(UINT bytes)
    {
        desc.ByteWidth = bytes;
        desc.Usage = D3D11_USAGE_DEFAULT;
    }
    BufferDesc& Usage(D3D11_USAGE usage, UINT cpuAccess = 0)
    {
        desc.Usage = usage;
        desc.CPUAccessFlags = cpuAccess;
        return *this;
    }
    BufferDesc& Bind(UINT flags)
    {
        desc.BindFlags = flags;
        return *this;
    }

    D3D11_BUFFER_DESC desc{};
};

// A rasterizer state by named fields: solid, culling as given, depth clip on, the rest off.
struct RasterizerDesc {
    explicit RasterizerDesc(D3D11_CULL_MODE cull)
    {
        desc.FillMode = D3D11_FILL_SOLID;
        desc.CullMode = cull;
        desc.DepthClipEnable = TRUE;
    }
    RasterizerDesc& FrontCounterClockwise(bool on)
    {
        desc.FrontCounterClockwise = on;
        return *this;
    }
    RasterizerDesc& Scissor(bool on)
    {
        desc.ScissorEnable = on;
        return *this;
    }

    D3D11_RASTERIZER_DESC desc{};
};

// One blend description for every target.
inline D3D11_BLEND_DESC BlendForAllTargets(const D3D11_RENDER_TARGET_BLEND_DESC& target)
{
    D3D11_BLEND_DESC d{};
    for (auto& rt : d.RenderTarget)
        rt = target;
    return d;
}

class Gfx : public ::testing::Test {
protected:
    // A device of its own for each test, so that TearDown can tell that nothing leaked.
    void SetUp() override
    {
        gputest::Device made;
        gputest::CreateDevice(made);
        device = made.device;
        context = made.context;
        REQUIRE_DEVICE(made);
    }
    void TearDown() override
    {
        for (IUnknown* o : owned)
            o->Release();
        if (context)
            context->Release();
        if (device) {
            EXPECT_EQ(device->Release(), 0u);
        }
    }

    template <class T>
    T* Keep(T* object)
    {
        if (object)
            owned.push_back(object);
        return object;
    }

    ID3D11PixelShader* PixelShader(const std::string& text)
    {
        ID3DBlob* code = CompileOrFail(text, "p", "ps_5_0");
        if (!code)
            return nullptr;
        ID3D11PixelShader* ps = nullptr;
        EXPECT_EQ(device->CreatePixelShader(code->GetBufferPointer(), code->GetBufferSize(), nullptr, &ps), S_OK);
        code->Release();
        return Keep(ps);
    }

    ID3D11Texture2D* Texture(const TextureDesc& t)
    {
        // Subresources without texels are given as empty ones.
        std::vector<D3D11_SUBRESOURCE_DATA> init = t.data;
        if (!init.empty())
            init.resize(std::max<std::size_t>(init.size(), std::size_t(t.desc.MipLevels) * t.desc.ArraySize));
        ID3D11Texture2D* texture = nullptr;
        EXPECT_EQ(device->CreateTexture2D(&t.desc, init.empty() ? nullptr : init.data(), &texture), S_OK);
        return Keep(texture);
    }
    ID3D11Texture2D* Texture(UINT w, UINT h, DXGI_FORMAT format,
                             UINT bind = D3D11_BIND_RENDER_TARGET | D3D11_BIND_SHADER_RESOURCE,
                             const void* data = nullptr, UINT pitch = 0, UINT arraySize = 1, UINT samples = 1,
                             UINT mips = 1)
    {
        TextureDesc t = TextureDesc(w, h, format).Bind(bind).Array(arraySize).Samples(samples).Mips(mips);
        if (data)
            t.Data(data, pitch);
        return Texture(t);
    }
    ID3D11RenderTargetView* Rtv(ID3D11Resource* r, const D3D11_RENDER_TARGET_VIEW_DESC* d = nullptr)
    {
        ID3D11RenderTargetView* v = nullptr;
        EXPECT_EQ(device->CreateRenderTargetView(r, d, &v), S_OK);
        return Keep(v);
    }
    ID3D11ShaderResourceView* Srv(ID3D11Resource* r, const D3D11_SHADER_RESOURCE_VIEW_DESC* d = nullptr)
    {
        ID3D11ShaderResourceView* v = nullptr;
        EXPECT_EQ(device->CreateShaderResourceView(r, d, &v), S_OK);
        return Keep(v);
    }
    ID3D11Buffer* ConstantBuffer(UINT size)
    {
        const D3D11_BUFFER_DESC d =
            BufferDesc(size).Usage(D3D11_USAGE_DYNAMIC, D3D11_CPU_ACCESS_WRITE).Bind(D3D11_BIND_CONSTANT_BUFFER).desc;
        ID3D11Buffer* b = nullptr;
        EXPECT_EQ(device->CreateBuffer(&d, nullptr, &b), S_OK);
        return Keep(b);
    }
    void Write(ID3D11Buffer* b, const void* data, std::size_t size)
    {
        D3D11_MAPPED_SUBRESOURCE m{};
        ASSERT_EQ(context->Map(b, 0, D3D11_MAP_WRITE_DISCARD, 0, &m), S_OK);
        std::memcpy(m.pData, data, size);
        context->Unmap(b, 0);
    }
    ID3D11Buffer* Buffer(const D3D11_BUFFER_DESC& d, const void* data = nullptr)
    {
        D3D11_SUBRESOURCE_DATA init{data, 0, 0};
        ID3D11Buffer* b = nullptr;
        EXPECT_EQ(device->CreateBuffer(&d, data ? &init : nullptr, &b), S_OK);
        return Keep(b);
    }
    ID3D11RasterizerState* Rasterizer(const D3D11_RASTERIZER_DESC& d)
    {
        ID3D11RasterizerState* r = nullptr;
        EXPECT_EQ(device->CreateRasterizerState(&d, &r), S_OK);
        return Keep(r);
    }
    ID3D11BlendState* Blend(const D3D11_BLEND_DESC& d)
    {
        ID3D11BlendState* b = nullptr;
        EXPECT_EQ(device->CreateBlendState(&d, &b), S_OK);
        return Keep(b);
    }
    ID3D11SamplerState* Sampler(D3D11_FILTER filter)
    {
        D3D11_SAMPLER_DESC d{};
        d.Filter = filter;
        d.AddressU = d.AddressV = D3D11_TEXTURE_ADDRESS_CLAMP;
        d.AddressW = D3D11_TEXTURE_ADDRESS_WRAP;
        d.MaxAnisotropy = 1;
        d.ComparisonFunc = D3D11_COMPARISON_ALWAYS;
        d.MaxLOD = D3D11_FLOAT32_MAX;
        ID3D11SamplerState* s = nullptr;
        EXPECT_EQ(device->CreateSamplerState(&d, &s), S_OK);
        return Keep(s);
    }

    // The viewport of BindQuad: a size of 0 takes the target's.
    struct QuadViewport {
        float minDepth = 0.0f;
        float maxDepth = 1.0f;
        UINT width = 0;
        UINT height = 0;
    };
    void BindQuad(const QuadViewport& v) { BindQuad(v.minDepth, v.maxDepth, v.width, v.height); }

    // The pass set-up of the system: quad, layout from reflection, states.
    void BindQuad(float minDepth = 0.0f, float maxDepth = 1.0f, UINT width = 0, UINT height = 0)
    {
        if (!quadVs) {
            ID3DBlob* code = CompileOrFail(kQuadVs, "v", "vs_5_0");
            ASSERT_NE(code, nullptr);
            ASSERT_EQ(device->CreateVertexShader(code->GetBufferPointer(), code->GetBufferSize(), nullptr, &quadVs),
                      S_OK);
            Keep(quadVs);
            D3D11_INPUT_ELEMENT_DESC elements[] = {
                {"POSITION", 0, DXGI_FORMAT_R32G32B32A32_FLOAT, 0, D3D11_APPEND_ALIGNED_ELEMENT,
                 D3D11_INPUT_PER_VERTEX_DATA, 0},
                {"texcoord", 0, DXGI_FORMAT_R32G32_FLOAT, 0, D3D11_APPEND_ALIGNED_ELEMENT, D3D11_INPUT_PER_VERTEX_DATA,
                 0},
            };
            ASSERT_EQ(device->CreateInputLayout(elements, 2, code->GetBufferPointer(), code->GetBufferSize(), &layout),
                      S_OK);
            Keep(layout);
            code->Release();
            const QuadVertex quad[4] = {
                {{1, 1, 1, 1}, {1, 0}}, {{1, -1, 1, 1}, {1, 1}}, {{-1, -1, 1, 1}, {0, 1}}, {{-1, 1, 1, 1}, {0, 0}}};
            const std::uint16_t indices[6] = {0, 1, 2, 2, 3, 0};
            const D3D11_BUFFER_DESC vd =
                BufferDesc(sizeof quad).Usage(D3D11_USAGE_IMMUTABLE).Bind(D3D11_BIND_VERTEX_BUFFER).desc;
            D3D11_SUBRESOURCE_DATA vdata{quad, 0, 0};
            ASSERT_EQ(device->CreateBuffer(&vd, &vdata, &vb), S_OK);
            Keep(vb);
            const D3D11_BUFFER_DESC id =
                BufferDesc(sizeof indices).Usage(D3D11_USAGE_IMMUTABLE).Bind(D3D11_BIND_INDEX_BUFFER).desc;
            D3D11_SUBRESOURCE_DATA idata{indices, 0, 0};
            ASSERT_EQ(device->CreateBuffer(&id, &idata, &ib), S_OK);
            Keep(ib);
            D3D11_RASTERIZER_DESC r = RasterizerDesc(D3D11_CULL_NONE).desc;
            r.MultisampleEnable = TRUE;
            ASSERT_EQ(device->CreateRasterizerState(&r, &raster), S_OK);
            Keep(raster);
        }
        context->IASetInputLayout(layout);
        UINT stride = sizeof(QuadVertex), offset = 0;
        context->IASetVertexBuffers(0, 1, &vb, &stride, &offset);
        context->IASetIndexBuffer(ib, DXGI_FORMAT_R16_UINT, 0);
        context->IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
        context->VSSetShader(quadVs, nullptr, 0);
        context->RSSetState(raster);
        D3D11_VIEWPORT vp{0,        0,       float(width ? width : targetWidth), float(height ? height : targetHeight),
                          minDepth, maxDepth};
        context->RSSetViewports(1, &vp);
    }

    // Copies a texture through a staging texture; texels of `bytes` bytes, rows top first.
    std::vector<std::uint8_t> Read(ID3D11Texture2D* source, UINT subresource = 0)
    {
        return gputest::ReadTexels(device, context, source, subresource);
    }
    // The same of a float texture, as floats.
    std::vector<float> FloatTexels(ID3D11Texture2D* source, UINT subresource = 0)
    {
        return gputest::ReadFloatTexels(device, context, source, subresource);
    }

    ID3D11Device* device = nullptr;
    ID3D11DeviceContext* context = nullptr;
    std::vector<IUnknown*> owned;
    ID3D11VertexShader* quadVs = nullptr;
    ID3D11InputLayout* layout = nullptr;
    ID3D11Buffer* vb = nullptr;
    ID3D11Buffer* ib = nullptr;
    ID3D11RasterizerState* raster = nullptr;
    UINT targetWidth = 8, targetHeight = 8;
};

inline std::array<int, 4> Texel8(const std::vector<std::uint8_t>& bytes, UINT width, UINT x, UINT y)
{
    const std::uint8_t* p = bytes.data() + (std::size_t(y) * width + x) * 4;
    return {p[0], p[1], p[2], p[3]};
}

inline float Half(std::uint16_t h)
{
    std::uint32_t sign = (h >> 15) & 1, exp = (h >> 10) & 0x1f, mant = h & 0x3ff;
    std::uint32_t bits;
    if (exp == 0) {
        float f = std::ldexp(float(mant), -24);
        return sign ? -f : f;
    }
    if (exp == 31)
        bits = (sign << 31) | 0x7f800000u | (mant << 13);
    else
        bits = (sign << 31) | ((exp + 112) << 23) | (mant << 13);
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

}  // namespace gfxtest
