// Physics and the collision step: enter / stay / exit, contacts, blocking with side bits and records,
// the next frame's velocity clamp, the slow-speed threshold, keep-velocity, turning and the registry.
#include <gtest/gtest.h>

#include <string>

#include "TestObjects.h"
#include "core/Trace.h"
#include "test_physics_world.h"

using namespace physics_test;
using testsupport::CaptureConsole;

namespace {
int Occurrences(const std::string& text, const std::string& what)
{
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}
}  // namespace

// ---- Enter, stay, exit -----------------------------------------------------------------------------------------

TEST(CollisionEvents, EnterOnceStayWhileTouchingExitOnFirstFrameApart)
{
    World world;
    GameObject* pad = world.Add("Pad", 0, 0);
    World::AddSquare(pad, 1, 1, false, true);   // a static trigger
    RecordingBehavior* padEvents = World::AddBehavior(pad);
    GameObject* mover = world.Add("Mover", 0.5f, 0);
    Collider* moverCollider = World::AddSquare(mover, 1, 1, true);
    RecordingBehavior* moverEvents = World::AddBehavior(mover);

    world.Frame();
    EXPECT_EQ(padEvents->events, (std::vector<std::string>{"enter:Mover"}));
    EXPECT_EQ(moverEvents->events, (std::vector<std::string>{"enter:Pad"}));
    world.Frame();
    world.Frame();
    EXPECT_EQ(padEvents->events, (std::vector<std::string>{"enter:Mover", "stay:Mover", "stay:Mover"}));
    EXPECT_EQ(moverEvents->Count("stay:Pad"), 2);

    mover->GetTransform()->TranslationX = 5.0f;
    world.Frame();
    EXPECT_EQ(padEvents->events.back(), "exit:Mover");
    EXPECT_EQ(moverEvents->events.back(), "exit:Pad");
    world.Frame();
    EXPECT_EQ(padEvents->Count("exit:Mover"), 1);
    EXPECT_EQ(moverEvents->Count("exit:Pad"), 1);
    EXPECT_TRUE(moverCollider->contacts.empty());
    EXPECT_TRUE(pad->GetCollider()->contacts.empty());

    // Coming back is a new enter.
    mover->GetTransform()->TranslationX = 0.0f;
    world.Frame();
    EXPECT_EQ(padEvents->Count("enter:Mover"), 2);
    EXPECT_EQ(moverEvents->Count("enter:Pad"), 2);
    // The trigger never blocked the mover.
    EXPECT_EQ(mover->GetPhysics()->GetLastSideBits(), 0);
    EXPECT_EQ(mover->GetPhysics()->GetSideBits(), 0);
}

TEST(CollisionEvents, StaticPairsProduceNothingEvenWhenOverlapping)
{
    World world;
    GameObject* a = world.Add("A", 0, 0);
    World::AddSquare(a, 2, 2, false);
    RecordingBehavior* aEvents = World::AddBehavior(a);
    GameObject* b = world.Add("B", 0.5f, 0);
    World::AddSquare(b, 2, 2, false);
    RecordingBehavior* bEvents = World::AddBehavior(b);
    const std::string out = CaptureConsole([&] {
        world.Frame();
        world.Frame();
    });
    EXPECT_TRUE(aEvents->events.empty());
    EXPECT_TRUE(bEvents->events.empty());
    EXPECT_TRUE(a->GetCollider()->contacts.empty());
    EXPECT_EQ(out.find("Static NonStatic Collision"), std::string::npos);
}

TEST(CollisionEvents, ContactsOnlyOnObjectsWithABehaviourOrAudioEvents)
{
    World world;
    GameObject* wall = world.Add("Wall", 1, 0);
    Collider* wallCollider = World::AddSquare(wall, 1, 1, false);
    GameObject* bell = world.Add("Bell", -1, 0);
    Collider* bellCollider = World::AddSquare(bell, 1, 1, false);
    bell->SetComponent(new SlotComponent(ComponentType::AudioEventManager));
    GameObject* mover = world.Add("Mover", 0, 0);
    Collider* moverCollider = World::AddSquare(mover, 1.5f, 1, true);
    RecordingBehavior* moverEvents = World::AddBehavior(mover);

    CaptureConsole([&] { world.Frame(); });
    EXPECT_TRUE(wallCollider->contacts.empty());                 // no behaviour, no audio events
    EXPECT_TRUE(bellCollider->HasContact(moverCollider->GetID()));  // audio events keep contacts
    EXPECT_TRUE(moverCollider->HasContact(wallCollider->GetID()));
    EXPECT_EQ(moverEvents->Count("enter:Wall"), 1);
    EXPECT_EQ(moverEvents->Count("enter:Bell"), 1);
    // The wall still blocks: it lies to the mover's right.
    EXPECT_TRUE(mover->GetPhysics()->GetLastSideBits() == 0);
    EXPECT_NE(mover->GetPhysics()->records.size(), 0u);
}

