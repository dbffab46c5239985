// InputManager driven through a scripted key source: key index mapping, frame-to-frame states,
// action bindings per player and cursor deltas.
#include <gtest/gtest.h>

#include <GLFW/glfw3.h>

#include <memory>

#include "graphics/InputManager.h"

namespace {

class InputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        keys = std::make_shared<ScriptedKeySource>();
        keys->SetCursor(100.0, 200.0);
        SetDefaultKeySource(keys);
        input = std::make_unique<InputManager>();
        input->Init();
    }
    void TearDown() override
    {
        input.reset();
        SetDefaultKeySource(nullptr);
    }
    void Frame() { input->Update(1.0f / 60.0f); }

    std::shared_ptr<ScriptedKeySource> keys;
    std::unique_ptr<InputManager> input;
};

TEST_F(InputTest, NameAndGlobals)
{
    EXPECT_EQ(input->GetName(), "InputSystem");
    EXPECT_EQ(InputManagerInstance, input.get());
    EXPECT_EQ(DebugModifierKey, 5);
    EXPECT_EQ(input->exposed, 0);
    EXPECT_EQ(input->active, 1);
    input.reset();
    EXPECT_EQ(InputManagerInstance, nullptr);
}

TEST_F(InputTest, AnotherManagerDoesNotClearTheInstance)
{
    {
        InputManager other(keys);
        // never initialised: not the instance, so its destruction leaves the global alone
    }
    EXPECT_EQ(InputManagerInstance, input.get());
}

TEST_F(InputTest, KeyIndexMapping)
{
    struct Case {
        int glfw;
        int index;
    };
    const Case cases[] = {
        {GLFW_KEY_SPACE, 0},  {GLFW_KEY_APOSTROPHE, 1}, {GLFW_KEY_COMMA, 2},   {GLFW_KEY_SLASH, 5},
        {GLFW_KEY_0, 6},      {GLFW_KEY_9, 15},         {GLFW_KEY_SEMICOLON, 17}, {GLFW_KEY_A, 18},
        {GLFW_KEY_W, 40},     {GLFW_KEY_Z, 43},         {GLFW_KEY_RIGHT_BRACKET, 46},
        {GLFW_KEY_GRAVE_ACCENT, 47}, {GLFW_KEY_WORLD_1, 48}, {GLFW_KEY_WORLD_2, 49},
        {GLFW_KEY_ESCAPE, 50}, {GLFW_KEY_RIGHT, 56},    {GLFW_KEY_LEFT, 57},   {GLFW_KEY_DOWN, 58},
        {GLFW_KEY_UP, 59},     {GLFW_KEY_END, 63},      {GLFW_KEY_CAPS_LOCK, 64}, {GLFW_KEY_PAUSE, 68},
        {GLFW_KEY_F1, 69},     {GLFW_KEY_F25, 93},      {GLFW_KEY_KP_0, 94},   {GLFW_KEY_KP_EQUAL, 110},
        {GLFW_KEY_LEFT_SHIFT, 111}, {GLFW_KEY_MENU, 119},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(InputManager::KeyIndexFromGlfw(c.glfw), c.index) << "glfw key " << c.glfw;
        EXPECT_EQ(InputManager::GlfwKeyFromIndex(c.index), c.glfw) << "index " << c.index;
        keys->ReleaseAll();
        keys->SetKey(c.glfw, true);
        Frame();
        for (int i = 0; i < InputManager::KEY_COUNT; ++i)
            EXPECT_EQ(input->current[i], i == c.index ? 1 : 0) << "glfw key " << c.glfw << " index " << i;
    }
    EXPECT_EQ(InputManager::GlfwKeyFromIndex(16), -1);
    EXPECT_EQ(InputManager::KeyIndexFromGlfw(58), -1);
    EXPECT_EQ(InputManager::KeyIndexFromGlfw(GLFW_KEY_UNKNOWN), -1);
}

TEST_F(InputTest, IndexSixteenAndHighIndicesNeverSet)
{
    // Hold every key GLFW knows, and both mouse buttons.
    for (int code = GLFW_KEY_SPACE; code <= GLFW_KEY_LAST; ++code)
        keys->SetKey(code, true);
    keys->SetKey(58, true);  // no GLFW key, never polled
    keys->SetMouseButton(0, true);
    keys->SetMouseButton(1, true);
    keys->SetMouseButton(2, true);
    Frame();
    EXPECT_EQ(input->current[16], 0);
    for (int i = 0; i < 122; ++i) {
        if (i != 16) {
            EXPECT_EQ(input->current[i], 1) << i;
        }
    }
    for (int i = 122; i < InputManager::KEY_COUNT; ++i)
        EXPECT_EQ(input->current[i], 0) << i;
}

