// Event queries: what CreateQuery takes, and GetData from before End until
// the work given before End is done.
#include <gtest/gtest.h>

#include <cstdint>

#include "gfx_fixture.h"

namespace {

using gfxtest::Gfx;

TEST_F(Gfx, CreateQueryTakesOnlyAnEvent)
{
    const D3D11_QUERY_DESC event{D3D11_QUERY_EVENT, 0};
    struct Case {
        const char* what;
        const D3D11_QUERY_DESC* desc;
        bool wantQuery;
        HRESULT expected;
    };
    const D3D11_QUERY_DESC occlusion{static_cast<D3D11_QUERY>(2), 0};
    const D3D11_QUERY_DESC flagged{D3D11_QUERY_EVENT, 1};
    const Case cases[] = {
        {"an event", &event, true, S_OK},
        {"an event, checked only", &event, false, S_FALSE},
        {"no description", nullptr, true, E_INVALIDARG},
        {"another kind of query", &occlusion, true, E_INVALIDARG},
        {"misc flags", &flagged, true, E_INVALIDARG},
    };
    for (const Case& c : cases) {
        ID3D11Query* query = reinterpret_cast<ID3D11Query*>(std::uintptr_t{8});  // must be overwritten
        EXPECT_EQ(device->CreateQuery(c.desc, c.wantQuery ? &query : nullptr), c.expected) << c.what;
        if (!c.wantQuery)
            continue;
        if (c.expected == S_OK) {
            ASSERT_NE(query, nullptr) << c.what;
            Keep(query);
        } else {
            EXPECT_EQ(query, nullptr) << c.what;
        }
    }
}

TEST_F(Gfx, EventQueryIsDoneOnceTheWorkBeforeEndIs)
{
    const D3D11_QUERY_DESC event{D3D11_QUERY_EVENT, 0};
    ID3D11Query* query = nullptr;
    ASSERT_EQ(device->CreateQuery(&event, &query), S_OK);
    Keep(query);
    EXPECT_EQ(query->GetDataSize(), sizeof(BOOL));
    D3D11_QUERY_DESC desc{static_cast<D3D11_QUERY>(9), 9};
    query->GetDesc(&desc);
    EXPECT_EQ(desc.Query, D3D11_QUERY_EVENT);
    EXPECT_EQ(desc.MiscFlags, 0u);
    ID3D11Query* same = nullptr;
    ASSERT_EQ(query->QueryInterface(IID_ID3D11Query, reinterpret_cast<void**>(&same)), S_OK);
    EXPECT_EQ(same, query);
    same->Release();

    // Before any End there is nothing to wait for.
    BOOL done = FALSE;
    EXPECT_EQ(context->GetData(query, &done, sizeof done, 0), DXGI_ERROR_INVALID_CALL);

    // Work, then the event: polling ends with TRUE.
    ID3D11Texture2D* target = Texture(64, 64, DXGI_FORMAT_R8G8B8A8_UNORM);
    ID3D11RenderTargetView* view = nullptr;
    ASSERT_EQ(device->CreateRenderTargetView(target, nullptr, &view), S_OK);
    Keep(view);
    const FLOAT colour[4] = {1, 0, 0, 1};
    context->ClearRenderTargetView(view, colour);
    context->End(query);
    EXPECT_EQ(context->GetData(query, &done, 1, 0), E_INVALIDARG) << "a size that is no BOOL";
    HRESULT hr = S_FALSE;
    while (hr == S_FALSE)
        hr = context->GetData(query, &done, sizeof done, 0);
    EXPECT_EQ(hr, S_OK);
    EXPECT_EQ(done, TRUE);
    // Done stays done; no data asked for is no error.
    EXPECT_EQ(context->GetData(query, nullptr, 0, D3D11_ASYNC_GETDATA_DONOTFLUSH), S_OK);

    // A second End waits for the work before it, once more.
    context->ClearRenderTargetView(view, colour);
    context->End(query);
    context->Flush();
    do
        hr = context->GetData(query, nullptr, 0, D3D11_ASYNC_GETDATA_DONOTFLUSH);
    while (hr == S_FALSE);
    EXPECT_EQ(hr, S_OK);

    // Begin means nothing to an event; a null query is refused.
    context->Begin(query);
    EXPECT_EQ(context->GetData(query, nullptr, 0, 0), S_OK);
    EXPECT_EQ(context->GetData(nullptr, &done, sizeof done, 0), E_INVALIDARG);
}

}  // namespace
