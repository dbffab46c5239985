#include "graphics/LightingSystem.h"

#include <glad/gl.h>

#include <algorithm>
#include <cmath>

#include "core/Matrix4f.h"
#include "core/Stream.h"
#include "core/Trace.h"
#include "core/Transform.h"
#include "core/Vector4f.h"
#include "graphics/GraphicsLibrary.h"
#include "graphics/Mesh.h"
#include "graphics/Shader.h"
#include "graphics/Window.h"

LightingSystem* LightingSystemInstance = nullptr;

void (*LevelCellRevealedHook)(int column, int row) = nullptr;
bool (*LevelGridSizeHook)(int& width, int& height) = nullptr;
int (*LevelGridCellHook)(int column, int row) = nullptr;

namespace {

using lua__Engine_vector_math::Vector2f;

// The root member of a settings document, or null when there is none.
const rapidjson::Value* Setting(const Stream& stream, const char* key)
{
    if (!stream.data.IsObject())
        return nullptr;
    auto it = stream.data.FindMember(key);
    return it == stream.data.MemberEnd() ? nullptr : &it->value;
}

void ReadIntSetting(const Stream& stream, const char* key, int& field)
{
    const rapidjson::Value* value = Setting(stream, key);
    if (!value)
        return;
    if (value->IsInt())
        field = value->GetInt();
    else
        Trace("LightingSystem: \"%s\" is not a whole number; keeping %d", key, field);
}

// Rounds half up: the whole part, plus one when the fraction is at least a half.
float RoundHalfUp(float value)
{
    const float whole = std::floor(value);
    return (value - whole >= 0.5f) ? whole + 1.0f : whole;
}

} // namespace

LightingSystem::LightingSystem()
{
    LightingSystemInstance = this;
}

LightingSystem::~LightingSystem()
{
    delete fogTransform;
    fogTransform = nullptr;
    grid.clear();
    Trace("Ping count: %i", pingCount);
    if (LightingSystemInstance == this)
        LightingSystemInstance = nullptr;
}

void LightingSystem::Init()
{
    fogMesh = GraphicsLibraryInstance ? GraphicsLibrary::GetMesh("empty_mesh") : nullptr;

    delete fogTransform;
    fogTransform = new Transform();
    fogTransform->SetTranslation(0.0f, 0.0f);
    fogTransform->SetRotation(0.0f);
    fogTransform->SetScale(50.0f, 50.0f);
    fogTransform->dirty = true;

    Stream settings("LightingSystem", StreamMode_Data, false);
    if (settings.IsValid()) {
        if (const rapidjson::Value* value = Setting(settings, "EnableLightingSystem")) {
            if (value->IsBool())
                enabled = value->GetBool() ? 1 : 0;
            else
                Trace("LightingSystem: \"EnableLightingSystem\" is not true or false; ignored");
        }
        if (const rapidjson::Value* value = Setting(settings, "GridSize")) {
            if (value->IsNumber())
                SetGridSize(static_cast<float>(value->GetDouble()));
            else
                Trace("LightingSystem: \"GridSize\" is not a number; keeping %g", static_cast<double>(gridSize));
        }
        ReadIntSetting(settings, "PlayerWalkRadius", playerWalkRadius);
        ReadIntSetting(settings, "PlayerPingRadius", playerPingRadius);
        ReadIntSetting(settings, "PlayerCollisionRadius", playerCollisionRadius);
        if (const rapidjson::Value* value = Setting(settings, "FogColor")) {
            if (value->IsArray() && value->Size() >= 4) {
                for (rapidjson::SizeType i = 0; i < 4; ++i) {
                    if ((*value)[i].IsNumber())
                        fogColor[i] = settings.ReadFogColor(i);
                    else
                        Trace("LightingSystem: \"FogColor\" element %u is not a number; ignored", i);
                }
            } else {
                Trace("LightingSystem: \"FogColor\" is not an array of 4 numbers; ignored");
            }
        }
    }

    if (!ResizeGrid(cols, rows)) {
        // The fields were changed to something unusable before Init; fall back to the defaults.
        cols = 0;
        rows = 0;
        ResizeGrid(1024, 1024);
    }
}

