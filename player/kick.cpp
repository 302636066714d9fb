// The field player's kick: a shot of power 100 at the opponents' goal, aimed by what of it is
// seen now. The goal itself is best; the two post flags together give the middle between
// them; one post alone gives a point 5 degrees inside it; nothing gives the attack direction.

#include "runtime/program.h"

#include "actions/builders.h"
#include "perception/landmarks.h"
#include "perception/lines.h"
#include "perception/parser.h"
#include "player/skills.h"
#include "runtime/runtime.h"

namespace vorn {

static bool seennow(const Obs *record) {
    return record->time == Turn;
}

// The target toward the goal at which the agent shoots; inside is the sign that turns from
// the top post toward the bottom one (+1 for the right goal seen from the left, -1 for the
// left goal seen from the right).
static int goaltarget(const Obs *goal, const Obs *top, const Obs *bottom, int inside) {
    if (seennow(goal))
        return goal->direction;
    if (seennow(top) && bottom->time == top->time)
        return wrapangle((int64_t{top->direction} + bottom->direction) / 2);
    if (seennow(top))
        return wrapangle(int64_t{top->direction} + 5 * inside);
    if (seennow(bottom))
        return wrapangle(int64_t{bottom->direction} - 5 * inside);
    return AttackAngle;
}

void kickball() {
    int target = AgentSide == 0 ? goaltarget(GoalR, FlagGRT, FlagGRB, 1)
                                : goaltarget(GoalL, FlagGLT, FlagGLB, -1);
    kick(100, target, TimeSlot);
    GuessBall = target;
}

} // namespace vorn
