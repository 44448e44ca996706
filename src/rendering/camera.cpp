#include "rendering/camera.h"

#include <cstring>

#include "platform/math/d3dx_math.h"
#include "support/float_helpers.h"

namespace {
// The math library's types have our layout; values cross over by copy, so no
// object is ever read through a pointer of the other type.
D3DXVECTOR3 ToD3dx(const Float3& v)
{
    return D3DXVECTOR3{v.x, v.y, v.z};
}

Float3 FromD3dx(const D3DXVECTOR3& v)
{
    return Float3(v.x, v.y, v.z);
}

Matrix4 FromD3dx(const D3DXMATRIX& m)
{
    Matrix4 r;
    std::memcpy(r.m, m.m, sizeof(r.m));
    return r;
}

D3DXMATRIX ToD3dx(const Matrix4& m)
{
    D3DXMATRIX r;
    std::memcpy(r.m, m.m, sizeof(r.m));
    return r;
}

Float3 Normalize(const Float3& v)
{
    const D3DXVECTOR3 in = ToD3dx(v);
    D3DXVECTOR3 out;
    D3DXVec3Normalize(&out, &in);
    return FromD3dx(out);
}

Float3 TransformNormal(const Float3& v, const D3DXMATRIX& m)
{
    const D3DXVECTOR3 in = ToD3dx(v);
    D3DXVECTOR3 out;
    D3DXVec3TransformNormal(&out, &in, &m);
    return FromD3dx(out);
}
}  // namespace

// Each component is formed in double and rounded to float once.
Float3* Cross(Float3* result, const Float3& a, const Float3& b)
{
    const double ax = a.x, ay = a.y, az = a.z, bx = b.x, by = b.y, bz = b.z;
    *result = Float3(static_cast<float>(ay * bz - az * by), static_cast<float>(az * bx - ax * bz),
                     static_cast<float>(ax * by - ay * bx));
    return result;
}

float Dot(const Float3& a, const Float3& b)
{
    return static_cast<float>(static_cast<double>(a.x) * b.x + static_cast<double>(a.y) * b.y +
                              static_cast<double>(a.z) * b.z);
}

Float3* Subtract(Float3* result, const Float3& a, const Float3& b)
{
    *result = Float3(a.x - b.x, a.y - b.y, a.z - b.z);
    return result;
}

Camera::Camera()
    : position(0.0f, 0.0f, 0.0f), right(1.0f, 0.0f, 0.0f), up(0.0f, 1.0f, 0.0f), look(0.0f, 0.0f, 1.0f), nearZ(0.1f),
      farZ(1000.0f), aspect(1.5f), fovY(1.0995574f), nearPlaneHeight(0.0f), farPlaneHeight(0.0f)
{
    SetProjection(1.0995574f, 1.5f, 0.1f, 1000.0f);
}

void Camera::SetProjection(float fovY_, float aspect_, float nearZ_, float farZ_)
{
    fovY = fovY_;
    aspect = aspect_;
    nearZ = nearZ_;
    farZ = farZ_;
    const float h = static_cast<float>(fovY * 0.5);
    nearPlaneHeight = static_cast<float>((nearZ * 2.0) * FpuTan(h));
    farPlaneHeight = static_cast<float>((farZ * 2.0) * FpuTan(h));
    D3DXMATRIX p;
    D3DXMatrixPerspectiveFovLH(&p, fovY, aspect, nearZ, farZ);
    proj = FromD3dx(p);
}

void Camera::SetPosition(float x, float y, float z)
{
    position = Float3(x, y, z);
}

void Camera::SetPosition(const Float3& v)
{
    position = v;
}

void Camera::LookAt(Float3 eye, Float3 target, Float3 worldUp)
{
    Float3 L;
    Subtract(&L, target, eye);
    L = Normalize(L);
    Float3 R;
    Cross(&R, worldUp, L);
    R = Normalize(R);
    Float3 U;
    Cross(&U, L, R);
    position = eye;
    look = L;
    right = R;
    up = U;
}

void Camera::RotateAboutRight(float angle)
{
    const D3DXVECTOR3 axis = ToD3dx(right);
    D3DXMATRIX M;
    D3DXMatrixRotationAxis(&M, &axis, angle);
    up = TransformNormal(up, M);
    look = TransformNormal(look, M);
}

void Camera::RotateAboutWorldY(float angle)
{
    D3DXMATRIX M;
    D3DXMatrixRotationY(&M, angle);
    right = TransformNormal(right, M);
    up = TransformNormal(up, M);
    look = TransformNormal(look, M);
}

void Camera::MoveAlongRight(float d)
{
    position = Float3(static_cast<float>(static_cast<double>(d) * right.x + position.x),
                      static_cast<float>(static_cast<double>(d) * right.y + position.y),
                      static_cast<float>(static_cast<double>(d) * right.z + position.z));
}

void Camera::MoveAlongLook(float d)
{
    position = Float3(static_cast<float>(static_cast<double>(d) * look.x + position.x),
                      static_cast<float>(static_cast<double>(d) * look.y + position.y),
                      static_cast<float>(static_cast<double>(d) * look.z + position.z));
}

void Camera::RebuildView()
{
    const Float3 L = Normalize(look);
    Float3 U;
    Cross(&U, L, right);
    U = Normalize(U);
    Float3 R;
    Cross(&R, U, L);

    const float x = -Dot(position, R);
    const float y = -Dot(position, U);
    const float z = -Dot(position, L);

    right = R;
    up = U;
    look = L;

    view(0, 0) = R.x;
    view(0, 1) = U.x;
    view(0, 2) = L.x;
    view(0, 3) = 0.0f;
    view(1, 0) = R.y;
    view(1, 1) = U.y;
    view(1, 2) = L.y;
    view(1, 3) = 0.0f;
    view(2, 0) = R.z;
    view(2, 1) = U.z;
    view(2, 2) = L.z;
    view(2, 3) = 0.0f;
    view(3, 0) = x;
    view(3, 1) = y;
    view(3, 2) = z;
    view(3, 3) = 1.0f;
}

float Camera::GetNearPlaneWidth() const
{
    return aspect * nearPlaneHeight;
}

float Camera::GetFarPlaneWidth() const
{
    return aspect * farPlaneHeight;
}

float Camera::GetFovX() const
{
    const float w = static_cast<float>(GetNearPlaneWidth() * 0.5);
    const float r = w / nearZ;
    return static_cast<float>(2.0 * FpuAtan(r));
}

Matrix4 Camera::GetViewProj() const
{
    const D3DXMATRIX v = ToD3dx(view);
    const D3DXMATRIX p = ToD3dx(proj);
    D3DXMATRIX vp;
    D3DXMatrixMultiply(&vp, &v, &p);
    return FromD3dx(vp);
}