TEST(CollisionEvents, LeavingOneContactDoesNotDisturbOthersTouchingTheSameCollider)
{
    World world;
    GameObject* post = world.Add("Post", 0, 0);
    Collider* postCollider = World::AddCircle(post, 1.0f, true, true);
    GameObject* stayer = world.Add("Stayer", 0.5f, 0);
    World::AddCircle(stayer, 1.0f, true, true);
    RecordingBehavior* stayerEvents = World::AddBehavior(stayer);
    GameObject* leaver = world.Add("Leaver", -0.5f, 0);
    World::AddCircle(leaver, 1.0f, true, true);
    RecordingBehavior* leaverEvents = World::AddBehavior(leaver);

    CaptureConsole([&] { world.Frame(); });
    EXPECT_EQ(stayerEvents->Count("enter:Post"), 1);
    EXPECT_EQ(leaverEvents->Count("enter:Post"), 1);

    leaver->GetTransform()->TranslationX = -10.0f;
    CaptureConsole([&] {
        world.Frame();
        world.Frame();
    });
    EXPECT_EQ(leaverEvents->Count("exit:Post"), 1);
    EXPECT_EQ(stayerEvents->Count("enter:Post"), 1);   // no second enter
    EXPECT_EQ(stayerEvents->Count("exit:Post"), 0);
    EXPECT_GE(stayerEvents->Count("stay:Post"), 2);
    EXPECT_TRUE(stayer->GetCollider()->HasContact(postCollider->GetID()));
}

TEST(CollisionEvents, DestroyedObjectEndsItsContacts)
{
    World world;
    GameObject* keeper = world.Add("Keeper", 0, 0);
    Collider* keeperCollider = World::AddCircle(keeper, 1.0f, false, true);
    RecordingBehavior* keeperEvents = World::AddBehavior(keeper);
    GameObject* coin = world.Add("Coin", 0.2f, 0);
    World::AddCircle(coin, 1.0f, true, true);
    World::AddBehavior(coin);

    CaptureConsole([&] { world.Frame(); });
    ASSERT_EQ(keeperEvents->Count("enter:Coin"), 1);
    coin->RequestDestroy();
    CaptureConsole([&] { world.Deliver(); });   // "CollisionRemove" while the coin still exists
    EXPECT_EQ(keeperEvents->Count("exit:Coin"), 1);
    EXPECT_TRUE(keeperCollider->contacts.empty());
    CaptureConsole([&] {
        world.Frame();   // the coin is deleted
        world.Frame();
    });
    EXPECT_EQ(world.objects.size(), 1u);
    EXPECT_EQ(keeperEvents->Count("exit:Coin"), 1);
    EXPECT_EQ(keeperEvents->Count("enter:Coin"), 1);
}

TEST(CollisionEvents, AudioHookFiresOnEnterAndExit)
{
    static std::vector<int> fired;
    fired.clear();
    Collider::AudioTriggerHook = [](Component*, int trigger) { fired.push_back(trigger); };
    {
        World world;
        GameObject* bell = world.Add("Bell", 0, 0);
        World::AddCircle(bell, 1.0f, false, true);
        bell->SetComponent(new SlotComponent(ComponentType::AudioEventManager));
        GameObject* mover = world.Add("Mover", 0.5f, 0);
        World::AddCircle(mover, 1.0f, true);
        CaptureConsole([&] {
            world.Frame();
            world.Frame();
        });
        EXPECT_EQ(fired, (std::vector<int>{2}));
        mover->GetTransform()->TranslationX = 9.0f;
        CaptureConsole([&] { world.Frame(); });
        EXPECT_EQ(fired, (std::vector<int>{2, 3}));
    }
    Collider::AudioTriggerHook = nullptr;
}

TEST(CollisionEvents, PlayerParticlePatternFollowsWhatItTouches)
{
    static std::vector<int> patterns;
    patterns.clear();
    Collider::ParticlePatternHook = [](Component*, int pattern) { patterns.push_back(pattern); };
    {
        World world;
        GameObject* player = world.Add("Player", 0, 0);
        World::AddSquare(player, 1, 1, true, true);
        World::AddBehavior(player);
        player->SetComponent(new SlotComponent(ComponentType::ParticleEmitter));
        GameObject* rug = world.Add("LivingRoomRug(Clone 2)", 0.2f, 0);
        World::AddSquare(rug, 1, 1, false, true);
        CaptureConsole([&] {
            world.Frame();
            world.Frame();
        });
        EXPECT_EQ(patterns, (std::vector<int>{14, 14}));   // every overlapping frame
        rug->SetName("Table");
        CaptureConsole([&] { world.Frame(); });
        EXPECT_EQ(patterns.back(), 13);
        // An object named otherwise gets no pattern.
        player->SetName("NotPlayer");
        const std::size_t before = patterns.size();
        CaptureConsole([&] { world.Frame(); });
        EXPECT_EQ(patterns.size(), before);
    }
    Collider::ParticlePatternHook = nullptr;
}

