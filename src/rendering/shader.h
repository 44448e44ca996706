#pragma once
// Run-time compiled shaders (vertex, pixel, compute) with their bytecode,
// input layout and last compiler messages. Each held object carries one
// reference per Shader that holds it: copies share objects, and an object
// replaced by a new compilation or dropped with the last Shader holding it is
// released then.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/gfx/d3dcompiler.h"

// A file that a compilation asked to include: the name as written and the
// version of the cached file that it read (0: the file could not be opened).
struct IncludedFile {
    std::string name;
    std::uint64_t version;
    bool operator==(const IncludedFile&) const = default;
};
using IncludeRecord = std::vector<IncludedFile>;

// The program's one way to include a file: by name, as written, relative to
// the working directory, through the file cache (so an include is announced
// as "reading file" when it is read and shares its cached text with every
// other compilation). Each name asked for is noted in the record, if any,
// with the version read, the first time it is asked for; the limits and the
// cycle check are the compiler's.
class ShaderIncludeHandler : public ID3DInclude {
public:
    explicit ShaderIncludeHandler(IncludeRecord* record = nullptr);
    HRESULT Open(D3D_INCLUDE_TYPE includeType, LPCSTR fileName, LPCVOID parentData, LPCVOID* data,
                 UINT* bytes) override;
    HRESULT Close(LPCVOID data) override;

private:
    IncludeRecord* record_;
};

// Polls every file of the record through the file cache; true when one of
// them now holds another version than the one read, a file that could not
// be opened then and can be now included.
bool IncludesChanged(const IncludeRecord& record);

// The input-layout element format of a vertex input with this component mask
// and component type (float for any type other than the two integer ones).
DXGI_FORMAT InputElementFormat(BYTE mask, D3D_REGISTER_COMPONENT_TYPE type);

class Shader {
public:
    ID3D11VertexShader* vertexShader;
    ID3D11PixelShader* pixelShader;
    ID3D11ComputeShader* computeShader;
    ID3DBlob* code;
    ID3D11Device* device;  // borrowed
    ID3D11InputLayout* inputLayout;
    ID3DBlob* errors;

    Shader();
    explicit Shader(ID3D11Device* device);
    Shader(const Shader& other);
    Shader& operator=(const Shader& other);
    ~Shader();

    bool CompileVertexShader(const char* text);
    // included, if given, is emptied and receives the files that the
    // compilation asked to include.
    bool CompilePixelShader(const char* text, IncludeRecord* included = nullptr);
    // The same for a source that may hold a NUL byte: the compiler reads up to
    // it, and names it in its error when what it read does not compile.
    bool CompilePixelShader(const std::string& source, IncludeRecord* included);
    bool CompileComputeShader(const char* text);

private:
    enum class Stage { Vertex, Pixel, Compute };
    void Compile(const char* text, std::size_t size, Stage stage, ID3DInclude* include);
    bool CompilePixel(const char* text, std::size_t size, IncludeRecord* included);
    void ReleaseAll();
};
