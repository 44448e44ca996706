#include "support/random.h"

#include <cmath>

Random g_random;

namespace {
constexpr std::uint32_t kMask = 123459876u;  // 0x075BD924, ran0's mask
}

// Park-Miller by Schrage's method, all in unsigned 32-bit arithmetic.
void Random::Step()
{
    state ^= kMask;
    std::uint32_t q = state / 127773u;
    std::uint32_t r = state - q * 127773u;
    state = r * 16807u - q * 2836u;
    if (static_cast<std::int32_t>(state) < 0) {
        state += 0x7FFFFFFFu;
    }
    state ^= kMask;
}

void Random::Skip(unsigned n)
{
    for (unsigned i = 0; i < n; ++i) {
        Step();
    }
}

int Random::Next()
{
    Step();
    return static_cast<int>(state);
}

void Random::Seed(unsigned seed)
{
    state = seed;
    Step();
}

int RandomNext()
{
    int v = g_random.Next();
    g_random.Skip(50);
    return v;
}

int RandomRange(int first, int second)
{
    int v = RandomNext();
    // Ties to even under the default rounding mode.
    double t = std::nearbyint(v / 32768.0);
    std::uint32_t span = static_cast<std::uint32_t>(first) - static_cast<std::uint32_t>(second) + 1u;
    std::uint32_t result = static_cast<std::uint32_t>(t) * span + static_cast<std::uint32_t>(first);
    return static_cast<int>(result);
}

void RandomSeed(unsigned seed)
{
    g_random.Seed(seed);
}
