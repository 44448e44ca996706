#pragma once
// Direct3D 11 as the system uses it, backed by OpenGL 4.5 core (libepoxy) on
// an SDL window. Same names, fields, values and argument orders as the system
// expects; Direct3D's behaviour where GL differs:
//   - texture coordinate (0,0) and SV_Position's origin are the top-left of
//     every target, clip depth runs 0..1, the viewport's depth range is honoured;
//   - unbound textures and constant buffers read as zeros, a null pixel shader
//     writes no colour, clears ignore scissor and write masks;
//   - sRGB targets encode on write and decode on read;
//   - constant buffers use HLSL packing byte for byte (b#, t#, s#, u# registers
//     are bound by number whatever the shader calls them).
//
// Not offered: deferred contexts, queries other than D3D11_QUERY_EVENT, predicates, counters, stream output,
// geometry/hull/domain shaders (they can only be set to null), class linkage,
// 1D and 3D textures, cube maps, structured and raw buffers, tiled resources,
// resource sharing, multithreading. One device is used from one thread; a
// device's objects work only with that device. That thread is one that
// platform::RunWithLargeStack runs: the driver's compile at a shader's first
// draw recurses deeper than an ordinary thread's stack (gl/README.md).
//
// Headless use (tests): D3D11CreateDevice makes a device on a hidden window of
// its own (SDL_VIDEODRIVER=offscreen needs no display); render into textures
// and read them back with a D3D11_USAGE_STAGING texture, CopyResource and
// Map(D3D11_MAP_READ). D3D11CreateDeviceAndSwapChain needs an HWND whose
// SDL window was created with SDL_WINDOW_OPENGL after
// platform::ConfigureGlAttributes().
#include "platform/gfx/dxgi.h"

#define D3D11_SDK_VERSION 7
#define D3D11_APPEND_ALIGNED_ELEMENT 0xffffffffu
#define D3D11_FLOAT32_MAX 3.402823466e+38f
#define D3D11_DEFAULT_SAMPLE_MASK 0xffffffffu
#define D3D11_COMMONSHADER_INPUT_RESOURCE_SLOT_COUNT 128
#define D3D11_COMMONSHADER_SAMPLER_SLOT_COUNT 16
#define D3D11_COMMONSHADER_CONSTANT_BUFFER_API_SLOT_COUNT 14
#define D3D11_SIMULTANEOUS_RENDER_TARGET_COUNT 8
#define D3D11_PS_CS_UAV_REGISTER_COUNT 8
#define D3D11_IA_VERTEX_INPUT_RESOURCE_SLOT_COUNT 16
#define D3D11_VIEWPORT_AND_SCISSORRECT_OBJECT_COUNT_PER_PIPELINE 16
#define D3D11_REQ_CONSTANT_BUFFER_ELEMENT_COUNT 4096

#define D3D11_ERROR_TOO_MANY_UNIQUE_STATE_OBJECTS ((HRESULT)0x887C0001u)

enum D3D_DRIVER_TYPE : UINT {
    D3D_DRIVER_TYPE_UNKNOWN = 0,
    D3D_DRIVER_TYPE_HARDWARE = 1,
    D3D_DRIVER_TYPE_REFERENCE = 2,
    D3D_DRIVER_TYPE_NULL = 3,
    D3D_DRIVER_TYPE_SOFTWARE = 4,
    D3D_DRIVER_TYPE_WARP = 5,
};

enum D3D_FEATURE_LEVEL : UINT {
    D3D_FEATURE_LEVEL_9_1 = 0x9100,
    D3D_FEATURE_LEVEL_9_2 = 0x9200,
    D3D_FEATURE_LEVEL_9_3 = 0x9300,
    D3D_FEATURE_LEVEL_10_0 = 0xa000,
    D3D_FEATURE_LEVEL_10_1 = 0xa100,
    D3D_FEATURE_LEVEL_11_0 = 0xb000,
    D3D_FEATURE_LEVEL_11_1 = 0xb100,
};

// Creation flags. D3D11_CREATE_DEVICE_DEBUG turns on GL debug output (printed
// on stderr), a line there saying why each refused call (E_INVALIDARG) was
// refused, and offers ID3D11Debug / ID3D11InfoQueue through QueryInterface;
// the environment variable QUORVELAN_D3D11_DEBUG=1 does the same from outside.
enum D3D11_CREATE_DEVICE_FLAG : UINT {
    D3D11_CREATE_DEVICE_SINGLETHREADED = 0x1,
    D3D11_CREATE_DEVICE_DEBUG = 0x2,
};

enum D3D11_RESOURCE_DIMENSION : UINT {
    D3D11_RESOURCE_DIMENSION_UNKNOWN = 0,
    D3D11_RESOURCE_DIMENSION_BUFFER = 1,
    D3D11_RESOURCE_DIMENSION_TEXTURE1D = 2,
    D3D11_RESOURCE_DIMENSION_TEXTURE2D = 3,
    D3D11_RESOURCE_DIMENSION_TEXTURE3D = 4,
};

enum D3D11_USAGE : UINT {
    D3D11_USAGE_DEFAULT = 0,
    D3D11_USAGE_IMMUTABLE = 1,
    D3D11_USAGE_DYNAMIC = 2,
    D3D11_USAGE_STAGING = 3,
};

enum D3D11_BIND_FLAG : UINT {
    D3D11_BIND_VERTEX_BUFFER = 0x1,
    D3D11_BIND_INDEX_BUFFER = 0x2,
    D3D11_BIND_CONSTANT_BUFFER = 0x4,
    D3D11_BIND_SHADER_RESOURCE = 0x8,
    D3D11_BIND_STREAM_OUTPUT = 0x10,
    D3D11_BIND_RENDER_TARGET = 0x20,
    D3D11_BIND_DEPTH_STENCIL = 0x40,
    D3D11_BIND_UNORDERED_ACCESS = 0x80,
};

