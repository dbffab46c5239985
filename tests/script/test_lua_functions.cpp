// The global script functions (sounds, input words, scene rules, the stand-ins for missing systems)
// and the script variables files.
#include <gtest/gtest.h>

#include <GLFW/glfw3.h>

#include "core/Engine.h"
#include "graphics/InputManager.h"
#include "script/ScriptVariables.h"
#include "script/LuaAPI_Functions.h"
#include "script_fixture.h"
#include "world/SceneSystem.h"

using namespace testsupport;

namespace {

class LuaFunctionsTest : public ScriptTest {
protected:
    // "name:text" of each message delivered since the last call.
    std::vector<std::string> Sent()
    {
        core->Deliver();
        std::vector<std::string> seen;
        for (const SeenMessage& m : core->recorder->seen)
            seen.push_back(m.name + ":" + (m.type == MessageType::AudioClip
                                               ? m.clip.paramName + "=" + std::to_string(m.clip.paramValue)
                                               : m.text));
        core->recorder->Clear();
        return seen;
    }
};

using Names = std::vector<std::string>;

} // namespace

TEST_F(LuaFunctionsTest, SoundsMoveThroughAudioMessages)
{
    gLoopedSounds.clear();
    Check("PlaySound('Loop', true) PlaySound('Loop', true)\n"
          "local l = GetCurrentlyLoopedSounds() assert(#l == 2 and l[1] == 'Loop' and l[2] == 'Loop')");
    EXPECT_EQ(Sent(), (Names{"Event_Play:Loop", "Event_Play:Loop"}));
    Check("StopLoopedSound('Loop') StopLoopedSound('Other')\n"
          "local l = GetCurrentlyLoopedSounds() assert(#l == 1 and l[1] == 'Loop')");
    EXPECT_EQ(Sent(), (Names{"Event_Stop:Loop", "Event_Destroy:Loop"}));
    Check("PlaySound('Menu_Click', false)");
    EXPECT_EQ(Sent(), (Names{"Event_Play:Menu_Click", "Event_Destroy:Menu_Click"}));

    const std::string missing = "[Lua] Error: Type Does Not Exist";
    struct Case {
        const char* code;
        Names sent;
        bool traced;
    } cases[] = {
        {"SetVolume('Music', 12)", {"Change_Global_Param:MusicSlider=10.000000"}, false},
        {"SetVolume('SFX', -3)", {"Change_Global_Param:SFXSlider=0.000000"}, false},
        {"SetVolume('sfx', 4.5)", {"Change_Global_Param:SFXSlider=4.500000"}, false},
        {"SetVolume('master', 5)", {}, true},
        {"assert(GetVolume('master') == -1)", {}, true},
        {"assert(GetVolume('Music') == 0 and GetVolume('sfx') == 0)", {}, false},  // nothing playing
        {"PauseAudioBus('ALL') MuteAudioBus('Ambience')", {"Set_Bus_Paused:", "Set_Bus_Mute:Ambience"}, false},
        {"PauseAudioBus('music') MuteAudioBus('sfx')", {"Set_Bus_Paused:Music", "Set_Bus_Mute:SFX"}, false},
        {"MuteAudioBus('drums')", {}, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Contains(Check(c.code), missing), c.traced) << c.code;
        EXPECT_EQ(Sent(), c.sent) << c.code;
    }
    gLoopedSounds.clear();
}

TEST_F(LuaFunctionsTest, InputWordsIgnoreCaseAndAnyIsOnlyForHeld)
{
    auto keys = std::make_shared<ScriptedKeySource>();
    InputManager input(keys);
    input.Init();
    Check("assert(not IsPlayerActionHeld('any') and not IsEscapePressed())");
    keys->SetKey(GLFW_KEY_A, true);
    keys->SetKey(GLFW_KEY_ESCAPE, true);
    input.Update(0.0f);
    Check("assert(IsPlayerActionPressed('Left') and IsPlayerActionPressed('LEFT') and IsPlayerActionPressed('left'))\n"
          "assert(not IsPlayerActionPressed('left ') and not IsPlayerActionPressed('any'))\n"
          "assert(IsPlayerActionHeld('any') and IsPlayerActionHeld('Left') and not IsPlayerActionHeld('right'))\n"
          "assert(IsEscapePressed() and not IsPlayerActionReleased('left'))");
    input.Update(0.0f);  // still down: no longer pressed this frame
    Check("assert(IsPlayerActionPressed('left') and not IsPlayerActionHeld('left') and IsPlayerActionHeld('ANY'))");
    keys->ReleaseAll();
    keys->SetMouseButton(0, true);
    input.Update(0.0f);
    Check("assert(IsPlayerActionReleased('Left') and IsPlayerActionClick('Down') and IsPlayerActionClick('click'))\n"
          "assert(IsPlayerActionClick('up') and not IsPlayerActionClick('tap'))");
    Check("SetMouseDisplay(true)");
    EXPECT_EQ(gEngine->showCursor, 1);
}

