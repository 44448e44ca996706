#include "platform/system/console.h"
#include "rendering/shader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "common/gpu_device.h"
#include "common/scratch_folder.h"
#include "rendering/builtin_shaders.h"

namespace {

const char kGoodPixel[] = R"(
float4 p(float4 pos : SV_POSITION) : SV_TARGET { return float4(1.0, 0.5, 0.25, 1.0); }
)";
const char kOtherGoodPixel[] = R"(
float4 p(float4 pos : SV_POSITION) : SV_TARGET { return float4(0.0, 1.0, 0.0, 1.0); }
)";
const char kBrokenPixel[] = R"(
float4 p(float4 pos : SV_POSITION) : SV_TARGET { return float4(1.0, ; }
)";
// A register with a shader profile compiles, with a warning.
const char kWarningPixel[] = R"(
Texture2D tex : register(ps_5_0, t0);
SamplerState sm : register(s0);
float4 p(float4 pos : SV_POSITION) : SV_TARGET { return tex.Sample(sm, pos.xy); }
)";
const char kWarningVertex[] = R"(
Texture2D tex : register(vs_5_0, t0);
float4 v(float4 pos : POSITION) : SV_POSITION { return pos; }
)";

struct Captured {
    bool result;
    std::string printed;
};

template <typename F>
Captured Capture(F&& compile)
{
    ConsoleCapture console;
    const bool result = compile();
    std::fflush(stdout);
    return {result, console.Text()};
}

std::string MessageOf(ID3DBlob* blob)
{
    return blob ? std::string(static_cast<const char*>(blob->GetBufferPointer())) : std::string();
}

}  // namespace

TEST(InputElementFormat, ByMaskAndComponentType)
{
    struct Case {
        BYTE mask;
        D3D_REGISTER_COMPONENT_TYPE type;
        DXGI_FORMAT format;
    };
    const Case cases[] = {
        {0x1, D3D_REGISTER_COMPONENT_UINT32, DXGI_FORMAT_R32_UINT},
        {0x1, D3D_REGISTER_COMPONENT_SINT32, DXGI_FORMAT_R32_SINT},
        {0x1, D3D_REGISTER_COMPONENT_FLOAT32, DXGI_FORMAT_R32_FLOAT},
        {0x0, D3D_REGISTER_COMPONENT_FLOAT32, DXGI_FORMAT_R32G32_FLOAT},
        {0x2, D3D_REGISTER_COMPONENT_FLOAT32, DXGI_FORMAT_R32G32_FLOAT},
        {0x3, D3D_REGISTER_COMPONENT_UINT32, DXGI_FORMAT_R32G32_UINT},
        {0x4, D3D_REGISTER_COMPONENT_SINT32, DXGI_FORMAT_R32G32B32_SINT},
        {0x7, D3D_REGISTER_COMPONENT_FLOAT32, DXGI_FORMAT_R32G32B32_FLOAT},
        {0x8, D3D_REGISTER_COMPONENT_UINT32, DXGI_FORMAT_R32G32B32A32_UINT},
        {0xF, D3D_REGISTER_COMPONENT_FLOAT32, DXGI_FORMAT_R32G32B32A32_FLOAT},
        {0xF, D3D_REGISTER_COMPONENT_UNKNOWN, DXGI_FORMAT_R32G32B32A32_FLOAT},
    };
    for (const Case& c : cases)
        EXPECT_EQ(InputElementFormat(c.mask, c.type), c.format) << "mask " << int(c.mask) << " type " << c.type;
}

TEST(Shader, QuadVertexShaderReflectsAFloat4AndAFloat2)
{
    REQUIRE_GPU();
    Shader shader(device);
    ASSERT_TRUE(shader.CompileVertexShader(g_builtinShaders[BuiltinShader::FullscreenQuad]));
    EXPECT_NE(shader.vertexShader, nullptr);
    EXPECT_NE(shader.inputLayout, nullptr);
    EXPECT_EQ(shader.errors, nullptr);
    ASSERT_NE(shader.code, nullptr);

    ID3D11ShaderReflection* reflection = nullptr;
    ASSERT_EQ(D3DReflect(shader.code->GetBufferPointer(), shader.code->GetBufferSize(), IID_ID3D11ShaderReflection,
                         reinterpret_cast<void**>(&reflection)),
              S_OK);
    D3D11_SHADER_DESC desc{};
    reflection->GetDesc(&desc);
    ASSERT_EQ(desc.InputParameters, 2u);
    struct Expected {
        const char* name;
        UINT index;
        DXGI_FORMAT format;
    };
    const Expected expected[2] = {{"POSITION", 0, DXGI_FORMAT_R32G32B32A32_FLOAT},
                                  {"texcoord", 0, DXGI_FORMAT_R32G32_FLOAT}};
    for (UINT i = 0; i < 2; ++i) {
        D3D11_SIGNATURE_PARAMETER_DESC parameter{};
        reflection->GetInputParameterDesc(i, &parameter);
        EXPECT_STRCASEEQ(parameter.SemanticName, expected[i].name);
        EXPECT_EQ(parameter.SemanticIndex, expected[i].index);
        EXPECT_EQ(InputElementFormat(parameter.Mask, parameter.ComponentType), expected[i].format);
    }
    reflection->Release();
}

