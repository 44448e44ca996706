// Buffers, 2D textures, their views, and the state objects.
#include <algorithm>
#include <cstring>
#include <type_traits>

#include "platform/gfx/gl/device_impl.h"

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

namespace {
// first..first+count-1 lies in 0..total-1 and is not empty, without overflowing on callers' values.
bool Within(UINT first, UINT count, UINT total)
{
    return count != 0 && first < total && count <= total - first;
}
// A count of -1 (all the rest) resolved against what is left after first.
UINT Rest(UINT first, UINT count, UINT total)
{
    return count == UINT(-1) ? total - std::min(first, total) : count;
}

// glGetError reports the oldest error: drop any left from before a checked call.
void ClearGlErrors()
{
    for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
    }
}
}  // namespace

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
    if (!desc || desc->ByteWidth == 0)
        return E_INVALIDARG;
    if ((desc->BindFlags & D3D11_BIND_CONSTANT_BUFFER) &&
        (desc->ByteWidth % 16 != 0 || desc->ByteWidth > D3D11_REQ_CONSTANT_BUFFER_ELEMENT_COUNT * 16 ||
         (desc->BindFlags & ~UINT(D3D11_BIND_CONSTANT_BUFFER))))
        return E_INVALIDARG;
    if (desc->Usage == D3D11_USAGE_IMMUTABLE && (!init || !init->pSysMem))
        return E_INVALIDARG;
    if (desc->Usage == D3D11_USAGE_STAGING && desc->BindFlags)
        return E_INVALIDARG;
    if (desc->Usage == D3D11_USAGE_DYNAMIC && !(desc->CPUAccessFlags & D3D11_CPU_ACCESS_WRITE))
        return E_INVALIDARG;
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
        hr = error == GL_OUT_OF_MEMORY ? E_OUTOFMEMORY : E_INVALIDARG;
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
    if (!desc || desc->Width == 0 || desc->Height == 0 || desc->ArraySize == 0 || desc->SampleDesc.Count == 0)
        return E_INVALIDARG;
    const FormatInfo* f = FindFormat(desc->Format);
    if (!f || (desc->MiscFlags & D3D11_RESOURCE_MISC_TEXTURECUBE))
        return E_INVALIDARG;
    if (desc->Width > 16384 || desc->Height > 16384 || desc->ArraySize > 2048)
        return E_INVALIDARG;
    if (desc->MipLevels > FullMipCount(desc->Width, desc->Height))
        return E_INVALIDARG;
    if (desc->SampleDesc.Count > 1 && (desc->MipLevels > 1 || init))
        return E_INVALIDARG;
    if (desc->Usage == D3D11_USAGE_IMMUTABLE && (!init || !init->pSysMem))
        return E_INVALIDARG;
    if (desc->Usage == D3D11_USAGE_STAGING && desc->BindFlags)
        return E_INVALIDARG;
    if ((desc->BindFlags & D3D11_BIND_DEPTH_STENCIL) && !f->depth && !f->typeless)
        return E_INVALIDARG;
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

// ---- views ------------------------------------------------------------------------

