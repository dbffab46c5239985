// The LuaAPI system: start-up clearing, the libraries scripts get, error reports, environments,
// the Vector2f type and hostile script files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>

#include "FolderTest.h"
#include "core/Engine.h"
#include "app/GameLoop.h"
#include "core/CreditsScroll.h"
#include "core/Stream.h"
#include "script/LuaAPI_System.h"

using namespace testsupport;

namespace {

int Count(const std::string& text, const std::string& part)
{
    int n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

class LuaAPITest : public FolderTest {
protected:
    void TearDown() override { delete lua; }
    // A started system (constructed and initialised); returns the console output.
    std::string Start()
    {
        return CaptureConsole([&] {
            lua = new LuaAPI_System();
            lua->Init();
        });
    }
    std::string Run(const std::string& code)
    {
        return CaptureConsole([&] { LuaAPI_System::RunString(code); });
    }
    LuaAPI_System* lua = nullptr;
};

} // namespace

TEST_F(LuaAPITest, StaticVariablesAreClearedAtConstructionAndInit)
{
    const char* const kCleared = "[LuaAPI]: Static Variables Cleared";
    struct Case {
        const char* before;  // nullptr: no file
        const char* after;
        int traces;
    } cases[] = {
        {"{\"Lives\":2}", "{}", 2},
        {nullptr, "{}", 2},
        {"", "", 0},                 // zero length: untouched
        {"not json", "not json", 0}, // never lost
    };
    const fs::path file = Save("scripts/variables/StaticVars.json");
    for (const Case& c : cases) {
        fs::remove(file);
        if (c.before)
            WriteFile(file, c.before);
        delete lua;
        const std::string console = Start();
        EXPECT_EQ(Count(console, kCleared), c.traces) << (c.before ? c.before : "(none)");
        EXPECT_EQ(ReadFile(file), c.after);
        EXPECT_TRUE(Contains(console, "[LuaAPI]: Initialization Complete"));
    }
    // A second system stays bare: gLuaAPI keeps the first, the file is not touched.
    WriteFile(file, "{\"Lives\":2}");
    LuaAPI_System second;
    EXPECT_EQ(gLuaAPI, lua);
    EXPECT_EQ(ReadFile(file), "{\"Lives\":2}");
}

TEST_F(LuaAPITest, ScriptFoldersAreMadeOnlyInsideAnExistingScriptsFolder)
{
    fs::create_directories(Save("scripts"));
    Start();
    EXPECT_TRUE(fs::is_directory(Save("scripts/lua")));
    delete lua;
    lua = nullptr;
    // Without any save directory nothing is made, least of all at the root.
    const char* xdg = std::getenv("XDG_DATA_HOME");
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "", xdgValue = xdg ? xdg : "";
    unsetenv("APPDATA");
    unsetenv("XDG_DATA_HOME");
    unsetenv("HOME");
    Start();
    setenv("HOME", home.c_str(), 1);
    if (xdg)
        setenv("XDG_DATA_HOME", xdgValue.c_str(), 1);
    EXPECT_FALSE(fs::exists("/scripts"));
    EXPECT_FALSE(fs::exists("/Quorvex"));
}

TEST_F(LuaAPITest, ScriptsGetOnlyTheSafeLibraries)
{
    Start();
    WriteFile(folder.root / "keep.txt", "keep");
    const std::string console = Run(
        "assert(os == nil and io == nil and debug == nil and coroutine == nil and utf8 == nil)\n"
        "assert(string.format and math.floor and table.insert and require)\n"
        "assert(not pcall(function() io.open('made.txt', 'w') end))\n"
        "assert(not pcall(function() os.remove('keep.txt') end))\n"
        "assert(not pcall(function() os.execute('touch ran.txt') end))\n"
        "assert(package.loadlib == nil and not pcall(require, 'lfs'))\n"
        "Done = true");
    EXPECT_FALSE(Contains(console, "Assertion")) << console;
    EXPECT_TRUE(lua->state.Globals().Get<bool>("Done"));
    EXPECT_EQ(ReadFile(folder.root / "keep.txt"), "keep");
    EXPECT_FALSE(fs::exists(folder.root / "made.txt"));
    EXPECT_FALSE(fs::exists(folder.root / "ran.txt"));
}

TEST_F(LuaAPITest, ErrorsAreReportedEveryTimeAndTheGameGoesOn)
{
    CaptureConsole(TraceInit);
    Start();
    WriteFile("bad.lua", "x = = 1\n");
    const std::string report =
        "Assertion `false` failed.Location: src/LuaAPI_System Line 200: bad.lua:1: unexpected symbol near '='\n";
    std::string first = CaptureConsole([] { EXPECT_EQ(LuaAPI_System::RunScriptFile("bad.lua", nullptr), ""); });
    EXPECT_EQ(first, report + "Trace log ended...\n");
    EXPECT_EQ(CaptureConsole([] { LuaAPI_System::RunScriptFile("bad.lua", nullptr); }), report);
    // An exception from engine code inside a bound function.
    lua->state.SetFunction("Explode", []() { throw std::runtime_error("engine trouble"); });
    const std::string thrown = Run("Explode()");
    EXPECT_TRUE(Contains(thrown, "[LuaAPI] An Exception Occured: engine trouble\n")) << thrown;
    EXPECT_TRUE(Contains(thrown, "src/LuaAPI_System Line 200: engine trouble")) << thrown;
    EXPECT_EQ(Run("print('[Lua]: Hello, World!')"), "[Lua]: Hello, World!\n");
}

TEST_F(LuaAPITest, EnvironmentsAreIsolatedAndOutliveTheState)
{
    Start();
    auto a = LuaAPI_System::NewEnvironment();
    auto b = LuaAPI_System::NewEnvironment();
    WriteFile("a.lua", "Secret = 42 SeesApi = Vector2f ~= nil");
    WriteFile("b.lua", "Seen = Secret SeesApi = Vector2f ~= nil");
    LuaAPI_System::RunScriptFile("a.lua", a.get());
    LuaAPI_System::RunScriptFile("b.lua", b.get());
    EXPECT_EQ(a->Get<int>("Secret"), 42);
    EXPECT_FALSE(b->Has("Seen"));
    EXPECT_FALSE(lua->state.Globals().Has("Secret"));
    EXPECT_TRUE(a->Get<bool>("SeesApi") && b->Get<bool>("SeesApi"));
    // Systems are deleted before their script owners let go: the release then does nothing.
    delete lua;
    lua = nullptr;
    EXPECT_EQ(gLuaAPI, nullptr);
    a.reset();
    EXPECT_EQ(LuaAPI_System::NewEnvironment(), nullptr);
    EXPECT_TRUE(Contains(CaptureConsole([] { EXPECT_EQ(LuaAPI_System::RunString("x = 1"), ""); }),
                         "[LuaAPI]: No Lua state"));
}

TEST_F(LuaAPITest, TheStartupHookGreetsThroughLua)
{
    Start();
    ASSERT_NE(StartupScriptHook, nullptr);
    EXPECT_EQ(CaptureConsole([] { StartupScriptHook("print('[Lua]: Hello, World!')"); }),
              "[Lua]: Hello, World!\n");
    delete lua;
    lua = nullptr;
    EXPECT_EQ(StartupScriptHook, nullptr);
    std::unique_ptr<ISystem> made;
    CaptureConsole([&] { made.reset(CreateSystem("LuaAPI")); });
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->GetName(), "LuaAPI");
}

