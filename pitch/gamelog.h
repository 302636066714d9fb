// gamelog.h -- the standard game log: version 6 text, as the ecosystem's log players read it.
//
// The file starts with the format line, the server parameters (the values pitch plays by),
// the parameters of the player-type generator and one line per player type. Then every
// step adds a playmode line and a team line when those changed, and one show line with
// the ball and all 22 slots; the last line of a finished match is the result message.
// A name ending in ".gz" gets a gzip-compressed file. A write that fails is said on stderr
// and gives the log up while the match goes on (output.h).
#pragma once

namespace vorn::pitch {

bool gamelogopen(const char *path); // false, said on stderr, when the header cannot be written
void gamelogstep();                 // the lines of the step just done
void gamelogclose();                // the result line when time is over; closes the file

} // namespace vorn::pitch
