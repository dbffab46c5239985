#include "world/PhysicsSystem.h"

#include "core/GameObjectManager.h"

PhysicsSystem* gPhysicsSystem = nullptr;

namespace {

// Run by the object manager between its updates and its collision pass.
void ClearWhenAsked()
{
    if (gPhysicsSystem && gPhysicsSystem->clearFlag) {
        gPhysicsSystem->clearFlag = false;
        gPhysicsSystem->Clear();
    }
}

} // namespace

PhysicsSystem::~PhysicsSystem()
{
    if (gPhysicsSystem == this) {
        gPhysicsSystem = nullptr;
        PhysicsClearHook = nullptr;
    }
}

void PhysicsSystem::Init()
{
    gPhysicsSystem = this;
    PhysicsClearHook = ClearWhenAsked;
}

void PhysicsSystem::RegisterCollision(std::string name, std::string other, float value, float velocity, int side)
{
    if (gPhysicsSystem)
        gPhysicsSystem->AddRecord(name, other, value, velocity, side);
}

void PhysicsSystem::AddRecord(const std::string& name, const std::string& other, float value, float velocity,
                              int side)
{
    std::vector<CollisionRecord>& list = registry[name];
    // Sides pair up as 0/1 (above/below) and 2/3 (left/right).
    const int opposite = side ^ 1;
    for (const CollisionRecord& record : list) {
        if (record.other == other &&
            (static_cast<int>(record.side) == side || static_cast<int>(record.side) == opposite))
            return;
    }
    list.push_back({other, value, velocity, static_cast<std::uint32_t>(side)});
}

const std::vector<CollisionRecord>* PhysicsSystem::GetRecords(const std::string& name) const
{
    auto it = registry.find(name);
    return it == registry.end() ? nullptr : &it->second;
}
