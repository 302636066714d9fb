// The goalie's decision maker (decisionmaker and initdecisions are declared in
// runtime/program.h): it holds its post, follows the ball along the goal line, catches a ball
// within reach, and after a catch moves to the side of its penalty area, kicks the ball
// toward the opponents' end and runs back toward its goal.
#pragma once

namespace vorn {

constexpr int MatchEnd = 6000; // the goalie ends itself at this cycle exactly

// Getsituation: where the goalie is in the catch sequence.
enum CatchState {
    NormalPlay = 0,
    CatchQueued = 2, // a catch went into the queue at the previous decision
    BallHeld = 3,    // the ball is in the goalie's hands: the kick-out is due
};

// Globals
extern int Getsituation; // a CatchState; NormalPlay at start

} // namespace vorn
