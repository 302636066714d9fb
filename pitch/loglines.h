// loglines.h -- the lines of the game log and of a monitor's stream, formatted in one place.
//
// Each call appends one line to an Out, without its line end: the game log ends each with a
// newline, a monitor gets each in a datagram of its own. A show line in the game log's form
// has the ball and all 22 slots; a monitor's has the play mode as its number and the teams
// inside it too:
//   (show 12 (pm 3) (tm vorn chasers 0 0) ((b) 1.2 -0.5 0.3 0) ((l 1) 0 0x9 -50 0 ...) ...)
// Version 5 monitors read the game log's player entries; version 4 ones have no focus point
// and eleven command counts.
#pragma once

#include "pitch/format.h"

namespace vorn::pitch {

// The forms of a show line.
enum ShowForm { ShowLog, ShowMonitor4, ShowMonitor5 };

constexpr int LogCompressionLevel = 6; // gzip level of a game log whose name ends in .gz

void putserverparam(Out &o);        // (server_param (NAME VALUE)...)
void putplayerparam(Out &o);        // (player_param (NAME VALUE)...)
void putplayertype(Out &o, int id); // (player_type (id N)(NAME VALUE)...)
void putplaymode(Out &o);           // (playmode T MODE)
void putteam(Out &o);               // (team T LEFT RIGHT SCORE_L SCORE_R), "null" for no team
void putshow(Out &o, int form);     // the show line of the step just done, in a ShowForm
void putresult(Out &o);             // (msg T 1 "(result DATE LEFT_L-vs-RIGHT_R)")
int modenumber();                   // the play mode as monitors number it
bool compressed();                  // the game log is written compressed

// shownext: every show line of the step is written; what a player did "this step" (kicked,
// missed, caught) is measured from here on.
void shownext();

} // namespace vorn::pitch
