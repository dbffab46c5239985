#include "graphics/VertexBatch.h"

#include <glad/gl.h>

#include "graphics/Window.h"

VertexBatch::~VertexBatch()
{
    // Objects of a context that is gone went with it; their names may belong to the new one now.
    if (!OwnedByCurrentContext())
        return;
    glDeleteVertexArrays(1, &vertexArray);
    const GLuint buffers[2] = {vertexBuffer, indexBuffer};
    glDeleteBuffers(2, buffers);
}

bool VertexBatch::OwnedByCurrentContext() const
{
    return context != 0 && CurrentWindow && CurrentWindow->IsReady() && context == WindowContextSerial;
}

void VertexBatch::Clear()
{
    vertices.clear();
    indices.clear();
    changed = true;
}

void VertexBatch::AddQuad(float x0, float y0, float x1, float y1, float u0, float v0, float u1, float v1)
{
    const float uv[8] = {u0, v0, u1, v0, u0, v1, u1, v1};
    AddQuad(x0, y0, x1, y1, uv);
}

void VertexBatch::AddQuad(float x0, float y0, float x1, float y1, const float uv[8])
{
    // Corner order and triangles of the mesh quad: (1, 1), (-1, 1), (1, -1), (-1, -1); 0 1 2 and 1 2 3.
    const std::uint32_t first = static_cast<std::uint32_t>(vertices.size() / 5);
    const float quad[FLOATS_PER_QUAD] = {
        x1, y1, 0.0f, uv[6], uv[7], //
        x0, y1, 0.0f, uv[4], uv[5], //
        x1, y0, 0.0f, uv[2], uv[3], //
        x0, y0, 0.0f, uv[0], uv[1], //
    };
    vertices.insert(vertices.end(), quad, quad + FLOATS_PER_QUAD);
    const std::uint32_t triangles[6] = {first, first + 1, first + 2, first + 1, first + 2, first + 3};
    indices.insert(indices.end(), triangles, triangles + 6);
    changed = true;
}

void VertexBatch::Upload()
{
    if (!CurrentWindow || !CurrentWindow->IsReady())
        return;
    if (!OwnedByCurrentContext()) {
        // First upload, or the window was replaced: new objects in the current context.
        glGenVertexArrays(1, &vertexArray);
        glGenBuffers(1, &vertexBuffer);
        glGenBuffers(1, &indexBuffer);
        glBindVertexArray(vertexArray);
        glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer);
        const GLsizei stride = 5 * sizeof(float);
        glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(0));
        glEnableVertexAttribArray(0);
        glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(3 * sizeof(float)));
        glEnableVertexAttribArray(1);
        glBindVertexArray(0);
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        context = WindowContextSerial;
        changed = true;
    }
    if (!changed)
        return;
    glBindVertexArray(vertexArray);
    glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(float)),
                 vertices.empty() ? nullptr : vertices.data(), GL_STATIC_DRAW);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indices.size() * sizeof(std::uint32_t)),
                 indices.empty() ? nullptr : indices.data(), GL_STATIC_DRAW);
    glBindVertexArray(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    uploadedQuads = QuadCount();
    changed = false;
}

void VertexBatch::Draw() const
{
    if (uploadedQuads > 0 && OwnedByCurrentContext()) {
        glBindVertexArray(vertexArray);
        glDrawElements(GL_TRIANGLES, 6 * uploadedQuads, GL_UNSIGNED_INT, nullptr);
        glBindVertexArray(0);
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    glUseProgram(0);
}
