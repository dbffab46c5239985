#pragma once
// How C++ values cross the Lua stack. Stack<T> has, for every supported T:
//   Push(L, value)  pushes a copy of the value (usertypes: an owned copy, collected by Lua);
//   Is(L, index)    true when the slot holds exactly that kind of value (used to pick overloads);
//   Check(L, index) the value, or a Lua error naming the argument ("number expected, got string").
// Supported: bool, integers, floating point, std::string, const char* (push only), std::vector<E> as a
// sequence table (1..n), and every class registered as a usertype (see LuaUsertype.h). A usertype's
// Check gives a reference to the C++ object that the userdata holds, so a bound function taking T&
// works on the script's value itself.
#include <cmath>
#include <concepts>
#include <limits>
#include <new>
#include <string>
#include <type_traits>
#include <vector>

#include <lua.hpp>

namespace lua {

// The header of every usertype userdata: the C++ object, and whether Lua owns (and destroys) it.
struct ObjectBox {
    void* object = nullptr;
    bool owned = false;
};

// The userdata of an owned usertype value: the header, then the object itself.
template <class T>
struct OwnedBox {
    ObjectBox header;
    alignas(T) unsigned char storage[sizeof(T)];
};

// The metatable name (also the Lua type name) of a usertype; empty until the type is registered.
template <class T>
std::string& UsertypeName()
{
    static std::string name;
    return name;
}

// Primary template: a registered usertype.
template <class T>
struct Stack {
    static T* To(lua_State* L, int index)
    {
        const std::string& name = UsertypeName<T>();
        if (name.empty())
            return nullptr;
        auto* box = static_cast<ObjectBox*>(luaL_testudata(L, index, name.c_str()));
        return box ? static_cast<T*>(box->object) : nullptr;
    }
    static bool Is(lua_State* L, int index) { return To(L, index) != nullptr; }
    static T& Check(lua_State* L, int index)
    {
        const std::string& name = UsertypeName<T>();
        if (name.empty())
            luaL_argerror(L, index, "a type that was never registered");
        auto* box = static_cast<ObjectBox*>(luaL_checkudata(L, index, name.c_str()));
        if (!box->object)
            luaL_argerror(L, index, "a value that was already destroyed");
        return *static_cast<T*>(box->object);
    }
    // An owned value made in place from the arguments.
    template <class... Args>
    static void Emplace(lua_State* L, Args&&... args)
    {
        static_assert(alignof(T) <= alignof(std::max_align_t), "usertype alignment too strict for Lua");
        auto* box = static_cast<OwnedBox<T>*>(lua_newuserdatauv(L, sizeof(OwnedBox<T>), 0));
        box->header = ObjectBox{};
        T* object = new (box->storage) T(std::forward<Args>(args)...);
        box->header.object = object;
        box->header.owned = true;
        luaL_setmetatable(L, UsertypeName<T>().c_str());
    }
    static void Push(lua_State* L, const T& value) { Emplace(L, value); }
    static void Push(lua_State* L, T&& value) { Emplace(L, std::move(value)); }
    // A value that aliases the C++ object: Lua neither copies nor destroys it.
    static void PushReference(lua_State* L, T& object)
    {
        auto* box = static_cast<ObjectBox*>(lua_newuserdatauv(L, sizeof(ObjectBox), 0));
        box->object = &object;
        box->owned = false;
        luaL_setmetatable(L, UsertypeName<T>().c_str());
    }
};

template <>
struct Stack<bool> {
    static void Push(lua_State* L, bool value) { lua_pushboolean(L, value ? 1 : 0); }
    static bool Is(lua_State* L, int index) { return lua_type(L, index) == LUA_TBOOLEAN; }
    static bool Check(lua_State* L, int index)
    {
        luaL_checktype(L, index, LUA_TBOOLEAN);
        return lua_toboolean(L, index) != 0;
    }
};

// Integers: a float argument is truncated; anything out of range is clamped to the C++ type.
template <std::integral T>
struct Stack<T> {
    static void Push(lua_State* L, T value) { lua_pushinteger(L, static_cast<lua_Integer>(value)); }
    static bool Is(lua_State* L, int index) { return lua_type(L, index) == LUA_TNUMBER; }
    static T Check(lua_State* L, int index)
    {
        using Limits = std::numeric_limits<T>;
        if (lua_isinteger(L, index)) {
            const lua_Integer value = lua_tointeger(L, index);
            if (value < static_cast<lua_Integer>(Limits::min()))
                return Limits::min();
            if (Limits::max() <= static_cast<unsigned long long>(std::numeric_limits<lua_Integer>::max()) &&
                value > static_cast<lua_Integer>(Limits::max()))
                return Limits::max();
            return static_cast<T>(value);
        }
        const lua_Number number = luaL_checknumber(L, index);
        if (std::isnan(number))
            return 0;
        if (number <= static_cast<lua_Number>(Limits::min()))
            return Limits::min();
        if (number >= static_cast<lua_Number>(Limits::max()))
            return Limits::max();
        return static_cast<T>(number);
    }
};

template <std::floating_point T>
struct Stack<T> {
    static void Push(lua_State* L, T value) { lua_pushnumber(L, static_cast<lua_Number>(value)); }
    static bool Is(lua_State* L, int index) { return lua_type(L, index) == LUA_TNUMBER; }
    static T Check(lua_State* L, int index) { return static_cast<T>(luaL_checknumber(L, index)); }
};

template <>
struct Stack<std::string> {
    static void Push(lua_State* L, const std::string& value) { lua_pushlstring(L, value.data(), value.size()); }
    static bool Is(lua_State* L, int index) { return lua_type(L, index) == LUA_TSTRING; }
    static std::string Check(lua_State* L, int index)
    {
        size_t size = 0;
        const char* text = luaL_checklstring(L, index, &size);
        return std::string(text, size);
    }
};

template <>
struct Stack<const char*> {
    static void Push(lua_State* L, const char* value) { lua_pushstring(L, value ? value : ""); }
};

// A sequence: a table indexed from 1, every element of the element type.
template <class E>
struct Stack<std::vector<E>> {
    static void Push(lua_State* L, const std::vector<E>& values)
    {
        lua_createtable(L, static_cast<int>(values.size()), 0);
        lua_Integer i = 1;
        for (const E& value : values) {
            Stack<E>::Push(L, value);
            lua_rawseti(L, -2, i++);
        }
    }
    static bool Is(lua_State* L, int index)
    {
        if (lua_type(L, index) != LUA_TTABLE)
            return false;
        index = lua_absindex(L, index);
        const lua_Integer count = static_cast<lua_Integer>(lua_rawlen(L, index));
        for (lua_Integer i = 1; i <= count; ++i) {
            lua_rawgeti(L, index, i);
            const bool ok = Stack<E>::Is(L, -1);
            lua_pop(L, 1);
            if (!ok)
                return false;
        }
        return true;
    }
    static std::vector<E> Check(lua_State* L, int index)
    {
        luaL_checktype(L, index, LUA_TTABLE);
        index = lua_absindex(L, index);
        std::vector<E> values;
        const lua_Integer count = static_cast<lua_Integer>(lua_rawlen(L, index));
        for (lua_Integer i = 1; i <= count; ++i) {
            lua_rawgeti(L, index, i);
            if (!Stack<E>::Is(L, -1)) {
                const std::string message = "element " + std::to_string(i) + " of the sequence is a " +
                                            luaL_typename(L, -1);
                luaL_argerror(L, index, message.c_str());
            }
            values.push_back(Stack<E>::Check(L, -1));
            lua_pop(L, 1);
        }
        return values;
    }
};

// The plain type that an argument or result of type T crosses as.
template <class T>
using StackOf = Stack<std::remove_cvref_t<T>>;

// True when T crosses as a usertype (the primary template).
template <class T>
concept IsUsertypeValue = requires(lua_State* L, std::remove_cvref_t<T>& object) {
    StackOf<T>::PushReference(L, object);
};

} // namespace lua
