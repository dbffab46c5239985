#include "ui/MenuSystem.h"

#include <algorithm>
#include <iostream>

#include "core/CreditsScroll.h"
#include "core/GameObject.h"
#include "core/GameObjectFactory.h"
#include "core/GameObjectManager.h"
#include "core/Message.h"
#include "core/Trace.h"
#include "core/Transform.h"
#include "graphics/GraphicsLibrary.h"
#include "graphics/Mesh.h"
#include "graphics/Sprite.h"
#include "graphics/Texture.h"
#include "graphics/Window.h"
#include "script/LuaAPI_System.h"
#include "ui/Button.h"
#include "ui/Checkbox.h"
#include "ui/Dropdown.h"
#include "ui/MenuEntry.h"
#include "ui/MenuLuaAPI.h"
#include "ui/Slider.h"
#include "ui/Volume_CoolVersion.h"
#include "ui/WidgetInput.h"
#include "world/Scene.h"

MenuSystem* gMenuSystem = nullptr;

namespace {

const char* const SOURCE_PATH = "src/MenuSystem";
const char* const CREDITS_MENU = "CreditsMenu";
constexpr float RADIANS_TO_DEGREES = 57.29578f;

void StopCredits(bool announce)
{
    CreditsScroll& credits = CreditsScrollState;
    if (announce)
        std::cout << "Credits stopped" << std::endl;
    credits.running = false;
    credits.elapsed = 0.0f;
    credits.objects.clear();
    credits.lowestY = 1000.0f;
    credits.highestY = -1000.0f;
}

void SceneLoadMenu(ISystem*, const std::string& name)
{
    MenuSystem::LoadMenu(name);
}

void WindowOpenPauseMenu()
{
    MenuSystem::LoadMenu("PauseMenu");
}

void ApplyTransformKeys(const MenuEntry& entry, Transform* transform)
{
    const char* const keys[] = {"TranslationX", "TranslationY", "ScaleX", "ScaleY"};
    float* const fields[] = {&transform->TranslationX, &transform->TranslationY, &transform->ScaleX,
                             &transform->ScaleY};
    for (int i = 0; i < 4; ++i) {
        float value = 0.0f;
        if (entry.GetFloat(keys[i], value))
            widget::SetIfChanged(transform, *fields[i], value);
    }
}

void ApplySpriteKeys(const MenuEntry& entry, Sprite* sprite)
{
    std::string text;
    if (entry.GetString("Mesh", text)) {
        if (Mesh* mesh = GraphicsLibrary::GetMesh(text)) {
            sprite->mesh = mesh;
            sprite->meshIndex = GraphicsLibrary::GetMeshIndex(text);
        }
    }
    if (entry.GetString("Texture", text)) {
        sprite->texture = GraphicsLibrary::GetTexture(text, -1);
        sprite->textureIndex = sprite->texture ? GraphicsLibrary::GetTextureIndex(sprite->texture->name) : -1;
    }
    if (entry.GetString("DrawMode", text))
        sprite->SetDrawMode(text);
    if (entry.Has("ColorR")) {
        // Read in this order; each of the three is expected once red is there.
        const char* const keys[] = {"ColorB", "ColorG", "ColorR"};
        const int slots[] = {2, 1, 0};
        for (int i = 0; i < 3; ++i) {
            float value = 0.0f;
            if (entry.GetFloat(keys[i], value))
                sprite->color[slots[i]] = value;
            else if (!entry.Has(keys[i]))
                Trace("Menu \"%s\" entry %d: \"ColorR\" without \"%s\"", entry.menuName.c_str(), entry.index, keys[i]);
        }
    }
    float alpha = 0.0f;
    if (entry.GetFloat("ColorA", alpha))
        sprite->color[3] = alpha;
}

} // namespace

Behavior* CreateMenuWidget(const std::string& type, Stream& stream, int index, GameObject* owner)
{
    Behavior* made = nullptr;
    if (type == "Button") {
        auto* button = new Button();
        button->SetOwner(owner);
        button->ReadMenuObject(stream, index);
        made = button;
    } else if (type == "Slider") {
        auto* slider = new Slider();
        slider->SetOwner(owner);
        slider->ReadMenuObject(stream, index);
        made = slider;
    } else if (type == "Dropdown") {
        auto* dropdown = new Dropdown();
        dropdown->SetOwner(owner);
        dropdown->ReadMenuObject(stream, index);
        made = dropdown;
    } else if (type == "Checkbox") {
        auto* checkbox = new Checkbox();
        checkbox->SetOwner(owner);
        checkbox->ReadMenuObject(stream, index);
        made = checkbox;
    } else if (type == "Volume_CoolVersion") {
        auto* volume = new Volume_CoolVersion();
        volume->SetOwner(owner);
        volume->ReadMenuObject(stream, index);
        made = volume;
    }
    return made;
}

