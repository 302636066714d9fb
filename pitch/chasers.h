// chasers.h -- the built-in opponent: eleven players that pitch moves itself, through the
// same commands and rules as connected players, on the right side or (--chasers-side left)
// on the left.
//
// A goalie keeps to its goal line and catches what comes near; of the ten field players
// the one nearest the ball runs to it and kicks it toward the other goal, the others hold
// a simple formation that shifts with the ball.
#pragma once

namespace vorn::pitch {

constexpr char ChaserTeam[] = "chasers";

bool chasersjoin(); // seat the eleven on their side; false if the side is taken
void chasersact();  // one decision per player, after each step

} // namespace vorn::pitch
