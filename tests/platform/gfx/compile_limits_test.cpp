// Shaders an author's generator makes that are huge in one direction: a
// statement of thousands of terms, thousands of dependent statements, a
// macro that doubles at each level. Each compiles or fails with an error that
// names the place; none ends the program.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>

#include "gfx_fixture.h"
#include "platform/gfx/d3dcompiler.h"

namespace {

const char* kHeader = "cbuffer vars : register(b3) { float k; float x; };\n";

// One statement on one line: a = (x * 1.000001) + ... (terms times).
std::string LongSum(int terms)
{
    std::string text = std::string(kHeader) + "float4 p() : SV_TARGET\n{\n    float a;\n    a = ";
    for (int i = 0; i < terms; ++i)
        text += i ? " + (x * 1.000001)" : "(x * 1.000001)";
    return text + ";\n    return float4(a, 0, 0, 1);\n}\n";
}

// Statements that each need the one before.
std::string LongChain(int statements)
{
    std::string text = std::string(kHeader) + "float4 p() : SV_TARGET\n{\n    float a = x;\n";
    for (int i = 0; i < statements; ++i)
        text += "    a = a * 0.9999 + k;\n";
    return text + "    return float4(a, 0, 0, 1);\n}\n";
}

// X<n> = (X<n-1>+X<n-1>): 2^levels copies of x.
std::string DoublingMacro(int levels)
{
    std::string text = "#define X0 x\n";
    for (int i = 1; i <= levels; ++i)
        text += "#define X" + std::to_string(i) + " (X" + std::to_string(i - 1) + "+X" + std::to_string(i - 1) + ")\n";
    return text + kHeader + "float4 p() : SV_TARGET { return float4(X" + std::to_string(levels) + ", 0, 0, 1); }\n";
}

struct Shape {
    const char* what;
    std::string text;
    float red;          // what it draws with k = 0.0001, x = 1 / 20000; negative: it does not compile
    std::string error;  // a piece of the message when it does not
};

class CompileLimits : public gfxtest::Gfx {};

}  // namespace

TEST_F(CompileLimits, HugeShadersCompileOrFailWithAnError)
{
    const Shape shapes[] = {
        // 20000 * x * 1.000001
        {"a sum of 20000 terms on one line", LongSum(20000), 1.00002f, ""},
        // The chain's fixed point is k / (1 - 0.9999) = 1; x = 1 / 20000 moves towards it.
        {"50000 dependent statements", LongChain(50000), 1.0f - (1.0f - 1.0f / 20000) * 0.0067f, ""},
        // 2^12 copies of x: well below the limit.
        {"a macro that doubles 12 times", DoublingMacro(12), 4096.0f / 20000, ""},
        // Refused where it is used; the first level beyond the limit is named.
        {"a macro that doubles 25 times", DoublingMacro(25), -1,
         "huge.hlsl(28): error: macro X16 expands to more than 250000 tokens"},
    };
    ID3D11Texture2D* target = Texture(gfxtest::TextureDesc(8, 8, DXGI_FORMAT_R32G32B32A32_FLOAT));
    ID3D11RenderTargetView* rtv = Rtv(target);
    ID3D11Buffer* vars = ConstantBuffer(16);
    const float values[4] = {0.0001f, 1.0f / 20000, 0, 0};
    Write(vars, values, sizeof values);
    for (const Shape& shape : shapes) {
        ID3DBlob* code = nullptr;
        ID3DBlob* errors = nullptr;
        D3DCompile(shape.text.c_str(), shape.text.size(), "huge.hlsl", nullptr, nullptr, "p", "ps_5_0", 0, 0, &code,
                   &errors);
        std::string messages = errors ? static_cast<const char*>(errors->GetBufferPointer()) : "";
        if (errors)
            errors->Release();
        if (shape.red < 0) {
            EXPECT_EQ(code, nullptr) << shape.what;
            EXPECT_NE(messages.find(shape.error), std::string::npos) << shape.what << "\n" << messages.substr(0, 2000);
            if (code)
                code->Release();
            continue;
        }
        ASSERT_NE(code, nullptr) << shape.what << "\n" << messages.substr(0, 2000);
        ID3D11PixelShader* ps = nullptr;
        EXPECT_EQ(device->CreatePixelShader(code->GetBufferPointer(), code->GetBufferSize(), nullptr, &ps), S_OK)
            << shape.what;
        code->Release();
        if (!ps)
            continue;
        Keep(ps);
        BindQuad();
        context->OMSetRenderTargets(1, &rtv, nullptr);
        context->PSSetConstantBuffers(3, 1, &vars);
        context->PSSetShader(ps, nullptr, 0);
        context->DrawIndexed(6, 0, 0);
        std::vector<float> texels = FloatTexels(target);
        EXPECT_NEAR(texels[0], shape.red, 2e-3f) << shape.what;
    }
}

