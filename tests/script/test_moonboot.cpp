// MoonBoot_System with a stub compiler that logs its arguments, and once with the real moonc.
#include <gtest/gtest.h>

#include <set>

#include "FolderTest.h"
#include "core/GameObjectFactory.h"
#include "core/Trace.h"
#include "core/Transform.h"
#include "script/MoonBoot_System.h"
#include "script_fixture.h"

namespace {

using namespace testsupport;
using namespace std::chrono_literals;

const std::string kFolder = "./assets/data/scripts/MoonScript/";

// Logs "<argument count>:<first argument>" per run; writes a Lua file to its second argument (beside
// the source without one) unless the name contains "fail"; exits 3 when the output can't be written.
const char* const kStub = R"(#!/bin/sh
printf '%s:%s\n' "$#" "$1" >> "$(dirname "$0")/args.log"
case "$1" in *fail*) exit 1;; esac
out="${2:-$(dirname -- "$1")/$(basename -- "$1" | sed 's/\.moon//').lua}"
printf 'return 1\n' 2>/dev/null > "$out" || exit 3
)";

class MoonBootTest : public FolderTest {
protected:
    void SetUp() override
    {
        FolderTest::SetUp();
        fs::create_directories(kFolder);
    }
    void InstallStub()
    {
        WriteFile(Data("scripts/Moon_Compiler/moonc"), kStub);
        fs::permissions(Data("scripts/Moon_Compiler/moonc"), fs::perms::owner_all);
    }
    std::string Args() const { return ReadFile(Data("scripts/Moon_Compiler/args.log")); }
    std::string Frames(int count)
    {
        return CaptureConsole([&] {
            for (int i = 0; i < count; ++i)
                boot.Update(0.016f);
        });
    }
    static int Count(const std::string& text, const std::string& part)
    {
        int n = 0;
        for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
            ++n;
        return n;
    }

    MoonBoot_System boot;
};

TEST_F(MoonBootTest, CompilesAtStartThenOnlyWhatIsNewOrChanged)
{
    InstallStub();
    WriteFile(kFolder + "Door.moon", "x = 1\n");
    const std::string start = CaptureConsole([&] { boot.Init(); });
    EXPECT_EQ(start, "MoonBoot Booting\n");
    EXPECT_EQ(Args(), "2:" + kFolder + "Door.moon\n");
    EXPECT_EQ(ReadFile(Save("scripts/lua/Door.lua")), "return 1\n"); // scripts/lua created on the way
    EXPECT_FALSE(fs::exists(kFolder + "Door.lua"));

    EXPECT_EQ(Frames(10), "");
    EXPECT_EQ(Count(Args(), "\n"), 1);

    fs::last_write_time(kFolder + "Door.moon", fs::last_write_time(kFolder + "Door.moon") + 2s);
    WriteFile(kFolder + "Gate.moon", "y = 2\n");
    Frames(3);
    EXPECT_EQ(Count(Args(), "Door.moon"), 2);
    EXPECT_EQ(Count(Args(), "Gate.moon"), 1);
    EXPECT_TRUE(fs::exists(Save("scripts/lua/Gate.lua")));
}