enum D3D11_CPU_ACCESS_FLAG : UINT {
    D3D11_CPU_ACCESS_WRITE = 0x10000,
    D3D11_CPU_ACCESS_READ = 0x20000,
};

enum D3D11_RESOURCE_MISC_FLAG : UINT {
    D3D11_RESOURCE_MISC_GENERATE_MIPS = 0x1,
    D3D11_RESOURCE_MISC_SHARED = 0x2,
    D3D11_RESOURCE_MISC_TEXTURECUBE = 0x4,
};

enum D3D11_MAP : UINT {
    D3D11_MAP_READ = 1,
    D3D11_MAP_WRITE = 2,
    D3D11_MAP_READ_WRITE = 3,
    D3D11_MAP_WRITE_DISCARD = 4,
    D3D11_MAP_WRITE_NO_OVERWRITE = 5,
};

enum D3D11_MAP_FLAG : UINT {
    D3D11_MAP_FLAG_DO_NOT_WAIT = 0x100000,
};

enum D3D11_CLEAR_FLAG : UINT {
    D3D11_CLEAR_DEPTH = 0x1,
    D3D11_CLEAR_STENCIL = 0x2,
};

struct D3D11_BUFFER_DESC {
    UINT ByteWidth;
    D3D11_USAGE Usage;
    UINT BindFlags;
    UINT CPUAccessFlags;
    UINT MiscFlags;
    UINT StructureByteStride;
};

struct D3D11_TEXTURE2D_DESC {
    UINT Width;
    UINT Height;
    UINT MipLevels;  // 0: the full chain
    UINT ArraySize;
    DXGI_FORMAT Format;
    DXGI_SAMPLE_DESC SampleDesc;
    D3D11_USAGE Usage;
    UINT BindFlags;
    UINT CPUAccessFlags;
    UINT MiscFlags;
};

// One entry per subresource (mip levels of slice 0 first, then slice 1, ...).
struct D3D11_SUBRESOURCE_DATA {
    const void* pSysMem;
    UINT SysMemPitch;
    UINT SysMemSlicePitch;
};

struct D3D11_MAPPED_SUBRESOURCE {
    void* pData;
    UINT RowPitch;
    UINT DepthPitch;
};

struct D3D11_BOX {
    UINT left;
    UINT top;
    UINT front;
    UINT right;
    UINT bottom;
    UINT back;
};

inline UINT D3D11CalcSubresource(UINT MipSlice, UINT ArraySlice, UINT MipLevels)
{
    return MipSlice + ArraySlice * MipLevels;
}

// ---- views ------------------------------------------------------------------

enum D3D11_SRV_DIMENSION : UINT {
    D3D11_SRV_DIMENSION_UNKNOWN = 0,
    D3D11_SRV_DIMENSION_BUFFER = 1,
    D3D11_SRV_DIMENSION_TEXTURE1D = 2,
    D3D11_SRV_DIMENSION_TEXTURE1DARRAY = 3,
    D3D11_SRV_DIMENSION_TEXTURE2D = 4,
    D3D11_SRV_DIMENSION_TEXTURE2DARRAY = 5,
    D3D11_SRV_DIMENSION_TEXTURE2DMS = 6,
    D3D11_SRV_DIMENSION_TEXTURE2DMSARRAY = 7,
    D3D11_SRV_DIMENSION_TEXTURE3D = 8,
    D3D11_SRV_DIMENSION_TEXTURECUBE = 9,
};
typedef D3D11_SRV_DIMENSION D3D_SRV_DIMENSION;

enum D3D11_RTV_DIMENSION : UINT {
    D3D11_RTV_DIMENSION_UNKNOWN = 0,
    D3D11_RTV_DIMENSION_BUFFER = 1,
    D3D11_RTV_DIMENSION_TEXTURE1D = 2,
    D3D11_RTV_DIMENSION_TEXTURE1DARRAY = 3,
    D3D11_RTV_DIMENSION_TEXTURE2D = 4,
    D3D11_RTV_DIMENSION_TEXTURE2DARRAY = 5,
    D3D11_RTV_DIMENSION_TEXTURE2DMS = 6,
    D3D11_RTV_DIMENSION_TEXTURE2DMSARRAY = 7,
    D3D11_RTV_DIMENSION_TEXTURE3D = 8,
};

enum D3D11_DSV_DIMENSION : UINT {
    D3D11_DSV_DIMENSION_UNKNOWN = 0,
    D3D11_DSV_DIMENSION_TEXTURE1D = 1,
    D3D11_DSV_DIMENSION_TEXTURE1DARRAY = 2,
    D3D11_DSV_DIMENSION_TEXTURE2D = 3,
    D3D11_DSV_DIMENSION_TEXTURE2DARRAY = 4,
    D3D11_DSV_DIMENSION_TEXTURE2DMS = 5,
    D3D11_DSV_DIMENSION_TEXTURE2DMSARRAY = 6,
};

enum D3D11_UAV_DIMENSION : UINT {
    D3D11_UAV_DIMENSION_UNKNOWN = 0,
    D3D11_UAV_DIMENSION_BUFFER = 1,
    D3D11_UAV_DIMENSION_TEXTURE1D = 2,
    D3D11_UAV_DIMENSION_TEXTURE1DARRAY = 3,
    D3D11_UAV_DIMENSION_TEXTURE2D = 4,
    D3D11_UAV_DIMENSION_TEXTURE2DARRAY = 5,
    D3D11_UAV_DIMENSION_TEXTURE3D = 8,
};

struct D3D11_BUFFER_SRV {
    union {
        UINT FirstElement;
        UINT ElementOffset;
    };
    union {
        UINT NumElements;
        UINT ElementWidth;
    };
};
struct D3D11_TEX2D_SRV {
    UINT MostDetailedMip;
    UINT MipLevels;  // (UINT)-1: all from MostDetailedMip on
};
struct D3D11_TEX2D_ARRAY_SRV {
    UINT MostDetailedMip;
    UINT MipLevels;
    UINT FirstArraySlice;
    UINT ArraySize;
};
struct D3D11_TEX2DMS_SRV {
    UINT UnusedField_NothingToDefine;
};
struct D3D11_TEX2DMS_ARRAY_SRV {
    UINT FirstArraySlice;
    UINT ArraySize;
};