// ---- Blocking -----------------------------------------------------------------------------------------------------

TEST(CollisionBlocking, DynamicSquareAgainstStaticSquareOnItsRight)
{
    World world;
    GameObject* mover = world.Add("Mover", 0, 0);
    World::AddSquare(mover, 1, 1, true);
    GameObject* wall = world.Add("Wall", 0.9f, 0);
    World::AddSquare(wall, 1, 1, false);

    const std::string out = CaptureConsole([&] { world.CollisionPass(); });
    Physics* physics = mover->GetPhysics();
    EXPECT_EQ(physics->GetSideBits(), BLOCKED_RIGHT);
    ASSERT_EQ(physics->records.size(), 1u);
    EXPECT_EQ(physics->records[0].other, "Wall");
    EXPECT_FLOAT_EQ(physics->records[0].value, 10000.0f);
    EXPECT_FLOAT_EQ(physics->records[0].velocity, 0.0f);
    EXPECT_EQ(physics->records[0].side, 3u);
    EXPECT_FLOAT_EQ(physics->pushValue, 10000.0f);
    const std::vector<CollisionRecord>* registered = world.physicsSystem->GetRecords("Mover");
    ASSERT_NE(registered, nullptr);
    ASSERT_EQ(registered->size(), 1u);
    EXPECT_FLOAT_EQ((*registered)[0].value, 10000.0f);
    EXPECT_EQ((*registered)[0].side, 3u);
    EXPECT_EQ(wall->GetPhysics()->GetSideBits(), 0);   // a static collider is never pushed

    // The next physics update clamps motion to the right and lets motion to the left through.
    physics->VelocityX = 2.0f;
    physics->VelocityY = 1.0f;
    physics->SetKeepVelocity(true);
    const std::string hit = CaptureConsole([&] { physics->Update(0.5f); });
    EXPECT_NE(hit.find("Hit Dynamic object"), std::string::npos);
    EXPECT_FLOAT_EQ(mover->GetTransform()->TranslationX, 0.0f);
    EXPECT_FLOAT_EQ(mover->GetTransform()->TranslationY, 0.5f);
    EXPECT_EQ(physics->GetLastSideBits(), BLOCKED_RIGHT);
    EXPECT_EQ(physics->GetSideBits(), 0);
    EXPECT_TRUE(physics->records.empty());
    EXPECT_EQ(physics->pushValue, 0.0f);

    CaptureConsole([&] { world.CollisionPass(); });
    physics->VelocityX = -2.0f;
    physics->Update(0.5f);
    EXPECT_FLOAT_EQ(mover->GetTransform()->TranslationX, -1.0f);
}

TEST(CollisionBlocking, EachSideOfASquare)
{
    struct Case {
        float x, y;
        std::uint8_t bit;
        std::uint32_t side;
    } cases[] = {
        {0.9f, 0.0f, BLOCKED_RIGHT, 3},
        {-0.9f, 0.0f, BLOCKED_LEFT, 2},
        {0.0f, 0.9f, BLOCKED_ABOVE, 0},
        {0.0f, -0.9f, BLOCKED_BELOW, 1},
    };
    for (const Case& k : cases) {
        World world;
        GameObject* mover = world.Add("Mover", 0, 0);
        World::AddSquare(mover, 1, 1, true);
        GameObject* block = world.Add("Block", k.x, k.y);
        World::AddSquare(block, 1, 1, false);
        CaptureConsole([&] { world.CollisionPass(); });
        Physics* physics = mover->GetPhysics();
        EXPECT_EQ(physics->GetSideBits(), k.bit) << k.x << "," << k.y;
        ASSERT_EQ(physics->records.size(), 1u);
        EXPECT_EQ(physics->records[0].side, k.side);
    }
}

TEST(CollisionBlocking, PushAgainstAnotherDynamicSquareUsesItsMassAndVelocity)
{
    World world;
    GameObject* mover = world.Add("Mover", 0, 0);
    World::AddSquare(mover, 1, 1, true);
    GameObject* crate = world.Add("Crate", 0.9f, 0);
    World::AddSquare(crate, 1, 1, true);
    crate->GetPhysics()->Mass = 4.0f;
    crate->GetPhysics()->VelocityX = -1.5f;
    CaptureConsole([&] { world.CollisionPass(); });
    Physics* physics = mover->GetPhysics();
    ASSERT_EQ(physics->records.size(), 1u);
    EXPECT_FLOAT_EQ(physics->records[0].value, 4.0f);
    EXPECT_FLOAT_EQ(physics->records[0].velocity, -1.5f);
    EXPECT_FLOAT_EQ(physics->pushValue, 4.0f);
    // The crate is blocked on its left by the mover (mass 1, still).
    Physics* cratePhysics = crate->GetPhysics();
    EXPECT_EQ(cratePhysics->GetSideBits(), BLOCKED_LEFT);
    ASSERT_EQ(cratePhysics->records.size(), 1u);
    EXPECT_FLOAT_EQ(cratePhysics->records[0].value, 1.0f);
    // The next update does not report a hard hit for a light push.
    const std::string out = CaptureConsole([&] { physics->Update(0.0f); });
    EXPECT_EQ(out.find("Hit Dynamic object"), std::string::npos);
}

