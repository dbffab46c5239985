#pragma once
// Keeps the registry of blocks made by the collision pass: per object name, the other objects it was
// pushed against and on which side.
#include <map>
#include <string>
#include <vector>

#include "core/ISystem.h"
#include "world/Physics.h"

class PhysicsSystem : public ISystem {
public:
    PhysicsSystem() = default;
    // Clears gPhysicsSystem when it points here.
    ~PhysicsSystem() override;

    std::string GetName() override { return "PhysicsSystem"; }
    // Publishes this system as gPhysicsSystem.
    void Init() override;
    void Update(float) override {}
    void Draw() override {}

    // Adds a record under name on gPhysicsSystem; nothing without one. A record for the same other
    // name on the same side or its opposite (above/below, left/right) is not added twice.
    static void RegisterCollision(std::string name, std::string other, float value, float velocity, int side);
    // The same on this system.
    void AddRecord(const std::string& name, const std::string& other, float value, float velocity, int side);

    // The records kept under a name (null when there are none).
    const std::vector<CollisionRecord>* GetRecords(const std::string& name) const;
    // Empties the registry.
    void Clear() { registry.clear(); }

    bool clearFlag = false;   // the object manager empties the registry before its next pass when set
    std::map<std::string, std::vector<CollisionRecord>> registry;
};

// The initialised PhysicsSystem, or null.
extern PhysicsSystem* gPhysicsSystem;
