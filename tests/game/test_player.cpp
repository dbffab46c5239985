// The player and its battery without a window: the timer handshake, driving and turning, the eyes,
// damage with its red blink, charging, the buffer, the battery bar and the pickup.
#include <cmath>
#include <vector>

#include "FolderTest.h"
#include "TestFiles.h"
#include "core/Stream.h"
#include "game/BehaviorCollectable.h"
#include "game_world.h"
#include "world/SceneSystem.h"

using namespace gametest;
using testsupport::SeenMessage;

namespace {

class Player : public GameWorld {
protected:
    // Player and battery, handshake done, no key down.
    BehaviorPlayer* Ready(float invincibleTime = 1.0f)
    {
        BehaviorPlayer* behavior = MakePlayer(0.0f, 0.0f, invincibleTime);
        MakeBattery(20.0f);
        Frame(4);
        EXPECT_NE(behavior->GetTimer(), nullptr);
        return behavior;
    }
    // Posts a message to the player's behaviour and runs a frame.
    void ToPlayer(int id, float value)
    {
        core->recorder->SendMessage(id, value, PlayerBehavior());
        Frame();
    }
    std::vector<const SeenMessage*> Named(const std::string& name) const
    {
        std::vector<const SeenMessage*> out;
        for (const SeenMessage& s : core->recorder->seen)
            if (s.name == name)
                out.push_back(&s);
        return out;
    }
};

TEST_F(Player, TimerHandshakeComesBeforeAnyMovement)
{
    BehaviorPlayer* behavior = MakePlayer();
    BehaviorTimer* timer = MakeBattery();
    Press(GLFW_KEY_UP);
    Frame(2);
    ASSERT_EQ(behavior->GetTimer(), timer);
    EXPECT_FLOAT_EQ(PlayerTransform()->TranslationX, 0.0f);
    ASSERT_FALSE(Named("AskForTimer").empty());
    EXPECT_EQ(Named("AskForTimer")[0]->sender, behavior);
    ASSERT_FALSE(Named("ReturnTimer").empty());
    EXPECT_EQ(Named("ReturnTimer")[0]->target, behavior);
    EXPECT_EQ(Named("ReturnTimer")[0]->sender, timer);
    ASSERT_FALSE(Named("Serialize").empty());
    EXPECT_EQ(Named("Serialize")[0]->target, timer);
    Frame();
    EXPECT_GT(PlayerTransform()->TranslationX, 0.0f);

    // The battery goes away: the player asks again and stands still meanwhile.
    battery->RequestDestroy();
    Frame();
    core->recorder->Clear();
    Frame(2);
    EXPECT_EQ(behavior->GetTimer(), nullptr);
    EXPECT_GE(core->recorder->Count("AskForTimer"), 1);
}

TEST_F(Player, DrivesTurnsAndKeepsItsEyesOnTheHeading)
{
    struct Case { int key; float dx; float degrees; };
    for (const Case& c : {Case{GLFW_KEY_UP, 2.0f, 0.0f}, Case{GLFW_KEY_DOWN, -2.0f, 0.0f},
                          Case{GLFW_KEY_LEFT, 0.0f, 100.0f}, Case{GLFW_KEY_RIGHT, 0.0f, -100.0f}}) {
        core.reset();
        core = std::make_unique<testsupport::CoreEngine>();
        player = nullptr;
        Ready();
        Press(c.key);
        Frame(61);
        Press(c.key, false);
        EXPECT_NEAR(PlayerTransform()->TranslationX, c.dx, 1e-3) << c.key;
        EXPECT_NEAR(PlayerTransform()->Rotation * 57.29578f, c.degrees, 1e-2) << c.key;
    }
    for (float degrees : {0.0f, 90.0f, 180.0f}) {
        PlayerTransform()->SetRotation(degrees * 0.017453292f);
        PlayerTransform()->SetTranslation(1.0f, 2.0f);
        Frame();
        const Vector4f at = eyes->GetTransform()->GetWorldPosition();
        EXPECT_NEAR(at.x, 1.0f + 0.19f * std::cos(degrees * 0.017453292f), 1e-4) << degrees;
        EXPECT_NEAR(at.y, 2.0f + 0.19f * std::sin(degrees * 0.017453292f), 1e-4) << degrees;
        // The battery bar hangs from the player at its offset (2) along the same heading.
        const Vector4f bar = battery->GetTransform()->GetWorldPosition();
        EXPECT_NEAR(bar.x, 1.0f + 2.0f * std::cos(degrees * 0.017453292f), 1e-4) << degrees;
        EXPECT_NEAR(bar.y, 2.0f + 2.0f * std::sin(degrees * 0.017453292f), 1e-4) << degrees;
    }
    // A second player's eyes carry a clone suffix; a player without eyes just has none to place.
    eyes->SetName("PlayerEyes(Clone 1)");
    eyes->GetTransform()->SetTranslation(0.0f, 0.0f);
    Frame();
    EXPECT_FLOAT_EQ(eyes->GetTransform()->TranslationX, 0.19f);
    player->RemoveChild(eyes);
    Frame();
    EXPECT_FLOAT_EQ(eyes->GetTransform()->TranslationX, 0.19f);
}

TEST_F(Player, DamageShakesZeroesTheBufferAndBlinksRedOverTheInvincibility)
{
    BehaviorPlayer* behavior = MakePlayer();
    ToPlayer(18, 5.0f);   // before the battery is known: ignored
    EXPECT_EQ(core->recorder->Count("Zero Buffer"), 0);
    EXPECT_FALSE(behavior->invincible);

    BehaviorTimer* timer = MakeBattery(20.0f);
    Frame(4);
    core->recorder->Clear();
    ToPlayer(18, 5.0f);
    EXPECT_FLOAT_EQ(timer->value, 15.0f);
    ASSERT_EQ(Named("Zero Buffer").size(), 1u);
    EXPECT_EQ(Named("Zero Buffer")[0]->sender, player);
    ASSERT_EQ(Named("ShakeCamera").size(), 1u);
    EXPECT_FLOAT_EQ(Named("ShakeCamera")[0]->vector[0], 0.1f);
    EXPECT_FLOAT_EQ(Named("ShakeCamera")[0]->vector[1], 0.1f);
    ToPlayer(18, 5.0f);   // invincible: nothing
    EXPECT_FLOAT_EQ(timer->value, 15.0f);

    const Sprite* sprite = player->GetSprite();
    int frames = 2;
    for (; behavior->invincible && frames < 200; ++frames) {
        const float t = behavior->invincibleTimer;
        const float f = t - std::trunc(t);
        const float alpha = f >= 0.75f ? 0.5f : f >= 0.5f ? 1.0f : f >= 0.25f ? 0.5f : 1.0f;
        ASSERT_FLOAT_EQ(sprite->color[3], alpha) << t;
        ASSERT_FLOAT_EQ(sprite->color[1], 0.0f);
        Frame();
    }
    EXPECT_NEAR(frames, 60, 1);
    Frame();
    EXPECT_FLOAT_EQ(sprite->color[1], 1.0f);
    const auto countdowns = Named("Set Countdown");
    ASSERT_FALSE(countdowns.empty());
    EXPECT_EQ(countdowns.back()->number.i, 1);
    EXPECT_EQ(countdowns.back()->target, timer);
}

TEST_F(Player, AStateChangeDuringAHitLetsTheCountdownRunAgain)
{
    // Key held before the hit, key held after it: moving -> idle and idle -> moving.
    for (auto [before, after] : {std::pair{true, false}, {false, true}}) {
        core.reset();
        core = std::make_unique<testsupport::CoreEngine>();
        player = nullptr;
        BehaviorPlayer* behavior = Ready(5.0f);
        BehaviorTimer* timer = behavior->GetTimer();
        core->recorder->SendMessage(5, 1, timer);
        Press(GLFW_KEY_UP, before);
        Frame(3);
        ASSERT_TRUE(timer->counting);
        ToPlayer(18, 5.0f);
        Frame(2);
        ASSERT_TRUE(behavior->invincible && !timer->counting);
        const float* colour = battery->GetSprite()->color;
        EXPECT_FLOAT_EQ(colour[2], 1.0f) << before;   // held: blue
        Press(GLFW_KEY_UP, after);
        Frame(3);
        EXPECT_TRUE(!behavior->invincible && timer->counting) << before;
        // 15 of 20 s left: the green-to-yellow colour of a running battery.
        EXPECT_TRUE(colour[0] == 0.5f && colour[1] == 1.0f && colour[2] == 0.0f) << before;
    }
}

TEST_F(Player, ChargingStopsJustPastFullAndTheLaserDistanceIsScaled)
{
    Ready();
    BehaviorTimer* timer = PlayerBehavior()->GetTimer();
    timer->value = 19.9f;
    for (float expected : {19.975f, 20.05f, 20.125f, 20.125f}) {
        ToPlayer(19, -0.075f);
        EXPECT_NEAR(timer->value, expected, 1e-4);
    }
    EXPECT_TRUE(PlayerBehavior()->charged);
    for (auto [distance, expected] : {std::pair{90.0f, 1.0f}, {22.5f, 0.5f}, {-3.0f, 0.0f}}) {
        core->recorder->SendMessage(std::string("LaserDistance"), distance, nullptr);
        Frame();
        EXPECT_FLOAT_EQ(LaserHumDistance, expected);
    }
}

TEST_F(Player, IdleWithALowBatteryCanStillDriveOff)
{
    Ready();
    PlayerBehavior()->GetTimer()->value = 2.0f;   // 10 %, below the 20 % threshold
    Frame(3);
    EXPECT_EQ(PlayerBehavior()->currentState, BehaviorPlayer::STATE_IDLE_LOW);
    EXPECT_GE(core->recorder->Count("Event_Play_!Destroy"), 1);
    Press(GLFW_KEY_UP);
    Frame(30);
    EXPECT_EQ(PlayerBehavior()->currentState, BehaviorPlayer::STATE_MOVING_LOW);
    EXPECT_GT(PlayerTransform()->TranslationX, 0.1f);
}

TEST_F(Player, DebugKeysNeedTheModifier)
{
    Ready();
    Press(GLFW_KEY_Q);
    Frame();
    EXPECT_FALSE(TimerInvincible);
    Press(GLFW_KEY_Q, false);
    Press(GLFW_KEY_SLASH);
    Frame();
    Press(GLFW_KEY_Q);
    Frame();
    EXPECT_TRUE(TimerInvincible);
    Press(GLFW_KEY_Q, false);
    Frame();
    Press(GLFW_KEY_Q);
    const std::string out = testsupport::CaptureConsole([&] { Frame(); });
    EXPECT_FALSE(TimerInvincible);
    EXPECT_TRUE(testsupport::Contains(out, "Turned off timer invincibility")) << out;
}

TEST_F(Player, BufferFillsToItsMaximumAndDamageEmptiesIt)
{
    BufferMaxTime = 23.0f;
    GameObject* bar = Add(testsupport::MakePlacedObject("BufferBar", 0.0f, 0.0f));
    auto* buffer = new BehaviorBufferBar();
    bar->SetComponent(buffer);
    Frame(2);
    EXPECT_FLOAT_EQ(buffer->buffer, 23.0f);
    core->recorder->SendMessage(23);
    Frame();
    EXPECT_FLOAT_EQ(buffer->buffer, 0.0f);
    const std::vector<std::string> names = core->recorder->Names();
    ASSERT_GE(names.size(), 3u);
    EXPECT_EQ(core->recorder->seen[1].name, "Set Player Buffer Freeze");
    EXPECT_EQ(core->recorder->seen[1].number.i, 0);
    EXPECT_EQ(core->recorder->seen[2].name, "Set Countdown");
    EXPECT_EQ(core->recorder->seen[2].number.i, 1);

    BufferMaxTime = 3.0f;
    BufferIncrement = 1.0f;
    for (float expected : {1.0f, 2.0f, 3.0f, 3.0f}) {
        core->recorder->SendMessage(6);
        Frame();
        EXPECT_FLOAT_EQ(buffer->buffer, expected);
    }
    EXPECT_EQ(core->recorder->Count("Set Countdown"), 5);
}

TEST_F(Player, BatteryBarColourScaleAndPlacement)
{
    BehaviorTimer* timer = MakeBattery(20.0f);   // scale 4, offset 2, no parent
    SceneSystem scenes;
    Frame();
    core->recorder->SendMessage(5, 1, timer);
    Frame();
    ASSERT_TRUE(timer->counting);
    // Green to yellow above half the maximum, yellow to red from half down; the medium warning sounds
    // once, the first frame at half or below.
    struct Case { float value; float scale; float x; float r, g, b; int warnings; };
    for (const Case& c : {Case{15.0f, 3.0f, 1.5f, 0.5f, 1.0f, 0.0f, 0}, Case{10.5f, 2.1f, 1.05f, 0.95f, 1.0f, 0.0f, 0},
                          Case{8.0f, 1.6f, 0.8f, 1.0f, 0.8f, 0.0f, 1}, Case{5.0f, 1.0f, 0.5f, 1.0f, 0.5f, 0.0f, 1},
                          Case{25.0f, 5.0f, 2.0f, 0.0f, 0.0f, 1.0f, 1}}) {
        timer->value = c.value;
        Frame();
        const float* colour = battery->GetSprite()->color;
        EXPECT_FLOAT_EQ(battery->GetTransform()->ScaleX, c.scale) << c.value;
        EXPECT_FLOAT_EQ(battery->GetTransform()->TranslationX, c.x) << c.value;
        EXPECT_FLOAT_EQ(colour[0], c.r) << c.value;
        EXPECT_FLOAT_EQ(colour[1], c.g) << c.value;
        EXPECT_FLOAT_EQ(colour[2], c.b) << c.value;
        core->Deliver();
        EXPECT_EQ(core->recorder->Count("Event_Play"), c.warnings) << c.value;
    }
    // The medium warning sounds once per discharge: a recharge above half lets it sound again.
    timer->value = 4.0f;
    Frame(3);
    EXPECT_EQ(core->recorder->Count("Event_Play"), 1);
    BehaviorPlayer* behavior = MakePlayer();
    behavior->timerObject.Set(battery);
    core->recorder->SendMessage(19, -12.0f, behavior);
    Frame(2);
    timer->value = 4.0f;
    Frame(2);
    EXPECT_EQ(core->recorder->Count("Event_Play"), 2);

    timer->value = -0.5f;
    const std::string out = testsupport::CaptureConsole([&] { Frame(); });
    EXPECT_TRUE(testsupport::Contains(out, "Time's up!")) << out;
    ASSERT_NE(scenes.next, nullptr);
    EXPECT_EQ(scenes.next->GetName(), "GameOver");
}

TEST_F(Player, TouchingACollectablePicksItUpOnce)
{
    Ready();
    GameObject* coin = Add(testsupport::MakePlacedObject("CollectableCommon", 0.2f, 0.0f), 0.5f, 0.5f, false, true);
    auto* collectable = new BehaviorCollectable();
    collectable->scoreValue = 30;
    coin->SetComponent(collectable);
    core->recorder->Clear();
    Frame(3);
    std::vector<std::string> pickup;
    for (const SeenMessage& s : core->recorder->seen)
        if (s.name == "Treasure Pick Up" || s.name == "Add Player Points" || s.name == "Increase Buffer" ||
            s.name == "Set Player Buffer Freeze")
            pickup.push_back(s.name + ":" + std::to_string(s.number.i));
    EXPECT_EQ(pickup, (std::vector<std::string>{"Treasure Pick Up:0", "Add Player Points:30", "Increase Buffer:0",
                                                "Set Player Buffer Freeze:1"}));
    EXPECT_FLOAT_EQ(coin->GetSprite()->color[3], 0.0f);
    EXPECT_EQ(PlayerBehavior()->storedPoints, 30);
    EXPECT_TRUE(PlayerBehavior()->bufferFrozen);

    // Without a sprite a touch is traced and ignored.
    delete coin->RemoveComponent(static_cast<int>(ComponentType::Sprite));
    core->recorder->Clear();
    coin->GetCollider()->contacts.clear();
    const std::string out = testsupport::CaptureConsole([&] { Frame(2); });
    EXPECT_TRUE(testsupport::Contains(out, "has no Sprite")) << out;
    EXPECT_EQ(core->recorder->Count("Treasure Pick Up"), 0);
}

} // namespace

