// Referee calls: the play mode, split into a type and a side letter, and the reset to
// formation after kick-ins, corner kicks, goals and half time.
#pragma once

namespace vorn {

constexpr int EventtypeSize = 20; // Eventtype holds at most 19 characters

// Globals
extern char *Event;     // BufSize bytes: the play-mode word (init reply or latest referee call)
extern char *Eventtype; // EventtypeSize bytes: the latest call without its side letter
extern char Eventside;  // 'l', 'r', or 'u' when the call names no side
extern int Eventturn;   // cycle of the latest referee call

void getEvent();                    // split Event into Eventtype and Eventside
void refereecall(const char *call); // take a call heard from the referee

} // namespace vorn
