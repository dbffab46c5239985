#include "core/Random.h"

std::uint32_t Random::state = 1u;

void Random::Seed(std::uint32_t seed)
{
    state = seed;
}

int Random::Next()
{
    // Linear congruential step; the upper bits are the better ones.
    state = state * 1103515245u + 12345u;
    return static_cast<int>((state >> 16) & 0x7FFFu);
}
