#include "graphics/ParticleBatch.h"

#include <glad/gl.h>

#include <cmath>

#include "core/Trace.h"
#include "graphics/Mesh.h"
#include "graphics/ParticlePool.h"
#include "graphics/Shader.h"
#include "graphics/Texture.h"

namespace {

// The OpenGL objects all batches share, made on first use in the current context.
struct Renderer {
    bool tried = false;
    bool ready = false;
    Shader* shader = nullptr;
    GLuint vertexArray = 0, quadBuffer = 0, indexBuffer = 0, instanceBuffer = 0;
    GLsizeiptr instanceBytes = 0;
    GLint device = -1, view = -1, globalAlpha = -1, textured = -1, fogTransparency = -1;
};
Renderer renderer;

Renderer* GetRenderer()
{
    Renderer& r = renderer;
    if (r.tried)
        return r.ready ? &r : nullptr;
    r.tried = true;
    r.shader = new Shader("particle_batch");
    if (!r.shader->IsLinked()) {
        Trace("Particles are drawn one by one: the batch shader did not build");
        return nullptr;
    }
    const GLuint program = r.shader->program;
    r.device = glGetUniformLocation(program, "device");
    r.view = glGetUniformLocation(program, "view");
    r.globalAlpha = glGetUniformLocation(program, "globalAlpha");
    r.textured = glGetUniformLocation(program, "textured");
    r.fogTransparency = glGetUniformLocation(program, "FogTransparency");

    glGenVertexArrays(1, &r.vertexArray);
    glGenBuffers(1, &r.quadBuffer);
    glGenBuffers(1, &r.indexBuffer);
    glGenBuffers(1, &r.instanceBuffer);
    glBindVertexArray(r.vertexArray);
    glBindBuffer(GL_ARRAY_BUFFER, r.quadBuffer);
    glBufferData(GL_ARRAY_BUFFER, sizeof(Mesh::QUAD_VERTICES), Mesh::QUAD_VERTICES, GL_STATIC_DRAW);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 5 * sizeof(float), reinterpret_cast<void*>(0));
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, 5 * sizeof(float), reinterpret_cast<void*>(3 * sizeof(float)));
    glEnableVertexAttribArray(1);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, r.indexBuffer);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, sizeof(Mesh::QUAD_TRIANGLES), Mesh::QUAD_TRIANGLES,
                 GL_STATIC_DRAW);

    // Per particle: axes (m0, m1, m4, m5), translation (m12, m13), colour.
    const GLsizei stride = ParticleBatch::FLOATS_PER_PARTICLE * sizeof(float);
    glBindBuffer(GL_ARRAY_BUFFER, r.instanceBuffer);
    glVertexAttribPointer(2, 4, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(0));
    glVertexAttribPointer(3, 2, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(4 * sizeof(float)));
    glVertexAttribPointer(4, 4, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(6 * sizeof(float)));
    for (GLuint attribute = 2; attribute <= 4; ++attribute) {
        glEnableVertexAttribArray(attribute);
        glVertexAttribDivisor(attribute, 1);
    }
    glBindVertexArray(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    r.ready = true;
    return &r;
}

} // namespace

bool ParticleBatch::CanBatch(const Mesh* mesh)
{
    if (!mesh || !mesh->shader || mesh->meshType != Mesh::MESH_QUAD || mesh->triangleCount != 2)
        return false;
    const std::string& shaderName = mesh->shader->name;
    return mesh->shader->IsLinked() && (shaderName == "empty_mesh" || shaderName == "textured_mesh");
}

bool ParticleBatch::Ready()
{
    return GetRenderer() != nullptr;
}

void ParticleBatch::Reset(Mesh* batchMesh, Texture* batchTexture)
{
    mesh = batchMesh;
    texture = batchTexture;
    instances.clear();
}

void ParticleBatch::Add(const Particle& particle)
{
    // T x Rz x S written out; each entry is bit for bit what the matrix product gives.
    const Transform& t = particle.transform;
    float c = 1.0f, s = 0.0f;
    if (t.Rotation != 0.0f) {
        c = std::cos(t.Rotation);
        s = std::sin(t.Rotation);
    }
    const float values[FLOATS_PER_PARTICLE] = {
        c * t.ScaleX, s * t.ScaleX, -s * t.ScaleY, c * t.ScaleY, t.TranslationX, t.TranslationY,
        particle.color[0], particle.color[1], particle.color[2], particle.color[3],
    };
    instances.insert(instances.end(), values, values + FLOATS_PER_PARTICLE);
}

void ParticleBatch::Render(const float* device, const float* view, float globalAlpha, bool throughFog)
{
    const int count = Count();
    if (count == 0 || !mesh || !mesh->shader)
        return;
    Renderer* r = GetRenderer();
    if (!r)
        return;
    const bool textured = mesh->shader->name == "textured_mesh";
    // A texture without an image samples a transparent texel: nothing shows and nothing is stamped.
    if (textured && texture && texture->id == 0)
        return;

    glUseProgram(r->shader->program);
    glUniformMatrix4fv(r->device, 1, GL_FALSE, device);
    glUniformMatrix4fv(r->view, 1, GL_FALSE, view);
    glUniform1f(r->globalAlpha, std::fmin(std::fmax(globalAlpha, 0.0f), 1.0f));
    glUniform1i(r->textured, textured ? 1 : 0);
    glUniform1f(r->fogTransparency, 0.0f);
    glBindTexture(GL_TEXTURE_2D, textured && texture ? texture->id : 0);

    const GLsizeiptr bytes = static_cast<GLsizeiptr>(instances.size() * sizeof(float));
    glBindBuffer(GL_ARRAY_BUFFER, r->instanceBuffer);
    if (bytes > r->instanceBytes) {
        glBufferData(GL_ARRAY_BUFFER, bytes, instances.data(), GL_STREAM_DRAW);
        r->instanceBytes = bytes;
    } else {
        glBufferSubData(GL_ARRAY_BUFFER, 0, bytes, instances.data());
    }
    glBindBuffer(GL_ARRAY_BUFFER, 0);

    // The stamp of a through-fog command, once for the whole batch.
    if (throughFog) {
        glEnable(GL_STENCIL_TEST);
        glStencilFunc(GL_ALWAYS, 1, 1);
        glStencilMask(0xFF);
        glStencilOp(GL_REPLACE, GL_REPLACE, GL_REPLACE);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);
        if (textured)
            glUniform1f(r->fogTransparency, 1.0f);
    }
    glBindVertexArray(r->vertexArray);
    glDrawElementsInstanced(GL_TRIANGLES, 6, GL_UNSIGNED_INT, nullptr, count);
    glBindVertexArray(0);
    glBindTexture(GL_TEXTURE_2D, 0);
    if (throughFog) {
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glStencilFunc(GL_NOTEQUAL, 1, 1);
        glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    }
    glUseProgram(0);
}

void ParticleBatch::ReleaseGl()
{
    Renderer& r = renderer;
    if (r.vertexArray)
        glDeleteVertexArrays(1, &r.vertexArray);
    const GLuint buffers[3] = {r.quadBuffer, r.indexBuffer, r.instanceBuffer};
    if (r.quadBuffer)
        glDeleteBuffers(3, buffers);
    delete r.shader;
    renderer = Renderer();
}
