#include "game/ContactBehavior.h"

void ContactBehavior::OnEnter()
{
    if (currentState == NO_STATE)
        nextState = 0;
    else if (currentState == 0)
        armed = true;
}

void ContactBehavior::OnCollisionEnter(Collider* other)
{
    if (armed)
        OnContact(other);
}

void ContactBehavior::OnCollisionStay(Collider* other)
{
    if (armed)
        OnContact(other);
}

void ContactBehavior::CopyContactFields(ContactBehavior& copy) const
{
    CopyComponentFields(copy);
    copy.currentState = currentState;
    copy.nextState = nextState;
    copy.timer = timer;
    copy.armed = armed;
}
