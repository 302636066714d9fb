// Kick-off placement: the move and turn that put each player at its place for its uniform
// number. initplace sends them at once on the init reply; replace queues them after the
// referee calls that send the players back to formation.
#pragma once

namespace vorn {

// Globals
extern const char *tempc; // the placement command being sent or queued

void initplace(); // send now, pausing 100 ms between commands (blocks the agent)
void replace();   // queue, three send slots apart

} // namespace vorn