struct D3D11_SHADER_RESOURCE_VIEW_DESC {
    DXGI_FORMAT Format;
    D3D11_SRV_DIMENSION ViewDimension;
    union {
        D3D11_BUFFER_SRV Buffer;
        D3D11_TEX2D_SRV Texture2D;
        D3D11_TEX2D_ARRAY_SRV Texture2DArray;
        D3D11_TEX2DMS_SRV Texture2DMS;
        D3D11_TEX2DMS_ARRAY_SRV Texture2DMSArray;
    };
};

struct D3D11_BUFFER_RTV {
    UINT FirstElement;
    UINT NumElements;
};
struct D3D11_TEX2D_RTV {
    UINT MipSlice;
};
struct D3D11_TEX2D_ARRAY_RTV {
    UINT MipSlice;
    UINT FirstArraySlice;
    UINT ArraySize;
};
struct D3D11_TEX2DMS_RTV {
    UINT UnusedField_NothingToDefine;
};
struct D3D11_TEX2DMS_ARRAY_RTV {
    UINT FirstArraySlice;
    UINT ArraySize;
};

struct D3D11_RENDER_TARGET_VIEW_DESC {
    DXGI_FORMAT Format;
    D3D11_RTV_DIMENSION ViewDimension;
    union {
        D3D11_BUFFER_RTV Buffer;
        D3D11_TEX2D_RTV Texture2D;
        D3D11_TEX2D_ARRAY_RTV Texture2DArray;
        D3D11_TEX2DMS_RTV Texture2DMS;
        D3D11_TEX2DMS_ARRAY_RTV Texture2DMSArray;
    };
};

struct D3D11_TEX2D_DSV {
    UINT MipSlice;
};
struct D3D11_TEX2D_ARRAY_DSV {
    UINT MipSlice;
    UINT FirstArraySlice;
    UINT ArraySize;
};
struct D3D11_TEX2DMS_DSV {
    UINT UnusedField_NothingToDefine;
};
struct D3D11_TEX2DMS_ARRAY_DSV {
    UINT FirstArraySlice;
    UINT ArraySize;
};

enum D3D11_DSV_FLAG : UINT {
    D3D11_DSV_READ_ONLY_DEPTH = 0x1,
    D3D11_DSV_READ_ONLY_STENCIL = 0x2,
};

struct D3D11_DEPTH_STENCIL_VIEW_DESC {
    DXGI_FORMAT Format;
    D3D11_DSV_DIMENSION ViewDimension;
    UINT Flags;
    union {
        D3D11_TEX2D_DSV Texture2D;
        D3D11_TEX2D_ARRAY_DSV Texture2DArray;
        D3D11_TEX2DMS_DSV Texture2DMS;
        D3D11_TEX2DMS_ARRAY_DSV Texture2DMSArray;
    };
};

struct D3D11_BUFFER_UAV {
    UINT FirstElement;
    UINT NumElements;
    UINT Flags;
};
struct D3D11_TEX2D_UAV {
    UINT MipSlice;
};
struct D3D11_TEX2D_ARRAY_UAV {
    UINT MipSlice;
    UINT FirstArraySlice;
    UINT ArraySize;
};

struct D3D11_UNORDERED_ACCESS_VIEW_DESC {
    DXGI_FORMAT Format;
    D3D11_UAV_DIMENSION ViewDimension;
    union {
        D3D11_BUFFER_UAV Buffer;
        D3D11_TEX2D_UAV Texture2D;
        D3D11_TEX2D_ARRAY_UAV Texture2DArray;
    };
};

// ---- input assembler ----------------------------------------------------------

enum D3D11_INPUT_CLASSIFICATION : UINT {
    D3D11_INPUT_PER_VERTEX_DATA = 0,
    D3D11_INPUT_PER_INSTANCE_DATA = 1,
};

struct D3D11_INPUT_ELEMENT_DESC {
    LPCSTR SemanticName;
    UINT SemanticIndex;
    DXGI_FORMAT Format;
    UINT InputSlot;
    UINT AlignedByteOffset;
    D3D11_INPUT_CLASSIFICATION InputSlotClass;
    UINT InstanceDataStepRate;
};

enum D3D_PRIMITIVE_TOPOLOGY : UINT {
    D3D_PRIMITIVE_TOPOLOGY_UNDEFINED = 0,
    D3D_PRIMITIVE_TOPOLOGY_POINTLIST = 1,
    D3D_PRIMITIVE_TOPOLOGY_LINELIST = 2,
    D3D_PRIMITIVE_TOPOLOGY_LINESTRIP = 3,
    D3D_PRIMITIVE_TOPOLOGY_TRIANGLELIST = 4,
    D3D_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP = 5,
    D3D11_PRIMITIVE_TOPOLOGY_UNDEFINED = 0,
    D3D11_PRIMITIVE_TOPOLOGY_POINTLIST = 1,
    D3D11_PRIMITIVE_TOPOLOGY_LINELIST = 2,
    D3D11_PRIMITIVE_TOPOLOGY_LINESTRIP = 3,
    D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST = 4,
    D3D11_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP = 5,
};
typedef D3D_PRIMITIVE_TOPOLOGY D3D11_PRIMITIVE_TOPOLOGY;

// ---- rasterizer, output merger, samplers --------------------------------------

struct D3D11_VIEWPORT {
    FLOAT TopLeftX;
    FLOAT TopLeftY;
    FLOAT Width;
    FLOAT Height;
    FLOAT MinDepth;
    FLOAT MaxDepth;
};

struct D3D11_RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};

enum D3D11_FILL_MODE : UINT {
    D3D11_FILL_WIREFRAME = 2,
    D3D11_FILL_SOLID = 3,
};

