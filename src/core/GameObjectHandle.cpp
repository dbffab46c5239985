#include "core/GameObjectHandle.h"

#include "core/GameObject.h"
#include "core/GameObjectManager.h"

void GameObjectHandle::Set(const GameObject* object)
{
    valid_ = object != nullptr;
    id_ = object ? object->GetId() : 0;
}

GameObject* GameObjectHandle::Get() const
{
    if (!valid_ || !gGameObjectManager)
        return nullptr;
    return gGameObjectManager->FindById(id_);
}
