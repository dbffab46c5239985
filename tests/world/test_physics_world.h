#pragma once
// A small stand-in for the running game used by the collider and physics tests: objects updated in slot
// order, the pairwise collision pass over them in list order, and an engine with a MessageSystem that
// delivers every message to the objects (and records its name).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "TestObjects.h"
#include "core/Behavior.h"
#include "core/Engine.h"
#include "core/GameObject.h"
#include "core/ISystem.h"
#include "core/Message.h"
#include "world/Collider.h"
#include "MessageRecorder.h"
#include "core/MessageSystem.h"
#include "core/Stream.h"
#include "world/Physics.h"
#include "world/PhysicsSystem.h"
#include "TestFiles.h"
#include "core/Transform.h"

namespace physics_test {

inline constexpr float DEG = 0.017453292f;

inline std::string NameOf(Collider* collider)
{
    return (collider && collider->owner) ? collider->owner->GetName() : std::string("?");
}

// Records the collision calls it gets, as "enter:Other", "stay:Other", "exit:Other".
class RecordingBehavior : public Behavior {
public:
    std::string GetName() override { return "RecordingBehavior"; }
    Object* Clone() override { return new RecordingBehavior(*this); }
    void OnCollisionEnter(Collider* other) override { events.push_back("enter:" + NameOf(other)); }
    void OnCollisionStay(Collider* other) override { events.push_back("stay:" + NameOf(other)); }
    void OnCollisionExit(Collider* other) override { events.push_back("exit:" + NameOf(other)); }

    int Count(const std::string& event) const
    {
        return static_cast<int>(std::count(events.begin(), events.end(), event));
    }
    std::vector<std::string> events;
};

// A component that only takes a slot (stands in for the particle emitter and the audio events).
class SlotComponent : public Component {
public:
    explicit SlotComponent(ComponentType slot) : Component(slot) {}
    std::string GetName() override { return "SlotComponent"; }
    void Init() override {}
    void Update(float) override {}
    void Draw() override {}
    Object* Clone() override { return new SlotComponent(*this); }
    void Read(Stream&) override {}
    void ExposeFields() override {}
};

class World {
public:
    explicit World(bool withPhysicsSystem = true)
    {
        engine.AddSystem("MessageSystem");
        // Hands every delivered message to the world's objects (and keeps it).
        forwarder = new testsupport::MessageRecorder("Forwarder");
        forwarder->onMessage = [this](Message* message) {
            const std::vector<GameObject*> now = objects;
            for (GameObject* object : now)
                object->HandleMessage(message);
        };
        engine.AddSystem(forwarder);
        if (withPhysicsSystem)
            physicsSystem = static_cast<PhysicsSystem*>(engine.AddSystem("PhysicsSystem"));
        engine.Init();
    }
    World(const World&) = delete;
    World& operator=(const World&) = delete;
    ~World()
    {
        for (GameObject* object : objects)
            delete object;
        objects.clear();
    }

    // An object with a Transform (scale 1 unless given) and a Physics, added at the end of the list.
    GameObject* Add(const std::string& name, float x, float y, float rotationDegrees = 0.0f, float scaleX = 1.0f,
                    float scaleY = 1.0f)
    {
        GameObject* object = testsupport::MakePlacedObject(name, x, y, rotationDegrees, scaleX, scaleY);
        object->SetComponent(new Physics());
        objects.push_back(object);
        return object;
    }

    static Collider* AddSquare(GameObject* object, float w, float h, bool dynamic, bool trigger = false)
    {
        auto* collider = new Collider();
        collider->SetSquare(w, h);
        collider->IsDynamic = dynamic ? 1 : 0;
        collider->IsTrigger = trigger;
        object->SetComponent(collider);
        return collider;
    }
    static Collider* AddCircle(GameObject* object, float r, bool dynamic, bool trigger = false)
    {
        auto* collider = new Collider();
        collider->SetCircle(r);
        collider->IsDynamic = dynamic ? 1 : 0;
        collider->IsTrigger = trigger;
        object->SetComponent(collider);
        return collider;
    }
    static RecordingBehavior* AddBehavior(GameObject* object)
    {
        auto* behavior = new RecordingBehavior();
        object->SetComponent(behavior);
        return behavior;
    }

    // The collision pass alone: every pair i < j of objects with colliders, in list order.
    void CollisionPass()
    {
        for (std::size_t i = 0; i < objects.size(); ++i) {
            Collider* a = objects[i]->GetCollider();
            if (!a)
                continue;
            for (std::size_t j = i + 1; j < objects.size(); ++j) {
                Collider* b = objects[j]->GetCollider();
                if (b)
                    Collider::ResolveCollision(a, b);
            }
        }
    }

    // One frame: destroy requests, object updates, the collision pass, then message delivery.
    void Frame(float dt = 1.0f / 60.0f)
    {
        for (std::size_t i = 0; i < objects.size();) {
            if (objects[i]->IsDestroyRequested()) {
                delete objects[i];
                objects.erase(objects.begin() + static_cast<long>(i));
            } else {
                objects[i]->Update(dt);
                ++i;
            }
        }
        CollisionPass();
        engine.Update(dt);
    }
    // Delivers what is queued.
    void Deliver() { engine.Update(0.0f); }

    int Seen(const std::string& name) const { return forwarder->Count(name); }

    Engine engine;
    testsupport::MessageRecorder* forwarder = nullptr;
    PhysicsSystem* physicsSystem = nullptr;
    std::vector<GameObject*> objects;
};

// A stream holding the given JSON text as if read from a data file.
inline void LoadJson(Stream& stream, const char* json)
{
    stream.text = json;
    stream.data.Parse(json);
    if (stream.data.HasParseError())
        stream.data.SetNull();
}

// The save directory pointed at a fresh temporary folder while it lives, so that tests can write
// object files and open them as save-directory streams (mode 4).
using TempSaveDir = testsupport::TestSaveDir;

}  // namespace physics_test
