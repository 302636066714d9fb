// step.cpp -- one simulation step.
//
// Queued dashes turn into accelerations first, which also frees every player's body
// command for the next cycle. What moves then depends on the play mode: before kick-off
// nothing may move (players only turn) and the clock stays at its value; during a goal or
// fault pause objects move but the clock advances only on the step that ends the pause;
// after time is over nothing moves; in all other modes everything moves, collisions are
// resolved, the clock advances and the referee judges the new positions.

#include "pitch/step.h"

#include "pitch/physics.h"
#include "pitch/referee.h"
#include "pitch/world.h"

namespace vorn::pitch {

void simstep() {
    StepCount++;
    applydashes();
    ModeChanged = false;
    switch (Mode) {
    case ModeBeforeKickOff:
        commitangles();
        zeromotion();
        ModeSteps++;
        refereeplacement();
        if (kickoffdue())
            startkickoff(KickOffSide);
        break;
    case ModeTimeOver:
        commitangles();
        TimeOverSteps++;
        break;
    case ModeGoal:
    case ModeCatchFault:
        moveobjects();
        collide(false);
        placeheldball();
        ModeSteps++;
        refereepause();
        if (ModeChanged)
            Time++;
        refereeplacement();
        break;
    default: {
        moveobjects();
        int toucher = collide(Mode == ModePlayOn);
        if (toucher >= 0)
            LastToucher = toucher;
        placeheldball();
        Time++;
        ModeSteps++;
        refereeafterstep();
        refereeplacement();
        break;
    }
    }
    updatestamina();
}

} // namespace vorn::pitch
