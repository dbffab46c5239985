#include "graphics/ParticleEmitter.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <optional>

#include "core/GameObject.h"
#include "core/Random.h"
#include "core/Stream.h"
#include "core/Trace.h"
#include "core/Transform.h"
#include "graphics/GraphicsLibrary.h"
#include "graphics/LightingSystem.h"
#include "graphics/Mesh.h"
#include "graphics/ParticleBatch.h"
#include "graphics/ParticlePool.h"
#include "graphics/Sprite.h"
#include "graphics/Texture.h"
#include "graphics/Window.h"

bool (*ParticleOwnerMovingHook)(GameObject* owner) = nullptr;
bool ParticleEmitter::batchDrawing = true;

// clang-format off
const ParticleEmitter::Mask ParticleEmitter::RING = {
    {0,0,0,0,0,0,0,0,0,0}, {0,0,0,0,0,0,0,0,0,0}, {0,0,0,0,0,0,0,0,0,0}, {0,0,0,0,0,0,0,0,0,0},
    {0,0,0,0,1,1,1,0,0,0}, {0,0,0,0,1,0,1,0,0,0}, {0,0,0,0,1,1,1,0,0,0},
    {0,0,0,0,0,0,0,0,0,0}, {0,0,0,0,0,0,0,0,0,0}, {0,0,0,0,0,0,0,0,0,0},
};
const ParticleEmitter::Mask ParticleEmitter::STAR = {
    {0,0,0,0,0,0,0,0,0,0}, {0,0,0,0,0,0,0,0,0,0},
    {0,0,0,0,0,1,0,0,0,0},
    {0,0,0,1,0,0,0,1,0,0},
    {0,0,0,0,1,1,1,0,0,0},
    {0,0,0,1,1,0,1,0,0,0},
    {0,0,0,0,1,1,1,0,0,0},
    {0,0,0,1,0,0,0,1,0,0},
    {0,0,0,0,0,1,0,0,0,0},
    {0,0,0,0,0,0,0,0,0,0},
};
const ParticleEmitter::Mask ParticleEmitter::FOUR_POINTS = {
    {0,0,0,0,0,0,0,0,0,0}, {0,0,0,0,0,0,0,0,0,0}, {0,0,0,0,0,0,0,0,0,0},
    {0,0,0,0,0,1,0,0,0,0},
    {0,0,0,0,0,0,0,0,0,0},
    {0,0,0,1,0,0,0,1,0,0},
    {0,0,0,0,0,0,0,0,0,0},
    {0,0,0,0,0,1,0,0,0,0},
    {0,0,0,0,0,0,0,0,0,0}, {0,0,0,0,0,0,0,0,0,0},
};
const ParticleEmitter::Mask ParticleEmitter::SMALL_DIAMOND = {
    {0,0,0,0,0,0,0,0,0,0}, {0,0,0,0,0,0,0,0,0,0}, {0,0,0,0,0,0,0,0,0,0}, {0,0,0,0,0,0,0,0,0,0},
    {0,0,0,0,0,1,0,0,0,0},
    {0,0,0,0,1,0,1,0,0,0},
    {0,0,0,0,0,1,0,0,0,0},
    {0,0,0,0,0,0,0,0,0,0}, {0,0,0,0,0,0,0,0,0,0}, {0,0,0,0,0,0,0,0,0,0},
};
const ParticleEmitter::Mask ParticleEmitter::FULL_SQUARE = {
    {1,1,1,1,1,1,1,1,1,1}, {1,1,1,1,1,1,1,1,1,1}, {1,1,1,1,1,1,1,1,1,1}, {1,1,1,1,1,1,1,1,1,1},
    {1,1,1,1,1,1,1,1,1,1}, {1,1,1,1,1,1,1,1,1,1}, {1,1,1,1,1,1,1,1,1,1}, {1,1,1,1,1,1,1,1,1,1},
    {1,1,1,1,1,1,1,1,1,1}, {1,1,1,1,1,1,1,1,1,1},
};
// clang-format on

