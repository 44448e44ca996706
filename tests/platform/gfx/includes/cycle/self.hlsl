float Self() { return 1.0; }
#include "self.hlsl"
