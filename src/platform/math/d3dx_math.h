#pragma once
// The six D3DX10 math functions the camera uses, written from their published
// formulas: row vectors and row-major matrices (element (r, c) is m[r][c]),
// left-handed. Every function accepts an output that is also an input and
// returns its output pointer. Nothing else of D3DX is declared: no other
// vector or matrix operations, no SIMD forms, no D3DXVECTOR3 arithmetic.

struct D3DXVECTOR3 {
    float x, y, z;
};

struct D3DXMATRIX {
    float m[4][4];
};

static_assert(sizeof(D3DXVECTOR3) == 12 && sizeof(D3DXMATRIX) == 64);

// Left-handed perspective projection: y scale cot(fovY / 2), x scale that over
// the aspect ratio, depth mapped from [zn, zf] to [0, 1].
D3DXMATRIX* D3DXMatrixPerspectiveFovLH(D3DXMATRIX* out, float fovY, float aspect, float zn, float zf);

// Rotation by angle radians about an axis through the origin; the axis need
// not have length 1.
D3DXMATRIX* D3DXMatrixRotationAxis(D3DXMATRIX* out, const D3DXVECTOR3* axis, float angle);

// Rotation by angle radians about the y axis.
D3DXMATRIX* D3DXMatrixRotationY(D3DXMATRIX* out, float angle);

// out = m1 x m2.
D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* m1, const D3DXMATRIX* m2);

// out = v / |v|; the zero vector gives the zero vector.
D3DXVECTOR3* D3DXVec3Normalize(D3DXVECTOR3* out, const D3DXVECTOR3* v);

// out = v x (upper 3x3 of m): a direction turned by the matrix, no translation.
D3DXVECTOR3* D3DXVec3TransformNormal(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DXMATRIX* m);