namespace {

const char* const BLOCK = "ParticleEmitter";

// The layers particles are drawn on.
constexpr int LAYER_ON_TOP = 0;
constexpr int LAYER_BELOW = 8;

using Kind = Stream::ValueKind;

// True when the block holds the key with a value of the expected kind; another kind is reported and
// counts as missing.
bool Has(const Stream& stream, const char* key, Kind kind)
{
    return stream.HasValue(BLOCK, key, kind);
}

// The next random value of the engine's generator as a fraction 0.00 .. 0.99.
float RandomPercent()
{
    return static_cast<float>(Random::Next() % 100) / 100.0f;
}

bool IsOdd(int value)
{
    return (value & 1) != 0;
}

template <typename T>
bool Holds(const std::vector<T*>& items, const T* item)
{
    return std::find(items.begin(), items.end(), item) != items.end();
}

struct Rgb {
    float r, g, b;
};

} // namespace

// The settings a pattern's preset puts in place for one emission; what a preset leaves unset keeps
// its value. Presets whose values depend on the moment (movement, random sizes) add those in code.
struct ParticleEmitter::Preset {
    const char* texture = nullptr;
    std::optional<float> rate{}, size{}, lifespan{}, speed{}, fadeRate{}, spinRate{};
    bool still = false; // no own direction: xDir and yDir 0
    std::optional<std::uint8_t> spread{}, expand{}, fading{}, shrink{}, spin{};
    std::optional<std::uint32_t> onTop{};
    std::optional<Rgb> color{};
    bool randomColor = false; // a random colour, drawn after the other settings
};

namespace {

using Preset = ParticleEmitter::Preset;

const Preset BLUE_SMOKE{.texture = "smoke_par", .rate = 10.0f, .size = 1.0f, .lifespan = 0.2f, .speed = 10.0f,
                        .still = true, .spread = 0, .spin = 1, .onTop = 0, .color = Rgb{0.0f, 0.5f, 1.0f}};
const Preset SHIMMER{.texture = "ShimmerParticle", .rate = 10.0f, .size = 0.1f, .lifespan = 0.2f, .speed = 10.0f,
                     .still = true, .spread = 1, .expand = 0, .fading = 0, .shrink = 0, .spin = 0};
const Preset STAR_SPREAD{.size = 0.3f, .spread = 1};
const Preset EXPANDING_CIRCLE{.texture = "Circle_Par", .rate = 1.0f, .size = 1.0f, .lifespan = 4.0f, .speed = 5.0f,
                              .still = true, .spread = 0, .expand = 1, .fading = 1, .shrink = 0, .spin = 0};
const Preset SMOKE_FLAGS{.fading = 1, .shrink = 1, .spin = 1};
const Preset SHRINKING_CIRCLE{.texture = "Circle_Par", .rate = 1.0f, .size = 1.0f, .lifespan = 3.0f, .spread = 0,
                              .expand = 0, .fading = 0, .shrink = 1, .spin = 0};
const Preset PING_CIRCLE{.texture = "Circle_Par", .rate = 1.0f, .size = 1.0f, .speed = 5.0f, .still = true,
                         .spread = 0, .expand = 1, .fading = 1, .shrink = 0, .spin = 0, .onTop = 1};
const Preset STAR_BURST{.speed = 10.0f, .spread = 1};
const Preset SPINNING_STARS{.texture = "StarParticle", .rate = 10.0f, .size = 1.0f, .lifespan = 1.0f, .speed = 10.0f,
                            .spread = 1, .spin = 1};
const Preset TRAIL{.texture = "smoke_par", .lifespan = 2.0f, .speed = 5.0f, .still = true, .spread = 0, .fading = 1,
                   .spin = 1, .onTop = 0, .color = Rgb{1.0f, 1.0f, 1.0f}};
const Preset RUG_TRAIL{.texture = "smoke_par", .lifespan = 2.0f, .speed = 5.0f, .still = true, .spread = 0,
                       .fading = 1, .spin = 1, .onTop = 0, .color = Rgb{0.0f, 0.5f, 1.0f}};
const Preset SPARKLE{.texture = "StarParticle", .size = 1.0f, .lifespan = 0.7f, .speed = 2.0f, .fadeRate = 0.02f,
                     .spinRate = 15.0f, .spread = 1, .fading = 1, .spin = 1, .onTop = 1};
const Preset FULL_CIRCLE{.texture = "Circle_Full", .rate = 1.0f, .size = 1.0f, .lifespan = 4.0f, .speed = 5.0f,
                         .still = true, .spread = 0, .expand = 1, .fading = 0, .shrink = 0, .spin = 0, .onTop = 1};
const Preset COLOUR_FLOOD{.rate = 3000000.0f, .size = 0.3f, .lifespan = 50000.0f, .speed = 3.0f, .spread = 1,
                          .onTop = 1, .randomColor = true};
const Preset EXPLOSION{.lifespan = 0.2f, .speed = 7.0f, .fadeRate = 0.08f, .spread = 1, .fading = 1};
const Preset FIREWORK{.rate = 30.0f, .size = 0.3f, .lifespan = 2.0f, .speed = 15.0f, .spread = 1,
                      .randomColor = true};
const Preset CONFETTI{.texture = "ShimmerParticle", .rate = 20.0f, .size = 0.25f, .lifespan = 30.0f, .speed = 6.0f,
                      .fadeRate = 0.0f, .spinRate = 15.0f, .spread = 1, .fading = 1, .spin = 1, .onTop = 0,
                      .randomColor = true};

} // namespace

