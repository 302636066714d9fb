// The goalie's steps. Every step is a turn toward its direction, left out when that direction
// lies within 5 degrees of straight ahead, and a dash of power 100 one cycle later. The
// directions are body-relative and taken from AttackAngle (A): A faces the opponents' end,
// A + 180 the own goal line; on the left side A - 90 faces the top touch line and A + 90 the
// bottom one, on the right side the other way round. A turn turns the stored ball direction
// with it at once; AttackAngle stays as it was seen.
//
// The server takes a dash power of 0 to 100 only, so the step back to the goal line is a
// turn toward the goal line and a dash forward, not a dash backward.

#include "goalie/moves.h"

#include "actions/builders.h"
#include "actions/queue.h"
#include "goalie/estimate.h"
#include "perception/landmarks.h"
#include "perception/lines.h"
#include "perception/parser.h"
#include "player/skills.h"
#include "runtime/runtime.h"

#include <cstdint>
#include <cstdio>

namespace vorn {

constexpr int StraightAhead = 5; // degrees either way within which no turn is sent

int fromattack(int by) {
    return wrapangle(int64_t{AttackAngle} + by);
}

// From A toward the top touch line: -90 on the left side, 90 on the right.
static int towardtop() {
    return AgentSide == 0 ? -90 : 90;
}

// Turns toward direction unless it is within StraightAhead; true when a turn was queued.
static bool turntoward(int direction) {
    if (direction >= -StraightAhead && direction <= StraightAhead)
        return false;
    turn(direction, TimeSlot);
    return true;
}

// One step toward direction: the turn if needed, then the dash.
static bool step(int direction) {
    ForceMove = 1;
    bool turned = turntoward(direction);
    dash(100, 4);
    return turned;
}

// A sideways step toward the middle of the goal; after a turn the ball is looked for on the
// side the goalie turned away from.
static void centrestep(int direction) {
    if (step(direction))
        GuessBall = wrapangle(-int64_t{direction});
}

void movestart() {
    fputs("movestart in\n", stdout);
    int top = towardtop();
    if (golie_x >= -51 && golie_x <= -49) {
        if (golie_y > 1.0)
            centrestep(fromattack(top));
        if (golie_y < -1.0)
            centrestep(fromattack(-top));
        return;
    }
    if (golie_x < -51)
        step(AttackAngle);
    if (golie_x > -49)
        step(fixangle(fromattack(180)));
}

// The ball's side, seen along the long axis: positive toward the top touch line. Read anew
// for each step, since the first step's turn has turned the stored ball direction.
static int64_t balltowardtop() {
    int64_t off = int64_t{Ball->direction} - AttackAngle;
    return AgentSide == 0 ? -off : off;
}

void moveupdown() {
    fputs("moveupdown in\n", stdout);
    int top = towardtop();
    int g = 0; // the direction of the last step
    if (balltowardtop() > StraightAhead && golie_y > -4.5) {
        g = fromattack(top);
        step(g);
    }
    if (balltowardtop() < -StraightAhead && golie_y < 4.5) {
        g = fromattack(-top);
        step(g);
    }
    GuessBall = g < 0 ? 90 : -90;
}

} // namespace vorn
