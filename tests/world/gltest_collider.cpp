// Collider outlines: drawn through the window's pooled debug rectangle only while the C key is held.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "TestObjects.h"
#include "core/GameObject.h"
#include "world/Collider.h"
#include "GlFrame.h"
#include "core/Transform.h"
#include "graphics/GraphicsLibrary.h"
#include "graphics/InputManager.h"
#include "graphics/Sprite.h"
#include "graphics/Window.h"

using namespace testsupport;

namespace {

constexpr float DEG = 0.017453292f;
constexpr int GLFW_C = 67;

GameObject* MakeObject(const std::string& name, float x, float y, float rotationDegrees, float sx, float sy)
{
    return testsupport::MakePlacedObject(name, x, y, rotationDegrees, sx, sy);
}

class ColliderOutline : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!HaveDisplay())
            GTEST_SKIP() << "no X display";
        window = OpenWindow();
        ASSERT_NE(window, nullptr);
        // The pooled rectangle the outlines move and colour.
        pooled = MakeObject("DebugRectangle", 0, 0, 0, 1, 1);
        auto* sprite = new Sprite();
        sprite->mesh = GraphicsLibrary::GetMesh("empty_mesh");
        pooled->SetComponent(sprite);
        window->debugRectangles.push_back(pooled);

        keys = std::make_shared<ScriptedKeySource>();
        input = new InputManager(keys);
        input->Init();
    }
    void TearDown() override
    {
        delete object;
        delete input;
        if (window)
            window->debugRectangles.clear();
        delete pooled;
        delete window;
    }
    void HoldC(bool down)
    {
        keys->SetKey(GLFW_C, down);
        input->Update(0.0f);
    }

    Window* window = nullptr;
    GameObject* pooled = nullptr;
    GameObject* object = nullptr;
    InputManager* input = nullptr;
    std::shared_ptr<ScriptedKeySource> keys;
};

TEST_F(ColliderOutline, NothingWhileCIsUp)
{
    object = MakeObject("Box", 1, 2, 0, 1, 1);
    auto* collider = new Collider();
    collider->SetSquare(2, 2);
    object->SetComponent(collider);
    HoldC(false);
    collider->Draw();
    EXPECT_EQ(window->debugRectanglesUsed, 0);
    EXPECT_TRUE(window->layers[0].empty());
}

TEST_F(ColliderOutline, SquareAtItsOffsetWithWorldSizeAndRotationWhenItTurns)
{
    object = MakeObject("Box", 1, 2, 30, 2, 3);
    auto* collider = new Collider();
    collider->SetSquare(1.5f, 1.0f, 0.5f, -0.25f);
    object->SetComponent(collider);
    HoldC(true);
    collider->Draw();
    ASSERT_EQ(window->debugRectanglesUsed, 1);
    EXPECT_EQ(window->layers[0].size(), 1u);
    Transform* t = pooled->GetTransform();
    EXPECT_FLOAT_EQ(t->TranslationX, 1.5f);
    EXPECT_FLOAT_EQ(t->TranslationY, 1.75f);
    EXPECT_FLOAT_EQ(t->ScaleX, 1.5f);   // half of 1.5 x 2
    EXPECT_FLOAT_EQ(t->ScaleY, 1.5f);   // half of 1.0 x 3
    EXPECT_FLOAT_EQ(t->Rotation, 0.0f); // does not turn
    Sprite* sprite = pooled->GetSprite();
    EXPECT_FLOAT_EQ(sprite->color[0], 0.0f);
    EXPECT_FLOAT_EQ(sprite->color[1], 1.0f);
    EXPECT_FLOAT_EQ(sprite->color[2], 0.0f);
    EXPECT_FLOAT_EQ(sprite->color[3], 1.0f);

    window->Render();
    collider->CanRotate = true;
    collider->Draw();
    EXPECT_FLOAT_EQ(t->Rotation, 30.0f * DEG);
}

TEST_F(ColliderOutline, CircleAsASquareOfItsDiameterAndLinesNotAtAll)
{
    object = MakeObject("Ball", -1, 0.5f, 45, 1, 1);
    auto* collider = new Collider();
    collider->SetCircle(0.75f);
    object->SetComponent(collider);
    HoldC(true);
    collider->Draw();
    ASSERT_EQ(window->debugRectanglesUsed, 1);
    Transform* t = pooled->GetTransform();
    EXPECT_FLOAT_EQ(t->TranslationX, -1.0f);
    EXPECT_FLOAT_EQ(t->TranslationY, 0.5f);
    EXPECT_FLOAT_EQ(t->ScaleX, 0.75f);
    EXPECT_FLOAT_EQ(t->ScaleY, 0.75f);
    EXPECT_FLOAT_EQ(t->Rotation, 0.0f);

    window->Render();
    collider->SetLine(0, 0, 1, 1);
    collider->Draw();
    EXPECT_EQ(window->debugRectanglesUsed, 0);
    EXPECT_EQ(window->debugLinesUsed, 0);
}

}  // namespace
