#pragma once
// Plain float vectors and a row-major 4x4 matrix with the memory layout of the
// platform math library (platform/math/d3dx_math.h). The default constructors
// leave the components unset; owners write the values they need.
#include <cstdint>

typedef std::uint32_t u32;

struct Float2 {
    float x, y;

    Float2() {}
    Float2(float x_, float y_) : x(x_), y(y_) {}
};

struct Float3 {
    float x, y, z;

    Float3() {}
    Float3(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}

    operator float*() { return &x; }
    operator const float*() const { return &x; }
};

struct Float4 {
    float x, y, z, w;

    Float4() {}
    Float4(float x_, float y_, float z_, float w_) : x(x_), y(y_), z(z_), w(w_) {}
    explicit Float4(const float* p) : x(p[0]), y(p[1]), z(p[2]), w(p[3]) {}
};

struct Matrix4 {
    float m[16];  // row by row: element (row, column) is m[row * 4 + column]

    Matrix4() {}

    float& operator()(u32 row, u32 column) { return m[row * 4 + column]; }
    const float& operator()(u32 row, u32 column) const { return m[row * 4 + column]; }
};

static_assert(sizeof(Float2) == 8 && sizeof(Float3) == 12 && sizeof(Float4) == 16 && sizeof(Matrix4) == 64);
