#pragma once
// Our Lua binding: include this one header.
//
//   lua::State state;                  // LuaState.h: the state, libraries, protected runs, environments
//   state.OpenLibraries();
//
//   // A global function (LuaFunction.h): arguments are checked and converted from the parameter types
//   // (std::string, numbers, bool, usertypes by T& / const T& / T, std::vector<E> sequences); the
//   // result is pushed (void, bool, numbers, std::string, usertypes, std::vector<E>).
//   state.SetFunction("Add", [](int a, int b) { return a + b; });
//
//   // A usertype (LuaUsertype.h): Point.new(1, 2) or Point(1, 2); p.X = 3; p:Length(); tostring(p).
//   state.NewUsertype<Point>("Point")
//       .Constructor<>()
//       .Constructor<float, float>()
//       .Property("X", &Point::X)
//       .Method("Length", &Point::Length)
//       .ToString();                   // uses operator<<(std::ostream&, const Point&)
//
//   // A file run in an environment of its own (LuaTable.h), with values set before and read after.
//   std::shared_ptr<lua::Environment> env = state.NewEnvironment();
//   env->Set("DeltaTime", 0.016f);     // a copy
//   env->SetReference("Me", myPoint);  // the C++ object itself, not a copy
//   std::string error;
//   if (!state.RunFile("script.lua", env.get(), error))
//       Report(error);                 // the Lua message, e.g. "script.lua:3: attempt to call a nil value"
//   int score = env->Get<int>("Score", 0);
//
// Lua errors never escape a run; a std::exception thrown by a bound function goes to the state's
// exception handler and becomes a Lua error of that run.
#include "platform/lua/LuaAlias.h"
#include "platform/lua/LuaFunction.h"
#include "platform/lua/LuaStack.h"
#include "platform/lua/LuaState.h"
#include "platform/lua/LuaTable.h"
#include "platform/lua/LuaUsertype.h"
