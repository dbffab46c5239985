// The shipped score display under a real window: the coin icon's draw command each frame and the
// digits made from the shipped "archetypes/Number".
#include <gtest/gtest.h>

#include <filesystem>

#include "CoreEngine.h"
#include "GlFrame.h"
#include "core/Engine.h"
#include "core/GameObject.h"
#include "core/GameObjectFactory.h"
#include "core/GameObjectManager.h"
#include "core/Transform.h"
#include "game/BehaviorScoreDisplay.h"
#include "game/ScoreManager.h"
#include "graphics/SpriteSheet.h"
#include "graphics/Texture.h"
#include "graphics/Window.h"

using namespace testsupport;

namespace {

TEST(ShippedScoreDisplay, CoinIconAndDigits)
{
    if (!HaveDisplay())
        GTEST_SKIP() << "no X display";
    const fs::path previous = fs::current_path();
    fs::current_path(DUSTRUN_SOURCE_DIR);
    {
        Window* window = OpenWindow();
        ASSERT_NE(window, nullptr);
        {
            CoreEngine core;
            auto* scores = new ScoreManager();
            core.engine->AddSystem(scores);
            GameObject* display = nullptr;
            CaptureConsole([&] { display = gGameObjectFactory->CreateGameObject("archetypes/ScoreDisplay", true); });
            ASSERT_NE(display, nullptr);
            auto* behavior = dynamic_cast<BehaviorScoreDisplay*>(display->GetBehavior());
            ASSERT_NE(behavior, nullptr);
            scores->score = 42;
            for (int frame = 0; frame < 3; ++frame) {
                for (auto& layer : window->layers)
                    layer.clear();
                core.engine->Update(1.0f / 60.0f);
            }
            const float x = display->GetTransform()->TranslationX;
            const float y = display->GetTransform()->TranslationY;
            const float w = 2.0f * display->GetTransform()->ScaleX;
            ASSERT_EQ(window->layers[0].size(), 1u) << "one coin per frame";
            const DrawCommand& coin = window->layers[0][0];
            ASSERT_NE(coin.texture, nullptr);
            EXPECT_EQ(coin.texture->name, "coin");
            EXPECT_EQ(coin.drawThroughFog, 0);
            EXPECT_EQ(coin.column, -1);
            EXPECT_NEAR(coin.model[12], x - w, 1e-5);
            EXPECT_NEAR(coin.model[13], y - 0.075f, 1e-5);
            EXPECT_NEAR(coin.model[0], 7.5f * w, 1e-5);
            ASSERT_EQ(behavior->digits.size(), 2u);
            for (int j = 0; j < 2; ++j) {
                GameObject* digit = behavior->digits[static_cast<std::size_t>(j)].Get();
                ASSERT_NE(digit, nullptr);
                EXPECT_EQ(digit->GetSpriteSheet()->currentFrame, j == 0 ? 4 : 2);
                EXPECT_FALSE(digit->GetSpriteSheet()->playing);
                EXPECT_NEAR(digit->GetTransform()->TranslationX, x + j * w, 1e-5);
            }
        }
        delete window;
    }
    fs::current_path(previous);
}

} // namespace
