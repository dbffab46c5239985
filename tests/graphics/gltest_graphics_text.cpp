// Fonts through FreeType and drawing a line of text: metrics, pixels, and the OpenGL state left behind.
#include "gltest_graphics_fixture.h"

#include "graphics/Font.h"
#include "graphics/Shader.h"

using namespace gfxtest;

namespace {

// Leftmost and rightmost columns holding a pixel brighter than the background; -1 when none.
std::pair<int, int> LitColumns(const Target& target)
{
    const auto all = target.All();
    int left = -1, right = -1;
    for (int y = 0; y < target.height; ++y)
        for (int x = 0; x < target.width; ++x)
            if (all[static_cast<size_t>((y * target.width + x) * 4)] > 64) {
                left = left < 0 ? x : std::min(left, x);
                right = std::max(right, x);
            }
    return {left, right};
}

const float WHITE[4] = {1, 1, 1, 1};

} // namespace

TEST_F(GraphicsTest, FontLoadsOnceWithGlyphsForTheFirst128Codes)
{
    Font* font = nullptr;
    const std::string out = CaptureConsole([&] { font = GraphicsLibrary::GetFont("DejaVuSans"); });
    EXPECT_EQ(out, "");
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->name, "DejaVuSans");
    EXPECT_EQ(font->filename, "DejaVuSans");
    EXPECT_EQ(GraphicsLibrary::GetFont("DejaVuSans"), font);
    EXPECT_EQ(library->fonts.size(), 1u);
    EXPECT_EQ(font->glyphs.size(), 128u);
    ASSERT_TRUE(font->shader);
    EXPECT_TRUE(font->shader->IsLinked());
    EXPECT_NE(font->deviceLocation, -1);
    EXPECT_NE(font->viewLocation, -1);
    EXPECT_NE(font->modelLocation, -1);
    EXPECT_NE(font->colorLocation, -1);
    // Pixel height 48: a capital is a little under that.
    const Glyph& h = font->glyphs.at('H');
    EXPECT_GT(h.height, 25);
    EXPECT_LT(h.height, 48);
    EXPECT_EQ(h.bearingY, h.height) << "H sits on the baseline";
    EXPECT_GT(h.advance, 0u);
    EXPECT_EQ(h.advance % 64, 0u) << "hinted advances are whole pixels";
    EXPECT_NE(h.texture, 0u);
    const Glyph& space = font->glyphs.at(' ');
    EXPECT_EQ(space.width, 0);
    EXPECT_GT(space.advance, 0u);
}

TEST_F(GraphicsTest, MissingFontFilesAreReported)
{
    std::string out = CaptureConsole([] { EXPECT_EQ(GraphicsLibrary::GetFont("Nope"), nullptr); });
    EXPECT_EQ(out, "Font file \"assets/data/fonts/Nope.json\" could not be found!\n");
    EXPECT_TRUE(library->fonts.empty());

    WriteFile("assets/data/fonts/Lost.json", "{\"filename\": \"NotThere\"}");
    Font* lost = nullptr;
    out = CaptureConsole([&] { lost = GraphicsLibrary::GetFont("Lost"); });
    EXPECT_EQ(out, "ERROR: Failed to load font \"./assets/fonts/NotThere.ttf\"\n");
    ASSERT_NE(lost, nullptr);
    EXPECT_TRUE(lost->glyphs.empty());
    // It draws nothing, and does not fail.
    Target target(32, 32);
    target.Clear(0, 0, 0, 1);
    RenderText(lost, "Hello", 0.0f, 0.0f, 0.01f, WHITE);
    EXPECT_EQ(LitColumns(target).first, -1);
    EXPECT_FLOAT_EQ(MeasureText(lost, "Hello", 1.0f), 0.0f);

    WriteFile("assets/data/fonts/Empty.json", "{\"file\": 3}");
    out = CaptureConsole([] { EXPECT_NE(GraphicsLibrary::GetFont("Empty"), nullptr); });
    EXPECT_NE(out.find("Error! No field exists with name 'filename'"), std::string::npos) << out;
    EXPECT_NE(out.find("ERROR: Failed to load font \"./assets/fonts/.ttf\""), std::string::npos) << out;
}

