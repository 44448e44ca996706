// A frame of the intro's shape at 1600x900 (scene pass, horizontal and vertical
// blur, combine into an sRGB back buffer), through the gfx layer and written
// directly in GL with the same shaders' GLSL equivalents. Run headless:
//   SDL_VIDEODRIVER=offscreen bench_gfx_frame
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <epoxy/gl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/gfx/d3dcompiler.h"
#include "platform/gfx/gfx_stats.h"
#include "platform/window/native_window.h"

namespace {

constexpr UINT kWidth = 1600, kHeight = 900;

// ---- the passes in HLSL --------------------------------------------------------

const char* kQuadVs = R"(struct VSInput { float4 PositionCS : POSITION; float2 TexCoord : texcoord0; };
struct VSOutput { float4 PositionCS : SV_POSITION; float2 TexCoord : texcoord0; };
VSOutput v(VSInput input) { VSOutput o; o.PositionCS = input.PositionCS; o.TexCoord = input.TexCoord; return o; }
)";

const char* kSceneHlsl = R"(cbuffer vars : register(b3) { float speed; float scale; float2 pad; float4 tint; };
cbuffer PostProcessorParams : register(b1) { float4 values; float4x4 m; float frameTime; };
cbuffer PSConstants : register(b0) { float2 Resolution : packoffset(c2.x); };
struct VSOutput { float4 PositionCS : SV_POSITION; float2 TexCoord : texcoord0; };
float4 p(VSOutput i) : SV_TARGET {
  float2 uv = i.TexCoord * 2 - 1;
  uv.x *= Resolution.x / Resolution.y;
  float3 c = 0;
  for (int k = 0; k < 12; k++) {
    float t = frameTime * speed + k * 0.7;
    float2 q = uv * scale + float2(sin(t), cos(t * 1.3));
    c += tint.rgb * 0.02 / (dot(q, q) + 0.01);
  }
  return float4(c, 1);
}
)";

const char* kBlurHHlsl = R"(cbuffer PSConstants : register(b0) { float2 Resolution : packoffset(c2.x); };
cbuffer params : register(b2) { float2 blursamples; float2 blursize; };
Texture2D InputTexture0 : register(t0);
SamplerState sm : register(s0);
struct VSOutput { float4 PositionCS : SV_POSITION; float2 TexCoord : texcoord0; };
float G(float x, float theta) { return 1.0 / sqrt(2.0 * (355.0 / 113.0) * theta) * pow(2.71828182846, -x * x / (2.0 * theta * theta)); }
float4 p(VSOutput i) : SV_TARGET {
  float4 sum = 0; float w = 0;
  for (float k = -blursamples.x; k <= blursamples.x; k += 1) {
    float g = G(k / blursamples.x * 2.8, 1.0);
    sum += InputTexture0.Sample(sm, i.TexCoord + float2(k / Resolution.x * blursize.x, 0)) * g; w += g;
  }
  return sum / w;
}
)";

const char* kBlurVHlsl = R"(cbuffer PSConstants : register(b0) { float2 Resolution : packoffset(c2.x); };
cbuffer params : register(b2) { float2 blursamples; float2 blursize; };
Texture2D InputTexture0 : register(t0);
SamplerState sm : register(s0);
struct VSOutput { float4 PositionCS : SV_POSITION; float2 TexCoord : texcoord0; };
float G(float x, float theta) { return 1.0 / sqrt(2.0 * (355.0 / 113.0) * theta) * pow(2.71828182846, -x * x / (2.0 * theta * theta)); }
float4 p(VSOutput i) : SV_TARGET {
  float4 sum = 0; float w = 0;
  for (float k = -blursamples.y; k <= blursamples.y; k += 1) {
    float g = G(k / blursamples.y * 2.8, 1.0);
    sum += InputTexture0.Sample(sm, i.TexCoord + float2(0, k / Resolution.y * blursize.y)) * g; w += g;
  }
  return sum / w;
}
)";