enum D3D11_CULL_MODE : UINT {
    D3D11_CULL_NONE = 1,
    D3D11_CULL_FRONT = 2,
    D3D11_CULL_BACK = 3,
};

struct D3D11_RASTERIZER_DESC {
    D3D11_FILL_MODE FillMode;
    D3D11_CULL_MODE CullMode;
    BOOL FrontCounterClockwise;
    INT DepthBias;
    FLOAT DepthBiasClamp;
    FLOAT SlopeScaledDepthBias;
    BOOL DepthClipEnable;
    BOOL ScissorEnable;
    BOOL MultisampleEnable;
    BOOL AntialiasedLineEnable;
};

enum D3D11_COMPARISON_FUNC : UINT {
    D3D11_COMPARISON_NEVER = 1,
    D3D11_COMPARISON_LESS = 2,
    D3D11_COMPARISON_EQUAL = 3,
    D3D11_COMPARISON_LESS_EQUAL = 4,
    D3D11_COMPARISON_GREATER = 5,
    D3D11_COMPARISON_NOT_EQUAL = 6,
    D3D11_COMPARISON_GREATER_EQUAL = 7,
    D3D11_COMPARISON_ALWAYS = 8,
};

enum D3D11_DEPTH_WRITE_MASK : UINT {
    D3D11_DEPTH_WRITE_MASK_ZERO = 0,
    D3D11_DEPTH_WRITE_MASK_ALL = 1,
};

enum D3D11_STENCIL_OP : UINT {
    D3D11_STENCIL_OP_KEEP = 1,
    D3D11_STENCIL_OP_ZERO = 2,
    D3D11_STENCIL_OP_REPLACE = 3,
    D3D11_STENCIL_OP_INCR_SAT = 4,
    D3D11_STENCIL_OP_DECR_SAT = 5,
    D3D11_STENCIL_OP_INVERT = 6,
    D3D11_STENCIL_OP_INCR = 7,
    D3D11_STENCIL_OP_DECR = 8,
};

struct D3D11_DEPTH_STENCILOP_DESC {
    D3D11_STENCIL_OP StencilFailOp;
    D3D11_STENCIL_OP StencilDepthFailOp;
    D3D11_STENCIL_OP StencilPassOp;
    D3D11_COMPARISON_FUNC StencilFunc;
};

struct D3D11_DEPTH_STENCIL_DESC {
    BOOL DepthEnable;
    D3D11_DEPTH_WRITE_MASK DepthWriteMask;
    D3D11_COMPARISON_FUNC DepthFunc;
    BOOL StencilEnable;
    UINT8 StencilReadMask;
    UINT8 StencilWriteMask;
    D3D11_DEPTH_STENCILOP_DESC FrontFace;
    D3D11_DEPTH_STENCILOP_DESC BackFace;
};

enum D3D11_BLEND : UINT {
    D3D11_BLEND_ZERO = 1,
    D3D11_BLEND_ONE = 2,
    D3D11_BLEND_SRC_COLOR = 3,
    D3D11_BLEND_INV_SRC_COLOR = 4,
    D3D11_BLEND_SRC_ALPHA = 5,
    D3D11_BLEND_INV_SRC_ALPHA = 6,
    D3D11_BLEND_DEST_ALPHA = 7,
    D3D11_BLEND_INV_DEST_ALPHA = 8,
    D3D11_BLEND_DEST_COLOR = 9,
    D3D11_BLEND_INV_DEST_COLOR = 10,
    D3D11_BLEND_SRC_ALPHA_SAT = 11,
    D3D11_BLEND_BLEND_FACTOR = 14,
    D3D11_BLEND_INV_BLEND_FACTOR = 15,
};

enum D3D11_BLEND_OP : UINT {
    D3D11_BLEND_OP_ADD = 1,
    D3D11_BLEND_OP_SUBTRACT = 2,
    D3D11_BLEND_OP_REV_SUBTRACT = 3,
    D3D11_BLEND_OP_MIN = 4,
    D3D11_BLEND_OP_MAX = 5,
};

enum D3D11_COLOR_WRITE_ENABLE : UINT {
    D3D11_COLOR_WRITE_ENABLE_RED = 1,
    D3D11_COLOR_WRITE_ENABLE_GREEN = 2,
    D3D11_COLOR_WRITE_ENABLE_BLUE = 4,
    D3D11_COLOR_WRITE_ENABLE_ALPHA = 8,
    D3D11_COLOR_WRITE_ENABLE_ALL = 15,
};

struct D3D11_RENDER_TARGET_BLEND_DESC {
    BOOL BlendEnable;
    D3D11_BLEND SrcBlend;
    D3D11_BLEND DestBlend;
    D3D11_BLEND_OP BlendOp;
    D3D11_BLEND SrcBlendAlpha;
    D3D11_BLEND DestBlendAlpha;
    D3D11_BLEND_OP BlendOpAlpha;
    UINT8 RenderTargetWriteMask;
};

struct D3D11_BLEND_DESC {
    BOOL AlphaToCoverageEnable;
    BOOL IndependentBlendEnable;
    D3D11_RENDER_TARGET_BLEND_DESC RenderTarget[8];
};

enum D3D11_FILTER : UINT {
    D3D11_FILTER_MIN_MAG_MIP_POINT = 0,
    D3D11_FILTER_MIN_MAG_POINT_MIP_LINEAR = 0x1,
    D3D11_FILTER_MIN_POINT_MAG_LINEAR_MIP_POINT = 0x4,
    D3D11_FILTER_MIN_POINT_MAG_MIP_LINEAR = 0x5,
    D3D11_FILTER_MIN_LINEAR_MAG_MIP_POINT = 0x10,
    D3D11_FILTER_MIN_LINEAR_MAG_POINT_MIP_LINEAR = 0x11,
    D3D11_FILTER_MIN_MAG_LINEAR_MIP_POINT = 0x14,
    D3D11_FILTER_MIN_MAG_MIP_LINEAR = 0x15,
    D3D11_FILTER_ANISOTROPIC = 0x55,
    D3D11_FILTER_COMPARISON_MIN_MAG_MIP_POINT = 0x80,
    D3D11_FILTER_COMPARISON_MIN_MAG_MIP_LINEAR = 0x95,
};

