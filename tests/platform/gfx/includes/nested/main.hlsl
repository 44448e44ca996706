// Compiled with its own path as the source name: its includes are found
// beside it, and theirs beside them.
#include "lib/colour.hlsl"
float4 p() : SV_TARGET { return Colour(); }
