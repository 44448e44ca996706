#include "platform/system/console.h"
#include "rendering/post_processor.h"
#include "rendering/render_target.h"

#include <gtest/gtest.h>

#include <vector>

#include "common/gpu_device.h"
#include "passes.h"

namespace {
// Shows b0: texel x of a 3 x 1 target is register c[x] of the pass constants.
const char kShowPassConstants[] = R"(
cbuffer PSConstants : register(b0) { float4 c0; float4 c1; float4 c2; };
float4 p(float4 pos : SV_POSITION) : SV_TARGET
{
    if (pos.x < 1.0) return c0;
    if (pos.x < 2.0) return c1;
    return c2;
}
)";
const char kQuarter[] = R"(
float4 p(float4 pos : SV_POSITION) : SV_TARGET { return float4(0.25, 0.25, 0.25, 0.25); }
)";
const char kAddInputs[] = R"(
struct VSOutput { float4 PositionCS : SV_POSITION; float2 TexCoord : texcoord0; };
Texture2D a : register(t0);
Texture2D b : register(t1);
SamplerState pointSampler : register(s0);
float4 p(VSOutput input) : SV_TARGET
{
    return a.Sample(pointSampler, input.TexCoord) + b.Sample(pointSampler, input.TexCoord);
}
)";

// A view of one mip level of a texture with the full chain.
ID3D11ShaderResourceView* MipView(ID3D11Device* device, UINT width, UINT height, UINT level)
{
    const D3D11_TEXTURE2D_DESC desc =
        DefaultTextureDesc(width, height, DXGI_FORMAT_R8G8B8A8_UNORM, D3D11_BIND_SHADER_RESOURCE, 0);
    ID3D11Texture2D* texture = nullptr;
    EXPECT_EQ(device->CreateTexture2D(&desc, nullptr, &texture), S_OK);
    if (!texture)
        return nullptr;
    D3D11_SHADER_RESOURCE_VIEW_DESC view{};
    view.Format = desc.Format;
    view.ViewDimension = D3D11_SRV_DIMENSION_TEXTURE2D;
    view.Texture2D.MostDetailedMip = level;
    view.Texture2D.MipLevels = 1;
    ID3D11ShaderResourceView* srv = nullptr;
    EXPECT_EQ(device->CreateShaderResourceView(texture, &view, &srv), S_OK);
    texture->Release();
    return srv;
}

std::vector<float> Constant(u32 texels, float r, float g, float b, float a)
{
    std::vector<float> rgba;
    for (u32 i = 0; i < texels; ++i)
        rgba.insert(rgba.end(), {r, g, b, a});
    return rgba;
}
}  // namespace

TEST(PostProcessorBase, PassConstantsHoldMipSizesOfUpToFourInputs)
{
    REQUIRE_GPU();
    PostProcessorBase pass;
    pass.Initialize(device);
    Shader show(device);
    ASSERT_TRUE(show.CompilePixelShader(kShowPassConstants));

    // (width, height, level) -> the sizes the pass reports.
    struct Input {
        UINT width, height, level;
        float w, h;
    };
    const Input inputs[5] = {
        {100, 60, 3, 12, 7},   {200, 120, 7, 1, 1},                       // never 0
        {100, 60, 0, 100, 60}, {64, 1, 2, 16, 1},   {30, 30, 0, 30, 30},  // a fifth input: no room in b0
    };
    ID3D11ShaderResourceView* views[5];
    for (int i = 0; i < 5; ++i) {
        views[i] = MipView(device, inputs[i].width, inputs[i].height, inputs[i].level);
        ASSERT_NE(views[i], nullptr);
    }
    test::FloatTarget out(device, 3, 1);
    pass.Bind(context, nullptr, nullptr);
    for (ID3D11ShaderResourceView* view : views)
        pass.inputs.Add(view);
    pass.outputs.Add(out.rtv());
    pass.Render(show.pixelShader);
    EXPECT_EQ(pass.inputs.Size(), 0u);
    EXPECT_EQ(pass.outputs.Size(), 0u);

    const std::vector<float> b0 = out.Read(device, context);
    ASSERT_EQ(b0.size(), 12u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(b0[2 * i], inputs[i].w) << "input " << i;
        EXPECT_EQ(b0[2 * i + 1], inputs[i].h) << "input " << i;
    }
    EXPECT_EQ(b0[8], 3.0f);
    EXPECT_EQ(b0[9], 1.0f);
    for (ID3D11ShaderResourceView* view : views)
        view->Release();
}

