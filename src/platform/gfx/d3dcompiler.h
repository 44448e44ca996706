#pragma once
// The HLSL compiler library as the system uses it: D3DCompile and D3DReflect,
// blobs and the include callback. HLSL goes through glslang (HLSL front end)
// to SPIR-V and through SPIRV-Cross to GLSL 4.50; when a device exists, the
// GLSL is also compiled and linked by the driver here, so that its failures
// come back as compiler messages too.
//
// Messages: one per line, "<file>(<line>): error: <text>" or
// "<file>(<line>): warning: <text>", the file being pSourceName ("memory"
// when null) or the name an include was opened with, the line counted in that
// text from 1. A failure always yields lower-case "error" text and no code.
//
// Targets: vs_4_0, vs_5_0, ps_4_0, ps_5_0, cs_4_0, cs_5_0 (4_1 too).
// Not offered: effects (fx_*), geometry/hull/domain shaders, disassembly,
// stripping, shader linking, the D3D bytecode format itself: the "bytecode"
// is this layer's own and only its device and D3DReflect read it.
#include <cstddef>

#include "platform/gfx/d3d11.h"

// Flags1 (others are accepted and ignored).
#define D3DCOMPILE_DEBUG (1u << 0)
#define D3DCOMPILE_SKIP_VALIDATION (1u << 1)
#define D3DCOMPILE_SKIP_OPTIMIZATION (1u << 2)
#define D3DCOMPILE_PACK_MATRIX_ROW_MAJOR (1u << 3)
#define D3DCOMPILE_PACK_MATRIX_COLUMN_MAJOR (1u << 4)
#define D3DCOMPILE_ENABLE_STRICTNESS (1u << 11)
#define D3DCOMPILE_OPTIMIZATION_LEVEL3 (1u << 15)
#define D3DCOMPILE_WARNINGS_ARE_ERRORS (1u << 18)

inline constexpr GUID IID_ID3DBlob = {0x8ba5fb08, 0x5195, 0x40e2, {0xac, 0x58, 0x0d, 0x98, 0x9c, 0x3a, 0x01, 0x02}};
// The identifier of the library version the system links.
inline constexpr GUID IID_ID3D11ShaderReflection = {
    0x0a233719, 0x3960, 0x4578, {0x9d, 0x7c, 0x20, 0x3b, 0x8b, 0x1d, 0x9c, 0xc1}};

class ID3DBlob : public IUnknown {
public:
    virtual LPVOID GetBufferPointer() = 0;
    virtual SIZE_T GetBufferSize() = 0;
};
typedef ID3DBlob ID3D10Blob;

HRESULT D3DCreateBlob(SIZE_T Size, ID3DBlob** ppBlob);

struct D3D_SHADER_MACRO {
    LPCSTR Name;
    LPCSTR Definition;
};

enum D3D_INCLUDE_TYPE : UINT {
    D3D_INCLUDE_LOCAL = 0,
    D3D_INCLUDE_SYSTEM = 1,
};

// Include callback. Open returns the text of the named file (not necessarily
// zero-terminated; *pBytes counts it) or a failure code, which fails the
// compilation; every successful Open is matched by one Close of its data.
// pParentData is the data of the including file, null for the main source.
class ID3DInclude {
public:
    virtual HRESULT Open(D3D_INCLUDE_TYPE IncludeType, LPCSTR pFileName, LPCVOID pParentData, LPCVOID* ppData,
                         UINT* pBytes) = 0;
    virtual HRESULT Close(LPCVOID pData) = 0;

protected:
    ~ID3DInclude() = default;
};

// Opens include files by name relative to the working directory.
#define D3D_COMPILE_STANDARD_FILE_INCLUDE ((ID3DInclude*)(UINT_PTR)1)

namespace gfx {
// What #include takes, through a callback and through the standard include
// alike: chains up to kMaxIncludeDepth files deep, files of up to
// kMaxIncludeBytes bytes each, no file inside its own chain. Anything else
// fails the compilation with an error that names the files.
inline constexpr std::size_t kMaxIncludeDepth = 256;
inline constexpr std::size_t kMaxIncludeBytes = 64u * 1024 * 1024;
}  // namespace gfx

// Returns S_OK with *ppCode set, or E_FAIL with *ppCode null. *ppErrorMsgs
// (when asked for) receives zero-terminated message text if there is any,
// warnings included, else null.
HRESULT D3DCompile(LPCVOID pSrcData, SIZE_T SrcDataSize, LPCSTR pSourceName, const D3D_SHADER_MACRO* pDefines,
                   ID3DInclude* pInclude, LPCSTR pEntrypoint, LPCSTR pTarget, UINT Flags1, UINT Flags2,
                   ID3DBlob** ppCode, ID3DBlob** ppErrorMsgs);

// ---- reflection ---------------------------------------------------------------

