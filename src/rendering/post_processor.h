#pragma once
// Full-screen passes: a quad drawn with the built-in pass-through vertex
// shader and a pixel shader chosen per draw, from input textures into output
// views. Every pass binds: b0 the input and output sizes (PSConstants), b1
// its own parameter block, t0.. the inputs in the order added, s0 a point
// and s1 a linear sampler. b2 and b3 are the caller's and left as bound.
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
};

class PostProcessor : public PostProcessorBase {
public:
    ConstantBuffer<PostProcessorParams> params;

    void Initialize(ID3D11Device* device) override;
    void Draw(ID3D11DeviceContext* context, ID3D11ShaderResourceView* input, ID3D11RenderTargetView* output,
              const Shader* shader);
    void SetParams(const PostProcessorParams& payload);
};

class CombineProcessor : public PostProcessorBase {
public:
    ConstantBuffer<CombineProcessorParams> params;

    void Initialize(ID3D11Device* device) override;
    // Both inputs or none: with either one null no texture is bound.
    void Draw(ID3D11DeviceContext* context, ID3D11ShaderResourceView* input0, ID3D11ShaderResourceView* input1,
              ID3D11RenderTargetView* output, const Shader* shader);
    void SetParams(const CombineProcessorParams& payload);
};

class TexgenProcessor : public PostProcessorBase {
public:
    ConstantBuffer<TexgenProcessorParams> params;

    void Initialize(ID3D11Device* device) override;
    void Generate(ID3D11DeviceContext* context, ID3D11ShaderResourceView* input, ID3D11RenderTargetView* output,
                  const Shader* shader);
    void SetParams(const TexgenProcessorParams& payload);
};
