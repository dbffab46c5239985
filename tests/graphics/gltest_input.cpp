// A real key press, mouse click and cursor move, sent to a GLFW window through the X server with
// xdotool, reach the InputManager polling GLFW. Runs under Xvfb.
#include <gtest/gtest.h>

#include <GLFW/glfw3.h>


#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

#include "GlFrame.h"
#include "PrivateDisplay.h"
#include "graphics/InputManager.h"

using namespace testsupport;

namespace {

// Other GL tests may run at the same time on the shared display, and X sends keys to whichever
// window has the focus.
const bool privateDisplay = UsePrivateDisplay("1280x720x24");

class InputX11Test : public ::testing::Test {
protected:
    static constexpr const char* TITLE = "DustrunInputKeyTest";

    void SetUp() override
    {
        if (!HaveDisplay())
            GTEST_SKIP() << "no X display";
        if (std::system("command -v xdotool >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "xdotool is not installed";
        window = OpenGlWindow(640, 480, TITLE, false);
        ASSERT_NE(window, nullptr);
        glfwSetWindowPos(window, 0, 0);
        glfwShowWindow(window);
        for (int i = 0; i < 20; ++i) {
            glfwPollEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        windowId = RunCommand(std::string("xdotool search --sync --name '^") + TITLE + "$' | head -n 1");
        ASSERT_FALSE(windowId.empty()) << "xdotool did not find the window";
        Xdo("windowfocus --sync " + windowId);

        SetDefaultKeySource(nullptr);  // the real GLFW source
        input = new InputManager();
        input->Init();
    }

    void TearDown() override
    {
        if (window)
            Xdo("keyup slash keyup w keyup Escape");
        delete input;
        input = nullptr;
        if (window)
            glfwDestroyWindow(window);
        window = nullptr;
        glfwTerminate();
    }

    void Xdo(const std::string& args)
    {
        ASSERT_EQ(std::system(("xdotool " + args).c_str()), 0) << args;
    }

    // Polls events and updates the input manager until done() holds (or about five seconds pass).
    bool PollUntil(const std::function<bool()>& done)
    {
        for (int i = 0; i < 500; ++i) {
            glfwPollEvents();
            input->Update(1.0f / 60.0f);
            if (done())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    GLFWwindow* window = nullptr;
    std::string windowId;
    InputManager* input = nullptr;
};

TEST_F(InputX11Test, RealKeyPressReachesTheGame)
{
    input->Update(0.0f);
    EXPECT_FALSE(input->IsKeyDown(KEY_W));

    Xdo("keydown w");
    ASSERT_TRUE(PollUntil([&] { return input->IsKeyDown(KEY_W); })) << "W never read as down";
    EXPECT_TRUE(InputManager::IsActionDown(input->bindings[0], ACTION_UP));
    EXPECT_TRUE(InputManager::IsActionDown(input->bindings[1], ACTION_UP));
    EXPECT_FALSE(InputManager::IsActionDown(input->bindings[0], ACTION_DOWN));

    Xdo("keyup w");
    ASSERT_TRUE(PollUntil([&] { return !input->IsKeyDown(KEY_W); }));
    EXPECT_TRUE(InputManager::IsActionReleased(ACTION_UP));
    input->Update(0.0f);
    EXPECT_FALSE(InputManager::IsActionReleased(ACTION_UP));
}

TEST_F(InputX11Test, AKeyTapAndAClickWithinOneFrameActOnce)
{
    // The callbacks the game's window installs.
    glfwSetKeyCallback(window, InputKeyCallback);
    glfwSetMouseButtonCallback(window, InputMouseButtonCallback);
    Xdo("mousemove --window " + windowId + " 100 50");
    ASSERT_TRUE(PollUntil([&] { return input->cursorX == 100.0f && input->cursorY == 50.0f; }));
    // Press and release both reach GLFW before the next poll, as a quick tap between two frames does.
    Xdo("key space click 1");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    glfwPollEvents();
    EXPECT_EQ(glfwGetKey(window, GLFW_KEY_SPACE), GLFW_RELEASE);
    input->Update(1.0f / 60.0f);
    EXPECT_TRUE(InputManager::IsActionTriggered(ACTION_INTERACT));
    EXPECT_TRUE(input->IsKeyTriggered(KEY_MOUSE_LEFT));
    input->Update(1.0f / 60.0f);
    EXPECT_TRUE(InputManager::IsActionReleased(ACTION_INTERACT));
    EXPECT_TRUE(input->IsKeyReleased(KEY_MOUSE_LEFT));
    input->Update(1.0f / 60.0f);
    EXPECT_FALSE(input->IsKeyDown(KEY_SPACE) || input->IsKeyDown(KEY_MOUSE_LEFT));
}

TEST_F(InputX11Test, SlashAndEscapeAskToClose)
{
    Xdo("keydown Escape");
    ASSERT_TRUE(PollUntil([&] { return input->IsKeyDown(KEY_ESCAPE); }));
    EXPECT_FALSE(InputManager::IsDebugCloseRequested()) << "Escape alone must not close";

    Xdo("keydown slash");
    ASSERT_TRUE(PollUntil([&] { return input->IsKeyDown(KEY_SLASH); }));
    EXPECT_EQ(input->current[5], 1);
    EXPECT_TRUE(InputManager::IsDebugCloseRequested());
    Xdo("keyup Escape keyup slash");
    ASSERT_TRUE(PollUntil([&] { return !input->IsKeyDown(KEY_SLASH) && !input->IsKeyDown(KEY_ESCAPE); }));
    EXPECT_FALSE(InputManager::IsDebugCloseRequested());
}

TEST_F(InputX11Test, MouseButtonsAndCursor)
{
    Xdo("mousemove --window " + windowId + " 100 50");
    ASSERT_TRUE(PollUntil([&] { return input->cursorX == 100.0f && input->cursorY == 50.0f; }))
        << input->cursorX << ", " << input->cursorY;
    Xdo("mousemove --window " + windowId + " 110 46");
    // The move may be seen in one poll or spread over several; the deltas add up either way.
    float sumDX = 0.0f, sumDY = 0.0f;
    ASSERT_TRUE(PollUntil([&] {
        sumDX += input->cursorDX;
        sumDY += input->cursorDY;
        return input->cursorX == 110.0f && input->cursorY == 46.0f;
    }));
    EXPECT_FLOAT_EQ(sumDX, 10.0f);
    EXPECT_FLOAT_EQ(sumDY, -4.0f);

    Xdo("mousedown 3");
    ASSERT_TRUE(PollUntil([&] { return input->IsKeyDown(KEY_MOUSE_RIGHT); }));
    EXPECT_FALSE(input->IsKeyDown(KEY_MOUSE_LEFT));
    Xdo("mouseup 3");
    ASSERT_TRUE(PollUntil([&] { return !input->IsKeyDown(KEY_MOUSE_RIGHT); }));
    Xdo("mousedown 1");
    ASSERT_TRUE(PollUntil([&] { return input->IsKeyDown(KEY_MOUSE_LEFT); }));
    Xdo("mouseup 1");
    ASSERT_TRUE(PollUntil([&] { return !input->IsKeyDown(KEY_MOUSE_LEFT); }));
}

} // namespace
