#include "core/Vector2f.h"

#include <cmath>

namespace lua__Engine_vector_math {

Vector2f::Vector2f(float x, float y) : X(x), Y(y) {}

Vector2f::Vector2f(const Vector4f& v) : X(v.x), Y(v.y) {}

float Vector2f::Length() const
{
    return std::sqrt(LengthSquared());
}

float Vector2f::LengthSquared() const
{
    return X * X + Y * Y;
}

Vector2f Vector2f::GetNormal() const
{
    return Vector2f(-Y, X);
}

Vector2f& Vector2f::NormalizeThis()
{
    const float length = Length();
    if (length == 0.0f)
        return *this;  // nothing to scale; dividing would give NaN
    const float inverse = 1.0f / length;
    X *= inverse;
    Y *= inverse;
    return *this;
}

float Vector2f::Distance(const Vector2f& other) const
{
    return std::sqrt(DistanceSquared(other));
}

float Vector2f::DistanceSquared(const Vector2f& other) const
{
    const float dx = other.X - X;
    const float dy = other.Y - Y;
    return dx * dx + dy * dy;
}

float Vector2f::Angle() const
{
    return std::atan2(Y, X);
}

std::ostream& operator<<(std::ostream& out, const Vector2f& v)
{
    return out << "< " << v.X << ", " << v.Y << " >";
}

} // namespace lua__Engine_vector_math