MenuSystem::MenuSystem()
{
    if (!gMenuSystem)
        gMenuSystem = this;
    SceneLoadMenuHook = SceneLoadMenu;
    ClearMenuObjectsHook = &MenuSystem::ClearMenuObjects;
    WindowOpenPauseMenuHook = WindowOpenPauseMenu;
    WriteMenuTransformHook = &MenuSystem::WriteMenuTransform;
    WriteMenuSpriteHook = &MenuSystem::WriteMenuSprite;
}

MenuSystem::~MenuSystem()
{
    menuObjects_.clear();
    if (gMenuSystem != this)
        return;
    gMenuSystem = nullptr;
    if (SceneLoadMenuHook == SceneLoadMenu)
        SceneLoadMenuHook = nullptr;
    if (ClearMenuObjectsHook == &MenuSystem::ClearMenuObjects)
        ClearMenuObjectsHook = nullptr;
    if (WindowOpenPauseMenuHook == WindowOpenPauseMenu)
        WindowOpenPauseMenuHook = nullptr;
    if (WriteMenuTransformHook == &MenuSystem::WriteMenuTransform)
        WriteMenuTransformHook = nullptr;
    if (WriteMenuSpriteHook == &MenuSystem::WriteMenuSprite)
        WriteMenuSpriteHook = nullptr;
}

void MenuSystem::Init()
{
    Stream stream("CreditsScroll", StreamMode_Data, false);
    CreditsScrollState.waitTime = stream.ReadFloat("TimeWaitingToScroll");
    CreditsScrollState.scrollTime = stream.ReadFloat("TimeScrolling");
    if (gLuaAPI)
        RegisterMenuLuaAPI(gLuaAPI->state);
    scriptsChecked_ = false;
}

void MenuSystem::Update(float)
{
    if (scriptsChecked_)
        return;
    scriptsChecked_ = true;
    if (gLuaAPI)
        RegisterMenuLuaAPI(gLuaAPI->state);
}

void MenuSystem::HandleMessage(Message* message)
{
    if (message && message->IsNamed("Menu Object Delete"))
        Prune();
}

void MenuSystem::Prune()
{
    menuObjects_.erase(std::remove_if(menuObjects_.begin(), menuObjects_.end(),
                                      [](const Entry& entry) { return !entry.object.Get(); }),
                       menuObjects_.end());
    CreditsScroll& credits = CreditsScrollState;
    if (credits.objects.empty())
        return;
    credits.objects.erase(std::remove_if(credits.objects.begin(), credits.objects.end(),
                                         [](const GameObjectHandle& handle) { return !handle.Get(); }),
                          credits.objects.end());
    if (credits.objects.empty() && credits.running)
        StopCredits(true);
}

int MenuSystem::FindLive(const std::string& name) const
{
    for (std::size_t i = 0; i < menuObjects_.size(); ++i) {
        GameObject* object = menuObjects_[i].object.Get();
        if (object && object->GetName() == name)
            return static_cast<int>(i);
    }
    return -1;
}

// ---- Loading --------------------------------------------------------------------------------------------

bool MenuSystem::LoadMenu(const std::string& name)
{
    return gMenuSystem && gMenuSystem->Load(name);
}

bool MenuSystem::Load(const std::string& name)
{
    Prune();
    Stream stream(("menus/" + name).c_str(), StreamMode_Data, false);
    if (!stream.IsValid())
        AssertionFailed("stream.IsValid()", SOURCE_PATH, __LINE__, "Menu \"" + name + ".json\" not found!");
    // A file that is there but does not parse (a stray comma, a NaN) builds nothing and is left as it
    // is; the caller keeps its own menu on screen.
    if (stream.IsValid() && !stream.data.IsObject()) {
        Trace("Menu \"%s.json\" is not a readable JSON object; the menu is not opened", name.c_str());
        return false;
    }
    currentMenu = name;

    const int wanted = stream.ReadInt("numMenuObjects");
    int available = 0;
    if (stream.data.IsObject()) {
        auto list = stream.data.FindMember("MenuObjects");
        if (list != stream.data.MemberEnd() && list->value.IsArray())
            available = static_cast<int>(list->value.Size());
        else if (stream.IsValid())
            Trace("Menu \"%s\": \"MenuObjects\" is missing or not an array", name.c_str());
    }
    int count = wanted < 0 ? 0 : wanted;
    if (count > available) {
        if (stream.IsValid())
            Trace("Menu \"%s\": numMenuObjects is %d but \"MenuObjects\" holds %d; using %d", name.c_str(), wanted,
                  available, available);
        count = available;
    }
    for (int i = 0; i < count; ++i)
        LoadEntry(stream, i, name);
    return stream.IsValid();
}

