// The "GameObject" script type: transform, sprite and physics members, the traces for what is missing,
// and handles that outlive their objects.
#include <gtest/gtest.h>

#include "core/Transform.h"
#include "graphics/GraphicsLibrary.h"
#include "graphics/ParticleEmitter.h"
#include "graphics/Sprite.h"
#include "script_fixture.h"
#include "world/Physics.h"
#include "world/SceneSystem.h"

using namespace testsupport;

namespace {

class GameObjectTypeTest : public ScriptTest {};

} // namespace

TEST_F(GameObjectTypeTest, MembersReadAndChangeTheComponents)
{
    GameObject* lamp = Place("Lamp", 1.0f, 2.0f);
    lamp->SetComponent(new Sprite());
    lamp->SetComponent(new Physics());
    Check("local g = GameObject('Lamp')\n"
          "g:SetRotationDegrees(90) assert(math.abs(g:GetRotationRadians() - math.pi / 2) < 1e-4)\n"
          "assert(math.abs(g:GetRotationDegrees() - 90) < 1e-3)\n"
          "local f = g:Forward() assert(math.abs(f.X + 1) < 1e-4 and math.abs(f.Y) < 1e-4)\n"
          "g:SetAlpha(1.5) assert(g:GetAlpha() == 1) g:SetAlpha(-2) assert(g:GetAlpha() == 0)\n"
          "g:SetColorR(3) assert(g:GetColorR() == 3) g:SetAlphaB(0.5) assert(g:GetColorB() == 0.5 and g:GetAlpha() == 0)\n"
          "local p = g:GetPosition() assert(p.X == 1 and p.Y == 2) g:SetScaleVector(Vector2f(2, 3))\n"
          "g:SetVelocityFloat(4, 5) assert(g:GetVelocity().Y == 5) g:SetDrag(0.5) assert(g:GetDrag() == 0.5)\n"
          "g:SetAccelerationVector(Vector2f(1, 2)) assert(g:GetAcceleration().X == 1)\n"
          "assert(GameObject(g):GetName() == 'Lamp' and g:GetStateCurr() == -1)");
    EXPECT_FLOAT_EQ(lamp->GetTransform()->ScaleY, 3.0f);
    EXPECT_TRUE(lamp->GetPhysics()->keepVelocity);
    // Setting the same position again leaves the dirty flag alone.
    lamp->GetTransform()->dirty = false;
    Check("GameObject('Lamp'):SetPositionFloat(1, 2)");
    EXPECT_FALSE(lamp->GetTransform()->dirty);
    Check("GameObject('Lamp'):SetPositionFloat(1, 3)");
    EXPECT_TRUE(lamp->GetTransform()->dirty);
}

