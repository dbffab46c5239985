#pragma once
// A small game world for the behaviour tests: the core engine (messages recorded), an input manager
// fed by a scripted key source, and hand-built objects: the player with its eyes, a battery and
// fixtures. Frames run with a fixed dt of 1/60 s: input, message delivery, object updates and the
// collision pass, in the game's order.
#include <gtest/gtest.h>

#include <GLFW/glfw3.h>

#include <cstdint>
#include <memory>
#include <string>

#include "CoreEngine.h"
#include "TestObjects.h"
#include "core/Engine.h"
#include "core/GameObject.h"
#include "core/GameObjectManager.h"
#include "core/Trace.h"
#include "core/Transform.h"
#include "game/BehaviorBufferBar.h"
#include "game/BehaviorPlayer.h"
#include "game/BehaviorTimer.h"
#include "graphics/InputManager.h"
#include "graphics/Sprite.h"
#include "world/Collider.h"
#include "world/Physics.h"

namespace gametest {

constexpr float DT = 1.0f / 60.0f;

class GameWorld : public ::testing::Test {
protected:
    void SetUp() override
    {
        TraceReset();
        ResetPlayerGlobals();
        ResetTimerGlobals();
        ResetBufferBarGlobals();
        keys = std::make_shared<ScriptedKeySource>();
        input = std::make_unique<InputManager>(keys);
        input->Init();
    }
    void TearDown() override
    {
        core.reset();
        input.reset();
        ResetPlayerGlobals();
        ResetTimerGlobals();
    }

    // Gives the object a sprite, a physics and (when w > 0) a square collider, then registers it.
    GameObject* Add(GameObject* object, float w = 0.0f, float h = 0.0f, bool dynamic = false, bool trigger = false)
    {
        object->SetComponent(new Sprite());
        object->SetComponent(new Physics());
        if (w > 0.0f) {
            auto* collider = new Collider();
            collider->SetSquare(w, h);
            collider->IsDynamic = dynamic ? 1 : 0;
            collider->IsTrigger = trigger;
            object->SetComponent(collider);
        }
        static std::uint32_t nextId = 1u << 24;   // far from the factory's numbering
        object->SetId(nextId++);
        core->manager->AddGameObject(object);
        return object;
    }

    // The player at (x, y) with eyes and speed 2, rotation speed 100.
    BehaviorPlayer* MakePlayer(float x = 0.0f, float y = 0.0f, float invincibleTime = 1.0f)
    {
        player = Add(testsupport::MakePlacedObject("Player", x, y), 0.5f, 0.5f, true);
        auto* behavior = new BehaviorPlayer();
        behavior->invincibleTime = invincibleTime;
        player->SetComponent(behavior);
        eyes = Add(testsupport::MakePlacedObject("PlayerEyes", 0.0f, 0.0f));
        player->AddChild(eyes);
        return behavior;
    }

    // A battery of maxTime seconds, running (state 1), hanging from the player when there is one.
    BehaviorTimer* MakeBattery(float maxTime = 20.0f)
    {
        TimerMaxTime = maxTime;
        battery = Add(testsupport::MakePlacedObject("BatteryBar", 2.0f, 0.0f, 0.0f, 4.0f, 1.0f));
        TimerBarScale = 4.0f;
        TimerBarOffset = 2.0f;
        auto* timer = new BehaviorTimer();
        timer->nextState = 1;
        battery->SetComponent(timer);
        if (player)
            player->AddChild(battery);
        return timer;
    }

    void Frame(int n = 1)
    {
        for (int i = 0; i < n; ++i) {
            input->Update(DT);
            core->engine->Update(DT);
        }
    }
    void Press(int glfwKey, bool down = true) { keys->SetKey(glfwKey, down); }
    testsupport::MessageRecorder& Seen() { return *core->recorder; }

    BehaviorPlayer* PlayerBehavior() const { return dynamic_cast<BehaviorPlayer*>(player->GetBehavior()); }
    Transform* PlayerTransform() const { return player->GetTransform(); }

    std::unique_ptr<testsupport::CoreEngine> core = std::make_unique<testsupport::CoreEngine>();
    std::shared_ptr<ScriptedKeySource> keys;
    std::unique_ptr<InputManager> input;
    GameObject* player = nullptr;
    GameObject* eyes = nullptr;
    GameObject* battery = nullptr;
};

} // namespace gametest
