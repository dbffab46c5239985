// MenuSystem and the menu widgets with a real window, driven frame by frame with our own mouse: menu
// files (order, repeats, bad counts and entries), the credits scroll state, deleting by name and by
// menu, objects deleted behind the lists' back, write-back by entry name, the static calls without a
// menu system, button hover and click with its script, and the four widgets.
#include <gtest/gtest.h>

#include <GLFW/glfw3.h>

#include <memory>
#include <string>
#include <vector>

#include "CoreEngine.h"
#include "GlFrame.h"
#include "TestFiles.h"
#include "core/Engine.h"
#include "app/GameLoop.h"
#include "core/CreditsScroll.h"
#include "core/GameObject.h"
#include "core/GameObjectManager.h"
#include "core/Trace.h"
#include "core/Transform.h"
#include "graphics/InputManager.h"
#include "graphics/Sprite.h"
#include "graphics/Texture.h"
#include "graphics/Window.h"
#include "script/LuaAPI_System.h"
#include "ui/Button.h"
#include "ui/Checkbox.h"
#include "ui/Dropdown.h"
#include "ui/MenuSystem.h"
#include "ui/Slider.h"
#include "ui/Volume_CoolVersion.h"

using namespace testsupport;

namespace {

class MenusTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!HaveDisplay())
            return;
        scratch_ = new ScratchDir("menus_unit");
        scratch_->CopyFromRepo("assets");
        scratch_->Enter();
        window_ = OpenWindow();
    }
    static void TearDownTestSuite()
    {
        delete window_;
        window_ = nullptr;
        delete scratch_;
        scratch_ = nullptr;
    }
    void SetUp() override
    {
        if (!window_)
            GTEST_SKIP() << "no display or no OpenGL 3.3";
        TraceReset();
        TraceInit();
        window_->focused = 1;
        core = std::make_unique<CoreEngine>();
        CaptureConsole([&] {
            input = new InputManager(keys);
            core->engine->AddSystem(input);
            input->Init();
            lua = new LuaAPI_System();
            core->engine->AddSystem(lua);
            lua->Init();
            menus = new MenuSystem();
            core->engine->AddSystem(menus);
            menus->Init();
        });
    }
    void TearDown() override
    {
        if (!window_)
            return;
        CaptureConsole([&] { core.reset(); });
        CreditsScrollState = CreditsScroll{};
        TraceClose();
    }

    void Menu(const std::string& name, const std::string& json) { WriteFile(fs::path("assets/data/menus") / (name + ".json"), json); }
    // One frame: input, objects, messages.
    void Frames(int n = 1)
    {
        for (int i = 0; i < n; ++i) {
            input->Update(0.0f);
            core->manager->Update(1.0f / 60.0f);
            core->Deliver();
        }
    }
    void MoveTo(float x, float y)
    {
        const float w = static_cast<float>(WindowWidth), h = static_cast<float>(WindowHeight);
        keys->SetCursor((x * h / w + 1.0f) * w / 2.0f, (1.0f - y) * h / 2.0f);
    }
    void Mouse(bool down, int frames = 1)
    {
        keys->SetMouseButton(GLFW_MOUSE_BUTTON_LEFT, down);
        Frames(frames);
    }
    void ClickAt(float x, float y)
    {
        MoveTo(x, y);
        Frames(2);
        Mouse(true, 2);
        Mouse(false, 2);
    }
    GameObject* Find(const std::string& name) { return core->manager->FindGameObject(name); }
    std::string Log() { return ReadFile(save.LogPath()); }
    template <class W>
    W* Widget(const std::string& name)
    {
        GameObject* object = Find(name);
        return object ? dynamic_cast<W*>(object->GetBehavior()) : nullptr;
    }

    static ScratchDir* scratch_;
    static Window* window_;
    TestSaveDir save;
    std::shared_ptr<ScriptedKeySource> keys = std::make_shared<ScriptedKeySource>();
    std::unique_ptr<CoreEngine> core;
    InputManager* input = nullptr;
    LuaAPI_System* lua = nullptr;
    MenuSystem* menus = nullptr;
};

