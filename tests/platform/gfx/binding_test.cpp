// Slots: what binding, unbinding and ClearState leave bound, and what views keep alive.
#include "gfx_fixture.h"

using namespace gfxtest;

TEST_F(Gfx, ClearStateUnbindsEverythingAndViewsKeepResourcesAlive)
{
    targetWidth = targetHeight = 2;
    auto* target = Texture(2, 2, DXGI_FORMAT_R32G32B32A32_FLOAT);
    auto* rtv = Rtv(target);
    // A view whose texture the caller has released still works (texture generators rely on it).
    float red[4 * 4] = {1, 0, 0, 1, 1, 0, 0, 1, 1, 0, 0, 1, 1, 0, 0, 1};
    const TextureDesc d =
        TextureDesc(2, 2, DXGI_FORMAT_R32G32B32A32_FLOAT).Bind(D3D11_BIND_SHADER_RESOURCE).Data(red, 32);
    ID3D11Texture2D* temporary = nullptr;
    ASSERT_EQ(device->CreateTexture2D(&d.desc, d.data.data(), &temporary), S_OK);
    ID3D11ShaderResourceView* srv = nullptr;
    ASSERT_EQ(device->CreateShaderResourceView(temporary, nullptr, &srv), S_OK);
    EXPECT_EQ(temporary->Release(), 1u);  // the view's reference remains
    Keep(srv);
    D3D11_SHADER_RESOURCE_VIEW_DESC sd{};
    srv->GetDesc(&sd);
    EXPECT_EQ(sd.ViewDimension, D3D11_SRV_DIMENSION_TEXTURE2D);
    EXPECT_EQ(sd.Texture2D.MostDetailedMip, 0u);
    ID3D11Resource* resource = nullptr;
    srv->GetResource(&resource);
    D3D11_TEXTURE2D_DESC got{};
    static_cast<ID3D11Texture2D*>(resource)->GetDesc(&got);
    EXPECT_EQ(got.Width, 2u);
    resource->Release();

    auto* ps = PixelShader(std::string(kPixelInput) +
                           "Texture2D t : register(t0); SamplerState s : register(s0);\n"
                           "float4 p(VSOutput i) : SV_TARGET { return t.Sample(s, i.TexCoord); }\n");
    BindQuad();
    context->OMSetRenderTargets(1, &rtv, nullptr);
    context->PSSetShader(ps, nullptr, 0);
    context->PSSetShaderResources(0, 1, &srv);
    context->DrawIndexed(6, 0, 0);
    auto f = FloatTexels(target);
    EXPECT_EQ(std::vector<float>(f.begin(), f.begin() + 4), (std::vector<float>{1, 0, 0, 1}));

    // After ClearState nothing is bound: a draw changes nothing.
    const float blue[4] = {0, 0, 1, 1};
    context->ClearRenderTargetView(rtv, blue);
    context->ClearState();
    context->OMSetRenderTargets(1, &rtv, nullptr);
    context->DrawIndexed(6, 0, 0);
    f = FloatTexels(target);
    EXPECT_EQ(std::vector<float>(f.begin(), f.begin() + 4), (std::vector<float>{0, 0, 1, 1}));
}