// Everything that a preset saves and restores, and that CopySettings copies.
struct ParticleEmitter::Settings {
    std::uint8_t active;
    std::int32_t pattern;
    float rate, interval, size, lifespan, speed, xDir, yDir;
    std::uint8_t spread;
    std::string meshName, textureName;
    std::uint8_t expand, fading, shrink, spin, prefabMode;
    float effectTimer;
    std::uint8_t effectActive;
    std::int32_t returnPattern;
    std::uint8_t returnActive;
    float color[3];
    std::uint32_t onTop;
    float growRate, fadeRate, spinRate;
};

ParticleEmitter::ParticleEmitter() : Component(ComponentType::ParticleEmitter), pool(new ParticlePool())
{
    std::copy(&RING[0][0], &RING[0][0] + 100, &shape[0][0]);
}

ParticleEmitter::~ParticleEmitter()
{
    delete pool;
    pool = nullptr;
}

void ParticleEmitter::Init()
{
    Random::Seed(static_cast<std::uint32_t>(std::time(nullptr)));
}

ParticleEmitter::Settings ParticleEmitter::Capture() const
{
    Settings s{active,     pattern,  rate,   interval, size,       lifespan,    speed,      xDir,
               yDir,       spread,   meshName, textureName, expand, fading,   shrink,     spin,
               prefabMode, effectTimer, effectActive, returnPattern, returnActive, {color[0], color[1], color[2]},
               onTop,      growRate, fadeRate, spinRate};
    return s;
}

void ParticleEmitter::Apply(const Settings& s)
{
    active = s.active;
    pattern = s.pattern;
    rate = s.rate;
    interval = s.interval;
    size = s.size;
    lifespan = s.lifespan;
    speed = s.speed;
    xDir = s.xDir;
    yDir = s.yDir;
    spread = s.spread;
    meshName = s.meshName;
    textureName = s.textureName;
    expand = s.expand;
    fading = s.fading;
    shrink = s.shrink;
    spin = s.spin;
    prefabMode = s.prefabMode;
    effectTimer = s.effectTimer;
    effectActive = s.effectActive;
    returnPattern = s.returnPattern;
    returnActive = s.returnActive;
    for (int i = 0; i < 3; ++i)
        color[i] = s.color[i];
    onTop = s.onTop;
    growRate = s.growRate;
    fadeRate = s.fadeRate;
    spinRate = s.spinRate;
}

