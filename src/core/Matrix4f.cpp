#include "core/Matrix4f.h"

#include <cmath>

Matrix4f::Matrix4f() : m{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1} {}

Matrix4f::Matrix4f(const float values[16])
{
    for (int i = 0; i < 16; ++i)
        m[i] = values[i];
}

Matrix4f Matrix4f::Identity()
{
    return Matrix4f();
}

Matrix4f Matrix4f::Translation(float tx, float ty, float tz)
{
    Matrix4f result;
    result.m[12] = tx;
    result.m[13] = ty;
    result.m[14] = tz;
    return result;
}

Matrix4f Matrix4f::Scale(float sx, float sy, float sz)
{
    Matrix4f result;
    result.m[0] = sx;
    result.m[5] = sy;
    result.m[10] = sz;
    return result;
}

Matrix4f Matrix4f::RotationZ(float angle)
{
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    Matrix4f result;
    result.m[0] = c;
    result.m[1] = s;
    result.m[4] = -s;
    result.m[5] = c;
    return result;
}

Vector4f Matrix4f::MultiplyVector(const Matrix4f& matrix, const Vector4f& v)
{
    Vector4f result;
    for (int r = 0; r < 4; ++r) {
        float sum = 0.0f;
        for (int c = 0; c < 4; ++c)
            sum += matrix.m[c * 4 + r] * v[c];
        result[r] = sum;
    }
    return result;
}

Matrix4f Matrix4f::Multiply(const Matrix4f& a, const Matrix4f& b)
{
    Matrix4f result;
    for (int c = 0; c < 4; ++c) {
        for (int r = 0; r < 4; ++r) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k)
                sum += a.m[k * 4 + r] * b.m[c * 4 + k];
            result.m[c * 4 + r] = sum;
        }
    }
    return result;
}

namespace {

// Determinant of the 3x3 matrix left after removing row r and column c.
float Minor(const Matrix4f& matrix, int row, int column)
{
    float sub[9];
    int n = 0;
    for (int c = 0; c < 4; ++c) {
        if (c == column)
            continue;
        for (int r = 0; r < 4; ++r) {
            if (r == row)
                continue;
            sub[n++] = matrix.Get(r, c);
        }
    }
    // sub is column-major 3x3: element (r, c) at c * 3 + r.
    return sub[0] * (sub[4] * sub[8] - sub[7] * sub[5]) - sub[3] * (sub[1] * sub[8] - sub[7] * sub[2]) +
           sub[6] * (sub[1] * sub[5] - sub[4] * sub[2]);
}

} // namespace

Matrix4f Matrix4f::Inverse(const Matrix4f& matrix)
{
    float cofactor[16];  // cofactor (r, c) at c * 4 + r
    for (int c = 0; c < 4; ++c) {
        for (int r = 0; r < 4; ++r) {
            const float sign = ((r + c) % 2 == 0) ? 1.0f : -1.0f;
            cofactor[c * 4 + r] = sign * Minor(matrix, r, c);
        }
    }
    // Expansion along column 0.
    float determinant = 0.0f;
    for (int r = 0; r < 4; ++r)
        determinant += matrix.Get(r, 0) * cofactor[r];
    if (determinant == 0.0f || !std::isfinite(determinant))
        return Matrix4f();  // singular: no inverse exists
    const float inverseDeterminant = 1.0f / determinant;
    Matrix4f result;
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            result.Set(c, r, cofactor[c * 4 + r] * inverseDeterminant);  // cofactor (r, c) goes to (c, r)
    return result;
}

void Matrix4f::RotateZ(float angle)
{
    *this = Multiply(RotationZ(angle), *this);
}
