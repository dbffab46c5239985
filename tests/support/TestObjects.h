#pragma once
// Building test objects by hand, without archetype files.
#include <string>

class GameObject;

namespace testsupport {

// A named object holding only a Transform at (x, y), turned by rotationDegrees and scaled by (sx, sy).
GameObject* MakePlacedObject(const std::string& name, float x, float y, float rotationDegrees = 0.0f,
                             float sx = 1.0f, float sy = 1.0f);

} // namespace testsupport
