#include "TestObjects.h"

#include "core/GameObject.h"
#include "core/Transform.h"

namespace testsupport {

GameObject* MakePlacedObject(const std::string& name, float x, float y, float rotationDegrees, float sx, float sy)
{
    constexpr float kRadiansPerDegree = 0.017453292f;
    auto* object = new GameObject();
    object->SetName(name);
    auto* transform = new Transform();
    transform->TranslationX = x;
    transform->TranslationY = y;
    transform->Rotation = rotationDegrees * kRadiansPerDegree;
    transform->ScaleX = sx;
    transform->ScaleY = sy;
    object->SetComponent(transform);
    return object;
}

} // namespace testsupport
