// Where row 0, texture coordinates and positions lie: at the top left, as in Direct3D.
#include "gfx_fixture.h"

using namespace gfxtest;

TEST_F(Gfx, TexcoordAndPositionOriginAreTopLeft)
{
    auto* target = Texture(8, 8, DXGI_FORMAT_R32G32B32A32_FLOAT);
    auto* rtv = Rtv(target);
    auto* ps = PixelShader(std::string(kPixelInput) +
                           "float4 p(VSOutput i) : SV_TARGET { return float4(i.TexCoord, i.PositionCS.xy); }\n");
    BindQuad();
    context->OMSetRenderTargets(1, &rtv, nullptr);
    context->PSSetShader(ps, nullptr, 0);
    context->DrawIndexed(6, 0, 0);
    auto f = FloatTexels(target);
    struct {
        UINT x, y;
        float u, v;
    } cases[] = {{0, 0, 1 / 16.f, 1 / 16.f}, {7, 0, 15 / 16.f, 1 / 16.f}, {0, 7, 1 / 16.f, 15 / 16.f}};
    for (auto& c : cases) {
        const float* t = &f[(c.y * 8 + c.x) * 4];
        EXPECT_NEAR(t[0], c.u, 1e-4) << c.x << "," << c.y;
        EXPECT_NEAR(t[1], c.v, 1e-4) << c.x << "," << c.y;
        EXPECT_FLOAT_EQ(t[2], c.x + 0.5f);
        EXPECT_FLOAT_EQ(t[3], c.y + 0.5f);
    }

    // A texture's first row of data is sampled at v = 0.
    std::uint8_t texels[2 * 2 * 4] = {255, 0, 0, 255, 255, 0, 0, 255, 0, 0, 255, 255, 0, 0, 255, 255};
    auto* source =
        Texture(TextureDesc(2, 2, DXGI_FORMAT_R8G8B8A8_UNORM).Bind(D3D11_BIND_SHADER_RESOURCE).Data(texels, 8));
    auto* srv = Srv(source);
    auto* point = Sampler(D3D11_FILTER_MIN_MAG_MIP_POINT);
    auto* sample = PixelShader(std::string(kPixelInput) +
                               "Texture2D t : register(t0); SamplerState s : register(s0);\n"
                               "float4 p(VSOutput i) : SV_TARGET { return t.Sample(s, i.TexCoord); }\n");
    context->PSSetShader(sample, nullptr, 0);
    context->PSSetShaderResources(0, 1, &srv);
    context->PSSetSamplers(0, 1, &point);
    context->DrawIndexed(6, 0, 0);
    f = FloatTexels(target);
    EXPECT_FLOAT_EQ(f[0], 1.0f);                // top row red
    EXPECT_FLOAT_EQ(f[(7 * 8) * 4 + 2], 1.0f);  // bottom row blue
}
