#pragma once
// The budget a fuzz harness gives the Lua state of each input: a number of Lua instructions and of
// bytes Lua may take (freed or not), so a script that loops forever, or grows a string without end,
// stops with a Lua error instead of reading as a hang. The budget belongs to the harnesses alone: it
// is set on the state after the API is registered, and the state goes with the input.
#include <cstddef>

#include <lua.hpp>

namespace fuzz {

inline constexpr int kHookEvery = 100;                  // instructions between two budget checks
inline constexpr long kInstructionBudget = 300000;      // per input
inline constexpr std::size_t kMemoryBudget = 16u << 20; // bytes Lua may take per input, freed or not

inline long gInstructions = 0;
inline std::size_t gTaken = 0;
inline lua_Alloc gLuaAlloc = nullptr;
inline void* gLuaAllocData = nullptr;

inline void Budget(lua_State* L, lua_Debug*)
{
    gInstructions += kHookEvery;
    if (gInstructions > kInstructionBudget)
        luaL_error(L, "the fuzz input's instruction budget is spent");
}

// The state's own allocator, refusing growth once the input has taken its budget. (Lua passes the
// object's kind, not a size, as the old size of a new block; shrinking never fails.)
inline void* Allocate(void*, void* block, std::size_t oldSize, std::size_t newSize)
{
    const std::size_t had = block ? oldSize : 0;
    if (newSize > had) {
        if (gTaken + (newSize - had) > kMemoryBudget)
            return nullptr;
        gTaken += newSize - had;
    }
    return gLuaAlloc(gLuaAllocData, block, oldSize, newSize);
}

// A fresh budget for the next run on the same state.
inline void RenewLuaBudget()
{
    gInstructions = 0;
    gTaken = 0;
}

// Puts the state on the budget, from now on (registering the API is not counted).
inline void LimitLua(lua_State* L)
{
    RenewLuaBudget();
    gLuaAlloc = lua_getallocf(L, &gLuaAllocData);
    lua_setallocf(L, &Allocate, nullptr);
    lua_sethook(L, &Budget, LUA_MASKCOUNT, kHookEvery);
}

} // namespace fuzz
