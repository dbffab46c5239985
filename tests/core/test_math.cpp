// Matrix and vector maths.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <sstream>

#include "core/Matrix4f.h"
#include "core/Vector2f.h"
#include "core/Vector4f.h"

using lua__Engine_vector_math::Vector2f;

namespace {

void ExpectVector(const Vector4f& v, float x, float y, float z, float w, float tolerance = 1e-6f)
{
    EXPECT_NEAR(v.x, x, tolerance);
    EXPECT_NEAR(v.y, y, tolerance);
    EXPECT_NEAR(v.z, z, tolerance);
    EXPECT_NEAR(v.w, w, tolerance);
}

void ExpectIdentity(const Matrix4f& m, float tolerance)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(m.Get(r, c), r == c ? 1.0f : 0.0f, tolerance) << "row " << r << " column " << c;
}

} // namespace

TEST(Matrix4f, DefaultIsIdentityStoredColumnMajor)
{
    Matrix4f m;
    ExpectIdentity(m, 0.0f);
    Matrix4f t = Matrix4f::Translation(3, 4);
    EXPECT_EQ(t.m[12], 3.0f);
    EXPECT_EQ(t.m[13], 4.0f);
    EXPECT_EQ(t.m[14], 0.0f);
    EXPECT_EQ(t.m[15], 1.0f);
    EXPECT_EQ(t.Get(0, 3), 3.0f);
    Matrix4f s = Matrix4f::Scale(2, 5);
    EXPECT_EQ(s.m[0], 2.0f);
    EXPECT_EQ(s.m[5], 5.0f);
    EXPECT_EQ(s.m[10], 1.0f);
    Matrix4f r = Matrix4f::RotationZ(0.5f);
    EXPECT_EQ(r.m[0], std::cos(0.5f));
    EXPECT_EQ(r.m[1], std::sin(0.5f));
    EXPECT_EQ(r.m[4], -std::sin(0.5f));
    EXPECT_EQ(r.m[5], std::cos(0.5f));
}

TEST(Matrix4f, MultiplyVectorTransformsPointsAndDirections)
{
    const Matrix4f t = Matrix4f::Translation(3, 4);
    ExpectVector(Matrix4f::MultiplyVector(t, Vector4f(1, 2, 0, 1)), 4, 6, 0, 1, 0);
    ExpectVector(Matrix4f::MultiplyVector(t, Vector4f(1, 2, 0, 0)), 1, 2, 0, 0, 0);
    ExpectVector(t * Vector4f(1, 2, 0, 1), 4, 6, 0, 1, 0);

    // A general matrix against a hand-computed product: rows (1 2 3 4), (5 6 7 8), (9 10 11 12), (13 14 15 16).
    const float values[16] = {1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15, 4, 8, 12, 16};
    const Matrix4f m(values);
    ExpectVector(Matrix4f::MultiplyVector(m, Vector4f(1, 0, -1, 2)), 6, 14, 22, 30, 0);
}

TEST(Matrix4f, RotateZPremultiplies)
{
    Matrix4f m;
    m.RotateZ(std::numbers::pi_v<float> / 2);
    ExpectVector(Matrix4f::MultiplyVector(m, Vector4f(1, 0, 0, 1)), 0, 1, 0, 1);

    // The rotation comes after the translation already in the matrix.
    Matrix4f moved = Matrix4f::Translation(1, 0);
    moved.RotateZ(std::numbers::pi_v<float> / 2);
    ExpectVector(moved * Vector4f(0, 0, 0, 1), 0, 1, 0, 1);
}

TEST(Matrix4f, MultiplyOrderMatters)
{
    const Matrix4f t = Matrix4f::Translation(1, 0);
    const Matrix4f s = Matrix4f::Scale(2, 2);
    ExpectVector(Matrix4f::Multiply(t, s) * Vector4f(1, 1, 0, 1), 3, 2, 0, 1, 0);
    ExpectVector(Matrix4f::Multiply(s, t) * Vector4f(1, 1, 0, 1), 4, 2, 0, 1, 0);

    // Against hand-computed values: A = rows (1 2 0 0), (0 1 0 0), (0 0 1 0), (0 0 0 1);
    // B = rows (3 0 0 1), (1 1 0 0), (0 0 2 0), (0 0 0 1); A*B = rows (5 2 0 1), (1 1 0 0), (0 0 2 0), (0 0 0 1).
    Matrix4f a, b;
    a.Set(0, 1, 2);
    b.Set(0, 0, 3);
    b.Set(0, 3, 1);
    b.Set(1, 0, 1);
    b.Set(2, 2, 2);
    const Matrix4f ab = Matrix4f::Multiply(a, b);
    const float expected[4][4] = {{5, 2, 0, 1}, {1, 1, 0, 0}, {0, 0, 2, 0}, {0, 0, 0, 1}};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(ab.Get(r, c), expected[r][c]) << r << "," << c;

    // The product may be stored back into an argument.
    a = Matrix4f::Multiply(a, b);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(a.m[i], ab.m[i]);
}

