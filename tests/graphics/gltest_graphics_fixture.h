#pragma once
// Shared set-up of the graphics tests: one hidden GLFW window with a 3.3 core context for the whole
// test program, an off-screen framebuffer to draw into and read back, and a scratch folder with its
// own assets tree (the game's shaders, meshes and fonts copied in) that each test works in.
#include <glad/gl.h>
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "stb_image_write.h"

#include "GlFrame.h"
#include "graphics/GraphicsLibrary.h"
#include "TestFiles.h"
#include "core/Trace.h"

namespace gfxtest {

namespace fs = std::filesystem;
using testsupport::CaptureConsole;
using testsupport::ReadFile;
using testsupport::ScratchDir;
using testsupport::WriteFile;

inline GLFWwindow* g_window = nullptr;

// Opens the context once; returns false when no display or no OpenGL 3.3 is available.
inline bool OpenContext()
{
    if (g_window)
        return true;
    g_window = testsupport::OpenGlWindow(64, 64, "graphics test", false);
    return g_window != nullptr;
}

// An off-screen colour + depth/stencil target of the given size, bound while it lives.
class Target {
public:
    Target(int w, int h) : width(w), height(h)
    {
        glGenFramebuffers(1, &fbo);
        glBindFramebuffer(GL_FRAMEBUFFER, fbo);
        glGenRenderbuffers(1, &colour);
        glBindRenderbuffer(GL_RENDERBUFFER, colour);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, w, h);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
        glGenRenderbuffers(1, &depth);
        glBindRenderbuffer(GL_RENDERBUFFER, depth);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, w, h);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depth);
        glViewport(0, 0, w, h);
    }
    ~Target()
    {
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glDeleteRenderbuffers(1, &colour);
        glDeleteRenderbuffers(1, &depth);
        glDeleteFramebuffers(1, &fbo);
    }
    bool Complete() const { return glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE; }
    void Clear(float r, float g, float b, float a)
    {
        glClearColor(r, g, b, a);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    }
    // Pixel (x, y) with y counted from the top of the picture.
    std::vector<unsigned char> Pixel(int x, int y) const
    {
        std::vector<unsigned char> rgba(4);
        glReadPixels(x, height - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        return rgba;
    }
    // All pixels, bottom row first.
    std::vector<unsigned char> All() const
    {
        std::vector<unsigned char> rgba(static_cast<size_t>(width * height * 4));
        glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        return rgba;
    }
    int width, height;

private:
    GLuint fbo = 0, colour = 0, depth = 0;
};

inline std::vector<unsigned char> Rgba(int r, int g, int b, int a = 255)
{
    return {static_cast<unsigned char>(r), static_cast<unsigned char>(g), static_cast<unsigned char>(b),
            static_cast<unsigned char>(a)};
}

// A PNG of w x h pixels given top row first, 3 or 4 channels.
inline void WritePng(const fs::path& path, int w, int h, int channels, const std::vector<unsigned char>& pixels)
{
    fs::create_directories(path.parent_path());
    stbi_write_png(path.string().c_str(), w, h, channels, pixels.data(), w * channels);
}

// Each test runs in a scratch folder holding a copy of the game's shaders, meshes and fonts.
class GraphicsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { contextReady = OpenContext(); }

    void SetUp() override
    {
        ASSERT_TRUE(contextReady) << "no OpenGL 3.3 context (run under xvfb-run)";
        scratch.Enter();
        fs::create_directories(scratch / "assets/data/textures");
        fs::create_directories(scratch / "assets/textures");
        for (const char* folder : {"assets/data/shaders", "assets/data/meshes", "assets/data/fonts", "assets/fonts"})
            scratch.CopyFromRepo(folder);
        TraceReset();
        library = new GraphicsLibrary();
    }

    void TearDown() override
    {
        delete library;
        library = nullptr;
    }

    static inline bool contextReady = false;
    GraphicsLibrary* library = nullptr;
    ScratchDir scratch{"gfx"};
};

} // namespace gfxtest