TEST(PostProcessorBase, RenderWithoutAnOutputDrawsNothing)
{
    REQUIRE_GPU();
    PostProcessorBase pass;
    pass.Initialize(device);
    Shader quarter(device);
    ASSERT_TRUE(quarter.CompilePixelShader(kQuarter));
    test::FloatTarget out(device, 4, 4);
    out.Clear(context, 1.0f);
    ID3D11ShaderResourceView* input = out.srv();

    pass.Bind(context, nullptr, nullptr);
    pass.inputs.Add(input);
    pass.Render(quarter.pixelShader);  // no output at all
    EXPECT_EQ(pass.inputs.Size(), 0u);

    pass.Bind(context, nullptr, nullptr);
    pass.outputs.Add(nullptr);  // a null output 0
    pass.Render(quarter.pixelShader);
    EXPECT_EQ(pass.outputs.Size(), 0u);

    for (float v : out.Read(device, context))
        EXPECT_EQ(v, 1.0f);
}

TEST(PostProcessorBase, BlendingIsOffSoAPassOverwrites)
{
    REQUIRE_GPU();
    PostProcessor pass;
    pass.Initialize(device);
    Shader quarter(device);
    ASSERT_TRUE(quarter.CompilePixelShader(kQuarter));
    test::FloatTarget out(device, 8, 4);
    out.Clear(context, 1.0f);
    pass.Draw(context, nullptr, out.rtv(), &quarter);
    for (float v : out.Read(device, context))
        EXPECT_EQ(v, 0.25f);
}

TEST(PostProcessorBase, TargetPoolHandsOutNewEntriesWhileInUse)
{
    REQUIRE_GPU();
    PostProcessorBase pass;
    pass.Initialize(device);
    pass.ReleaseTargetPool();  // empty: nothing to do
    EXPECT_EQ(pass.targetPool.Size(), 0u);

    RenderTargetPoolEntry* a = pass.AcquireTarget(16, 8, DXGI_FORMAT_R8G8B8A8_UNORM, 1, 0);
    RenderTargetPoolEntry* b = pass.AcquireTarget(16, 8, DXGI_FORMAT_R8G8B8A8_UNORM, 1, 0);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    EXPECT_EQ(pass.targetPool.Size(), 2u);
    EXPECT_EQ(a->inUse, 1u);
    EXPECT_NE(a->texture, nullptr);
    EXPECT_NE(a->renderTargetView, nullptr);
    EXPECT_NE(a->shaderResourceView, nullptr);
    EXPECT_EQ(a->width, 16u);
    EXPECT_EQ(a->format, DXGI_FORMAT_R8G8B8A8_UNORM);

    // A free entry of the same description is handed out again.
    b->inUse = 0;
    EXPECT_EQ(pass.AcquireTarget(16, 8, DXGI_FORMAT_R8G8B8A8_UNORM, 1, 0), b);
    EXPECT_EQ(pass.targetPool.Size(), 2u);

    ID3D11Texture2D* texture = a->texture;
    texture->AddRef();
    pass.ReleaseTargetPool();
    EXPECT_EQ(pass.targetPool.Size(), 0u);
    EXPECT_EQ(texture->Release(), 0u) << "the pool gave back its texture and views";
}

// Our own reference on each device object of a pass: after the pass gives
// its own back, ours is the last.
std::vector<IUnknown*> HoldPassObjects(const PostProcessorBase& pass)
{
    std::vector<IUnknown*> held = {pass.vertexBuffer, pass.indexBuffer,     pass.pointSampler,      pass.linearSampler,
                                   pass.blendState,   pass.rasterizerState, pass.depthStencilState, pass.passConstants};
    for (IUnknown* object : held)
        if (object)
            object->AddRef();
    return held;
}

void ExpectOnlyOursLeft(const std::vector<IUnknown*>& held)
{
    for (std::size_t i = 0; i < held.size(); ++i) {
        ASSERT_NE(held[i], nullptr) << "object " << i;
        EXPECT_EQ(held[i]->Release(), 0u) << "object " << i;
    }
}

