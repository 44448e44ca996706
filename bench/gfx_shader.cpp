// HLSL to GL shader time, split into glslang, SPIRV-Cross and the driver's
// compile and link (in D3DCompile) plus the driver's work at the first draw
// (Mesa compiles for real there). The blur of the intro and a 200-line scene
// shader. Run headless: SDL_VIDEODRIVER=offscreen bench_gfx_shader
#include <benchmark/benchmark.h>
#include <epoxy/gl.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/gfx/d3dcompiler.h"
#include "platform/gfx/gfx_stats.h"
#include "platform/gfx/hlsl/spirv_passes.h"

namespace {

const char* kBlur = R"HLSL(cbuffer PSConstants : register(b0) { float2 Resolution : packoffset(c2.x); };
cbuffer params : register(b2) { float2 blursamples; float2 blursize; };
Texture2D InputTexture0 : register(t0);
SamplerState sm : register(s0);
struct VSOutput { float4 PositionCS : SV_POSITION; float2 TexCoord : texcoord0; };
float GaussianDistribution(float x, float theta)
{
    return 1.0 / sqrt(2.0 * (355.0 / 113.0) * theta) * pow(2.71828182846, -x * x / (2.0 * theta * theta));
}
float4 p(VSOutput input) : SV_TARGET
{
    float4 sum = 0;
    float weights = 0;
    for (float i = -blursamples.x; i <= blursamples.x; i += 1) {
        float w = GaussianDistribution(i / blursamples.x * 2.8, 1.0);
        sum += InputTexture0.Sample(sm, input.TexCoord + float2(i / Resolution.x * blursize.x, 0)) * w;
        weights += w;
    }
    return sum / weights;
}
)HLSL";

const char* kScene =
    R"HLSL(cbuffer vars : register(b3) { float camDist; float camHeight; float lightAngle; float glow; float4 baseColor; float4 fogColor; };
cbuffer PostProcessorParams : register(b1) { float4 values; float4x4 m; float frameTime; };
cbuffer PSConstants : register(b0) { float2 Resolution : packoffset(c2.x); };
struct VSOutput { float4 PositionCS : SV_POSITION; float2 TexCoord : texcoord0; };

static const int MAX_STEPS = 64;
static const float MAX_DIST = 40.0;
static const float EPS = 0.001;

float hash1(float n) { return frac(sin(n) * 43758.5453); }
float hash2(float2 p) { return frac(sin(dot(p, float2(127.1, 311.7))) * 43758.5453); }

float noise2(float2 p)
{
    float2 i = floor(p);
    float2 f = frac(p);
    float2 u = f * f * (3.0 - 2.0 * f);
    float a = hash2(i);
    float b = hash2(i + float2(1, 0));
    float c = hash2(i + float2(0, 1));
    float d = hash2(i + float2(1, 1));
    return lerp(lerp(a, b, u.x), lerp(c, d, u.x), u.y);
}

float fbm(float2 p)
{
    float v = 0.0;
    float a = 0.5;
    for (int i = 0; i < 5; i++) {
        v += a * noise2(p);
        p = p * 2.03 + float2(1.7, 9.2);
        a *= 0.5;
    }
    return v;
}

float3x3 rotY(float a)
{
    float c = cos(a), s = sin(a);
    return float3x3(c, 0, s, 0, 1, 0, -s, 0, c);
}

float3x3 rotX(float a)
{
    float c = cos(a), s = sin(a);
    return float3x3(1, 0, 0, 0, c, -s, 0, s, c);
}

float sdSphere(float3 p, float r) { return length(p) - r; }

float sdBox(float3 p, float3 b)
{
    float3 q = abs(p) - b;
    return length(max(q, 0.0)) + min(max(q.x, max(q.y, q.z)), 0.0);
}

float sdTorus(float3 p, float2 t)
{
    float2 q = float2(length(p.xz) - t.x, p.y);
    return length(q) - t.y;
}

