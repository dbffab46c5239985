#pragma once
// Shared set-up of the graphics tests: one hidden GLFW window with a 3.3 core context for the whole
// test program, an off-screen framebuffer to draw into and read back, and a scratch folder with its
// own assets tree (the game's shaders, meshes and fonts copied in) that each test works in.
#include <glad/gl.h>
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "stb_image_write.h"

#include "GraphicsLibrary.h"
#include "Trace.h"

namespace gfxtest {

namespace fs = std::filesystem;

inline GLFWwindow* g_window = nullptr;

// Opens the context once; returns false when no display or no OpenGL 3.3 is available.
inline bool OpenContext()
{
    if (g_window)
        return true;
    if (!glfwInit())
        return false;
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    glfwWindowHint(GLFW_OPENGL_FORWARD_COMPAT, GLFW_TRUE);
    glfwWindowHint(GLFW_STENCIL_BITS, 8);
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    g_window = glfwCreateWindow(64, 64, "graphics test", nullptr, nullptr);
    if (!g_window)
        return false;
    glfwMakeContextCurrent(g_window);
    return gladLoadGL(glfwGetProcAddress) != 0;
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

inline void WriteFile(const fs::path& path, const std::string& text)
{
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out << text;
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
        home = fs::current_path();
        scratch = fs::temp_directory_path() /
                  ("dustrun_gfx_" + std::to_string(::getpid()) + "_" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(scratch);
        fs::create_directories(scratch / "assets/data/textures");
        fs::create_directories(scratch / "assets/textures");
        const fs::path repo = DUSTRUN_SOURCE_DIR;
        for (const char* folder : {"assets/data/shaders", "assets/data/meshes", "assets/data/fonts", "assets/fonts"})
            fs::copy(repo / folder, scratch / folder, fs::copy_options::recursive);
        fs::current_path(scratch);
        TraceReset();
        library = new GraphicsLibrary();
    }

    void TearDown() override
    {
        delete library;
        library = nullptr;
        if (!home.empty())
            fs::current_path(home);
        std::error_code ec;
        fs::remove_all(scratch, ec);
    }

    // Runs f and returns what it printed to the console (trace lines end in "\n").
    template <typename F>
    static std::string Console(F f)
    {
        fflush(stdout);
        ::testing::internal::CaptureStdout();
        f();
        fflush(stdout);
        return ::testing::internal::GetCapturedStdout();
    }

    static inline bool contextReady = false;
    GraphicsLibrary* library = nullptr;
    fs::path home;
    fs::path scratch;
};

} // namespace gfxtest
