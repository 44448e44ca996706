#include "rendering/builtin_shaders.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "common/gpu_device.h"
#include "passes.h"
#include "rendering/constant_buffer.h"
#include "rendering/post_processor.h"
#include "rendering/shader.h"

namespace {
std::vector<float> Random(u32 texels, unsigned seed)
{
    std::vector<float> rgba(texels * 4);
    for (float& v : rgba) {
        seed = seed * 1664525u + 1013904223u;
        v = static_cast<float>(seed >> 8) / static_cast<float>(1u << 24);
    }
    return rgba;
}

std::string Replace(std::string text, const std::string& from, const std::string& to)
{
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}
}  // namespace

TEST(BuiltinShaders, TextsArePlainAsciiWithLineFeeds)
{
    for (int i = 0; i < BuiltinShader::Count; ++i) {
        ASSERT_NE(g_builtinShaders[i], nullptr);
        for (const char* c = g_builtinShaders[i]; *c; ++c) {
            ASSERT_TRUE(*c == '\n' || (*c >= 32 && *c < 127)) << "text " << i;
        }
    }
}

TEST(BuiltinShaders, EveryTextCompiles)
{
    REQUIRE_GPU();
    const int pixelTexts[] = {BuiltinShader::BlurHorizontal, BuiltinShader::BlurVertical, BuiltinShader::AddTwo,
                              BuiltinShader::Fxaa,           BuiltinShader::HashNoise,    BuiltinShader::Copy,
                              BuiltinShader::OctaveBlend,    BuiltinShader::LoadingScreen};
    for (int i : pixelTexts) {
        Shader shader(device);
        EXPECT_TRUE(shader.CompilePixelShader(g_builtinShaders[i])) << "text " << i;
        EXPECT_NE(shader.pixelShader, nullptr) << "text " << i;
    }
    Shader quad(device);
    EXPECT_TRUE(quad.CompileVertexShader(g_builtinShaders[BuiltinShader::FullscreenQuad]));

    // The ray-marching library has no entry point: compile it inside a user.
    std::string user = g_builtinShaders[BuiltinShader::RaymarchLibrary];
    user += R"(
float2 scene(float3 pos) { return unite(float2(fSphere(pos, 1.0), 1.0), float2(fBox(pos - 2.0, 0.5), 2.0)); }
float4 p(VSOutput input) : SV_TARGET
{
    Light light;
    light.position = float3(3.0, 3.0, -3.0);
    light.color = float4(1.0, 1.0, 1.0, 1.0);
    light.brightness = 4.0;
    light.penumbraFactor = 8.0;
    Material material;
    material.color = float4(1.0, 0.5, 0.2, 1.0);
    material.gloss = 1.0;
    float3 pos = float3(input.TexCoord, -1.5);
    float3 n = sceneNormal(pos);
    return calcLighting(pos, n, float3(0.0, 0.0, -5.0), light, material) + snoise(pos) + lnoise(pos.xy);
}
)";
    Shader library(device);
    EXPECT_TRUE(library.CompilePixelShader(user.c_str()));
}

