// BehaviorScript: a Lua file run every frame in the behaviour's own environment, with the frame's time
// step, "MyObject" and the collision variables; missing scripts, the save-directory copy, script
// errors, the "Neon" rule.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/Engine.h"
#include "core/GameObjectFactory.h"
#include "core/Transform.h"
#include "graphics/LightingSystem.h"
#include "graphics/ParticleEmitter.h"
#include "graphics/Sprite.h"
#include "script/BehaviorScript.h"
#include "script_fixture.h"
#include "world/Collider.h"
#include "world/Physics.h"
#include "world/SceneSystem.h"

using namespace testsupport;

namespace {

constexpr float kFrame = 1.0f / 60.0f;

class BehaviorScriptTest : public ScriptTest {
protected:
    void Script(const std::string& name, const std::string& code) { WriteFile(Data("scripts/Lua/" + name + ".lua"), code); }
    // An object built by the factory from a file whose behaviour runs the named script.
    GameObject* Scripted(const std::string& objectName, const std::string& script)
    {
        WriteFile(Data("objects/" + objectName + ".json"),
                  "{\"Name\": \"" + objectName + "\", \"Transform\": {\"ScaleX\": 1.0, \"ScaleY\": 1.0},"
                  " \"Behavior\": {\"BehaviorType\": \"BehaviorScript\", \"ScriptName\": \"" + script + "\"}}");
        return core->factory->CreateGameObject("objects/" + objectName, true);
    }
    std::string Frames(int count)
    {
        return CaptureConsole([&] {
            for (int i = 0; i < count; ++i)
                core->manager->Update(kFrame);
        });
    }
    static BehaviorScript* Behaviour(GameObject* object) { return static_cast<BehaviorScript*>(object->GetBehavior()); }
};

} // namespace

TEST_F(BehaviorScriptTest, ScriptsMoveTheirOwnObjectAndKeepTheirGlobalsApart)
{
    Script("Mover", "local p = MyObject:GetPosition()\n"
                    "MyObject:SetPositionFloat(p.X + DeltaTime * 60, p.Y)\n"
                    "Runs = (Runs or 0) + 1");
    WriteFile(Save("scripts/variables/Mover_.json"), "{\"Old\": 1}");
    GameObject* a = Scripted("Mover", "Mover");
    GameObject* b = Scripted("Mover", "Mover");  // the same name: "MyObject" is still each one's own
    Frames(3);
    EXPECT_FLOAT_EQ(a->GetTransform()->TranslationX, 3.0f);
    EXPECT_FLOAT_EQ(b->GetTransform()->TranslationX, 3.0f);
    EXPECT_EQ(Behaviour(a)->GetName(), "./assets/data/scripts/Lua/Mover.lua");
    EXPECT_NE(Behaviour(a)->GetEnvironment(), Behaviour(b)->GetEnvironment());
    EXPECT_EQ(Behaviour(a)->GetEnvironment()->Get<int>("Runs"), 3);
    EXPECT_EQ(Behaviour(b)->GetEnvironment()->Get<int>("Runs"), 3);
    EXPECT_FALSE(lua->state.Globals().Has("Runs"));
    EXPECT_EQ(ReadFile(Save("scripts/variables/Mover_.json")), "{}");  // emptied when the object starts
}

TEST_F(BehaviorScriptTest, VariablesStartEmptyOnEveryLoadOfTheirScene)
{
    // Each load of the scene counts afresh: the first (over a file left by an earlier run), one after
    // another scene, a reload. Only the scene's own file is used.
    Script("Bump", "MyObject:SetVarInt('Bumps', MyObject:GetVarInt('Bumps') + 1)");
    WriteFile(Data("objects/Bumper.json"), R"({"Behavior": {"BehaviorType": "BehaviorScript", "ScriptName": "Bump"},
                                              "Name": "Bumper"})");
    WriteFile(Data("scenes/Patrol.json"), R"({"Init GameObjects": ["objects/Bumper"]})");
    WriteFile(Data("scenes/Hall.json"), "{}");
    const fs::path file = Save("scripts/variables/Bumper_Patrol.json");
    WriteFile(file, R"({"Bumps": 5})");
    auto* scenes = new SceneSystem();
    core->engine->AddSystem(scenes);
    for (const std::string via : {"", "Hall", "Patrol"}) {
        for (const std::string& name : {via, std::string("Patrol")})
            if (!name.empty())
                CaptureConsole([&] { scenes->SetNextScene(name); scenes->fadeTimer = 0.0f; scenes->Update(0.0f); });
        EXPECT_EQ(ReadFile(file), "{}") << via;
        Frames(3);
        EXPECT_EQ(ReadFile(file), "{\n    \"Bumps\": 3\n}") << via;
    }
    EXPECT_FALSE(fs::exists(Save("scripts/variables/Bumper_.json")));
    EXPECT_FALSE(fs::exists(Save("scripts/variables/Bumper_Hall.json")));
}