bool LightingSystem::ResizeGrid(int width, int height)
{
    if (width <= 0 || height <= 0 || width > MAX_GRID_SIDE || height > MAX_GRID_SIDE) {
        Trace("LightingSystem: a grid of %d x %d cells is refused; keeping %d x %d", width, height, cols, rows);
        return false;
    }
    grid.assign(static_cast<std::size_t>(height), std::vector<std::uint8_t>(static_cast<std::size_t>(width), 0));
    cols = width;
    rows = height;
    return true;
}

bool LightingSystem::SetGridSize(float size)
{
    if (!(size > 0.0f) || !std::isfinite(size)) {
        Trace("LightingSystem: grid size %g is refused; keeping %g", static_cast<double>(size),
              static_cast<double>(gridSize));
        return false;
    }
    gridSize = size;
    return true;
}

std::uint8_t LightingSystem::GetCell(int column, int row) const
{
    if (row < 0 || column < 0 || static_cast<std::size_t>(row) >= grid.size())
        return 0;
    const std::vector<std::uint8_t>& line = grid[static_cast<std::size_t>(row)];
    if (static_cast<std::size_t>(column) >= line.size())
        return 0;
    return line[static_cast<std::size_t>(column)];
}

void LightingSystem::SetCell(int column, int row, std::uint8_t value)
{
    if (row < 0 || column < 0 || static_cast<std::size_t>(row) >= grid.size())
        return;
    std::vector<std::uint8_t>& line = grid[static_cast<std::size_t>(row)];
    if (static_cast<std::size_t>(column) >= line.size())
        return;
    line[static_cast<std::size_t>(column)] = value;
}

int LightingSystem::CountRevealed() const
{
    int count = 0;
    for (const auto& line : grid)
        for (std::uint8_t cell : line)
            count += cell ? 1 : 0;
    return count;
}

Vector2f LightingSystem::WorldToCell(float x, float y) const
{
    const float size = gridSize > 0.0f ? gridSize : 0.125f;
    float cx = (x + originX) / size;
    float cy = (y + originY) / size;
    // A point that is not a number lands on cell 0.
    if (!(cx >= 0.0f))
        cx = 0.0f;
    else if (cx >= static_cast<float>(cols))
        cx = static_cast<float>(cols - 1);
    if (!(cy >= 0.0f))
        cy = 0.0f;
    else if (cy >= static_cast<float>(rows))
        cy = static_cast<float>(rows - 1);
    return Vector2f(RoundHalfUp(cx), RoundHalfUp(cy));
}

void LightingSystem::RevealCircle(float x, float y, int radius)
{
    const float w = static_cast<float>(radius) * gridSize;
    const Vector2f a = WorldToCell(x - w, y - w);
    const Vector2f b = WorldToCell(x + w, y + w);
    const float centreColumn = (a.X + b.X) / 2.0f;
    const float centreRow = (a.Y + b.Y) / 2.0f;
    const float limit = static_cast<float>(radius) * static_cast<float>(radius);
    const int firstColumn = static_cast<int>(a.X);
    const int lastColumn = static_cast<int>(b.X);
    const int firstRow = static_cast<int>(a.Y);
    const int lastRow = static_cast<int>(b.Y);
    for (int i = firstColumn; i <= lastColumn; ++i) {
        if (i < 0 || i >= cols)
            continue;
        for (int j = firstRow; j <= lastRow; ++j) {
            if (j < 0 || j >= rows)
                continue;
            const float dx = static_cast<float>(i) - centreColumn;
            const float dy = static_cast<float>(j) - centreRow;
            if (dx * dx + dy * dy <= limit) {
                SetCell(i, j, 1);
                if (LevelCellRevealedHook)
                    LevelCellRevealedHook(i, j);
            }
        }
    }
}

void LightingSystem::LoadLevelGrid()
{
    int width = 0;
    int height = 0;
    if (!LevelGridSizeHook || !LevelGridCellHook || !LevelGridSizeHook(width, height))
        return;
    for (int j = 0; j < rows && j < height; ++j) {
        for (int i = 0; i < cols && i < width; ++i)
            SetCell(i, j, LevelGridCellHook(i, j));
    }
}

