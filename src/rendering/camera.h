#pragma once
// A free-look camera for a left-handed system: position and three unit axes
// give the view matrix, the lens gives a perspective projection. Row vectors:
// a world point p maps to p x view x proj.
#include "rendering/math_types.h"

Float3* Cross(Float3* result, const Float3& a, const Float3& b);
float Dot(const Float3& a, const Float3& b);
Float3* Subtract(Float3* result, const Float3& a, const Float3& b);

class Camera {
public:
    Float3 position;
    Float3 right;
    Float3 up;
    Float3 look;
    float nearZ;
    float farZ;
    float aspect;
    float fovY;
    float nearPlaneHeight;
    float farPlaneHeight;
    Matrix4 view;  // no value until the first RebuildView
    Matrix4 proj;

    Camera();
    ~Camera() {}

    void SetProjection(float fovY, float aspect, float nearZ, float farZ);
    void SetPosition(float x, float y, float z);
    void SetPosition(const Float3& v);
    void LookAt(Float3 eye, Float3 target, Float3 worldUp);

    void RotateAboutRight(float angle);
    void RotateAboutWorldY(float angle);
    void MoveAlongRight(float d);
    void MoveAlongLook(float d);
    void RebuildView();

    Float3 GetPosition() const { return position; }
    Float3 GetRight() const { return right; }
    Float3 GetUp() const { return up; }
    Float3 GetLook() const { return look; }
    float GetNearZ() const { return nearZ; }
    float GetFarZ() const { return farZ; }
    float GetAspect() const { return aspect; }
    float GetFovY() const { return fovY; }
    float GetNearPlaneHeight() const { return nearPlaneHeight; }
    float GetFarPlaneHeight() const { return farPlaneHeight; }
    float GetNearPlaneWidth() const;
    float GetFarPlaneWidth() const;
    float GetFovX() const;
    Matrix4 GetView() const { return view; }
    Matrix4 GetProj() const { return proj; }
    Matrix4 GetViewProj() const;
};
