#include "TestFiles.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <system_error>

namespace testsupport {

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const fs::path& path, const std::string& text)
{
    if (path.has_parent_path())
        fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

std::string CaptureConsole(const std::function<void()>& action)
{
    fflush(stdout);
    ::testing::internal::CaptureStdout();
    action();
    fflush(stdout);
    return ::testing::internal::GetCapturedStdout();
}

std::string RunCommand(const std::string& command)
{
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return out;
    char buffer[256];
    while (fgets(buffer, sizeof buffer, pipe))
        out += buffer;
    pclose(pipe);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

bool HaveDisplay()
{
    const char* display = std::getenv("DISPLAY");
    return display && *display;
}

namespace {

fs::path FreshFolder(const std::string& tag)
{
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = test ? test->name() : "suite";
    std::replace(name.begin(), name.end(), '/', '_'); // parameterised tests are named "Test/Case"
    const fs::path folder =
        fs::temp_directory_path() / ("dustrun_" + tag + "_" + std::to_string(::getpid()) + "_" + name);
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

} // namespace

ScratchDir::ScratchDir(const std::string& tag) : root(FreshFolder(tag)) {}

ScratchDir::~ScratchDir()
{
    std::error_code ec;
    if (!previous_.empty())
        fs::current_path(previous_, ec);
    fs::remove_all(root, ec);
}

ScratchDir& ScratchDir::Enter()
{
    if (previous_.empty())
        previous_ = fs::current_path();
    fs::current_path(root);
    return *this;
}

void ScratchDir::Write(const fs::path& relative, const std::string& text) const
{
    WriteFile(root / relative, text);
}

void ScratchDir::Copy(const fs::path& from, const fs::path& to)
{
    fs::create_directories(to.parent_path());
    fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
}

TestSaveDir::TestSaveDir() : TestSaveDir(FreshFolder("save"))
{
    owned_ = true;
}

TestSaveDir::TestSaveDir(const fs::path& folder) : appdata(folder)
{
    const char* old = std::getenv("APPDATA");
    hadOld_ = old != nullptr;
    if (old)
        old_ = old;
    setenv("APPDATA", appdata.c_str(), 1);
}

TestSaveDir::~TestSaveDir()
{
    if (hadOld_)
        setenv("APPDATA", old_.c_str(), 1);
    else
        unsetenv("APPDATA");
    if (owned_) {
        std::error_code ec;
        fs::remove_all(appdata, ec);
    }
}

std::string TestSaveDir::Write(const std::string& name, const std::string& text) const
{
    WriteFile(Dir() / (name + ".json"), text);
    return name;
}

} // namespace testsupport
