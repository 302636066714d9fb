// Fuzz target: the commands of one connected player, several datagrams per input separated
// by '|', with one simulation step after each so that what the commands set also goes
// through the physics and the referee. The first byte picks the play mode the datagrams
// meet (before kick-off, play on, own kick-off, own free kick with the ball in the
// player's hands); the rest are the datagrams.
//
// Each input starts a fresh match through handlenew: the fuzzed player is the left goalie,
// standing at the centre with the ball at its feet, a team-mate and an opponent 5 m away
// to hear its says. Their reply sockets are connected to the harness's loopback sinks.
//
// bin/pitch_commands_fuzz [corpus folder] [-dict=fuzz/pitch.dict] [-max_total_time=N]

#include <cstring>
#include <vector>

#include "fuzz/pitch_harness.h"
#include "pitch/command.h"
#include "pitch/connect.h"
#include "pitch/server.h"
#include "pitch/step.h"

using namespace pitchfuzz;

static void placeat(int slot, double x, double y) {
    Player &p = Players[slot];
    p.x = x;
    p.y = y;
}

// seatplayers: the goalie under test, a team-mate and an opponent. Returns the goalie's
// slot, -1 when pitch did not seat it.
static int seatplayers() {
    static const char *const inits[] = {"(init fuzz (version 6)(goalie))",
                                        "(init other (version 6))", "(init fuzz (version 6))"};
    for (int i = 0; i < 3; i++)
        handlenew(Loopback, SinkPort[i], inits[i], std::strlen(inits[i]));
    int me = findsender(Loopback, SinkPort[0]);
    int opp = findsender(Loopback, SinkPort[1]);
    int mate = findsender(Loopback, SinkPort[2]);
    if (me < 0 || opp < 0 || mate < 0)
        return -1;
    placeat(me, 0, 0);
    placeat(opp, 5, 0);
    placeat(mate, 0, 5);
    TheBall.x = 0.5;
    TheBall.y = 0;
    return me;
}

static void setmode(int me, uint8_t pick) {
    switch (pick % 4) {
    case 1:
        changemode(ModePlayOn, 0);
        break;
    case 2:
        changemode(ModeKickOff, 1);
        break;
    case 3:
        TheBall.holder = me;
        changemode(ModeFreeKick, 1);
        break;
    default:
        break; // before_kick_off, as the match starts
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static bool ready = start();
    if (!ready || size == 0)
        return 0;
    freshmatch();
    int me = seatplayers();
    if (me < 0)
        return 0;
    setmode(me, data[0]);
    size_t at = 1, len = 0;
    const char *text = nullptr;
    while (Players[me].on && nextdatagram(data, size, at, text, len)) {
        if (len == 0) // recvreply never hands over an empty datagram
            continue;
        std::vector<char> copy(text, text + len); // exactly len bytes, no NUL after them
        runcommands(me, copy.data(), len, nowus());
        simstep();
    }
    drainsinks();
    return 0;
}
