#pragma once
// Inside the gfx layer: the input assembler's bindings (input layout, vertex and index
// buffers, topology) and their application to the layout's vertex array.
#include <array>
#include <cstdint>

#include "platform/gfx/gl/gl_objects.h"

namespace gfx {

constexpr UINT kVbSlots = D3D11_IA_VERTEX_INPUT_RESOURCE_SLOT_COUNT;

class InputAssembly {
public:
    void SetLayout(ID3D11InputLayout* layout) { SetRef(layout_, static_cast<InputLayoutImpl*>(layout)); }
    void SetVertexBuffers(UINT start, UINT n, ID3D11Buffer* const* buffers, const UINT* strides, const UINT* offsets);
    void SetIndexBuffer(ID3D11Buffer* buffer, DXGI_FORMAT format, UINT offset);
    void SetTopology(D3D11_PRIMITIVE_TOPOLOGY t) { topology_ = t; }
    // The GL primitive of the topology; 0 for one nothing is drawn with.
    GLenum Mode() const;
    // The bound index buffer's type and the byte offset of index start; count cut to the
    // indices the buffer holds, as GL would read past its end. False when none are left.
    bool IndexRange(UINT& count, UINT start, GLenum& type, std::uintptr_t& offset) const;
    // Binds the layout's vertex array with the bound buffers, through the state cache.
    void Apply(Core& core);
    void Clear();

private:
    struct VertexBuffer {
        BufferImpl* buffer = nullptr;
        UINT stride = 0;
        UINT offset = 0;
    };
    InputLayoutImpl* layout_ = nullptr;
    std::array<VertexBuffer, kVbSlots> vb_{};
    BufferImpl* ib_ = nullptr;
    DXGI_FORMAT ibFormat_ = DXGI_FORMAT_UNKNOWN;
    UINT ibOffset_ = 0;
    std::uint64_t emptyVaoElement_ = 0;
    D3D11_PRIMITIVE_TOPOLOGY topology_ = D3D11_PRIMITIVE_TOPOLOGY_UNDEFINED;
};

}  // namespace gfx
