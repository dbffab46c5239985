#include "audio/AudioListener.h"

#include "core/GameObject.h"
#include "core/Transform.h"

void AudioListener::Update(float)
{
    Transform* transform = owner ? owner->GetTransform() : nullptr;
    if (!transform)
        return;
    SendMessage(std::string("studioListener_PositionVector"), transform->TranslationX, transform->TranslationY, 0.0f,
                0.0f, nullptr);
}

Object* AudioListener::Clone()
{
    auto* copy = new AudioListener();
    CopyComponentFields(*copy);
    return copy;
}

void AudioListener::ExposeFields()
{
    if (!exposed)
        exposed = 1;
}

AudioListener* GameObject::GetAudioListener() const
{
    return static_cast<AudioListener*>(GetComponent(ComponentType::AudioListener));
}