enum D3D11_TEXTURE_ADDRESS_MODE : UINT {
    D3D11_TEXTURE_ADDRESS_WRAP = 1,
    D3D11_TEXTURE_ADDRESS_MIRROR = 2,
    D3D11_TEXTURE_ADDRESS_CLAMP = 3,
    D3D11_TEXTURE_ADDRESS_BORDER = 4,
    D3D11_TEXTURE_ADDRESS_MIRROR_ONCE = 5,
};

struct D3D11_SAMPLER_DESC {
    D3D11_FILTER Filter;
    D3D11_TEXTURE_ADDRESS_MODE AddressU;
    D3D11_TEXTURE_ADDRESS_MODE AddressV;
    D3D11_TEXTURE_ADDRESS_MODE AddressW;
    FLOAT MipLODBias;
    UINT MaxAnisotropy;
    D3D11_COMPARISON_FUNC ComparisonFunc;
    FLOAT BorderColor[4];
    FLOAT MinLOD;
    FLOAT MaxLOD;
};

// ---- interfaces ---------------------------------------------------------------

class ID3D11Device;
class ID3D11DeviceContext;
class ID3D11ClassInstance;  // only ever passed as null
class ID3D11ClassLinkage;   // only ever passed as null

inline constexpr GUID IID_ID3D11Device = {0xdb6f6ddb, 0xac77, 0x4e88, {0x82, 0x53, 0x81, 0x9d, 0xf9, 0xbb, 0xf1, 0x40}};
inline constexpr GUID IID_ID3D11DeviceContext = {
    0xc0bfa96c, 0xe089, 0x44fb, {0x8e, 0xaf, 0x26, 0xf8, 0x79, 0x61, 0x90, 0xda}};
inline constexpr GUID IID_ID3D11DeviceChild = {
    0x1841e5c8, 0x16b0, 0x489b, {0xbc, 0xc8, 0x44, 0xcf, 0xb0, 0xd5, 0xde, 0xae}};
inline constexpr GUID IID_ID3D11Resource = {
    0xdc8e63f3, 0xd12b, 0x4952, {0xb4, 0x7b, 0x5e, 0x45, 0x02, 0x6a, 0x86, 0x2d}};
inline constexpr GUID IID_ID3D11Buffer = {0x48570b85, 0xd1ee, 0x4fcd, {0xa2, 0x50, 0xeb, 0x35, 0x07, 0x22, 0xb0, 0x37}};
inline constexpr GUID IID_ID3D11Texture2D = {
    0x6f15aaf2, 0xd208, 0x4e89, {0x9a, 0xb4, 0x48, 0x95, 0x35, 0xd3, 0x4f, 0x9c}};
inline constexpr GUID IID_ID3D11Debug = {0x79cf2233, 0x7536, 0x4948, {0x9d, 0x36, 0x1e, 0x46, 0x92, 0xdc, 0x57, 0x60}};
inline constexpr GUID IID_ID3D11Query = {0xd6c00747, 0x87b7, 0x425e, {0xb8, 0x4d, 0x44, 0xd1, 0x08, 0x56, 0x0a, 0xfd}};
inline constexpr GUID IID_ID3D11InfoQueue = {
    0x6543dbb6, 0x1b48, 0x42f5, {0xab, 0x82, 0xe9, 0x7e, 0xc7, 0x43, 0x26, 0xf6}};

class ID3D11DeviceChild : public IUnknown {
public:
    // Adds a reference to the device.
    virtual void GetDevice(ID3D11Device** ppDevice) = 0;
};

class ID3D11Resource : public ID3D11DeviceChild {
public:
    virtual void GetType(D3D11_RESOURCE_DIMENSION* pResourceDimension) = 0;
};

class ID3D11Buffer : public ID3D11Resource {
public:
    virtual void GetDesc(D3D11_BUFFER_DESC* pDesc) = 0;
};

class ID3D11Texture2D : public ID3D11Resource {
public:
    virtual void GetDesc(D3D11_TEXTURE2D_DESC* pDesc) = 0;
};

// A view holds a reference to its resource for as long as it lives.
class ID3D11View : public ID3D11DeviceChild {
public:
    // Adds a reference to the resource.
    virtual void GetResource(ID3D11Resource** ppResource) = 0;
};

// GetDesc of a view made without a description reports the description that
// was derived from the resource (e.g. TEXTURE2D with MostDetailedMip 0).
class ID3D11ShaderResourceView : public ID3D11View {
public:
    virtual void GetDesc(D3D11_SHADER_RESOURCE_VIEW_DESC* pDesc) = 0;
};

class ID3D11RenderTargetView : public ID3D11View {
public:
    virtual void GetDesc(D3D11_RENDER_TARGET_VIEW_DESC* pDesc) = 0;
};

class ID3D11DepthStencilView : public ID3D11View {
public:
    virtual void GetDesc(D3D11_DEPTH_STENCIL_VIEW_DESC* pDesc) = 0;
};

class ID3D11UnorderedAccessView : public ID3D11View {
public:
    virtual void GetDesc(D3D11_UNORDERED_ACCESS_VIEW_DESC* pDesc) = 0;
};

class ID3D11SamplerState : public ID3D11DeviceChild {
public:
    virtual void GetDesc(D3D11_SAMPLER_DESC* pDesc) = 0;
};

class ID3D11BlendState : public ID3D11DeviceChild {
public:
    virtual void GetDesc(D3D11_BLEND_DESC* pDesc) = 0;
};

class ID3D11RasterizerState : public ID3D11DeviceChild {
public:
    virtual void GetDesc(D3D11_RASTERIZER_DESC* pDesc) = 0;
};

