#include "rendering/camera.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {
void ExpectRows(const Matrix4& m, const float (&rows)[4][4], float tolerance = 1e-6f)
{
    for (u32 r = 0; r < 4; ++r)
        for (u32 c = 0; c < 4; ++c)
            EXPECT_NEAR(m(r, c), rows[r][c], tolerance) << "element (" << r << ", " << c << ")";
}

void ExpectVector(const Float3& v, float x, float y, float z, float tolerance = 1e-6f)
{
    EXPECT_NEAR(v.x, x, tolerance);
    EXPECT_NEAR(v.y, y, tolerance);
    EXPECT_NEAR(v.z, z, tolerance);
}

float Length(const Float3& v)
{
    return std::sqrt(Dot(v, v));
}

bool SameMatrix(const Matrix4& a, const Matrix4& b)
{
    for (u32 i = 0; i < 16; ++i)
        if (a.m[i] != b.m[i])
            return false;
    return true;
}

Camera StartCamera()
{
    Camera camera;
    camera.SetPosition(0, 0, -5);
    camera.RebuildView();
    return camera;
}
}  // namespace

TEST(Camera, StartsLookingDownZFromMinusFive)
{
    const Camera camera = StartCamera();
    ExpectVector(camera.GetRight(), 1, 0, 0);
    ExpectVector(camera.GetUp(), 0, 1, 0);
    ExpectVector(camera.GetLook(), 0, 0, 1);
    const float view[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 5, 1}};
    ExpectRows(camera.GetView(), view);
}