// D4(x) expands to 256 * (tokens of x) + 255 tokens: with the 975 tokens of
// k+...+k that is 249855, with the 976 of -k+k+...+k 250111, one step either
// side of the limit.
TEST(MacroLimit, WhatIsWeighedIsEachExpansionWhereItIsPerformed)
{
    const std::string ladder = "#define D1(x) x+x\n#define D2(x) D1(D1(x))\n#define D3(x) D2(D2(x))\n"
                               "#define D4(x) D3(D3(x))\n";
    const std::string fromInclude = "#include \"includes/ladder/ladder.hlsl\"\n";
    auto terms = [](bool over) {
        std::string text = over ? "-k" : "k";
        for (int i = 1; i < 488; ++i)
            text += "+k";
        return text;
    };
    auto shader = [&](const std::string& head, const std::string& value) {
        return head + kHeader + "float4 p() : SV_TARGET\n{\n    return " + value + ";\n}\n";
    };
    struct Case {
        const char* what;
        std::string (*text)(const std::string& ladder, const std::string& fromInclude, const std::string& big,
                            const std::function<std::string(const std::string&, const std::string&)>& shader);
        bool refusedWhenOver;
        const char* where;  // of the use
    } cases[] = {
        {"defined in the main file and used",
         [](const std::string& l, const std::string&, const std::string& big, const auto& s) {
             return s(l + "#define BIG " + big + "\n", "BIG");
         },
         true, "memory(9)"},
        {"built from an include's macros",
         [](const std::string&, const std::string& i, const std::string& big, const auto& s) {
             return s(i + "#define BIG " + big + "\n", "BIG");
         },
         true, "memory(6)"},
        {"written in code",
         [](const std::string& l, const std::string&, const std::string& big, const auto& s) { return s(l, big); },
         true, "memory(8)"},
        {"defined and never used",
         [](const std::string& l, const std::string&, const std::string& big, const auto& s) {
             return s(l + "#define BIG " + big + "\n", "k");
         },
         false, ""},
    };
    for (const Case& c : cases)
        for (bool over : {false, true}) {
            const std::string text = c.text(ladder, fromInclude, "D4(" + terms(over) + ")", shader);
            ID3DBlob* code = nullptr;
            ID3DBlob* errors = nullptr;
            HRESULT hr = D3DCompile(text.c_str(), text.size(), nullptr, nullptr, D3D_COMPILE_STANDARD_FILE_INCLUDE, "p",
                                    "ps_5_0", 0, 0, &code, &errors);
            std::string messages = errors ? static_cast<const char*>(errors->GetBufferPointer()) : "";
            if (errors)
                errors->Release();
            if (code)
                code->Release();
            const std::string what = std::string(c.what) + (over ? ", just over" : ", just under");
            if (over && c.refusedWhenOver) {
                EXPECT_EQ(hr, E_FAIL) << what;
                EXPECT_EQ(messages, std::string(c.where) + ": error: macro D4 expands to more than 250000 tokens\n")
                    << what;
            } else {
                EXPECT_EQ(hr, S_OK) << what << "\n" << messages.substr(0, 2000);
                EXPECT_EQ(messages.find("expands to more than"), std::string::npos) << what;
            }
        }
}

// A use in a group the preprocessor skips is never expanded; one in a group
// it reads is refused.
TEST(MacroLimit, UsesInSkippedGroupsAreNotWeighed)
{
    const std::string ladder = "#define D1(x) x+x\n#define D2(x) D1(D1(x))\n#define D3(x) D2(D2(x))\n"
                               "#define D4(x) D3(D3(x))\n#define ON 1\n";
    struct Case {
        const char* group;  // before the over-limit use
        const char* after;
        bool refused;
    } cases[] = {
        {"#if 0", "#endif", false},
        {"#ifdef OFF", "#endif", false},
        {"#if defined(OFF) || ON - 1", "#endif", false},
        {"#if ON\n#elif 1", "#endif", false},
        {"#ifndef OFF\n#else", "#endif", false},
        {"#if ON", "#endif", true},
        {"#ifdef ON", "#endif", true},
        {"#if (ON << 2) == 4 && !defined OFF", "#endif", true},
        {"#ifdef OFF\n#elif ON", "#endif", true},
        {"#if 0\n#if 1\n#endif\n#else", "#endif", true},
    };
    for (const Case& c : cases) {
        const std::string text = ladder + std::string(kHeader) + c.group +
                                 "\nstatic const float big = D4(D4(D2(k)));\n" + c.after +
                                 "\nfloat4 p() : SV_TARGET { return k; }\n";
        const std::string line = std::to_string(7 + std::count(c.group, c.group + std::strlen(c.group), '\n') + 1);
        ID3DBlob* code = nullptr;
        ID3DBlob* errors = nullptr;
        HRESULT hr =
            D3DCompile(text.c_str(), text.size(), nullptr, nullptr, nullptr, "p", "ps_5_0", 0, 0, &code, &errors);
        std::string messages = errors ? static_cast<const char*>(errors->GetBufferPointer()) : "";
        if (errors)
            errors->Release();
        if (code)
            code->Release();
        if (c.refused) {
            EXPECT_EQ(hr, E_FAIL) << c.group;
            EXPECT_EQ(messages, "memory(" + line + "): error: macro D4 expands to more than 250000 tokens\n")
                << c.group;
        } else {
            EXPECT_EQ(hr, S_OK) << c.group << "\n" << messages.substr(0, 2000);
        }
    }
}
