// Views of buffers and 2D textures.
#include <algorithm>
#include <string>
#include <type_traits>

#include "platform/gfx/gl/device.h"

namespace gfx {

namespace {
// A count of -1 (all the rest) resolved against what is left after first.
UINT Rest(UINT first, UINT count, UINT total)
{
    return count == UINT(-1) ? total - std::min(first, total) : count;
}

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

// The Create*View call being made, for its refusals: its name and the bind flag its resource needs.
struct ViewCall {
    bool debug;
    const char* name;
    UINT bind;
    const char* bindName;
};

// The refusals of the view's resource, a texture, that every kind of view shares.
HRESULT CheckViewedTexture(const ViewCall& call, ID3D11Resource* resource, const TextureImpl* t)
{
    if (!resource)
        return Refuse(call.debug, call.name, "pResource", "is null: a view needs a resource");
    if (!t)
        return Refuse(call.debug, call.name, "pResource", "is not a buffer or 2D texture of this layer");
    if (!t->gl)
        return Refuse(call.debug, call.name, "pResource", "is a staging texture: staging resources have no views");
    if (!(t->desc.BindFlags & call.bind))
        return Refuse(call.debug, call.name, "pResource", std::string("was made without ") + call.bindName);
    return S_OK;
}

// The view's format f: known and typed.
HRESULT CheckViewFormat(const ViewCall& call, const FormatInfo* f)
{
    if (!f)
        return Refuse(call.debug, call.name, "pDesc->Format", "is not a format this layer knows");
    if (f->typeless)
        return Refuse(call.debug, call.name, "pDesc->Format", "is typeless: a view needs a typed format");
    return S_OK;
}

// A shader-resource or unordered-access view of a buffer bound as call.bind: a buffer texture
// over the elements pDesc names. made is the new view (in *out too), null where none is made.
template <class View, class Desc, class Dim, class Interface>
HRESULT NewBufferView(const std::shared_ptr<Core>& core, const ViewCall& call, BufferImpl& b, const Desc* pDesc,
                      Dim dimension, Interface** out, View*& made)
{
    made = nullptr;
    if (!pDesc)
        return Refuse(call.debug, call.name, "pDesc", "is null: a view of a buffer needs a description");
    if (pDesc->ViewDimension != dimension)
        return Refuse(call.debug, call.name, "pDesc->ViewDimension",
                      "is not the buffer dimension: pResource is a buffer");
    const FormatInfo* f = FindFormat(pDesc->Format);
    if (!f)
        return Refuse(call.debug, call.name, "pDesc->Format", "is not a format this layer knows");
    if (f->depth)
        return Refuse(call.debug, call.name, "pDesc->Format", "is a depth format: a buffer view takes a colour format");
    if (!b.gl)
        return Refuse(call.debug, call.name, "pResource", "is a constant or staging buffer: those have no views");
    if (!(b.desc.BindFlags & call.bind))
        return Refuse(call.debug, call.name, "pResource", std::string("was made without ") + call.bindName);
    GLintptr first = 0;
    GLsizeiptr size = 0;
    if (!BufferRange(b, *f, pDesc->Buffer.FirstElement, pDesc->Buffer.NumElements, first, size))
        return Refuse(call.debug, call.name, "pDesc->Buffer", "names no elements, or elements past the buffer's end");
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
    const ViewCall call{core->debug, "CreateShaderResourceView", D3D11_BIND_SHADER_RESOURCE,
                        "D3D11_BIND_SHADER_RESOURCE"};
    if (BufferImpl* b = AsBuffer(resource)) {
        SrvImpl* v = nullptr;
        HRESULT hr = NewBufferView(core, call, *b, pDesc, D3D11_SRV_DIMENSION_BUFFER, out, v);
        if (v)
            v->target = GL_TEXTURE_BUFFER;
        return hr;
    }
    TextureImpl* t = AsTexture(resource);
    if (HRESULT hr = CheckViewedTexture(call, resource, t); FAILED(hr))
        return hr;
    D3D11_SHADER_RESOURCE_VIEW_DESC d{};
    if (pDesc) {
        d = *pDesc;
    } else {
        if (t->fmt->typeless)
            return Refuse(call.debug, call.name, "pDesc",
                          "is null for a typeless texture: the view must name a format");
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
    if (HRESULT hr = CheckViewFormat(call, f); FAILED(hr))
        return hr;
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
    default:
        return Refuse(call.debug, call.name, "pDesc->ViewDimension",
                      "is not a dimension of a 2D texture: pResource is a 2D texture");
    }
    bool msView = viewTarget == GL_TEXTURE_2D_MULTISAMPLE || viewTarget == GL_TEXTURE_2D_MULTISAMPLE_ARRAY;
    if (msView != IsMs(*t))
        return Refuse(call.debug, call.name, "pDesc->ViewDimension",
                      msView ? "is multisampled: the texture is not" : "is not multisampled: the texture is");
    levels = Rest(firstLevel, levels, t->desc.MipLevels);
    layers = Rest(firstLayer, layers, t->desc.ArraySize);
    if (!Within(firstLevel, levels, t->desc.MipLevels))
        return Refuse(call.debug, call.name, "pDesc", "names no mip levels, or levels past the texture's last");
    if (!Within(firstLayer, layers, t->desc.ArraySize))
        return Refuse(call.debug, call.name, "pDesc", "names no array slices, or slices past the texture's last");
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
        return Refuse(call.debug, call.name, "pDesc->Format", "is outside the format family of the texture");
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
HRESULT NewAttachView(const std::shared_ptr<Core>& core, const ViewCall& call, ID3D11Resource* resource,
                      const Desc* pDesc, const AttachDimensions<Dim>& dims, bool depth, Interface** out)
{
    if (out)
        *out = nullptr;
    TextureImpl* t = AsTexture(resource);
    if (HRESULT hr = CheckViewedTexture(call, resource, t); FAILED(hr))
        return hr;
    if (!pDesc && t->fmt->typeless)
        return Refuse(call.debug, call.name, "pDesc", "is null for a typeless texture: the view must name a format");
    Desc d;
    Range r;
    if (!AttachDesc(*t, pDesc, dims, d, r))
        return Refuse(call.debug, call.name, "pDesc->ViewDimension",
                      "is not a dimension of a 2D texture: pResource is a 2D texture");
    const FormatInfo* f = FindFormat(d.Format);
    if (HRESULT hr = CheckViewFormat(call, f); FAILED(hr))
        return hr;
    if (f->depth != depth)
        return Refuse(call.debug, call.name, "pDesc->Format",
                      depth ? "is a colour format: a depth-stencil view takes a depth format"
                            : "is a depth format: a render-target view takes a colour format");
    if (!out)
        return S_FALSE;
    core->MakeCurrent();
    auto* v = NewView<View>(core, resource, d);
    v->id = core->NextId();
    if (!SetAttachment(*v, *t, r, depth ? t->storage : f->internal)) {
        v->Release();
        return Refuse(call.debug, call.name, "pDesc",
                      "names a level, slices or sample count the texture lacks, or a format outside its family");
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
    const ViewCall call{core->debug, "CreateRenderTargetView", D3D11_BIND_RENDER_TARGET, "D3D11_BIND_RENDER_TARGET"};
    return NewAttachView<RtvImpl>(core, call, resource, pDesc, kRtvDimensions, false, out);
}

HRESULT DeviceImpl::CreateDepthStencilView(ID3D11Resource* resource, const D3D11_DEPTH_STENCIL_VIEW_DESC* pDesc,
                                           ID3D11DepthStencilView** out)
{
    const ViewCall call{core->debug, "CreateDepthStencilView", D3D11_BIND_DEPTH_STENCIL, "D3D11_BIND_DEPTH_STENCIL"};
    return NewAttachView<DsvImpl>(core, call, resource, pDesc, kDsvDimensions, true, out);
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
    const ViewCall call{core->debug, "CreateUnorderedAccessView", D3D11_BIND_UNORDERED_ACCESS,
                        "D3D11_BIND_UNORDERED_ACCESS"};
    if (BufferImpl* b = AsBuffer(resource)) {
        UavImpl* v = nullptr;
        HRESULT hr = NewBufferView(core, call, *b, pDesc, D3D11_UAV_DIMENSION_BUFFER, out, v);
        if (v) {
            v->fmt = FindFormat(pDesc->Format);
            v->format = v->fmt->internal;
        }
        return hr;
    }
    TextureImpl* t = AsTexture(resource);
    if (HRESULT hr = CheckViewedTexture(call, resource, t); FAILED(hr))
        return hr;
    if (IsMs(*t))
        return Refuse(call.debug, call.name, "pResource",
                      "is multisampled: an unordered-access view takes a single-sample texture");
    D3D11_UNORDERED_ACCESS_VIEW_DESC d{};
    if (pDesc) {
        d = *pDesc;
    } else {
        if (t->fmt->typeless)
            return Refuse(call.debug, call.name, "pDesc",
                          "is null for a typeless texture: the view must name a format");
        d.Format = t->desc.Format;
        if (IsArray(*t)) {
            d.ViewDimension = D3D11_UAV_DIMENSION_TEXTURE2DARRAY;
            d.Texture2DArray = {0, 0, t->desc.ArraySize};
        } else {
            d.ViewDimension = D3D11_UAV_DIMENSION_TEXTURE2D;
        }
    }
    const FormatInfo* f = FindFormat(d.Format);
    if (HRESULT hr = CheckViewFormat(call, f); FAILED(hr))
        return hr;
    if (f->depth)
        return Refuse(call.debug, call.name, "pDesc->Format",
                      "is a depth format: an unordered-access view takes a colour format");
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
        return Refuse(call.debug, call.name, "pDesc->ViewDimension",
                      "is not D3D11_UAV_DIMENSION_TEXTURE2D or D3D11_UAV_DIMENSION_TEXTURE2DARRAY");
    }
    if (level >= t->desc.MipLevels)
        return Refuse(call.debug, call.name, "pDesc", "names a mip level past the texture's last");
    if (!Within(firstLayer, layers, t->desc.ArraySize))
        return Refuse(call.debug, call.name, "pDesc", "names no array slices, or slices past the texture's last");
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

}  // namespace gfx
