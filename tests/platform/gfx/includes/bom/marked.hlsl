// Saved with a UTF-8 byte-order mark.
float4 FromMarkedFile() { return float4(0, 0, 1, 1); }
