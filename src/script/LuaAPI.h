#pragma once
// The script API: every name that scripts see in the globals table.
namespace lua {
class State;
}

// Registers the whole API on the state, types first. The one place where global functions are added.
void RegisterLuaAPI(lua::State& state);