TEST_F(LuaFunctionsTest, APendingSceneChangeRefusesPauseAndTwoSounds)
{
    SceneSystem scenes;
    scenes.reload = true;  // a reload of the current scene is pending
    Check("Pause() assert(not IsGamePaused())\n"
          "PlaySound('Player_Ping', false) PlaySound('Menu_PauseOn', false) PlaySound('Menu_Click', false)");
    EXPECT_EQ(gEngine->paused, 0);
    EXPECT_EQ(Sent(), (Names{"Event_Play:Menu_Click", "Event_Destroy:Menu_Click"}));
    scenes.reload = false;
    Check("Pause() assert(IsGamePaused()) Unpause() assert(not IsGamePaused())");
    EXPECT_EQ(Sent(), (Names{"Change_Global_Param:Paused=0.000000", "Change_Global_Param:Paused=1.000000"}));
}

TEST_F(LuaFunctionsTest, MissingSystemsGiveTheirDefaults)
{
    Place("Crate");
    Place("Crate");
    Check("assert(GetNumTreasureCollected() == -1 and GetTotalNumTreasure() == -1 and GetRoomNum(1, 2) == -1)\n"
          "assert(GetTreasureRemaining(0) == -1) PingTreasure() PingRoom()\n"
          "EnableLightingSystem() PingBox(0, 0, 4, 4) PingRadius(0, 0, 3) PingCounter()\n"
          "assert(CreditsAreOver() and not GetReopenPauseMenu()) ReadMenu('PauseMenu') DeleteAllMenuObjects()\n"
          "assert(not IsFullscreen()) SetWindowed() SetGlobalAlpha(0.5) Quit()\n"
          "assert(GetCurrentScene() == '') SetNextScene('Nowhere')\n"
          "assert(DoesTableContain({'Lamp', 'NeonSign2'}, 'Neon') and DoesTableContain({'a'}, ''))\n"
          "assert(not DoesTableContain({}, '') and not DoesTableContain({'Lamp'}, 'lamp'))\n"
          "local e = GetPlayerEyesTranslation(5, 6, math.pi / 2)\n"
          "assert(math.abs(e.X + 0.19) < 1e-6 and math.abs(e.Y) < 1e-6)\n"
          "local all = GameObjectManagerGetAllObjects('Crate') assert(#all == 1 and all[1]:GetName() == 'Crate')\n"
          "assert(#GameObjectManagerGetAllObjects('None') == 0 and not GameObjectManagerGetObject('None'):AM_I_ALIVE())");
}

TEST_F(LuaFunctionsTest, WidgetMembersCheckTheBehavioursType)
{
    Place("Knob");
    const std::string out = Check(
        "local k = GameObjectManagerGetObject('Knob')\n"
        "assert(k:DropdownGetSelected() == '' and k:GetInteractType() == -1) k:DropdownSetSelected(3)\n"
        "assert(k:VCVGetValue() == -1 and k:VCVGetValueAsPercent() == -1) k:VCVSetValue(99)\n"
        "local none = GameObjectManagerGetObject('None')\n"
        "assert(none:VCVGetValue() == 0 and none:VCVGetValueAsPercent() == 0 and none:DropdownGetSelected() == '')");
    EXPECT_EQ(Count(out, "[Lua] Error: Object 'Knob' is not a Dropdown.\n"), 3);
    EXPECT_EQ(Count(out, "[Lua] Error: Object 'Knob' is not a Volume_CoolVersion.\n"), 3);
    EXPECT_EQ(Count(out, "[Lua] Error: Object Does Not Exist\n"), 3);
}

