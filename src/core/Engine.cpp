#include "core/Engine.h"

#include "core/MessageSystem.h"
#include "core/NameTable.h"
#include "core/Stream.h"
#include "core/Trace.h"

Engine* gEngine = nullptr;
void (*EngineCursorHook)(bool shown) = nullptr;
void (*EngineClearColorHook)(const std::array<float, 4>& colour) = nullptr;
bool (*WindowHasFocusHook)() = nullptr;
bool (*ScenePausableHook)() = nullptr;
bool (*SceneChangePendingHook)() = nullptr;

Engine::Engine() = default;

Engine::~Engine()
{
    DeleteSystems();
    if (gMessageSystem)
        gMessageSystem->ForgetEngine(this);
    if (gEngine == this)
        gEngine = nullptr;
}

void Engine::DeleteSystems()
{
    while (!systems.empty()) {
        ISystem* system = systems.back();
        systems.pop_back();
        delete system;
    }
}

void Engine::Init()
{
    // Systems may append systems from their Init; those are initialised in the same pass.
    for (std::size_t i = 0; i < systems.size(); ++i) {
        ISystem* system = systems[i];
        Trace("Initializing %s...", system->GetName().c_str());
        system->Init();
    }
    running = 1;
    if (ISystem* found = GetSystem("MessageSystem")) {
        // Every message system learns the engine, so a second one listed delivers as well.
        for (ISystem* system : systems) {
            if (system == found || system->GetName() == "MessageSystem") {
                if (auto* messages = dynamic_cast<MessageSystem*>(system))
                    messages->SetEngine(this);
            }
        }
    }
}

void Engine::Update(float frameDt)
{
    for (std::size_t i = 0; i < systems.size(); ++i) {
        ISystem* system = systems[i];
        if (system->active)
            system->Update(frameDt);
    }
    if (EngineCursorHook)
        EngineCursorHook(paused || showCursor);
}

void Engine::Draw()
{
    for (std::size_t i = 0; i < systems.size(); ++i)
        systems[i]->Draw();
}

void Engine::HandleMessage(Message* message)
{
    if (!message)
        return;
    if (message->IsNamed("SetBGColor")) {
        SetClearColor(message->GetVector());
        return;
    }
    for (std::size_t i = 0; i < systems.size(); ++i) {
        ISystem* system = systems[i];
        if (system && system->active)
            system->HandleMessage(message);
    }
}

void Engine::SetClearColor(const std::array<float, 4>& colour)
{
    clearColor = colour;
    if (EngineClearColorHook)
        EngineClearColorHook(colour);
}

ISystem* Engine::AddSystem(std::string name)
{
    Trace("Adding %s...", name.c_str());
    ISystem* system = CreateSystem(name);
    if (system)
        systems.push_back(system);
    return system;
}

int Engine::AddSystems(Stream& stream)
{
    const int wanted = stream.ReadInt("numSystems");
    const rapidjson::Value* list = nullptr;
    if (stream.data.IsObject()) {
        auto it = stream.data.FindMember("Systems");
        if (it != stream.data.MemberEnd() && it->value.IsArray())
            list = &it->value;
    }
    const int available = list ? static_cast<int>(list->Size()) : 0;
    int count = wanted < 0 ? 0 : wanted;
    if (count > available) {
        Trace("numSystems is %d but \"Systems\" holds %d names; using %d", wanted, available, available);
        count = available;
    }
    int added = 0;
    for (int i = 0; i < count; ++i) {
        const rapidjson::Value& entry = (*list)[static_cast<rapidjson::SizeType>(i)];
        if (!entry.IsString()) {
            Trace("Systems entry %d is not a name; skipped", i);
            continue;
        }
        if (AddSystem(std::string(entry.GetString(), entry.GetStringLength())))
            ++added;
    }
    return added;
}

ISystem* Engine::AddSystem(ISystem* system)
{
    if (system)
        systems.push_back(system);
    return system;
}

void Engine::RemoveSystem(std::string name)
{
    for (auto it = systems.begin(); it != systems.end(); ++it) {
        if ((*it)->GetName() == name) {
            ISystem* system = *it;
            systems.erase(it);
            delete system;
            return;
        }
    }
    Trace("System %s was not found and therefore could not be deleted", name.c_str());
}

ISystem* Engine::GetSystem(std::string name)
{
    for (ISystem* system : systems) {
        if (system->GetName() == name)
            return system;
    }
    Trace("System %s not found", name.c_str());
    return nullptr;
}

namespace {

void SendPausedParameter(Engine* engine, float value)
{
    AudioClip clip;
    clip.paramName = "Paused";
    clip.paramValue = value;
    engine->SendMessage(std::string("Change_Global_Param"), clip, nullptr);
}

} // namespace

void PauseGame()
{
    Engine* engine = gEngine;
    if (!engine || engine->paused)
        return;
    const bool pausable = ScenePausableHook && ScenePausableHook();
    const bool canPause = pausable || !WindowHasFocusHook || WindowHasFocusHook();
    if (!canPause)
        return;
    engine->paused = 1;
    SendPausedParameter(engine, 0.0f);
}

void UnpauseGame()
{
    Engine* engine = gEngine;
    if (!engine || !engine->paused)
        return;
    engine->paused = 0;
    SendPausedParameter(engine, 1.0f);
    engine->showCursor = 0;
}

namespace {

NameTable<SystemCreator>& Factory()
{
    static NameTable<SystemCreator> table;
    return table;
}

} // namespace

void RegisterSystem(const std::string& name, SystemCreator create)
{
    Factory().Add(name, create);
}

std::vector<std::string> RegisteredSystemNames()
{
    return Factory().Names();
}

ISystem* CreateSystem(std::string name)
{
    // Every system gets the chance to read "assets/data/<name>.json"; the file need not exist.
    Stream settings(name.c_str(), StreamMode_Data, false);
    const SystemCreator create = Factory().Find(name);
    return create ? create(&settings) : nullptr;
}
