#pragma once
// Helpers of the tests that draw under Xvfb: a hidden OpenGL 3.3 core window, the game window opened
// with retries, and the frame read back just before the swap (CaptureFrame as the window's fog hook).
#include <gtest/gtest.h>

#include <ostream>

#include "TestFiles.h"

struct GLFWwindow;
class Window;

namespace testsupport {

struct Pixel {
    int r = 0, g = 0, b = 0;
    bool operator==(const Pixel& o) const { return r == o.r && g == o.g && b == o.b; }
};

inline std::ostream& operator<<(std::ostream& out, const Pixel& p)
{
    return out << "(" << p.r << ", " << p.g << ", " << p.b << ")";
}

// Reads the whole window back; set it as WindowDrawFogHook to grab each rendered frame.
void CaptureFrame();
// Drops the frame read last.
void ForgetFrame();
// Clears the whole frame (colour, depth and stencil) to opaque black and drops the frame read last.
void ClearToBlack();
bool HaveFrame();
// Pixel of the frame read last, x right and y down from the top-left corner (black outside it).
Pixel At(int x, int y);

::testing::AssertionResult IsColour(Pixel p, int r, int g, int b, int tolerance = 3);

// The game window, retried a few times because the X server now and then refuses a connection made
// right after the last one closed. Null when none could be opened.
Window* OpenWindow();

// A GLFW window with an OpenGL 3.3 core context made current and glad loaded; null on failure.
GLFWwindow* OpenGlWindow(int width, int height, const char* title, bool visible);

} // namespace testsupport
