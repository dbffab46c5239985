#include "game/BehaviorFields.h"

#include <algorithm>

#include "core/Behavior.h"
#include "core/GameObject.h"
#include "core/GameObjectManager.h"
#include "core/Message.h"
#include "core/Stream.h"
#include "core/Trace.h"
#include "game/BehaviorPlayer.h"
#include "world/Collider.h"

namespace behaviorfields {

namespace {

const rapidjson::Value* BlockMember(Stream& stream, const char* key)
{
    if (!stream.data.IsObject())
        return nullptr;
    auto block = stream.data.FindMember("Behavior");
    if (block == stream.data.MemberEnd() || !block->value.IsObject())
        return nullptr;
    auto it = block->value.FindMember(key);
    if (it == block->value.MemberEnd())
        return nullptr;
    return &it->value;
}

void WrongType(const char* key, const char* kind)
{
    Trace("Behavior: \"%s\" is not %s; the default is kept", key, kind);
}

} // namespace

bool OptionalString(Stream& stream, const char* key, std::string& out)
{
    const rapidjson::Value* value = BlockMember(stream, key);
    if (!value)
        return false;
    if (!value->IsString()) {
        WrongType(key, "a string");
        return false;
    }
    out.assign(value->GetString(), value->GetStringLength());
    return true;
}

bool OptionalFloat(Stream& stream, const char* key, float& out)
{
    const rapidjson::Value* value = BlockMember(stream, key);
    if (!value)
        return false;
    if (!value->IsNumber()) {
        WrongType(key, "a number");
        return false;
    }
    out = static_cast<float>(value->GetDouble());
    return true;
}

bool OptionalInt(Stream& stream, const char* key, int& out)
{
    const rapidjson::Value* value = BlockMember(stream, key);
    if (!value)
        return false;
    if (!value->IsInt()) {
        WrongType(key, "an integer");
        return false;
    }
    out = value->GetInt();
    return true;
}

bool OptionalBool(Stream& stream, const char* key, bool& out)
{
    const rapidjson::Value* value = BlockMember(stream, key);
    if (!value)
        return false;
    if (!value->IsBool()) {
        WrongType(key, "true or false");
        return false;
    }
    out = value->GetBool();
    return true;
}

GameObject* OwnerOf(Collider* collider)
{
    return collider ? collider->GetOwner() : nullptr;
}

GameObject* OtherNamed(Collider* other, const char* name)
{
    GameObject* object = OwnerOf(other);
    return object && object->GetName() == name ? object : nullptr;
}

BehaviorPlayer* PlayerOf(Collider* other)
{
    GameObject* player = OtherNamed(other, "Player");
    return player ? dynamic_cast<BehaviorPlayer*>(player->GetBehavior()) : nullptr;
}

bool HasBaseName(const std::string& name, const std::string& base)
{
    if (name == base)
        return true;
    const std::string clone = base + "(Clone ";
    return name.size() > clone.size() && name.compare(0, clone.size(), clone) == 0 && name.back() == ')';
}

GameObject* FindChildByBase(const GameObject* object, const std::string& base)
{
    if (!object)
        return nullptr;
    for (GameObject* child : object->GetChildren()) {
        if (child && HasBaseName(child->GetName(), base))
            return child;
    }
    return nullptr;
}

float NumberOf(const Message* message)
{
    if (!message)
        return 0.0f;
    switch (message->type) {
    case MessageType::Int: return static_cast<float>(message->number.i);
    case MessageType::Float: return message->number.f;
    case MessageType::UInt: return static_cast<float>(message->number.u);
    case MessageType::UInt64: return static_cast<float>(message->number.u64);
    default: return 0.0f;
    }
}

GameObject* ObjectFromPayload(const Message* message)
{
    if (!message || !gGameObjectManager)
        return nullptr;
    std::uint64_t value = 0;
    switch (message->type) {
    case MessageType::UInt64: value = message->number.u64; break;
    case MessageType::UInt: value = message->number.u; break;
    case MessageType::Int:
        if (message->number.i < 0)
            return nullptr;
        value = static_cast<std::uint64_t>(message->number.i);
        break;
    default: return nullptr;
    }
    if (value == 0 && message->type == MessageType::UInt64)
        return nullptr;   // a null object
    if (value <= 0xFFFFFFFFull) {
        if (GameObject* byId = gGameObjectManager->FindById(static_cast<std::uint32_t>(value)))
            return byId;
    }
    const int count = gGameObjectManager->GetObjectCount();
    for (int i = 0; i < count; ++i) {
        GameObject* object = gGameObjectManager->GetObjectAt(i);
        if (object && reinterpret_cast<std::uint64_t>(object) == value)
            return object;
    }
    return nullptr;
}

GameObject* OwnerOfBehavior(const void* behavior)
{
    if (!behavior || !gGameObjectManager)
        return nullptr;
    const int count = gGameObjectManager->GetObjectCount();
    for (int i = 0; i < count; ++i) {
        GameObject* object = gGameObjectManager->GetObjectAt(i);
        if (object && static_cast<const void*>(object->GetBehavior()) == behavior)
            return object;
    }
    return nullptr;
}

bool ColliderBox(Collider* collider, float& left, float& right, float& bottom, float& top)
{
    if (!collider)
        return false;
    const ColliderPlacement at = collider->GetPlacement();
    if (collider->GetShape() == ColliderShape::Square && collider->square) {
        float w = 0.0f, h = 0.0f;
        Collider::WorldSize(*collider->square, at, w, h);
        const float cx = at.x + collider->square->offsetX;
        const float cy = at.y + collider->square->offsetY;
        left = cx - w * 0.5f;
        right = cx + w * 0.5f;
        bottom = cy - h * 0.5f;
        top = cy + h * 0.5f;
        return true;
    }
    if (collider->GetShape() == ColliderShape::Circle && collider->circle) {
        const float r = collider->circle->radius;
        left = at.x - r;
        right = at.x + r;
        bottom = at.y - r;
        top = at.y + r;
        return true;
    }
    return false;
}

} // namespace behaviorfields