float sdPlane(float3 p) { return p.y + 1.0; }

float smin(float a, float b, float k)
{
    float h = saturate(0.5 + 0.5 * (b - a) / k);
    return lerp(b, a, h) - k * h * (1.0 - h);
}

float2 opU(float2 a, float2 b) { return a.x < b.x ? a : b; }

float3 repeatXZ(float3 p, float c)
{
    p.xz = fmod(abs(p.xz) + 0.5 * c, c) - 0.5 * c;
    return p;
}

float2 scene(float3 p)
{
    float t = frameTime;
    float3 q = mul(rotY(t * 0.3), p);
    float blob = sdSphere(q - float3(0, 0.3 * sin(t), 0), 0.8);
    blob = smin(blob, sdTorus(mul(rotX(t * 0.5), q), float2(1.2, 0.15)), 0.3);
    float box = sdBox(q - float3(0, -0.2, 0), float3(0.5, 0.5, 0.5));
    blob = lerp(blob, max(blob, -box), 0.5 + 0.5 * sin(t * 0.7));
    float2 res = float2(blob, 1.0);
    float3 r = repeatXZ(p - float3(0, 0, 0), 4.0);
    float pillars = sdBox(r - float3(0, 0.5, 0), float3(0.2, 1.5, 0.2));
    res = opU(res, float2(pillars, 2.0));
    float ground = sdPlane(p) - 0.05 * fbm(p.xz * 2.0);
    res = opU(res, float2(ground, 3.0));
    return res;
}

float3 normalAt(float3 p)
{
    float2 e = float2(EPS, 0);
    return normalize(float3(scene(p + e.xyy).x - scene(p - e.xyy).x,
                            scene(p + e.yxy).x - scene(p - e.yxy).x,
                            scene(p + e.yyx).x - scene(p - e.yyx).x));
}

float2 march(float3 ro, float3 rd)
{
    float d = 0.0;
    float id = -1.0;
    for (int i = 0; i < MAX_STEPS; i++) {
        float2 h = scene(ro + rd * d);
        if (h.x < EPS * d) {
            id = h.y;
            break;
        }
        d += h.x;
        if (d > MAX_DIST) break;
    }
    return float2(d, id);
}

float softShadow(float3 ro, float3 rd, float k)
{
    float res = 1.0;
    float t = 0.02;
    for (int i = 0; i < 24; i++) {
        float h = scene(ro + rd * t).x;
        res = min(res, k * h / t);
        t += clamp(h, 0.02, 0.5);
        if (res < 0.001 || t > 10.0) break;
    }
    return saturate(res);
}

float ambientOcclusion(float3 p, float3 n)
{
    float occ = 0.0;
    float sca = 1.0;
    for (int i = 1; i <= 5; i++) {
        float h = 0.03 * i;
        occ += (h - scene(p + n * h).x) * sca;
        sca *= 0.7;
    }
    return saturate(1.0 - 2.0 * occ);
}

float3 materialColor(float id, float3 p)
{
    if (id < 1.5) return baseColor.rgb;
    if (id < 2.5) return float3(0.6, 0.6, 0.65);
    float checker = fmod(floor(p.x) + floor(p.z), 2.0);
    return lerp(float3(0.2, 0.2, 0.25), float3(0.35, 0.35, 0.4), abs(checker));
}

float3 shade(float3 ro, float3 rd, float2 hit)
{
    float3 p = ro + rd * hit.x;
    float3 n = normalAt(p);
    float3 l = normalize(float3(cos(lightAngle), 0.8, sin(lightAngle)));
    float diff = saturate(dot(n, l));
    float3 h = normalize(l - rd);
    float spec = pow(saturate(dot(n, h)), 48.0);
    float sh = softShadow(p + n * 0.01, l, 12.0);
    float ao = ambientOcclusion(p, n);
    float3 col = materialColor(hit.y, p);
    float3 lit = col * (0.15 * ao + diff * sh) + spec * sh * 0.6;
    float fres = pow(1.0 - saturate(dot(n, -rd)), 4.0);
    lit += fres * fogColor.rgb * 0.3;
    return lit;
}

