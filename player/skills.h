// Ball skills that both programs build their decisions on: look for the ball, run to it,
// tell whether a player stands in the way and whether a team-mate is nearer to it. They act
// only through the command queue. The kick differs between the programs: kickball is declared
// in runtime/program.h.
#pragma once

namespace vorn {

constexpr int RecentCycles = 10; // a player record stamped within this many cycles is recent

// Globals
extern int GuessBall; // degrees: direction of the latest kick; its sign chooses the search turn

int findball();     // 1 when the ball is seen now; else queues a search turn of 90 and gives 0
void gotoball();    // queues the run to the ball: two dashes, or a turn and a dash
int closest_ball(); // 1 when no recent team-mate is nearer to the ball than the agent

// 1 when a recent player stands within 5 m, nearer than distance, strictly within 10 degrees
// of direction.
int playerbetween(int direction, float distance);

bool recent(int time); // stamped within RecentCycles of Turn

} // namespace vorn
