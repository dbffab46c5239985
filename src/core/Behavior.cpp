#include "core/Behavior.h"

#include <cstddef>

#include "script/BehaviorScript.h"

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

// One behaviour class the factory can make by its "BehaviorType" name. make is null while the class
// is not part of the build yet; such a name gives null like an unknown one. To add a class, include
// its header and replace its nullptr with  [] () -> Behavior* { return new BehaviorWall(); }
struct BehaviorEntry {
    const char* typeName;
    Behavior* (*make)();
};

const BehaviorEntry BEHAVIOR_TABLE[] = {
    {"BehaviorBufferBar", nullptr},
    {"BehaviorCollectable", nullptr},
    {"BehaviorDropOff", nullptr},
    {"BehaviorCharger", nullptr},
    {"BehaviorLaser", nullptr},
    {"BehaviorPlayer", nullptr},
    {"BehaviorPuddle", nullptr},
    {"BehaviorScoreDisplay", nullptr},
    {"BehaviorTimer", nullptr},
    {"BehaviorWall", nullptr},
    {"BehaviorExitDoor", nullptr},
    {"BehaviorLedge", nullptr},
    {"BehaviorStairs", nullptr},
    {"BehaviorScript", [] () -> Behavior* { return new BehaviorScript(); }},
    {"BehaviorSoundEmitter", nullptr},
};

} // namespace

Behavior* CreateBehaviorByName(const std::string& typeName)
{
    for (const BehaviorEntry& entry : BEHAVIOR_TABLE) {
        if (typeName == entry.typeName)
            return entry.make ? entry.make() : nullptr;
    }
    return nullptr;
}
