#include "script/MoonBoot_System.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <vector>

#include "core/Stream.h"
#include "core/Trace.h"

extern char** environ;

namespace fs = std::filesystem;

void MoonBoot_System::Init()
{
    Trace("MoonBoot Booting");
    CompileDirectory();
}

void MoonBoot_System::Update(float)
{
    CheckDirectory();
}

void MoonBoot_System::CompileDirectory()
{
    for (const fs::directory_entry& entry : ListFolder()) {
        if (!IsSource(entry))
            continue;
        const std::string path = entry.path().string();
        std::error_code error;
        const fs::file_time_type time = fs::last_write_time(entry.path(), error);
        if (error) {
            ReportOnce("last_write_time " + path, "last_write_time", path, error);
            continue;
        }
        Forget("last_write_time " + path);
        writeTimes_[path] = time;
        CompileMoonScript(path);
    }
}

void MoonBoot_System::CheckDirectory()
{
    for (const fs::directory_entry& entry : ListFolder())
        RecompileIfChanged(entry);
}

void MoonBoot_System::RecompileIfChanged(const fs::directory_entry& entry)
{
    if (!IsSource(entry))
        return;
    const std::string path = entry.path().string();
    std::error_code error;
    const fs::file_time_type time = fs::last_write_time(entry.path(), error);
    if (error) {
        ReportOnce("last_write_time " + path, "last_write_time", path, error);
        return;
    }
    Forget("last_write_time " + path);
    auto known = writeTimes_.find(path);
    if (known != writeTimes_.end() && known->second == time)
        return;
    writeTimes_[path] = time;
    CompileMoonScript(path);
}

bool MoonBoot_System::IsSource(const fs::directory_entry& entry)
{
    if (entry.path().filename().string().find(".moon") == std::string::npos)
        return false;
    std::error_code error;
    const bool folder = fs::is_directory(entry.path(), error);
    if (error && error != std::errc::no_such_file_or_directory) {
        ReportOnce("status " + entry.path().string(), "status", entry.path().string(), error);
        return false;
    }
    return !folder && !error;
}

std::string MoonBoot_System::LuaPathFor(const std::string& source)
{
    const size_t slash = source.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::string lua = source;
    const size_t moon = lua.find(".moon", nameStart);
    if (moon != std::string::npos)
        lua.erase(moon, 5);
    return lua + ".lua";
}

void MoonBoot_System::CompileMoonScript(const std::string& source)
{
    // The compiler writes straight into the save directory's script folder: the data folder is never
    // written, so a read-only install of the game compiles the same.
    const fs::path folder = ScriptFolder(source);
    if (folder.empty())
        return;
    const fs::path lua = folder / fs::path(LuaPathFor(source)).filename();

    std::error_code error;
    const fs::path here = fs::current_path(error);
    if (error) {
        Report("current_path", ".", error);
        return;
    }
    // The compiler gets the paths as arguments; no shell ever sees them.
    std::string compiler = (here / kCompiler).string();
    std::string argument = source;
    std::string output = lua.string();
    char* argv[] = {compiler.data(), argument.data(), output.data(), nullptr};
    // The compiler's messages ("file:line: message") are read through a pipe, to go into the trace.
    int pipeEnds[2] = {-1, -1};
    const bool piped = pipe(pipeEnds) == 0;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (piped) {
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 2);
        posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
        posix_spawn_file_actions_addclose(&actions, pipeEnds[1]);
    }
    pid_t pid = 0;
    int status = -1;
    std::string messages;
    const int spawned = posix_spawn(&pid, compiler.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (piped)
        close(pipeEnds[1]);
    if (spawned != 0) {
        Trace("MoonBoot: could not start %s: %s", compiler.c_str(), std::strerror(spawned));
    } else {
        if (piped)
            messages = ReadAll(pipeEnds[0]);
        int waited = 0;
        while (waitpid(pid, &waited, 0) < 0 && errno == EINTR) {
        }
        if (WIFEXITED(waited))
            status = WEXITSTATUS(waited);
    }
    if (piped)
        close(pipeEnds[0]);

    // A failed compile leaves the script installed before it in place.
    if (status == kCannotWrite)
        Trace("MoonBoot: could not write %s", output.c_str());
    else if (status != 0 || !fs::exists(lua, error))
        Trace("[MoonC]: Compiler Error!");
    else
        return;
    TraceMessages(messages);
}

std::string MoonBoot_System::ReadAll(int descriptor)
{
    std::string text;
    char buffer[4096];
    while (true) {
        const ssize_t got = read(descriptor, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        if (text.size() < kMaxMessageBytes)
            text.append(buffer, static_cast<size_t>(got)); // the rest is read and dropped
    }
    return text;
}

void MoonBoot_System::TraceMessages(const std::string& messages)
{
    int lines = 0;
    size_t start = 0;
    while (start < messages.size() && lines < kMaxMessageLines) {
        size_t end = messages.find('\n', start);
        if (end == std::string::npos)
            end = messages.size();
        std::string line = messages.substr(start, std::min<size_t>(end - start, kMaxMessageBytes));
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty()) {
            Trace("[MoonC]: %s", line.c_str());
            ++lines;
        }
        start = end + 1;
    }
}

fs::path MoonBoot_System::ScriptFolder(const std::string& source)
{
    const std::string saveDir = GetSaveDirectory();
    if (saveDir.empty()) {
        Trace("MoonBoot: no save directory for %s", source.c_str());
        return {};
    }
    const fs::path folder = fs::path(saveDir) / "scripts" / "lua";
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        fs::create_directories(folder, error);
        if (error) {
            Report("create_directories", folder.string(), error);
            return {};
        }
    }
    return folder;
}

std::vector<fs::directory_entry> MoonBoot_System::ListFolder()
{
    std::vector<fs::directory_entry> entries;
    std::error_code error;
    fs::directory_iterator it(kSourceFolder, error);
    if (error) {
        ReportOnce("list", "directory_iterator::directory_iterator", kSourceFolder, error);
        return entries;
    }
    while (it != fs::directory_iterator()) {
        entries.push_back(*it);
        it.increment(error);
        if (error)
            break;
    }
    if (error) {
        ReportOnce("list", "directory_iterator::operator++", kSourceFolder, error);
        return entries;
    }
    Forget("list");
    return entries;
}

void MoonBoot_System::ReportOnce(const std::string& key, const std::string& operation, const std::string& path,
                                 const std::error_code& error)
{
    if (reported_.insert(key).second)
        Report(operation, path, error);
}

void MoonBoot_System::Report(const std::string& operation, const std::string& path, const std::error_code& error)
{
    Trace("MoonBoot: %s failed for %s: %s", operation.c_str(), path.c_str(), error.message().c_str());
}