TEST_F(InputTest, MouseButtons)
{
    keys->SetMouseButton(GLFW_MOUSE_BUTTON_LEFT, true);
    Frame();
    EXPECT_EQ(input->current[120], 1);
    EXPECT_EQ(input->current[121], 0);
    keys->SetMouseButton(GLFW_MOUSE_BUTTON_LEFT, false);
    keys->SetMouseButton(GLFW_MOUSE_BUTTON_RIGHT, true);
    Frame();
    EXPECT_EQ(input->current[120], 0);
    EXPECT_EQ(input->previous[120], 1);
    EXPECT_EQ(input->current[121], 1);
    EXPECT_TRUE(input->IsKeyTriggered(KEY_MOUSE_RIGHT));
    EXPECT_TRUE(input->IsKeyReleased(KEY_MOUSE_LEFT));

    // An action bound to 121 is triggered by a right click.
    input->bindings[0].Set(ACTION_INTERACT, {121, -1, -1, -1});
    keys->ReleaseAll();
    Frame();
    EXPECT_FALSE(InputManager::IsActionTriggered(ACTION_INTERACT));
    keys->SetMouseButton(GLFW_MOUSE_BUTTON_RIGHT, true);
    Frame();
    EXPECT_TRUE(InputManager::IsActionTriggered(ACTION_INTERACT));
}

TEST_F(InputTest, TriggeredOnFirstFrameOnlyReleasedOnTheFrameAfter)
{
    keys->SetKey(GLFW_KEY_W, true);
    Frame();
    EXPECT_TRUE(InputManager::IsActionDown(input->bindings[0], ACTION_UP));
    EXPECT_TRUE(InputManager::IsActionTriggered(ACTION_UP));
    EXPECT_FALSE(InputManager::IsActionReleased(ACTION_UP));
    Frame();
    EXPECT_TRUE(InputManager::IsActionDown(input->bindings[0], ACTION_UP));
    EXPECT_FALSE(InputManager::IsActionTriggered(ACTION_UP));
    EXPECT_FALSE(InputManager::IsActionReleased(ACTION_UP));
    keys->SetKey(GLFW_KEY_W, false);
    Frame();
    EXPECT_FALSE(InputManager::IsActionDown(input->bindings[0], ACTION_UP));
    EXPECT_FALSE(InputManager::IsActionTriggered(ACTION_UP));
    EXPECT_TRUE(InputManager::IsActionReleased(ACTION_UP));
    Frame();
    EXPECT_FALSE(InputManager::IsActionReleased(ACTION_UP));
}

TEST_F(InputTest, StatesStayUntilTheNextUpdate)
{
    keys->SetKey(GLFW_KEY_SPACE, true);
    Frame();
    keys->SetKey(GLFW_KEY_SPACE, false);  // released between polls: not seen yet
    EXPECT_TRUE(input->IsKeyDown(KEY_SPACE));
    EXPECT_TRUE(InputManager::IsActionTriggered(ACTION_INTERACT));
}

TEST_F(InputTest, APressReleasedBeforeThePollCountsOnce)
{
    // Quicker than a frame: down (triggered) for one frame, released on the next, then nothing.
    for (int tap = 0; tap < 2; ++tap) {
        keys->TapKey(GLFW_KEY_SPACE);
        keys->TapMouseButton(GLFW_MOUSE_BUTTON_LEFT);
        Frame();
        EXPECT_TRUE(InputManager::IsActionTriggered(ACTION_INTERACT)) << tap;
        EXPECT_TRUE(input->IsKeyTriggered(KEY_MOUSE_LEFT)) << tap;
        Frame();
        EXPECT_TRUE(InputManager::IsActionReleased(ACTION_INTERACT)) << tap;
        EXPECT_TRUE(input->IsKeyReleased(KEY_MOUSE_LEFT)) << tap;
        Frame();
        EXPECT_FALSE(InputManager::IsActionReleased(ACTION_INTERACT) || input->IsKeyDown(KEY_SPACE)) << tap;
    }
    // A held key is tapped too (GLFW reports its press): held as before, triggered once.
    keys->SetKey(GLFW_KEY_W, true);
    keys->NoteKeyPress(GLFW_KEY_W);
    Frame();
    EXPECT_TRUE(InputManager::IsActionTriggered(ACTION_UP));
    Frame();
    EXPECT_TRUE(InputManager::IsActionDown(input->bindings[0], ACTION_UP));
    EXPECT_FALSE(InputManager::IsActionTriggered(ACTION_UP));
}