TEST_F(LuaAPITest, Vector2fInScripts)
{
    Start();
    struct Case {
        const char* expression;  // evaluated to a string
        const char* expected;
    } cases[] = {
        {"tostring(Vector2f(0.1, 2))", "< 0.1, 2 >"},
        {"tostring(Vector2f.new(1234567, 0))", "< 1.23457e+06, 0 >"},
        {"tostring(Vector2f(100000, 0.5))", "< 100000, 0.5 >"},
        {"tostring(Vector2f())", "< 0, 0 >"},
        {"Vector2f(3, 4):Length() .. ' ' .. Vector2f(3, 4):LengthSquared()", "5.0 25.0"},
        {"tostring(Vector2f(1, 0):GetNormal()) .. tostring(Vector2f(0, 1):GetNormal())", "< -0, 1 >< -1, 0 >"},
        {"math.abs(Vector2f(0, -1):Angle() + math.pi / 2) < 1e-6", "true"},
        {"Vector2f(1, 1):Distance(Vector2f(4, 5)) .. ' ' .. Vector2f(1, 1):DistanceSquared(Vector2f(4, 5))",
         "5.0 25.0"},
        {"(function() local v = Vector2f(3, 4) return v:NormalizeThis() == v and tostring(v) end)()",
         "< 0.6, 0.8 >"},
        {"tostring(Vector2f(0, 0):NormalizeThis())", "< 0, 0 >"},
        {"(function() local a = Vector2f(1, 2) local b = Vector2f(a) b.X = 5 a.Y = 7 return tostring(a) "
         ".. tostring(b) end)()",
         "< 1, 7 >< 5, 2 >"},
    };
    for (const Case& c : cases) {
        const std::string console = Run(std::string("Result = tostring(") + c.expression + ")");
        EXPECT_EQ(lua->state.Globals().Get<std::string>("Result"), c.expected) << c.expression << console;
    }
}

TEST_F(LuaAPITest, HostileScriptFilesGiveATraceNotACrash)
{
    Start();
    WriteFile("binary.lua", std::string("\x1bLua\x54\x00\x19\x93\r\n\x1a\n\x04\x08\x08", 15));
    WriteFile("noise.lua", std::string("\x00\xff\x10garbage\x00", 11));
    WriteFile("empty.lua", "");
    WriteFile("huge.lua", "Huge = [[" + std::string(10 * 1024 * 1024, 'x') + "]]");
    WriteFile("deep.lua", "local function f(n) return 1 + f(n + 1) end f(1)");
    WriteFile("deep2.lua", "local t = setmetatable({}, {__index = function(t, k) return t[k] end}) x = t.y");
    struct Case {
        const char* file;
        const char* report;  // "" when the file runs
    } cases[] = {
        {"binary.lua", "attempt to load a binary chunk"},
        {"noise.lua", "noise.lua"},
        {"empty.lua", ""},
        {"huge.lua", ""},
        {"deep.lua", "stack overflow"},
        {"deep2.lua", "stack overflow"},
    };
    for (const Case& c : cases) {
        const std::string console = CaptureConsole([&] { LuaAPI_System::RunScriptFile(c.file, nullptr); });
        if (*c.report)
            EXPECT_TRUE(Contains(console, "Line 200: ") && Contains(console, c.report)) << c.file << console;
        else
            EXPECT_EQ(console, "") << c.file;
    }
    EXPECT_EQ(lua->state.Globals().Get<std::string>("Huge").size(), 10u * 1024 * 1024);
    EXPECT_EQ(Run("print('still here')"), "still here\n");
}
