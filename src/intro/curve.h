#pragma once
// Keyframe curves: a list of key values spread evenly over scene time 0 to 1,
// sampled with a uniform Catmull-Rom spline and continued in straight lines
// outside 0 to 1. Plus the free sampling functions and their siblings.
#include <vector>

namespace IntroModel {

class Curve {
public:
    float scale = 0.0f;       // key index space that scene time 0..1 spans
    std::vector<float> keys;  // key values in file order

    Curve() = default;
    explicit Curve(const std::vector<float>& keys);

    void AddKey(float value);
    static float SegmentCount(const std::vector<float>& keys);

    // The value at scene time t. A time that is not finite gives NaN, unless
    // the curve has a single key, which it then gives.
    float Evaluate(float t) const;
};

}  // namespace IntroModel

// keys points at n keys; x is a position in key index space (key j at x = j).
// None of these read a key outside keys[0..n-1].
float SampleCatmullRom(float x, const float* keys, int n);
float SampleLinear(float x, const float* keys, int n);
float CatmullRom(float u, float p0, float p1, float p2, float p3);
float Floor(float x);
float Fract(float x);
float Abs(float x);
float Lerp(float t, float a, float b);
float CubicInterpolate(float u, float y0, float y1, float y2, float y3);
float SampleCubic(float x, const float* keys, int n);
float InvertLinear(float y, const float* keys, int n);
float InvertCatmullRom(float y, const float* keys, int n);
