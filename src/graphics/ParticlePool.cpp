#include "graphics/ParticlePool.h"

namespace {

// The spin works in degrees with these single-precision factors.
constexpr float RADIANS_TO_DEGREES = 57.29578f;
constexpr float DEGREES_TO_RADIANS = 0.017453292f;

} // namespace

Particle::Particle()
{
    // A particle's transform starts as the identity placement.
    transform.ScaleX = 1.0f;
    transform.ScaleY = 1.0f;
}

ParticlePool::ParticlePool() : slots(static_cast<std::size_t>(CAPACITY)) {}

bool ParticlePool::Emit(const Particle& particle)
{
    if (liveCount >= CAPACITY)
        return false;
    int index = firstFree;
    while (index < CAPACITY && slots[static_cast<std::size_t>(index)].active)
        ++index;
    if (index >= CAPACITY)
        return false;
    Particle& slot = slots[static_cast<std::size_t>(index)];
    slot = particle;
    slot.active = 1;
    ++liveCount;
    firstFree = index + 1;
    if (index + 1 > end)
        end = index + 1;
    return true;
}

void ParticlePool::Release(int index)
{
    slots[static_cast<std::size_t>(index)].active = 0;
    --liveCount;
    if (index < firstFree)
        firstFree = index;
}

void ParticlePool::Update(float dt)
{
    if (dt == 0.0f)
        return;
    int last = -1;
    for (int i = 0; i < end; ++i) {
        Particle& p = slots[static_cast<std::size_t>(i)];
        if (!p.active)
            continue;
        Transform& t = p.transform;
        // Movement is per frame: the frame time does not enter.
        t.TranslationX += p.dirX * p.speed * 0.01f;
        t.TranslationY += p.dirY * p.speed * 0.01f;
        p.lifetime -= dt;
        if (p.expand) {
            t.ScaleX += p.growRate;
            t.ScaleY += p.growRate;
        }
        if (p.shrink) {
            t.ScaleX -= p.growRate;
            t.ScaleY -= p.growRate;
        }
        if (p.fading)
            p.color[3] -= p.fadeRate;
        if (p.spin)
            t.Rotation = (t.Rotation * RADIANS_TO_DEGREES - p.spinRate) * DEGREES_TO_RADIANS;
        t.dirty = true;
        if (p.lifetime <= 0.0f)
            Release(i);
        else
            last = i;
    }
    end = last + 1;
}
