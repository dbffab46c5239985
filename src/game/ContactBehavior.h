#pragma once
// The base of the level's fixtures. A fixture starts in state 0 (from -1) unless its data names a
// first state, and once it has entered state 0 it runs its contact reaction on every frame of overlap:
// from OnCollisionEnter and from OnCollisionStay.
#include "core/Behavior.h"

class ContactBehavior : public Behavior {
public:
    // Every state: -1 chooses 0 (unless the data chose a state); entering 0 arms the reaction.
    void OnEnter() override;
    void OnCollisionEnter(Collider* other) override;
    void OnCollisionStay(Collider* other) override;

    // The reaction to one frame of contact with the other collider.
    virtual void OnContact(Collider* other) = 0;

    bool armed = false;   // the reaction runs (state 0 has been entered)

protected:
    // Copies the base fields (states, timer, armed) into a clone.
    void CopyContactFields(ContactBehavior& copy) const;
};