void MenuSystem::LoadEntry(Stream& stream, int index, const std::string& menuName)
{
    MenuEntry entry(stream, index);
    if (!entry.IsObject()) {
        Trace("Menu \"%s\" entry %d is not an object; skipped", menuName.c_str(), index);
        return;
    }
    std::string name;
    if (!entry.GetString("Name", name)) {
        Trace("Menu \"%s\" entry %d has no \"Name\"; skipped", menuName.c_str(), index);
        return;
    }
    if (FindLive(name) >= 0)
        return;
    std::string type;
    if (!entry.GetString("type", type))
        Trace("Menu \"%s\" entry \"%s\" has no \"type\"; it is a plain picture", menuName.c_str(), name.c_str());

    if (!gGameObjectFactory) {
        Trace("MenuSystem: no GameObjectFactory; \"%s\" is not built", name.c_str());
        return;
    }
    GameObject* object = gGameObjectFactory->CreateFromArchetype("MenuObject", name);
    if (!object)
        return;
    object->SetName(name);

    if (Transform* transform = object->GetTransform())
        ApplyTransformKeys(entry, transform);
    if (Sprite* sprite = object->GetSprite())
        ApplySpriteKeys(entry, sprite);
    // A behaviour the archetype brought along is deleted by SetComponent when a widget takes its slot.
    if (Behavior* made = CreateMenuWidget(type, stream, index, object)) {
        if (!object->SetComponent(made))
            delete made;
    }

    menuObjects_.push_back(Entry{GameObjectHandle(object), name, menuName});

    if (menuName == CREDITS_MENU) {
        CreditsScroll& credits = CreditsScrollState;
        std::cout << "Added " << name << " to credits scroll" << std::endl;
        credits.objects.push_back(GameObjectHandle(object));
        if (Transform* transform = object->GetTransform()) {
            credits.lowestY = std::min(credits.lowestY, transform->TranslationY);
            credits.highestY = std::max(credits.highestY, transform->TranslationY);
        }
        // A scroll time of zero or less would give an endless speed: the credits then stand still.
        credits.speed = credits.scrollTime > 0.0f ? (credits.highestY - credits.lowestY + 1.0f) / credits.scrollTime
                                                  : 0.0f;
        credits.elapsed = 0.0f;
        credits.running = true;
    }
}

// ---- Deleting -------------------------------------------------------------------------------------------

bool MenuSystem::DeleteMenuObject(const std::string& name)
{
    MenuSystem* self = gMenuSystem;
    if (!self)
        return false;
    self->Prune();
    const int at = self->FindLive(name);
    if (at < 0)
        return false;
    GameObject* object = self->menuObjects_[static_cast<std::size_t>(at)].object.Get();
    self->menuObjects_.erase(self->menuObjects_.begin() + at);
    object->RequestDestroy();
    return true;
}

void MenuSystem::DeleteFromMenu(const std::string& name)
{
    MenuSystem* self = gMenuSystem;
    if (!self)
        return;
    Stream stream(("menus/" + name).c_str(), StreamMode_Data, false);
    if (!stream.IsValid()) {
        Trace("Menu \"%s.json\" not found!", name.c_str());
        return;
    }
    self->Prune();
    self->currentMenu = name;
    const int before = static_cast<int>(self->menuObjects_.size());
    int deleted = 0;
    int count = stream.ReadInt("numMenuObjects");
    int available = 0;
    if (stream.data.IsObject()) {
        auto list = stream.data.FindMember("MenuObjects");
        if (list != stream.data.MemberEnd() && list->value.IsArray())
            available = static_cast<int>(list->value.Size());
    }
    if (count > available) {
        Trace("Menu \"%s\": numMenuObjects is %d but \"MenuObjects\" holds %d; using %d", name.c_str(), count,
              available, available);
        count = available;
    }
    for (int i = 0; i < count; ++i) {
        MenuEntry entry(stream, i);
        std::string objectName;
        if (entry.GetString("Name", objectName) && DeleteMenuObject(objectName))
            ++deleted;
    }
    if (name == CREDITS_MENU)
        StopCredits(true);
    if (before - deleted != static_cast<int>(self->menuObjects_.size()))
        AssertionFailed("numBeforeDelete - numDeleted == (int)(main->menuObjects_.size())", SOURCE_PATH, __LINE__,
                        "MenuSystem ERROR: DeleteFromMenu was unsuccessful");
}

