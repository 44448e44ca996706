#pragma once
// Inside the gfx layer: buffers and 2D textures, the GL objects behind the device's resources.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/gfx/gl/core.h"
#include "platform/gfx/gl/formats.h"

namespace gfx {

class BufferImpl final : public Child<ID3D11Buffer> {
public:
    BufferImpl(std::shared_ptr<Core> core, const D3D11_BUFFER_DESC& desc, const D3D11_SUBRESOURCE_DATA* init);
    ~BufferImpl() override;
    void GetType(D3D11_RESOURCE_DIMENSION* d) override { *d = D3D11_RESOURCE_DIMENSION_BUFFER; }
    void GetDesc(D3D11_BUFFER_DESC* d) override { *d = desc; }
    bool Matches(REFIID riid) override { return riid == IID_ID3D11Buffer || riid == IID_ID3D11Resource; }
    // Constant buffers: the bytes changed; takes a new version when they differ.
    void CommitConstants(const std::uint8_t* bytes);

    D3D11_BUFFER_DESC desc;
    GLuint gl = 0;                  // none for constant and staging buffers
    std::vector<std::uint8_t> cpu;  // contents of constant and staging buffers; shadow of dynamic ones
    std::vector<std::uint8_t> mapArea;
    std::uint64_t version = 0;  // constant buffers: changes with the bytes
    std::uint64_t id = 0;       // never reused, unlike GL names
    bool mapped = false;
};

class TextureImpl final : public Child<ID3D11Texture2D> {
public:
    TextureImpl(std::shared_ptr<Core> core, const D3D11_TEXTURE2D_DESC& desc, const D3D11_SUBRESOURCE_DATA* init,
                HRESULT& hr);
    ~TextureImpl() override;
    void GetType(D3D11_RESOURCE_DIMENSION* d) override { *d = D3D11_RESOURCE_DIMENSION_TEXTURE2D; }
    void GetDesc(D3D11_TEXTURE2D_DESC* d) override { *d = desc; }
    bool Matches(REFIID riid) override { return riid == IID_ID3D11Texture2D || riid == IID_ID3D11Resource; }
    UINT LevelWidth(UINT level) const { return std::max(1u, desc.Width >> level); }
    UINT LevelHeight(UINT level) const { return std::max(1u, desc.Height >> level); }
    UINT SubresourceCount() const { return desc.MipLevels * desc.ArraySize; }
    void Upload(UINT subresource, const D3D11_BOX* box, const void* data, UINT rowPitch);
    // Staging: the texel rows of every subresource, tightly packed.
    void ReadBack(TextureImpl& source);

    D3D11_TEXTURE2D_DESC desc;
    const FormatInfo* fmt = nullptr;
    GLenum target = GL_TEXTURE_2D;
    GLenum storage = 0;
    GLuint gl = 0;                               // none for staging textures
    std::vector<std::vector<std::uint8_t>> cpu;  // staging and dynamic: one per subresource
    std::uint64_t id = 0;
};

// Either resource behind an ID3D11Resource of this layer.
BufferImpl* AsBuffer(ID3D11Resource* r);
TextureImpl* AsTexture(ID3D11Resource* r);

// first..first+count-1 lies in 0..total-1 and is not empty, without overflowing on callers' values.
inline bool Within(UINT first, UINT count, UINT total)
{
    return count != 0 && first < total && count <= total - first;
}

// glGetError reports the oldest error: drop any left from before a checked call.
inline void ClearGlErrors()
{
    for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
    }
}

}  // namespace gfx