TEST_F(BehaviorScriptTest, MyObjectIsOneValueForTheBehavioursLife)
{
    // A state change enters again; "MyObject" stays the value the script kept, cache and all.
    Script("Keeper", "if not Kept then Kept = MyObject _G.Shared = MyObject MyObject:SetStateNext(1) end\n"
                     "Runs = (Runs or 0) + 1 if Runs == 1 then MyObject:SetVarInt('Score', 3) end\n"
                     "if Runs == 2 then MyObject:SetVarInt('Score', 4) end\n"
                     "Same = rawequal(Kept, MyObject) Score = Kept:GetVarInt('Score')");
    GameObject* keeper = Scripted("Keeper", "Keeper");
    Frames(4);
    const auto& env = Behaviour(keeper)->GetEnvironment();
    EXPECT_EQ(Behaviour(keeper)->GetCurrentState(), 0);
    EXPECT_TRUE(env->Get<bool>("Same"));
    EXPECT_EQ(env->Get<int>("Score"), 4);
    // Kept beyond the behaviour, the value ends with it: using it is a script error, not a crash.
    keeper->RequestDestroy();
    Frames(2);
    ASSERT_EQ(core->manager->FindGameObject("Keeper"), nullptr);
    const std::string out = Run("print(pcall(function() return Shared:GetName() end))");
    EXPECT_TRUE(Contains(out, "false")) << out;
    EXPECT_TRUE(Contains(out, "a value that was already destroyed")) << out;
}

TEST_F(BehaviorScriptTest, MissingScriptsAreTracedOnceAndTheSaveFolderIsTried)
{
    GameObject* lost = Scripted("Lost", "Nope");
    GameObject* door = Scripted("Door", "Door");
    WriteFile(Save("scripts/lua/Door.lua"), "MyObject:SetPositionFloat(7, 0)");
    const std::string out = Frames(3);
    EXPECT_EQ(Count(out, "[ERR]: Lua Script: './assets/data/scripts/Lua/Nope.lua' could not be found! Check "
                         "Spelling and Expected File Location.\n"), 1) << out;
    EXPECT_FALSE(Behaviour(lost)->loaded);
    EXPECT_FLOAT_EQ(door->GetTransform()->TranslationX, 7.0f);
}

TEST_F(BehaviorScriptTest, ScriptErrorsAreReportedEachTimeAndTheGameGoesOn)
{
    Script("Broken", "Tries = (Tries or 0) + 1\nerror('boom')");
    Script("Mover", "MyObject:SetPositionFloat(MyObject:GetPosition().X + 1, 0)");
    Scripted("Broken", "Broken");
    GameObject* mover = Scripted("Mover", "Mover");
    const std::string out = Frames(3);
    EXPECT_EQ(Count(out, "src/LuaAPI_System Line 200: ./assets/data/scripts/Lua/Broken.lua:2: boom"), 3) << out;
    EXPECT_FLOAT_EQ(mover->GetTransform()->TranslationX, 3.0f);
}

TEST_F(BehaviorScriptTest, CollisionVariablesAreSeenOnceAContactStarts)
{
    Script("Watch", "if NewCollision then Seen = (Seen or 0) + 1 Latest = LatestCollision end\n"
                    "Colliding = AmColliding Names = #MyCollisions");
    GameObject* watcher = Scripted("Watcher", "Watch");
    auto* collider = new Collider();
    collider->SetCircle(1.0f);
    collider->IsDynamic = 1;
    watcher->SetComponent(collider);
    watcher->SetComponent(new Physics());
    GameObject* wall = Place("Wall", 5.0f, 0.0f);
    auto* wallCollider = new Collider();
    wallCollider->SetCircle(1.0f);
    wall->SetComponent(wallCollider);
    Frames(2);
    wall->GetTransform()->TranslationX = 0.5f;  // the contact starts in this frame's collision pass
    Frames(4);
    const auto& env = Behaviour(watcher)->GetEnvironment();
    EXPECT_EQ(env->Get<int>("Seen"), 1);
    EXPECT_EQ(env->Get<std::string>("Latest"), "Wall");
    EXPECT_TRUE(env->Get<bool>("Colliding"));
    EXPECT_EQ(env->Get<int>("Names"), 1);
}

