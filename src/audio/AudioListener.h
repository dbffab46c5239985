#pragma once
// The component (type 8) that makes its object the listener: every frame it reports the object's
// position as the listener position.
#include "core/Component.h"

class AudioListener : public Component {
public:
    AudioListener() : Component(ComponentType::AudioListener) {}

    std::string GetName() override { return "AudioListener"; }
    void Init() override {}
    // Sends "studioListener_PositionVector" (TranslationX, TranslationY, 0, 0).
    void Update(float dt) override;
    void Draw() override {}
    Object* Clone() override;
    // Nothing is read: the block's presence makes the listener.
    void Read(Stream&) override {}
    void ExposeFields() override;
};