TEST_F(Gfx, AResourceBoundAsTargetLeavesTheShaderSlots)
{
    targetWidth = targetHeight = 2;
    float red[16] = {1, 0, 0, 1, 1, 0, 0, 1, 1, 0, 0, 1, 1, 0, 0, 1};
    auto* a = Texture(TextureDesc(2, 2, DXGI_FORMAT_R32G32B32A32_FLOAT).Data(red, 32));
    auto* b = Texture(2, 2, DXGI_FORMAT_R32G32B32A32_FLOAT);
    auto* aSrv = Srv(a);
    auto* aRtv = Rtv(a);
    auto* bRtv = Rtv(b);
    auto* ps =
        PixelShader(std::string(kPixelInput) +
                    "Texture2D t : register(t0); SamplerState s : register(s0);\n"
                    "float4 p(VSOutput i) : SV_TARGET { return t.Sample(s, i.TexCoord) + float4(0, 0, 0.5, 0); }\n");
    BindQuad();
    context->PSSetShader(ps, nullptr, 0);
    context->OMSetRenderTargets(1, &bRtv, nullptr);
    context->PSSetShaderResources(0, 1, &aSrv);
    context->DrawIndexed(6, 0, 0);
    auto f = FloatTexels(b);
    EXPECT_EQ(std::vector<float>(f.begin(), f.begin() + 4), (std::vector<float>{1, 0, 0.5f, 1}));
    // Binding a as the target empties t0, and it stays empty after a is no longer the target.
    context->OMSetRenderTargets(1, &aRtv, nullptr);
    context->OMSetRenderTargets(1, &bRtv, nullptr);
    context->DrawIndexed(6, 0, 0);
    f = FloatTexels(b);
    EXPECT_EQ(std::vector<float>(f.begin(), f.begin() + 4), (std::vector<float>{0, 0, 0.5f, 0}));
}

TEST_F(Gfx, SlotRangesPastTheLastSlotBindNothing)
{
    auto* target = Texture(8, 8, DXGI_FORMAT_R32G32B32A32_FLOAT);
    auto* rtv = Rtv(target);
    std::uint8_t white[4] = {255, 255, 255, 255};
    auto* tex =
        Srv(Texture(TextureDesc(1, 1, DXGI_FORMAT_R8G8B8A8_UNORM).Bind(D3D11_BIND_SHADER_RESOURCE).Data(white, 4)));
    auto* cb = ConstantBuffer(16);
    const float one[4] = {1, 1, 1, 1};
    Write(cb, one, sizeof one);
    auto* ps = PixelShader(std::string(kPixelInput) +
                           "Texture2D InputTexture0 : register(t0);\n"
                           "SamplerState PointSampler : register(s0);\n"
                           "cbuffer C : register(b0) { float4 k; };\n"
                           "float4 p(VSOutput i) : SV_TARGET {\n"
                           "  return float4(InputTexture0.Sample(PointSampler, float2(0.5, 0.5)).r, k.x, 0, 1);\n"
                           "}\n");
    ID3D11SamplerState* sampler = Sampler(D3D11_FILTER_MIN_MAG_MIP_POINT);
    BindQuad();
    context->OMSetRenderTargets(1, &rtv, nullptr);
    context->PSSetShader(ps, nullptr, 0);
    context->PSSetSamplers(0, 1, &sampler);
    context->PSSetShaderResources(0, 1, &tex);
    context->PSSetConstantBuffers(0, 1, &cb);
    // Starts past the last slot, some so far that start + 1 wraps to slot 0: none of them unbinds slot 0.
    ID3D11ShaderResourceView* noViews[2] = {};
    ID3D11Buffer* noBuffers[2] = {};
    ID3D11SamplerState* noSamplers[2] = {};
    ID3D11UnorderedAccessView* noUavs[2] = {};
    ID3D11Buffer* noVbs[2] = {};
    UINT zeros[2] = {};
    for (UINT start : {UINT(D3D11_COMMONSHADER_INPUT_RESOURCE_SLOT_COUNT), 0xffffffffu}) {
        context->PSSetShaderResources(start, 2, noViews);
        context->PSSetConstantBuffers(start, 2, noBuffers);
        context->PSSetSamplers(start, 2, noSamplers);
        context->CSSetUnorderedAccessViews(start, 2, noUavs, nullptr);
        context->IASetVertexBuffers(start, 2, noVbs, zeros, zeros);
    }
    context->DrawIndexed(6, 0, 0);
    auto f = FloatTexels(target);
    EXPECT_EQ(f[0], 1.0f);  // t0 still bound
    EXPECT_EQ(f[1], 1.0f);  // b0 still bound
}
