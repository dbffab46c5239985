#pragma once
// Four floats x, y, z, w: a point or direction in homogeneous form, and the result of transforming one.

class Vector4f {
public:
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float w = 0.0f;

    Vector4f() = default;
    // A value made from two coordinates has z = 0 and w = 0.
    Vector4f(float x_, float y_);
    Vector4f(float x_, float y_, float z_, float w_);

    // Component by position: 0 x, 1 y, 2 z, 3 w (any other index gives w).
    float& operator[](int index);
    float operator[](int index) const;

    bool operator==(const Vector4f& other) const;
    bool operator!=(const Vector4f& other) const { return !(*this == other); }
};
