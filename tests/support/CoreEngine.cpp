#include "CoreEngine.h"

#include "core/Engine.h"
#include "core/GameObjectFactory.h"
#include "core/GameObjectManager.h"
#include "core/MessageSystem.h"
#include "core/ObjectFactory.h"
#include "TestFiles.h"

namespace testsupport {

CoreEngine::CoreEngine(const std::string& recorderName)
{
    engine = new Engine();
    gEngine = engine;
    messages = new MessageSystem();
    engine->AddSystem(messages);
    recorder = new MessageRecorder(recorderName);
    engine->AddSystem(recorder);
    factory = new GameObjectFactory();
    engine->AddSystem(factory);
    objectFactory = new ObjectFactory();
    engine->AddSystem(objectFactory);
    manager = new GameObjectManager();
    engine->AddSystem(manager);
    CaptureConsole([&] { engine->Init(); });
}

CoreEngine::~CoreEngine()
{
    delete engine;
    if (gEngine == engine)
        gEngine = nullptr;
}

void CoreEngine::Deliver()
{
    if (messages)
        messages->Update(0.0f);
}

} // namespace testsupport