namespace {

bool IsArray(const TextureImpl& t)
{
    return t.target == GL_TEXTURE_2D_ARRAY || t.target == GL_TEXTURE_2D_MULTISAMPLE_ARRAY;
}
bool IsMs(const TextureImpl& t)
{
    return t.desc.SampleDesc.Count > 1;
}

// A view texture over part of a texture, or the texture itself when it is all of it.
GLuint ViewOf(TextureImpl& t, GLenum viewTarget, GLenum format, UINT firstLevel, UINT levels, UINT firstLayer,
              UINT layers, bool& owns)
{
    owns = false;
    if (viewTarget == t.target && format == t.storage && firstLevel == 0 && levels == t.desc.MipLevels &&
        firstLayer == 0 && layers == t.desc.ArraySize)
        return t.gl;
    GLuint v = 0;
    ClearGlErrors();
    glGenTextures(1, &v);
    glTextureView(v, viewTarget, t.gl, format, firstLevel, levels, firstLayer, layers);
    if (glGetError() != GL_NO_ERROR) {
        glDeleteTextures(1, &v);
        return 0;
    }
    owns = true;
    return v;
}

// A new view of resource, holding a reference to it.
template <class View, class Desc>
View* NewView(const std::shared_ptr<Core>& core, ID3D11Resource* resource, const Desc& d)
{
    auto* v = new View(core);
    v->resource = resource;
    resource->AddRef();
    v->desc = d;
    return v;
}

// The byte range of numElements elements of f from firstElement, if it lies inside b and is not empty.
bool BufferRange(const BufferImpl& b, const FormatInfo& f, UINT firstElement, UINT numElements, GLintptr& first,
                 GLsizeiptr& size)
{
    std::uint64_t begin = std::uint64_t(firstElement) * f.bytes;
    std::uint64_t bytes = std::uint64_t(numElements) * f.bytes;
    if (bytes == 0 || begin + bytes > b.desc.ByteWidth)
        return false;
    first = GLintptr(begin);
    size = GLsizeiptr(bytes);
    return true;
}

// A typed view of a buffer's bytes: a buffer texture.
GLuint BufferTexture(const BufferImpl& b, const FormatInfo& f, GLintptr first, GLsizeiptr size)
{
    GLuint texture = 0;
    glCreateTextures(GL_TEXTURE_BUFFER, 1, &texture);
    glTextureBufferRange(texture, f.internal, b.gl, first, size);
    return texture;
}

// A shader-resource or unordered-access view of a buffer bound as bind: a buffer texture
// over the elements pDesc names. made is the new view (in *out too), null where none is made.
template <class View, class Desc, class Dim, class Interface>
HRESULT NewBufferView(const std::shared_ptr<Core>& core, BufferImpl& b, const Desc* pDesc, Dim dimension, UINT bind,
                      Interface** out, View*& made)
{
    made = nullptr;
    const FormatInfo* f = pDesc ? FindFormat(pDesc->Format) : nullptr;
    if (!pDesc || pDesc->ViewDimension != dimension || !f || f->depth || !b.gl || !(b.desc.BindFlags & bind))
        return E_INVALIDARG;
    GLintptr first = 0;
    GLsizeiptr size = 0;
    if (!BufferRange(b, *f, pDesc->Buffer.FirstElement, pDesc->Buffer.NumElements, first, size))
        return E_INVALIDARG;
    if (!out)
        return S_FALSE;
    made = NewView<View>(core, &b, *pDesc);
    made->texture = BufferTexture(b, *f, first, size);
    made->ownsTexture = true;
    *out = made;
    return S_OK;
}

}  // namespace

SrvImpl::~SrvImpl()
{
    core_->MakeCurrent();
    if (ownsTexture) {
        core_->cache.ForgetTexture(texture);
        glDeleteTextures(1, &texture);
    }
}

