// Fuzz target: an agent just after its init reply, fed datagrams through its own receive path.
// Nothing may read or write out of bounds, leak or overflow, whatever the datagrams hold; the
// sanitizers report what does. It is built once for each program: parse_fuzz with the field
// player's decision maker, parse_fuzz_goalie with the goalie's.
//
// The target plays the server from a loopback socket it owns (the sink): every datagram goes
// over 127.0.0.1 to the agent's socket and is taken by getfromserver, exactly as in a match
// (cut at 2047 bytes and at the first NUL, lower-cased, parsed), and every command the agent
// sends comes back to the sink, which drops it. Each input starts from an agent as it is before
// its init reply, the receive loop's silence clock included, so a finding replays from its
// input alone and no pause of the fuzzer between two inputs counts as the server's silence:
//   - the first byte picks the init reply: side (bit 0), uniform number 0..12 (bits 1-4, 13
//     and above wrap), play mode before_kick_off or play_on (bit 7); the reply is taken first,
//     so flags, goals, lines, ball, players and the referee's calls all have their records;
//   - the rest are datagrams separated by '|'. After each one the loop's reaction follows: a
//     sense_body opens the send slots, a see runs the decision maker unless the play mode
//     holds it back, and the next send slot is served on time. An empty piece ("||") is an
//     idle poll that comes too late: the slot drops its command.
// The placement's pauses are taken out (usleep below): an init reply costs no more than any
// other message. The decision maker is not run from cycle 6000 on, where it ends the process.
//
// bin/parse_fuzz[_goalie] [corpus folder] fuzz/corpus/parse [-dict=fuzz/parse.dict]
//                         [-max_total_time=N]

#include "perception/parser.h"
#include "perception/referee.h"
#include "runtime/program.h"
#include "runtime/runtime.h"
#include "runtime/slots.h"

#include <arpa/inet.h>
#include <cstdint>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

// Replaces the C library's usleep for this program: the placement pauses return at once.
extern "C" int usleep(useconds_t) {
    return 0;
}

namespace {

constexpr int MatchEnd = 6000; // the decision makers end the process from this cycle on

int sink = -1;     // the loopback socket that stands in for the server
sockaddr_in agent; // where the agent's socket listens

// Binds the sink to a free loopback port, points the agent's connection at it and notes the
// agent's own port.
bool connect() {
    sink = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof a;
    if (sink < 0 || bind(sink, reinterpret_cast<sockaddr *>(&a), sizeof a) < 0 ||
        getsockname(sink, reinterpret_cast<sockaddr *>(&a), &n) < 0)
        return false;
    vorn::initserconnection("127.0.0.1", ntohs(a.sin_port));
    n = sizeof agent;
    if (vorn::SockSer.socketfd < 0 ||
        getsockname(vorn::SockSer.socketfd, reinterpret_cast<sockaddr *>(&agent), &n) < 0)
        return false;
    agent.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return true;
}

// Throws away what the agent sent, so that the sink's buffer never fills.
void drain() {
    char buffer[2048];
    while (recv(sink, buffer, sizeof buffer, MSG_DONTWAIT) > 0) {
    }
}

bool start() {
    if (freopen("/dev/null", "w", stdout) == nullptr) // the console trace
        return false;
    if (!connect())
        return false;
    vorn::initvar(); // the buffers, allocated once
    return true;
}

// Sends one datagram from the sink and lets the agent take it and react as its receive loop
// would.
void deliver(const char *text, size_t len) {
    if (sendto(sink, text, len, 0, reinterpret_cast<const sockaddr *>(&agent), sizeof agent) !=
        static_cast<ssize_t>(len))
        return;
    int r = vorn::getfromserver();
    if (r != 1 || vorn::Turn < MatchEnd)
        vorn::react(r);
}

// An idle poll: the next send slot of the cycle, on time or too late.
void idle(bool late) {
    static const long SlotStart[] = {0, 0, 33333, 66666, 0, 0};
    int slot = vorn::TimeSlot >= 0 && vorn::TimeSlot <= 5 ? vorn::TimeSlot : 0;
    vorn::serveslot(late ? 99999 : SlotStart[slot]);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static bool ready = start();
    if (!ready || size == 0)
        return 0;
    // The state a process has before its init reply: the start values, and a receive loop
    // that has heard nothing yet, so that no silence is counted from an earlier input (however
    // long the fuzzer spent between two inputs).
    vorn::initvar();
    vorn::initpoll(-1); // the socket alone, no standard input
    char init[64];
    int n = snprintf(init, sizeof init, "(init %c %d %s)", data[0] & 1 ? 'r' : 'l',
                     (data[0] >> 1 & 15) % 13, data[0] & 128 ? "play_on" : "before_kick_off");
    deliver(init, static_cast<size_t>(n));
    const char *text = reinterpret_cast<const char *>(data);
    for (size_t at = 1, end = 1; at <= size; at = end + 1) {
        for (end = at; end < size && text[end] != '|';)
            end++;
        if (end == at) {
            idle(true);
            continue;
        }
        deliver(text + at, end - at);
        idle(false);
    }
    drain();
    return 0;
}