TEST_F(LuaFunctionsTest, VariablesLiveInTheirFilesWrittenWhole)
{
    Place("Crate");
    Check("local c = GameObjectManagerGetObject('Crate')\n"
          "c:SetVarInt('Score', 3) c:SetVarFloat('F', 0.1) c:SetVarBool('B', true) c:SetVarString('S', 'hi')\n"
          "assert(c:GetVarInt('Score') == 3 and c:GetVarString('S') == 'hi' and c:GetVarBool('B'))\n"
          "assert(c:GetVarString('Score') == '' and c:GetVarInt('S') == 0 and c:GetVarFloat('Never') == 0)\n"
          "c:SetVarFloat('Half', 2.75) assert(c:GetVarInt('Half') == 2 and c:GetVarBool('Half'))\n"
          "c:SetVarFloat('Neg', -1.5) c:SetVarFloat('Zero', 0) assert(c:GetVarBool('Neg') and not c:GetVarBool('Zero'))\n"
          "c:SetVarStaticInt('Lives', 2) assert(c:GetVarStaticInt('Lives') == 2 and c:GetVarStaticFloat('Lives') == 2)\n"
          "n = c:GetVarInt('Count') c:SetVarInt('Count', n + 1)");
    // No scene: the file name ends in the underscore after the object's name.
    const fs::path file = Save("scripts/variables/Crate_.json");
    EXPECT_EQ(ReadFile(file), "{\n    \"Score\": 3,\n    \"F\": 0.10000000149011612,\n    \"B\": true,\n"
                              "    \"S\": \"hi\",\n    \"Half\": 2.75,\n    \"Neg\": -1.5,\n    \"Zero\": 0.0,\n"
                              "    \"Count\": 1\n}");
    EXPECT_EQ(ReadFile(Save("scripts/variables/StaticVars.json")), "{\n    \"Lives\": 2\n}");
    EXPECT_FALSE(fs::exists(file.string() + ".tmp"));

    // Two handles on one object read and write the one file: the last set is what both read.
    Check("local a = GameObjectManagerGetObject('Crate') local b = GameObjectManagerGetObject('Crate')\n"
          "assert(b:GetVarInt('Score') == 3) a:SetVarInt('Score', 4) assert(b:GetVarInt('Score') == 4)\n"
          "a:SetVarInt('Shared', 3) b:SetVarInt('Shared', 5) a:SetVarInt('Shared', 3)\n"
          "assert(a:GetVarInt('Shared') == 3 and b:GetVarInt('Shared') == 3)");
    EXPECT_TRUE(Contains(ReadFile(file), "\"Score\": 4,")) << ReadFile(file);
    EXPECT_TRUE(Contains(ReadFile(file), "\"Shared\": 3\n")) << ReadFile(file);

    // Read, change, write: each run of the engine goes on from the last.
    for (int run = 2; run <= 3; ++run) {
        StopEngine();
        StartEngine();
        Place("Crate");
        Check("local c = GameObjectManagerGetObject('Crate')\n"
              "assert(c:GetVarStaticInt('Lives') == 0)\n"
              "n = c:GetVarInt('Count') c:SetVarInt('Count', n + 1) c:SetVarInt('Count', n + 2)");
        EXPECT_TRUE(Contains(ReadFile(file), "\"Count\": " + std::to_string(2 * run - 1))) << ReadFile(file);
    }
}

