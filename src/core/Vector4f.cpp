#include "core/Vector4f.h"

Vector4f::Vector4f(float x_, float y_) : x(x_), y(y_) {}

Vector4f::Vector4f(float x_, float y_, float z_, float w_) : x(x_), y(y_), z(z_), w(w_) {}

float& Vector4f::operator[](int index)
{
    switch (index) {
    case 0: return x;
    case 1: return y;
    case 2: return z;
    default: return w;
    }
}

float Vector4f::operator[](int index) const
{
    return const_cast<Vector4f&>(*this)[index];
}

bool Vector4f::operator==(const Vector4f& other) const
{
    return x == other.x && y == other.y && z == other.z && w == other.w;
}
