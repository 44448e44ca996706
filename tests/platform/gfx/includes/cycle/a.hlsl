// Includes b.hlsl, which includes this file again.
float A() { return 1.0; }
#include "b.hlsl"
