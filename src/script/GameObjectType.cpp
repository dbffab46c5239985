#include "script/GameObjectType.h"

#include "core/Behavior.h"
#include "core/GameObject.h"
#include "core/Trace.h"

static_assert(alignof(Safe_GameObject) <= 8, "the GameObject script type must be at most 8-byte aligned");

void RegisterGameObjectType(lua::State& state)
{
    using G = Safe_GameObject;
    state.NewUsertype<G>("GameObject")
        .Constructor<std::string>()
        .Constructor<const G&>()
        .Method("SetPositionFloat", &G::SetPositionFloat)
        .Method("SetPositionVector", &G::SetPositionVector)
        .Method("GetPosition", &G::GetPosition)
        .Method("GetTotalPosition", &G::GetTotalPosition)
        .Method("SetRotationDegrees", &G::SetRotationDegrees)
        .Method("SetRotationRadians", &G::SetRotationRadians)
        .Method("GetRotationDegrees", &G::GetRotationDegrees)
        .Method("GetRotationRadians", &G::GetRotationRadians)
        .Method("SetScaleFloat", &G::SetScaleFloat)
        .Method("SetScaleVector", &G::SetScaleVector)
        .Method("GetScale", &G::GetScale)
        .Method("Forward", &G::Forward)
        .Method("SetMesh", &G::SetMesh)
        .Method("GetMesh", &G::GetMesh)
        .Method("SetTexture", &G::SetTexture)
        .Method("GetTexture", &G::GetTexture)
        .Method("SetColorR", &G::SetColorR)
        .Method("SetColorG", &G::SetColorG)
        .Method("SetAlphaB", &G::SetAlphaB)
        .Method("SetAlpha", &G::SetAlpha)
        .Method("GetColorR", &G::GetColorR)
        .Method("GetColorG", &G::GetColorG)
        .Method("GetColorB", &G::GetColorB)
        .Method("GetAlpha", &G::GetAlpha)
        .Method("PlayAnimation", &G::PlayAnimation)
        .Method("StopAnimation", &G::StopAnimation)
        .Method("StopAnimationOnFrame", &G::StopAnimationOnFrame)
        .Method("AnimationIsPlaying", &G::AnimationIsPlaying)
        .Method("SetAnimationCurrentFrame", &G::SetAnimationCurrentFrame)
        .Method("SetAnimationFrameTime", &G::SetAnimationFrameTime)
        .Method("GetAnimationNumFrames", &G::GetAnimationNumFrames)
        .Method("SetVelocityFloat", &G::SetVelocityFloat)
        .Method("SetVelocityVector", &G::SetVelocityVector)
        .Method("GetVelocity", &G::GetVelocity)
        .Method("SetRotationalVelocity", &G::SetRotationalVelocity)
        .Method("GetRotationalVelocity", &G::GetRotationalVelocity)
        .Method("SetDrag", &G::SetDrag)
        .Method("GetDrag", &G::GetDrag)
        .Method("SetAccelerationFloat", &G::SetAccelerationFloat)
        .Method("SetAccelerationVector", &G::SetAccelerationVector)
        .Method("GetAcceleration", &G::GetAcceleration)
        .Method("SetStateNext", &G::SetStateNext)
        .Method("GetStateCurr", &G::GetStateCurr)
        .Method("GetVarInt", &G::GetVarInt)
        .Method("GetVarBool", &G::GetVarBool)
        .Method("GetVarFloat", &G::GetVarFloat)
        .Method("GetVarString", &G::GetVarString)
        .Method("SetVarInt", &G::SetVarInt)
        .Method("SetVarBool", &G::SetVarBool)
        .Method("SetVarFloat", &G::SetVarFloat)
        .Method("SetVarString", &G::SetVarString)
        .Method("GetVarStaticBool", &G::GetVarStaticBool)
        .Method("GetVarStaticFloat", &G::GetVarStaticFloat)
        .Method("GetVarStaticInt", &G::GetVarStaticInt)
        .Method("SetVarStaticBool", &G::SetVarStaticBool)
        .Method("SetVarStaticFloat", &G::SetVarStaticFloat)
        .Method("SetVarStaticInt", &G::SetVarStaticInt)
        .Method("GetName", &G::GetName)
        .Method("SetEmitterState", &G::SetEmitterState)
        .Method("GetEmitterState", &G::GetEmitterState)
        .Method("SetPingEffect", &G::SetPingEffect)
        .Method("DESTROY_MYSELF", &G::DESTROY_MYSELF)
        .Method("AM_I_ALIVE", &G::AM_I_ALIVE)
        .Method("BroadcastInt", &G::BroadcastInt)
        .Method("BroadcastFloat", &G::BroadcastFloat)
        .Method("BroadcastBool", &G::BroadcastBool)
        .Method("BroadcastString", &G::BroadcastString)
        .Method("ApplyScreenShake", &G::ApplyScreenShake)
        .Method("SetAsCameraFocus", &G::SetAsCameraFocus);
    RegisterWidgetMembers(state);
}

namespace {

// The behaviour slot of a live object as a widget: reported when the object is missing (the object
// default applies) or when the slot holds no such widget (the widget default applies).
enum class Slot { NoObject, NotWidget };

Slot ReportNotWidget(const Safe_GameObject& self, const char* widget)
{
    GameObject* object = self.ObjectOrReport();
    if (!object)
        return Slot::NoObject;
    Trace("[Lua] Error: Object '%s' is not a %s.", object->GetName().c_str(), widget);
    return Slot::NotWidget;
}

} // namespace

void RegisterWidgetMembers(lua::State& state)
{
    SetGameObjectMember(state, "GetInteractType", [](Safe_GameObject& self) -> int {
        ReportNotWidget(self, "Dropdown");
        return -1;
    });
    SetGameObjectMember(state, "DropdownGetSelected", [](Safe_GameObject& self) -> std::string {
        ReportNotWidget(self, "Dropdown");
        return "";
    });
    SetGameObjectMember(state, "DropdownSetSelected",
                        [](Safe_GameObject& self, int) { ReportNotWidget(self, "Dropdown"); });
    SetGameObjectMember(state, "VCVGetValue", [](Safe_GameObject& self) -> int {
        return ReportNotWidget(self, "Volume_CoolVersion") == Slot::NoObject ? 0 : -1;
    });
    SetGameObjectMember(state, "VCVGetValueAsPercent", [](Safe_GameObject& self) -> float {
        return ReportNotWidget(self, "Volume_CoolVersion") == Slot::NoObject ? 0.0f : -1.0f;
    });
    SetGameObjectMember(state, "VCVSetValue",
                        [](Safe_GameObject& self, int) { ReportNotWidget(self, "Volume_CoolVersion"); });
}
