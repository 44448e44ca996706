#include "platform/math/d3dx_math.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {
constexpr float kPi = 3.14159265358979f;

void ExpectMatrix(const D3DXMATRIX& m, const float (&expected)[4][4], float tolerance = 1e-6f)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(m.m[r][c], expected[r][c], tolerance) << "element (" << r << ", " << c << ")";
}

D3DXVECTOR3 Turn(const D3DXVECTOR3& v, const D3DXMATRIX& m)
{
    D3DXVECTOR3 out;
    D3DXVec3TransformNormal(&out, &v, &m);
    return out;
}

void ExpectVector(const D3DXVECTOR3& v, float x, float y, float z, float tolerance = 1e-6f)
{
    EXPECT_NEAR(v.x, x, tolerance);
    EXPECT_NEAR(v.y, y, tolerance);
    EXPECT_NEAR(v.z, z, tolerance);
}
}  // namespace

TEST(D3dxMath, PerspectiveFovLhMapsNearToZeroAndFarToOne)
{
    D3DXMATRIX m;
    EXPECT_EQ(D3DXMatrixPerspectiveFovLH(&m, kPi / 2, 2.0f, 1.0f, 11.0f), &m);
    const float expected[4][4] = {{0.5f, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1.1f, 1}, {0, 0, -1.1f, 0}};
    ExpectMatrix(m, expected, 1e-6f);

    // Depth after the divide by w (= z for row vectors).
    for (float z : {1.0f, 11.0f}) {
        const float depth = (z * m.m[2][2] + m.m[3][2]) / (z * m.m[2][3]);
        EXPECT_NEAR(depth, z == 1.0f ? 0.0f : 1.0f, 1e-6f);
    }
}

TEST(D3dxMath, RotationsTurnTheAxesLeftHanded)
{
    struct Case {
        const char* name;
        D3DXVECTOR3 axis;
        D3DXVECTOR3 in;
        D3DXVECTOR3 out;
    };
    // A quarter turn about each axis, the axis given at lengths other than 1.
    const Case cases[] = {
        {"x: y to z", {2, 0, 0}, {0, 1, 0}, {0, 0, 1}},   {"x: z to -y", {0.5f, 0, 0}, {0, 0, 1}, {0, -1, 0}},
        {"y: x to -z", {0, 3, 0}, {1, 0, 0}, {0, 0, -1}}, {"y: z to x", {0, 1, 0}, {0, 0, 1}, {1, 0, 0}},
        {"z: x to y", {0, 0, 1}, {1, 0, 0}, {0, 1, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        D3DXMATRIX m;
        EXPECT_EQ(D3DXMatrixRotationAxis(&m, &c.axis, kPi / 2), &m);
        ExpectVector(Turn(c.in, m), c.out.x, c.out.y, c.out.z);
        EXPECT_EQ(m.m[3][3], 1.0f);
        EXPECT_EQ(m.m[3][0], 0.0f);
        EXPECT_EQ(m.m[0][3], 0.0f);
    }
}

TEST(D3dxMath, RotationYEqualsRotationAboutTheYAxis)
{
    for (float angle : {0.0f, 0.3f, -1.2f, 2.5f}) {
        D3DXMATRIX a, b;
        const D3DXVECTOR3 axis{0, 1, 0};
        D3DXMatrixRotationAxis(&a, &axis, angle);
        EXPECT_EQ(D3DXMatrixRotationY(&b, angle), &b);
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                EXPECT_NEAR(a.m[r][c], b.m[r][c], 1e-6f);
        EXPECT_FLOAT_EQ(b.m[0][0], std::cos(angle));
        EXPECT_FLOAT_EQ(b.m[2][0], std::sin(angle));
    }
}

TEST(D3dxMath, MultiplyIsRowMajorAndAllowsTheOutputAsAnInput)
{
    D3DXMATRIX a, b;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            a.m[r][c] = static_cast<float>(r * 4 + c);
            b.m[r][c] = (r == c ? 2.0f : 0.0f) + (r == 3 && c == 0 ? 5.0f : 0.0f);
        }
    D3DXMATRIX out;
    EXPECT_EQ(D3DXMatrixMultiply(&out, &a, &b), &out);
    // Row r of a x b: 2 * a(r, c) plus 5 * a(r, 3) in column 0.
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_FLOAT_EQ(out.m[r][c], 2.0f * a.m[r][c] + (c == 0 ? 5.0f * a.m[r][3] : 0.0f));

    D3DXMATRIX inPlace = a;
    D3DXMatrixMultiply(&inPlace, &inPlace, &b);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(inPlace.m[r][c], out.m[r][c]);
}

TEST(D3dxMath, NormalizeAndTransformNormal)
{
    D3DXVECTOR3 v{3, 0, -4};
    EXPECT_EQ(D3DXVec3Normalize(&v, &v), &v);
    ExpectVector(v, 0.6f, 0.0f, -0.8f);

    const D3DXVECTOR3 zero{0, 0, 0};
    D3DXVECTOR3 out{1, 1, 1};
    D3DXVec3Normalize(&out, &zero);
    ExpectVector(out, 0, 0, 0, 0);

    // The translation row does not move a direction.
    D3DXMATRIX m;
    D3DXMatrixRotationY(&m, kPi / 2);
    m.m[3][0] = 10;
    m.m[3][1] = 20;
    m.m[3][2] = 30;
    D3DXVECTOR3 d{1, 2, 0};
    EXPECT_EQ(D3DXVec3TransformNormal(&d, &d, &m), &d);
    ExpectVector(d, 0, 2, -1);
}
