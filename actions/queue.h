// Command queue: every command leaves through here. sendmess sends at once; the others queue
// a command for the send-slot scheduler, which serves one slot per send slot. "NOP" fills a
// slot and sends nothing. The queue is not a ring: it fills upward from slot 0 and restarts
// at slot 0 whenever a command is added after it has run empty.
#pragma once

namespace vorn {

constexpr int ListSize = 1000;     // command slots
constexpr int SlotTextSize = 2048; // bytes per slot, terminator included
constexpr const char *Nop = "NOP"; // the placeholder

// Globals
extern char **List;    // ListSize slots of SlotTextSize bytes; "" is an empty slot
extern int ListPek;    // read index: the slot served next, 0..ListSize
extern int ListEnd;    // last index written since the last restart, 0..ListSize-1
extern int ForceMove;  // 1 while a queued manoeuvre holds decisions back
extern char *awaymess; // SlotTextSize bytes: copy of the text being sent

int sendmess(const char *text); // send now; 0, or the process ends through errorf
void sendmess_list();           // serve the slot at the read index
const char *pendingentry();     // the text sendmess_list would serve next, or nullptr
void addmess_list(const char *text);
void removemess_list(); // drop the slot at the read index (its send slot came late)
void new_list();        // forget every pending command
void newmess_list(const char *text);
void printcommands(); // console listing of the queue

} // namespace vorn
