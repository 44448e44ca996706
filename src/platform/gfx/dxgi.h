#pragma once
// DXGI as the system uses it, backed by OpenGL 4.5 (see d3d11.h): the COM-style
// base interface, GUIDs, the DXGI format values, the swap-chain description and
// the swap chain itself.
//
// Not offered: adapters and outputs (IDXGIAdapter exists only so that a null
// one can be passed), factories, display-mode enumeration, frame statistics,
// gamma control, private data. Full screen takes the display mode closest to
// the buffer's size (SDL_WINDOW_FULLSCREEN), or the desktop's size when no
// mode can be set; the back buffer keeps the size it was given.
#include <cstddef>
#include <cstdint>

#include "platform/system/types.h"

typedef std::size_t SIZE_T;
typedef std::uintptr_t UINT_PTR;
typedef std::uint8_t UINT8;
typedef std::uint64_t UINT64;
typedef int INT;
typedef float FLOAT;
typedef const void* LPCVOID;
typedef void* LPVOID;
typedef std::uint32_t ULONG;

#define DXGI_ERROR_INVALID_CALL ((HRESULT)0x887A0001u)
#define DXGI_ERROR_UNSUPPORTED ((HRESULT)0x887A0004u)
#define DXGI_ERROR_WAS_STILL_DRAWING ((HRESULT)0x887A000Au)

// Interface identifiers. Compared by value; QueryInterface and GetBuffer take them.
struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
};
typedef GUID IID;
typedef const GUID& REFIID;
typedef const GUID& REFGUID;

inline bool operator==(const GUID& a, const GUID& b)
{
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3)
        return false;
    for (int i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i])
            return false;
    return true;
}
inline bool operator!=(const GUID& a, const GUID& b)
{
    return !(a == b);
}

inline constexpr GUID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr GUID IID_IDXGISwapChain = {
    0x310d36a0, 0xd2e7, 0x4c0a, {0xaa, 0x04, 0x6a, 0x9d, 0x23, 0xb8, 0x88, 0x6a}};

// Reference counting: every object starts with one reference, held by whoever
// created it. Release returns the count left; at 0 the object is destroyed.
class IUnknown {
public:
    virtual HRESULT QueryInterface(REFIID riid, void** ppvObject) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    virtual ~IUnknown() = default;
};

enum DXGI_FORMAT : UINT {
    DXGI_FORMAT_UNKNOWN = 0,
    DXGI_FORMAT_R32G32B32A32_TYPELESS = 1,
    DXGI_FORMAT_R32G32B32A32_FLOAT = 2,
    DXGI_FORMAT_R32G32B32A32_UINT = 3,
    DXGI_FORMAT_R32G32B32A32_SINT = 4,
    DXGI_FORMAT_R32G32B32_TYPELESS = 5,
    DXGI_FORMAT_R32G32B32_FLOAT = 6,
    DXGI_FORMAT_R32G32B32_UINT = 7,
    DXGI_FORMAT_R32G32B32_SINT = 8,
    DXGI_FORMAT_R16G16B16A16_TYPELESS = 9,
    DXGI_FORMAT_R16G16B16A16_FLOAT = 10,
    DXGI_FORMAT_R16G16B16A16_UNORM = 11,
    DXGI_FORMAT_R16G16B16A16_UINT = 12,
    DXGI_FORMAT_R16G16B16A16_SNORM = 13,
    DXGI_FORMAT_R16G16B16A16_SINT = 14,
    DXGI_FORMAT_R32G32_TYPELESS = 15,
    DXGI_FORMAT_R32G32_FLOAT = 16,
    DXGI_FORMAT_R32G32_UINT = 17,
    DXGI_FORMAT_R32G32_SINT = 18,
    DXGI_FORMAT_R10G10B10A2_TYPELESS = 23,
    DXGI_FORMAT_R10G10B10A2_UNORM = 24,
    DXGI_FORMAT_R10G10B10A2_UINT = 25,
    DXGI_FORMAT_R11G11B10_FLOAT = 26,
    DXGI_FORMAT_R8G8B8A8_TYPELESS = 27,
    DXGI_FORMAT_R8G8B8A8_UNORM = 28,
    DXGI_FORMAT_R8G8B8A8_UNORM_SRGB = 29,
    DXGI_FORMAT_R8G8B8A8_UINT = 30,
    DXGI_FORMAT_R8G8B8A8_SNORM = 31,
    DXGI_FORMAT_R8G8B8A8_SINT = 32,
    DXGI_FORMAT_R16G16_TYPELESS = 33,
    DXGI_FORMAT_R16G16_FLOAT = 34,
    DXGI_FORMAT_R16G16_UNORM = 35,
    DXGI_FORMAT_R16G16_UINT = 36,
    DXGI_FORMAT_R16G16_SNORM = 37,
    DXGI_FORMAT_R16G16_SINT = 38,
    DXGI_FORMAT_R32_TYPELESS = 39,
    DXGI_FORMAT_D32_FLOAT = 40,
    DXGI_FORMAT_R32_FLOAT = 41,
    DXGI_FORMAT_R32_UINT = 42,
    DXGI_FORMAT_R32_SINT = 43,
    DXGI_FORMAT_R24G8_TYPELESS = 44,
    DXGI_FORMAT_D24_UNORM_S8_UINT = 45,
    DXGI_FORMAT_R24_UNORM_X8_TYPELESS = 46,
    DXGI_FORMAT_X24_TYPELESS_G8_UINT = 47,
    DXGI_FORMAT_R8G8_TYPELESS = 48,
    DXGI_FORMAT_R8G8_UNORM = 49,
    DXGI_FORMAT_R8G8_UINT = 50,
    DXGI_FORMAT_R8G8_SNORM = 51,
    DXGI_FORMAT_R8G8_SINT = 52,
    DXGI_FORMAT_R16_TYPELESS = 53,
    DXGI_FORMAT_R16_FLOAT = 54,
    DXGI_FORMAT_D16_UNORM = 55,
    DXGI_FORMAT_R16_UNORM = 56,
    DXGI_FORMAT_R16_UINT = 57,
    DXGI_FORMAT_R16_SNORM = 58,
    DXGI_FORMAT_R16_SINT = 59,
    DXGI_FORMAT_R8_TYPELESS = 60,
    DXGI_FORMAT_R8_UNORM = 61,
    DXGI_FORMAT_R8_UINT = 62,
    DXGI_FORMAT_R8_SNORM = 63,
    DXGI_FORMAT_R8_SINT = 64,
    DXGI_FORMAT_A8_UNORM = 65,
};

