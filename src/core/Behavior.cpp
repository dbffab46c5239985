#include "core/Behavior.h"

#include <cstddef>
#include <vector>

Behavior::Behavior() : Component(ComponentType::Behavior) {}

void Behavior::Update(float dt)
{
    // Without a state yet (-1), the exit / enter pair runs on every update until one is chosen.
    if (nextState != currentState || currentState == NO_STATE) {
        OnExit();
        currentState = nextState;
        OnEnter();
    }
    timer -= dt;
    OnUpdate(dt);
}

void Behavior::ExposeFields()
{
    if (!exposed)
        exposed = 1;
}

namespace {

struct BehaviorEntry {
    std::string typeName;
    BehaviorMaker make;
};

std::vector<BehaviorEntry>& BehaviorTable()
{
    static std::vector<BehaviorEntry> entries;
    return entries;
}

} // namespace

void RegisterBehavior(const std::string& typeName, BehaviorMaker make)
{
    if (!make)
        return;
    for (BehaviorEntry& entry : BehaviorTable()) {
        if (entry.typeName == typeName) {
            entry.make = make;
            return;
        }
    }
    BehaviorTable().push_back({typeName, make});
}

std::vector<std::string> RegisteredBehaviorNames()
{
    std::vector<std::string> names;
    for (const BehaviorEntry& entry : BehaviorTable())
        names.push_back(entry.typeName);
    return names;
}

Behavior* CreateBehaviorByName(const std::string& typeName)
{
    for (const BehaviorEntry& entry : BehaviorTable()) {
        if (typeName == entry.typeName)
            return entry.make();
    }
    return nullptr;
}
