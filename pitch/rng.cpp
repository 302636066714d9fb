// rng.cpp -- the one seeded random source of the simulation.

#include "pitch/rng.h"

#include <random>

namespace vorn::pitch {

// Globals
static std::mt19937_64 Engine(1);

void seedrandom(uint64_t seed) {
    Engine.seed(seed);
}

double urand(double lo, double hi) {
    std::uniform_real_distribution<double> u(lo, hi);
    return lo < hi ? u(Engine) : lo;
}

bool chance(double p) {
    if (p <= 0)
        return false;
    if (p >= 1)
        return true;
    return urand(0, 1) < p;
}

} // namespace vorn::pitch
