// Render targets and their formats: sRGB, float, array, multisampled and depth.
#include "gfx_fixture.h"

using namespace gfxtest;

TEST_F(Gfx, SrgbTargetsEncodeAndFloatTargetsKeepRange)
{
    auto* srgb = Texture(4, 4, DXGI_FORMAT_R8G8B8A8_UNORM_SRGB);
    auto* srgbRtv = Rtv(srgb);
    auto* wide = Texture(4, 4, DXGI_FORMAT_R16G16B16A16_FLOAT);
    auto* wideRtv = Rtv(wide);
    const float magenta[4] = {1, 0, 1, 1};
    context->ClearRenderTargetView(srgbRtv, magenta);
    EXPECT_EQ(Texel8(Read(srgb), 4, 1, 1), (std::array<int, 4>{255, 0, 255, 255}));

    auto* ps = PixelShader(std::string(kPixelInput) +
                           "float4 p(VSOutput i) : SV_TARGET { return float4(0.5, 4.0, 0.0, 1.0); }\n");
    targetWidth = targetHeight = 4;
    BindQuad();
    context->PSSetShader(ps, nullptr, 0);
    ID3D11RenderTargetView* both[2] = {srgbRtv, wideRtv};
    context->OMSetRenderTargets(1, &both[0], nullptr);
    context->DrawIndexed(6, 0, 0);
    auto px = Texel8(Read(srgb), 4, 2, 2);
    EXPECT_EQ(px[0], 188);
    EXPECT_EQ(px[1], 255);
    context->OMSetRenderTargets(1, &both[1], nullptr);
    context->DrawIndexed(6, 0, 0);
    auto half = Read(wide);
    std::uint16_t h[4];
    std::memcpy(h, half.data(), 8);
    EXPECT_FLOAT_EQ(Half(h[0]), 0.5f);
    EXPECT_FLOAT_EQ(Half(h[1]), 4.0f);
}

TEST_F(Gfx, MultisampledAndArrayTargets)
{
    // Four slices, one view each; sampled back through an array view.
    auto* array = Texture(TextureDesc(4, 4, DXGI_FORMAT_R8G8B8A8_UNORM).Array(4));
    const float colours[4][4] = {{1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 1}, {1, 1, 1, 1}};
    for (UINT s = 0; s < 4; ++s) {
        D3D11_RENDER_TARGET_VIEW_DESC rd{};
        rd.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
        rd.ViewDimension = D3D11_RTV_DIMENSION_TEXTURE2DARRAY;
        rd.Texture2DArray = {.MipSlice = 0, .FirstArraySlice = s, .ArraySize = 1};
        context->ClearRenderTargetView(Rtv(array, &rd), colours[s]);
    }
    for (UINT s = 0; s < 4; ++s) {
        auto px = Texel8(Read(array, s), 4, 3, 3);
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(px[c], int(colours[s][c] * 255)) << "slice " << s;
    }
    targetWidth = targetHeight = 4;
    auto* out = Texture(4, 4, DXGI_FORMAT_R32G32B32A32_FLOAT);
    auto* outRtv = Rtv(out);
    auto* ps = PixelShader(std::string(kPixelInput) +
                           "Texture2DArray t : register(t0); SamplerState s : register(s0);\n"
                           "float4 p(VSOutput i) : SV_TARGET { return t.Sample(s, float3(i.TexCoord, 2)); }\n");
    auto* arraySrv = Srv(array);
    BindQuad();
    context->OMSetRenderTargets(1, &outRtv, nullptr);
    context->PSSetShader(ps, nullptr, 0);
    context->PSSetShaderResources(0, 1, &arraySrv);
    context->DrawIndexed(6, 0, 0);
    auto f = FloatTexels(out);
    EXPECT_EQ(std::vector<float>(f.begin(), f.begin() + 4), (std::vector<float>{0, 0, 1, 1}));

    // Four samples drawn, resolved to one.
    UINT levels = 0;
    ASSERT_EQ(device->CheckMultisampleQualityLevels(DXGI_FORMAT_R8G8B8A8_UNORM, 4, &levels), S_OK);
    ASSERT_GE(levels, 1u);
    auto* ms = Texture(TextureDesc(4, 4, DXGI_FORMAT_R8G8B8A8_UNORM).Samples(4));
    auto* msRtv = Rtv(ms);
    D3D11_RENDER_TARGET_VIEW_DESC msDesc{};
    msRtv->GetDesc(&msDesc);
    EXPECT_EQ(msDesc.ViewDimension, D3D11_RTV_DIMENSION_TEXTURE2DMS);
    auto* white =
        PixelShader(std::string(kPixelInput) + "float4 p(VSOutput i) : SV_TARGET { return float4(1, 0.5, 0, 1); }\n");
    context->OMSetRenderTargets(1, &msRtv, nullptr);
    context->PSSetShader(white, nullptr, 0);
    context->DrawIndexed(6, 0, 0);
    auto* resolved = Texture(4, 4, DXGI_FORMAT_R8G8B8A8_UNORM);
    context->ResolveSubresource(resolved, 0, ms, 0, DXGI_FORMAT_R8G8B8A8_UNORM);
    auto px = Texel8(Read(resolved), 4, 1, 1);
    EXPECT_EQ(px[0], 255);
    EXPECT_NEAR(px[1], 128, 1);
}

