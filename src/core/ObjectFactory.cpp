#include "core/ObjectFactory.h"

#include <cstring>

#include "core/Behavior.h"
#include "core/Component.h"
#include "core/Stream.h"
#include "core/Trace.h"

ObjectFactory* gObjectFactory = nullptr;

namespace {
// A clone of the component, or null when its Clone gives something else (which is freed).
Component* CloneComponent(Component* source)
{
    Object* copy = source->Clone();
    if (auto* component = dynamic_cast<Component*>(copy))
        return component;
    delete copy;
    return nullptr;
}
} // namespace

ObjectFactory::ObjectFactory()
{
    exposed = 0;
    active = 1;
    if (!gObjectFactory)
        gObjectFactory = this;
}

ObjectFactory::~ObjectFactory()
{
    while (cache.Count() > 0) {
        auto* component = static_cast<Component*>(cache.RemoveAt(cache.Count() - 1));
        delete component;
    }
    if (gObjectFactory == this)
        gObjectFactory = nullptr;
}

Component* ObjectFactory::CreateObject(const char* name)
{
    if (!name)
        return nullptr;
    for (int i = 0; i < cache.Count(); ++i) {
        auto* cached = static_cast<Component*>(cache[i]);
        if (cached && cached->GetName() == name) {
            if (Component* clone = CloneComponent(cached))
                return clone;
        }
    }

    Stream file(name, StreamMode_Data, false);
    Component* made = nullptr;
    // The readers report a missing or non-string member and give the empty string.
    if (file.ReadString("ObjectType") == "Behavior") {
        const std::string subType = file.ReadString("ObjectSubType");
        if (subType == "BehaviorCollectable" || subType == "BehaviorDropOff") {
            made = CreateBehaviorByName(subType);
            if (!made)
                Trace("ObjectFactory: %s is not available in this build", subType.c_str());
        }
    }
    if (!made)
        return nullptr;
    if (Component* copy = CloneComponent(made))
        cache.PushBack(copy);
    return made;
}
