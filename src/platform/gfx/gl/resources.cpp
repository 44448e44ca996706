// Buffers and 2D textures.
#include <algorithm>
#include <cstring>

#include "platform/gfx/gl/device.h"

namespace gfx {

BufferImpl* AsBuffer(ID3D11Resource* r)
{
    if (!r)
        return nullptr;
    D3D11_RESOURCE_DIMENSION d;
    r->GetType(&d);
    return d == D3D11_RESOURCE_DIMENSION_BUFFER ? static_cast<BufferImpl*>(static_cast<ID3D11Buffer*>(r)) : nullptr;
}

TextureImpl* AsTexture(ID3D11Resource* r)
{
    if (!r)
        return nullptr;
    D3D11_RESOURCE_DIMENSION d;
    r->GetType(&d);
    return d == D3D11_RESOURCE_DIMENSION_TEXTURE2D ? static_cast<TextureImpl*>(static_cast<ID3D11Texture2D*>(r))
                                                   : nullptr;
}

// ---- buffers ----------------------------------------------------------------------

BufferImpl::BufferImpl(std::shared_ptr<Core> c, const D3D11_BUFFER_DESC& d, const D3D11_SUBRESOURCE_DATA* init)
    : Child(std::move(c)), desc(d)
{
    const void* data = init ? init->pSysMem : nullptr;
    bool cpuOnly = (desc.BindFlags & D3D11_BIND_CONSTANT_BUFFER) || desc.Usage == D3D11_USAGE_STAGING;
    if (cpuOnly || desc.Usage == D3D11_USAGE_DYNAMIC) {
        cpu.assign(desc.ByteWidth, 0);
        if (data)
            std::memcpy(cpu.data(), data, desc.ByteWidth);
    }
    version = core_->NextVersion();
    id = core_->NextId();
    if (cpuOnly)
        return;
    core_->MakeCurrent();
    glCreateBuffers(1, &gl);
    if (desc.Usage == D3D11_USAGE_DYNAMIC)
        glNamedBufferData(gl, desc.ByteWidth, data ? data : cpu.data(), GL_DYNAMIC_DRAW);
    else
        glNamedBufferStorage(gl, desc.ByteWidth, data,
                             desc.Usage == D3D11_USAGE_IMMUTABLE ? 0 : GL_DYNAMIC_STORAGE_BIT);
}

BufferImpl::~BufferImpl()
{
    if (!gl)
        return;
    core_->MakeCurrent();
    glDeleteBuffers(1, &gl);
}

void BufferImpl::CommitConstants(const std::uint8_t* bytes)
{
    if (std::memcmp(cpu.data(), bytes, cpu.size()) == 0)
        return;
    std::memcpy(cpu.data(), bytes, cpu.size());
    version = core_->NextVersion();
}

HRESULT DeviceImpl::CreateBuffer(const D3D11_BUFFER_DESC* desc, const D3D11_SUBRESOURCE_DATA* init, ID3D11Buffer** out)
{
    if (out)
        *out = nullptr;
    const bool debug = core->debug;
    const char* call = "CreateBuffer";
    if (!desc)
        return Refuse(debug, call, "pDesc", "is null: a buffer needs a description");
    if (desc->ByteWidth == 0)
        return Refuse(debug, call, "pDesc->ByteWidth", "is 0: a buffer needs a size of at least 1 byte");
    if (desc->BindFlags & D3D11_BIND_CONSTANT_BUFFER) {
        if (desc->ByteWidth % 16 != 0)
            return Refuse(debug, call, "pDesc->ByteWidth",
                          "is not a multiple of 16: a constant buffer holds whole 16-byte vectors");
        if (desc->ByteWidth > D3D11_REQ_CONSTANT_BUFFER_ELEMENT_COUNT * 16)
            return Refuse(debug, call, "pDesc->ByteWidth",
                          "is over 65536: a constant buffer holds at most 4096 vectors");
        if (desc->BindFlags & ~UINT(D3D11_BIND_CONSTANT_BUFFER))
            return Refuse(debug, call, "pDesc->BindFlags",
                          "joins D3D11_BIND_CONSTANT_BUFFER with other flags: a constant buffer binds as nothing else");
    }
    if (desc->Usage == D3D11_USAGE_IMMUTABLE && (!init || !init->pSysMem))
        return Refuse(debug, call, "pInitialData", "gives no data: an immutable buffer needs its contents at creation");
    if (desc->Usage == D3D11_USAGE_STAGING && desc->BindFlags)
        return Refuse(debug, call, "pDesc->BindFlags", "is not 0: a staging buffer binds to nothing");
    if (desc->Usage == D3D11_USAGE_DYNAMIC && !(desc->CPUAccessFlags & D3D11_CPU_ACCESS_WRITE))
        return Refuse(debug, call, "pDesc->CPUAccessFlags",
                      "lacks D3D11_CPU_ACCESS_WRITE: the CPU writes a dynamic buffer");
    if (!out)
        return S_FALSE;
    *out = new BufferImpl(core, *desc, init);
    return S_OK;
}

// ---- textures ---------------------------------------------------------------------

namespace {

UINT FullMipCount(UINT w, UINT h)
{
    UINT n = 1;
    while (w > 1 || h > 1) {
        w = std::max(1u, w / 2);
        h = std::max(1u, h / 2);
        ++n;
    }
    return n;
}

// Direct3D packs D24S8 as depth in the low 24 bits; GL as depth in the high 24.
void SwapDepthStencilWords(std::uint8_t* bytes, std::size_t count, bool toGl)
{
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t v;
        std::memcpy(&v, bytes + i * 4, 4);
        v = toGl ? (v << 8) | (v >> 24) : (v >> 8) | (v << 24);
        std::memcpy(bytes + i * 4, &v, 4);
    }
}

}  // namespace

