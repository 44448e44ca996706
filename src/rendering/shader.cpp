#include "rendering/shader.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/system/console.h"
#include "platform/system/debug_output.h"
#include "rendering/release.h"
#include "rendering/simple_array.h"
#include "support/path_text.h"
#include "support/reloadable_file.h"

namespace {

template <typename T>
void Hold(T* object)
{
    if (object)
        object->AddRef();
}

// Stores a new object over an old one: the old reference goes, the new one
// (already owned by the caller) stays.
template <typename T>
void Replace(T*& field, T* value)
{
    ReleaseOnce(field);
    field = value;
}

// A blob's text up to its first zero byte or its end.
std::string BlobText(ID3DBlob* blob)
{
    if (!blob || !blob->GetBufferPointer())
        return std::string();
    const char* text = static_cast<const char*>(blob->GetBufferPointer());
    const std::size_t size = blob->GetBufferSize();
    const void* end = std::memchr(text, 0, size);
    return std::string(text, end ? static_cast<const char*>(end) - text : size);
}

bool BlobContains(ID3DBlob* blob, const char* word)
{
    if (!blob || !blob->GetBufferPointer())
        return false;
    // Messages may lack a terminating zero; search within the blob's size.
    const char* text = static_cast<const char*>(blob->GetBufferPointer());
    const std::size_t size = blob->GetBufferSize();
    const std::size_t length = std::strlen(word);
    for (std::size_t i = 0; i + length <= size; ++i)
        if (std::memcmp(text + i, word, length) == 0)
            return true;
    return false;
}

// Vertex and compute shaders fail on any message, warnings included, and on
// missing bytecode; the message goes to the debugger output and is dropped.
bool FailsOnAnyMessage(ID3DBlob*& errors, ID3DBlob* code)
{
    if (!errors && code)
        return false;
    if (errors)
        OutputDebugStringA(BlobText(errors).c_str());
    ReleaseOnce(errors);
    return true;
}

}  // namespace

// The mask rows are tested in order: the highest set bit decides the count.
DXGI_FORMAT InputElementFormat(BYTE mask, D3D_REGISTER_COMPONENT_TYPE type)
{
    int components;
    if (mask == 1)
        components = 1;
    else if (mask <= 3)
        components = 2;
    else if (mask <= 7)
        components = 3;
    else
        components = 4;
    static const DXGI_FORMAT formats[4][3] = {
        {DXGI_FORMAT_R32_UINT, DXGI_FORMAT_R32_SINT, DXGI_FORMAT_R32_FLOAT},
        {DXGI_FORMAT_R32G32_UINT, DXGI_FORMAT_R32G32_SINT, DXGI_FORMAT_R32G32_FLOAT},
        {DXGI_FORMAT_R32G32B32_UINT, DXGI_FORMAT_R32G32B32_SINT, DXGI_FORMAT_R32G32B32_FLOAT},
        {DXGI_FORMAT_R32G32B32A32_UINT, DXGI_FORMAT_R32G32B32A32_SINT, DXGI_FORMAT_R32G32B32A32_FLOAT},
    };
    int column;
    switch (type) {
    case D3D_REGISTER_COMPONENT_UINT32: column = 0; break;
    case D3D_REGISTER_COMPONENT_SINT32: column = 1; break;
    default:
        column = 2;  // float, and any type the table does not name
        break;
    }
    return formats[components - 1][column];
}

// The cache refuses what the compiler would: an include is never read whole
// only to be refused.
static_assert(WinApi::kMaxFileBytes == gfx::kMaxIncludeBytes);

ShaderIncludeHandler::ShaderIncludeHandler(IncludeRecord* record) : record_(record) {}

