#pragma once
// What the libFuzzer harnesses share: a private copy of assets/data to run in (the loaders read files
// by name under the working folder), the console silenced, and the input cut into the files a
// harness writes before each run.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#ifndef DUSTRUN_SOURCE_DIR
#define DUSTRUN_SOURCE_DIR "."
#endif

namespace fuzz {

namespace fs = std::filesystem;

inline fs::path& Root()
{
    static fs::path root;
    return root;
}

// Once per process: copies assets/data (and, when asked, assets/textures) into a scratch folder, makes
// it the working folder, sends saves there too, reads no console and silences stdout (libFuzzer
// reports on stderr).
// DUSTRUN_FUZZ_VERBOSE=1 keeps the trace lines on the console.
inline void SetUp(bool withTextures = false)
{
    if (!Root().empty())
        return;
    std::error_code ec;
    // A run that crashed left its folder behind: remove the folders of processes that are gone.
    for (const auto& entry : fs::directory_iterator(fs::temp_directory_path(), ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("dustrun_fuzz_", 0) != 0)
            continue;
        const long pid = std::atol(name.c_str() + 13);
        if (pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
            fs::remove_all(entry.path(), ec);
    }
    Root() = fs::temp_directory_path() / ("dustrun_fuzz_" + std::to_string(::getpid()));
    fs::remove_all(Root(), ec);
    fs::create_directories(Root() / "assets");
    const fs::path source = fs::path(DUSTRUN_SOURCE_DIR) / "assets";
    fs::copy(source / "data", Root() / "assets/data", fs::copy_options::recursive, ec);
    if (withTextures)
        fs::copy(source / "textures", Root() / "assets/textures", fs::copy_options::recursive, ec);
    fs::current_path(Root());
    setenv("XDG_DATA_HOME", (Root() / "save").c_str(), 1);
    unsetenv("APPDATA");
    // Data may name any file (a script, a sound); none of them reads the console.
    if (std::FILE* none = std::freopen("/dev/null", "r", stdin))
        (void)none;
    const char* verbose = std::getenv("DUSTRUN_FUZZ_VERBOSE");
    if (!verbose || std::string(verbose) != "1") {
        if (std::FILE* quiet = std::freopen("/dev/null", "w", stdout))
            (void)quiet;
    }
    std::atexit([] {
        std::error_code ignored;
        fs::current_path(fs::temp_directory_path(), ignored);
        fs::remove_all(Root(), ignored);
    });
}

// The input cut at each line "====" into at most `count` parts (missing parts are empty).
inline std::vector<std::string> Parts(const std::uint8_t* data, std::size_t size, std::size_t count)
{
    static const std::string separator = "\n====\n";
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> parts;
    std::size_t at = 0;
    while (parts.size() + 1 < count) {
        const std::size_t next = input.find(separator, at);
        if (next == std::string::npos)
            break;
        parts.push_back(input.substr(at, next - at));
        at = next + separator.size();
    }
    parts.push_back(input.substr(std::min(at, input.size())));
    parts.resize(count);
    return parts;
}

// Writes a file under the working folder (an empty text removes it: a missing file is a case too).
inline void Put(const std::string& relative, const std::string& text)
{
    std::error_code ec;
    if (text.empty()) {
        fs::remove(relative, ec);
        return;
    }
    fs::create_directories(fs::path(relative).parent_path(), ec);
    std::ofstream out(relative, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

inline std::string Get(const std::string& relative)
{
    std::ifstream in(relative, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace fuzz