HRESULT DeviceImpl::CreateShaderResourceView(ID3D11Resource* resource, const D3D11_SHADER_RESOURCE_VIEW_DESC* pDesc,
                                             ID3D11ShaderResourceView** out)
{
    if (out)
        *out = nullptr;
    core->MakeCurrent();
    if (BufferImpl* b = AsBuffer(resource)) {
        SrvImpl* v = nullptr;
        HRESULT hr = NewBufferView(core, *b, pDesc, D3D11_SRV_DIMENSION_BUFFER, D3D11_BIND_SHADER_RESOURCE, out, v);
        if (v)
            v->target = GL_TEXTURE_BUFFER;
        return hr;
    }
    TextureImpl* t = AsTexture(resource);
    if (!t || !t->gl || !(t->desc.BindFlags & D3D11_BIND_SHADER_RESOURCE))
        return E_INVALIDARG;
    D3D11_SHADER_RESOURCE_VIEW_DESC d{};
    if (pDesc) {
        d = *pDesc;
    } else {
        if (t->fmt->typeless)
            return E_INVALIDARG;
        d.Format = t->desc.Format;
        if (IsMs(*t)) {
            d.ViewDimension = IsArray(*t) ? D3D11_SRV_DIMENSION_TEXTURE2DMSARRAY : D3D11_SRV_DIMENSION_TEXTURE2DMS;
            d.Texture2DMSArray = {0, t->desc.ArraySize};
        } else if (IsArray(*t)) {
            d.ViewDimension = D3D11_SRV_DIMENSION_TEXTURE2DARRAY;
            d.Texture2DArray = {0, t->desc.MipLevels, 0, t->desc.ArraySize};
        } else {
            d.ViewDimension = D3D11_SRV_DIMENSION_TEXTURE2D;
            d.Texture2D = {0, t->desc.MipLevels};
        }
    }
    const FormatInfo* f = FindFormat(d.Format);
    if (!f || f->typeless)
        return E_INVALIDARG;
    UINT firstLevel = 0, levels = 1, firstLayer = 0, layers = 1;
    GLenum viewTarget = 0;
    switch (d.ViewDimension) {
    case D3D11_SRV_DIMENSION_TEXTURE2D:
        viewTarget = GL_TEXTURE_2D;
        firstLevel = d.Texture2D.MostDetailedMip;
        levels = d.Texture2D.MipLevels;
        break;
    case D3D11_SRV_DIMENSION_TEXTURE2DARRAY:
        viewTarget = GL_TEXTURE_2D_ARRAY;
        firstLevel = d.Texture2DArray.MostDetailedMip;
        levels = d.Texture2DArray.MipLevels;
        firstLayer = d.Texture2DArray.FirstArraySlice;
        layers = d.Texture2DArray.ArraySize;
        break;
    case D3D11_SRV_DIMENSION_TEXTURE2DMS: viewTarget = GL_TEXTURE_2D_MULTISAMPLE; break;
    case D3D11_SRV_DIMENSION_TEXTURE2DMSARRAY:
        viewTarget = GL_TEXTURE_2D_MULTISAMPLE_ARRAY;
        firstLayer = d.Texture2DMSArray.FirstArraySlice;
        layers = d.Texture2DMSArray.ArraySize;
        break;
    default: return E_INVALIDARG;
    }
    bool msView = viewTarget == GL_TEXTURE_2D_MULTISAMPLE || viewTarget == GL_TEXTURE_2D_MULTISAMPLE_ARRAY;
    if (msView != IsMs(*t))
        return E_INVALIDARG;
    levels = Rest(firstLevel, levels, t->desc.MipLevels);
    layers = Rest(firstLayer, layers, t->desc.ArraySize);
    if (!Within(firstLevel, levels, t->desc.MipLevels) || !Within(firstLayer, layers, t->desc.ArraySize))
        return E_INVALIDARG;
    if (!out)
        return S_FALSE;
    // Report what the view covers, as the runtime does.
    if (d.ViewDimension == D3D11_SRV_DIMENSION_TEXTURE2D)
        d.Texture2D.MipLevels = levels;
    if (d.ViewDimension == D3D11_SRV_DIMENSION_TEXTURE2DARRAY) {
        d.Texture2DArray.MipLevels = levels;
        d.Texture2DArray.ArraySize = layers;
    }
    bool owns = false;
    GLuint tex = ViewOf(*t, viewTarget, ViewFormat(*f, t->storage), firstLevel, levels, firstLayer, layers, owns);
    if (!tex)
        return E_INVALIDARG;
    auto* v = NewView<SrvImpl>(core, resource, d);
    v->texture = tex;
    v->target = viewTarget;
    v->ownsTexture = owns;
    if (d.Format == DXGI_FORMAT_X24_TYPELESS_G8_UINT && owns)
        glTextureParameteri(tex, GL_DEPTH_STENCIL_TEXTURE_MODE, GL_STENCIL_INDEX);
    *out = v;
    return S_OK;
}

void RtvImpl::AttachLinear(GLuint fbo, GLenum attachment)
{
    if (!linearTexture) {
        glGenTextures(1, &linearTexture);
        glTextureView(linearTexture, attachTarget, attachTexture, GL_RGBA8, 0, attachLevels, 0, attachLayers);
    }
    AttachAt(fbo, attachment, linearTexture);
}

