// Particles read back from the window: their layers, and batches drawing the picture of drawing each
// particle in turn (stencil stamps included).
#include <gtest/gtest.h>

#include <glad/gl.h>

#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "GlFrame.h"
#include "TestObjects.h"
#include "core/GameObject.h"
#include "core/Random.h"
#include "core/Transform.h"
#include "graphics/GraphicsLibrary.h"
#include "graphics/ParticleEmitter.h"
#include "graphics/ParticlePool.h"
#include "graphics/Sprite.h"
#include "graphics/Texture.h"
#include "graphics/Window.h"

using namespace testsupport;

namespace {

class ParticleDrawTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!HaveDisplay())
            GTEST_SKIP() << "no X display";
        savedFog = WindowDrawFogHook;
        hooksSaved = true;
        window = OpenWindow();
        ASSERT_NE(window, nullptr);
        WindowDrawFogHook = CaptureFrame;
        CameraList[0].zoom = 45.0f;
        Random::Seed(11);
    }
    void TearDown() override
    {
        ParticleEmitter::batchDrawing = true;
        objects.clear();
        if (hooksSaved)
            WindowDrawFogHook = savedFog;
        delete window;
        window = nullptr;
    }

    ParticleEmitter* AddEmitter(float x, float y, const char* mesh)
    {
        objects.emplace_back(MakePlacedObject("Emitter", x, y));
        auto* emitter = new ParticleEmitter();
        emitter->meshName = mesh;
        objects.back()->SetComponent(emitter);
        return emitter;
    }

    GameObject* AddSprite(float x, float y, unsigned layer, float r, float g, float b, float a, float scale)
    {
        objects.emplace_back(MakePlacedObject("Block", x, y, 0.0f, scale, scale));
        auto* sprite = new Sprite();
        sprite->mesh = GraphicsLibrary::GetMesh("empty_mesh");
        sprite->layer = layer;
        const float rgba[4] = {r, g, b, a};
        std::copy(rgba, rgba + 4, sprite->color);
        objects.back()->SetComponent(sprite);
        return objects.back().get();
    }

    // Draws every object in order and renders one frame from a clear stencil and stencil state.
    void Render()
    {
        ClearToBlack();
        glDisable(GL_STENCIL_TEST);
        for (auto& object : objects)
            object->Draw();
        window->Render();
        ASSERT_TRUE(HaveFrame());
    }

    Window* window = nullptr;
    void (*savedFog)() = nullptr;
    bool hooksSaved = false;
    std::vector<std::unique_ptr<GameObject>> objects;
};

// The window's centre shows the world origin.
constexpr int CX = 960, CY = 540;

TEST_F(ParticleDrawTest, OnTopParticlesCoverALayerFiveSpriteAndOthersStayBelowIt)
{
    AddSprite(0.0f, 0.0f, 5, 1.0f, 0.0f, 0.0f, 1.0f, 1.0f);
    ParticleEmitter* ping = AddEmitter(0.0f, 0.0f, "textured_mesh");
    ping->pattern = 16; // a full white circle on layer 0
    ping->Update(0.0f);
    ASSERT_EQ(ping->GetPool().Slot(0).onTop, 1u);
    Render();
    EXPECT_TRUE(IsColour(At(CX, CY), 255, 255, 255));

    objects.pop_back();
    ParticleEmitter* dust = AddEmitter(0.0f, 0.0f, "empty_mesh");
    dust->size = 2.0f; // a white square on layer 8, larger than the sprite
    dust->Update(0.0f);
    Render();
    EXPECT_TRUE(IsColour(At(CX, CY), 255, 0, 0));
    EXPECT_TRUE(IsColour(At(CX + 90, CY), 255, 255, 255));
}

