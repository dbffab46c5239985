// Particle emitters without a window: emission timing, the pool, shapes, motion, patterns, timed
// effects and the confetti's messages.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "CoreEngine.h"
#include "TestFiles.h"
#include "TestObjects.h"
#include "core/GameObject.h"
#include "core/Random.h"
#include "core/Stream.h"
#include "core/Transform.h"
#include "graphics/ParticleEmitter.h"
#include "graphics/ParticlePool.h"
#include "world/Collider.h"
#include "world/Physics.h"

using namespace testsupport;

namespace {

struct Rig {
    explicit Rig(const std::string& name = "Emitter", float x = 0.0f, float y = 0.0f)
        : object(MakePlacedObject(name, x, y)), emitter(new ParticleEmitter())
    {
        object->SetComponent(emitter);
        Random::Seed(7);
    }
    const Particle& At(int slot) const { return emitter->GetPool().Slot(slot); }
    int Live() const { return emitter->GetPool().LiveCount(); }
    std::unique_ptr<GameObject> object;
    ParticleEmitter* emitter;
};

TEST(ParticleEmission, RateFourAtAnEighthSecondEmitsEveryThirdFrame)
{
    Rig rig;
    rig.emitter->rate = 4.0f;
    rig.emitter->lifespan = 100.0f;
    std::vector<int> frames;
    for (int frame = 1; frame <= 10; ++frame) {
        const int before = rig.Live();
        rig.emitter->Update(0.125f);
        EXPECT_LE(rig.Live() - before, 1);
        if (rig.Live() > before)
            frames.push_back(frame);
    }
    EXPECT_EQ(frames, (std::vector<int>{1, 4, 7, 10}));
}

TEST(ParticlePoolSlots, FillsDropsWhenFullAndReusesTheLowestFreeSlot)
{
    auto pool = std::make_unique<ParticlePool>();
    Particle p;
    p.lifetime = 100.0f;
    for (int i = 0; i < ParticlePool::CAPACITY; ++i)
        ASSERT_TRUE(pool->Emit(p));
    EXPECT_FALSE(pool->Emit(p));
    EXPECT_EQ(pool->LiveCount(), 6000);
    pool->Slot(4100).lifetime = 0.01f;
    pool->Slot(17).lifetime = 0.01f;
    pool->Update(0.02f);
    EXPECT_EQ(pool->LiveCount(), 5998);
    p.speed = 3.0f;
    ASSERT_TRUE(pool->Emit(p));
    EXPECT_EQ(pool->Slot(17).speed, 3.0f);
    ASSERT_TRUE(pool->Emit(p));
    EXPECT_EQ(pool->Slot(4100).speed, 3.0f);
    EXPECT_FALSE(pool->Emit(p));
}

TEST(ParticleEmission, RingMaskPositionsAreExact)
{
    Rig rig;
    rig.emitter->EmitShape(ParticleEmitter::RING);
    const float expected[8][2] = {{-0.5f, 0.5f}, {0.0f, 0.5f}, {0.5f, 0.5f}, {-0.5f, 0.0f},
                                  {0.5f, 0.0f},  {-0.5f, -0.5f}, {0.0f, -0.5f}, {0.5f, -0.5f}};
    ASSERT_EQ(rig.Live(), 8);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(rig.At(i).transform.TranslationX, expected[i][0]) << i;
        EXPECT_EQ(rig.At(i).transform.TranslationY, expected[i][1]) << i;
    }
}

TEST(ParticleMotion, MovesPerFrameWhateverTheFrameTimeAndFreezesAtZero)
{
    Rig rig;
    ParticleEmitter& e = *rig.emitter;
    e.xDir = 1.0f;
    e.speed = 10.0f;
    e.lifespan = 10.0f;
    e.fading = e.expand = e.spin = 1;
    e.EmitSpread(0.0f, 0.0f);
    const Particle& p = rig.At(0);
    float x = 0.0f;
    for (float dt : {0.5f, 1.0f / 60.0f, 0.001f}) {
        e.GetPool().Update(dt);
        x += 0.1f;
        EXPECT_NEAR(p.transform.TranslationX, x, 1e-6f) << dt;
    }
    const Particle before = p;
    e.GetPool().Update(0.0f);
    EXPECT_EQ(p.transform.TranslationX, before.transform.TranslationX);
    EXPECT_EQ(p.lifetime, before.lifetime);
    EXPECT_EQ(p.color[3], before.color[3]);
    EXPECT_EQ(p.transform.ScaleX, before.transform.ScaleX);
    EXPECT_EQ(p.transform.Rotation, before.transform.Rotation);
    EXPECT_NEAR(p.transform.Rotation * 57.29578f, -30.0f, 1e-3f); // 10 degrees clockwise per frame
}