const char* kAddHlsl = R"(Texture2D InputTexture0 : register(t0);
Texture2D InputTexture1 : register(t1);
SamplerState LinearSampler : register(s0);
SamplerState PointSampler : register(s1);
struct VSOutput { float4 PositionCS : SV_POSITION; float2 TexCoord : texcoord0; };
float4 p(VSOutput i) : SV_TARGET {
  return InputTexture0.Sample(PointSampler, i.TexCoord) + InputTexture1.Sample(PointSampler, i.TexCoord);
}
)";

// ---- the same in GLSL ------------------------------------------------------------

const char* kQuadGlsl = R"(#version 450
layout(location = 0) in vec4 position;
layout(location = 1) in vec2 texcoord;
layout(location = 0) out vec2 uv;
void main() { gl_Position = position; uv = texcoord; }
)";

const char* kSceneGlsl = R"(#version 450
uniform vec4 vars[2];
uniform vec4 frame[6];
uniform vec2 Resolution;
layout(location = 0) in vec2 uv0;
layout(location = 0) out vec4 o;
void main() {
  vec2 uv = uv0 * 2.0 - 1.0;
  uv.x *= Resolution.x / Resolution.y;
  vec3 c = vec3(0);
  for (int k = 0; k < 12; k++) {
    float t = frame[5].x * vars[0].x + float(k) * 0.7;
    vec2 q = uv * vars[0].y + vec2(sin(t), cos(t * 1.3));
    c += vars[1].rgb * 0.02 / (dot(q, q) + 0.01);
  }
  o = vec4(c, 1);
}
)";

const char* kBlurGlslH = R"(#version 450
uniform vec2 Resolution;
uniform vec4 params;
layout(binding = 0) uniform sampler2D tex;
layout(location = 0) in vec2 uv;
layout(location = 0) out vec4 o;
float G(float x, float theta) { return 1.0 / sqrt(2.0 * (355.0 / 113.0) * theta) * pow(2.71828182846, -x * x / (2.0 * theta * theta)); }
void main() {
  vec4 sum = vec4(0); float w = 0.0;
  for (float k = -params.x; k <= params.x; k += 1.0) {
    float g = G(k / params.x * 2.8, 1.0);
    sum += texture(tex, uv + vec2(k / Resolution.x * params.z, 0.0)) * g; w += g;
  }
  o = sum / w;
}
)";

const char* kBlurGlslV = R"(#version 450
uniform vec2 Resolution;
uniform vec4 params;
layout(binding = 0) uniform sampler2D tex;
layout(location = 0) in vec2 uv;
layout(location = 0) out vec4 o;
float G(float x, float theta) { return 1.0 / sqrt(2.0 * (355.0 / 113.0) * theta) * pow(2.71828182846, -x * x / (2.0 * theta * theta)); }
void main() {
  vec4 sum = vec4(0); float w = 0.0;
  for (float k = -params.y; k <= params.y; k += 1.0) {
    float g = G(k / params.y * 2.8, 1.0);
    sum += texture(tex, uv + vec2(0.0, k / Resolution.y * params.w)) * g; w += g;
  }
  o = sum / w;
}
)";

const char* kAddGlsl = R"(#version 450
layout(binding = 0) uniform sampler2D t0;
layout(binding = 1) uniform sampler2D t1;
layout(location = 0) in vec2 uv;
layout(location = 0) out vec4 o;
void main() { o = texture(t0, uv) + texture(t1, uv); }
)";

struct QuadVertex {
    float position[4];
    float texcoord[2];
};
const QuadVertex kQuad[4] = {
    {{1, 1, 1, 1}, {1, 0}}, {{1, -1, 1, 1}, {1, 1}}, {{-1, -1, 1, 1}, {0, 1}}, {{-1, 1, 1, 1}, {0, 0}}};
const std::uint16_t kIndices[6] = {0, 1, 2, 2, 3, 0};
const float kBlur[4] = {4, 4, 1, 1};
const float kVars[8] = {0.7f, 1.5f, 0, 0, 1.0f, 0.6f, 0.3f, 1};

