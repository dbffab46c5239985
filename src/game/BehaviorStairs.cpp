#include "game/BehaviorStairs.h"

#include "core/Trace.h"
#include "game/BehaviorFields.h"
#include "game/BehaviorPlayer.h"

Object* BehaviorStairs::Clone()
{
    auto* copy = new BehaviorStairs();
    CopyContactFields(*copy);
    copy->direction = direction;
    return copy;
}

void BehaviorStairs::Read(Stream& stream)
{
    int value = 0;
    if (!behaviorfields::OptionalInt(stream, "Direction", value))
        return;
    if (value < 0 || value > 3) {
        Trace("BehaviorStairs: \"Direction\" %d is not 0..3; 0 (down) is used", value);
        value = 0;
    }
    direction = value;
}

void BehaviorStairs::OnContact(Collider* other)
{
    if (BehaviorPlayer* player = behaviorfields::PlayerOf(other))
        SendMessage(MessageId::StairsActive, direction, player);
}