void MenuSystem::DeleteAllMenuObjects()
{
    MenuSystem* self = gMenuSystem;
    if (!self || self->menuObjects_.empty())
        return;
    for (Entry& entry : self->menuObjects_) {
        if (GameObject* object = entry.object.Get())
            object->RequestDestroy();
    }
    self->menuObjects_.clear();
}

void MenuSystem::ClearMenuObjects()
{
    if (gMenuSystem)
        gMenuSystem->menuObjects_.clear();
}

GameObject* MenuSystem::FirstMenuObject()
{
    if (!gMenuSystem)
        return nullptr;
    gMenuSystem->walkStop_.Reset();
    for (const Entry& entry : gMenuSystem->menuObjects_) {
        if (GameObject* object = entry.object.Get()) {
            gMenuSystem->walkStop_.Set(object);
            return object;
        }
    }
    return nullptr;
}

GameObject*& MenuSystem::NextMenuObject(GameObject*& cursor)
{
    if (!cursor)
        return cursor;
    MenuSystem* self = gMenuSystem;
    if (!self) {
        cursor = nullptr;
        return cursor;
    }
    // The entry after position at that holds a live object, or null.
    auto after = [self](std::size_t at) -> GameObject* {
        for (std::size_t j = at + 1; j < self->menuObjects_.size(); ++j) {
            if (GameObject* next = self->menuObjects_[j].object.Get())
                return next;
        }
        return nullptr;
    };
    // The cursor is compared by identity with the live entries first. A cursor no entry holds is
    // read only when it is the walk's last stop and that object is still alive (by its id); it then
    // goes on after the entry of its name. Any other cursor may point at a deleted object: the walk ends.
    int at = -1;
    for (std::size_t i = 0; i < self->menuObjects_.size() && at < 0; ++i) {
        if (self->menuObjects_[i].object.Get() == cursor)
            at = static_cast<int>(i);
    }
    if (at < 0) {
        GameObject* stop = self->walkStop_.Get();
        if (stop && stop == cursor)
            at = self->FindLive(stop->GetName());
    }
    cursor = at >= 0 ? after(static_cast<std::size_t>(at)) : nullptr;
    self->walkStop_.Set(cursor);
    return cursor;
}

// ---- Writing back ---------------------------------------------------------------------------------------

int MenuSystem::OpenEntry(const std::string& objectName, const std::string& menu, Stream*& stream)
{
    stream = new Stream(("menus/" + menu).c_str(), StreamMode_Data, false);
    if (!stream->IsValid()) {
        Trace("MenuSystem: File \"%s\".json not found???", menu.c_str());
        return -1;
    }
    if (!stream->data.IsObject())
        return -1;
    auto list = stream->data.FindMember("MenuObjects");
    if (list == stream->data.MemberEnd() || !list->value.IsArray())
        return -1;
    for (rapidjson::SizeType i = 0; i < list->value.Size(); ++i) {
        const rapidjson::Value& entry = list->value[i];
        if (!entry.IsObject())
            continue;
        auto name = entry.FindMember("Name");
        if (name != entry.MemberEnd() && name->value.IsString() &&
            objectName == std::string(name->value.GetString(), name->value.GetStringLength()))
            return static_cast<int>(i);
    }
    return -1;
}

template <typename Part>
void MenuSystem::WriteMenuPart(const std::string& objectName, const char* partName, Part* (GameObject::*get)() const,
                               void (*write)(Stream& stream, unsigned index, const Part& part))
{
    MenuSystem* self = gMenuSystem;
    if (!self)
        return;
    self->Prune();
    const int at = self->FindLive(objectName);
    if (at < 0)
        return;
    GameObject* object = self->menuObjects_[static_cast<std::size_t>(at)].object.Get();
    Part* part = (object->*get)();
    Stream* stream = nullptr;
    const int index = self->OpenEntry(objectName, self->currentMenu, stream);
    if (index >= 0 && part) {
        Trace("Writing MenuObject \"%s\"'s %s data to file \"%s\".json...", objectName.c_str(), partName,
              self->currentMenu.c_str());
        write(*stream, static_cast<unsigned>(index), *part);
        stream->Save();
    } else if (stream->IsValid()) {
        Trace("MenuSystem: \"%s\" has no entry in \"%s\".json; nothing written", objectName.c_str(),
              self->currentMenu.c_str());
    }
    delete stream;
}

