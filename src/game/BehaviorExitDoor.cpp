#include "game/BehaviorExitDoor.h"

#include "core/GameObject.h"
#include "core/GameObjectFactory.h"
#include "core/Message.h"
#include "core/Stream.h"
#include "game/BehaviorFields.h"
#include "graphics/GraphicsLibrary.h"
#include "graphics/SpriteSheet.h"
#include "graphics/Texture.h"
#include "world/SceneSystem.h"

namespace {
const char* const COUNTER = "ExitDoorCounter";
const char* const COUNTDOWN_SOUND = "Elevator_Countdown";

// Plays an animation spread over a given time: time / steps per frame. A texture of one frame or
// none, or a time that is not above 0, plays at the texture's own frame time.
void PlayOver(SpriteSheet* sheet, const char* animation, float time, int stepsLess)
{
    if (!sheet)
        return;
    sheet->PlayAnimation(animation, false, "");
    Texture* texture = GraphicsLibraryInstance ? GraphicsLibrary::GetTexture(animation, -1) : nullptr;
    if (!texture)
        return;
    const int steps = texture->numFrames - stepsLess;
    if (texture->numFrames > 1 && steps > 0 && time > 0.0f)
        sheet->SetFrameTime(time / static_cast<float>(steps));
    else if (texture->frameTime > 0.0f)
        sheet->SetFrameTime(texture->frameTime);
}
} // namespace

Object* BehaviorExitDoor::Clone()
{
    auto* copy = new BehaviorExitDoor();
    CopyContactFields(*copy);
    copy->timerSetting = timerSetting;
    copy->doorTimerSetting = doorTimerSetting;
    copy->countdown = countdown;
    copy->activated = activated;
    copy->doorCountdown = doorCountdown;
    return copy;
}

void BehaviorExitDoor::HandleMessage(Message* message)
{
    if (message && message->Is(MessageId::Serialize) && (!message->target || message->target == this))
        ExposeFields();
}

void BehaviorExitDoor::Read(Stream& stream)
{
    timerSetting = stream.ReadFloat("Behavior", "Timer");
    behaviorfields::OptionalFloat(stream, "Door Timer", doorTimerSetting);
    countdown = doorCountdown = timerSetting;
}

void BehaviorExitDoor::OnEnter()
{
    if (currentState == 0)
        armed = true;
}

GameObject* BehaviorExitDoor::FindOrMakeCounter()
{
    if (GameObject* kept = counter.Get())
        return kept;
    GameObject* found = behaviorfields::FindChildByBase(owner, COUNTER);
    if (!found && owner && gGameObjectFactory) {
        found = gGameObjectFactory->CreateGameObject(std::string("archetypes/") + COUNTER, true);
        if (found)
            owner->AddChild(found);
    }
    counter.Set(found);
    return found;
}

void BehaviorExitDoor::OnUpdate(float dt)
{
    GameObject* counterObject = FindOrMakeCounter();
    SpriteSheet* sheet = owner ? owner->GetSpriteSheet() : nullptr;

    if (!activated) {
        SendMessage(MessageId::EventStop, COUNTDOWN_SOUND, nullptr);
        countdown = timerSetting;
        doorCountdown = doorTimerSetting;
        if (sheet && sheet->numImages > 1)
            sheet->LoadSheetInfo(sheet->animationName);
    } else {
        countdown -= dt;
        SpriteSheet* counterSheet = counterObject ? counterObject->GetSpriteSheet() : nullptr;
        if (counterSheet && !counterSheet->playing) {
            SendMessage(std::string("Event_Play_!Destroy"), COUNTDOWN_SOUND, nullptr);
            PlayOver(counterSheet, "Sprite_counterANI", timerSetting, 1);
        }
        if (countdown <= 0.0f) {
            doorCountdown -= dt;
            if (doorCountdown <= 0.0f && gSceneSystem)
                gSceneSystem->SetNextScene("Win");
        }
    }
    if (currentState != NO_STATE)
        activated = false;
}

void BehaviorExitDoor::OnContact(Collider* other)
{
    if (!behaviorfields::OtherNamed(other, "Player"))
        return;
    activated = true;
    if (countdown > 0.0f)
        return;
    SpriteSheet* sheet = owner ? owner->GetSpriteSheet() : nullptr;
    if (sheet && !(sheet->playing && sheet->animationName == "Sprite_ElevatorANI"))
        PlayOver(sheet, "Sprite_ElevatorANI", doorTimerSetting, 0);
}
