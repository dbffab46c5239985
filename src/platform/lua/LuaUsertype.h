#pragma once
// A C++ class as a Lua type. Usertype<T> (made by State::NewUsertype<T>("Name")) registers:
//   - a global table "Name" whose constructors are callable as Name.new(...) and Name(...). Overloads
//     are tried in the order they were added; the first whose argument count and types match is used;
//   - one metatable for the values: properties read and written as v.Prop, methods called as v:Method(),
//     "__tostring", and "__gc" for values that Lua owns. Values made in Lua or returned by value are
//     owned copies; values pushed with Stack<T>::PushReference (or Table::SetReference) alias a C++
//     object that Lua never destroys. Self and every argument are type-checked.
// Registering a type name again replaces the type for values made from then on.
#include <sstream>
#include <string>
#include <vector>

#include "platform/lua/LuaFunction.h"

namespace lua {

// The pieces the usertype metatables share.
int IndexUsertype(lua_State* L);     // __index: upvalues (methods, getters)
int NewIndexUsertype(lua_State* L);  // __newindex: upvalues (setters, type name)
// Makes the tables of a new usertype: registry[name] is the metatable, the global `name` the type
// table. Pushes nothing; returns registry references to (methods, getters, setters, type table).
void CreateUsertype(lua_State* L, const std::string& name, lua_CFunction collect, int refs[4]);

namespace detail {

// Turns a member function pointer into a callable whose first parameter is the object.
template <class R, class C, class... A>
auto AsCallable(R (C::*method)(A...))
{
    return [method](C& self, A... args) -> R { return (self.*method)(std::forward<A>(args)...); };
}
template <class R, class C, class... A>
auto AsCallable(R (C::*method)(A...) const)
{
    return [method](const C& self, A... args) -> R { return (self.*method)(std::forward<A>(args)...); };
}
template <class F>
F AsCallable(F function)
{
    return function;
}

template <class T>
int CollectUsertype(lua_State* L)
{
    auto* box = static_cast<ObjectBox*>(lua_touserdata(L, 1));
    if (box && box->owned && box->object) {
        static_cast<T*>(box->object)->~T();
        box->owned = false;
        box->object = nullptr;
    }
    return 0;
}

// The constructors of one type, picked by argument count and types.
template <class T>
class Constructors final : public Callable {
public:
    template <class... A>
    void Add()
    {
        overloads.push_back({sizeof...(A), &Matches<A...>, &Make<A...>});
    }
    // Upvalue 2 is the index of the first argument: 1 for T.new(...), 2 for T(...).
    int Call(lua_State* L) override
    {
        const int first = static_cast<int>(lua_tointeger(L, lua_upvalueindex(2)));
        const int count = lua_gettop(L) - first + 1;
        for (const Overload& overload : overloads) {
            if (overload.arity == count && overload.matches(L, first)) {
                overload.make(L, first);
                return 1;
            }
        }
        return luaL_error(L, "no constructor of %s takes these %d argument(s)", UsertypeName<T>().c_str(),
                          count < 0 ? 0 : count);
    }

private:
    struct Overload {
        int arity;
        bool (*matches)(lua_State*, int);
        void (*make)(lua_State*, int);
    };
    template <class... A, std::size_t... I>
    static bool MatchesAt([[maybe_unused]] lua_State* L, [[maybe_unused]] int first, std::index_sequence<I...>)
    {
        return (StackOf<A>::Is(L, first + static_cast<int>(I)) && ...);
    }
    template <class... A>
    static bool Matches(lua_State* L, int first)
    {
        return MatchesAt<A...>(L, first, std::index_sequence_for<A...>{});
    }
    template <class... A, std::size_t... I>
    static void MakeAt(lua_State* L, [[maybe_unused]] int first, std::index_sequence<I...>)
    {
        Stack<T>::Emplace(L, StackOf<A>::Check(L, first + static_cast<int>(I))...);
    }
    template <class... A>
    static void Make(lua_State* L, int first)
    {
        MakeAt<A...>(L, first, std::index_sequence_for<A...>{});
    }
    std::vector<Overload> overloads;
};

} // namespace detail

template <class T>
class Usertype {
public:
    Usertype(lua_State* state, const std::string& name) : L(state)
    {
        UsertypeName<T>() = name;
        CreateUsertype(L, name, &detail::CollectUsertype<T>, refs);
        // The constructor set, reachable as type.new and through the type table's __call.
        lua_rawgeti(L, LUA_REGISTRYINDEX, refs[TypeTable]);
        constructors = NewCallable<detail::Constructors<T>>(L);
        lua_pushvalue(L, -1);
        lua_pushinteger(L, 1);
        PushCallableClosure(L, 1);
        lua_setfield(L, -3, "new");
        lua_pushinteger(L, 2);
        PushCallableClosure(L, 1);
        lua_createtable(L, 0, 1);
        lua_insert(L, -2);
        lua_setfield(L, -2, "__call");
        lua_setmetatable(L, -2);
        lua_pop(L, 1);
    }
    ~Usertype()
    {
        for (int ref : refs)
            luaL_unref(L, LUA_REGISTRYINDEX, ref);
    }
    Usertype(const Usertype&) = delete;
    Usertype& operator=(const Usertype&) = delete;

    // Adds the constructor T(A...).
    template <class... A>
    Usertype& Constructor()
    {
        constructors->template Add<A...>();
        return *this;
    }
    // A data member read and written by name.
    template <class M>
    Usertype& Property(const char* name, M T::*member)
    {
        return Property(
            name, [member](const T& self) -> M { return self.*member; },
            [member](T& self, M value) { self.*member = std::move(value); });
    }
    // A property with its own getter (const T& -> value) and setter (T&, value).
    template <class G, class S>
    Usertype& Property(const char* name, G getter, S setter)
    {
        Set(Getters, name, std::move(getter));
        Set(Setters, name, std::move(setter));
        return *this;
    }
    // A property that scripts can read but not write.
    template <class G>
    Usertype& ReadOnly(const char* name, G getter)
    {
        Set(Getters, name, std::move(getter));
        return *this;
    }
    // A method: a member function pointer, or a callable whose first parameter is T& or const T&.
    // Adding a name again replaces the method.
    template <class F>
    Usertype& Method(const char* name, F method)
    {
        Set(Methods, name, detail::AsCallable(method));
        return *this;
    }
    // A function of the type table (Name.function(...)), not of the values.
    template <class F>
    Usertype& Static(const char* name, F function)
    {
        Set(TypeTable, name, std::move(function));
        return *this;
    }
    // "__tostring" through the class's stream output operator.
    Usertype& ToString()
    {
        return ToString([](const T& self) {
            std::ostringstream out;
            out << self;
            return out.str();
        });
    }
    // "__tostring" through a callable (const T& -> std::string).
    template <class F>
    Usertype& ToString(F text)
    {
        luaL_getmetatable(L, UsertypeName<T>().c_str());
        PushFunction(L, std::move(text));
        lua_setfield(L, -2, "__tostring");
        lua_pop(L, 1);
        return *this;
    }

private:
    enum Table { Methods = 0, Getters = 1, Setters = 2, TypeTable = 3 };
    template <class F>
    void Set(Table table, const char* name, F function)
    {
        lua_rawgeti(L, LUA_REGISTRYINDEX, refs[table]);
        PushFunction(L, std::move(function));
        lua_setfield(L, -2, name);
        lua_pop(L, 1);
    }

    lua_State* L;
    int refs[4] = {LUA_NOREF, LUA_NOREF, LUA_NOREF, LUA_NOREF};
    detail::Constructors<T>* constructors = nullptr;
};

} // namespace lua
