#pragma once
// Park-Miller minimal standard generator with the ran0 mask, and three
// functions over the global instance g_random.
#include <cstdint>

class Random {
public:
    void Step();
    void Skip(unsigned n);
    int Next();
    void Seed(unsigned seed);

    std::uint32_t state;  // no constructor: whatever was stored last
};

extern Random g_random;  // starts at state 0

int RandomNext();
int RandomRange(int first, int second);
void RandomSeed(unsigned seed);
