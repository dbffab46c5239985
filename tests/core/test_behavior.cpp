#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "audio/BehaviorSoundEmitter.h"
#include "core/Behavior.h"
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
#include "core/Trace.h"

namespace {

// Records every hook call with the state it saw.
class Recording : public Behavior {
public:
    std::string GetName() override { return "Recording"; }
    Recording* Clone() override { return new Recording(*this); }
    void OnEnter() override { calls.push_back("enter " + std::to_string(currentState)); }
    void OnExit() override { calls.push_back("exit " + std::to_string(currentState)); }
    void OnUpdate(float dt) override
    {
        calls.push_back("update " + std::to_string(currentState));
        if (onUpdateNext != NO_STATE)
            nextState = onUpdateNext;
        lastDt = dt;
    }

    std::vector<std::string> calls;
    int onUpdateNext = NO_STATE;
    float lastDt = -1.0f;
};

using Calls = std::vector<std::string>;

} // namespace

TEST(BehaviorBase, StartsEmptyInSlotFour)
{
    Recording b;
    EXPECT_EQ(b.type, 4);
    EXPECT_EQ(b.GetType(), ComponentType::Behavior);
    EXPECT_EQ(b.owner, nullptr);
    EXPECT_EQ(b.currentState, -1);
    EXPECT_EQ(b.nextState, -1);
    EXPECT_EQ(b.timer, 0.0f);
    EXPECT_EQ(b.exposed, 0);
    EXPECT_EQ(b.active, 1);
    b.ExposeFields();
    EXPECT_EQ(b.exposed, 1);
}

TEST(BehaviorBase, FirstStateIsEnteredOnTheFirstUpdateThenOnlyUpdates)
{
    Recording b;
    b.nextState = 2;
    b.Update(0.1f);
    EXPECT_EQ(b.calls, (Calls{"exit -1", "enter 2", "update 2"}));
    b.calls.clear();
    b.Update(0.1f);
    b.Update(0.1f);
    EXPECT_EQ(b.calls, (Calls{"update 2", "update 2"}));
}

TEST(BehaviorBase, WithoutAStateExitAndEnterRunEveryUpdate)
{
    Recording b;
    b.Update(0.0f);
    b.Update(0.0f);
    EXPECT_EQ(b.calls, (Calls{"exit -1", "enter -1", "update -1", "exit -1", "enter -1", "update -1"}));
}

TEST(BehaviorBase, ChangesTakeEffectAtTheNextUpdate)
{
    Recording b;
    b.nextState = 1;
    b.Update(0.0f);
    b.calls.clear();

    // Setting the next state back to the current one causes no transition.
    b.nextState = 3;
    b.nextState = 1;
    b.Update(0.0f);
    EXPECT_EQ(b.calls, (Calls{"update 1"}));
    b.calls.clear();

    // A state picked during OnUpdate switches at the following update.
    b.onUpdateNext = 5;
    b.Update(0.0f);
    EXPECT_EQ(b.calls, (Calls{"update 1"}));
    EXPECT_EQ(b.currentState, 1);
    b.calls.clear();
    b.Update(0.0f);
    EXPECT_EQ(b.calls, (Calls{"exit 1", "enter 5", "update 5"}));
    EXPECT_EQ(b.currentState, 5);
}

TEST(BehaviorBase, TimerCountsDownUnclampedAndStandsStillAtDtZero)
{
    Recording b;
    b.nextState = 0;
    b.timer = 1.0f;
    b.Update(0.25f);
    b.Update(0.25f);
    b.Update(0.25f);
    EXPECT_FLOAT_EQ(b.timer, 0.25f);
    EXPECT_FLOAT_EQ(b.lastDt, 0.25f);
    b.Update(0.5f);
    EXPECT_FLOAT_EQ(b.timer, -0.25f);

    // Paused: the timer keeps its value, transitions and OnUpdate still run.
    b.calls.clear();
    b.nextState = 4;
    b.Update(0.0f);
    EXPECT_FLOAT_EQ(b.timer, -0.25f);
    EXPECT_EQ(b.calls, (Calls{"exit 0", "enter 4", "update 4"}));
    EXPECT_EQ(b.lastDt, 0.0f);
}

TEST(BehaviorFactory, UnknownNamesGiveNullWithoutAReport)
{
    TraceReset();
    testing::internal::CaptureStdout();
    EXPECT_EQ(CreateBehaviorByName("BehaviorNope"), nullptr);
    EXPECT_EQ(CreateBehaviorByName(""), nullptr);
    EXPECT_EQ(CreateBehaviorByName("Button"), nullptr);  // widgets come from the menu loader
    EXPECT_EQ(CreateBehaviorByName("Volume_CoolVersion"), nullptr);
    EXPECT_EQ(CreateBehaviorByName("behaviorplayer"), nullptr);  // names match exactly
    EXPECT_EQ(CreateBehaviorByName("BehaviorPlayer "), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

template <typename T>
bool IsA(Behavior* behavior)
{
    return dynamic_cast<T*>(behavior) != nullptr;
}

TEST(BehaviorFactory, KnownNamesGiveAFreshBehaviourOfTheirOwnClass)
{
    struct Name {
        const char* typeName;
        bool (*isItsClass)(Behavior*);
    };
    const Name names[] = {
        {"BehaviorBufferBar", IsA<BehaviorBufferBar>},     {"BehaviorCollectable", IsA<BehaviorCollectable>},
        {"BehaviorDropOff", IsA<BehaviorDropOff>},         {"BehaviorCharger", IsA<BehaviorCharger>},
        {"BehaviorLaser", IsA<BehaviorLaser>},             {"BehaviorPlayer", IsA<BehaviorPlayer>},
        {"BehaviorPuddle", IsA<BehaviorPuddle>},           {"BehaviorScoreDisplay", IsA<BehaviorScoreDisplay>},
        {"BehaviorTimer", IsA<BehaviorTimer>},             {"BehaviorWall", IsA<BehaviorWall>},
        {"BehaviorExitDoor", IsA<BehaviorExitDoor>},       {"BehaviorLedge", IsA<BehaviorLedge>},
        {"BehaviorStairs", IsA<BehaviorStairs>},           {"BehaviorScript", IsA<BehaviorScript>},
        {"BehaviorSoundEmitter", IsA<BehaviorSoundEmitter>},
    };
    std::vector<std::string> expectedNames;
    for (const Name& name : names)
        expectedNames.push_back(name.typeName);
    EXPECT_EQ(RegisteredBehaviorNames(), expectedNames);
    for (const Name& entry : names) {
        const std::string name = entry.typeName;
        Behavior* made = CreateBehaviorByName(name);
        ASSERT_NE(made, nullptr) << name;
        EXPECT_TRUE(entry.isItsClass(made)) << name;
        if (name != "BehaviorScript") {  // a script behaviour is named by its script's path
            // Three classes share the template's name, and the collectable drops the prefix.
            const std::string expected = name == "BehaviorCollectable" ? "Collectable"
                                         : name == "BehaviorDropOff" || name == "BehaviorLaser" || name == "BehaviorPuddle"
                                             ? "BehaviorTemplate"
                                             : name;
            EXPECT_EQ(made->GetName(), expected);
        }
        EXPECT_EQ(made->type, 4) << name;
        EXPECT_EQ(made->owner, nullptr) << name;
        EXPECT_EQ(made->currentState, -1) << name;
        EXPECT_EQ(made->nextState, -1) << name;
        EXPECT_EQ(made->exposed, 0) << name;
        EXPECT_EQ(made->active, 1) << name;
        delete made;
    }
}
