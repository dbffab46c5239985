#include "GlFrame.h"

#include <glad/gl.h>
#include <GLFW/glfw3.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "graphics/Window.h"

namespace testsupport {

namespace {

std::vector<unsigned char> captured;
int capturedWidth = 0;
int capturedHeight = 0;

} // namespace

void CaptureFrame()
{
    capturedWidth = WindowWidth;
    capturedHeight = WindowHeight;
    captured.assign(static_cast<std::size_t>(capturedWidth) * static_cast<std::size_t>(capturedHeight) * 4, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, capturedWidth, capturedHeight, GL_RGBA, GL_UNSIGNED_BYTE, captured.data());
}

void ForgetFrame()
{
    captured.clear();
}

void ClearToBlack()
{
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    ForgetFrame();
}

bool HaveFrame()
{
    return !captured.empty();
}

Pixel At(int x, int y)
{
    Pixel p;
    const int row = capturedHeight - 1 - y;
    if (captured.empty() || x < 0 || y < 0 || x >= capturedWidth || row < 0)
        return p;
    const std::size_t i =
        (static_cast<std::size_t>(row) * static_cast<std::size_t>(capturedWidth) + static_cast<std::size_t>(x)) * 4;
    p.r = captured[i];
    p.g = captured[i + 1];
    p.b = captured[i + 2];
    return p;
}

::testing::AssertionResult IsColour(Pixel p, int r, int g, int b, int tolerance)
{
    if (std::abs(p.r - r) <= tolerance && std::abs(p.g - g) <= tolerance && std::abs(p.b - b) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "pixel " << p << " is not (" << r << ", " << g << ", " << b << ")";
}

Window* OpenWindow()
{
    for (int attempt = 0; attempt < 4; ++attempt) {
        Window* window = new Window();
        if (window->IsReady())
            return window;
        delete window;
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
    return nullptr;
}

GLFWwindow* OpenGlWindow(int width, int height, const char* title, bool visible)
{
    if (!glfwInit())
        return nullptr;
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    glfwWindowHint(GLFW_OPENGL_FORWARD_COMPAT, GLFW_TRUE);
    glfwWindowHint(GLFW_STENCIL_BITS, 8);
    glfwWindowHint(GLFW_VISIBLE, visible ? GLFW_TRUE : GLFW_FALSE);
    GLFWwindow* window = glfwCreateWindow(width, height, title, nullptr, nullptr);
    if (!window)
        return nullptr;
    glfwMakeContextCurrent(window);
    if (gladLoadGL(glfwGetProcAddress) == 0) {
        glfwDestroyWindow(window);
        return nullptr;
    }
    return window;
}

} // namespace testsupport