void LightingSystem::DrawFog()
{
    if (!enabled || !fogMesh || !fogMesh->shader || !fogTransform)
        return;
    Mesh* mesh = fogMesh;
    const GLuint program = mesh->shader->program;

    // Stamps: every revealed cell writes 1 into the stencil and nothing into the colour.
    glEnable(GL_STENCIL_TEST);
    glStencilFunc(GL_ALWAYS, 1, 1);
    glStencilMask(0xFF);
    glStencilOp(GL_REPLACE, GL_REPLACE, GL_REPLACE);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);
    glUseProgram(program);
    if (mesh->fogTransparencyLocation != -1)
        glUniform1f(mesh->fogTransparencyLocation, 1.0f);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glBlendFunc(GL_ONE, GL_ONE);

    const float white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    glUniform4fv(mesh->colorLocation, 1, white);
    const Matrix4f device = GetProjectionMatrix();
    glUniformMatrix4fv(mesh->deviceLocation, 1, GL_FALSE, device.m);
    const Matrix4f camera = CameraList.empty() ? Matrix4f::Identity() : Matrix4f(CameraList[0].matrix);
    const Matrix4f view = Matrix4f::Inverse(camera);
    glUniformMatrix4fv(mesh->viewLocation, 1, GL_FALSE, view.m);
    glUniform1f(mesh->globalAlphaLocation, 1.0f);

    if (batched)
        StampCellsBatched();
    else
        StampCellsOneByOne();

    // The fog, wherever no stamp was made.
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glStencilFunc(GL_NOTEQUAL, 1, 1);
    glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glUseProgram(program);
    if (mesh->fogTransparencyLocation != -1)
        glUniform1f(mesh->fogTransparencyLocation, 0.0f);
    glUniform4fv(mesh->colorLocation, 1, fogColor);
    const Matrix4f identity;
    glUniformMatrix4fv(mesh->viewLocation, 1, GL_FALSE, identity.m);
    glUniformMatrix4fv(mesh->deviceLocation, 1, GL_FALSE, identity.m);
    const Matrix4f fogModel = fogTransform->GetWorldMatrix();
    glUniformMatrix4fv(mesh->modelLocation, 1, GL_FALSE, fogModel.m);
    // An opaque fog replaces what lies under it: blending would give the same colours at the cost of
    // reading every pixel back.
    const bool skipBlend = batched && fogColor[3] >= 1.0f && glIsEnabled(GL_BLEND);
    if (skipBlend)
        glDisable(GL_BLEND);
    mesh->Draw(DRAW_FACES);
    if (skipBlend)
        glEnable(GL_BLEND);

    glDisable(GL_STENCIL_TEST);
}

void LightingSystem::StampCellsOneByOne()
{
    Mesh* mesh = fogMesh;
    const GLuint program = mesh->shader->program;
    const float width = static_cast<float>(WindowWidth);
    const float height = static_cast<float>(WindowHeight);
    const Matrix4f cellScale = Matrix4f::Scale(gridSize, gridSize, 1.0f);
    for (int j = 0; j < rows && static_cast<std::size_t>(j) < grid.size(); ++j) {
        const std::vector<std::uint8_t>& line = grid[static_cast<std::size_t>(j)];
        for (int i = 0; i < cols && static_cast<std::size_t>(i) < line.size(); ++i) {
            if (!line[static_cast<std::size_t>(i)])
                continue;
            const float px = static_cast<float>(i) * gridSize - originX;
            const float py = static_cast<float>(j) * gridSize - originY;
            const Vector4f s = WorldToScreen(Vector4f(px, py, 0.0f, 1.0f));
            if (s.x < -50.0f || s.x > width + 50.0f || s.y < -50.0f || s.y > height + 50.0f)
                continue;
            const Matrix4f model = Matrix4f::Translation(px, py, 0.0f) * cellScale;
            // Drawing leaves no program in use.
            glUseProgram(program);
            glUniformMatrix4fv(mesh->modelLocation, 1, GL_FALSE, model.m);
            mesh->Draw(DRAW_FACES);
        }
    }
}

