#pragma once
// A folder of its own, the core engine systems and a started LuaAPI system; scripts run as strings,
// their Lua assertions reported like any script error.
#include <cstdint>
#include <memory>
#include <string>

#include "CoreEngine.h"
#include "FolderTest.h"
#include "TestObjects.h"
#include "core/GameObject.h"
#include "core/GameObjectManager.h"
#include "script/LuaAPI_System.h"

namespace testsupport {

// How often the part stands in the text.
inline int Count(const std::string& text, const std::string& part)
{
    int n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

class ScriptTest : public FolderTest {
protected:
    void SetUp() override
    {
        FolderTest::SetUp();
        StartEngine();
    }
    void TearDown() override { StopEngine(); }

    void StartEngine()
    {
        core = std::make_unique<CoreEngine>();
        CaptureConsole([&] {
            lua = new LuaAPI_System();
            lua->Init();
        });
    }
    void StopEngine()
    {
        delete lua;
        lua = nullptr;
        core.reset();
    }
    // Runs the code; returns what it printed and traced.
    std::string Run(const std::string& code)
    {
        return CaptureConsole([&] { LuaAPI_System::RunString(code); });
    }
    // Runs the code and expects no script error (a failed Lua assert is one).
    std::string Check(const std::string& code)
    {
        const std::string out = Run(code);
        EXPECT_FALSE(Contains(out, "Line 200")) << code << "\n" << out;
        return out;
    }
    // A registered hand-made object holding a Transform at (x, y).
    GameObject* Place(const std::string& name, float x = 0.0f, float y = 0.0f)
    {
        static std::uint32_t nextId = 1000000;  // far above the ids the factory hands out
        GameObject* object = MakePlacedObject(name, x, y);
        object->SetId(nextId++);
        core->manager->AddGameObject(object);
        return object;
    }

    std::unique_ptr<CoreEngine> core;
    LuaAPI_System* lua = nullptr;
};

} // namespace testsupport
