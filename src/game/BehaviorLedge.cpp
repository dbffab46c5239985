#include "game/BehaviorLedge.h"

#include <algorithm>

#include "core/GameObject.h"
#include "game/BehaviorFields.h"
#include "world/Collider.h"
#include "world/Physics.h"

Object* BehaviorLedge::Clone()
{
    auto* copy = new BehaviorLedge();
    CopyContactFields(*copy);
    copy->towardsLeft = towardsLeft;
    copy->towardsUp = towardsUp;
    copy->towardsDown = towardsDown;
    copy->towardsRight = towardsRight;
    return copy;
}

void BehaviorLedge::Read(Stream& stream)
{
    using namespace behaviorfields;
    OptionalBool(stream, "TowardsLeft", towardsLeft);
    OptionalBool(stream, "TowardsUp", towardsUp);
    OptionalBool(stream, "TowardsDown", towardsDown);
    OptionalBool(stream, "TowardsRight", towardsRight);
}

void BehaviorLedge::OnContact(Collider* other)
{
    GameObject* player = behaviorfields::OtherNamed(other, "Player");
    Physics* physics = player ? player->GetPhysics() : nullptr;
    Collider* mine = owner ? owner->GetCollider() : nullptr;
    float l1, r1, b1, t1, l2, r2, b2, t2;
    if (!physics || !behaviorfields::ColliderBox(mine, l1, r1, b1, t1) ||
        !behaviorfields::ColliderBox(other, l2, r2, b2, t2))
        return;
    const float overlapX = std::min(r1, r2) - std::max(l1, l2);
    const float overlapY = std::min(t1, t2) - std::max(b1, b2);
    if (overlapX <= MIN_OVERLAP || overlapY <= MIN_OVERLAP)
        return;
    std::uint8_t bits = 0;
    if (towardsLeft)
        bits |= BLOCKED_RIGHT;
    if (towardsRight)
        bits |= BLOCKED_LEFT;
    if (towardsDown)
        bits |= BLOCKED_ABOVE;
    if (towardsUp)
        bits |= BLOCKED_BELOW;
    physics->AddSideBits(bits);
}
