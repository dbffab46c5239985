#include "core/MessageSystem.h"

#include "core/Engine.h"
#include "core/LinkedList.h"
#include "core/Message.h"
#include "core/Trace.h"

MessageSystem* gMessageSystem = nullptr;

MessageSystem::~MessageSystem()
{
    if (queue) {
        while (queue->Count() > 0)
            delete static_cast<Message*>(queue->RemoveAt(0));
        delete queue;
        queue = nullptr;
    }
    if (gMessageSystem == this)
        gMessageSystem = nullptr;
}

void MessageSystem::Init()
{
    gMessageSystem = this;
    if (!queue)
        queue = new LinkedList();
}

void MessageSystem::Update(float)
{
    if (!queue)
        return;
    while (queue->Count() > 0) {
        Message* message = static_cast<Message*>(queue->RemoveAt(0));
        if (message->complete) {
            Engine* engine = p_engine ? p_engine : gEngine;
            if (engine)
                engine->HandleMessage(message);
            else
                Trace("Message %s was dropped: there is no engine to deliver it to.", message->name.c_str());
        } else {
            if (message->sender == nullptr)
                Trace("Message named %s has no sender.", message->name.c_str());
            Trace("Message %s is incomplete.", message->name.c_str());
            Trace("Unable to send message named %s. Message was incomplete.", message->name.c_str());
        }
        delete message;
    }
}

void MessageSystem::Post(Message* message)
{
    if (!message)
        return;
    if (gMessageSystem && gMessageSystem->queue)
        gMessageSystem->queue->PushBack(message);
    else
        delete message;
}

void MessageSystem::SetEngine(Engine* engine)
{
    if (!engine)
        AssertionFailed("p_engine", "src/MessageSystem", 128, "No engine found");
    p_engine = engine;
}

int MessageSystem::QueuedCount() const
{
    return queue ? queue->Count() : 0;
}
