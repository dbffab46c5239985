#pragma once
// C++ callables as Lua functions. PushFunction(L, f) pushes a Lua function that checks its arguments
// against f's parameter types (Stack<T>::Check: a wrong argument is a Lua error), calls f and pushes
// its result (none for void). f may be a function pointer or any lambda. Every call runs behind an
// exception barrier: a std::exception that escapes f goes to the state's exception handler (see
// State::SetExceptionHandler), and what the handler pushes is raised as a Lua error.
// A result of type T& for a usertype T that is one of the arguments' own object (a method returning
// *this) pushes that argument again, so `v:NormalizeThis()` gives back v itself; any other T& result
// is pushed as a copy.
#include <cstddef>
#include <tuple>
#include <type_traits>
#include <utility>

#include "platform/lua/LuaStack.h"

namespace lua {

// Something a Lua function calls. It lives in a userdata that Lua collects.
class Callable {
public:
    virtual ~Callable() = default;
    // Reads the arguments from the stack, pushes the results and returns their count.
    virtual int Call(lua_State* L) = 0;
};

// Pushes a Lua function that calls a Callable. The stack holds the Callable's userdata and, above it,
// `extraUpvalues` values; all are popped and become the function's upvalues 1, 2, ...
void PushCallableClosure(lua_State* L, int extraUpvalues = 0);
// Gives the userdata on top of the stack the metatable that destroys its Callable.
void SetCallableMetatable(lua_State* L);

// The parameter and result types of a callable.
template <class F>
struct Signature : Signature<decltype(&std::remove_cvref_t<F>::operator())> {};
template <class R, class... A>
struct Signature<R (*)(A...)> {
    using Result = R;
    using Args = std::tuple<A...>;
};
template <class R, class... A>
struct Signature<R(A...)> : Signature<R (*)(A...)> {};
template <class R, class C, class... A>
struct Signature<R (C::*)(A...) const> : Signature<R (*)(A...)> {};
template <class R, class C, class... A>
struct Signature<R (C::*)(A...)> : Signature<R (*)(A...)> {};

namespace detail {

// Pushes the value of a usertype result given by reference: the argument that holds that very object
// when there is one, else a copy.
template <class T>
void PushReturnedReference(lua_State* L, T& result, int argumentCount)
{
    for (int i = 1; i <= argumentCount; ++i) {
        if (lua_type(L, i) == LUA_TUSERDATA) {
            auto* box = static_cast<ObjectBox*>(lua_touserdata(L, i));
            if (box && box->object == &result && Stack<T>::Is(L, i)) {
                lua_pushvalue(L, i);
                return;
            }
        }
    }
    Stack<T>::Push(L, result);
}

template <class R, class... A, class F, std::size_t... I>
int Invoke(lua_State* L, F& f, [[maybe_unused]] int first, std::index_sequence<I...>)
{
    const int argumentCount = lua_gettop(L);
    if constexpr (std::is_void_v<R>) {
        f(StackOf<A>::Check(L, first + static_cast<int>(I))...);
        return 0;
    } else if constexpr (std::is_lvalue_reference_v<R> && IsUsertypeValue<R>) {
        R result = f(StackOf<A>::Check(L, first + static_cast<int>(I))...);
        PushReturnedReference<std::remove_cvref_t<R>>(L, const_cast<std::remove_cvref_t<R>&>(result), argumentCount);
        return 1;
    } else {
        StackOf<R>::Push(L, f(StackOf<A>::Check(L, first + static_cast<int>(I))...));
        return 1;
    }
}

template <class F, class R, class... A>
int InvokeWith(lua_State* L, F& f, int first, std::tuple<A...>*)
{
    return Invoke<R, A...>(L, f, first, std::index_sequence_for<A...>{});
}

} // namespace detail

// Calls f with the stack's arguments from index `first` on and pushes its result.
template <class F>
int CallWithStack(lua_State* L, F& f, int first = 1)
{
    using Sig = Signature<F>;
    return detail::InvokeWith<F, typename Sig::Result>(L, f, first, static_cast<typename Sig::Args*>(nullptr));
}

template <class F>
class BoundFunction final : public Callable {
public:
    explicit BoundFunction(F function) : f(std::move(function)) {}
    int Call(lua_State* L) override { return CallWithStack(L, f); }

private:
    F f;
};

// Places a new Callable of type C, made from the arguments, in a userdata on top of the stack.
template <class C, class... Args>
C* NewCallable(lua_State* L, Args&&... args)
{
    static_assert(alignof(C) <= alignof(std::max_align_t), "callable alignment too strict for Lua");
    void* memory = lua_newuserdatauv(L, sizeof(C), 0);
    C* callable = new (memory) C(std::forward<Args>(args)...);
    SetCallableMetatable(L);
    return callable;
}

// Pushes f as a Lua function.
template <class F>
void PushFunction(lua_State* L, F f)
{
    NewCallable<BoundFunction<F>>(L, std::move(f));
    PushCallableClosure(L);
}

} // namespace lua