enum D3D_NAME : UINT {
    D3D_NAME_UNDEFINED = 0,
    D3D_NAME_POSITION = 1,
    D3D_NAME_CLIP_DISTANCE = 2,
    D3D_NAME_CULL_DISTANCE = 3,
    D3D_NAME_RENDER_TARGET_ARRAY_INDEX = 4,
    D3D_NAME_VIEWPORT_ARRAY_INDEX = 5,
    D3D_NAME_VERTEX_ID = 6,
    D3D_NAME_PRIMITIVE_ID = 7,
    D3D_NAME_INSTANCE_ID = 8,
    D3D_NAME_IS_FRONT_FACE = 9,
    D3D_NAME_SAMPLE_INDEX = 10,
    D3D_NAME_TARGET = 64,
    D3D_NAME_DEPTH = 65,
    D3D_NAME_COVERAGE = 66,
};

enum D3D_REGISTER_COMPONENT_TYPE : UINT {
    D3D_REGISTER_COMPONENT_UNKNOWN = 0,
    D3D_REGISTER_COMPONENT_UINT32 = 1,
    D3D_REGISTER_COMPONENT_SINT32 = 2,
    D3D_REGISTER_COMPONENT_FLOAT32 = 3,
};

enum D3D_SHADER_INPUT_TYPE : UINT {
    D3D_SIT_CBUFFER = 0,
    D3D_SIT_TBUFFER = 1,
    D3D_SIT_TEXTURE = 2,
    D3D_SIT_SAMPLER = 3,
    D3D_SIT_UAV_RWTYPED = 4,
};

enum D3D_CBUFFER_TYPE : UINT {
    D3D_CT_CBUFFER = 0,
    D3D_CT_TBUFFER = 1,
};

// Shader type in the high 16 bits of Version, model in the low (major << 4 | minor).
enum D3D11_SHADER_VERSION_TYPE : UINT {
    D3D11_SHVER_PIXEL_SHADER = 0,
    D3D11_SHVER_VERTEX_SHADER = 1,
    D3D11_SHVER_COMPUTE_SHADER = 5,
};

struct D3D11_SHADER_DESC {
    UINT Version;
    LPCSTR Creator;
    UINT Flags;
    UINT ConstantBuffers;
    UINT BoundResources;
    UINT InputParameters;
    UINT OutputParameters;
};

// Vertex inputs and outputs, pixel inputs and outputs, in declaration order
// (system values of a pixel shader's inputs first). A semantic with trailing
// digits ("texcoord0") is split into the name, in upper case ("TEXCOORD";
// semantics match case-insensitively), and the index. Mask: the components the
// parameter has (float2: 0x3); ReadWriteMask: the same.
struct D3D11_SIGNATURE_PARAMETER_DESC {
    LPCSTR SemanticName;
    UINT SemanticIndex;
    UINT Register;
    D3D_NAME SystemValueType;
    D3D_REGISTER_COMPONENT_TYPE ComponentType;
    BYTE Mask;
    BYTE ReadWriteMask;
    UINT Stream;
};

struct D3D11_SHADER_INPUT_BIND_DESC {
    LPCSTR Name;
    D3D_SHADER_INPUT_TYPE Type;
    UINT BindPoint;
    UINT BindCount;
    UINT uFlags;
};

struct D3D11_SHADER_BUFFER_DESC {
    LPCSTR Name;
    D3D_CBUFFER_TYPE Type;
    UINT Variables;
    UINT Size;  // bytes, a multiple of 16
    UINT uFlags;
};

// Not reference counted: lives as long as its reflection object.
class ID3D11ShaderReflectionConstantBuffer {
public:
    virtual HRESULT GetDesc(D3D11_SHADER_BUFFER_DESC* pDesc) = 0;

protected:
    ~ID3D11ShaderReflectionConstantBuffer() = default;
};

// Strings handed out (semantic and resource names) live as long as the
// reflection object.
class ID3D11ShaderReflection : public IUnknown {
public:
    virtual HRESULT GetDesc(D3D11_SHADER_DESC* pDesc) = 0;
    virtual HRESULT GetInputParameterDesc(UINT ParameterIndex, D3D11_SIGNATURE_PARAMETER_DESC* pDesc) = 0;
    virtual HRESULT GetOutputParameterDesc(UINT ParameterIndex, D3D11_SIGNATURE_PARAMETER_DESC* pDesc) = 0;
    virtual HRESULT GetResourceBindingDesc(UINT ResourceIndex, D3D11_SHADER_INPUT_BIND_DESC* pDesc) = 0;
    // Null past the end.
    virtual ID3D11ShaderReflectionConstantBuffer* GetConstantBufferByIndex(UINT Index) = 0;
    virtual void GetThreadGroupSize(UINT* pSizeX, UINT* pSizeY, UINT* pSizeZ) = 0;
};

// pInterface must be IID_ID3D11ShaderReflection; other identifiers give
// E_NOINTERFACE, bytes that are not this layer's bytecode E_INVALIDARG.
HRESULT D3DReflect(LPCVOID pSrcData, SIZE_T SrcDataSize, REFIID pInterface, void** ppReflector);