class ID3D11DepthStencilState : public ID3D11DeviceChild {
public:
    virtual void GetDesc(D3D11_DEPTH_STENCIL_DESC* pDesc) = 0;
};

class ID3D11InputLayout : public ID3D11DeviceChild {};
class ID3D11VertexShader : public ID3D11DeviceChild {};
class ID3D11PixelShader : public ID3D11DeviceChild {};
class ID3D11ComputeShader : public ID3D11DeviceChild {};
// Never created; only null can be set.
class ID3D11GeometryShader : public ID3D11DeviceChild {};
class ID3D11HullShader : public ID3D11DeviceChild {};
class ID3D11DomainShader : public ID3D11DeviceChild {};

// Queries: only D3D11_QUERY_EVENT, done once the GPU has finished every
// command given before End (a GL fence).
enum D3D11_QUERY : UINT {
    D3D11_QUERY_EVENT = 0,
};

struct D3D11_QUERY_DESC {
    D3D11_QUERY Query;
    UINT MiscFlags;
};

#define D3D11_ASYNC_GETDATA_DONOTFLUSH 0x1

class ID3D11Asynchronous : public ID3D11DeviceChild {
public:
    virtual UINT GetDataSize() = 0;
};

class ID3D11Query : public ID3D11Asynchronous {
public:
    virtual void GetDesc(D3D11_QUERY_DESC* pDesc) = 0;
};

// The immediate context. It holds a reference to everything bound to it until
// it is unbound or ClearState runs.
class ID3D11DeviceContext : public ID3D11DeviceChild {
public:
    virtual void VSSetConstantBuffers(UINT StartSlot, UINT NumBuffers, ID3D11Buffer* const* ppConstantBuffers) = 0;
    virtual void VSSetShaderResources(UINT StartSlot, UINT NumViews,
                                      ID3D11ShaderResourceView* const* ppShaderResourceViews) = 0;
    virtual void VSSetSamplers(UINT StartSlot, UINT NumSamplers, ID3D11SamplerState* const* ppSamplers) = 0;
    virtual void VSSetShader(ID3D11VertexShader* pVertexShader, ID3D11ClassInstance* const* ppClassInstances,
                             UINT NumClassInstances) = 0;

    virtual void PSSetConstantBuffers(UINT StartSlot, UINT NumBuffers, ID3D11Buffer* const* ppConstantBuffers) = 0;
    virtual void PSSetShaderResources(UINT StartSlot, UINT NumViews,
                                      ID3D11ShaderResourceView* const* ppShaderResourceViews) = 0;
    virtual void PSSetSamplers(UINT StartSlot, UINT NumSamplers, ID3D11SamplerState* const* ppSamplers) = 0;
    virtual void PSSetShader(ID3D11PixelShader* pPixelShader, ID3D11ClassInstance* const* ppClassInstances,
                             UINT NumClassInstances) = 0;

    virtual void CSSetConstantBuffers(UINT StartSlot, UINT NumBuffers, ID3D11Buffer* const* ppConstantBuffers) = 0;
    virtual void CSSetShaderResources(UINT StartSlot, UINT NumViews,
                                      ID3D11ShaderResourceView* const* ppShaderResourceViews) = 0;
    virtual void CSSetSamplers(UINT StartSlot, UINT NumSamplers, ID3D11SamplerState* const* ppSamplers) = 0;
    virtual void CSSetUnorderedAccessViews(UINT StartSlot, UINT NumUAVs,
                                           ID3D11UnorderedAccessView* const* ppUnorderedAccessViews,
                                           const UINT* pUAVInitialCounts) = 0;
    virtual void CSSetShader(ID3D11ComputeShader* pComputeShader, ID3D11ClassInstance* const* ppClassInstances,
                             UINT NumClassInstances) = 0;

    // Only null is accepted.
    virtual void GSSetShader(ID3D11GeometryShader* pShader, ID3D11ClassInstance* const* ppClassInstances,
                             UINT NumClassInstances) = 0;
    virtual void HSSetShader(ID3D11HullShader* pHullShader, ID3D11ClassInstance* const* ppClassInstances,
                             UINT NumClassInstances) = 0;
    virtual void DSSetShader(ID3D11DomainShader* pDomainShader, ID3D11ClassInstance* const* ppClassInstances,
                             UINT NumClassInstances) = 0;