TEST_F(MoonBootTest, OddEntriesFailuresAndHostileNames)
{
    InstallStub();
    fs::create_directories(kFolder + "x.moon");
    WriteFile(kFolder + "notes.moon.txt", "");
    WriteFile(kFolder + "readme.txt", "");
    WriteFile(kFolder + "a b;touch pwned.moon", "");
    WriteFile(kFolder + "fail.moon", "");
    WriteFile(kFolder + "fail.lua", "stale"); // left from before: neither installed nor touched
    const std::string out = CaptureConsole([&] { boot.Init(); });
    EXPECT_EQ(Count(out, "[MoonC]: Compiler Error!\n"), 1);
    EXPECT_EQ(ReadFile(kFolder + "fail.lua"), "stale");
    EXPECT_FALSE(fs::exists(Save("scripts/lua/fail.lua")));
    EXPECT_TRUE(fs::exists(Save("scripts/lua/notes.txt.lua")));
    EXPECT_TRUE(fs::exists(Save("scripts/lua/a b;touch pwned.lua")));
    EXPECT_TRUE(Contains(Args(), "2:" + kFolder + "a b;touch pwned.moon\n"));
    EXPECT_FALSE(Contains(Args(), "x.moon"));
    EXPECT_FALSE(Contains(Args(), "readme"));
    EXPECT_EQ(Count(Args(), "\n"), 3);
    EXPECT_FALSE(fs::exists("pwned.moon") || fs::exists("pwned"));
    EXPECT_EQ(Frames(5), ""); // the failed source is retried only once it changes
}

TEST_F(MoonBootTest, FileSystemErrorsAreTracedOnceAndSkipped)
{
    fs::remove_all(kFolder);
    std::string out = CaptureConsole([&] { boot.Init(); }) + Frames(5);
    EXPECT_EQ(Count(out, "MoonBoot: directory_iterator::directory_iterator failed"), 1) << out;

    fs::create_directories(kFolder);
    WriteFile(kFolder + "Door.moon", "");
    out = Frames(2); // no compiler installed: the source can't compile
    EXPECT_EQ(Count(out, "[MoonC]: Compiler Error!"), 1) << out;
    EXPECT_EQ(Count(out, "could not start"), 1) << out;

    fs::remove_all(kFolder); // removed while running
    out = Frames(5);
    EXPECT_EQ(Count(out, "\n"), 1) << out;
}

// The names in the source folder.
std::set<std::string> SourceFolder()
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(kFolder))
        names.insert(entry.path().filename().string());
    return names;
}

TEST_F(MoonBootTest, NothingIsEverWrittenIntoTheDataFolder)
{
    // No save directory at all, a save directory whose "scripts" is a regular file, an output that
    // can't be written, and a read-only data folder (as root its mode stops nothing, but the folder
    // must come out holding only its sources all the same).
    InstallStub();
    const char* xdg = std::getenv("XDG_DATA_HOME");
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "", xdgValue = xdg ? xdg : "";
    const std::string appdata = saveDir.appdata.string();
    enum Setup { NoSaveDir, ScriptsIsAFile, OutputIsAFolder, ReadOnlyData };
    struct Case {
        const char* source;
        Setup setup;
        const char* trace;
        bool compiled;
        bool installed;
    };
    for (const Case& c : {Case{"Door.moon", NoSaveDir, "MoonBoot: no save directory for ", false, false},
                          Case{"Gate.moon", ScriptsIsAFile, "MoonBoot: create_directories failed for ", false, false},
                          Case{"Hatch.moon", OutputIsAFolder, "MoonBoot: could not write ", true, false},
                          Case{"Vent.moon", ReadOnlyData, "", true, true}}) {
        SCOPED_TRACE(c.source);
        const std::string lua = fs::path(MoonBoot_System::LuaPathFor(c.source)).string();
        if (c.setup == NoSaveDir) {
            unsetenv("APPDATA");
            unsetenv("XDG_DATA_HOME");
            unsetenv("HOME");
        } else if (c.setup == ScriptsIsAFile) {
            WriteFile(Save("scripts"), "x");
        } else if (c.setup == OutputIsAFolder) {
            fs::create_directories(Save("scripts/lua") / lua / "inside");
        }
        WriteFile(kFolder + c.source, "x = 1\n");
        const std::set<std::string> sources = SourceFolder();
        if (c.setup == ReadOnlyData)
            fs::permissions(kFolder, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                            fs::perm_options::remove);
        const std::string out = Frames(1);
        fs::permissions(kFolder, fs::perms::owner_write, fs::perm_options::add);
        setenv("APPDATA", appdata.c_str(), 1);
        setenv("HOME", home.c_str(), 1);
        if (xdg)
            setenv("XDG_DATA_HOME", xdgValue.c_str(), 1);
        if (*c.trace)
            EXPECT_TRUE(Contains(out, c.trace)) << out;
        else
            EXPECT_EQ(out, "");
        EXPECT_FALSE(Contains(out, "[MoonC]: Compiler Error!")) << out;
        EXPECT_EQ(Contains(Args(), c.source), c.compiled);
        EXPECT_EQ(SourceFolder(), sources);
        EXPECT_EQ(ReadFile(Save("scripts/lua") / lua), c.installed ? "return 1\n" : "");
        if (c.setup == ScriptsIsAFile) {
            EXPECT_EQ(ReadFile(Save("scripts")), "x");
            fs::remove(Save("scripts"));
        }
    }
}