namespace {

// Level and slice range of a render-target or depth view, from its dimension.
struct Range {
    UINT level = 0;
    UINT firstLayer = 0;
    UINT layers = 1;
    bool array = false;
    bool ms = false;
};

template <class V>
bool SetAttachment(V& v, TextureImpl& t, const Range& r, GLenum format)
{
    if (r.ms != IsMs(t) || r.level >= t.desc.MipLevels || !Within(r.firstLayer, r.layers, t.desc.ArraySize))
        return false;
    v.texture = &t;
    v.level = GLint(r.level);
    v.attachTarget = t.target;
    v.attachLevels = t.desc.MipLevels;
    v.attachLayers = t.desc.ArraySize;
    if (format == t.storage) {
        v.attachTexture = t.gl;
        if (IsArray(t) && r.layers == 1)
            v.layer = GLint(r.firstLayer);
        else if (IsArray(t) && r.layers != t.desc.ArraySize) {
            bool owns = false;
            v.attachTexture = ViewOf(t, t.target, format, r.level, 1, r.firstLayer, r.layers, owns);
            v.ownsTexture = owns;
            v.level = 0;
            v.attachLevels = 1;
            v.attachLayers = r.layers;
        }
    } else {
        // Another format of the family (an sRGB view of a UNORM texture, a typeless one's members).
        GLenum viewTarget = r.layers == 1 && !r.array ? (r.ms ? GL_TEXTURE_2D_MULTISAMPLE : GL_TEXTURE_2D)
                                                      : (r.ms ? GL_TEXTURE_2D_MULTISAMPLE_ARRAY : GL_TEXTURE_2D_ARRAY);
        if (r.layers == 1)
            viewTarget = r.ms ? GL_TEXTURE_2D_MULTISAMPLE : GL_TEXTURE_2D;
        bool owns = false;
        v.attachTexture = ViewOf(t, viewTarget, format, r.level, 1, r.firstLayer, r.layers, owns);
        v.ownsTexture = owns;
        v.level = 0;
        if (owns) {
            v.attachTarget = viewTarget;
            v.attachLevels = 1;
            v.attachLayers = r.layers;
        }
    }
    return v.attachTexture != 0;
}

}  // namespace

namespace {

// The view dimensions of one kind of attachment view.
template <class Dim>
struct AttachDimensions {
    Dim tex2d, array, ms, msArray;
};
constexpr AttachDimensions<D3D11_RTV_DIMENSION> kRtvDimensions{
    D3D11_RTV_DIMENSION_TEXTURE2D, D3D11_RTV_DIMENSION_TEXTURE2DARRAY, D3D11_RTV_DIMENSION_TEXTURE2DMS,
    D3D11_RTV_DIMENSION_TEXTURE2DMSARRAY};
constexpr AttachDimensions<D3D11_DSV_DIMENSION> kDsvDimensions{
    D3D11_DSV_DIMENSION_TEXTURE2D, D3D11_DSV_DIMENSION_TEXTURE2DARRAY, D3D11_DSV_DIMENSION_TEXTURE2DMS,
    D3D11_DSV_DIMENSION_TEXTURE2DMSARRAY};

// The caller's desc, or without one the whole of level 0 in the texture's own format;
// and the level and slices it names. False where the runtime refuses the view.
template <class Desc, class Dim>
bool AttachDesc(const TextureImpl& t, const Desc* pDesc, const AttachDimensions<Dim>& dims, Desc& d, Range& r)
{
    d = {};
    if (pDesc) {
        d = *pDesc;
    } else {
        if (t.fmt->typeless)
            return false;
        d.Format = t.desc.Format;
        if (IsMs(t)) {
            d.ViewDimension = IsArray(t) ? dims.msArray : dims.ms;
            d.Texture2DMSArray = {0, t.desc.ArraySize};
        } else if (IsArray(t)) {
            d.ViewDimension = dims.array;
            d.Texture2DArray = {0, 0, t.desc.ArraySize};
        } else {
            d.ViewDimension = dims.tex2d;
            d.Texture2D = {0};
        }
    }
    r = {};
    if (d.ViewDimension == dims.tex2d)
        r.level = d.Texture2D.MipSlice;
    else if (d.ViewDimension == dims.array)
        r = {d.Texture2DArray.MipSlice, d.Texture2DArray.FirstArraySlice, d.Texture2DArray.ArraySize, true, false};
    else if (d.ViewDimension == dims.ms)
        r.ms = true;
    else if (d.ViewDimension == dims.msArray)
        r = {0, d.Texture2DMSArray.FirstArraySlice, d.Texture2DMSArray.ArraySize, true, true};
    else
        return false;
    r.layers = Rest(r.firstLayer, r.layers, t.desc.ArraySize);
    return true;
}

// A render-target (depth false) or depth view of resource, a texture bound as bind: the desc
// completed as the runtime does, checked, and the texture attached through a new view.
template <class View, class Desc, class Dim, class Interface>
HRESULT NewAttachView(const std::shared_ptr<Core>& core, ID3D11Resource* resource, const Desc* pDesc,
                      const AttachDimensions<Dim>& dims, UINT bind, bool depth, Interface** out)
{
    if (out)
        *out = nullptr;
    TextureImpl* t = AsTexture(resource);
    if (!t || !t->gl || !(t->desc.BindFlags & bind))
        return E_INVALIDARG;
    Desc d;
    Range r;
    if (!AttachDesc(*t, pDesc, dims, d, r))
        return E_INVALIDARG;
    const FormatInfo* f = FindFormat(d.Format);
    if (!f || f->typeless || f->depth != depth)
        return E_INVALIDARG;
    if (!out)
        return S_FALSE;
    core->MakeCurrent();
    auto* v = NewView<View>(core, resource, d);
    v->id = core->NextId();
    if (!SetAttachment(*v, *t, r, depth ? t->storage : f->internal)) {
        v->Release();
        return E_INVALIDARG;
    }
    if constexpr (std::is_same_v<View, RtvImpl>)
        v->fmt = f;
    *out = v;
    return S_OK;
}

}  // namespace

