#pragma once
// Not Direct3D: how the frame loop and the device wait for the GPU's work
// without holding off input while a frame takes seconds.
//   - GFX_ASYNC_GETDATA_WAIT: ID3D11DeviceContext::GetData on an event query
//     waits on its fence for up to kGpuWaitSliceMs before answering S_FALSE,
//     and answers S_OK as soon as the work is done (without the flag it
//     answers at once, as in Direct3D). With D3D11_ASYNC_GETDATA_DONOTFLUSH
//     the commands are not flushed first: give it from the second call on.
//   - FrameLatency: how many frames the loop may leave drawing when it
//     presents.
//   - SetGpuWaitCallback: what the device calls between slices of its own
//     waits inside draws on a software rasteriser.
#include "platform/gfx/d3d11.h"

#define GFX_ASYNC_GETDATA_WAIT 0x80000000u

namespace gfx {

inline constexpr unsigned kGpuWaitSliceMs = 10;

// 0 on a software rasteriser (Mesa's llvmpipe), which rasterises a frame
// inside Present when it was not waited for, where no input is read; 1
// elsewhere, so that the CPU prepares the next frame while the GPU draws.
UINT FrameLatency(ID3D11Device* device);

// A software rasteriser makes the calling thread wait inside a draw that
// samples a texture whose drawing has not finished. With a callback set,
// the device waits there itself, on a fence in slices of kGpuWaitSliceMs,
// and calls it between them; the callback may end the process. Null (the
// default) leaves the waiting to the driver.
void SetGpuWaitCallback(void (*callback)());

}  // namespace gfx
