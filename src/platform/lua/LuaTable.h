#pragma once
// A Lua table held from C++ through a registry reference: the globals, or a script environment
// (State::NewEnvironment: an empty table whose metatable's "__index" is the globals, so a script run in
// it reads every global while the names it assigns stay in its own table).
// The reference is freed when the Table is destroyed, unless its state was closed first, in which case
// the Table does nothing at all (sets are dropped, gets give their fallback).
#include <memory>
#include <string>
#include <type_traits>

#include "platform/lua/LuaFunction.h"

namespace lua {

class Alias;

class Table {
public:
    // Takes over the registry reference `ref` of a table in the state; `open` is the state's flag.
    Table(lua_State* L, int ref, std::shared_ptr<const bool> open);
    ~Table();
    Table(const Table&) = delete;
    Table& operator=(const Table&) = delete;

    // True while the state that holds the table is open.
    bool IsOpen() const { return open && *open; }
    lua_State* GetState() const { return L; }
    int GetRef() const { return ref; }
    // Pushes the table (the state must be open).
    void Push() const { lua_rawgeti(L, LUA_REGISTRYINDEX, ref); }

    // Sets a name to a copy of the value: a number, boolean, string, sequence (std::vector) or usertype.
    template <class V>
    void Set(const std::string& name, V&& value)
    {
        Protected(name, [&](lua_State* state) {
            Stack<std::decay_t<V>>::Push(state, std::forward<V>(value));
            lua_setfield(state, 1, name.c_str());
        });
    }
    // Sets a name to the C++ object itself (a usertype): the script sees later changes to it and its
    // changes reach it. The object must outlive the script's use of it.
    template <class T>
    void SetReference(const std::string& name, T& object)
    {
        Protected(name, [&](lua_State* state) {
            Stack<T>::PushReference(state, object);
            lua_setfield(state, 1, name.c_str());
        });
    }
    // Sets a name to a C++ function (see PushFunction); setting a name again replaces it.
    template <class F>
    void SetFunction(const std::string& name, F function)
    {
        Protected(name, [&](lua_State* state) {
            PushFunction(state, std::move(function));
            lua_setfield(state, 1, name.c_str());
        });
    }
    // The value of a name (read through "__index", so an environment also sees the globals) as V; the
    // fallback when it is missing or of another kind. A usertype V gives a copy.
    template <class V>
    V Get(const std::string& name, V fallback = V()) const
    {
        V value = fallback;
        const bool read = Protected(name, [&](lua_State* state) {
            lua_getfield(state, 1, name.c_str());
            if (Stack<V>::Is(state, -1))
                value = Stack<V>::Check(state, -1);
        });
        return read ? value : fallback;
    }
    // The C++ object behind a usertype value of a name (owned by Lua or aliased), or null.
    template <class T>
    T* GetObject(const std::string& name) const
    {
        T* object = nullptr;
        const bool read = Protected(name, [&](lua_State* state) {
            lua_getfield(state, 1, name.c_str());
            object = Stack<T>::To(state, -1);
        });
        return read ? object : nullptr;
    }
    // True when the name holds something other than nil.
    bool Has(const std::string& name) const;

private:
    friend class Alias;

    // Runs `body` in a protected call with the table as the only value on its stack. A script may have
    // given the table a metatable whose "__index" or "__newindex" raises an error, and memory may run
    // out: either is traced with the name and the access is dropped, instead of ending the program
    // from outside every protected call. False when the state is closed or the body raised an error.
    template <class F>
    bool Protected(const std::string& name, F&& body) const
    {
        if (!IsOpen())
            return false;
        auto call = [](lua_State* state, void* data) { (*static_cast<std::remove_reference_t<F>*>(data))(state); };
        return RunProtected(name, call, &body);
    }
    bool RunProtected(const std::string& name, void (*call)(lua_State*, void*), void* data) const;

    lua_State* L = nullptr;
    int ref = LUA_NOREF;
    std::shared_ptr<const bool> open;
};

// A script environment is a table of its own.
using Environment = Table;

} // namespace lua
