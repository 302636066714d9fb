// rng.h -- the one seeded random source of the simulation.
//
// Noise, the dropping of names and change values in see, and the referee's random
// relocations all draw from it, so a seed reproduces a match given the same inputs.
#pragma once

#include <cstdint>

namespace vorn::pitch {

void seedrandom(uint64_t seed);
double urand(double lo, double hi); // uniform in [lo, hi)
bool chance(double p);              // true with probability p (p <= 0 never, p >= 1 always)

} // namespace vorn::pitch
