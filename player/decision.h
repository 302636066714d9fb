// The field player's decisions: decisionmaker (declared in runtime/program.h) and the
// positional play of the lines when another team-mate is nearer to the ball.
#pragma once

namespace vorn {

// Moves by the player's line toward or away from the opponents' end; returns who holds the
// ball (0 nobody recent, 1 a team-mate, 2 an opponent).
int movebehavior();

} // namespace vorn