// ---- through the layer --------------------------------------------------------------

struct LayerFrame {
    ID3D11Device* device = nullptr;
    ID3D11DeviceContext* ctx = nullptr;
    ID3D11VertexShader* vs = nullptr;
    ID3D11InputLayout* layout = nullptr;
    ID3D11PixelShader *scene = nullptr, *blurH = nullptr, *blurV = nullptr, *add = nullptr;
    ID3D11Buffer *vb = nullptr, *ib = nullptr, *pass = nullptr, *params = nullptr, *blur = nullptr, *vars = nullptr;
    ID3D11Texture2D* tex[4] = {};
    ID3D11RenderTargetView* rtv[4] = {};
    ID3D11ShaderResourceView* srv[3] = {};
    ID3D11SamplerState *point = nullptr, *linear = nullptr;
    ID3D11RasterizerState* rs = nullptr;
    ID3D11BlendState* bs = nullptr;
    ID3D11DepthStencilState* ds = nullptr;
    float time = 0;

    ID3DBlob* Compile(const char* text, const char* entry, const char* target)
    {
        ID3DBlob *code = nullptr, *errors = nullptr;
        D3DCompile(text, std::strlen(text), nullptr, nullptr, nullptr, entry, target, 0, 0, &code, &errors);
        if (errors) {
            std::fprintf(stderr, "%s\n", static_cast<const char*>(errors->GetBufferPointer()));
            errors->Release();
        }
        return code;
    }
    ID3D11PixelShader* Ps(const char* text)
    {
        ID3DBlob* code = Compile(text, "p", "ps_5_0");
        ID3D11PixelShader* ps = nullptr;
        device->CreatePixelShader(code->GetBufferPointer(), code->GetBufferSize(), nullptr, &ps);
        code->Release();
        return ps;
    }
    ID3D11Buffer* Buffer(UINT size, D3D11_USAGE usage, UINT bind, const void* data)
    {
        D3D11_BUFFER_DESC d{size, usage, bind, usage == D3D11_USAGE_DYNAMIC ? UINT(D3D11_CPU_ACCESS_WRITE) : 0u, 0, 0};
        D3D11_SUBRESOURCE_DATA init{data, 0, 0};
        ID3D11Buffer* b = nullptr;
        device->CreateBuffer(&d, data ? &init : nullptr, &b);
        return b;
    }