TEST_F(InputTest, PlayerZeroBindings)
{
    const struct {
        int action;
        int glfw;
    } bound[] = {
        {ACTION_UP, GLFW_KEY_UP},       {ACTION_UP, GLFW_KEY_W},       {ACTION_DOWN, GLFW_KEY_DOWN},
        {ACTION_DOWN, GLFW_KEY_S},      {ACTION_LEFT, GLFW_KEY_LEFT},  {ACTION_LEFT, GLFW_KEY_A},
        {ACTION_RIGHT, GLFW_KEY_RIGHT}, {ACTION_RIGHT, GLFW_KEY_D},    {ACTION_INTERACT, GLFW_KEY_SPACE},
        {ACTION_INTERACT, GLFW_KEY_Z},
    };
    for (const auto& b : bound) {
        keys->ReleaseAll();
        keys->SetKey(b.glfw, true);
        Frame();
        for (int action = ACTION_UP; action <= ACTION_INTERACT; ++action)
            EXPECT_EQ(InputManager::IsActionDown(input->bindings[0], action), action == b.action)
                << "key " << b.glfw << " action " << action;
    }
    EXPECT_EQ(input->bindings[0].Get(ACTION_UP), (ActionBindings::Keys{59, 40, 122, -1}));
    EXPECT_EQ(input->bindings[0].Get(ACTION_INTERACT), (ActionBindings::Keys{0, 43, 124, -1}));
}

TEST_F(InputTest, OtherPlayersBindings)
{
    EXPECT_EQ(input->bindings[1].Get(ACTION_UP), (ActionBindings::Keys{40, -1, 166, -1}));
    EXPECT_EQ(input->bindings[1].Get(ACTION_INTERACT), (ActionBindings::Keys{32, -1, 147, -1}));
    EXPECT_EQ(input->bindings[2].Get(ACTION_RIGHT), (ActionBindings::Keys{29, -1, 192, -1}));
    EXPECT_EQ(input->bindings[3].Get(ACTION_DOWN), (ActionBindings::Keys{25, -1, 214, -1}));
    EXPECT_EQ(input->bindings[3].Get(ACTION_LEFT), (ActionBindings::Keys{24, -1, 217, -1}));

    // Player 1's up is W only: the UP arrow is not bound for players 1..3.
    keys->SetKey(GLFW_KEY_UP, true);
    Frame();
    EXPECT_TRUE(InputManager::IsActionDown(input->bindings[0], ACTION_UP));
    for (int p = 1; p < 4; ++p)
        EXPECT_FALSE(InputManager::IsActionDown(input->bindings[p], ACTION_UP)) << p;
    keys->ReleaseAll();
    keys->SetKey(GLFW_KEY_W, true);
    Frame();
    EXPECT_TRUE(InputManager::IsActionDown(input->bindings[1], ACTION_UP));

    // Player 3: down is H, right is F.
    keys->ReleaseAll();
    keys->SetKey(GLFW_KEY_H, true);
    Frame();
    EXPECT_TRUE(InputManager::IsActionDown(input->bindings[3], ACTION_DOWN));
    EXPECT_FALSE(InputManager::IsActionDown(input->bindings[3], ACTION_RIGHT));
    keys->ReleaseAll();
    keys->SetKey(GLFW_KEY_F, true);
    Frame();
    EXPECT_TRUE(InputManager::IsActionDown(input->bindings[3], ACTION_RIGHT));

    // Player 2 moves with I K J L.
    keys->ReleaseAll();
    keys->SetKey(GLFW_KEY_J, true);
    Frame();
    EXPECT_TRUE(InputManager::IsActionDown(input->bindings[2], ACTION_LEFT));
    EXPECT_FALSE(InputManager::IsActionDown(input->bindings[0], ACTION_LEFT));
}

TEST_F(InputTest, AnyActionSix)
{
    Frame();
    EXPECT_FALSE(InputManager::IsActionDown(input->bindings[0], ACTION_ANY));
    keys->SetKey(GLFW_KEY_SPACE, true);
    Frame();
    EXPECT_TRUE(InputManager::IsActionDown(input->bindings[0], ACTION_ANY));
    EXPECT_TRUE(InputManager::IsActionTriggered(ACTION_ANY));
    EXPECT_FALSE(input->bindings[0].Has(ACTION_ANY)) << "action 6 gets no entry";
    keys->SetKey(GLFW_KEY_SPACE, false);
    Frame();
    EXPECT_TRUE(InputManager::IsActionReleased(ACTION_ANY));
    EXPECT_FALSE(InputManager::IsActionDown(input->bindings[0], ACTION_ANY));
    // A key bound to nothing does not count.
    keys->SetKey(GLFW_KEY_Q, true);
    Frame();
    EXPECT_FALSE(InputManager::IsActionDown(input->bindings[0], ACTION_ANY));
}