TEST(CollisionBlocking, SquareAgainstCircle)
{
    World world;
    GameObject* mover = world.Add("Mover", 0, 0);
    World::AddSquare(mover, 1, 1, true);
    GameObject* ball = world.Add("Ball", 1.3f, 0);
    World::AddCircle(ball, 1.0f, false);
    CaptureConsole([&] { world.CollisionPass(); });
    Physics* physics = mover->GetPhysics();
    EXPECT_EQ(physics->GetSideBits(), BLOCKED_RIGHT);
    ASSERT_EQ(physics->records.size(), 1u);
    EXPECT_FLOAT_EQ(physics->records[0].value, 1000.0f);
    EXPECT_FLOAT_EQ(physics->records[0].velocity, 0.0f);
    EXPECT_EQ(physics->records[0].side, 3u);

    // A ball no taller than the box, level with it, also holds it above and below.
    World level;
    GameObject* box = level.Add("Box", 0, 0);
    World::AddSquare(box, 1, 1, true);
    World::AddCircle(level.Add("Ball", 0.8f, 0), 0.5f, false);
    CaptureConsole([&] { level.CollisionPass(); });
    EXPECT_EQ(box->GetPhysics()->GetSideBits(), BLOCKED_RIGHT | BLOCKED_ABOVE | BLOCKED_BELOW);
    EXPECT_EQ(box->GetPhysics()->records.size(), 3u);
}

TEST(CollisionBlocking, CircleMoverAgainstSquareIsOnlyBlockedAbove)
{
    World world;
    GameObject* mover = world.Add("Mover", 0, 0);
    World::AddCircle(mover, 0.5f, true);
    GameObject* block = world.Add("Block", 0.8f, 0);
    World::AddSquare(block, 1, 1, false);
    CaptureConsole([&] { world.CollisionPass(); });
    EXPECT_EQ(mover->GetPhysics()->GetSideBits(), BLOCKED_ABOVE);
    EXPECT_TRUE(mover->GetPhysics()->records.empty());
}

TEST(CollisionBlocking, TriggersNeverBlockInEitherOrder)
{
    for (int order = 0; order < 2; ++order) {
        World world;
        GameObject* trigger = nullptr;
        GameObject* mover = nullptr;
        if (order == 0) {
            trigger = world.Add("Trigger", 0.9f, 0);
            World::AddSquare(trigger, 1, 1, false, true);
            mover = world.Add("Mover", 0, 0);
            World::AddSquare(mover, 1, 1, true);
        } else {
            mover = world.Add("Mover", 0, 0);
            World::AddSquare(mover, 1, 1, true);
            trigger = world.Add("Trigger", 0.9f, 0);
            World::AddSquare(trigger, 1, 1, false, true);
        }
        CaptureConsole([&] { world.CollisionPass(); });
        EXPECT_EQ(mover->GetPhysics()->GetSideBits(), 0) << "order " << order;
        EXPECT_TRUE(mover->GetPhysics()->records.empty()) << "order " << order;
    }
    // A dynamic trigger is never pushed either.
    World world;
    GameObject* ghost = world.Add("Ghost", 0, 0);
    World::AddSquare(ghost, 1, 1, true, true);
    GameObject* wall = world.Add("Wall", 0.9f, 0);
    World::AddSquare(wall, 1, 1, false);
    Collider::PushApart(ghost->GetCollider(), wall->GetCollider());
    EXPECT_EQ(ghost->GetPhysics()->GetSideBits(), 0);
}

TEST(CollisionBlocking, StaticFirstIsTracedAndStillBlocksTheMover)
{
    World world;
    GameObject* wall = world.Add("Wall", 0.9f, 0);
    World::AddSquare(wall, 1, 1, false);
    GameObject* mover = world.Add("Mover", 0, 0);
    World::AddSquare(mover, 1, 1, true);
    const std::string out = CaptureConsole([&] { world.CollisionPass(); });
    EXPECT_EQ(Occurrences(out, "Static NonStatic Collision"), 1);
    EXPECT_EQ(mover->GetPhysics()->GetSideBits(), BLOCKED_RIGHT);
}

// ---- Physics update ---------------------------------------------------------------------------------------------------

