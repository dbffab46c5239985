#pragma once
// The stepped volume control: a row of bars between a minus and a plus button (objects it makes from
// the "Circle" and "Bar" archetypes). Clicking plus or minus raises or lowers the value between 0 and
// the number of bars, lights the bars below the value, runs the widget's Lua script (which sees the
// widget as "Volume_CoolVersion") and writes the value back into the menu file as "StartingValue".
#include <string>
#include <vector>

#include "core/Behavior.h"
#include "core/GameObjectHandle.h"
#include "ui/WidgetScript.h"

class Stream;

class Volume_CoolVersion : public Behavior {
public:
    Volume_CoolVersion() = default;
    // A copy shares the value and file and owns none of the parts.
    Volume_CoolVersion(const Volume_CoolVersion& other);
    // Asks plus, minus and the bars to be destroyed (not while the manager is clearing everything).
    ~Volume_CoolVersion() override;

    std::string GetName() override { return "Volume_CoolVersion"; }
    Volume_CoolVersion* Clone() override { return new Volume_CoolVersion(*this); }

    // "lua", "NumBars" (negative counts as 0), "StartingValue" of entry index.
    void ReadMenuObject(Stream& stream, int index);
    void LoadScript();

    void OnEnter() override;
    void OnUpdate(float dt) override;

    int GetNumBars() const { return static_cast<int>(bars.size()); }
    // Value clamped to 0..number of bars.
    void SetValue(int newValue);

    int value = 0;
    GameObjectHandle plus;
    GameObjectHandle minus;
    std::vector<GameObjectHandle> bars;
    WidgetScript script;

private:
    GameObject* MakeButton(GameObjectHandle& handle, const char* textureName);
    bool ownsParts = false;
    bool scriptBound = false;
};
