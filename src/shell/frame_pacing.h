#pragma once
// The frame loop's wait before Present: for the GPU work of the frame
// `latency` frames back (0: the frame just drawn), on event queries in
// timed slices, with a call between slices that may end the process.
#include <vector>

#include "platform/gfx/d3d11.h"

class FramePacing {
public:
    // Queries the device cannot make leave the wait out.
    FramePacing(ID3D11Device* device, ID3D11DeviceContext* context, UINT latency, void (*betweenSlices)());
    ~FramePacing();
    FramePacing(const FramePacing&) = delete;
    FramePacing& operator=(const FramePacing&) = delete;

    // Marks the end of this frame's work, then waits for the frame's
    // `latency` frames back (none yet in the first frames).
    void WaitBeforePresent();

private:
    ID3D11DeviceContext* context_;
    void (*betweenSlices_)();
    std::vector<ID3D11Query*> frames_;  // one per frame in flight, the oldest at next_
    std::size_t next_ = 0;
};