ScratchDir* MenusTest::scratch_ = nullptr;
Window* MenusTest::window_ = nullptr;

std::vector<std::string> Names()
{
    std::vector<std::string> names;
    GameObject* cursor = MenuSystem::FirstMenuObject();
    for (; cursor; MenuSystem::NextMenuObject(cursor))
        names.push_back(cursor->GetName());
    return names;
}

TEST_F(MenusTest, LoadingKeepsOrderSkipsRepeatsAndBoundsBadEntries)
{
    Menu("A", R"({"numMenuObjects": 5, "MenuObjects": [
        {"Name": "A1", "type": "Picture", "TranslationX": 0.5, "ColorG": 0.2, "ColorA": 0.4},
        {"type": "Picture"},
        {"Name": "A3", "ColorR": 0.1, "ColorG": 0.2, "ColorB": 0.3, "ScaleX": "wide"},
        {"Name": "A1", "type": "Picture"}]})");
    Menu("B", R"({"numMenuObjects": 1, "MenuObjects": [{"Name": "B1", "type": "Button"}]})");
    MenuSystem::LoadMenu("A");
    MenuSystem::LoadMenu("B");
    MenuSystem::LoadMenu("A");
    EXPECT_EQ(Names(), (std::vector<std::string>{"A1", "A3", "B1"}));
    const Sprite* a1 = Find("A1")->GetSprite();
    EXPECT_FLOAT_EQ(Find("A1")->GetTransform()->TranslationX, 0.5f);
    EXPECT_FLOAT_EQ(a1->color[1], 1.0f) << "green without red leaves the colour";
    EXPECT_FLOAT_EQ(a1->color[3], 0.4f) << "alpha alone";
    EXPECT_FLOAT_EQ(Find("A3")->GetSprite()->color[2], 0.3f);
    EXPECT_FLOAT_EQ(Find("A3")->GetTransform()->ScaleX, 0.1f) << "a wrong type keeps the archetype's";
    EXPECT_NE(dynamic_cast<Button*>(Find("B1")->GetBehavior()), nullptr);
    const std::string log = Log();
    EXPECT_NE(log.find("numMenuObjects is 5 but \"MenuObjects\" holds 4"), std::string::npos) << log;
    EXPECT_NE(log.find("entry 1 has no \"Name\""), std::string::npos) << log;
    EXPECT_NE(log.find("\"A3\" has no \"type\""), std::string::npos) << log;
    EXPECT_NE(log.find("\"ScaleX\" is not a number"), std::string::npos) << log;

    // Deleting by menu removes only its own names; a name not live is no deletion.
    MenuSystem::DeleteFromMenu("B");
    EXPECT_EQ(Names(), (std::vector<std::string>{"A1", "A3"}));
    EXPECT_FALSE(MenuSystem::DeleteMenuObject("B1"));
    EXPECT_TRUE(MenuSystem::DeleteMenuObject("A3"));
    Frames();
    EXPECT_EQ(Find("A3"), nullptr);
    // An object deleted by the manager drops out of the list.
    core->manager->DeleteGameObject("A1");
    core->Deliver();
    EXPECT_EQ(MenuSystem::MenuObjectCount(), 0);

    // A walk whose stop left the list goes on after the entry now holding its name; a cursor the walk
    // did not hand out, or whose object is gone, ends the walk.
    Menu("C", R"({"numMenuObjects": 1, "MenuObjects": [{"Name": "C1", "type": "Picture"}]})");
    MenuSystem::LoadMenu("A");
    MenuSystem::LoadMenu("B");
    GameObject* stop = MenuSystem::FirstMenuObject();
    ASSERT_EQ(MenuSystem::NextMenuObject(stop), Find("A3"));
    GameObject* oldA3 = stop;
    EXPECT_TRUE(MenuSystem::DeleteMenuObject("A3"));
    MenuSystem::LoadMenu("A");
    MenuSystem::LoadMenu("C");
    EXPECT_EQ(MenuSystem::NextMenuObject(stop), Find("C1"));
    stop = oldA3;
    EXPECT_EQ(MenuSystem::NextMenuObject(stop), nullptr) << "not the walk's last stop";
    EXPECT_EQ(Names(), (std::vector<std::string>{"A1", "B1", "A3", "C1"}));
    stop = MenuSystem::FirstMenuObject();
    while (stop && stop->GetName() != "A3")
        MenuSystem::NextMenuObject(stop);
    ASSERT_NE(stop, nullptr);
    EXPECT_TRUE(MenuSystem::DeleteMenuObject("A3"));
    Frames();
    EXPECT_EQ(MenuSystem::NextMenuObject(stop), nullptr) << "the stop's object is gone";
    EXPECT_EQ(Log().find("Assertion"), std::string::npos);
}

