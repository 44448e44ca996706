#include "rendering/post_processor.h"

#include <algorithm>

#include "rendering/builtin_shaders.h"
#include "rendering/release.h"
#include "rendering/render_target.h"

namespace {
const QuadVertex kQuad[4] = {
    {Float4(1.0f, 1.0f, 1.0f, 1.0f), Float2(1.0f, 0.0f)},
    {Float4(1.0f, -1.0f, 1.0f, 1.0f), Float2(1.0f, 1.0f)},
    {Float4(-1.0f, -1.0f, 1.0f, 1.0f), Float2(0.0f, 1.0f)},
    {Float4(-1.0f, 1.0f, 1.0f, 1.0f), Float2(0.0f, 0.0f)},
};
const unsigned short kQuadIndices[6] = {0, 1, 2, 2, 3, 0};

// PSConstants: the sizes of up to four inputs, then the output's.
constexpr u32 kMaxSizedInputs = 4;
constexpr u32 kPassConstantFloats = 12;

void CreateImmutableBuffer(ID3D11Device* device, const void* bytes, UINT size, UINT bindFlags, ID3D11Buffer** buffer)
{
    D3D11_BUFFER_DESC desc{};
    desc.ByteWidth = size;
    desc.Usage = D3D11_USAGE_IMMUTABLE;
    desc.BindFlags = bindFlags;
    D3D11_SUBRESOURCE_DATA data{bytes, 0, 0};
    device->CreateBuffer(&desc, &data, buffer);
}

float MipSize(UINT size, UINT level)
{
    return static_cast<float>(std::max<UINT>(1, level < 32 ? size >> level : 0));
}

// Width and height of the 2D texture under a view at a mip level.
bool TextureSize(ID3D11View* view, UINT level, float* width, float* height)
{
    ID3D11Resource* resource = nullptr;
    view->GetResource(&resource);
    if (!resource)
        return false;
    D3D11_RESOURCE_DIMENSION dimension = D3D11_RESOURCE_DIMENSION_UNKNOWN;
    resource->GetType(&dimension);
    bool found = false;
    if (dimension == D3D11_RESOURCE_DIMENSION_TEXTURE2D) {
        D3D11_TEXTURE2D_DESC desc{};
        static_cast<ID3D11Texture2D*>(resource)->GetDesc(&desc);
        *width = MipSize(desc.Width, level);
        *height = MipSize(desc.Height, level);
        found = true;
    }
    resource->Release();
    return found;
}
}  // namespace

PostProcessorBase::PostProcessorBase()
    : device(nullptr), context(nullptr), vertexBuffer(nullptr), indexBuffer(nullptr), quadShader(nullptr),
      pointSampler(nullptr), linearSampler(nullptr), depthStencilState(nullptr), blendState(nullptr),
      rasterizerState(nullptr), passConstants(nullptr)
{
}

PostProcessorBase::~PostProcessorBase()
{
    Release();
}

void PostProcessorBase::Release()
{
    ReleaseTargetPool();
    ReleaseOnce(vertexBuffer);
    ReleaseOnce(indexBuffer);
    ReleaseOnce(pointSampler);
    ReleaseOnce(linearSampler);
    ReleaseOnce(depthStencilState);
    ReleaseOnce(blendState);
    ReleaseOnce(rasterizerState);
    ReleaseOnce(passConstants);
    delete quadShader;
    quadShader = nullptr;
}

