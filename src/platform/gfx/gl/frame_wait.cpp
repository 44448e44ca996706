// The frame's waiting for the GPU: every wait on a fence (an event query's
// GetData, the device's own wait before a draw that samples on a software
// rasteriser), the software rasteriser check and the frame latency it
// decides, and the wait callback.
#include <cstring>

#include "platform/gfx/frame_wait.h"
#include "platform/gfx/gl/context.h"

namespace gfx {

namespace {

void (*g_waitCallback)() = nullptr;

// Every context of the process has the same driver.
bool SoftwareRasteriser()
{
    static const bool software = SoftwareRenderer(reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    return software;
}

bool SamplesAny(const StageBindings& s)
{
    for (const SrvImpl* v : s.srv)
        if (v)
            return true;
    return false;
}

}  // namespace

// Mesa's CPU rasterisers, also under another driver (zink on lavapipe names
// llvmpipe). Case matters: a GPU's text names its LLVM compiler.
bool SoftwareRenderer(const char* renderer)
{
    if (!renderer)
        return false;
    return std::strstr(renderer, "llvmpipe") || std::strstr(renderer, "softpipe") || std::strstr(renderer, "SWR");
}

bool FenceDone(GLsync sync, bool flush, bool wait)
{
    const GLuint64 timeout = wait ? GLuint64{kGpuWaitSliceMs} * 1'000'000 : 0;
    const GLenum r = glClientWaitSync(sync, flush ? GL_SYNC_FLUSH_COMMANDS_BIT : 0, timeout);
    // A fence that cannot be waited for must not hold the caller forever.
    return r == GL_ALREADY_SIGNALED || r == GL_CONDITION_SATISFIED || r == GL_WAIT_FAILED;
}

UINT FrameLatency(ID3D11Device* device)
{
    auto* d = dynamic_cast<DeviceImpl*>(device);
    if (!d)
        return 0;
    d->core->MakeCurrent();
    return SoftwareRasteriser() ? 0 : 1;
}

void SetGpuWaitCallback(void (*callback)())
{
    g_waitCallback = callback;
}

// llvmpipe waits, inside the draw, for every earlier target it may sample to
// be drawn; a frame can spend seconds there. Waiting on a fence instead lets
// the callback run (and end the process) while the rasteriser works.
void ContextImpl::SettleBeforeSampling(const StageBindings& a, const StageBindings& b)
{
    if (!g_waitCallback || settledDraws_ == core_->draws || !(SamplesAny(a) || SamplesAny(b)) || !SoftwareRasteriser())
        return;
    GLsync sync = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
    for (bool flush = true; !FenceDone(sync, flush, true); flush = false)
        g_waitCallback();
    glDeleteSync(sync);
    settledDraws_ = core_->draws;
}

}  // namespace gfx
