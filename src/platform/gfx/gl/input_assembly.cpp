// The input assembler: vertex and index buffers into the layout's vertex array.
#include "platform/gfx/gl/input_assembly.h"

#include "platform/gfx/gl/binding_store.h"

namespace gfx {

void InputAssembly::SetVertexBuffers(UINT start, UINT n, ID3D11Buffer* const* buffers, const UINT* strides,
                                     const UINT* offsets)
{
    for (UINT i = 0, count = SlotsInRange(start, n, kVbSlots); i < count; ++i) {
        VertexBuffer& slot = vb_[start + i];
        SetRef(slot.buffer, buffers ? static_cast<BufferImpl*>(buffers[i]) : nullptr);
        slot.stride = strides ? strides[i] : 0;
        slot.offset = offsets ? offsets[i] : 0;
    }
}

void InputAssembly::SetIndexBuffer(ID3D11Buffer* buffer, DXGI_FORMAT format, UINT offset)
{
    SetRef(ib_, static_cast<BufferImpl*>(buffer));
    ibFormat_ = format;
    ibOffset_ = offset;
}

GLenum InputAssembly::Mode() const
{
    switch (topology_) {
    case D3D11_PRIMITIVE_TOPOLOGY_POINTLIST: return GL_POINTS;
    case D3D11_PRIMITIVE_TOPOLOGY_LINELIST: return GL_LINES;
    case D3D11_PRIMITIVE_TOPOLOGY_LINESTRIP: return GL_LINE_STRIP;
    case D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST: return GL_TRIANGLES;
    case D3D11_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP: return GL_TRIANGLE_STRIP;
    default: return 0;
    }
}

bool InputAssembly::IndexRange(UINT& count, UINT start, GLenum& type, std::uintptr_t& offset) const
{
    if (!ib_ || !ib_->gl)
        return false;
    type = ibFormat_ == DXGI_FORMAT_R16_UINT ? GL_UNSIGNED_SHORT : GL_UNSIGNED_INT;
    std::uint64_t size = type == GL_UNSIGNED_SHORT ? 2 : 4;
    std::uint64_t begin = std::uint64_t(ibOffset_) + std::uint64_t(start) * size;
    if (begin >= ib_->desc.ByteWidth)
        return false;
    count = UINT(std::min<std::uint64_t>(count, (ib_->desc.ByteWidth - begin) / size));
    offset = std::uintptr_t(begin);
    return count != 0;
}

void InputAssembly::Apply(Core& core)
{
    GlCache& c = core.cache;
    GLuint vao = layout_ ? layout_->vao : core.emptyVao;
    c.BindVertexArray(vao);
    InputLayoutImpl::Bound* bound = layout_ ? layout_->bound.data() : nullptr;
    if (layout_)
        for (UINT slot = 0; slot < kVbSlots; ++slot) {
            if (!(layout_->slotsUsed & (1u << slot)))
                continue;
            const VertexBuffer& v = vb_[slot];
            GLuint buffer = v.buffer ? v.buffer->gl : 0;
            std::uint64_t id = v.buffer && buffer ? v.buffer->id : 0;
            InputLayoutImpl::Bound& cur = bound[slot];
            if (cur.known && cur.buffer == id && cur.offset == GLintptr(v.offset) && cur.stride == GLsizei(v.stride))
                continue;
            cur = {id, GLintptr(v.offset), GLsizei(v.stride), true};
            glVertexArrayVertexBuffer(vao, slot, buffer, GLintptr(v.offset), GLsizei(v.stride));
            ++c.changes;
        }
    GLuint element = ib_ ? ib_->gl : 0;
    std::uint64_t elementId = ib_ && element ? ib_->id : 0;
    std::uint64_t& curElement = layout_ ? layout_->elementBuffer : emptyVaoElement_;
    if (curElement != elementId) {
        curElement = elementId;
        glVertexArrayElementBuffer(vao, element);
        ++c.changes;
    }
}

void InputAssembly::Clear()
{
    SetRef(layout_, static_cast<InputLayoutImpl*>(nullptr));
    for (VertexBuffer& v : vb_) {
        SetRef(v.buffer, static_cast<BufferImpl*>(nullptr));
        v.stride = v.offset = 0;
    }
    SetRef(ib_, static_cast<BufferImpl*>(nullptr));
    ibFormat_ = DXGI_FORMAT_UNKNOWN;
    ibOffset_ = 0;
    topology_ = D3D11_PRIMITIVE_TOPOLOGY_UNDEFINED;
}

}  // namespace gfx