    bool Create()
    {
        if (FAILED(D3D11CreateDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, nullptr, 0, D3D11_SDK_VERSION,
                                     &device, nullptr, &ctx)))
            return false;
        ID3DBlob* code = Compile(kQuadVs, "v", "vs_5_0");
        device->CreateVertexShader(code->GetBufferPointer(), code->GetBufferSize(), nullptr, &vs);
        D3D11_INPUT_ELEMENT_DESC el[2] = {
            {"POSITION", 0, DXGI_FORMAT_R32G32B32A32_FLOAT, 0, D3D11_APPEND_ALIGNED_ELEMENT,
             D3D11_INPUT_PER_VERTEX_DATA, 0},
            {"texcoord", 0, DXGI_FORMAT_R32G32_FLOAT, 0, D3D11_APPEND_ALIGNED_ELEMENT, D3D11_INPUT_PER_VERTEX_DATA, 0}};
        device->CreateInputLayout(el, 2, code->GetBufferPointer(), code->GetBufferSize(), &layout);
        code->Release();
        scene = Ps(kSceneHlsl);
        blurH = Ps(kBlurHHlsl);
        blurV = Ps(kBlurVHlsl);
        add = Ps(kAddHlsl);
        vb = Buffer(sizeof kQuad, D3D11_USAGE_IMMUTABLE, D3D11_BIND_VERTEX_BUFFER, kQuad);
        ib = Buffer(sizeof kIndices, D3D11_USAGE_IMMUTABLE, D3D11_BIND_INDEX_BUFFER, kIndices);
        pass = Buffer(48, D3D11_USAGE_DYNAMIC, D3D11_BIND_CONSTANT_BUFFER, nullptr);
        params = Buffer(96, D3D11_USAGE_DYNAMIC, D3D11_BIND_CONSTANT_BUFFER, nullptr);
        for (int i = 0; i < 4; ++i) {
            D3D11_TEXTURE2D_DESC d{kWidth,
                                   kHeight,
                                   1,
                                   1,
                                   i < 3 ? DXGI_FORMAT_R16G16B16A16_FLOAT : DXGI_FORMAT_R8G8B8A8_UNORM_SRGB,
                                   {1, 0},
                                   D3D11_USAGE_DEFAULT,
                                   D3D11_BIND_RENDER_TARGET | D3D11_BIND_SHADER_RESOURCE,
                                   0,
                                   0};
            device->CreateTexture2D(&d, nullptr, &tex[i]);
            device->CreateRenderTargetView(tex[i], nullptr, &rtv[i]);
            if (i < 3)
                device->CreateShaderResourceView(tex[i], nullptr, &srv[i]);
        }
        D3D11_SAMPLER_DESC sd{D3D11_FILTER_MIN_MAG_MIP_POINT,
                              D3D11_TEXTURE_ADDRESS_CLAMP,
                              D3D11_TEXTURE_ADDRESS_CLAMP,
                              D3D11_TEXTURE_ADDRESS_WRAP,
                              0,
                              1,
                              D3D11_COMPARISON_ALWAYS,
                              {0, 0, 0, 0},
                              0,
                              D3D11_FLOAT32_MAX};
        device->CreateSamplerState(&sd, &point);
        sd.Filter = D3D11_FILTER_MIN_MAG_MIP_LINEAR;
        device->CreateSamplerState(&sd, &linear);
        D3D11_RASTERIZER_DESC rd{D3D11_FILL_SOLID, D3D11_CULL_NONE, FALSE, 0, 0, 0, TRUE, FALSE, TRUE, FALSE};
        device->CreateRasterizerState(&rd, &rs);
        D3D11_BLEND_DESC bd{};
        for (auto& rt : bd.RenderTarget)
            rt = {FALSE,           D3D11_BLEND_ONE, D3D11_BLEND_ONE,    D3D11_BLEND_OP_ADD,
                  D3D11_BLEND_ONE, D3D11_BLEND_ONE, D3D11_BLEND_OP_ADD, 0xF};
        device->CreateBlendState(&bd, &bs);
        D3D11_DEPTH_STENCIL_DESC dd{};
        dd.DepthFunc = D3D11_COMPARISON_LESS_EQUAL;
        dd.StencilReadMask = dd.StencilWriteMask = 0xff;
        dd.FrontFace = dd.BackFace = {D3D11_STENCIL_OP_KEEP, D3D11_STENCIL_OP_KEEP, D3D11_STENCIL_OP_REPLACE,
                                      D3D11_COMPARISON_ALWAYS};
        device->CreateDepthStencilState(&dd, &ds);
        return scene && blurH && blurV && add;
    }

    void Upload(ID3D11Buffer* b, const void* data, std::size_t size)
    {
        D3D11_MAPPED_SUBRESOURCE m{};
        ctx->Map(b, 0, D3D11_MAP_WRITE_DISCARD, 0, &m);
        std::memcpy(m.pData, data, size);
        ctx->Unmap(b, 0);
    }

    // One pass as the full-screen pass base draws it: every state again, b0 mapped.
    void Pass(ID3D11PixelShader* ps, ID3D11ShaderResourceView* in0, ID3D11ShaderResourceView* in1,
              ID3D11RenderTargetView* out)
    {
        const float factor[4] = {1, 1, 1, 1};
        ctx->RSSetState(rs);
        ctx->OMSetBlendState(bs, factor, 0xffffffff);
        ctx->OMSetDepthStencilState(ds, 0);
        ID3D11SamplerState* samplers[2] = {point, linear};
        ctx->PSSetSamplers(0, 2, samplers);
        ctx->IASetInputLayout(layout);
        UINT stride = 24, offset = 0;
        ctx->IASetVertexBuffers(0, 1, &vb, &stride, &offset);
        ctx->IASetIndexBuffer(ib, DXGI_FORMAT_R16_UINT, 0);
        ctx->IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
        ctx->VSSetShader(vs, nullptr, 0);
        ctx->GSSetShader(nullptr, nullptr, 0);
        float frameParams[24] = {};
        frameParams[20] = time;
        Upload(params, frameParams, 84);
        ctx->PSSetConstantBuffers(1, 1, &params);
        ctx->OMSetRenderTargets(1, &out, nullptr);
        ID3D11ShaderResourceView* inputs[2] = {in0, in1};
        if (in0)
            ctx->PSSetShaderResources(0, in1 ? 2 : 1, inputs);
        float sizes[12] = {};
        sizes[0] = sizes[2] = kWidth;
        sizes[1] = sizes[3] = kHeight;
        sizes[8] = kWidth;
        sizes[9] = kHeight;
        Upload(pass, sizes, sizeof sizes);
        ctx->PSSetConstantBuffers(0, 1, &pass);
        D3D11_VIEWPORT vp{0, 0, float(kWidth), float(kHeight), 0.01f, 1.0f};
        ctx->RSSetViewports(1, &vp);
        ctx->PSSetShader(ps, nullptr, 0);
        ctx->DrawIndexed(6, 0, 0);
    }

    void Frame()
    {
        time += 1.0f / 60;
        const float magenta[4] = {1, 0, 1, 1};
        ctx->ClearRenderTargetView(rtv[3], magenta);
        // The frame's constant buffers are made and released every frame, as the intro does.
        vars = Buffer(32, D3D11_USAGE_DYNAMIC, D3D11_BIND_CONSTANT_BUFFER, nullptr);
        Upload(vars, kVars, sizeof kVars);
        ctx->PSSetConstantBuffers(3, 1, &vars);
        Pass(scene, nullptr, nullptr, rtv[0]);
        blur = Buffer(32, D3D11_USAGE_DYNAMIC, D3D11_BIND_CONSTANT_BUFFER, nullptr);
        Upload(blur, kBlur, sizeof kBlur);
        ctx->PSSetConstantBuffers(2, 1, &blur);
        Pass(blurH, srv[0], nullptr, rtv[1]);
        Pass(blurV, srv[1], nullptr, rtv[2]);
        Pass(add, srv[0], srv[2], rtv[3]);
        vars->Release();
        ctx->ClearState();
        blur->Release();
        glFinish();
    }

    void Release()
    {
        for (IUnknown* o : std::initializer_list<IUnknown*>{vs, layout, scene, blurH, blurV, add, vb, ib, pass, params,
                                                            point, linear, rs, bs, ds})
            if (o)
                o->Release();
        for (int i = 0; i < 4; ++i) {
            if (rtv[i])
                rtv[i]->Release();
            if (i < 3 && srv[i])
                srv[i]->Release();
            if (tex[i])
                tex[i]->Release();
        }
        ctx->Release();
        device->Release();
    }
};