TEST_F(MenusTest, MissingMenuReportsAndBuildsNothing)
{
    MenuSystem::LoadMenu("Nowhere");
    EXPECT_EQ(MenuSystem::MenuObjectCount(), 0);
    const std::string log = Log();
    EXPECT_NE(log.find("Assertion `stream.IsValid()` failed.Location: src/MenuSystem Line "), std::string::npos) << log;
    EXPECT_NE(log.find("Menu \"Nowhere.json\" not found!"), std::string::npos) << log;
}

TEST_F(MenusTest, CreditsSpanSpeedAndStops)
{
    struct Case {
        const char* entries;
        float scrollTime;
        float speed;
    } cases[] = {
        {R"({"Name": "C1", "TranslationY": 0.5}, {"Name": "C2", "TranslationY": -1.5})", 4.0f, 0.75f},
        {R"({"Name": "C1", "TranslationY": -1.5}, {"Name": "C2", "TranslationY": 0.5})", 4.0f, 0.75f},
        {R"({"Name": "C1", "TranslationY": 0.3})", 2.0f, 0.5f},
        {R"({"Name": "C1", "TranslationY": 0.3})", 0.0f, 0.0f},
    };
    for (const Case& c : cases) {
        CreditsScrollState = CreditsScroll{};
        CreditsScrollState.scrollTime = c.scrollTime;
        Menu("CreditsMenu", std::string(R"({"numMenuObjects": 2, "MenuObjects": [)") + c.entries + "]}");
        MenuSystem::LoadMenu("CreditsMenu");
        EXPECT_TRUE(CreditsScrollState.running);
        EXPECT_FALSE(MenuSystem::CreditsAreOver());
        EXPECT_FLOAT_EQ(CreditsScrollState.speed, c.speed) << c.entries;
        MenuSystem::DeleteFromMenu("CreditsMenu");
        EXPECT_TRUE(MenuSystem::CreditsAreOver());
        EXPECT_TRUE(CreditsScrollState.objects.empty());
        Frames();
    }
    // Emptying the list behind the menu's back stops the credits too.
    MenuSystem::LoadMenu("CreditsMenu");
    core->manager->ClearGameObjects();
    core->manager->DeleteGameObject("C1");
    MenuSystem::LoadMenu("CreditsMenu");
    core->manager->DeleteGameObject("C1");
    core->Deliver();
    EXPECT_TRUE(MenuSystem::CreditsAreOver());
}

