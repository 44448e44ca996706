// D3DCompile and D3DReflect without a device: messages, includes, reflection.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "platform/gfx/d3dcompiler.h"

namespace {

struct Result {
    HRESULT hr = E_FAIL;
    ID3DBlob* code = nullptr;
    std::string messages;
    ~Result()
    {
        if (code)
            code->Release();
    }
};

void Compile(Result& r, const std::string& text, const char* entry, const char* target, ID3DInclude* include = nullptr,
             const char* name = nullptr)
{
    ID3DBlob* errors = nullptr;
    r.hr = D3DCompile(text.c_str(), text.size(), name, nullptr, include, entry, target, 0, 0, &r.code, &errors);
    if (errors) {
        r.messages = static_cast<const char*>(errors->GetBufferPointer());
        errors->Release();
    }
}

const char* kQuadVs = "struct VSInput { float4 PositionCS : POSITION; float2 TexCoord : texcoord0; };\n"
                      "struct VSOutput { float4 PositionCS : SV_POSITION; float2 TexCoord : texcoord0; };\n"
                      "VSOutput v(VSInput input) { VSOutput o; o.PositionCS = input.PositionCS; o.TexCoord = "
                      "input.TexCoord; return o; }\n";

// An in-memory include callback that counts Open and Close.
class MapInclude : public ID3DInclude {
public:
    std::map<std::string, std::string> files;
    int opens = 0, closes = 0;
    std::vector<const void*> parents;
    HRESULT Open(D3D_INCLUDE_TYPE, LPCSTR name, LPCVOID parent, LPCVOID* data, UINT* bytes) override
    {
        auto it = files.find(name);
        if (it == files.end())
            return E_FAIL;
        ++opens;
        parents.push_back(parent);
        *data = it->second.c_str();
        *bytes = UINT(it->second.size());
        return S_OK;
    }
    HRESULT Close(LPCVOID) override
    {
        ++closes;
        return S_OK;
    }
};

}  // namespace

TEST(Compiler, QuadVertexShaderReflectsItsTwoInputs)
{
    Result r;
    Compile(r, kQuadVs, "v", "vs_5_0");
    ASSERT_EQ(r.hr, S_OK) << r.messages;
    EXPECT_TRUE(r.messages.empty()) << r.messages;
    ID3D11ShaderReflection* reflection = nullptr;
    ASSERT_EQ(D3DReflect(r.code->GetBufferPointer(), r.code->GetBufferSize(), IID_ID3D11ShaderReflection,
                         reinterpret_cast<void**>(&reflection)),
              S_OK);
    D3D11_SHADER_DESC desc{};
    reflection->GetDesc(&desc);
    ASSERT_EQ(desc.InputParameters, 2u);
    struct Expected {
        const char* semantic;
        UINT index;
        BYTE mask;
    } expected[] = {{"POSITION", 0, 0xF}, {"TEXCOORD", 0, 0x3}};
    for (UINT i = 0; i < 2; ++i) {
        D3D11_SIGNATURE_PARAMETER_DESC p{};
        ASSERT_EQ(reflection->GetInputParameterDesc(i, &p), S_OK);
        EXPECT_STRCASEEQ(p.SemanticName, expected[i].semantic);
        EXPECT_EQ(p.SemanticIndex, expected[i].index);
        EXPECT_EQ(p.Mask, expected[i].mask);
        EXPECT_EQ(p.ComponentType, D3D_REGISTER_COMPONENT_FLOAT32);
        EXPECT_EQ(p.SystemValueType, D3D_NAME_UNDEFINED);
    }
    D3D11_SIGNATURE_PARAMETER_DESC past{};
    EXPECT_NE(reflection->GetInputParameterDesc(2, &past), S_OK);
    reflection->Release();
}