    virtual void IASetInputLayout(ID3D11InputLayout* pInputLayout) = 0;
    virtual void IASetVertexBuffers(UINT StartSlot, UINT NumBuffers, ID3D11Buffer* const* ppVertexBuffers,
                                    const UINT* pStrides, const UINT* pOffsets) = 0;
    virtual void IASetIndexBuffer(ID3D11Buffer* pIndexBuffer, DXGI_FORMAT Format, UINT Offset) = 0;
    virtual void IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY Topology) = 0;

    virtual void RSSetState(ID3D11RasterizerState* pRasterizerState) = 0;
    virtual void RSSetViewports(UINT NumViewports, const D3D11_VIEWPORT* pViewports) = 0;
    virtual void RSSetScissorRects(UINT NumRects, const D3D11_RECT* pRects) = 0;

    virtual void OMSetRenderTargets(UINT NumViews, ID3D11RenderTargetView* const* ppRenderTargetViews,
                                    ID3D11DepthStencilView* pDepthStencilView) = 0;
    // A null BlendFactor means (1, 1, 1, 1).
    virtual void OMSetBlendState(ID3D11BlendState* pBlendState, const FLOAT BlendFactor[4], UINT SampleMask) = 0;
    virtual void OMSetDepthStencilState(ID3D11DepthStencilState* pDepthStencilState, UINT StencilRef) = 0;

    virtual void Draw(UINT VertexCount, UINT StartVertexLocation) = 0;
    virtual void DrawIndexed(UINT IndexCount, UINT StartIndexLocation, INT BaseVertexLocation) = 0;
    virtual void DrawInstanced(UINT VertexCountPerInstance, UINT InstanceCount, UINT StartVertexLocation,
                               UINT StartInstanceLocation) = 0;
    virtual void DrawIndexedInstanced(UINT IndexCountPerInstance, UINT InstanceCount, UINT StartIndexLocation,
                                      INT BaseVertexLocation, UINT StartInstanceLocation) = 0;
    virtual void Dispatch(UINT ThreadGroupCountX, UINT ThreadGroupCountY, UINT ThreadGroupCountZ) = 0;

    // Dynamic resources: WRITE_DISCARD (whole resource; the old contents are
    // gone) and WRITE_NO_OVERWRITE. Staging resources: READ, WRITE, READ_WRITE.
    virtual HRESULT Map(ID3D11Resource* pResource, UINT Subresource, D3D11_MAP MapType, UINT MapFlags,
                        D3D11_MAPPED_SUBRESOURCE* pMappedResource) = 0;
    virtual void Unmap(ID3D11Resource* pResource, UINT Subresource) = 0;
    virtual void UpdateSubresource(ID3D11Resource* pDstResource, UINT DstSubresource, const D3D11_BOX* pDstBox,
                                   const void* pSrcData, UINT SrcRowPitch, UINT SrcDepthPitch) = 0;
    // Same size and format class; a staging destination receives a CPU copy.
    virtual void CopyResource(ID3D11Resource* pDstResource, ID3D11Resource* pSrcResource) = 0;
    virtual void ResolveSubresource(ID3D11Resource* pDstResource, UINT DstSubresource, ID3D11Resource* pSrcResource,
                                    UINT SrcSubresource, DXGI_FORMAT Format) = 0;
    virtual void GenerateMips(ID3D11ShaderResourceView* pShaderResourceView) = 0;

    virtual void ClearRenderTargetView(ID3D11RenderTargetView* pRenderTargetView, const FLOAT ColorRGBA[4]) = 0;
    virtual void ClearDepthStencilView(ID3D11DepthStencilView* pDepthStencilView, UINT ClearFlags, FLOAT Depth,
                                       UINT8 Stencil) = 0;
    virtual void ClearUnorderedAccessViewFloat(ID3D11UnorderedAccessView* pUnorderedAccessView,
                                               const FLOAT Values[4]) = 0;
    virtual void ClearUnorderedAccessViewUint(ID3D11UnorderedAccessView* pUnorderedAccessView,
                                              const UINT Values[4]) = 0;

    // Every binding back to its default: no views, buffers, shaders, layout,
    // samplers or state objects; default viewport and scissor (none).
    virtual void ClearState() = 0;
    virtual void Flush() = 0;

    // An event has no Begin (ignored). GetData: S_FALSE while the work before
    // End runs, S_OK (and TRUE in a BOOL) once it is done; before any End,
    // DXGI_ERROR_INVALID_CALL. Without D3D11_ASYNC_GETDATA_DONOTFLUSH the
    // commands are flushed, so that polling ends.
    virtual void Begin(ID3D11Asynchronous* pAsync) = 0;
    virtual void End(ID3D11Asynchronous* pAsync) = 0;
    virtual HRESULT GetData(ID3D11Asynchronous* pAsync, void* pData, UINT DataSize, UINT GetDataFlags) = 0;
};

class ID3D11Device : public IUnknown {
public:
    virtual HRESULT CreateBuffer(const D3D11_BUFFER_DESC* pDesc, const D3D11_SUBRESOURCE_DATA* pInitialData,
                                 ID3D11Buffer** ppBuffer) = 0;
    virtual HRESULT CreateTexture2D(const D3D11_TEXTURE2D_DESC* pDesc, const D3D11_SUBRESOURCE_DATA* pInitialData,
                                    ID3D11Texture2D** ppTexture2D) = 0;
    // A null description views the whole resource in its own format (a
    // typeless format cannot be viewed so).
    virtual HRESULT CreateShaderResourceView(ID3D11Resource* pResource, const D3D11_SHADER_RESOURCE_VIEW_DESC* pDesc,
                                             ID3D11ShaderResourceView** ppSRView) = 0;
    virtual HRESULT CreateUnorderedAccessView(ID3D11Resource* pResource, const D3D11_UNORDERED_ACCESS_VIEW_DESC* pDesc,
                                              ID3D11UnorderedAccessView** ppUAView) = 0;
    virtual HRESULT CreateRenderTargetView(ID3D11Resource* pResource, const D3D11_RENDER_TARGET_VIEW_DESC* pDesc,
                                           ID3D11RenderTargetView** ppRTView) = 0;
    virtual HRESULT CreateDepthStencilView(ID3D11Resource* pResource, const D3D11_DEPTH_STENCIL_VIEW_DESC* pDesc,
                                           ID3D11DepthStencilView** ppDepthStencilView) = 0;
    // Elements are matched to the vertex shader's inputs by semantic name
    // (case-insensitive) and index; system-value semantics (SV_...) fetch nothing.
    virtual HRESULT CreateInputLayout(const D3D11_INPUT_ELEMENT_DESC* pInputElementDescs, UINT NumElements,
                                      const void* pShaderBytecodeWithInputSignature, SIZE_T BytecodeLength,
                                      ID3D11InputLayout** ppInputLayout) = 0;
    // Bytecode is what D3DCompile returns (see d3dcompiler.h).
    virtual HRESULT CreateVertexShader(const void* pShaderBytecode, SIZE_T BytecodeLength,
                                       ID3D11ClassLinkage* pClassLinkage, ID3D11VertexShader** ppVertexShader) = 0;
    virtual HRESULT CreatePixelShader(const void* pShaderBytecode, SIZE_T BytecodeLength,
                                      ID3D11ClassLinkage* pClassLinkage, ID3D11PixelShader** ppPixelShader) = 0;
    virtual HRESULT CreateComputeShader(const void* pShaderBytecode, SIZE_T BytecodeLength,
                                        ID3D11ClassLinkage* pClassLinkage, ID3D11ComputeShader** ppComputeShader) = 0;
    virtual HRESULT CreateBlendState(const D3D11_BLEND_DESC* pBlendStateDesc, ID3D11BlendState** ppBlendState) = 0;
    virtual HRESULT CreateDepthStencilState(const D3D11_DEPTH_STENCIL_DESC* pDepthStencilDesc,
                                            ID3D11DepthStencilState** ppDepthStencilState) = 0;
    virtual HRESULT CreateRasterizerState(const D3D11_RASTERIZER_DESC* pRasterizerDesc,
                                          ID3D11RasterizerState** ppRasterizerState) = 0;
    virtual HRESULT CreateSamplerState(const D3D11_SAMPLER_DESC* pSamplerDesc, ID3D11SamplerState** ppSamplerState) = 0;
    virtual HRESULT CheckMultisampleQualityLevels(DXGI_FORMAT Format, UINT SampleCount, UINT* pNumQualityLevels) = 0;
    // D3D_FEATURE_LEVEL_11_0 on a GL 4.5 context.
    virtual D3D_FEATURE_LEVEL GetFeatureLevel() = 0;
    virtual UINT GetCreationFlags() = 0;
    // Adds a reference to the immediate context.
    virtual void GetImmediateContext(ID3D11DeviceContext** ppImmediateContext) = 0;
    // D3D11_QUERY_EVENT only (E_INVALIDARG otherwise); a null ppQuery checks the description.
    virtual HRESULT CreateQuery(const D3D11_QUERY_DESC* pQueryDesc, ID3D11Query** ppQuery) = 0;
};

