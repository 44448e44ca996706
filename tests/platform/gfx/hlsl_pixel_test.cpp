// What the translator accepts beyond glslang's own HLSL, drawn and read back:
// each shader of the table must draw its colour.
#include <fstream>
#include <sstream>

#include "gfx_fixture.h"

using namespace gfxtest;

namespace {

const char* kVsOutput = "struct VSOutput { float4 PositionCS : SV_POSITION; float2 TexCoord : texcoord0; };\n";

// Compiles one that Direct3D warns about: the warning comes back, the code too.
ID3D11PixelShader* WarnedPixelShader(ID3D11Device* device, const std::string& text, const char* entry = "p")
{
    ID3DBlob* code = nullptr;
    ID3DBlob* errors = nullptr;
    EXPECT_EQ(D3DCompile(text.c_str(), text.size(), nullptr, nullptr, nullptr, entry, "ps_5_0", 0, 0, &code, &errors),
              S_OK);
    std::string messages = errors ? static_cast<const char*>(errors->GetBufferPointer()) : "";
    if (errors)
        errors->Release();
    EXPECT_NE(messages.find("warning: "), std::string::npos) << messages;
    EXPECT_EQ(messages.find("error"), std::string::npos) << messages;
    if (!code)
        return nullptr;
    ID3D11PixelShader* ps = nullptr;
    EXPECT_EQ(device->CreatePixelShader(code->GetBufferPointer(), code->GetBufferSize(), nullptr, &ps), S_OK);
    code->Release();
    return ps;
}

struct Drawn {
    const char* what;
    std::string source;  // the pixel shader's entry p
    std::array<int, 4> rgba;
};

}  // namespace

TEST_F(Gfx, WhatDirect3DAcceptsWithAWarningDrawsAsThere)
{
    targetWidth = targetHeight = 2;
    auto* target = Texture(2, 2, DXGI_FORMAT_R8G8B8A8_UNORM);
    auto* rtv = Rtv(target);
    const Drawn cases[] = {
        {"loop variable read after the loop",
         "float4 p(VSOutput input) : SV_TARGET\n{\n    for (int n = 0; n < 4; n++) {}\n"
         "    return float4(n / 4.0, 0, 0, 1);\n}\n",
         {255, 0, 0, 255}},
        {"after an attributed loop without braces",
         "float4 p(VSOutput input) : SV_TARGET\n{\n    float s = 0;\n    [unroll] for (float x = 0; x < 2; x += 1)\n"
         "        s += 0.2;\n    return float4(0, s * x, 0, 1);\n}\n",
         {0, 204, 0, 255}},
        {"the later of two loops with the same variable",
         "float4 p(VSOutput input) : SV_TARGET\n{\n    float s = 0;\n    for (int j = 0; j < 2; j++) { s += 0.1; }\n"
         "    for (int j = 0; j < 5; j++) { s += 0.1; }\n    return float4(s - 0.5, 0, j / 5.0, 1);\n}\n",
         {51, 0, 255, 255}},
        {"loop in a nested block, read in it",
         "float4 p(VSOutput input) : SV_TARGET\n{\n    float4 c = 0;\n    if (input.TexCoord.x >= 0) {\n"
         "        for (uint k = 0; k < 3; ++k) { c.g += 0.2; }\n        c.r = k * 0.2;\n    }\n    c.a = 1;\n"
         "    return c;\n}\n",
         {153, 153, 0, 255}},
        {"loop variable that declares again one of its block: the loop's is read after",
         "float4 p(VSOutput input) : SV_TARGET\n{\n    int n = 1;\n    for (int n = 0; n < 4; n++) {}\n"
         "    return float4(n / 4.0, 0, 0, 1);\n}\n",
         {255, 0, 0, 255}},
        {"loop variable in an inner block: the outer one is read after the block",
         "float4 p(VSOutput input) : SV_TARGET\n{\n    float4 c = 0;\n    int n = 1;\n    {\n"
         "        for (int n = 0; n < 4; n++) {}\n        c.r = n / 4.0;\n    }\n    c.g = n / 5.0;\n    c.a = 1;\n"
         "    return c;\n}\n",
         {255, 51, 0, 255}},
        {"vector to a scalar parameter",
         "float Half(float x) { return x * 0.5; }\nfloat4 p(VSOutput input) : SV_TARGET\n{\n"
         "    float3 v = float3(0.8, 0.2, 0.6);\n    return float4(Half(v), 0, 0, 1);\n}\n",
         {102, 0, 0, 255}},
        {"vector to one of two parameters, nested calls",
         "float Add(float a, float b) { return a + b; }\nfloat4 p(VSOutput input) : SV_TARGET\n{\n"
         "    float2 v = float2(0.2, 0.9);\n    return float4(0, Add(Add(v, 0.2), float4(0.2, 1, 1, 1)), 0, 1);\n}\n",
         {0, 153, 0, 255}},
        {"vector to a scalar parameter of one of two overloads",
         "float2 Pair(float a, float b) { return float2(a, b); }\nfloat2 Pair(float a) { return float2(a, 0); }\n"
         "float4 p(VSOutput input) : SV_TARGET\n{\n    float3 v = float3(0.4, 0.2, 0.6);\n"
         "    return float4(Pair(v).x, Pair(v.zy, v), 1);\n}\n",
         {102, 153, 102, 255}},
        {"both at once",
         "float Quarter(float x) { return x * 0.25; }\nfloat4 p(VSOutput input) : SV_TARGET\n{\n"
         "    for (int i = 0; i < 4; i++) {}\n    return float4(0, 0, Quarter(float2(i, 0)), 1);\n}\n",
         {0, 0, 255, 255}},
    };
    const float black[4] = {0, 0, 0, 0};
    for (const Drawn& c : cases) {
        auto* ps = Keep(WarnedPixelShader(device, std::string(kVsOutput) + c.source));
        ASSERT_NE(ps, nullptr) << c.what;
        context->ClearRenderTargetView(rtv, black);
        BindQuad();
        context->OMSetRenderTargets(1, &rtv, nullptr);
        context->PSSetShader(ps, nullptr, 0);
        context->DrawIndexed(6, 0, 0);
        std::array<int, 4> got = Texel8(Read(target), 2, 1, 1);
        for (int k = 0; k < 4; ++k)
            EXPECT_NEAR(got[k], c.rgba[k], 1) << c.what << ", channel " << k;
    }
}

