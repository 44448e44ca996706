#pragma once
// Refused calls of the gfx layer: E_INVALIDARG, and under a debug device a line
// on the console naming the call, the argument and why, as Direct3D's debug
// layer reports them. Calls that have no device (D3DReflect, QueryInterface,
// D3DCreateBlob) report while any debug device lives.
#include <atomic>
#include <string_view>

#include "platform/gfx/dxgi.h"
#include "platform/system/console.h"

namespace gfx {

// Debug devices alive in the process.
inline std::atomic<int> g_debugDevices{0};

inline bool AnyDebugDevice()
{
    return g_debugDevices.load(std::memory_order_relaxed) > 0;
}

// "D3D11 ERROR: <call>: <argument> <reason>" when debugOn; E_INVALIDARG either way.
inline HRESULT Refuse(bool debugOn, std::string_view call, std::string_view argument, std::string_view reason)
{
    if (debugOn)
        ConsoleErrorPrintf("D3D11 ERROR: %.*s: %.*s %.*s\n", int(call.size()), call.data(), int(argument.size()),
                           argument.data(), int(reason.size()), reason.data());
    return E_INVALIDARG;
}

}  // namespace gfx
