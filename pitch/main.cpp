// main.cpp -- pitch: a compact soccer simulation server for protocol-6 clients.
//
// Reads the options, opens the well-known port, seats the built-in opponent if asked,
// and runs the match loop until time is over or the user interrupts it.

#include <cstdio>

#include "pitch/chasers.h"
#include "pitch/gamelog.h"
#include "pitch/net.h"
#include "pitch/options.h"
#include "pitch/record.h"
#include "pitch/referee.h"
#include "pitch/rng.h"
#include "pitch/server.h"
#include "pitch/textlog.h"
#include "pitch/types.h"
#include "pitch/world.h"

using namespace vorn::pitch;

int main(int argc, char **argv) {
    int r = parseoptions(argc, argv, stdout, stderr);
    if (r != 0)
        return r == 1 ? 0 : 2;
    catchstops();
    initworld();
    initreferee();
    resetstats();
    seedrandom(Opt.seed);
    if (Opt.playertypes)
        maketypes();
    char err[160];
    if (!netopen(Opt.bind, Opt.port, err, sizeof err)) {
        std::fprintf(stderr, "pitch: %s\n", err);
        return 1;
    }
    if (Opt.record[0] && !recordopen(Opt.record))
        return 1;
    if (Opt.gamelog[0] && !gamelogopen(Opt.gamelog))
        return 1;
    if (Opt.textlog[0] && !textlogopen(Opt.textlog))
        return 1;
    if (Opt.chasers)
        chasersjoin();
    std::printf("pitch: listening on port %d\n", netport());
    std::printf("pitch: random seed %llu\n", static_cast<unsigned long long>(Opt.seed));
    std::fflush(stdout);
    return runserver();
}
