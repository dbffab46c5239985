#pragma once
// The live particles of one emitter that share a layer, a mesh and a texture, drawn by one instanced
// call. The picture is that of queueing each particle with DrawMesh in turn: the same quad, matrices,
// colours, texture, blending and stencil stamp.
#include <cstdint>
#include <vector>

#include "graphics/Window.h"

class Mesh;
class Texture;
struct Particle;

class ParticleBatch : public DrawBatch {
public:
    // Floats per particle: the model matrix's two axes, its translation, the colour.
    static constexpr int FLOATS_PER_PARTICLE = 10;

    // True when particles with this mesh can be batched: a quad drawn by one of the two mesh shaders.
    static bool CanBatch(const Mesh* mesh);

    // True when batches can draw in the current context (the batch shader built); builds the shared
    // OpenGL objects on first use. When false, particles are to be queued one by one.
    static bool Ready();

    // Empties the batch for particles of this mesh and texture.
    void Reset(Mesh* batchMesh, Texture* batchTexture);
    // Appends a particle (its placement exactly as Transform::GetWorldMatrix gives it, and its colour).
    void Add(const Particle& particle);
    int Count() const { return static_cast<int>(instances.size() / FLOATS_PER_PARTICLE); }

    void Render(const float* device, const float* view, float globalAlpha, bool throughFog) override;

    // Frees the OpenGL objects every batch shares; the window calls it while its context still exists.
    static void ReleaseGl();

    Mesh* mesh = nullptr;
    Texture* texture = nullptr;
    std::vector<float> instances;
};
