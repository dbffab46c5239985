#include "graphics/Mesh.h"

#include <glad/gl.h>

#include "core/Trace.h"
#include "graphics/Shader.h"
#include "graphics/Texture.h"

// x, y, z, u, v per vertex; both shapes span -1..1, so an object's scale is its half size.
const float Mesh::QUAD_VERTICES[20] = {
    1.0f,  1.0f,  0.0f, 1.0f, 1.0f, //
    -1.0f, 1.0f,  0.0f, 0.0f, 1.0f, //
    1.0f,  -1.0f, 0.0f, 1.0f, 0.0f, //
    -1.0f, -1.0f, 0.0f, 0.0f, 0.0f, //
};
const uint32_t Mesh::QUAD_TRIANGLES[6] = {0, 1, 2, 1, 2, 3};

namespace {

const uint32_t QUAD_LINES[] = {0, 1, 1, 3, 3, 2, 2, 0};

const float LINE_VERTICES[] = {
    -1.0f, 0.0f, 0.0f, 0.0f, 0.0f, //
    1.0f,  0.0f, 0.0f, 0.0f, 0.0f, //
};
const uint32_t LINE_LINES[] = {0, 1};

constexpr int FLOATS_PER_VERTEX = 5;
constexpr GLsizei VERTEX_STRIDE = FLOATS_PER_VERTEX * sizeof(float); // 20 bytes

void SetUpVertexArray(GLuint vertexArray, GLuint vertexBuffer, GLuint indexBuffer)
{
    glBindVertexArray(vertexArray);
    glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, VERTEX_STRIDE, reinterpret_cast<void*>(0));
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, VERTEX_STRIDE, reinterpret_cast<void*>(3 * sizeof(float)));
    glEnableVertexAttribArray(1);
    glBindVertexArray(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
}

} // namespace

Mesh::Mesh(std::string meshName, int type, std::string shaderName) : name(std::move(meshName)), meshType(type)
{
    shader = new Shader(shaderName);

    switch (meshType) {
    case MESH_QUAD:
        vertices.assign(std::begin(QUAD_VERTICES), std::end(QUAD_VERTICES));
        lineIndices.assign(std::begin(QUAD_LINES), std::end(QUAD_LINES));
        triangleIndices.assign(std::begin(QUAD_TRIANGLES), std::end(QUAD_TRIANGLES));
        break;
    case MESH_LINE:
        vertices.assign(std::begin(LINE_VERTICES), std::end(LINE_VERTICES));
        lineIndices.assign(std::begin(LINE_LINES), std::end(LINE_LINES));
        break;
    default:
        Trace("Mesh \"%s\" has unknown MeshType %i; it is left empty", name.c_str(), meshType);
        break;
    }
    vertexCount = static_cast<int>(vertices.size()) / FLOATS_PER_VERTEX;
    lineCount = static_cast<int>(lineIndices.size()) / 2;
    triangleCount = static_cast<int>(triangleIndices.size()) / 3;

    glGenBuffers(1, &vertexBuffer);
    glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(float)),
                 vertices.empty() ? nullptr : vertices.data(), GL_STATIC_DRAW);
    glBindBuffer(GL_ARRAY_BUFFER, 0);

    glGenVertexArrays(1, &lineVertexArray);
    glGenVertexArrays(1, &triangleVertexArray);
    glGenBuffers(1, &lineIndexBuffer);
    glGenBuffers(1, &triangleIndexBuffer);

    // Index buffers are filled while their vertex array is bound, so the binding is recorded there.
    glBindVertexArray(lineVertexArray);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, lineIndexBuffer);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(lineIndices.size() * sizeof(uint32_t)),
                 lineIndices.empty() ? nullptr : lineIndices.data(), GL_STATIC_DRAW);
    SetUpVertexArray(lineVertexArray, vertexBuffer, lineIndexBuffer);

    glBindVertexArray(triangleVertexArray);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, triangleIndexBuffer);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(triangleIndices.size() * sizeof(uint32_t)),
                 triangleIndices.empty() ? nullptr : triangleIndices.data(), GL_STATIC_DRAW);
    SetUpVertexArray(triangleVertexArray, vertexBuffer, triangleIndexBuffer);

    const GLuint program = shader->program;
    deviceLocation = glGetUniformLocation(program, "device");
    viewLocation = glGetUniformLocation(program, "view");
    modelLocation = glGetUniformLocation(program, "model");
    colorLocation = glGetUniformLocation(program, "color");
    globalAlphaLocation = glGetUniformLocation(program, "globalAlpha");
    if (shader->name == "textured_mesh") {
        uvLocation = glGetUniformLocation(program, "textoobj");
        fogTransparencyLocation = glGetUniformLocation(program, "FogTransparency");
    }
    if (!shader->IsLinked())
        deviceLocation = viewLocation = modelLocation = colorLocation = globalAlphaLocation = uvLocation =
            fogTransparencyLocation = -1;

    // A texture without an image samples this single transparent texel.
    const unsigned char clear[4] = {0, 0, 0, 0};
    emptyTexture = MakeSingleTexelTexture(clear);
}

