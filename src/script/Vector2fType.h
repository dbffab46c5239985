#pragma once
// The script type "Vector2f": the engine's two-float vector, crossing between engine and Lua by copy.
namespace lua {
class State;
}

// Registers "Vector2f": constructors (), (x, y), (Vector4f) and (Vector2f); properties X and Y; the
// methods Length, LengthSquared, GetNormal, NormalizeThis, Distance, DistanceSquared and Angle; and the
// text form "< x, y >".
void RegisterVector2fType(lua::State& state);
