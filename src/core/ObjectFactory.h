#pragma once
// Makes behaviour components from small object-type files ("ObjectType" "Behavior" with an
// "ObjectSubType" of "BehaviorCollectable" or "BehaviorDropOff") when a "BehaviorType" is not a
// known class name. Made components are cached and later requests get clones.
#include <string>

#include "core/ISystem.h"
#include "core/LinkedList.h"

class Component;

class ObjectFactory : public ISystem {
public:
    // Becomes gObjectFactory when there is none yet.
    ObjectFactory();
    // Deletes the cached components; clears gObjectFactory when it points here.
    ~ObjectFactory() override;

    std::string GetName() override { return "ObjectFactory"; }
    void Init() override {}
    void Update(float) override {}
    void Draw() override {}

    // A clone of a cached component whose GetName equals the name; else the component the
    // object-type file "assets/data/" + name + ".json" describes (a clone of it is cached); else null.
    Component* CreateObject(const char* name);

    int GetCacheCount() const { return cache.Count(); }

    LinkedList cache;   // Component*, owned
};

// The first object factory created (while none was alive), or null.
extern ObjectFactory* gObjectFactory;
