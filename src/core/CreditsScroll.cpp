#include "core/CreditsScroll.h"

#include <iostream>

#include "core/GameObject.h"
#include "core/Transform.h"

CreditsScroll CreditsScrollState;

void AdvanceCredits(CreditsScroll& credits, float step)
{
    if (!credits.running)
        return;
    std::cout << "Credits scrolling - time elapsed: " << credits.elapsed << std::endl;
    if (credits.elapsed >= credits.waitTime) {
        for (const GameObjectHandle& handle : credits.objects) {
            // Objects deleted since the credits were loaded resolve to null.
            GameObject* object = handle.Get();
            if (!object)
                continue;
            Transform* transform = object->GetTransform();
            if (!transform)
                continue;
            const float y = transform->TranslationY + credits.speed * step;
            if (y != transform->TranslationY) {
                transform->TranslationY = y;
                transform->dirty = true;
            }
        }
        if (credits.elapsed >= credits.waitTime + credits.scrollTime) {
            std::cout << "Credits stopped" << std::endl;
            credits.elapsed = 0.0f;
            credits.running = false;
            credits.objects.clear();
            credits.lowestY = 1000.0f;
            credits.highestY = -1000.0f;
        }
    }
    credits.elapsed += step;
}
