// geom.h -- small angle and vector helpers shared by the world, vision and referee code.
//
// Angles inside pitch are kept in degrees, normalised to [-180, 180], exactly as they
// are printed; radians appear only inside these helpers.
#pragma once

#include <cmath>

namespace vorn::pitch {

constexpr double Pi = 3.14159265358979323846;
constexpr double Rad = Pi / 180.0; // degrees -> radians
constexpr double Deg = 180.0 / Pi; // radians -> degrees

// normangle: a in degrees brought into [-180, 180].
inline double normangle(double a) {
    if (!std::isfinite(a))
        return 0;
    a = std::fmod(a, 360.0);
    if (a > 180)
        a -= 360;
    else if (a < -180)
        a += 360;
    return a;
}

// dirof: direction of the vector (dx, dy) in degrees, 0 along +x, +90 along +y.
inline double dirof(double dx, double dy) {
    if (dx == 0 && dy == 0)
        return 0;
    return std::atan2(dy, dx) * Deg;
}

inline double clampd(double v, double lo, double hi) {
    return v < lo ? lo : (v > hi ? hi : v);
}

// quantise: v rounded to the nearest multiple of q (ties to even, as rint does).
inline double quantise(double v, double q) {
    return std::rint(v / q) * q;
}

} // namespace vorn::pitch
