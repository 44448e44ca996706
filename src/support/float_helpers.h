#pragma once
// One x87 instruction on a float each, and two formulas built on them. Every
// helper leaves the unit in its initial state (finit) after the call.

float FpuSin(float x);
float FpuCos(float x);
float FpuTan(float x);
float FpuAtan(float x);
float FpuSqrt(float x);
float FpuAbs(float x);
float FpuLog2(float x);

// Abramowitz and Stegun 4.4.45: acos within about 7e-5.
float FastAcos(float x);
// Angle of (x, y): atan(y / x), shifted by 6 below the x axis on the right
// half and by 3 on the left half (not 2 pi and pi).
float PolarAngle(float x, float y);
