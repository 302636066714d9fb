// The goalie's side of the seams between the two programs.

#include "runtime/program.h"

namespace vorn {

const char ProgramName[] = "Vorng";

const char InitCommand[] = "(init vorn(version 6.02)(goalie))";

// No decisions while the play mode is a goal's.
const char GoalHoldType[] = "goal_";

const int FirstPlacementPause = 0;

const bool PrintsQueueOnSend = false;

} // namespace vorn
