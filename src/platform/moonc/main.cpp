// moonc: compiles one MoonScript file to Lua. The Lua file is written to the output path when one is
// given, else beside the source (its name with the first ".moon" removed, plus ".lua"), through a
// temporary file and a rename, and only after Lua's own parser accepted it. On an error nothing is
// written, "file:line: message" goes to stderr and the exit status is 1 (2 for a bad command line
// or a source that can't be read, 3 for an output that can't be written).
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include <unistd.h>

#include <lauxlib.h>
#include <lua.h>

#include "platform/moonc/Emitter.h"

namespace {

std::string OutputPath(const std::string& source)
{
    const size_t slash = source.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::string out = source;
    const size_t moon = out.find(".moon", nameStart);
    if (moon != std::string::npos)
        out.erase(moon, 5);
    return out + ".lua";
}

// Lua's parser on the output; "" when it loads, its message when not.
std::string CheckLua(const std::string& code, const std::string& name)
{
    lua_State* L = luaL_newstate();
    if (!L)
        return "out of memory";
    std::string error;
    if (luaL_loadbuffer(L, code.data(), code.size(), ("=" + name).c_str()) != LUA_OK) {
        const char* message = lua_tostring(L, -1);
        error = message ? message : "unknown error";
    }
    lua_close(L);
    return error;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: moonc <file.moon> [<output.lua>]\n");
        return 2;
    }
    const std::string source = argv[1];
    std::ifstream in(source, std::ios::binary);
    std::stringstream text;
    // An empty file is valid and compiles to an empty chunk; only a failed read is an error.
    if (!in || (in.peek() != std::ifstream::traits_type::eof() && !(text << in.rdbuf())) || in.bad()) {
        std::fprintf(stderr, "%s:0: cannot read the file\n", source.c_str());
        return 2;
    }
    std::string lua;
    try {
        lua = moonc::CompileSource(text.str());
    } catch (const moonc::CompileError& e) {
        std::fprintf(stderr, "%s:%d: %s\n", source.c_str(), e.line, e.what());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s:0: internal error: %s\n", source.c_str(), e.what());
        return 1;
    }
    const std::string rejected = CheckLua(lua, source);
    if (!rejected.empty()) {
        // Lua's own limits (locals, functions, nesting) are the file's size, not a fault of the compiler.
        const bool limit = rejected.find("overflow") != std::string::npos ||
                           rejected.find("too many") != std::string::npos ||
                           rejected.find("limit") != std::string::npos;
        std::fprintf(stderr, "%s:0: %s: %s\n", source.c_str(),
                     limit ? "the file goes past a limit of Lua" : "internal error: the Lua output does not load",
                     rejected.c_str());
        return 1;
    }
    const std::string out = argc == 3 ? argv[2] : OutputPath(source);
    const std::string temp = out + ".tmp" + std::to_string(getpid());
    FILE* file = std::fopen(temp.c_str(), "wb");
    bool written = file && std::fwrite(lua.data(), 1, lua.size(), file) == lua.size();
    if (file && std::fclose(file) != 0)
        written = false;
    if (!written || std::rename(temp.c_str(), out.c_str()) != 0) {
        std::remove(temp.c_str());
        std::fprintf(stderr, "%s:0: cannot write %s\n", source.c_str(), out.c_str());
        return 3;
    }
    return 0;
}