void ParticleEmitter::CopySettings(ParticleEmitter& dst, const ParticleEmitter& src)
{
    dst.Apply(src.Capture());
}

void ParticleEmitter::Update(float dt)
{
    liveCount = pool->LiveCount();

    if (active == 1) {
        if (interval > 0.0f || effectTimer <= 0.0f)
            interval -= dt;
        else
            EmitPattern();
    }

    if (effectActive == 1) {
        effectTimer -= dt;
        if (effectTimer < 0.0f) {
            effectActive = 0;
            effectTimer = 0.2f;
            active = returnActive;
            pattern = returnPattern;
        }
    }

    pool->Update(dt);
}

Transform* ParticleEmitter::OwnerTransform() const
{
    return owner ? owner->GetTransform() : nullptr;
}

void ParticleEmitter::RandomColor()
{
    color[0] = RandomPercent();
    color[1] = RandomPercent();
    color[2] = RandomPercent();
}

void ParticleEmitter::ApplyPreset(const Preset& preset)
{
    if (preset.texture)
        textureName = preset.texture;
    auto set = [](auto& field, const auto& value) {
        if (value)
            field = *value;
    };
    set(rate, preset.rate);
    set(size, preset.size);
    set(lifespan, preset.lifespan);
    set(speed, preset.speed);
    set(fadeRate, preset.fadeRate);
    set(spinRate, preset.spinRate);
    if (preset.still)
        xDir = yDir = 0.0f;
    set(spread, preset.spread);
    set(expand, preset.expand);
    set(fading, preset.fading);
    set(shrink, preset.shrink);
    set(spin, preset.spin);
    set(onTop, preset.onTop);
    if (preset.color) {
        color[0] = preset.color->r;
        color[1] = preset.color->g;
        color[2] = preset.color->b;
    }
    if (preset.randomColor)
        RandomColor();
}

void ParticleEmitter::TrailPreset(bool rug)
{
    ApplyPreset(rug ? RUG_TRAIL : TRAIL);
    const bool moving = ParticleOwnerMovingHook && owner && ParticleOwnerMovingHook(owner);
    rate = moving ? 7.0f : 4.0f;
    if (rug)
        size = moving ? 0.9f : 0.7f;
    else
        size = moving ? 0.7f : 0.5f;
    fadeRate = moving ? 0.02f : 0.01f;
}

void ParticleEmitter::ConfettiPreset()
{
    ApplyPreset(CONFETTI);
    EmitShape(FOUR_POINTS);
    EmitShape(FOUR_POINTS);
}

void ParticleEmitter::EmitTrail(float tx, float ty)
{
    if (IsOdd(Random::Next())) {
        EmitSpread(tx - 0.25f, ty);
        EmitSpread(tx, ty - 0.25f);
    } else {
        EmitSpread(tx + 0.25f, ty);
        EmitSpread(tx, ty + 0.25f);
    }
}

