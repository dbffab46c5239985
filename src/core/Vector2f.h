#pragma once
// Two floats X and Y: the vector that scripts use for positions, scales, velocities and directions.
#include <ostream>

#include "core/Vector4f.h"

namespace lua__Engine_vector_math {

class Vector2f {
public:
    float X = 0.0f;
    float Y = 0.0f;

    Vector2f() = default;
    Vector2f(float x, float y);
    // Takes x and y of the four-float vector.
    explicit Vector2f(const Vector4f& v);

    float Length() const;
    float LengthSquared() const;
    // The vector turned a quarter turn anticlockwise, (-Y, X); not scaled.
    Vector2f GetNormal() const;
    // Scales this vector to length 1 and returns it; a zero vector is left as it is.
    Vector2f& NormalizeThis();
    float Distance(const Vector2f& other) const;
    float DistanceSquared(const Vector2f& other) const;
    // atan2(Y, X) in radians, in -pi..pi.
    float Angle() const;

    bool operator==(const Vector2f& other) const { return X == other.X && Y == other.Y; }
    bool operator!=(const Vector2f& other) const { return !(*this == other); }
};

// Writes "< X, Y >" with the stream's current float formatting.
std::ostream& operator<<(std::ostream& out, const Vector2f& v);

} // namespace lua__Engine_vector_math
