#pragma once
// The intro tests' names for the shared test device (common/gpu_device.h): one device
// and immediate context for the whole program, made on first use.
#include "common/gpu_device.h"
#include "platform/gfx/d3d11.h"

using TestGfx = gputest::Device;

inline TestGfx& Gfx()
{
    return gputest::SharedDevice();
}

// Fails the test without a device (the name is older than that policy).
#define SKIP_WITHOUT_DEVICE() REQUIRE_DEVICE(Gfx())