TEST_F(LuaFunctionsTest, VariablesFollowTheirFileFromFrameToFrame)
{
    Place("Crate");
    const fs::path file = Save("scripts/variables/Crate_.json");
    auto frame = [&] { lua->Update(1.0f / 60.0f); };
    Check("Old = GameObjectManagerGetObject('Crate') Old:SetVarInt('Score', 3) assert(Old:GetVarInt('Score') == 3)");
    // The file edited on disk between frames: setting the value the handle last saw still writes it,
    // and the handle made before and one made now both read the edit.
    frame();
    WriteFile(file, R"({"Score": 42})");
    Check("Old:SetVarInt('Score', 3)");
    EXPECT_EQ(ReadFile(file), "{\n    \"Score\": 3\n}");
    frame();
    WriteFile(file, R"({"Score": 42})");
    Check("assert(Old:GetVarInt('Score') == 42) assert(GameObjectManagerGetObject('Crate'):GetVarInt('Score') == 42)");
    // Edited on disk within the frame, after the value was cached: the set of that value reaches it.
    Check("Old:SetVarInt('Score', 3) assert(Old:GetVarInt('Score') == 3)");
    WriteFile(file, R"({"Score": 42, "Other": 1})");
    Check("Old:SetVarInt('Score', 3)");
    EXPECT_EQ(ReadFile(file), "{\n    \"Score\": 3,\n    \"Other\": 1\n}");
    // A float that changes within one whole number, many times in a frame, grows every time.
    Check("for i = 1, 6 do Old:SetVarFloat('T', Old:GetVarFloat('T') + 0.25) end\n"
          "assert(Old:GetVarFloat('T') == 1.5, Old:GetVarFloat('T'))");
    EXPECT_TRUE(Contains(ReadFile(file), "\"T\": 1.5\n")) << ReadFile(file);

    // Reset then read in the same frame: the values set before never come back, also when the file
    // was emptied behind the game's back (then the read reports the empty file).
    struct Case {
        const char* label;
        bool emptiedOnDisk;
    };
    for (const Case& c : {Case{"file holds the variables", false}, Case{"file emptied on disk", true}}) {
        frame();
        Check("Old:SetVarInt('Score', 5) assert(Old:GetVarInt('Score') == 5)");
        if (c.emptiedOnDisk)
            WriteFile(file, "");
        CaptureConsole([] { ScriptVariables::Reset("Crate"); });
        const std::string out = Check("assert(Old:GetVarInt('Score') == 0)");
        EXPECT_EQ(Contains(out, "[Lua] Error: Stream Data 'Crate ' is invalid"), c.emptiedOnDisk) << c.label << out;
        EXPECT_EQ(ReadFile(file), c.emptiedOnDisk ? "" : "{}") << c.label;
    }
}

TEST_F(LuaFunctionsTest, VariableFilesStayInsideTheirFolder)
{
    Place("../../evil");
    Place("a/b");
    WriteFile(Save("scripts/variables/Empty_.json"), "");
    Place("Empty");
    const std::string out = Check(
        "for _, name in ipairs({'../../evil', 'a/b'}) do\n"
        "  local o = GameObjectManagerGetObject(name) o:SetVarInt('X', 1) assert(o:GetVarInt('X') == 0)\n"
        "end\n"
        "local e = GameObjectManagerGetObject('Empty') e:SetVarInt('X', 1) assert(e:GetVarInt('X') == 0)");
    EXPECT_TRUE(Contains(out, "[Lua] Error: '../../evil' can't name a variables file")) << out;
    EXPECT_EQ(Count(out, "[Lua] Error: Stream Data 'Empty ' is invalid\n"), 2) << out;
    EXPECT_EQ(ReadFile(Save("scripts/variables/Empty_.json")), "");
    // Nothing but the variables folder (and the static file) was written.
    for (const auto& entry : fs::recursive_directory_iterator(folder.root)) {
        const std::string path = entry.path().string();
        if (entry.is_regular_file()) {
            EXPECT_TRUE(Contains(path, "scripts/variables/StaticVars.json") ||
                        Contains(path, "scripts/variables/Empty_.json") || Contains(path, "trace.log"))
                << path;
        }
    }
}

#if __has_include("game/TreasureManager.h")
#include "game/TreasureManager.h"

TEST_F(LuaFunctionsTest, TreasureCountsComeFromTheTreasureManager)
{
    TreasureManager treasure;
    treasure.NumRooms = 3;
    treasure.collected = {1, 2, 0, 9, 9, 9, 9, 9};  // rooms past NumRooms don't count
    treasure.remaining = {4, 5, 6, 9, 9, 9, 9, 9};
    Check("assert(GetNumTreasureCollected() == 3 and GetTotalNumTreasure() == -1)\n"
          "assert(GetTreasureRemaining(0) == -1 and GetTreasureRemaining(3) == 0 and GetTreasureRemaining(-1) == 0)");
    treasure.treasureLoaded = true;
    treasure.roomObjects[0].resize(2);
    treasure.roomObjects[2].resize(1);
    Check("assert(GetTotalNumTreasure() == 3 and GetTreasureRemaining(1) == 5 and GetRoomNum(1e9, 1e9) == -1)");
}
#endif