TEST_F(Gfx, DepthBufferWithTypelessFormatIsReadThroughItsShaderView)
{
    struct Case {
        DXGI_FORMAT typeless, depth, read;
    } cases[] = {{DXGI_FORMAT_R24G8_TYPELESS, DXGI_FORMAT_D24_UNORM_S8_UINT, DXGI_FORMAT_R24_UNORM_X8_TYPELESS},
                 {DXGI_FORMAT_R32_TYPELESS, DXGI_FORMAT_D32_FLOAT, DXGI_FORMAT_R32_FLOAT},
                 {DXGI_FORMAT_R16_TYPELESS, DXGI_FORMAT_D16_UNORM, DXGI_FORMAT_R16_UNORM}};
    targetWidth = targetHeight = 4;
    auto* out = Texture(4, 4, DXGI_FORMAT_R32G32B32A32_FLOAT);
    auto* outRtv = Rtv(out);
    auto* ps = PixelShader(std::string(kPixelInput) +
                           "Texture2D t : register(t0); SamplerState s : register(s0);\n"
                           "float4 p(VSOutput i) : SV_TARGET { return t.Sample(s, i.TexCoord).r; }\n");
    for (const Case& c : cases) {
        auto* tex = Texture(TextureDesc(4, 4, c.typeless).Bind(D3D11_BIND_DEPTH_STENCIL | D3D11_BIND_SHADER_RESOURCE));
        D3D11_DEPTH_STENCIL_VIEW_DESC dd{};
        dd.Format = c.depth;
        dd.ViewDimension = D3D11_DSV_DIMENSION_TEXTURE2D;
        ID3D11DepthStencilView* dsv = nullptr;
        ASSERT_EQ(device->CreateDepthStencilView(tex, &dd, &dsv), S_OK);
        Keep(dsv);
        D3D11_SHADER_RESOURCE_VIEW_DESC sd{};
        sd.Format = c.read;
        sd.ViewDimension = D3D11_SRV_DIMENSION_TEXTURE2D;
        sd.Texture2D = {.MostDetailedMip = 0, .MipLevels = 1};
        auto* srv = Srv(tex, &sd);
        context->ClearDepthStencilView(dsv, D3D11_CLEAR_DEPTH | D3D11_CLEAR_STENCIL, 0.25f, 0);
        BindQuad();
        context->OMSetRenderTargets(1, &outRtv, nullptr);
        context->PSSetShader(ps, nullptr, 0);
        context->PSSetShaderResources(0, 1, &srv);
        context->DrawIndexed(6, 0, 0);
        auto f = FloatTexels(out);
        EXPECT_NEAR(f[0], 0.25f, 1e-3) << c.typeless;
        context->ClearState();
    }
}

TEST_F(Gfx, SrgbEncodeHoldsForEveryOutputWidthAndNotForBlending)
{
    targetWidth = targetHeight = 2;
    auto* srgb = Texture(2, 2, DXGI_FORMAT_R8G8B8A8_UNORM_SRGB);
    auto* rtv = Rtv(srgb);
    struct Case {
        const char* returns;
        int red;
    } cases[] = {{"float4 p(VSOutput i) : SV_TARGET { return float4(0.5, 0, 0, 1); }", 188},
                 {"float3 p(VSOutput i) : SV_TARGET { return float3(0.5, 0, 0); }", 188},
                 {"float p(VSOutput i) : SV_TARGET { return 0.5; }", 188}};
    const float black[4] = {0, 0, 0, 0};
    for (const Case& c : cases) {
        auto* ps = PixelShader(std::string(kPixelInput) + c.returns + "\n");
        context->ClearRenderTargetView(rtv, black);
        BindQuad();
        context->OMSetRenderTargets(1, &rtv, nullptr);
        context->PSSetShader(ps, nullptr, 0);
        context->DrawIndexed(6, 0, 0);
        EXPECT_EQ(Texel8(Read(srgb), 2, 0, 0)[0], c.red) << c.returns;
    }
    // Additive blending of two 0.25s adds in linear light: 0.5 stored, within the driver's encode.
    ID3D11BlendState* additive = Blend(BlendForAllTargets({.BlendEnable = TRUE,
                                                           .SrcBlend = D3D11_BLEND_ONE,
                                                           .DestBlend = D3D11_BLEND_ONE,
                                                           .BlendOp = D3D11_BLEND_OP_ADD,
                                                           .SrcBlendAlpha = D3D11_BLEND_ONE,
                                                           .DestBlendAlpha = D3D11_BLEND_ONE,
                                                           .BlendOpAlpha = D3D11_BLEND_OP_ADD,
                                                           .RenderTargetWriteMask = 0xF}));
    auto* quarter =
        PixelShader(std::string(kPixelInput) + "float4 p(VSOutput i) : SV_TARGET { return float4(0.25, 0, 0, 1); }\n");
    context->ClearRenderTargetView(rtv, black);
    context->OMSetBlendState(additive, nullptr, 0xffffffff);
    context->PSSetShader(quarter, nullptr, 0);
    context->DrawIndexed(6, 0, 0);
    context->DrawIndexed(6, 0, 0);
    EXPECT_NEAR(Texel8(Read(srgb), 2, 1, 1)[0], 188, 1);
}
