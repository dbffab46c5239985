// The LuaAPI system: start-up clearing, the libraries scripts get, error reports, environments,
// the Vector2f type, hostile script files and the script writer's reference page.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "FolderTest.h"
#include "core/Engine.h"
#include "app/GameLoop.h"
#include "core/CreditsScroll.h"
#include "core/Stream.h"
#include "script/LuaAPI_System.h"
#include "ui/MenuSystem.h"

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

namespace {

// The string keys of the table at the top of the stack.
std::vector<std::string> Keys(lua_State* L)
{
    std::vector<std::string> keys;
    lua_pushnil(L);
    while (lua_next(L, -2)) {
        lua_pop(L, 1);
        if (lua_type(L, -1) == LUA_TSTRING)
            keys.emplace_back(lua_tostring(L, -1));
    }
    return keys;
}

// The page names an entry when it shows it in code: `Name`, `Name(...)`, `Type.Name(...)` or
// `Name`, ... in a list.
bool PageNames(const std::string& page, const std::string& name, const std::string& type = "")
{
    for (const std::string& form : {"`" + name + "`", "`" + name + "(", "`" + type + "." + name + "("})
        if (Contains(page, form))
            return true;
    return false;
}

} // namespace

TEST_F(LuaAPITest, TheScriptingPageNamesEveryGlobalTypeAndMember)
{
    Start();
    MenuSystem menus;  // adds the menu functions and widget members at its start, as in the game
    CaptureConsole([&] { menus.Init(); });
    const std::string page = ReadFile(RepoDir() / "docs/scripting.md");
    ASSERT_FALSE(page.empty());

    // A clean state with the same libraries: what is left over was registered by the game.
    lua::State clean;
    clean.OpenLibraries();
    lua_pushglobaltable(clean.Raw());
    const std::vector<std::string> standardNames = Keys(clean.Raw());
    const std::set<std::string> standard(standardNames.begin(), standardNames.end());

    lua_State* L = lua->state.Raw();
    lua_pushglobaltable(L);
    std::vector<std::string> missing;
    std::set<std::string> functions, types, members;
    for (const std::string& name : Keys(L)) {
        if (standard.count(name))
            continue;
        lua_getglobal(L, name.c_str());
        const int kind = lua_type(L, -1);
        if (kind == LUA_TFUNCTION)
            functions.insert(name);
        if (kind == LUA_TTABLE) {
            for (const std::string& key : Keys(L))  // the type table: "new"
                members.insert(name + "." + key);
        }
        lua_pop(L, 1);
        const int top = lua_gettop(L);
        if (luaL_getmetatable(L, name.c_str()) == LUA_TTABLE &&
            lua_getfield(L, -1, "__index") == LUA_TFUNCTION) {
            types.insert(name);
            // Upvalue 1 holds the methods, upvalue 2 the readable fields.
            for (int upvalue = 1; upvalue <= 2; ++upvalue) {
                if (lua_getupvalue(L, -1, upvalue)) {
                    if (lua_type(L, -1) == LUA_TTABLE)
                        for (const std::string& key : Keys(L))
                            members.insert(name + "." + key);
                    lua_pop(L, 1);
                }
            }
        }
        lua_settop(L, top);
        if (kind != LUA_TFUNCTION && !types.count(name))
            ADD_FAILURE() << "a registered global that is neither a function nor a script type: " << name;
        else if (!PageNames(page, name))
            missing.push_back(name);
    }
    lua_pop(L, 1);
    for (const std::string& member : members) {
        const std::string type = member.substr(0, member.find('.'));
        const std::string name = member.substr(member.find('.') + 1);
        if (!PageNames(page, name, type))
            missing.push_back(member);
    }
    // The walk sees every group: functions, both types, methods, fields and the menu side's members.
    for (const char* name : {"IsPlayerActionPressed", "PlaySound", "CreditsAreOver", "GetPlayerEyesTranslation"})
        EXPECT_TRUE(functions.count(name)) << name;
    EXPECT_EQ(types, (std::set<std::string>{"GameObject", "Vector2f"}));
    for (const char* name : {"GameObject.new", "GameObject.SetVarStaticInt", "GameObject.SliderGetValue",
                             "Vector2f.X", "Vector2f.Angle"})
        EXPECT_TRUE(members.count(name)) << name;
    EXPECT_GT(functions.size() + members.size(), 120u);
    EXPECT_TRUE(missing.empty()) << "docs/scripting.md does not name: " << ::testing::PrintToString(missing);
}