Mesh::~Mesh()
{
    const GLuint arrays[2] = {lineVertexArray, triangleVertexArray};
    glDeleteVertexArrays(2, arrays);
    const GLuint buffers[3] = {vertexBuffer, lineIndexBuffer, triangleIndexBuffer};
    glDeleteBuffers(3, buffers);
    if (emptyTexture)
        glDeleteTextures(1, &emptyTexture);
    delete shader;
}

void Mesh::BindTextureFrame(Texture* texture, int column, int row)
{
    if (!texture)
        return;
    glBindTexture(GL_TEXTURE_2D, texture->id ? texture->id : emptyTexture);
    float matrix[16];
    FrameMatrix(texture, column, row, matrix);
    glUniformMatrix4fv(uvLocation, 1, GL_FALSE, matrix);
}

void Mesh::FrameMatrix(Texture* texture, int column, int row, float matrix[16])
{
    // Column-major: Translate(column / numCols, (numRows - 1 - row) / numRows) x Scale(1 / numCols, 1 / numRows).
    for (int i = 0; i < 16; ++i)
        matrix[i] = (i % 5 == 0) ? 1.0f : 0.0f;
    if (!texture || column == -1 || row == -1)
        return;
    const int cols = texture->numCols;
    const int rows = texture->numRows;
    if (cols <= 0 || rows <= 0 || column < 0 || column >= cols || row < 0 || row >= rows) {
        if (!texture->reportedBadCell) {
            Trace("Texture \"%s\": frame cell (%i, %i) is outside its %i x %i sheet; drawing the whole texture",
                  texture->name.c_str(), column, row, cols, rows);
            texture->reportedBadCell = true;
        }
        return;
    }
    matrix[0] = 1.0f / static_cast<float>(cols);
    matrix[5] = 1.0f / static_cast<float>(rows);
    matrix[12] = static_cast<float>(column) / static_cast<float>(cols);
    matrix[13] = static_cast<float>(rows - 1 - row) / static_cast<float>(rows);
    // A cell of a sheet is sampled half a texel inside its edges: the filtering then never reaches
    // into the neighbouring cell.
    if (matrix[0] < 1.0f && texture->width > 1) {
        const float texel = 1.0f / static_cast<float>(texture->width);
        if (matrix[0] > texel) {
            matrix[12] += 0.5f * texel;
            matrix[0] -= texel;
        }
    }
    if (matrix[5] < 1.0f && texture->height > 1) {
        const float texel = 1.0f / static_cast<float>(texture->height);
        if (matrix[5] > texel) {
            matrix[13] += 0.5f * texel;
            matrix[5] -= texel;
        }
    }
}

void Mesh::Draw(int drawMode)
{
    if ((drawMode == 1 || drawMode == 2) && triangleCount > 0) {
        glBindVertexArray(triangleVertexArray);
        glDrawElements(GL_TRIANGLES, 3 * triangleCount, GL_UNSIGNED_INT, nullptr);
        glBindVertexArray(0);
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    if ((drawMode == 0 || drawMode == 2) && lineCount > 0) {
        glBindVertexArray(lineVertexArray);
        glDrawElements(GL_LINES, 2 * lineCount, GL_UNSIGNED_INT, nullptr);
        glBindVertexArray(0);
    }
    glUseProgram(0);
}
