// Textures and samplers: sampling by register, mip views, updates and copies.
#include "gfx_fixture.h"

using namespace gfxtest;

TEST_F(Gfx, SamplersFollowRegistersNotNamesAndOneTextureTakesBoth)
{
    auto* target = Texture(8, 8, DXGI_FORMAT_R32G32B32A32_FLOAT);
    auto* rtv = Rtv(target);
    // Black and white texels side by side: sampled between them, point gives one, linear gives half.
    std::uint8_t texels[8] = {0, 0, 0, 255, 255, 255, 255, 255};
    auto* tex =
        Srv(Texture(TextureDesc(2, 1, DXGI_FORMAT_R8G8B8A8_UNORM).Bind(D3D11_BIND_SHADER_RESOURCE).Data(texels, 8)));
    auto* ps = PixelShader(
        std::string(kPixelInput) +
        "Texture2D InputTexture0 : register(t0);\n"
        "Texture2D InputTexture1 : register(t1);\n"
        "SamplerState LinearSampler : register(s0);\n"
        "SamplerState PointSampler : register(s1);\n"
        "float4 p(VSOutput i) : SV_TARGET {\n"
        "  float2 uv = float2(0.5, 0.5);\n"
        "  return float4(InputTexture0.Sample(LinearSampler, uv).r, InputTexture0.Sample(PointSampler, uv).r,\n"
        "                InputTexture1.Sample(PointSampler, uv).r, 1);\n"
        "}\n");
    ID3D11SamplerState* samplers[2] = {Sampler(D3D11_FILTER_MIN_MAG_MIP_POINT),
                                       Sampler(D3D11_FILTER_MIN_MAG_MIP_LINEAR)};
    ID3D11ShaderResourceView* views[2] = {tex, nullptr};
    BindQuad();
    context->OMSetRenderTargets(1, &rtv, nullptr);
    context->PSSetShader(ps, nullptr, 0);
    context->PSSetSamplers(0, 2, samplers);
    context->PSSetShaderResources(0, 2, views);
    context->DrawIndexed(6, 0, 0);
    auto f = FloatTexels(target);
    EXPECT_TRUE(f[0] == 0.0f || f[0] == 1.0f) << f[0];  // s0 filters by point
    EXPECT_NEAR(f[1], 0.5f, 0.01f);                     // s1 linearly
    EXPECT_EQ(f[2], 0.0f);                              // t1 unbound: zeros
}

TEST_F(Gfx, ViewOfALaterMipLevelReadsThatLevel)
{
    // Level 0 of 4x4 red, level 1 of 2x2 green; a view from level 1 reads green.
    std::vector<std::uint8_t> level0(4 * 4 * 4), level1(2 * 2 * 4);
    for (std::size_t i = 0; i < level0.size(); i += 4)
        level0[i] = 255, level0[i + 3] = 255;
    for (std::size_t i = 0; i < level1.size(); i += 4)
        level1[i + 1] = 255, level1[i + 3] = 255;
    const TextureDesc d = TextureDesc(4, 4, DXGI_FORMAT_R8G8B8A8_UNORM)
                              .Bind(D3D11_BIND_SHADER_RESOURCE)
                              .Mips(2)
                              .Data(level0.data(), 16)
                              .Data(level1.data(), 8);
    ID3D11Texture2D* tex = nullptr;
    ASSERT_EQ(device->CreateTexture2D(&d.desc, d.data.data(), &tex), S_OK);
    Keep(tex);
    D3D11_SHADER_RESOURCE_VIEW_DESC sd{};
    sd.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    sd.ViewDimension = D3D11_SRV_DIMENSION_TEXTURE2D;
    sd.Texture2D = {.MostDetailedMip = 1, .MipLevels = UINT(-1)};
    auto* srv = Srv(tex, &sd);
    D3D11_SHADER_RESOURCE_VIEW_DESC got{};
    srv->GetDesc(&got);
    EXPECT_EQ(got.Texture2D.MostDetailedMip, 1u);
    EXPECT_EQ(got.Texture2D.MipLevels, 1u);
    targetWidth = targetHeight = 2;
    auto* target = Texture(2, 2, DXGI_FORMAT_R32G32B32A32_FLOAT);
    auto* rtv = Rtv(target);
    auto* ps = PixelShader(std::string(kPixelInput) +
                           "Texture2D t : register(t0); SamplerState s : register(s1);\n"
                           "float4 p(VSOutput i) : SV_TARGET { return t.Sample(s, i.TexCoord); }\n");
    auto* linear = Sampler(D3D11_FILTER_MIN_MAG_MIP_LINEAR);
    ID3D11SamplerState* samplers[2] = {nullptr, linear};
    BindQuad();
    context->OMSetRenderTargets(1, &rtv, nullptr);
    context->PSSetShader(ps, nullptr, 0);
    context->PSSetShaderResources(0, 1, &srv);
    context->PSSetSamplers(0, 2, samplers);
    context->DrawIndexed(6, 0, 0);
    auto f = FloatTexels(target);
    EXPECT_EQ(std::vector<float>(f.begin(), f.begin() + 4), (std::vector<float>{0, 1, 0, 1}));
    // Staging readback of level 1 alone.
    EXPECT_EQ(Texel8(Read(tex, 1), 2, 1, 1), (std::array<int, 4>{0, 255, 0, 255}));
}

