#include "platform/lua/LuaState.h"

#include <cstdio>
#include <string>

namespace lua {

namespace {

// Only reached by an error outside every protected call; Lua aborts after it returns.
int Panic(lua_State* L)
{
    const char* message = lua_tostring(L, -1);
    std::fprintf(stderr, "[Lua] Unprotected error: %s\n", message ? message : "(not a text)");
    std::fflush(stderr);
    return 0;
}

// The message handler of every run: the error as text, unchanged when it is one already.
int MessageHandler(lua_State* L)
{
    if (lua_type(L, 1) != LUA_TSTRING)
        luaL_tolstring(L, 1, nullptr);
    return 1;
}

// load and loadfile with their mode argument forced to "t". Upvalue 1: the library function;
// upvalue 2: the position of its mode argument.
int TextOnlyLoader(lua_State* L)
{
    const int modeIndex = static_cast<int>(lua_tointeger(L, lua_upvalueindex(2)));
    if (lua_gettop(L) < modeIndex)
        lua_settop(L, modeIndex);
    lua_pushliteral(L, "t");
    lua_replace(L, modeIndex);
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_insert(L, 1);
    lua_call(L, lua_gettop(L) - 1, LUA_MULTRET);
    return lua_gettop(L);
}

int TextOnlyDofile(lua_State* L)
{
    const char* path = luaL_checkstring(L, 1);  // no reading of standard input
    lua_settop(L, 1);
    if (luaL_loadfilex(L, path, "t") != LUA_OK)
        return lua_error(L);
    lua_call(L, 0, LUA_MULTRET);
    return lua_gettop(L) - 1;
}

// The searcher of Lua modules along package.path, loading text only. Upvalue 1: the package table.
int SearchTextModule(lua_State* L)
{
    const char* name = luaL_checkstring(L, 1);
    lua_getfield(L, lua_upvalueindex(1), "searchpath");
    lua_pushvalue(L, 1);
    lua_getfield(L, lua_upvalueindex(1), "path");
    if (!lua_isstring(L, -1))
        return luaL_error(L, "'package.path' must be a string");
    lua_call(L, 2, 2);
    if (lua_isnil(L, -2))
        return 1;  // the searched names, as the standard searcher reports them
    const char* path = lua_tostring(L, -2);
    if (luaL_loadfilex(L, path, "t") != LUA_OK)
        return luaL_error(L, "error loading module '%s' from file '%s':\n\t%s", name, path, lua_tostring(L, -1));
    lua_pushstring(L, path);
    return 2;
}

void Wrap(lua_State* L, const char* name, int modeIndex)
{
    lua_getglobal(L, name);
    lua_pushinteger(L, modeIndex);
    lua_pushcclosure(L, &TextOnlyLoader, 2);
    lua_setglobal(L, name);
}

void HardenPackage(lua_State* L)
{
    lua_getglobal(L, "package");
    lua_pushnil(L);
    lua_setfield(L, -2, "loadlib");
    lua_pushliteral(L, "");
    lua_setfield(L, -2, "cpath");
    lua_getfield(L, -1, "searchers");
    lua_createtable(L, 2, 0);
    lua_rawgeti(L, -2, 1);  // the preload searcher
    lua_rawseti(L, -2, 1);
    lua_pushvalue(L, -3);
    lua_pushcclosure(L, &SearchTextModule, 1);
    lua_rawseti(L, -2, 2);
    lua_setfield(L, -3, "searchers");
    lua_pop(L, 2);
}

// A chunk to load: a file, or else a string.
struct LoadRequest {
    const char* path = nullptr;
    const std::string* code = nullptr;
    int status = LUA_OK;
};

int ProtectedLoad(lua_State* L)
{
    auto* request = static_cast<LoadRequest*>(lua_touserdata(L, 1));
    lua_settop(L, 0);
    request->status = request->path ? luaL_loadfilex(L, request->path, "t")
                                    : luaL_loadbufferx(L, request->code->data(), request->code->size(),
                                                       request->code->c_str(), "t");
    return 1;
}

// Loads the chunk inside a protected call, since loading takes memory too and an error outside every
// protected call ends the program. Leaves the chunk, or the error, on the stack; returns the status.
int Load(lua_State* L, LoadRequest& request)
{
    lua_pushcfunction(L, &ProtectedLoad);
    lua_pushlightuserdata(L, &request);
    const int status = lua_pcall(L, 1, 1, 0);
    return status != LUA_OK ? status : request.status;
}

} // namespace

State::State() : open(std::make_shared<bool>(true))
{
    L = luaL_newstate();
    if (!L) {
        *open = false;
        return;
    }
    *static_cast<State**>(lua_getextraspace(L)) = this;
    lua_atpanic(L, &Panic);
    lua_rawgeti(L, LUA_REGISTRYINDEX, LUA_RIDX_GLOBALS);
    globals = std::make_unique<Table>(L, luaL_ref(L, LUA_REGISTRYINDEX), open);
}

State::~State()
{
    Close();
}

void State::Close()
{
    if (!L)
        return;
    globals.reset();
    *open = false;
    lua_close(L);
    L = nullptr;
}

State* State::From(lua_State* L)
{
    return L ? *static_cast<State**>(lua_getextraspace(L)) : nullptr;
}

void State::OpenLibraries()
{
    if (!L)
        return;
    static const luaL_Reg libraries[] = {
        {"base", luaopen_base},     {"package", luaopen_package}, {"string", luaopen_string},
        {"math", luaopen_math},     {"table", luaopen_table},
    };
    for (const luaL_Reg& library : libraries) {
        luaL_requiref(L, library.name, library.func, 1);
        lua_pop(L, 1);
    }
    Wrap(L, "load", 3);
    Wrap(L, "loadfile", 2);
    lua_pushcfunction(L, &TextOnlyDofile);
    lua_setglobal(L, "dofile");
    HardenPackage(L);
}

int State::DefaultExceptionHandler(lua_State* L, const std::exception* error, const char* description)
{
    lua_pushstring(L, description ? description : (error ? error->what() : "unknown exception"));
    return 1;
}

bool State::RunFile(const std::string& path, const Table* environment, std::string& error)
{
    if (!L) {
        error = "the Lua state is closed";
        return false;
    }
    lua_pushcfunction(L, &MessageHandler);
    LoadRequest request;
    request.path = path.c_str();
    return Run(Load(L, request), environment, error);
}

bool State::RunString(const std::string& code, const Table* environment, std::string& error)
{
    if (!L) {
        error = "the Lua state is closed";
        return false;
    }
    lua_pushcfunction(L, &MessageHandler);
    LoadRequest request;
    request.code = &code;
    return Run(Load(L, request), environment, error);
}

// Below the loaded chunk (or the load error) lies the message handler.
bool State::Run(int status, const Table* environment, std::string& error)
{
    const int handler = lua_gettop(L) - 1;
    if (status == LUA_OK && environment) {
        if (environment->GetState() != L || !environment->IsOpen()) {
            lua_settop(L, handler - 1);
            error = "the environment belongs to another Lua state";
            return false;
        }
        environment->Push();
        lua_setupvalue(L, -2, 1);  // a main chunk's one upvalue is its _ENV
    }
    if (status == LUA_OK)
        status = lua_pcall(L, 0, LUA_MULTRET, handler);
    if (status != LUA_OK) {
        const char* message = lua_tostring(L, -1);
        error = message ? message : "(error object is not a text)";
    }
    lua_settop(L, handler - 1);
    return status == LUA_OK;
}

std::shared_ptr<Table> State::NewEnvironment()
{
    if (!L)
        return nullptr;
    lua_newtable(L);
    lua_createtable(L, 0, 1);
    globals->Push();
    lua_setfield(L, -2, "__index");
    lua_setmetatable(L, -2);
    return std::make_shared<Table>(L, luaL_ref(L, LUA_REGISTRYINDEX), open);
}

} // namespace lua