TEST(PhysicsUpdate, SlowVelocityThresholdOnDynamicObjects)
{
    World world;
    GameObject* mover = world.Add("Mover", 0, 0);
    World::AddSquare(mover, 1, 1, true);
    Physics* physics = mover->GetPhysics();
    physics->SetVelocity(0.004f, -0.004f);
    physics->Update(1.0f);
    EXPECT_EQ(mover->GetTransform()->TranslationX, 0.0f);
    EXPECT_EQ(mover->GetTransform()->TranslationY, 0.0f);
    EXPECT_EQ(physics->VelocityX, 0.0f);

    physics->SetVelocity(0.006f, -0.5f);
    physics->Update(1.0f);
    EXPECT_FLOAT_EQ(mover->GetTransform()->TranslationX, 0.006f);
    EXPECT_FLOAT_EQ(mover->GetTransform()->TranslationY, -0.5f);
    EXPECT_FLOAT_EQ(physics->oldX, 0.0f);
}

TEST(PhysicsUpdate, StaticOrColliderlessObjectsDoNotMove)
{
    World world;
    GameObject* statue = world.Add("Statue", 1, 1);
    World::AddSquare(statue, 1, 1, false);
    GameObject* ghost = world.Add("Ghost", 2, 2);
    for (GameObject* object : {statue, ghost}) {
        object->GetPhysics()->SetVelocity(5.0f, 5.0f);
        object->GetPhysics()->Update(1.0f);
    }
    EXPECT_EQ(statue->GetTransform()->TranslationX, 1.0f);
    EXPECT_EQ(ghost->GetTransform()->TranslationY, 2.0f);
}

TEST(PhysicsUpdate, VelocityIsClearedUnlessKept)
{
    World world;
    GameObject* mover = world.Add("Mover", 0, 0);
    World::AddSquare(mover, 1, 1, true);
    Physics* physics = mover->GetPhysics();
    physics->VelocityX = 1.0f;                  // not kept
    physics->Update(1.0f);
    EXPECT_FLOAT_EQ(mover->GetTransform()->TranslationX, 1.0f);
    EXPECT_EQ(physics->VelocityX, 0.0f);

    physics->SetVelocity(1.0f, 0.0f);           // kept for one update
    physics->Update(1.0f);
    EXPECT_FLOAT_EQ(physics->VelocityX, 1.0f);
    EXPECT_FALSE(physics->keepVelocity);
    physics->Update(1.0f);
    EXPECT_FLOAT_EQ(mover->GetTransform()->TranslationX, 3.0f);
    EXPECT_EQ(physics->VelocityX, 0.0f);
}

TEST(PhysicsUpdate, TurnsInDegreesPerSecondWithOrWithoutACollider)
{
    World world;
    GameObject* spinner = world.Add("Spinner", 0, 0, 10.0f);
    Physics* physics = spinner->GetPhysics();
    physics->RotationalVelocity = 90.0f;
    physics->Update(0.5f);
    EXPECT_NEAR(spinner->GetTransform()->Rotation, 55.0f * DEG, 1e-5f);
    EXPECT_TRUE(spinner->GetTransform()->dirty);
    physics->RotationalVelocity = -30.0f;
    physics->Update(1.0f);
    EXPECT_NEAR(spinner->GetTransform()->Rotation * 57.29578f, 25.0f, 1e-3f);
}

TEST(PhysicsUpdate, SideBitsClampAndDoublePush)
{
    World world;
    GameObject* mover = world.Add("Mover", 0, 0);
    World::AddSquare(mover, 1, 1, true);
    Physics* physics = mover->GetPhysics();

    for (float vy : {3.0f, -3.0f}) {
        physics->AddSideBits(BLOCKED_ABOVE | BLOCKED_BELOW);
        physics->SetVelocity(0.0f, vy);
        const std::string out = CaptureConsole([&] { physics->Update(1.0f); });
        EXPECT_EQ(Occurrences(out, "DOouble Push"), 1);
        EXPECT_EQ(physics->VelocityY, 0.0f);
        EXPECT_EQ(physics->GetLastSideBits(), BLOCKED_ABOVE | BLOCKED_BELOW);
    }
    EXPECT_EQ(mover->GetTransform()->TranslationY, 0.0f);

    physics->AddSideBits(BLOCKED_ABOVE);
    physics->SetVelocity(0.0f, 3.0f);
    physics->Update(1.0f);
    EXPECT_EQ(physics->VelocityY, 0.0f);
    physics->AddSideBits(BLOCKED_ABOVE);
    physics->SetVelocity(0.0f, -3.0f);
    physics->Update(1.0f);
    EXPECT_EQ(physics->VelocityY, -3.0f);
    physics->AddSideBits(BLOCKED_LEFT);
    physics->SetVelocity(-3.0f, 0.0f);
    physics->Update(1.0f);
    EXPECT_EQ(physics->VelocityX, 0.0f);
    physics->AddSideBits(BLOCKED_LEFT);
    physics->SetVelocity(3.0f, 0.0f);
    physics->Update(1.0f);
    EXPECT_EQ(physics->VelocityX, 3.0f);
    // The bits are used once.
    physics->SetVelocity(-3.0f, 0.0f);
    physics->Update(1.0f);
    EXPECT_EQ(physics->VelocityX, -3.0f);
    EXPECT_EQ(physics->GetLastSideBits(), 0);
}