struct DXGI_RATIONAL {
    UINT Numerator;
    UINT Denominator;
};

enum DXGI_MODE_SCANLINE_ORDER : UINT {
    DXGI_MODE_SCANLINE_ORDER_UNSPECIFIED = 0,
    DXGI_MODE_SCANLINE_ORDER_PROGRESSIVE = 1,
};

enum DXGI_MODE_SCALING : UINT {
    DXGI_MODE_SCALING_UNSPECIFIED = 0,
    DXGI_MODE_SCALING_CENTERED = 1,
    DXGI_MODE_SCALING_STRETCHED = 2,
};

struct DXGI_MODE_DESC {
    UINT Width;
    UINT Height;
    DXGI_RATIONAL RefreshRate;
    DXGI_FORMAT Format;
    DXGI_MODE_SCANLINE_ORDER ScanlineOrdering;
    DXGI_MODE_SCALING Scaling;
};

struct DXGI_SAMPLE_DESC {
    UINT Count;
    UINT Quality;
};

typedef UINT DXGI_USAGE;
#define DXGI_USAGE_SHADER_INPUT 0x00000010u
#define DXGI_USAGE_RENDER_TARGET_OUTPUT 0x00000020u

enum DXGI_SWAP_EFFECT : UINT {
    DXGI_SWAP_EFFECT_DISCARD = 0,
    DXGI_SWAP_EFFECT_SEQUENTIAL = 1,
    DXGI_SWAP_EFFECT_FLIP_SEQUENTIAL = 3,
    DXGI_SWAP_EFFECT_FLIP_DISCARD = 4,
};

struct DXGI_SWAP_CHAIN_DESC {
    DXGI_MODE_DESC BufferDesc;
    DXGI_SAMPLE_DESC SampleDesc;
    DXGI_USAGE BufferUsage;
    UINT BufferCount;
    HWND OutputWindow;
    BOOL Windowed;
    DXGI_SWAP_EFFECT SwapEffect;
    UINT Flags;
};

// Only ever passed as null: the default adapter.
class IDXGIAdapter;

// The swap chain owns one back buffer, a real 2D texture of the description's
// size and format (so GetBuffer(0, IID_ID3D11Texture2D, ...) gives a texture
// whose GetDesc reports them). Present shows it in the window upright (row 0 at
// the top), stretched when the window's client size differs.
class IDXGISwapChain : public IUnknown {
public:
    // SyncInterval 0: no wait; 1 or more: wait for that many vertical blanks
    // (where the driver supports it). Flags must be 0.
    virtual HRESULT Present(UINT SyncInterval, UINT Flags) = 0;
    // Buffer 0 only. Adds a reference to the returned texture.
    virtual HRESULT GetBuffer(UINT Buffer, REFIID riid, void** ppSurface) = 0;
    // A count of 0 keeps the count, a width or height of 0 takes the window's
    // client size, DXGI_FORMAT_UNKNOWN keeps the format. The new back buffer is
    // a new texture; one still referenced from before stays valid but is no
    // longer presented.
    virtual HRESULT ResizeBuffers(UINT BufferCount, UINT Width, UINT Height, DXGI_FORMAT NewFormat,
                                  UINT SwapChainFlags) = 0;
    virtual HRESULT GetDesc(DXGI_SWAP_CHAIN_DESC* pDesc) = 0;
    virtual HRESULT SetFullscreenState(BOOL Fullscreen, IUnknown* pTarget) = 0;
};
