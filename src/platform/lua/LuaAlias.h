#pragma once
// One Lua value that aliases a C++ object (a usertype) for as long as the object lives: every Set
// gives the script that very value, so a script that kept it finds it equal to the name set later.
// Detach (and the destructor) ends the alias: a script that kept the value and uses it afterwards
// gets the Lua error "a value that was already destroyed" instead of reaching freed memory.
#include <memory>
#include <string>

#include "platform/lua/LuaTable.h"

namespace lua {

class Alias {
public:
    Alias() = default;
    ~Alias() { Detach(); }
    Alias(const Alias&) = delete;
    Alias& operator=(const Alias&) = delete;

    // Sets table[name] to the alias of object, made on first use (the object must stay the same and
    // at the same address until Detach).
    template <class T>
    void Set(Table& table, const std::string& name, T& object)
    {
        if (ref != LUA_NOREF && (!IsOpen() || L != table.GetState()))
            Detach();
        table.Protected(name, [&](lua_State* state) {
            if (ref == LUA_NOREF) {
                Stack<T>::PushReference(state, object);
                ref = luaL_ref(state, LUA_REGISTRYINDEX);
                L = state;
                open = table.open;
            }
            lua_rawgeti(state, LUA_REGISTRYINDEX, ref);
            lua_setfield(state, 1, name.c_str());
        });
    }
    // Ends the alias (nothing when there is none, or its state was closed).
    void Detach();
    bool IsBound() const { return ref != LUA_NOREF && IsOpen(); }

private:
    bool IsOpen() const { return open && *open; }

    lua_State* L = nullptr;
    int ref = LUA_NOREF;
    std::shared_ptr<const bool> open;
};

} // namespace lua