void ParticleEmitter::EmitPattern()
{
    // An owner without a Transform has no place to emit from.
    Transform* transform = OwnerTransform();
    if (!transform)
        return;
    const float tx = transform->TranslationX;
    const float ty = transform->TranslationY;
    const bool preset = prefabMode == 1;

    // Presets change the settings for this emission only; the interval set by the emission stays.
    const Settings saved = Capture();
    auto restore = [&] {
        const float emitted = interval;
        Apply(saved);
        interval = emitted;
    };

    switch (pattern) {
    case 0:
        EmitSpread(tx, ty);
        return;
    case 1: {
        // The offset is drawn before the preset; a scale below 0.01 gives no offset.
        const int divisor = static_cast<int>(std::floor(std::fabs(transform->ScaleX) * 100.0f));
        const int magnitude = Random::Next();
        const bool negative = IsOdd(Random::Next());
        float offset = divisor > 0 ? static_cast<float>(magnitude % divisor) / 100.0f : 0.0f;
        if (negative)
            offset = -offset;
        if (preset)
            ApplyPreset(BLUE_SMOKE);
        EmitSpread(tx + offset, ty);
        break;
    }
    case 2:
        if (preset)
            ApplyPreset(SHIMMER);
        EmitSpread(tx, ty);
        break;
    case 3:
        EmitShape(shape);
        return;
    case 4:
        if (preset)
            ApplyPreset(STAR_SPREAD);
        EmitShape(STAR);
        break;
    case 5:
        EmitWithDirection(0.0f, 0.0f);
        EmitWithDirection(90.0f, 90.0f);
        EmitWithDirection(35.0f, 55.0f);
        return;
    case 6:
        if (preset)
            ApplyPreset(EXPANDING_CIRCLE);
        EmitSpread(tx, ty);
        break;
    case 7:
        textureName = "smoke_par";
        if (preset)
            ApplyPreset(SMOKE_FLAGS);
        EmitParticle(tx, ty, 0.0f, 0.0f, 0.1f, 3.0f, 3.0f, 0.5f, 11.0f, 1.0f, 1.0f, 1.0f);
        break;
    case 8:
        if (preset)
            ApplyPreset(SHRINKING_CIRCLE);
        EmitSpread(tx, ty);
        break;
    case 9:
        if (preset)
            ApplyPreset(PING_CIRCLE);
        EmitSpread(tx, ty);
        break;
    case 10:
        RandomColor();
        EmitShape(shape);
        break;
    case 11:
        if (preset) {
            ApplyPreset(STAR_BURST);
            size = RandomPercent() * 0.5f;
        }
        EmitShape(STAR);
        break;
    case 12:
        if (preset)
            ApplyPreset(SPINNING_STARS);
        EmitSpread(tx, ty);
        break;
    case 13:
        if (confetti == 1) {
            if (preset)
                ConfettiPreset();
            EmitShape(FOUR_POINTS);
            break;
        }
        if (preset)
            TrailPreset(false);
        EmitTrail(tx, ty);
        break;
    case 14:
        if (preset)
            TrailPreset(true);
        if (LightingSystemInstance)
            LightingSystemInstance->RevealCircle(tx, ty, 5);
        EmitTrail(tx, ty);
        break;
    case 15:
        if (preset)
            ApplyPreset(SPARKLE);
        EmitShape(SMALL_DIAMOND);
        break;
    case 16:
        if (preset)
            ApplyPreset(FULL_CIRCLE);
        EmitSpread(tx, ty);
        EmitSpread(tx, ty);
        break;
    case 17:
        if (preset)
            ApplyPreset(COLOUR_FLOOD);
        EmitShape(FULL_SQUARE);
        break;
    case 18:
        if (preset)
            ConfettiPreset();
        EmitShape(FOUR_POINTS);
        break;
    case 19:
        if (preset)
            ApplyPreset(EXPLOSION);
        EmitShapeRandomSize(STAR, 20, 40);
        break;
    case 20:
        if (preset)
            ApplyPreset(FIREWORK);
        EmitShape(STAR);
        break;
    case 21:
        if (preset)
            ApplyPreset(SPARKLE);
        EmitShapeRandomSize(SMALL_DIAMOND, 80, 150);
        break;
    default:
        // No such pattern: nothing is emitted.
        return;
    }
    restore();
}

Mesh* ParticleEmitter::ResolveMesh()
{
    GraphicsLibrary* library = GraphicsLibraryInstance;
    if (!library)
        return nullptr;
    if (cachedMeshLibrary == library && cachedMeshName == meshName &&
        (!cachedMesh || Holds(library->meshes, cachedMesh)))
        return cachedMesh;
    Mesh* mesh = meshName.empty() ? nullptr : GraphicsLibrary::GetMesh(meshName);
    if (!mesh)
        mesh = GraphicsLibrary::GetMesh("empty_mesh");
    cachedMeshLibrary = library;
    cachedMeshName = meshName;
    cachedMesh = mesh;
    return mesh;
}