float3 sky(float3 rd)
{
    float t = 0.5 + 0.5 * rd.y;
    float3 col = lerp(fogColor.rgb, float3(0.1, 0.15, 0.3), t);
    col += glow * pow(saturate(dot(rd, normalize(float3(cos(lightAngle), 0.8, sin(lightAngle))))), 32.0);
    return col;
}

float3 tonemap(float3 c)
{
    c = c / (1.0 + c);
    return pow(c, 1.0 / 2.2);
}

float4 p(VSOutput input) : SV_TARGET
{
    float2 uv = input.TexCoord * 2.0 - 1.0;
    uv.x *= Resolution.x / Resolution.y;
    uv.y = -uv.y;
    float a = frameTime * 0.2;
    float3 ro = float3(camDist * sin(a), camHeight, camDist * cos(a));
    float3 ta = float3(0, 0, 0);
    float3 ww = normalize(ta - ro);
    float3 uu = normalize(cross(float3(0, 1, 0), ww));
    float3 vv = cross(ww, uu);
    float3 rd = normalize(uv.x * uu + uv.y * vv + 1.8 * ww);
    float2 hit = march(ro, rd);
    float3 col;
    if (hit.y < 0.0) {
        col = sky(rd);
    } else {
        col = shade(ro, rd, hit);
        float fog = 1.0 - exp(-0.02 * hit.x * hit.x);
        col = lerp(col, fogColor.rgb, fog);
    }
    col = tonemap(col);
    float vignette = 1.0 - 0.3 * dot(input.TexCoord - 0.5, input.TexCoord - 0.5);
    return float4(col * vignette, 1.0);
}
)HLSL";

// The blur's taps as texel offsets of a loop with a constant count, the kind
// of shader the optimiser runs for (unrolled so that each offset is constant).
const char* kOffsetBlur = R"HLSL(cbuffer params : register(b2) { float2 blursize; int mode; };
Texture2D InputTexture0 : register(t0);
SamplerState sm : register(s0);
struct VSOutput { float4 PositionCS : SV_POSITION; float2 TexCoord : texcoord0; };
float4 Taps(Texture2D tex, SamplerState s, float2 uv)
{
    float4 sum = 0;
    for (int i = -7; i <= 7; ++i)
        sum += tex.Sample(s, uv, int2(i, 0)) * exp(-i * i / 18.0);
    return sum;
}
float4 p(VSOutput input) : SV_TARGET
{
    float4 sum = Taps(InputTexture0, sm, input.TexCoord);
    return mode ? sum / 5.3 : sum;
}
)HLSL";

const char* kQuadVs = "struct VSInput { float4 PositionCS : POSITION; float2 TexCoord : texcoord0; };\n"
                      "struct VSOutput { float4 PositionCS : SV_POSITION; float2 TexCoord : texcoord0; };\n"
                      "VSOutput v(VSInput input) { VSOutput o; o.PositionCS = input.PositionCS; o.TexCoord = "
                      "input.TexCoord; return o; }\n";

