// The one beside colour.hlsl, which includes it.
float Shade() { return 1.0; }