// Waiting for the GPU's work without holding off input (not Direct3D): frame_wait.h.

// ---- debug interfaces (present only on a debug device, see the creation flags) --

enum D3D11_RLDO_FLAGS : UINT {
    D3D11_RLDO_SUMMARY = 0x1,
    D3D11_RLDO_DETAIL = 0x2,
    D3D11_RLDO_IGNORE_INTERNAL = 0x4,
};

enum D3D11_MESSAGE_SEVERITY : UINT {
    D3D11_MESSAGE_SEVERITY_CORRUPTION = 0,
    D3D11_MESSAGE_SEVERITY_ERROR = 1,
    D3D11_MESSAGE_SEVERITY_WARNING = 2,
    D3D11_MESSAGE_SEVERITY_INFO = 3,
    D3D11_MESSAGE_SEVERITY_MESSAGE = 4,
};

enum D3D11_MESSAGE_CATEGORY : UINT {
    D3D11_MESSAGE_CATEGORY_APPLICATION_DEFINED = 0,
    D3D11_MESSAGE_CATEGORY_MISCELLANEOUS = 1,
};

enum D3D11_MESSAGE_ID : UINT {
    D3D11_MESSAGE_ID_UNKNOWN = 0,
    D3D11_MESSAGE_ID_SETPRIVATEDATA_CHANGINGPARAMS = 55,
};

struct D3D11_INFO_QUEUE_FILTER_DESC {
    UINT NumCategories;
    D3D11_MESSAGE_CATEGORY* pCategoryList;
    UINT NumSeverities;
    D3D11_MESSAGE_SEVERITY* pSeverityList;
    UINT NumIDs;
    D3D11_MESSAGE_ID* pIDList;
};

struct D3D11_INFO_QUEUE_FILTER {
    D3D11_INFO_QUEUE_FILTER_DESC AllowList;
    D3D11_INFO_QUEUE_FILTER_DESC DenyList;
};

class ID3D11Debug : public IUnknown {
public:
    // Lists the device's live objects on the debugger output (stderr).
    virtual HRESULT ReportLiveDeviceObjects(D3D11_RLDO_FLAGS Flags) = 0;
};

inline D3D11_RLDO_FLAGS operator|(D3D11_RLDO_FLAGS a, D3D11_RLDO_FLAGS b)
{
    return (D3D11_RLDO_FLAGS)((UINT)a | (UINT)b);
}

// GL debug messages take the place of the runtime's messages: GL errors count
// as errors, other high-severity messages as corruption. Messages are printed
// on stderr, not stored, so storage filters have no effect. Breaking means
// raising SIGTRAP when a debugger is attached.
class ID3D11InfoQueue : public IUnknown {
public:
    virtual HRESULT SetBreakOnSeverity(D3D11_MESSAGE_SEVERITY Severity, BOOL bEnable) = 0;
    virtual HRESULT AddStorageFilterEntries(D3D11_INFO_QUEUE_FILTER* pFilter) = 0;
};

// ---- creation -----------------------------------------------------------------

// pAdapter must be null and DriverType HARDWARE (or UNKNOWN); Software is
// ignored. The swap chain's OutputWindow must be an SDL window made for GL
// (see the top of this file); the device's GL context lives on it.
HRESULT D3D11CreateDeviceAndSwapChain(IDXGIAdapter* pAdapter, D3D_DRIVER_TYPE DriverType, HMODULE Software, UINT Flags,
                                      const D3D_FEATURE_LEVEL* pFeatureLevels, UINT FeatureLevels, UINT SDKVersion,
                                      const DXGI_SWAP_CHAIN_DESC* pSwapChainDesc, IDXGISwapChain** ppSwapChain,
                                      ID3D11Device** ppDevice, D3D_FEATURE_LEVEL* pFeatureLevel,
                                      ID3D11DeviceContext** ppImmediateContext);

// A device without a swap chain, on a hidden window of its own (initialises
// SDL's video subsystem when needed). For tests and tools.
HRESULT D3D11CreateDevice(IDXGIAdapter* pAdapter, D3D_DRIVER_TYPE DriverType, HMODULE Software, UINT Flags,
                          const D3D_FEATURE_LEVEL* pFeatureLevels, UINT FeatureLevels, UINT SDKVersion,
                          ID3D11Device** ppDevice, D3D_FEATURE_LEVEL* pFeatureLevel,
                          ID3D11DeviceContext** ppImmediateContext);