Texture* ParticleEmitter::ResolveTexture()
{
    GraphicsLibrary* library = GraphicsLibraryInstance;
    if (textureName.empty() || !library)
        return nullptr;
    if (cachedTextureLibrary == library && cachedTextureName == textureName &&
        (!cachedTexture || Holds(library->textures, cachedTexture)))
        return cachedTexture;
    Texture* texture = GraphicsLibrary::GetTexture(textureName, -1);
    if (texture && texture->id == 0)
        texture = nullptr;
    cachedTextureLibrary = library;
    cachedTextureName = textureName;
    cachedTexture = texture;
    return texture;
}

void ParticleEmitter::BuildParticle(Particle& p, float x, float y, float particleRate)
{
    // A rate of 0 or less can't space emissions: the next one comes after the default second.
    interval = particleRate > 0.0f ? 1.0f / particleRate : 1.0f;
    p.lifetime = lifespan;
    p.mesh = ResolveMesh();
    p.texture = ResolveTexture();
    p.transform.TranslationX = x;
    p.transform.TranslationY = y;
    p.transform.ScaleX = size;
    p.transform.ScaleY = size;
    p.transform.Rotation = 0.0f;
    p.transform.dirty = true;
    p.speed = speed;
    p.expand = expand;
    p.fading = fading;
    p.shrink = shrink;
    p.spin = spin;
    p.color[0] = color[0];
    p.color[1] = color[1];
    p.color[2] = color[2];
    p.color[3] = 1.0f;
    p.onTop = onTop;
    p.growRate = growRate;
    p.fadeRate = fadeRate;
    p.spinRate = spinRate;
}

void ParticleEmitter::EmitSpread(float x, float y)
{
    Particle p;
    BuildParticle(p, x, y, rate);
    if (spread) {
        float a = static_cast<float>(Random::Next() % 100);
        float b = static_cast<float>(Random::Next() % 100);
        if (a == 0.0f && b == 0.0f)
            a = 1.0f;
        const float length = std::sqrt(a * a + b * b);
        if (IsOdd(Random::Next()))
            a = -a;
        if (IsOdd(Random::Next()))
            b = -b;
        p.dirX = a / length;
        p.dirY = b / length;
    } else {
        p.dirX = xDir;
        p.dirY = yDir;
    }
    pool->Emit(p);
}

void ParticleEmitter::EmitWithDirection(float dirX, float dirY)
{
    Transform* transform = OwnerTransform();
    if (!transform)
        return;
    Particle p;
    BuildParticle(p, transform->TranslationX, transform->TranslationY, rate);
    p.dirX = dirX;
    p.dirY = dirY;
    pool->Emit(p);
}

void ParticleEmitter::EmitParticle(float x, float y, float dirX, float dirY, float particleSpeed, float scaleX,
                                   float scaleY, float particleLifetime, float particleRate, float r, float g,
                                   float b)
{
    Particle p;
    BuildParticle(p, x, y, particleRate);
    p.lifetime = particleLifetime;
    p.transform.ScaleX = scaleX;
    p.transform.ScaleY = scaleY;
    p.speed = particleSpeed;
    p.dirX = dirX;
    p.dirY = dirY;
    p.color[0] = r;
    p.color[1] = g;
    p.color[2] = b;
    pool->Emit(p);
}

template <typename BeforeEach>
void ParticleEmitter::EmitMask(const Mask& mask, BeforeEach beforeEach)
{
    Transform* transform = OwnerTransform();
    if (!transform)
        return;
    const float tx = transform->TranslationX;
    const float ty = transform->TranslationY;
    for (int row = 0; row < 10; ++row) {
        for (int column = 0; column < 10; ++column) {
            if (!mask[row][column])
                continue;
            beforeEach();
            EmitSpread(tx - 2.5f + 0.5f * static_cast<float>(column), ty + 2.5f - 0.5f * static_cast<float>(row));
        }
    }
}

void ParticleEmitter::EmitShape(const Mask& mask)
{
    EmitMask(mask, [] {});
}