TEST_F(ParticleDrawTest, PresetTexturesLastOneEmission)
{
    struct Case {
        int pattern, prefabMode;
        const char* particleTexture;
    };
    for (const Case& c : {Case{7, 0, "smoke_par"}, Case{6, 1, "Circle_Par"}, Case{6, 0, "StarParticle"}}) {
        ParticleEmitter* e = AddEmitter(0.0f, 0.0f, "textured_mesh");
        e->pattern = c.pattern;
        e->prefabMode = static_cast<std::uint8_t>(c.prefabMode);
        e->textureName = "StarParticle";
        e->Update(0.0f);
        const Particle& p = e->GetPool().Slot(0);
        ASSERT_NE(p.texture, nullptr);
        EXPECT_EQ(p.texture->name, c.particleTexture) << c.pattern;
        EXPECT_EQ(e->textureName, "StarParticle");
    }
}

TEST_F(ParticleDrawTest, BatchesDrawThePictureOfOneByOne)
{
    // Flat squares in random colours through the fog, spinning textured stars, smoke below the
    // sprites, then a translucent quad on layer 0 that the stamps keep off the through-fog particles.
    ParticleEmitter* squares = AddEmitter(-1.0f, 0.5f, "empty_mesh");
    squares->pattern = 17;
    ParticleEmitter* stars = AddEmitter(1.5f, -0.5f, "textured_mesh");
    stars->pattern = 21;
    ParticleEmitter* smoke = AddEmitter(0.0f, -1.0f, "textured_mesh");
    smoke->pattern = 18;
    // One emitter with two textures live below the sprites: its dust trail, then confetti.
    ParticleEmitter* party = AddEmitter(-2.0f, -1.5f, "textured_mesh");
    party->pattern = 13;
    for (int frame = 0; frame < 30; ++frame)
        party->Update(1.0f / 60.0f);
    party->confetti = 1;
    for (int frame = 0; frame < 12; ++frame)
        for (ParticleEmitter* e : {squares, stars, smoke, party})
            e->Update(1.0f / 60.0f);
    ASSERT_GT(squares->GetPool().LiveCount() + stars->GetPool().LiveCount() + smoke->GetPool().LiveCount(), 600);
    std::set<std::string> partyTextures;
    for (int i = 0; i < party->GetPool().End(); ++i) {
        const Particle& p = party->GetPool().Slot(i);
        if (p.active && p.color[3] > 0.0f)
            partyTextures.insert((p.texture ? p.texture->name : "none") + (p.onTop == 1 ? " on top" : ""));
    }
    ASSERT_EQ(partyTextures, (std::set<std::string>{"ShimmerParticle", "smoke_par"}));
    AddSprite(0.0f, 0.0f, 5, 0.2f, 0.8f, 0.3f, 0.6f, 1.5f);
    AddSprite(0.0f, 0.0f, 0, 0.1f, 0.3f, 0.9f, 0.5f, 6.0f);

    std::vector<Pixel> pictures[2];
    std::size_t commands[2] = {0, 0};
    for (int batched = 0; batched < 2; ++batched) {
        ParticleEmitter::batchDrawing = batched == 1;
        for (ParticleEmitter* e : {squares, stars, smoke, party})
            e->Draw();
        for (auto& layer : window->layers)
            commands[batched] += layer.size();
        for (auto& layer : window->layers)
            layer.clear();
        Render();
        for (int y = CY - 400; y < CY + 400; ++y)
            for (int x = CX - 500; x < CX + 500; ++x)
                pictures[batched].push_back(At(x, y));
    }
    EXPECT_LT(commands[1], 10u);
    EXPECT_GT(commands[0], 600u);
    int differing = 0, lit = 0;
    for (std::size_t i = 0; i < pictures[0].size(); ++i) {
        const Pixel a = pictures[0][i], b = pictures[1][i];
        if (std::abs(a.r - b.r) > 1 || std::abs(a.g - b.g) > 1 || std::abs(a.b - b.b) > 1)
            ++differing;
        if (a.r + a.g + a.b > 0)
            ++lit;
    }
    EXPECT_EQ(differing, 0);
    EXPECT_GT(lit, 100000);
}

} // namespace