// Of two overloads, the one that takes two arguments; its scalar one gets v.x.
TEST_F(Gfx, AVectorToAScalarParameterOfAnOverloadDrawsItsFirstComponent)
{
    targetWidth = targetHeight = 64;
    auto* target = Texture(64, 64, DXGI_FORMAT_R8G8B8A8_UNORM);
    auto* rtv = Rtv(target);
    const char* source = "float3 widen(float2 a, float b) { return float3(a, b); }\n"
                         "float3 widen(float a) { return float3(a, a, a); }\n"
                         "float4 main(float4 pos : SV_Position) : SV_Target { float2 v = pos.xy / 64; "
                         "return float4(widen(v, v), 1); }\n";
    auto* ps = Keep(WarnedPixelShader(device, source, "main"));
    ASSERT_NE(ps, nullptr);
    const float black[4] = {0, 0, 0, 0};
    context->ClearRenderTargetView(rtv, black);
    BindQuad();
    context->OMSetRenderTargets(1, &rtv, nullptr);
    context->PSSetShader(ps, nullptr, 0);
    context->DrawIndexed(6, 0, 0);
    std::vector<std::uint8_t> pixels = Read(target);
    const std::array<UINT, 2> places[] = {{0, 0}, {16, 48}, {63, 5}, {40, 40}};
    for (const auto& [x, y] : places) {
        int r = int((x + 0.5) / 64 * 255 + 0.5), g = int((y + 0.5) / 64 * 255 + 0.5);
        std::array<int, 4> want = {r, g, r, 255};
        std::array<int, 4> got = Texel8(pixels, 64, x, y);
        for (int k = 0; k < 4; ++k)
            EXPECT_NEAR(got[k], want[k], 1) << "texel " << x << "," << y << ", channel " << k;
    }
}

TEST_F(Gfx, NestedStandardIncludesDrawFromTheFilesBesideTheirIncluders)
{
    // main.hlsl's lib/colour.hlsl takes the shade.hlsl beside it (red 1), not
    // the one beside main.hlsl (red 0).
    const char* path = "includes/nested/main.hlsl";
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::string source = text.str();
    ID3DBlob* code = nullptr;
    ID3DBlob* errors = nullptr;
    HRESULT hr = D3DCompile(source.c_str(), source.size(), path, nullptr, D3D_COMPILE_STANDARD_FILE_INCLUDE, "p",
                            "ps_5_0", 0, 0, &code, &errors);
    std::string messages = errors ? static_cast<const char*>(errors->GetBufferPointer()) : "";
    if (errors)
        errors->Release();
    ASSERT_EQ(hr, S_OK) << messages;
    ID3D11PixelShader* ps = nullptr;
    EXPECT_EQ(device->CreatePixelShader(code->GetBufferPointer(), code->GetBufferSize(), nullptr, &ps), S_OK);
    code->Release();
    Keep(ps);
    targetWidth = targetHeight = 2;
    auto* target = Texture(2, 2, DXGI_FORMAT_R8G8B8A8_UNORM);
    auto* rtv = Rtv(target);
    BindQuad();
    context->OMSetRenderTargets(1, &rtv, nullptr);
    context->PSSetShader(ps, nullptr, 0);
    context->DrawIndexed(6, 0, 0);
    std::array<int, 4> expected = {255, 255, 0, 255};
    EXPECT_EQ(Texel8(Read(target), 2, 0, 0), expected);
}