TEST(BuiltinShaders, BlurSpreadsOneTexelOverNineWeightedTaps)
{
    REQUIRE_GPU();
    PostProcessor pass;
    pass.Initialize(device);

    struct Case {
        const char* name;
        int text;
        u32 width, height;
    };
    const Case cases[] = {{"horizontal", BuiltinShader::BlurHorizontal, 48, 6},
                          {"vertical", BuiltinShader::BlurVertical, 6, 48}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const bool horizontal = c.text == BuiltinShader::BlurHorizontal;
        const u32 bx = horizontal ? 24 : 3, by = horizontal ? 3 : 24;
        std::vector<float> rgba(c.width * c.height * 4, 0.0f);
        for (int k = 0; k < 4; ++k)
            rgba[(by * c.width + bx) * 4 + k] = 1.0f;
        ID3D11ShaderResourceView* input = gputest::FloatTexture(device, c.width, c.height, rgba);
        ASSERT_NE(input, nullptr);

        Shader blur(device);
        ASSERT_TRUE(blur.CompilePixelShader(g_builtinShaders[c.text]));
        ConstantBuffer<BlurParams> params;
        params.data.blursamples = Float2(4, 4);
        params.data.blursize = Float2(2, 2);
        params.Create(device);
        params.Update(context);
        params.BindPS(context, 2);

        test::FloatTarget out(device, c.width, c.height);
        pass.Draw(context, input, out.rtv(), &blur);
        const std::vector<float> texels = out.Read(device, context);
        ASSERT_EQ(texels.size(), rgba.size());

        // Tap i of the Gaussian sits 2.8 i / 4 deviations out, 2 i texels away.
        double weights[9], total = 0;
        for (int i = -4; i <= 4; ++i)
            total += weights[i + 4] = std::exp(-std::pow(i / 4.0 * 2.8, 2) / 2.0);
        double sum = 0;
        int taps = 0;
        for (u32 y = 0; y < c.height; ++y)
            for (u32 x = 0; x < c.width; ++x) {
                const float v = texels[(y * c.width + x) * 4];
                const int along = horizontal ? static_cast<int>(x) - 24 : static_cast<int>(y) - 24;
                const bool onLine = horizontal ? y == by : x == bx;
                const bool tap = onLine && along % 2 == 0 && along >= -8 && along <= 8;
                if (tap) {
                    EXPECT_NEAR(v, weights[along / 2 + 4] / total, 1e-5) << "tap at " << along;
                    ++taps;
                } else {
                    EXPECT_EQ(v, 0.0f) << "at " << x << ", " << y;
                }
                sum += v;
                EXPECT_EQ(texels[(y * c.width + x) * 4 + 3], v) << "every channel alike";
            }
        EXPECT_EQ(taps, 9);
        EXPECT_NEAR(sum, 1.0, 1e-5);
        input->Release();
    }
}

TEST(BuiltinShaders, BlurWithNoSamplesWritesNaN)
{
    REQUIRE_GPU();
    PostProcessor pass;
    pass.Initialize(device);
    ID3D11ShaderResourceView* input = gputest::FloatTexture(device, 4, 4, Random(16, 7));
    Shader blur(device);
    ASSERT_TRUE(blur.CompilePixelShader(g_builtinShaders[BuiltinShader::BlurHorizontal]));
    ConstantBuffer<BlurParams> params;  // blursamples (0, 0)
    params.Create(device);
    params.Update(context);
    params.BindPS(context, 2);
    test::FloatTarget out(device, 4, 4);
    pass.Draw(context, input, out.rtv(), &blur);
    for (float v : out.Read(device, context))
        EXPECT_TRUE(std::isnan(v));
    input->Release();
}

TEST(BuiltinShaders, AddGivesTheSameSumUnderPointAndLinearSampling)
{
    REQUIRE_GPU();
    CombineProcessor pass;
    pass.Initialize(device);
    const std::vector<float> a = Random(12 * 8, 1), b = Random(12 * 8, 2);
    ID3D11ShaderResourceView* ta = gputest::FloatTexture(device, 12, 8, a);
    ID3D11ShaderResourceView* tb = gputest::FloatTexture(device, 12, 8, b);
    ASSERT_TRUE(ta && tb);

    // The text samples through s1, the linear sampler; its twin through s0.
    Shader linear(device), point(device);
    ASSERT_TRUE(linear.CompilePixelShader(g_builtinShaders[BuiltinShader::AddTwo]));
    const std::string twin =
        Replace(g_builtinShaders[BuiltinShader::AddTwo], "Sample(PointSampler", "Sample(LinearSampler");
    ASSERT_TRUE(point.CompilePixelShader(twin.c_str()));

    test::FloatTarget outLinear(device, 12, 8), outPoint(device, 12, 8);
    pass.Draw(context, ta, tb, outLinear.rtv(), &linear);
    pass.Draw(context, ta, tb, outPoint.rtv(), &point);
    const std::vector<float> viaLinear = outLinear.Read(device, context);
    const std::vector<float> viaPoint = outPoint.Read(device, context);
    ASSERT_EQ(viaLinear.size(), a.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_NEAR(viaLinear[i], a[i] + b[i], 1e-6f) << i;
        EXPECT_NEAR(viaPoint[i], a[i] + b[i], 1e-6f) << i;
    }
    ta->Release();
    tb->Release();
}