TextureImpl::TextureImpl(std::shared_ptr<Core> c, const D3D11_TEXTURE2D_DESC& d, const D3D11_SUBRESOURCE_DATA* init,
                         HRESULT& hr)
    : Child(std::move(c)), desc(d)
{
    hr = S_OK;
    fmt = FindFormat(desc.Format);
    if (desc.MipLevels == 0)
        desc.MipLevels = FullMipCount(desc.Width, desc.Height);
    id = core_->NextId();
    storage = StorageFormat(*fmt, desc.BindFlags);
    bool ms = desc.SampleDesc.Count > 1;
    target = ms ? (desc.ArraySize > 1 ? GL_TEXTURE_2D_MULTISAMPLE_ARRAY : GL_TEXTURE_2D_MULTISAMPLE)
                : (desc.ArraySize > 1 ? GL_TEXTURE_2D_ARRAY : GL_TEXTURE_2D);
    if (desc.Usage == D3D11_USAGE_STAGING || desc.Usage == D3D11_USAGE_DYNAMIC) {
        cpu.resize(SubresourceCount());
        for (UINT s = 0; s < SubresourceCount(); ++s) {
            UINT level = s % desc.MipLevels;
            cpu[s].assign(std::size_t(LevelWidth(level)) * LevelHeight(level) * fmt->bytes, 0);
            if (init && init[s].pSysMem)
                for (UINT y = 0; y < LevelHeight(level); ++y)
                    std::memcpy(cpu[s].data() + std::size_t(y) * LevelWidth(level) * fmt->bytes,
                                static_cast<const std::uint8_t*>(init[s].pSysMem) +
                                    std::size_t(y) * init[s].SysMemPitch,
                                std::size_t(LevelWidth(level)) * fmt->bytes);
        }
        if (desc.Usage == D3D11_USAGE_STAGING)
            return;
    }
    core_->MakeCurrent();
    ClearGlErrors();
    glCreateTextures(target, 1, &gl);
    switch (target) {
    case GL_TEXTURE_2D: glTextureStorage2D(gl, GLsizei(desc.MipLevels), storage, desc.Width, desc.Height); break;
    case GL_TEXTURE_2D_ARRAY:
        glTextureStorage3D(gl, GLsizei(desc.MipLevels), storage, desc.Width, desc.Height, desc.ArraySize);
        break;
    case GL_TEXTURE_2D_MULTISAMPLE:
        glTextureStorage2DMultisample(gl, GLsizei(desc.SampleDesc.Count), storage, desc.Width, desc.Height, GL_TRUE);
        break;
    default:
        glTextureStorage3DMultisample(gl, GLsizei(desc.SampleDesc.Count), storage, desc.Width, desc.Height,
                                      desc.ArraySize, GL_TRUE);
        break;
    }
    GLenum error = glGetError();
    if (error != GL_NO_ERROR) {
        hr = error == GL_OUT_OF_MEMORY
                 ? E_OUTOFMEMORY
                 : Refuse(core_->debug, "CreateTexture2D", "pDesc", "describes a texture the driver refused to store");
        return;
    }
    if (init && !ms)
        for (UINT s = 0; s < SubresourceCount(); ++s)
            if (init[s].pSysMem)
                Upload(s, nullptr, init[s].pSysMem, init[s].SysMemPitch);
}

