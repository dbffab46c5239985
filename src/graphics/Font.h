#pragma once
// A TrueType font rasterised once with FreeType (pixel height 48, codes 0..127) into one texture per
// character, and the drawing of one line of text with it.
#include <cstdint>
#include <map>
#include <string>
#include <utility>

class Shader;

struct Glyph {
    uint32_t texture = 0; // one red channel
    int width = 0, height = 0;
    int bearingX = 0, bearingY = 0; // bitmap left and bitmap top, in pixels
    uint32_t advance = 0;           // horizontal advance in 1/64 pixel
};

struct Font {
    Font() = default;
    Font(std::string name, std::string filename) : name(std::move(name)), filename(std::move(filename)) {}
    // Deletes the glyph textures, the vertex array and buffer, and the shader.
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    std::string name;
    std::string filename; // "./assets/fonts/<filename>.ttf"
    std::map<signed char, Glyph> glyphs;
    Shader* shader = nullptr; // the "text" program; owned
    uint32_t vertexArray = 0, vertexBuffer = 0;
    int deviceLocation = -1, viewLocation = -1, modelLocation = -1, colorLocation = -1;
};

// Fills a font whose name and filename are set: glyph textures, metrics, the "text" shader and the
// quad buffer. FreeType failures are traced; characters that failed have no glyph.
void LoadFont(Font* font);

// Draws text now as a row of quads starting at (x, y), in the current OpenGL state. Leaves culling
// off, no program in use, no texture and no vertex array bound. A byte without a glyph (128 and up)
// draws nothing and does not advance. A null font does nothing; a null colour draws white.
void RenderText(Font* font, std::string text, float x, float y, float scale, const float* rgba);

// How far RenderText moves its cursor for text at scale (the sum of the glyph advances); 0 for a
// null font. Bytes without a glyph count 0.
float MeasureText(const Font* font, const std::string& text, float scale);
