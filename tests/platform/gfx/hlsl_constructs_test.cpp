// HLSL that Direct3D's compiler takes and GL cannot express as glslang gives
// it: int members of constant buffers, texel offsets that are not literals,
// resources in structs, locals and parameters. Each case draws and is read back.
#include <cstdint>

#include "gfx_fixture.h"
#include "platform/gfx/hlsl/spirv_passes.h"

using namespace gfxtest;

namespace {

std::uint32_t Bits(float f)
{
    std::uint32_t u;
    std::memcpy(&u, &f, 4);
    return u;
}

using Rgba = std::array<float, 4>;

class HlslConstructs : public Gfx {
protected:
    void SetUp() override
    {
        Gfx::SetUp();
        target = Texture(8, 8, DXGI_FORMAT_R32G32B32A32_FLOAT);
        rtv = Rtv(target);
        BindQuad();
        context->OMSetRenderTargets(1, &rtv, nullptr);
    }

    // Draws the pixel shader over the whole target and returns its texels.
    std::vector<float> Draw(const std::string& text)
    {
        ID3D11PixelShader* ps = PixelShader(text);
        if (!ps)
            return {};
        context->PSSetShader(ps, nullptr, 0);
        context->DrawIndexed(6, 0, 0);
        std::vector<std::uint8_t> bytes = Read(target);
        std::vector<float> f(bytes.size() / 4);
        std::memcpy(f.data(), bytes.data(), f.size() * 4);
        return f;
    }

    static Rgba At(const std::vector<float>& f, UINT x, UINT y)
    {
        const float* p = &f[(std::size_t(y) * 8 + x) * 4];
        return {p[0], p[1], p[2], p[3]};
    }

