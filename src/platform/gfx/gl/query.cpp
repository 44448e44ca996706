// Event queries on GL fences; GetData asks the fence (frame_wait.cpp), and
// with GFX_ASYNC_GETDATA_WAIT waits on it for a slice.
#include <cstring>

#include "platform/gfx/frame_wait.h"
#include "platform/gfx/gl/context.h"
#include "platform/gfx/refusal.h"

namespace gfx {

namespace {

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
    // -1 before any End, 0 while the work runs, 1 once it is done; waits up
    // to a slice for it when asked.
    int State(bool flush, bool wait)
    {
        if (!sync_)
            return -1;
        if (done_)
            return 1;
        core_->MakeCurrent();
        done_ = FenceDone(sync_, flush, wait);
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

}  // namespace

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
    int state = q->State((flags & D3D11_ASYNC_GETDATA_DONOTFLUSH) == 0, (flags & GFX_ASYNC_GETDATA_WAIT) != 0);
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

}  // namespace gfx
