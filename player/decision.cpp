// The field player's decision maker, run after every "see" that the play mode lets through:
// search the ball until it is in view, kick it when it is within reach, run to it when no
// team-mate is nearer, and otherwise keep the position of the player's line. It ends the
// player at the end of the match.
//
// The lines go by uniform number, as in the kick-off formation: 2-4 the front line, 5-7 the
// middle, 8-11 the back. A line's move turns toward the opponents' end (F) or toward the
// own end (B) and dashes, by where the ball is and who holds it. The direction windows are
// compared as plain numbers and do not wrap at 180.

#include "player/decision.h"

#include "actions/builders.h"
#include "actions/queue.h"
#include "perception/landmarks.h"
#include "perception/lines.h"
#include "perception/parser.h"
#include "player/skills.h"
#include "runtime/program.h"
#include "runtime/runtime.h"

namespace vorn {

// Who holds the ball: a recent player within 1.5 kickable areas of it.
enum Holder { NoHolder = 0, TeamHolds = 1, OppHolds = 2 };

// Lines of the formation.
enum Line { NoLine, FrontLine, MiddleLine, BackLine };

static Line lineof(int number) {
    if (number >= 2 && number <= 4)
        return FrontLine;
    if (number >= 5 && number <= 7)
        return MiddleLine;
    if (number >= 8 && number <= 11)
        return BackLine;
    return NoLine;
}

static bool nearball(ExtObs *const table[]) {
    for (int i = 0; i < TeamSize; i++)
        if (recent(table[i]->time) && getlength(table[i], Ball) < 1.5 * Kickable_area)
            return true;
    return false;
}

static Holder ballholder() {
    if (nearball(TeamPlayer))
        return TeamHolds;
    if (nearball(OppPlayer))
        return OppHolds;
    return NoHolder;
}

// The ball's direction d within the open window around centre (forward windows).
static bool inforward(int centre, int halfwidth) {
    int64_t d = Ball->direction;
    return d > int64_t{centre} - halfwidth && d < int64_t{centre} + halfwidth;
}

// The closed backward window of 90 degrees around centre.
static bool inbackward(int centre) {
    int64_t d = Ball->direction;
    return d >= int64_t{centre} - 90 && d <= int64_t{centre} + 90;
}

// A turn toward direction, then a dash of power one cycle later; the turn rotates the stored
// ball direction, so the next test sees it from the new facing.
static void move(int direction, int power) {
    ForceMove = 1;
    turn(direction, TimeSlot);
    dash(power, 4);
}

// Front and middle lines: the forward test, then the backward test against the direction the
// first move has left; each that holds queues one move.
static void forwardthenback(int F, int B, int window, int power, const char *fwdtrace,
                            const char *backtrace) {
    if (inforward(F, window)) {
        logf(fwdtrace);
        move(F, power);
    }
    if (inbackward(B)) {
        logf(backtrace);
        move(B, power);
    }
}

int movebehavior() {
    int F = fixangle(wrapangle(int64_t{TopAngle} + (AgentSide == 0 ? 90 : -90)));
    int B = fixangle(wrapangle(int64_t{TopAngle} + (AgentSide == 0 ? -90 : 90)));
    Holder holder = ballholder();
    switch (lineof(AgentNumber)) {
    case FrontLine:
        if (holder == OppHolds)
            forwardthenback(F, B, 90, 10,
                            "opp ball fram\xe5"
                            "t 90 grader\n",
                            "opp ball back\xe5"
                            "t 90 grader\n");
        else
            forwardthenback(F, B, 80, 100,
                            "move max fram\xe5"
                            "t 80 grader\n",
                            "move max back\xe5"
                            "t 90 grader\n");
        break;
    case MiddleLine:
        if (holder == TeamHolds)
            forwardthenback(F, B, 80, 50, "", "");
        else
            forwardthenback(F, B, 90, 10, "", "");
        break;
    case BackLine:
        if (inbackward(B))
            move(B, 100);
        else
            move(F, 10);
        break;
    case NoLine:
        break;
    }
    return holder;
}

void decisionmaker() {
    if (Turn > 5999)
        quitagent();
    if (ForceMove == 1)
        return;
    if (findball() == 0)
        return;
    if (Ball->distance <= Kickable_area) {
        logf("\n******Boll \xe4r kickable************\n");
        kickball();
    } else if (closest_ball() == 1) {
        gotoball();
    } else {
        movebehavior();
    }
}

void initdecisions() {}

} // namespace vorn
