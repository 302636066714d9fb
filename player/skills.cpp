// The ball skills. A manoeuvre puts its first command in the current send slot and its
// second one cycle later (slot 1 or 4 pads it with two placeholders), so that a turn is
// always executed before the dash that follows it. Turning branches set ForceMove, which
// holds every decision back until the queue has sent the manoeuvre to the end.

#include "player/skills.h"

#include "actions/builders.h"
#include "actions/queue.h"
#include "perception/landmarks.h"
#include "perception/parser.h"
#include "runtime/runtime.h"

namespace vorn {

// Globals
int GuessBall = 0;

bool recent(int time) {
    return int64_t{time} >= int64_t{Turn} - RecentCycles;
}

// While the ball is out of view every call turns once more: toward the side of the latest
// kick, clockwise when there was none.
int findball() {
    if (Ball->time == Turn) {
        GuessBall = 0;
        return 1;
    }
    logf("\n******Var e den j\xe4"
         "kla bollen************\n");
    int search = GuessBall < 0 ? -90 : 90;
    addmess_list(search < 0 ? "(turn -90)" : "(turn 90)");
    turnplayers(search);
    return 0;
}

static bool within(int d, int low, int high) {
    return d >= low && d <= high;
}

// Straight ahead (or, with a player in the way, 20 to 30 degrees to one side) two dashes
// follow each other; otherwise a turn brings the ball there first. After the turn around a
// player the ball stands at 25 degrees.
void gotoball() {
    int d = Ball->direction;
    if (playerbetween(d, Ball->distance) == 1) {
        if (within(d, 20, 30) || within(d, -30, -20)) {
            dash(getpower(), TimeSlot);
            dash(getpower(), 4);
        } else {
            ForceMove = 1;
            turn(wrapangle(int64_t{d} - 25), TimeSlot);
            dash(getpower(), 1);
        }
    } else if (within(d, -10, 10)) {
        dash(getpower(), TimeSlot);
        dash(getpower(), 4);
    } else {
        ForceMove = 1;
        turn(d, TimeSlot);
        dash(getpower(), 1);
    }
}

// Opponents are looked at before team-mates; the agent's own record is not excluded.
static bool inway(const ExtObs *p, int direction, float distance) {
    return p->distance < 5.0f && p->distance < distance &&
           int64_t{p->direction} > int64_t{direction} - 10 &&
           int64_t{p->direction} < int64_t{direction} + 10 && recent(p->time);
}

int playerbetween(int direction, float distance) {
    for (int i = 0; i < TeamSize; i++)
        if (inway(OppPlayer[i], direction, distance))
            return 1;
    for (int i = 0; i < TeamSize; i++)
        if (inway(TeamPlayer[i], direction, distance))
            return 1;
    return 0;
}

int closest_ball() {
    for (int i = 0; i < TeamSize; i++)
        if (recent(TeamPlayer[i]->time) && getlength(TeamPlayer[i], Ball) < Ball->distance)
            return 0;
    return 1;
}

} // namespace vorn
