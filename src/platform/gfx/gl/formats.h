#pragma once
// Inside the gfx layer: DXGI formats as GL formats.
#include <epoxy/gl.h>

#include <cstdint>

#include "platform/gfx/d3d11.h"

namespace gfx {

struct FormatInfo {
    DXGI_FORMAT dxgi;
    GLenum internal;  // texture storage (typeless: a member of the family)
    GLenum format;    // pixel transfer
    GLenum type;
    std::uint32_t bytes;  // per texel
    bool depth;
    bool stencil;
    bool integer;
    bool typeless;
};
// Null for formats this layer does not know.
const FormatInfo* FindFormat(DXGI_FORMAT format);
// The storage format of a texture: typeless depth families become depth formats
// when the texture is bound as depth-stencil.
GLenum StorageFormat(const FormatInfo& f, UINT bindFlags);
// The format a view of `view` reads a texture stored as `storage` with.
GLenum ViewFormat(const FormatInfo& view, GLenum storage);
bool IsDepthStorage(GLenum storage);

}  // namespace gfx
