#pragma once
// Inside the gfx layer: what the immediate context does to resources outside draws:
// map, update, copy, resolve, mip generation and clears.
#include "platform/gfx/gl/gl_objects.h"

namespace gfx {

// discard: whether the buffer was mapped for WRITE_DISCARD, for Unmap to know.
HRESULT MapResource(Core& core, ID3D11Resource* resource, UINT sub, D3D11_MAP type, D3D11_MAPPED_SUBRESOURCE* out,
                    bool& discard);
void UnmapResource(Core& core, ID3D11Resource* resource, UINT sub, bool discard);
void UpdateResource(Core& core, ID3D11Resource* dst, UINT sub, const D3D11_BOX* box, const void* data, UINT rowPitch);
void CopyResourceContents(Core& core, ID3D11Resource* dst, ID3D11Resource* src);
void ResolveTexture(Core& core, ID3D11Resource* dst, UINT dstSub, ID3D11Resource* src, UINT srcSub);
void GenerateMipChain(Core& core, ID3D11ShaderResourceView* view);
// Clears ignore scissor and write masks, as Direct3D's do.
void ClearTarget(Core& core, ID3D11RenderTargetView* view, const FLOAT color[4]);
void ClearDepth(Core& core, ID3D11DepthStencilView* view, UINT flags, FLOAT depth, UINT8 stencil);
// values: four floats, or four UINTs with asUint.
void ClearUnordered(Core& core, ID3D11UnorderedAccessView* view, const void* values, bool asUint);

}  // namespace gfx
