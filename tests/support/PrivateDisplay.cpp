#include "PrivateDisplay.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

extern "C" char** environ;

namespace testsupport {
namespace {

class PrivateDisplayEnvironment : public ::testing::Environment {
public:
    explicit PrivateDisplayEnvironment(std::string screen) : screen_(std::move(screen)) {}

    void SetUp() override
    {
        const char* display = std::getenv("DISPLAY");
        saved_ = display ? display : "";
        started_ = Start();
    }
    void TearDown() override
    {
        if (!started_)
            return;
        Stop();
        if (saved_.empty())
            unsetenv("DISPLAY");
        else
            setenv("DISPLAY", saved_.c_str(), 1);
    }

private:
    // Xvfb writes the display number it chose to the pipe named by -displayfd.
    bool Start()
    {
        int fds[2];
        if (pipe(fds) != 0)
            return false;
        const std::string fd = std::to_string(fds[1]);
        const char* argv[] = {"Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen_.c_str(),
                              "-nolisten", "tcp", nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        const int rc = posix_spawnp(&pid_, "Xvfb", &actions, nullptr, const_cast<char**>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        if (rc != 0) {
            close(fds[0]);
            pid_ = -1;
            return false;
        }
        std::string number;
        char c;
        while (read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(fds[0]);
        if (number.empty()) {
            Stop();
            return false;
        }
        setenv("DISPLAY", (":" + number).c_str(), 1);
        return true;
    }
    void Stop()
    {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
        pid_ = -1;
    }

    std::string screen_;
    std::string saved_;
    bool started_ = false;
    pid_t pid_ = -1;
};

} // namespace

bool UsePrivateDisplay(const std::string& screen)
{
    ::testing::AddGlobalTestEnvironment(new PrivateDisplayEnvironment(screen));
    return true;
}

} // namespace testsupport