TEST(PhysicsUpdate, DisabledOrWithoutTransformDoesNothing)
{
    World world;
    GameObject* mover = world.Add("Mover", 0, 0);
    World::AddSquare(mover, 1, 1, true);
    Physics* physics = mover->GetPhysics();
    physics->SetEnabled(false);
    physics->AddSideBits(BLOCKED_RIGHT);
    physics->SetVelocity(1.0f, 0.0f);
    physics->Update(1.0f);
    EXPECT_EQ(mover->GetTransform()->TranslationX, 0.0f);
    EXPECT_EQ(physics->GetSideBits(), BLOCKED_RIGHT);
    physics->SetEnabled(true);

    Physics loose;
    loose.SetVelocity(1.0f, 1.0f);
    loose.Update(1.0f);   // no owner: nothing, no crash
    EXPECT_EQ(loose.VelocityX, 1.0f);
}

TEST(PhysicsUpdate, StopAndContinueMovementForThePlayer)
{
    World world;
    GameObject* player = world.Add("Player", 0, 0);
    World::AddSquare(player, 1, 1, true);
    player->SendMessage("StopMovement");
    world.Deliver();
    EXPECT_FALSE(player->GetPhysics()->IsEnabled());
    player->GetPhysics()->SetVelocity(1.0f, 0.0f);
    player->Update(1.0f);
    EXPECT_EQ(player->GetTransform()->TranslationX, 0.0f);
    player->SendMessage("ContinueMovement");
    world.Deliver();
    EXPECT_TRUE(player->GetPhysics()->IsEnabled());
}

TEST(PhysicsUpdate, PlayerAttackIsTraced)
{
    Physics physics;
    Object* sender = &physics;
    Message message("Player Attack", sender, nullptr, MessageType::None);
    const std::string out = CaptureConsole([&] { physics.HandleMessage(&message); });
    EXPECT_NE(out.find("Player Attack registered!"), std::string::npos);
}

// ---- Reading and cloning ---------------------------------------------------------------------------------------------

TEST(PhysicsRead, OptionalBlockAndKeys)
{
    Stream stream("physics_test_no_such_file", StreamMode_Data);
    LoadJson(stream, R"({"Physics": {"Collision SFX": "Crate_Bump", "Mass": 2.5}})");
    Physics physics;
    physics.Read(stream);
    EXPECT_EQ(physics.CollisionSFX, "Crate_Bump");
    EXPECT_FLOAT_EQ(physics.Mass, 2.5f);

    Physics defaults;
    LoadJson(stream, R"({"Physics": {}})");
    defaults.Read(stream);
    EXPECT_EQ(defaults.CollisionSFX, "Player_Collision");
    EXPECT_FLOAT_EQ(defaults.Mass, 1.0f);

    Physics noBlock;
    LoadJson(stream, R"({"Name": "x"})");
    noBlock.Read(stream);
    EXPECT_FLOAT_EQ(noBlock.Mass, 1.0f);

    Physics wrong;
    LoadJson(stream, R"({"Physics": {"Mass": "heavy", "Collision SFX": 4}})");
    const std::string out = CaptureConsole([&] { wrong.Read(stream); });
    EXPECT_FLOAT_EQ(wrong.Mass, 1.0f);   // read as missing: the default stays
    EXPECT_EQ(wrong.CollisionSFX, "Player_Collision");
    EXPECT_NE(out.find("Collision SFX"), std::string::npos);
    EXPECT_NE(out.find("Mass"), std::string::npos);

    Physics truncated;
    LoadJson(stream, R"({"Physics": {"Mass": 2)");
    truncated.Read(stream);
    EXPECT_FLOAT_EQ(truncated.Mass, 1.0f);
}

TEST(PhysicsRead, EveryObjectHasPhysics)
{
    Stream stream("physics_test_no_such_file", StreamMode_Data);
    LoadJson(stream, R"({"Name": "Bare"})");
    GameObject object(stream);
    ASSERT_NE(object.GetPhysics(), nullptr);
    EXPECT_EQ(object.GetPhysics()->owner, &object);
    EXPECT_FLOAT_EQ(object.GetPhysics()->Mass, 1.0f);
    EXPECT_EQ(object.GetPhysics()->GetName(), "Physics");
}

