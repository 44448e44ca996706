#include "common.hlsl"
float4 A(VSOutput o) { return o.colour; }