TEST_F(BehaviorScriptTest, ContactNamesCountEachContactAndTheNeonRuleNeedsASolidSign)
{
    LightingSystem lighting;
    lighting.ResizeGrid(64, 64);
    GameObject* player = Place("Player", 2.0f, 2.0f);
    auto* script = new BehaviorScript();
    player->SetComponent(script);
    player->SetComponent(new ParticleEmitter());
    auto sign = [&](const std::string& name, bool trigger) {
        GameObject* object = Place(name);
        auto* sprite = new Sprite();
        sprite->particleColor[0] = 0.25f;
        object->SetComponent(sprite);
        auto* collider = new Collider();
        collider->IsTrigger = trigger;
        object->SetComponent(collider);
        return collider;
    };
    Collider* trigger = sign("NeonSign2", true);
    script->OnCollisionEnter(trigger);
    core->Deliver();
    EXPECT_EQ(core->recorder->Count("Explode"), 0);
    EXPECT_EQ(lighting.CountRevealed(), 0);
    Collider* solid = sign("NeonSign2", false);
    script->OnCollisionEnter(solid);
    core->Deliver();
    EXPECT_EQ(core->recorder->Count("Explode"), 1);
    EXPECT_GT(lighting.CountRevealed(), 0);
    EXPECT_FLOAT_EQ(player->GetParticleEmitter()->color[0], 0.25f);
    // Two contacts with objects of one name: one exit leaves the other.
    EXPECT_EQ(script->contactNames.size(), 2u);
    script->OnCollisionStay(solid);
    EXPECT_FALSE(script->NewCollision);
    EXPECT_EQ(script->LatestCollision, "");
    script->OnCollisionExit(solid);
    EXPECT_EQ(script->contactNames.size(), 1u);
    EXPECT_TRUE(script->AmColliding);
    script->OnCollisionExit(trigger);
    EXPECT_FALSE(script->AmColliding);
    EXPECT_EQ(player->GetParticleEmitter()->pattern, 13);
}

TEST_F(BehaviorScriptTest, EnvironmentsAreReleasedOnceEvenAfterTheStateCloses)
{
    Script("Mover", "X = 1");
    GameObject* object = Scripted("Mover", "Mover");
    Frames(1);
    auto* clone = static_cast<BehaviorScript*>(Behaviour(object)->Clone());
    EXPECT_NE(clone->GetEnvironment(), Behaviour(object)->GetEnvironment());
    EXPECT_EQ(clone->scriptPath, Behaviour(object)->scriptPath);
    delete lua;  // the state closes first; the behaviours let go afterwards
    lua = nullptr;
    delete clone;
    Frames(1);  // no state: the update only sets nothing and runs nothing
}

TEST_F(BehaviorScriptTest, TheShippedTitleStarBobsAndGlows)
{
    folder.CopyFromRepo("assets/data/archetypes/TitleStar.json");
    folder.CopyFromRepo("assets/data/scripts/Lua/TitleStar.lua");
    GameObject* star = nullptr;
    CaptureConsole([&] { star = core->factory->CreateGameObject("archetypes/TitleStar", true); });
    ASSERT_NE(star, nullptr);
    star->GetTransform()->TranslationY = 7.0f;
    float lowest = 7.0f, highest = 7.0f;
    for (int frame = 0; frame < 120; ++frame) {
        EXPECT_FALSE(Contains(Frames(1), "Line 200"));
        lowest = std::min(lowest, star->GetTransform()->TranslationY);
        highest = std::max(highest, star->GetTransform()->TranslationY);
        EXPECT_GE(star->GetSprite()->color[3], 0.4f - 1e-5f);
    }
    EXPECT_NEAR(highest - lowest, 0.5f, 0.05f);  // a quarter unit each way around its place
}