TextureImpl::~TextureImpl()
{
    if (!gl)
        return;
    core_->MakeCurrent();
    core_->cache.ForgetTexture(gl);
    glDeleteTextures(1, &gl);
}

void TextureImpl::Upload(UINT subresource, const D3D11_BOX* box, const void* data, UINT rowPitch)
{
    if (!gl || subresource >= SubresourceCount())
        return;
    UINT level = subresource % desc.MipLevels;
    UINT slice = subresource / desc.MipLevels;
    UINT x = box ? box->left : 0, y = box ? box->top : 0;
    UINT w = box ? box->right - box->left : LevelWidth(level);
    UINT h = box ? box->bottom - box->top : LevelHeight(level);
    // An inverted box wraps to a huge size, which Within refuses.
    if (!Within(x, w, LevelWidth(level)) || !Within(y, h, LevelHeight(level)))
        return;
    core_->MakeCurrent();
    std::vector<std::uint8_t> converted;
    const std::uint8_t* bytes = static_cast<const std::uint8_t*>(data);
    UINT pitch = rowPitch ? rowPitch : w * fmt->bytes;
    if (fmt->depth && fmt->stencil) {
        converted.resize(std::size_t(w) * h * 4);
        for (UINT r = 0; r < h; ++r)
            std::memcpy(converted.data() + std::size_t(r) * w * 4, bytes + std::size_t(r) * pitch, w * 4);
        SwapDepthStencilWords(converted.data(), std::size_t(w) * h, true);
        bytes = converted.data();
        pitch = w * 4;
    }
    core_->cache.PixelStore(GL_UNPACK_ROW_LENGTH, pitch % fmt->bytes == 0 ? GLint(pitch / fmt->bytes) : 0);
    if (target == GL_TEXTURE_2D_ARRAY)
        glTextureSubImage3D(gl, GLint(level), GLint(x), GLint(y), GLint(slice), GLsizei(w), GLsizei(h), 1, fmt->format,
                            fmt->type, bytes);
    else
        glTextureSubImage2D(gl, GLint(level), GLint(x), GLint(y), GLsizei(w), GLsizei(h), fmt->format, fmt->type,
                            bytes);
    core_->cache.PixelStore(GL_UNPACK_ROW_LENGTH, 0);
}