void ParticleEmitter::EmitShapeRandomSize(const Mask& mask, int minSize, int maxSize)
{
    const int span = maxSize - minSize + 1;
    const float savedSize = size;
    EmitMask(mask, [&] {
        const int step = span > 0 ? Random::Next() % span + minSize : minSize;
        size = static_cast<float>(step) * 0.01f;
    });
    size = savedSize;
}

void ParticleEmitter::QueueOneByOne(const Particle& p)
{
    const bool top = p.onTop == 1;
    DrawMesh(top ? LAYER_ON_TOP : LAYER_BELOW, top, p.mesh, p.texture, -1.0f, -1.0f,
             const_cast<Transform*>(&p.transform), p.color);
}

void ParticleEmitter::Draw()
{
    if (!CurrentWindow || pool->LiveCount() == 0)
        return;
    const int end = pool->End();
    // Without the batch shader the particles go one by one, so the picture stays the same.
    if (!batchDrawing || !ParticleBatch::Ready()) {
        for (int i = 0; i < end; ++i) {
            const Particle& p = pool->Slot(i);
            if (p.active)
                QueueOneByOne(p);
        }
        return;
    }

    // Consecutive particles of one layer with the same mesh and texture share a batch; the batches of
    // a layer are queued in slot order, so the picture is that of queueing each particle in turn.
    std::size_t used = 0;
    auto take = [&](Mesh* mesh, Texture* texture) {
        if (used == batches.size())
            batches.push_back(std::make_shared<ParticleBatch>());
        // A batch the window still holds (queued, not yet drawn) is left to it.
        if (batches[used].use_count() > 1)
            batches[used] = std::make_shared<ParticleBatch>();
        std::shared_ptr<ParticleBatch> batch = batches[used++];
        batch->Reset(mesh, texture);
        return batch;
    };
    auto queue = [&](std::shared_ptr<ParticleBatch>& batch, int layer) {
        if (!batch)
            return;
        DrawCommand command;
        command.name = "MeshRender";
        command.drawThroughFog = layer == LAYER_ON_TOP ? 1 : 0;
        command.mesh = batch->mesh;
        command.texture = batch->texture;
        command.drawBatch = std::move(batch);
        batch = nullptr;
        CurrentWindow->QueueDrawCommand(layer, command);
    };

    std::shared_ptr<ParticleBatch> open[2]; // [0] layer 0, [1] layer 8
    for (int i = 0; i < end; ++i) {
        const Particle& p = pool->Slot(i);
        if (!p.active || !(p.color[3] > 0.0f))
            continue;
        const int side = p.onTop == 1 ? 0 : 1;
        const int layer = side == 0 ? LAYER_ON_TOP : LAYER_BELOW;
        if (!ParticleBatch::CanBatch(p.mesh)) {
            queue(open[side], layer);
            QueueOneByOne(p);
            continue;
        }
        std::shared_ptr<ParticleBatch>& batch = open[side];
        if (batch && (batch->mesh != p.mesh || batch->texture != p.texture))
            queue(batch, layer);
        if (!batch)
            batch = take(p.mesh, p.texture);
        batch->Add(p);
    }
    queue(open[0], LAYER_ON_TOP);
    queue(open[1], LAYER_BELOW);
}

ParticleEmitter* ParticleEmitter::Clone()
{
    ParticleEmitter* copy = new ParticleEmitter();
    CopyComponentFields(*copy);
    CopySettings(*copy, *this);
    // A clone starts without a return pattern, without confetti and with an empty own shape.
    copy->returnPattern = 0;
    copy->returnActive = 0;
    copy->confetti = 0;
    std::fill(&copy->shape[0][0], &copy->shape[0][0] + 100, 0);
    return copy;
}