TEST_F(InputTest, UnboundActionGetsItsEntryAndReadsSafely)
{
    EXPECT_FALSE(input->bindings[0].Has(5));
    Frame();
    EXPECT_FALSE(InputManager::IsActionDown(input->bindings[0], 5));
    ASSERT_TRUE(input->bindings[0].Has(5));
    EXPECT_EQ(input->bindings[0].Get(5), (ActionBindings::Keys{0, -1, 218, -1}));
    // Index 218 names no key state; it reads as up and nothing runs past the arrays.
    EXPECT_FALSE(InputManager::IsActionTriggered(5));
    EXPECT_FALSE(InputManager::IsActionReleased(5));
    // The entry's first key is SPACE (index 0).
    keys->SetKey(GLFW_KEY_SPACE, true);
    Frame();
    EXPECT_TRUE(InputManager::IsActionDown(input->bindings[0], 5));
    EXPECT_TRUE(InputManager::IsActionTriggered(5));
}

TEST_F(InputTest, OutOfRangeKeyIndicesReadUp)
{
    for (int code = GLFW_KEY_SPACE; code <= GLFW_KEY_LAST; ++code)
        keys->SetKey(code, true);
    Frame();
    input->bindings[0].Set(ACTION_UP, {-5, 218, 100000, -100000});
    EXPECT_FALSE(InputManager::IsActionDown(input->bindings[0], ACTION_UP));
    EXPECT_FALSE(InputManager::IsActionTriggered(ACTION_UP));
    EXPECT_FALSE(InputManager::IsActionReleased(ACTION_UP));
    EXPECT_FALSE(input->IsKeyDown(218));
    EXPECT_FALSE(input->IsKeyDown(-1));
    EXPECT_FALSE(input->IsKeyTriggered(1000));
    EXPECT_FALSE(input->IsKeyReleased(-7));
}

TEST_F(InputTest, QueriesWithoutInstanceAreFalse)
{
    keys->SetKey(GLFW_KEY_W, true);
    keys->SetKey(GLFW_KEY_SLASH, true);
    keys->SetKey(GLFW_KEY_ESCAPE, true);
    Frame();
    ActionBindings table = input->bindings[0];
    input.reset();
    ASSERT_EQ(InputManagerInstance, nullptr);
    EXPECT_FALSE(InputManager::IsActionDown(table, ACTION_UP));
    EXPECT_FALSE(InputManager::IsActionDown(table, ACTION_ANY));
    EXPECT_FALSE(InputManager::IsActionTriggered(ACTION_UP));
    EXPECT_FALSE(InputManager::IsActionReleased(ACTION_UP));
    EXPECT_FALSE(InputManager::IsDebugCloseRequested());
}

TEST_F(InputTest, CursorDeltas)
{
    // The constructor read (100, 200); the first update measures from there.
    EXPECT_FLOAT_EQ(input->cursorX, 100.0f);
    EXPECT_FLOAT_EQ(input->cursorY, 200.0f);
    EXPECT_FLOAT_EQ(input->cursorDX, 0.0f);
    EXPECT_FLOAT_EQ(input->cursorDY, 0.0f);
    keys->SetCursor(110.0, 196.0);
    Frame();
    EXPECT_FLOAT_EQ(input->cursorDX, 10.0f);
    EXPECT_FLOAT_EQ(input->cursorDY, -4.0f);
    EXPECT_FLOAT_EQ(input->cursorX, 110.0f);
    EXPECT_FLOAT_EQ(input->cursorY, 196.0f);
    Frame();
    EXPECT_FLOAT_EQ(input->cursorDX, 0.0f);
    EXPECT_FLOAT_EQ(input->cursorDY, 0.0f);
}

TEST_F(InputTest, DebugCloseNeedsSlashAndEscape)
{
    keys->SetKey(GLFW_KEY_ESCAPE, true);
    Frame();
    EXPECT_FALSE(InputManager::IsDebugCloseRequested()) << "Escape alone does not close";
    keys->SetKey(GLFW_KEY_SLASH, true);
    // "/" is held in the source but not yet polled.
    EXPECT_FALSE(InputManager::IsDebugCloseRequested());
    Frame();
    EXPECT_TRUE(InputManager::IsDebugCloseRequested());
    keys->SetKey(GLFW_KEY_ESCAPE, false);
    EXPECT_FALSE(InputManager::IsDebugCloseRequested());
    keys->SetKey(GLFW_KEY_ESCAPE, true);
    const int saved = DebugModifierKey;
    DebugModifierKey = -1;
    EXPECT_FALSE(InputManager::IsDebugCloseRequested());
    DebugModifierKey = 5000;
    EXPECT_FALSE(InputManager::IsDebugCloseRequested());
    DebugModifierKey = saved;
}

