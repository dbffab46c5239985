#include "graphics/Font.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <glad/gl.h>

#include "core/Trace.h"
#include "graphics/Shader.h"

namespace {

constexpr int PIXEL_HEIGHT = 48;
constexpr int FIRST_CODE = 0;
constexpr int LAST_CODE = 127;
constexpr int QUAD_FLOATS = 6 * 4; // six vertices of x, y, u, v

} // namespace

Font::~Font()
{
    for (auto& entry : glyphs)
        if (entry.second.texture)
            glDeleteTextures(1, &entry.second.texture);
    glyphs.clear();
    if (vertexBuffer)
        glDeleteBuffers(1, &vertexBuffer);
    if (vertexArray)
        glDeleteVertexArrays(1, &vertexArray);
    delete shader;
}

void LoadFont(Font* font)
{
    if (!font)
        return;
    delete font->shader;
    font->shader = new Shader("text");

    FT_Library library = nullptr;
    FT_Face face = nullptr;
    if (FT_Init_FreeType(&library)) {
        Trace("ERROR: Could not init FreeType Library");
        library = nullptr;
    }
    const std::string path = "./assets/fonts/" + font->filename + ".ttf";
    if (library && FT_New_Face(library, path.c_str(), 0, &face)) {
        Trace("ERROR: Failed to load font \"%s\"", path.c_str());
        face = nullptr;
    } else if (!library) {
        Trace("ERROR: Failed to load font \"%s\"", path.c_str());
    }

    // Without a face there is nothing to render: the font keeps no glyphs and draws nothing.
    if (face) {
        FT_Set_Pixel_Sizes(face, 0, PIXEL_HEIGHT);
        GLint previousAlignment = 4;
        glGetIntegerv(GL_UNPACK_ALIGNMENT, &previousAlignment);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        for (int code = FIRST_CODE; code <= LAST_CODE; ++code) {
            if (FT_Load_Char(face, static_cast<FT_ULong>(code), FT_LOAD_RENDER)) {
                Trace("ERROR: Failed to load character '%c'", code);
                continue;
            }
            const FT_GlyphSlot slot = face->glyph;
            const signed char key = static_cast<signed char>(code);
            if (font->glyphs.count(key))
                continue;
            Glyph glyph;
            glGenTextures(1, &glyph.texture);
            glBindTexture(GL_TEXTURE_2D, glyph.texture);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RED, static_cast<GLsizei>(slot->bitmap.width),
                         static_cast<GLsizei>(slot->bitmap.rows), 0, GL_RED, GL_UNSIGNED_BYTE, slot->bitmap.buffer);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
            glyph.width = static_cast<int>(slot->bitmap.width);
            glyph.height = static_cast<int>(slot->bitmap.rows);
            glyph.bearingX = slot->bitmap_left;
            glyph.bearingY = slot->bitmap_top;
            glyph.advance = static_cast<uint32_t>(slot->advance.x);
            font->glyphs.emplace(key, glyph);
        }
        glBindTexture(GL_TEXTURE_2D, 0);
        glPixelStorei(GL_UNPACK_ALIGNMENT, previousAlignment);
        FT_Done_Face(face);
    }
    if (library)
        FT_Done_FreeType(library);

    if (!font->vertexArray)
        glGenVertexArrays(1, &font->vertexArray);
    if (!font->vertexBuffer)
        glGenBuffers(1, &font->vertexBuffer);
    glBindVertexArray(font->vertexArray);
    glBindBuffer(GL_ARRAY_BUFFER, font->vertexBuffer);
    glBufferData(GL_ARRAY_BUFFER, QUAD_FLOATS * sizeof(float), nullptr, GL_DYNAMIC_DRAW);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, 4 * sizeof(float), nullptr);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindVertexArray(0);

    const GLuint program = font->shader->IsLinked() ? font->shader->program : 0;
    font->deviceLocation = program ? glGetUniformLocation(program, "device") : -1;
    font->viewLocation = program ? glGetUniformLocation(program, "view") : -1;
    font->modelLocation = program ? glGetUniformLocation(program, "model") : -1;
    font->colorLocation = program ? glGetUniformLocation(program, "color") : -1;
}

void RenderText(Font* font, std::string text, float x, float y, float scale, const float* rgba)
{
    if (!font)
        return;
    static const float WHITE[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    if (!rgba)
        rgba = WHITE;

    glEnable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    const bool usable = font->shader && font->shader->IsLinked();
    glUseProgram(usable ? font->shader->program : 0);

    if (usable) {
        const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        const float model[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, 0, 1};
        glUniformMatrix4fv(font->deviceLocation, 1, GL_FALSE, identity);
        glUniformMatrix4fv(font->viewLocation, 1, GL_FALSE, identity);
        glUniformMatrix4fv(font->modelLocation, 1, GL_FALSE, model);
        glUniform4f(font->colorLocation, rgba[0], rgba[1], rgba[2], rgba[3]);
    }
    glActiveTexture(GL_TEXTURE0);
    glBindVertexArray(font->vertexArray);
    glBindBuffer(GL_ARRAY_BUFFER, font->vertexBuffer);

    float cursor = x;
    for (char byte : text) {
        const signed char c = static_cast<signed char>(byte);
        // A code without a glyph gets an empty one: it draws nothing and does not advance.
        const Glyph& g = font->glyphs[c];
        const float xpos = cursor + static_cast<float>(g.bearingX) * scale;
        const float ypos = y - static_cast<float>(g.height - g.bearingY) * scale;
        const float w = static_cast<float>(g.width) * scale;
        const float h = static_cast<float>(g.height) * scale;
        const float quad[QUAD_FLOATS] = {
            xpos,     ypos + h, 0.0f, 0.0f, //
            xpos,     ypos,     0.0f, 1.0f, //
            xpos + w, ypos,     1.0f, 1.0f, //
            xpos,     ypos + h, 0.0f, 0.0f, //
            xpos + w, ypos,     1.0f, 1.0f, //
            xpos + w, ypos + h, 1.0f, 0.0f, //
        };
        if (usable) {
            glBindTexture(GL_TEXTURE_2D, g.texture);
            glBufferSubData(GL_ARRAY_BUFFER, 0, sizeof(quad), quad);
            glDrawArrays(GL_TRIANGLES, 0, 6);
        }
        cursor += static_cast<float>(g.advance >> 6) * scale;
    }

    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindVertexArray(0);
    glBindTexture(GL_TEXTURE_2D, 0);
    glUseProgram(0);
    glDisable(GL_CULL_FACE);
}

float MeasureText(const Font* font, const std::string& text, float scale)
{
    if (!font)
        return 0.0f;
    float width = 0.0f;
    for (char byte : text) {
        const auto found = font->glyphs.find(static_cast<signed char>(byte));
        if (found != font->glyphs.end())
            width += static_cast<float>(found->second.advance >> 6) * scale;
    }
    return width;
}