HRESULT DeviceImpl::CreateRenderTargetView(ID3D11Resource* resource, const D3D11_RENDER_TARGET_VIEW_DESC* pDesc,
                                           ID3D11RenderTargetView** out)
{
    return NewAttachView<RtvImpl>(core, resource, pDesc, kRtvDimensions, D3D11_BIND_RENDER_TARGET, false, out);
}

HRESULT DeviceImpl::CreateDepthStencilView(ID3D11Resource* resource, const D3D11_DEPTH_STENCIL_VIEW_DESC* pDesc,
                                           ID3D11DepthStencilView** out)
{
    return NewAttachView<DsvImpl>(core, resource, pDesc, kDsvDimensions, D3D11_BIND_DEPTH_STENCIL, true, out);
}

UavImpl::~UavImpl()
{
    core_->MakeCurrent();
    if (clearFbo)
        glDeleteFramebuffers(1, &clearFbo);
    if (ownsTexture) {
        core_->cache.ForgetTexture(texture);
        glDeleteTextures(1, &texture);
    }
}

namespace {
// Image units take no sRGB formats; the bytes are the same.
GLenum ImageFormat(GLenum internal)
{
    return internal == GL_SRGB8_ALPHA8 ? GL_RGBA8 : internal;
}
}  // namespace

