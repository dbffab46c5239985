// The game program end to end under Xvfb: start-up order, the Escape rule with real key presses,
// stopping on signals, and starting without a display.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "PrivateDisplay.h"
#include "TestFiles.h"

using namespace testsupport;

namespace {

const char* const GAME = DUSTRUN_GAME_EXE;
const char* const TITLE = "Pemmet's Dustrun";

// One run of the game program in its own folder, with its own save directory.
class GameProcess {
public:
    // Runs in workingDir; the output and the save directory go to outputDir.
    GameProcess(const std::string& exe, const fs::path& workingDir, const fs::path& outputDir, bool withDisplay)
        : output_(outputDir / "stdout.txt"), save_(outputDir / "save")
    {
        fs::create_directories(save_);
        pid_ = fork();
        if (pid_ == 0) {
            if (chdir(workingDir.c_str()) != 0)
                _exit(126);
            const int fd = open(output_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd >= 0) {
                dup2(fd, 1);
                dup2(fd, 2);
                close(fd);
            }
            setenv("APPDATA", save_.c_str(), 1);
            if (!withDisplay)
                unsetenv("DISPLAY");
            execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    ~GameProcess()
    {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }

    // The exit status, or -1 when the program is still running after the timeout.
    int Wait(double seconds)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < end) {
            int status = 0;
            const pid_t done = waitpid(pid_, &status, WNOHANG);
            if (done == pid_) {
                exited_ = true;
                if (WIFEXITED(status))
                    return WEXITSTATUS(status);
                return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return -1;
    }

    bool Running()
    {
        if (exited_)
            return false;
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            exited_ = true;
            return false;
        }
        return true;
    }

    // Waits until the output holds the text.
    bool WaitForOutput(const std::string& text, double seconds)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < end) {
            if (Output().find(text) != std::string::npos)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    void Signal(int signal) { kill(pid_, signal); }
    pid_t Pid() const { return pid_; }
    std::string Output() const { return ReadFile(output_); }
    std::string TraceLog() const { return ReadFile(save_ / "Quorvex" / "PemmetsDustrun" / "trace" / "trace.log"); }

private:
    fs::path output_;
    fs::path save_;
    pid_t pid_ = -1;
    bool exited_ = false;
};

class GameRunTest : public ::testing::Test {
protected:
    void WriteMain(const std::string& json)
    {
        WriteFile(folder / "assets" / "data" / "main.json", json);
    }