TEST(InputGlfw, NoContextReadsEverythingUp)
{
    // Without GLFW or a current context the GLFW source reads all keys up and no cursor.
    SetDefaultKeySource(nullptr);
    InputManager input;
    input.Init();
    input.Update(0.0f);
    for (int i = 0; i < InputManager::KEY_COUNT; ++i)
        EXPECT_EQ(input.current[i], 0);
    EXPECT_FLOAT_EQ(input.cursorDX, 0.0f);
    EXPECT_FALSE(InputManager::IsDebugCloseRequested());

    // GLFW's callbacks report a press and its release before the poll: one frame down, then up.
    InputKeyCallback(nullptr, GLFW_KEY_ESCAPE, 0, GLFW_PRESS, 0);
    InputKeyCallback(nullptr, GLFW_KEY_ESCAPE, 0, GLFW_RELEASE, 0);
    InputMouseButtonCallback(nullptr, GLFW_MOUSE_BUTTON_RIGHT, GLFW_PRESS, 0);
    InputMouseButtonCallback(nullptr, GLFW_MOUSE_BUTTON_RIGHT, GLFW_RELEASE, 0);
    InputKeyCallback(nullptr, GLFW_KEY_A, 0, GLFW_REPEAT, 0);
    input.Update(0.0f);
    EXPECT_TRUE(input.IsKeyTriggered(KEY_ESCAPE));
    EXPECT_TRUE(input.IsKeyTriggered(KEY_MOUSE_RIGHT));
    EXPECT_FALSE(input.IsKeyDown(KEY_A)) << "a repeat is no press";
    input.Update(0.0f);
    EXPECT_TRUE(input.IsKeyReleased(KEY_ESCAPE));
    EXPECT_TRUE(input.IsKeyReleased(KEY_MOUSE_RIGHT));
}

} // namespace

#include "core/Engine.h"

namespace {

TEST(InputEngine, BothFactoryNamesMakeTheInputSystem)
{
    SetDefaultKeySource(std::make_shared<ScriptedKeySource>());
    Engine engine;
    ASSERT_NE(engine.AddSystem(std::string("InputManager")), nullptr);
    ASSERT_NE(engine.AddSystem(std::string("InputSystem")), nullptr);
    engine.Init();
    ISystem* found = engine.GetSystem("InputSystem");
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found, engine.systems[0]);
    EXPECT_NE(dynamic_cast<InputManager*>(engine.systems[1]), nullptr);
    // Init ran on both; the last one initialised is the instance.
    EXPECT_EQ(InputManagerInstance, engine.systems[1]);
    testing::internal::CaptureStdout();
    EXPECT_EQ(engine.GetSystem("InputManager"), nullptr);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("System InputManager not found"), std::string::npos) << out;
    engine.DeleteSystems();
    EXPECT_EQ(InputManagerInstance, nullptr);
    SetDefaultKeySource(nullptr);
}

TEST(InputEngine, EngineUpdatePollsTheKeys)
{
    auto keys = std::make_shared<ScriptedKeySource>();
    SetDefaultKeySource(keys);
    Engine engine;
    engine.AddSystem(std::string("InputSystem"));
    engine.Init();
    keys->SetKey(GLFW_KEY_D, true);
    engine.Update(1.0f / 60.0f);
    ASSERT_NE(InputManagerInstance, nullptr);
    EXPECT_TRUE(InputManager::IsActionDown(InputManagerInstance->bindings[0], ACTION_RIGHT));
    EXPECT_TRUE(InputManager::IsActionTriggered(ACTION_RIGHT));
    ASSERT_NE(InputManagerInstance->GetBindings(3), nullptr);
    EXPECT_EQ(InputManagerInstance->GetBindings(4), nullptr);
    EXPECT_EQ(InputManagerInstance->GetBindings(-1), nullptr);
    // An inactive input system is not polled.
    InputManagerInstance->active = 0;
    keys->SetKey(GLFW_KEY_D, false);
    engine.Update(1.0f / 60.0f);
    EXPECT_TRUE(InputManager::IsActionDown(InputManagerInstance->bindings[0], ACTION_RIGHT));
    engine.DeleteSystems();
    SetDefaultKeySource(nullptr);
}

} // namespace
