// Draws and dispatches: compute through unordered-access views, index ranges.
#include "gfx_fixture.h"

using namespace gfxtest;

TEST_F(Gfx, ComputeShaderWritesThroughUnorderedAccessViews)
{
    // A typed buffer read through its shader view, written into another through its UAV and into a texture.
    float input[16 * 4];
    for (int i = 0; i < 64; ++i)
        input[i] = float(i);
    const D3D11_BUFFER_DESC bd =
        BufferDesc(sizeof input).Bind(D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_UNORDERED_ACCESS).desc;
    D3D11_SUBRESOURCE_DATA init{input, 0, 0};
    ID3D11Buffer *inBuf = nullptr, *outBuf = nullptr;
    ASSERT_EQ(device->CreateBuffer(&bd, &init, &inBuf), S_OK);
    ASSERT_EQ(device->CreateBuffer(&bd, nullptr, &outBuf), S_OK);
    Keep(inBuf);
    Keep(outBuf);
    D3D11_SHADER_RESOURCE_VIEW_DESC sd{};
    sd.Format = DXGI_FORMAT_R32G32B32A32_FLOAT;
    sd.ViewDimension = D3D11_SRV_DIMENSION_BUFFER;
    sd.Buffer.FirstElement = 0;
    sd.Buffer.NumElements = 16;
    auto* inView = Srv(inBuf, &sd);
    D3D11_UNORDERED_ACCESS_VIEW_DESC ud{};
    ud.Format = DXGI_FORMAT_R32G32B32A32_FLOAT;
    ud.ViewDimension = D3D11_UAV_DIMENSION_BUFFER;
    ud.Buffer = {.FirstElement = 0, .NumElements = 16, .Flags = 0};
    ID3D11UnorderedAccessView* outView = nullptr;
    ASSERT_EQ(device->CreateUnorderedAccessView(outBuf, &ud, &outView), S_OK);
    Keep(outView);
    auto* tex = Texture(
        TextureDesc(4, 4, DXGI_FORMAT_R8G8B8A8_UNORM).Bind(D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_UNORDERED_ACCESS));
    ID3D11UnorderedAccessView* texView = nullptr;
    ASSERT_EQ(device->CreateUnorderedAccessView(tex, nullptr, &texView), S_OK);
    Keep(texView);

    ID3DBlob* code = CompileOrFail("Buffer<float4> src : register(t0);\n"
                                   "RWBuffer<float4> dst : register(u0);\n"
                                   "RWTexture2D<float4> img : register(u1);\n"
                                   "cbuffer k : register(b0) { float4 add; };\n"
                                   "[numthreads(4, 4, 1)]\n"
                                   "void c(uint3 id : SV_DispatchThreadID) {\n"
                                   "  uint i = id.y * 4 + id.x;\n"
                                   "  dst[i] = src[i] + add;\n"
                                   "  img[id.xy] = float4(id.x / 3.0, id.y / 3.0, 0, 1);\n"
                                   "}\n",
                                   "c", "cs_5_0");
    ASSERT_NE(code, nullptr);
    ID3D11ShaderReflection* reflection = nullptr;
    ASSERT_EQ(D3DReflect(code->GetBufferPointer(), code->GetBufferSize(), IID_ID3D11ShaderReflection,
                         reinterpret_cast<void**>(&reflection)),
              S_OK);
    UINT gx = 0, gy = 0, gz = 0;
    reflection->GetThreadGroupSize(&gx, &gy, &gz);
    EXPECT_EQ(gx * gy * gz, 16u);
    reflection->Release();
    ID3D11ComputeShader* cs = nullptr;
    ASSERT_EQ(device->CreateComputeShader(code->GetBufferPointer(), code->GetBufferSize(), nullptr, &cs), S_OK);
    code->Release();
    Keep(cs);
    auto* cb = ConstantBuffer(16);
    const float add[4] = {100, 0, 0, 0};
    Write(cb, add, 16);
    ID3D11UnorderedAccessView* uavs[2] = {outView, texView};
    context->CSSetShader(cs, nullptr, 0);
    context->CSSetShaderResources(0, 1, &inView);
    context->CSSetUnorderedAccessViews(0, 2, uavs, nullptr);
    context->CSSetConstantBuffers(0, 1, &cb);
    context->Dispatch(1, 1, 1);

    const D3D11_BUFFER_DESC sdesc = BufferDesc(sizeof input).Usage(D3D11_USAGE_STAGING, D3D11_CPU_ACCESS_READ).desc;
    ID3D11Buffer* staging = nullptr;
    ASSERT_EQ(device->CreateBuffer(&sdesc, nullptr, &staging), S_OK);
    Keep(staging);
    context->CopyResource(staging, outBuf);
    D3D11_MAPPED_SUBRESOURCE m{};
    ASSERT_EQ(context->Map(staging, 0, D3D11_MAP_READ, 0, &m), S_OK);
    const float* got = static_cast<const float*>(m.pData);
    EXPECT_EQ(got[0], 100.0f);
    EXPECT_EQ(got[5 * 4 + 0], 120.0f);
    EXPECT_EQ(got[5 * 4 + 1], 21.0f);
    context->Unmap(staging, 0);
    auto px = Texel8(Read(tex), 4, 3, 0);
    EXPECT_EQ(px[0], 255);
    EXPECT_EQ(px[1], 0);
}

TEST_F(Gfx, IndexCountsPastTheIndexBufferDrawOnlyWhatItHolds)
{
    targetWidth = targetHeight = 4;
    auto* target = Texture(4, 4, DXGI_FORMAT_R32G32B32A32_FLOAT);
    auto* rtv = Rtv(target);
    auto* ps =
        PixelShader(std::string(kPixelInput) + "float4 p(VSOutput i) : SV_TARGET { return float4(0, 1, 0, 1); }\n");
    BindQuad();
    context->OMSetRenderTargets(1, &rtv, nullptr);
    context->PSSetShader(ps, nullptr, 0);
    const float blue[4] = {0, 0, 1, 1};
    struct Case {
        UINT count, start;
        float green;  // of every texel
    } cases[] = {
        {1000000, 0, 1},      // the six indices there are
        {6, 6, 0},            // starts at the end
        {6, 0xfffffff0u, 0},  // start * 2 bytes wraps in 32 bits
        {0xffffffffu, 3, 0},  // one triangle, half the target: not all green
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "count " << c.count << " start " << c.start);
        context->ClearRenderTargetView(rtv, blue);
        context->DrawIndexed(c.count, c.start, 0);
        context->DrawIndexedInstanced(c.count, 1, c.start, 0, 0);
        auto f = FloatTexels(target);
        float all = 1;
        for (std::size_t i = 1; i < f.size(); i += 4)
            all = std::min(all, f[i]);
        EXPECT_EQ(all, c.green);
    }
}
