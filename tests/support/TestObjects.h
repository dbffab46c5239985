#pragma once
// Building test objects by hand, without archetype files.
#include <functional>
#include <string>

class GameObject;

namespace testsupport {

// A named object holding only a Transform at (x, y), turned by rotationDegrees and scaled by (sx, sy).
// It takes the next object id, as a factory-made object would.
GameObject* MakePlacedObject(const std::string& name, float x, float y, float rotationDegrees = 0.0f,
                             float sx = 1.0f, float sy = 1.0f);

// Builds objects with make() until one lands at the address a deleted object had, at most `tries`
// times; the misses are deleted. Returns the last object built (at that address when it was reused;
// an allocator that holds freed memory back, as the address sanitizer does, never reuses it).
GameObject* BuildAtAddress(const void* freed, const std::function<GameObject*()>& make, int tries = 256);

} // namespace testsupport
