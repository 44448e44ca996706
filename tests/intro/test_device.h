#pragma once
// One device and immediate context for the whole test program, made on first
// use; both null when no device can be made (the tests that draw then skip).
#include "platform/gfx/d3d11.h"

struct TestGfx {
    ID3D11Device* device = nullptr;
    ID3D11DeviceContext* context = nullptr;
};

inline TestGfx& Gfx()
{
    static TestGfx gfx = [] {
        TestGfx made;
        D3D_FEATURE_LEVEL level{};
        if (FAILED(D3D11CreateDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, nullptr, 0, D3D11_SDK_VERSION,
                                     &made.device, &level, &made.context)))
            made = TestGfx();
        return made;
    }();
    return gfx;
}

#define SKIP_WITHOUT_DEVICE()                                                                                          \
    do {                                                                                                               \
        if (!Gfx().device)                                                                                             \
            GTEST_SKIP() << "no Direct3D device available";                                                            \
    } while (0)
