#include "common.hlsl"
float4 B(VSOutput o) { return o.colour * 2; }