TEST_F(MenusTest, WriteBackFindsTheEntryByNameAndStaticCallsNeedTheSystem)
{
    Menu("W", R"({"numMenuObjects": 2, "MenuObjects": [
        {"Name": "W1", "type": "Picture", "TranslationX": 0.0, "TranslationY": 0.0, "Rotation": 0.0, "ScaleX": 0.1, "ScaleY": 0.1},
        {"Name": "W2", "type": "Picture", "TranslationX": 0.0, "TranslationY": 0.0, "Rotation": 0.0, "ScaleX": 0.1, "ScaleY": 0.1,
         "ColorR": 1.0, "ColorG": 1.0, "ColorB": 1.0, "ColorA": 1.0}]})");
    Menu("Other", R"({"numMenuObjects": 1, "MenuObjects": [{"Name": "O1", "type": "Picture"}]})");
    MenuSystem::LoadMenu("Other");
    MenuSystem::LoadMenu("W");
    // W2 is third in the list but second in its file.
    Find("W2")->GetTransform()->TranslationX = 0.75f;
    Find("W2")->GetTransform()->WriteToMenuFile();
    Find("W2")->GetSprite()->color[0] = 0.25f;
    Find("W2")->GetSprite()->WriteToMenuFile();
    Stream file("menus/W", StreamMode_Data, false);
    EXPECT_FLOAT_EQ(file.ReadFloat("MenuObjects", 1, "TranslationX"), 0.75f);
    EXPECT_FLOAT_EQ(file.ReadFloat("MenuObjects", 1, "ColorR"), 0.25f);
    EXPECT_FLOAT_EQ(file.ReadFloat("MenuObjects", 0, "TranslationX"), 0.0f);
    EXPECT_NE(Log().find("Writing MenuObject \"W2\"'s Transform data to file \"W\".json..."), std::string::npos);

    // Without the system every static call does nothing.
    core->engine->RemoveSystem("MenuSystem");
    menus = nullptr;
    EXPECT_EQ(gMenuSystem, nullptr);
    EXPECT_EQ(ClearMenuObjectsHook, nullptr);
    MenuSystem::LoadMenu("W");
    EXPECT_FALSE(MenuSystem::DeleteMenuObject("W1"));
    MenuSystem::DeleteFromMenu("W");
    MenuSystem::DeleteAllMenuObjects();
    MenuSystem::WriteMenuTransform("W1");
    EXPECT_FALSE(MenuSystem::GetReopenPauseMenu());
    GameObject* cursor = Find("W1");
    EXPECT_EQ(MenuSystem::NextMenuObject(cursor), nullptr);
    EXPECT_NE(Find("W1"), nullptr);
}

TEST_F(MenusTest, WidgetValueGoesIntoTheMenuFileItCameFrom)
{
    const std::string second = R"({"numMenuObjects": 1, "MenuObjects": [
        {"Name": "Sound", "type": "Checkbox", "TranslationX": 1.0, "TranslationY": -0.5, "ScaleX": 0.1, "ScaleY": 0.1, "Texture": "Check"}]})";
    Menu("First", R"({"numMenuObjects": 1, "MenuObjects": [
        {"Name": "Sound", "type": "Checkbox", "TranslationX": -1.0, "TranslationY": 0.5, "ScaleX": 0.1, "ScaleY": 0.1, "Texture": "Check"}]})");
    Menu("Second", second);
    MenuSystem::LoadMenu("First");
    MenuSystem::LoadMenu("Second");
    Frames(2);
    ClickAt(-1.0f, 0.5f);
    ASSERT_EQ(Widget<Checkbox>("Sound")->GetCurrentState(), 1);
    Stream first("menus/First", StreamMode_Data, false);
    EXPECT_TRUE(first.ReadBool("MenuObjects", 0, "checked"));
    EXPECT_EQ(ReadFile("assets/data/menus/Second.json"), second);
    EXPECT_NE(Log().find("Writing MenuObject \"Sound\"'s \"checked\" to file \"First\".json..."), std::string::npos);

    // The result says whether the value reached the file: a file that can't be replaced (its
    // temporary's name taken by a folder) keeps its old text, and the write-back answers false.
    struct Case { const char* label; bool blocked; bool written; };
    for (const Case& c : {Case{"file writable", false, true}, Case{"file can't be replaced", true, false}}) {
        fs::create_directories("assets/data/menus/First.json.tmp");
        if (!c.blocked)
            fs::remove("assets/data/menus/First.json.tmp");
        const std::string before = ReadFile("assets/data/menus/First.json");
        const bool written = MenuSystem::WriteMenuValue("Sound", "Volume", Stream::StreamData(0.25f));
        EXPECT_EQ(written, c.written) << c.label;
        EXPECT_EQ(ReadFile("assets/data/menus/First.json") != before, c.written) << c.label;
        EXPECT_EQ(Log().find("File assets/data/menus/First.json was not saved (") != std::string::npos, c.blocked)
            << c.label;
        fs::remove("assets/data/menus/First.json.tmp");
    }
}

