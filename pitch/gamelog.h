// gamelog.h -- the standard game log: version 6 text, as the ecosystem's log players read it.
//
// The file starts with the format line, the server parameters (the values pitch plays by),
// the parameters of the player-type generator and one line per player type. Then every
// step from the kick-off to the first of the time over adds a playmode line and a team
// line when those changed, and one show line with the ball and all 22 slots; the file ends
// with the result message and a team line.
// A name ending in ".gz" gets a gzip-compressed file. A write that fails is said on stderr
// and gives the log up while the match goes on (output.h).
#pragma once

namespace vorn::pitch {

bool gamelogopen(const char *path); // false, said on stderr, when the header cannot be written
void gamelogstep();                 // the lines of the step just done
void gamelogclose();                // the result and team lines; closes the file

} // namespace vorn::pitch
