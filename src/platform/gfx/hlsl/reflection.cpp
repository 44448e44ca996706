// D3DReflect over this layer's shader record.
#include <memory>

#include "platform/gfx/com_object.h"
#include "platform/gfx/d3dcompiler.h"
#include "platform/gfx/hlsl/shader_info.h"

namespace {

class ConstantBufferReflection final : public ID3D11ShaderReflectionConstantBuffer {
public:
    ConstantBufferReflection(const gfx::CBufferInfo* info) : info_(info) {}
    HRESULT GetDesc(D3D11_SHADER_BUFFER_DESC* desc) override
    {
        if (!desc)
            return gfx::Refuse(gfx::AnyDebugDevice(), "GetDesc", "pDesc",
                               "is null: there is nowhere to put the description");
        desc->Name = info_->name.c_str();
        desc->Type = D3D_CT_CBUFFER;
        desc->Variables = 0;
        desc->Size = info_->size;
        desc->uFlags = 0;
        return S_OK;
    }

private:
    const gfx::CBufferInfo* info_;
};

class ShaderReflection final : public gfx::Object<ID3D11ShaderReflection> {
public:
    explicit ShaderReflection(gfx::ShaderInfo info) : info_(std::move(info))
    {
        for (const auto& cb : info_.cbuffers)
            buffers_.emplace_back(&cb);
    }

    bool Matches(REFIID riid) override { return riid == IID_ID3D11ShaderReflection; }

    HRESULT GetDesc(D3D11_SHADER_DESC* desc) override
    {
        if (!desc)
            return gfx::Refuse(gfx::AnyDebugDevice(), "GetDesc", "pDesc",
                               "is null: there is nowhere to put the description");
        desc->Version = info_.version;
        desc->Creator = "Quorvelan HLSL (glslang, SPIRV-Cross)";
        desc->Flags = 0;
        desc->ConstantBuffers = UINT(info_.cbuffers.size());
        desc->BoundResources = UINT(info_.resources.size());
        desc->InputParameters = UINT(info_.inputs.size());
        desc->OutputParameters = UINT(info_.outputs.size());
        return S_OK;
    }
    HRESULT GetInputParameterDesc(UINT index, D3D11_SIGNATURE_PARAMETER_DESC* desc) override
    {
        return Param(info_.inputs, index, desc);
    }
    HRESULT GetOutputParameterDesc(UINT index, D3D11_SIGNATURE_PARAMETER_DESC* desc) override
    {
        return Param(info_.outputs, index, desc);
    }
    HRESULT GetResourceBindingDesc(UINT index, D3D11_SHADER_INPUT_BIND_DESC* desc) override
    {
        if (!desc || index >= info_.resources.size())
            return gfx::Refuse(gfx::AnyDebugDevice(), "GetResourceBindingDesc", desc ? "ResourceIndex" : "pDesc",
                               desc ? "is past the last bound resource"
                                    : "is null: there is nowhere to put the description");
        const auto& r = info_.resources[index];
        desc->Name = r.name.c_str();
        desc->Type = D3D_SHADER_INPUT_TYPE(r.type);
        desc->BindPoint = r.bindPoint;
        desc->BindCount = 1;
        desc->uFlags = 0;
        return S_OK;
    }
    ID3D11ShaderReflectionConstantBuffer* GetConstantBufferByIndex(UINT index) override
    {
        return index < buffers_.size() ? &buffers_[index] : nullptr;
    }
    void GetThreadGroupSize(UINT* x, UINT* y, UINT* z) override
    {
        if (x)
            *x = info_.groupSize[0];
        if (y)
            *y = info_.groupSize[1];
        if (z)
            *z = info_.groupSize[2];
    }

private:
    static HRESULT Param(const std::vector<gfx::SignatureParam>& list, UINT index, D3D11_SIGNATURE_PARAMETER_DESC* desc)
    {
        if (!desc || index >= list.size())
            return gfx::Refuse(gfx::AnyDebugDevice(), "GetInputParameterDesc or GetOutputParameterDesc",
                               desc ? "ParameterIndex" : "pDesc",
                               desc ? "is past the last parameter"
                                    : "is null: there is nowhere to put the description");
        const auto& p = list[index];
        desc->SemanticName = p.semantic.c_str();
        desc->SemanticIndex = p.index;
        desc->Register = index;
        desc->SystemValueType = D3D_NAME(p.systemValue);
        desc->ComponentType = D3D_REGISTER_COMPONENT_TYPE(p.componentType);
        desc->Mask = BYTE(p.mask);
        desc->ReadWriteMask = BYTE(p.mask);
        desc->Stream = 0;
        return S_OK;
    }

    gfx::ShaderInfo info_;
    std::vector<ConstantBufferReflection> buffers_;
};

}  // namespace

HRESULT D3DReflect(LPCVOID pSrcData, SIZE_T SrcDataSize, REFIID pInterface, void** ppReflector)
{
    if (!ppReflector)
        return gfx::Refuse(gfx::AnyDebugDevice(), "D3DReflect", "ppReflector",
                           "is null: there is nowhere to put the reflection");
    *ppReflector = nullptr;
    if (pInterface != IID_ID3D11ShaderReflection)
        return E_NOINTERFACE;
    gfx::ShaderInfo info;
    if (!gfx::DeserializeShaderInfo(pSrcData, SrcDataSize, info))
        return gfx::Refuse(gfx::AnyDebugDevice(), "D3DReflect", "pSrcData", "is not shader bytecode of this layer");
    *ppReflector = static_cast<ID3D11ShaderReflection*>(new ShaderReflection(std::move(info)));
    return S_OK;
}
