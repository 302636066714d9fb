// step.cpp -- one simulation step.
//
// Queued dashes turn into accelerations first, which also frees every player's body
// command for the next cycle. What moves then depends on the play mode: before kick-off
// nothing may move (players only turn) and the clock stays at its value; during a goal or
// offence pause objects move but the clock advances only on the step that ends the pause;
// after time is over nothing moves; in all other modes everything moves, collisions are
// resolved (the referee ruling on each touch of the ball as it is found), a held ball is
// put in front of its goalie, the clock advances and the referee judges the new positions.

#include "pitch/step.h"

#include "pitch/offences.h"
#include "pitch/physics.h"
#include "pitch/referee.h"
#include "pitch/world.h"

namespace vorn::pitch {

void simstep() {
    StepCount++;
    StepMode = Mode;
    applydashes();
    ModeChanged = false;
    if (Mode == ModeBeforeKickOff) {
        commitangles();
        zeromotion();
        ModeSteps++;
        StoppageSteps++;
        refereeplacement();
        if (kickoffdue())
            startkickoff(KickOffSide);
    } else if (Mode == ModeTimeOver) {
        commitangles();
        TimeOverSteps++;
        StoppageSteps++;
    } else if (stoppage()) {
        moveobjects();
        collide(judgetouch);
        placeheldball();
        ModeSteps++;
        StoppageSteps++;
        refereepause();
        if (ModeChanged) {
            Time++;
            StoppageSteps = 0;
        }
        refereeplacement();
    } else {
        // A touch is ruled on while the step resolves the overlaps, in the cycle that is
        // ending; a fault or offside it brings is the mode of the rest of the step.
        moveobjects();
        collide(judgetouch);
        placeheldball();
        Time++;
        StoppageSteps = 0;
        ModeSteps++;
        if (!stoppage())
            refereeafterstep();
        refereeplacement();
    }
    if (Mode != ModeTimeOver)
        newcycle();
    updatestamina();
}

} // namespace vorn::pitch