void BM_FrameThroughLayer(benchmark::State& state)
{
    LayerFrame f;
    if (!f.Create()) {
        state.SkipWithError("no device");
        return;
    }
    for (int i = 0; i < 5; ++i)
        f.Frame();  // first draws compile the shaders for real
    auto before = gfx::CurrentGlCallCounts();
    for (auto _ : state)
        f.Frame();
    auto after = gfx::CurrentGlCallCounts();
    double frames = double(state.iterations());
    state.counters["gl_state_changes_per_frame"] = double(after.stateChanges - before.stateChanges) / frames;
    state.counters["uniform_uploads_per_frame"] = double(after.uniformUploads - before.uniformUploads) / frames;
    f.Release();
}

// ---- directly in GL ------------------------------------------------------------------

struct DirectFrame {
    SDL_Window* window = nullptr;
    SDL_GLContext gl = nullptr;
    GLuint vao = 0, vb = 0, ib = 0, pipeline = 0;
    GLuint vs = 0, scene = 0, blurH = 0, blurV = 0, add = 0;
    GLuint tex[4] = {}, fbo[4] = {}, point = 0, linear = 0;
    float time = 0;

    static GLuint Program(GLenum type, const char* text)
    {
        GLuint p = glCreateShaderProgramv(type, 1, &text);
        GLint ok = 0;
        glGetProgramiv(p, GL_LINK_STATUS, &ok);
        if (!ok) {
            char log[2048];
            glGetProgramInfoLog(p, sizeof log, nullptr, log);
            std::fprintf(stderr, "%s\n", log);
        }
        return p;
    }