void LightingSystem::StampCellsBatched()
{
    // Cells whose centre lies more than 50 pixels beyond the left, right or bottom edge, or more than
    // 20 above the top (screen positions are lifted by 30 pixels), are not stamped one by one. Their
    // stamps can't reach into the window while a stamp spans less than 50 pixels each side of its
    // centre across and 20 up and down, so then the buffer holds every revealed cell and depends on
    // the grid alone. Larger stamps (or a camera that is not affine) are culled as one by one.
    bool cull = true;
    const Matrix4f camera = CameraList.empty() ? Matrix4f::Identity() : Matrix4f(CameraList[0].matrix);
    if (camera.m[3] == 0.0f && camera.m[7] == 0.0f && camera.m[11] == 0.0f && camera.m[15] == 1.0f) {
        const Vector4f a = WorldToScreen(Vector4f(0.0f, 0.0f, 0.0f, 1.0f));
        const Vector4f b = WorldToScreen(Vector4f(gridSize, 0.0f, 0.0f, 1.0f));
        const Vector4f c = WorldToScreen(Vector4f(0.0f, gridSize, 0.0f, 1.0f));
        const float across = std::fabs(b.x - a.x) + std::fabs(c.x - a.x);
        const float upDown = std::fabs(b.y - a.y) + std::fabs(c.y - a.y);
        cull = !(across < 49.0f && upDown < 19.0f);
    }
    if (cull) {
        BuildStamps(true);
    } else if (!stampsValid || stampedOriginX != originX || stampedOriginY != originY ||
               stampedGridSize != gridSize || stampedGrid != grid) {
        BuildStamps(false);
        stampedGrid = grid;
        stampedOriginX = originX;
        stampedOriginY = originY;
        stampedGridSize = gridSize;
        stampsValid = true;
    }
    stamps.Upload();
    const Matrix4f identity;
    glUniformMatrix4fv(fogMesh->modelLocation, 1, GL_FALSE, identity.m);
    stamps.Draw();
}

void LightingSystem::BuildStamps(bool cull)
{
    stamps.Clear();
    stampsValid = false;
    const float width = static_cast<float>(WindowWidth);
    const float height = static_cast<float>(WindowHeight);
    const float size = gridSize;
    // A run of stamped cells in a row, and the first row of the rectangle it grows downwards while
    // the next rows hold the same run.
    struct Run {
        int first, last, top;
    };
    std::vector<Run> open;
    std::vector<Run> runs;
    std::vector<Run> next;
    const auto emit = [&](const Run& run, int bottom) {
        const float x0 = static_cast<float>(run.first) * size - originX;
        const float x1 = static_cast<float>(run.last) * size - originX;
        const float y0 = static_cast<float>(run.top) * size - originY;
        const float y1 = static_cast<float>(bottom) * size - originY;
        stamps.AddQuad(x0 - size, y0 - size, x1 + size, y1 + size);
    };
    int row = 0;
    for (; row < rows && static_cast<std::size_t>(row) < grid.size(); ++row) {
        const std::vector<std::uint8_t>& line = grid[static_cast<std::size_t>(row)];
        runs.clear();
        const int count = std::min(cols, static_cast<int>(line.size()));
        for (int i = 0; i < count; ++i) {
            bool stamped = line[static_cast<std::size_t>(i)] != 0;
            if (stamped && cull) {
                const float px = static_cast<float>(i) * size - originX;
                const float py = static_cast<float>(row) * size - originY;
                const Vector4f s = WorldToScreen(Vector4f(px, py, 0.0f, 1.0f));
                stamped = !(s.x < -50.0f || s.x > width + 50.0f || s.y < -50.0f || s.y > height + 50.0f);
            }
            if (!stamped)
                continue;
            if (!runs.empty() && runs.back().last == i - 1)
                runs.back().last = i;
            else
                runs.push_back(Run{i, i, row});
        }
        // Runs equal to one of the row above extend its rectangle; the others close.
        next.clear();
        std::size_t k = 0;
        for (Run run : runs) {
            while (k < open.size() && open[k].first < run.first)
                emit(open[k++], row - 1);
            if (k < open.size() && open[k].first == run.first && open[k].last == run.last)
                run.top = open[k++].top;
            next.push_back(run);
        }
        while (k < open.size())
            emit(open[k++], row - 1);
        open.swap(next);
    }
    for (const Run& run : open)
        emit(run, row - 1);
}

void LightingSystemDrawFog()
{
    if (LightingSystemInstance)
        LightingSystemInstance->DrawFog();
}
