#pragma once
// The fixed set of particle slots one ParticleEmitter owns. The slots are allocated once and never
// grow; an emission takes the lowest free slot and is dropped when every slot is in use. Particles
// move, grow, shrink, fade and spin by fixed amounts per frame; only their lifetime counts seconds.
#include <cstdint>
#include <vector>

#include "core/Transform.h"

class Mesh;
class Texture;

// One slot. The particle's transform lives in the slot itself and belongs to no object.
struct Particle {
    Particle();

    Transform transform;
    Mesh* mesh = nullptr;       // owned by the GraphicsLibrary
    Texture* texture = nullptr; // owned by the GraphicsLibrary; null = untextured
    float lifetime = 0.0f;      // seconds left
    std::uint8_t active = 0;    // 1 = slot in use
    float speed = 1.0f;
    float dirX = 0.0f;
    float dirY = 0.0f;
    std::uint8_t expand = 0;
    std::uint8_t fading = 0;
    std::uint8_t shrink = 0;
    std::uint8_t spin = 0;
    float color[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    std::uint32_t onTop = 0;    // 1 = drawn on layer 0 through the fog
    float growRate = 0.0f;      // scale change per frame
    float fadeRate = 0.0f;      // alpha decrease per frame
    float spinRate = 0.0f;      // degrees clockwise per frame
};

class ParticlePool {
public:
    static constexpr int CAPACITY = 6000;

    // CAPACITY fresh, inactive slots.
    ParticlePool();
    ParticlePool(const ParticlePool&) = delete;
    ParticlePool& operator=(const ParticlePool&) = delete;

    // Copies the particle into the lowest free slot and marks it active. False (the particle is
    // dropped) when every slot is in use.
    bool Emit(const Particle& particle);
    // Advances every live particle by one frame. A dt of exactly 0 leaves them all as they are.
    void Update(float dt);

    int LiveCount() const { return liveCount; }
    int Capacity() const { return CAPACITY; }
    // Slots from 0 up to (not including) this index hold every live particle.
    int End() const { return end; }
    const Particle& Slot(int index) const { return slots[static_cast<std::size_t>(index)]; }
    Particle& Slot(int index) { return slots[static_cast<std::size_t>(index)]; }

private:
    // Frees a live slot.
    void Release(int index);

    std::vector<Particle> slots;
    int liveCount = 0;
    int firstFree = 0; // no slot below this one is free
    int end = 0;       // one past the highest slot in use
};