TEST_F(Gfx, UpdatesAndCopiesOutsideTheTextureAreIgnored)
{
    // D24S8 goes through a converted copy of the caller's rows: an inverted box must not size it.
    auto* depth = Texture(TextureDesc(4, 4, DXGI_FORMAT_D24_UNORM_S8_UINT).Bind(D3D11_BIND_DEPTH_STENCIL));
    const std::vector<std::uint8_t> zeros(64, 0);
    auto* colour =
        Texture(TextureDesc(4, 4, DXGI_FORMAT_R8G8B8A8_UNORM).Bind(D3D11_BIND_SHADER_RESOURCE).Data(zeros.data(), 16));
    ASSERT_TRUE(depth && colour);
    std::vector<std::uint8_t> texels(64, 0xff);
    const D3D11_BOX boxes[] = {
        {5, 0, 0, 4, 1, 1},               // right before left
        {0, 2, 0, 4, 1, 1},               // bottom before top
        {0xfffffff0u, 0, 0, 0x10, 1, 1},  // left + width wraps
        {0, 0, 0, 5, 1, 1},               // past the right edge
    };
    for (const D3D11_BOX& box : boxes) {
        context->UpdateSubresource(depth, 0, &box, texels.data(), 16, 0);
        context->UpdateSubresource(colour, 0, &box, texels.data(), 16, 0);
    }
    EXPECT_EQ(Read(colour)[0], 0);  // nothing was written
    // A staging copy with other levels or slices than the source is refused, not run past its end.
    D3D11_TEXTURE2D_DESC d = TextureDesc(4, 4, DXGI_FORMAT_R8G8B8A8_UNORM)
                                 .Array(2)
                                 .Usage(D3D11_USAGE_STAGING, D3D11_CPU_ACCESS_READ | D3D11_CPU_ACCESS_WRITE)
                                 .Bind(0)
                                 .desc;
    ID3D11Texture2D* twoSlices = nullptr;
    ASSERT_EQ(device->CreateTexture2D(&d, nullptr, &twoSlices), S_OK);
    Keep(twoSlices);
    d.MipLevels = 2;
    d.ArraySize = 1;
    ID3D11Texture2D* twoLevels = nullptr;
    ASSERT_EQ(device->CreateTexture2D(&d, nullptr, &twoLevels), S_OK);
    Keep(twoLevels);
    auto* target = Texture(TextureDesc(4, 4, DXGI_FORMAT_R8G8B8A8_UNORM).Bind(D3D11_BIND_SHADER_RESOURCE).Array(2));
    context->CopyResource(target, twoLevels);
    context->CopyResource(twoLevels, twoSlices);
    context->CopyResource(twoSlices, twoLevels);
}