TEST(Compiler, ReflectionRejectsOtherInterfacesAndForeignBytes)
{
    Result r;
    Compile(r, kQuadVs, "v", "vs_5_0");
    ASSERT_EQ(r.hr, S_OK);
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(D3DReflect(r.code->GetBufferPointer(), r.code->GetBufferSize(), IID_ID3D11Device, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    const char junk[] = "DXBC not really";
    EXPECT_EQ(D3DReflect(junk, sizeof junk, IID_ID3D11ShaderReflection, &out), E_INVALIDARG);
    // Cut short: every prefix of real bytecode is refused, none crashes.
    for (SIZE_T n = 0; n < r.code->GetBufferSize(); n += 7)
        EXPECT_EQ(D3DReflect(r.code->GetBufferPointer(), n, IID_ID3D11ShaderReflection, &out), E_INVALIDARG);
}

TEST(Compiler, FailuresGiveLowerCaseErrorWithFileAndLine)
{
    // The generated declaration puts a shader file's first line at line 3.
    const std::string decl = "cbuffer vars : register(b3) { float a; };\n\n";
    struct Case {
        const char* what;
        std::string text;
        const char* entry;
        const char* expect;  // file(line) that must appear
    } cases[] = {
        {"syntax", decl + "float4 p() : SV_TARGET\n{\n  return float4(1,1,1,1)\n}\n", "p", "memory(6)"},
        {"undeclared", decl + "float4 p() : SV_TARGET { return nothing_here; }\n", "p", "memory(3)"},
        {"missing entry", decl + "float4 q() : SV_TARGET { return 1; }\n", "p", "memory("},
    };
    for (const Case& c : cases) {
        Result r;
        Compile(r, c.text, c.entry, "ps_5_0");
        EXPECT_EQ(r.hr, E_FAIL) << c.what;
        EXPECT_EQ(r.code, nullptr) << c.what;
        EXPECT_NE(r.messages.find("error"), std::string::npos) << c.what << ": " << r.messages;
        EXPECT_EQ(r.messages.find("ERROR"), std::string::npos) << c.what << ": " << r.messages;
        EXPECT_NE(r.messages.find(c.expect), std::string::npos) << c.what << ": " << r.messages;
    }
    Result named;
    Compile(named, "float4 p() : SV_TARGET { return x; }", "p", "ps_5_0", nullptr, "scene.hlsl");
    EXPECT_NE(named.messages.find("scene.hlsl(1): error"), std::string::npos) << named.messages;
    Result badTarget;
    Compile(badTarget, "float4 p() : SV_TARGET { return 0; }", "p", "gs_5_0");
    EXPECT_EQ(badTarget.hr, E_FAIL);
    EXPECT_NE(badTarget.messages.find("error"), std::string::npos);
}

TEST(Compiler, WarningsComeBackAsWarningsWithCode)
{
    Result r;
    Compile(r, "#extension GL_some_feature : enable\nfloat4 p() : SV_TARGET { return 1; }\n", "p", "ps_5_0");
    ASSERT_EQ(r.hr, S_OK) << r.messages;
    ASSERT_NE(r.code, nullptr);
    EXPECT_NE(r.messages.find("warning"), std::string::npos) << r.messages;
    EXPECT_EQ(r.messages.find("error"), std::string::npos) << r.messages;
    EXPECT_NE(r.messages.find("memory(1): warning"), std::string::npos) << r.messages;
}

TEST(Compiler, IncludesGoThroughTheCallback)
{
    MapInclude include;
    include.files["lib.hlsl"] = "#include \"inner.hlsl\"\nfloat4 Shade() { return Inner(); }\n";
    include.files["inner.hlsl"] = "float4 Inner() { return float4(1, 0, 0, 1); }\n";
    Result r;
    Compile(r, "#include \"lib.hlsl\"\nfloat4 p() : SV_TARGET { return Shade(); }\n", "p", "ps_5_0", &include);
    EXPECT_EQ(r.hr, S_OK) << r.messages;
    EXPECT_EQ(include.opens, 2);
    EXPECT_EQ(include.closes, 2);
    ASSERT_EQ(include.parents.size(), 2u);
    EXPECT_EQ(include.parents[0], nullptr);
    EXPECT_EQ(include.parents[1], include.files["lib.hlsl"].c_str());

    // An error inside an include names that file and its line.
    include.files["bad.hlsl"] = "float4 Shade()\n{\n  return oops;\n}\n";
    Result bad;
    Compile(bad, "#include \"bad.hlsl\"\nfloat4 p() : SV_TARGET { return Shade(); }\n", "p", "ps_5_0", &include);
    EXPECT_EQ(bad.hr, E_FAIL);
    EXPECT_NE(bad.messages.find("bad.hlsl(3): error"), std::string::npos) << bad.messages;

    // A warning inside an include names the include too.
    include.files["warn.hlsl"] = "\n#extension GL_some_feature : enable\nfloat4 Shade() { return 1; }\n";
    Result warned;
    Compile(warned, "#include \"warn.hlsl\"\nfloat4 p() : SV_TARGET { return Shade(); }\n", "p", "ps_5_0", &include);
    EXPECT_EQ(warned.hr, S_OK) << warned.messages;
    EXPECT_NE(warned.messages.find("warn.hlsl(2): warning"), std::string::npos) << warned.messages;

    // A refused include fails the compilation.
    Result missing;
    Compile(missing, "#include \"nowhere.hlsl\"\nfloat4 p() : SV_TARGET { return 0; }\n", "p", "ps_5_0", &include);
    EXPECT_EQ(missing.hr, E_FAIL);
    EXPECT_EQ(missing.code, nullptr);
    EXPECT_NE(missing.messages.find("error"), std::string::npos) << missing.messages;
    EXPECT_EQ(include.opens, include.closes);

    // No callback: an include cannot be resolved.
    Result none;
    Compile(none, "#include \"lib.hlsl\"\nfloat4 p() : SV_TARGET { return 0; }\n", "p", "ps_5_0");
    EXPECT_EQ(none.hr, E_FAIL);
    EXPECT_NE(none.messages.find("error"), std::string::npos);
}

TEST(Compiler, TextEndsAtItsFirstZeroByte)
{
    std::string text = "float4 p() : SV_TARGET { return 1; }\n";
    text += '\0';
    text += "this is not HLSL";
    Result r;
    Compile(r, text, "p", "ps_4_0");
    EXPECT_EQ(r.hr, S_OK) << r.messages;
}

TEST(Compiler, StandardFileIncludeReadsFromTheWorkingDirectory)
{
    Result r;
    Compile(r, "#include \"include_fixture.hlsl\"\nfloat4 p() : SV_TARGET { return FromFile(); }\n", "p", "ps_5_0",
            D3D_COMPILE_STANDARD_FILE_INCLUDE);
    EXPECT_EQ(r.hr, S_OK) << r.messages;
    Result missing;
    Compile(missing, "#include \"no_such_file.hlsl\"\nfloat4 p() : SV_TARGET { return 0; }\n", "p", "ps_5_0",
            D3D_COMPILE_STANDARD_FILE_INCLUDE);
    EXPECT_EQ(missing.hr, E_FAIL);
    EXPECT_NE(missing.messages.find("error"), std::string::npos);
}