HRESULT DeviceImpl::CreateUnorderedAccessView(ID3D11Resource* resource, const D3D11_UNORDERED_ACCESS_VIEW_DESC* pDesc,
                                              ID3D11UnorderedAccessView** out)
{
    if (out)
        *out = nullptr;
    core->MakeCurrent();
    if (BufferImpl* b = AsBuffer(resource)) {
        UavImpl* v = nullptr;
        HRESULT hr = NewBufferView(core, *b, pDesc, D3D11_UAV_DIMENSION_BUFFER, D3D11_BIND_UNORDERED_ACCESS, out, v);
        if (v) {
            v->fmt = FindFormat(pDesc->Format);
            v->format = v->fmt->internal;
        }
        return hr;
    }
    TextureImpl* t = AsTexture(resource);
    if (!t || !t->gl || IsMs(*t) || !(t->desc.BindFlags & D3D11_BIND_UNORDERED_ACCESS))
        return E_INVALIDARG;
    D3D11_UNORDERED_ACCESS_VIEW_DESC d{};
    if (pDesc) {
        d = *pDesc;
    } else {
        if (t->fmt->typeless)
            return E_INVALIDARG;
        d.Format = t->desc.Format;
        if (IsArray(*t)) {
            d.ViewDimension = D3D11_UAV_DIMENSION_TEXTURE2DARRAY;
            d.Texture2DArray = {0, 0, t->desc.ArraySize};
        } else {
            d.ViewDimension = D3D11_UAV_DIMENSION_TEXTURE2D;
        }
    }
    const FormatInfo* f = FindFormat(d.Format);
    if (!f || f->typeless || f->depth)
        return E_INVALIDARG;
    UINT level = 0, firstLayer = 0, layers = 1;
    bool arrayView = false;
    if (d.ViewDimension == D3D11_UAV_DIMENSION_TEXTURE2D) {
        level = d.Texture2D.MipSlice;
    } else if (d.ViewDimension == D3D11_UAV_DIMENSION_TEXTURE2DARRAY) {
        level = d.Texture2DArray.MipSlice;
        firstLayer = d.Texture2DArray.FirstArraySlice;
        layers = Rest(firstLayer, d.Texture2DArray.ArraySize, t->desc.ArraySize);
        arrayView = true;
    } else {
        return E_INVALIDARG;
    }
    if (level >= t->desc.MipLevels || !Within(firstLayer, layers, t->desc.ArraySize))
        return E_INVALIDARG;
    if (!out)
        return S_FALSE;
    auto* v = NewView<UavImpl>(core, resource, d);
    v->fmt = f;
    v->level = GLint(level);
    v->format = ImageFormat(f->internal);
    if (ImageFormat(f->internal) == ImageFormat(t->storage) || !IsArray(*t)) {
        v->texture = t->gl;
        v->layered = IsArray(*t) && arrayView && layers > 1;
        v->layer = GLint(firstLayer);
        if (ImageFormat(f->internal) != ImageFormat(t->storage)) {
            bool owns = false;
            v->texture = ViewOf(*t, GL_TEXTURE_2D, f->internal, level, 1, 0, 1, owns);
            v->ownsTexture = owns;
            v->level = 0;
        }
    } else {
        bool owns = false;
        v->texture = ViewOf(*t, GL_TEXTURE_2D_ARRAY, f->internal, level, 1, firstLayer, layers, owns);
        v->ownsTexture = owns;
        v->level = 0;
        v->layered = layers > 1;
        v->layer = 0;
    }
    *out = v;
    return S_OK;
}

// ---- states -----------------------------------------------------------------------

D3D11_BLEND_DESC DefaultBlendDesc()
{
    D3D11_BLEND_DESC d{};
    for (auto& rt : d.RenderTarget)
        rt = {FALSE,           D3D11_BLEND_ONE,  D3D11_BLEND_ZERO,   D3D11_BLEND_OP_ADD,
              D3D11_BLEND_ONE, D3D11_BLEND_ZERO, D3D11_BLEND_OP_ADD, D3D11_COLOR_WRITE_ENABLE_ALL};
    return d;
}

D3D11_RASTERIZER_DESC DefaultRasterizerDesc()
{
    return {D3D11_FILL_SOLID, D3D11_CULL_BACK, FALSE, 0, 0.0f, 0.0f, TRUE, FALSE, FALSE, FALSE};
}

D3D11_DEPTH_STENCIL_DESC DefaultDepthStencilDesc()
{
    D3D11_DEPTH_STENCILOP_DESC op{D3D11_STENCIL_OP_KEEP, D3D11_STENCIL_OP_KEEP, D3D11_STENCIL_OP_KEEP,
                                  D3D11_COMPARISON_ALWAYS};
    return {TRUE, D3D11_DEPTH_WRITE_MASK_ALL, D3D11_COMPARISON_LESS, FALSE, 0xff, 0xff, op, op};
}

D3D11_SAMPLER_DESC DefaultSamplerDesc()
{
    return {D3D11_FILTER_MIN_MAG_MIP_LINEAR,
            D3D11_TEXTURE_ADDRESS_CLAMP,
            D3D11_TEXTURE_ADDRESS_CLAMP,
            D3D11_TEXTURE_ADDRESS_CLAMP,
            0.0f,
            1,
            D3D11_COMPARISON_NEVER,
            {1, 1, 1, 1},
            -D3D11_FLOAT32_MAX,
            D3D11_FLOAT32_MAX};
}

