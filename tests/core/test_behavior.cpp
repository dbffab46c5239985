#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Behavior.h"
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

TEST(BehaviorFactory, KnownNamesGiveAFreshBehaviourOrNullWhileTheClassIsMissing)
{
    const char* names[] = {"BehaviorBufferBar", "BehaviorCollectable", "BehaviorDropOff", "BehaviorCharger",
                           "BehaviorLaser", "BehaviorPlayer", "BehaviorPuddle", "BehaviorScoreDisplay",
                           "BehaviorTimer", "BehaviorWall", "BehaviorExitDoor", "BehaviorLedge",
                           "BehaviorStairs", "BehaviorScript", "BehaviorSoundEmitter"};
    for (const char* name : names) {
        Behavior* made = CreateBehaviorByName(name);
        if (!made)
            continue;
        if (std::string(name) != "BehaviorScript") {  // a script behaviour is named by its script's path
            EXPECT_EQ(made->GetName(), name);
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