    bool Create()
    {
        if (!SDL_WasInit(SDL_INIT_VIDEO))
            SDL_InitSubSystem(SDL_INIT_VIDEO);
        platform::ConfigureGlAttributes();
        window = SDL_CreateWindow("", 0, 0, 16, 16, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        if (!window)
            return false;
        gl = SDL_GL_CreateContext(window);
        if (!gl)
            return false;
        glCreateVertexArrays(1, &vao);
        glCreateBuffers(1, &vb);
        glNamedBufferStorage(vb, sizeof kQuad, kQuad, 0);
        glCreateBuffers(1, &ib);
        glNamedBufferStorage(ib, sizeof kIndices, kIndices, 0);
        glVertexArrayVertexBuffer(vao, 0, vb, 0, 24);
        glVertexArrayElementBuffer(vao, ib);
        glVertexArrayAttribFormat(vao, 0, 4, GL_FLOAT, GL_FALSE, 0);
        glVertexArrayAttribFormat(vao, 1, 2, GL_FLOAT, GL_FALSE, 16);
        glVertexArrayAttribBinding(vao, 0, 0);
        glVertexArrayAttribBinding(vao, 1, 0);
        glEnableVertexArrayAttrib(vao, 0);
        glEnableVertexArrayAttrib(vao, 1);
        vs = Program(GL_VERTEX_SHADER, kQuadGlsl);
        scene = Program(GL_FRAGMENT_SHADER, kSceneGlsl);
        blurH = Program(GL_FRAGMENT_SHADER, kBlurGlslH);
        blurV = Program(GL_FRAGMENT_SHADER, kBlurGlslV);
        add = Program(GL_FRAGMENT_SHADER, kAddGlsl);
        glCreateProgramPipelines(1, &pipeline);
        glUseProgramStages(pipeline, GL_VERTEX_SHADER_BIT, vs);
        glBindProgramPipeline(pipeline);
        glBindVertexArray(vao);
        for (int i = 0; i < 4; ++i) {
            glCreateTextures(GL_TEXTURE_2D, 1, &tex[i]);
            glTextureStorage2D(tex[i], 1, i < 3 ? GL_RGBA16F : GL_SRGB8_ALPHA8, kWidth, kHeight);
            glCreateFramebuffers(1, &fbo[i]);
            glNamedFramebufferTexture(fbo[i], GL_COLOR_ATTACHMENT0, tex[i], 0);
        }
        glCreateSamplers(1, &point);
        glSamplerParameteri(point, GL_TEXTURE_MIN_FILTER, GL_NEAREST_MIPMAP_NEAREST);
        glSamplerParameteri(point, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glCreateSamplers(1, &linear);
        glSamplerParameteri(linear, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
        glSamplerParameteri(linear, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        for (GLuint s : {point, linear}) {
            glSamplerParameteri(s, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
            glSamplerParameteri(s, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        }
        glEnable(GL_FRAMEBUFFER_SRGB);
        glViewport(0, 0, kWidth, kHeight);
        glDepthRangef(0.01f, 1.0f);
        return true;
    }

    void Pass(GLuint ps, GLuint in0, GLuint in1, GLuint sampler, int out)
    {
        glUseProgramStages(pipeline, GL_FRAGMENT_SHADER_BIT, ps);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, fbo[out]);
        if (in0) {
            glBindTextureUnit(0, in0);
            glBindSampler(0, sampler);
        }
        if (in1) {
            glBindTextureUnit(1, in1);
            glBindSampler(1, sampler);
        }
        glDrawElements(GL_TRIANGLES, 6, GL_UNSIGNED_SHORT, nullptr);
    }

    void Frame()
    {
        time += 1.0f / 60;
        const float magenta[4] = {1, 0, 1, 1};
        glClearNamedFramebufferfv(fbo[3], GL_COLOR, 0, magenta);
        float frame[24] = {};
        frame[20] = time;
        glProgramUniform4fv(scene, glGetUniformLocation(scene, "vars"), 2, kVars);
        glProgramUniform4fv(scene, glGetUniformLocation(scene, "frame"), 6, frame);
        glProgramUniform2f(scene, glGetUniformLocation(scene, "Resolution"), kWidth, kHeight);
        Pass(scene, 0, 0, point, 0);
        for (GLuint p : {blurH, blurV}) {
            glProgramUniform4fv(p, glGetUniformLocation(p, "params"), 1, kBlur);
            glProgramUniform2f(p, glGetUniformLocation(p, "Resolution"), kWidth, kHeight);
        }
        Pass(blurH, tex[0], 0, point, 1);
        Pass(blurV, tex[1], 0, point, 2);
        Pass(add, tex[0], tex[2], linear, 3);
        glFinish();
    }

    void Release()
    {
        SDL_GL_DeleteContext(gl);
        SDL_DestroyWindow(window);
    }
};

void BM_FrameDirectGl(benchmark::State& state)
{
    DirectFrame f;
    if (!f.Create()) {
        state.SkipWithError("no GL context");
        return;
    }
    for (int i = 0; i < 5; ++i)
        f.Frame();
    for (auto _ : state)
        f.Frame();
    f.Release();
}

// Both frames in turn in one loop, so that both meet the same machine load
// (llvmpipe's raster threads share the cores with whatever else runs).
void BM_FrameInterleaved(benchmark::State& state)
{
    DirectFrame direct;
    if (!direct.Create()) {
        state.SkipWithError("no GL context");
        return;
    }
    SDL_Window* directWindow = SDL_GL_GetCurrentWindow();
    SDL_GLContext directContext = SDL_GL_GetCurrentContext();
    LayerFrame layer;
    if (!layer.Create()) {
        state.SkipWithError("no device");
        return;
    }
    SDL_Window* layerWindow = SDL_GL_GetCurrentWindow();
    SDL_GLContext layerContext = SDL_GL_GetCurrentContext();
    auto now = [] { return std::chrono::steady_clock::now(); };
    auto ms = [](auto a, auto b) { return std::chrono::duration<double, std::milli>(b - a).count(); };
    for (int i = 0; i < 5; ++i)
        layer.Frame();
    SDL_GL_MakeCurrent(directWindow, directContext);
    for (int i = 0; i < 5; ++i)
        direct.Frame();
    std::vector<double> directTimes, layerTimes;
    for (auto _ : state) {
        SDL_GL_MakeCurrent(directWindow, directContext);
        auto a = now();
        direct.Frame();
        auto b = now();
        // The layer believes its context is current: make it so again.
        SDL_GL_MakeCurrent(layerWindow, layerContext);
        auto c = now();
        layer.Frame();
        auto d = now();
        directTimes.push_back(ms(a, b));
        layerTimes.push_back(ms(c, d));
    }
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v.empty() ? 0.0 : v[v.size() / 2];
    };
    double dm = median(directTimes), lm = median(layerTimes);
    state.counters["direct_median_ms"] = dm;
    state.counters["layer_median_ms"] = lm;
    state.counters["layer_over_direct"] = dm > 0 ? lm / dm : 0;
    layer.Release();
    SDL_GL_MakeCurrent(directWindow, directContext);
    direct.Release();
}

}  // namespace

BENCHMARK(BM_FrameInterleaved)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(200);
BENCHMARK(BM_FrameDirectGl)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_FrameThroughLayer)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
