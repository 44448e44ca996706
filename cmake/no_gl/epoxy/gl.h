// Seen only by the HLSL translator (src/platform/gfx/hlsl), which stays apart
// from GL and SDL: the GL device is its caller, never its callee.
#error "the HLSL translator includes no GL or SDL header"
