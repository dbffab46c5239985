#pragma once
// A system: an Object that the Engine owns, finds by name and runs every frame.
#include "core/Object.h"

class ISystem : public Object {
public:
    ISystem() = default;
    ~ISystem() override = default;
};
