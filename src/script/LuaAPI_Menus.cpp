// Menu and object functions of the script API. The menu functions stand in for the menu system until
// it registers its own: menus are built through the scene's menu seam, and the rest answer as when no
// menu is open.
#include "core/CreditsScroll.h"
#include "core/GameObjectManager.h"
#include "platform/lua/Lua.h"
#include "script/LuaAPI_Functions.h"
#include "script/Safe_GameObject.h"
#include "world/Scene.h"

namespace {

void ReadMenu(std::string menuName)
{
    if (luaapi::SceneChangePending())
        return;
    ISystem* menus = Scene::FindSystem("MenuSystem");
    if (menus && SceneLoadMenuHook)
        SceneLoadMenuHook(menus, menuName);
}

Safe_GameObject GameObjectManagerGetObject(std::string name)
{
    return Safe_GameObject(gGameObjectManager ? gGameObjectManager->FindGameObject(name) : nullptr);
}

std::vector<Safe_GameObject> GameObjectManagerGetAllObjects(std::string name)
{
    std::vector<Safe_GameObject> handles;
    if (gGameObjectManager)
        for (GameObject* object : gGameObjectManager->FindGameObjects(name))
            handles.emplace_back(object);
    return handles;
}

} // namespace

void RegisterMenuFunctions(lua::State& state)
{
    state.SetFunction("ReadMenu", &ReadMenu);
    state.SetFunction("GetReopenPauseMenu", []() { return false; });
    state.SetFunction("SetReopenPauseMenu", [](bool) {});
    state.SetFunction("DeleteMenuObject", [](std::string) {});
    state.SetFunction("DeleteMenuObjectsFromMenu", [](std::string) {});
    state.SetFunction("DeleteAllMenuObjects", []() {});
    state.SetFunction("CreditsAreOver", []() { return !CreditsScrollState.running; });
}

void RegisterObjectFunctions(lua::State& state)
{
    state.SetFunction("GameObjectManagerGetObject", &GameObjectManagerGetObject);
    state.SetFunction("GameObjectManagerGetAllObjects", &GameObjectManagerGetAllObjects);
}
