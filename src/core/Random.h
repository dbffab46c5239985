#pragma once
// The engine's own pseudo-random generator: results 0..32767, the same sequence for the same seed on
// every platform. The camera shake and the particles draw from it; tests seed it themselves.
#include <cstdint>

class Random {
public:
    static constexpr int MAX = 32767;

    // Starts the sequence again from the seed.
    static void Seed(std::uint32_t seed);
    // The next number of the sequence, 0..MAX.
    static int Next();

private:
    static std::uint32_t state;
};
