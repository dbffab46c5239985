// Our Lua binding: bound functions, usertypes, environments and protected runs, seen from scripts.
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/lua/Lua.h"

namespace {

struct Point {
    float X = 0, Y = 0;
    static inline int alive = 0;
    Point() { ++alive; }
    Point(float x, float y) : X(x), Y(y) { ++alive; }
    Point(const Point& o) : X(o.X), Y(o.Y) { ++alive; }
    ~Point() { --alive; }
    float Sum() const { return X + Y; }
    Point& Twice()
    {
        X *= 2;
        Y *= 2;
        return *this;
    }
};
std::ostream& operator<<(std::ostream& out, const Point& p) { return out << "(" << p.X << "|" << p.Y << ")"; }

class Binding : public ::testing::Test {
protected:
    void SetUp() override
    {
        state = std::make_unique<lua::State>();
        state->OpenLibraries();
        state->SetFunction("Add", [](int a, int b) { return a + b; });
        state->SetFunction("Half", [](float v) { return v / 2; });
        state->SetFunction("Not", [](bool b) { return !b; });
        state->SetFunction("Join", [](const std::vector<std::string>& parts, const std::string& glue) {
            std::string out;
            for (const std::string& part : parts)
                out += (out.empty() ? "" : glue) + part;
            return out;
        });
        state->SetFunction("Pair", []() { return std::vector<std::string>{"a", "b"}; });
        state->SetFunction("Grow", [](Point& p) { p.X += 1; });
        state->SetFunction("Make", [](float x) { return Point(x, x); });
        state->SetFunction("Fail", []() -> int { throw std::runtime_error("boom"); });
        state->NewUsertype<Point>("Point")
            .Constructor<>()
            .Constructor<float, float>()
            .Constructor<const Point&>()
            .Property("X", &Point::X)
            .Property("Y", &Point::Y)
            .Method("Sum", &Point::Sum)
            .Method("Twice", &Point::Twice)
            .ToString();
    }
    std::string Run(const std::string& code, const lua::Table* env = nullptr)
    {
        std::string error;
        return state->RunString(code, env, error) ? "ok" : error;
    }
    std::unique_ptr<lua::State> state;
};

} // namespace

TEST_F(Binding, ScriptsSeeFunctionsAndTypesWithCheckedArguments)
{
    struct Case {
        const char* code;
        const char* result;  // "ok" or a part of the error
    } cases[] = {
        {"assert(Add(2, 3) == 5 and Add(2.9, 1) == 3 and Half(3) == 1.5 and Not(false))", "ok"},
        {"assert(Join({'a', 'b'}, '-') == 'a-b' and Join({}, '-') == '')", "ok"},
        {"local s = Pair() assert(#s == 2 and s[2] == 'b')", "ok"},
        {"local p = Point(1, 2) Grow(p) assert(p.X == 2 and p:Sum() == 4)", "ok"},
        {"local p = Point.new(1, 2) assert(p:Twice() == p and p.Y == 4)", "ok"},
        {"local a = Point(1, 2) local b = Point(a) b.X = 9 assert(a.X == 1 and Point().X == 0)", "ok"},
        {"assert(tostring(Make(2)) == '(2|2)')", "ok"},
        {"Add('x', 1)", "number expected, got string"},
        {"Not(1)", "boolean expected, got number"},
        {"Join({'a', 1}, '-')", "element 2 of the sequence is a number"},
        {"Grow(5)", "Point expected, got number"},
        {"local p = Point() p.Sum(5)", "Point expected, got number"},
        {"Point('a')", "no constructor of Point takes these 1 argument(s)"},
        {"Point().Z = 1", "Point has no writable property 'Z'"},
        {"Fail()", "boom"},
        {"x = = 1", "unexpected symbol"},
    };
    for (const Case& c : cases)
        EXPECT_NE(Run(c.code).find(c.result), std::string::npos) << c.code << " gave " << Run(c.code);
    // A name registered again is replaced.
    state->SetFunction("Add", [](int a, int b) { return a * b; });
    EXPECT_EQ(Run("assert(Add(2, 3) == 6)"), "ok");
}

TEST_F(Binding, ExceptionsGoThroughTheStatesHandler)
{
    static std::string seen;
    state->SetExceptionHandler([](lua_State* L, const std::exception* e, const char*) {
        seen = e ? e->what() : "";
        lua_pushstring(L, "handled");
        return 1;
    });
    EXPECT_EQ(Run("Fail()"), "handled");
    EXPECT_EQ(seen, "boom");
    EXPECT_EQ(Run("assert(pcall(Fail) == false) assert(Add(1, 1) == 2)"), "ok");
}

TEST_F(Binding, EnvironmentsKeepTheirNamesAndAliasReferences)
{
    auto a = state->NewEnvironment();
    auto b = state->NewEnvironment();
    Point mine(1, 1);
    a->Set("Count", 3);
    a->Set("Names", std::vector<std::string>{"x", "y"});
    a->SetReference("Me", mine);
    a->Set("Copy", mine);
    EXPECT_EQ(Run("Secret = Count + #Names Me.X = 5 Copy.X = 7 Total = Add(1, 1)", a.get()), "ok");
    EXPECT_EQ(Run("assert(Secret == nil and Me == nil and Add ~= nil)", b.get()), "ok");
    EXPECT_FALSE(state->Globals().Has("Secret"));
    EXPECT_EQ(a->Get<int>("Secret"), 5);
    EXPECT_EQ(a->Get<std::string>("Secret", "none"), "none");  // a number is not a string
    EXPECT_EQ(a->Get<int>("Total"), 2);
    EXPECT_EQ(mine.X, 5);                                      // the reference is the object itself
    EXPECT_EQ(a->GetObject<Point>("Copy")->X, 7);              // the copy is Lua's own
    EXPECT_EQ(a->GetObject<Point>("Me"), &mine);
    // The state closes first: the environments go inert and Lua destroys only its own values.
    state->Close();
    a->Set("Count", 4);
    EXPECT_EQ(a->Get<int>("Count", -1), -1);
    a.reset();
    EXPECT_EQ(Point::alive, 1);
}

TEST_F(Binding, OnlyTextChunksAndTheAllowedLibrariesLoad)
{
    EXPECT_EQ(Run("assert(os == nil and io == nil and debug == nil and coroutine == nil and utf8 == nil)"
                  "assert(base == _G and package.loadlib == nil and package.cpath == '')"),
              "ok");
    EXPECT_NE(Run("assert(load(string.dump(function() end)))").find("binary chunk"), std::string::npos);
    std::string error;
    EXPECT_FALSE(state->RunFile("/nonexistent/x.lua", nullptr, error));
    EXPECT_NE(error.find("cannot open /nonexistent/x.lua"), std::string::npos);
}
