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
extern int SetPlayTaker;     // slot that took the last set-play kick until another touches, -1
extern bool TakerDashed;     // that player dashed since, so a touch of his is a fault
extern int IndirectTaker;    // taker of an indirect free kick until another touches, -1
extern int LastPasser;       // slot of the last kick a goalie of his side may not catch, -1
extern int BeforePasser;     // the player who kicked before him, -1
extern int PassTime;         // T of the last passer's latest kick
extern bool CycleTouched[2]; // left [0] and right [1] had the ball since the step
extern double OffsideSpotX, OffsideSpotY; // where the offside was, for the offenders' places

void initoffences();
void forgettouches(bool all); // a mode change; all unless the change is to play_on

int kickoffence(int slot);                // a kick is tried: the KickCall made
void notekick(int slot, int frommode);    // after an effective kick taken in frommode
void notetouch(int slot);                 // slot found touching the ball in play_on or a goal kick
void notebackpass(int slot, bool kicked); // any kick or touch, for the back-pass rule
void newcycle();                          // the step's checks are done: a new cycle of touches
bool touchfault(int slot); // a touch or catch by slot: true when called a free-kick fault
void notedash(int slot);
bool catchisbackpass(int slot); // a catch by this goalie now would be a back pass
bool indirectpending();         // the ball comes straight from an indirect free kick
double offsideline(int side);   // world x beyond which players of side are offside
void offencepause();            // where players must stand in an offence's pause

} // namespace vorn::pitch