TEST(BuiltinShaders, HashNoiseHasEqualChannelsInTheUnitInterval)
{
    REQUIRE_GPU();
    TexgenProcessor pass;
    pass.Initialize(device);
    Shader noise(device);
    ASSERT_TRUE(noise.CompilePixelShader(g_builtinShaders[BuiltinShader::HashNoise]));
    test::FloatTarget out(device, 64, 64);
    pass.Generate(context, nullptr, out.rtv(), &noise);
    const std::vector<float> texels = out.Read(device, context);
    ASSERT_EQ(texels.size(), 64u * 64u * 4u);
    float low = 1, high = 0;
    for (std::size_t i = 0; i < texels.size(); i += 4) {
        ASSERT_EQ(texels[i], texels[i + 1]);
        ASSERT_EQ(texels[i], texels[i + 2]);
        ASSERT_EQ(texels[i], texels[i + 3]);
        ASSERT_GE(texels[i], 0.0f);
        ASSERT_LT(texels[i], 1.0f);
        low = std::min(low, texels[i]);
        high = std::max(high, texels[i]);
    }
    EXPECT_LT(low, 0.1f) << "noise, not a constant";
    EXPECT_GT(high, 0.9f);
}

TEST(BuiltinShaders, LoadingScreenIsOpaqueAndFinite)
{
    REQUIRE_GPU();
    const char* text = g_builtinShaders[BuiltinShader::LoadingScreen];
    TexgenProcessor pass;
    pass.Initialize(device);
    Shader screen(device);
    ASSERT_TRUE(screen.CompilePixelShader(text));
    TexgenProcessorParams params;
    params.data1 = Float4(160, 100, 3.0f, 0.5f);  // the block's only vector: data
    pass.SetParams(params);
    test::FloatTarget out(device, 160, 100);
    pass.Generate(context, nullptr, out.rtv(), &screen);
    const std::vector<float> texels = out.Read(device, context);
    ASSERT_EQ(texels.size(), 160u * 100u * 4u);
    for (std::size_t i = 0; i < texels.size(); ++i)
        ASSERT_TRUE(std::isfinite(texels[i])) << i;
    for (std::size_t i = 3; i < texels.size(); i += 4)
        ASSERT_EQ(texels[i], 1.0f);
    EXPECT_NE(texels[0], texels[(50 * 160 + 80) * 4]) << "not one flat colour";
}

TEST(BuiltinShaders, FxaaSoftensAStaircaseAndLeavesFlatAreas)
{
    REQUIRE_GPU();
    // The filter's frame size is fixed at 1600 x 900.
    const UINT width = 1600, height = 900;
    std::vector<std::uint8_t> image(static_cast<std::size_t>(width) * height * 4);
    for (UINT y = 0; y < height; ++y)
        for (UINT x = 0; x < width; ++x) {
            const std::uint8_t v = x * 3 > y * 5 + 2000 ? 255 : 0;  // an aliased diagonal, luma in alpha
            std::uint8_t* t = &image[(static_cast<std::size_t>(y) * width + x) * 4];
            t[0] = t[1] = t[2] = t[3] = v;
        }
    RenderTarget input;
    input.Create(device, width, height, DXGI_FORMAT_R8G8B8A8_UNORM, 1, 1, 0, false, false, 1, true,
                 D3D11_SUBRESOURCE_DATA{image.data(), width * 4, width * height * 4});
    RenderTarget output;
    output.Create(device, width, height, DXGI_FORMAT_R8G8B8A8_UNORM, 1, 1, 0, false, false, 1, false,
                  D3D11_SUBRESOURCE_DATA{nullptr, 0, 0});
    ASSERT_TRUE(input.shaderResourceView && output.renderTargetView);

    Shader fxaa(device);
    ASSERT_TRUE(fxaa.CompilePixelShader(g_builtinShaders[BuiltinShader::Fxaa]));
    PostProcessor pass;
    pass.Initialize(device);
    pass.Draw(context, input.shaderResourceView, output.renderTargetView, &fxaa);
    const std::vector<std::uint8_t> result = gputest::ReadTexels(device, context, output.texture);
    ASSERT_EQ(result.size(), image.size());

    int softened = 0, changedFlat = 0;
    for (UINT y = 1; y + 1 < height; ++y)
        for (UINT x = 1; x + 1 < width; ++x) {
            const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 4;
            EXPECT_EQ(result[i + 3], image[i + 3]) << "the centre's alpha stays";
            const long edge = static_cast<long>(x) * 3 - static_cast<long>(y) * 5 - 2000;
            if (std::labs(edge) > 40)
                changedFlat += result[i] != image[i];
            else
                softened += result[i] != 0 && result[i] != 255;
        }
    EXPECT_EQ(changedFlat, 0);
    EXPECT_GT(softened, 200) << "pixels along the edge take in-between values";
    input.Release();
    output.Release();
}
