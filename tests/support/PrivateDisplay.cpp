#include "PrivateDisplay.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

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
    // Xvfb writes the display number it chose to the pipe named by -displayfd. The server ends with
    // this program however the program ends (a crash, or a kill at the harness's timeout, included),
    // and holds none of its files: with the harness's output pipe open, a server left behind would
    // keep the harness waiting on the pipe after the test is gone.
    bool Start()
    {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0)
            return false;
        const char* argv[] = {"Xvfb", "-displayfd", "3", "-screen", "0", screen_.c_str(), "-nolisten", "tcp", nullptr};
        const pid_t parent = getpid();
        pid_ = fork();
        if (pid_ == 0) {
            // Only async-signal-safe calls until exec. The signal comes when the thread that forked
            // ends; this is the main thread, which ends with the program.
            if (prctl(PR_SET_PDEATHSIG, SIGTERM) != 0 || getppid() != parent)
                _exit(126);
            // The pipe's write end becomes descriptor 3, the standard ones /dev/null, and no other
            // descriptor is kept.
            if (fds[1] == 3 ? fcntl(3, F_SETFD, 0) != 0 : dup2(fds[1], 3) != 3)
                _exit(126);
            const int null = open("/dev/null", O_RDWR);
            if (null < 0)
                _exit(126);
            for (int fd = 0; fd < 3; ++fd)
                dup2(null, fd);
            if (syscall(SYS_close_range, 4u, ~0u, 0u) != 0) {
                for (int fd = 4; fd < 1024; ++fd)
                    close(fd);
            }
            execvp(argv[0], const_cast<char**>(argv));
            _exit(127);
        }
        close(fds[1]);
        if (pid_ < 0) {
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
