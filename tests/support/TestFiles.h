#pragma once
// Small file, folder and console helpers shared by the tests.
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include <unistd.h>

namespace testsupport {

namespace fs = std::filesystem;

// The whole file as bytes ("" when it cannot be read).
std::string ReadFile(const fs::path& path);

// Writes the text as the whole file, making its folders first.
void WriteFile(const fs::path& path, const std::string& text);

// Everything the action printed to the console.
std::string CaptureConsole(const std::function<void()>& action);

inline bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// Runs a shell command and returns its output without the trailing line breaks.
std::string RunCommand(const std::string& command);

// True when an X display is set.
bool HaveDisplay();

// A fresh folder /tmp/dustrun_<tag>_<pid>_<running test>, removed again when the object goes. Enter()
// makes it the working folder until then.
class ScratchDir {
public:
    explicit ScratchDir(const std::string& tag);
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    ScratchDir& Enter();
    fs::path operator/(const fs::path& relative) const { return root / relative; }
    // Writes a file below the folder.
    void Write(const fs::path& relative, const std::string& text) const;
    // Copies a file or folder of the repository to the same place below the folder.
    inline void CopyFromRepo(const fs::path& relative) const;

    const fs::path root;

private:
    static void Copy(const fs::path& from, const fs::path& to);
    fs::path previous_;
};

#ifdef DUSTRUN_SOURCE_DIR
// The repository the tests were built from.
inline fs::path RepoDir()
{
    return DUSTRUN_SOURCE_DIR;
}

inline void ScratchDir::CopyFromRepo(const fs::path& relative) const
{
    Copy(RepoDir() / relative, root / relative);
}

// A copy of the shipped assets in a folder of this process's own, made on first use and removed at
// exit. A run of the whole game writes into its assets (the menu settings; compiled MoonScript goes to
// scripts/lua/ in the save directory instead), so test processes running in parallel must not share
// the repository's.
inline fs::path ShippedGameFolder()
{
    static const fs::path folder = [] {
        const fs::path root = fs::temp_directory_path() / ("dustrun_game_" + std::to_string(getpid()));
        std::error_code ec;
        fs::remove_all(root, ec);
        fs::create_directories(root);
        fs::copy(RepoDir() / "assets", root / "assets", fs::copy_options::recursive);
        std::atexit([] {
            std::error_code error;
            fs::remove_all(fs::temp_directory_path() / ("dustrun_game_" + std::to_string(getpid())), error);
        });
        return root;
    }();
    return folder;
}
#endif

// Points the save directory (APPDATA) at a folder while it lives and puts the old value back after.
// Without a folder it makes one of its own and removes it at the end.
class TestSaveDir {
public:
    TestSaveDir();
    explicit TestSaveDir(const fs::path& appdata);
    ~TestSaveDir();
    TestSaveDir(const TestSaveDir&) = delete;
    TestSaveDir& operator=(const TestSaveDir&) = delete;

    // <appdata>/Quorvex/PemmetsDustrun, where the game keeps its files.
    fs::path Dir() const { return appdata / "Quorvex/PemmetsDustrun"; }
    fs::path LogPath() const { return Dir() / "trace/trace.log"; }
    // Writes <save dir>/<name>.json and returns the stream name to open from the save directory.
    std::string Write(const std::string& name, const std::string& text) const;

    const fs::path appdata;

private:
    bool owned_ = false;
    bool hadOld_ = false;
    std::string old_;
};

} // namespace testsupport
