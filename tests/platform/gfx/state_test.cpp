// Fixed-function state: Direct3D's defaults where GL has others, culling.
#include "gfx_fixture.h"

using namespace gfxtest;

TEST_F(Gfx, DirectXDefaultsThatGlLacks)
{
    targetWidth = targetHeight = 4;
    auto* target = Texture(4, 4, DXGI_FORMAT_R32G32B32A32_FLOAT);
    auto* rtv = Rtv(target);
    const float blue[4] = {0, 0, 1, 1};
    BindQuad();
    context->OMSetRenderTargets(1, &rtv, nullptr);

    // Unbound texture and constant buffer read as zeros (alpha too).
    auto* reads = PixelShader(std::string(kPixelInput) +
                              "Texture2D t : register(t0); SamplerState s : register(s0);\n"
                              "cbuffer c : register(b2) { float4 k; };\n"
                              "float4 p(VSOutput i) : SV_TARGET { return t.Sample(s, i.TexCoord) + k; }\n");
    context->PSSetShader(reads, nullptr, 0);
    context->DrawIndexed(6, 0, 0);
    auto f = FloatTexels(target);
    EXPECT_EQ(std::vector<float>(f.begin(), f.begin() + 4), (std::vector<float>{0, 0, 0, 0}));

    // A null pixel shader writes no colour.
    context->ClearRenderTargetView(rtv, blue);
    context->PSSetShader(nullptr, nullptr, 0);
    context->DrawIndexed(6, 0, 0);
    f = FloatTexels(target);
    EXPECT_EQ(std::vector<float>(f.begin(), f.begin() + 4), (std::vector<float>{0, 0, 1, 1}));

    // A clear ignores scissor and write masks.
    ID3D11RasterizerState* scissored = Rasterizer(RasterizerDesc(D3D11_CULL_NONE).Scissor(true).desc);
    ID3D11BlendState* noWrites = Blend(BlendForAllTargets({.BlendEnable = FALSE,
                                                           .SrcBlend = D3D11_BLEND_ONE,
                                                           .DestBlend = D3D11_BLEND_ZERO,
                                                           .BlendOp = D3D11_BLEND_OP_ADD,
                                                           .SrcBlendAlpha = D3D11_BLEND_ONE,
                                                           .DestBlendAlpha = D3D11_BLEND_ZERO,
                                                           .BlendOpAlpha = D3D11_BLEND_OP_ADD,
                                                           .RenderTargetWriteMask = 0}));
    D3D11_RECT tiny{0, 0, 1, 1};
    context->RSSetScissorRects(1, &tiny);
    context->RSSetState(scissored);
    context->OMSetBlendState(noWrites, nullptr, 0xffffffff);
    context->PSSetShader(reads, nullptr, 0);
    context->DrawIndexed(6, 0, 0);  // makes GL's scissor and mask state what the draw wanted
    const float green[4] = {0, 1, 0, 1};
    context->ClearRenderTargetView(rtv, green);
    f = FloatTexels(target);
    EXPECT_EQ(std::vector<float>(f.end() - 4, f.end()), (std::vector<float>{0, 1, 0, 1}));
    context->OMSetBlendState(nullptr, nullptr, 0xffffffff);
    context->RSSetState(raster);

    // The viewport's depth range: a vertex at depth 0 lands at MinDepth.
    ID3DBlob* code =
        CompileOrFail("struct VSInput { float4 PositionCS : POSITION; float2 TexCoord : texcoord0; };\n"
                      "struct VSOutput { float4 PositionCS : SV_POSITION; float2 TexCoord : texcoord0; };\n"
                      "VSOutput v(VSInput input) { VSOutput o; o.PositionCS = float4(input.PositionCS.xy, 0, 1); "
                      "o.TexCoord = input.TexCoord; return o; }\n",
                      "v", "vs_5_0");
    ID3D11VertexShader* flat = nullptr;
    device->CreateVertexShader(code->GetBufferPointer(), code->GetBufferSize(), nullptr, &flat);
    code->Release();
    Keep(flat);
    auto* depth =
        PixelShader(std::string(kPixelInput) + "float4 p(VSOutput i) : SV_TARGET { return i.PositionCS.z; }\n");
    BindQuad({.minDepth = 0.01f, .maxDepth = 1.0f});
    context->VSSetShader(flat, nullptr, 0);
    context->PSSetShader(depth, nullptr, 0);
    context->DrawIndexed(6, 0, 0);
    f = FloatTexels(target);
    EXPECT_NEAR(f[0], 0.01f, 1e-6);

    // A constant buffer smaller than the block reads zeros past its end,
    // also after a larger one was bound there.
    auto* block = PixelShader(std::string(kPixelInput) +
                              "cbuffer c : register(b1) { float4 one; float4 two; };\n"
                              "float4 p(VSOutput i) : SV_TARGET { return float4(one.x, two.x, two.w, 1); }\n");
    BindQuad();
    context->PSSetShader(block, nullptr, 0);
    const float ones[8] = {1, 1, 1, 1, 1, 1, 1, 1};
    auto* large = ConstantBuffer(32);
    auto* small = ConstantBuffer(16);
    Write(large, ones, 32);
    Write(small, ones, 16);
    context->PSSetConstantBuffers(1, 1, &large);
    context->DrawIndexed(6, 0, 0);
    f = FloatTexels(target);
    EXPECT_EQ(std::vector<float>(f.begin(), f.begin() + 3), (std::vector<float>{1, 1, 1}));
    context->PSSetConstantBuffers(1, 1, &small);
    context->DrawIndexed(6, 0, 0);
    f = FloatTexels(target);
    EXPECT_EQ(std::vector<float>(f.begin(), f.begin() + 3), (std::vector<float>{1, 0, 0}));
}

TEST_F(Gfx, DefaultRasterizerCullsBackFacesWithClockwiseFront)
{
    targetWidth = targetHeight = 4;
    auto* target = Texture(4, 4, DXGI_FORMAT_R32G32B32A32_FLOAT);
    auto* rtv = Rtv(target);
    auto* ps = PixelShader(std::string(kPixelInput) + "float4 p(VSOutput i) : SV_TARGET { return 1; }\n");
    const float zero[4] = {0, 0, 0, 0};
    struct Case {
        const char* what;
        bool counterClockwiseFront;  // null state: false
        bool useNullState;
        bool drawn;
    } cases[] = {{"default state, quad is clockwise on screen", false, true, true},
                 {"front counter-clockwise culls the quad", true, false, false},
                 {"front clockwise keeps it", false, false, true}};
    for (const Case& c : cases) {
        BindQuad();
        ID3D11RasterizerState* rs = nullptr;
        if (!c.useNullState)
            rs = Rasterizer(RasterizerDesc(D3D11_CULL_BACK).FrontCounterClockwise(c.counterClockwiseFront).desc);
        context->RSSetState(rs);
        context->ClearRenderTargetView(rtv, zero);
        context->OMSetRenderTargets(1, &rtv, nullptr);
        context->PSSetShader(ps, nullptr, 0);
        context->DrawIndexed(6, 0, 0);
        auto f = FloatTexels(target);
        EXPECT_EQ(f[0], c.drawn ? 1.0f : 0.0f) << c.what;
    }
}
