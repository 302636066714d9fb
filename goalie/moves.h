// The goalie's two ways of keeping its place while the ball is away: hold the post in front
// of the middle of the goal, and follow the ball sideways along the goal line. Both queue a
// turn (when one is needed) and a dash through the command builders, and set ForceMove so
// that the manoeuvre is sent to its end before the next decision.
#pragma once

namespace vorn {

// Holds the post: at a depth of -51 to -49 it steps toward y = 0 when more than a metre off
// it; otherwise it steps out toward the field or back toward the goal line.
void movestart();

// Follows the ball: a ball more than 5 degrees off the long axis toward either touch line
// makes it step that way, as long as it is within 4.5 m of the long axis.
void moveupdown();

// AttackAngle + by, folded into an int as the angle sums of the wire are: the directions of
// the steps, and of the turn after the kick-out.
int fromattack(int by);

} // namespace vorn
