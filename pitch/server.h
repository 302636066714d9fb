// server.h -- the main loop: steps on absolute deadlines, visual ticks, datagrams.
//
// Time is kept in microseconds of the monotonic clock. Step k starts at start + k*step;
// visual ticks come eight times per three steps (every 37.5 ms at the default step), a
// tick that falls on a step coming just after it. Between deadlines the loop waits in
// ppoll() on the well-known socket and every reply socket, handling datagrams as they
// arrive, so commands take effect at once.
#pragma once

#include <csignal>
#include <cstdint>

namespace vorn::pitch {

// Globals
extern volatile sig_atomic_t StopRequested; // SIGINT/SIGTERM/SIGHUP: finish, print the summary

int64_t nowus();      // monotonic clock, microseconds
void readdatagrams(); // handle everything waiting on all sockets, without blocking
void sendsenses();    // sense_body to every connected player, after a step
void visualtick();    // count a tick for every player and send the sees that are due
// catchstops: from here on Ctrl-C, SIGTERM and SIGHUP stop the match with its summary;
// set before the port is said, so that a caller may stop pitch as soon as it listens.
void catchstops();
int runserver(); // the loop until the match is over; returns the exit status

} // namespace vorn::pitch