void PostProcessorBase::Initialize(ID3D11Device* device_)
{
    // A second Initialize starts afresh instead of dropping the first objects.
    Release();
    device = device_;

    quadShader = new Shader(device);
    quadShader->CompileVertexShader(g_builtinShaders[BuiltinShader::FullscreenQuad]);

    CreateImmutableBuffer(device, kQuad, sizeof(kQuad), D3D11_BIND_VERTEX_BUFFER, &vertexBuffer);
    CreateImmutableBuffer(device, kQuadIndices, sizeof(kQuadIndices), D3D11_BIND_INDEX_BUFFER, &indexBuffer);

    CreateDynamicConstantBuffer(device, kPassConstantFloats * 4, &passConstants);

    D3D11_DEPTH_STENCIL_DESC depthDesc{};
    depthDesc.DepthEnable = FALSE;
    depthDesc.DepthWriteMask = D3D11_DEPTH_WRITE_MASK_ZERO;
    depthDesc.DepthFunc = D3D11_COMPARISON_LESS_EQUAL;
    depthDesc.StencilEnable = FALSE;
    depthDesc.StencilReadMask = 0xFF;
    depthDesc.StencilWriteMask = 0xFF;
    depthDesc.FrontFace = {D3D11_STENCIL_OP_KEEP, D3D11_STENCIL_OP_KEEP, D3D11_STENCIL_OP_REPLACE,
                           D3D11_COMPARISON_ALWAYS};
    depthDesc.BackFace = depthDesc.FrontFace;
    device->CreateDepthStencilState(&depthDesc, &depthStencilState);

    D3D11_BLEND_DESC blendDesc{};
    blendDesc.AlphaToCoverageEnable = FALSE;
    blendDesc.IndependentBlendEnable = FALSE;
    for (D3D11_RENDER_TARGET_BLEND_DESC& target : blendDesc.RenderTarget)
        target = {FALSE,           D3D11_BLEND_ONE, D3D11_BLEND_ONE,    D3D11_BLEND_OP_ADD,
                  D3D11_BLEND_ONE, D3D11_BLEND_ONE, D3D11_BLEND_OP_ADD, D3D11_COLOR_WRITE_ENABLE_ALL};
    device->CreateBlendState(&blendDesc, &blendState);

    D3D11_RASTERIZER_DESC rasterizerDesc{};
    rasterizerDesc.FillMode = D3D11_FILL_SOLID;
    rasterizerDesc.CullMode = D3D11_CULL_NONE;
    rasterizerDesc.FrontCounterClockwise = FALSE;
    rasterizerDesc.DepthBias = 0;
    rasterizerDesc.DepthBiasClamp = 0.0f;
    rasterizerDesc.SlopeScaledDepthBias = 0.0f;
    rasterizerDesc.DepthClipEnable = TRUE;
    rasterizerDesc.ScissorEnable = FALSE;
    rasterizerDesc.MultisampleEnable = TRUE;
    rasterizerDesc.AntialiasedLineEnable = FALSE;
    device->CreateRasterizerState(&rasterizerDesc, &rasterizerState);

    D3D11_SAMPLER_DESC samplerDesc{};
    samplerDesc.Filter = D3D11_FILTER_MIN_MAG_MIP_LINEAR;
    samplerDesc.AddressU = D3D11_TEXTURE_ADDRESS_CLAMP;
    samplerDesc.AddressV = D3D11_TEXTURE_ADDRESS_CLAMP;
    samplerDesc.AddressW = D3D11_TEXTURE_ADDRESS_WRAP;
    samplerDesc.MipLODBias = 0.0f;
    samplerDesc.MaxAnisotropy = 1;
    samplerDesc.ComparisonFunc = D3D11_COMPARISON_ALWAYS;
    samplerDesc.MinLOD = 0.0f;
    samplerDesc.MaxLOD = D3D11_FLOAT32_MAX;
    device->CreateSamplerState(&samplerDesc, &linearSampler);

    samplerDesc.Filter = D3D11_FILTER_MIN_MAG_MIP_POINT;
    device->CreateSamplerState(&samplerDesc, &pointSampler);
}