    ID3D11Texture2D* target = nullptr;
    ID3D11RenderTargetView* rtv = nullptr;
};

// ---- constant buffers with int, uint and bool members -------------------------------

struct BlockCase {
    const char* name;
    UINT slot;                         // b#
    std::vector<std::uint32_t> words;  // the buffer as the application writes it
    const char* hlsl;
    Rgba expected;
};

const std::int32_t kNanBits = 0x7fc00001;  // a quiet NaN with payload as float
const std::int32_t kSignalingNan = 0x7f800001;
const std::int32_t kDenormal = 1;

TEST_F(HlslConstructs, IntMembersOfConstantBuffersReadTheirExactBits)
{
    const BlockCase cases[] = {
        {"int count drives a loop",
         0,
         {2, Bits(0.25f), Bits(0.5f), 0xfffffffeu,  // count, dir, mode
          Bits(1), Bits(2), Bits(3), Bits(4), Bits(10), Bits(20), Bits(30), Bits(40), Bits(100), Bits(200), Bits(300),
          Bits(400)},
         "cbuffer c : register(b0) { int count; float2 dir; uint mode; float4 w[3]; };\n"
         "float4 p() : SV_TARGET {\n"
         "    float4 acc = 0;\n"
         "    for (int i = 0; i < count; ++i) acc += w[i];\n"
         "    return float4(acc.x + dir.x, acc.y + dir.y, mode == 0xfffffffeu ? 1 : 0, count);\n"
         "}\n",
         {11.25f, 22.5f, 1, 2}},
        {"bit patterns that are NaN or denormal as float",
         1,
         {std::uint32_t(kNanBits), std::uint32_t(-5), 0x80000001u, std::uint32_t(kDenormal), 0,
          std::uint32_t(kDenormal + 2), std::uint32_t(kSignalingNan), 0x80000000u},
         "cbuffer k : register(b1) { int a; int b; uint c; int d; int4 v; };\n"
         "float4 p() : SV_TARGET {\n"
         "    return float4(a == 0x7fc00001 ? 1 : 0, b == -5 && d == 1 ? b : 0,\n"
         "                  c == 0x80000001u ? 1 : 0, all(v == int4(0, 3, 0x7f800001, 0x80000000)) ? 1 : 0);\n"
         "}\n",
         {1, -5, 1, 1}},
        {"large and negative values reach arithmetic unchanged",
         2,
         {std::uint32_t(-2147483647 - 1), 4000000000u, std::uint32_t(-1), 16777217u},
         "cbuffer n : register(b2) { int lowest; uint big; int minusOne; uint odd; };\n"
         "float4 p() : SV_TARGET {\n"
         "    return float4(lowest + 2147483647 == -1 ? 1 : 0, big / 1000000u, minusOne * 3, (odd & 0xffu));\n"
         "}\n",
         {1, 4000, -3, 1}},
        {"bools true and false, scalar and vector",
         3,
         {1, Bits(0.75f), 0, 0, 0, 0xffffffffu, 0, 0},  // true as all bits set: a NaN as float
         "cbuffer f : register(b3) { bool on; float scale; bool off; bool3 flags; };\n"
         "float4 p() : SV_TARGET {\n"
         "    return float4(on ? scale : 0, off ? 1 : 0, flags.y ? 1 : 0, flags.z ? 0.5 : 0.25);\n"
         "}\n",
         {0.75f, 0, 1, 0.25f}},
        {"packoffset and arrays of uint with a computed index",
         1,
         {Bits(0.5f), 0, 7, std::uint32_t(-8), 1, 0, 0, 0, 0x80000000u, 0, 0, 0, 3, 0, 0, 0, 0, 42, 0, 0},
         "cbuffer q : register(b1) {\n"
         "    float f : packoffset(c0.x); int2 i2 : packoffset(c0.z); uint arr[3] : packoffset(c1);\n"
         "    int last : packoffset(c4.y);\n"
         "};\n"
         "float4 p() : SV_TARGET {\n"
         "    uint k = uint(i2.x) - 6u;\n"
         "    return float4(f + i2.x, i2.y, arr[k] == 0x80000000u ? arr[2] : 0, last);\n"
         "}\n",
         {7.5f, -8, 3, 42}},
        {"a struct member and int vectors in an array",
         0,
         {5, Bits(1.5f), 0, 0, Bits(2), Bits(3), Bits(4), Bits(5), 1, 2, 3, 4, std::uint32_t(-1), std::uint32_t(-2),
          std::uint32_t(-3), std::uint32_t(-4)},
         "struct S { int n; float x; };\n"
         "cbuffer s : register(b0) { S st; float4 v; int4 ids[2]; };\n"
         "float4 p() : SV_TARGET {\n"
         "    int4 sum = ids[0] + ids[1] * st.n;\n"
         "    return float4(st.n * st.x, v.y, sum.x, sum.w);\n"
         "}\n",
         {7.5f, 3, -4, -16}},
        {"a matrix next to an int",
         2,
         {Bits(1), 0, 0, 0, 0, Bits(2), 0, 0, 0, 0, Bits(3), 0, Bits(10), Bits(20), Bits(30), Bits(1), 3},
         "cbuffer m : register(b2) { float4x4 xf; int k; };\n"
         "float4 p() : SV_TARGET { return float4(mul(xf, float4(1, 1, 1, 1)).xyz, k); }\n",
         {11, 22, 33, 3}},
        {"elements of an int matrix",
         0,
         {1, 2, 0, 0, 3, 4, 0, 0, Bits(0.5f)},
         "cbuffer im : register(b0) { int2x2 m; float f; };\n"
         "float4 p() : SV_TARGET { return float4(m[0][1], m[1][0], f, m[1].y); }\n",
         {3, 2, 0.5f, 4}},
        {"a whole int array passed by value",
         3,
         {9, 0, 0, 0, std::uint32_t(-4), 0, 0, 0},
         "cbuffer a : register(b3) { int pair[2]; };\n"
         "int Sum(int values[2]) { return values[0] + values[1]; }\n"
         "float4 p() : SV_TARGET { return float4(Sum(pair), pair[1], 0, 1); }\n",
         {5, -4, 0, 1}},
        {"an array of structs with an int member, indexed by a loop and copied whole",
         2,
         {Bits(1), Bits(2), Bits(3), 2, Bits(4), Bits(5), Bits(6), std::uint32_t(-1), Bits(7), Bits(8), Bits(9), 3, 2},
         "struct Light { float3 pos; int kind; };\n"
         "cbuffer l : register(b2) { Light lights[3]; uint used; };\n"
         "float4 p() : SV_TARGET {\n"
         "    float4 acc = 0;\n"
         "    for (uint i = 0; i < used; ++i) { Light li = lights[i]; acc += float4(li.pos, li.kind); }\n"
         "    return acc;\n"
         "}\n",
         {5, 7, 9, 1}},
        {"a float-only block beside a mixed one",
         1,
         {Bits(0.5f), 6, 0, 0},
         "cbuffer plain : register(b0) { float4 unusedColour; };\n"
         "cbuffer mixed : register(b1) { float half_; uint six; };\n"
         "float4 p() : SV_TARGET { return float4(half_, six, unusedColour.x, 1); }\n",
         {0.5f, 6, 0, 1}},
    };
    for (const BlockCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::uint32_t> words = c.words;
        words.resize((words.size() + 3) / 4 * 4);
        ID3D11Buffer* cb = ConstantBuffer(UINT(words.size() * 4));
        Write(cb, words.data(), words.size() * 4);
        ID3D11Buffer* none[4] = {};
        context->PSSetConstantBuffers(0, 4, none);
        context->PSSetConstantBuffers(c.slot, 1, &cb);
        std::vector<float> f = Draw(c.hlsl);
        ASSERT_FALSE(f.empty());
        Rgba got = At(f, 3, 5);
        for (int k = 0; k < 4; ++k)
            EXPECT_EQ(got[k], c.expected[k]) << "component " << k;
    }
}

// ---- texel offsets that are not literals ---------------------------------------------

// Texel (x, y) of the 8x8 source: red from x, green from y.
std::array<std::uint8_t, 4> SourceTexel(int x, int y)
{
    return {std::uint8_t(20 + 25 * x), std::uint8_t(20 + 25 * y), std::uint8_t(x == y ? 255 : 0), 255};
}

// Layer 1 of the array source: the same with blue at half.
std::array<std::uint8_t, 4> LayerTexel(int x, int y)
{
    auto t = SourceTexel(x, y);
    t[2] = 128;
    return t;
}

Rgba Texel(int x, int y, int layer = 0)
{
    x = std::clamp(x, 0, 7);
    y = std::clamp(y, 0, 7);
    auto t = layer ? LayerTexel(x, y) : SourceTexel(x, y);
    return {t[0] / 255.0f, t[1] / 255.0f, t[2] / 255.0f, t[3] / 255.0f};
}

Rgba Sum(std::initializer_list<Rgba> texels)
{
    Rgba s{};
    for (const Rgba& t : texels)
        for (int k = 0; k < 4; ++k)
            s[k] += t[k];
    return s;
}

struct OffsetCase {
    const char* name;
    const char* body;  // the pixel shader after the shared declarations
    Rgba (*expected)(int x, int y);
};

const char* kOffsetHeader = "Texture2D t : register(t0); SamplerState s : register(s0);\n"
                            "Texture2DArray layers : register(t1);\n"
                            "cbuffer taps : register(b0) { int count; int2 shift; };\n"
                            "struct VSOutput { float4 pos : SV_POSITION; float2 uv : texcoord0; };\n";

TEST_F(HlslConstructs, TexelOffsetsFromLoopCountersReachTheRightTexels)
{
    std::vector<std::uint8_t> texels, layer;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            for (int k = 0; k < 4; ++k) {
                texels.push_back(SourceTexel(x, y)[k]);
                layer.push_back(LayerTexel(x, y)[k]);
            }
    auto* source = Texture(8, 8, DXGI_FORMAT_R8G8B8A8_UNORM, D3D11_BIND_SHADER_RESOURCE, texels.data(), 32);
    auto* array = Texture(8, 8, DXGI_FORMAT_R8G8B8A8_UNORM, D3D11_BIND_SHADER_RESOURCE, nullptr, 0, 2);
    context->UpdateSubresource(array, 0, nullptr, texels.data(), 32, 0);
    context->UpdateSubresource(array, 1, nullptr, layer.data(), 32, 0);
    ID3D11ShaderResourceView* srvs[2] = {Srv(source), Srv(array)};
    auto* point = Sampler(D3D11_FILTER_MIN_MAG_MIP_POINT);
    const std::int32_t values[4] = {3, 1, -1, 0};  // count, shift
    auto* cb = ConstantBuffer(16);
    Write(cb, values, sizeof values);
    context->PSSetShaderResources(0, 2, srvs);
    context->PSSetSamplers(0, 1, &point);
    context->PSSetConstantBuffers(0, 1, &cb);

    // GatherRed with offsets (k, 0), (0, k), (-k, k), (0, -1), summed over k = 1, 2.
    const auto GatherRedFourOffsets = [](int x, int y) {
        Rgba r{};
        for (int k = 1; k < 3; ++k) {
            r[0] += Texel(x + k, y)[0];
            r[1] += Texel(x, y + k)[0];
            r[2] += Texel(x - k, y + k)[0];
            r[3] += Texel(x, y - 1)[0];
        }
        return r;
    };
    const OffsetCase cases[] = {
        {"Sample in an [unroll] loop",
         "float4 p(VSOutput i) : SV_TARGET {\n"
         "    float4 c = 0;\n"
         "    [unroll] for (int k = -1; k <= 1; ++k) c += t.Sample(s, i.uv, int2(k, 0));\n"
         "    return c;\n"
         "}\n",
         [](int x, int y) {
             return Sum({Texel(x - 1, y), Texel(x, y), Texel(x + 1, y)});
         }},
        {"SampleLevel in a loop without attribute",
         "float4 p(VSOutput i) : SV_TARGET {\n"
         "    float4 c = 0;\n"
         "    for (int k = 0; k < 3; ++k) c += t.SampleLevel(s, i.uv, 0, int2(0, k));\n"
         "    return c;\n"
         "}\n",
         [](int x, int y) {
             return Sum({Texel(x, y), Texel(x, y + 1), Texel(x, y + 2)});
         }},
        {"SampleBias with both offset components from the counter",
         "float4 p(VSOutput i) : SV_TARGET {\n"
         "    float4 c = 0;\n"
         "    [unroll] for (int k = 0; k < 2; ++k) c += t.SampleBias(s, i.uv, 0.0, int2(k, -k));\n"
         "    return c;\n"
         "}\n",
         [](int x, int y) {
             return Sum({Texel(x, y), Texel(x + 1, y - 1)});
         }},
        {"Load in a loop without attribute",
         "float4 p(VSOutput i) : SV_TARGET {\n"
         "    float4 c = 0;\n"
         "    for (int k = 0; k < 2; ++k) c += t.Load(int3(i.pos.xy, 0), int2(k, 1));\n"
         "    return c;\n"
         "}\n",
         [](int x, int y) {
             return Sum({Texel(x, y + 1), Texel(x + 1, y + 1)});
         }},
        {"Gather in an [unroll] loop",
         "float4 p(VSOutput i) : SV_TARGET {\n"
         "    float4 c = 0;\n"
         "    [unroll] for (int k = 0; k < 2; ++k) c += t.Gather(s, i.uv, int2(0, k));\n"
         "    return c;\n"
         "}\n",
         [](int x, int y) {
             Rgba r{};
             for (int k = 0; k < 2; ++k) {
                 r[0] += Texel(x, y + k + 1)[0];
                 r[1] += Texel(x + 1, y + k + 1)[0];
                 r[2] += Texel(x + 1, y + k)[0];
                 r[3] += Texel(x, y + k)[0];
             }
             return r;
         }},
        {"nested loops in a helper function",
         "float4 Blur(Texture2D tex, SamplerState smp, float2 uv) {\n"
         "    float4 c = 0;\n"
         "    for (int dy = 0; dy < 2; ++dy)\n"
         "        for (int dx = -1; dx < 1; ++dx) c += tex.Sample(smp, uv, int2(dx, dy));\n"
         "    return c;\n"
         "}\n"
         "float4 p(VSOutput i) : SV_TARGET { return Blur(t, s, i.uv); }\n",
         [](int x, int y) {
             return Sum({Texel(x - 1, y), Texel(x, y), Texel(x - 1, y + 1), Texel(x, y + 1)});
         }},
        {"an offset from a helper's parameter",
         "float4 Tap(float2 uv, int2 o) { return t.SampleLevel(s, uv, 0, o); }\n"
         "float4 p(VSOutput i) : SV_TARGET { return Tap(i.uv, int2(2, 0)) + Tap(i.uv, int2(0, -2)); }\n",
         [](int x, int y) {
             return Sum({Texel(x + 2, y), Texel(x, y - 2)});
         }},
        {"Sample in a loop whose count comes from a constant buffer",
         "float4 p(VSOutput i) : SV_TARGET {\n"
         "    float4 c = 0;\n"
         "    for (int k = 0; k < count; ++k) c += t.Sample(s, i.uv, int2(k - 1, 0));\n"
         "    return c;\n"
         "}\n",
         [](int x, int y) {
             return Sum({Texel(x - 1, y), Texel(x, y), Texel(x + 1, y)});
         }},
        {"Load and SampleLevel in a [loop]",
         "float4 p(VSOutput i) : SV_TARGET {\n"
         "    float4 c = 0;\n"
         "    [loop] for (int k = 0; k < 2; ++k)\n"
         "        c += t.Load(int3(i.pos.xy, 0), int2(0, k)) + t.SampleLevel(s, i.uv, 0, int2(k, 0));\n"
         "    return c;\n"
         "}\n",
         [](int x, int y) {
             return Sum({Texel(x, y), Texel(x, y + 1), Texel(x, y), Texel(x + 1, y)});
         }},
        {"an offset read from a constant buffer",
         "float4 p(VSOutput i) : SV_TARGET { return t.Sample(s, i.uv, shift) + t.Load(int3(i.pos.xy, 0), shift); }\n",
         [](int x, int y) {
             return Sum({Texel(x + 1, y - 1), Texel(x + 1, y - 1)});
         }},
        {"a texture array, layer 1, with a count from a constant buffer",
         "float4 p(VSOutput i) : SV_TARGET {\n"
         "    float4 c = 0;\n"
         "    for (int k = 0; k < count - 1; ++k)\n"
         "        c += layers.Sample(s, float3(i.uv, 1), int2(k, 0)) + layers.Load(int4(i.pos.xy, 1, 0), int2(0, k));\n"
         "    return c;\n"
         "}\n",
         [](int x, int y) {
             return Sum({Texel(x, y, 1), Texel(x + 1, y, 1), Texel(x, y, 1), Texel(x, y + 1, 1)});
         }},
        {"GatherRed with four offsets in an [unroll] loop",
         "float4 p(VSOutput i) : SV_TARGET {\n"
         "    float4 c = 0;\n"
         "    [unroll] for (int k = 1; k < 3; ++k)\n"
         "        c += t.GatherRed(s, i.uv, int2(k, 0), int2(0, k), int2(-k, k), int2(0, -1));\n"
         "    return c;\n"
         "}\n",
         GatherRedFourOffsets},
        {"GatherRed with four offsets and a count from a constant buffer",
         "float4 p(VSOutput i) : SV_TARGET {\n"
         "    float4 c = 0;\n"
         "    for (int k = 1; k < count; ++k)\n"
         "        c += t.GatherRed(s, i.uv, int2(k, 0), int2(0, k), int2(-k, k), int2(0, -1));\n"
         "    return c;\n"
         "}\n",
         GatherRedFourOffsets},
        {"Gather with a count from a constant buffer",
         "float4 p(VSOutput i) : SV_TARGET {\n"
         "    float4 c = 0;\n"
         "    for (int k = 1; k < count; ++k) c += t.GatherRed(s, i.uv, int2(-k, 0));\n"
         "    return c;\n"
         "}\n",
         [](int x, int y) {
             Rgba r{};
             for (int k = 1; k < 3; ++k) {
                 r[0] += Texel(x - k, y + 1)[0];
                 r[1] += Texel(x - k + 1, y + 1)[0];
                 r[2] += Texel(x - k + 1, y)[0];
                 r[3] += Texel(x - k, y)[0];
             }
             return r;
         }},
    };
    for (const OffsetCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<float> f = Draw(std::string(kOffsetHeader) + c.body);
        ASSERT_FALSE(f.empty());
        // Pixels whose taps stay inside the texture, where Load and Sample agree.
        for (UINT y = 2; y < 5; ++y)
            for (UINT x = 2; x < 5; ++x) {
                Rgba got = At(f, x, y), want = c.expected(int(x), int(y));
                for (int k = 0; k < 4; ++k)
                    EXPECT_NEAR(got[k], want[k], 1e-4) << "pixel " << x << "," << y << " component " << k;
            }
    }
}

// ---- resources that are not plain globals --------------------------------------------

struct ResourceCase {
    const char* name;
    const char* hlsl;
    Rgba expected;
};

TEST_F(HlslConstructs, ResourcesInStructsLocalsAndParametersSampleTheirBindings)
{
    // Two one-texel textures at t1 and t3, a point sampler at s2.
    const std::uint8_t red[4] = {255, 0, 0, 255}, blue[4] = {0, 0, 255, 255};
    auto* a = Srv(Texture(1, 1, DXGI_FORMAT_R8G8B8A8_UNORM, D3D11_BIND_SHADER_RESOURCE, red, 4));
    auto* b = Srv(Texture(1, 1, DXGI_FORMAT_R8G8B8A8_UNORM, D3D11_BIND_SHADER_RESOURCE, blue, 4));
    auto* point = Sampler(D3D11_FILTER_MIN_MAG_MIP_POINT);
    context->PSSetShaderResources(1, 1, &a);
    context->PSSetShaderResources(3, 1, &b);
    context->PSSetSamplers(2, 1, &point);
    const std::string header = "Texture2D g_a : register(t1); Texture2D g_b : register(t3);\n"
                               "SamplerState g_s : register(s2);\n"
                               "struct Source { Texture2D tex; SamplerState smp; float weight; };\n";
    const ResourceCase cases[] = {
        {"members of a local struct",
         "float4 p(float2 uv : texcoord0) : SV_TARGET {\n"
         "    Source src; src.tex = g_b; src.smp = g_s; src.weight = 0.5;\n"
         "    return src.tex.Sample(src.smp, uv) * src.weight;\n"
         "}\n",
         {0, 0, 0.5f, 0.5f}},
        {"passed to a function",
         "float4 Fetch(Texture2D tex, SamplerState smp, float2 uv) { return tex.Sample(smp, uv); }\n"
         "float4 p(float2 uv : texcoord0) : SV_TARGET { return Fetch(g_a, g_s, uv) + Fetch(g_b, g_s, uv) * 0.25; }\n",
         {1, 0, 0.25f, 1.25f}},
        {"local variables",
         "float4 p(float2 uv : texcoord0) : SV_TARGET {\n"
         "    Texture2D tex = g_b; SamplerState smp = g_s;\n"
         "    return tex.Sample(smp, uv);\n"
         "}\n",
         {0, 0, 1, 1}},
        {"a struct passed to a function",
         "float4 Read(Source src, float2 uv) { return src.tex.SampleLevel(src.smp, uv, 0) * src.weight; }\n"
         "float4 p(float2 uv : texcoord0) : SV_TARGET {\n"
         "    Source one = { g_a, g_s, 1.0 }; Source other = { g_b, g_s, 0.5 };\n"
         "    return Read(one, uv) + Read(other, uv);\n"
         "}\n",
         {1, 0, 0.5f, 1.5f}},
        {"a local picked by a constant, the other texture unused",
         "static const bool kUseB = true;\n"
         "float4 p(float2 uv : texcoord0) : SV_TARGET {\n"
         "    Texture2D tex = g_a;\n"
         "    if (kUseB) tex = g_b;\n"
         "    return tex.Sample(g_s, uv);\n"
         "}\n",
         {0, 0, 1, 1}},
    };
    for (const ResourceCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<float> f = Draw(header + c.hlsl);
        ASSERT_FALSE(f.empty());
        Rgba got = At(f, 4, 4);
        for (int k = 0; k < 4; ++k)
            EXPECT_FLOAT_EQ(got[k], c.expected[k]) << "component " << k;
    }
}

// Vertex shaders read int members the same way.
TEST_F(HlslConstructs, VertexShaderReadsIntMembers)
{
    const char* vs = "cbuffer v : register(b1) { int code; float scale; uint2 pair; };\n"
                     "struct VSOutput { float4 pos : SV_POSITION; float2 uv : texcoord0; };\n"
                     "VSOutput v(float4 p : POSITION, float2 uv : texcoord0) {\n"
                     "    VSOutput o; o.pos = p;\n"
                     "    o.uv = code == -3 && pair.y == 0xffffffffu ? float2(scale, pair.x) : float2(-1, -1);\n"
                     "    return o;\n"
                     "}\n";
    ID3DBlob* code = CompileOrFail(vs, "v", "vs_5_0");
    ASSERT_NE(code, nullptr);
    ID3D11VertexShader* shader = nullptr;
    ASSERT_EQ(device->CreateVertexShader(code->GetBufferPointer(), code->GetBufferSize(), nullptr, &shader), S_OK);
    code->Release();
    Keep(shader);
    const std::uint32_t words[4] = {std::uint32_t(-3), Bits(0.375f), 9, 0xffffffffu};
    ID3D11Buffer* cb = ConstantBuffer(sizeof words);
    Write(cb, words, sizeof words);
    context->VSSetShader(shader, nullptr, 0);
    context->VSSetConstantBuffers(1, 1, &cb);
    std::vector<float> f = Draw("float4 p(float4 pos : SV_POSITION, float2 uv : texcoord0) : SV_TARGET"
                                " { return float4(uv, 0, 1); }\n");
    ASSERT_FALSE(f.empty());
    Rgba got = At(f, 6, 1);
    EXPECT_EQ(got[0], 0.375f);
    EXPECT_EQ(got[1], 9.0f);
}

// Constructs without a read-back here: each must translate and link.
TEST_F(HlslConstructs, OtherFormsTranslateAndLink)
{
    struct {
        const char* name;
        const char* target;
        const char* hlsl;
    } cases[] = {
        {"comparison sampling with unrolled and with moved offsets", "ps_5_0",
         "Texture2D<float> d : register(t1); SamplerComparisonState c : register(s2);\n"
         "cbuffer k : register(b0) { int n; float ref; };\n"
         "float4 p(float2 uv : texcoord0) : SV_TARGET {\n"
         "    float v = 0;\n"
         "    for (int i = 0; i < 3; ++i) v += d.SampleCmpLevelZero(c, uv, ref, int2(i, 0));\n"
         "    for (int j = 0; j < n; ++j) v += d.SampleCmp(c, uv, ref, int2(0, j));\n"
         "    return v;\n"
         "}\n"},
        {"a static global struct of resources", "ps_5_0",
         "Texture2D g_a : register(t1); SamplerState g_s : register(s2);\n"
         "struct Source { Texture2D tex; SamplerState smp; };\n"
         "static Source g_src = { g_a, g_s };\n"
         "float4 p(float2 uv : texcoord0) : SV_TARGET { return g_src.tex.Sample(g_src.smp, uv); }\n"},
        {"an array of textures indexed by an unrolled counter", "ps_5_0",
         "Texture2D g_a[2] : register(t1); SamplerState g_s : register(s2);\n"
         "float4 p(float2 uv : texcoord0) : SV_TARGET {\n"
         "    float4 c = 0;\n"
         "    [unroll] for (int i = 0; i < 2; ++i) c += g_a[i].Sample(g_s, uv, int2(i, 0));\n"
         "    return c;\n"
         "}\n"},
        {"a structured buffer beside a mixed constant buffer", "ps_5_0",
         "struct S { int a; float4 b; }; StructuredBuffer<S> sb : register(t0);\n"
         "cbuffer c : register(b0) { int k; float w; };\n"
         "float4 p() : SV_TARGET { return sb[k].b * sb[k].a * w; }\n"},
        {"a compute shader with a mixed constant buffer and an image parameter", "cs_5_0",
         "RWTexture2D<float4> img : register(u1); cbuffer c : register(b0) { uint2 at; int k; float s; };\n"
         "void Put(RWTexture2D<float4> target, uint2 xy, float4 v) { target[xy] = v; }\n"
         "[numthreads(8, 8, 1)] void c(uint3 id : SV_DispatchThreadID) { Put(img, id.xy + at, k * s); }\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        bool compute = c.target[0] == 'c';
        ID3DBlob* code = CompileOrFail(c.hlsl, compute ? "c" : "p", c.target);
        ASSERT_NE(code, nullptr);
        if (compute) {
            ID3D11ComputeShader* cs = nullptr;
            EXPECT_EQ(device->CreateComputeShader(code->GetBufferPointer(), code->GetBufferSize(), nullptr, &cs), S_OK);
            Keep(cs);
        } else {
            ID3D11PixelShader* ps = nullptr;
            EXPECT_EQ(device->CreatePixelShader(code->GetBufferPointer(), code->GetBufferSize(), nullptr, &ps), S_OK);
            Keep(ps);
        }
        code->Release();
    }
}

// A texture picked by a value known only at run time has no GL form; the
// message says so instead of the driver's complaint about the GLSL.
TEST_F(HlslConstructs, ATextureChosenAtRunTimeIsRefusedWithAReason)
{
    const char* text = "Texture2D g_a : register(t1); Texture2D g_b : register(t2); SamplerState g_s : register(s2);\n"
                       "cbuffer c : register(b0) { int pick; };\n"
                       "float4 p(float2 uv : texcoord0) : SV_TARGET {\n"
                       "    Texture2D t = g_a; if (pick) t = g_b; return t.Sample(g_s, uv);\n"
                       "}\n";
    ID3DBlob* code = nullptr;
    ID3DBlob* errors = nullptr;
    D3DCompile(text, std::strlen(text), nullptr, nullptr, nullptr, "p", "ps_5_0", 0, 0, &code, &errors);
    EXPECT_EQ(code, nullptr);
    ASSERT_NE(errors, nullptr);
    std::string message = static_cast<const char*>(errors->GetBufferPointer());
    errors->Release();
    EXPECT_NE(message.find("memory(1): error: a texture or sampler chosen at run time"), std::string::npos) << message;
    if (code)
        code->Release();
}

// The optimiser keeps the interface: inputs in another order than the vertex
// shader writes them, and one unused, still meet by semantic.
TEST_F(HlslConstructs, LegalizedShadersKeepSemanticsAndSignatures)
{
    const char* text = "Texture2D g_t : register(t0); SamplerState g_s : register(s0);\n"
                       "float4 Scale(Texture2D tex, float4 v) { return v; }\n"
                       "float4 p(float2 uv : texcoord0, float4 unused : COLOR1, float4 pos : SV_POSITION)"
                       " : SV_TARGET { return Scale(g_t, float4(uv, pos.xy)); }\n";
    std::vector<float> f = Draw(text);
    ASSERT_FALSE(f.empty());
    Rgba got = At(f, 1, 6);
    EXPECT_FLOAT_EQ(got[0], 1.5f / 8);
    EXPECT_FLOAT_EQ(got[1], 6.5f / 8);
    EXPECT_FLOAT_EQ(got[2], 1.5f);
    EXPECT_FLOAT_EQ(got[3], 6.5f);

    // Every input stays in the signature, used or not, with the optimiser forced.
    gfx::SetAlwaysOptimiseShaders(true);
    ID3DBlob* code = CompileOrFail("float4 v(float4 p : POSITION, float3 n : NORMAL, float2 uv : TEXCOORD0,"
                                   " out float2 o : TEXCOORD0) : SV_POSITION { o = uv; return p; }\n",
                                   "v", "vs_5_0");
    gfx::SetAlwaysOptimiseShaders(false);
    ASSERT_NE(code, nullptr);
    ID3D11ShaderReflection* reflection = nullptr;
    ASSERT_EQ(D3DReflect(code->GetBufferPointer(), code->GetBufferSize(), IID_ID3D11ShaderReflection,
                         reinterpret_cast<void**>(&reflection)),
              S_OK);
    D3D11_SHADER_DESC desc{};
    reflection->GetDesc(&desc);
    EXPECT_EQ(desc.InputParameters, 3u);
    const char* names[] = {"POSITION", "NORMAL", "TEXCOORD"};
    for (UINT k = 0; k < desc.InputParameters && k < 3; ++k) {
        D3D11_SIGNATURE_PARAMETER_DESC p{};
        ASSERT_EQ(reflection->GetInputParameterDesc(k, &p), S_OK);
        EXPECT_STREQ(p.SemanticName, names[k]);
    }
    reflection->Release();
    code->Release();
}

}  // namespace
