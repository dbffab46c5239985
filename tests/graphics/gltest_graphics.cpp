// Graphics resources: loading meshes, shaders and textures by name, multi-image textures, frame cells,
// and pixels drawn with them read back.
#include "gltest_graphics_fixture.h"

#include "graphics/Font.h"
#include "graphics/Mesh.h"
#include "graphics/Shader.h"
#include "graphics/Texture.h"

using namespace gfxtest;

namespace {

const float IDENTITY[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
const float WHITE[4] = {1, 1, 1, 1};

// Draws the mesh in white over the whole target (as placed by the model matrix, untransformed by
// default) with the texture cell given.
void DrawFull(Mesh* mesh, Texture* texture, int column, int row, int drawMode = 1, const float* model = IDENTITY)
{
    glUseProgram(mesh->shader->program);
    glUniformMatrix4fv(mesh->deviceLocation, 1, GL_FALSE, IDENTITY);
    glUniformMatrix4fv(mesh->viewLocation, 1, GL_FALSE, IDENTITY);
    glUniformMatrix4fv(mesh->modelLocation, 1, GL_FALSE, model);
    glUniform4fv(mesh->colorLocation, 1, WHITE);
    glUniform1f(mesh->globalAlphaLocation, 1.0f);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    if (texture)
        mesh->BindTextureFrame(texture, column, row);
    mesh->Draw(drawMode);
}

std::vector<float> UvMatrix(Mesh* mesh)
{
    std::vector<float> m(16, -99.0f);
    glGetUniformfv(mesh->shader->program, mesh->uvLocation, m.data());
    return m;
}

} // namespace

// ------------------------------------------------------------------------------------------ meshes

TEST_F(GraphicsTest, MeshLoadsOnceByNameAndKeepsItsIndex)
{
    EXPECT_EQ(GraphicsLibrary::GetMeshIndex("textured_mesh"), -1) << "an index lookup never loads";
    Mesh* first = GraphicsLibrary::GetMesh("textured_mesh");
    ASSERT_NE(first, nullptr);
    Mesh* line = GraphicsLibrary::GetMesh("line_mesh");
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(GraphicsLibrary::GetMesh("textured_mesh"), first);
    EXPECT_EQ(library->meshes.size(), 2u);
    EXPECT_EQ(GraphicsLibrary::GetMeshIndex("textured_mesh"), 0);
    EXPECT_EQ(GraphicsLibrary::GetMeshIndex("line_mesh"), 1);
    EXPECT_EQ(GraphicsLibrary::GetMeshByIndex(1), line);
    EXPECT_EQ(GraphicsLibrary::GetMeshByIndex(2), nullptr);
    EXPECT_EQ(GraphicsLibrary::GetMeshByIndex(-1), nullptr);
    EXPECT_EQ(GraphicsLibrary::GetMeshIndex("empty_mesh"), -1);
    // A later load does not move earlier entries.
    ASSERT_NE(GraphicsLibrary::GetMesh("empty_mesh"), nullptr);
    EXPECT_EQ(GraphicsLibrary::GetMeshByIndex(0), first);
    EXPECT_EQ(GraphicsLibrary::GetMeshIndex("line_mesh"), 1);
}

TEST_F(GraphicsTest, MissingMeshFileIsReportedAndNotCached)
{
    std::string out = CaptureConsole([] { EXPECT_EQ(GraphicsLibrary::GetMesh("no_such_mesh"), nullptr); });
    EXPECT_EQ(out, "Mesh file \"assets/data/meshes/no_such_mesh.json\" could not be found!\n");
    EXPECT_TRUE(library->meshes.empty());
    // Nothing is cached, so asking again reports again.
    out = CaptureConsole([] { GraphicsLibrary::GetMesh("no_such_mesh"); });
    EXPECT_NE(out.find("could not be found!"), std::string::npos);
}

TEST_F(GraphicsTest, BuiltInGeometryAndUniforms)
{
    Mesh* quad = GraphicsLibrary::GetMesh("textured_mesh");
    Mesh* line = GraphicsLibrary::GetMesh("line_mesh");
    Mesh* flat = GraphicsLibrary::GetMesh("empty_mesh");
    ASSERT_TRUE(quad && line && flat);
    EXPECT_EQ(quad->vertexCount, 4);
    EXPECT_EQ(quad->lineCount, 4);
    EXPECT_EQ(quad->triangleCount, 2);
    EXPECT_EQ(line->vertexCount, 2);
    EXPECT_EQ(line->lineCount, 1);
    EXPECT_EQ(line->triangleCount, 0);
    EXPECT_EQ(quad->vertices.size(), 20u);
    EXPECT_FLOAT_EQ(quad->vertices[5], -1.0f); // vertex 1 x
    EXPECT_FLOAT_EQ(quad->vertices[9], 1.0f);  // vertex 1 v
    EXPECT_TRUE(quad->shader->IsLinked());
    EXPECT_TRUE(flat->shader->IsLinked());
    for (Mesh* m : {quad, line, flat}) {
        EXPECT_NE(m->deviceLocation, -1) << m->name;
        EXPECT_NE(m->viewLocation, -1) << m->name;
        EXPECT_NE(m->modelLocation, -1) << m->name;
        EXPECT_NE(m->colorLocation, -1) << m->name;
        EXPECT_NE(m->globalAlphaLocation, -1) << m->name;
    }
    EXPECT_NE(quad->uvLocation, -1);
    EXPECT_NE(quad->fogTransparencyLocation, -1);
    EXPECT_EQ(flat->uvLocation, -1) << "only the textured_mesh shader has a frame matrix";
    EXPECT_EQ(flat->fogTransparencyLocation, -1);
}

TEST_F(GraphicsTest, UnknownMeshTypeGivesAnEmptyMeshThatDrawsNothing)
{
    WriteFile("assets/data/meshes/odd.json", "{\"MeshType\": 7, \"Shader\": \"empty_mesh\"}");
    Mesh* odd = nullptr;
    const std::string out = CaptureConsole([&] { odd = GraphicsLibrary::GetMesh("odd"); });
    ASSERT_NE(odd, nullptr);
    EXPECT_NE(out.find("unknown MeshType 7"), std::string::npos) << out;
    EXPECT_EQ(odd->vertexCount, 0);
    EXPECT_EQ(odd->lineCount, 0);
    EXPECT_EQ(odd->triangleCount, 0);
    Target target(16, 16);
    target.Clear(0, 0, 0, 1);
    DrawFull(odd, nullptr, -1, -1, 2);
    EXPECT_EQ(target.Pixel(8, 8), Rgba(0, 0, 0));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(GraphicsTest, BadMeshFilesFallBackToDefaults)
{
    WriteFile("assets/data/meshes/truncated.json", "{\"MeshType\": 1, \"Sha");
    WriteFile("assets/data/meshes/wrongtype.json", "{\"MeshType\": \"one\", \"Shader\": 5}");
    Mesh* truncated = nullptr;
    const std::string out = CaptureConsole([&] { truncated = GraphicsLibrary::GetMesh("truncated"); });
    ASSERT_NE(truncated, nullptr); // the file exists: a quad whose shader did not build
    EXPECT_NE(out.find("Error! No field exists with name 'MeshType'"), std::string::npos) << out;
    EXPECT_NE(out.find("Failed to link shader program!"), std::string::npos) << out;
    EXPECT_EQ(truncated->triangleCount, 2);
    Mesh* wrong = nullptr;
    CaptureConsole([&] { wrong = GraphicsLibrary::GetMesh("wrongtype"); });
    ASSERT_NE(wrong, nullptr);
    EXPECT_EQ(wrong->meshType, 0);
    EXPECT_FALSE(wrong->shader->IsLinked());
}

// ------------------------------------------------------------------------------------------ shaders

TEST_F(GraphicsTest, BrokenShaderIsReportedAndTheRunGoesOn)
{
    WriteFile("assets/data/shaders/shader.broken.vs.txt", "#version 330 core\nvoid main() { gl_Position = ; }\n");
    WriteFile("assets/data/shaders/shader.broken.fs.txt", "#version 330 core\nout vec4 c; void main() { c = 1 }\n");
    WriteFile("assets/data/meshes/broken_mesh.json", "{\"MeshType\": 0, \"Shader\": \"broken\"}");
    Mesh* broken = nullptr;
    const std::string out = CaptureConsole([&] { broken = GraphicsLibrary::GetMesh("broken_mesh"); });
    EXPECT_EQ(out, "Failed to compile vertex shader!\nFailed to compile fragment shader!\n"
                   "Failed to link shader program!\n");
    ASSERT_NE(broken, nullptr);
    EXPECT_FALSE(broken->shader->IsLinked());
    EXPECT_EQ(broken->colorLocation, -1);

    // Drawing with it does nothing; a good mesh loaded afterwards draws.
    Target target(16, 16);
    target.Clear(0, 0, 0, 1);
    DrawFull(broken, nullptr, -1, -1);
    EXPECT_EQ(target.Pixel(8, 8), Rgba(0, 0, 0));
    while (glGetError() != GL_NO_ERROR) {
    }
    Mesh* flat = GraphicsLibrary::GetMesh("empty_mesh");
    ASSERT_NE(flat, nullptr);
    DrawFull(flat, nullptr, -1, -1);
    EXPECT_EQ(target.Pixel(8, 8), Rgba(255, 255, 255));
}

TEST_F(GraphicsTest, MissingShaderSourcesAreReported)
{
    WriteFile("assets/data/meshes/lost.json", "{\"MeshType\": 0, \"Shader\": \"nowhere\"}");
    const std::string out = CaptureConsole([] { EXPECT_NE(GraphicsLibrary::GetMesh("lost"), nullptr); });
    EXPECT_EQ(out, "Failed to compile vertex shader!\nFailed to compile fragment shader!\n"
                   "Failed to link shader program!\n");
}

TEST_F(GraphicsTest, ShaderSourcesOfAnyLength)
{
    const std::string padding = "// " + std::string(6000, 'x') + "\n";
    const std::string vsText = ReadFile(testsupport::RepoDir() / "assets/data/shaders/shader.empty_mesh.vs.txt");
    const std::string fsText = ReadFile(testsupport::RepoDir() / "assets/data/shaders/shader.empty_mesh.fs.txt");
    // The version line has to stay first.
    const auto afterVersion = [&](const std::string& text) {
        const size_t eol = text.find('\n') + 1;
        return text.substr(0, eol) + padding + text.substr(eol);
    };
    WriteFile("assets/data/shaders/shader.long.vs.txt", afterVersion(vsText));
    WriteFile("assets/data/shaders/shader.long.fs.txt", afterVersion(fsText));
    std::string out = CaptureConsole([] {
        Shader shader("long");
        EXPECT_TRUE(shader.IsLinked());
        EXPECT_GT(shader.vertexSource.size(), 6000u);
    });
    EXPECT_EQ(out, "");
}

// ------------------------------------------------------------------------------------------ textures

TEST_F(GraphicsTest, TextureLoadsOnceAndMissingFilesAreReported)
{
    WritePng("assets/textures/plain.png", 2, 1, 4, {255, 0, 0, 255, 0, 255, 0, 255});
    Texture* plain = nullptr;
    std::string out = CaptureConsole([&] { plain = GraphicsLibrary::GetTexture("plain", -1); });
    EXPECT_EQ(out, "") << "no texture file is not an error: the png of that name is used";
    ASSERT_NE(plain, nullptr);
    EXPECT_NE(plain->id, 0u);
    EXPECT_EQ(plain->width, 2);
    EXPECT_EQ(plain->height, 1);
    EXPECT_EQ(plain->channels, 4);
    EXPECT_EQ(plain->numRows, 1);
    EXPECT_EQ(plain->numCols, 1);
    EXPECT_EQ(plain->numFrames, 0);
    EXPECT_EQ(plain->bottomToTop, 1);
    EXPECT_EQ(GraphicsLibrary::GetTexture("plain", -1), plain);
    EXPECT_EQ(GraphicsLibrary::GetTextureIndex("plain"), 0);
    EXPECT_EQ(GraphicsLibrary::GetTextureByIndex(0), plain);
    EXPECT_EQ(GraphicsLibrary::GetTextureByIndex(1), nullptr);
    EXPECT_EQ(GraphicsLibrary::GetTextureByIndex(-1), nullptr);
    EXPECT_EQ(GraphicsLibrary::GetTextureIndex("nothing"), -1);

    // Neither description nor image: reported, and kept with no image.
    Texture* ghost = nullptr;
    out = CaptureConsole([&] { ghost = GraphicsLibrary::GetTexture("ghost", -1); });
    EXPECT_EQ(out, "Failed to load texture \"./assets/textures/ghost.png\": Unable to open file\n");
    ASSERT_NE(ghost, nullptr);
    EXPECT_EQ(ghost->id, 0u);
    EXPECT_EQ(ghost->width, 0);
    EXPECT_EQ(ghost->height, 0);
    out = CaptureConsole([&] { EXPECT_EQ(GraphicsLibrary::GetTexture("ghost", -1), ghost); });
    EXPECT_EQ(out, "");
    EXPECT_EQ(GraphicsLibrary::GetTextureIndex("ghost"), 1);

    // A description naming another file type.
    WriteFile("assets/data/textures/other.json", "{\"FileType\": \"jpg\"}");
    out = CaptureConsole([] { GraphicsLibrary::GetTexture("other", -1); });
    EXPECT_EQ(out, "Failed to load texture \"./assets/textures/other.jpg\": Unable to open file\n");

    // An image that is not an image.
    WriteFile("assets/textures/junk.png", "this is not a png");
    out = CaptureConsole([] { GraphicsLibrary::GetTexture("junk", -1); });
    EXPECT_EQ(out.rfind("Failed to load texture \"./assets/textures/junk.png\": ", 0), 0u) << out;
}

TEST_F(GraphicsTest, MultiImageTexturesAreNamedByImageNumber)
{
    WriteFile("assets/data/textures/Run.json",
              "{\"FileType\": \"png\", \"numFrames\": 4, \"numRows\": 2, \"numCols\": 2, \"frameTime\": 0.25,"
              " \"numImages\": 3, \"numFramesLastImage\": 3, \"bottomToTop\": false}");
    for (const char* name : {"Run", "Run1", "Run2", "Run3"})
        WritePng(std::string("assets/textures/") + name + ".png", 1, 1, 4, {1, 2, 3, 255});

    Texture* run = nullptr;
    const std::string out = CaptureConsole([&] { run = GraphicsLibrary::GetTexture("Run", -1); });
    EXPECT_EQ(out, "");
    ASSERT_NE(run, nullptr);
    ASSERT_EQ(library->textures.size(), 4u);
    const char* expected[] = {"Run", "Run1", "Run2", "Run3"};
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(library->textures[i]->name, expected[i]);
    EXPECT_EQ(run->numFrames, 4);
    EXPECT_EQ(run->numRows, 2);
    EXPECT_EQ(run->numCols, 2);
    EXPECT_FLOAT_EQ(run->frameTime, 0.25f);
    EXPECT_EQ(run->bottomToTop, 0);
    Texture* run2 = library->textures[2];
    EXPECT_EQ(run2->numRows, 2);
    EXPECT_EQ(run2->numCols, 2);
    Texture* run3 = library->textures[3];
    EXPECT_EQ(run3->numRows, 1) << "the last image is one row";
    EXPECT_EQ(run3->numCols, 3) << "of numFramesLastImage columns";
    EXPECT_EQ(run3->bottomToTop, 0);

    // Image 2 is found without reading anything.
    EXPECT_EQ(GraphicsLibrary::GetTexture("Run", 2), run2);
    EXPECT_EQ(library->textures.size(), 4u);
}

TEST_F(GraphicsTest, RequestingOneImageFirstMakesItThenItsSiblings)
{
    WriteFile("assets/data/textures/Walk.json",
              "{\"FileType\": \"png\", \"numFrames\": 2, \"numRows\": 1, \"numCols\": 2, \"frameTime\": 0.1,"
              " \"numImages\": 2, \"numFramesLastImage\": 1}");
    Texture* walk2 = nullptr;
    CaptureConsole([&] { walk2 = GraphicsLibrary::GetTexture("Walk", 2); });
    ASSERT_NE(walk2, nullptr);
    ASSERT_EQ(library->textures.size(), 2u);
    EXPECT_EQ(library->textures[0]->name, "Walk2");
    EXPECT_EQ(library->textures[1]->name, "Walk1");
    // The last image asked for directly has the last image's layout, as if made as a sibling.
    EXPECT_EQ(walk2->numRows, 1);
    EXPECT_EQ(walk2->numCols, 1);
    EXPECT_EQ(library->textures[1]->numCols, 2);
    // Asking for the base afterwards adds only the base.
    CaptureConsole([&] { GraphicsLibrary::GetTexture("Walk", -1); });
    ASSERT_EQ(library->textures.size(), 3u);
    EXPECT_EQ(library->textures[2]->name, "Walk");
    EXPECT_EQ(GraphicsLibrary::GetTexture("Walk", 1), library->textures[1]);
}

TEST_F(GraphicsTest, FrameLayoutKeys)
{
    // Without numFrames the layout keys are ignored.
    WriteFile("assets/data/textures/nolayout.json", "{\"FileType\": \"png\", \"numRows\": 4, \"numCols\": 4}");
    // bottomToTop counts by presence, whatever its value.
    WriteFile("assets/data/textures/flagtrue.json",
              "{\"FileType\": \"png\", \"numFrames\": 2, \"numRows\": 1, \"numCols\": 2, \"frameTime\": 1,"
              " \"bottomToTop\": true}");
    WriteFile("assets/data/textures/flagfalse.json",
              "{\"FileType\": \"png\", \"numFrames\": 2, \"numRows\": 1, \"numCols\": 2, \"frameTime\": 1,"
              " \"bottomToTop\": false}");
    WriteFile("assets/data/textures/noflag.json",
              "{\"FileType\": \"png\", \"numFrames\": 2, \"numRows\": 1, \"numCols\": 2, \"frameTime\": 1}");
    CaptureConsole([] {
        Texture* none = GraphicsLibrary::GetTexture("nolayout", -1);
        EXPECT_EQ(none->numRows, 1);
        EXPECT_EQ(none->numCols, 1);
        EXPECT_EQ(none->numFrames, 0);
        EXPECT_EQ(GraphicsLibrary::GetTexture("flagtrue", -1)->bottomToTop, 0);
        EXPECT_EQ(GraphicsLibrary::GetTexture("flagfalse", -1)->bottomToTop, 0);
        EXPECT_EQ(GraphicsLibrary::GetTexture("noflag", -1)->bottomToTop, 1);
    });
}

TEST_F(GraphicsTest, BadLayoutValuesAreGuarded)
{
    WriteFile("assets/data/textures/zero.json",
              "{\"FileType\": \"png\", \"numFrames\": 2, \"numRows\": 0, \"numCols\": -3, \"frameTime\": 1}");
    WriteFile("assets/data/textures/partial.json", "{\"FileType\": \"png\", \"numFrames\": 2}");
    WriteFile("assets/data/textures/many.json", "{\"FileType\": \"png\", \"numImages\": 100000000}");
    WriteFile("assets/data/textures/broken.json", "{\"FileType\": \"pn");
    Texture* zero = nullptr;
    std::string out = CaptureConsole([&] { zero = GraphicsLibrary::GetTexture("zero", -1); });
    EXPECT_EQ(zero->numRows, 1);
    EXPECT_EQ(zero->numCols, 1);
    EXPECT_NE(out.find("Texture \"zero\": \"numRows\" is 0; using 1"), std::string::npos) << out;
    EXPECT_NE(out.find("Texture \"zero\": \"numCols\" is -3; using 1"), std::string::npos) << out;

    Texture* partial = nullptr;
    out = CaptureConsole([&] { partial = GraphicsLibrary::GetTexture("partial", -1); });
    EXPECT_EQ(partial->numRows, 1);
    EXPECT_EQ(partial->numCols, 1);
    EXPECT_NE(out.find("Error! No field exists with name 'numRows'"), std::string::npos) << out;

    const size_t before = library->textures.size();
    out = CaptureConsole([] { GraphicsLibrary::GetTexture("many", -1); });
    EXPECT_NE(out.find("\"numImages\" is 100000000"), std::string::npos);
    EXPECT_LE(library->textures.size() - before, static_cast<size_t>(GraphicsLibrary::MAX_TEXTURES) + 1);

    // Broken JSON: the file is there, its keys are not; the png of that name is tried.
    out = CaptureConsole([] { EXPECT_NE(GraphicsLibrary::GetTexture("broken", -1), nullptr); });
    EXPECT_NE(out.find("Error! No field exists with name 'FileType'"), std::string::npos) << out;
    EXPECT_NE(out.find("./assets/textures/broken.png"), std::string::npos) << out;
}

// ------------------------------------------------------------------------------------------ frames

TEST_F(GraphicsTest, FrameMatrixOfAFourByTwoSheet)
{
    WriteFile("assets/data/textures/sheet.json",
              "{\"FileType\": \"png\", \"numFrames\": 8, \"numRows\": 2, \"numCols\": 4, \"frameTime\": 0.1}");
    Texture* sheet = nullptr;
    Mesh* mesh = nullptr;
    CaptureConsole([&] {
        sheet = GraphicsLibrary::GetTexture("sheet", -1);
        mesh = GraphicsLibrary::GetMesh("textured_mesh");
    });
    ASSERT_TRUE(sheet && mesh);
    glUseProgram(mesh->shader->program);

    mesh->BindTextureFrame(sheet, 2, 0);
    // u' = (u + 2) / 4, v' = (v + 1) / 2: the upper half of the image.
    const std::vector<float> cell = {0.25f, 0, 0, 0, 0, 0.5f, 0, 0, 0, 0, 1, 0, 0.5f, 0.5f, 0, 1};
    EXPECT_EQ(UvMatrix(mesh), cell);

    mesh->BindTextureFrame(sheet, 3, 1);
    const std::vector<float> lower = {0.25f, 0, 0, 0, 0, 0.5f, 0, 0, 0, 0, 1, 0, 0.75f, 0.0f, 0, 1};
    EXPECT_EQ(UvMatrix(mesh), lower);

    const std::vector<float> identity(std::begin(IDENTITY), std::end(IDENTITY));
    mesh->BindTextureFrame(sheet, -1, 0);
    EXPECT_EQ(UvMatrix(mesh), identity) << "column -1 takes the whole texture";
    mesh->BindTextureFrame(sheet, 1, 0);
    mesh->BindTextureFrame(sheet, 1, -1);
    EXPECT_EQ(UvMatrix(mesh), identity);

    // A cell outside the sheet is reported once and draws the whole texture.
    mesh->BindTextureFrame(sheet, 1, 0);
    std::string out = CaptureConsole([&] { mesh->BindTextureFrame(sheet, 4, 0); });
    EXPECT_EQ(out, "Texture \"sheet\": frame cell (4, 0) is outside its 4 x 2 sheet; drawing the whole texture\n");
    EXPECT_EQ(UvMatrix(mesh), identity);
    out = CaptureConsole([&] { mesh->BindTextureFrame(sheet, 0, 2); });
    EXPECT_EQ(out, "");
    EXPECT_EQ(UvMatrix(mesh), identity);

    // A null texture binds nothing and leaves the matrix alone.
    mesh->BindTextureFrame(sheet, 1, 1);
    GLint bound = -1;
    glBindTexture(GL_TEXTURE_2D, 0);
    mesh->BindTextureFrame(nullptr, 0, 0);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, 0);
    EXPECT_FLOAT_EQ(UvMatrix(mesh)[12], 0.25f);
    glUseProgram(0);

    // With an image (160 x 96 texels, cells of 32 x 48) a cell is sampled half a texel inside its
    // edges, so filtering never reaches the neighbouring cell.
    sheet->width = 160;
    sheet->height = 96;
    sheet->numCols = 5;
    float inside[16];
    Mesh::FrameMatrix(sheet, 4, 0, inside);
    EXPECT_FLOAT_EQ(inside[12], 0.8f + 0.5f / 160.0f);
    EXPECT_FLOAT_EQ(inside[12] + inside[0], 1.0f - 0.5f / 160.0f);
    EXPECT_FLOAT_EQ(inside[13], 0.5f + 0.5f / 96.0f);
    EXPECT_FLOAT_EQ(inside[13] + inside[5], 1.0f - 0.5f / 96.0f);
    sheet->width = sheet->height = 0;
    sheet->numCols = 4;
}

TEST_F(GraphicsTest, RowZeroIsTheTopOfTheImage)
{
    // A 4 x 2 sheet of one-pixel cells, top row first as in the file.
    const std::vector<std::vector<unsigned char>> colours = {
        Rgba(255, 0, 0), Rgba(0, 255, 0), Rgba(0, 0, 255), Rgba(255, 255, 0),     // row 0 (top)
        Rgba(255, 0, 255), Rgba(0, 255, 255), Rgba(255, 255, 255), Rgba(128, 0, 0) // row 1
    };
    std::vector<unsigned char> pixels;
    for (const auto& c : colours)
        pixels.insert(pixels.end(), c.begin(), c.end());
    WritePng("assets/textures/cells.png", 4, 2, 4, pixels);
    WriteFile("assets/data/textures/cells.json",
              "{\"FileType\": \"png\", \"numFrames\": 8, \"numRows\": 2, \"numCols\": 4, \"frameTime\": 0.1}");
    Texture* cells = GraphicsLibrary::GetTexture("cells", -1);
    Mesh* mesh = GraphicsLibrary::GetMesh("textured_mesh");
    ASSERT_TRUE(cells && mesh);
    Target target(8, 8);
    ASSERT_TRUE(target.Complete());
    for (int row = 0; row < 2; ++row)
        for (int column = 0; column < 4; ++column) {
            target.Clear(0, 0, 0, 1);
            DrawFull(mesh, cells, column, row);
            EXPECT_EQ(target.Pixel(4, 4), colours[static_cast<size_t>(row * 4 + column)])
                << "cell " << column << ", " << row;
        }
}

TEST_F(GraphicsTest, TexturedQuadPixelsMatchTheImage)
{
    // 2 x 2, top row first: red, green / blue, white.
    WritePng("assets/textures/four.png", 2, 2, 4,
             {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255});
    WritePng("assets/textures/rgb.png", 2, 2, 3, {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255});
    Texture* four = GraphicsLibrary::GetTexture("four", -1);
    Texture* rgb = GraphicsLibrary::GetTexture("rgb", -1);
    Mesh* mesh = GraphicsLibrary::GetMesh("textured_mesh");
    ASSERT_TRUE(four && rgb && mesh);
    EXPECT_EQ(rgb->channels, 3);
    Target target(32, 32);
    ASSERT_TRUE(target.Complete());
    for (Texture* t : {four, rgb}) {
        target.Clear(0, 0, 0, 1);
        DrawFull(mesh, t, -1, -1);
        EXPECT_EQ(target.Pixel(4, 4), Rgba(255, 0, 0)) << t->name;
        EXPECT_EQ(target.Pixel(27, 4), Rgba(0, 255, 0)) << t->name;
        EXPECT_EQ(target.Pixel(4, 27), Rgba(0, 0, 255)) << t->name;
        EXPECT_EQ(target.Pixel(27, 27), Rgba(255, 255, 255)) << t->name;
    }

    // Colour and global alpha are multiplied in.
    target.Clear(0, 0, 0, 1);
    glUseProgram(mesh->shader->program);
    glUniformMatrix4fv(mesh->deviceLocation, 1, GL_FALSE, IDENTITY);
    glUniformMatrix4fv(mesh->viewLocation, 1, GL_FALSE, IDENTITY);
    glUniformMatrix4fv(mesh->modelLocation, 1, GL_FALSE, IDENTITY);
    glUniform4f(mesh->colorLocation, 1.0f, 1.0f, 1.0f, 1.0f);
    glUniform1f(mesh->globalAlphaLocation, 0.0f);
    mesh->BindTextureFrame(four, -1, -1);
    mesh->Draw(1);
    EXPECT_EQ(target.Pixel(27, 27), Rgba(0, 0, 0)) << "global alpha 0 draws nothing";
    glUseProgram(0);
}

TEST_F(GraphicsTest, ATextureThatFailedToLoadDrawsAsNothing)
{
    Texture* ghost = nullptr;
    CaptureConsole([&] { ghost = GraphicsLibrary::GetTexture("ghost", -1); });
    Mesh* mesh = GraphicsLibrary::GetMesh("textured_mesh");
    ASSERT_TRUE(ghost && mesh);
    Target target(16, 16);
    target.Clear(0.2f, 0.4f, 0.6f, 1.0f);
    DrawFull(mesh, ghost, -1, -1);
    EXPECT_EQ(target.Pixel(8, 8), Rgba(51, 102, 153));
}

TEST_F(GraphicsTest, EdgesAreDrawnOverFaces)
{
    Mesh* flat = GraphicsLibrary::GetMesh("empty_mesh");
    Mesh* line = GraphicsLibrary::GetMesh("line_mesh");
    ASSERT_TRUE(flat && line);
    Target target(17, 17);
    target.Clear(0, 0, 0, 1);
    // A half-size quad drawn as edges only: the outline is lit, the inside is not.
    const float half[16] = {0.5f, 0, 0, 0, 0, 0.5f, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    DrawFull(flat, nullptr, 0, 0, 0, half);
    GLint program = -1;
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    EXPECT_EQ(program, 0) << "Draw leaves no program in use";
    EXPECT_EQ(target.Pixel(8, 8), Rgba(0, 0, 0));
    const auto all = target.All();
    int lit = 0;
    for (size_t i = 0; i < all.size(); i += 4)
        lit += all[i] > 0;
    EXPECT_GT(lit, 8);
    // The line mesh lies along x.
    target.Clear(0, 0, 0, 1);
    DrawFull(line, nullptr, 0, 0, 2);
    EXPECT_EQ(target.Pixel(2, 8)[0] + target.Pixel(2, 7)[0] + target.Pixel(2, 9)[0] > 0, true);
    EXPECT_EQ(target.Pixel(8, 2), Rgba(0, 0, 0));
}

// ------------------------------------------------------------------------------------------ library

TEST_F(GraphicsTest, EditorListsStopAtTheirLimits)
{
    for (int i = 0; i < 10; ++i)
        WriteFile("assets/data/meshes/m" + std::to_string(i) + ".json", "{\"MeshType\": 1, \"Shader\": \"empty_mesh\"}");
    std::string out = CaptureConsole([] {
        for (int i = 0; i < 7; ++i)
            GraphicsLibrary::GetMesh("m" + std::to_string(i));
    });
    EXPECT_EQ(out.find("Too many meshes"), std::string::npos);
    EXPECT_EQ(library->editorMeshNames.size(), 7u);
    out = CaptureConsole([] { GraphicsLibrary::GetMesh("m7"); });
    EXPECT_EQ(out.find("Assertion `numMeshes < MAX_MESHES` failed.Location: src/GraphicsLibrary Line "), 0u) << out;
    EXPECT_NE(out.find(": GraphicsLibrary: Too many meshes for IMGUI!\n"), std::string::npos) << out;
    CaptureConsole([] { GraphicsLibrary::GetMesh("m8"); });
    EXPECT_EQ(library->editorMeshNames.size(), 8u) << "the list is not overflowed";
    EXPECT_EQ(library->editorMeshNames[0], "m0");
    EXPECT_EQ(library->meshes.size(), 9u) << "the mesh itself is still loaded";

    out = CaptureConsole([] {
        for (int i = 0; i < 125; ++i) {
            WriteFile("assets/data/textures/t" + std::to_string(i) + ".json", "{\"FileType\": \"png\"}");
            GraphicsLibrary::GetTexture("t" + std::to_string(i), -1);
        }
    });
    EXPECT_EQ(library->textures.size(), 125u);
    EXPECT_EQ(out.find("Too many textures"), std::string::npos);
    EXPECT_EQ(library->editorTextureNames.size(), 126u);
    EXPECT_EQ(library->editorTextureNames[0], "<no texture>");
    EXPECT_EQ(library->editorTextureNames[1], "t0");
    // A texture without a description does not rebuild the list.
    out = CaptureConsole([] { GraphicsLibrary::GetTexture("undescribed", -1); });
    EXPECT_EQ(out.find("Too many textures"), std::string::npos);
    // The 127th texture reaches the limit.
    WriteFile("assets/data/textures/last.json", "{\"FileType\": \"png\"}");
    out = CaptureConsole([] { GraphicsLibrary::GetTexture("last", -1); });
    EXPECT_NE(out.find("Assertion `numTextures + 1 < MAX_TEXTURES` failed."), std::string::npos) << out;
    EXPECT_NE(out.find("GraphicsLibrary: Too many textures for IMGUI!"), std::string::npos) << out;
    for (int i = 0; i < 3; ++i) {
        WriteFile("assets/data/textures/more" + std::to_string(i) + ".json", "{\"FileType\": \"png\"}");
        CaptureConsole([&] { GraphicsLibrary::GetTexture("more" + std::to_string(i), -1); });
    }
    EXPECT_EQ(library->editorTextureNames.size(), static_cast<size_t>(GraphicsLibrary::MAX_TEXTURES));
    TraceReset();
}

TEST_F(GraphicsTest, EditorSystemIsStored)
{
    int stand_in = 0;
    EditorSystem* editor = reinterpret_cast<EditorSystem*>(&stand_in);
    std::string out = CaptureConsole([&] { GraphicsLibrary::SetEditorSystem(editor); });
    EXPECT_EQ(out, "");
    EXPECT_EQ(library->editorSystem_, editor);
    out = CaptureConsole([] { GraphicsLibrary::SetEditorSystem(nullptr); });
    EXPECT_EQ(out.find("Assertion `editorSystem_` failed.Location: src/GraphicsLibrary Line "), 0u) << out;
    EXPECT_NE(out.find(": GraphicsLibrary: Failed to pass in EditorSystem\n"), std::string::npos);
    TraceReset();
}

TEST_F(GraphicsTest, WithoutAnInstanceCallsReportAndReturnDefaults)
{
    EXPECT_EQ(GraphicsLibraryInstance, library);
    delete library;
    library = nullptr;
    EXPECT_EQ(GraphicsLibraryInstance, nullptr) << "the destructor clears the global";
    const std::string out = CaptureConsole([] {
        EXPECT_EQ(GraphicsLibrary::GetMesh("textured_mesh"), nullptr);
        EXPECT_EQ(GraphicsLibrary::GetMeshByIndex(0), nullptr);
        EXPECT_EQ(GraphicsLibrary::GetMeshIndex("textured_mesh"), -1);
        EXPECT_EQ(GraphicsLibrary::GetTexture("coin", -1), nullptr);
        EXPECT_EQ(GraphicsLibrary::GetTextureByIndex(0), nullptr);
        EXPECT_EQ(GraphicsLibrary::GetTextureIndex("coin"), -1);
        EXPECT_EQ(GraphicsLibrary::GetFont("DejaVuSans"), nullptr);
        GraphicsLibrary::SetEditorSystem(nullptr);
    });
    EXPECT_EQ(out.rfind("Assertion `main` failed.Location: src/GraphicsLibrary Line ", 0), 0u) << out;
    EXPECT_NE(out.find(": GraphicsLibrary hasn't been initialized yet!\n"), std::string::npos);
    size_t count = 0;
    for (size_t at = out.find("Assertion `main`"); at != std::string::npos; at = out.find("Assertion `main`", at + 1))
        ++count;
    EXPECT_EQ(count, 8u);
    TraceReset();
}

// ------------------------------------------------------------------------------------------ shipped data

// The game's own meshes, shaders, textures and font all load cleanly from the repository.
TEST(GraphicsShippedData, EverythingLoadsWithoutAReport)
{
    ASSERT_TRUE(OpenContext());
    const fs::path home = fs::current_path();
    fs::current_path(DUSTRUN_SOURCE_DIR);
    TraceReset();
    {
        GraphicsLibrary library;
        std::string out;
        ::testing::internal::CaptureStdout();
        std::vector<std::string> meshes, textures;
        for (const auto& entry : fs::directory_iterator("assets/data/meshes"))
            meshes.push_back(entry.path().stem().string());
        for (const auto& entry : fs::directory_iterator("assets/data/textures"))
            textures.push_back(entry.path().stem().string());
        for (const auto& name : meshes) {
            Mesh* mesh = GraphicsLibrary::GetMesh(name);
            ASSERT_NE(mesh, nullptr) << name;
            EXPECT_TRUE(mesh->shader->IsLinked()) << name;
        }
        for (const auto& name : textures) {
            Texture* texture = GraphicsLibrary::GetTexture(name, -1);
            ASSERT_NE(texture, nullptr) << name;
            EXPECT_NE(texture->id, 0u) << name;
            EXPECT_EQ(texture->channels, 4) << name;
            if (texture->numFrames > 0) {
                EXPECT_LE(texture->numFrames, texture->numRows * texture->numCols) << name;
            }
        }
        Font* font = GraphicsLibrary::GetFont("DejaVuSans");
        fflush(stdout);
        out = ::testing::internal::GetCapturedStdout();
        EXPECT_EQ(out, "");
        ASSERT_NE(font, nullptr);
        EXPECT_EQ(library.fonts.size(), 1u);
        EXPECT_GE(meshes.size(), 3u);
        EXPECT_GE(textures.size(), 1u);
    }
    fs::current_path(home);
}
