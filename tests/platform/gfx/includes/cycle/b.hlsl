#include "a.hlsl"
float B() { return 1.0; }
