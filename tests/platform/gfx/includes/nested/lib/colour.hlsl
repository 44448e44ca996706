#include "shade.hlsl"
#include "../common.hlsl"
float4 Colour() { return float4(Shade(), Common(), 0, 1); }
