#include "script/Vector2fType.h"

#include "core/Vector2f.h"
#include "core/Vector4f.h"
#include "platform/lua/Lua.h"

void RegisterVector2fType(lua::State& state)
{
    using lua__Engine_vector_math::Vector2f;
    state.NewUsertype<Vector2f>("Vector2f")
        .Constructor<>()
        .Constructor<float, float>()
        .Constructor<const Vector4f&>()  // matches once a script type for Vector4f exists
        .Constructor<const Vector2f&>()
        .Property("X", &Vector2f::X)
        .Property("Y", &Vector2f::Y)
        .Method("Length", &Vector2f::Length)
        .Method("LengthSquared", &Vector2f::LengthSquared)
        .Method("GetNormal", &Vector2f::GetNormal)
        .Method("NormalizeThis", &Vector2f::NormalizeThis)
        .Method("Distance", &Vector2f::Distance)
        .Method("DistanceSquared", &Vector2f::DistanceSquared)
        .Method("Angle", &Vector2f::Angle)
        .ToString();
}