TEST(ParticleEmission, RandomSizeStarHasWholeHundredthSizes)
{
    Rig rig;
    rig.emitter->size = 0.4f;
    rig.emitter->EmitShapeRandomSize(ParticleEmitter::STAR, 20, 40);
    ASSERT_EQ(rig.Live(), 15);
    for (int i = 0; i < 15; ++i) {
        const float scale = rig.At(i).transform.ScaleX;
        const int k = static_cast<int>(std::lround(scale * 100.0f));
        EXPECT_EQ(scale, static_cast<float>(k) * 0.01f);
        EXPECT_GE(k, 20);
        EXPECT_LE(k, 40);
    }
    EXPECT_EQ(rig.emitter->size, 0.4f);
}

// One emission of each pattern from a fresh emitter: particles made, where they are drawn, what the
// first one carries, and the emitter's settings afterwards as before.
TEST(ParticlePatterns, EachPatternEmitsItsParticlesAndRestoresTheSettings)
{
    struct Case {
        int pattern, count, onTop;
        float scale, lifetime;
    };
    const Case cases[] = {
        {0, 1, 0, 0.1f, 1.0f},   {1, 1, 0, 1.0f, 0.2f},   {2, 1, 0, 0.1f, 0.2f},   {3, 8, 0, 0.1f, 1.0f},
        {4, 15, 0, 0.3f, 1.0f},  {5, 3, 0, 0.1f, 1.0f},   {6, 1, 0, 1.0f, 4.0f},   {7, 1, 0, 3.0f, 0.5f},
        {8, 1, 0, 1.0f, 3.0f},   {9, 1, 1, 1.0f, 1.0f},   {10, 8, 0, 0.1f, 1.0f},  {12, 1, 0, 1.0f, 1.0f},
        {13, 2, 0, 0.5f, 2.0f},  {14, 2, 0, 0.7f, 2.0f},  {15, 4, 1, 1.0f, 0.7f},  {16, 2, 1, 1.0f, 4.0f},
        {17, 100, 1, 0.3f, 50000.0f}, {18, 12, 0, 0.25f, 30.0f}, {20, 15, 0, 0.3f, 2.0f}, {22, 0, 0, 0.0f, 0.0f},
    };
    for (const Case& c : cases) {
        Rig rig;
        ParticleEmitter& e = *rig.emitter;
        e.pattern = c.pattern;
        e.textureName = "Mine";
        e.Update(0.0f);
        ASSERT_EQ(rig.Live(), c.count) << "pattern " << c.pattern;
        EXPECT_EQ(e.textureName, "Mine") << c.pattern;
        EXPECT_EQ(e.size, 0.1f) << c.pattern;
        EXPECT_EQ(e.lifespan, 1.0f) << c.pattern;
        EXPECT_EQ(e.onTop, 0u) << c.pattern;
        EXPECT_EQ(e.color[0], 1.0f) << c.pattern;
        if (c.count == 0) {
            EXPECT_LE(e.interval, 0.0f);
            continue;
        }
        EXPECT_GT(e.interval, 0.0f) << c.pattern;
        EXPECT_EQ(rig.At(0).onTop, static_cast<unsigned>(c.onTop)) << c.pattern;
        EXPECT_EQ(rig.At(0).transform.ScaleX, c.scale) << c.pattern;
        EXPECT_EQ(rig.At(0).lifetime, c.lifetime) << c.pattern;
    }
}

