// DXGI formats as GL formats.
#include "platform/gfx/gl/formats.h"

namespace gfx {

namespace {

// dxgi, storage, transfer format, transfer type, bytes, depth, stencil, integer, typeless
const FormatInfo kFormats[] = {
    {DXGI_FORMAT_R32G32B32A32_TYPELESS, GL_RGBA32F, GL_RGBA, GL_FLOAT, 16, false, false, false, true},
    {DXGI_FORMAT_R32G32B32A32_FLOAT, GL_RGBA32F, GL_RGBA, GL_FLOAT, 16, false, false, false, false},
    {DXGI_FORMAT_R32G32B32A32_UINT, GL_RGBA32UI, GL_RGBA_INTEGER, GL_UNSIGNED_INT, 16, false, false, true, false},
    {DXGI_FORMAT_R32G32B32A32_SINT, GL_RGBA32I, GL_RGBA_INTEGER, GL_INT, 16, false, false, true, false},
    {DXGI_FORMAT_R32G32B32_TYPELESS, GL_RGB32F, GL_RGB, GL_FLOAT, 12, false, false, false, true},
    {DXGI_FORMAT_R32G32B32_FLOAT, GL_RGB32F, GL_RGB, GL_FLOAT, 12, false, false, false, false},
    {DXGI_FORMAT_R32G32B32_UINT, GL_RGB32UI, GL_RGB_INTEGER, GL_UNSIGNED_INT, 12, false, false, true, false},
    {DXGI_FORMAT_R32G32B32_SINT, GL_RGB32I, GL_RGB_INTEGER, GL_INT, 12, false, false, true, false},
    {DXGI_FORMAT_R16G16B16A16_TYPELESS, GL_RGBA16F, GL_RGBA, GL_HALF_FLOAT, 8, false, false, false, true},
    {DXGI_FORMAT_R16G16B16A16_FLOAT, GL_RGBA16F, GL_RGBA, GL_HALF_FLOAT, 8, false, false, false, false},
    {DXGI_FORMAT_R16G16B16A16_UNORM, GL_RGBA16, GL_RGBA, GL_UNSIGNED_SHORT, 8, false, false, false, false},
    {DXGI_FORMAT_R16G16B16A16_UINT, GL_RGBA16UI, GL_RGBA_INTEGER, GL_UNSIGNED_SHORT, 8, false, false, true, false},
    {DXGI_FORMAT_R16G16B16A16_SNORM, GL_RGBA16_SNORM, GL_RGBA, GL_SHORT, 8, false, false, false, false},
    {DXGI_FORMAT_R16G16B16A16_SINT, GL_RGBA16I, GL_RGBA_INTEGER, GL_SHORT, 8, false, false, true, false},
    {DXGI_FORMAT_R32G32_TYPELESS, GL_RG32F, GL_RG, GL_FLOAT, 8, false, false, false, true},
    {DXGI_FORMAT_R32G32_FLOAT, GL_RG32F, GL_RG, GL_FLOAT, 8, false, false, false, false},
    {DXGI_FORMAT_R32G32_UINT, GL_RG32UI, GL_RG_INTEGER, GL_UNSIGNED_INT, 8, false, false, true, false},
    {DXGI_FORMAT_R32G32_SINT, GL_RG32I, GL_RG_INTEGER, GL_INT, 8, false, false, true, false},
    {DXGI_FORMAT_R10G10B10A2_TYPELESS, GL_RGB10_A2, GL_RGBA, GL_UNSIGNED_INT_2_10_10_10_REV, 4, false, false, false,
     true},
    {DXGI_FORMAT_R10G10B10A2_UNORM, GL_RGB10_A2, GL_RGBA, GL_UNSIGNED_INT_2_10_10_10_REV, 4, false, false, false,
     false},
    {DXGI_FORMAT_R10G10B10A2_UINT, GL_RGB10_A2UI, GL_RGBA_INTEGER, GL_UNSIGNED_INT_2_10_10_10_REV, 4, false, false,
     true, false},
    {DXGI_FORMAT_R11G11B10_FLOAT, GL_R11F_G11F_B10F, GL_RGB, GL_UNSIGNED_INT_10F_11F_11F_REV, 4, false, false, false,
     false},
    {DXGI_FORMAT_R8G8B8A8_TYPELESS, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, 4, false, false, false, true},
    {DXGI_FORMAT_R8G8B8A8_UNORM, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, 4, false, false, false, false},
    {DXGI_FORMAT_R8G8B8A8_UNORM_SRGB, GL_SRGB8_ALPHA8, GL_RGBA, GL_UNSIGNED_BYTE, 4, false, false, false, false},
    {DXGI_FORMAT_R8G8B8A8_UINT, GL_RGBA8UI, GL_RGBA_INTEGER, GL_UNSIGNED_BYTE, 4, false, false, true, false},
    {DXGI_FORMAT_R8G8B8A8_SNORM, GL_RGBA8_SNORM, GL_RGBA, GL_BYTE, 4, false, false, false, false},
    {DXGI_FORMAT_R8G8B8A8_SINT, GL_RGBA8I, GL_RGBA_INTEGER, GL_BYTE, 4, false, false, true, false},
    {DXGI_FORMAT_R16G16_TYPELESS, GL_RG16F, GL_RG, GL_HALF_FLOAT, 4, false, false, false, true},
    {DXGI_FORMAT_R16G16_FLOAT, GL_RG16F, GL_RG, GL_HALF_FLOAT, 4, false, false, false, false},
    {DXGI_FORMAT_R16G16_UNORM, GL_RG16, GL_RG, GL_UNSIGNED_SHORT, 4, false, false, false, false},
    {DXGI_FORMAT_R16G16_UINT, GL_RG16UI, GL_RG_INTEGER, GL_UNSIGNED_SHORT, 4, false, false, true, false},
    {DXGI_FORMAT_R16G16_SNORM, GL_RG16_SNORM, GL_RG, GL_SHORT, 4, false, false, false, false},
    {DXGI_FORMAT_R16G16_SINT, GL_RG16I, GL_RG_INTEGER, GL_SHORT, 4, false, false, true, false},
    {DXGI_FORMAT_R32_TYPELESS, GL_R32F, GL_RED, GL_FLOAT, 4, false, false, false, true},
    {DXGI_FORMAT_D32_FLOAT, GL_DEPTH_COMPONENT32F, GL_DEPTH_COMPONENT, GL_FLOAT, 4, true, false, false, false},
    {DXGI_FORMAT_R32_FLOAT, GL_R32F, GL_RED, GL_FLOAT, 4, false, false, false, false},
    {DXGI_FORMAT_R32_UINT, GL_R32UI, GL_RED_INTEGER, GL_UNSIGNED_INT, 4, false, false, true, false},
    {DXGI_FORMAT_R32_SINT, GL_R32I, GL_RED_INTEGER, GL_INT, 4, false, false, true, false},
    {DXGI_FORMAT_R24G8_TYPELESS, GL_DEPTH24_STENCIL8, GL_DEPTH_STENCIL, GL_UNSIGNED_INT_24_8, 4, true, true, false,
     true},
    {DXGI_FORMAT_D24_UNORM_S8_UINT, GL_DEPTH24_STENCIL8, GL_DEPTH_STENCIL, GL_UNSIGNED_INT_24_8, 4, true, true, false,
     false},
    {DXGI_FORMAT_R24_UNORM_X8_TYPELESS, GL_DEPTH24_STENCIL8, GL_DEPTH_STENCIL, GL_UNSIGNED_INT_24_8, 4, true, true,
     false, false},
    {DXGI_FORMAT_X24_TYPELESS_G8_UINT, GL_DEPTH24_STENCIL8, GL_DEPTH_STENCIL, GL_UNSIGNED_INT_24_8, 4, true, true,
     false, false},
    {DXGI_FORMAT_R8G8_TYPELESS, GL_RG8, GL_RG, GL_UNSIGNED_BYTE, 2, false, false, false, true},
    {DXGI_FORMAT_R8G8_UNORM, GL_RG8, GL_RG, GL_UNSIGNED_BYTE, 2, false, false, false, false},
    {DXGI_FORMAT_R8G8_UINT, GL_RG8UI, GL_RG_INTEGER, GL_UNSIGNED_BYTE, 2, false, false, true, false},
    {DXGI_FORMAT_R8G8_SNORM, GL_RG8_SNORM, GL_RG, GL_BYTE, 2, false, false, false, false},
    {DXGI_FORMAT_R8G8_SINT, GL_RG8I, GL_RG_INTEGER, GL_BYTE, 2, false, false, true, false},
    {DXGI_FORMAT_R16_TYPELESS, GL_R16F, GL_RED, GL_HALF_FLOAT, 2, false, false, false, true},
    {DXGI_FORMAT_R16_FLOAT, GL_R16F, GL_RED, GL_HALF_FLOAT, 2, false, false, false, false},
    {DXGI_FORMAT_D16_UNORM, GL_DEPTH_COMPONENT16, GL_DEPTH_COMPONENT, GL_UNSIGNED_SHORT, 2, true, false, false, false},
    {DXGI_FORMAT_R16_UNORM, GL_R16, GL_RED, GL_UNSIGNED_SHORT, 2, false, false, false, false},
    {DXGI_FORMAT_R16_UINT, GL_R16UI, GL_RED_INTEGER, GL_UNSIGNED_SHORT, 2, false, false, true, false},
    {DXGI_FORMAT_R16_SNORM, GL_R16_SNORM, GL_RED, GL_SHORT, 2, false, false, false, false},
    {DXGI_FORMAT_R16_SINT, GL_R16I, GL_RED_INTEGER, GL_SHORT, 2, false, false, true, false},
    {DXGI_FORMAT_R8_TYPELESS, GL_R8, GL_RED, GL_UNSIGNED_BYTE, 1, false, false, false, true},
    {DXGI_FORMAT_R8_UNORM, GL_R8, GL_RED, GL_UNSIGNED_BYTE, 1, false, false, false, false},
    {DXGI_FORMAT_R8_UINT, GL_R8UI, GL_RED_INTEGER, GL_UNSIGNED_BYTE, 1, false, false, true, false},
    {DXGI_FORMAT_R8_SNORM, GL_R8_SNORM, GL_RED, GL_BYTE, 1, false, false, false, false},
    {DXGI_FORMAT_R8_SINT, GL_R8I, GL_RED_INTEGER, GL_BYTE, 1, false, false, true, false},
};

}  // namespace

const FormatInfo* FindFormat(DXGI_FORMAT format)
{
    for (const FormatInfo& f : kFormats)
        if (f.dxgi == format)
            return &f;
    return nullptr;
}

GLenum StorageFormat(const FormatInfo& f, UINT bindFlags)
{
    if (bindFlags & D3D11_BIND_DEPTH_STENCIL) {
        switch (f.dxgi) {
        case DXGI_FORMAT_R32_TYPELESS:
        case DXGI_FORMAT_R32_FLOAT: return GL_DEPTH_COMPONENT32F;
        case DXGI_FORMAT_R16_TYPELESS:
        case DXGI_FORMAT_R16_UNORM: return GL_DEPTH_COMPONENT16;
        default: break;
        }
    }
    return f.internal;
}

bool IsDepthStorage(GLenum storage)
{
    return storage == GL_DEPTH_COMPONENT32F || storage == GL_DEPTH_COMPONENT16 || storage == GL_DEPTH24_STENCIL8 ||
           storage == GL_DEPTH_COMPONENT24 || storage == GL_DEPTH32F_STENCIL8;
}

GLenum ViewFormat(const FormatInfo& view, GLenum storage)
{
    // Depth textures are read in their own format (depth in the first channel).
    if (IsDepthStorage(storage))
        return storage;
    return view.internal;
}

}  // namespace gfx