TEST_F(GraphicsTest, TextAdvancesByTheGlyphAdvance)
{
    Font* font = GraphicsLibrary::GetFont("DejaVuSans");
    ASSERT_NE(font, nullptr);
    const float advanceH = static_cast<float>(font->glyphs.at('H').advance >> 6);
    EXPECT_FLOAT_EQ(MeasureText(font, "HH", 1.0f) - MeasureText(font, "H", 1.0f), advanceH);
    EXPECT_FLOAT_EQ(MeasureText(font, "HH", 0.5f), advanceH);
    // Bytes of 128 and more have no glyph: no width.
    EXPECT_FLOAT_EQ(MeasureText(font, std::string("H\x80\xff") + "H", 1.0f), MeasureText(font, "HH", 1.0f));

    // The same on screen: one pixel per glyph pixel across a 256-pixel-wide target.
    Target target(256, 64);
    ASSERT_TRUE(target.Complete());
    const float scale = 2.0f / 256.0f;
    // The model translation and the vertices both start at x, so -0.4 puts the text at -0.8.
    target.Clear(0, 0, 0, 1);
    RenderText(font, "H", -0.4f, -0.1f, scale, WHITE);
    const auto one = LitColumns(target);
    target.Clear(0, 0, 0, 1);
    RenderText(font, "HH", -0.4f, -0.1f, scale, WHITE);
    const auto two = LitColumns(target);
    ASSERT_GE(one.first, 0);
    EXPECT_EQ(two.first, one.first);
    EXPECT_NEAR(two.second - one.second, advanceH, 1.0);
    EXPECT_NEAR(one.first, (1.0 - 0.8) / scale + font->glyphs.at('H').bearingX, 1.5);

    // High bytes draw nothing and do not move the cursor.
    target.Clear(0, 0, 0, 1);
    RenderText(font, std::string("H\x80\xfe") + "H", -0.4f, -0.1f, scale, WHITE);
    EXPECT_EQ(LitColumns(target), two);
}

TEST_F(GraphicsTest, GlyphAdvanceIsInSixtyFourthsOfAPixel)
{
    Font font("made", "up");
    Glyph wide;
    wide.advance = 1600;
    font.glyphs['A'] = wide;
    EXPECT_FLOAT_EQ(MeasureText(&font, "A", 1.0f), 25.0f);
    EXPECT_FLOAT_EQ(MeasureText(&font, "AA", 2.0f), 100.0f);
    EXPECT_FLOAT_EQ(MeasureText(nullptr, "AA", 2.0f), 0.0f);
}

TEST_F(GraphicsTest, TextIsDrawnInItsColour)
{
    Font* font = GraphicsLibrary::GetFont("DejaVuSans");
    ASSERT_NE(font, nullptr);
    Target target(128, 64);
    target.Clear(0, 0, 0, 1);
    const float red[4] = {1, 0, 0, 1};
    RenderText(font, "I", 0.0f, -0.3f, 0.04f, red);
    const auto all = target.All();
    int redPixels = 0, otherPixels = 0;
    for (size_t i = 0; i < all.size(); i += 4) {
        if (all[i] == 255 && all[i + 1] == 0 && all[i + 2] == 0)
            ++redPixels;
        else if (all[i + 1] != 0 || all[i + 2] != 0)
            ++otherPixels;
    }
    EXPECT_GT(redPixels, 20);
    EXPECT_EQ(otherPixels, 0);

    // Alpha 0 draws nothing.
    target.Clear(0, 0, 0, 1);
    const float clear[4] = {1, 1, 1, 0};
    RenderText(font, "I", 0.0f, -0.3f, 0.04f, clear);
    EXPECT_EQ(LitColumns(target).first, -1);
}

TEST_F(GraphicsTest, RenderTextLeavesCullingProgramTextureAndVertexArrayOff)
{
    Font* font = GraphicsLibrary::GetFont("DejaVuSans");
    ASSERT_NE(font, nullptr);
    Target target(64, 64);
    for (const std::string& text : {std::string("Score: 42"), std::string()}) {
        // Some other state in place beforehand.
        GLuint otherArray = 0, otherTexture = 0;
        glGenVertexArrays(1, &otherArray);
        glGenTextures(1, &otherTexture);
        glBindVertexArray(otherArray);
        glBindTexture(GL_TEXTURE_2D, otherTexture);
        glUseProgram(font->shader->program);
        glDisable(GL_CULL_FACE);

        RenderText(font, text, 0.0f, 0.0f, 0.01f, WHITE);

        GLint program = -1, texture = -1, array = -1;
        glGetIntegerv(GL_CURRENT_PROGRAM, &program);
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture);
        glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &array);
        EXPECT_FALSE(glIsEnabled(GL_CULL_FACE)) << '"' << text << '"';
        EXPECT_EQ(program, 0) << '"' << text << '"';
        EXPECT_EQ(texture, 0) << '"' << text << '"';
        EXPECT_EQ(array, 0) << '"' << text << '"';
        EXPECT_TRUE(glIsEnabled(GL_BLEND));
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        glDeleteVertexArrays(1, &otherArray);
        glDeleteTextures(1, &otherTexture);
    }
    // A null font does nothing at all.
    glEnable(GL_CULL_FACE);
    RenderText(nullptr, "x", 0, 0, 1, WHITE);
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    glDisable(GL_CULL_FACE);
}
