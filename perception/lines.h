// Line observations: the four field lines are the agent's compass. Each line entry renews
// the headings toward the top touch line and toward the opponents' end.
#pragma once

namespace vorn {

// Globals
extern int TopAngle;    // degrees, body-relative direction square to the top touch line
extern int AttackAngle; // TopAngle turned a quarter toward the opponents' end (not folded)

char **handleline(char **entry);

} // namespace vorn