TEST(PhysicsRead, CloneCopiesSettingsNotTheFramesRecords)
{
    Physics physics;
    physics.VelocityX = 1.0f;
    physics.VelocityY = 2.0f;
    physics.AccelerationX = 3.0f;
    physics.Mass = 4.0f;
    physics.RotationalVelocity = 5.0f;
    physics.CollisionSFX = "Thud";
    physics.Drag = 0.5f;
    physics.pushValue = 99.0f;
    physics.records.push_back({"Wall", 1.0f, 0.0f, 3});
    Object* copy = physics.Clone();
    auto* clone = dynamic_cast<Physics*>(copy);
    ASSERT_NE(clone, nullptr);
    EXPECT_FLOAT_EQ(clone->VelocityY, 2.0f);
    EXPECT_FLOAT_EQ(clone->AccelerationX, 3.0f);
    EXPECT_FLOAT_EQ(clone->Mass, 4.0f);
    EXPECT_FLOAT_EQ(clone->RotationalVelocity, 5.0f);
    EXPECT_EQ(clone->CollisionSFX, "Thud");
    EXPECT_FLOAT_EQ(clone->Drag, 0.5f);
    EXPECT_TRUE(clone->records.empty());
    EXPECT_EQ(clone->pushValue, 0.0f);
    delete clone;
}

// ---- PhysicsSystem -----------------------------------------------------------------------------------------------------

TEST(PhysicsSystemRegistry, RecordsOncePerOtherAndAxis)
{
    PhysicsSystem system;
    system.Init();
    ASSERT_EQ(gPhysicsSystem, &system);
    PhysicsSystem::RegisterCollision("Player", "Wall", 10000.0f, 0.0f, 3);
    PhysicsSystem::RegisterCollision("Player", "Wall", 10000.0f, 0.0f, 2);   // opposite side: same axis
    PhysicsSystem::RegisterCollision("Player", "Wall", 10000.0f, 0.0f, 0);
    PhysicsSystem::RegisterCollision("Player", "Wall", 10000.0f, 0.0f, 1);
    PhysicsSystem::RegisterCollision("Player", "Crate", 2.0f, 1.0f, 3);
    PhysicsSystem::RegisterCollision("Crate", "Player", 1.0f, 0.0f, 2);
    const std::vector<CollisionRecord>* player = system.GetRecords("Player");
    ASSERT_NE(player, nullptr);
    ASSERT_EQ(player->size(), 3u);
    EXPECT_EQ((*player)[0].side, 3u);
    EXPECT_EQ((*player)[1].side, 0u);
    EXPECT_EQ((*player)[2].other, "Crate");
    EXPECT_FLOAT_EQ((*player)[2].velocity, 1.0f);
    ASSERT_NE(system.GetRecords("Crate"), nullptr);
    EXPECT_EQ(system.GetRecords("Nobody"), nullptr);
    system.Clear();
    EXPECT_EQ(system.GetRecords("Player"), nullptr);
}

TEST(PhysicsSystemRegistry, GlobalFollowsTheSystemAndNothingWithoutOne)
{
    {
        PhysicsSystem system;
        system.Init();
        EXPECT_EQ(system.GetName(), "PhysicsSystem");
    }
    EXPECT_EQ(gPhysicsSystem, nullptr);
    PhysicsSystem::RegisterCollision("A", "B", 1.0f, 0.0f, 0);   // no system: nothing, no crash

    // Blocking still works without a PhysicsSystem.
    World world(false);
    GameObject* mover = world.Add("Mover", 0, 0);
    World::AddSquare(mover, 1, 1, true);
    World::AddSquare(world.Add("Wall", 0.9f, 0), 1, 1, false);
    CaptureConsole([&] { world.CollisionPass(); });
    EXPECT_EQ(mover->GetPhysics()->GetSideBits(), BLOCKED_RIGHT);
}

TEST(PhysicsSystemRegistry, MadeByTheEngineFactory)
{
    ISystem* system = CreateSystem("PhysicsSystem");
    ASSERT_NE(system, nullptr);
    EXPECT_EQ(system->GetName(), "PhysicsSystem");
    delete system;
}

// ---- Frames end to end -----------------------------------------------------------------------------------------------

TEST(PhysicsFrames, MoverStopsAtAWallAndCanBackAway)
{
    World world;
    GameObject* mover = world.Add("Mover", 0, 0);
    World::AddSquare(mover, 1, 1, true);
    GameObject* wall = world.Add("Wall", 2.0f, 0);
    World::AddSquare(wall, 1, 1, false);
    Physics* physics = mover->GetPhysics();

    // Drive right at 3 units/s for two seconds: it stops after it first overlaps the wall.
    std::string out = CaptureConsole([&] {
        for (int i = 0; i < 120; ++i) {
            physics->SetVelocity(3.0f, 0.0f);
            world.Frame();
        }
    });
    const float stopped = mover->GetTransform()->TranslationX;
    EXPECT_GT(stopped, 1.0f);
    EXPECT_LT(stopped, 1.1f);
    EXPECT_EQ(physics->GetLastSideBits(), BLOCKED_RIGHT);

    // Backing away works at once.
    CaptureConsole([&] {
        for (int i = 0; i < 30; ++i) {
            physics->SetVelocity(-3.0f, 0.0f);
            world.Frame();
        }
    });
    EXPECT_LT(mover->GetTransform()->TranslationX, stopped - 1.0f);
}

