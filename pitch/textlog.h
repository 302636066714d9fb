// textlog.h -- the text log: every datagram a player sent and every referee call, one a
// line, in the form the real server writes its text log (.rcl) and the analysis tools of
// the field read beside the game log:
//
//   94,0	Recv vorn_7: (dash 100)
//   94,0	(referee goal_r_1)
//
// The first number is the cycle T, the second the steps the clock has stood since it last
// ran (StoppageSteps), then a tab. A datagram is written as it came (several commands on
// one line, the init too), up to its first NUL, with its line breaks and other control
// characters as blanks so that it stays one line. The built-in opponent's commands are
// written as if it had sent them. Written plain, flushed after every step.
#pragma once

#include <cstddef>

namespace vorn::pitch {

bool textlogopen(const char *path);                       // false, said on stderr, on failure
void textlogrecv(int slot, const char *text, size_t len); // a datagram from slot's client
void textlogcall(const char *word);                       // a referee call
void textlogflush();                                      // the step's lines reach the file
void textlogclose();

} // namespace vorn::pitch