TEST_F(MoonBootTest, RealCompilerInstallsTheShippedSample)
{
    fs::create_directories(Data("scripts/Moon_Compiler"));
    fs::copy_file(DUSTRUN_MOONC, Data("scripts/Moon_Compiler/moonc"));
    fs::copy_file(RepoDir() / "assets/data/scripts/MoonScript/MoveRight.moon", kFolder + "MoveRight.moon");
    WriteFile(kFolder + "Broken.moon", "x = = 1\n");
    // A read-only data folder: the compiler's output goes straight into the save directory.
    const std::set<std::string> sources = SourceFolder();
    fs::permissions(kFolder, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    TraceInit();
    std::string out = CaptureConsole([&] { boot.Init(); });
    TraceClose();
    fs::permissions(kFolder, fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(SourceFolder(), sources);
    EXPECT_EQ(Count(out, "[MoonC]: Compiler Error!"), 1) << out;
    // the compiler's message, with the file and line, reaches the trace log too
    EXPECT_TRUE(Contains(ReadFile(saveDir.LogPath()), "[MoonC]: Compiler Error!\n[MoonC]: " + kFolder +
                                                          "Broken.moon:1: unexpected '='\n"));
    EXPECT_TRUE(Contains(ReadFile(Save("scripts/lua/MoveRight.lua")), "SetPositionFloat"));
    EXPECT_FALSE(fs::exists(Save("scripts/lua/Broken.lua")));
}

// The whole path a shipped MoonScript takes: compiled at start by the real compiler into the save
// folder, then found there by the behaviour that names it and run once a frame.
class MoonScriptBehaviourTest : public ScriptTest {};

TEST_F(MoonScriptBehaviourTest, TheShippedSampleMovesItsObjectThroughItsBehaviour)
{
    fs::create_directories(Data("scripts/Moon_Compiler"));
    fs::create_directories(kFolder);
    fs::copy_file(DUSTRUN_MOONC, Data("scripts/Moon_Compiler/moonc"));
    fs::copy_file(RepoDir() / "assets/data/scripts/MoonScript/MoveRight.moon", kFolder + "MoveRight.moon");
    MoonBoot_System boot;
    CaptureConsole([&] { boot.Init(); });
    WriteFile(Data("objects/Walker.json"), R"({"Name": "Walker", "Transform": {"ScaleX": 1.0, "ScaleY": 1.0},
        "Behavior": {"BehaviorType": "BehaviorScript", "ScriptName": "MoveRight"}})");
    GameObject* walker = core->factory->CreateGameObject("objects/Walker", true);
    ASSERT_NE(walker, nullptr);
    const std::string out = CaptureConsole([&] {
        for (int i = 0; i < 3; ++i)
            core->manager->Update(1.0f / 60.0f);
    });
    EXPECT_FALSE(Contains(out, "could not be found")) << out;
    EXPECT_FLOAT_EQ(walker->GetTransform()->TranslationX, 3.0f);
    EXPECT_FLOAT_EQ(walker->GetTransform()->TranslationY, 0.0f);
}

} // namespace