TEST_F(MenusTest, ButtonHoverPressAndClickRunTheScriptOncePerClick)
{
    WriteFile("assets/data/scripts/Lua/Test/Count.lua",
              "Runs = (Runs or 0) + 1\nif Button:GetStateCurr() == 2 then _G.Clicks = (_G.Clicks or 0) + 1 end\n");
    Menu("Buttons", R"({"numMenuObjects": 2, "MenuObjects": [
        {"Name": "Ok", "type": "Button", "TranslationX": 0.0, "TranslationY": 0.0, "ScaleX": 0.2, "ScaleY": 0.1,
         "lua": "Test/Count", "HoverTintR": 0.5, "ClickTintG": 0.25},
        {"Name": "Lost", "type": "Button", "lua": "Test/Missing"}]})");
    MenuSystem::LoadMenu("Buttons");
    auto clicks = [&] { return lua->state.Globals().Get<int>("Clicks", 0); };
    Button* button = Widget<Button>("Ok");
    ASSERT_NE(button, nullptr);
    const Sprite* sprite = Find("Ok")->GetSprite();
    MoveTo(0.9f, 0.9f);
    Frames(3);
    EXPECT_EQ(button->GetCurrentState(), Button::Idle);
    // Near the corner of the box (full scale as half-extents): hovered, tinted, the hover sound posted.
    MoveTo(0.195f, 0.095f);
    Frames(2);
    EXPECT_EQ(button->GetCurrentState(), Button::Hovered);
    EXPECT_FLOAT_EQ(sprite->color[0], 0.5f);
    EXPECT_EQ(core->recorder->Count("Event_Play"), 1);
    ASSERT_FALSE(core->recorder->Texts().empty());
    EXPECT_EQ(core->recorder->Texts().back(), "Menu_ButtonHover");
    Mouse(true, 2);
    EXPECT_EQ(button->GetCurrentState(), Button::Pressed);
    EXPECT_FLOAT_EQ(sprite->color[1], 0.25f);
    Mouse(false, 2);
    EXPECT_EQ(button->GetCurrentState(), Button::Hovered);
    EXPECT_EQ(clicks(), 1);
    // Pressed on it, moved off before the release: no click.
    Mouse(true, 2);
    MoveTo(0.9f, 0.9f);
    Frames(2);
    Mouse(false, 2);
    EXPECT_EQ(clicks(), 1);
    // Pressed outside, released over it: no click.
    Mouse(true, 1);
    MoveTo(0.0f, 0.0f);
    Frames(2);
    Mouse(false, 2);
    EXPECT_EQ(clicks(), 1);
    // Without the focus the button is never hovered.
    window_->focused = 0;
    MoveTo(0.9f, 0.9f);
    Frames(2);
    MoveTo(0.0f, 0.0f);
    Frames(2);
    EXPECT_EQ(button->GetCurrentState(), Button::Idle);
    window_->focused = 1;
    const std::string log = Log();
    EXPECT_NE(log.find("[ERR]: Lua Script: './assets/data/scripts/Lua/Test/Missing.lua' could not be found!"),
              std::string::npos) << log;
    EXPECT_EQ(log.find("Assertion"), std::string::npos) << log;
}