HRESULT ShaderIncludeHandler::Open(D3D_INCLUDE_TYPE, LPCSTR fileName, LPCVOID, LPCVOID* data, UINT* bytes)
{
    auto cannotOpen = [fileName]() {
        ConsolePrintf("shader include error: cannot open file %s\n", PathForMessage(fileName ? fileName : "").c_str());
        return E_FAIL;
    };
    if (!fileName || !data || !bytes)
        return cannotOpen();

    // The cache opens regular files only: a folder, a FIFO or a device is
    // no include file.
    WinApi::ReloadableTextFile* file = nullptr;
    if (*fileName) {
        try {
            file = &g_fileCache.Get(fileName);
            file->Update();
        } catch (const WinApi::WinApiException&) {
            file = nullptr;
        }
    }
    const std::uint64_t version = file ? file->GetVersion() : 0;
    if (record_ && *fileName &&
        std::none_of(record_->begin(), record_->end(), [&](const IncludedFile& f) { return f.name == fileName; }))
        record_->push_back({fileName, version});
    // Never read: nothing to hand over.
    if (version == 0)
        return cannotOpen();

    // As a text-mode read: a carriage return before a line feed is dropped.
    // A zero byte is handed over too: the compiler reads up to it and names
    // it when what it read does not compile.
    const std::string& text = file->GetText();
    char* buffer = static_cast<char*>(std::malloc(text.size() + 1));
    if (!buffer)
        return cannotOpen();
    std::size_t out = 0;
    for (std::size_t in = 0; in < text.size(); ++in) {
        if (text[in] == '\r' && in + 1 < text.size() && text[in + 1] == '\n')
            continue;
        buffer[out++] = text[in];
    }
    buffer[out] = '\0';

    *data = buffer;
    *bytes = static_cast<UINT>(out);
    return S_OK;
}

bool IncludesChanged(const IncludeRecord& record)
{
    for (const IncludedFile& f : record)
        if (g_fileCache.PollVersion(f.name) != f.version)
            return true;
    return false;
}

HRESULT ShaderIncludeHandler::Close(LPCVOID data)
{
    std::free(const_cast<void*>(data));
    return S_OK;
}

Shader::Shader()
    : vertexShader(nullptr), pixelShader(nullptr), computeShader(nullptr), code(nullptr), device(nullptr),
      inputLayout(nullptr), errors(nullptr)
{
}

Shader::Shader(ID3D11Device* device_) : Shader()
{
    device = device_;
}

Shader::Shader(const Shader& other)
    : vertexShader(other.vertexShader), pixelShader(other.pixelShader), computeShader(other.computeShader),
      code(other.code), device(other.device), inputLayout(other.inputLayout), errors(other.errors)
{
    Hold(vertexShader);
    Hold(pixelShader);
    Hold(computeShader);
    Hold(code);
    Hold(inputLayout);
    Hold(errors);
}

Shader& Shader::operator=(const Shader& other)
{
    if (this == &other)
        return *this;
    // Take the new references first: other may share objects with this.
    Hold(other.vertexShader);
    Hold(other.pixelShader);
    Hold(other.computeShader);
    Hold(other.code);
    Hold(other.inputLayout);
    Hold(other.errors);
    ReleaseAll();
    vertexShader = other.vertexShader;
    pixelShader = other.pixelShader;
    computeShader = other.computeShader;
    code = other.code;
    device = other.device;
    inputLayout = other.inputLayout;
    errors = other.errors;
    return *this;
}

Shader::~Shader()
{
    ReleaseAll();
}

void Shader::ReleaseAll()
{
    ReleaseOnce(vertexShader);
    ReleaseOnce(pixelShader);
    ReleaseOnce(computeShader);
    ReleaseOnce(code);
    ReleaseOnce(inputLayout);
    ReleaseOnce(errors);
}

// Profile by feature level, then D3DCompile into `code` and `errors`; the
// compiler's result code is not consulted, the callers judge by the outputs.
void Shader::Compile(const char* text, std::size_t size, Stage stage, ID3DInclude* include)
{
    const bool level11 = device && device->GetFeatureLevel() >= D3D_FEATURE_LEVEL_11_0;
    const char* entry = stage == Stage::Vertex ? "v" : stage == Stage::Pixel ? "p" : "c";
    const char* profile;
    switch (stage) {
    case Stage::Vertex: profile = level11 ? "vs_5_0" : "vs_4_0"; break;
    case Stage::Pixel: profile = level11 ? "ps_5_0" : "ps_4_0"; break;
    default: profile = level11 ? "cs_5_0" : "cs_4_0"; break;
    }
    ID3DBlob* newCode = nullptr;
    ID3DBlob* newErrors = nullptr;
    D3DCompile(text, size, nullptr, nullptr, include, entry, profile, 0, 0, &newCode, &newErrors);
    Replace(code, newCode);
    Replace(errors, newErrors);
}