double Ms(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b)
{
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// optimise: run the SPIR-V optimiser even where the shader does not need it.
void Measure(benchmark::State& state, const char* text, bool optimise = false)
{
    // The driver's on-disk cache would make a repeated source nearly free.
    setenv("MESA_SHADER_CACHE_DISABLE", "true", 1);
    ID3D11Device* device = nullptr;
    ID3D11DeviceContext* ctx = nullptr;
    if (FAILED(D3D11CreateDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, nullptr, 0, D3D11_SDK_VERSION, &device,
                                 nullptr, &ctx))) {
        state.SkipWithError("no device");
        return;
    }
    // A small target and the quad, to take the first draw's cost.
    D3D11_TEXTURE2D_DESC td{64,
                            64,
                            1,
                            1,
                            DXGI_FORMAT_R16G16B16A16_FLOAT,
                            {1, 0},
                            D3D11_USAGE_DEFAULT,
                            D3D11_BIND_RENDER_TARGET | D3D11_BIND_SHADER_RESOURCE,
                            0,
                            0};
    ID3D11Texture2D* tex = nullptr;
    ID3D11RenderTargetView* rtv = nullptr;
    device->CreateTexture2D(&td, nullptr, &tex);
    device->CreateRenderTargetView(tex, nullptr, &rtv);
    ID3DBlob* vsCode = nullptr;
    D3DCompile(kQuadVs, std::strlen(kQuadVs), nullptr, nullptr, nullptr, "v", "vs_5_0", 0, 0, &vsCode, nullptr);
    ID3D11VertexShader* vs = nullptr;
    device->CreateVertexShader(vsCode->GetBufferPointer(), vsCode->GetBufferSize(), nullptr, &vs);
    vsCode->Release();
    double glslang = 0, spirvCross = 0, driver = 0, firstDraw = 0;
    gfx::SetAlwaysOptimiseShaders(optimise);
    for (auto _ : state) {
        ID3DBlob* code = nullptr;
        ID3DBlob* errors = nullptr;
        D3DCompile(text, std::strlen(text), nullptr, nullptr, nullptr, "p", "ps_5_0", 0, 0, &code, &errors);
        if (errors)
            errors->Release();
        if (!code) {
            state.SkipWithError("compile failed");
            break;
        }
        gfx::ShaderCompileTimes t = gfx::LastShaderCompileTimes();
        glslang += t.glslang;
        spirvCross += t.spirvCross;
        driver += t.driver;
        auto a = std::chrono::steady_clock::now();
        ID3D11PixelShader* ps = nullptr;
        device->CreatePixelShader(code->GetBufferPointer(), code->GetBufferSize(), nullptr, &ps);
        code->Release();
        ctx->OMSetRenderTargets(1, &rtv, nullptr);
        D3D11_VIEWPORT vp{0, 0, 64, 64, 0, 1};
        ctx->RSSetViewports(1, &vp);
        ctx->IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
        ctx->VSSetShader(vs, nullptr, 0);
        ctx->PSSetShader(ps, nullptr, 0);
        ctx->Draw(3, 0);
        glFinish();
        firstDraw += Ms(a, std::chrono::steady_clock::now());
        ctx->ClearState();
        ps->Release();
    }
    gfx::SetAlwaysOptimiseShaders(false);
    double n = double(state.iterations());
    state.counters["glslang_ms"] = glslang / n;
    state.counters["spirv_cross_ms"] = spirvCross / n;
    state.counters["translation_ms"] = (glslang + spirvCross) / n;
    state.counters["driver_compile_link_ms"] = driver / n;
    state.counters["driver_first_draw_ms"] = firstDraw / n;
    state.counters["driver_total_ms"] = (driver + firstDraw) / n;
    vs->Release();
    rtv->Release();
    tex->Release();
    ctx->Release();
    device->Release();
}

void BM_BlurHlslToGl(benchmark::State& state)
{
    Measure(state, kBlur);
}
void BM_SceneHlslToGl(benchmark::State& state)
{
    Measure(state, kScene);
}

void BM_BlurHlslToGlOptimised(benchmark::State& state)
{
    Measure(state, kBlur, true);
}
void BM_SceneHlslToGlOptimised(benchmark::State& state)
{
    Measure(state, kScene, true);
}
void BM_OffsetBlurHlslToGl(benchmark::State& state)
{
    Measure(state, kOffsetBlur);
}

}  // namespace

BENCHMARK(BM_BlurHlslToGl)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);
BENCHMARK(BM_SceneHlslToGl)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
BENCHMARK(BM_BlurHlslToGlOptimised)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);
BENCHMARK(BM_SceneHlslToGlOptimised)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
BENCHMARK(BM_OffsetBlurHlslToGl)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);