TEST_F(MenusTest, CheckboxSliderDropdownAndVolumeBars)
{
    WriteFile("assets/data/scripts/Lua/Test/Pick.lua", "_G.Picked = Head:DropdownGetSelected()\n");
    WriteFile("assets/data/scripts/Lua/Test/Volume.lua", "SetVolume(\"music\", Volume_CoolVersion:VCVGetValue())\n");
    Menu("Widgets", R"({"numMenuObjects": 6, "MenuObjects": [
        {"Name": "Box", "type": "Checkbox", "TranslationX": -1.0, "TranslationY": 0.5, "ScaleX": 0.1, "ScaleY": 0.1, "Texture": "Check"},
        {"Name": "Line", "type": "Slider", "TranslationX": 0.0, "TranslationY": 0.0, "ScaleX": 2.0, "ScaleY": 0.1},
        {"Name": "High", "type": "Slider", "TranslationX": 0.1, "TranslationY": 0.25, "ScaleX": 2.0, "ScaleY": 0.1,
         "StartingPercentage": 1.7},
        {"Name": "Low", "type": "Slider", "TranslationX": 0.1, "TranslationY": -0.3, "ScaleX": 2.0, "ScaleY": 0.1,
         "StartingPercentage": -0.4},
        {"Name": "Head", "type": "Dropdown", "TranslationX": 1.0, "TranslationY": 0.5, "ScaleX": 0.3, "ScaleY": 0.05,
         "lua": "Test/Pick", "numOptions": 5, "options": ["Ambience_On", "Ambience_Muted", "Ambience_Quiet"]},
        {"Name": "Vol", "type": "Volume_CoolVersion", "TranslationX": 0.0, "TranslationY": -0.6, "ScaleX": 0.1,
         "ScaleY": 0.1, "lua": "Test/Volume", "NumBars": 5, "StartingValue": 4}]})");
    MenuSystem::LoadMenu("Widgets");
    MoveTo(1.7f, -0.95f);
    Frames(2);

    // Checkbox: unchecked after the extra update; a click 1.4 scales away toggles it and its texture.
    Checkbox* box = Widget<Checkbox>("Box");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->GetCurrentState(), 0);
    EXPECT_EQ(Find("Box")->GetSprite()->texture->name, "Check_Unchecked");
    ClickAt(-1.0f + 0.14f, 0.5f);
    EXPECT_EQ(box->GetCurrentState(), 1);
    EXPECT_EQ(Find("Box")->GetSprite()->texture->name, "Check_Checked");
    ClickAt(-1.0f, 0.5f);
    EXPECT_EQ(box->GetCurrentState(), 0);

    // Sliders at rest: the starting value within 0..1 and the knob on the line at that value.
    const struct {
        const char* name;
        float value, knobX;
    } rest[] = {
        {"Line", 0.5f, 0.0f},   // no "StartingPercentage": the middle
        {"High", 1.0f, 0.6f},   // 1.7: the right end
        {"Low", 0.0f, -0.4f},   // -0.4: the left end
    };
    for (const auto& row : rest) {
        Slider* at = Widget<Slider>(row.name);
        ASSERT_TRUE(at && at->GetKnob()) << row.name;
        EXPECT_FLOAT_EQ(at->value, row.value) << row.name;
        EXPECT_NEAR(at->GetKnob()->GetTransform()->TranslationX, row.knobX, 1e-5f) << row.name;
    }
    // A click on the line, quicker than a frame, puts the knob and the value where it landed.
    MoveTo(0.1f + 0.25f, -0.3f + 0.02f);
    Frames(1);
    keys->TapMouseButton(GLFW_MOUSE_BUTTON_LEFT);
    Frames(3);
    EXPECT_NEAR(Widget<Slider>("Low")->value, 0.75f, 1e-5f);
    EXPECT_NEAR(Widget<Slider>("Low")->GetKnob()->GetTransform()->TranslationX, 0.35f, 1e-5f);

    // Slider: line half-width 0.5; the knob dragged past the right end gives exactly 1, then to the
    // cursor at a quarter gives 0.25.
    Slider* slider = Widget<Slider>("Line");
    ASSERT_NE(slider, nullptr);
    ASSERT_NE(slider->GetKnob(), nullptr);
    const float lineHalf = Find("Line")->GetTransform()->ScaleX;
    EXPECT_FLOAT_EQ(lineHalf, 0.5f);
    auto drag = [&](float toX) {
        MoveTo(slider->GetKnob()->GetTransform()->TranslationX, 0.02f);
        Frames(1);
        Mouse(true, 2);
        MoveTo(toX, 0.3f);
        Frames(2);
        Mouse(false, 2);
    };
    drag(1.4f);
    EXPECT_FLOAT_EQ(slider->value, 1.0f);
    drag(-0.25f);
    EXPECT_NEAR(slider->value, 0.25f, 1e-5f);
    EXPECT_NEAR(slider->GetKnob()->GetTransform()->TranslationX, -0.25f, 1e-5f);

    // Dropdown: "options" bounded by its array; open, pick the third, script runs on the head's click.
    Dropdown* head = Widget<Dropdown>("Head");
    ASSERT_NE(head, nullptr);
    ASSERT_EQ(head->GetOptions().size(), 3u);
    ClickAt(1.0f, 0.5f);
    EXPECT_TRUE(head->open);
    EXPECT_EQ(lua->state.Globals().Get<std::string>("Picked", ""), "Ambience_On");
    ClickAt(1.0f, 0.5f - 4 * 0.05f);
    EXPECT_FALSE(head->open);
    EXPECT_EQ(head->GetSelectedText(), "Ambience_Quiet");
    std::vector<std::string> order;
    for (GameObject* option : head->GetOptions())
        order.push_back(option->GetName());
    EXPECT_EQ(order, (std::vector<std::string>{"Dropdown_Ambience_Quiet", "Dropdown_Ambience_On",
                                               "Dropdown_Ambience_Muted"}));
    EXPECT_FLOAT_EQ(head->GetOptions()[0]->GetTransform()->TranslationY, 0.5f);
    EXPECT_FLOAT_EQ(head->GetOptions()[1]->GetSprite()->color[3], 0.0f);

    // Volume bars: plus at X + 3 SX; the value stays within 0..5, the script sends the music level.
    Volume_CoolVersion* volume = Widget<Volume_CoolVersion>("Vol");
    ASSERT_NE(volume, nullptr);
    ASSERT_EQ(volume->GetNumBars(), 5);
    core->recorder->Clear();
    for (int i = 0; i < 3; ++i)
        ClickAt(0.3f, -0.6f + 0.02f);
    EXPECT_EQ(volume->value, 5);
    EXPECT_EQ(core->recorder->Count("Change_Global_Param"), 3) << "the script runs even at the top";
    EXPECT_EQ(core->recorder->seen.back().clip.paramName, "MusicSlider");
    EXPECT_FLOAT_EQ(core->recorder->seen.back().clip.paramValue, 5.0f);
    for (int i = 0; i < 7; ++i)
        ClickAt(-0.3f, -0.6f + 0.02f);
    EXPECT_EQ(volume->value, 0);
    volume->SetValue(3);
    Frames();
    for (int i = 0; i < 5; ++i)
        EXPECT_FLOAT_EQ(volume->bars[i].Get()->GetSprite()->color[3], i < 3 ? 1.0f : 0.3f) << i;
    // Every widget's value went back into the menu file.
    Stream file("menus/Widgets", StreamMode_Data, false);
    EXPECT_EQ(file.ReadInt("MenuObjects", 5, "StartingValue"), 0);
    EXPECT_NEAR(file.ReadFloat("MenuObjects", 1, "StartingPercentage"), 0.25f, 1e-5f);
    EXPECT_NEAR(file.ReadFloat("MenuObjects", 3, "StartingPercentage"), 0.75f, 1e-5f);
    EXPECT_EQ(file.ReadString("MenuObjects", 4, "selected"), "Ambience_Quiet");

    // Deleting the menu takes the knob, the options and the volume parts with it.
    MenuSystem::DeleteFromMenu("Widgets");
    Frames(2);
    EXPECT_EQ(core->manager->GetObjectCount(), 0);
    EXPECT_EQ(Log().find("Assertion"), std::string::npos) << Log();
}

} // namespace
