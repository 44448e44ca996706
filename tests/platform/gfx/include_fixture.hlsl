// Included by compiler_test.cpp through D3D_COMPILE_STANDARD_FILE_INCLUDE.
float4 FromFile() { return float4(0, 1, 0, 1); }
