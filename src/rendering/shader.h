#pragma once
// Run-time compiled shaders (vertex, pixel, compute) with their bytecode,
// input layout and last compiler messages. Each held object carries one
// reference per Shader that holds it: copies share objects, and an object
// replaced by a new compilation or dropped with the last Shader holding it is
// released then.
#include "platform/gfx/d3dcompiler.h"

// Opens include files by name, as written, relative to the working directory.
class ShaderIncludeHandler : public ID3DInclude {
public:
    HRESULT Open(D3D_INCLUDE_TYPE includeType, LPCSTR fileName, LPCVOID parentData, LPCVOID* data,
                 UINT* bytes) override;
    HRESULT Close(LPCVOID data) override;
};

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
    bool CompilePixelShader(const char* text);
    bool CompileComputeShader(const char* text);

private:
    enum class Stage { Vertex, Pixel, Compute };
    void Compile(const char* text, Stage stage, ID3DInclude* include);
    void ReleaseAll();
};
