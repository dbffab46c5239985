#include "game/BehaviorPuddle.h"

#include "game/BehaviorFields.h"
#include "game/BehaviorPlayer.h"

Object* BehaviorPuddle::Clone()
{
    auto* copy = new BehaviorPuddle();
    CopyContactFields(*copy);
    return copy;
}

void BehaviorPuddle::OnContact(Collider* other)
{
    if (BehaviorPlayer* player = behaviorfields::PlayerOf(other))
        SendMessage(std::string("StunPlayer"), player);
}