TEST(Matrix4f, InverseTimesMatrixIsIdentity)
{
    const Matrix4f m = Matrix4f::Translation(5, -2) * Matrix4f::RotationZ(0.3f) * Matrix4f::Scale(2, 4);
    const Matrix4f inverse = Matrix4f::Inverse(m);
    ExpectIdentity(Matrix4f::Multiply(inverse, m), 1e-5f);
    ExpectIdentity(Matrix4f::Multiply(m, inverse), 1e-5f);

    // A known inverse: T(3, 4) inverts to T(-3, -4).
    const Matrix4f t = Matrix4f::Inverse(Matrix4f::Translation(3, 4));
    EXPECT_FLOAT_EQ(t.m[12], -3.0f);
    EXPECT_FLOAT_EQ(t.m[13], -4.0f);

    // A general (non-affine) matrix.
    const float values[16] = {2, 0, 1, 0, 1, 3, 0, 1, 0, 1, 4, 0, 1, 0, 0, 5};
    const Matrix4f g(values);
    ExpectIdentity(Matrix4f::Multiply(Matrix4f::Inverse(g), g), 1e-5f);
}

TEST(Matrix4f, SingularMatrixInvertsToIdentity)
{
    const Matrix4f flat = Matrix4f::Scale(0, 1);
    const Matrix4f inverse = Matrix4f::Inverse(flat);
    ExpectIdentity(inverse, 0.0f);
}

TEST(Vector4f, ConstructionAndIndexing)
{
    Vector4f two(1, 2);
    EXPECT_EQ(two.z, 0.0f);
    EXPECT_EQ(two.w, 0.0f);
    Vector4f v(1, 2, 3, 4);
    EXPECT_EQ(v[0], 1.0f);
    EXPECT_EQ(v[3], 4.0f);
    v[2] = 9;
    EXPECT_EQ(v.z, 9.0f);
    EXPECT_EQ(Vector4f(), Vector4f(0, 0, 0, 0));
    EXPECT_NE(Vector4f(1, 2), Vector4f(1, 2, 0, 1));
}

TEST(Vector2f, LengthsDistancesAndAngles)
{
    const Vector2f v(3, 4);
    EXPECT_FLOAT_EQ(v.Length(), 5.0f);
    EXPECT_FLOAT_EQ(v.LengthSquared(), 25.0f);
    EXPECT_EQ(Vector2f(1, 0).GetNormal(), Vector2f(0, 1));
    EXPECT_EQ(Vector2f(0, 1).GetNormal(), Vector2f(-1, 0));
    EXPECT_FLOAT_EQ(Vector2f(0, -1).Angle(), -std::numbers::pi_v<float> / 2);
    EXPECT_FLOAT_EQ(Vector2f(1, 1).Distance(Vector2f(4, 5)), 5.0f);
    EXPECT_FLOAT_EQ(Vector2f(1, 1).DistanceSquared(Vector2f(4, 5)), 25.0f);
    EXPECT_EQ(Vector2f(), Vector2f(0, 0));
    EXPECT_EQ(Vector2f(Vector4f(7, 8, 9, 1)), Vector2f(7, 8));
}

TEST(Vector2f, NormalizeThisScalesInPlace)
{
    Vector2f v(3, 4);
    Vector2f& same = v.NormalizeThis();
    EXPECT_EQ(&same, &v);
    EXPECT_FLOAT_EQ(v.X, 0.6f);
    EXPECT_FLOAT_EQ(v.Y, 0.8f);
    Vector2f zero;
    zero.NormalizeThis();
    EXPECT_EQ(zero, Vector2f(0, 0));  // no NaN from a zero length
}

TEST(Vector2f, TextForm)
{
    auto text = [](const Vector2f& v) {
        std::ostringstream out;
        out << v;
        return out.str();
    };
    EXPECT_EQ(text(Vector2f(1.5f, -2)), "< 1.5, -2 >");
    EXPECT_EQ(text(Vector2f(0.1f, 2)), "< 0.1, 2 >");
    EXPECT_EQ(text(Vector2f(100000, 0.5f)), "< 100000, 0.5 >");
    EXPECT_EQ(text(Vector2f(1234567, 0)), "< 1.23457e+06, 0 >");
}
