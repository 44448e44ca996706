#pragma once
// Full-screen passes: a quad drawn with the built-in pass-through vertex
// shader and a pixel shader chosen per draw, from input textures into output
// views. Every pass binds: b0 the input and output sizes (PSConstants), b1
// its own parameter block, t0.. the inputs in the order added, s0 a point
// and s1 a linear sampler. b2 and b3 are the caller's and left as bound.
#include <cstring>

#include "platform/gfx/d3d11.h"
#include "rendering/constant_buffer.h"
#include "rendering/math_types.h"
#include "rendering/shader.h"
#include "rendering/simple_array.h"

struct QuadVertex {
    Float4 position;  // "POSITION"
    Float2 texcoord;  // "texcoord0"
};
static_assert(sizeof(QuadVertex) == 24);

struct RenderTargetPoolEntry {
    ID3D11Texture2D* texture;
    ID3D11ShaderResourceView* shaderResourceView;
    ID3D11RenderTargetView* renderTargetView;
    u32 width;
    u32 height;
    DXGI_FORMAT format;
    u32 sampleCount;
    u32 sampleQuality;
    u32 inUse;  // 1 while handed out

    RenderTargetPoolEntry() : texture(nullptr), shaderResourceView(nullptr), renderTargetView(nullptr) {}
};

class PostProcessorBase {
public:
    SimpleArray<RenderTargetPoolEntry*> targetPool;
    ID3D11Device* device;          // borrowed
    ID3D11DeviceContext* context;  // borrowed, from the last Bind
    ID3D11Buffer* vertexBuffer;
    ID3D11Buffer* indexBuffer;
    Shader* quadShader;
    ID3D11SamplerState* pointSampler;
    ID3D11SamplerState* linearSampler;
    ID3D11DepthStencilState* depthStencilState;
    ID3D11BlendState* blendState;
    ID3D11RasterizerState* rasterizerState;
    SimpleArray<ID3D11ShaderResourceView*> inputs;  // borrowed, for the next Render
    SimpleArray<ID3D11RenderTargetView*> outputs;   // borrowed, for the next Render
    ID3D11Buffer* passConstants;

    PostProcessorBase();
    ~PostProcessorBase();

    virtual void Initialize(ID3D11Device* device);
    virtual void Bind(ID3D11DeviceContext* context, ID3D11ShaderResourceView* input, ID3D11RenderTargetView* output);
    virtual void Render(ID3D11PixelShader* pixelShader);

    void Draw(ID3D11ShaderResourceView* input, ID3D11RenderTargetView* output, ID3D11PixelShader* pixelShader);
    RenderTargetPoolEntry* AcquireTarget(u32 width, u32 height, DXGI_FORMAT format, u32 sampleCount, u32 sampleQuality);
    void ReleaseTargetPool();
    // Everything Initialize and AcquireTarget made; the fields are cleared, so
    // that a second call releases nothing.
    void Release();
};

// A pass with its own parameter block at b1: ConstantBuffer<Payload>, made by
// Initialize, filled by SetParams and uploaded on every draw.
template <typename Payload>
class ParameterPass : public PostProcessorBase {
public:
    ConstantBuffer<Payload> params;

    void Initialize(ID3D11Device* device_) override
    {
        PostProcessorBase::Initialize(device_);
        params.Create(device_);
    }
    void SetParams(const Payload& payload) { std::memcpy(static_cast<void*>(&params.data), &payload, sizeof(payload)); }

protected:
    // Bind (given boundInput), upload and bind b1, then render the first
    // textureCount textures into output.
    void DrawPass(ID3D11DeviceContext* context_, ID3D11ShaderResourceView* boundInput,
                  ID3D11ShaderResourceView* const* textures, u32 textureCount, ID3D11RenderTargetView* output,
                  const Shader* shader)
    {
        Bind(context_, boundInput, output);
        params.Update(context_);
        params.BindPS(context_, 1);
        for (u32 i = 0; i < textureCount; ++i)
            inputs.Add(textures[i]);
        outputs.Add(output);
        Render(shader->pixelShader);
    }
};

class PostProcessor : public ParameterPass<PostProcessorParams> {
public:
    // Without an input no texture is bound.
    void Draw(ID3D11DeviceContext* context, ID3D11ShaderResourceView* input, ID3D11RenderTargetView* output,
              const Shader* shader);
};

class CombineProcessor : public ParameterPass<CombineProcessorParams> {
public:
    // Both inputs or none: with either one null no texture is bound.
    void Draw(ID3D11DeviceContext* context, ID3D11ShaderResourceView* input0, ID3D11ShaderResourceView* input1,
              ID3D11RenderTargetView* output, const Shader* shader);
};

class TexgenProcessor : public ParameterPass<TexgenProcessorParams> {
public:
    // Without an input no texture is bound.
    void Generate(ID3D11DeviceContext* context, ID3D11ShaderResourceView* input, ID3D11RenderTargetView* output,
                  const Shader* shader);
};
