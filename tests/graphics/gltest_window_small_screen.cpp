// On a screen smaller than 1920 x 1080 the fullscreen window takes the screen's size, so the whole
// frame is on screen: the far corner of the framebuffer is drawn.
#include <gtest/gtest.h>

#include <glad/gl.h>
#include <GLFW/glfw3.h>

#include "PrivateDisplay.h"
#include "graphics/Window.h"

using namespace testsupport;

namespace {

const bool privateDisplay = UsePrivateDisplay("1280x720x24");

TEST(SmallScreen, FullscreenTakesTheScreenSize)
{
    Window window;
    ASSERT_TRUE(window.IsReady());
    EXPECT_EQ(WindowWidth, 1280);
    EXPECT_EQ(WindowHeight, 720);
    int width = 0, height = 0;
    glfwGetFramebufferSize(window.window, &width, &height);
    EXPECT_EQ(width, 1280);
    EXPECT_EQ(height, 720);
    ASSERT_FALSE(ViewportList.empty());
    EXPECT_FLOAT_EQ(ViewportList[0].width, 1280.0f);
    EXPECT_FLOAT_EQ(ViewportList[0].height, 720.0f);
}

} // namespace
