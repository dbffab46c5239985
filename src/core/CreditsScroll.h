#pragma once
// The credits scroll (one for the whole program): the menus start it when they load the credits and
// the frame loop moves it while the game is paused.
#include <vector>

#include "core/GameObjectHandle.h"

struct CreditsScroll {
    std::vector<GameObjectHandle> objects; // the objects that scroll, by id
    float waitTime = 0.0f;            // seconds before the scroll starts
    float scrollTime = 0.0f;          // seconds the scroll lasts
    float lowestY = 1000.0f;          // lowest TranslationY of the objects
    float highestY = -1000.0f;        // highest TranslationY of the objects
    float speed = 0.0f;               // units per second
    float elapsed = 0.0f;             // seconds since the credits were loaded
    bool running = false;
};
extern CreditsScroll CreditsScrollState;

// One credits step of a paused frame with the measured frame step: reports the elapsed time, moves the
// objects up once the wait is over, stops the scroll when it has run its time. Objects that are no
// longer alive are skipped. Does nothing while the scroll is not running.
void AdvanceCredits(CreditsScroll& credits, float step);
