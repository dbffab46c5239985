#pragma once
// Menus are data: each is a JSON file under "menus/" whose entries become game objects built from the
// "MenuObject" archetype, placed and coloured by the entry and, by the entry's "type", given one widget
// behaviour. MenuSystem loads menus by name, keeps the live menu objects in creation order, deletes
// them by name or by menu, writes changed entries back into their menu file and keeps the credits
// scroll that the frame loop moves while the game is paused.
//
// The lists hold objects by id (GameObjectHandle): an object deleted by anyone else simply drops out
// of them, and an emptied credits list stops the credits.
#include <cstdint>
#include <string>
#include <vector>

#include "core/GameObjectHandle.h"
#include "core/ISystem.h"
#include "core/Stream.h"

class GameObject;
class Behavior;
class MenuEntry;

class MenuSystem : public ISystem {
public:
    // Becomes gMenuSystem when there is none yet, and sets the hooks of the window, the scenes, the
    // object manager and the transforms and sprites.
    MenuSystem();
    // Forgets the menu objects (the GameObjectManager owns them), clears the hooks still pointing
    // here and gMenuSystem when it points here.
    ~MenuSystem() override;

    std::string GetName() override { return "MenuSystem"; }
    // Reads "CreditsScroll" ("TimeWaitingToScroll", "TimeScrolling") and registers the menu script
    // functions when the Lua API is up.
    void Init() override;
    // The first update registers the script functions again, so they hold even when the Lua API was
    // initialised after this system (its own registration would have put stand-ins back).
    void Update(float) override;
    void Draw() override {}
    // "Menu Object Delete": drops the entries of objects that are gone.
    void HandleMessage(Message* message) override;

    // ---- Static calls: each works on gMenuSystem and does nothing (or answers its default) without one.
    // Builds the menu "menus/<name>"; entries whose name is already a live menu object are skipped.
    // False when the menu file is missing or holds no readable JSON object (nothing is built then).
    static bool LoadMenu(const std::string& name);
    // Asks the live menu object of that name to be destroyed and forgets it; false when there is none.
    static bool DeleteMenuObject(const std::string& name);
    // Deletes every object listed in "menus/<name>"; "CreditsMenu" also stops the credits.
    static void DeleteFromMenu(const std::string& name);
    // Asks every live menu object to be destroyed and empties the list.
    static void DeleteAllMenuObjects();
    // Moves the cursor to the menu object after it (null after the last); a null cursor stays null.
    // A cursor that is no longer listed goes on after the entry of its name when it is the object the
    // walk last handed out and still alive; any other cursor gives null. Returns the cursor.
    static GameObject*& NextMenuObject(GameObject*& cursor);
    // The first live menu object (null when there is none).
    static GameObject* FirstMenuObject();
    // Empties the list (the objects themselves stay with the manager).
    static void ClearMenuObjects();
    // Writes the object's Transform / Sprite values into its entry of the current menu file.
    static void WriteMenuTransform(const std::string& objectName);
    static void WriteMenuSprite(const std::string& objectName);
    // Writes one key of the object's entry (added when missing) and saves the file: the entry of that
    // "Name" in the menu file the object came from, else in the current menu file. Used by the
    // widgets to keep their settings. Returns whether the value reached the file.
    static bool WriteMenuValue(const std::string& objectName, const char* key, const Stream::StreamData& value);
    // The credits are not running.
    static bool CreditsAreOver();
    static bool GetReopenPauseMenu();
    static void SetReopenPauseMenu(bool reopen);
    // Number of live menu objects (0 without a menu system).
    static int MenuObjectCount();
    static std::string CurrentMenu();

    struct Entry {
        GameObjectHandle object;
        std::string name;   // the object's name when it was listed
        std::string menu;   // the menu file it came from
    };

    std::string currentMenu;
    std::vector<Entry> menuObjects_;
    bool reopenPauseMenu = false;

private:
    bool scriptsChecked_ = false;
    // The object the last FirstMenuObject or NextMenuObject handed out.
    GameObjectHandle walkStop_;
    bool Load(const std::string& name);
    void LoadEntry(Stream& stream, int index, const std::string& menuName);
    // Forgets entries whose object is gone; an emptied credits list stops the credits.
    void Prune();
    int FindLive(const std::string& name) const;
    // Opens the menu file holding an entry of that name; the entry index, or -1 (traced).
    int OpenEntry(const std::string& objectName, const std::string& menu, Stream*& stream);
    // Writes one part (Transform, Sprite) of a live menu object into its entry of the current menu file.
    template <typename Part>
    static void WriteMenuPart(const std::string& objectName, const char* partName, Part* (GameObject::*get)() const,
                              void (*write)(Stream& stream, unsigned index, const Part& part));
};

// The menu system (the first one made), or null.
extern MenuSystem* gMenuSystem;

// A widget behaviour of a menu entry by its "type" ("Button", "Slider", "Dropdown", "Checkbox",
// "Volume_CoolVersion") with its defaults, its keys read from the entry; null for any other type.
Behavior* CreateMenuWidget(const std::string& type, Stream& stream, int index, GameObject* owner);