namespace {
GLenum AddressMode(D3D11_TEXTURE_ADDRESS_MODE m)
{
    switch (m) {
    case D3D11_TEXTURE_ADDRESS_WRAP: return GL_REPEAT;
    case D3D11_TEXTURE_ADDRESS_MIRROR: return GL_MIRRORED_REPEAT;
    case D3D11_TEXTURE_ADDRESS_BORDER: return GL_CLAMP_TO_BORDER;
    case D3D11_TEXTURE_ADDRESS_MIRROR_ONCE: return GL_MIRROR_CLAMP_TO_EDGE;
    default: return GL_CLAMP_TO_EDGE;
    }
}
}  // namespace

GLenum CompareFunc(D3D11_COMPARISON_FUNC f)
{
    switch (f) {
    case D3D11_COMPARISON_NEVER: return GL_NEVER;
    case D3D11_COMPARISON_LESS: return GL_LESS;
    case D3D11_COMPARISON_EQUAL: return GL_EQUAL;
    case D3D11_COMPARISON_LESS_EQUAL: return GL_LEQUAL;
    case D3D11_COMPARISON_GREATER: return GL_GREATER;
    case D3D11_COMPARISON_NOT_EQUAL: return GL_NOTEQUAL;
    case D3D11_COMPARISON_GREATER_EQUAL: return GL_GEQUAL;
    default: return GL_ALWAYS;
    }
}

void ApplySamplerDesc(GLuint s, const D3D11_SAMPLER_DESC& d)
{
    // Filter bits: mip linear 0x1, mag linear 0x4, min linear 0x10, anisotropic 0x40, comparison 0x80.
    UINT f = d.Filter;
    bool aniso = (f & 0x40) != 0;
    bool minLinear = aniso || (f & 0x10), magLinear = aniso || (f & 0x4), mipLinear = aniso || (f & 0x1);
    glSamplerParameteri(s, GL_TEXTURE_MIN_FILTER,
                        minLinear ? (mipLinear ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR_MIPMAP_NEAREST)
                                  : (mipLinear ? GL_NEAREST_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_NEAREST));
    glSamplerParameteri(s, GL_TEXTURE_MAG_FILTER, magLinear ? GL_LINEAR : GL_NEAREST);
    glSamplerParameteri(s, GL_TEXTURE_WRAP_S, AddressMode(d.AddressU));
    glSamplerParameteri(s, GL_TEXTURE_WRAP_T, AddressMode(d.AddressV));
    glSamplerParameteri(s, GL_TEXTURE_WRAP_R, AddressMode(d.AddressW));
    glSamplerParameterf(s, GL_TEXTURE_LOD_BIAS, d.MipLODBias);
    glSamplerParameterf(s, GL_TEXTURE_MIN_LOD, d.MinLOD);
    glSamplerParameterf(s, GL_TEXTURE_MAX_LOD, d.MaxLOD);
    if (aniso)
        glSamplerParameterf(s, GL_TEXTURE_MAX_ANISOTROPY, float(std::clamp(d.MaxAnisotropy, 1u, 16u)));
    glSamplerParameterfv(s, GL_TEXTURE_BORDER_COLOR, d.BorderColor);
    if (f & 0x80) {
        glSamplerParameteri(s, GL_TEXTURE_COMPARE_MODE, GL_COMPARE_REF_TO_TEXTURE);
        glSamplerParameteri(s, GL_TEXTURE_COMPARE_FUNC, CompareFunc(d.ComparisonFunc));
    }
}

SamplerImpl::SamplerImpl(std::shared_ptr<Core> c, const D3D11_SAMPLER_DESC& d) : Child(std::move(c)), desc(d)
{
    glCreateSamplers(1, &gl);
    ApplySamplerDesc(gl, desc);
}

SamplerImpl::~SamplerImpl()
{
    core_->MakeCurrent();
    core_->cache.ForgetSampler(gl);
    glDeleteSamplers(1, &gl);
}

}  // namespace gfx
