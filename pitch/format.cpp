// format.cpp -- bounded text output and the number forms of the wire protocol.
//
// Numbers go out the way a default-configured C++ output stream writes a double: six
// significant digits, no trailing zeros, no decimal point for integral values, and a
// negative zero written as "-0" (change values produce it). "%g" gives exactly that.

#include "pitch/format.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "pitch/geom.h"

namespace vorn::pitch {

Out outof(char *buf, size_t cap) {
    Out o{buf, cap, 0};
    if (cap > 0)
        buf[0] = '\0';
    return o;
}

void put(Out &o, const char *text) {
    if (o.cap == 0)
        return;
    size_t n = std::strlen(text);
    size_t room = o.cap - 1 - o.len;
    if (n > room)
        n = room;
    std::memcpy(o.buf + o.len, text, n);
    o.len += n;
    o.buf[o.len] = '\0';
}

void putc1(Out &o, char c) {
    char s[2] = {c, '\0'};
    put(o, s);
}

void putnum(Out &o, double v) {
    char s[40];
    if (!std::isfinite(v))
        v = 0; // never print nan or inf; nothing valid produces them
    std::snprintf(s, sizeof s, "%g", v);
    put(o, s);
}

void putint(Out &o, long v) {
    char s[24];
    std::snprintf(s, sizeof s, "%ld", v);
    put(o, s);
}

// The logarithm is quantised first, so the error grows with distance; the result is
// then rounded to 0.1 m. The tiny offset keeps ln finite for an object at distance 0.
double qdist(double d, double q) {
    double l = quantise(std::log(d + 1e-10), q);
    return quantise(std::exp(l), 0.1);
}

int truncdir(double rad) {
    return static_cast<int>(normrad(rad) * RadToDeg);
}

} // namespace vorn::pitch
