#pragma once
// Inside the gfx layer: reference counting and QueryInterface for the layer's objects.
#include <atomic>

#include "platform/gfx/dxgi.h"
#include "platform/gfx/refusal.h"

namespace gfx {

template <class Interface>
class Object : public Interface {
public:
    HRESULT QueryInterface(REFIID riid, void** out) override
    {
        if (!out)
            return Refuse(AnyDebugDevice(), "QueryInterface", "ppvObject",
                          "is null: there is nowhere to put the interface");
        if (riid == IID_IUnknown || Matches(riid)) {
            this->AddRef();
            *out = static_cast<Interface*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override
    {
        ULONG left = --refs_;
        if (left == 0)
            delete this;
        return left;
    }

protected:
    virtual bool Matches(REFIID) { return false; }
    // Blobs and reflections may be made and released on any thread.
    std::atomic<ULONG> refs_{1};
};

}  // namespace gfx