void MenuSystem::WriteMenuTransform(const std::string& objectName)
{
    WriteMenuPart<Transform>(objectName, "Transform", &GameObject::GetTransform,
                             [](Stream& stream, unsigned i, const Transform& transform) {
        stream.WriteMenuObjectField(i, "TranslationX", Stream::StreamData(transform.TranslationX));
        stream.WriteMenuObjectField(i, "TranslationY", Stream::StreamData(transform.TranslationY));
        stream.WriteMenuObjectField(i, "Rotation", Stream::StreamData(transform.Rotation * RADIANS_TO_DEGREES));
        stream.WriteMenuObjectField(i, "ScaleX", Stream::StreamData(transform.ScaleX));
        stream.WriteMenuObjectField(i, "ScaleY", Stream::StreamData(transform.ScaleY));
    });
}

void MenuSystem::WriteMenuSprite(const std::string& objectName)
{
    WriteMenuPart<Sprite>(objectName, "Sprite", &GameObject::GetSprite,
                          [](Stream& stream, unsigned i, const Sprite& sprite) {
        if (sprite.mesh)
            stream.WriteMenuObjectField(i, "Mesh", Stream::StreamData(sprite.mesh->name));
        if (sprite.texture)
            stream.WriteMenuObjectField(i, "Texture", Stream::StreamData(sprite.texture->name));
        stream.WriteMenuObjectField(i, "ColorR", Stream::StreamData(sprite.color[0]));
        stream.WriteMenuObjectField(i, "ColorG", Stream::StreamData(sprite.color[1]));
        stream.WriteMenuObjectField(i, "ColorB", Stream::StreamData(sprite.color[2]));
        stream.WriteMenuObjectField(i, "ColorA", Stream::StreamData(sprite.color[3]));
    });
}

bool MenuSystem::WriteMenuValue(const std::string& objectName, const char* key, const Stream::StreamData& value)
{
    MenuSystem* self = gMenuSystem;
    if (!self || !key)
        return false;
    self->Prune();
    // The menu file the object came from first: another open menu may hold an entry of the same name.
    std::string menus[2] = {std::string(), self->currentMenu};
    const int at = self->FindLive(objectName);
    if (at >= 0)
        menus[0] = self->menuObjects_[static_cast<std::size_t>(at)].menu;
    if (menus[0] == menus[1])
        menus[1].clear();
    for (const std::string& menu : menus) {
        if (menu.empty())
            continue;
        Stream* stream = nullptr;
        const int index = self->OpenEntry(objectName, menu, stream);
        if (index < 0) {
            delete stream;
            continue;
        }
        rapidjson::Document::AllocatorType& allocator = stream->data.GetAllocator();
        rapidjson::Value& entry = stream->data["MenuObjects"][static_cast<rapidjson::SizeType>(index)];
        rapidjson::Value json;
        switch (value.GetType()) {
        case Stream::StreamDataType::Int: json.SetInt(value.GetInt()); break;
        case Stream::StreamDataType::Float: json.SetDouble(static_cast<double>(value.GetFloat())); break;
        case Stream::StreamDataType::Bool: json.SetBool(value.GetBool()); break;
        case Stream::StreamDataType::String: json.SetString(value.GetString().c_str(), allocator); break;
        default:
            delete stream;
            return false;
        }
        auto member = entry.FindMember(key);
        if (member != entry.MemberEnd())
            member->value = json;
        else
            entry.AddMember(rapidjson::Value(key, allocator), json, allocator);
        Trace("Writing MenuObject \"%s\"'s \"%s\" to file \"%s\".json...", objectName.c_str(), key, menu.c_str());
        // A save that fails has traced why and left the file as it was.
        const bool saved = stream->Save();
        delete stream;
        return saved;
    }
    Trace("MenuSystem: no menu file holds \"%s\"; \"%s\" not written", objectName.c_str(), key);
    return false;
}

// ---- Small answers --------------------------------------------------------------------------------------

bool MenuSystem::CreditsAreOver()
{
    return !CreditsScrollState.running;
}

bool MenuSystem::GetReopenPauseMenu()
{
    return gMenuSystem && gMenuSystem->reopenPauseMenu;
}

void MenuSystem::SetReopenPauseMenu(bool reopen)
{
    if (gMenuSystem)
        gMenuSystem->reopenPauseMenu = reopen;
}

int MenuSystem::MenuObjectCount()
{
    if (!gMenuSystem)
        return 0;
    gMenuSystem->Prune();
    return static_cast<int>(gMenuSystem->menuObjects_.size());
}

std::string MenuSystem::CurrentMenu()
{
    return gMenuSystem ? gMenuSystem->currentMenu : std::string();
}