TEST_F(GameObjectTypeTest, MissingObjectsAndComponentsAreTracedWithDefaults)
{
    Place("Bare");
    Place("Plain")->SetComponent(new Sprite());
    GraphicsLibrary library;  // textures without an image are made without a GL context
    struct Case {
        const char* code;
        const char* trace;
    } cases[] = {
        {"assert(b:GetColorR() == -1) b:SetColorR(1)", "[Lua] Error: Object 'Bare' has no Sprite Component.\n"},
        {"assert(b:GetAlpha() == -1)", "[Lua] Error: Object 'Bare' has no Sprite Component.\n"},
        {"assert(b:GetAnimationNumFrames() == -1 and not b:AnimationIsPlaying())",
         "[Lua] Error: Object 'Bare' has no SpriteSheet Component.\n"},
        {"b:PlayAnimation('Walk', true)", "[Lua] Error: Object 'Bare' has no SpriteSheet Component.\n"},
        {"assert(b:GetDrag() == 0 and b:GetVelocity().X == 0)", "[Lua] Error: Object 'Bare' has no Physics Component.\n"},
        {"b:SetStateNext(2) assert(b:GetStateCurr() == -1)", "[Lua] Error: Object 'Bare' has no Behavior Component.\n"},
        {"local p = GameObject('Plain') p:SetTexture('NoSuchTexture') assert(p:GetTexture() == '')",
         "[Lua] Error: Texture 'NoSuchTexture' does not exist.\n[Lua] Error: Object 'Plain' has no Texture.\n"},
        {"assert(n:GetName() == '' and n:GetAlpha() == 1 and n:GetColorR() == 0)", "[Lua] Error: Object Does Not Exist\n"},
        {"local f = n:Forward() assert(f.X == 0 and f.Y == 0)", "[Lua] Error: Object Does Not Exist\n"},
        {"n:BroadcastInt('Hello', 1) n:ApplyScreenShake(1, 1)", "[Lua] Error: Object Does Not Exist.\n"},
        {"assert(not n:AM_I_ALIVE() and not n:GetEmitterState())", "[Lua] Error: Object Does Not Exist\n"},
    };
    const std::string made = Check("b = GameObject('Bare') n = GameObject('Nobody')");
    EXPECT_EQ(made, "[C++]: Lua Controlled Object 'Nobody' does not exist\n");
    for (const Case& c : cases) {
        const std::string out = Check(c.code);
        EXPECT_TRUE(Contains(out, c.trace)) << c.code << "\n" << out;
    }
    // Looked up every frame: told once, and again only after an object of that name was found.
    EXPECT_EQ(Check("n = GameObject('Nobody') n = GameObjectManagerGetObject('Nobody')"), "");
    Place("Nobody");
    EXPECT_EQ(Check("n = GameObject('Nobody') n:DESTROY_MYSELF()"), "");
    core->manager->Update(0.0f);
    EXPECT_EQ(Check("n = GameObject('Nobody') n = GameObject('Nobody')"), made);
}

TEST_F(GameObjectTypeTest, HandlesOutlivingTheirObjectsActEmpty)
{
    Place("Doomed");
    Place("Lamp");
    const std::string out = Check(
        "d = GameObject('Doomed') copy = GameObject(d) kept = GameObjectManagerGetObject('Lamp')\n"
        "d:DESTROY_MYSELF() assert(not d:AM_I_ALIVE() and copy:AM_I_ALIVE()) d:DESTROY_MYSELF()");
    EXPECT_EQ(Count(out, "[Lua] Error: Object Does Not Exist.\n"), 1) << out;
    core->manager->Update(0.0f);
    Check("assert(not copy:AM_I_ALIVE() and kept:AM_I_ALIVE())");
    // What a scene change does: every object goes, new ones come (perhaps at the old addresses).
    core->manager->ClearGameObjects();
    for (int i = 0; i < 8; ++i)
        Place("Lamp");
    const std::string after = Check("assert(not kept:AM_I_ALIVE() and kept:GetName() == '') kept:SetPositionFloat(1, 1)");
    EXPECT_EQ(Count(after, "[Lua] Error: Object Does Not Exist\n"), 2) << after;
}

TEST_F(GameObjectTypeTest, PingEffectsNeedAnEmitterAndNoPendingSceneChange)
{
    auto* emitter = new ParticleEmitter();
    Place("Beacon")->SetComponent(emitter);  // no Sprite: the colour stays as it was
    emitter->color[0] = 0.5f;
    SceneSystem scenes;
    scenes.reload = true;
    Check("b = GameObject('Beacon') b:SetPingEffect(0.7) b:SetEmitterState(false) assert(b:GetEmitterState())");
    EXPECT_EQ(emitter->pattern, 0);
    EXPECT_EQ(emitter->active, 0);
    scenes.reload = false;
    Check("b:SetPingEffect(0.7)");
    EXPECT_EQ(emitter->pattern, 9);
    EXPECT_EQ(emitter->returnPattern, 13);
    EXPECT_EQ(emitter->active, 1);
    EXPECT_FLOAT_EQ(emitter->lifespan, 0.7f);
    EXPECT_FLOAT_EQ(emitter->color[0], 0.5f);
}
