#pragma once
// The place kept for an in-game editor. It does no work of its own: the factory builds it under the
// name "EditorSystem", the program always appends one and hands it to the graphics library.
#include <string>

#include "core/ISystem.h"

class EditorSystem : public ISystem {
public:
    EditorSystem() = default;
    ~EditorSystem() override = default;

    std::string GetName() override { return "EditorSystem"; }
    void Init() override {}
    void Update(float) override {}
    void Draw() override {}
};
