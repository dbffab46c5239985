#pragma once
// One of the built-in geometries (a unit quad or a unit line, both spanning -1..1) uploaded to
// OpenGL, drawn with the shader program named in its mesh file.
#include <cstdint>
#include <string>
#include <vector>

class Shader;
class Texture;

class Mesh {
public:
    static constexpr int MESH_QUAD = 0;
    static constexpr int MESH_LINE = 1;
    // The unit quad (x, y, z, u, v per vertex, spanning -1..1) and its two triangles.
    static const float QUAD_VERTICES[20];
    static const uint32_t QUAD_TRIANGLES[6];

    // Creates the shader and uploads the geometry of meshType. Another type gives an empty mesh
    // (no vertices; it draws nothing) and a trace line.
    Mesh(std::string name, int meshType, std::string shaderName);
    // Deletes the vertex arrays, the buffers and the shader.
    ~Mesh();
    Mesh(const Mesh&) = delete;
    Mesh& operator=(const Mesh&) = delete;

    // Binds the texture and uploads the frame's texture-coordinate matrix to "textoobj": the whole
    // texture when column or row is -1, else the cell (column, row) with row 0 the top row of the
    // image, sampled half a texel inside the cell's edges so that no neighbouring cell bleeds in. A
    // texture that failed to load binds a transparent texel, so it draws as nothing.
    // A cell outside the sheet is reported once per texture and draws the whole texture.
    void BindTextureFrame(Texture* texture, int column, int row);
    // The texture-coordinate matrix of that frame (column-major), as BindTextureFrame uploads it,
    // reporting a cell outside the sheet in the same way. The identity for a null texture.
    static void FrameMatrix(Texture* texture, int column, int row, float matrix[16]);
    // 0 edges, 1 faces, 2 both (the edges untextured over the faces). Leaves no program in use.
    void Draw(int drawMode);

    std::string name;
    int meshType = MESH_QUAD;
    Shader* shader = nullptr; // owned
    uint32_t lineVertexArray = 0, triangleVertexArray = 0;
    uint32_t vertexBuffer = 0, lineIndexBuffer = 0, triangleIndexBuffer = 0;
    int modelLocation = -1, viewLocation = -1, deviceLocation = -1, colorLocation = -1;
    int uvLocation = -1, fogTransparencyLocation = -1, globalAlphaLocation = -1;
    std::vector<float> vertices;         // x, y, z, u, v per vertex
    std::vector<uint32_t> lineIndices;     // 2 per line
    std::vector<uint32_t> triangleIndices; // 3 per triangle
    int vertexCount = 0, lineCount = 0, triangleCount = 0;

private:
    uint32_t emptyTexture = 0; // 1 x 1 transparent, bound for textures without an image
};
