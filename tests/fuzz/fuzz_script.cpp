// Lua scripts through the LuaAPI system, and the script-variables files they read and write. The
// input holds, separated by lines "====": the script "scripts/Lua/Fuzz.lua", the variables file of the
// object that runs it, and the static variables file. The script runs as a scripted object's behaviour
// for a few frames (in that behaviour's environment), then once more as a string in the globals; last,
// values are written to both variables files and must read back as written.
//
// Scripts run on the budget of FuzzLua.h.
#include <cstdint>
#include <cstdlib>
#include <string>

#include <rapidjson/document.h>

#include "FuzzLua.h"
#include "FuzzSupport.h"
#include "FuzzWorld.h"
#include "core/GameObject.h"
#include "core/Stream.h"
#include "script/LuaAPI_Functions.h"
#include "script/LuaAPI_System.h"
#include "script/ScriptVariables.h"

namespace {

// The scripted object: a transform, a sprite, physics and the behaviour that runs "Fuzz.lua".
const char* const kArchetype = R"({
    "Name": "FuzzStar",
    "Transform": { "TranslationX": 1.0, "TranslationY": 2.0, "ScaleX": 1.5, "ScaleY": 1.5, "Rotation": 0.0 },
    "Sprite": { "Mesh": "textured_mesh", "Texture": "StarParticle", "DrawMode": "Faces", "Layer": "Props",
                "Name": "FuzzStar" },
    "Physics": { "Drag": 0.5 },
    "Behavior": { "BehaviorType": "BehaviorScript", "ScriptName": "Fuzz" }
})";

// Every member of the file's text read as a variable, then each kind of value written and read back.
void ReadAndWrite(const std::string& file, const std::string& text)
{
    rapidjson::Document document;
    document.Parse(text.c_str(), text.size());
    Stream::StreamData value;
    const rapidjson::Value& members = document;
    if (!document.HasParseError() && members.IsObject()) {
        for (auto it = members.MemberBegin(); it != members.MemberEnd(); ++it)
            ScriptVariables::Read(file, std::string(it->name.GetString(), it->name.GetStringLength()), "FuzzStar",
                                  value);
    }
    const Stream::StreamData written[] = {Stream::StreamData(static_cast<int32_t>(7)), Stream::StreamData(2.5f),
                                          Stream::StreamData(true), Stream::StreamData("text")};
    for (const Stream::StreamData& wrote : written) {
        if (!ScriptVariables::Write(file, "FuzzKey", "FuzzStar", wrote))
            continue;
        Stream::StreamData read;
        if (!ScriptVariables::Read(file, "FuzzKey", "FuzzStar", read) || !read.SameValue(wrote))
            std::abort(); // a variable written is a variable read back
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string saveDir = [] {
        fuzz::SetUp();
        fuzz::Put("assets/data/archetypes/FuzzStar.json", kArchetype);
        return GetSaveDirectory();
    }();
    const auto parts = fuzz::Parts(data, size, 3);
    fuzz::Put("assets/data/scripts/Lua/Fuzz.lua", parts[0]);
    // Without a current scene the object's file is "<object>_".
    const std::string objectFile = ScriptVariables::ObjectFile("FuzzStar");
    const std::string objectPath = saveDir + "/" + objectFile + ".json";
    const std::string staticPath = saveDir + "/" + ScriptVariables::STATIC_FILE + ".json";
    // The static file as the system finds it at start (it empties it), and again for the script.
    fuzz::Put(staticPath, parts[2]);
    gLoopedSounds.clear();

    fuzz::World world;
    auto* lua = new LuaAPI_System();
    world.engine->AddSystem(lua);
    world.engine->Init();
    fuzz::LimitLua(lua->state.Raw());

    GameObject* star = world.factory->CreateGameObject("archetypes/FuzzStar", true);
    fuzz::Put(objectPath, parts[1]);
    fuzz::Put(staticPath, parts[2]);
    if (star)
        world.factory->CloneAndRegister(star);
    world.Deliver();
    for (int step = 0; step < 3; ++step) {
        world.manager->Update(0.1f);
        world.Deliver();
    }
    // The same text as one chunk in the globals, on a budget of its own.
    fuzz::RenewLuaBudget();
    LuaAPI_System::RunString(parts[0]);
    world.Deliver();

    ReadAndWrite(objectFile, parts[1]);
    ReadAndWrite(ScriptVariables::STATIC_FILE, parts[2]);
    world.manager->ClearGameObjects();
    world.Deliver();
    return 0;
}
