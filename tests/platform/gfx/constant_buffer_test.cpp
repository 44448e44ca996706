// Constant buffers: registers, HLSL packing, uploads only of changed bytes.
#include "gfx_fixture.h"
#include "platform/gfx/gfx_stats.h"

using namespace gfxtest;

TEST_F(Gfx, RegistersBindByNumberWithHlslPacking)
{
    auto* target = Texture(8, 8, DXGI_FORMAT_R32G32B32A32_FLOAT);
    auto* rtv = Rtv(target);
    // b1: float a; float2 b; (b at byte 4); b0: Resolution at c2.x; b3 with a matrix row.
    auto* ps = PixelShader(std::string(kPixelInput) +
                           "cbuffer PSConstants : register(b0) { float2 Resolution : packoffset(c2.x); };\n"
                           "cbuffer block : register(b1) { float a; float2 b; float4x4 m; };\n"
                           "cbuffer vars : register(b3) { float first; float4 second; };\n"
                           "float4 p(VSOutput i) : SV_TARGET {\n"
                           "  if (i.PositionCS.x < 1) return float4(Resolution, a, b.x);\n"
                           "  if (i.PositionCS.x < 2) return float4(b.y, first, second.xy);\n"
                           "  return m[1];\n"
                           "}\n");
    float b0[12] = {};
    b0[8] = 1600;
    b0[9] = 900;
    float b1[20] = {};
    b1[0] = 1;  // a
    b1[1] = 2;  // b.x
    b1[2] = 3;  // b.y
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            b1[4 + r * 4 + c] = float(10 * r + c);  // column-major: register r holds column r
    float b3[8] = {5, 0, 0, 0, 6, 7, 8, 9};
    ID3D11Buffer* cbs[4] = {ConstantBuffer(48), ConstantBuffer(96), nullptr, ConstantBuffer(32)};
    Write(cbs[0], b0, sizeof b0);
    Write(cbs[1], b1, sizeof b1);
    Write(cbs[3], b3, sizeof b3);
    BindQuad();
    context->OMSetRenderTargets(1, &rtv, nullptr);
    context->PSSetShader(ps, nullptr, 0);
    context->PSSetConstantBuffers(0, 4, cbs);
    context->DrawIndexed(6, 0, 0);
    auto f = FloatTexels(target);
    EXPECT_EQ(std::vector<float>(f.begin(), f.begin() + 4), (std::vector<float>{1600, 900, 1, 2}));
    EXPECT_EQ(std::vector<float>(f.begin() + 4, f.begin() + 8), (std::vector<float>{3, 5, 6, 7}));
    // m[1] is row 1: the second float of each column register.
    EXPECT_EQ(std::vector<float>(f.begin() + 8, f.begin() + 12), (std::vector<float>{1, 11, 21, 31}));
}

TEST_F(Gfx, ConstantsUploadOnlyWhenTheirBytesChange)
{
    targetWidth = targetHeight = 2;
    auto* target = Texture(2, 2, DXGI_FORMAT_R32G32B32A32_FLOAT);
    auto* rtv = Rtv(target);
    auto* ps = PixelShader(std::string(kPixelInput) + "cbuffer c : register(b1) { float4 k; };\n"
                                                      "float4 p(VSOutput i) : SV_TARGET { return k; }\n");
    auto* cb = ConstantBuffer(16);
    BindQuad();
    context->OMSetRenderTargets(1, &rtv, nullptr);
    context->PSSetShader(ps, nullptr, 0);
    context->PSSetConstantBuffers(1, 1, &cb);
    const float a[4] = {1, 2, 3, 4}, b[4] = {5, 6, 7, 8};
    Write(cb, a, 16);
    context->DrawIndexed(6, 0, 0);
    auto before = gfx::CurrentGlCallCounts();
    Write(cb, a, 16);  // same bytes
    context->DrawIndexed(6, 0, 0);
    auto same = gfx::CurrentGlCallCounts();
    EXPECT_EQ(same.uniformUploads, before.uniformUploads);
    EXPECT_EQ(same.stateChanges, before.stateChanges);  // an identical draw changes no GL state
    // A new buffer with the same bytes, as the intro makes its blocks every frame.
    auto* again = ConstantBuffer(16);
    Write(again, a, 16);
    context->PSSetConstantBuffers(1, 1, &again);
    context->DrawIndexed(6, 0, 0);
    EXPECT_EQ(gfx::CurrentGlCallCounts().uniformUploads, same.uniformUploads);
    Write(again, b, 16);
    context->DrawIndexed(6, 0, 0);
    EXPECT_EQ(gfx::CurrentGlCallCounts().uniformUploads, same.uniformUploads + 1);
    auto f = FloatTexels(target);
    EXPECT_EQ(std::vector<float>(f.begin(), f.begin() + 4), (std::vector<float>{5, 6, 7, 8}));
}

TEST_F(Gfx, AnEmptyGeneratedBlockCompiles)
{
    // A scene's post section without parameters generates an empty "vars" block.
    auto* ps = PixelShader("cbuffer vars : register(b3) {  };\n\n" + std::string(kPixelInput) +
                           "float4 p(VSOutput i) : SV_TARGET { return 1; }\n");
    EXPECT_NE(ps, nullptr);
}