TEST(PostProcessorBase, ReleaseAndASecondInitializeGiveBackEveryObject)
{
    REQUIRE_GPU();
    PostProcessorBase pass;
    pass.Initialize(device);
    std::vector<IUnknown*> first = HoldPassObjects(pass);
    ID3D11Texture2D* pooled = pass.AcquireTarget(4, 4, DXGI_FORMAT_R8G8B8A8_UNORM, 1, 0)->texture;
    ASSERT_NE(pooled, nullptr);
    pooled->AddRef();

    pass.Initialize(device);
    ExpectOnlyOursLeft(first);
    EXPECT_EQ(pooled->Release(), 0u) << "pooled texture";
    EXPECT_EQ(pass.targetPool.Size(), 0u);
    ASSERT_NE(pass.quadShader, nullptr);
    EXPECT_NE(pass.quadShader->vertexShader, nullptr);

    std::vector<IUnknown*> second = HoldPassObjects(pass);
    pass.Release();
    pass.Release();
    ExpectOnlyOursLeft(second);
    EXPECT_EQ(pass.vertexBuffer, nullptr);
    EXPECT_EQ(pass.quadShader, nullptr);
}

TEST(CombineProcessor, ANullInputBindsNoTexture)
{
    REQUIRE_GPU();
    CombineProcessor pass;
    pass.Initialize(device);
    Shader add(device);
    ASSERT_TRUE(add.CompilePixelShader(kAddInputs));
    ID3D11ShaderResourceView* a = gputest::FloatTexture(device, 4, 4, Constant(16, 0.25f, 0.5f, 0.0f, 1.0f));
    ID3D11ShaderResourceView* b = gputest::FloatTexture(device, 4, 4, Constant(16, 0.5f, 0.125f, 1.0f, 0.0f));
    ID3D11ShaderResourceView* c = gputest::FloatTexture(device, 4, 4, Constant(16, 100, 100, 100, 100));
    ASSERT_TRUE(a && b && c);

    test::FloatTarget first(device, 4, 4);
    pass.Draw(context, a, b, first.rtv(), &add);
    // c with a null partner is not bound: t0 and t1 still hold a and b.
    test::FloatTarget second(device, 4, 4);
    pass.Draw(context, c, nullptr, second.rtv(), &add);
    const std::vector<float> one = first.Read(device, context);
    const std::vector<float> two = second.Read(device, context);
    ASSERT_EQ(one.size(), 64u);
    for (u32 i = 0; i < 16; ++i) {
        EXPECT_EQ(one[i * 4 + 0], 0.75f);
        EXPECT_EQ(one[i * 4 + 1], 0.625f);
        EXPECT_EQ(one[i * 4 + 2], 1.0f);
        EXPECT_EQ(one[i * 4 + 3], 1.0f);
    }
    EXPECT_EQ(one, two);
    a->Release();
    b->Release();
    c->Release();
}

TEST(PostProcessor, ParametersReachRegisterB1)
{
    REQUIRE_GPU();
    const char show[] = R"(
cbuffer params : register(b1) { float4 values; float4x4 m; float frameTime; };
float4 p(float4 pos : SV_POSITION) : SV_TARGET { return float4(values.x, values.w, m[0][0], frameTime); }
)";
    PostProcessor pass;
    pass.Initialize(device);
    Shader shader(device);
    ASSERT_TRUE(shader.CompilePixelShader(show));
    test::FloatTarget out(device, 2, 2);

    pass.Draw(context, nullptr, out.rtv(), &shader);
    for (float v : out.Read(device, context))
        EXPECT_EQ(v, 0.0f) << "nobody set the block: zeros";

    PostProcessorParams params;
    params.values = Float4(1.5f, 0, 0, 0);
    for (u32 i = 0; i < 16; ++i)
        params.matrix.m[i] = 0;
    params.frameTime = 4.5f;
    pass.SetParams(params);
    pass.Draw(context, nullptr, out.rtv(), &shader);
    const std::vector<float> texels = out.Read(device, context);
    ASSERT_EQ(texels.size(), 16u);
    EXPECT_EQ(texels[0], 1.5f);
    EXPECT_EQ(texels[1], 0.0f);
    EXPECT_EQ(texels[3], 4.5f) << "frameTime at c5.x, after the matrix";
}

TEST(PostProcessor, AShaderWithoutAPixelShaderDrawsNoColour)
{
    REQUIRE_GPU();
    PostProcessor pass;
    pass.Initialize(device);
    Shader broken(device);
    ConsoleCapture console;
    EXPECT_FALSE(broken.CompilePixelShader("float4 p( : SV_TARGET {"));
    console.Text();
    ASSERT_EQ(broken.pixelShader, nullptr);
    test::FloatTarget out(device, 4, 4);
    out.Clear(context, 0.5f);
    pass.Draw(context, nullptr, out.rtv(), &broken);
    for (float v : out.Read(device, context))
        EXPECT_EQ(v, 0.5f);
}