    ScratchDir scratch{"game"};
    const fs::path& folder = scratch.root;
};

// Lines of text in the order they appear, each after the previous one.
::testing::AssertionResult InOrder(const std::string& text, const std::vector<std::string>& lines)
{
    std::size_t at = 0;
    for (const std::string& line : lines) {
        const std::size_t found = text.find(line, at);
        if (found == std::string::npos)
            return ::testing::AssertionFailure() << "\"" << line << "\" not found in order in:\n" << text;
        at = found + line.size();
    }
    return ::testing::AssertionSuccess();
}

TEST_F(GameRunTest, NoDisplayReportsAndExitsWithStatusOne)
{
    GameProcess game(GAME, ShippedGameFolder(), folder, false);
    const int status = game.Wait(20.0);
    EXPECT_EQ(status, 1);
    const std::string out = game.Output();
    EXPECT_NE(out.find("Assertion `false` failed.Location: src/Window Line "), std::string::npos) << out;
    EXPECT_NE(out.find(": Failed to create GLFW window: "), std::string::npos) << out;
    EXPECT_NE(out.find("Trace log ended..."), std::string::npos) << out;
    // No system was made.
    EXPECT_EQ(out.find("Adding "), std::string::npos) << out;
}

TEST_F(GameRunTest, StartUpOrderFromTheListedSystems)
{
    if (!HaveDisplay())
        GTEST_SKIP() << "no X display";
    WriteMain(R"({ "numSystems": 7, "Systems": ["MessageSystem", "NoSuchSystem", 12, "InputManager"] })");
    GameProcess game(GAME, folder, folder, true);
    ASSERT_TRUE(game.WaitForOutput("Initializing EditorSystem...", 20.0)) << game.Output();
    game.Signal(SIGTERM);
    EXPECT_EQ(game.Wait(20.0), 0);
    const std::string log = game.TraceLog();
    EXPECT_TRUE(InOrder(log, {"Window Dimensions: (1920, 1080)", "Adding MessageSystem...", "Adding NoSuchSystem...",
                              "Adding InputManager...", "Adding EditorSystem...", "Initializing MessageSystem...",
                              "Initializing InputSystem...", "Initializing EditorSystem..."}));
    // Unknown names add nothing, so nothing is initialised for them.
    EXPECT_EQ(log.find("Initializing NoSuchSystem"), std::string::npos) << log;
    EXPECT_EQ(log.find("Assertion"), std::string::npos) << log;
}

TEST_F(GameRunTest, MissingMainFileIsReportedAndTheGameStillRuns)
{
    if (!HaveDisplay())
        GTEST_SKIP() << "no X display";
    // A copy of the program in a folder with no data anywhere above it.
    const fs::path exe = folder / "PemmetsDustrun";
    fs::copy_file(GAME, exe);
    GameProcess game(exe.string(), folder, folder, true);
    ASSERT_TRUE(game.WaitForOutput("Initializing EditorSystem...", 20.0)) << game.Output();
    EXPECT_TRUE(game.Running());
    game.Signal(SIGINT);
    EXPECT_EQ(game.Wait(20.0), 0);
    const std::string out = game.Output();
    EXPECT_TRUE(InOrder(out, {"Assertion `systems->IsValid()` failed.Location: src/main Line 62: File "
                              "\"assets/data/main.json\" not found!",
                              "Trace log ended...", "Adding EditorSystem...", "Initializing EditorSystem..."}));
    // The log stops at the report.
    const std::string log = game.TraceLog();
    EXPECT_NE(log.find("not found!"), std::string::npos) << log;
    EXPECT_EQ(log.find("Adding EditorSystem"), std::string::npos) << log;
}

TEST_F(GameRunTest, DataBesideTheProgramIsFoundFromAnotherFolder)
{
    if (!HaveDisplay())
        GTEST_SKIP() << "no X display";
    // Started in an empty folder: the data is found above the program's own folder. The program is a
    // copy placed below a copy of the data, so the game never writes into the repository's.
    const fs::path program = ShippedGameFolder() / "bin" / "PemmetsDustrun";
    fs::create_directories(program.parent_path());
    fs::copy_file(GAME, program, fs::copy_options::overwrite_existing);
    GameProcess game(program.string(), folder, folder, true);
    ASSERT_TRUE(game.WaitForOutput("Initializing EditorSystem...", 20.0)) << game.Output();
    game.Signal(SIGTERM);
    EXPECT_EQ(game.Wait(20.0), 0);
    const std::string out = game.Output();
    EXPECT_NE(out.find("Adding MessageSystem..."), std::string::npos) << out;
    EXPECT_EQ(out.find("not found!"), std::string::npos) << out;
}

TEST_F(GameRunTest, TermSignalStopsInOrderWithStatusZero)
{
    if (!HaveDisplay())
        GTEST_SKIP() << "no X display";
    GameProcess game(GAME, ShippedGameFolder(), folder, true);
    ASSERT_TRUE(game.WaitForOutput("Initializing EditorSystem...", 20.0)) << game.Output();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    game.Signal(SIGTERM);
    EXPECT_EQ(game.Wait(20.0), 0) << game.Output();
}

// The key test needs the keyboard focus, which other GL tests on a shared display can take.
const bool privateDisplay = UsePrivateDisplay("1920x1080x24");

class GameKeysTest : public GameRunTest {
protected:
    void SetUp() override
    {
        GameRunTest::SetUp();
        if (!HaveDisplay())
            GTEST_SKIP() << "no X display";
        if (std::system("command -v xdotool >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "xdotool is not installed";
    }
    void TearDown() override
    {
        std::system("xdotool keyup slash keyup Escape >/dev/null 2>&1");
        GameRunTest::TearDown();
    }

    // Focuses the game's window and sends xdotool commands to it.
    bool Keys(const std::string& windowId, const std::string& keys)
    {
        std::system(("xdotool windowfocus --sync " + windowId + " >/dev/null 2>&1").c_str());
        return std::system(("xdotool " + keys).c_str()) == 0;
    }

    // The game's own window (other runs of the game may share the display).
    std::string FindWindow(pid_t pid)
    {
        return RunCommand("timeout 20 xdotool search --sync --all --pid " + std::to_string(pid) + " --name \"^" +
                          TITLE + "$\" | head -n 1");
    }
};

TEST_F(GameKeysTest, EscapeAloneKeepsRunningSlashWithEscapeEndsWithStatusZero)
{
    GameProcess game(GAME, ShippedGameFolder(), folder, true);
    ASSERT_TRUE(game.WaitForOutput("Initializing EditorSystem...", 20.0)) << game.Output();
    const std::string windowId = FindWindow(game.Pid());
    ASSERT_FALSE(windowId.empty()) << "the game window was not found";

    ASSERT_TRUE(Keys(windowId, "keydown Escape"));
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    ASSERT_TRUE(Keys(windowId, "keyup Escape"));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(game.Running()) << "Escape alone closed the game";

    // Other windows on the same display may take the focus: a few tries, each focusing the game first.
    int status = -1;
    for (int attempt = 0; attempt < 3 && status == -1; ++attempt) {
        ASSERT_TRUE(Keys(windowId, "keydown slash"));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        Keys(windowId, "keydown Escape");
        status = game.Wait(5.0);
        Keys(windowId, "keyup Escape keyup slash");
    }
    if (status == -1) {
        game.Signal(SIGKILL);
        game.Wait(5.0);
    }
    EXPECT_EQ(status, 0) << game.Output();
}

} // namespace
