#include "TestObjects.h"

#include <vector>

#include "core/GameObject.h"
#include "core/GameObjectFactory.h"
#include "core/Transform.h"

namespace testsupport {

GameObject* MakePlacedObject(const std::string& name, float x, float y, float rotationDegrees, float sx, float sy)
{
    constexpr float kRadiansPerDegree = 0.017453292f;
    auto* object = new GameObject();
    object->SetName(name);
    object->SetId(GameObjectFactory::TakeNextId());
    auto* transform = new Transform();
    transform->TranslationX = x;
    transform->TranslationY = y;
    transform->Rotation = rotationDegrees * kRadiansPerDegree;
    transform->ScaleX = sx;
    transform->ScaleY = sy;
    object->SetComponent(transform);
    return object;
}

GameObject* BuildAtAddress(const void* freed, const std::function<GameObject*()>& make, int tries)
{
    std::vector<GameObject*> misses;
    GameObject* built = make();
    while (built != freed && static_cast<int>(misses.size()) + 1 < tries) {
        misses.push_back(built); // kept until the end, so the allocator hands out another block
        built = make();
    }
    for (GameObject* miss : misses)
        delete miss;
    return built;
}

} // namespace testsupport