bool Shader::CompileVertexShader(const char* text)
{
    if (!device)
        return false;
    Compile(text, text ? std::strlen(text) : 0, Stage::Vertex, nullptr);
    if (FailsOnAnyMessage(errors, code))
        return false;

    ID3D11ShaderReflection* reflection = nullptr;
    if (D3DReflect(code->GetBufferPointer(), code->GetBufferSize(), IID_ID3D11ShaderReflection,
                   reinterpret_cast<void**>(&reflection)) != S_OK ||
        !reflection)
        return false;

    D3D11_SHADER_DESC desc{};
    reflection->GetDesc(&desc);
    SimpleArray<D3D11_INPUT_ELEMENT_DESC> elements;
    for (UINT i = 0; i < desc.InputParameters; ++i) {
        D3D11_SIGNATURE_PARAMETER_DESC parameter{};
        reflection->GetInputParameterDesc(i, &parameter);
        D3D11_INPUT_ELEMENT_DESC element{};
        element.SemanticName = parameter.SemanticName;
        element.SemanticIndex = parameter.SemanticIndex;
        element.Format = InputElementFormat(parameter.Mask, parameter.ComponentType);
        element.InputSlot = 0;
        element.AlignedByteOffset = D3D11_APPEND_ALIGNED_ELEMENT;
        element.InputSlotClass = D3D11_INPUT_PER_VERTEX_DATA;
        element.InstanceDataStepRate = 0;
        elements.Add(element);
    }

    ID3D11InputLayout* layout = nullptr;
    device->CreateInputLayout(&elements[0], elements.Size(), code->GetBufferPointer(), code->GetBufferSize(), &layout);
    reflection->Release();  // after the layout: the semantic names point into it

    ID3D11VertexShader* shader = nullptr;
    device->CreateVertexShader(code->GetBufferPointer(), code->GetBufferSize(), nullptr, &shader);
    // Both or neither: a shader with inputs but no layout cannot be drawn.
    if (!shader || (!layout && desc.InputParameters > 0)) {
        ReleaseOnce(shader);
        ReleaseOnce(layout);
        return false;
    }
    Replace(inputLayout, layout);
    Replace(vertexShader, shader);
    return true;
}

bool Shader::CompilePixelShader(const char* text, IncludeRecord* included)
{
    return CompilePixel(text, text ? std::strlen(text) : 0, included);
}

bool Shader::CompilePixelShader(const std::string& source, IncludeRecord* included)
{
    return CompilePixel(source.data(), source.size(), included);
}

bool Shader::CompilePixel(const char* text, std::size_t size, IncludeRecord* included)
{
    if (included)
        included->clear();
    ShaderIncludeHandler includeHandler(included);
    Compile(text, size, Stage::Pixel, &includeHandler);
    if (BlobContains(errors, "error")) {
        ConsolePrintf("%s\n", BlobText(errors).c_str());
        ReleaseOnce(errors);
        return false;
    }
    // No bytecode is a failure too; the previous pixel shader stays in use.
    if (!code) {
        ReleaseOnce(errors);
        return false;
    }
    ID3D11PixelShader* shader = nullptr;
    if (device)
        device->CreatePixelShader(code->GetBufferPointer(), code->GetBufferSize(), nullptr, &shader);
    if (!shader) {
        ReleaseOnce(errors);
        return false;
    }
    Replace(pixelShader, shader);
    return true;
}

bool Shader::CompileComputeShader(const char* text)
{
    Compile(text, text ? std::strlen(text) : 0, Stage::Compute, nullptr);
    if (FailsOnAnyMessage(errors, code))
        return false;
    ID3D11ComputeShader* shader = nullptr;
    if (device)
        device->CreateComputeShader(code->GetBufferPointer(), code->GetBufferSize(), nullptr, &shader);
    if (!shader)
        return false;
    Replace(computeShader, shader);
    return true;
}
