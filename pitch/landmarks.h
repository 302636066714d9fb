// landmarks.h -- the fixed flags and goals every player can see.
//
// Names are the short version-6 forms and absolute: a right-side player sees the same
// names as a left-side one. The table is in the order in which see messages list them.
#pragma once

namespace vorn::pitch {

struct Landmark {
    const char *name; // e.g. "f p l c"
    double x, y;      // world position
    bool goal;        // a goal (felt as "G"), otherwise a flag (felt as "F")
};

constexpr int LandmarkCount = 55;
extern const Landmark Landmarks[LandmarkCount];

} // namespace vorn::pitch
