// format.h -- bounded text output and the number forms of the wire protocol.
//
// Every message pitch sends is assembled in a fixed buffer through an Out cursor; a
// message that would not fit is cut at the buffer's end, never written past it.
#pragma once

#include <cstddef>

namespace vorn::pitch {

constexpr size_t MessageMax = 8192; // one datagram, NUL included

// Out: a cursor over a caller's buffer. len never exceeds cap - 1 and buf[len] is
// always a NUL, so the text is a C string at any moment.
struct Out {
    char *buf;  // the caller's buffer
    size_t cap; // its size in bytes, at least 1
    size_t len; // bytes written so far
};

Out outof(char *buf, size_t cap);   // empty cursor over buf
void put(Out &o, const char *text); // append text (cut at the end of the buffer)
void putc1(Out &o, char c);         // append one character
void putnum(Out &o, double v);      // a double as a default C++ stream prints it
void putint(Out &o, long v);        // an integer

// qdist: the printed distance of an object d metres away for quantisation step q
// (0.01 for landmarks and lines, 0.1 for the ball and players).
double qdist(double d, double q);

// truncdir: a direction in radians as printed: normalised, converted to degrees, then
// truncated toward zero.
int truncdir(double rad);

} // namespace vorn::pitch
