#include "intro/curve.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace IntroModel {

Curve::Curve(const std::vector<float>& keys_) : keys(keys_)
{
    scale = SegmentCount(keys);
}

void Curve::AddKey(float value)
{
    keys.push_back(value);
    scale = SegmentCount(keys);
}

float Curve::SegmentCount(const std::vector<float>& keys)
{
    if (keys.empty())
        return 0.0f;
    if (keys.size() == 1)
        return 1.0f;
    return static_cast<float>(keys.size()) - 1.0f;
}

float Curve::Evaluate(float t) const
{
    // A time of inf or NaN (a timeSpeed of inf in a file) has no place on a
    // line or spline; it must not pick a segment from a meaningless index.
    // A single key is a constant whatever the time.
    if (!std::isfinite(t) && keys.size() != 1)
        return std::numeric_limits<float>::quiet_NaN();
    const float x = t * scale;
    return SampleCatmullRom(x, keys.data(), static_cast<int>(keys.size()));
}

}  // namespace IntroModel

namespace {

// The segment of a spline sample: four points and the local fraction.
struct Segment {
    float p0, p1, p2, p3;
};

// Caller guarantees n >= 3 and 0 <= x <= n - 1.
Segment ChooseSegment(float x, const float* k, int n, float& u)
{
    if (x < 1.0f) {
        u = x;
        return {2.0f * k[0] - k[1], k[0], k[1], k[2]};
    }
    if (x >= static_cast<float>(n - 2)) {
        u = x - static_cast<float>(n) + 2.0f;
        return {k[n - 3], k[n - 2], k[n - 1], 2.0f * k[n - 1] - k[n - 2]};
    }
    int i = static_cast<int>(Floor(x));
    // Float rounding of huge key counts must not push the window past the end.
    if (i < 1)
        i = 1;
    if (i > n - 3)
        i = n - 3;
    u = x - static_cast<float>(i);
    return {k[i - 1], k[i], k[i + 1], k[i + 2]};
}

bool OutsideSpline(float x, int n)
{
    // NaN lands here as well: the linear rule reads only keys in range.
    return n <= 2 || !(x >= 0.0f) || x > static_cast<float>(n - 1);
}

}  // namespace

float SampleCatmullRom(float x, const float* keys, int n)
{
    if (OutsideSpline(x, n))
        return SampleLinear(x, keys, n);
    float u = 0.0f;
    const Segment s = ChooseSegment(x, keys, n, u);
    return CatmullRom(u, s.p0, s.p1, s.p2, s.p3);
}

float SampleLinear(float x, const float* keys, int n)
{
    if (n <= 0)
        return x;
    if (n == 1)
        return keys[0];
    int i0, i1;
    if (x < 0.0f) {
        i0 = 0;
        i1 = 1;
    } else if (x < static_cast<float>(n - 1)) {
        i0 = static_cast<int>(Floor(x));
        if (i0 > n - 2)
            i0 = n - 2;
        i1 = i0 + 1;
    } else {
        i0 = n - 2;
        i1 = n - 1;
    }
    const float f = x - static_cast<float>(i0);
    return keys[i1] * f + (1.0f - f) * keys[i0];
}

float CatmullRom(float u, float p0, float p1, float p2, float p3)
{
    const double U = u, u2 = U * U, u3 = u2 * U;
    const double sum = 2.0 * p1 + (double(p2) - p0) * U + (2.0 * p0 - 5.0 * p1 + 4.0 * p2 - double(p3)) * u2 +
                       (-double(p0) + 3.0 * p1 - 3.0 * p2 + p3) * u3;
    return static_cast<float>(0.5 * sum);
}

float Floor(float x)
{
    // Beyond 2^31 (and for inf and NaN) there is no 32-bit integer to round
    // to; such floats are already integral, or not numbers at all.
    if (!(std::fabs(x) < 2147483648.0f))
        return x;
    const float r = static_cast<float>(static_cast<std::int32_t>(std::nearbyint(x)));
    return r <= x ? r : r - 1.0f;
}

float Fract(float x)
{
    return x - Floor(x);
}

float Abs(float x)
{
    return x < 0.0f ? -x : x;
}

float Lerp(float t, float a, float b)
{
    return (b - a) * t + a;
}

float CubicInterpolate(float u, float y0, float y1, float y2, float y3)
{
    const float a0 = y3 - y2 - y0 + y1;
    const float a1 = y0 - y1 - a0;
    const float a2 = y2 - y0;
    const float a3 = y1;
    const float u2 = u * u;
    return a0 * u * u2 + a1 * u2 + a2 * u + a3;
}

float SampleCubic(float x, const float* keys, int n)
{
    if (OutsideSpline(x, n))
        return SampleLinear(x, keys, n);
    float u = 0.0f;
    const Segment s = ChooseSegment(x, keys, n, u);
    return CubicInterpolate(Fract(x), s.p0, s.p1, s.p2, s.p3);
}

namespace {

// The segment index where rising keys reach y, for InvertLinear and InvertCatmullRom.
int FindRisingSegment(float y, const float* keys, int n)
{
    int i = 0;
    while (keys[i + 1] < y && i + 1 < n - 1)
        ++i;
    return i;
}

}  // namespace

float InvertLinear(float y, const float* keys, int n)
{
    if (n < 2)
        return 0.0f;
    const int i = FindRisingSegment(y, keys, n);
    return static_cast<float>(i) + (y - keys[i]) / (keys[i + 1] - keys[i]);
}

float InvertCatmullRom(float y, const float* keys, int n)
{
    if (n < 2)
        return 0.0f;
    const int i = FindRisingSegment(y, keys, n);
    float x = static_cast<float>(i) + (y - keys[i]) / (keys[i + 1] - keys[i]);
    const float d = keys[i + 1] - keys[i];
    const float weights[4] = {1.0f, 0.5f, 0.25f, 0.125f};
    for (float weight : weights) {
        const float v = SampleCatmullRom(x, keys, n);
        const float e = Abs(v - y) / d * weight;
        x = y > v ? x + e : x - e;
    }
    return x;
}