TEST(ParticlePatterns, ExceptionsOfTheTable)
{
    {   // 10: a random colour in hundredths, whatever prefabMode is.
        Rig rig;
        rig.emitter->pattern = 10;
        rig.emitter->prefabMode = 0;
        rig.emitter->Update(0.0f);
        const float red = rig.At(0).color[0];
        EXPECT_EQ(red, static_cast<float>(std::lround(red * 100.0f)) / 100.0f);
        EXPECT_NE(rig.At(0).color[0] + rig.At(0).color[1] + rig.At(0).color[2], 3.0f);
    }
    {   // 13 with confetti emits confetti (three four-point shapes); 6 without prefabMode keeps the file's size.
        Rig rig;
        rig.emitter->pattern = 13;
        rig.emitter->confetti = 1;
        rig.emitter->Update(0.0f);
        EXPECT_EQ(rig.Live(), 12);
        Rig plain;
        plain.emitter->pattern = 6;
        plain.emitter->prefabMode = 0;
        plain.emitter->Update(0.0f);
        EXPECT_EQ(plain.At(0).transform.ScaleX, 0.1f);
    }
    {   // 1 on an owner scaled below 0.01: no offset. An owner without a Transform emits nothing.
        Rig rig("Tiny", 2.0f, 0.0f);
        rig.object->GetTransform()->ScaleX = 0.0f;
        rig.emitter->pattern = 1;
        rig.emitter->Update(0.0f);
        EXPECT_EQ(rig.At(0).transform.TranslationX, 2.0f);
        delete rig.object->RemoveComponent(0);
        rig.emitter->interval = 0.0f;
        rig.emitter->Update(0.0f);
        EXPECT_EQ(rig.Live(), 1);
    }
    {   // 17 emits 100 particles per emission; the tiny interval still costs the next frame.
        Rig rig;
        rig.emitter->pattern = 17;
        std::vector<int> live;
        for (int frame = 0; frame < 3; ++frame) {
            rig.emitter->Update(1.0f / 60.0f);
            live.push_back(rig.Live());
        }
        EXPECT_EQ(live, (std::vector<int>{100, 100, 200}));
    }
}

TEST(ParticleWiring, CollisionsSetThePatternAndMovementThickensTheTrail)
{
    Rig rig("Player");
    rig.emitter->active = 0;
    ASSERT_NE(Collider::ParticlePatternHook, nullptr);
    Collider::ParticlePatternHook(rig.emitter, 14);
    EXPECT_EQ(rig.emitter->active, 1);
    EXPECT_EQ(rig.emitter->pattern, 14);
    rig.emitter->pattern = 13;
    auto* physics = new Physics();
    rig.object->SetComponent(physics);
    physics->VelocityX = 2.0f;
    rig.emitter->Update(0.0f);
    EXPECT_EQ(rig.At(0).transform.ScaleX, 0.7f);
    EXPECT_EQ(rig.emitter->interval, 1.0f / 7.0f);
}

TEST(ParticleEmitterRead, KeysOverDefaultsAndBadValuesKeepThem)
{
    auto read = [](const std::string& json) {
        Stream stream("no_such_folder/particle_test_stream", StreamMode_Data);
        stream.text = json;
        stream.data.Parse(json.c_str());
        auto emitter = std::make_unique<ParticleEmitter>();
        CaptureConsole([&] { emitter->Read(stream); });
        return emitter;
    };
    auto e = read(R"({"ParticleEmitter": {"Pattern": 6, "Spin Rate": 20, "Grow Rate": 0.1, "Texture": "T",
                     "PrefabMode": false, "Color Green": 0.5, "Active": false}})");
    EXPECT_EQ(e->pattern, 6);
    EXPECT_EQ(e->spinRate, 20.0f);
    EXPECT_EQ(e->growRate, 0.1f);
    EXPECT_EQ(e->textureName, "T");
    EXPECT_EQ(e->prefabMode, 0);
    EXPECT_EQ(e->active, 0);
    EXPECT_EQ(e->color[1], 0.5f);
    EXPECT_EQ(e->meshName, "empty_mesh");
    EXPECT_EQ(e->fadeRate, 0.01f);
    auto bad = read(R"({"ParticleEmitter": {"Pattern": "6", "Rate": 0, "Size": true, "Mesh": 3}})");
    EXPECT_EQ(bad->pattern, 0);
    EXPECT_EQ(bad->rate, 1.0f);
    EXPECT_EQ(bad->size, 0.1f);
    EXPECT_EQ(bad->meshName, "empty_mesh");
}