TEST(Camera, DefaultLens)
{
    const Camera camera;
    struct Case {
        const char* name;
        float value;
        float expected;
        float tolerance;
    };
    const Case cases[] = {
        {"fovY", camera.GetFovY(), 1.0995574f, 0},
        {"aspect", camera.GetAspect(), 1.5f, 0},
        {"nearZ", camera.GetNearZ(), 0.1f, 0},
        {"farZ", camera.GetFarZ(), 1000.0f, 0},
        {"nearPlaneHeight", camera.GetNearPlaneHeight(), 0.12256f, 5e-6f},
        {"farPlaneHeight", camera.GetFarPlaneHeight(), 1225.6f, 0.05f},
        {"nearPlaneWidth", camera.GetNearPlaneWidth(), 0.18384f, 5e-6f},
        {"farPlaneWidth", camera.GetFarPlaneWidth(), 1838.4f, 0.1f},
        {"fovX", camera.GetFovX(), 1.48665f, 5e-5f},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(c.value, c.expected, c.tolerance) << c.name;

    // proj is the left-handed perspective of that lens.
    const Matrix4 proj = camera.GetProj();
    const float yScale = 1.0f / std::tan(1.0995574f / 2);
    EXPECT_NEAR(proj(1, 1), yScale, 1e-5f);
    EXPECT_NEAR(proj(0, 0), yScale / 1.5f, 1e-5f);
    EXPECT_NEAR(proj(2, 2), 1000.0f / 999.9f, 1e-5f);
    EXPECT_EQ(proj(2, 3), 1.0f);
    EXPECT_NEAR(proj(3, 2), -0.1f * 1000.0f / 999.9f, 1e-6f);
    EXPECT_EQ(proj(3, 3), 0.0f);
}

TEST(Camera, TurnsShowOnlyAfterRebuildView)
{
    struct Case {
        const char* name;
        void (*turn)(Camera&);
        Float3 look;  // after a quarter turn
    };
    const Case cases[] = {
        {"about right", [](Camera& c) { c.RotateAboutRight(1.5707964f); }, Float3(0, -1, 0)},
        {"about world y", [](Camera& c) { c.RotateAboutWorldY(1.5707964f); }, Float3(1, 0, 0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Camera camera = StartCamera();
        const Matrix4 before = camera.GetView();
        c.turn(camera);
        EXPECT_TRUE(SameMatrix(camera.GetView(), before));
        camera.RebuildView();
        ExpectVector(camera.GetLook(), c.look.x, c.look.y, c.look.z, 1e-6f);
        EXPECT_FALSE(SameMatrix(camera.GetView(), before));
        // Column 2 holds the look axis; the last row the eye moved into camera space.
        EXPECT_NEAR(camera.view(0, 2), c.look.x, 1e-6f);
        EXPECT_NEAR(camera.view(1, 2), c.look.y, 1e-6f);
        EXPECT_NEAR(camera.view(2, 2), c.look.z, 1e-6f);
        const Float3 eye = camera.GetPosition();
        EXPECT_NEAR(camera.view(3, 2), -Dot(eye, camera.GetLook()), 1e-6f);
    }
}

TEST(Camera, ManyTurnsStillGiveAnOrthonormalBasis)
{
    Camera camera = StartCamera();
    for (int i = 0; i < 500; ++i) {
        camera.RotateAboutRight(0.037f * ((i % 7) - 3));
        camera.RotateAboutWorldY(0.051f * ((i % 5) - 2) + 0.01f);
    }
    camera.RebuildView();
    const Float3 r = camera.GetRight(), u = camera.GetUp(), l = camera.GetLook();
    EXPECT_NEAR(Length(l), 1.0f, 1e-5f);
    EXPECT_NEAR(Length(u), 1.0f, 1e-5f);
    EXPECT_NEAR(Length(r), 1.0f, 1e-5f);
    EXPECT_NEAR(Dot(u, l), 0.0f, 1e-5f);
    EXPECT_NEAR(Dot(r, l), 0.0f, 1e-5f);
    EXPECT_NEAR(Dot(r, u), 0.0f, 1e-5f);
    Float3 upCrossLook;
    Cross(&upCrossLook, u, l);
    ExpectVector(upCrossLook, r.x, r.y, r.z, 1e-6f);
}

TEST(Camera, MovesChangeOnlyThePosition)
{
    Camera camera = StartCamera();
    camera.RotateAboutWorldY(0.5f);
    camera.RebuildView();
    const Matrix4 before = camera.GetView();
    const Float3 right = camera.GetRight(), look = camera.GetLook();
    camera.MoveAlongRight(2.0f);
    camera.MoveAlongLook(-3.0f);
    EXPECT_TRUE(SameMatrix(camera.GetView(), before));
    ExpectVector(camera.GetRight(), right.x, right.y, right.z, 0);
    ExpectVector(camera.GetPosition(), 2 * right.x - 3 * look.x, 2 * right.y - 3 * look.y,
                 -5 + 2 * right.z - 3 * look.z, 1e-6f);
    camera.RebuildView();
    EXPECT_FALSE(SameMatrix(camera.GetView(), before));
}

TEST(Camera, LookAtAndViewProj)
{
    Camera camera;
    camera.LookAt(Float3(0, 0, -5), Float3(0, 0, 10), Float3(0, 1, 0));
    camera.RebuildView();
    ExpectVector(camera.GetLook(), 0, 0, 1);
    ExpectVector(camera.GetRight(), 1, 0, 0);
    // A point on the axis at the far plane lands at depth 1 after the divide.
    const Matrix4 vp = camera.GetViewProj();
    const float z = 995.0f;  // world z of the far plane from the eye at -5
    const float clipZ = z * vp(2, 2) + vp(3, 2);
    const float clipW = z * vp(2, 3) + vp(3, 3);
    EXPECT_NEAR(clipZ / clipW, 1.0f, 1e-5f);
}

TEST(CameraMath, CrossDotSubtract)
{
    Float3 r;
    EXPECT_EQ(Cross(&r, Float3(1, 0, 0), Float3(0, 1, 0)), &r);
    ExpectVector(r, 0, 0, 1, 0);
    EXPECT_EQ(Dot(Float3(1, 2, 3), Float3(4, -5, 6)), 12.0f);
    // Formed in double, rounded once: 1e8 + 1 - 1e8 survives.
    EXPECT_EQ(Dot(Float3(1e8f, 1, -1e8f), Float3(1, 1, 1)), 1.0f);
    EXPECT_EQ(Subtract(&r, Float3(5, 5, 5), Float3(1, 2, 3)), &r);
    ExpectVector(r, 4, 3, 2, 0);
}