namespace {

class PlayerData : public testsupport::FolderTest {};

TEST_F(PlayerData, BadMaxTimeIsRefusedAndTheOthersKeepTheirDefaults)
{
    struct Case { const char* maxTime; float expected; bool traced; };
    for (const Case& c : {Case{"20.0", 20.0f, false}, Case{"0", 1.0f, true}, Case{"-3.5", 1.0f, true},
                          Case{"\"ten\"", 1.0f, true}}) {
        ResetTimerGlobals();
        testsupport::WriteFile(Data("Battery.json"), std::string(R"({"Behavior": {"MaxTime": )") + c.maxTime +
                                                         R"(, "Player Damage SFX": 7}})");
        Stream stream("Battery");
        BehaviorTimer timer;
        BehaviorPlayer player;
        const std::string out = testsupport::CaptureConsole([&] {
            timer.Read(stream);
            player.Read(stream);
        });
        EXPECT_FLOAT_EQ(TimerMaxTime, c.expected) << c.maxTime;
        EXPECT_EQ(testsupport::Contains(out, "MaxTime"), c.traced) << out;
        EXPECT_EQ(player.damageSound, "Player_Damage");   // a number is not a sound name
        EXPECT_FLOAT_EQ(player.baseSpeed, 0.0f);           // missing: reported, read as 0
    }
}

} // namespace
