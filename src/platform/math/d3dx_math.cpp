#include "platform/math/d3dx_math.h"

#include <cmath>

namespace {
void Identity(D3DXMATRIX* out)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            out->m[r][c] = r == c ? 1.0f : 0.0f;
}
}  // namespace

D3DXMATRIX* D3DXMatrixPerspectiveFovLH(D3DXMATRIX* out, float fovY, float aspect, float zn, float zf)
{
    const float yScale = 1.0f / std::tan(fovY / 2.0f);
    const float xScale = yScale / aspect;
    Identity(out);
    out->m[0][0] = xScale;
    out->m[1][1] = yScale;
    out->m[2][2] = zf / (zf - zn);
    out->m[2][3] = 1.0f;
    out->m[3][2] = -zn * zf / (zf - zn);
    out->m[3][3] = 0.0f;
    return out;
}

D3DXMATRIX* D3DXMatrixRotationAxis(D3DXMATRIX* out, const D3DXVECTOR3* axis, float angle)
{
    D3DXVECTOR3 v;
    D3DXVec3Normalize(&v, axis);
    const float s = std::sin(angle);
    const float c = std::cos(angle);
    const float t = 1.0f - c;
    Identity(out);
    out->m[0][0] = t * v.x * v.x + c;
    out->m[1][0] = t * v.x * v.y - s * v.z;
    out->m[2][0] = t * v.x * v.z + s * v.y;
    out->m[0][1] = t * v.x * v.y + s * v.z;
    out->m[1][1] = t * v.y * v.y + c;
    out->m[2][1] = t * v.y * v.z - s * v.x;
    out->m[0][2] = t * v.x * v.z - s * v.y;
    out->m[1][2] = t * v.y * v.z + s * v.x;
    out->m[2][2] = t * v.z * v.z + c;
    return out;
}

D3DXMATRIX* D3DXMatrixRotationY(D3DXMATRIX* out, float angle)
{
    const float s = std::sin(angle);
    const float c = std::cos(angle);
    Identity(out);
    out->m[0][0] = c;
    out->m[0][2] = -s;
    out->m[2][0] = s;
    out->m[2][2] = c;
    return out;
}

D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* m1, const D3DXMATRIX* m2)
{
    D3DXMATRIX r;  // out may be m1 or m2
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = m1->m[i][0] * m2->m[0][j] + m1->m[i][1] * m2->m[1][j] + m1->m[i][2] * m2->m[2][j] +
                        m1->m[i][3] * m2->m[3][j];
    *out = r;
    return out;
}

D3DXVECTOR3* D3DXVec3Normalize(D3DXVECTOR3* out, const D3DXVECTOR3* v)
{
    const float x = v->x, y = v->y, z = v->z;
    const float length = std::sqrt(x * x + y * y + z * z);
    if (length == 0.0f) {
        out->x = out->y = out->z = 0.0f;
    } else {
        out->x = x / length;
        out->y = y / length;
        out->z = z / length;
    }
    return out;
}

D3DXVECTOR3* D3DXVec3TransformNormal(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DXMATRIX* m)
{
    const float x = v->x, y = v->y, z = v->z;
    out->x = x * m->m[0][0] + y * m->m[1][0] + z * m->m[2][0];
    out->y = x * m->m[0][1] + y * m->m[1][1] + z * m->m[2][1];
    out->z = x * m->m[0][2] + y * m->m[1][2] + z * m->m[2][2];
    return out;
}
