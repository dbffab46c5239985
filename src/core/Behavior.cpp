#include "core/Behavior.h"

#include <cstddef>

#include "core/NameTable.h"

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

NameTable<BehaviorMaker>& BehaviorTable()
{
    static NameTable<BehaviorMaker> table;
    return table;
}

} // namespace

void RegisterBehavior(const std::string& typeName, BehaviorMaker make)
{
    BehaviorTable().Add(typeName, make);
}

std::vector<std::string> RegisteredBehaviorNames()
{
    return BehaviorTable().Names();
}

Behavior* CreateBehaviorByName(const std::string& typeName)
{
    const BehaviorMaker make = BehaviorTable().Find(typeName);
    return make ? make() : nullptr;
}
