#include "core/Behavior.h"

#include <cstddef>

#include "audio/BehaviorSoundEmitter.h"
#include "game/BehaviorBufferBar.h"
#include "game/BehaviorCharger.h"
#include "game/BehaviorCollectable.h"
#include "game/BehaviorDropOff.h"
#include "game/BehaviorExitDoor.h"
#include "game/BehaviorLaser.h"
#include "game/BehaviorLedge.h"
#include "game/BehaviorPlayer.h"
#include "game/BehaviorPuddle.h"
#include "game/BehaviorScoreDisplay.h"
#include "game/BehaviorStairs.h"
#include "game/BehaviorTimer.h"
#include "game/BehaviorWall.h"
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
    {"BehaviorBufferBar", [] () -> Behavior* { return new BehaviorBufferBar(); }},
    {"BehaviorCollectable", [] () -> Behavior* { return new BehaviorCollectable(); }},
    {"BehaviorDropOff", [] () -> Behavior* { return new BehaviorDropOff(); }},
    {"BehaviorCharger", [] () -> Behavior* { return new BehaviorCharger(); }},
    {"BehaviorLaser", [] () -> Behavior* { return new BehaviorLaser(); }},
    {"BehaviorPlayer", [] () -> Behavior* { return new BehaviorPlayer(); }},
    {"BehaviorPuddle", [] () -> Behavior* { return new BehaviorPuddle(); }},
    {"BehaviorScoreDisplay", [] () -> Behavior* { return new BehaviorScoreDisplay(); }},
    {"BehaviorTimer", [] () -> Behavior* { return new BehaviorTimer(); }},
    {"BehaviorWall", [] () -> Behavior* { return new BehaviorWall(); }},
    {"BehaviorExitDoor", [] () -> Behavior* { return new BehaviorExitDoor(); }},
    {"BehaviorLedge", [] () -> Behavior* { return new BehaviorLedge(); }},
    {"BehaviorStairs", [] () -> Behavior* { return new BehaviorStairs(); }},
    {"BehaviorScript", [] () -> Behavior* { return new BehaviorScript(); }},
    {"BehaviorSoundEmitter", []() -> Behavior* { return new BehaviorSoundEmitter(); }},
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
