#pragma once
// Many axis-aligned quads in world space, kept in one vertex buffer and drawn with one call. The
// vertices have the layout of the built-in meshes (x, y, z, u, v), so the mesh shaders draw them
// with an identity model matrix and an identity frame matrix. Each quad is split into two triangles
// the way the mesh quad is, so the picture matches drawing the quads one by one.
#include <cstdint>
#include <vector>

class VertexBatch {
public:
    VertexBatch() = default;
    // Deletes the OpenGL objects while the context that made them is still the current window's.
    ~VertexBatch();
    VertexBatch(const VertexBatch&) = delete;
    VertexBatch& operator=(const VertexBatch&) = delete;

    // Drops every quad (the buffer keeps what it held until the next Upload).
    void Clear();
    // Appends the quad x0..x1 by y0..y1 with texture coordinates u0..u1 by v0..v1 (u0, v0 at x0, y0).
    void AddQuad(float x0, float y0, float x1, float y1, float u0 = 0.0f, float v0 = 0.0f, float u1 = 1.0f,
                 float v1 = 1.0f);
    // Appends the quad x0..x1 by y0..y1 with the texture coordinates (u, v) of its corners given in
    // uv: at (x0, y0), (x1, y0), (x0, y1), (x1, y1).
    void AddQuad(float x0, float y0, float x1, float y1, const float uv[8]);
    int QuadCount() const { return static_cast<int>(vertices.size() / FLOATS_PER_QUAD); }
    // The quads' vertices as they are uploaded: x, y, z, u, v per corner, the corners of each quad in
    // the order (x1, y1), (x0, y1), (x1, y0), (x0, y0).
    const std::vector<float>& Vertices() const { return vertices; }

    // Sends the quads to OpenGL when they changed since the last upload or the window's context was
    // replaced. Nothing without a window whose OpenGL is loaded.
    void Upload();
    // Draws the uploaded quads as triangles with the program in use, then leaves no vertex array,
    // texture or program bound (as Mesh::Draw does). Nothing when nothing is uploaded for the current
    // context.
    void Draw() const;

private:
    static constexpr std::size_t FLOATS_PER_QUAD = 20;

    bool OwnedByCurrentContext() const;

    std::vector<float> vertices;
    std::vector<std::uint32_t> indices;
    bool changed = true;
    std::uint32_t vertexArray = 0, vertexBuffer = 0, indexBuffer = 0;
    std::uint64_t context = 0; // the window context the objects belong to; 0 for none
    int uploadedQuads = 0;
};
