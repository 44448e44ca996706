#include "shell/frame_pacing.h"

#include "platform/gfx/frame_wait.h"

FramePacing::FramePacing(ID3D11Device* device, ID3D11DeviceContext* context, UINT latency, void (*betweenSlices)())
    : context_(context), betweenSlices_(betweenSlices)
{
    const D3D11_QUERY_DESC event{D3D11_QUERY_EVENT, 0};
    for (UINT i = 0; device && context && i <= latency; ++i) {
        ID3D11Query* query = nullptr;
        if (FAILED(device->CreateQuery(&event, &query)) || !query)
            break;
        frames_.push_back(query);
    }
    if (frames_.size() != latency + 1u) {
        for (ID3D11Query* query : frames_)
            query->Release();
        frames_.clear();
    }
}

FramePacing::~FramePacing()
{
    for (ID3D11Query* query : frames_)
        query->Release();
}

void FramePacing::WaitBeforePresent()
{
    if (frames_.empty())
        return;
    context_->End(frames_[next_]);
    next_ = (next_ + 1) % frames_.size();
    // A query not yet ended answers DXGI_ERROR_INVALID_CALL: nothing to wait for.
    ID3D11Query* oldest = frames_[next_];
    UINT flags = GFX_ASYNC_GETDATA_WAIT;
    while (context_->GetData(oldest, nullptr, 0, flags) == S_FALSE) {
        if (betweenSlices_)
            betweenSlices_();
        flags |= D3D11_ASYNC_GETDATA_DONOTFLUSH;
    }
}
