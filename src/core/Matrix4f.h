#pragma once
// 4x4 float matrix, column-major: element (row r, column c) is m[c * 4 + r]. Vectors are columns and are
// multiplied on the right (v' = M * v), so a translation lives in m[12], m[13], m[14].
#include "core/Vector4f.h"

class Matrix4f {
public:
    float m[16];

    // The identity.
    Matrix4f();
    // From sixteen values in column-major order.
    explicit Matrix4f(const float values[16]);

    static Matrix4f Identity();
    // T(tx, ty, tz): the identity with m[12] = tx, m[13] = ty, m[14] = tz.
    static Matrix4f Translation(float tx, float ty, float tz = 0.0f);
    // S(sx, sy, sz): the identity with m[0] = sx, m[5] = sy, m[10] = sz.
    static Matrix4f Scale(float sx, float sy, float sz = 1.0f);
    // Rz(angle), angle in radians: columns (cos, sin, 0, 0), (-sin, cos, 0, 0), (0, 0, 1, 0), (0, 0, 0, 1).
    static Matrix4f RotationZ(float angle);

    // m * v.
    static Vector4f MultiplyVector(const Matrix4f& matrix, const Vector4f& v);
    // a * b, computed into a separate result so either argument may be assigned the result.
    static Matrix4f Multiply(const Matrix4f& a, const Matrix4f& b);
    // The adjugate divided by the determinant. A singular matrix (determinant 0) gives the identity.
    static Matrix4f Inverse(const Matrix4f& matrix);

    // this = Rz(angle) * this: the rotation is applied after what the matrix already does.
    void RotateZ(float angle);

    // Element at row r, column c.
    float Get(int row, int column) const { return m[column * 4 + row]; }
    void Set(int row, int column, float value) { m[column * 4 + row] = value; }
    const float* Data() const { return m; }

    Matrix4f operator*(const Matrix4f& other) const { return Multiply(*this, other); }
    Vector4f operator*(const Vector4f& v) const { return MultiplyVector(*this, v); }
};
