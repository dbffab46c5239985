#pragma once
// The particle effects of an object: the dust trail, the ping ring, pickup sparkles, an explosion burst
// and the closing confetti. The settings (rate, lifespan, size, speed, direction, flags, colour, mesh,
// texture) drive the emitter's own pool of particles. A pattern number selects what one emission
// produces; with prefabMode on, most patterns apply built-in settings for that emission only. Timed
// effects switch to a pattern for a short time and then fall back to another.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/Component.h"

class GameObject;
class Mesh;
class Stream;
class Texture;
class Transform;
class ParticleBatch;
class ParticlePool;
struct Particle;

// Tells whether an object is moving (its Physics velocity is not zero); set by the physics side.
// Null, or an object without Physics: at rest.
extern bool (*ParticleOwnerMovingHook)(GameObject* owner);

class ParticleEmitter : public Component {
public:
    // The emission masks: 10 x 10 cells, row 0 at the top; a set cell emits one particle.
    using Mask = int[10][10];
    static const Mask RING;
    static const Mask STAR;
    static const Mask FOUR_POINTS;
    static const Mask SMALL_DIAMOND;
    static const Mask FULL_SQUARE;

    // When false, Draw queues every particle with DrawMesh instead of in batches (same picture).
    static bool batchDrawing;

    ParticleEmitter();
    ~ParticleEmitter() override;
    ParticleEmitter(const ParticleEmitter&) = delete;
    ParticleEmitter& operator=(const ParticleEmitter&) = delete;

    std::string GetName() override { return "ParticleEmitter"; }
    // Seeds the engine's generator from the clock.
    void Init() override;
    // Emission, timed effect, then the pool's update (also while not active).
    void Update(float dt) override;
    // Queues the live particles: layer 0 through the fog when onTop, else layer 8.
    void Draw() override;
    // A new emitter with an empty pool and the settings (see the source for which).
    ParticleEmitter* Clone() override;
    // Every key of the "ParticleEmitter" block is optional; a missing or mistyped key keeps its value.
    void Read(Stream& stream) override;
    void ExposeFields() override;

    // Copies the settings (everything but shape, pool, liveCount and confetti).
    static void CopySettings(ParticleEmitter& dst, const ParticleEmitter& src);

    // Timed effects. Ping (confetti off): colour from the owner's Sprite particle colour, lifespan as
    // given, pattern 9 for 0.2 s, then 13; the caller checks that no scene change is pending.
    // Explode (confetti off): lifespan 0.5, pattern 19 for 0.2 s, then 13. Collect (confetti off):
    // white, pattern 21 for 0.2 s, then 13. Final collect: confetti on for good, then PlayConfetti.
    // Each returns whether it started.
    bool StartPingEffect(float pingLifespan);
    bool StartExplodeEffect();
    bool StartCollectEffect();
    void StartFinalCollect();
    // The closing confetti: reveals radius 40 around the owner, white, pattern 20 for 0.3 s then 18,
    // and posts "Event_Play" and "Event_Destroy" of "Trans_ConfettiStinger", then "Change_Event_Param"
    // setting "GameState" of "Music_Controller" to 3.
    void PlayConfetti();

    // Emission with the current settings.
    void EmitSpread(float x, float y);
    void EmitWithDirection(float dirX, float dirY);
    void EmitParticle(float x, float y, float dirX, float dirY, float particleSpeed, float scaleX, float scaleY,
                      float particleLifetime, float particleRate, float r, float g, float b);
    void EmitShape(const Mask& mask);
    void EmitShapeRandomSize(const Mask& mask, int minSize, int maxSize);

    // The fixed settings of a pattern's preset (see the source).
    struct Preset;

    ParticlePool& GetPool() { return *pool; }
    const ParticlePool& GetPool() const { return *pool; }

    // The settings. Note: `active` here is the emitter's "Active" setting (emits only when 1); the
    // component's own flag is Object::active.
    std::uint8_t active = 1;
    std::int32_t pattern = 0;
    float rate = 1.0f;
    float interval = 0.0f;      // seconds until the next emission
    float size = 0.1f;
    float lifespan = 1.0f;
    float speed = 1.0f;
    float xDir = 0.0f;
    float yDir = 0.0f;
    std::uint8_t spread = 0;
    int shape[10][10] = {};     // the own mask (the ring at construction)
    std::string meshName = "empty_mesh";
    std::string textureName;
    std::uint8_t expand = 0;
    std::uint8_t fading = 0;
    std::uint8_t shrink = 0;
    std::uint8_t spin = 0;
    std::uint8_t prefabMode = 1;
    float effectTimer = 0.1f;
    std::uint8_t effectActive = 0;
    std::int32_t returnPattern = 0;
    std::uint8_t returnActive = 1;
    float color[3] = {1.0f, 1.0f, 1.0f};
    std::uint32_t onTop = 0;
    std::int32_t liveCount = 0;  // the pool's live count at the last Update
    float growRate = 0.2f;
    float fadeRate = 0.01f;
    float spinRate = 10.0f;
    std::uint8_t confetti = 0;   // set by the final collect, for good

private:
    struct Settings;
    Settings Capture() const;
    void Apply(const Settings& settings);

    // One emission of the current pattern.
    void EmitPattern();
    void ApplyPreset(const Preset& preset);
    void EmitTrail(float tx, float ty);
    // Emits one particle from each set cell of the mask around the owner, calling beforeEach first.
    template <typename BeforeEach>
    void EmitMask(const Mask& mask, BeforeEach beforeEach);
    // The dust-trail preset of patterns 13 and 14.
    void TrailPreset(bool rug);
    void ConfettiPreset();
    void RandomColor();
    void StartTimedEffect(int effectPattern, float time, int thenPattern);
    // The owner's transform; null without an owner or transform.
    Transform* OwnerTransform() const;
    // Builds the common part of a particle at (x, y) with the current settings.
    void BuildParticle(Particle& particle, float x, float y, float particleRate);
    Mesh* ResolveMesh();
    Texture* ResolveTexture();
    void QueueOneByOne(const Particle& particle);

    ParticlePool* pool = nullptr; // owned

    // Lookups of the mesh and texture by name, kept while the names and the library stay the same.
    std::string cachedMeshName;
    Mesh* cachedMesh = nullptr;
    const void* cachedMeshLibrary = nullptr;
    std::string cachedTextureName;
    Texture* cachedTexture = nullptr;
    const void* cachedTextureLibrary = nullptr;

    // Draw batches of this emitter, reused once the window has drawn them.
    std::vector<std::shared_ptr<ParticleBatch>> batches;
};
