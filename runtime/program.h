// What differs between the two programs. The shared code calls these names; each program
// defines them, in the same order, in programs/vorn/ (field player) and programs/vorng/
// (goalie), and its decision maker in player/ or goalie/. The linker binds each program to
// its own definitions.
#pragma once

namespace vorn {

// The program's name, which begins every line it says on standard error.
extern const char ProgramName[];

// The init command sent to announce the player, including what kind of player it is.
extern const char InitCommand[];

// The play-mode type after a goal during which no decisions are taken.
extern const char GoalHoldType[];

// Microseconds to wait before the first placement move after the init reply (0: none).
extern const int FirstPlacementPause;

// Whether the field player's trace of the whole queue accompanies every send.
extern const bool PrintsQueueOnSend;

// Console texts of the command queue; "" where the program prints nothing. A text whose
// comment names arguments is a printf format given those arguments (a program's text may use
// fewer of them); the others are printed as they stand.
extern const char TextSendStart[];     // text, Turn: a send begins
extern const char TextSendCopied[];    // awaymess: after the copy into awaymess
extern const char TextSendDone[];      // Turn, port, text: the send went out whole
extern const char TextServeEntry[];    // serving a slot begins
extern const char TextServeEmpty[];    // the slot at the read index is empty
extern const char TextServeSlot[];     // the slot's text
extern const char TextServeIndices[];  // read index, slot count, last index
extern const char TextServeTaken[];    // the slot will be served
extern const char TextServeExit[];     // serving a slot ends
extern const char TextAddEntry[];      // read index, last index, text: adding begins
extern const char TextAddAppend[];     // text: appended after the last index
extern const char TextAddRestart[];    // text: the queue restarts at slot 0
extern const char TextAddBeforeCopy[]; // the restart copies into slot 0
extern const char TextAddSlotZero[];   // slot 0's text after a restart
extern const char TextAddExit[];       // adding ends
extern const char TextNewEntry[];      // newmess_list begins
extern const char TextNewExit[];       // newmess_list ends
extern const char TextReceive[];       // trace before a datagram is received
extern const char TextDash[];          // the dash builder queued a dash
extern const char TextTurn[];          // the turn builder queued a turn

// This program's own start values, set by initvar (the goalie's catch state and position).
void initdecisions();

// This program's decision maker, run after each "see" unless the play mode holds it back.
void decisionmaker();

// A kick of power 100 in this program's way: the field player shoots at the opponents' goal,
// the goalie kicks toward the opponents' end.
void kickball();

} // namespace vorn