void PostProcessorBase::Bind(ID3D11DeviceContext* context_, ID3D11ShaderResourceView*, ID3D11RenderTargetView*)
{
    context = context_;
    context->RSSetState(rasterizerState);
    const FLOAT blendFactor[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    context->OMSetBlendState(blendState, blendFactor, 0xFFFFFFFFu);
    context->OMSetDepthStencilState(depthStencilState, 0);
    ID3D11SamplerState* samplers[2] = {pointSampler, linearSampler};
    context->PSSetSamplers(0, 2, samplers);
    context->IASetInputLayout(quadShader ? quadShader->inputLayout : nullptr);
    const UINT stride = sizeof(QuadVertex);
    const UINT offset = 0;
    context->IASetVertexBuffers(0, 1, &vertexBuffer, &stride, &offset);
    context->IASetIndexBuffer(indexBuffer, DXGI_FORMAT_R16_UINT, 0);
    context->IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
    context->VSSetShader(quadShader ? quadShader->vertexShader : nullptr, nullptr, 0);
    context->GSSetShader(nullptr, nullptr, 0);
    context->DSSetShader(nullptr, nullptr, 0);
    context->HSSetShader(nullptr, nullptr, 0);
}

void PostProcessorBase::Render(ID3D11PixelShader* pixelShader)
{
    // Without an output there is no size for b0 and the viewport: no draw.
    if (!context || outputs.Size() == 0 || !outputs[0]) {
        inputs.Clear();
        outputs.Clear();
        return;
    }

    context->OMSetRenderTargets(outputs.Size(), &outputs[0], nullptr);
    if (inputs.Size())
        context->PSSetShaderResources(0, inputs.Size(), &inputs[0]);

    float constants[kPassConstantFloats] = {};
    const u32 sized = std::min(inputs.Size(), kMaxSizedInputs);
    for (u32 i = 0; i < sized; ++i) {
        if (!inputs[i])
            continue;
        D3D11_SHADER_RESOURCE_VIEW_DESC desc{};
        inputs[i]->GetDesc(&desc);
        TextureSize(inputs[i], desc.Texture2D.MostDetailedMip, &constants[2 * i], &constants[2 * i + 1]);
    }
    D3D11_RENDER_TARGET_VIEW_DESC outputDesc{};
    outputs[0]->GetDesc(&outputDesc);
    TextureSize(outputs[0], outputDesc.Texture2D.MipSlice, &constants[8], &constants[9]);

    UploadDiscarding(context, passConstants, constants, sizeof(constants));
    context->PSSetConstantBuffers(0, 1, &passConstants);

    D3D11_VIEWPORT viewport{};
    viewport.TopLeftX = 0.0f;
    viewport.TopLeftY = 0.0f;
    viewport.Width = constants[8];
    viewport.Height = constants[9];
    viewport.MinDepth = 0.01f;
    viewport.MaxDepth = 1.0f;
    context->RSSetViewports(1, &viewport);

    context->PSSetShader(pixelShader, nullptr, 0);
    context->DrawIndexed(6, 0, 0);

    inputs.Clear();
    outputs.Clear();
}

void PostProcessorBase::Draw(ID3D11ShaderResourceView* input, ID3D11RenderTargetView* output,
                             ID3D11PixelShader* pixelShader)
{
    inputs.Add(input);
    outputs.Add(output);
    Render(pixelShader);
}

RenderTargetPoolEntry* PostProcessorBase::AcquireTarget(u32 width, u32 height, DXGI_FORMAT format, u32 sampleCount,
                                                        u32 sampleQuality)
{
    for (u32 i = 0; i < targetPool.Size(); ++i) {
        RenderTargetPoolEntry* entry = targetPool[i];
        if (!entry->inUse && entry->width == width && entry->height == height && entry->format == format &&
            entry->sampleCount == sampleCount && entry->sampleQuality == sampleQuality) {
            entry->inUse = 1;
            return entry;
        }
    }

    RenderTargetPoolEntry* entry = new RenderTargetPoolEntry;
    const D3D11_TEXTURE2D_DESC desc = DefaultTextureDesc(
        width, height, format, D3D11_BIND_RENDER_TARGET | D3D11_BIND_SHADER_RESOURCE, 1, 1, sampleCount, sampleQuality);
    device->CreateTexture2D(&desc, nullptr, &entry->texture);
    if (entry->texture) {
        device->CreateRenderTargetView(entry->texture, nullptr, &entry->renderTargetView);
        device->CreateShaderResourceView(entry->texture, nullptr, &entry->shaderResourceView);
    }
    entry->width = width;
    entry->height = height;
    entry->format = format;
    entry->sampleCount = sampleCount;
    entry->sampleQuality = sampleQuality;
    entry->inUse = 1;
    targetPool.Add(entry);
    return entry;
}

void PostProcessorBase::ReleaseTargetPool()
{
    for (u32 i = 0; i < targetPool.Size(); ++i) {
        RenderTargetPoolEntry* entry = targetPool[i];
        ReleaseOnce(entry->shaderResourceView);
        ReleaseOnce(entry->renderTargetView);
        ReleaseOnce(entry->texture);
        delete entry;
    }
    targetPool.Clear();
}

// ---- derived passes

void PostProcessor::Draw(ID3D11DeviceContext* context_, ID3D11ShaderResourceView* input, ID3D11RenderTargetView* output,
                         const Shader* shader)
{
    DrawPass(context_, input, &input, input ? 1 : 0, output, shader);
}

void CombineProcessor::Draw(ID3D11DeviceContext* context_, ID3D11ShaderResourceView* input0,
                            ID3D11ShaderResourceView* input1, ID3D11RenderTargetView* output, const Shader* shader)
{
    ID3D11ShaderResourceView* const textures[2] = {input0, input1};
    DrawPass(context_, input0, textures, input0 && input1 ? 2 : 0, output, shader);
}

void TexgenProcessor::Generate(ID3D11DeviceContext* context_, ID3D11ShaderResourceView* input,
                               ID3D11RenderTargetView* output, const Shader* shader)
{
    DrawPass(context_, input, &input, input ? 1 : 0, output, shader);
}