TEST(Shader, PixelShaderWithWarningsOnlyReplacesTheOldOne)
{
    REQUIRE_GPU();
    Shader shader(device);
    ASSERT_TRUE(shader.CompilePixelShader(kGoodPixel));
    ID3D11PixelShader* first = shader.pixelShader;
    ASSERT_NE(first, nullptr);

    const Captured warned = Capture([&] { return shader.CompilePixelShader(kWarningPixel); });
    ASSERT_NE(shader.errors, nullptr) << "the compiler gave no warning for this text";
    EXPECT_TRUE(warned.result);
    EXPECT_EQ(warned.printed, "");
    EXPECT_NE(shader.pixelShader, first);
    EXPECT_NE(shader.pixelShader, nullptr);
    EXPECT_NE(MessageOf(shader.errors).find("warning"), std::string::npos) << "the warning stays in errors";
}

TEST(Shader, FailedPixelShaderPrintsOnceAndKeepsThePreviousOne)
{
    REQUIRE_GPU();
    Shader shader(device);
    ASSERT_TRUE(shader.CompilePixelShader(kGoodPixel));
    ID3D11PixelShader* good = shader.pixelShader;

    struct Case {
        const char* name;
        const char* text;
    };
    const Case cases[] = {
        {"syntax error", kBrokenPixel},
        {"no entry point", "float4 q() : SV_TARGET { return 0; }"},
        {"empty text", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Captured failed = Capture([&] { return shader.CompilePixelShader(c.text); });
        EXPECT_FALSE(failed.result);
        EXPECT_NE(failed.printed.find("error"), std::string::npos) << failed.printed;
        ASSERT_FALSE(failed.printed.empty());
        EXPECT_EQ(failed.printed.back(), '\n');
        EXPECT_EQ(shader.pixelShader, good);
        EXPECT_EQ(shader.errors, nullptr) << "no stale message after a failure";
    }
}

TEST(Shader, ErrorInsideAWarningFailsLikeAnError)
{
    REQUIRE_GPU();
    ScratchFolder dir;
    // The warning names the file it comes from, and that name holds "error".
    const std::string include =
        dir.Write("errorprone.hlsl", "Texture2D tex : register(ps_5_0, t0);\nSamplerState sm : register(s0);\n");
    const std::string text = "#include \"" + include + "\"\n" +
                             "float4 p(float4 pos : SV_POSITION) : SV_TARGET { return tex.Sample(sm, pos.xy); }\n";
    Shader shader(device);
    ASSERT_TRUE(shader.CompilePixelShader(kGoodPixel));
    ID3D11PixelShader* good = shader.pixelShader;
    const Captured result = Capture([&] { return shader.CompilePixelShader(text.c_str()); });
    ASSERT_NE(result.printed.find("warning"), std::string::npos) << "no warning: " << result.printed;
    EXPECT_FALSE(result.result);
    EXPECT_EQ(shader.pixelShader, good);
}

TEST(Shader, IncludesComeFromFilesByName)
{
    REQUIRE_GPU();
    ScratchFolder dir;
    const std::string colour = dir.Write("colour.hlsl", "static const float4 colour = float4(0.0, 0.0, 1.0, 1.0);\r\n");
    Shader shader(device);
    const std::string good =
        "#include \"" + colour + "\"\nfloat4 p(float4 pos : SV_POSITION) : SV_TARGET { return colour; }\n";
    EXPECT_TRUE(shader.CompilePixelShader(good.c_str()));
    ID3D11PixelShader* included = shader.pixelShader;
    ASSERT_NE(included, nullptr);

    const std::string missing = dir.Path("missing.hlsl");
    const std::string bad =
        "#include \"" + missing + "\"\nfloat4 p(float4 pos : SV_POSITION) : SV_TARGET { return 1; }\n";
    const Captured failed = Capture([&] { return shader.CompilePixelShader(bad.c_str()); });
    EXPECT_FALSE(failed.result);
    EXPECT_EQ(failed.printed.rfind("shader include error: cannot open file " + missing + "\n", 0), 0u)
        << failed.printed;
    EXPECT_EQ(shader.pixelShader, included);
}

TEST(Shader, VertexAndComputeShadersFailOnAnyMessage)
{
    REQUIRE_GPU();
    Shader shader(device);
    ASSERT_TRUE(shader.CompileVertexShader(g_builtinShaders[BuiltinShader::FullscreenQuad]));
    ID3D11VertexShader* quad = shader.vertexShader;
    ID3D11InputLayout* layout = shader.inputLayout;

    const Captured warned = Capture([&] { return shader.CompileVertexShader(kWarningVertex); });
    EXPECT_EQ(warned.printed, "") << "vertex messages go to the debugger output";
    EXPECT_FALSE(warned.result) << "the compiler gave no warning for the vertex text";
    EXPECT_EQ(shader.vertexShader, quad) << "a warning fails and creates nothing";
    EXPECT_EQ(shader.inputLayout, layout);
    EXPECT_EQ(shader.errors, nullptr);

    EXPECT_FALSE(shader.CompileComputeShader("[numthreads(1, 1, 1)] void c() { undefined(); }"));
    EXPECT_EQ(shader.computeShader, nullptr);
}

TEST(Shader, CopiesShareObjectsAndTheLastOneReleasesThem)
{
    REQUIRE_GPU();
    Shader original(device);
    ASSERT_TRUE(original.CompilePixelShader(kGoodPixel));
    ASSERT_TRUE(original.CompileVertexShader(g_builtinShaders[BuiltinShader::FullscreenQuad]));
    ID3D11PixelShader* first = original.pixelShader;
    const ULONG alone = gputest::RefCount(first);

    {
        Shader copy = original;
        EXPECT_EQ(copy.pixelShader, first);
        EXPECT_EQ(copy.vertexShader, original.vertexShader);
        EXPECT_EQ(gputest::RefCount(first), alone + 1);

        // A reload replaces the original's object; the copy still uses the old one.
        ASSERT_TRUE(original.CompilePixelShader(kOtherGoodPixel));
        EXPECT_NE(original.pixelShader, first);
        EXPECT_EQ(copy.pixelShader, first);
        EXPECT_EQ(gputest::RefCount(first), alone);

        Shader assigned(device);
        assigned = copy;
        Shader& alias = assigned;
        assigned = alias;
        EXPECT_EQ(gputest::RefCount(first), alone + 1);
    }
    // A copy's destruction gives back exactly the references it took.
    ID3D11PixelShader* second = original.pixelShader;
    const ULONG secondCount = gputest::RefCount(second);
    second->AddRef();
    {
        Shader replaced(original);
        EXPECT_EQ(gputest::RefCount(second), secondCount + 2);
    }
    EXPECT_EQ(second->Release(), secondCount) << "the original's reference remains";
}

// A source read from a file may hold a NUL byte: the text is read up to it,
// and when that part does not compile the error names the NUL's line.
TEST(Shader, ANulByteInTheSourceIsNamedWhenTheCutTextFails)
{
    REQUIRE_GPU();
    Shader shader(device);
    ASSERT_TRUE(shader.CompilePixelShader(kGoodPixel));
    ID3D11PixelShader* good = shader.pixelShader;

    const std::string cut =
        std::string("float4 p(float4 pos : SV_POSITION) : SV_TARGET\n{\n  return float4(1, 0, 0, 1);") + '\0' + "\n}\n";
    const Captured failed = Capture([&] { return shader.CompilePixelShader(cut, nullptr); });
    EXPECT_FALSE(failed.result);
    EXPECT_NE(failed.printed.find("(3): error: the file holds a NUL byte here"), std::string::npos) << failed.printed;
    EXPECT_EQ(shader.pixelShader, good);

    // Whatever follows a NUL after a whole shader is not read.
    const std::string whole = std::string(kOtherGoodPixel) + '\0' + "garbage (";
    const Captured compiled = Capture([&] { return shader.CompilePixelShader(whole, nullptr); });
    EXPECT_TRUE(compiled.result) << compiled.printed;
    EXPECT_EQ(compiled.printed, "");
    ID3D11PixelShader* compiledShader = shader.pixelShader;

    // The same in an included file: the error names the include's line.
    ScratchFolder dir;
    const std::string half =
        dir.Write("half.hlsl", std::string("static const float4 colour =\r\nfloat4(1, 0,") + '\0' + "0, 1);\r\n");
    const std::string includer =
        "#include \"" + half + "\"\nfloat4 p(float4 pos : SV_POSITION) : SV_TARGET { return colour; }\n";
    const Captured cutInclude = Capture([&] { return shader.CompilePixelShader(includer, nullptr); });
    EXPECT_FALSE(cutInclude.result);
    EXPECT_NE(cutInclude.printed.find("half.hlsl(2): error: the file holds a NUL byte here"), std::string::npos)
        << cutInclude.printed;
    EXPECT_EQ(shader.pixelShader, compiledShader);
}