TEST(ParticleEmission, SeededRunsRepeat)
{
    auto run = [] {
        Rig rig;
        rig.emitter->pattern = 19;
        for (int frame = 0; frame < 5; ++frame)
            rig.emitter->Update(0.1f);
        std::vector<float> values;
        for (int i = 0; i < rig.emitter->GetPool().End(); ++i)
            values.insert(values.end(), {rig.At(i).dirX, rig.At(i).dirY, rig.At(i).transform.ScaleX});
        return values;
    };
    EXPECT_EQ(run(), run());
}

TEST(ParticleEmitterCopies, CloneHasAnEmptyPoolAndNoOwnShape)
{
    Rig rig;
    rig.emitter->pattern = 3;
    rig.emitter->returnPattern = 9;
    rig.emitter->Update(0.0f);
    std::unique_ptr<ParticleEmitter> copy(rig.emitter->Clone());
    EXPECT_EQ(copy->GetPool().LiveCount(), 0);
    EXPECT_EQ(copy->pattern, 3);
    EXPECT_EQ(copy->returnPattern, 0);
    copy->owner = rig.object.get();
    copy->interval = 0.0f;
    copy->Update(0.0f);
    EXPECT_EQ(copy->GetPool().LiveCount(), 0);
}

TEST(ParticleTimedEffects, PingReturnsToTheTrailAndFinalCollectLocksTheEffects)
{
    CoreEngine core;
    Rig rig("Player");
    ParticleEmitter& e = *rig.emitter;
    e.pattern = 5;
    ASSERT_TRUE(e.StartPingEffect(1.5f));
    e.Update(0.1f);
    EXPECT_EQ(e.pattern, 9);
    EXPECT_EQ(e.lifespan, 1.5f);
    e.Update(0.1f);
    e.Update(0.1f);
    EXPECT_EQ(e.pattern, 13);

    Message finalCollect("Final Collect", &e, nullptr, MessageType::None);
    rig.object->HandleMessage(&finalCollect);
    EXPECT_EQ(e.confetti, 1);
    EXPECT_EQ(e.pattern, 20);
    for (const char* name : {"Explode", "Collect"}) {
        Message message(name, &e, nullptr, MessageType::None);
        rig.object->HandleMessage(&message);
        EXPECT_EQ(e.pattern, 20) << name;
    }
    EXPECT_FALSE(e.StartPingEffect(1.0f));
    core.Deliver();
    const auto& seen = core.recorder->seen;
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].name, "Event_Play");
    EXPECT_EQ(seen[0].text, "Trans_ConfettiStinger");
    EXPECT_EQ(seen[1].name, "Event_Destroy");
    EXPECT_EQ(seen[2].name, "Change_Event_Param");
    EXPECT_EQ(seen[2].clip.eventName, "Music_Controller");
    EXPECT_EQ(seen[2].clip.paramName, "GameState");
    EXPECT_EQ(seen[2].clip.paramValue, 3.0f);
    for (int frame = 0; frame < 4; ++frame)
        e.Update(0.1f);
    EXPECT_EQ(e.pattern, 18);
}

TEST(ParticleTimedEffects, ExplodeAndCollectOnThePlayer)
{
    Rig rig("Player");
    ParticleEmitter& e = *rig.emitter;
    e.color[1] = 0.2f;
    Message collect("Collect", &e, nullptr, MessageType::None);
    rig.object->HandleMessage(&collect);
    EXPECT_EQ(e.pattern, 21);
    EXPECT_EQ(e.color[1], 1.0f);
    Message explode("Explode", &e, nullptr, MessageType::None);
    rig.object->HandleMessage(&explode);
    EXPECT_EQ(e.pattern, 19);
    EXPECT_EQ(e.lifespan, 0.5f);
    EXPECT_EQ(e.returnPattern, 13);
    rig.object->SetName("NotPlayer");
    e.pattern = 2;
    rig.object->HandleMessage(&explode);
    EXPECT_EQ(e.pattern, 2);
}

} // namespace
