// The goalie's decision maker, run after every "see" that the play mode lets through. It ends
// the goalie at the last cycle of the match, carries a catch through its steps, and otherwise
// looks for the ball and answers the ball code of golieinfo: hold the post, catch, kick or go
// to a ball nearby, or follow the ball along the goal line.
//
// A catch takes three decisions. The first queues the catch (CatchQueued). At the next one a
// ball within a metre, seen now, is held if the referee has announced the catch since; a
// catch that missed (the ball beyond the server's reach) leaves the ball free, and a goalie
// that took it for held would run its kick-out away from its goal with the ball behind it.
// Held, the goalie moves to (-37, -19) of its own frame, a metre inside the corner of its
// penalty area, so that the ball stays inside the area (the referee calls a catch fault as
// soon as a held ball is outside it), and the kick-out is due (BallHeld); a ball at its feet
// that was not caught is kicked away; any other ball counts as missed and the decision goes
// on as usual. The third kicks the ball toward the opponents' end, turns the goalie toward its
// goal when it stands at the side of its penalty area (as it does after the move), and queues
// the run of twenty dashes.

#include "goalie/decision.h"

#include "actions/builders.h"
#include "actions/queue.h"
#include "goalie/estimate.h"
#include "goalie/moves.h"
#include "perception/landmarks.h"
#include "perception/lines.h"
#include "perception/parser.h"
#include "perception/referee.h"
#include "player/skills.h"
#include "runtime/program.h"
#include "runtime/runtime.h"

#include <cstring>

namespace vorn {

// Globals
int Getsituation = NormalPlay;

constexpr int RunDashes = 20; // dashes of the run after the kick-out, one a cycle

static int CatchTurn = 0; // the cycle in which the latest catch was queued

static bool within(double y, double low, double high) {
    return y >= low && y <= high;
}

// The turn after the kick-out, by the side of the penalty area the goalie stands at: 125
// degrees from the attack direction, toward the middle of its goal. The turn is queued once,
// with two placeholders after it so that it fills the three send slots of a cycle: the server
// carries out one body command a cycle and the scheduler holds a second one for the next
// cycle, so every copy of a turn queued again would be carried out too, each in a cycle of
// its own (three copies would turn the goalie some 375 degrees, back toward the field).
static void kickoutturn() {
    bool top = within(golie_y, -25, -15), bottom = within(golie_y, 15, 25);
    int by;
    if (AgentSide == 0 ? top : bottom)
        by = 125;
    else if (AgentSide == 0 ? bottom : top)
        by = -125;
    else
        return;
    formatcommand("(turn ", fixangle(fromattack(by)), nullptr);
    addmess_list(messtosend);
    addmess_list(Nop);
    addmess_list(Nop);
}

static void kickout() {
    logf("sit 3 kickoff\n");
    kickball();
    Getsituation = NormalPlay;
    golieinfo(); // a fresh position for the turn; its ball code does not matter here
    kickoutturn();
    ForceMove = 1;
    for (int i = 0; i < RunDashes; i++) {
        addmess_list(Nop);
        addmess_list("(dash 100)");
        addmess_list(Nop);
    }
}

// The referee's word that the goalie holds the ball: since the catch was queued, the call
// goalie_catch_ball for its side, or the free kick for its side that follows it at once. The
// whole call is compared: its split into type and side takes the "l" of "ball" for the side.
static bool catchannounced() {
    bool left = AgentSide == 0;
    return Eventturn >= CatchTurn &&
           (strcmp(Event, left ? "goalie_catch_ball_l" : "goalie_catch_ball_r") == 0 ||
            strcmp(Event, left ? "free_kick_l" : "free_kick_r") == 0);
}

// The move takes the goalie there at once, and its estimate goes with it: from there it may
// see none of the flags it estimates from (facing the top touch line, for one), and the
// kick-out's turn would then go by where it stood before. A ball at its feet that the
// referee has not announced as caught is still free: the goalie kicks it toward the
// opponents' end, as the kick-out would, and stays in its goal. Returns whether the decision
// is made.
static bool checkcatch() {
    bool atfeet = Ball->distance < 1.0f && Ball->time == Turn;
    if (atfeet && catchannounced()) {
        logf("sit 2 move\n");
        ForceMove = 1;
        addmess_list("(move -37 -19)");
        addmess_list(Nop);
        golie_x = -37;
        golie_y = AgentSide == 0 ? -19 : 19; // y as the server has it: turned round on the right
        Getsituation = BallHeld;
        return true;
    }
    logf("missed ball\n");
    Getsituation = NormalPlay;
    if (!atfeet)
        return false;
    kickball();
    return true;
}

void decisionmaker() {
    if (Turn == MatchEnd)
        quitagent();
    if (Getsituation == BallHeld)
        kickout();
    if (Getsituation == CatchQueued && checkcatch())
        return;
    if (ForceMove != 0)
        return;
    if (findball() != 1)
        return;
    switch (golieinfo()) {
    case BallAway:
        logf("movestart\n");
        movestart();
        break;
    case BallInHands:
        logf("catch\n");
        catchball(Ball->direction, TimeSlot);
        Getsituation = CatchQueued;
        CatchTurn = Turn;
        break;
    case BallNear:
        if (Ball->distance < Kickable_area) {
            logf("kickball\n");
            kickball();
        } else {
            logf("gotoball\n");
            gotoball();
        }
        break;
    case BallComing:
        logf("moveupdown\n");
        moveupdown();
        break;
    }
}

void initdecisions() {
    Getsituation = NormalPlay;
    CatchTurn = 0;
    golie_x = 0.0;
    golie_y = 0.0;
}

} // namespace vorn
