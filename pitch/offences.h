// offences.h -- offside, back passes and free-kick faults: what the referee remembers
// between touches of the ball, and the calls it makes.
//
// The referee code reports every kick, touch, dash and catch here. Each rule can be
// switched off (Opt.offside, Opt.backpass, Opt.freekickfault); what is remembered is
// forgotten at every change of play mode (the offside marks even at the change to
// play_on, which a set-play kick makes before its own marks are set).
#pragma once

#include "pitch/world.h"

namespace vorn::pitch {

// Globals
extern bool OffsideMark[MaxPlayers];    // stood beyond the offside line at the last touch
extern double OffsideMarkX[MaxPlayers]; // the restart spot if called: the line's x (world)
extern double OffsideMarkY[MaxPlayers]; // and the player's own y then
extern int SetPlayTaker;  // slot that took the last set-play kick until another touches, -1
extern bool TakerDashed;  // that player dashed since, so a touch of his is a fault
extern int IndirectTaker; // taker of an indirect free kick until another touches, -1
extern int PassSide;      // side whose last kick its goalie may not catch, 0 none
extern int PassStep;      // StepCount of that kick
extern int PrevKickSide;  // side of the kick before it, 0 none

void initoffences();
void forgettouches(bool all); // a mode change; all unless the change is to play_on

int kickoffence(int slot);             // a kick is tried: the KickCall made
void notekick(int slot, int frommode); // after an effective kick taken in frommode
void notetouch(int slot);              // the step found slot touching the ball
bool touchfault(int slot); // a touch or catch by slot: true when called a free-kick fault
void notedash(int slot);
bool catchisbackpass(int slot); // a catch by this goalie now would be a back pass
bool indirectpending();         // the ball comes straight from an indirect free kick
double offsideline(int side);   // world x beyond which players of side are offside
void offencepause();            // where players must stand in an offence's pause

} // namespace vorn::pitch
