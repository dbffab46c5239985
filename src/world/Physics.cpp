#include "world/Physics.h"

#include <algorithm>
#include <cmath>

#include "core/GameObject.h"
#include "core/Message.h"
#include "core/Stream.h"
#include "core/Trace.h"
#include "core/Transform.h"
#include "world/Collider.h"

namespace
{
const char* const BLOCK = "Physics";
constexpr double SLOW_SPEED = 0.005;   // slower than this (either axis) counts as standing still
constexpr float DEGREES_PER_RADIAN = 57.29578f;
constexpr float RADIANS_PER_DEGREE = 0.017453292f;

Component* OwnerComponent(const Component* component, ComponentType type)
{
    if (!component || !component->owner)
        return nullptr;
    return component->owner->GetComponent(type);
}
}  // namespace

Physics::Physics() : Component(ComponentType::Physics)
{
}

Physics::Physics(const Physics& other)
    : Component(other),
      AccelerationX(other.AccelerationX),
      AccelerationY(other.AccelerationY),
      VelocityX(other.VelocityX),
      VelocityY(other.VelocityY),
      oldX(other.oldX),
      oldY(other.oldY),
      Mass(other.Mass),
      keepVelocity(other.keepVelocity),
      RotationalVelocity(other.RotationalVelocity),
      sideBits(other.sideBits),
      sideBitsLast(other.sideBitsLast),
      CollisionSFX(other.CollisionSFX),
      enabled(other.enabled),
      Drag(other.Drag)
{
}

Object* Physics::Clone()
{
    return new Physics(*this);
}

void Physics::SetVelocity(float x, float y)
{
    VelocityX = x;
    VelocityY = y;
    keepVelocity = true;
}

void Physics::Update(float dt)
{
    if (!enabled)
        return;
    Component* found = OwnerComponent(this, ComponentType::Transform);
    if (!found)
        return;
    Transform* transform = static_cast<Transform*>(found);

    oldX = transform->TranslationX;
    oldY = transform->TranslationY;

    // Blocked sides (set during the last frame by the collision pass and the wall grid) stop motion
    // towards them.
    if (sideBits != 0) {
        if (pushValue > 1000.0f)
            Trace("Hit Dynamic object");
        if (sideBits & BLOCKED_ABOVE) {
            if (sideBits & BLOCKED_BELOW)
                Trace("DOouble Push");
            VelocityY = std::min(0.0f, VelocityY);
        }
        if (sideBits & BLOCKED_BELOW)
            VelocityY = std::max(0.0f, VelocityY);
        if (sideBits & BLOCKED_LEFT)
            VelocityX = std::max(0.0f, VelocityX);
        if (sideBits & BLOCKED_RIGHT)
            VelocityX = std::min(0.0f, VelocityX);
    }
    sideBitsLast = sideBits;
    sideBits = 0;

    Component* collider = OwnerComponent(this, ComponentType::Collider);
    if (collider && static_cast<Collider*>(collider)->IsDynamic) {
        if (std::fabs(static_cast<double>(VelocityX)) < SLOW_SPEED)
            VelocityX = 0.0f;
        if (std::fabs(static_cast<double>(VelocityY)) < SLOW_SPEED)
            VelocityY = 0.0f;
        const float x = oldX + VelocityX * dt;
        const float y = oldY + VelocityY * dt;
        if (x != transform->TranslationX) {
            transform->TranslationX = x;
            transform->dirty = true;
        }
        if (y != transform->TranslationY) {
            transform->TranslationY = y;
            transform->dirty = true;
        }
    }

    if (!keepVelocity) {
        VelocityX = 0.0f;
        VelocityY = 0.0f;
    }

    const float rotation =
        (transform->Rotation * DEGREES_PER_RADIAN + RotationalVelocity * dt) * RADIANS_PER_DEGREE;
    if (rotation != transform->Rotation) {
        transform->Rotation = rotation;
        transform->dirty = true;
    }

    pushValue = 0.0f;
    keepVelocity = false;
    records.clear();
}

void Physics::HandleMessage(Message* message)
{
    if (message && message->IsNamed("Player Attack"))
        Trace("Player Attack registered!");
}

void Physics::Read(Stream& stream)
{
    // Each key is optional; one of the wrong type is reported and leaves the default.
    auto present = [&stream](const char* key, bool number) {
        return stream.HasValue(BLOCK, key, number ? Stream::ValueKind::Number : Stream::ValueKind::String);
    };
    if (present("Collision SFX", false))
        CollisionSFX = stream.ReadString(BLOCK, "Collision SFX");
    if (present("Mass", true))
        Mass = stream.ReadFloat(BLOCK, "Mass");
}

void Physics::ExposeFields()
{
    exposed = 1;
}

Physics* GameObject::GetPhysics() const
{
    return static_cast<Physics*>(GetComponent(ComponentType::Physics));
}
