// command.h -- the commands a player sends, parsed and carried out.
//
// A datagram may hold several commands back to back; they run in order, and when the
// text stops parsing the player gets "(error illegal_command_form)" after the commands
// before the fault have run. The built-in opponent uses the same cmd* entry points, so
// it obeys the same rules, the one-body-command-per-cycle rule among them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vorn::pitch {

// Samples: (dash 100)  (turn 30)(turn_neck -20)(say hi)  (move -3 0)  (kick 100 0)
void runcommands(int slot, const char *text, size_t len, int64_t nowus);

// Each returns the Outcome (record.h) of the command.
int cmdmove(int slot, double x, double y); // x, y in the player's own frame
int cmdturn(int slot, double moment);
int cmddash(int slot, double power, double dir);
int cmdkick(int slot, double power, double dir);
int cmdcatch(int slot, double dir);
int cmdturnneck(int slot, double moment);
int cmdsay(int slot, const char *msg, size_t len);

} // namespace vorn::pitch