TEST(PhysicsRead, FromFilesGoodTruncatedAndMissing)
{
    TempSaveDir dir;
    Stream good(dir.Write("heavy", R"({"Physics": {"Mass": 6, "Collision SFX": "Bonk"}})").c_str(), StreamMode_SaveDir);
    Physics a;
    a.Read(good);
    EXPECT_FLOAT_EQ(a.Mass, 6.0f);
    EXPECT_EQ(a.CollisionSFX, "Bonk");

    Stream cut(dir.Write("cut", R"({"Physics": {"Mass": 6, "Coll)").c_str(), StreamMode_SaveDir);
    Physics b;
    CaptureConsole([&] { b.Read(cut); });
    EXPECT_FLOAT_EQ(b.Mass, 1.0f);
    EXPECT_EQ(b.CollisionSFX, "Player_Collision");

    Physics c;
    CaptureConsole([&] {
        Stream missing("no_such_physics_file", StreamMode_SaveDir);
        c.Read(missing);
    });
    EXPECT_FLOAT_EQ(c.Mass, 1.0f);
}

// ---- Through the engine and the object manager ---------------------------------------------------------------

#include "core/GameObjectManager.h"

namespace {
// Deletes its own object the moment something enters it (the way a pickup goes away).
class VanishOnEnter : public RecordingBehavior {
public:
    void OnCollisionEnter(Collider* other) override
    {
        RecordingBehavior::OnCollisionEnter(other);
        if (owner)
            owner->RequestDestroy();
    }
};
}  // namespace

TEST(PhysicsFrames, ThroughTheEngineAndTheObjectManager)
{
    Engine engine;
    engine.AddSystem("MessageSystem");
    engine.AddSystem("GameObjectManager");
    engine.AddSystem("PhysicsSystem");
    CaptureConsole([&] { engine.Init(); });
    ASSERT_NE(gGameObjectManager, nullptr);
    ASSERT_NE(gPhysicsSystem, nullptr);

    auto make = [](const char* name, float x) {
        GameObject* object = testsupport::MakePlacedObject(name, x, 0.0f);
        object->SetComponent(new Physics());
        return object;
    };
    GameObject* player = make("Player", 0.0f);
    World::AddSquare(player, 1, 1, true);
    RecordingBehavior* playerEvents = World::AddBehavior(player);
    GameObject* coin = make("Coin", 1.5f);
    World::AddCircle(coin, 0.25f, false, true);
    auto* vanish = new VanishOnEnter();
    coin->SetComponent(vanish);
    const std::uint32_t coinId = coin->GetCollider()->GetID();
    GameObject* wall = make("Wall", 4.0f);
    World::AddSquare(wall, 1, 1, false);
    gGameObjectManager->AddGameObject(player);
    gGameObjectManager->AddGameObject(coin);
    gGameObjectManager->AddGameObject(wall);

    const std::string out = CaptureConsole([&] {
        for (int i = 0; i < 180; ++i) {
            if (Physics* physics = player->GetPhysics())
                physics->SetVelocity(2.0f, 0.0f);
            engine.Update(1.0f / 60.0f);
        }
    });
    // The coin was entered once, went away, and the player's contact with it ended.
    EXPECT_EQ(playerEvents->Count("enter:Coin"), 1);
    EXPECT_EQ(playerEvents->Count("exit:Coin"), 1);
    EXPECT_EQ(gGameObjectManager->FindGameObject("Coin"), nullptr);
    EXPECT_FALSE(player->GetCollider()->HasContact(coinId));
    EXPECT_EQ(Collider::FindById(coinId), nullptr);
    EXPECT_EQ(playerEvents->Count("enter:Wall"), 1);
    // The wall stopped the player against its left side.
    const float x = player->GetTransform()->TranslationX;
    EXPECT_GT(x, 3.0f);
    EXPECT_LT(x, 3.1f);
    const std::vector<CollisionRecord>* records = gPhysicsSystem->GetRecords("Player");
    ASSERT_NE(records, nullptr);
    ASSERT_EQ(records->size(), 1u);
    EXPECT_EQ((*records)[0].other, "Wall");
    EXPECT_EQ((*records)[0].side, 3u);
    EXPECT_FLOAT_EQ((*records)[0].value, 10000.0f);
}
