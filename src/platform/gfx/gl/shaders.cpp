// Shader programs, the shader objects and input layouts.
#include <cctype>
#include <cstring>
#include <string>

#include "platform/gfx/gl/device.h"
#include "platform/gfx/hlsl/hlsl_translator.h"
#include "platform/system/console.h"

namespace gfx {

// ---- Program ----------------------------------------------------------------------

Program::Program(Core& c, ShaderInfo i, GLuint program) : info(std::move(i)), core(c)
{
    variants.push_back({0, program, {}});
    Resolve(variants.back());
}

void Program::Resolve(Variant& v)
{
    for (const CBufferInfo& cb : info.cbuffers) {
        Constants k{cb.slot, -1, 0, ~0ull, {}};
        GLuint index = glGetProgramResourceIndex(v.gl, GL_UNIFORM, (cb.uniform + "[0]").c_str());
        if (index == GL_INVALID_INDEX)
            index = glGetProgramResourceIndex(v.gl, GL_UNIFORM, cb.uniform.c_str());
        if (index != GL_INVALID_INDEX) {
            const GLenum props[2] = {GL_LOCATION, GL_ARRAY_SIZE};
            GLint values[2] = {-1, 0};
            glGetProgramResourceiv(v.gl, GL_UNIFORM, index, 2, props, 2, nullptr, values);
            k.location = values[0];
            k.vectors = std::min<GLsizei>(values[1], GLsizei(cb.size / 16));
        }
        if (k.location >= 0 && k.vectors > 0)
            v.constants.push_back(k);
    }
}

Program::Variant& Program::Get(std::uint32_t srgbMask)
{
    for (Variant& v : variants)
        if (v.srgbMask == srgbMask)
            return v;
    // The translator writes the encode into the shader (the driver's own
    // encode on write may be off by one step; llvmpipe's is).
    std::string glsl;
    GLuint gl = 0;
    if (MakeSrgbVariant(info, srgbMask, glsl)) {
        std::string log;
        gl = core.LinkProgram(Stage::Pixel, glsl, log);
    }
    if (!gl)
        return variants.front();
    variants.push_back({srgbMask, gl, {}});
    Resolve(variants.back());
    return variants.back();
}

Program::~Program()
{
    core.MakeCurrent();
    for (Variant& v : variants) {
        core.cache.ForgetProgram(v.gl);
        glDeleteProgram(v.gl);
    }
}

// ---- shaders ----------------------------------------------------------------------

std::unique_ptr<Program> DeviceImpl::MakeProgram(Stage stage, const void* code, SIZE_T size, HRESULT& hr)
{
    ShaderInfo info;
    const char* call = stage == Stage::Vertex  ? "CreateVertexShader"
                       : stage == Stage::Pixel ? "CreatePixelShader"
                                               : "CreateComputeShader";
    if (!DeserializeShaderInfo(code, size, info)) {
        hr = Refuse(core->debug, call, "pShaderBytecode", "is not shader bytecode of this layer");
        return nullptr;
    }
    if (info.stage != stage) {
        hr = Refuse(core->debug, call, "pShaderBytecode", "is the bytecode of a shader of another stage");
        return nullptr;
    }
    core->MakeCurrent();
    GLuint program = core->TakePrecompiled(stage, info.glsl);
    if (!program) {
        std::string log;
        program = core->LinkProgram(stage, info.glsl, log);
        if (!program) {
            if (core->debug)
                ConsoleErrorPrintf("D3D11 ERROR: shader creation failed: %s\n", log.c_str());
            hr = E_INVALIDARG;
            return nullptr;
        }
    }
    hr = S_OK;
    return std::make_unique<Program>(*core, std::move(info), program);
}

template <class Impl, class Interface>
HRESULT DeviceImpl::CreateShader(Stage stage, const void* code, SIZE_T size, Interface** out)
{
    if (out)
        *out = nullptr;
    HRESULT hr;
    auto program = MakeProgram(stage, code, size, hr);
    if (!program)
        return hr;
    if (!out)
        return S_FALSE;
    *out = new Impl(core, std::move(program));
    return S_OK;
}

HRESULT DeviceImpl::CreateVertexShader(const void* code, SIZE_T size, ID3D11ClassLinkage*, ID3D11VertexShader** out)
{
    return CreateShader<VertexShaderImpl>(Stage::Vertex, code, size, out);
}

HRESULT DeviceImpl::CreatePixelShader(const void* code, SIZE_T size, ID3D11ClassLinkage*, ID3D11PixelShader** out)
{
    return CreateShader<PixelShaderImpl>(Stage::Pixel, code, size, out);
}

HRESULT DeviceImpl::CreateComputeShader(const void* code, SIZE_T size, ID3D11ClassLinkage*, ID3D11ComputeShader** out)
{
    return CreateShader<ComputeShaderImpl>(Stage::Compute, code, size, out);
}

// ---- input layouts ----------------------------------------------------------------

HRESULT DeviceImpl::CreateInputLayout(const D3D11_INPUT_ELEMENT_DESC* elements, UINT count, const void* code,
                                      SIZE_T size, ID3D11InputLayout** out)
{
    if (out)
        *out = nullptr;
    const char* call = "CreateInputLayout";
    if (count && !elements)
        return Refuse(core->debug, call, "pInputElementDescs", "is null: NumElements is above 0");
    ShaderInfo info;
    if (!DeserializeShaderInfo(code, size, info) || info.stage != Stage::Vertex)
        return Refuse(core->debug, call, "pShaderBytecodeWithInputSignature",
                      "is not vertex-shader bytecode of this layer");
    core->MakeCurrent();
    auto* layout = new InputLayoutImpl(core);
    glCreateVertexArrays(1, &layout->vao);
    UINT nextOffset[D3D11_IA_VERTEX_INPUT_RESOURCE_SLOT_COUNT] = {};
    for (UINT i = 0; i < count; ++i) {
        const D3D11_INPUT_ELEMENT_DESC& e = elements[i];
        const FormatInfo* f = FindFormat(e.Format);
        auto refuse = [&](const char* field, const char* reason) {
            layout->Release();
            return Refuse(core->debug, call, "pInputElementDescs[" + std::to_string(i) + "]." + field, reason);
        };
        if (!f)
            return refuse("Format", "is not a format this layer knows");
        if (f->depth)
            return refuse("Format", "is a depth format: a vertex element takes a colour format");
        if (e.InputSlot >= D3D11_IA_VERTEX_INPUT_RESOURCE_SLOT_COUNT)
            return refuse("InputSlot", "is 32 or more: there are 32 vertex-buffer slots");
        if (!e.SemanticName)
            return refuse("SemanticName", "is null: an element needs a semantic");
        UINT offset =
            e.AlignedByteOffset == D3D11_APPEND_ALIGNED_ELEMENT ? nextOffset[e.InputSlot] : e.AlignedByteOffset;
        nextOffset[e.InputSlot] = offset + f->bytes;
        std::string semantic = e.SemanticName;
        for (char& ch : semantic)
            ch = char(std::toupper((unsigned char)ch));
        if (semantic.rfind("SV_", 0) == 0)
            continue;
        const SignatureParam* input = nullptr;
        for (const SignatureParam& p : info.inputs)
            if (p.systemValue == D3D_NAME_UNDEFINED && p.semantic == semantic && p.index == e.SemanticIndex)
                input = &p;
        if (!input)
            continue;  // the shader does not read it
        GLuint loc = input->location;
        GLint components = 0;
        switch (f->format) {
        case GL_RED:
        case GL_RED_INTEGER: components = 1; break;
        case GL_RG:
        case GL_RG_INTEGER: components = 2; break;
        case GL_RGB:
        case GL_RGB_INTEGER: components = 3; break;
        default: components = 4; break;
        }
        bool normalized = !f->integer && f->type != GL_FLOAT && f->type != GL_HALF_FLOAT;
        bool shaderInteger = input->componentType != D3D_REGISTER_COMPONENT_FLOAT32;
        if (f->integer && shaderInteger)
            glVertexArrayAttribIFormat(layout->vao, loc, components, f->type, offset);
        else
            glVertexArrayAttribFormat(layout->vao, loc, components, f->type, normalized ? GL_TRUE : GL_FALSE, offset);
        glVertexArrayAttribBinding(layout->vao, loc, e.InputSlot);
        glEnableVertexArrayAttrib(layout->vao, loc);
        glVertexArrayBindingDivisor(layout->vao, e.InputSlot,
                                    e.InputSlotClass == D3D11_INPUT_PER_INSTANCE_DATA ? e.InstanceDataStepRate : 0);
        layout->slotsUsed |= 1u << e.InputSlot;
    }
    if (!out) {
        layout->Release();
        return S_FALSE;
    }
    *out = layout;
    return S_OK;
}

InputLayoutImpl::~InputLayoutImpl()
{
    core_->MakeCurrent();
    core_->cache.BindVertexArray(core_->emptyVao);
    glDeleteVertexArrays(1, &vao);
}

}  // namespace gfx
