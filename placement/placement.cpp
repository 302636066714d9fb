// Kick-off placement: each uniform number has its place and facing in the formation, the
// same texts on both sides of the field (the server mirrors the right side's moves); a
// player on the right side turns round afterwards.

#include "placement/placement.h"

#include "actions/queue.h"
#include "perception/landmarks.h"
#include "perception/parser.h"
#include "runtime/program.h"
#include "runtime/runtime.h"

#include <unistd.h>

namespace vorn {

// Globals
const char *tempc = nullptr;

struct Place {
    const char *move; // the move to the place
    const char *turn; // the turn to the facing
};

// Indexed by uniform number - 1: the goalie, the front line at x = -3, the middle line at
// x = -20 and the back line at x = -40.
static const Place Formation[TeamSize] = {
    {"(move -50 0)", "(turn 0)"},    //  1  in front of the own goal
    {"(move -3 0)", "(turn -30)"},   //  2  front line
    {"(move -3 -20)", "(turn 80)"},  //  3  front line
    {"(move -3 20)", "(turn -80)"},  //  4  front line
    {"(move -20 0)", "(turn 0)"},    //  5  middle line
    {"(move -20 -20)", "(turn 45)"}, //  6  middle line
    {"(move -20 20)", "(turn -45)"}, //  7  middle line
    {"(move -40 -25)", "(turn 45)"}, //  8  back line
    {"(move -40 25)", "(turn -45)"}, //  9  back line
    {"(move -40 -10)", "(turn 30)"}, // 10  back line
    {"(move -40 10)", "(turn -30)"}, // 11  back line
};

static const char TurnRound[] = "(turn 180)";
static const int PlacementPause = 100000; // microseconds between two placement commands

static const Place *place() {
    return AgentNumber >= 1 && AgentNumber <= TeamSize ? &Formation[AgentNumber - 1] : nullptr;
}

static void sendnow(const char *command) {
    tempc = command;
    sendmess(tempc);
}

static void queue(const char *command) {
    tempc = command;
    addmess_list(tempc);
}

void initplace() {
    if (const Place *p = place()) {
        if (FirstPlacementPause > 0)
            usleep(FirstPlacementPause);
        sendnow(p->move);
        usleep(PlacementPause);
        sendnow(p->turn);
    }
    if (AgentSide == 1) {
        usleep(PlacementPause);
        sendnow(TurnRound);
    }
    logf("Initplace finished\n");
}

void replace() {
    if (const Place *p = place()) {
        queue(p->move);
        queue(Nop);
        queue(Nop);
        queue(p->turn);
    }
    if (AgentSide == 1) {
        queue(Nop);
        queue(Nop);
        queue(TurnRound);
    }
    logf("replace finished\n");
}

} // namespace vorn
