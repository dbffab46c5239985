// Menu files through the MenuSystem: loading, every widget clicked, the credits scroll, write-back,
// reloading and deleting. The input holds, separated by lines "====": the menu "menus/Fuzz", the
// credits menu "menus/CreditsMenu", and a widget script "scripts/Lua/Menus/Fuzz.lua" that a menu entry
// may name (shipped widget scripts stay in place). Scripts run on the budget of FuzzLua.h. There is no
// window: the mouse is scripted, and textures are not loaded.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "FuzzLua.h"
#include "FuzzSupport.h"
#include "FuzzWorld.h"
#include "app/GameLoop.h"
#include "core/CreditsScroll.h"
#include "core/GameObject.h"
#include "core/Transform.h"
#include "graphics/InputManager.h"
#include "graphics/Window.h"
#include "script/LuaAPI_System.h"
#include "ui/MenuSystem.h"

namespace {

constexpr std::size_t kMostClicked = 24;

// The live menu objects' names, in menu order.
std::vector<std::string> MenuNames()
{
    std::vector<std::string> names;
    for (GameObject* cursor = MenuSystem::FirstMenuObject(); cursor; MenuSystem::NextMenuObject(cursor))
        names.push_back(cursor->GetName());
    return names;
}

struct Mouse {
    std::shared_ptr<ScriptedKeySource> keys = std::make_shared<ScriptedKeySource>();
    InputManager* input = nullptr;
    fuzz::World* world = nullptr;

    void Frames(int n)
    {
        for (int i = 0; i < n; ++i) {
            input->Update(0.0f);
            world->manager->Update(1.0f / 60.0f);
            world->Deliver();
        }
    }
    // Moves to an interface position, then presses and releases the left button there.
    void ClickAt(float x, float y)
    {
        const double w = WindowWidth, h = WindowHeight;
        keys->SetCursor((x * h / w + 1.0) * w / 2.0, (1.0 - y) * h / 2.0);
        Frames(1);
        keys->SetMouseButton(0, true);
        Frames(1);
        keys->SetMouseButton(0, false);
        Frames(1);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::SetUp();
    // Widgets write their values back into menu files, shipped ones too: each input starts from the
    // shipped menus.
    std::error_code ec;
    std::filesystem::copy(std::filesystem::path(DUSTRUN_SOURCE_DIR) / "assets/data/menus", "assets/data/menus",
                          std::filesystem::copy_options::overwrite_existing, ec);
    const auto parts = fuzz::Parts(data, size, 3);
    fuzz::Put("assets/data/menus/Fuzz.json", parts[0]);
    fuzz::Put("assets/data/menus/CreditsMenu.json", parts[1]);
    fuzz::Put("assets/data/scripts/Lua/Menus/Fuzz.lua", parts[2]);

    fuzz::World world;
    Mouse mouse;
    mouse.world = &world;
    mouse.input = new InputManager(mouse.keys);
    world.engine->AddSystem(mouse.input);
    auto* lua = new LuaAPI_System();
    world.engine->AddSystem(lua);
    world.engine->AddSystem(new MenuSystem());
    world.engine->Init();
    fuzz::LimitLua(lua->state.Raw());

    MenuSystem::LoadMenu("Fuzz");
    MenuSystem::LoadMenu("CreditsMenu");
    world.engine->Update(1.0f / 60.0f);
    world.Deliver();

    // Every widget clicked where it stands (the first few dozen), the credits scrolled meanwhile.
    const std::vector<std::string> names = MenuNames();
    for (std::size_t i = 0; i < names.size() && i < kMostClicked; ++i) {
        GameObject* object = world.manager->FindGameObject(names[i]);
        Transform* transform = object ? object->GetTransform() : nullptr;
        if (transform)
            mouse.ClickAt(transform->TranslationX, transform->TranslationY);
        AdvanceCredits(CreditsScrollState, 0.5f);
    }

    // Write-back into the menu files, then the menu read again over what is still live.
    for (std::size_t i = 0; i < names.size() && i < kMostClicked; ++i) {
        MenuSystem::WriteMenuTransform(names[i]);
        MenuSystem::WriteMenuSprite(names[i]);
        MenuSystem::WriteMenuValue(names[i], "FuzzValue", Stream::StreamData(static_cast<int32_t>(i)));
    }
    if (!names.empty())
        MenuSystem::DeleteMenuObject(names.front());
    mouse.Frames(1);
    MenuSystem::LoadMenu("Fuzz");
    mouse.Frames(2);
    MenuSystem::DeleteFromMenu("CreditsMenu");
    MenuSystem::DeleteFromMenu("Fuzz");
    MenuSystem::DeleteAllMenuObjects();
    mouse.Frames(2);
    world.manager->ClearGameObjects();
    world.Deliver();
    CreditsScrollState = CreditsScroll{};
    return 0;
}
