// monitor.h -- monitors: viewers that watch the match live over UDP.
//
// A monitor asks on the well-known port and is answered from a socket of its own, to which
// it sends everything after that:
//   -> (dispinit version 5)
//   <- (server_param ...)  (player_param ...)  (player_type (id 0) ...) ... (player_type (id 17)
//   ...)
//   <- every step: (playmode T MODE) and (team T L R SL SR) when they changed, then
//      (show T (pm M) (tm L R SL SR) ((b) X Y VX VY) ((l 1) ...) ... ((r 11) ...))
//   <- at the end of a finished match: (msg T 1 "(result DATE L_SL-vs-R_SR)")
//   -> (dispstart) kicks off while pitch waits for a kick-off; (dispbye) leaves.
// Versions 4 and 5 are served; others, and more than MonitorMax at once, are refused with
// one reply and one line on standard output. Sending never waits: a datagram the system
// cannot take at once is lost for that monitor only, and a monitor whose address has gone
// (the system reports "connection refused") is forgotten.
#pragma once

#include <cstddef>
#include <cstdint>
#include <poll.h>

namespace vorn::pitch {

constexpr int MonitorMax = 16; // monitors at once

// isdispinit: the text asks to watch, "(dispinit)" or "(dispinit version N)".
bool isdispinit(const char *text);
// handledispinit: the request from addr:port to the well-known port: a new session, or
// its refusal.
void handledispinit(uint32_t addr, uint16_t port, const char *text);
// monitorcommand: a datagram from a watching monitor's address to the well-known port;
// false when addr:port is no monitor.
bool monitorcommand(uint32_t addr, uint16_t port, const char *text, size_t len);
void readmonitors();                     // what the monitors sent to their own sockets
int monitorpolls(pollfd *fds, int room); // their sockets for ppoll; returns how many
void monitorsstep();                     // the lines of the step just done, to every monitor
void monitorsclose();                    // the result of a finished match; ends every session
int monitorcount();                      // sessions open now
void monitorsforget(); // ends every session without a word: a fresh match in the fuzz targets

} // namespace vorn::pitch
