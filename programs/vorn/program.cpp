// The field player's side of the seams between the two programs.

#include "runtime/program.h"

namespace vorn {

const char ProgramName[] = "Vorn";

const char InitCommand[] = "(init vorn(version 6.02))";

// Decisions wait while the players walk back to formation after a goal, as the goalie's do.
const char GoalHoldType[] = "goal_";

const int FirstPlacementPause = 100000;

const bool PrintsQueueOnSend = true;

} // namespace vorn