void TextureImpl::ReadBack(TextureImpl& source)
{
    if (!source.gl || source.desc.SampleDesc.Count > 1)
        return;
    core_->MakeCurrent();
    for (UINT s = 0; s < SubresourceCount() && s < source.SubresourceCount(); ++s) {
        UINT level = s % desc.MipLevels;
        UINT slice = s / desc.MipLevels;
        std::vector<std::uint8_t>& out = cpu[s];
        glGetTextureSubImage(source.gl, GLint(level), 0, 0, GLint(slice), GLsizei(LevelWidth(level)),
                             GLsizei(LevelHeight(level)), 1, fmt->format, fmt->type, GLsizei(out.size()), out.data());
        if (fmt->depth && fmt->stencil)
            SwapDepthStencilWords(out.data(), out.size() / 4, false);
    }
}

HRESULT DeviceImpl::CreateTexture2D(const D3D11_TEXTURE2D_DESC* desc, const D3D11_SUBRESOURCE_DATA* init,
                                    ID3D11Texture2D** out)
{
    if (out)
        *out = nullptr;
    const bool debug = core->debug;
    const char* call = "CreateTexture2D";
    if (!desc)
        return Refuse(debug, call, "pDesc", "is null: a texture needs a description");
    if (desc->Width == 0)
        return Refuse(debug, call, "pDesc->Width", "is 0: a texture needs a size of at least 1");
    if (desc->Height == 0)
        return Refuse(debug, call, "pDesc->Height", "is 0: a texture needs a size of at least 1");
    if (desc->ArraySize == 0)
        return Refuse(debug, call, "pDesc->ArraySize", "is 0: a texture needs at least 1 slice");
    if (desc->SampleDesc.Count == 0)
        return Refuse(debug, call, "pDesc->SampleDesc.Count", "is 0: a texture needs at least 1 sample");
    const FormatInfo* f = FindFormat(desc->Format);
    if (!f)
        return Refuse(debug, call, "pDesc->Format", "is not a format this layer knows");
    if (desc->MiscFlags & D3D11_RESOURCE_MISC_TEXTURECUBE)
        return Refuse(debug, call, "pDesc->MiscFlags",
                      "has D3D11_RESOURCE_MISC_TEXTURECUBE: this layer makes no cube textures");
    if (desc->Width > 16384)
        return Refuse(debug, call, "pDesc->Width", "is over 16384, the largest texture size");
    if (desc->Height > 16384)
        return Refuse(debug, call, "pDesc->Height", "is over 16384, the largest texture size");
    if (desc->ArraySize > 2048)
        return Refuse(debug, call, "pDesc->ArraySize", "is over 2048, the most slices a texture holds");
    if (desc->MipLevels > FullMipCount(desc->Width, desc->Height))
        return Refuse(debug, call, "pDesc->MipLevels", "is more than the full mip chain of the texture's size");
    if (desc->SampleDesc.Count > 1 && desc->MipLevels > 1)
        return Refuse(debug, call, "pDesc->MipLevels", "is over 1: a multisampled texture has one level");
    if (desc->SampleDesc.Count > 1 && init)
        return Refuse(debug, call, "pInitialData", "is not null: a multisampled texture starts without contents");
    if (desc->Usage == D3D11_USAGE_IMMUTABLE && (!init || !init->pSysMem))
        return Refuse(debug, call, "pInitialData",
                      "gives no data: an immutable texture needs its contents at creation");
    if (desc->Usage == D3D11_USAGE_STAGING && desc->BindFlags)
        return Refuse(debug, call, "pDesc->BindFlags", "is not 0: a staging texture binds to nothing");
    if ((desc->BindFlags & D3D11_BIND_DEPTH_STENCIL) && !f->depth && !f->typeless)
        return Refuse(debug, call, "pDesc->BindFlags",
                      "has D3D11_BIND_DEPTH_STENCIL with a colour format: depth-stencil takes a depth format");
    if (!out)
        return S_FALSE;
    HRESULT hr;
    auto* texture = new TextureImpl(core, *desc, init, hr);
    if (FAILED(hr)) {
        texture->Release();
        return hr;
    }
    *out = texture;
    return S_OK;
}

}  // namespace gfx
