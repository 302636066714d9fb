// landmarks.cpp -- positions of the 55 landmarks, in the order see messages list them.
//
// Inner flags and goals first (centre, corners, goal posts, penalty areas), then the
// outer flags 5 m outside the lines: top row, bottom row, right column, left column.

#include "pitch/landmarks.h"

namespace vorn::pitch {

// Globals
// clang-format off
const Landmark Landmarks[LandmarkCount] = {
    // name       x       y       goal
    {"f c",       0.0,    0.0,    false},
    {"f c t",     0.0,    -34.0,  false},
    {"f c b",     0.0,    34.0,   false},
    {"f r t",     52.5,   -34.0,  false},
    {"f r b",     52.5,   34.0,   false},
    {"f l t",     -52.5,  -34.0,  false},
    {"f l b",     -52.5,  34.0,   false},
    {"f g r b",   52.5,   7.01,   false},
    {"g r",       52.5,   0.0,    true},
    {"f g r t",   52.5,   -7.01,  false},
    {"f g l b",   -52.5,  7.01,   false},
    {"g l",       -52.5,  0.0,    true},
    {"f g l t",   -52.5,  -7.01,  false},
    {"f p r b",   36.0,   20.16,  false},
    {"f p r c",   36.0,   0.0,    false},
    {"f p r t",   36.0,   -20.16, false},
    {"f p l b",   -36.0,  20.16,  false},
    {"f p l c",   -36.0,  0.0,    false},
    {"f p l t",   -36.0,  -20.16, false},
    {"f t 0",     0.0,    -39.0,  false},
    {"f t r 10",  10.0,   -39.0,  false},
    {"f t r 20",  20.0,   -39.0,  false},
    {"f t r 30",  30.0,   -39.0,  false},
    {"f t r 40",  40.0,   -39.0,  false},
    {"f t r 50",  50.0,   -39.0,  false},
    {"f t l 10",  -10.0,  -39.0,  false},
    {"f t l 20",  -20.0,  -39.0,  false},
    {"f t l 30",  -30.0,  -39.0,  false},
    {"f t l 40",  -40.0,  -39.0,  false},
    {"f t l 50",  -50.0,  -39.0,  false},
    {"f b 0",     0.0,    39.0,   false},
    {"f b r 10",  10.0,   39.0,   false},
    {"f b r 20",  20.0,   39.0,   false},
    {"f b r 30",  30.0,   39.0,   false},
    {"f b r 40",  40.0,   39.0,   false},
    {"f b r 50",  50.0,   39.0,   false},
    {"f b l 10",  -10.0,  39.0,   false},
    {"f b l 20",  -20.0,  39.0,   false},
    {"f b l 30",  -30.0,  39.0,   false},
    {"f b l 40",  -40.0,  39.0,   false},
    {"f b l 50",  -50.0,  39.0,   false},
    {"f r 0",     57.5,   0.0,    false},
    {"f r t 10",  57.5,   -10.0,  false},
    {"f r t 20",  57.5,   -20.0,  false},
    {"f r t 30",  57.5,   -30.0,  false},
    {"f r b 10",  57.5,   10.0,   false},
    {"f r b 20",  57.5,   20.0,   false},
    {"f r b 30",  57.5,   30.0,   false},
    {"f l 0",     -57.5,  0.0,    false},
    {"f l t 10",  -57.5,  -10.0,  false},
    {"f l t 20",  -57.5,  -20.0,  false},
    {"f l t 30",  -57.5,  -30.0,  false},
    {"f l b 10",  -57.5,  10.0,   false},
    {"f l b 20",  -57.5,  20.0,   false},
    {"f l b 30",  -57.5,  30.0,   false},
};
// clang-format on

} // namespace vorn::pitch
