// geom.h -- small angle and vector helpers shared by the world, vision and referee code.
//
// Angles inside pitch are kept in radians, as the real server keeps them: a command's
// degrees are converted once on arrival (deg * DegToRad), and an angle printed as an
// integer is (int)(rad * RadToDeg), truncated toward zero. The round trip is not exact:
// a neck turned by 60 degrees reads back as 59, as it does on the real server.
#pragma once

#include <cmath>

namespace vorn::pitch {

constexpr double Pi = 3.14159265358979323846;
constexpr double DegToRad = Pi / 180.0; // a command's degrees -> radians
constexpr double RadToDeg = 180.0 / Pi; // radians -> degrees as printed

// normrad: a in radians brought into [-pi, pi]. Sums of a few normalised angles need at
// most two corrections; anything larger (or not finite) is reduced first, so the loops
// stay short whatever a datagram held.
inline double normrad(double a) {
    if (!std::isfinite(a))
        return 0;
    if (std::fabs(a) > 4 * Pi)
        a = std::fmod(a, 2 * Pi);
    while (a > Pi)
        a -= 2 * Pi;
    while (a < -Pi)
        a += 2 * Pi;
    return a;
}

// dirrad: direction of the vector (dx, dy) in radians, 0 along +x, +pi/2 along +y; 0 for
// the zero vector, whatever the signs of its zeros (atan2 of a bounced -0 gives +-pi).
inline double dirrad(double dx, double dy) {
    if (dx == 0 && dy == 0)
        return 0;
    return std::atan2(dy, dx);
}

// fromface: an absolute direction seen from a player: body subtracted first and the result
// normalised, then the neck. Subtracting body + neck at once lands on the other side of a
// whole degree about once in eight, and the printed directions are truncated.
inline double fromface(double dir, double body, double neck) {
    return normrad(normrad(dir - body) - neck);
}

inline double clampd(double v, double lo, double hi) {
    return v < lo ? lo : (v > hi ? hi : v);
}

// quantise: v rounded to the nearest multiple of q (ties to even, as rint does).
inline double quantise(double v, double q) {
    return std::rint(v / q) * q;
}

} // namespace vorn::pitch