void ParticleEmitter::Read(Stream& stream)
{
    struct FloatKey {
        const char* key;
        float* field;
    };
    const FloatKey floats[] = {
        {"Rate", &rate},       {"Lifespan", &lifespan},     {"Speed", &speed},          {"Size", &size},
        {"XDir", &xDir},       {"YDir", &yDir},             {"Color Red", &color[0]},   {"Color Green", &color[1]},
        {"Color Blue", &color[2]}, {"Fade Rate", &fadeRate}, {"Grow Rate", &growRate}, {"Spin Rate", &spinRate},
    };
    for (const FloatKey& entry : floats) {
        if (Has(stream, entry.key, Kind::Number))
            *entry.field = stream.ReadFloat(BLOCK, entry.key);
    }
    // The rate divides a second; one that is not above 0 can't.
    if (!(rate > 0.0f) || !std::isfinite(rate)) {
        Trace("ParticleEmitter: \"Rate\" must be above 0; using 1");
        rate = 1.0f;
    }
    if (Has(stream, "Pattern", Kind::Int))
        pattern = stream.ReadInt(BLOCK, "Pattern");
    if (Has(stream, "Mesh", Kind::String))
        meshName = stream.ReadString(BLOCK, "Mesh");
    if (Has(stream, "Texture", Kind::String))
        textureName = stream.ReadString(BLOCK, "Texture");
    struct BoolKey {
        const char* key;
        std::uint8_t* field;
    };
    const BoolKey bools[] = {
        {"Active", &active}, {"Spread", &spread}, {"Expand", &expand},         {"Fading", &fading},
        {"Shrink", &shrink}, {"Spin", &spin},     {"PrefabMode", &prefabMode},
    };
    for (const BoolKey& entry : bools) {
        if (Has(stream, entry.key, Kind::Bool))
            *entry.field = stream.ReadBool(BLOCK, entry.key) ? 1 : 0;
    }
}

void ParticleEmitter::ExposeFields()
{
    exposed = 1;
}

void ParticleEmitter::StartTimedEffect(int effectPattern, float time, int thenPattern)
{
    effectActive = 1;
    effectTimer = time;
    pattern = effectPattern;
    returnPattern = thenPattern;
    returnActive = 1;
    active = 1;
    interval = 0.0f;
}

bool ParticleEmitter::StartPingEffect(float pingLifespan)
{
    if (confetti != 0)
        return false;
    if (Sprite* sprite = owner ? owner->GetSprite() : nullptr) {
        for (int i = 0; i < 3; ++i)
            color[i] = sprite->particleColor[i];
    }
    lifespan = pingLifespan;
    StartTimedEffect(9, 0.2f, 13);
    return true;
}

bool ParticleEmitter::StartExplodeEffect()
{
    if (confetti != 0)
        return false;
    lifespan = 0.5f;
    StartTimedEffect(19, 0.2f, 13);
    return true;
}

bool ParticleEmitter::StartCollectEffect()
{
    if (confetti != 0)
        return false;
    color[0] = color[1] = color[2] = 1.0f;
    StartTimedEffect(21, 0.2f, 13);
    return true;
}

void ParticleEmitter::StartFinalCollect()
{
    confetti = 1;
    PlayConfetti();
}

void ParticleEmitter::PlayConfetti()
{
    Transform* transform = OwnerTransform();
    if (transform && LightingSystemInstance)
        LightingSystemInstance->RevealCircle(transform->TranslationX, transform->TranslationY, 40);
    color[0] = color[1] = color[2] = 1.0f;
    StartTimedEffect(20, 0.3f, 18);

    SendMessage(std::string("Event_Play"), "Trans_ConfettiStinger", nullptr);
    SendMessage(std::string("Event_Destroy"), "Trans_ConfettiStinger", nullptr);
    AudioClip clip;
    clip.eventName = "Music_Controller";
    clip.paramName = "GameState";
    clip.paramValue = 3.0f;
    SendMessage(std::string("Change_Event_Param"), clip, nullptr);
}

ParticleEmitter* GameObject::GetParticleEmitter() const
{
    return dynamic_cast<ParticleEmitter*>(GetComponent(ComponentType::ParticleEmitter));
}
