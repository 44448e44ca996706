// Event queries on GL fences, and the device's own wait for drawn work on a
// software rasteriser.
#include <cstring>

#include "platform/gfx/gl/context.h"
#include "platform/gfx/refusal.h"

namespace gfx {

namespace {

void (*g_waitCallback)() = nullptr;

constexpr GLuint64 kWaitSliceNs = 10'000'000;

class QueryImpl final : public Child<ID3D11Query> {
public:
    QueryImpl(std::shared_ptr<Core> core, const D3D11_QUERY_DESC& desc) : Child(std::move(core)), desc_(desc) {}
    ~QueryImpl() override { Forget(); }
    bool Matches(REFIID riid) override { return riid == IID_ID3D11Query || riid == IID_ID3D11DeviceChild; }
    UINT GetDataSize() override { return sizeof(BOOL); }
    void GetDesc(D3D11_QUERY_DESC* desc) override
    {
        if (desc)
            *desc = desc_;
    }

    void End()
    {
        Forget();
        core_->MakeCurrent();
        sync_ = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
    }
    // -1 before any End, 0 while the work runs, 1 once it is done.
    int State(bool flush)
    {
        if (!sync_)
            return -1;
        if (done_)
            return 1;
        core_->MakeCurrent();
        GLenum r = glClientWaitSync(sync_, flush ? GL_SYNC_FLUSH_COMMANDS_BIT : 0, 0);
        done_ = r == GL_ALREADY_SIGNALED || r == GL_CONDITION_SATISFIED || r == GL_WAIT_FAILED;
        return done_ ? 1 : 0;
    }

private:
    void Forget()
    {
        if (sync_) {
            core_->MakeCurrent();
            glDeleteSync(sync_);
        }
        sync_ = nullptr;
        done_ = false;
    }

    D3D11_QUERY_DESC desc_;
    GLsync sync_ = nullptr;
    bool done_ = false;
};

// Mesa's CPU rasterisers; every context of the process has the same driver.
bool SoftwareRasteriser()
{
    static const bool software = [] {
        const char* r = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
        return r && (std::strstr(r, "llvmpipe") || std::strstr(r, "softpipe") || std::strstr(r, "SWR"));
    }();
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

void SetGpuWaitCallback(void (*callback)())
{
    g_waitCallback = callback;
}

HRESULT DeviceImpl::CreateQuery(const D3D11_QUERY_DESC* desc, ID3D11Query** out)
{
    if (out)
        *out = nullptr;
    if (!desc)
        return Refuse(core->debug, "CreateQuery", "pQueryDesc", "is null: a query needs a description");
    if (desc->Query != D3D11_QUERY_EVENT)
        return Refuse(core->debug, "CreateQuery", "pQueryDesc->Query",
                      "is not D3D11_QUERY_EVENT: the only query offered");
    if (desc->MiscFlags != 0)
        return Refuse(core->debug, "CreateQuery", "pQueryDesc->MiscFlags", "is not 0: no query flags are offered");
    if (!out)
        return S_FALSE;
    *out = new QueryImpl(core, *desc);
    return S_OK;
}

void ContextImpl::End(ID3D11Asynchronous* async)
{
    if (auto* q = dynamic_cast<QueryImpl*>(async))
        q->End();
}

HRESULT ContextImpl::GetData(ID3D11Asynchronous* async, void* data, UINT size, UINT flags)
{
    auto* q = dynamic_cast<QueryImpl*>(async);
    if (!q)
        return Refuse(core_->debug, "GetData", "pAsync", "is not a query of this device");
    if (data && size != sizeof(BOOL))
        return Refuse(core_->debug, "GetData", "DataSize", "is not sizeof(BOOL): an event query answers with one BOOL");
    int state = q->State((flags & D3D11_ASYNC_GETDATA_DONOTFLUSH) == 0);
    if (state < 0)
        return DXGI_ERROR_INVALID_CALL;
    if (state == 0)
        return S_FALSE;
    if (data) {
        const BOOL done = TRUE;
        std::memcpy(data, &done, sizeof done);
    }
    return S_OK;
}

// llvmpipe waits, inside the draw, for every earlier target it may sample to
// be drawn; a frame can spend seconds there. Waiting on a fence instead lets
// the callback run (and end the process) while the rasteriser works.
void ContextImpl::SettleBeforeSampling(const StageBindings& a, const StageBindings& b)
{
    if (!g_waitCallback || settledDraws_ == core_->draws || !(SamplesAny(a) || SamplesAny(b)) || !SoftwareRasteriser())
        return;
    GLsync sync = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
    while (glClientWaitSync(sync, GL_SYNC_FLUSH_COMMANDS_BIT, kWaitSliceNs) == GL_TIMEOUT_EXPIRED)
        g_waitCallback();
    glDeleteSync(sync);
    settledDraws_ = core_->draws;
}

}  // namespace gfx
